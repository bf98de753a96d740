// tarn-send's command line: what each word sends, the options and their checks, the help.
#include "commandnames.h"
#include "options.h"

#include <QSet>
#include <QTest>

using namespace tarn::send;

class CommandLineTest : public QObject
{
    Q_OBJECT
private slots:
    void aWordSendsTheCodeOfItsButtonOrIsRejected_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QByteArray>("code"); // empty: rejected

        QTest::newRow("power on") << "power-on" << QByteArray("C00");
        QTest::newRow("input 1") << "input-1" << QByteArray("C05");
        QTest::newRow("sound mute") << "sound-mute-on" << QByteArray("C0B");
        QTest::newRow("a-image") << "a-image" << QByteArray("C89");
        QTest::newRow("lamps 1-4") << "lamp-select-1-4" << QByteArray("C71");
        QTest::newRow("status") << "status" << QByteArray("CR0");
        QTest::newRow("pc type") << "pc-type" << QByteArray("CR9");
        QTest::newRow("volume up") << "vol-up" << QByteArray("C09");
        QTest::newRow("arrow up") << "up" << QByteArray("C3C");
        QTest::newRow("select") << "select" << QByteArray("C3F");
        QTest::newRow("digital zoom") << "d-zoom-up" << QByteArray("C30");
        QTest::newRow("keystone") << "keystone-down" << QByteArray("C8F");
        QTest::newRow("lens shift up") << "lens-shift-up" << QByteArray("C5D");
        QTest::newRow("alias lamp-time") << "lamp-time" << QByteArray("CR3");
        QTest::newRow("alias lamp-mode") << "lamp-mode" << QByteArray("CR7");
        QTest::newRow("alias cursor") << "cursor" << QByteArray("C4F");
        QTest::newRow("upper-case name") << "Power-ON" << QByteArray("C00");
        QTest::newRow("raw action") << "C8F" << QByteArray("C8F");
        QTest::newRow("raw query") << "CRA" << QByteArray("CRA");
        // Words that name no button are rejected.
        QTest::newRow("empty") << "" << QByteArray();
        QTest::newRow("group alone") << "power" << QByteArray();
        QTest::newRow("trailing dash") << "power-on-" << QByteArray();
        QTest::newRow("caption symbol") << "vol-+" << QByteArray();
        QTest::newRow("no such input") << "input-5" << QByteArray();
        QTest::newRow("lower-case code") << "c00" << QByteArray();
        QTest::newRow("not hex") << "C0G" << QByteArray();
        QTest::newRow("short code") << "C0" << QByteArray();
        QTest::newRow("long code") << "C000" << QByteArray();
        QTest::newRow("query without letter") << "CR" << QByteArray();
        QTest::newRow("lower-case query") << "CRa" << QByteArray();
        QTest::newRow("carriage return") << "CR\r" << QByteArray();
    }

    void aWordSendsTheCodeOfItsButtonOrIsRejected()
    {
        QFETCH(QString, word);
        QFETCH(QByteArray, code);
        QCOMPARE(resolveCommand(word), code.isEmpty() ? std::nullopt : std::optional(code));
    }

    void namesAreMadeFromGroupAndCaption_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("name");
        const auto row = [](const char *group, const char *caption, const char *name) {
            QTest::newRow(name) << QString::fromUtf8(group) << QString::fromUtf8(caption)
                                << QString(name);
        };
        row("", "DISPLAY CLEAR", "display-clear");
        row("D.Zoom", "-", "d-zoom-down"); // a dot in the group
        row("PC type", "", "pc-type");
        row("LENS SHIFT", "←", "lens-shift-left");
        row("LAMP SELECT", "2-3", "lamp-select-2-3"); // the dash kept
        row(" A--b ", "..C", "a-b-c");                // runs collapse
        row("Ä", "x", "x");                           // non-ASCII dropped
    }

    void namesAreMadeFromGroupAndCaption()
    {
        QFETCH(QString, group);
        QFETCH(QString, caption);
        QFETCH(QString, name);
        QCOMPARE(commandName(group, caption), name);
    }

    void everyButtonHasAnOwnNameAndEveryAliasLeadsToOne()
    {
        QSet<QString> names;
        for (const NamedCommand &c : namedCommands()) {
            QVERIFY2(!c.name.isEmpty(), qPrintable(c.caption.toString()));
            QVERIFY2(!names.contains(c.name), qPrintable(c.name));
            names.insert(c.name);
        }
        QCOMPARE(names.size(), 32 + 19);
        for (const Alias &a : aliases()) {
            QVERIFY2(!names.contains(a.alias), qPrintable(QString(a.alias)));
            QVERIFY2(names.contains(a.name), qPrintable(QString(a.name)));
        }
    }

    void optionsSetThePlan_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("prefix");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<QString>("port");

        QTest::newRow("defaults") << QStringList{"status"} << QByteArray() << "19200,N,8,1" << 500
                                  << QString();
        QTest::newRow("all") << QStringList{"--address", "all", "status"} << QByteArray("AFFF")
                             << "19200,N,8,1" << 500 << QString();
        QTest::newRow("projector 3") << QStringList{"--address=3", "status"} << QByteArray("A003")
                                     << "19200,N,8,1" << 500 << QString();
        QTest::newRow("projector 004") << QStringList{"--address", "004", "status"}
                                       << QByteArray("A004") << "19200,N,8,1" << 500 << QString();
        QTest::newRow("single again")
            << QStringList{"--address", "1", "--address", "SINGLE", "mode"} << QByteArray()
            << "19200,N,8,1" << 500 << QString();
        QTest::newRow("9600") << QStringList{"--speed", "9600", "status"} << QByteArray()
                              << "9600,N,8,1" << 500 << QString();
        QTest::newRow("timeout") << QStringList{"status", "--timeout", "2500"} << QByteArray()
                                 << "19200,N,8,1" << 2500 << QString();
        QTest::newRow("tcp port") << QStringList{"--port=tcp://host:4001", "status"} << QByteArray()
                                  << "19200,N,8,1" << 500 << "tcp://host:4001";
        QTest::newRow("device") << QStringList{"--port", "/dev/ttyUSB0", "status"} << QByteArray()
                                << "19200,N,8,1" << 500 << "/dev/ttyUSB0";
    }

    void optionsSetThePlan()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, prefix);
        QFETCH(QString, settings);
        QFETCH(int, timeoutMs);
        QFETCH(QString, port);

        const auto parsed = parseArguments(arguments);
        if (const auto *problem = std::get_if<QString>(&parsed))
            QFAIL(qPrintable(*problem));
        const Options &options = std::get<Options>(parsed);
        QCOMPARE(options.plan.prefix, prefix);
        QCOMPARE(options.plan.settings, settings);
        QCOMPARE(options.plan.timeout, std::chrono::milliseconds(timeoutMs));
        QCOMPARE(options.port.value_or(QString()), port);
    }

    void unusableArgumentsAreRefusedWithTheReason_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("reason");

        QTest::newRow("nothing") << QStringList{} << "no command given";
        QTest::newRow("options only") << QStringList{"--speed", "9600"} << "no command given";
        QTest::newRow("unknown command")
            << QStringList{"status", "lamp-hours"} << "unknown command 'lamp-hours'";
        QTest::newRow("unknown option")
            << QStringList{"--baud", "9600", "status"} << "unknown option '--baud'";
        QTest::newRow("single dash")
            << QStringList{"-speed", "9600", "status"} << "unknown option '-speed'";
        QTest::newRow("speed") << QStringList{"--speed", "4800", "status"} << "bad speed '4800'";
        QTest::newRow("address 5") << QStringList{"--address", "5", "status"} << "bad address '5'";
        QTest::newRow("address 0") << QStringList{"--address=0", "status"} << "bad address '0'";
        QTest::newRow("timeout zero")
            << QStringList{"--timeout", "0", "status"} << "bad timeout '0'";
        QTest::newRow("timeout sign")
            << QStringList{"--timeout", "+50", "status"} << "bad timeout '+50'";
        QTest::newRow("timeout unit")
            << QStringList{"--timeout", "50ms", "status"} << "bad timeout '50ms'";
        QTest::newRow("timeout huge")
            << QStringList{"--timeout", "99999999999999999999", "status"} << "bad timeout";
        QTest::newRow("empty port") << QStringList{"--port=", "status"} << "--port needs a device";
        QTest::newRow("missing value")
            << QStringList{"status", "--timeout"} << "--timeout needs a value";
        QTest::newRow("watch 0.05")
            << QStringList{"--watch", "0.05", "status"} << "bad interval '0.05'";
        QTest::newRow("watch 1.") << QStringList{"--watch=1.", "status"} << "bad interval '1.'";
        QTest::newRow("count alone")
            << QStringList{"--count", "2", "status"} << "--count needs --watch";
    }

    void unusableArgumentsAreRefusedWithTheReason()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, reason);

        const auto parsed = parseArguments(arguments);
        const auto *problem = std::get_if<QString>(&parsed);
        QVERIFY(problem);
        QVERIFY2(problem->startsWith(reason), qPrintable(*problem));
    }

    void commandsKeepTheirOrderAndTheWordsTheyWereGivenAs()
    {
        const auto parsed =
            parseArguments({"power-on", "--address", "2", "CR0", "--", "lamp-time"});
        QVERIFY(std::holds_alternative<Options>(parsed));
        const auto &jobs = std::get<Options>(parsed).plan.jobs;
        QCOMPARE(jobs.size(), 3u);
        QCOMPARE(jobs[0].word, "power-on");
        QCOMPARE(jobs[0].code, "C00");
        QCOMPARE(jobs[1].code, "CR0");
        QCOMPARE(jobs[2].word, "lamp-time");
        QCOMPARE(jobs[2].code, "CR3");
    }

    void theHelpNamesButtonsAliasesAndExitStatus()
    {
        const auto parsed = parseArguments({"--help"});
        QVERIFY(std::holds_alternative<Options>(parsed) && std::get<Options>(parsed).help);

        const QString text = usage(QStringLiteral("/dev/ttyX9"));
        for (const char *needle :
             {"/dev/ttyX9", "power-on", "C00", "lens-shift-left", "\"SETTING 2\"",
              "\"+\" in \"D.Zoom\"", "lamp-time (= l-time)", "64 unusable arguments"})
            QVERIFY2(text.contains(QLatin1StringView(needle)), needle);
    }
};

QTEST_APPLESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
