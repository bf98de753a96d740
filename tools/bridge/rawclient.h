#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>

namespace tarn::bridge {

class Stream;

// The client that uses the line itself: its bytes cut into frames at each carriage return,
// waiting for the line, and the way back for whatever the line says. At most one client.
//
// Bounds: while more than kWaitingLimit frames wait, the client is not read, so that TCP
// holds it back. A line of more than kLineLimit bytes without a carriage return is not a
// frame of this line; the client is closed with what it sent. So is a client more than
// kBacklogLimit bytes ahead of the line, which a stream that stops reading when told, in
// chunks of a few kilobytes, never lets happen.
class RawClient : public QObject
{
    Q_OBJECT
public:
    static constexpr int kWaitingLimit = 8;
    static constexpr qsizetype kLineLimit = 64;
    static constexpr qsizetype kBacklogLimit = 8192;

    using QObject::QObject;

    // False when a client is attached already.
    bool attach(Stream &stream);
    bool hasFrame() const { return m_waiting.contains('\r'); }
    // The oldest waiting frame, with its carriage return.
    QByteArray takeFrame();
    // Bytes from the line, passed on unchanged; dropped without a client.
    void deliver(const QByteArray &bytes);
    // Forgets every waiting frame, for a line that is lost.
    void dropWaiting();

signals:
    void frameWaiting();
    // The client was closed for breaking a bound; says who and why, for the log.
    void refused(const QString &description);

private:
    void onReceived(const QByteArray &bytes);
    void detach();
    void updateReading();

    QPointer<Stream> m_stream;
    QByteArray m_waiting; // received and not yet sent, up to the frames' carriage returns
    bool m_reading = true;
};

} // namespace tarn::bridge
