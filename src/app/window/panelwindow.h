#pragma once

#include "app/panel.h"

#include <QHash>
#include <QPoint>
#include <QPointer>
#include <QWidget>

class QButtonGroup;
class QLabel;
class QPushButton;

namespace tarn {

namespace layout {
struct Control;
}

// The warning box of the window: modal, warning icon, one OK button, the window's
// caption as title, the description as text.
class WarningDialog final : public WarningBox
{
public:
    void setWindow(QWidget *window) { m_window = window; }
    void showWarning(const QString &text) override;

private:
    QPointer<QWidget> m_window;
};

// The panel's window, built from the layout table. It forwards the operator's clicks,
// presses, releases and keys to the Panel by designer name and shows what the Panel's
// view state says.
//
// Creating it sets the application's look (Fusion style, font substitutes) and watches
// the application's key presses, so that the panel sees every key of this window before
// the focused control does.
class PanelWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit PanelWindow(Panel &panel, QWidget *parent = nullptr);
    ~PanelWindow() override;

    // The screen's available size in twips, for centring at start-up.
    QSize screenSizeTwips() const;
    // The control with this designer name, or null.
    QWidget *control(QStringView name) const;
    // Renders the window's client area at the screen's scale into a PNG file.
    bool saveScreenshot(const QString &fileName);

    // The display lines show at most this many leading characters of their text: far
    // more than fits, and few enough that a line flooded with data stays cheap to show.
    static constexpr qsizetype kShownCharacters = 512;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *create(const layout::Control &row, QWidget *parent);
    void wire(const layout::Control &row, QWidget *widget);
    void setTabOrder();
    bool isFirstKeyReceiver(QObject *watched) const;
    void holdButtonEvent(QObject *watched, QEvent *event);

    void sync(ViewItem item);
    void syncGeometry();
    void syncOptions();

    Panel &m_panel;
    QHash<QString, QWidget *> m_controls;
    QHash<QObject *, QString> m_holdButtons;
    QList<QButtonGroup *> m_groups;
    QPushButton *m_command34 = nullptr;
    QWidget *m_frame8 = nullptr;
    QLabel *m_txd = nullptr;
    QLabel *m_rxd = nullptr;
    QLabel *m_status = nullptr;
    QPoint m_placedAt{-1, -1}; // the panel's position in twips, once applied
};

} // namespace tarn
