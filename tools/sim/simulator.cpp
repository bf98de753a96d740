#include "simulator.h"

#include <QRandomGenerator>
#include <cstdio>

namespace tarn::sim {

void printLine(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

Simulator::Simulator(const Options &options, Writer writer)
    : m_line(options.projectors, options.timing, options.conditions),
      m_transmitter(options.faults, options.seed.value_or(QRandomGenerator::global()->generate())),
      m_write(std::move(writer))
{
    m_clock.start();
    m_sendTimer.setSingleShot(true);
    m_sendTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_sendTimer, &QTimer::timeout, [this] { pump(); });
    if (options.floodBaud) {
        const quint32 seed =
            options.seed.value_or(QRandomGenerator::global()->generate()) ^ 0x5a5a5a5au;
        m_flood = std::make_unique<Flood>(*options.floodBaud, seed, now());
        m_floodTimer.setInterval(Flood::kChunk);
        QObject::connect(&m_floodTimer, &QTimer::timeout,
                         [this] { m_write(m_flood->take(now())); });
        m_floodTimer.start();
    }
}

void Simulator::receive(QByteArrayView bytes)
{
    for (const Line::Exchange &exchange : m_line.receive(bytes, now())) {
        printLine("< " + escaped(exchange.frame.text() + '\r'));
        if (exchange.reply) {
            m_transmitter.send(*exchange.reply, now());
            pump();
        }
    }
}

void Simulator::restart()
{
    m_line.restart();
    m_transmitter.clear();
    m_sendTimer.stop();
}

void Simulator::pump()
{
    const Transmitter::Output out = m_transmitter.take(now());
    if (!out.bytes.isEmpty())
        m_write(out.bytes);
    for (const QByteArray &reply : out.replies)
        printLine("> " + escaped(reply));
    if (const auto due = m_transmitter.nextDue())
        m_sendTimer.start(std::max(*due - now(), milliseconds{0}));
}

} // namespace tarn::sim
