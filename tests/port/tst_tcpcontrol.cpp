// The serial control on a TCP serial server: a local QTcpServer plays the server.
#include "serialcontrol.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace tarn::test {
namespace {

QString addressOf(const QTcpServer &server)
{
    return QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort());
}

void mapPort(int number, const QString &device)
{
    qputenv(QByteArray("TARN_COM") + QByteArray::number(number), device.toLocal8Bit());
}

// A port number on which nothing listens.
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

} // namespace

class TcpControlTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void bytesTravelBothWaysOverTheConnection();
    void aConnectionThatCannotBeMadeSaysWhy_data();
    void aConnectionThatCannotBeMadeSaysWhy();
    void aDroppedConnectionIsReportedOnceAndThePortReopens();
    void aFrameThatDoesNotFitTheOutputBufferIsRefused();

private:
    std::unique_ptr<QTcpSocket> openAndAccept(SerialControl &port, QTcpServer &server);
};

void TcpControlTest::init()
{
    mapPort(1, QStringLiteral("/nonexistent/tarn-serial1"));
    mapPort(2, QStringLiteral("/nonexistent/tarn-serial2"));
}

std::unique_ptr<QTcpSocket> TcpControlTest::openAndAccept(SerialControl &port, QTcpServer &server)
{
    mapPort(2, addressOf(server));
    if (!port.setCommPort(2).ok())
        return {};
    if (const Outcome opened = port.setPortOpen(true); !opened) {
        qWarning("%s", qPrintable(opened.description()));
        return {};
    }
    if (!server.waitForNewConnection(5000))
        return {};
    return std::unique_ptr<QTcpSocket>(server.nextPendingConnection());
}

void TcpControlTest::bytesTravelBothWaysOverTheConnection()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    SerialControl port;
    QSignalSpy events(&port, &CommControl::onComm);
    const auto far = openAndAccept(port, server);
    QVERIFY(far);
    QCOMPARE(port.deviceName(), addressOf(server));
    // Speed settings are taken and leave the connection as it is.
    QVERIFY(port.setSettings(QStringLiteral("9600,N,8,1")).ok());

    QVERIFY(port.output("CR0\r").ok());
    QByteArray sent;
    QTRY_COMPARE((sent += far->readAll()), QByteArray("CR0\r"));

    far->write("00\r");
    QTRY_VERIFY(events.count() > 0);
    QCOMPARE(port.commEvent(), CommControl::kEventReceive);
    QByteArray received;
    QTRY_COMPARE((received += port.input()), QByteArray("00\r"));
}

void TcpControlTest::aConnectionThatCannotBeMadeSaysWhy_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("reason");

    const QString refused = QStringLiteral("tcp://127.0.0.1:%1").arg(closedPort());
    QTest::newRow("nothing listens") << refused << "Connection refused";
    QTest::newRow("no port") << "tcp://127.0.0.1"
                             << "the address must read tcp://HOST:PORT";
    QTest::newRow("port out of range") << "tcp://127.0.0.1:70000"
                                       << "the address must read tcp://HOST:PORT";
    QTest::newRow("a path after the port") << "tcp://127.0.0.1:4001/x"
                                           << "the address must read tcp://HOST:PORT";
    QTest::newRow("no host") << "tcp://:4001"
                             << "the address must read tcp://HOST:PORT";
}

void TcpControlTest::aConnectionThatCannotBeMadeSaysWhy()
{
    QFETCH(QString, address);
    QFETCH(QString, reason);

    mapPort(2, address);
    SerialControl port;
    QVERIFY(port.setCommPort(2).ok());
    QCOMPARE(port.setPortOpen(true).description(),
             QStringLiteral("Cannot open %1: %2").arg(address, reason));
    QVERIFY(!port.portOpen());
}

void TcpControlTest::aDroppedConnectionIsReportedOnceAndThePortReopens()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    SerialControl port;
    QSignalSpy failures(&port, &CommControl::failed);
    auto far = openAndAccept(port, server);
    QVERIFY(far);

    far->close();
    QTRY_COMPARE(failures.count(), 1);
    QCOMPARE(failures.at(0).at(0).toString(),
             QStringLiteral("Lost %1: the remote host closed the connection (the port is now "
                            "closed)")
                 .arg(addressOf(server)));
    QVERIFY(!port.portOpen());
    QTest::qWait(100); // later notifications of the same loss stay unreported
    QCOMPARE(failures.count(), 1);
    QCOMPARE(port.output("C00\r").description(),
             QStringLiteral("Cannot write to %1: the port is not open").arg(addressOf(server)));

    QVERIFY(port.setPortOpen(true).ok());
    QVERIFY(server.waitForNewConnection(5000));
    far.reset(server.nextPendingConnection());
    QVERIFY(port.output("C00\r").ok());
    QByteArray sent;
    QTRY_COMPARE((sent += far->readAll()), QByteArray("C00\r"));
}

void TcpControlTest::aFrameThatDoesNotFitTheOutputBufferIsRefused()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    SerialControl port;
    const auto far = openAndAccept(port, server);
    QVERIFY(far);

    // Without the event loop turning, everything written stays queued.
    const QByteArray frame = "AFFFC00\r";
    qint64 accepted = 0;
    Outcome refusal;
    while (refusal.ok() && accepted < 100'000) {
        refusal = port.output(frame);
        if (refusal.ok())
            accepted += frame.size();
    }
    QCOMPARE(accepted, 512);
    QCOMPARE(refusal.description(),
             QStringLiteral("Cannot write to %1: output buffer full, 512 bytes still waiting")
                 .arg(addressOf(server)));

    QByteArray arrived;
    QTRY_COMPARE((arrived += far->readAll()).size(), accepted);
    QTRY_VERIFY(port.output(frame).ok());
}

} // namespace tarn::test

QTEST_GUILESS_MAIN(tarn::test::TcpControlTest)
#include "tst_tcpcontrol.moc"
