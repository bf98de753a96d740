#include "control/actiongate.h"

#include "traffic/frame.h"

#include <array>

namespace tarn::bridge {
namespace {

using namespace Qt::StringLiterals;

// The actions the projector takes only in some power states.
struct Rule
{
    std::array<QByteArrayView, 4> codes;
    bool (*refused)(PowerState state);
};

bool cooling(PowerState state)
{
    return state == PowerState::Cooling || state == PowerState::CoolingToPowerSave;
}

bool notOn(PowerState state)
{
    return state != PowerState::On;
}

constexpr std::array kRules = {
    Rule{{"C00"}, cooling},                    // power on
    Rule{{"C05", "C06", "C07", "C08"}, notOn}, // the inputs
    Rule{{"C0B", "C0C", "C0D", "C0E"}, notOn}, // sound mute and no show, on and off
    Rule{{"C43", "C44", "C09", "C0A"}, notOn}, // freeze on and off, volume up and down
};

const Rule *ruleFor(QByteArrayView code)
{
    for (const Rule &rule : kRules) {
        if (std::ranges::find(rule.codes, code) != rule.codes.end())
            return &rule;
    }
    return nullptr;
}

} // namespace

QString refusalFor(QByteArrayView code, PowerState state)
{
    const Rule *rule = ruleFor(code);
    if (!rule || !rule->refused(state))
        return {};
    return QStringLiteral("it is %1 and cannot take %2 now")
        .arg(powerStateName(state), QLatin1StringView(code));
}

ActionGate::ActionGate(LineService &line, const LiveState &state, Now now)
    : m_line(line), m_state(state), m_now(std::move(now))
{}

bool ActionGate::checked(const LineRequest &request)
{
    return !request.broadcast() &&
           std::ranges::any_of(request.codes, [](const QByteArray &c) { return ruleFor(c); });
}

void ActionGate::submit(const void *owner, const LineRequest &request, LineCallback done)
{
    if (!m_held.contains(owner) && !checked(request)) {
        send(owner, request, std::move(done));
        return;
    }
    m_held[owner].push_back({request, std::move(done)});
    drain(owner);
}

void ActionGate::cancel(const void *owner)
{
    m_held.erase(owner);
    std::erase_if(m_acting, [owner](const auto &entry) { return entry.second.first == owner; });
    m_line.cancel(owner);
}

// Hands the owner's held requests to the line in order, up to one whose power state must
// be read first. Any callback may cancel the owner: the map is looked up again each time.
void ActionGate::drain(const void *owner)
{
    for (;;) {
        const auto it = m_held.find(owner);
        if (it == m_held.end())
            return;
        std::deque<Held> &lane = it->second;
        if (lane.empty()) {
            m_held.erase(it);
            return;
        }
        Held &first = lane.front();
        if (first.reading)
            return;
        std::optional<PowerState> state;
        if (checked(first.request)) {
            const Reading *known = m_state.recent(first.request.prefix, "CR0"_L1, kFresh, m_now());
            if (!known || !known->status.power || acting(first.request.prefix)) {
                first.reading = true;
                m_line.submit(
                    owner, {first.request.prefix, {"CR0"}, first.request.priority},
                    [this, owner](const LineResult &result) { onPowerRead(owner, result); });
                return;
            }
            state = known->status.power;
        }
        Held held = std::move(first);
        lane.pop_front();
        pass(owner, std::move(held), state);
    }
}

void ActionGate::onPowerRead(const void *owner, const LineResult &result)
{
    const auto it = m_held.find(owner);
    if (it == m_held.end() || it->second.empty())
        return;
    Held held = std::move(it->second.front());
    it->second.pop_front();
    if (result.status == LineResult::Status::Ok) {
        pass(owner, std::move(held),
             readReply("CR0"_L1, result.replies.value(0)).power); // unreadable: no check
    } else {
        held.done({result.status, {}, {}}); // the projector did not answer: nothing more goes
    }
    drain(owner);
}

void ActionGate::pass(const void *owner, Held held, std::optional<PowerState> state)
{
    QString why;
    for (const QByteArray &code : held.request.codes) {
        if (state && why.isEmpty())
            why = refusalFor(code, *state);
    }
    if (why.isEmpty()) {
        send(owner, held.request, std::move(held.done));
        return;
    }
    const ProjectorRecord *record = m_state.byPrefix(held.request.prefix);
    const QString who = record ? record->profile.who : QStringLiteral("single");
    held.done({LineResult::Status::NotNow, {}, QStringLiteral("projector %1: %2").arg(who, why)});
}

// Hands a request to the line, keeping count of the actions on their way.
void ActionGate::send(const void *owner, const LineRequest &request, LineCallback done)
{
    if (std::ranges::all_of(request.codes, [](const QByteArray &c) { return isQuery(c); })) {
        m_line.submit(owner, request, std::move(done));
        return;
    }
    const quint64 number = ++m_actions;
    m_acting.emplace(number, std::pair{owner, request.prefix});
    m_line.submit(owner, request, [this, number, done = std::move(done)](const LineResult &r) {
        m_acting.erase(number);
        done(r);
    });
}

// An action to the projector, or to all of them, is on its way.
bool ActionGate::acting(const QByteArray &prefix) const
{
    return std::ranges::any_of(m_acting, [&](const auto &entry) {
        const QByteArray &to = entry.second.second;
        return to == prefix || to == kEveryProjector;
    });
}

} // namespace tarn::bridge
