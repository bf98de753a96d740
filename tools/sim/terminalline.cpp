#include "terminalline.h"

#include "simulator.h"

#include <QTimer>

namespace tarn::sim {
namespace {
constexpr std::chrono::milliseconds kRetry{200};
} // namespace

void TerminalLine::attach(Simulator &simulator)
{
    m_notifier = std::make_unique<QSocketNotifier>(m_terminal.master(), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this, &simulator] {
        if (const auto bytes = m_terminal.read()) {
            if (!bytes->isEmpty())
                simulator.receive(*bytes);
            return;
        }
        // A hung-up master would report readiness without end; look again later.
        m_notifier->setEnabled(false);
        QTimer::singleShot(kRetry, [this] { m_notifier->setEnabled(true); });
    });
}

} // namespace tarn::sim
