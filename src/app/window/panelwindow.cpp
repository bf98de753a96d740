#include "panelwindow.h"

#include "app/layout.h"
#include "controls.h"
#include "look.h"

#include <QApplication>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QRadioButton>
#include <QScreen>

#include <algorithm>

namespace tarn {
namespace {

QString text(QStringView view)
{
    return view.toString();
}

// The palette of one control: its back colour for the window, button and base roles, its
// fore colour for the text roles. The shades of the bevels follow from the back colour.
QPalette paletteFor(QColor back, QColor fore)
{
    QPalette palette(back);
    palette.setColor(QPalette::Window, back);
    palette.setColor(QPalette::WindowText, fore);
    palette.setColor(QPalette::ButtonText, fore);
    palette.setColor(QPalette::Text, fore);
    palette.setColor(QPalette::Base, Qt::white);
    return palette;
}

QColor backOf(const layout::Control &row)
{
    if (row.back != layout::kDefaultColour)
        return look::colour(row.back);
    return QApplication::palette().color(QPalette::Button);
}

QColor foreOf(const layout::Control &row)
{
    return look::colour(row.fore != layout::kDefaultColour ? row.fore : layout::kWindowFore);
}

Qt::Alignment alignmentOf(layout::Align align)
{
    switch (align) {
    case layout::Align::Centre:
        return Qt::AlignHCenter;
    case layout::Align::Right:
        return Qt::AlignRight;
    case layout::Align::Left:
        break;
    }
    return Qt::AlignLeft;
}

int shiftMask(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? Panel::kShiftMask : 0) |
           (modifiers & Qt::ControlModifier ? Panel::kCtrlMask : 0) |
           (modifiers & Qt::AltModifier ? Panel::kAltMask : 0);
}

} // namespace

void WarningDialog::showWarning(const QString &text)
{
    QMessageBox box(QMessageBox::Warning, m_window ? m_window->windowTitle() : QString(), text,
                    QMessageBox::Ok, m_window);
    box.setTextFormat(Qt::PlainText); // the description is the serial service's own text
    box.exec();
}

PanelWindow::PanelWindow(Panel &panel, QWidget *parent) : QWidget(parent), m_panel(panel)
{
    look::prepareApplication();

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(text(layout::kCaption));
    setPalette(paletteFor(look::colour(layout::kWindowBack), look::colour(layout::kWindowFore)));
    setAutoFillBackground(true);
    setFont(look::font(layout::kWindowFont));

    // Frames come before their children in the table, so every parent already exists.
    for (const layout::Control &row : layout::controls()) {
        QWidget *parentWidget = row.parent.isEmpty() ? this : m_controls.value(text(row.parent));
        Q_ASSERT(parentWidget);
        QWidget *widget = create(row, parentWidget);
        m_controls.insert(widget->objectName(), widget);
        wire(row, widget);
    }
    setTabOrder();

    m_command34 = qobject_cast<QPushButton *>(control(u"Command34"));
    m_frame8 = control(u"Frame8");
    m_txd = qobject_cast<QLabel *>(control(u"Label11"));
    m_rxd = qobject_cast<QLabel *>(control(u"Label12"));
    m_status = qobject_cast<QLabel *>(control(u"Label22"));
    Q_ASSERT(m_command34 && m_frame8 && m_txd && m_rxd && m_status);

    connect(&m_panel, &Panel::viewChanged, this, &PanelWindow::sync);
    for (ViewItem item : {ViewItem::Geometry, ViewItem::Command34, ViewItem::Frame8, ViewItem::Txd,
                          ViewItem::Rxd, ViewItem::Status, ViewItem::Options})
        sync(item);

    qApp->installEventFilter(this);
}

PanelWindow::~PanelWindow() = default;

QWidget *PanelWindow::create(const layout::Control &row, QWidget *parent)
{
    QWidget *widget = nullptr;
    switch (row.kind) {
    case layout::Kind::CommandButton:
        widget = new PanelButton(text(row.caption), parent);
        widget->setAccessibleName(text(row.caption));
        break;
    case layout::Kind::OptionButton: {
        auto *option = new QRadioButton(text(row.caption), parent);
        option->setAccessibleName(text(row.caption));
        option->setChecked(row.selectedAtStart);
        widget = option;
        break;
    }
    case layout::Kind::Label:
        if (row.border) {
            widget = new DisplayLine(parent);
        } else {
            auto *label = new QLabel(text(row.caption), parent);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(alignmentOf(row.align) | Qt::AlignTop);
            widget = label;
        }
        break;
    case layout::Kind::Frame: {
        auto *frame = new QFrame(parent);
        frame->setFrameStyle(QFrame::Box | QFrame::Sunken); // an etched line, no caption
        widget = frame;
        break;
    }
    case layout::Kind::Image: {
        auto *image = new QLabel(parent);
        image->setPixmap(QPixmap::fromImage(look::picture()));
        image->setAlignment(Qt::AlignLeft | Qt::AlignTop); // natural size, not stretched
        widget = image;
        break;
    }
    }

    widget->setObjectName(text(row.name));
    widget->setGeometry(look::pixels(row.left, row.top, row.width, row.height));
    if (row.kind != layout::Kind::Image) {
        widget->setPalette(paletteFor(backOf(row), foreOf(row)));
        widget->setAutoFillBackground(true);
    }
    if (!row.font.face.isEmpty())
        widget->setFont(look::font(row.font));
    if (!row.visibleAtStart)
        widget->hide();
    return widget;
}

void PanelWindow::wire(const layout::Control &row, QWidget *widget)
{
    const QString name = widget->objectName();
    if (row.kind == layout::Kind::OptionButton) {
        // Option buttons directly inside one frame form one group.
        auto *option = static_cast<QRadioButton *>(widget);
        QButtonGroup *group = widget->parentWidget()->findChild<QButtonGroup *>(
            QString(), Qt::FindDirectChildrenOnly);
        if (!group) {
            group = new QButtonGroup(widget->parentWidget());
            m_groups.append(group);
        }
        group->addButton(option);
    }

    switch (row.behaviour) {
    case layout::Behaviour::Click:
        // Also a click on the option already selected runs its handler.
        connect(static_cast<QAbstractButton *>(widget), &QAbstractButton::clicked, this,
                [this, name] { m_panel.click(name); });
        break;
    case layout::Behaviour::PressRelease:
        // Mouse presses and releases only, seen by the application filter: no click,
        // no keyboard activation.
        m_holdButtons.insert(widget, name);
        break;
    case layout::Behaviour::None:
        widget->setFocusPolicy(Qt::NoFocus);
        break;
    }
}

void PanelWindow::setTabOrder()
{
    std::vector<const layout::Control *> focusable;
    for (const layout::Control &row : layout::controls()) {
        if (row.kind == layout::Kind::CommandButton || row.kind == layout::Kind::OptionButton)
            focusable.push_back(&row);
    }
    std::ranges::sort(focusable, {}, &layout::Control::tab);
    for (std::size_t i = 1; i < focusable.size(); ++i)
        QWidget::setTabOrder(control(focusable[i - 1]->name), control(focusable[i]->name));
}

QSize PanelWindow::screenSizeTwips() const
{
    const QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen();
    return where->availableGeometry().size() * layout::kTwipsPerPixel;
}

QWidget *PanelWindow::control(QStringView name) const
{
    return m_controls.value(text(name));
}

bool PanelWindow::saveScreenshot(const QString &fileName)
{
    return grab().save(fileName, "PNG");
}

void PanelWindow::paintEvent(QPaintEvent *)
{
    // The outline of the arrow pad, on the window and so behind every control.
    QPainter p(this);
    p.setPen(QPen(look::colour(layout::kLineColour), 2, Qt::SolidLine, Qt::SquareCap));
    for (const layout::Line &line : layout::lines()) {
        p.drawLine(look::pixels(line.x1), look::pixels(line.y1), look::pixels(line.x2),
                   look::pixels(line.y2));
    }
}

// The first widget a key press is delivered to: the window's focus widget, or the window
// itself. A key the focus widget ignores travels on to its parents; the panel sees it
// only once.
bool PanelWindow::isFirstKeyReceiver(QObject *watched) const
{
    QWidget *focus = focusWidget();
    return watched == (focus ? static_cast<QObject *>(focus) : this);
}

void PanelWindow::holdButtonEvent(QObject *watched, QEvent *event)
{
    const auto it = m_holdButtons.constFind(watched);
    if (it == m_holdButtons.cend())
        return;
    auto *button = static_cast<QAbstractButton *>(watched);
    const auto *mouse = static_cast<QMouseEvent *>(event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: // the second press of a quick pair
        // Any mouse button; the left one also shows the button down by itself.
        if (mouse->button() != Qt::LeftButton)
            button->setDown(true);
        m_panel.press(*it);
        break;
    case QEvent::MouseButtonRelease:
        if (mouse->buttons() == Qt::NoButton && mouse->button() != Qt::LeftButton)
            button->setDown(false);
        m_panel.release(*it);
        break;
    default:
        break;
    }
}

bool PanelWindow::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (isFirstKeyReceiver(watched)) {
            const auto *key = static_cast<QKeyEvent *>(event);
            m_panel.keyDown(key->key(), shiftMask(key->modifiers()));
        }
        break; // never consumed: the focused control still gets the key
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
        holdButtonEvent(watched, event);
        break; // the button still handles the mouse itself (its pressed look, the grab)
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void PanelWindow::sync(ViewItem item)
{
    const ViewState &view = m_panel.view();
    switch (item) {
    case ViewItem::Geometry:
        syncGeometry();
        break;
    case ViewItem::Command34:
        m_command34->setText(view.command34Caption);
        m_command34->setAccessibleName(view.command34Caption);
        m_command34->setVisible(view.command34Visible);
        break;
    case ViewItem::Frame8:
        m_frame8->setVisible(view.frame8Visible);
        m_frame8->raise(); // it covers "COM" while shown
        break;
    case ViewItem::Txd:
        m_txd->setText(view.txd.left(kShownCharacters));
        break;
    case ViewItem::Rxd:
        m_rxd->setText(view.rxd.left(kShownCharacters));
        break;
    case ViewItem::Status:
        m_status->setText(view.status.left(kShownCharacters));
        break;
    case ViewItem::Options:
        syncOptions();
        break;
    }
}

void PanelWindow::syncGeometry()
{
    const ViewState &view = m_panel.view();
    // The heights are outer heights of a window whose caption bar and border take 375
    // twips; the client area is what remains, whatever this window system's frame is.
    setFixedSize(look::pixels(layout::kClientWidth),
                 look::pixels(view.outerHeight - Panel::kFrameHeight));
    const QPoint position(view.left, view.top);
    if (position != m_placedAt) {
        m_placedAt = position;
        move(look::pixels(view.left), look::pixels(view.top));
    }
}

void PanelWindow::syncOptions()
{
    const ViewState &view = m_panel.view();
    const QStringList selected = {view.portOption, view.speedOption, view.pjOption};
    for (QButtonGroup *group : std::as_const(m_groups)) {
        QAbstractButton *chosen = nullptr;
        for (QAbstractButton *button : group->buttons()) {
            if (selected.contains(button->objectName()))
                chosen = button;
        }
        if (chosen) {
            chosen->setChecked(true);
        } else if (QAbstractButton *checked = group->checkedButton()) {
            // No selection in this group yet (the port group before start-up).
            group->setExclusive(false);
            checked->setChecked(false);
            group->setExclusive(true);
        }
    }
}

} // namespace tarn
