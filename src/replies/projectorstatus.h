#pragma once

#include <QByteArrayView>
#include <QJsonObject>
#include <QLatin1StringView>
#include <QList>
#include <QString>
#include <optional>

namespace tarn {

// The power state that the status query ("CR0") reports.
enum class PowerState
{
    Standby,
    On,
    Warming, // the count-down after power on
    Cooling,
    PowerSave,
    CoolingToPowerSave,
};

enum class LampMode
{
    FourLamps,     // "4 Lamp mode"
    LampsOneFour,  // "2 Lamp mode(1,4)"
    LampsTwoThree, // "2 Lamp mode(2,3)"
};

// One temperature reading as the projector sent it: the text, and its value where the
// text reads as a number.
struct Temperature
{
    QString text;
    std::optional<double> value;
};

// The projector's state as values, read from the raw bytes of one query's reply. Every
// value that the reply does not give, or gives incompletely or garbled, stays empty:
// unknown, never guessed.
struct ProjectorStatus
{
    bool acknowledged = false; // the reply was an acknowledgement alone

    // "CR0"
    std::optional<PowerState> power;
    std::optional<bool> powerError;
    std::optional<bool> temperatureError;
    std::optional<bool> keyLock;
    // "CR1": 1 to 4
    std::optional<int> input;
    // "CR4"
    std::optional<bool> topBottomReversed;
    std::optional<bool> leftRightReversed;
    // "CR3"
    std::optional<qint64> lampHours;
    // "CR6": the two readings
    std::optional<Temperature> temperature1;
    std::optional<Temperature> temperature2;
    // "CRA"
    std::optional<bool> videoMute;
    std::optional<bool> audioMute;
    std::optional<bool> noSignal;
    std::optional<bool> standby;
    // "CR7"
    std::optional<LampMode> lampMode;
    std::optional<QList<int>> lampsOn; // lamp numbers 1 to 4, ascending
    // "CR9"
    std::optional<QString> pcType;
};

// Reads the reply to the query with this read code ("CR0", "CR1", ...), as the raw
// bytes received, with or without the closing carriage return.
ProjectorStatus readReply(QLatin1StringView readCode, QByteArrayView reply);

// The names of the values in JSON: "standby", "on", "warming", "cooling", "power-save",
// "cooling-to-power-save"; "4", "1-4", "2-3".
QLatin1StringView powerStateName(PowerState state);
QLatin1StringView lampModeName(LampMode mode);

// The values of the query with this read code as JSON members, null where unknown:
//  "CR0" power, errors (a list of "power" and "temperature"), keyLock;
//  "CR1" input; "CR4" reversal {topBottom, leftRight}; "CR3" lampHours;
//  "CR6" temperatures (two, each a number where its text reads as one, else the text);
//  "CRA" videoMute, audioMute, noSignal, standby; "CR7" lampMode, lampsOn; "CR9" pcType.
// An acknowledgement alone adds "acknowledged": true. An unknown read code gives no values.
QJsonObject toJson(QLatin1StringView readCode, const ProjectorStatus &status);

} // namespace tarn
