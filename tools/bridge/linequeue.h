#pragma once

#include "clock.h"
#include "linekeeper.h"
#include "lineservice.h"
#include "rawclient.h"
#include "rotation.h"
#include "shortmemory.h"

#include "traffic/linerules.h"

#include <QObject>
#include <optional>

namespace tarn {
class AsyncCommControl;
class CommControl;
} // namespace tarn

namespace tarn::bridge {

// The serial line shared by every client of the gateway, on one serial control.
//
// A transaction is one request's frames, each followed by its reply: an action's ends at
// its acknowledgement, a query's at its carriage return, either at kReplyTimeout. Nothing
// answers a broadcast: its result is Ok once its last frame is out, and the line stays
// quiet for kReplyTimeout after each of its frames, as after any frame, so that the
// projectors act before the next one.
//
// Turns: each owner (a client connection) has its own queue, and owners take turns, one
// request each. The raw client's frames go first, as soon as the line is free; but once a
// request has waited kRawTurn behind the raw client's transactions (not counting a settling
// line), it takes the next turn. The raw client's transaction ends at an acknowledgement
// or a carriage return, after kRawQuiet with nothing back, or at kReplyTimeout once
// something came; requests then wait kRawHold more, so that a repeating button keeps its
// rhythm. A background request goes only when no other request and no raw frame waits,
// and not within kBackgroundAfterRaw of a raw transaction.
//
// An answer belongs to its request or to none. A transaction that ends without its reply's
// end (a time-out, a reply past kReplyLimit, or a raw frame to an address or to the
// unaddressed projector that met kRawQuiet of silence) leaves the line unsettled: no
// request's frame goes out until it settles (traffic/linerules.h), whereas the raw client's
// own frames do not wait. Whatever arrives outside a transaction, and whatever is already
// waiting when a frame goes out, goes to the raw client: a late reply is shown, never
// taken as an answer, never reused.
//
// An address that let a reply time out is Silenced for kSilence without touching the line.
// A query's reply is reused for kReuse; an action to an address (from anyone, the raw
// client too) drops that address's reused replies, and an action to every projector or
// to the unaddressed one drops them all. Both are checked when a request's turn comes, so
// that every answer reflects the requests before it.
//
// A lost line answers every request LineDown at once, and new ones too until the line is
// back; the raw client's frames are dropped meanwhile.
class LineQueue final : public QObject, public LineService
{
    Q_OBJECT
public:
    static constexpr milliseconds kReplyTimeout{500};
    static constexpr milliseconds kSilence{5000};
    static constexpr milliseconds kReuse{1000};
    static constexpr milliseconds kRawQuiet{100};
    static constexpr milliseconds kRawHold{10};
    static constexpr milliseconds kRawTurn{150};
    static constexpr milliseconds kBackgroundAfterRaw{100};
    static constexpr milliseconds kWriteRetry{1};
    static constexpr milliseconds kReopen = LineKeeper::kRetry;
    // A reply longer than this without its end is garbled: the request fails at once.
    static constexpr qsizetype kReplyLimit = 256;
    static constexpr std::size_t kMemoryEntries = 64;

    LineQueue(AsyncCommControl &port, TimerFactory &timers, Clock now, QObject *parent = nullptr);
    ~LineQueue() override;

    // Opens the line (port 1 of the serial control) with these settings: "19200,N,8,1".
    void start(const QString &settings);

    void submit(const void *owner, const LineRequest &request, LineCallback done) override;
    void cancel(const void *owner) override;
    bool lineUp() const override { return m_keeper.up(); }
    bool attachRaw(Stream &stream) override { return m_raw.attach(stream); }

signals:
    // Each change between up and down, once, for the log.
    void lineStateChanged(bool up, const QString &description);
    // The raw client was closed for breaking a bound.
    void rawClientRefused(const QString &description);

private:
    enum class Turn
    {
        None,
        Request,
        Raw,
        RawHold, // between the raw client's transactions
    };

    void pump();
    std::optional<Waiting> nextRequest();
    bool rawTurnIsOver();
    bool answerWithoutLine(Waiting &waiting);
    void startRequest(Waiting waiting);
    void sendCode();
    void sendRaw(const QByteArray &frame);
    void transmit(const QByteArray &frame);
    void writeUnsent();
    void onComm();
    void takeReply(const QByteArray &bytes);
    void endRaw(bool unsettled);
    void onDeadline();
    void giveUp();
    void finish(const LineResult &result);
    void onLineChanged(bool up, const QString &description);
    void onRawFrame();
    void forgetAnswers(QByteArrayView prefix);
    void setTurn(Turn turn);
    void unsettle();
    void wakeIn(milliseconds wait);
    milliseconds rawClock();

    CommControl &m_port;
    Clock m_now;
    LineKeeper m_keeper;
    RawClient m_raw;
    ShortMemory m_silenced;            // address prefixes
    ShortMemory m_answers;             // prefix + code: the reply
    std::unique_ptr<Timer> m_deadline; // the transaction's
    std::unique_ptr<Timer> m_wake;     // a free line that a time rule holds
    Rotation m_clients;
    Rotation m_background;
    Turn m_turn = Turn::None;
    std::optional<Waiting> m_current; // the request on the line
    qsizetype m_code = 0;             // which of its codes
    QList<QByteArray> m_replies;
    QByteArray m_reply;
    QByteArray m_unsent;            // a frame the port could not take yet
    milliseconds m_stalled{};       // how long it has waited
    bool m_rawAnswered = false;     // something came back for the raw frame
    bool m_rawExpectsReply = false; // the raw frame is not a broadcast
    Settle m_settle;
    // The raw client's line time: how long the line has been its (in its transactions and
    // holds) while settled, counted up to m_rawTick. A request's wait behind the raw client
    // is this less its mark.
    milliseconds m_rawClock{};
    milliseconds m_rawTick{};
    milliseconds m_rawEnded = -kBackgroundAfterRaw; // the last raw transaction's end
};

} // namespace tarn::bridge
