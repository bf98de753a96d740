// The command line of tarn-send: options, their checks, and the help text.
#include "options.h"

#include <QTest>

using namespace tarn::send;
using namespace std::chrono_literals;

class SendOptionsTest : public QObject
{
    Q_OBJECT
private slots:
    void optionsSetThePlan_data();
    void optionsSetThePlan();
    void unusableArgumentsAreRefusedWithTheReason_data();
    void unusableArgumentsAreRefusedWithTheReason();
    void commandsKeepTheirOrderAndTheWordsTheyWereGivenAs();
    void theHelpNamesButtonsAliasesAndExitStatus();
};

void SendOptionsTest::optionsSetThePlan_data()
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
    QTest::newRow("single again") << QStringList{"--address", "1", "--address", "SINGLE", "mode"}
                                  << QByteArray() << "19200,N,8,1" << 500 << QString();
    QTest::newRow("9600") << QStringList{"--speed", "9600", "status"} << QByteArray()
                          << "9600,N,8,1" << 500 << QString();
    QTest::newRow("timeout") << QStringList{"status", "--timeout", "2500"} << QByteArray()
                             << "19200,N,8,1" << 2500 << QString();
    QTest::newRow("tcp port") << QStringList{"--port=tcp://host:4001", "status"} << QByteArray()
                              << "19200,N,8,1" << 500 << "tcp://host:4001";
    QTest::newRow("device") << QStringList{"--port", "/dev/ttyUSB0", "status"} << QByteArray()
                            << "19200,N,8,1" << 500 << "/dev/ttyUSB0";
}

void SendOptionsTest::optionsSetThePlan()
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

void SendOptionsTest::unusableArgumentsAreRefusedWithTheReason_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");

    QTest::newRow("nothing") << QStringList{} << "no command given";
    QTest::newRow("options only") << QStringList{"--speed", "9600"} << "no command given";
    QTest::newRow("unknown command")
        << QStringList{"status", "lamp-hours"} << "unknown command 'lamp-hours'";
    QTest::newRow("unknown option")
        << QStringList{"--baud", "9600", "status"} << "unknown option '--baud'";
    QTest::newRow("single dash") << QStringList{"-speed", "9600", "status"}
                                 << "unknown option '-speed'";
    QTest::newRow("speed") << QStringList{"--speed", "4800", "status"} << "bad speed '4800'";
    QTest::newRow("address 5") << QStringList{"--address", "5", "status"} << "bad address '5'";
    QTest::newRow("address 0") << QStringList{"--address=0", "status"} << "bad address '0'";
    QTest::newRow("timeout zero") << QStringList{"--timeout", "0", "status"} << "bad timeout '0'";
    QTest::newRow("timeout sign") << QStringList{"--timeout", "+50", "status"}
                                  << "bad timeout '+50'";
    QTest::newRow("timeout unit") << QStringList{"--timeout", "50ms", "status"}
                                  << "bad timeout '50ms'";
    QTest::newRow("timeout huge") << QStringList{"--timeout", "99999999999999999999", "status"}
                                  << "bad timeout";
    QTest::newRow("empty port") << QStringList{"--port=", "status"} << "--port needs a device";
    QTest::newRow("missing value")
        << QStringList{"status", "--timeout"} << "--timeout needs a value";
}

void SendOptionsTest::unusableArgumentsAreRefusedWithTheReason()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);

    const auto parsed = parseArguments(arguments);
    const auto *problem = std::get_if<QString>(&parsed);
    QVERIFY(problem);
    QVERIFY2(problem->startsWith(reason), qPrintable(*problem));
}

void SendOptionsTest::commandsKeepTheirOrderAndTheWordsTheyWereGivenAs()
{
    const auto parsed = parseArguments({"power-on", "--address", "2", "CR0", "--", "lamp-time"});
    QVERIFY(std::holds_alternative<Options>(parsed));
    const auto &jobs = std::get<Options>(parsed).plan.jobs;
    QCOMPARE(jobs.size(), 3u);
    QCOMPARE(jobs[0].word, "power-on");
    QCOMPARE(jobs[0].code, "C00");
    QCOMPARE(jobs[1].code, "CR0");
    QCOMPARE(jobs[2].word, "lamp-time");
    QCOMPARE(jobs[2].code, "CR3");
}

void SendOptionsTest::theHelpNamesButtonsAliasesAndExitStatus()
{
    const auto parsed = parseArguments({"--help"});
    QVERIFY(std::holds_alternative<Options>(parsed) && std::get<Options>(parsed).help);

    const QString text = usage(QStringLiteral("/dev/ttyX9"));
    for (const char *needle :
         {"/dev/ttyX9", "power-on", "C00", "lens-shift-left", "\"SETTING 2\"",
          "\"+\" in \"D.Zoom\"", "lamp-time (= l-time)", "64 unusable arguments"})
        QVERIFY2(text.contains(QLatin1StringView(needle)), needle);
}

QTEST_APPLESS_MAIN(SendOptionsTest)
#include "tst_sendoptions.moc"
