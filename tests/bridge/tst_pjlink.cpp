// The gateway's PJLink side on a fake line (or the simulator's projectors) and fake client
// connections, on a virtual clock; and its password file.
#include "fakelineservice.h"
#include "fakestream.h"
#include "virtualclock.h"

#include "gateway.h"
#include "line.h"
#include "passwordfile.h"
#include "session.h"

#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace tarn::bridge;
using namespace tarn::test;
using namespace std::chrono_literals;
using Status = LineResult::Status;

namespace {

const QByteArray kAck("\x06");
// The worked example of authentication in PJLink's published protocol document.
const QByteArray kExamplePassword("JBMIAProjectorLink");
const QByteArray kExampleDigest("5d8409bc1c3fa39749434aa3a5c38682");
quint32 exampleRandom()
{
    return 0x498e4a67;
}

// A gateway on a fake line that answers nothing until told.
struct Rig
{
    explicit Rig(std::optional<QByteArray> password = std::nullopt)
        : gateway(line, clock, {password, false, [this] { return clock.now(); }, exampleRandom},
                  [this](const QString &line) { log << line; })
    {}
    FakeStream *connect(const QByteArray &prefix = "A001", const QString &address = "192.0.2.7")
    {
        auto stream = std::make_unique<FakeStream>(address + ":40000");
        FakeStream *client = stream.get();
        gateway.accept(std::move(stream), {"1", prefix, "Hall left", {"11", "12", "31", "32"}},
                       address);
        return client;
    }
    // Plays steps apart by '|': "~N" (N ms pass), "answer" (the line answers the oldest
    // request), anything else is sent by the client. Returns when the client was closed, or
    // -1 ms.
    milliseconds play(FakeStream *client, const QByteArray &steps)
    {
        milliseconds closedAt{-1};
        QObject::connect(client, &Stream::closed, [&] { closedAt = clock.now(); });
        for (const QByteArray &step : steps.split('|')) {
            if (step.startsWith('~'))
                clock.advance(milliseconds(step.mid(1).toInt()));
            else if (step == "answer")
                line.answer({Status::Ok, {"00"}});
            else
                client->send(step);
        }
        client->disconnect();
        return closedAt;
    }

    VirtualClock clock;
    FakeLineService line;
    QStringList log;
    Gateway gateway;
};

// The simulator's projectors as the line: each frame goes to them, and each reply comes
// back as the line gives it (a query's without its carriage return).
std::optional<LineResult> simulated(tarn::sim::Line &projectors, const LineRequest &request)
{
    LineResult result;
    for (const QByteArray &code : request.codes) {
        const auto exchanges = projectors.receive(request.prefix + code + '\r', 0ms);
        result.replies << exchanges.at(0).reply.value_or("").chopped(code.startsWith("CR"));
    }
    return result;
}

} // namespace

class PjlinkGatewayTest : public QObject
{
    Q_OBJECT
private slots:
    void eachCommandGoesOutAsItsFramesAndIsAnsweredFromTheirReplies_data()
    {
        QTest::addColumn<QByteArray>("prefix");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArrayList>("replies"); // the line's, one per frame
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArrayList>("frames"); // empty: the line is not used
        QTest::addColumn<QByteArray>("answer");
        const auto row = [](const char *name, QByteArray request, QByteArrayList replies,
                            QByteArrayList frames, QByteArray answer, QByteArray prefix = "A001",
                            Status status = Status::Ok) {
            QTest::newRow(name) << prefix << request << replies << int(status) << frames << answer;
        };
        row("power: warming", "%1POWR ?", {"40"}, {"CR0"}, "%1POWR=3");
        row("power: a power error alone", "%1POWR ?", {"10"}, {"CR0"}, "%1POWR=ERR4");
        row("power: no reply", "%1POWR ?", {}, {"CR0"}, "%1POWR=ERR4", "A001", Status::NoReply);
        row("power out of range", "%1POWR 2", {}, {}, "%1POWR=ERR2");
        row("power on, noise before the ACK", "%1POWR 1", {"\x7f\x06"}, {"C00"}, "%1POWR=OK");
        row("input by its code", "%1INPT 31", {kAck}, {"C07"}, "%1INPT=OK");
        row("input not in the list", "%1INPT 21", {}, {}, "%1INPT=ERR2");
        row("input query", "%1INPT ?", {"2"}, {"CR1"}, "%1INPT=12");
        row("both mutes off, one unacknowledged", "%1AVMT 30", {kAck, "x"}, {"C0E", "C0C"},
            "%1AVMT=ERR4");
        row("mutes: no signal", "%1AVMT ?", {"80"}, {"CRA"}, "%1AVMT=ERR3");
        row("errors: power", "%1ERST ?", {"10"}, {"CR0"}, "%1ERST=000002");
        row("lamps", "%1LAMP ?", {"01234", "1A"}, {"CR3", "CR7"},
            "%1LAMP=1234 0 1234 1 1234 0 1234 1");
        row("no lamp hours yet", "%1LAMP ?", {"00000", "00"}, {"CR3", "CR7"},
            "%1LAMP=0 0 0 0 0 0 0 0");
        // PJLink's lamp time has five digits at most.
        row("lamp hours at five digits", "%1LAMP ?", {"99999", "0F"}, {"CR3", "CR7"},
            "%1LAMP=99999 1 99999 1 99999 1 99999 1");
        row("lamp hours past five digits", "%1LAMP ?", {"100000", "0F"}, {"CR3", "CR7"},
            "%1LAMP=99999 1 99999 1 99999 1 99999 1");
        row("lamp hours of 18 digits", "%1LAMP ?", {QByteArray(18, '9'), "0F"}, {"CR3", "CR7"},
            "%1LAMP=99999 1 99999 1 99999 1 99999 1");
        row("lamp hours of 19 digits", "%1LAMP ?", {'1' + QByteArray(18, '0'), "0F"},
            {"CR3", "CR7"}, "%1LAMP=ERR4");
        row("name", "%1NAME ?", {}, {}, "%1NAME=Hall left");
        row("other information", "%1INFO ?", {"TSX4L20"}, {"CR9"}, "%1INFO=TSX4L20");
        row("a query with a parameter", "%1NAME X", {}, {}, "%1NAME=ERR2");
        row("undefined", "%1FREZ ?", {}, {}, "%1FREZ=ERR1");
        row("class 2", "%2POWR ?", {}, {}, "%2POWR=ERR1");
        row("broadcast power off", "%1POWR 0", {}, {"C01"}, "%1POWR=OK", "AFFF");
        row("broadcast query", "%1POWR ?", {}, {}, "%1POWR=ERR3", "AFFF");
        row("broadcast input list", "%1INST ?", {}, {}, "%1INST=11 12 31 32", "AFFF");
    }

    void eachCommandGoesOutAsItsFramesAndIsAnsweredFromTheirReplies()
    {
        QFETCH(QByteArray, prefix);
        QFETCH(QByteArray, request);
        QFETCH(QByteArrayList, replies);
        QFETCH(int, status);
        QFETCH(QByteArrayList, frames);
        QFETCH(QByteArray, answer);
        Rig rig;
        rig.line.respond = [&](const LineRequest &) {
            return LineResult{Status(status), replies};
        };
        FakeStream *client = rig.connect(prefix);
        QCOMPARE(client->take(), "PJLINK 0\r");
        client->send(request + '\r');
        QCOMPARE(client->take(), answer + '\r');
        QCOMPARE(rig.line.requests.size(), frames.isEmpty() ? 0 : 1);
        for (const LineRequest &sent : rig.line.requests)
            QVERIFY(sent.codes == frames && sent.prefix == prefix);
    }

    // PJLink's AVMT: 1x the video, 2x the audio, 3x both; x1 mutes, x0 unmutes. The
    // simulated projector (on, its mutes set first by its own codes) says what each set did.
    void theMutesAreSetAndReadAsPjlinkNamesThem_data()
    {
        QTest::addColumn<QByteArray>("before"); // video and sound mute, as "00" to "11"
        QTest::addColumn<QByteArray>("parameter");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QByteArray>("reading"); // the answer to AVMT ? then
        QTest::newRow("video off")
            << QByteArray("11") << QByteArray("10") << QByteArray("01") << QByteArray("21");
        QTest::newRow("video on") << QByteArray("01") << QByteArray("11") << QByteArray("11")
                                  << QByteArray("31");
        QTest::newRow("audio off")
            << QByteArray("11") << QByteArray("20") << QByteArray("10") << QByteArray("11");
        QTest::newRow("audio on") << QByteArray("00") << QByteArray("21") << QByteArray("01")
                                  << QByteArray("21");
        QTest::newRow("both off") << QByteArray("11") << QByteArray("30") << QByteArray("00")
                                  << QByteArray("30");
        QTest::newRow("both on") << QByteArray("00") << QByteArray("31") << QByteArray("11")
                                 << QByteArray("31");
    }

    void theMutesAreSetAndReadAsPjlinkNamesThem()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, parameter);
        QFETCH(QByteArray, after);
        QFETCH(QByteArray, reading);
        tarn::sim::Line projectors(1, {0ms, 0ms, 1h});
        tarn::sim::Projector &projector = projectors.projector(1);
        for (const QByteArrayView code :
             {"C00", before[0] == '1' ? "C0D" : "C0E", before[1] == '1' ? "C0B" : "C0C"})
            projector.handle(code, 0ms);
        Rig rig;
        rig.line.respond = [&](const LineRequest &request) {
            return simulated(projectors, request);
        };
        FakeStream *client = rig.connect();
        client->send("%1AVMT " + parameter + "\r%1AVMT ?\r");
        QCOMPARE(client->take(), "PJLINK 0\r%1AVMT=OK\r%1AVMT=" + reading + '\r');
        QCOMPARE(QByteArray::number(projector.videoMuted()) +
                     QByteArray::number(projector.soundMuted()),
                 after);
    }

    void eachLineIsAnsweredOrRefused_data()
    {
        QTest::addColumn<bool>("authenticated");
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<QByteArray>("answers");
        const QByteArray ok = "%1POWR 0\r";
        const QByteArray wrong = "5d8409bc1c3fa39749434aa3a5c38683";
        const QByteArray erra = "PJLINK ERRA\r";
        const auto row = [](const char *name, bool authenticated, QByteArrayList pieces,
                            QByteArray answers) {
            QTest::newRow(name) << authenticated << pieces << answers;
        };
        row("the worked example", true, {kExampleDigest + ok}, "%1POWR=OK\r");
        row("upper case", true, {kExampleDigest.toUpper() + ok}, "%1POWR=OK\r");
        row("later without it, or with it again", true,
            {kExampleDigest + ok + ok + kExampleDigest + ok}, "%1POWR=OK\r%1POWR=OK\r%1POWR=OK\r");
        row("a wrong digest", true, {wrong + ok}, erra);
        row("no digest", true, {ok}, erra);
        row("wrong later", true, {kExampleDigest + ok + wrong + ok}, "%1POWR=OK\r" + erra);
        row("a control character first", true, {"\x1b[A"}, erra);
        const QByteArray clss = "%1CLSS=1\r";
        row("CR LF", false, {"%1CLSS ?\r\n%1CLSS ?\r\n"}, clss + clss);
        row("LF in the next piece", false, {"%1CL", "SS ?\r", "\n%1CLSS ?\r"}, clss + clss);
        row("empty lines", false, {"\r\r\n%1CLSS ?\r"}, clss);
        row("a lone LF", false, {"%1CLSS ?\n"}, "%1CLSS=ERR2\r");
        row("a byte above 0x7E in a command", false, {"%1NAME\xff ?\r"}, "%1NAME=ERR2\r");
        // Not a PJLink request: no reply, closed, logged.
        row("a byte above 0x7E in the header", false, {"%1CLSS ?\r%1NA\xffME ?\r"},
            clss + "[closed]");
        row("a NUL", false, {QByteArray("\0\r", 2)}, "[closed]");
        row("no header", false, {"POWR ?\r"}, "[closed]");
        row("no header after the digest", true, {kExampleDigest + "POWR ?\r"}, "[closed]");
        row("no header before authentication", true, {"POWR ?\r"}, erra);
        const QByteArray longest = "%1NAME " + QByteArray(128, 'x') + '\r'; // 135 and CR
        const QByteArray tooLong = "%1NAME " + QByteArray(129, 'x') + '\r';
        const QByteArray named = "%1NAME=ERR2\r";
        row("the longest line", false, {longest + "%1CLSS ?\r"}, named + clss);
        row("one byte longer", false, {tooLong}, named);
        row("the longest after a digest", true, {kExampleDigest + longest + "%1CLSS ?\r"},
            named + clss);
        row("one byte longer after a digest", true, {kExampleDigest + tooLong}, erra);
        row("the longest later", true, {kExampleDigest + ok + longest + "%1CLSS ?\r"},
            "%1POWR=OK\r" + named + clss);
        row("one byte longer later", true, {kExampleDigest + ok + tooLong}, "%1POWR=OK\r" + named);
    }

    void eachLineIsAnsweredOrRefused()
    {
        QFETCH(bool, authenticated);
        QFETCH(QByteArrayList, pieces);
        QFETCH(QByteArray, answers);
        Rig rig(authenticated ? std::optional(kExamplePassword) : std::nullopt);
        rig.line.respond = [](const LineRequest &) {
            return LineResult{Status::Ok, {kAck}};
        };
        FakeStream *client = rig.connect();
        QCOMPARE(client->take(), authenticated ? "PJLINK 1 498e4a67\r" : "PJLINK 0\r");
        for (const QByteArray &piece : pieces)
            client->send(piece);
        const bool dropped = answers.endsWith("[closed]");
        QCOMPARE(client->take(), answers.chopped(dropped ? 8 : 0));
        QCOMPARE(rig.line.requests.size(), answers.count("OK"));
        const bool refused = answers.endsWith("ERRA\r");
        QCOMPARE(client->isClosed, refused || dropped || answers.endsWith("ERR2\r"));
        QCOMPARE(rig.log.filter("192.0.2.7:40000 failed to authenticate").size(), refused ? 1 : 0);
        QCOMPARE(rig.log.filter("not a PJLink request").size(), dropped ? 1 : 0);
        QVERIFY(!rig.log.join(' ').contains(kExampleDigest, Qt::CaseInsensitive));
        QVERIFY(!rig.log.join(' ').contains(kExamplePassword));
    }

    void answersKeepTheRequestsOrderAndAtMostEightWaitUnread()
    {
        Rig rig;
        FakeStream *client = rig.connect();
        client->take();
        client->send(QByteArray("%1POWR ?\r%1NAME ?\r").repeated(5)); // NAME waits too
        QCOMPARE(rig.line.requests.size(), 4);
        QVERIFY(!client->reading);
        QCOMPARE(client->take(), "");
        rig.line.answer({Status::Ok, {"00"}});
        QCOMPARE(rig.line.requests.size(), 5);
        QVERIFY(!client->reading);
        while (!rig.line.waiting.isEmpty())
            rig.line.answer({Status::Ok, {"00"}});
        QCOMPARE(client->take(), QByteArray("%1POWR=1\r%1NAME=Hall left\r").repeated(5));
        QVERIFY(client->reading);
        // A stream that goes on delivering when told to stop is closed past the bound.
        client->send(QByteArray("%1POWR ?\r").repeated(Session::kMaxWaiting));
        client->push(QByteArray(Session::kMaxUnread, 'x'));
        QVERIFY(!client->isClosed);
        client->push("x");
        QVERIFY(client->isClosed);
    }

    // When a connection is closed, for saying too little: steps as Rig::play has them.
    void aConnectionThatStallsOrStaysAStrangerIsClosed_data()
    {
        QTest::addColumn<bool>("authenticated");
        QTest::addColumn<QByteArray>("steps");
        QTest::addColumn<int>("closedAt"); // ms
        const auto row = [](const char *name, bool authenticated, QByteArray steps, int at) {
            QTest::newRow(name) << authenticated << steps << at;
        };
        row("silent", false, "~60000", 30000);
        row("empty lines do not keep it", false, "~10000|\r|~10000|\r\n|~10000|\r|~30000", 30000);
        row("a request does", false, "~20000|%1CLSS ?\r|~60000", 50000);
        row("a waiting request holds it, its answer restarts it", false,
            "%1POWR ?\r|~60000|answer|~60000", 90000);
        row("a line unended 5 s after its first byte", false,
            "~3000|%1CL|~1000|S|~1000|S|~1000|S|~1000|S|~5000", 8000);
        row("a line ended in time", false, "~3000|%1CL|~4999|SS ?\r|~60000", 37999);
        row("a stranger for 10 s", true, "~5000|\r|~60000", 10000);
        row("authenticated in time", true, "~9999|" + kExampleDigest + "%1CLSS ?\r|~60000", 39999);
    }

    void aConnectionThatStallsOrStaysAStrangerIsClosed()
    {
        QFETCH(bool, authenticated);
        QFETCH(QByteArray, steps);
        QFETCH(int, closedAt);
        Rig rig(authenticated ? std::optional(kExamplePassword) : std::nullopt);
        QCOMPARE(rig.play(rig.connect(), steps), milliseconds(closedAt));
    }

    // Connections opened in turn, each "CLIENT" or "CLIENT+" (it authenticates at once);
    // "o" for each one served, "x" for each one closed at once. Clients: 1 to 3 are
    // 192.0.2.1 to .3, v and w two hosts of one IPv6 /64, z one of another.
    void eachCapClosesTheNextConnectionAtOnce_data()
    {
        QTest::addColumn<bool>("authenticated");
        QTest::addColumn<QByteArray>("opened");
        QTest::addColumn<QByteArray>("served");
        const auto row = [](const char *name, bool authenticated, QByteArray opened,
                            QByteArray served) {
            QTest::newRow(name) << authenticated << opened << served;
        };
        row("four strangers from a client", true, "1 1 1 1 1 2",
            "oooo"
            "xo");
        row("once one has authenticated", true, "1 1 1 1+ 1", "ooooo");
        row("eight strangers in all", true, "1 1 1 1 2 2 2 2 3",
            "oooooooo"
            "x");
        row("an IPv6 client by its /64", true, "v v w w v z",
            "oooo"
            "xo");
        row("sixteen from a client without authentication", false,
            QByteArray("1 ").repeated(17) + "2", QByteArray(16, 'o') + "xo");
        row("thirty-two in all", false,
            QByteArray("1 ").repeated(16) + QByteArray("2 ").repeated(16) + "3",
            QByteArray(32, 'o') + 'x');
    }

    void eachCapClosesTheNextConnectionAtOnce()
    {
        QFETCH(bool, authenticated);
        QFETCH(QByteArray, opened);
        QFETCH(QByteArray, served);
        Rig rig(authenticated ? std::optional(kExamplePassword) : std::nullopt);
        const QHash<char, QString> hosts = {{'1', "192.0.2.1"},   {'2', "192.0.2.2"},
                                            {'3', "192.0.2.3"},   {'v', "2001:db8::1"},
                                            {'w', "2001:db8::2"}, {'z', "2001:db8:0:1::1"}};
        QByteArray seen;
        for (const QByteArray &client : opened.split(' ')) {
            FakeStream *stream = rig.connect("A001", hosts.value(client[0]));
            if (client.endsWith('+'))
                stream->send(kExampleDigest + "%1CLSS ?\r");
            seen += stream->isClosed && stream->written.isEmpty() ? 'x' : 'o';
        }
        QCOMPARE(seen, served);
        // The raw client has a slot of its own; a second one is turned away.
        auto raw = std::make_unique<FakeStream>();
        FakeStream *rawClient = raw.get();
        rig.gateway.acceptRaw(std::move(raw));
        rig.gateway.acceptRaw(std::make_unique<FakeStream>());
        QVERIFY(!rawClient->isClosed);
        QCOMPARE(rig.log.filter("a raw client is connected already").size(), 1);
    }

    // Wrong digests from one client, 3 s apart; its connection that waits unused meanwhile,
    // a newcomer from it and one from another client.
    void aClientMayTry15PasswordsAMinuteAndSlowsNoOther()
    {
        Rig rig(kExamplePassword);
        FakeStream *waiting = rig.connect();
        for (int i = 0; i < AuthThrottle::kTries; ++i, rig.clock.advance(3s))
            rig.connect()->send(QByteArray(32, '0') + "%1POWR ?\r");
        QVERIFY(waiting->isClosed);
        QVERIFY(rig.connect()->isClosed);
        QVERIFY(!rig.connect("A001", "192.0.2.8")->isClosed);
        rig.clock.advance(60s - AuthThrottle::kTries * 3s); // the first failure is a minute old
        QVERIFY(!rig.connect()->isClosed);
        QCOMPARE(rig.log.filter("failed to authenticate 15 times within a minute").size(), 2);
    }

    void theThrottleRemembersAtMost1024Clients()
    {
        milliseconds now{0};
        AuthThrottle throttle([&] { return now; });
        for (int i = -15; i < 1115; ++i, now += 1ms)
            throttle.recordFailure(i < 0 ? "first" : i < 1100 ? QString::number(i) : "last");
        QCOMPARE(throttle.clients(), 1024);
        QCOMPARE(throttle.wait("first"), 0ms); // forgotten
        QCOMPARE(throttle.wait("last"), 59985ms);
        now += 59985ms;
        throttle.recordFailure("new"); // only "last" failed within the minute
        QCOMPARE(throttle.clients(), 2);
    }

    void passwordFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("outcome"); // the password, or part of the reason
        QTest::newRow("owner and group") << QByteArray("s3cret pw\n") << 0640 << "s3cret pw";
        QTest::newRow("CR LF, 32 characters") << QByteArray(32, 'p') + "\r\n"
                                              << 0600 << QString(32, 'p');
        QTest::newRow("33 characters") << QByteArray(33, 'p') << 0600 << "at most 32";
        QTest::newRow("two lines") << QByteArray("a\nb\n") << 0600 << "more than one";
        QTest::newRow("not ASCII") << QByteArray("caf\xe9") << 0600 << "printable ASCII";
        QTest::newRow("every user may read it")
            << QByteArray("s3cret") << 0644 << "every user may read it";
    }

    void passwordFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, mode);
        QFETCH(QString, outcome);
        QTemporaryDir dir;
        QFile file(dir.filePath("pw"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) > 0 && file.flush());
        QCOMPARE(::chmod(QFile::encodeName(file.fileName()).constData(), mode), 0);
        const auto read = readPasswordFile(file.fileName());
        if (const auto *password = std::get_if<QByteArray>(&read))
            QCOMPARE(QString(*password), outcome);
        else
            QVERIFY2(std::get<QString>(read).contains(outcome) &&
                         !std::get<QString>(read).contains("s3cret"),
                     qPrintable(std::get<QString>(read)));
    }
};

QTEST_GUILESS_MAIN(PjlinkGatewayTest)
#include "tst_pjlink.moc"
