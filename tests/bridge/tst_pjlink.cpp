// The gateway's PJLink side on a fake line and fake client connections, on a virtual
// clock; its command line and its password file.
#include "fakelineservice.h"
#include "fakestream.h"
#include "virtualclock.h"

#include "gateway.h"
#include "options.h"
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

    VirtualClock clock;
    FakeLineService line;
    QStringList log;
    Gateway gateway;
};

// The options as "port settings listener... [raw ADDR:PORT] password|no-auth", a listener as
// ADDR:PORT=who/prefix/name/inputs; or why they cannot be used.
QString described(const std::variant<Options, QString> &parsed)
{
    if (const auto *problem = std::get_if<QString>(&parsed))
        return *problem;
    const Options &o = std::get<Options>(parsed);
    QStringList parts{o.port, o.settings};
    for (const Listener &l : o.listeners)
        parts << QStringLiteral("%1:%2=%3/%4/%5/%6")
                     .arg(l.endpoint.address.toString())
                     .arg(l.endpoint.port)
                     .arg(l.profile.who, l.profile.prefix, l.profile.name,
                          l.profile.inputs.join(','));
    if (o.raw)
        parts << QStringLiteral("raw %1:%2").arg(o.raw->address.toString()).arg(o.raw->port);
    parts << (o.passwordFile ? "password " + *o.passwordFile : "no-auth");
    return parts.join(u' ') + (o.help ? " help" : "");
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
        row("input by its code", "%1INPT 31", {kAck}, {"C07"}, "%1INPT=OK");
        row("input not in the list", "%1INPT 21", {}, {}, "%1INPT=ERR2");
        row("input query", "%1INPT ?", {"2"}, {"CR1"}, "%1INPT=12");
        row("both mutes on", "%1AVMT 31", {kAck, kAck}, {"C0D", "C0B"}, "%1AVMT=OK");
        row("both mutes off, one unacknowledged", "%1AVMT 30", {kAck, "x"}, {"C0E", "C0C"},
            "%1AVMT=ERR4");
        row("mutes: video", "%1AVMT ?", {"01"}, {"CRA"}, "%1AVMT=11");
        row("mutes: no signal", "%1AVMT ?", {"80"}, {"CRA"}, "%1AVMT=ERR3");
        row("errors: power", "%1ERST ?", {"10"}, {"CR0"}, "%1ERST=000002");
        row("lamps", "%1LAMP ?", {"01234", "1A"}, {"CR3", "CR7"},
            "%1LAMP=1234 0 1234 1 1234 0 1234 1");
        row("lamp hours past five digits", "%1LAMP ?", {"123456", "0F"}, {"CR3", "CR7"},
            "%1LAMP=99999 1 99999 1 99999 1 99999 1");
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
        row("a byte above 0x7E after a request", false, {"%1CLSS ?\r%1NA\xffME ?\r"},
            clss + "%1NA=ERR2\r");
        row("136 bytes", false, {"%1NAME " + QByteArray(128, 'x') + "\r%1CLSS ?\r"},
            "%1NAME=ERR2\r" + clss);
        row("137 bytes", false, {"%1NAME " + QByteArray(129, 'x') + '\r'}, "%1NAME=ERR2\r");
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
        QCOMPARE(client->take(), answers);
        QCOMPARE(rig.line.requests.size(), answers.count("OK"));
        const bool refused = answers.endsWith("ERRA\r");
        QCOMPARE(client->isClosed, refused || answers.endsWith("ERR2\r"));
        QCOMPARE(rig.log.filter("192.0.2.7:40000 failed to authenticate").size(), refused ? 1 : 0);
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

    void anIdleConnectionClosesAfter30sUnlessARequestWaits()
    {
        Rig rig;
        FakeStream *idle = rig.connect();
        FakeStream *waiting = rig.connect();
        waiting->send("%1POWR ?\r");
        rig.clock.advance(20s);
        idle->send("%1CL");
        rig.clock.advance(29999ms);
        QVERIFY(!idle->isClosed);
        rig.clock.advance(1ms);
        QVERIFY(idle->isClosed);
        rig.clock.advance(60s);
        rig.line.answer({Status::Ok, {"00"}});
        rig.clock.advance(29999ms);
        QVERIFY(!waiting->isClosed);
        rig.clock.advance(1ms);
        QVERIFY(waiting->isClosed);
    }

    void theConnectionAfterThe32ndIsClosedAtOnceAndSoIsASecondRawClient()
    {
        Rig rig;
        auto raw = std::make_unique<FakeStream>();
        auto secondRaw = std::make_unique<FakeStream>();
        FakeStream *refusedRaw = secondRaw.get();
        rig.gateway.acceptRaw(std::move(raw));
        rig.gateway.acceptRaw(std::move(secondRaw));
        QVERIFY(refusedRaw->isClosed);
        FakeStream *first = rig.connect();
        for (int i = 2; i < Gateway::kMaxConnections; ++i)
            rig.connect();
        FakeStream *extra = rig.connect();
        QVERIFY(extra->isClosed && extra->written.isEmpty());
        first->send("%1POWR ?\r");
        first->close();
        QVERIFY(rig.line.waiting.isEmpty()); // its request never goes out
        QVERIFY(!rig.connect()->isClosed);
        QCOMPARE(rig.log.filter("refusing").size(), 1);
        QCOMPARE(rig.log.filter("a raw client is connected already").size(), 1);
    }

    void anAddressFailingThreeTimesInAMinuteWaits5sForItsGreeting()
    {
        Rig rig(kExamplePassword);
        for (int i = 0; i < 3; ++i) {
            rig.clock.advance(10s); // failures at 10, 20 and 30 s
            rig.connect()->send("%1POWR ?\r");
        }
        FakeStream *slow = rig.connect();
        QVERIFY(rig.connect("A001", "192.0.2.8")->written.startsWith("PJLINK 1"));
        rig.clock.advance(4999ms);
        QVERIFY(!slow->reading && slow->written.isEmpty());
        rig.clock.advance(1ms);
        QVERIFY(slow->written.startsWith("PJLINK 1") && slow->reading);
        rig.clock.advance(35s); // the first failure is a minute old
        QVERIFY(rig.connect()->written.startsWith("PJLINK 1"));
    }

    void theThrottleRemembersAtMost1024Addresses()
    {
        milliseconds now{0};
        AuthThrottle throttle([&] { return now; });
        for (int i = -3; i < 1103; ++i, now += 1ms)
            throttle.recordFailure(i < 0 ? "first" : i < 1100 ? QString::number(i) : "last");
        QCOMPARE(throttle.addresses(), 1024);
        QCOMPARE(throttle.greetingDelay("first"), 0ms);
        QCOMPARE(throttle.greetingDelay("last"), 5s);
        now += 59997ms;
        throttle.recordFailure("new"); // only "last" failed within the minute
        QCOMPARE(throttle.addresses(), 2);
    }

    void theOptionsFollowTheirRulesOrSayWhichOneIsBroken_data()
    {
        QTest::addColumn<QString>("arguments"); // after "--port /dev/x"
        QTest::addColumn<QString>("outcome");
        const auto row = [](const char *arguments, const QString &outcome) {
            QTest::newRow(arguments) << QString(arguments) << outcome;
        };
        const QString line = "/dev/x 19200,N,8,1 ", inputs = "/11,12,13,14 no-auth";
        row("--no-auth --listen 4352=1", line + "0.0.0.0:4352=1/A001/TARN HV20 001" + inputs);
        row("--no-auth --listen 127.0.0.1:0=Single --name single=Hall --speed=9600",
            "/dev/x 9600,N,8,1 127.0.0.1:0=single//Hall" + inputs);
        row("--no-auth --listen [::1]:65535=ALL --inputs 51,11,59,12",
            line + "::1:65535=all/AFFF/TARN HV20 ALL/51,11,59,12 no-auth");
        row("--password-file pw --listen 1=004 --raw 4001",
            line + "0.0.0.0:1=4/A004/TARN HV20 004/11,12,13,14 raw 127.0.0.1:4001 password pw");
        row("--no-auth --raw 0.0.0.0:4001", line + "raw 0.0.0.0:4001 no-auth");
        row("--help", "  no-auth help"); // nothing else is read
        const QString listen = "bad --listen '%1': use [ADDR:]PORT=WHO, WHO being single, 1 to 4 "
                               "or all";
        for (const char *bad :
             {"4352", "4352=5", "4352=A001", "::1:4352=1", "65536=1", "host:80=1"})
            row(qPrintable("--no-auth --listen " + QString(bad)), listen.arg(bad));
        const QString name = "bad --name '%1': use WHO=TEXT, TEXT being 1 to 64 printable ASCII "
                             "characters";
        for (const QString &bad :
             {QString("1="), "1=" + QString(65, 'N'), QString("1=caf\u00e9"), QString("5=x")})
            row(qPrintable("--no-auth --listen 1=1 --name " + bad), name.arg(bad));
        row("--no-auth --listen 1=1 --name 2=x", "--name 2: no --listen serves 2");
        const QString codes = "bad --inputs '%1': use four different PJLink input codes, e.g. "
                              "11,12,31,32";
        for (const char *bad : {"11,12,13", "11,11,12,13", "11,12,13,61", "11,12,13,10"})
            row(qPrintable("--no-auth --listen 1=1 --inputs " + QString(bad)), codes.arg(bad));
        row("--no-auth --raw x", "bad --raw 'x': use [ADDR:]PORT");
        row("--no-auth", "nothing to serve: give --listen (or --raw)");
        row("--no-auth --password-file pw --raw 1",
            "--password-file and --no-auth exclude each other");
        row("--raw 1", "refusing to serve PJLink without authentication: give --password-file "
                       "FILE, or --no-auth to serve without it");
        row("--no-auth --raw 1 extra", "unexpected argument 'extra'");
        row("--no-auth --raw 1 --port=", "--port DEVICE is required");
    }
    void theOptionsFollowTheirRulesOrSayWhichOneIsBroken()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, outcome);
        const QStringList words = arguments.split(u' ', Qt::SkipEmptyParts);
        QCOMPARE(described(parseArguments(QStringList{"--port", "/dev/x"} + words)), outcome);
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
