#pragma once

#include "traffic/frame.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

namespace tarn::bridge {

class Stream;

// What one network request needs from the serial line: frames with one address prefix,
// sent one after the other in a single transaction that nothing else interrupts.
struct LineRequest
{
    // Clients' requests take turns; a background request (the gateway's own) goes only
    // when none waits, and not just after a raw transaction.
    enum class Priority
    {
        Client,
        Background,
    };
    QByteArray prefix;       // "", "A001" to "A004", or "AFFF" for every projector
    QList<QByteArray> codes; // three-character codes, e.g. {"CR0"} or {"C0E", "C0C"}
    Priority priority = Priority::Client;

    bool broadcast() const { return prefix == kEveryProjector; }
};

struct LineResult
{
    enum class Status
    {
        Ok,       // every frame answered (a broadcast: every frame sent)
        NoReply,  // a reply did not come, or not complete, within the reply time-out
        Silenced, // the address timed out moments ago; the line was not touched
        LineDown, // the line is lost or could not be opened
        NotNow,   // the projector cannot act in its present power state; nothing was sent
    };
    Status status = Status::Ok;
    // The raw reply to each code, in order, without the closing carriage return; empty
    // for a broadcast.
    QList<QByteArray> replies;
    QString why = {}; // NotNow: the reason, in words ("projector 1: it is cooling ...")
};

using LineCallback = std::function<void(const LineResult &)>;

// The serial line shared by every client of the gateway, one transaction at a time.
// Clients take turns, one request each; a raw client's frames go first, within a bound.
class LineService
{
public:
    virtual ~LineService() = default;

    // Queues a request for `owner`. `done` is called exactly once, unless cancel(owner)
    // comes first, possibly from inside submit() (a reused answer, a silenced address or
    // a line that is down).
    virtual void submit(const void *owner, const LineRequest &request, LineCallback done) = 0;
    // Forgets every request of `owner`: those not yet sent never go out, and no callback
    // of owner's runs any more. For a closing connection.
    virtual void cancel(const void *owner) = 0;
    virtual bool lineUp() const = 0;
    // Serves the line itself as a raw byte stream to this client. A client that comes
    // while another is attached waits, unread, a short while for that one to go (a panel
    // that reopens its port connects anew before the end of its old connection is seen),
    // and is closed by the service if it stays. Returns false when a client waits so
    // already; the caller then closes the new one.
    virtual bool attachRaw(Stream &stream) = 0;
};

} // namespace tarn::bridge
