#include "pseudoterminal.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace tarn {
namespace {

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1StringView(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PseudoTerminal::~PseudoTerminal()
{
    close();
}

QString PseudoTerminal::open()
{
    close();
    // A failure leaves nothing half open behind.
    const auto failed = [this](const char *what) {
        QString error = systemError(what);
        close();
        return error;
    };
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (m_master < 0)
        return failed("posix_openpt");
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return failed("grantpt");
    const char *name = ::ptsname(m_master);
    if (!name)
        return failed("ptsname");
    m_slavePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return failed("open slave");
    termios raw{};
    if (::tcgetattr(m_slave, &raw) != 0)
        return failed("tcgetattr");
    ::cfmakeraw(&raw);
    if (::tcsetattr(m_slave, TCSANOW, &raw) != 0)
        return failed("tcsetattr");
    return {};
}

qsizetype PseudoTerminal::write(QByteArrayView bytes)
{
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const auto put =
            ::write(m_master, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (put > 0)
            done += put;
        else if (!(put < 0 && errno == EINTR))
            break;
    }
    return done;
}

std::optional<QByteArray> PseudoTerminal::read()
{
    if (m_master < 0)
        return std::nullopt;
    QByteArray all;
    char buffer[4096];
    while (all.size() < kMaxRead) {
        const auto got = ::read(m_master, buffer, sizeof buffer);
        if (got > 0)
            all.append(buffer, got);
        else if (got < 0 && errno == EINTR)
            continue;
        else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return all;
        else
            return all.isEmpty() ? std::nullopt : std::optional(all);
    }
    return all;
}

void PseudoTerminal::close()
{
    if (m_slave >= 0)
        ::close(std::exchange(m_slave, -1));
    if (m_master >= 0)
        ::close(std::exchange(m_master, -1));
}

} // namespace tarn
