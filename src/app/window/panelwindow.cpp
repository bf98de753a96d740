// Placeholder until the window is built from the layout table.
#include "panelwindow.h"

#include <QMessageBox>
#include <QScreen>

namespace tarn {

void WarningDialog::showWarning(const QString &text)
{
    QMessageBox::warning(m_window, m_window ? m_window->windowTitle() : QString(), text);
}

PanelWindow::PanelWindow(Panel &panel, QWidget *parent) : QWidget(parent), m_panel(panel) {}
PanelWindow::~PanelWindow() = default;

QSize PanelWindow::screenSizeTwips() const
{
    const QSize px = screen()->availableGeometry().size();
    return px * 15;
}

QWidget *PanelWindow::control(QStringView name) const
{
    return findChild<QWidget *>(name.toString());
}

} // namespace tarn
