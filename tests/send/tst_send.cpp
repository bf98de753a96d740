// tarn-send: what each word sends, the options and their checks, and the exchange with the
// projectors on a fake port and a virtual clock, as text and as JSON, once or round after round.
#include "commandnames.h"
#include "fakeport.h"
#include "options.h"
#include "record.h"
#include "rounds.h"
#include "sender.h"
#include "virtualclock.h"

#include <QJsonDocument>
#include <QTest>

using namespace tarn;
using namespace tarn::send;
using namespace tarn::test;
using namespace std::chrono_literals;

namespace {

// The plan as "[prefix] settings timeout port word=code...", or why there is none.
QString described(const std::variant<Options, QString> &parsed)
{
    if (const auto *problem = std::get_if<QString>(&parsed))
        return *problem;
    const Options &o = std::get<Options>(parsed);
    QString text = QStringLiteral("[%1] %2 %3 %4")
                       .arg(QString::fromLatin1(o.plan.prefix), o.plan.settings)
                       .arg(o.plan.timeout.count())
                       .arg(o.port.value_or(QStringLiteral("-")));
    for (const Job &job : o.plan.jobs)
        text += u' ' + job.word + u'=' + QString::fromLatin1(job.code);
    return text + (o.help ? " help" : "") + (o.version ? " version" : "");
}

struct Rig
{
    Rig()
    {
        QObject::connect(&sender, &Sender::finished, [this](int code) { finished << code; });
    }
    void start(std::vector<Job> jobs, QByteArray prefix = {}, milliseconds timeout = 500ms)
    {
        sender.start({std::move(prefix), QStringLiteral("9600,N,8,1"), timeout, std::move(jobs)});
    }
    QStringList outLines() const { return out.split(u'\n', Qt::SkipEmptyParts); }

    FakePort port;
    VirtualClock clock;
    QString out;
    QString err;
    QTextStream outStream{&out};
    QTextStream errStream{&err};
    Sender sender{port, clock, [this] { return clock.now(); }, outStream, errStream};
    QList<int> finished;
};

} // namespace

class SendTest : public QObject
{
    Q_OBJECT
private slots:
    void aWordSendsTheCodeOfItsButtonOrIsRejected()
    {
        for (const QString row :
             {"power-on C00", "input-4 C08", "a-image C89", "lamp-select-1-4 C71", "setting-2 CRA",
              "vol-up C09", "zoom-down C46", "up C3C", "lens-shift-left C5F", "d-zoom-up C30",
              "lamp-time CR3", "setting CR4", "temp CR6", "l-mode CR7", "cursor C4F",
              "Power-ON C00", "C8F C8F", "CRZ CRZ"})
            QCOMPARE(row.section(u' ', 0, 0) + u' ' +
                         resolveCommand(row.section(u' ', 0, 0)).value_or("-"),
                     row);
        for (const char *word : {"", "power", "power-on-", "vol-+", "input-5", "c00", "C0G", "C0",
                                 "C000", "CR", "CRa", "CR\r"})
            QVERIFY2(!resolveCommand(QString::fromUtf8(word)), word);
    }

    void theArgumentsMakeThePlanOrSayWhatIsWrong()
    {
        for (const auto &[arguments, plan] : QList<std::pair<QString, QString>>{
                 {"status", "[] 19200,N,8,1 500 - status=CR0"},
                 {"--address all status", "[AFFF] 19200,N,8,1 500 - status=CR0"},
                 {"--address=3 --speed 9600 status", "[A003] 9600,N,8,1 500 - status=CR0"},
                 {"--address 004 --address SINGLE mode", "[] 19200,N,8,1 500 - mode=CR1"},
                 {"--timeout 1 --port=tcp://h:1 mode", "[] 19200,N,8,1 1 tcp://h:1 mode=CR1"},
                 {"power-on --address 2 --timeout 60000 CR0 -- lamp-time",
                  "[A002] 19200,N,8,1 60000 - power-on=C00 CR0=CR0 lamp-time=CR3"},
                 {"-h --version", "[] 19200,N,8,1 500 - help version"},
                 {"", "no command given"},
                 {"-- --help", "unknown command '--help'"},
                 {"--baud 9600 status", "unknown option '--baud'"},
                 {"-speed 9600 --address=aLL status", "[AFFF] 9600,N,8,1 500 - status=CR0"},
                 {"--json=yes status", "--json takes no value"},
                 {"--speed 4800 status", "bad speed '4800': use 19200 or 9600"},
                 {"--address 5 status", "bad address '5': use single, all or 1 to 4"},
                 {"--timeout 60001 status", "bad timeout '60001': use 1 to 60000 ms"},
                 {"--timeout 0 status", "bad timeout '0': use 1 to 60000 ms"},
                 {"--timeout +50 status", "bad timeout '+50': use 1 to 60000 ms"},
                 {"--port= status", "--port needs a device"},
                 {"status --timeout", "--timeout needs a value MS"},
                 {"--watch 0.05 status", "bad interval '0.05': use 0.1 to 86400 seconds"},
                 {"--watch=1. status", "bad interval '1.': use 0.1 to 86400 seconds"},
                 {"--count 2 status", "--count needs --watch"}}) {
            const auto parsed = parseArguments(arguments.split(u' ', Qt::SkipEmptyParts));
            QCOMPARE(arguments + " -> " + described(parsed), arguments + " -> " + plan);
        }
    }

    void eachReplyIsShownDecodedAndJudgedAndAPortFailureEndsTheRun_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("reply");  // pieces split at '|', or "!" and a port failure
        QTest::addColumn<QStringList>("lines"); // standard output, then the error output
        QTest::addColumn<int>("exitCode");
        const auto row = [](const char *name, const char *frame, const char *reply,
                            const QStringList &lines, int exitCode) {
            QTest::newRow(name) << QByteArray(frame) << QByteArray(reply) << lines << exitCode;
        };
        const QString missing = "tarn-send: word: no reply within 500 ms";
        row("status", "CR0", "0|2|\r",
            {"TXD  C R 0 CR ", "RXD  0 2 CR ", "STATUS Key input prohibition"}, 0);
        row("action acknowledged", "C00", "\x06", {"TXD  C 0 0 CR ", "RXD  &"}, 0);
        row("addressed", "A003CR0", "80\r",
            {"TXD  A 0 0 3 C R 0 CR ", "RXD  8 0 CR ", "STATUS Stand by"}, 0);
        row("noise after the end", "CR0", "00\r\x7f",
            {"TXD  C R 0 CR ", "RXD  0 0 CR ? ", "STATUS Power ON"}, 0);
        row("silence", "C01", "", {"TXD  C 0 1 CR ", "RXD  X X X X", missing}, 1);
        row("addressed silence", "A002C01", "", {"TXD  A 0 0 2 C 0 1 CR ", "RXD  X X X X", missing},
            1);
        row("broadcast silence", "AFFFC01", "",
            {"TXD  A F F F C 0 1 CR ", "RXD  (sent to all, no reply expected)"}, 0);
        row("broadcast answered by noise", "AFFFC0B", "\x01", {"TXD  A F F F C 0 B CR ", "RXD  ? "},
            0);
        row("half a query reply", "CR0", "0",
            {"TXD  C R 0 CR ", "RXD  0 ", "tarn-send: word: incomplete reply within 500 ms"}, 1);
        row("action answered without acknowledgement", "C0B", "80\r",
            {"TXD  C 0 B CR ", "RXD  8 0 CR ", "tarn-send: word: incomplete reply within 500 ms"},
            1);
        row("no device", "CR0", "!missing",
            {"tarn-send: Cannot open /dev/fake1: No such file or directory"}, 2);
        row("write fails", "CR0", "!writes",
            {"tarn-send: Cannot write to /dev/fake1: the output buffer is full"}, 2);
        row("device gone", "CR0", "!gone", {"TXD  C R 0 CR ", "tarn-send: /dev/fake1: gone"}, 2);
    }
    void eachReplyIsShownDecodedAndJudgedAndAPortFailureEndsTheRun()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, lines);
        QFETCH(int, exitCode);
        Rig rig;
        rig.port.setMissing(1, reply == "!missing");
        rig.port.setWritesFail(reply == "!writes");
        rig.start({{QStringLiteral("word"), frame.right(3)}}, frame.chopped(3));
        if (reply == "!gone")
            rig.port.breakDown(QStringLiteral("gone"));
        for (const QByteArray &piece : reply.split('|'))
            if (!piece.isEmpty() && !piece.startsWith('!'))
                rig.port.arrive(piece);
        rig.clock.advance(500ms);

        QCOMPARE(rig.outLines() + rig.err.split(u'\n', Qt::SkipEmptyParts), lines);
        QCOMPARE(rig.finished, QList<int>{exitCode});
        QCOMPARE(rig.port.log.mid(0, 3), (QStringList{"port 1", "settings 9600,N,8,1", "open"}));
        QCOMPARE(rig.port.log.last(), "close");
    }

    void eachCommandWaitsForItsReplyOrItsTimeOutAndTheRestGoesOutOnASettledLine()
    {
        Rig rig;
        rig.start({{"power-on", "C00"}, {"status", "CR0"}, {"mode", "CR1"}}, "A001", 700ms);
        rig.clock.advance(699ms);
        QCOMPARE(rig.port.frames, QByteArrayList{"A001C00\r"});
        rig.port.arrive("\x06");
        QCOMPARE(rig.port.frames.size(), 2);
        rig.clock.advance(699ms);
        QVERIFY(rig.err.isEmpty());
        rig.clock.advance(1ms);
        QCOMPARE(rig.err, "tarn-send: status: no reply within 700 ms\n");
        rig.clock.advance(300ms);
        rig.port.arrive("00\r"); // status's late reply, not mode's: the line settles first
        rig.clock.advance(499ms);
        QCOMPARE(rig.port.frames.size(), 2);
        rig.clock.advance(1ms);
        QCOMPARE(rig.port.frames.size(), 3);
        rig.port.arrive("2\r");
        QCOMPARE(rig.outLines().last(), "STATUS Input mode 2");
        QCOMPARE(rig.finished, QList<int>{1});
    }

    void aCommandsObjectKeepsEveryByteAndReadsOnlyWholeReplies_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("complete"); // the reply came in time
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("every byte") << QByteArray("CR9") << QByteArray("T\xe9\r\n") << true
                                    << QByteArray(R"({"reply":"T\u00e9\r\n","ok":true,
                   "status":" T ? CR LF ","pcType":null})");
        QTest::newRow("cut short") << QByteArray("CR0") << QByteArray("80") << false
                                   << QByteArray(R"({"reply":"80","ok":false,"status":null,
                   "power":null,"errors":null,"keyLock":null})");
        QTest::newRow("ack to a query") << QByteArray("CR1") << QByteArray("\x06") << false
                                        << QByteArray(R"({"reply":"\u0006","ok":false,
                   "status":null,"input":null,"acknowledged":true})");
    }
    void aCommandsObjectKeepsEveryByteAndReadsOnlyWholeReplies()
    {
        QFETCH(QByteArray, code);
        QFETCH(QByteArray, reply);
        QFETCH(bool, complete);
        QFETCH(QByteArray, json);
        QJsonObject expected = QJsonDocument::fromJson(json).object();
        expected.insert("command", "word");
        expected.insert("frame", QString::fromLatin1(code + '\r'));
        const QString line =
            jsonLine(exchangeRecord({"word", code, code + '\r', reply, complete, complete}));
        QCOMPARE(QJsonDocument::fromJson(line.toUtf8()).object(), expected);
    }

    // A port that goes away ends its round and is opened again at the next; a round that
    // outlasts the interval is followed at once.
    void aWatchOutlivesAFailingPort()
    {
        Rig rig;
        Rounds rounds(rig.sender, rig.clock);
        QList<int> finished;
        QObject::connect(&rounds, &Rounds::finished, [&](int code) { finished << code; });
        rounds.start({{}, "19200,N,8,1", 1500ms, {{"status", "CR0"}}, true}, 1000ms, 4);
        rig.port.breakDown(QStringLiteral("unplugged"));
        QCOMPARE(rig.out, jsonLine({{"ok", false}, {"error", "/dev/fake1: unplugged"}}) + u'\n');
        rig.clock.advance(999ms);
        QCOMPARE(rig.port.frames.size(), 1);
        rig.clock.advance(1ms);
        rig.port.arrive("00\r");
        QVERIFY2(rig.out.endsWith(R"("status":" Power ON"})"
                                  "\n"),
                 qPrintable(rig.out));
        // The third round meets silence for longer than the interval; the fourth follows as
        // soon as the line has settled.
        rig.clock.advance(2999ms);
        QCOMPARE(rig.port.frames.size(), 3);
        rig.clock.advance(1ms);
        QCOMPARE(rig.port.frames.size(), 4);
        rig.clock.advance(1500ms);
        QCOMPARE(finished, QList{2}); // the worst round's status
    }
};

QTEST_GUILESS_MAIN(SendTest)
#include "tst_send.moc"
