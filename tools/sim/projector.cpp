#include "projector.h"
#include "traffic/frame.h"
#include "traffic/hexdigit.h"

#include <algorithm>

namespace tarn::sim {

namespace {

// Action codes the model reacts to; every other action code is acknowledged and ignored.
enum Action
{
    kPowerOn = 0x00,
    kPowerOff = 0x01,
    kInput1 = 0x05,
    kInput4 = 0x08,
    kSoundMuteOn = 0x0B,
    kSoundMuteOff = 0x0C,
    kNoShowOn = 0x0D,
    kNoShowOff = 0x0E,
    kFourLamps = 0x70,
    kLampsOneFour = 0x71,
    kLampsTwoThree = 0x72,
};

// Lamps that burn in each lamp mode, bit 0 for lamp No1 up to bit 3 for lamp No4.
constexpr int kLampMasks[] = {0xF, 0x9, 0x6};

constexpr int kMaxHours = 99999;
constexpr int kFirstHours = 1200; // lamp hours of projector 1 when the simulator starts
constexpr int kHoursStep = 345;   // so that each projector shows its own count
constexpr char kPcType[] = "TSX4L20";

QByteArray hexDigit(int value)
{
    return QByteArray(1, "0123456789ABCDEF"[value & 0xF]);
}

// A slow, repeatable wobble of a few tenths of a degree around a sensor's reading.
double wobble(milliseconds now, int period)
{
    const auto step = static_cast<int>((now.count() / period) % 8);
    return 0.1 * (step < 4 ? step : 8 - step);
}

} // namespace

Projector::Projector(int number, Timing timing, Conditions conditions)
    : m_number(number), m_timing(timing), m_conditions(conditions)
{}

std::optional<QByteArray> Projector::handle(QByteArrayView code, milliseconds now)
{
    if (code.size() != 3 || code[0] != 'C')
        return std::nullopt;
    settle(now);
    if (code[1] == 'R')
        return answer(code[2], now);
    const int high = hexValue(code[1]);
    const int low = hexValue(code[2]);
    if (high < 0 || low < 0)
        return std::nullopt;
    act(high * 16 + low, now);
    return QByteArray(1, kAck);
}

void Projector::act(int action, milliseconds now)
{
    switch (action) {
    case kPowerOn:
        if (m_power == Power::Standby)
            enter(Power::CountDown, now);
        break;
    case kPowerOff:
        if (burning())
            enter(Power::CoolingDown, now);
        break;
    case kSoundMuteOn:
    case kSoundMuteOff:
        m_soundMute = action == kSoundMuteOn;
        break;
    case kNoShowOn:
    case kNoShowOff:
        m_videoMute = action == kNoShowOn;
        break;
    case kFourLamps:
    case kLampsOneFour:
    case kLampsTwoThree:
        m_lampMode = action - kFourLamps;
        break;
    default:
        if (action >= kInput1 && action <= kInput4)
            m_input = action - kInput1 + 1;
        break;
    }
}

std::optional<QByteArray> Projector::answer(char query, milliseconds now)
{
    QByteArray data;
    switch (query) {
    case '0':
        data = powerReply();
        break;
    case '1':
        data = QByteArray::number(m_input);
        break;
    case '3':
        data = hoursReply(now);
        break;
    case '4':
        data = "11";
        break;
    case '6':
        data = temperatureReply(now);
        break;
    case '7':
        data = lampReply();
        break;
    case '9':
        data = kPcType;
        break;
    case 'A':
        data = muteReply();
        break;
    default:
        return std::nullopt;
    }
    return data + kCr;
}

Projector::Power Projector::power(milliseconds now)
{
    settle(now);
    return m_power;
}

int Projector::lampHours(milliseconds now)
{
    settle(now);
    return hours(now);
}

int Projector::hours(milliseconds now) const
{
    const auto total = kFirstHours + kHoursStep * (m_number - 1) + burnt(now) / m_timing.hour;
    return static_cast<int>(std::min<qint64>(total, kMaxHours));
}

// Carries out the changes that time alone makes: the end of the count-down and of cooling.
void Projector::settle(milliseconds now)
{
    if (m_power == Power::CountDown && now - m_since >= m_timing.warmup)
        enter(Power::On, m_since + m_timing.warmup);
    if (m_power == Power::CoolingDown && now - m_since >= m_timing.cooldown)
        enter(Power::Standby, m_since + m_timing.cooldown);
}

void Projector::enter(Power next, milliseconds at)
{
    m_burnt = burnt(at);
    m_power = next;
    m_since = at;
}

milliseconds Projector::burnt(milliseconds now) const
{
    return burning() ? m_burnt + std::max(now - m_since, milliseconds{0}) : m_burnt;
}

// The state bits of the status reply, with the temperature flag when it is set up so.
QByteArray Projector::powerReply() const
{
    int bits = 0x00; // on
    switch (m_power) {
    case Power::Standby:
        bits = m_conditions.powerSave ? 0x04 : 0x80;
        break;
    case Power::CountDown:
        bits = 0x40;
        break;
    case Power::On:
        break;
    case Power::CoolingDown:
        bits = m_conditions.powerSave ? 0x24 : 0x20;
        break;
    }
    if (m_conditions.temperatureError)
        bits |= 0x08;
    return hexDigit(bits >> 4) + hexDigit(bits);
}

QByteArray Projector::muteReply() const
{
    if (m_power != Power::On)
        return "FF";
    return hexDigit(0) + hexDigit((m_videoMute ? 1 : 0) | (m_soundMute ? 2 : 0));
}

QByteArray Projector::lampReply() const
{
    return hexDigit(m_lampMode) + hexDigit(burning() ? kLampMasks[m_lampMode] : 0);
}

QByteArray Projector::hoursReply(milliseconds now) const
{
    return QByteArray::number(hours(now)).rightJustified(5, '0');
}

// Two sensors, "SSS.S  TT.T": the first reads about 35 degrees, the second about 42; both
// climb a few degrees while the lamps burn and move by tenths as time passes.
QByteArray Projector::temperatureReply(milliseconds now) const
{
    const double heat = burning() ? 6.0 : 0.0;
    const double first = 33.0 + m_number * 0.6 + heat + wobble(now, 700);
    const double second = 40.0 + m_number * 0.4 + heat * 1.5 + wobble(now, 1100);
    return QByteArray::number(first, 'f', 1).rightJustified(5, '0') + "  " +
           QByteArray::number(std::min(second, 99.9), 'f', 1).rightJustified(4, ' ');
}

} // namespace tarn::sim
