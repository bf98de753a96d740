#include "pseudoterminal.h"

#include <array>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace tarn::test {
namespace {

const std::array kSpeeds{std::pair{B1200, 1200},   std::pair{B2400, 2400},
                         std::pair{B4800, 4800},   std::pair{B9600, 9600},
                         std::pair{B19200, 19200}, std::pair{B38400, 38400}};

} // namespace

PseudoTerminal::PseudoTerminal()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0)
        return;
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || !::ptsname(master)) {
        ::close(master);
        return;
    }
    m_device = QString::fromLocal8Bit(::ptsname(master));
    m_master = master;
}

PseudoTerminal::~PseudoTerminal()
{
    close();
}

void PseudoTerminal::send(const QByteArray &bytes)
{
    [[maybe_unused]] const auto written = ::write(m_master, bytes.constData(), bytes.size());
}

QByteArray PseudoTerminal::receive()
{
    QByteArray all;
    std::array<char, 4096> chunk{};
    for (ssize_t n; m_master >= 0 && (n = ::read(m_master, chunk.data(), chunk.size())) > 0;)
        all.append(chunk.data(), n);
    return all;
}

// The master end reads and changes the slave's terminal settings.
int PseudoTerminal::lineSpeed() const
{
    termios settings{};
    if (::tcgetattr(m_master, &settings) != 0)
        return -1;
    const speed_t speed = ::cfgetospeed(&settings);
    for (const auto &[code, baud] : kSpeeds) {
        if (speed_t(code) == speed)
            return baud;
    }
    return 0;
}

void PseudoTerminal::close()
{
    if (m_master >= 0)
        ::close(std::exchange(m_master, -1));
}

std::chrono::nanoseconds processCpuTime()
{
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

} // namespace tarn::test
