#include "rawclient.h"

#include "stream.h"

namespace tarn::bridge {

RawClient::RawClient(TimerFactory &timers, QObject *parent)
    : QObject(parent), m_takeOver(timers.createTimer())
{
    m_takeOver->setInterval(kTakeOver);
    m_takeOver->setTickHandler([this] {
        m_takeOver->setEnabled(false);
        if (m_newcomer)
            refuse(*m_newcomer, QStringLiteral("another raw client is connected"));
    });
}

RawClient::~RawClient() = default;

bool RawClient::attach(Stream &stream)
{
    if (!m_stream) {
        adopt(stream);
        return true;
    }
    if (m_newcomer)
        return false;
    m_newcomer = &stream;
    stream.setReading(false);
    m_takeOver->setEnabled(true);
    return true;
}

void RawClient::adopt(Stream &stream)
{
    stream.disconnect(this);
    m_stream = &stream;
    m_waiting.clear();
    m_reading = true;
    connect(&stream, &Stream::received, this, &RawClient::onReceived);
    connect(&stream, &Stream::closed, this, &RawClient::detach);
    stream.setReading(true); // a newcomer's bytes come now
}

QByteArray RawClient::takeFrame()
{
    const qsizetype end = m_waiting.indexOf('\r');
    if (end < 0)
        return {};
    QByteArray frame = m_waiting.left(end + 1);
    m_waiting.remove(0, end + 1);
    updateReading();
    return frame;
}

void RawClient::deliver(const QByteArray &bytes)
{
    if (m_stream && !bytes.isEmpty())
        m_stream->write(bytes);
}

void RawClient::dropWaiting()
{
    m_waiting.remove(0, m_waiting.lastIndexOf('\r') + 1); // a frame's start may still come
    updateReading();
}

void RawClient::onReceived(const QByteArray &bytes)
{
    m_waiting += bytes;
    const qsizetype lineStart = m_waiting.lastIndexOf('\r') + 1;
    QString problem;
    if (m_waiting.size() - lineStart > kLineLimit)
        problem = QStringLiteral("a line of more than %1 bytes without a carriage return")
                      .arg(kLineLimit);
    else if (m_waiting.size() > kBacklogLimit)
        problem = QStringLiteral("more than %1 bytes ahead of the line").arg(kBacklogLimit);
    if (!problem.isEmpty()) {
        refuse(*m_stream, problem);
        return;
    }
    updateReading();
    if (lineStart > 0)
        emit frameWaiting();
}

// Closes a client, the attached one or the newcomer, and says why.
void RawClient::refuse(Stream &stream, const QString &problem)
{
    const QPointer<Stream> closing = &stream;
    const QString peer = stream.peer();
    if (closing == m_stream) {
        detach();
    } else {
        stream.disconnect(this);
        m_newcomer = nullptr;
    }
    if (closing)
        closing->close();
    emit refused(QStringLiteral("Closed the raw client %1: %2").arg(peer, problem));
}

// The attached client has gone or was closed: a newcomer takes its place.
void RawClient::detach()
{
    if (m_stream)
        m_stream->disconnect(this);
    m_stream = nullptr;
    m_waiting.clear();
    m_takeOver->setEnabled(false);
    if (const QPointer<Stream> next = std::exchange(m_newcomer, nullptr))
        adopt(*next);
}

void RawClient::updateReading()
{
    const bool reading = m_waiting.count('\r') <= kWaitingLimit;
    if (!m_stream || reading == m_reading)
        return;
    m_reading = reading;
    m_stream->setReading(reading);
}

} // namespace tarn::bridge
