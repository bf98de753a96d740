#include "linequeue.h"

#include "serial/asynccommcontrol.h"
#include "traffic/linerules.h"

namespace tarn::bridge {
namespace {
constexpr qsizetype kCodeLength = 3;

// The address prefix of a frame the raw client wrote: "A" and three characters, or none.
QByteArrayView prefixOf(QByteArrayView frame)
{
    return frame.startsWith('A') && frame.size() >= 4 ? frame.first(4) : QByteArrayView();
}
} // namespace

LineQueue::LineQueue(AsyncCommControl &port, TimerFactory &timers, Clock now, QObject *parent)
    : QObject(parent), m_port(port), m_now(std::move(now)), m_keeper(port, timers), m_raw(timers),
      m_silenced(timers, kSilence, kMemoryEntries), m_answers(timers, kReuse, kMemoryEntries),
      m_deadline(timers.createTimer()), m_wake(timers.createTimer())
{
    m_deadline->setTickHandler([this] { onDeadline(); });
    m_wake->setTickHandler([this] {
        m_wake->setEnabled(false);
        pump();
    });
    m_rawTick = m_now();
    m_silenced.onExpired([this](const QByteArray &prefix) { emit silenceChanged(prefix, false); });
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
    const bool background = request.priority == LineRequest::Priority::Background;
    (background ? m_background : m_clients).push({owner, request, std::move(done), rawClock()});
    pump();
}

void LineQueue::cancel(const void *owner)
{
    m_clients.cancel(owner);
    m_background.cancel(owner);
    if (m_current && m_current->owner == owner)
        m_current->done = nullptr; // its frames finish, so that the line stays in step
}

// Gives the free line to the next transaction: the raw client's frame first, unless its
// turn is over; then a request, in turn. Requests that can be answered without the line
// are answered on the way.
void LineQueue::pump()
{
    while ((m_turn == Turn::None || m_turn == Turn::RawHold) && m_keeper.up()) {
        const bool rawTurnOver = rawTurnIsOver();
        if (m_raw.hasFrame() && !rawTurnOver) {
            sendRaw(m_raw.takeFrame());
            continue;
        }
        if (m_turn == Turn::RawHold && !rawTurnOver)
            return; // the hold's end comes back here
        std::optional<Waiting> next = nextRequest();
        if (!next)
            return;
        if (!answerWithoutLine(*next))
            startRequest(std::move(*next));
    }
}

// The request whose turn it is, on a settled line: a client's, else a background one at
// least kBackgroundAfterRaw after the raw client's last transaction.
std::optional<Waiting> LineQueue::nextRequest()
{
    if (m_clients.empty() && m_background.empty())
        return std::nullopt;
    const milliseconds now = m_now();
    if (const milliseconds settling = m_settle.wait(now); settling > milliseconds::zero()) {
        if (!std::exchange(m_settleCounted, true))
            emit settleWaited();
        wakeIn(settling);
        return std::nullopt;
    }
    if (!m_clients.empty())
        return m_clients.take();
    if (const milliseconds quiet = now - m_rawEnded; quiet < kBackgroundAfterRaw) {
        wakeIn(kBackgroundAfterRaw - quiet);
        return std::nullopt;
    }
    return m_background.take();
}

// Whether a client's request has waited kRawTurn behind the raw client, on a settled line.
bool LineQueue::rawTurnIsOver()
{
    const std::optional<milliseconds> mark = m_clients.earliestMark();
    return mark && m_settle.wait(m_now()) == milliseconds::zero() && rawClock() - *mark >= kRawTurn;
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
        emit answerReused();
    }
    if (waiting.done)
        waiting.done(result);
    return true;
}

void LineQueue::startRequest(Waiting waiting)
{
    m_current = std::move(waiting);
    setTurn(Turn::Request);
    m_code = 0;
    m_replies.clear();
    sendCode();
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
    setTurn(Turn::Raw);
    m_rawAnswered = false;
    m_rawExpectsReply = prefix != kEveryProjector;
    m_rawClean = m_settle.wait(m_now()) == milliseconds::zero();
    m_rawFrame = frame.chopped(1);
    m_rawReply.clear();
    transmit(frame);
}

// Bytes that came before the frame are no part of its reply: they go to the raw client.
// A port that cannot take the frame yet (its output buffer is full: a stalled line, or a
// simulator that answers faster than the line speed lets the frame go out) is offered it
// again every kWriteRetry. After kReplyTimeout of that the line is lost: every request is
// answered before this returns. (A port that has closed reports its loss meanwhile.)
void LineQueue::transmit(const QByteArray &frame)
{
    m_raw.deliver(m_port.input());
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
    rawClock();
    m_settle.heard(m_now());
    const bool frameOut = m_unsent.isEmpty();
    if (m_turn == Turn::Request && frameOut) {
        takeReply(bytes);
        return;
    }
    m_raw.deliver(bytes); // the raw client's reply, or late or stray bytes
    if (m_turn != Turn::Raw)
        return;
    if (!frameOut) {
        m_rawClean = false; // these bytes answer something else
        return;
    }
    m_rawAnswered = true;
    m_rawReply += bytes;
    if (bytes.contains(kAck) || bytes.contains(kCr)) {
        reportRaw();
        endRaw(false);
    }
}

void LineQueue::takeReply(const QByteArray &bytes)
{
    const LineRequest &request = m_current->request;
    if (request.broadcast()) {
        m_raw.deliver(bytes); // nothing answers a broadcast: this is noise
        return;
    }
    m_reply += bytes;
    const QByteArray &code = request.codes[m_code];
    const qsizetype end = replyEnd(code, m_reply);
    if (end < 0) {
        if (m_reply.size() > kReplyLimit)
            giveUp();
        return;
    }
    m_replies << m_reply.left(isQuery(code) ? end : end + 1);
    emit exchanged(request.prefix, code, m_replies.last());
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

// The end of a raw transaction. The line stays with the raw client for kRawHold, so that
// a button it repeats keeps its rhythm: requests wait until it pauses, or its turn is over.
void LineQueue::endRaw(bool unsettled)
{
    if (unsettled)
        unsettle();
    else if (!m_rawExpectsReply && !m_rawAnswered)
        reportRaw(); // a broadcast, whose quiet time is over
    m_rawEnded = m_now();
    emit transactionEnded();
    setTurn(Turn::RawHold);
    m_deadline->setInterval(kRawHold);
    m_deadline->setEnabled(true);
    pump();
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
            endRaw(m_rawExpectsReply);
        return;
    }
    if (m_turn != Turn::Request) {
        m_deadline->setEnabled(false);
        setTurn(Turn::None); // the raw client paused
        pump();
        return;
    }
    const LineRequest &request = m_current->request;
    if (request.broadcast()) {
        emit exchanged(request.prefix, request.codes[m_code], {});
        if (++m_code < request.codes.size())
            sendCode();
        else
            finish({}); // answered when its last frame went out
        return;
    }
    m_silenced.put(request.prefix);
    emit timedOut(request.prefix);
    emit silenceChanged(request.prefix, true);
    giveUp();
}

// The reply did not end: the rest of it may still come, so the line must settle.
void LineQueue::giveUp()
{
    unsettle();
    finish({LineResult::Status::NoReply, m_replies});
}

void LineQueue::finish(const LineResult &result)
{
    m_deadline->setEnabled(false);
    const LineCallback done = std::exchange(m_current->done, nullptr);
    m_current.reset();
    setTurn(Turn::None);
    emit transactionEnded();
    if (done)
        done(result);
    pump();
}

// A raw frame's reply, when it is unambiguous (see exchanged()): only then may it speak
// for a projector.
void LineQueue::reportRaw()
{
    const QByteArrayView prefix = prefixOf(m_rawFrame);
    const QByteArray code = m_rawFrame.sliced(prefix.size());
    const bool whole = m_rawExpectsReply ? replyEnd(code, m_rawReply) == m_rawReply.size() - 1
                                         : m_rawReply.isEmpty();
    if (!m_rawClean || code.size() != kCodeLength || !whole)
        return;
    emit exchanged(prefix.toByteArray(), code, isQuery(code) ? m_rawReply.chopped(1) : m_rawReply);
}

void LineQueue::onLineChanged(bool up, const QString &description)
{
    emit lineStateChanged(up, description);
    if (up) {
        pump();
        return;
    }
    m_deadline->setEnabled(false);
    m_wake->setEnabled(false);
    m_raw.dropWaiting();
    std::optional<Waiting> current = std::exchange(m_current, std::nullopt);
    setTurn(Turn::None);
    if (current && current->done)
        current->done({LineResult::Status::LineDown, {}});
    // One at a time from the queues themselves, so that a callback may still cancel others.
    for (Rotation *waiting : {&m_clients, &m_background}) {
        while (std::optional<Waiting> next = waiting->take()) {
            if (next->done)
                next->done({LineResult::Status::LineDown, {}});
        }
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

void LineQueue::setTurn(Turn turn)
{
    rawClock(); // counted up to now under the turn that ends
    m_turn = turn;
}

void LineQueue::unsettle()
{
    rawClock();
    m_settleCounted = false;
    m_settle.begin(m_now());
}

void LineQueue::wakeIn(milliseconds wait)
{
    m_wake->setInterval(wait);
    m_wake->setEnabled(true);
}

milliseconds LineQueue::rawClock()
{
    const milliseconds now = m_now();
    if (m_turn == Turn::Raw || m_turn == Turn::RawHold)
        m_rawClock += std::max(now - std::max(m_rawTick, m_settle.end()), milliseconds::zero());
    m_rawTick = now;
    return m_rawClock;
}

} // namespace tarn::bridge
