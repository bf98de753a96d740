#pragma once

#include "line.h"
#include "options.h"
#include "transmitter.h"

#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <memory>

namespace tarn::sim {

// One line on standard output, flushed at once: the device, or a frame or reply seen.
void printLine(const QByteArray &line);

// The line and its faults on the real clock; the byte stream itself is somebody else's.
class Simulator
{
public:
    using Writer = std::function<void(const QByteArray &)>;

    Simulator(const Options &options, Writer writer);

    void receive(QByteArrayView bytes);
    // A new client: whatever was half received or still queued belonged to the last one.
    void restart();

private:
    milliseconds now() const { return milliseconds{m_clock.elapsed()}; }
    void pump();

    Line m_line;
    Transmitter m_transmitter;
    Writer m_write;
    std::unique_ptr<Flood> m_flood;
    QElapsedTimer m_clock;
    QTimer m_sendTimer;
    QTimer m_floodTimer;
};

} // namespace tarn::sim
