#include "linekeeper.h"

#include "serial/asynccommcontrol.h"

namespace tarn::bridge {

LineKeeper::LineKeeper(AsyncCommControl &port, TimerFactory &timers, QObject *parent)
    : QObject(parent), m_port(port), m_retry(timers.createTimer())
{
    m_retry->setInterval(kRetry);
    m_retry->setTickHandler([this] {
        if (m_state == State::Closed)
            open(); // an opening that takes longer than kRetry is left to finish
    });
    connect(&m_port, &AsyncCommControl::opened, this, &LineKeeper::onOpened);
    connect(&m_port, &AsyncCommControl::openFailed, this, &LineKeeper::onDown);
    connect(&m_port, &CommControl::failed, this, &LineKeeper::onDown);
}

LineKeeper::~LineKeeper() = default;

void LineKeeper::start(const QString &settings)
{
    if (const Outcome step = prepare(m_port, 1, settings); !step) {
        m_reportedDown = true; // settings that cannot be used are not tried again
        emit changed(false, step.description());
        return;
    }
    open();
}

void LineKeeper::lose(const QString &description)
{
    (void)m_port.setPortOpen(false);
    onDown(description);
}

void LineKeeper::open()
{
    m_state = State::Opening;
    m_port.beginOpen(); // may end before it returns
}

void LineKeeper::onOpened()
{
    m_state = State::Up;
    m_retry->setEnabled(false);
    m_reportedDown = false;
    emit changed(true, QStringLiteral("%1 is open").arg(m_port.deviceName()));
}

void LineKeeper::onDown(const QString &description)
{
    m_state = State::Closed;
    m_retry->setEnabled(true); // the next attempt kRetry after this failure
    if (m_reportedDown)
        return;
    m_reportedDown = true;
    emit changed(false, description);
}

} // namespace tarn::bridge
