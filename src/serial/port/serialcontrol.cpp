#include "serialcontrol.h"

#include <QDir>

#include "seriallink.h"
#include "tcplink.h"

namespace tarn {

namespace {

// A relative path ("build/com1", "./link") means the file it names from here; the serial
// port would otherwise look for it under /dev.
QString absolute(const QString &device)
{
    if (!TcpLink::isAddress(device) && device.contains(u'/') && QDir::isRelativePath(device))
        return QDir::cleanPath(QDir::current().absoluteFilePath(device));
    return device;
}

} // namespace

QString deviceForPort(int number)
{
    if (QString mapped = qEnvironmentVariable("TARN_COM" + QByteArray::number(number));
        !mapped.isEmpty())
        return absolute(mapped);
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

SerialControl::SerialControl(QObject *parent) : AsyncCommControl(parent)
{
    m_line = *parseSettings(m_settings).settings;
}

SerialControl::~SerialControl()
{
    if (m_link)
        m_link->close();
}

void SerialControl::setDevice(int number, const QString &device)
{
    m_devices.insert(number, absolute(device));
}

void SerialControl::setFixedSetup(const FixedSetup &setup)
{
    m_setup = setup;
}

int SerialControl::commPort() const
{
    return m_number;
}

Outcome SerialControl::setCommPort(int number)
{
    if (m_open || m_opening) {
        return Outcome::failure(
            QStringLiteral("Cannot change the port number of %1 while it is open")
                .arg(deviceName()));
    }
    if (number < 1) {
        return Outcome::failure(
            QStringLiteral("Cannot use port number %1: port numbers start at 1").arg(number));
    }
    m_number = number;
    return {};
}

QString SerialControl::settings() const
{
    return m_settings;
}

Outcome SerialControl::setSettings(const QString &settings)
{
    const ParsedSettings parsed = parseSettings(settings);
    if (!parsed.settings) {
        return Outcome::failure(QStringLiteral("Invalid settings \"%1\" for %2: %3")
                                    .arg(settings, deviceName(), parsed.problem));
    }
    // An open port changes at once and stays open; a closed one keeps the settings
    // for its next opening.
    if (m_open) {
        if (auto r = m_link->apply(*parsed.settings); !r)
            return r;
    }
    m_settings = settings;
    m_line = *parsed.settings;
    return {};
}

bool SerialControl::portOpen() const
{
    return m_open;
}

Outcome SerialControl::setPortOpen(bool open)
{
    if (!open) {
        if (m_open || m_opening) {
            m_open = m_opening = false;
            m_link->close();
        }
        return {};
    }
    if (m_open || m_opening) {
        return Outcome::failure(
            QStringLiteral("Cannot open %1: the port is already open").arg(deviceName()));
    }
    Link &link = linkFor(deviceName());
    ++m_session;
    if (auto r = link.open(m_line, m_setup); !r)
        return r;
    m_open = true;
    return {};
}

void SerialControl::beginOpen()
{
    if (m_open || m_opening) {
        emit openFailed(
            QStringLiteral("Cannot open %1: the port is already open").arg(deviceName()));
        return;
    }
    Link &link = linkFor(deviceName());
    ++m_session;
    m_opening = true;
    link.beginOpen(m_line, m_setup);
}

void SerialControl::onOpenFinished(const Outcome &outcome)
{
    if (!m_opening)
        return;
    m_opening = false;
    if (!outcome) {
        emit openFailed(outcome.description());
        return;
    }
    m_open = true;
    emit opened();
}

Outcome SerialControl::output(const QByteArray &data)
{
    if (!m_open) {
        return Outcome::failure(
            QStringLiteral("Cannot write to %1: the port is not open").arg(deviceName()));
    }
    // A frame that does not fit in what is left of the output buffer is not queued,
    // so the line never falls further behind than the buffer; the sender tries again
    // with its next frame.
    const qint64 waiting = m_link->waiting();
    if (waiting + data.size() > m_setup.outBufferSize) {
        return Outcome::failure(
            QStringLiteral("Cannot write to %1: output buffer full, %2 bytes still waiting")
                .arg(deviceName())
                .arg(waiting));
    }
    return m_link->write(data);
}

QByteArray SerialControl::input()
{
    if (!m_open)
        return {};
    return m_link->read(m_setup.inputLen);
}

int SerialControl::commEvent() const
{
    return m_event;
}

QString SerialControl::deviceName() const
{
    const auto named = m_devices.constFind(m_number);
    return named != m_devices.cend() ? *named : deviceForPort(m_number);
}

// One link per device: reopening the same device reuses it, another device (or a
// changed mapping) gets a fresh one.
Link &SerialControl::linkFor(const QString &device)
{
    if (m_link && m_link->name() == device)
        return *m_link;
    if (m_link) {
        m_link->close();
        m_link->disconnect(this);
        m_link->deleteLater();
    }
    if (TcpLink::isAddress(device))
        m_link = new TcpLink(device, this);
    else
        m_link = new SerialLink(device, this);
    connect(m_link, &Link::openFinished, this, &SerialControl::onOpenFinished);
    connect(m_link, &Link::arrived, this, &SerialControl::onArrived);
    connect(m_link, &Link::lost, this, &SerialControl::onLost);
    return *m_link;
}

void SerialControl::onArrived()
{
    if (!m_open || m_setup.receiveThreshold <= 0)
        return;
    if (m_link->bytesAvailable() < m_setup.receiveThreshold)
        return;
    m_event = kEventReceive;
    emit onComm();
}

// The first report closes the port and is passed on once. The close waits for the
// event loop: the report comes from inside the device's own notification, which must
// not see its device closed under it.
void SerialControl::onLost(const QString &description)
{
    if (!m_open)
        return;
    m_open = false;
    QMetaObject::invokeMethod(
        this,
        [this, session = m_session, description] {
            if (session != m_session)
                return; // reopened meanwhile: that opening owns the link now
            m_link->close();
            emit failed(description);
        },
        Qt::QueuedConnection);
}

} // namespace tarn
