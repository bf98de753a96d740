// The panel's window against its design: every control, its place and looks, the views,
// the focus chain, and how the operator's mouse and keys reach the panel.
#include "app/panel.h"
#include "fakeport.h"
#include "look.h"
#include "panelwindow.h"
#include "virtualclock.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;

namespace tarn {
namespace {

// The designed controls, as the designer's sheet gives them: name, kind (Command button,
// Option button, Label, Frame), caption, left, top, width and height in twips relative
// to the enclosing frame or the window, and tab position.
struct Designed
{
    const char *name;
    char kind;
    const char *caption;
    QRect twips;
    int tab;
};

constexpr char C = 'C', O = 'O', L = 'L', F = 'F';

// clang-format off
const Designed kDesign[] = {
    {"Frame1", F, {}, {120, 240, 1695, 975}, 0},
    {"Label1", L, "POWER", {240, 240, 1095, 255}, 2},
    {"Command17", C, "ON", {120, 600, 615, 300}, 1},
    {"Command18", C, "OFF", {960, 600, 615, 300}, 27},
    {"Frame2", F, {}, {2160, 240, 3132, 975}, 3},
    {"Label2", L, "INPUT MODE SET", {600, 240, 1935, 255}, 4},
    {"Command27", C, "1", {240, 600, 495, 300}, 36},
    {"Command28", C, "2", {960, 600, 495, 300}, 37},
    {"Command29", C, "3", {1680, 600, 495, 300}, 38},
    {"Command53", C, "4", {2400, 600, 495, 300}, 68},
    {"Frame6", F, {}, {5640, 240, 1695, 975}, 14},
    {"Label7", L, "MENU", {360, 240, 975, 255}, 15},
    {"Command23", C, "ON", {120, 600, 615, 300}, 32},
    {"Command24", C, "OFF", {960, 600, 615, 300}, 33},
    {"Frame3", F, {}, {120, 1440, 1695, 855}, 8},
    {"Label4", L, "SOUND MUTE", {120, 195, 1455, 300}, 9},
    {"Command19", C, "ON", {120, 480, 615, 300}, 28},
    {"Command20", C, "OFF", {960, 480, 615, 300}, 29},
    {"Frame4", F, {}, {1920, 1440, 1695, 855}, 10},
    {"Label5", L, "NO SHOW", {360, 210, 1095, 285}, 11},
    {"Command21", C, "ON", {120, 480, 615, 300}, 30},
    {"Command22", C, "OFF", {960, 480, 615, 300}, 31},
    {"Frame7", F, {}, {3720, 1440, 1695, 855}, 22},
    {"Label8", L, "FREEZE", {240, 210, 1215, 285}, 23},
    {"Command25", C, "ON", {120, 480, 615, 300}, 34},
    {"Command26", C, "OFF", {960, 480, 615, 300}, 35},
    {"Frame5", F, {}, {5520, 1440, 1815, 855}, 12},
    {"Label6", L, "AV Size", {240, 210, 1335, 285}, 13},
    {"Command31", C, "Regular", {120, 480, 855, 300}, 39},
    {"Command32", C, "Wide", {1080, 480, 615, 300}, 40},
    {"Frame10", F, {}, {7680, 600, 1692, 1695}, 75},
    {"Label20", L, "LENS SHIFT", {120, 195, 1455, 300}, 80},
    {"Command59", C, "↑", {600, 600, 492, 252}, 76},
    {"Command60", C, "←", {240, 960, 492, 252}, 77},
    {"Command61", C, "→", {960, 960, 492, 252}, 78},
    {"Command62", C, "↓", {588, 1320, 492, 252}, 79},
    {"Command5", C, "↑", {1200, 2520, 855, 375}, 17},
    {"Command9", C, "←", {240, 3000, 855, 375}, 21},
    {"Command6", C, "SELECT", {1200, 3000, 855, 375}, 18},
    {"Command8", C, "→", {2160, 3000, 855, 375}, 20},
    {"Command7", C, "↓", {1200, 3480, 855, 375}, 19},
    {"Label3", L, "VOL", {3600, 2520, 495, 255}, 7},
    {"Command1", C, "+", {3600, 2880, 375, 255}, 5},
    {"Command2", C, "-", {3600, 3240, 375, 255}, 6},
    {"Label13", L, "Zoom", {4440, 2520, 492, 252}, 53},
    {"Command15", C, "+", {4440, 2880, 375, 255}, 51},
    {"Command35", C, "-", {4440, 3240, 375, 255}, 52},
    {"Label14", L, "Focus", {5280, 2520, 615, 255}, 56},
    {"Command36", C, "+", {5280, 2880, 375, 255}, 54},
    {"Command37", C, "-", {5280, 3240, 375, 255}, 55},
    {"Label17", L, "D.Zoom", {6360, 2520, 735, 255}, 64},
    {"Command48", C, "+", {6480, 2880, 375, 255}, 62},
    {"Command49", C, "-", {6480, 3240, 375, 255}, 63},
    {"Label18", L, "Keystone", {7320, 2520, 855, 255}, 67},
    {"Command50", C, "+", {7440, 2880, 375, 255}, 65},
    {"Command51", C, "-", {7440, 3240, 375, 255}, 66},
    {"Command13", C, "A-IMAGE", {8400, 2520, 975, 250}, 24},
    {"Command30", C, "IMAGE", {8400, 2880, 975, 255}, 93},
    {"Command43", C, "CURSOL", {8400, 3120, 975, 255}, 57},
    {"Command14", C, "P-TIMER", {8400, 3360, 975, 250}, 25},
    {"Command3", C, "DISPLAY CLEAR", {8400, 3600, 975, 492}, 16},
    {"Command16", C, "END", {8400, 4320, 975, 375}, 26},
    {"Label19", L, "LAMP SELECT", {6600, 3720, 1332, 252}, 74},
    {"Command56", C, "4 LAMP", {6600, 3960, 1200, 372}, 71},
    {"Command57", C, "1-4", {6600, 4320, 606, 372}, 72},
    {"Command58", C, "2-3", {7200, 4320, 606, 372}, 73},
    {"Command33", C, "COM", {4080, 4200, 1815, 375}, 41},
    {"Frame8", F, {}, {3480, 3600, 2775, 1185}, 42},
    {"Option1", O, "COM1", {240, 240, 1215, 255}, 43},
    {"Option2", O, "COM2", {1560, 240, 1095, 255}, 44},
    {"Frame13", F, {}, {120, 480, 2535, 615}, 95},
    {"Option9", O, "19200", {120, 240, 1095, 255}, 96},
    {"Option10", O, "9600", {1440, 240, 975, 300}, 97},
    {"Frame9", F, {}, {45, 4830, 6312, 936}, 45},
    {"Label9", L, "TXD", {105, 210, 390, 285}, 46},
    {"Label11", L, {}, {600, 180, 5610, 300}, 48},
    {"Label10", L, "RXD", {75, 555, 450, 300}, 47},
    {"Label12", L, {}, {600, 540, 5616, 300}, 49},
    {"Command34", C, "データを表示する", {6600, 5040, 1200, 375}, 50},
    {"Command44", C, "STATUS", {6480, 5640, 975, 255}, 58},
    {"Command46", C, "L-TIME", {7440, 5640, 975, 255}, 60},
    {"Command54", C, "TEMP", {8400, 5640, 975, 252}, 69},
    {"Command45", C, "MODE", {6480, 5880, 975, 255}, 59},
    {"Command47", C, "SETTING", {7440, 5880, 975, 255}, 61},
    {"Command55", C, "L-MODE", {8400, 5880, 975, 252}, 70},
    {"Command12", C, "SETTING 2", {8160, 6240, 1215, 252}, 92},
    {"Command38", C, "PC type", {7080, 6240, 1095, 255}, 94},
    {"Frame12", F, {}, {75, 5760, 6288, 465}, 89},
    {"Label23", L, "STATUS", {75, 180, 795, 225}, 91},
    {"Label22", L, {}, {900, 120, 5295, 300}, 90},
    {"Frame11", F, {}, {75, 6225, 6765, 465}, 81},
    {"Label21", L, "PJ Select", {60, 150, 1050, 255}, 82},
    {"Option3", O, "SINGLE", {1155, 168, 1095, 225}, 83},
    {"Option4", O, "ALL", {2280, 165, 855, 225}, 84},
    {"Option5", O, "001", {3240, 180, 735, 225}, 85},
    {"Option6", O, "002", {4080, 180, 735, 225}, 86},
    {"Option7", O, "003", {4920, 180, 795, 225}, 87},
    {"Option8", O, "004", {5880, 180, 795, 225}, 88},
};
// clang-format on

// What each frame holds directly; everything else sits on the window.
const QList<QPair<QString, QStringList>> kFrames = {
    {"Frame1", {"Label1", "Command17", "Command18"}},
    {"Frame2", {"Label2", "Command27", "Command28", "Command29", "Command53"}},
    {"Frame6", {"Label7", "Command23", "Command24"}},
    {"Frame3", {"Label4", "Command19", "Command20"}},
    {"Frame4", {"Label5", "Command21", "Command22"}},
    {"Frame7", {"Label8", "Command25", "Command26"}},
    {"Frame5", {"Label6", "Command31", "Command32"}},
    {"Frame10", {"Label20", "Command59", "Command60", "Command61", "Command62"}},
    {"Frame8", {"Option1", "Option2", "Frame13"}},
    {"Frame13", {"Option9", "Option10"}},
    {"Frame9", {"Label9", "Label11", "Label10", "Label12"}},
    {"Frame12", {"Label23", "Label22"}},
    {"Frame11", {"Label21", "Option3", "Option4", "Option5", "Option6", "Option7", "Option8"}},
};

// The controls beyond the compact view, by the view that adds them.
const QStringList kDataView = {"Frame9",    "Label9",    "Label11",   "Label10",   "Label12",
                               "Command34", "Command44", "Command46", "Command54", "Command45",
                               "Command47", "Command55", "Frame12",   "Label23",   "Label22"};
const QStringList kLowest = {"Frame11", "Command12", "Command38"}; // cut off in the data view
const QStringList kPjSelect = {"Label21", "Option3", "Option4", "Option5",
                               "Option6", "Option7", "Option8"};
// The port frame, hidden until "COM" is clicked.
const QStringList kPortFrame = {"Frame8", "Option1", "Option2", "Frame13", "Option9", "Option10"};

QColor fromBgr(quint32 bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

class RecordingBox final : public WarningBox
{
public:
    void showWarning(const QString &text) override { texts << text; }
    QStringList texts;
};

// Counts the key presses that reach one control.
class KeySpy final : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress)
            keys << static_cast<QKeyEvent *>(event)->key();
        return false;
    }
    QList<int> keys;
};

// A started panel in its shown, active window, on a fake port and a virtual clock.
struct Rig
{
    test::FakePort port;
    test::VirtualClock clock;
    RecordingBox box;
    Panel panel{port, clock, box};
    PanelWindow window{panel};

    Rig()
    {
        panel.start(QSize(1920 * 15, 1080 * 15));
        window.show();
        QApplication::setActiveWindow(&window);
    }
    QWidget *at(const QString &name) const { return window.control(name); }
    QPoint centreOf(const QString &name) const
    {
        QWidget *w = at(name);
        return w->mapTo(&window, w->rect().center());
    }
    QWindow *handle() const { return window.windowHandle(); }
    void ctrlJ() { QTest::keyClick(handle(), Qt::Key_J, Qt::ControlModifier); }
    void click(const QString &name)
    {
        QTest::mouseClick(handle(), Qt::LeftButton, {}, centreOf(name));
    }
};

} // namespace

class PanelWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void everyControlHasItsDesignedNameCaptionAndPlace_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(kDesign)); ++i)
            QTest::newRow(kDesign[i].name) << i;
    }

    void everyControlHasItsDesignedNameCaptionAndPlace()
    {
        QFETCH(int, index);
        const Designed &row = kDesign[index];
        Rig rig;
        QWidget *w = rig.at(row.name);
        QVERIFY(w);
        QCOMPARE(w->objectName(), QString(row.name));

        QString caption;
        switch (row.kind) {
        case C:
            QVERIFY(qobject_cast<QPushButton *>(w));
            caption = static_cast<QPushButton *>(w)->text();
            break;
        case O:
            QVERIFY(qobject_cast<QRadioButton *>(w));
            caption = static_cast<QRadioButton *>(w)->text();
            break;
        case L:
            QVERIFY(qobject_cast<QLabel *>(w));
            caption = static_cast<QLabel *>(w)->text();
            break;
        default:
            QVERIFY(qobject_cast<QFrame *>(w) && !qobject_cast<QLabel *>(w));
            break;
        }
        QCOMPARE(caption, QString::fromUtf8(row.caption ? row.caption : ""));

        // Every edge lies on the pixel nearest to its designed place: within half a pixel.
        const QRect px = w->geometry();
        const QRect &tw = row.twips;
        const int edges[4][2] = {{px.left() * 15, tw.left()},
                                 {px.top() * 15, tw.top()},
                                 {(px.left() + px.width()) * 15, tw.left() + tw.width()},
                                 {(px.top() + px.height()) * 15, tw.top() + tw.height()}};
        for (const auto &[actual, designed] : edges)
            QVERIFY2(qAbs(actual - designed) <= 7,
                     qPrintable(QStringLiteral("%1 twips, designed %2").arg(actual).arg(designed)));
    }

    void framesHoldTheirControlsAndTheRestSitsOnTheWindow()
    {
        Rig rig;
        QStringList inFrames;
        for (const auto &[frame, children] : kFrames) {
            for (const QString &child : children) {
                QCOMPARE(rig.at(child)->parentWidget()->objectName(), frame);
                inFrames << child;
            }
        }
        for (const Designed &row : kDesign) {
            if (!inFrames.contains(row.name))
                QVERIFY2(rig.at(row.name)->parentWidget() == &rig.window, row.name);
        }
    }

    void controlsAreFilledWithTheirBackColour_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPoint>("spot"); // in the control, clear of its caption
        QTest::addColumn<quint32>("bgr");
        QTest::newRow("POWER ON") << "Command17" << QPoint(5, 10) << 0x00C0FFC0u;
        QTest::newRow("POWER OFF") << "Command18" << QPoint(5, 10) << 0x00C0C0FFu;
        QTest::newRow("input 1") << "Command27" << QPoint(5, 10) << 0x00FFFFC0u;
        QTest::newRow("arrow up") << "Command5" << QPoint(5, 12) << 0x00C0E0FFu;
        QTest::newRow("SELECT") << "Command6" << QPoint(5, 12) << 0x000080FFu;
        QTest::newRow("VOL +") << "Command1" << QPoint(4, 8) << 0x0080C0FFu;
        QTest::newRow("A-IMAGE") << "Command13" << QPoint(4, 8) << 0x00C0C000u;
        QTest::newRow("DISPLAY CLEAR") << "Command3" << QPoint(4, 16) << 0x00FFC0C0u;
        QTest::newRow("4 LAMP") << "Command56" << QPoint(5, 12) << 0x00C0FFFFu;
        QTest::newRow("END") << "Command16" << QPoint(5, 12) << 0x00C0C0C0u;
        QTest::newRow("STATUS query") << "Command44" << QPoint(4, 8) << 0x00FFFFC0u;
        QTest::newRow("TXD line") << "Label11" << QPoint(200, 10) << 0x00FFFFFFu;
        QTest::newRow("STATUS line") << "Label22" << QPoint(200, 10) << 0x00FFFFFFu;
        QTest::newRow("POWER frame") << "Frame1" << QPoint(4, 30) << 0x00C0C0C0u;
        QTest::newRow("SINGLE") << "Option3" << QPoint(70, 7) << 0x00C0C0C0u;
        QTest::newRow("window") << "" << QPoint(5, 5) << 0x00C0C0C0u;
        QTest::newRow("outline Line1") << "" << QPoint(72, 176) << 0x00FF8080u;
        QTest::newRow("outline Line11") << "" << QPoint(108, 264) << 0x00FF8080u;
        QTest::newRow("inside the outline") << "" << QPoint(76, 176) << 0x00C0C0C0u;
    }

    void controlsAreFilledWithTheirBackColour()
    {
        QFETCH(QString, name);
        QFETCH(QPoint, spot);
        QFETCH(quint32, bgr);
        Rig rig;
        rig.ctrlJ(); // the whole design area
        const QImage image = rig.window.grab().toImage();
        const QPoint at = name.isEmpty() ? spot : rig.at(name)->mapTo(&rig.window, spot);
        QCOMPARE(QColor(image.pixel(at)), fromBgr(bgr));
    }

    void textsUseTheirDesignedColour_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<quint32>("bgr");
        QTest::newRow("POWER label") << "Label1" << 0x000000C0u;
        QTest::newRow("STATUS line") << "Label22" << 0x000000FFu;
        QTest::newRow("TXD line") << "Label11" << 0x00000000u;
        QTest::newRow("VOL label") << "Label3" << 0x00000000u;
        QTest::newRow("POWER ON") << "Command17" << 0x00000000u;
    }

    void textsUseTheirDesignedColour()
    {
        QFETCH(QString, name);
        QFETCH(quint32, bgr);
        Rig rig;
        QWidget *w = rig.at(name);
        QCOMPARE(w->palette().color(w->foregroundRole()), fromBgr(bgr));
    }

    void fontsStandInForTheDesignedFaces_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("family");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("bold");
        QTest::newRow("monospaced") << "Command6"
                                    << "IPAGothic" << 9.0 << false;
        QTest::newRow("proportional bold") << "Command17"
                                           << "IPAPGothic" << 9.0 << true;
        QTest::newRow("display line") << "Label11"
                                      << "IPAPGothic" << 9.75 << true;
        QTest::newRow("query") << "Command44"
                               << "IPAGothic" << 8.25 << true;
        QTest::newRow("lens shift") << "Command59"
                                    << "IPAPGothic" << 7.5 << false;
        // Without a font of their own: the frame's, or the window's.
        QTest::newRow("in a frame") << "Label1"
                                    << "IPAPGothic" << 9.0 << false;
        QTest::newRow("in a frame in a frame") << "Option9"
                                               << "IPAPGothic" << 9.0 << false;
        QTest::newRow("on the window") << "Command16"
                                       << "IPAGothic" << 9.0 << true;
    }

    void fontsStandInForTheDesignedFaces()
    {
        QFETCH(QString, name);
        QFETCH(QString, family);
        QFETCH(double, points);
        QFETCH(bool, bold);
        Rig rig;
        const QFont font = rig.at(name)->font();
        QCOMPARE(QFontInfo(font).family(), family);
        QCOMPARE(font.pointSizeF(), points);
        QCOMPARE(font.bold(), bold);
    }

    void tabWalksTheControlsInTheDesignedOrder()
    {
        Rig rig;
        rig.ctrlJ();
        rig.panel.click(u"Command33"); // shows the port frame

        // Buttons and options by tab position; Tab enters an option group at its selection.
        const QStringList unselected = {"Option2", "Option10", "Option4", "Option5",
                                        "Option6", "Option7",  "Option8"};
        std::vector<Designed> focusable;
        for (const Designed &row : kDesign) {
            if (row.kind == L || row.kind == F)
                QVERIFY2(rig.at(row.name)->focusPolicy() == Qt::NoFocus, row.name);
            else if (!unselected.contains(row.name))
                focusable.push_back(row);
        }
        std::ranges::sort(focusable, {}, &Designed::tab);
        QStringList expected;
        for (const Designed &row : focusable)
            expected << row.name;

        rig.at(expected.first())->setFocus();
        QStringList walked = {QApplication::focusWidget()->objectName()};
        for (qsizetype i = 1; i < expected.size() + 1; ++i) {
            QTest::keyClick(rig.handle(), Qt::Key_Tab);
            walked << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(walked, expected + QStringList{expected.first()});
    }

    void eachViewShowsItsControls_data()
    {
        QTest::addColumn<int>("command34Clicks"); // after Ctrl+J; -1: straight after start
        QTest::addColumn<int>("clientHeight");
        QTest::addColumn<QStringList>("added"); // shown beyond the compact view
        QTest::addColumn<QStringList>("cut");   // shown only in part
        QTest::newRow("compact after start") << -1 << 322 << QStringList() << QStringList();
        QTest::newRow("maintenance")
            << 0 << 455 << kDataView + kLowest + kPjSelect << QStringList();
        QTest::newRow("compact from maintenance") << 1 << 322 << QStringList() << QStringList();
        QTest::newRow("data") << 2 << 418 << kDataView + kLowest << kLowest;
    }

    void eachViewShowsItsControls()
    {
        QFETCH(int, command34Clicks);
        QFETCH(int, clientHeight);
        QFETCH(QStringList, added);
        QFETCH(QStringList, cut);
        Rig rig;
        if (command34Clicks >= 0)
            rig.ctrlJ();
        for (int i = 0; i < command34Clicks; ++i)
            rig.panel.click(u"Command34");

        QCOMPARE(rig.window.height(), clientHeight);
        QCOMPARE(rig.window.width(), 633);

        const QStringList beyondCompact = kPortFrame + kDataView + kLowest + kPjSelect;
        QStringList expected = added, shown, partly;
        for (const Designed &row : kDesign) {
            const QString name = row.name;
            if (!beyondCompact.contains(name))
                expected << name;
            QWidget *w = rig.at(name);
            const QRect onWindow(w->mapTo(&rig.window, QPoint(0, 0)), w->size());
            if (w->isVisibleTo(&rig.window) && onWindow.intersects(rig.window.rect())) {
                shown << name;
                if (!rig.window.rect().contains(onWindow))
                    partly << name;
            }
        }
        for (QStringList *list : {&expected, &shown, &partly, &cut})
            list->sort();
        QCOMPARE(shown, expected);
        QCOMPARE(partly, cut);
    }

    void theWindowOpensWhereThePanelPlacedIt()
    {
        // Centred at the design size on a 1920 x 1080 screen, then shortened: the outer
        // window's corner at (28800 - 9585) / 2 and (16200 - 7200) / 2 twips.
        Rig rig;
        QCOMPARE(rig.window.pos(), QPoint(640, 300));
        rig.ctrlJ(); // growing keeps the place
        QCOMPARE(rig.window.pos(), QPoint(640, 300));
    }

    void frame8CoversComWhileShown()
    {
        Rig rig;
        rig.click("Command33");
        QVERIFY(rig.at("Frame8")->isVisible());
        QWidget *top = rig.window.childAt(rig.centreOf("Command33"));
        QVERIFY(top == rig.at("Frame8") || rig.at("Frame8")->isAncestorOf(top));
    }

    void everyButtonAndOptionIsAnnouncedByItsCaption()
    {
        Rig rig;
        for (const Designed &row : kDesign) {
            if (row.kind != C && row.kind != O)
                continue;
            QAccessibleInterface *a11y = QAccessible::queryAccessibleInterface(rig.at(row.name));
            QVERIFY(a11y);
            QCOMPARE(a11y->text(QAccessible::Name), QString::fromUtf8(row.caption));
        }
        rig.ctrlJ();
        QCOMPARE(
            QAccessible::queryAccessibleInterface(rig.at("Command34"))->text(QAccessible::Name),
            QStringLiteral("CLOSE"));
    }

    void displayLinesAreAnnouncedByTheirText()
    {
        Rig rig;
        rig.ctrlJ();
        rig.click("Command44"); // "STATUS" sends its query
        rig.port.arrive("00\r");
        for (const char *line : {"Label11", "Label12", "Label22"}) {
            auto *label = qobject_cast<QLabel *>(rig.at(line));
            QVERIFY(label->accessibleName().isEmpty());
            QVERIFY(!label->text().isEmpty());
            QCOMPARE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name),
                     label->text());
        }
        QCOMPARE(qobject_cast<QLabel *>(rig.at("Label11"))->text(), QStringLiteral(" C R 0 CR "));
    }

    void aClickOnAOneShotButtonSendsItsFrame_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("POWER ON") << "Command17" << QByteArray("C00\r");
        QTest::newRow("4 LAMP") << "Command56" << QByteArray("C70\r");
        QTest::newRow("STATUS query") << "Command44" << QByteArray("CR0\r");
        QTest::newRow("PC type, maintenance only") << "Command38" << QByteArray("CR9\r");
    }

    void aClickOnAOneShotButtonSendsItsFrame()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, frame);
        Rig rig;
        rig.ctrlJ();
        rig.click(name);
        QCOMPARE(rig.port.frames, QByteArrayList{frame});
    }

    void holdingAButtonRepeatsUntilReleasedOffIt_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Qt::MouseButton>("mouseButton");
        QTest::addColumn<int>("repeatCode");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("VOL +, left") << "Command1" << Qt::LeftButton << 1 << QByteArray("C09\r");
        QTest::newRow("arrow up, right")
            << "Command5" << Qt::RightButton << 3 << QByteArray("C3C\r");
        QTest::newRow("SELECT, middle")
            << "Command6" << Qt::MiddleButton << 13 << QByteArray("C3F\r");
        QTest::newRow("lens shift up")
            << "Command59" << Qt::LeftButton << 21 << QByteArray("C5D\r");
    }

    void holdingAButtonRepeatsUntilReleasedOffIt()
    {
        QFETCH(QString, name);
        QFETCH(Qt::MouseButton, mouseButton);
        QFETCH(int, repeatCode);
        QFETCH(QByteArray, frame);
        Rig rig;
        const QPoint away(2, 2); // the window's own grey, no control

        QTest::mousePress(rig.handle(), mouseButton, {}, rig.centreOf(name));
        QCOMPARE(rig.port.frames, QByteArrayList{frame});
        QCOMPARE(rig.panel.state().RepeatCode, repeatCode);
        QVERIFY(rig.panel.timer(1).isEnabled());
        rig.clock.advance(rig.panel.timer(1).interval());
        QCOMPARE(rig.port.frames, (QByteArrayList{frame, frame}));

        QTest::mouseMove(rig.handle(), away);
        QTest::mouseRelease(rig.handle(), mouseButton, {}, away);
        QCOMPARE(rig.panel.state().RepeatCode, 0);
        QVERIFY(!rig.panel.timer(1).isEnabled());
        rig.clock.advance(2s);
        QCOMPARE(rig.port.frames.size(), 2);
    }

    void aSecondMouseButtonSendsAgainAndAnyReleaseStops()
    {
        Rig rig;
        const QPoint vol = rig.centreOf("Command1");
        QTest::mousePress(rig.handle(), Qt::LeftButton, {}, vol);
        QTest::mousePress(rig.handle(), Qt::RightButton, {}, vol);
        QCOMPARE(rig.port.frames.size(), 2);
        QTest::mouseRelease(rig.handle(), Qt::RightButton, {}, vol);
        QCOMPARE(rig.panel.state().RepeatCode, 0);
        QVERIFY(!rig.panel.timer(1).isEnabled());
        QTest::mouseRelease(rig.handle(), Qt::LeftButton, {}, vol);

        // A quick second click is a second press.
        QTest::mouseDClick(rig.handle(), Qt::LeftButton, {}, vol);
        QCOMPARE(rig.port.frames.size(), 4);
        QCOMPARE(rig.panel.state().RepeatCode, 0);
    }

    void keyboardActivationOfAHoldButtonSendsNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("VOL +") << "Command1";
        QTest::newRow("SELECT") << "Command6";
        QTest::newRow("D.Zoom -") << "Command49";
    }

    void keyboardActivationOfAHoldButtonSendsNothing()
    {
        QFETCH(QString, name);
        Rig rig;
        auto *button = qobject_cast<QPushButton *>(rig.at(name));
        button->setFocus();
        QSignalSpy activated(button, &QPushButton::clicked);
        QTest::keyClick(rig.handle(), Qt::Key_Space);
        QCOMPARE(activated.size(), 1); // the key did reach the button
        QVERIFY(rig.port.frames.isEmpty());
        QCOMPARE(rig.panel.state().RepeatCode, 0);
        QCOMPARE(rig.panel.state().ArrowMode, 0);
    }

    void ctrlJOpensMaintenanceAndTheKeyStillReachesTheFocus_data()
    {
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("opens");
        QTest::newRow("Ctrl+J") << Qt::KeyboardModifiers(Qt::ControlModifier) << true;
        QTest::newRow("J") << Qt::KeyboardModifiers() << false;
        QTest::newRow("Ctrl+Shift+J")
            << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::ShiftModifier) << false;
        QTest::newRow("Ctrl+Alt+J")
            << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier) << false;
    }

    void ctrlJOpensMaintenanceAndTheKeyStillReachesTheFocus()
    {
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, opens);
        Rig rig;
        QWidget *focused = rig.at("Command17");
        focused->setFocus();
        KeySpy spy;
        focused->installEventFilter(&spy);

        QTest::keyClick(rig.handle(), Qt::Key_J, modifiers);
        QCOMPARE(spy.keys.count(Qt::Key_J), 1); // after the modifiers' own presses
        QCOMPARE(rig.window.height(), opens ? 455 : 322);
        QCOMPARE(rig.at("Command34")->isVisibleTo(&rig.window), opens);
        if (opens)
            QCOMPARE(qobject_cast<QPushButton *>(rig.at("Command34"))->text(),
                     QStringLiteral("CLOSE"));
    }

    void aFloodedLineShowsOnlyItsBeginning()
    {
        Rig rig;
        rig.port.arrive(QByteArray(65000, 'A'));
        const QString full = rig.panel.view().rxd;
        QVERIFY(full.size() > 60000);
        const QString shown = qobject_cast<QLabel *>(rig.at("Label12"))->text();
        QVERIFY(shown.size() >= 200); // far more than the line can show
        QVERIFY(shown.size() <= 512);
        QVERIFY(full.startsWith(shown));
    }

    void clickingTheSelectedOptionRunsItsHandlerAgain()
    {
        Rig rig;
        rig.click("Command33");
        QVERIFY(qobject_cast<QRadioButton *>(rig.at("Option1"))->isChecked());
        const qsizetype before = rig.port.log.size();
        rig.click("Option1");
        QVERIFY(rig.port.log.size() > before); // the port switch ran
        QVERIFY(!rig.at("Frame8")->isVisible());
        QVERIFY(qobject_cast<QRadioButton *>(rig.at("Option1"))->isChecked());
    }

    void optionGroupsAreSeparatePerFrame()
    {
        Rig rig;
        rig.ctrlJ();
        rig.click("Command33");
        rig.click("Option10"); // "9600"
        rig.click("Option4");  // "ALL"
        const auto checked = [&](const char *name) {
            return qobject_cast<QRadioButton *>(rig.at(name))->isChecked();
        };
        QVERIFY(checked("Option1"));
        QVERIFY(checked("Option10") && !checked("Option9"));
        QVERIFY(checked("Option4") && !checked("Option3"));
        QCOMPARE(rig.panel.state().PortSettings, QStringLiteral("9600,N,8,1"));
        QCOMPARE(rig.panel.state().PjPrefix, QByteArray("AFFF"));
    }

    void thePictureIsAnOwn24BitPictureAtNaturalSize()
    {
        const QImage picture = look::picture();
        QCOMPARE(picture.size(), QSize(80, 26));
        QCOMPARE(picture.depth(), 24);
        QVERIFY(picture.pixel(1, 1) != picture.pixel(70, 12)); // not an empty area

        Rig rig;
        auto *image = qobject_cast<QLabel *>(rig.at("Image1"));
        QVERIFY(image);
        QCOMPARE(image->geometry(), QRect(544, 8, 80, 26));
        QCOMPARE(image->pixmap().size(), QSize(80, 26));
    }

    void theWarningBoxShowsTheDescriptionWithOneOkButton()
    {
        Rig rig;
        rig.window.setWindowTitle(QStringLiteral("TARN   HV20 & HV3    CONTROL   Ver.1.31"));
        WarningDialog dialog;
        dialog.setWindow(&rig.window);
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QList<QAbstractButton *> buttons;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->buttons();
            QCOMPARE(box->standardButton(buttons.value(0)), QMessageBox::Ok);
            box->accept();
        });
        dialog.showWarning(QStringLiteral("<b>Device /dev/ttyX</b> not found"));
        QCOMPARE(title, rig.window.windowTitle());
        QCOMPARE(text, QStringLiteral("<b>Device /dev/ttyX</b> not found"));
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(buttons.size(), 1);
    }
};

} // namespace tarn

QTEST_MAIN(tarn::PanelWindowTest)
#include "tst_panelwindow.moc"
