// The panel's logic on a fake port fed arbitrary byte streams cut at arbitrary points,
// with time passing, timers ticking and buttons used in between. Whatever happens, the
// receive buffer stays within its bound and the RXD line is the rendering the rules say.
#include "panelrig.h"
#include "traffic/rendering.h"

#include <array>
#include <cstdint>
#include <cstdlib>

using namespace tarn;
using namespace tarn::test;
using namespace std::chrono_literals;

namespace {
void require(bool condition)
{
    if (!condition)
        std::abort();
}

constexpr std::array<QStringView, 12> kClicks = {
    u"Command44", u"Command45", u"Command46", u"Command47", u"Command54", u"Command55",
    u"Command38", u"Command12", u"Command17", u"Option4",   u"Option3",   u"Command43"};
constexpr std::array<QStringView, 6> kHolds = {u"Command1",  u"Command15", u"Command5",
                                               u"Command48", u"Command6",  u"Command61"};

class Reader
{
public:
    Reader(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_at >= m_size; }
    std::uint8_t byte() { return atEnd() ? 0 : m_data[m_at++]; }
    QByteArray bytes(std::size_t n)
    {
        n = std::min(n, m_size - m_at);
        QByteArray out(reinterpret_cast<const char *>(m_data + m_at), qsizetype(n));
        m_at += n;
        return out;
    }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    PanelRig rig;
    Reader in(data, size);
    while (!in.atEnd()) {
        switch (in.byte() % 6) {
        case 0:
        case 1: { // a piece arrives; a long one now and then
            const std::size_t n = in.byte();
            rig.port.arrive(in.bytes(n == 255 ? 40000 : n));
            require(rig.state().RecvBuffer.size() <= Panel::kRecvBufferLimit);
            require(rig.state().ReplyPending == 0);
            require(rig.view().rxd == renderMonitor(rig.state().RecvBuffer));
            break;
        }
        case 2:
            rig.advance(milliseconds(in.byte() * 4));
            require(rig.state().RecvBuffer.size() <= Panel::kRecvBufferLimit);
            break;
        case 3:
            rig.panel.click(kClicks[in.byte() % kClicks.size()]);
            break;
        case 4: {
            const std::uint8_t b = in.byte();
            const QStringView hold = kHolds[b % kHolds.size()];
            if (b & 0x80)
                rig.panel.release(hold);
            else
                rig.panel.press(hold);
            break;
        }
        case 5:
            rig.port.setWritesFail(in.byte() & 1);
            break;
        }
    }
    return 0;
}
