#include "ptyline.h"

#include <cerrno>
#include <ctime>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace tarn::bench {
namespace {

constexpr int kPollMs = 20; // how soon the reader notices that it is to stop

void sleepUntil(TimePoint deadline)
{
    const auto since = deadline.time_since_epoch();
    timespec at{};
    at.tv_sec =
        static_cast<time_t>(std::chrono::duration_cast<std::chrono::seconds>(since).count());
    at.tv_nsec = static_cast<long>((since - std::chrono::seconds(at.tv_sec)).count());
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

} // namespace

PtyLine::PtyLine(int baud) : m_baud(baud) {}

PtyLine::~PtyLine()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

QString PtyLine::open()
{
    if (QString error = m_terminal.open(); !error.isEmpty())
        return error;
    m_thread = std::thread([this] { run(); });
    return {};
}

void PtyLine::setBaud(int baud)
{
    m_baud = baud;
}

std::vector<Frame> PtyLine::takeFrames()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_completed, {});
}

void PtyLine::run()
{
    // Wake-ups on time to the microsecond: the default slack of 50 us would blur the pace.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    // A cable does not wait for the processor: where allowed, the far end runs ahead of
    // ordinary threads (compilers next door, the program under test), so what it measures
    // is the program's timing and not its own turn on a busy machine. It sleeps between
    // characters, so it never holds a core for long.
    sched_param priority{};
    priority.sched_priority = 10;
    m_realtime = ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &priority) == 0;
    LinePace pace(characterTime(m_baud));
    FrameAssembler assembler;
    pollfd watch{m_terminal.master(), POLLIN, 0};
    while (!m_stop) {
        // A character already waiting was queued while the line was busy: its slot follows
        // the previous one directly, however late this thread woke up. Only a character
        // that had to be waited for starts its slot when it is read.
        bool waited = false;
        int ready = ::poll(&watch, 1, 0);
        if (ready == 0) {
            waited = true;
            ready = ::poll(&watch, 1, kPollMs);
        }
        if (ready <= 0)
            continue;
        if (!(watch.revents & POLLIN)) {
            ::usleep(1000); // a hang-up with nothing to read: do not spin
            continue;
        }
        char c = 0;
        if (::read(m_terminal.master(), &c, 1) != 1)
            continue;
        const TimePoint read = Clock::now();
        pace.setCharacterTime(characterTime(m_baud));
        const TimePoint arrived = pace.arrival(read, !waited);
        // The line carries nothing else until this character is through.
        sleepUntil(arrived);
        m_bytes.fetch_add(1);
        m_lastArrival = arrived.time_since_epoch().count();
        if (auto frame = assembler.add(c, read, arrived)) {
            {
                std::lock_guard lock(m_mutex);
                m_completed.push_back(std::move(*frame));
            }
            m_frames.fetch_add(1);
        }
        m_midFrame = assembler.pending();
    }
}

} // namespace tarn::bench
