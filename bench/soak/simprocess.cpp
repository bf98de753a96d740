#include "simprocess.h"

#include "kit/eventloop.h"

#include <QFileInfo>
#include <csignal>
#include <sys/prctl.h>

namespace tarn::bench {

using namespace std::chrono_literals;

std::vector<SimLine> SimOutputParser::feed(QByteArrayView chunk, TimePoint at)
{
    std::vector<SimLine> lines;
    m_partial.append(chunk);
    qsizetype end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        const QByteArray line = m_partial.first(end);
        m_partial.remove(0, end + 1);
        if (!m_sawDevice) {
            m_sawDevice = true;
            m_device = line;
            continue;
        }
        if (line.startsWith("< "))
            lines.push_back({SimLine::Kind::Frame, line.sliced(2), at});
        else if (line.startsWith("> "))
            lines.push_back({SimLine::Kind::Reply, line.sliced(2), at});
    }
    return lines;
}

SimProcess::SimProcess(QString program, QString link, QObject *parent)
    : QObject(parent), m_program(std::move(program)), m_link(std::move(link))
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The simulator ends with this process, however this process ends.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &SimProcess::read);
}

SimProcess::~SimProcess()
{
    kill();
}

bool SimProcess::start(const QStringList &extra)
{
    kill();
    m_parser = SimOutputParser{};
    m_process.start(m_program, QStringList{QStringLiteral("--link"), m_link} + extra);
    if (!m_process.waitForStarted(5000))
        return false;
    // The first line names the device once the link is in place.
    const bool up = runUntil([this] { return !m_parser.device().isEmpty() || !running(); }, 5s,
                             &m_process, &QProcess::readyReadStandardOutput);
    return up && running() && QFileInfo::exists(m_link);
}

void SimProcess::kill()
{
    if (!running())
        return;
    ::kill(static_cast<pid_t>(m_process.processId()), SIGKILL);
    m_process.waitForFinished(5000);
    read();
}

void SimProcess::read()
{
    const QByteArray chunk = m_process.readAllStandardOutput();
    if (chunk.isEmpty())
        return;
    std::vector<SimLine> lines = m_parser.feed(chunk, Clock::now());
    for (SimLine &line : lines) {
        if (line.kind == SimLine::Kind::Frame) {
            ++m_frames;
            m_frameTimes.push_back(line.at);
        } else {
            ++m_replies;
        }
        if (m_keepLines)
            m_lines.push_back(std::move(line));
    }
    if (!lines.empty())
        emit lineSeen();
}

} // namespace tarn::bench
