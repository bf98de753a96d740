// The window: its views, and how its real controls reach the panel and show what the panel
// decides.
#include "panelrig.h"
#include "panelwindow.h"
#include "traffic/rendering.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;

namespace tarn {
namespace {

// Below the compact view: the monitor, STATUS and the queries; the data view cuts the lowest.
const QStringList kData = {"Frame9",    "Command44", "Command46", "Command54",
                           "Command45", "Command47", "Command55", "Frame12"};
const QStringList kLowest = {"Frame11", "Command12", "Command38"};

// A started panel in its shown, active window, on a fake port and a virtual clock.
struct Rig : test::PanelRig
{
    PanelWindow window{panel};

    Rig() : PanelRig(false)
    {
        start();
        window.show();
        QApplication::setActiveWindow(&window);
    }
    QWidget *at(const QString &name) const { return window.control(name); }
    QString text(const QString &name) const { return at(name)->property("text").toString(); }
    bool checked(const QString &name) const { return at(name)->property("checked").toBool(); }
    QPoint centreOf(const QString &name) const
    {
        return at(name)->mapTo(&window, at(name)->rect().center());
    }
    QWindow *handle() const { return window.windowHandle(); }
    void mouse(const QString &name)
    {
        QTest::mouseClick(handle(), Qt::LeftButton, {}, centreOf(name));
    }
    void toggle() { static_cast<QPushButton *>(at("Command34"))->click(); }
    QStringList shownLines() const { return {text("Label11"), text("Label12"), text("Label22")}; }
    QList<QWidget *> controls() const
    {
        QList<QWidget *> all = window.findChildren<QWidget *>();
        all.removeIf([this](QWidget *w) { return at(w->objectName()) != w; });
        return all;
    }
};

} // namespace

class PanelWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void theKeyboardReachesAHoldButtonButSendsNothing()
    {
        Rig rig;
        rig.at("Command3")->setFocus();
        QTest::keyClick(rig.handle(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), rig.at("Command5"));
        QSignalSpy activated(static_cast<QPushButton *>(rig.at("Command5")), &QPushButton::clicked);
        QTest::keyClick(rig.handle(), Qt::Key_Space);
        QCOMPARE(activated.size(), 1); // the window's key watch lets every key through
        QVERIFY2(rig.port.frames.isEmpty(), "a hold-to-repeat button acts on the mouse only");
    }

    void eachViewShowsItsControls_data()
    {
        QTest::addColumn<QStringList>("steps"); // keys, or "toggle" for the view button
        QTest::addColumn<int>("height");        // of the client area, in pixels
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("added"); // shown below the compact view; "~": in part
        const QStringList data = kData + QStringList{"Frame11~", "Command12~", "Command38~"};
        const QStringList all = kData + kLowest + QStringList{"Command34"};
        const QString show = "データを表示する", hide = "データを表示しない";
        const auto row = [](const char *name, const QStringList &steps, int height,
                            const QString &caption, const QStringList &added) {
            QTest::newRow(name) << steps << height << caption << added;
        };
        row("after start", {}, 322, show, {});
        row("J", {"J"}, 322, show, {});
        row("Ctrl+Shift+J", {"Ctrl+Shift+J"}, 322, show, {});
        row("Ctrl+Alt+J", {"Ctrl+Alt+J"}, 322, show, {});
        row("Ctrl+K", {"Ctrl+K"}, 322, show, {});
        row("Ctrl+J", {"Ctrl+J"}, 455, "CLOSE", all);
        row("then compact", {"Ctrl+J", "toggle"}, 322, show, {});
        row("then data", {"Ctrl+J", "toggle", "toggle"}, 418, hide,
            data + QStringList{"Command34"});
        row("data before Ctrl+J", {"toggle"}, 418, hide, data);
        row("data, then compact", {"toggle", "toggle"}, 322, show, {});
    }

    void eachViewShowsItsControls()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, height);
        QFETCH(QString, caption);
        QFETCH(QStringList, added);
        Rig rig;
        for (const QString &step : steps) {
            const QKeyCombination key = QKeySequence(step)[0];
            step == "toggle" ? rig.toggle()
                             : QTest::keyClick(rig.handle(), key.key(), key.keyboardModifiers());
        }
        QCOMPARE(rig.window.size(), QSize(633, height));
        QCOMPARE(rig.window.pos(), QPoint(640, 300)); // centred at the design height
        QCOMPARE(rig.text("Command34"), caption);

        QStringList expected = added, shown;
        for (QWidget *w : rig.controls()) {
            const QString name = w->objectName();
            if (w->parentWidget() != &rig.window)
                continue; // a frame shows what it holds
            if (!(kData + kLowest + QStringList{"Frame8", "Command34"}).contains(name))
                expected << name;
            if (w->isVisibleTo(&rig.window) && w->geometry().intersects(rig.window.rect()))
                shown << name + (rig.window.rect().contains(w->geometry()) ? "" : "~");
        }
        expected.sort();
        shown.sort();
        QCOMPARE(shown, expected);
    }

    void realClicksSendAndTheLinesShowTheTraffic_data()
    {
        QTest::addColumn<QStringList>("steps"); // controls clicked, or ">bytes" arriving
        QTest::addColumn<QByteArrayList>("frames");
        QTest::addColumn<QStringList>("lines"); // TXD, RXD, STATUS
        const auto row = [](const char *name, const QStringList &steps,
                            const QByteArrayList &frames, const QStringList &lines) {
            QTest::newRow(name) << steps << frames << lines;
        };
        row("STATUS for 001", {"Option5", "Command44", ">40\r"}, {"A001CR0\r"},
            {" A 0 0 1 C R 0 CR ", " 4 0 CR ", " Count down"});
        row("POWER ON for ALL", {"Option4", "Command17"}, {"AFFFC00\r"},
            {" A F F F C 0 0 CR ", "", ""});
        row("FREEZE OFF for SINGLE again", {"Option5", "Option3", "Command26"}, {"C44\r"},
            {" C 4 4 CR ", "", ""});
        row("DISPLAY CLEAR only sends", {"Command44", ">80", "Command3"}, {"CR0\r", "C1E\r"},
            {" C 1 E CR ", " 8 0 ", " Stand by"});
    }

    void realClicksSendAndTheLinesShowTheTraffic()
    {
        QFETCH(QStringList, steps);
        QFETCH(QByteArrayList, frames);
        QFETCH(QStringList, lines);
        Rig rig;
        QTest::keyClick(rig.handle(), Qt::Key_J, Qt::ControlModifier); // every control in reach
        for (const QString &step : steps)
            step.startsWith(u'>') ? rig.port.arrive(step.mid(1).toLatin1()) : rig.mouse(step);
        QCOMPARE(rig.port.frames, frames);
        QCOMPARE(rig.shownLines(), lines);
        rig.advance(1s);
        QCOMPARE(rig.shownLines(), QStringList(3));
    }

    void everyButtonSendsAFrameOfItsOwnAndHoldButtonsRepeatIt()
    {
        Rig rig;
        QTest::keyClick(rig.handle(), Qt::Key_J, Qt::ControlModifier);
        const QRegularExpression wellFormed("^(C[0-9A-F]{2}|CR[0-9A-F])\r$");
        QSet<QByteArray> sent;
        for (QPushButton *button : rig.window.findChildren<QPushButton *>()) {
            const QString name = button->objectName();
            if (QStringList{"Command16", "Command33", "Command34"}.contains(name))
                continue; // END, COM and the view toggle send nothing
            rig.port.frames.clear();
            QTest::mousePress(rig.handle(), Qt::LeftButton, {}, rig.centreOf(name));
            const bool held = !rig.port.frames.isEmpty();
            rig.advance(rig.panel.timer(1).interval()); // one repeat while held
            QTest::mouseRelease(rig.handle(), Qt::LeftButton, {}, rig.centreOf(name));
            rig.advance(1s);
            const QByteArray frame = rig.port.frames.value(0);
            QVERIFY2(wellFormed.match(QString::fromLatin1(frame)).hasMatch(), qPrintable(name));
            QCOMPARE(rig.port.frames, QByteArrayList(held ? 2 : 1, frame));
            QVERIFY2(!sent.contains(frame), qPrintable(name));
            sent << frame;
        }
        QCOMPARE(sent.size(), 51); // 32 one-shot and 19 hold-to-repeat buttons
    }

    void anyMouseButtonHoldsAndAnyReleaseStops()
    {
        Rig rig;
        const QPoint vol = rig.centreOf("Command1"), away(2, 2);
        QTest::mousePress(rig.handle(), Qt::LeftButton, {}, vol);
        QTest::mousePress(rig.handle(), Qt::RightButton, {}, vol); // presses again
        QTest::mouseMove(rig.handle(), away);
        QTest::mouseRelease(rig.handle(), Qt::RightButton, {}, away); // off the button
        rig.advance(1s);
        QCOMPARE(rig.port.frames.size(), 2);
        QTest::mouseRelease(rig.handle(), Qt::LeftButton, {}, away);
        QTest::mouseDClick(rig.handle(), Qt::MiddleButton, {}, rig.centreOf("Command6"));
        QCOMPARE(rig.port.frames.size(), 4); // a quick second click is a second press
    }

    void theComFrameShowsEachChoiceAndAFailedOneKeepsItOpen()
    {
        Rig rig;
        QVERIFY(rig.checked("Option1") && rig.checked("Option9") && rig.checked("Option3"));
        rig.mouse("Command33");
        QVERIFY(rig.at("Frame8")->isAncestorOf(rig.window.childAt(rig.centreOf("Command33"))));
        rig.mouse("Option10");
        QVERIFY(!rig.at("Frame8")->isVisible() && !rig.checked("Option9") &&
                rig.checked("Option10"));
        rig.port.log.clear();
        for (const char *name : {"Command33", "Option9", "Command33", "Option1"})
            rig.mouse(name); // the option already chosen runs its handler again
        QCOMPARE(rig.port.log, QStringList({"settings 19200,N,8,1", "close", "port 1", "open"}));
        QVERIFY(!rig.at("Frame8")->isVisible());
        rig.advance(3s);
        rig.mouse("Command33"); // shows it again for five seconds
        rig.advance(3s);
        rig.toggle(); // and so does the view button
        rig.advance(4999ms);
        QVERIFY(rig.at("Frame8")->isVisible());
        rig.advance(1ms);
        QVERIFY(!rig.at("Frame8")->isVisible());

        rig.port.setMissing(2);
        rig.mouse("Command33");
        rig.port.log.clear();
        rig.warnings.whileOpen = [&] {
            QCOMPARE(rig.port.commPort(), 2);
        };
        rig.mouse("Option2");
        const QString reason = "Cannot open /dev/fake2: No such file or directory";
        QCOMPARE(rig.warnings.shown, QStringList{reason});
        QCOMPARE(rig.text("Label22"), u' ' + reason);
        QCOMPARE(rig.port.log, QStringList({"close", "port 2", "open", "port 1"}));
        QVERIFY(rig.checked("Option2") && rig.at("Frame8")->isVisible());

        QSignalSpy quit(&rig.panel, &Panel::quitRequested);
        rig.mouse("Command16"); // "END" on the closed port
        QCOMPARE(quit.size(), 1);
        QCOMPARE(rig.port.log.last(), "close");
    }

    void aFloodKeepsTheNewestBytesAndTheLineShowsTheirBeginning()
    {
        Rig rig;
        rig.port.arrive(QByteArray(20000, 'a'));
        rig.port.arrive(QByteArray(20000, 'b'));
        QCOMPARE(rig.state().RecvBuffer, QByteArray(12767, 'a') + QByteArray(20000, 'b'));
        const QString shown = rig.text("Label12");
        QVERIFY(shown.size() >= 200 && shown.size() <= 1000);
        QVERIFY(renderMonitor(rig.state().RecvBuffer).startsWith(shown));
    }

    void theWarningBoxShowsTheDescriptionAsPlainText()
    {
        Rig rig;
        WarningDialog dialog;
        dialog.setWindow(&rig.window);
        QString shown;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box && box->icon() == QMessageBox::Warning);
            QVERIFY(box->textFormat() == Qt::PlainText && box->buttons().size() == 1);
            shown = box->windowTitle() + ": " + box->text();
            box->accept();
        });
        dialog.showWarning("<b>/dev/ttyX</b> not found");
        QCOMPARE(shown, rig.window.windowTitle() + ": <b>/dev/ttyX</b> not found");
    }
};

} // namespace tarn

QTEST_MAIN(tarn::PanelWindowTest)
#include "tst_panelwindow.moc"
