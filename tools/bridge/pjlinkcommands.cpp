#include "pjlinkcommands.h"

#include "replies/projectorstatus.h"
#include "traffic/frame.h"

#include <array>

namespace tarn::bridge {
namespace {

constexpr qint64 kMaxLampHours = 99999; // PJLink's lamp time has at most five digits
constexpr qsizetype kMaxInfo = 32;      // PJLink's INFO has at most 32 characters
constexpr int kLamps = 4;
constexpr qsizetype kHeader = 6; // "%1POWR"

Plan answered(QByteArray value)
{
    Plan plan;
    plan.answer = std::move(value);
    return plan;
}

Plan onLine(QList<QByteArray> codes, Plan::Reader read)
{
    Plan plan;
    plan.request.codes = std::move(codes);
    plan.read = read;
    return plan;
}

ProjectorStatus readOne(const LineResult &result, qsizetype index, const char *readCode)
{
    return readReply(QLatin1StringView(readCode), result.replies.at(index));
}

// Done when each reply ends with the acknowledgement, whatever stray bytes came before it.
QByteArray acknowledged(const LineResult &result, const Profile &)
{
    for (const QByteArray &reply : result.replies) {
        if (!reply.endsWith(kAck))
            return "ERR4";
    }
    return "OK";
}

QByteArray powerState(const LineResult &result, const Profile &)
{
    const auto power = readOne(result, 0, "CR0").power;
    if (!power)
        return "ERR4";
    switch (*power) {
    case PowerState::Standby:
    case PowerState::PowerSave:
        return "0";
    case PowerState::On:
        return "1";
    case PowerState::Cooling:
    case PowerState::CoolingToPowerSave:
        return "2";
    case PowerState::Warming:
        return "3";
    }
    return "ERR4";
}

QByteArray errorState(const LineResult &result, const Profile &)
{
    const ProjectorStatus status = readOne(result, 0, "CR0");
    if (!status.temperatureError || !status.powerError)
        return "ERR4";
    // fan, lamp, temperature, cover, filter, other
    return QByteArray("00") + (*status.temperatureError ? '2' : '0') + "00" +
           (*status.powerError ? '2' : '0');
}

QByteArray currentInput(const LineResult &result, const Profile &profile)
{
    const auto input = readOne(result, 0, "CR1").input;
    if (!input || *input < 1 || *input > profile.inputs.size())
        return "ERR4";
    return profile.inputs.at(*input - 1);
}

QByteArray muteState(const LineResult &result, const Profile &)
{
    const ProjectorStatus status = readOne(result, 0, "CRA");
    if (status.standby.value_or(false) || status.noSignal.value_or(false))
        return "ERR3";
    if (!status.videoMute || !status.audioMute)
        return "ERR4";
    if (*status.videoMute)
        return *status.audioMute ? "31" : "11";
    return *status.audioMute ? "21" : "30";
}

// The projector keeps one lamp-hour count; every lamp reports it.
QByteArray lampState(const LineResult &result, const Profile &)
{
    const auto hours = readOne(result, 0, "CR3").lampHours;
    const auto lampsOn = readOne(result, 1, "CR7").lampsOn;
    if (!hours || *hours < 0 || !lampsOn)
        return "ERR4";
    const QByteArray count = QByteArray::number(std::min(*hours, kMaxLampHours));
    QByteArrayList lamps;
    for (int lamp = 1; lamp <= kLamps; ++lamp)
        lamps << count + (lampsOn->contains(lamp) ? " 1" : " 0");
    return lamps.join(' ');
}

QByteArray otherInformation(const LineResult &result, const Profile &)
{
    const auto pcType = readOne(result, 0, "CR9").pcType;
    if (!pcType)
        return "ERR4";
    QByteArray text;
    for (const QChar c : *pcType) {
        if (c.unicode() >= 0x20 && c.unicode() <= 0x7E && text.size() < kMaxInfo)
            text += static_cast<char>(c.unicode());
    }
    return text;
}

Plan power(QByteArrayView parameter, const Profile &)
{
    if (parameter == "1")
        return onLine({"C00"}, acknowledged);
    if (parameter == "0")
        return onLine({"C01"}, acknowledged);
    if (parameter == "?")
        return onLine({"CR0"}, powerState);
    return answered("ERR2");
}

Plan input(QByteArrayView parameter, const Profile &profile)
{
    if (parameter == "?")
        return onLine({"CR1"}, currentInput);
    const qsizetype index = profile.inputs.indexOf(parameter);
    if (index < 0)
        return answered("ERR2");
    return onLine({"C0" + QByteArray::number(5 + index)}, acknowledged);
}

Plan mute(QByteArrayView parameter, const Profile &)
{
    // No show is the video mute.
    struct Row
    {
        QByteArrayView parameter;
        QByteArrayView video;
        QByteArrayView sound;
    };
    static constexpr std::array kRows = {
        Row{"10", "C0E", {}}, Row{"11", "C0D", {}},    Row{"20", {}, "C0C"},
        Row{"21", {}, "C0B"}, Row{"30", "C0E", "C0C"}, Row{"31", "C0D", "C0B"},
    };
    if (parameter == "?")
        return onLine({"CRA"}, muteState);
    for (const Row &row : kRows) {
        if (row.parameter != parameter)
            continue;
        QList<QByteArray> codes;
        for (const QByteArrayView code : {row.video, row.sound})
            if (!code.isEmpty())
                codes << code.toByteArray();
        return onLine(codes, acknowledged);
    }
    return answered("ERR2");
}

Plan query(QByteArrayView parameter, Plan plan)
{
    return parameter == "?" ? std::move(plan) : answered("ERR2");
}

struct Command
{
    QByteArrayView body;
    Plan (*plan)(QByteArrayView parameter, const Profile &profile);
};

constexpr std::array kCommands = {
    Command{"POWR", power},
    Command{"INPT", input},
    Command{"AVMT", mute},
    Command{"ERST",
            [](QByteArrayView p, const Profile &) {
                return query(p, onLine({"CR0"}, errorState));
            }},
    Command{"LAMP",
            [](QByteArrayView p, const Profile &) {
                return query(p, onLine({"CR3", "CR7"}, lampState));
            }},
    Command{"INST",
            [](QByteArrayView p, const Profile &profile) {
                return query(p, answered(QByteArrayList(profile.inputs).join(' ')));
            }},
    Command{"NAME",
            [](QByteArrayView p, const Profile &profile) {
                return query(p, answered(profile.name));
            }},
    Command{"INF1",
            [](QByteArrayView p, const Profile &) {
                return query(p, answered("TARN"));
            }},
    Command{"INF2",
            [](QByteArrayView p, const Profile &) {
                return query(p, answered("HV20"));
            }},
    Command{"INFO",
            [](QByteArrayView p, const Profile &) {
                return query(p, onLine({"CR9"}, otherInformation));
            }},
    Command{"CLSS",
            [](QByteArrayView p, const Profile &) {
                return query(p, answered("1"));
            }},
};

// A broadcast reaches every projector and nothing answers it: a set command is done
// once it is sent, and a query has nothing to read.
Plan forBroadcast(Plan plan)
{
    if (!plan.needsLine())
        return plan;
    if (plan.read != acknowledged)
        return answered("ERR3");
    plan.read = [](const LineResult &, const Profile &) {
        return QByteArray("OK");
    };
    return plan;
}

} // namespace

Plan planFor(QByteArrayView command, const Profile &profile)
{
    // "%1", four characters, then a space and the parameter.
    if (!isRequest(command) || command[1] != '1' ||
        (command.size() > kHeader && command[kHeader] != ' '))
        return answered("ERR1");
    const QByteArrayView body = command.sliced(2, 4);
    const QByteArrayView parameter = command.sliced(std::min(command.size(), kHeader + 1));
    for (const Command &c : kCommands) {
        if (c.body != body)
            continue;
        Plan plan = c.plan(parameter, profile);
        plan.request.prefix = profile.prefix;
        return profile.broadcast() ? forBroadcast(std::move(plan)) : plan;
    }
    return answered("ERR1");
}

QByteArray answerFrom(const Plan &plan, const LineResult &result, const Profile &profile)
{
    if (result.status != LineResult::Status::Ok)
        return "ERR4";
    if (!plan.request.broadcast() && result.replies.size() != plan.request.codes.size())
        return "ERR4";
    return plan.read(result, profile);
}

bool isRequest(QByteArrayView line)
{
    return line.size() >= kHeader && line[0] == '%' && line[1] >= '0' && line[1] <= '9';
}

QByteArray replyLine(QByteArrayView request, QByteArrayView value)
{
    return request.first(kHeader).toByteArray() + '=' + value.toByteArray() + '\r';
}

} // namespace tarn::bridge
