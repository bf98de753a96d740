#pragma once

#include "clock.h"
#include "lineservice.h"
#include "state/livestate.h"

#include <deque>
#include <functional>
#include <unordered_map>

namespace tarn::bridge {

// Why a projector in `state` cannot take `code` now; empty when it can. Power on is refused
// while cooling down; an input, a mute, a freeze or a volume step in every state but on: the
// projector would acknowledge it and do nothing.
QString refusalFor(QByteArrayView code, PowerState state);

// The line as every client of the gateway sees it, with one rule added: an action that the
// projector cannot take in its present power state is answered NotNow, and nothing goes on
// the line. PJLink answers it ERR3, HTTP 409, MQTT with a refusal.
//
// The power state is the one read within the last kFresh, and not since made stale by an
// action, with no action to the same projector still on its way (it may change the state
// before this one goes); without one, a status query (CR0) goes first, in the same turns as the
// action, and the action follows once it is answered. An owner's later requests wait behind that
// read, so that every owner's requests still reach the line in the order it gave them.
// A broadcast cannot be checked and goes as before, as does anything the rule does not
// name. The check and the action are two transactions: another client's request may come
// between them, as it may between a PJLink client's query and its action.
class ActionGate final : public LineService
{
public:
    static constexpr milliseconds kFresh{1000};
    using Now = std::function<Moment()>;

    ActionGate(LineService &line, const LiveState &state, Now now);

    void submit(const void *owner, const LineRequest &request, LineCallback done) override;
    void cancel(const void *owner) override;
    bool lineUp() const override { return m_line.lineUp(); }
    bool attachRaw(Stream &stream) override { return m_line.attachRaw(stream); }

private:
    struct Held
    {
        LineRequest request;
        LineCallback done;
        bool reading = false; // its power state is being read
    };

    static bool checked(const LineRequest &request);
    void drain(const void *owner);
    void onPowerRead(const void *owner, const LineResult &result);
    void pass(const void *owner, Held held, std::optional<PowerState> state);
    void send(const void *owner, const LineRequest &request, LineCallback done);
    bool acting(const QByteArray &prefix) const;

    LineService &m_line;
    const LiveState &m_state;
    Now m_now;
    // Per owner, its requests not yet handed to the line, oldest first, while the first
    // one waits for its power state.
    std::unordered_map<const void *, std::deque<Held>> m_held;
    // The actions handed to the line and not yet done: their owner and prefix, by number.
    std::unordered_map<quint64, std::pair<const void *, QByteArray>> m_acting;
    quint64 m_actions = 0;
};

} // namespace tarn::bridge
