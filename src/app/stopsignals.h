#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace tarn {

// Turns SIGINT and SIGTERM into the signal received() on the event thread. The handler
// only writes one byte into a socket pair, whose other end wakes the event loop; whatever
// the program was writing is finished before received() is delivered.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~StopSignals() override;

    // False where the signals cannot be caught; they then end the program as usual.
    bool install();

signals:
    void received();

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace tarn
