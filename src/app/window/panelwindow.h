#pragma once

#include "app/panel.h"

#include <QPointer>
#include <QWidget>

namespace tarn {

// The warning box of the window: modal, warning icon, one OK button, the window's
// caption as title.
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

private:
    Panel &m_panel;
};

} // namespace tarn
