#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace tarn::test {

// Closes every warning box the panel opens, as an operator would, and keeps its text.
class ModalWatcher : public QObject
{
public:
    ModalWatcher()
    {
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->accept();
            }
        });
        m_timer.start();
    }
    QStringList texts;

private:
    QTimer m_timer;
};

} // namespace tarn::test
