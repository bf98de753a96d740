// Starts the real simulator and talks to it the way the panel does: plain POSIX calls on the
// printed pseudo-terminal, or a socket on the printed TCP address. Bounds are generous and
// nothing here measures time.

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kPatienceMs = 10000;

QString simulator()
{
    return QDir(qEnvironmentVariable("TARN_BIN")).filePath(QStringLiteral("tarn-sim"));
}

// One end of the line to the simulator, whichever kind it printed.
class Client
{
public:
    ~Client()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool open(const QString &address)
    {
        if (address.startsWith(QLatin1String("tcp://"))) {
            m_socket.connectToHost(QStringLiteral("127.0.0.1"),
                                   quint16(address.section(u':', -1).toUInt()));
            return m_socket.waitForConnected(kPatienceMs);
        }
        m_fd = ::open(address.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        if (m_fd < 0)
            return false;
        termios raw{};
        ::tcgetattr(m_fd, &raw);
        ::cfmakeraw(&raw);
        return ::tcsetattr(m_fd, TCSANOW, &raw) == 0;
    }

    bool send(const QByteArray &bytes)
    {
        if (m_fd < 0)
            return m_socket.write(bytes) == bytes.size() &&
                   m_socket.waitForBytesWritten(kPatienceMs);
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // Reads until exactly `size` bytes have come or the patience runs out.
    QByteArray receive(qsizetype size)
    {
        QByteArray got;
        while (got.size() < size) {
            if (m_fd < 0) {
                if (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(kPatienceMs))
                    break;
                got += m_socket.read(size - got.size());
                continue;
            }
            pollfd ready{m_fd, POLLIN, 0};
            if (::poll(&ready, 1, kPatienceMs) <= 0)
                break;
            char buffer[64];
            const auto n = ::read(m_fd, buffer, size_t(std::min<qsizetype>(size - got.size(), 64)));
            if (n <= 0 && errno != EINTR)
                break;
            if (n > 0)
                got.append(buffer, n);
        }
        return got;
    }

private:
    int m_fd = -1;
    QTcpSocket m_socket;
};

// Reads the simulator's log until a line appears (or the patience runs out).
bool logShows(QProcess &process, QByteArray &log, const QByteArray &line)
{
    while (!log.split('\n').contains(line)) {
        if (!process.waitForReadyRead(kPatienceMs))
            return false;
        log += process.readAllStandardOutput();
    }
    return true;
}

} // namespace

class SimProgram : public QObject
{
    Q_OBJECT

private slots:
    void aClientGetsStatusAndAcknowledgement_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("scheme");
        QTest::newRow("pseudo-terminal") << QStringList{} << "/dev/";
        QTest::newRow("pseudo-terminal, split replies") << QStringList{"--split"} << "/dev/";
        QTest::newRow("tcp") << QStringList{"--tcp", "0"} << "tcp://127.0.0.1:";
    }
    void aClientGetsStatusAndAcknowledgement()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, scheme);
        QProcess process;
        process.start(simulator(), arguments);
        QVERIFY2(process.waitForStarted(kPatienceMs), qPrintable(process.errorString()));
        QByteArray log;
        while (!log.contains('\n') && process.waitForReadyRead(kPatienceMs))
            log += process.readAllStandardOutput();
        const QString address = QString::fromLocal8Bit(log.left(log.indexOf('\n')));
        QVERIFY2(address.startsWith(scheme), qPrintable(address));
        QVERIFY(!address.endsWith(u':'));

        Client client;
        QVERIFY2(client.open(address), qPrintable(address));
        QVERIFY(client.send("CR0\r"));
        QCOMPARE(client.receive(3), QByteArray("80\r"));
        QVERIFY(client.send("C00\r"));
        QCOMPARE(client.receive(1), QByteArray("\x06"));
        QVERIFY(logShows(process, log, "< CR0\\r"));
        QVERIFY(logShows(process, log, "> 80\\r"));
        QVERIFY(logShows(process, log, "< C00\\r"));
        QVERIFY(logShows(process, log, "> \\x06"));

        process.terminate();
        QVERIFY(process.waitForFinished(kPatienceMs));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }

    void theLinkLeadsToTheDeviceWhileTheSimulatorRuns()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("projector"));
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/stale"), link));
        QProcess process;
        process.start(simulator(), {"--link", link, "--projectors", "1"});
        QVERIFY(process.waitForReadyRead(kPatienceMs));
        const QString device = QString::fromLocal8Bit(process.readLine().trimmed());
        QCOMPARE(QFileInfo(link).symLinkTarget(), device);

        Client client;
        QVERIFY(client.open(link));
        QVERIFY(client.send("A002CR0\rA001CR1\r"));
        QCOMPARE(client.receive(2), QByteArray("1\r"));

        process.terminate();
        QVERIFY(process.waitForFinished(kPatienceMs));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    }

    void badArgumentsEndWithAUsageError_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown option") << QStringList{"--loud"};
        QTest::newRow("projectors out of range") << QStringList{"--projectors", "9"};
    }
    void badArgumentsEndWithAUsageError()
    {
        QFETCH(QStringList, arguments);
        QProcess process;
        process.start(simulator(), arguments);
        QVERIFY(process.waitForFinished(kPatienceMs));
        QCOMPARE(process.exitCode(), 64);
        QVERIFY(process.readAllStandardOutput().isEmpty());
        QVERIFY(!process.readAllStandardError().isEmpty());
    }
};

QTEST_GUILESS_MAIN(SimProgram)
#include "tst_simprogram.moc"
