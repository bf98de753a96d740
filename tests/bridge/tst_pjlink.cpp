// The gateway's PJLink side on a fake line and fake client connections, on a virtual
// clock; and its command line.
#include "fakelineservice.h"
#include "fakestream.h"
#include "virtualclock.h"

#include "auththrottle.h"
#include "gateway.h"
#include "options.h"
#include "passwordfile.h"
#include "session.h"

#include <QRegularExpression>
#include <QSet>
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
constexpr quint32 kExampleRandom = 0x498e4a67;
const QByteArray kExamplePassword("JBMIAProjectorLink");
const QByteArray kExampleDigest("5d8409bc1c3fa39749434aa3a5c38682");

Profile profileFor(const QByteArray &prefix)
{
    return {prefix == "AFFF" ? "all" : "1", prefix, "Hall left", {"11", "12", "31", "32"}};
}

// A gateway on a fake line whose projector answers nothing until told.
struct Rig
{
    explicit Rig(std::optional<QByteArray> password = std::nullopt)
        : gateway(line, clock,
                  {password, false, [this] { return clock.now(); },
                   [] {
                       return kExampleRandom;
                   }},
                  [this](const QString &line) { log << line; })
    {}
    FakeStream *connect(const QByteArray &prefix = "A001", const QString &address = "192.0.2.7")
    {
        auto stream = std::make_unique<FakeStream>(address + ":40000");
        FakeStream *client = stream.get();
        gateway.accept(std::move(stream), profileFor(prefix), address);
        return client;
    }
    void answerEverything(QByteArray queryReply)
    {
        line.respond = [queryReply](const LineRequest &request) {
            LineResult result;
            for (const QByteArray &code : request.codes)
                result.replies << (code.startsWith("CR") ? queryReply : kAck);
            return result;
        };
    }

    VirtualClock clock;
    FakeLineService line;
    QStringList log;
    Gateway gateway;
};

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
        row("power on", "%1POWR 1", {kAck}, {"C00"}, "%1POWR=OK");
        row("power off", "%1POWR 0", {kAck}, {"C01"}, "%1POWR=OK");
        row("an action not acknowledged", "%1POWR 1", {"?"}, {"C00"}, "%1POWR=ERR4");
        row("power: warming", "%1POWR ?", {"40"}, {"CR0"}, "%1POWR=3");
        row("power: on with a temperature error", "%1POWR ?", {"08"}, {"CR0"}, "%1POWR=1");
        row("power: cooling for power save", "%1POWR ?", {"24"}, {"CR0"}, "%1POWR=2");
        row("power: a power error with no state", "%1POWR ?", {"10"}, {"CR0"}, "%1POWR=ERR4");
        row("power: garbled", "%1POWR ?", {"8"}, {"CR0"}, "%1POWR=ERR4");
        row("power: no reply", "%1POWR ?", {}, {"CR0"}, "%1POWR=ERR4", "A001", Status::NoReply);
        row("power: silenced", "%1POWR ?", {}, {"CR0"}, "%1POWR=ERR4", "A001", Status::Silenced);
        row("power: line down", "%1POWR ?", {}, {"CR0"}, "%1POWR=ERR4", "A001", Status::LineDown);
        row("power out of range", "%1POWR 2", {}, {}, "%1POWR=ERR2");
        row("input by its code", "%1INPT 31", {kAck}, {"C07"}, "%1INPT=OK");
        row("input not in the list", "%1INPT 21", {}, {}, "%1INPT=ERR2");
        row("input query", "%1INPT ?", {"2"}, {"CR1"}, "%1INPT=12");
        row("input list", "%1INST ?", {}, {}, "%1INST=11 12 31 32");
        row("both mutes on: one transaction", "%1AVMT 31", {kAck, kAck}, {"C0D", "C0B"},
            "%1AVMT=OK");
        row("both mutes off, one not acknowledged", "%1AVMT 30", {kAck, "x"}, {"C0E", "C0C"},
            "%1AVMT=ERR4");
        row("sound mute off", "%1AVMT 20", {kAck}, {"C0C"}, "%1AVMT=OK");
        row("mutes: video only", "%1AVMT ?", {"01"}, {"CRA"}, "%1AVMT=11");
        row("mutes: both", "%1AVMT ?", {"03"}, {"CRA"}, "%1AVMT=31");
        row("mutes: no signal", "%1AVMT ?", {"80"}, {"CRA"}, "%1AVMT=ERR3");
        row("mutes: standby", "%1AVMT ?", {"FF"}, {"CRA"}, "%1AVMT=ERR3");
        row("errors: temperature", "%1ERST ?", {"28"}, {"CR0"}, "%1ERST=002000");
        row("errors: power", "%1ERST ?", {"10"}, {"CR0"}, "%1ERST=000002");
        row("lamps from both queries", "%1LAMP ?", {"01234", "1A"}, {"CR3", "CR7"},
            "%1LAMP=1234 0 1234 1 1234 0 1234 1");
        row("lamp hours beyond five digits", "%1LAMP ?", {"123456", "0F"}, {"CR3", "CR7"},
            "%1LAMP=99999 1 99999 1 99999 1 99999 1");
        row("name", "%1NAME ?", {}, {}, "%1NAME=Hall left");
        row("maker", "%1INF1 ?", {}, {}, "%1INF1=TARN");
        row("class", "%1CLSS ?", {}, {}, "%1CLSS=1");
        row("other information", "%1INFO ?", {"TSX4L20"}, {"CR9"}, "%1INFO=TSX4L20");
        row("a query with a parameter", "%1NAME X", {}, {}, "%1NAME=ERR2");
        row("no separator", "%1POWR", {}, {}, "%1POWR=ERR2");
        row("undefined", "%1FREZ ?", {}, {}, "%1FREZ=ERR1");
        row("lower case", "%1powr ?", {}, {}, "%1powr=ERR1");
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
        if (!frames.isEmpty()) {
            QCOMPARE(rig.line.requests[0].codes, frames);
            QCOMPARE(rig.line.requests[0].prefix, prefix);
        }
    }

    void authentication_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("answers");
        QTest::addColumn<int>("transactions");
        const QByteArray ok = "%1POWR 0\r";
        const QByteArray wrong = "5d8409bc1c3fa39749434aa3a5c38683";
        QTest::newRow("the worked example")
            << kExampleDigest + ok << QByteArray("%1POWR=OK\r") << 1;
        QTest::newRow("upper case")
            << kExampleDigest.toUpper() + ok << QByteArray("%1POWR=OK\r") << 1;
        QTest::newRow("later commands without it")
            << kExampleDigest + ok + ok << QByteArray("%1POWR=OK\r%1POWR=OK\r") << 2;
        QTest::newRow("a later command with it again") << kExampleDigest + ok + kExampleDigest + ok
                                                       << QByteArray("%1POWR=OK\r%1POWR=OK\r") << 2;
        QTest::newRow("wrong") << wrong + ok << QByteArray("PJLINK ERRA\r") << 0;
        QTest::newRow("missing") << ok << QByteArray("PJLINK ERRA\r") << 0;
        QTest::newRow("wrong on a later command")
            << kExampleDigest + ok + wrong + ok << QByteArray("%1POWR=OK\rPJLINK ERRA\r") << 1;
        QTest::newRow("a control character first")
            << QByteArray("\x1b[A") << QByteArray("PJLINK ERRA\r") << 0;
        QTest::newRow("an overlong line first")
            << QByteArray(200, 'a') << QByteArray("PJLINK ERRA\r") << 0;
    }

    void authentication()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, answers);
        QFETCH(int, transactions);
        Rig rig(kExamplePassword);
        rig.answerEverything("00");
        FakeStream *client = rig.connect();
        QCOMPARE(client->take(), "PJLINK 1 498e4a67\r");
        client->send(sent);
        QCOMPARE(client->take(), answers);
        QCOMPARE(rig.line.requests.size(), transactions);
        const bool refused = answers.endsWith("ERRA\r");
        QCOMPARE(client->isClosed, refused);
        QCOMPARE(rig.log.filter("192.0.2.7:40000 failed to authenticate").size(), refused ? 1 : 0);
        for (const QString &line : rig.log) {
            QVERIFY(!line.contains(kExampleDigest, Qt::CaseInsensitive));
            QVERIFY(!line.contains(kExamplePassword));
        }
    }

    void eachConnectionIsGreetedWithFreshRandomDigits()
    {
        VirtualClock clock;
        FakeLineService line;
        Gateway gateway(line, clock, {"secret", false, [] { return 0ms; }, {}}, [](auto &) {});
        QSet<QByteArray> greetings;
        for (int i = 0; i < 2; ++i) {
            auto stream = std::make_unique<FakeStream>();
            FakeStream *client = stream.get();
            gateway.accept(std::move(stream), profileFor("A001"), "192.0.2.7");
            QVERIFY(
                QRegularExpression("^PJLINK 1 [0-9a-f]{8}\r$").match(client->written).hasMatch());
            greetings << client->written;
        }
        QCOMPARE(greetings.size(), 2);
    }

    void framing_data()
    {
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<QByteArray>("answers");
        QTest::addColumn<bool>("open");
        const QByteArray clss = "%1CLSS=1\r";
        QTest::newRow("CR LF") << QByteArrayList{"%1CLSS ?\r\n%1CLSS ?\r\n"} << clss + clss << true;
        QTest::newRow("LF in the next piece")
            << QByteArrayList{"%1CLSS ?\r", "\n%1CLSS ?\r"} << clss + clss << true;
        QTest::newRow("a line in pieces") << QByteArrayList{"%1CL", "SS ?\r"} << clss << true;
        QTest::newRow("empty lines") << QByteArrayList{"\r\r\n%1CLSS ?\r"} << clss << true;
        QTest::newRow("a lone LF")
            << QByteArrayList{"%1CLSS ?\n"} << QByteArray("%1CLSS=ERR2\r") << false;
        QTest::newRow("a byte above 0x7E after a request")
            << QByteArrayList{"%1CLSS ?\r%1NA\xffME ?\r"} << clss + "%1NA=ERR2\r" << false;
        QTest::newRow("136 bytes") << QByteArrayList{"%1NAME " + QByteArray(128, 'x') + '\r'}
                                   << QByteArray("%1NAME=ERR2\r") << true;
        QTest::newRow("137 bytes") << QByteArrayList{"%1NAME " + QByteArray(129, 'x') + '\r'}
                                   << QByteArray("%1NAME=ERR2\r") << false;
    }

    void framing()
    {
        QFETCH(QByteArrayList, pieces);
        QFETCH(QByteArray, answers);
        QFETCH(bool, open);
        Rig rig;
        FakeStream *client = rig.connect();
        client->take();
        for (const QByteArray &piece : pieces)
            client->send(piece);
        QCOMPARE(client->take(), answers);
        QCOMPARE(client->isClosed, !open);
    }

    void answersKeepTheRequestsOrderAndAtMostEightWait()
    {
        Rig rig;
        FakeStream *client = rig.connect();
        client->take();
        const QByteArray pair = "%1POWR ?\r%1NAME ?\r"; // NAME needs no line, yet waits
        client->send(pair.repeated(5));
        QCOMPARE(rig.line.requests.size(), 4);
        QVERIFY(!client->reading);
        QCOMPARE(client->take(), "");
        const QByteArray answers = "%1POWR=1\r%1NAME=Hall left\r";
        rig.line.answer({Status::Ok, {"00"}});
        QCOMPARE(client->take(), answers);
        QCOMPARE(rig.line.requests.size(), 5);
        QVERIFY(!client->reading);
        for (int i = 0; i < 4; ++i)
            rig.line.answer({Status::Ok, {"00"}});
        QCOMPARE(client->take(), answers.repeated(4));
        QVERIFY(client->reading);
    }

    void eachClientGetsOnlyItsOwnAnswers()
    {
        Rig rig;
        FakeStream *a = rig.connect();
        FakeStream *b = rig.connect();
        a->send("%1POWR ?\r");
        b->send("%1INPT ?\r");
        a->send("%1AVMT ?\r");
        a->take(), b->take();
        for (const QByteArray reply : {"00", "3", "02"})
            rig.line.answer({Status::Ok, {reply}});
        QCOMPARE(a->take(), "%1POWR=1\r%1AVMT=21\r");
        QCOMPARE(b->take(), "%1INPT=31\r");
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
        QVERIFY(!waiting->isClosed);
        rig.line.answer({Status::Ok, {"00"}});
        rig.clock.advance(29999ms);
        QVERIFY(!waiting->isClosed);
        rig.clock.advance(1ms);
        QVERIFY(waiting->isClosed);
    }

    void theConnectionAfterThe32ndIsClosedAtOnce()
    {
        Rig rig;
        QList<FakeStream *> clients;
        for (int i = 0; i < Gateway::kMaxConnections; ++i)
            clients << rig.connect();
        for (int i = 0; i < 2; ++i) {
            FakeStream *extra = rig.connect();
            QVERIFY(extra->isClosed);
            QCOMPARE(extra->written, "");
        }
        QCOMPARE(rig.log.filter("refusing").size(), 1);
        clients[0]->send("%1POWR ?\r");
        clients[0]->close();
        QVERIFY(rig.line.waiting.isEmpty()); // its request never goes out
        QVERIFY(!rig.connect()->isClosed);
        QCOMPARE(rig.gateway.connections(), Gateway::kMaxConnections);
    }

    void anAddressFailingThreeTimesInAMinuteWaits5sForItsGreeting()
    {
        Rig rig(kExamplePassword);
        for (int i = 0; i < AuthThrottle::kFailures; ++i) {
            rig.clock.advance(10s); // failures at 10, 20 and 30 s
            rig.connect()->send("%1POWR ?\r");
        }
        FakeStream *slow = rig.connect();
        QVERIFY(rig.connect("A001", "192.0.2.8")->written.startsWith("PJLINK 1"));
        QVERIFY(!slow->reading);
        rig.clock.advance(4999ms);
        QCOMPARE(slow->written, "");
        rig.clock.advance(1ms);
        QVERIFY(slow->written.startsWith("PJLINK 1"));
        QVERIFY(slow->reading);
        rig.clock.advance(35s); // the first failure is a minute old
        QVERIFY(rig.connect()->written.startsWith("PJLINK 1"));
    }

    void theThrottleRemembersAtMost1024Addresses()
    {
        milliseconds now{0};
        AuthThrottle throttle([&] { return now; });
        const auto failThrice = [&](const QString &address) {
            for (int i = 0; i < AuthThrottle::kFailures; ++i)
                throttle.recordFailure(address);
        };
        failThrice("first");
        for (int i = 0; i < 1100; ++i, now += 1ms)
            throttle.recordFailure(QString::number(i));
        failThrice("last");
        QCOMPARE(throttle.addresses(), AuthThrottle::kMaxAddresses);
        QCOMPARE(throttle.greetingDelay("first"), 0ms);
        QCOMPARE(throttle.greetingDelay("last"), AuthThrottle::kDelay);
        now += AuthThrottle::kWindow - 1ms;
        throttle.recordFailure("new"); // only "last" is still in the window
        QCOMPARE(throttle.addresses(), 2);
    }

    void aStreamThatDeliversWhileNotReadIsClosedPastTheBound()
    {
        Rig rig;
        FakeStream *client = rig.connect();
        client->send(QByteArray("%1POWR ?\r").repeated(Session::kMaxWaiting));
        QVERIFY(!client->reading);
        client->push(QByteArray(Session::kMaxUnread, 'x'));
        QVERIFY(!client->isClosed);
        client->push("x");
        QVERIFY(client->isClosed);
    }

    void oneRawClientAtATime()
    {
        Rig rig;
        auto first = std::make_unique<FakeStream>();
        auto second = std::make_unique<FakeStream>();
        FakeStream *a = first.get();
        FakeStream *b = second.get();
        rig.gateway.acceptRaw(std::move(first));
        rig.gateway.acceptRaw(std::move(second));
        QCOMPARE(rig.line.raw, a);
        QVERIFY(b->isClosed);
        QCOMPARE(rig.log.filter("a raw client is connected already").size(), 1);
        QCOMPARE(rig.gateway.connections(), 1);
    }

    void commandLine_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("outcome"); // a summary of the options, or the error
        const QString auth = " --port /dev/x --password-file pw";
        QTest::newRow("defaults") << "--listen 4352=1" + auth
                                  << "0.0.0.0:4352 A001 'TARN HV20 001' 11,12,13,14; 19200,N,8,1";
        QTest::newRow("every option")
            << "--port tcp://h:1 --no-auth --speed 9600 --listen [::1]:4353=all --listen "
               "4352=single --name all=Hall --inputs 31,32,11,12 --raw 7000 --verbose"
            << "::1:4353 AFFF 'Hall' 31,32,11,12 0.0.0.0:4352  'TARN HV20' 31,32,11,12; "
               "9600,N,8,1 raw 127.0.0.1:7000";
        QTest::newRow("no port") << "--listen 4352=1 --no-auth"
                                 << "--port DEVICE is required";
        QTest::newRow("no authentication chosen") << "--port /dev/x --listen 4352=1"
                                                  << "refusing to serve PJLink without";
        QTest::newRow("both") << "--listen 4352=1 --no-auth" + auth << "exclude each other";
        QTest::newRow("projector 5") << "--listen 4352=5" + auth << "bad --listen";
        QTest::newRow("port 65536") << "--listen 65536=1" + auth << "bad --listen";
        QTest::newRow("IPv6 without brackets") << "--listen ::1:4352=1" + auth << "bad --listen";
        QTest::newRow("a repeated input")
            << "--listen 4352=1 --inputs 11,11,12,13" + auth << "bad --inputs";
        QTest::newRow("input type 6")
            << "--listen 4352=1 --inputs 61,11,12,13" + auth << "bad --inputs";
        QTest::newRow("a name of 65")
            << "--listen 4352=1 --name 1=" + QString(65, 'n') + auth << "bad --name";
        QTest::newRow("a name for no listener")
            << "--listen 4352=1 --name 2=x" + auth << "no --listen serves 2";
        QTest::newRow("4800 baud") << "--listen 4352=1 --speed 4800" + auth << "bad speed";
        QTest::newRow("nothing to serve") << auth << "nothing to serve";
    }

    void commandLine()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, outcome);
        const auto parsed = parseArguments(arguments.split(' ', Qt::SkipEmptyParts));
        if (const auto *problem = std::get_if<QString>(&parsed)) {
            QVERIFY2(problem->contains(outcome), qPrintable(*problem));
            return;
        }
        const Options &options = std::get<Options>(parsed);
        QString summary;
        for (const Listener &l : options.listeners)
            summary += QStringLiteral("%1:%2 %3 '%4' %5 ")
                           .arg(l.endpoint.address.toString())
                           .arg(l.endpoint.port)
                           .arg(l.profile.prefix, l.profile.name, l.profile.inputs.join(','));
        summary = summary.trimmed() + "; " + options.settings;
        if (options.raw)
            summary += QStringLiteral(" raw %1:%2")
                           .arg(options.raw->address.toString())
                           .arg(options.raw->port);
        QCOMPARE(summary, outcome);
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
        QTest::newRow("empty") << QByteArray("\n") << 0600 << "empty";
        QTest::newRow("not ASCII") << QByteArray("caf\xe9") << 0600 << "printable ASCII";
        QTest::newRow("everyone may read it")
            << QByteArray("s3cret") << 0644 << "every user may read it";
    }

    void passwordFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, mode);
        QFETCH(QString, outcome);
        QTemporaryDir dir;
        QFile file(dir.filePath("pw"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        QCOMPARE(::chmod(QFile::encodeName(file.fileName()).constData(), mode), 0);
        const auto read = readPasswordFile(file.fileName());
        if (const auto *password = std::get_if<QByteArray>(&read))
            QCOMPARE(QString::fromLatin1(*password), outcome);
        else
            QVERIFY2(std::get<QString>(read).contains(outcome) &&
                         !std::get<QString>(read).contains("s3cret"),
                     qPrintable(std::get<QString>(read)));
    }
};

QTEST_GUILESS_MAIN(PjlinkGatewayTest)
#include "tst_pjlink.moc"
