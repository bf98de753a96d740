// tarn-sim: simulated projectors on a pseudo-terminal or a local TCP port.

#include "line.h"
#include "options.h"
#include "transmitter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QPointer>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using namespace tarn::sim;

namespace {

constexpr int kFailure = 1;
constexpr qint64 kMaxTcpBacklog = qint64{64} * 1024; // flood bytes are dropped beyond this
constexpr std::chrono::milliseconds kRetry{200};

void printLine(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void fail(const QString &message)
{
    std::fprintf(stderr, "tarn-sim: %s\n", qPrintable(message));
}

// Turns SIGINT and SIGTERM into an orderly end of the event loop.
class SignalWatcher
{
public:
    bool install()
    {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_pipe) != 0)
            return false;
        struct sigaction action = {};
        action.sa_handler = [](int) {
            const char byte = 1;
            [[maybe_unused]] const auto written = ::write(s_pipe[0], &byte, 1);
        };
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, nullptr);
        ::sigaction(SIGTERM, &action, nullptr);
        m_notifier = std::make_unique<QSocketNotifier>(s_pipe[1], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [] {
            char byte;
            [[maybe_unused]] const auto got = ::read(s_pipe[1], &byte, 1);
            QCoreApplication::quit();
        });
        return true;
    }

private:
    static inline int s_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// The line and its faults on the real clock; the byte stream itself is somebody else's.
class Simulator
{
public:
    using Writer = std::function<void(const QByteArray &)>;

    Simulator(const Options &options, Writer writer)
        : m_line(options.projectors, options.timing, options.conditions),
          m_transmitter(options.faults,
                        options.seed.value_or(QRandomGenerator::global()->generate())),
          m_write(std::move(writer))
    {
        m_clock.start();
        m_sendTimer.setSingleShot(true);
        m_sendTimer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_sendTimer, &QTimer::timeout, [this] { pump(); });
        if (options.floodBaud) {
            const quint32 seed =
                options.seed.value_or(QRandomGenerator::global()->generate()) ^ 0x5a5a5a5au;
            m_flood = std::make_unique<Flood>(*options.floodBaud, seed, now());
            m_floodTimer.setInterval(Flood::kChunk);
            QObject::connect(&m_floodTimer, &QTimer::timeout,
                             [this] { m_write(m_flood->take(now())); });
            m_floodTimer.start();
        }
    }

    void receive(QByteArrayView bytes)
    {
        for (const Line::Exchange &exchange : m_line.receive(bytes, now())) {
            printLine("< " + escaped(exchange.frame.text() + '\r'));
            if (exchange.reply) {
                m_transmitter.send(*exchange.reply, now());
                pump();
            }
        }
    }

    // A new client: whatever was half received or still queued belonged to the last one.
    void restart()
    {
        m_line.restart();
        m_transmitter.clear();
        m_sendTimer.stop();
    }

private:
    milliseconds now() const { return milliseconds{m_clock.elapsed()}; }

    void pump()
    {
        const Transmitter::Output out = m_transmitter.take(now());
        if (!out.bytes.isEmpty())
            m_write(out.bytes);
        for (const QByteArray &reply : out.replies)
            printLine("> " + escaped(reply));
        if (const auto due = m_transmitter.nextDue())
            m_sendTimer.start(std::max(*due - now(), milliseconds{0}));
    }

    Line m_line;
    Transmitter m_transmitter;
    Writer m_write;
    std::unique_ptr<Flood> m_flood;
    QElapsedTimer m_clock;
    QTimer m_sendTimer;
    QTimer m_floodTimer;
};

// The simulator's end of a pseudo-terminal. It keeps the other end open as well, so the line
// stays up while clients come and go.
class PseudoTerminal
{
public:
    ~PseudoTerminal()
    {
        if (m_master >= 0)
            ::close(m_master);
        if (m_slave >= 0)
            ::close(m_slave);
    }

    QString open()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return {};
        const char *name = ::ptsname(m_master);
        if (!name)
            return {};
        m_path = QString::fromLocal8Bit(name);
        m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_slave < 0)
            return {};
        termios raw{};
        if (::tcgetattr(m_slave, &raw) != 0)
            return {};
        ::cfmakeraw(&raw);
        if (::tcsetattr(m_slave, TCSANOW, &raw) != 0)
            return {};
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        return m_path;
    }

    void attach(Simulator &simulator)
    {
        m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this, &simulator] {
            char buffer[4096];
            for (;;) {
                const auto got = ::read(m_master, buffer, sizeof buffer);
                if (got > 0) {
                    simulator.receive(QByteArrayView(buffer, got));
                    continue;
                }
                if (got < 0 && errno == EINTR)
                    continue;
                if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                    break;
                // A hung-up master would report readiness without end; look again later.
                m_notifier->setEnabled(false);
                QTimer::singleShot(kRetry, [this] { m_notifier->setEnabled(true); });
                break;
            }
        });
    }

    // Bytes that do not fit because nobody reads them are lost, as on a real line.
    void write(const QByteArray &bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const auto put = ::write(m_master, bytes.constData() + done,
                                     static_cast<size_t>(bytes.size() - done));
            if (put > 0)
                done += put;
            else if (!(put < 0 && errno == EINTR))
                return;
        }
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// A symbolic link to the device, there for as long as the simulator runs.
class DeviceLink
{
public:
    ~DeviceLink()
    {
        if (m_path.isEmpty())
            return;
        // Only remove the link if it still leads to our device.
        char target[4096];
        const auto length = ::readlink(m_path.constData(), target, sizeof target - 1);
        if (length >= 0 && QByteArrayView(target, length) == m_target)
            ::unlink(m_path.constData());
    }

    QString create(const QString &path, const QString &target)
    {
        const QByteArray link = QFile::encodeName(path);
        const QByteArray to = QFile::encodeName(target);
        struct stat info;
        if (::lstat(link.constData(), &info) == 0) {
            if (!S_ISLNK(info.st_mode))
                return QStringLiteral("%1 exists and is not a symbolic link").arg(path);
            ::unlink(link.constData());
        }
        if (::symlink(to.constData(), link.constData()) != 0)
            return QStringLiteral("cannot link %1: %2")
                .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        m_path = link;
        m_target = to;
        return {};
    }

private:
    QByteArray m_path;
    QByteArray m_target;
};

// One client at a time on a local TCP port; a new connection replaces the old one.
class TcpLine
{
public:
    QString listen(quint16 port)
    {
        if (!m_server.listen(QHostAddress::LocalHost, port))
            return {};
        return QStringLiteral("tcp://127.0.0.1:%1").arg(m_server.serverPort());
    }

    void attach(Simulator &simulator)
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this, &simulator] {
            while (QTcpSocket *next = m_server.nextPendingConnection()) {
                if (m_client) {
                    m_client->abort();
                    m_client->deleteLater();
                }
                m_client = next;
                simulator.restart();
                QObject::connect(next, &QTcpSocket::readyRead,
                                 [next, &simulator] { simulator.receive(next->readAll()); });
                QObject::connect(next, &QTcpSocket::disconnected, next, &QObject::deleteLater);
            }
        });
    }

    void write(const QByteArray &bytes)
    {
        if (m_client && m_client->bytesToWrite() < kMaxTcpBacklog)
            m_client->write(bytes);
    }

private:
    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ::signal(SIGPIPE, SIG_IGN);

    const auto parsed = parseOptions(app.arguments().mid(1));
    if (const auto *message = std::get_if<QString>(&parsed)) {
        fail(*message);
        std::fprintf(stderr, "Try 'tarn-sim --help'.\n");
        return kUsageError;
    }
    const Options &options = std::get<Options>(parsed);
    if (options.help) {
        std::fputs(qPrintable(usage()), stdout);
        return 0;
    }

    SignalWatcher watcher;
    if (!watcher.install()) {
        fail(QStringLiteral("cannot watch for signals"));
        return kFailure;
    }

    PseudoTerminal terminal;
    TcpLine tcp;
    DeviceLink link;
    QString address;
    if (options.tcpPort) {
        address = tcp.listen(*options.tcpPort);
        if (address.isEmpty()) {
            fail(QStringLiteral("cannot listen on 127.0.0.1:%1").arg(*options.tcpPort));
            return kFailure;
        }
    } else {
        address = terminal.open();
        if (address.isEmpty()) {
            fail(QStringLiteral("cannot open a pseudo-terminal: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno))));
            return kFailure;
        }
        if (!options.link.isEmpty()) {
            if (const QString error = link.create(options.link, address); !error.isEmpty()) {
                fail(error);
                return kFailure;
            }
        }
    }

    Simulator simulator(options, [&](const QByteArray &bytes) {
        if (bytes.isEmpty())
            return;
        if (options.tcpPort)
            tcp.write(bytes);
        else
            terminal.write(bytes);
    });
    if (options.tcpPort)
        tcp.attach(simulator);
    else
        terminal.attach(simulator);

    printLine(address.toLocal8Bit());
    return app.exec();
}
