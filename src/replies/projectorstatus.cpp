#include "replies/projectorstatus.h"

#include "traffic/frame.h"
#include "traffic/hexdigit.h"

#include <QJsonArray>
#include <QJsonValue>
#include <algorithm>
#include <array>

namespace tarn {
namespace {

using namespace Qt::StringLiterals;

bool isPrintable(char c)
{
    return c >= ' ' && c <= '~';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The first two characters as one byte written in upper-case hexadecimal.
std::optional<int> leadingByte(QByteArrayView body)
{
    if (body.size() < 2 || hexValue(body[0]) < 0 || hexValue(body[1]) < 0)
        return std::nullopt;
    return hexValue(body[0]) * 16 + hexValue(body[1]);
}

// "CR0": state bits and flag bits.
constexpr int kStandbyBit = 0x80;
constexpr int kCountDownBit = 0x40;
constexpr int kCoolingBit = 0x20;
constexpr int kPowerSaveBit = 0x04;
constexpr int kStateBits = kStandbyBit | kCountDownBit | kCoolingBit | kPowerSaveBit;
constexpr int kPowerFault = 0x10;
constexpr int kTemperatureFault = 0x08;
constexpr int kKeyLockBit = 0x02;

struct PowerRow
{
    PowerState state;
    int bits; // the state bits that stand for it
    QLatin1StringView name;
};

constexpr std::array kPowerStates = {
    PowerRow{PowerState::Standby, kStandbyBit, "standby"_L1},
    PowerRow{PowerState::On, 0, "on"_L1},
    PowerRow{PowerState::Warming, kCountDownBit, "warming"_L1},
    PowerRow{PowerState::Cooling, kCoolingBit, "cooling"_L1},
    PowerRow{PowerState::PowerSave, kPowerSaveBit, "power-save"_L1},
    PowerRow{PowerState::CoolingToPowerSave, kCoolingBit | kPowerSaveBit,
             "cooling-to-power-save"_L1},
};

void readPower(QByteArrayView body, ProjectorStatus &status)
{
    const std::optional<int> byte = leadingByte(body);
    if (!byte)
        return;
    const int state = *byte & kStateBits;
    if (state == 0 && (*byte & kPowerFault))
        return; // a power fault with no state bit says nothing about the state
    const auto row = std::ranges::find(kPowerStates, state, &PowerRow::bits);
    if (row != kPowerStates.end())
        status.power = row->state;
}

void readErrors(QByteArrayView body, ProjectorStatus &status)
{
    if (const std::optional<int> byte = leadingByte(body)) {
        status.powerError = (*byte & kPowerFault) != 0;
        status.temperatureError = (*byte & kTemperatureFault) != 0;
    }
}

void readKeyLock(QByteArrayView body, ProjectorStatus &status)
{
    if (const std::optional<int> byte = leadingByte(body))
        status.keyLock = (*byte & kKeyLockBit) != 0;
}

// "CR1": the first character, as the panel reads it.
void readInput(QByteArrayView body, ProjectorStatus &status)
{
    if (!body.isEmpty() && body[0] >= '1' && body[0] <= '4')
        status.input = body[0] - '0';
}

// "CR4": "0" for a reversed axis, "1" for a normal one; left/right first.
std::optional<bool> reversed(char c)
{
    if (c != '0' && c != '1')
        return std::nullopt;
    return c == '0';
}

void readReversal(QByteArrayView body, ProjectorStatus &status)
{
    if (body.size() < 2)
        return;
    const std::optional<bool> leftRight = reversed(body[0]);
    const std::optional<bool> topBottom = reversed(body[1]);
    if (leftRight && topBottom) {
        status.leftRightReversed = leftRight;
        status.topBottomReversed = topBottom;
    }
}

// "CR3": digits up to the carriage return. A stray byte among them would cut the number
// short, so it makes the count unknown.
void readLampHours(QByteArrayView body, ProjectorStatus &status)
{
    constexpr qsizetype kMaxDigits = 18;
    if (body.isEmpty() || body.size() > kMaxDigits || !std::ranges::all_of(body, isDigit))
        return;
    qint64 hours = 0;
    for (const char c : body)
        hours = hours * 10 + (c - '0');
    status.lampHours = hours;
}

// "CR6": a decimal number with an optional minus sign, spaces around it allowed.
std::optional<double> decimal(QByteArrayView text)
{
    const QByteArrayView trimmed = text.trimmed();
    const QByteArrayView number = trimmed.startsWith('-') ? trimmed.sliced(1) : trimmed;
    const bool shaped = !number.isEmpty() && number.front() != '.' && number.back() != '.' &&
                        number.count('.') <= 1 &&
                        std::ranges::all_of(number, [](char c) { return isDigit(c) || c == '.'; });
    if (!shaped)
        return std::nullopt;
    return trimmed.toByteArray().toDouble();
}

std::optional<Temperature> readingAt(QByteArrayView body, qsizetype from, qsizetype length)
{
    if (body.size() < from + length)
        return std::nullopt;
    const QByteArrayView text = body.sliced(from, length);
    if (!std::ranges::all_of(text, isPrintable))
        return std::nullopt;
    return Temperature{QString::fromLatin1(text), decimal(text)};
}

// Characters 1 to 5 and 8 to 11, where the STATUS line shows them.
void readTemperatures(QByteArrayView body, ProjectorStatus &status)
{
    status.temperature1 = readingAt(body, 0, 5);
    status.temperature2 = readingAt(body, 7, 4);
}

// "CRA": the codes the projector answers with and what each says: 1 yes, 0 no, -1 nothing.
// "80" reports the missing signal instead of the mutes; "FF" reports standby alone.
struct MuteRow
{
    QByteArrayView code;
    signed char video;
    signed char audio;
    signed char noSignal;
    signed char standby;
};

constexpr std::array kMuteCodes = {
    MuteRow{"00", 0, 0, 0, 0}, MuteRow{"01", 1, 0, 0, 0},   MuteRow{"02", 0, 1, 0, 0},
    MuteRow{"03", 1, 1, 0, 0}, MuteRow{"80", -1, -1, 1, 0}, MuteRow{"FF", -1, -1, -1, 1},
};

template<signed char MuteRow::*column, std::optional<bool> ProjectorStatus::*field>
void readMute(QByteArrayView body, ProjectorStatus &status)
{
    const auto row = std::ranges::find(kMuteCodes, body.first(std::min<qsizetype>(body.size(), 2)),
                                       &MuteRow::code);
    if (row != kMuteCodes.end() && (*row).*column >= 0)
        status.*field = (*row).*column == 1;
}

// "CR7": the lamp mode, then the mask of the lamps that burn (bit 0 lamp 1 ... bit 3 lamp 4).
struct LampModeRow
{
    LampMode mode;
    char code;
    QLatin1StringView name;
};

constexpr std::array kLampModes = {
    LampModeRow{LampMode::FourLamps, '0', "4"_L1},
    LampModeRow{LampMode::LampsOneFour, '1', "1-4"_L1},
    LampModeRow{LampMode::LampsTwoThree, '2', "2-3"_L1},
};

// Both characters must read, or neither value is known.
const LampModeRow *lampModeRow(QByteArrayView body)
{
    if (body.size() < 2 || hexValue(body[1]) < 0)
        return nullptr;
    const auto row = std::ranges::find(kLampModes, body[0], &LampModeRow::code);
    return row == kLampModes.end() ? nullptr : &*row;
}

void readLampMode(QByteArrayView body, ProjectorStatus &status)
{
    if (const LampModeRow *row = lampModeRow(body))
        status.lampMode = row->mode;
}

void readLampsOn(QByteArrayView body, ProjectorStatus &status)
{
    if (!lampModeRow(body))
        return;
    QList<int> lamps;
    for (int lamp = 1; lamp <= 4; ++lamp) {
        if (hexValue(body[1]) & (1 << (lamp - 1)))
            lamps.append(lamp);
    }
    status.lampsOn = lamps;
}

// "CR9": the text up to the carriage return.
void readPcType(QByteArrayView body, ProjectorStatus &status)
{
    if (!body.isEmpty() && std::ranges::all_of(body, isPrintable))
        status.pcType = QString::fromLatin1(body);
}

// JSON forms.
template<auto field> QJsonValue plainJson(const ProjectorStatus &status)
{
    const auto &value = status.*field;
    return value ? QJsonValue(*value) : QJsonValue();
}

QJsonValue powerJson(const ProjectorStatus &status)
{
    return status.power ? QJsonValue(powerStateName(*status.power)) : QJsonValue();
}

QJsonValue errorsJson(const ProjectorStatus &status)
{
    if (!status.powerError || !status.temperatureError)
        return {};
    QJsonArray errors;
    if (*status.powerError)
        errors.append("power"_L1);
    if (*status.temperatureError)
        errors.append("temperature"_L1);
    return errors;
}

QJsonValue reversalJson(const ProjectorStatus &status)
{
    return QJsonObject{{"topBottom"_L1, plainJson<&ProjectorStatus::topBottomReversed>(status)},
                       {"leftRight"_L1, plainJson<&ProjectorStatus::leftRightReversed>(status)}};
}

QJsonValue temperatureJson(const std::optional<Temperature> &reading)
{
    if (!reading)
        return {};
    return reading->value ? QJsonValue(*reading->value) : QJsonValue(reading->text);
}

QJsonValue temperaturesJson(const ProjectorStatus &status)
{
    return QJsonArray{temperatureJson(status.temperature1), temperatureJson(status.temperature2)};
}

QJsonValue lampModeJson(const ProjectorStatus &status)
{
    return status.lampMode ? QJsonValue(lampModeName(*status.lampMode)) : QJsonValue();
}

QJsonValue lampsOnJson(const ProjectorStatus &status)
{
    if (!status.lampsOn)
        return {};
    QJsonArray lamps;
    for (const int lamp : *status.lampsOn)
        lamps.append(lamp);
    return lamps;
}

// Every value: the query that gives it, its name in JSON, how the reply gives it and how
// JSON shows it.
struct Value
{
    QLatin1StringView readCode;
    QLatin1StringView key;
    void (*read)(QByteArrayView body, ProjectorStatus &status);
    QJsonValue (*json)(const ProjectorStatus &status);
};

using S = ProjectorStatus;

constexpr std::array kValues = {
    Value{"CR0"_L1, "power"_L1, readPower, powerJson},
    Value{"CR0"_L1, "errors"_L1, readErrors, errorsJson},
    Value{"CR0"_L1, "keyLock"_L1, readKeyLock, plainJson<&S::keyLock>},
    Value{"CR1"_L1, "input"_L1, readInput, plainJson<&S::input>},
    Value{"CR4"_L1, "reversal"_L1, readReversal, reversalJson},
    Value{"CR3"_L1, "lampHours"_L1, readLampHours, plainJson<&S::lampHours>},
    Value{"CR6"_L1, "temperatures"_L1, readTemperatures, temperaturesJson},
    Value{"CRA"_L1, "videoMute"_L1, readMute<&MuteRow::video, &S::videoMute>,
          plainJson<&S::videoMute>},
    Value{"CRA"_L1, "audioMute"_L1, readMute<&MuteRow::audio, &S::audioMute>,
          plainJson<&S::audioMute>},
    Value{"CRA"_L1, "noSignal"_L1, readMute<&MuteRow::noSignal, &S::noSignal>,
          plainJson<&S::noSignal>},
    Value{"CRA"_L1, "standby"_L1, readMute<&MuteRow::standby, &S::standby>, plainJson<&S::standby>},
    Value{"CR7"_L1, "lampMode"_L1, readLampMode, lampModeJson},
    Value{"CR7"_L1, "lampsOn"_L1, readLampsOn, lampsOnJson},
    Value{"CR9"_L1, "pcType"_L1, readPcType, plainJson<&S::pcType>},
};

} // namespace

ProjectorStatus readReply(QLatin1StringView readCode, QByteArrayView reply)
{
    ProjectorStatus status;
    const qsizetype end = reply.indexOf(kCr);
    const QByteArrayView body = end < 0 ? reply : reply.first(end);
    if (body == QByteArrayView(&kAck, 1)) {
        status.acknowledged = true;
        return status;
    }
    for (const Value &value : kValues) {
        if (value.readCode == readCode)
            value.read(body, status);
    }
    return status;
}

QLatin1StringView powerStateName(PowerState state)
{
    return std::ranges::find(kPowerStates, state, &PowerRow::state)->name;
}

QLatin1StringView lampModeName(LampMode mode)
{
    return std::ranges::find(kLampModes, mode, &LampModeRow::mode)->name;
}

QJsonObject toJson(QLatin1StringView readCode, const ProjectorStatus &status)
{
    QJsonObject object;
    for (const Value &value : kValues) {
        if (value.readCode == readCode)
            object.insert(value.key, value.json(status));
    }
    if (status.acknowledged)
        object.insert("acknowledged"_L1, true);
    return object;
}

} // namespace tarn
