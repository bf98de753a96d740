#include "state/metrics.h"

#include "state/exposition.h"

#include <algorithm>
#include <array>

namespace tarn::bridge {
namespace {

using Labels = Exposition::Labels;
using Type = Exposition::Type;

struct PowerValue
{
    PowerState state;
    int pjlink;
};

constexpr std::array kPowerValues = {
    PowerValue{PowerState::Standby, 0},
    PowerValue{PowerState::PowerSave, 0},
    PowerValue{PowerState::On, 1},
    PowerValue{PowerState::Cooling, 2},
    PowerValue{PowerState::CoolingToPowerSave, 2},
    PowerValue{PowerState::Warming, 3},
};

// PJLink's ERST components in its order, and the status flag that reports each: the
// projector has two, and a power fault counts as "other", as its PJLink ERST answer says.
struct Component
{
    const char *name;
    std::optional<bool> ProjectorStatus::*error;
};

constexpr std::array kComponents = {
    Component{"fan", nullptr},
    Component{"lamp", nullptr},
    Component{"temperature", &ProjectorStatus::temperatureError},
    Component{"cover", nullptr},
    Component{"filter", nullptr},
    Component{"other", &ProjectorStatus::powerError},
};
constexpr int kPjlinkError = 2; // ERST: 0 no error, 1 warning, 2 error
constexpr int kLamps = 4;

const ProjectorStatus &statusOf(const ProjectorRecord &record, const char *code)
{
    static const ProjectorStatus kNothing;
    const Reading *reading = record.reading(QLatin1StringView(code));
    return reading ? reading->status : kNothing;
}

double seconds(std::chrono::milliseconds wall)
{
    return double(wall.count()) / 1000.0;
}

Labels with(Labels labels, QByteArrayView name, QByteArray value)
{
    labels.append({name, std::move(value)});
    return labels;
}

void flag(Exposition &out, const Labels &labels, std::optional<bool> value)
{
    if (value)
        out.sample(labels, *value ? 1 : 0);
}

// One gauge family with a sample (or several) per projector.
struct ProjectorFamily
{
    const char *name;
    const char *help;
    void (*write)(Exposition &out, const ProjectorRecord &record, const Labels &labels,
                  const MonitorInputs &inputs);
};

void powerStatus(Exposition &out, const ProjectorRecord &record, const Labels &labels,
                 const MonitorInputs &)
{
    if (const auto power = statusOf(record, "CR0").power)
        out.sample(labels, pjlinkPower(*power));
}

void errorStatus(Exposition &out, const ProjectorRecord &record, const Labels &labels,
                 const MonitorInputs &)
{
    const ProjectorStatus &status = statusOf(record, "CR0");
    if (!status.temperatureError || !status.powerError)
        return;
    for (const Component &component : kComponents) {
        const bool error = component.error && *(status.*component.error);
        out.sample(with(labels, "component", component.name), error ? kPjlinkError : 0);
    }
}

void lampHours(Exposition &out, const ProjectorRecord &record, const Labels &labels,
               const MonitorInputs &)
{
    // The projector keeps one count; every lamp reports it, as its PJLink LAMP answer does.
    if (const auto hours = statusOf(record, "CR3").lampHours)
        for (int lamp = 1; lamp <= kLamps; ++lamp)
            out.sample(with(labels, "lamp", QByteArray::number(lamp)), double(*hours));
}

void deviceInfo(Exposition &out, const ProjectorRecord &record, const Labels &labels,
                const MonitorInputs &inputs)
{
    out.sample(
        with(with(with(labels, "name", record.profile.name), "manufacturer", inputs.manufacturer),
             "model", inputs.model),
        1);
}

void input(Exposition &out, const ProjectorRecord &record, const Labels &labels,
           const MonitorInputs &)
{
    if (const auto input = statusOf(record, "CR1").input)
        out.sample(labels, *input);
}

template<std::optional<bool> ProjectorStatus::*field>
void mute(Exposition &out, const ProjectorRecord &record, const Labels &labels,
          const MonitorInputs &)
{
    flag(out, labels, statusOf(record, "CRA").*field);
}

void lampsLit(Exposition &out, const ProjectorRecord &record, const Labels &labels,
              const MonitorInputs &)
{
    if (const auto &lit = statusOf(record, "CR7").lampsOn)
        for (int lamp = 1; lamp <= kLamps; ++lamp)
            out.sample(with(labels, "lamp", QByteArray::number(lamp)), lit->contains(lamp));
}

void temperatures(Exposition &out, const ProjectorRecord &record, const Labels &labels,
                  const MonitorInputs &)
{
    const ProjectorStatus &status = statusOf(record, "CR6");
    int sensor = 0;
    for (const auto &reading : {status.temperature1, status.temperature2}) {
        ++sensor;
        if (reading && reading->value)
            out.sample(with(labels, "sensor", QByteArray::number(sensor)), *reading->value);
    }
}

void readTimes(Exposition &out, const ProjectorRecord &record, const Labels &labels,
               const MonitorInputs &)
{
    for (std::size_t i = 0; i < kKeptQueries.size(); ++i) {
        if (const auto &reading = record.readings[i])
            out.sample(with(labels, "reading",
                            QByteArray(kKeptQueries[i].name.data(), kKeptQueries[i].name.size())),
                       seconds(reading->readAt.wall));
    }
}

constexpr std::array kProjectorFamilies = {
    ProjectorFamily{"pjlink_power_status",
                    "Power as PJLink's POWR gives it: 0 standby, 1 on, 2 cooling, 3 warming.",
                    powerStatus},
    ProjectorFamily{"pjlink_error_status",
                    "Errors as PJLink's ERST gives them: 0 none, 2 error, per component.",
                    errorStatus},
    ProjectorFamily{"pjlink_lamp_hours", "Hours the lamp has burned.", lampHours},
    ProjectorFamily{"pjlink_device_info", "The projector's PJLink name, manufacturer and model.",
                    deviceInfo},
    ProjectorFamily{"tarn_input", "The selected input, 1 to 4.", input},
    ProjectorFamily{"tarn_video_mute", "1 while the picture is muted.",
                    mute<&ProjectorStatus::videoMute>},
    ProjectorFamily{"tarn_audio_mute", "1 while the sound is muted.",
                    mute<&ProjectorStatus::audioMute>},
    ProjectorFamily{"tarn_no_signal", "1 while the selected input has no signal.",
                    mute<&ProjectorStatus::noSignal>},
    ProjectorFamily{"tarn_lamp_lit", "1 for a lamp that burns in the present lamp mode.", lampsLit},
    ProjectorFamily{"tarn_temperature_celsius", "The projector's two temperature readings.",
                    temperatures},
    ProjectorFamily{"tarn_reading_timestamp_seconds",
                    "When each reading was taken from the projector, in Unix time.", readTimes},
    ProjectorFamily{"tarn_projector_silenced", "1 while the address is not asked after a time-out.",
                    [](Exposition &out, const ProjectorRecord &record, const Labels &labels,
                       const MonitorInputs &) {
                        out.sample(labels, record.silenced ? 1 : 0);
                    }},
    ProjectorFamily{"tarn_projector_consecutive_timeouts",
                    "Time-outs of the address since its last answer.",
                    [](Exposition &out, const ProjectorRecord &record, const Labels &labels,
                       const MonitorInputs &) {
                        out.sample(labels, record.consecutiveTimeouts);
                    }},
    ProjectorFamily{"tarn_projector_last_answer_timestamp_seconds",
                    "When the address last answered, in Unix time.",
                    [](Exposition &out, const ProjectorRecord &record, const Labels &labels,
                       const MonitorInputs &) {
                        if (record.lastAnswer)
                            out.sample(labels, seconds(record.lastAnswer->wall));
                    }},
};

// One family with one sample for the whole line.
struct LineFamily
{
    const char *name;
    const char *help;
    Type type;
    double (*value)(const LiveState &state, const GatewayFigures &figures);
};

constexpr std::array kLineFamilies = {
    LineFamily{"tarn_line_up", "1 while the serial line is open.", Type::Gauge,
               [](const LiveState &s, const GatewayFigures &) {
                   return s.lineUp() ? 1.0 : 0.0;
               }},
    LineFamily{"tarn_line_transactions_total", "Transactions on the serial line.", Type::Counter,
               [](const LiveState &s, const GatewayFigures &) {
                   return double(s.counters().transactions);
               }},
    LineFamily{"tarn_line_timeouts_total", "Transactions that got no reply in time.", Type::Counter,
               [](const LiveState &s, const GatewayFigures &) {
                   return double(s.counters().timeouts);
               }},
    LineFamily{"tarn_line_reused_answers_total",
               "Queries answered from a reply moments old, without the line.", Type::Counter,
               [](const LiveState &s, const GatewayFigures &) {
                   return double(s.counters().reusedAnswers);
               }},
    LineFamily{"tarn_line_settle_waits_total",
               "Frames held back until the line settled after a time-out.", Type::Counter,
               [](const LiveState &s, const GatewayFigures &) {
                   return double(s.counters().settleWaits);
               }},
    LineFamily{"tarn_pjlink_connections", "Open PJLink connections.", Type::Gauge,
               [](const LiveState &, const GatewayFigures &f) {
                   return double(f.pjlinkConnections);
               }},
    LineFamily{"tarn_pjlink_failed_authentications_total",
               "PJLink connections that failed to authenticate.", Type::Counter,
               [](const LiveState &, const GatewayFigures &f) {
                   return double(f.failedAuthentications);
               }},
};

} // namespace

int pjlinkPower(PowerState state)
{
    return std::ranges::find(kPowerValues, state, &PowerValue::state)->pjlink;
}

QByteArray renderMetrics(const LiveState &state, const MonitorInputs &inputs,
                         const GatewayFigures &figures)
{
    const QByteArray line = inputs.lineName.toUtf8();
    Exposition out;
    for (const ProjectorFamily &family : kProjectorFamilies) {
        out.family(family.name, family.help, Type::Gauge);
        for (const ProjectorRecord &record : state.records())
            family.write(out, record, {{"projector", record.profile.who.toUtf8()}, {"line", line}},
                         inputs);
    }
    for (const LineFamily &family : kLineFamilies) {
        out.family(family.name, family.help, family.type);
        out.sample({{"line", line}}, family.value(state, figures));
    }
    out.family("tarn_http_requests_total", "HTTP requests answered, by status code.",
               Type::Counter);
    for (const auto &[status, count] : figures.httpAnswers)
        out.sample({{"line", line}, {"code", QByteArray::number(status)}}, double(count));
    return out.text();
}

} // namespace tarn::bridge
