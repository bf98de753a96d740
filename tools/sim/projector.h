#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <chrono>
#include <optional>

namespace tarn::sim {

using std::chrono::milliseconds;

// How fast a simulated projector changes by itself.
struct Timing
{
    milliseconds warmup{3000};   // count-down from standby to on
    milliseconds cooldown{3000}; // cooling down from on to standby
    milliseconds hour{10000};    // burning time that counts as one lamp hour
};

// How a simulated projector is set up to report its power state.
struct Conditions
{
    bool temperatureError = false; // every status reply carries the temperature flag
    bool powerSave = false;        // it rests in power save instead of standby
};

// One projector on the line. It changes only through the codes it is given and the passing
// of time; "now" is passed in by the caller, so the model runs on any clock.
class Projector
{
public:
    enum class Power
    {
        Standby,
        CountDown,
        On,
        CoolingDown
    };

    Projector(int number, Timing timing, Conditions conditions = {});

    // Acts on a three-character code and returns the reply the projector sends back: ACK for
    // an action code, the data and a carriage return for a known query, nothing otherwise.
    std::optional<QByteArray> handle(QByteArrayView code, milliseconds now);

    int number() const { return m_number; }
    Power power(milliseconds now);
    int inputMode() const { return m_input; }
    bool videoMuted() const { return m_videoMute; }
    bool soundMuted() const { return m_soundMute; }
    int lampMode() const { return m_lampMode; }
    int lampHours(milliseconds now);

private:
    void act(int action, milliseconds now);
    std::optional<QByteArray> answer(char query, milliseconds now);
    void settle(milliseconds now);
    void enter(Power next, milliseconds at);
    bool burning() const { return m_power == Power::CountDown || m_power == Power::On; }
    milliseconds burnt(milliseconds now) const;
    int hours(milliseconds now) const;

    QByteArray powerReply() const;
    QByteArray muteReply() const;
    QByteArray lampReply() const;
    QByteArray hoursReply(milliseconds now) const;
    QByteArray temperatureReply(milliseconds now) const;

    int m_number;
    Timing m_timing;
    Conditions m_conditions;
    Power m_power = Power::Standby;
    milliseconds m_since{0}; // when the current power state began
    milliseconds m_burnt{0}; // burning time before m_since
    int m_input = 1;
    bool m_videoMute = false;
    bool m_soundMute = false;
    int m_lampMode = 0;
};

} // namespace tarn::sim
