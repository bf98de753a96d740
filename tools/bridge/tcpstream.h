#pragma once

#include "stream.h"

#include <QTimer>
#include <chrono>

class QTcpSocket;

namespace tarn::bridge {

// A client connection on a TCP socket. It reads at most kReadChunk bytes ahead, so that
// a stream that is not read holds the client back through TCP itself. A client that
// leaves more than kMaxUnsent bytes of answers unread is cut off, and so is one that
// has not taken its last answer kLinger after close().
class TcpStream final : public Stream
{
    Q_OBJECT
public:
    static constexpr qint64 kReadChunk = 4096;
    static constexpr qint64 kMaxUnsent = 64 * 1024;
    static constexpr std::chrono::milliseconds kLinger{5000};

    // Takes the socket over, as a child.
    explicit TcpStream(QTcpSocket *socket);
    ~TcpStream() override;

    void write(const QByteArray &bytes) override;
    void setReading(bool reading) override;
    void close() override;
    QString peer() const override { return m_peer; }

private:
    void readSome();
    void cutOff();
    void finish();

    QTcpSocket *m_socket;
    QString m_peer;
    QTimer m_linger;
    bool m_reading = true;
    bool m_closing = false;
    bool m_finished = false;
};

} // namespace tarn::bridge
