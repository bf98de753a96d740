#pragma once

#include "link.h"

#include <QTcpSocket>
#include <QTimer>
#include <chrono>

namespace tarn {

// A link over a TCP connection, for a serial line behind a network serial server
// (an address of the form tcp://HOST:PORT). Speed settings are accepted and have no
// effect: the server's own port sets the line speed.
class TcpLink final : public Link
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kConnectTimeout{3000};

    TcpLink(QString address, QObject *parent);

    QString name() const override { return m_address; }
    Outcome open(const LineSettings &line, const CommControl::FixedSetup &setup) override;
    void beginOpen(const LineSettings &line, const CommControl::FixedSetup &setup) override;
    void close() override;
    Outcome apply(const LineSettings &) override { return {}; }
    qint64 waiting() override { return m_socket.bytesToWrite(); }
    Outcome write(const QByteArray &data) override;
    qint64 bytesAvailable() const override { return m_socket.bytesAvailable(); }
    QByteArray read(qint64 maxSize) override;

private:
    enum class Opening
    {
        None,
        Waiting,      // open() waits for the connection
        InBackground, // beginOpen() reports it
    };

    Outcome startConnecting(const CommControl::FixedSetup &setup);
    QString connectFailure() const;
    void finishInBackground(const Outcome &outcome);
    void onConnected();
    void onError(QAbstractSocket::SocketError error);

    QString m_address;
    QTcpSocket m_socket;
    QTimer m_connectTimeout;
    Opening m_opening = Opening::None;
};

} // namespace tarn
