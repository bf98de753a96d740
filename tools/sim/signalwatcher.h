#pragma once

#include <QSocketNotifier>
#include <memory>

namespace tarn::sim {

// Turns SIGINT and SIGTERM into an orderly end of the event loop.
class SignalWatcher
{
public:
    bool install();

private:
    static inline int s_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace tarn::sim
