#include "rawclient.h"

#include "stream.h"

namespace tarn::bridge {

bool RawClient::attach(Stream &stream)
{
    if (m_stream)
        return false;
    m_stream = &stream;
    m_waiting.clear();
    m_reading = true;
    connect(&stream, &Stream::received, this, &RawClient::onReceived);
    connect(&stream, &Stream::closed, this, &RawClient::detach);
    return true;
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
        const QPointer<Stream> stream = m_stream;
        const QString peer = stream->peer();
        detach();
        stream->close();
        emit refused(QStringLiteral("Closed the raw client %1: %2").arg(peer, problem));
        return;
    }
    updateReading();
    if (lineStart > 0)
        emit frameWaiting();
}

void RawClient::detach()
{
    if (m_stream)
        m_stream->disconnect(this);
    m_stream = nullptr;
    m_waiting.clear();
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
