#include "sharedlinesoak.h"

#include "bridge/bridgeprocess.h"
#include "bridge/poller.h"

#include "kit/stats.h"
#include "kit/table.h"

#include "realtime.h"
#include "simprocess.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>
#include <vector>

namespace tarn::bench {
namespace {

using namespace std::chrono_literals;
using tarn::test::runFor;
using tarn::test::SimProcess;
using tarn::test::waitFor;

const QHostAddress kStranger(QStringLiteral("127.0.0.1"));
const QHostAddress kFriend(QStringLiteral("127.0.0.2"));

// A raw client: it sends a frame now and then, and counts the replies that come back.
class RawProbe : public QObject
{
public:
    RawProbe(quint16 port, const QHostAddress &from)
    {
        QObject::connect(&m_socket, &QTcpSocket::readyRead, this,
                         [this] { replies += int(m_socket.readAll().count('\r')); });
        m_socket.bind(from);
        m_socket.connectToHost(QHostAddress::LocalHost, port);
    }
    void send(const QByteArray &frame)
    {
        sent += m_socket.state() == QAbstractSocket::ConnectedState;
        m_socket.write(frame);
    }
    bool connected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    int sent = 0, replies = 0;

private:
    QTcpSocket m_socket;
};

struct Round
{
    int right = 0, err4 = 0, wrong = 0, missing = 0;
};

// One case of the attribution soak: projector 1 switched on, then `rounds` rounds of
// POWR ? to it and, beside, POWR ? to projector 2 (in standby) or, just before, the raw
// client's A002CR0.
Round attributionCase(const QString &bin, const QStringList &simArguments, bool raw, int rounds)
{
    SimProcess sim(QStringList{"--projectors", "2", "--warmup", "0"} + simArguments,
                   bin + "/tarn-sim");
    BridgeProcess bridge(bin + "/tarn-bridge");
    Round tally;
    if (!sim.start() || !bridge.start({"--port", sim.link(), "--no-auth", "--listen",
                                       "127.0.0.1:0=1", "--listen", "127.0.0.1:0=2", "--raw", "0"},
                                      3)) {
        tally.missing = rounds;
        return tally;
    }
    PjlinkClient on(bridge.port("PJLink, projector 1"), spread(0));
    PjlinkClient standby(bridge.port("PJLink, projector 2"), spread(1));
    RawProbe rawClient(bridge.port("raw"), kStranger);
    QByteArray answers[2];
    QObject::connect(&on, &PjlinkClient::answered, [&](const QByteArray &a) { answers[0] = a; });
    QObject::connect(&standby, &PjlinkClient::answered,
                     [&](const QByteArray &a) { answers[1] = a; });
    waitFor([&] { return on.ready() && standby.ready(); }, 5s);
    // Projector 1 on, through the raw client: a PJLink power-on first reads the status, and a
    // late reply to that read refuses it. Done whether or not its acknowledgement comes late;
    // the line settles before the first round.
    rawClient.send("A001C00\r");
    runFor(1500ms);
    for (int round = 0; round < rounds; ++round, runFor(200ms)) {
        answers[0].clear(), answers[1].clear();
        if (raw)
            rawClient.send("A002CR0\r"), runFor(10ms); // on the line first
        on.ask("POWR ?");
        if (!raw)
            standby.ask("POWR ?");
        if (!waitFor([&] { return !answers[0].isEmpty() && (raw || !answers[1].isEmpty()); },
                     10s)) {
            ++tally.missing;
            continue;
        }
        for (int i = 0; i < (raw ? 1 : 2); ++i) {
            const bool own = answers[i] == (i == 0 ? "POWR=1" : "POWR=0");
            tally.right += own;
            tally.err4 += answers[i] == "POWR=ERR4";
            tally.wrong += !own && answers[i] != "POWR=ERR4";
        }
    }
    return tally;
}

// 500 connections from 127.0.0.1, each reopened a second after it is closed, kept alive
// by a CR every 10 s (half of them) or a byte a second (the other half); and 32 loops of
// wrong passwords, each starting again 50 ms after its connection is closed.
class Attacker : public QObject
{
public:
    static constexpr int kHolders = 500;
    static constexpr int kGuessers = 32;

    explicit Attacker(quint16 port) : m_port(port)
    {
        for (int i = 0; i < kHolders + kGuessers; ++i) {
            m_sockets.push_back(std::make_unique<QTcpSocket>());
            QTcpSocket *socket = m_sockets.back().get();
            const bool guesser = i >= kHolders;
            QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket, guesser] {
                if (!socket->readAll().startsWith("PJLINK 1 "))
                    return;
                ++greeted;
                if (guesser)
                    socket->write(QByteArray(32, '0') + "%1POWR ?\r"), ++guesses;
            });
            QObject::connect(socket, &QTcpSocket::disconnected, this, [this, socket, guesser] {
                QTimer::singleShot(guesser ? 50ms : 1s, this, [this, socket] { open(*socket); });
            });
            open(*socket);
        }
        m_tick.callOnTimeout(this, [this] { keepAlive(); });
        m_tick.start(1s);
    }
    int greeted = 0, guesses = 0, openings = 0;

private:
    void open(QTcpSocket &socket)
    {
        socket.abort();
        socket.bind(kStranger);
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        ++openings;
    }
    void keepAlive()
    {
        ++m_ticks;
        for (int i = 0; i < kHolders; ++i) {
            if (i % 2 == 1)
                m_sockets[i]->write("x");
            else if (m_ticks % 10 == 0)
                m_sockets[i]->write("\r");
        }
    }
    quint16 m_port;
    std::vector<std::unique_ptr<QTcpSocket>> m_sockets;
    QTimer m_tick;
    int m_ticks = 0;
};

} // namespace

QList<BridgeSoakCheck> soakAttribution(const QString &bin, int roundsPerCase)
{
    out(QStringLiteral("\n## Bridge: two clients ask a projector that is on and one in standby "
                       "while replies come late (%1 rounds a case)")
            .arg(roundsPerCase));
    const QList<std::pair<QStringList, bool>> cases = {
        {{"--delay", "0"}, false},
        {{"--delay", "200"}, false},
        {{"--delay", "490"}, false},
        {{"--delay", "510"}, false},
        {{"--delay", "520"}, false},
        {{"--delay", "700"}, false},
        {{"--late", "40", "--seed", "3"}, false},
        {{"--delay", "150"}, true},
    };
    Round all;
    int rounds = 0;
    for (const auto &[arguments, raw] : cases) {
        const Round r = attributionCase(bin, arguments, raw, roundsPerCase);
        out(QStringLiteral("%1%2: %3 answers right, %4 ERR4, %5 wrong, %6 rounds unanswered")
                .arg(arguments.join(u' '),
                     raw ? QStringLiteral(", a raw client beside") : QString())
                .arg(r.right)
                .arg(r.err4)
                .arg(r.wrong)
                .arg(r.missing));
        all.right += r.right, all.err4 += r.err4, all.wrong += r.wrong, all.missing += r.missing;
        rounds += roundsPerCase;
    }
    return {{QStringLiteral("bridge: every answer its own request's or ERR4"),
             all.wrong == 0 && all.missing == 0 && all.right > 0,
             QStringLiteral("%1 rounds in %2 cases: %3 answers right, %4 ERR4, %5 wrong, %6 "
                            "rounds unanswered")
                 .arg(rounds)
                 .arg(cases.size())
                 .arg(all.right)
                 .arg(all.err4)
                 .arg(all.wrong)
                 .arg(all.missing)}};
}

QList<BridgeSoakCheck> soakLockOut(const QString &bin, std::chrono::seconds length)
{
    out(QStringLiteral("\n## Bridge: %1 s of an attacker on 127.0.0.1 beside a client and a raw "
                       "client on 127.0.0.2")
            .arg(length.count()));
    const QByteArray password = "lock-out soak";
    QTemporaryDir dir;
    QFile file(dir.filePath("password"));
    SimProcess sim({}, bin + "/tarn-sim");
    BridgeProcess bridge(bin + "/tarn-bridge");
    if (!file.open(QIODevice::WriteOnly) || !file.write(password) || !file.flush() ||
        !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) || !sim.start() ||
        !bridge.start({"--port", sim.link(), "--password-file", file.fileName(), "--listen",
                       "127.0.0.1:0=1", "--raw", "0"},
                      2))
        return {{QStringLiteral("bridge: lock-out run started"), false, bridge.log()}};
    const quint16 pjlink = bridge.port("PJLink, projector 1");
    Attacker attacker(pjlink);
    Poller client(pjlink, {"POWR ?"}, 1s, {kFriend, password});
    RawProbe raw(bridge.port("raw"), kFriend);
    QTimer rawTick;
    rawTick.callOnTimeout([&] { raw.send("A001CR0\r"); });
    rawTick.start(1s);
    const auto cpuBefore = bridge.cpuTime();
    runFor(length);
    const double cpu = 100.0 * toMs(bridge.cpuTime() - cpuBefore) / toMs(length);
    client.stop();
    rawTick.stop();
    runFor(2s); // the last answers come
    const Summary trips = summarize(client.roundTrips);
    const int tries = bridge.count(QStringLiteral("failed to authenticate\n"));
    out(QStringLiteral("Attacker: %1 openings, %2 greeted, %3 wrong passwords sent, %4 of them "
                       "checked; bridge CPU %5 %")
            .arg(attacker.openings)
            .arg(attacker.greeted)
            .arg(attacker.guesses)
            .arg(tries)
            .arg(formatted(cpu, 1)));
    const bool polled = client.answers.size() >= client.asked - 1 && trips.max <= 2000 &&
                        !client.answers.contains("POWR=ERR4") && !client.answers.isEmpty();
    const qint64 minutes = (length.count() + 59) / 60;
    return {
        {QStringLiteral("bridge: a client polls through an attack, each answer within 2 s"), polled,
         QStringLiteral("%1 of %2 polls answered; round trip median %3 ms, p99 %4 ms, max %5 ms")
             .arg(client.answers.size())
             .arg(client.asked)
             .arg(formatted(trips.median, 1), formatted(trips.p99, 1), formatted(trips.max, 1))},
        {QStringLiteral("bridge: the raw client is admitted and served through it"),
         raw.connected() && raw.sent > 0 && raw.replies >= raw.sent - 1,
         QStringLiteral("%1 frames sent, %2 replies").arg(raw.sent).arg(raw.replies)},
        {QStringLiteral("bridge: at most 15 password tries a minute from one address"),
         tries <= 15 * (minutes + 1),
         QStringLiteral("%1 of %2 wrong passwords checked in %3 s")
             .arg(tries)
             .arg(attacker.guesses)
             .arg(length.count())},
    };
}

} // namespace tarn::bench
