// Command names of tarn-send: what each word on the command line sends.
#include "commandnames.h"

#include <QSet>
#include <QTest>

using namespace tarn::send;

class SendNamesTest : public QObject
{
    Q_OBJECT
private slots:
    void aWordSendsTheCodeOfItsButton_data();
    void aWordSendsTheCodeOfItsButton();
    void namesAreMadeFromGroupAndCaption_data();
    void namesAreMadeFromGroupAndCaption();
    void wordsThatNameNoButtonAreRejected_data();
    void wordsThatNameNoButtonAreRejected();
    void everyButtonHasAnOwnNameAndEveryAliasLeadsToOne();
};

void SendNamesTest::aWordSendsTheCodeOfItsButton_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QByteArray>("code");

    QTest::newRow("power on") << "power-on" << QByteArray("C00");
    QTest::newRow("input 1") << "input-1" << QByteArray("C05");
    QTest::newRow("sound mute") << "sound-mute-on" << QByteArray("C0B");
    QTest::newRow("menu") << "menu-on" << QByteArray("C1C");
    QTest::newRow("a-image") << "a-image" << QByteArray("C89");
    QTest::newRow("display clear") << "display-clear" << QByteArray("C1E");
    QTest::newRow("lamps 1-4") << "lamp-select-1-4" << QByteArray("C71");
    QTest::newRow("status") << "status" << QByteArray("CR0");
    QTest::newRow("lamp time") << "l-time" << QByteArray("CR3");
    QTest::newRow("pc type") << "pc-type" << QByteArray("CR9");
    QTest::newRow("volume up") << "vol-up" << QByteArray("C09");
    QTest::newRow("arrow up") << "up" << QByteArray("C3C");
    QTest::newRow("select") << "select" << QByteArray("C3F");
    QTest::newRow("zoom") << "zoom-up" << QByteArray("C47");
    QTest::newRow("digital zoom") << "d-zoom-up" << QByteArray("C30");
    QTest::newRow("keystone") << "keystone-down" << QByteArray("C8F");
    QTest::newRow("lens shift up") << "lens-shift-up" << QByteArray("C5D");
    QTest::newRow("alias lamp-time") << "lamp-time" << QByteArray("CR3");
    QTest::newRow("alias lamp-mode") << "lamp-mode" << QByteArray("CR7");
    QTest::newRow("alias cursor") << "cursor" << QByteArray("C4F");
    QTest::newRow("upper-case name") << "Power-ON" << QByteArray("C00");
    QTest::newRow("raw action") << "C8F" << QByteArray("C8F");
    QTest::newRow("raw query") << "CRA" << QByteArray("CRA");
}

void SendNamesTest::aWordSendsTheCodeOfItsButton()
{
    QFETCH(QString, word);
    QFETCH(QByteArray, code);
    QCOMPARE(resolveCommand(word), std::optional<QByteArray>(code));
}

void SendNamesTest::namesAreMadeFromGroupAndCaption_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("name");

    QTest::newRow("no group") << ""
                              << "DISPLAY CLEAR"
                              << "display-clear";
    QTest::newRow("dot in group") << "D.Zoom"
                                  << "-"
                                  << "d-zoom-down";
    QTest::newRow("mixed case") << "PC type"
                                << ""
                                << "pc-type";
    QTest::newRow("arrow caption") << "LENS SHIFT"
                                   << "←"
                                   << "lens-shift-left";
    QTest::newRow("dash kept") << "LAMP SELECT"
                               << "2-3"
                               << "lamp-select-2-3";
    QTest::newRow("runs collapse") << " A--b "
                                   << "..C"
                                   << "a-b-c";
    QTest::newRow("non-ASCII dropped") << "Ä"
                                       << "x"
                                       << "x";
}

void SendNamesTest::namesAreMadeFromGroupAndCaption()
{
    QFETCH(QString, group);
    QFETCH(QString, caption);
    QFETCH(QString, name);
    QCOMPARE(commandName(group, caption), name);
}

void SendNamesTest::wordsThatNameNoButtonAreRejected_data()
{
    QTest::addColumn<QString>("word");

    QTest::newRow("empty") << "";
    QTest::newRow("group alone") << "power";
    QTest::newRow("trailing dash") << "power-on-";
    QTest::newRow("caption symbol") << "vol-+";
    QTest::newRow("no such input") << "input-5";
    QTest::newRow("lower-case code") << "c00";
    QTest::newRow("not hex") << "C0G";
    QTest::newRow("short code") << "C0";
    QTest::newRow("long code") << "C000";
    QTest::newRow("query without letter") << "CR";
    QTest::newRow("lower-case query") << "CRa";
    QTest::newRow("carriage return") << "CR\r";
}

void SendNamesTest::wordsThatNameNoButtonAreRejected()
{
    QFETCH(QString, word);
    QCOMPARE(resolveCommand(word), std::nullopt);
}

void SendNamesTest::everyButtonHasAnOwnNameAndEveryAliasLeadsToOne()
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

QTEST_APPLESS_MAIN(SendNamesTest)
#include "tst_sendnames.moc"
