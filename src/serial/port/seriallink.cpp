#include "seriallink.h"

#include <QFile>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace tarn {
namespace {

// A device that keeps signalling arrivals without delivering a byte is treated as
// lost after this many notifications in a row, before it can spin the event loop.
constexpr int kEmptyNotificationLimit = 100;

#ifdef Q_OS_UNIX
// Pseudo-terminal slaves have majors 136 to 143 on Linux.
constexpr unsigned kPtyFirstMajor = 136;
constexpr unsigned kPtyLastMajor = 143;

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString busyText(int error)
{
    return systemText(error) + QStringLiteral(" (in use by another program)");
}

// EACCES with who may open the device, so that the operator knows which group to
// join (dialout on most systems).
QString permissionText(const QString &device, int error)
{
    const QString text = systemText(error);
    struct stat info = {};
    if (::stat(QFile::encodeName(device).constData(), &info) != 0)
        return text;
    constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
    if ((info.st_mode & kGroupReadWrite) == kGroupReadWrite) {
        const ::group *group = ::getgrgid(info.st_gid);
        return text + QStringLiteral(" (the user must be in the group \"%1\" that owns the device)")
                          .arg(group ? QString::fromLocal8Bit(group->gr_name)
                                     : QString::number(info.st_gid));
    }
    const ::passwd *owner = ::getpwuid(info.st_uid);
    return text +
           QStringLiteral(" (only its owner \"%1\" may open the device)")
               .arg(owner ? QString::fromLocal8Bit(owner->pw_name) : QString::number(info.st_uid));
}
#endif

} // namespace

SerialLink::SerialLink(QString device, QObject *parent)
    : Link(parent), m_device(std::move(device)), m_port(this)
{
    m_port.setPortName(m_device);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLink::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialLink::onError);
    connect(&m_port, &QSerialPort::bytesWritten, this,
            [this](qint64 bytes) { m_backlog.handOver(bytes, LineBacklog::Clock::now()); });
}

Outcome SerialLink::open(const LineSettings &line, const CommControl::FixedSetup &setup)
{
    close();
    m_port.setReadBufferSize(setup.inBufferSize);
    m_port.setBaudRate(line.baudRate);
    m_port.setParity(line.parity);
    m_port.setDataBits(line.dataBits);
    m_port.setStopBits(line.stopBits);
    if (!m_port.open(QIODevice::ReadWrite))
        return cannotOpen(whyOpenFailed());

#ifdef Q_OS_UNIX
    // The port is opened for exclusive use, but the system lets the superuser past
    // that; a lock on the open device keeps two programs apart whoever runs them.
    if (::flock(int(m_port.handle()), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        m_port.close();
        return cannotOpen(busyText(error == EWOULDBLOCK ? EBUSY : error));
    }
    struct stat info = {};
    m_pseudoTerminal = ::fstat(int(m_port.handle()), &info) == 0 &&
                       major(info.st_rdev) >= kPtyFirstMajor &&
                       major(info.st_rdev) <= kPtyLastMajor;
#endif

    // Modem control lines up for devices that want them; a pseudo-terminal has none
    // and refuses, which is of no consequence.
    m_port.setDataTerminalReady(true);
    m_port.setRequestToSend(true);
    m_port.clearError();

    m_emptyNotifications = 0;
    m_backlog.clear();
    m_backlog.setCharacterTime(line.characterTime(), LineBacklog::Clock::now());
    return {};
}

void SerialLink::close()
{
    if (m_port.isOpen())
        m_port.close();
}

Outcome SerialLink::apply(const LineSettings &line)
{
    if (!m_port.setBaudRate(line.baudRate) || !m_port.setParity(line.parity) ||
        !m_port.setDataBits(line.dataBits) || !m_port.setStopBits(line.stopBits)) {
        const QString reason = m_port.errorString();
        m_port.clearError();
        return Outcome::failure(
            QStringLiteral("Cannot change the settings of %1: %2").arg(m_device, reason));
    }
    m_backlog.setCharacterTime(line.characterTime(), LineBacklog::Clock::now());
    return {};
}

qint64 SerialLink::waiting()
{
    qint64 inDriver = 0;
#ifdef Q_OS_UNIX
    // What the driver reports still holding; a pseudo-terminal always says 0.
    int queued = 0;
    if (::ioctl(int(m_port.handle()), TIOCOUTQ, &queued) == 0)
        inDriver = queued;
#endif
    inDriver = std::max(inDriver, m_backlog.waiting(LineBacklog::Clock::now()));
    return m_port.bytesToWrite() + inDriver;
}

Outcome SerialLink::write(const QByteArray &data)
{
    if (m_port.write(data) != data.size())
        return cannotWrite(m_port.errorString());
    return {};
}

QByteArray SerialLink::read(qint64 maxSize)
{
    return maxSize > 0 ? m_port.read(maxSize) : m_port.readAll();
}

void SerialLink::onReadyRead()
{
    if (m_port.bytesAvailable() > 0) {
        m_emptyNotifications = 0;
        emit arrived();
        return;
    }
    // An arrival with nothing to read: a device that has gone keeps doing this, as
    // fast as the event loop turns.
    ++m_emptyNotifications;
    if (deviceRemoved() || hungUp())
        reportLost(whyLost(QString()));
    else if (m_emptyNotifications >= kEmptyNotificationLimit)
        reportLost(QStringLiteral("the device signals arrivals but delivers nothing"));
}

void SerialLink::onError(QSerialPort::SerialPortError error)
{
    if (!m_port.isOpen())
        return;
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        // The port would repeat the error for as long as it stays open, so the
        // first one closes it.
        reportLost(whyLost(m_port.errorString()));
        break;
    default:
        break; // refused modem-line control and the like leave the line usable
    }
}

// The reason QSerialPort gives is not always the real one: a port held by another
// program shows as a permission problem, when the lock file is taken. Asking the
// system directly tells busy, not found and not allowed apart.
QString SerialLink::whyOpenFailed() const
{
    const QString portReason = m_port.errorString();
#ifdef Q_OS_UNIX
    if (m_port.error() != QSerialPort::PermissionError)
        return portReason;
    const int fd = ::open(QFile::encodeName(m_device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM)
            return permissionText(m_device, error);
        if (error == EBUSY)
            return busyText(error);
        return systemText(error);
    }
    ::close(fd);
    // The device itself would open: another program holds its lock file.
    return busyText(EBUSY);
#else
    return portReason;
#endif
}

bool SerialLink::deviceRemoved() const
{
#ifdef Q_OS_UNIX
    struct stat info = {};
    return ::stat(QFile::encodeName(m_device).constData(), &info) != 0;
#else
    return false;
#endif
}

bool SerialLink::hungUp() const
{
#ifdef Q_OS_UNIX
    ::pollfd line{int(m_port.handle()), POLLIN, 0};
    return ::poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return false;
#endif
}

// The error text QSerialPort passes on for a read that found the line closed is
// whatever the last system call left behind, so the state of the device decides.
QString SerialLink::whyLost(const QString &systemReason) const
{
    const bool removed = deviceRemoved();
    const bool hungUp = this->hungUp();
    if (m_pseudoTerminal && (removed || hungUp))
        return QStringLiteral("the far end of the pseudo-terminal was closed");
    if (removed)
        return QStringLiteral("the device was removed");
    if (hungUp)
        return QStringLiteral("the line hung up");
    return systemReason.isEmpty() ? QStringLiteral("the line failed") : systemReason;
}

} // namespace tarn
