// The gateway's PJLink side on a fake line (or the simulator's projectors) and fake client
// connections, on a virtual clock; its command line and its password file.
#include "fakelineservice.h"
#include "fakestream.h"
#include "virtualclock.h"

#include "freezememory.h"
#include "gateway.h"
#include "line.h"
#include "options.h"
#include "passwordfile.h"
#include "pjlinkcommands.h"
#include "session.h"

#include <QRegularExpression>
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
    FakeStream *connect(const QByteArray &prefix = "A001", const QString &address = "192.0.2.7",
                        int pjlinkClass = 2)
    {
        auto stream = std::make_unique<FakeStream>(address + ":40000");
        FakeStream *client = stream.get();
        gateway.accept(std::move(stream),
                       {"1", prefix, "Hall left", {"11", "12", "31", "32"}, {}, pjlinkClass},
                       address);
        return client;
    }
    VirtualClock clock;
    FakeLineService line;
    QStringList log;
    Gateway gateway;
};

// The options as "port settings listener... [raw ADDR:PORT] password|no-auth line NAME poll
// SECONDS [http ADDR:PORT]", a listener as ADDR:PORT=who/prefix/name/inputs/class; or why
// they cannot be used.
QString described(const std::variant<Options, QString> &parsed)
{
    if (const auto *problem = std::get_if<QString>(&parsed))
        return *problem;
    const Options &o = std::get<Options>(parsed);
    QStringList parts{o.port, o.settings};
    for (const Listener &l : o.listeners)
        parts << QStringLiteral("%1:%2=%3/%4/%5/%6/%7")
                     .arg(l.endpoint.address.toString())
                     .arg(l.endpoint.port)
                     .arg(l.profile.who, l.profile.prefix, l.profile.name,
                          l.profile.inputs.join(','))
                     .arg(l.profile.pjlinkClass);
    if (o.raw)
        parts << QStringLiteral("raw %1:%2").arg(o.raw->address.toString()).arg(o.raw->port);
    parts << (o.passwordFile ? "password " + *o.passwordFile : "no-auth");
    if (o.help)
        return parts.join(u' ') + " help";
    parts << "line " + o.lineName << QStringLiteral("poll %1").arg(o.poll.count());
    if (o.http)
        parts << QStringLiteral("http %1:%2").arg(o.http->address.toString()).arg(o.http->port);
    if (const auto &m = o.mqtt)
        parts << QStringList{"mqtt",        m->url,
                             m->caFile,     m->credentialsFile,
                             m->prefix,     m->discoveryPrefix,
                             m->birthTopic, o.inputNames.join(',')}
                     .join('|');
    return parts.join(u' ');
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
        row("lamp hours of 18 digits", "%1LAMP ?", {QByteArray(18, '9'), "0F"}, {"CR3", "CR7"},
            "%1LAMP=99999 1 99999 1 99999 1 99999 1");
        row("lamp hours of 19 digits", "%1LAMP ?", {'1' + QByteArray(18, '0'), "0F"},
            {"CR3", "CR7"}, "%1LAMP=ERR4");
        row("name", "%1NAME ?", {}, {}, "%1NAME=Hall left");
        row("other information", "%1INFO ?", {"TSX4L20"}, {"CR9"}, "%1INFO=TSX4L20");
        row("a query with a parameter", "%1NAME X", {}, {}, "%1NAME=ERR2");
        row("undefined", "%1FREZ ?", {}, {}, "%1FREZ=ERR1");
        // PJLink 2.00's command table: INPT and INST in both classes, POWR in class 1 only.
        row("class 2 power", "%2POWR ?", {}, {}, "%2POWR=ERR1");
        row("class 2 input", "%2INPT 31", {kAck}, {"C07"}, "%2INPT=OK");
        row("unfreeze, unacknowledged", "%2FREZ 0", {"?"}, {"C44"}, "%2FREZ=ERR4");
        row("volume down", "%2SVOL 0", {kAck}, {"C0A"}, "%2SVOL=OK");
        row("input name: no question", "%2INNM 12", {}, {}, "%2INNM=ERR2");
        row("broadcast freeze query", "%2FREZ ?", {}, {}, "%2FREZ=ERR3", "AFFF");
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

    // PJLink's AVMT: 1x the video, 2x the audio, 3x both; x1 mutes, x0 unmutes. A simulated
    // projector, on, with no mute, takes the sets in turn: each row is the set, the video
    // and sound mutes the projector has then, and the answer to AVMT ? after it.
    void theMutesAreSetAndReadAsPjlinkNamesThem()
    {
        tarn::sim::Line projectors(1, {0ms, 0ms, 1h});
        tarn::sim::Projector &projector = projectors.projector(1);
        projector.handle("C00", 0ms);
        Rig rig;
        rig.line.respond = [&](const LineRequest &r) { // as the line gives them: no CR
            LineResult result;
            for (const QByteArray &code : r.codes)
                result.replies << projectors.receive(r.prefix + code + '\r', 0ms)[0].reply->chopped(
                    code.startsWith("CR"));
            return std::optional(result);
        };
        FakeStream *client = rig.connect();
        client->take();
        for (const QByteArray row :
             {"21 01 21", "11 11 31", "20 10 11", "31 11 31", "10 01 21", "30 00 30"}) {
            client->send("%1AVMT " + row.left(2) + "\r%1AVMT ?\r");
            QCOMPARE(client->take(), "%1AVMT=OK\r%1AVMT=" + row.right(2) + '\r');
            QCOMPARE(QByteArray::number(projector.videoMuted()) +
                         QByteArray::number(projector.soundMuted()),
                     row.mid(3, 2));
        }
    }

    // Frames and replies as the line reports them, and what FREZ ? then knows of the projector
    // with no address, 001 and 002: 1, 0 or unknown (?). Status "00" is on, "40" warming.
    void theFreezeStateIsWhatWasLastSentUntilThePowerChanges_data()
    {
        QTest::addColumn<QByteArrayList>("exchanges");
        QTest::addColumn<QByteArray>("known");
        const auto row = [](const char *name, QByteArrayList exchanges, QByteArray known) {
            QTest::newRow(name) << exchanges << known;
        };
        row("unacknowledged", {"A001 C43 ?"}, "???");
        row("to every projector, then one", {"AFFF C43 ", "A002 C44 \x06"}, "?10");
        row("to no address", {"AFFF C43 ", " C44 \x06"}, "0??");
        row("still on", {"A001 CR0 00", "A001 C43 \x06", "A001 CR0 00"}, "?1?");
        row("warming, then on", {"A001 CR0 40", "A001 C43 \x06", "A001 CR0 00"}, "???");
    }

    void theFreezeStateIsWhatWasLastSentUntilThePowerChanges()
    {
        QFETCH(QByteArrayList, exchanges);
        QFETCH(QByteArray, known);
        FreezeMemory memory;
        for (const QByteArray &exchange : exchanges) {
            const QByteArrayList part = exchange.split(' ');
            memory.observe(part[0], part[1], part[2]);
        }
        QByteArray seen;
        for (const char *prefix : {"", "A001", "A002"})
            seen += freezeAnswer(memory.frozen(prefix)).replace("ERR3", "?");
        QCOMPARE(seen, known);
    }

    void aClass1ListenerAnswersClass1Alone()
    {
        Rig rig;
        FakeStream *client = rig.connect("A001", "192.0.2.7", 1);
        client->send("%1CLSS ?\r%2INPT ?\r");
        QCOMPARE(client->take(), "PJLINK 0\r%1CLSS=1\r%2INPT=ERR1\r");
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
        const QByteArray clss = "%1CLSS=2\r";
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
    // Scripts of steps apart by '|', "!" first for a password. "C" opens a connection from
    // client C (1 to 3: 192.0.2.1 to .3; v and w: two hosts of one IPv6 /64; z: one of
    // another), "C+" one that authenticates at once, "raw" a raw client; "~N": N ms pass;
    // "?": is the first connection open; "answer": the line answers; anything else the
    // last connection sends. Each opening and each "?" gives "o" (open) or "x" (closed).
    void eachConnectionIsServedWithinTheCapsAndClosedWhenItStalls_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QByteArray>("seen");
        const auto row = [](const char *name, const QByteArray &script, const QByteArray &seen) {
            QTest::newRow(name) << script << seen;
        };
        row("silent for 30 s", "1|~29999|?|~1|?", "oox");
        row("empty lines do not keep it", "1|~10000|\r|~10000|\r\n|~9999|\r|?|~1|?", "oox");
        row("a waiting request does, its answer restarts it",
            "1|%1POWR ?\r|~60000|answer|~29999|?|~1|?", "oox");
        row("a line unended 5 s after its first byte", "1|~3000|%1CL|~1000|S|~1000|S|~2999|?|~1|?",
            "oox");
        row("a line ended in time, then idle", "1|~3000|%1CL|~4999|SS ?\r|~29999|?|~1|?", "oox");
        row("a stranger for 10 s", "!1|~5000|\r|~4999|?|~1|?", "oox");
        row("authenticated in time", "!1|~9999|" + kExampleDigest + "%1CLSS ?\r|~29999|?|~1|?",
            "oox");
        row("four strangers from a client", "!1|1|1|1|1|2", "ooooxo");
        row("once one has authenticated", "!1|1|1|1+|1", "ooooo");
        row("eight strangers in all", "!1|1|1|1|2|2|2|2|3", "oooooooox");
        row("an IPv6 client by its /64", "!v|v|w|w|v|z", "ooooxo");
        row("sixteen from a client without a password", QByteArray("1|").repeated(17) + '2',
            QByteArray(16, 'o') + "xo");
        row("thirty-two in all, the raw client beside",
            QByteArray("1|").repeated(16) + QByteArray("2|").repeated(16) + "3|raw|raw",
            QByteArray(32, 'o') + "xox");
        // Wrong digests, 0.5 s apart: the 15th closes the client's waiting connection and
        // refuses its next until the first is a minute old; another client is served.
        row("fifteen tries a minute",
            "!1|" + ("1|" + QByteArray(32, '0') + "%1POWR ?\r|~500|").repeated(15) +
                "?|1|2|~52499|1|~1|1",
            QByteArray(16, 'o') + "xxoxo");
    }

    void eachConnectionIsServedWithinTheCapsAndClosedWhenItStalls()
    {
        QFETCH(QByteArray, script);
        QFETCH(QByteArray, seen);
        Rig rig(script.startsWith('!') ? std::optional(kExamplePassword) : std::nullopt);
        const QHash<char, QString> hosts = {
            {'v', "2001:db8::1"}, {'w', "2001:db8::2"}, {'z', "2001:db8:0:1::1"}};
        QList<FakeStream *> opened;
        QByteArray got;
        const auto open = [&](FakeStream *stream) {
            got += stream->isClosed && stream->written.isEmpty() ? 'x' : 'o';
            opened << stream;
        };
        for (const QByteArray &step : script.mid(script.startsWith('!')).split('|')) {
            if (step == "raw") {
                auto raw = std::make_unique<FakeStream>();
                FakeStream *client = raw.get();
                rig.gateway.acceptRaw(std::move(raw));
                open(client);
            } else if (QRegularExpression("^[123vwz]\\+?$").match(QString(step)).hasMatch()) {
                open(rig.connect("A001", hosts.value(step[0], "192.0.2." + QString(step[0]))));
                if (step.endsWith('+'))
                    opened.last()->send(kExampleDigest + "%1CLSS ?\r");
            } else if (step.startsWith('~')) {
                rig.clock.advance(milliseconds(step.mid(1).toInt()));
            } else if (step == "?") {
                got += opened.first()->isClosed ? 'x' : 'o';
            } else if (step == "answer") {
                rig.line.answer({Status::Ok, {"00"}});
            } else {
                opened.last()->send(step);
            }
        }
        QCOMPARE(got, seen);
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

    void theOptionsFollowTheirRulesOrSayWhichOneIsBroken_data()
    {
        QTest::addColumn<QString>("arguments"); // after "--port /dev/x"
        QTest::addColumn<QString>("outcome");
        const auto row = [](const char *arguments, const QString &outcome) {
            QTest::newRow(arguments) << QString(arguments) << outcome;
        };
        const QString line = "/dev/x 19200,N,8,1 ", inputs = "/11,12,13,14/2 no-auth line x poll 5";
        row("--no-auth --listen 4352=1", line + "0.0.0.0:4352=1/A001/TARN HV20 001" + inputs);
        row("--no-auth --listen 127.0.0.1:0=Single --name single=Hall --speed=9600",
            "/dev/x 9600,N,8,1 127.0.0.1:0=single//Hall" + inputs);
        row("--no-auth --listen [::1]:65535=ALL --inputs 51,11,59,12 --class 1",
            line + "::1:65535=all/AFFF/TARN HV20 ALL/51,11,59,12/1 no-auth line x poll 5");
        row("--password-file pw --listen 1=004 --raw 4001",
            line + "0.0.0.0:1=4/A004/TARN HV20 004/11,12,13,14/2 raw 127.0.0.1:4001 password pw "
                   "line x poll 5");
        const QString raw = line + "raw 0.0.0.0:4001 no-auth line ";
        row("--no-auth --raw 0.0.0.0:4001", raw + "x poll 5");
        row("--no-auth --raw 0.0.0.0:4001 --http [::]:0 --poll 0 --line-name "
            "Hall_2-bbbbbbbbbbbbbbbbbbbbbbbbb",
            raw + "Hall_2-bbbbbbbbbbbbbbbbbbbbbbbbb poll 0 http :::0");
        row("--no-auth --raw 0.0.0.0:4001 --port tcp://192.0.2.1:4001 --http 9100 --poll 3600",
            "tcp://192.0.2.1:4001 19200,N,8,1 raw 0.0.0.0:4001 no-auth line 192_0_2_1_4001 "
            "poll 3600 http 127.0.0.1:9100");
        row("--no-auth --raw 0.0.0.0:4001 --port /dev/serial/by-id/usb-A:B_C.D-if00-port0",
            "/dev/serial/by-id/usb-A:B_C.D-if00-port0 19200,N,8,1 raw 0.0.0.0:4001 no-auth line "
            "usb-A_B_C_D-if00-port0 poll 5");
        row("--help", "  no-auth help"); // nothing else is read
        for (const char *bad : {"Hall_2-bbbbbbbbbbbbbbbbbbbbbbbbbb", "a.b"})
            row(qPrintable("--no-auth --raw 1 --line-name " + QString(bad)),
                "bad --line-name '" + QString(bad) + "': use 1 to 32 letters, digits, - or _");
        for (const char *bad : {"3601", "5s"})
            row(qPrintable("--no-auth --raw 1 --poll=" + QString(bad)),
                "bad --poll '" + QString(bad) + "': use whole seconds from 0 (off) to 3600");
        row("--no-auth --raw 1 --mqtt mqtts://b --mqtt-ca-file c --mqtt-credentials-file f "
            "--mqtt-prefix p/q --mqtt-birth-topic ha/s --mqtt-discovery-prefix= --input-names "
            "A,B,C,D",
            line + "raw 127.0.0.1:1 no-auth line x poll 5 mqtt|mqtts://b|c|f|p/q||ha/s|A,B,C,D");
        row("--no-auth --raw 1 --mqtt-prefix p", "--mqtt-prefix needs --mqtt URL");
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
        row("--no-auth --raw 1 --http-token-file t", "--http-token-file needs --http");
        row("--no-auth --raw 1 --port=", "--port DEVICE is required");
    }
    void theOptionsFollowTheirRulesOrSayWhichOneIsBroken()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, outcome);
        const QStringList words = arguments.split(u' ', Qt::SkipEmptyParts);
        QCOMPARE(described(parseArguments(QStringList{"--port", "/dev/x"} + words)), outcome);
    }

    // Each row: the file's content and mode, and the password or a part of the reason.
    void aPasswordFileGivesItsOneLineOrSaysWhyNot()
    {
        for (const auto &[content, mode, outcome] : QList<std::tuple<QByteArray, int, QString>>{
                 {"s3cret pw\n", 0640, "s3cret pw"},
                 {QByteArray(32, 'p') + "\r\n", 0600, QString(32, 'p')},
                 {QByteArray(33, 'p'), 0600, "at most 32"},
                 {"a\nb\n", 0600, "more than one"},
                 {"caf\xe9", 0600, "printable ASCII"},
                 {"s3cret", 0644, "every user may read it"},
                 {"token " + QByteArray(9, 't'), 0600, "at least 16"},
                 {"token " + QByteArray(251, 't'), 0600, "at most 256"},
                 {"token " + QByteArray(10, 't') + ' ', 0600, "a space"}}) {
            QTemporaryDir dir;
            QFile file(dir.filePath("pw"));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) > 0 && file.flush());
            QCOMPARE(::chmod(QFile::encodeName(file.fileName()).constData(), mode), 0);
            const bool token = content.startsWith("token ");
            const auto read = (token ? readTokenFile : readPasswordFile)(file.fileName());
            const QString got = read.index() ? std::get<QString>(read) : std::get<0>(read);
            QVERIFY2(read.index() ? got.contains(outcome) && !got.contains("s3cret")
                                  : got == outcome,
                     qPrintable(got));
        }
    }
};

QTEST_GUILESS_MAIN(PjlinkGatewayTest)
#include "tst_pjlink.moc"
