#include "linequeue.h"

#include "serial/asynccommcontrol.h"
#include "traffic/linerules.h"

namespace tarn::bridge {
namespace {
const QByteArray kEveryProjector = "AFFF";

// The address prefix of a frame the raw client wrote: "A" and three characters, or none.
QByteArrayView prefixOf(QByteArrayView frame)
{
    return frame.startsWith('A') && frame.size() >= 4 ? frame.first(4) : QByteArrayView();
}
} // namespace

LineQueue::LineQueue(AsyncCommControl &port, TimerFactory &timers, QObject *parent)
    : QObject(parent), m_port(port), m_keeper(port, timers), m_raw(timers),
      m_silenced(timers, kSilence, kMemoryEntries), m_answers(timers, kReuse, kMemoryEntries),
      m_deadline(timers.createTimer())
{
    m_deadline->setTickHandler([this] { onDeadline(); });
    connect(&m_keeper, &LineKeeper::changed, this, &LineQueue::onLineChanged);
    connect(&m_port, &CommControl::onComm, this, &LineQueue::onComm);
    connect(&m_raw, &RawClient::frameWaiting, this, &LineQueue::onRawFrame);
    connect(&m_raw, &RawClient::refused, this, &LineQueue::rawClientRefused);
}

LineQueue::~LineQueue() = default;

void LineQueue::start(const QString &settings)
{
    m_keeper.start(settings);
}

void LineQueue::submit(const void *owner, const LineRequest &request, LineCallback done)
{
    if (m_keeper.down()) {
        done({LineResult::Status::LineDown, {}});
        return;
    }
    m_queue.push_back({owner, request, std::move(done)});
    pump();
}

void LineQueue::cancel(const void *owner)
{
    std::erase_if(m_queue, [owner](const Waiting &waiting) { return waiting.owner == owner; });
    if (m_current && m_current->owner == owner)
        m_current->done = nullptr; // its frames finish, so that the line stays in step
}

// Gives the free line to the next frame: the raw client's first, then the oldest request
// that needs the line. Requests that can be answered without it are answered on the way.
void LineQueue::pump()
{
    while ((m_turn == Turn::None || m_turn == Turn::RawHold) && m_keeper.up()) {
        if (m_raw.hasFrame()) {
            sendRaw(m_raw.takeFrame());
            continue;
        }
        if (m_queue.empty() || m_turn == Turn::RawHold)
            return;
        Waiting next = std::move(m_queue.front());
        m_queue.pop_front();
        if (answerWithoutLine(next))
            continue;
        m_current = std::move(next);
        m_turn = Turn::Request;
        m_code = 0;
        m_replies.clear();
        sendCode();
    }
}

bool LineQueue::answerWithoutLine(Waiting &waiting)
{
    const LineRequest &request = waiting.request;
    LineResult result;
    if (!request.broadcast() && m_silenced.contains(request.prefix)) {
        result.status = LineResult::Status::Silenced;
    } else {
        for (const QByteArray &code : request.codes) {
            const auto answer = isQuery(code) ? m_answers.get(request.prefix + code) : std::nullopt;
            if (!answer)
                return false;
            result.replies << *answer;
        }
    }
    if (waiting.done)
        waiting.done(result);
    return true;
}

void LineQueue::sendCode()
{
    const LineRequest &request = m_current->request;
    const QByteArray &code = request.codes[m_code];
    if (!isQuery(code))
        forgetAnswers(request.prefix);
    m_reply.clear();
    transmit(frameFor(request.prefix, code));
}

void LineQueue::sendRaw(const QByteArray &frame)
{
    const QByteArrayView prefix = prefixOf(frame);
    if (!isQuery(QByteArrayView(frame).sliced(prefix.size())))
        forgetAnswers(prefix);
    m_turn = Turn::Raw;
    m_rawAnswered = false;
    transmit(frame);
}

// A port that cannot take the frame yet (its output buffer is full: a stalled line, or a
// simulator that answers faster than the line speed lets the frame go out) is offered it
// again every kWriteRetry. After kReplyTimeout of that the line is lost: every request is
// answered before this returns. (A port that has closed reports its loss meanwhile.)
void LineQueue::transmit(const QByteArray &frame)
{
    m_unsent = frame;
    m_stalled = milliseconds::zero();
    writeUnsent();
}

void LineQueue::writeUnsent()
{
    const Outcome written = m_port.output(m_unsent);
    if (!written && m_stalled < kReplyTimeout) {
        m_stalled += kWriteRetry;
        m_deadline->setInterval(kWriteRetry);
        m_deadline->setEnabled(true);
        return;
    }
    m_unsent.clear();
    if (!written) {
        m_keeper.lose(written.description());
        return;
    }
    m_deadline->setInterval(m_turn == Turn::Raw ? kRawQuiet : kReplyTimeout);
    m_deadline->setEnabled(true);
    if (m_turn == Turn::Request && m_current->request.broadcast() &&
        m_code + 1 == m_current->request.codes.size()) {
        if (LineCallback done = std::exchange(m_current->done, nullptr))
            done({}); // every frame is out; the line stays quiet a while yet
    }
}

void LineQueue::onComm()
{
    if (m_port.commEvent() != CommControl::kEventReceive)
        return;
    const QByteArray bytes = m_port.input();
    if (m_turn == Turn::None || !m_unsent.isEmpty()) {
        m_raw.deliver(bytes); // outside a transaction, or before its frame is out
        return;
    }
    if (m_turn == Turn::Request) {
        takeReply(bytes);
        return;
    }
    m_raw.deliver(bytes);
    m_rawAnswered = true;
    if (bytes.contains(kAck) || bytes.contains(kCr))
        holdForRaw();
}

// The end of a raw transaction. The line stays with the raw client for kRawHold, so that
// a button it repeats keeps its rhythm: requests wait until it pauses.
void LineQueue::holdForRaw()
{
    m_turn = Turn::RawHold;
    m_deadline->setInterval(kRawHold);
    m_deadline->setEnabled(true);
    pump();
}

void LineQueue::takeReply(const QByteArray &bytes)
{
    const LineRequest &request = m_current->request;
    if (request.broadcast())
        return; // nothing answers a broadcast: this is noise
    m_reply += bytes;
    const QByteArray &code = request.codes[m_code];
    const qsizetype end = replyEnd(code, m_reply);
    if (end < 0) {
        if (m_reply.size() > kReplyLimit)
            finish({LineResult::Status::NoReply, m_replies});
        return;
    }
    m_replies << m_reply.left(isQuery(code) ? end : end + 1);
    m_raw.deliver(m_reply.mid(end + 1)); // whatever follows the end belongs to no request
    if (++m_code < request.codes.size()) {
        sendCode();
        return;
    }
    for (qsizetype i = 0; i < request.codes.size(); ++i) {
        if (isQuery(request.codes[i]))
            m_answers.put(request.prefix + request.codes[i], m_replies[i]);
    }
    finish({LineResult::Status::Ok, m_replies});
}

void LineQueue::onDeadline()
{
    if (!m_unsent.isEmpty()) {
        writeUnsent();
        return;
    }
    if (m_turn == Turn::Raw) {
        if (m_rawAnswered && m_deadline->interval() == kRawQuiet)
            m_deadline->setInterval(kReplyTimeout - kRawQuiet); // a reply is coming in
        else
            holdForRaw();
        return;
    }
    if (m_turn != Turn::Request) {
        m_deadline->setEnabled(false);
        m_turn = Turn::None; // the raw client paused
        pump();
        return;
    }
    const LineRequest &request = m_current->request;
    if (request.broadcast()) {
        if (++m_code < request.codes.size())
            sendCode();
        else
            finish({}); // answered when its last frame went out
        return;
    }
    m_silenced.put(request.prefix);
    finish({LineResult::Status::NoReply, m_replies});
}

void LineQueue::finish(const LineResult &result)
{
    m_deadline->setEnabled(false);
    const LineCallback done = std::exchange(m_current->done, nullptr);
    m_current.reset();
    m_turn = Turn::None;
    if (done)
        done(result);
    pump();
}

void LineQueue::onLineChanged(bool up, const QString &description)
{
    emit lineStateChanged(up, description);
    if (up) {
        pump();
        return;
    }
    m_deadline->setEnabled(false);
    m_raw.dropWaiting();
    if (m_current)
        m_queue.push_front(std::move(*m_current));
    m_current.reset();
    m_turn = Turn::None;
    // One at a time from the queue itself, so that a callback may still cancel others.
    while (!m_queue.empty()) {
        const LineCallback done = std::move(m_queue.front().done);
        m_queue.pop_front();
        if (done)
            done({LineResult::Status::LineDown, {}});
    }
}

void LineQueue::onRawFrame()
{
    if (m_keeper.down())
        m_raw.dropWaiting();
    else
        pump();
}

// An action to one address changes what that projector would answer; one to every
// projector, or to the unaddressed one, may change any of them.
void LineQueue::forgetAnswers(QByteArrayView prefix)
{
    m_answers.forget(prefix == kEveryProjector ? QByteArrayView() : prefix);
}

} // namespace tarn::bridge
