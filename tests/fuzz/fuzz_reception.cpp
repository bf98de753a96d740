// The panel's logic on a fake port fed arbitrary byte streams cut at arbitrary points, with
// time passing, timers ticking and buttons used in between: the receive buffer stays within
// its bound and the RXD line is always its rendering.
#include "panelrig.h"
#include "traffic/rendering.h"

#include <cstdlib>

using namespace tarn;
using namespace tarn::test;

#define REQUIRE(condition) ((condition) ? void() : std::abort())

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    static constexpr QStringView kClicks[] = {u"Command44", u"Command46", u"Command54",
                                              u"Command55", u"Command17", u"Option4",
                                              u"Option3",   u"Command43"};
    static constexpr QStringView kHolds[] = {u"Command1", u"Command15", u"Command5", u"Command48",
                                             u"Command6"};
    PanelRig rig;
    for (std::size_t at = 0; at + 1 < size; at += 2) {
        const unsigned char op = data[at], arg = data[at + 1];
        if (op % 5 < 2) { // a piece arrives; a long one now and then
            const std::size_t n = std::min<std::size_t>(arg == 255 ? 40000 : arg, size - at - 2);
            rig.port.arrive(
                QByteArray(reinterpret_cast<const char *>(data + at + 2), qsizetype(n)));
            at += n;
            REQUIRE(rig.state().RecvBuffer.size() <= Panel::kRecvBufferLimit);
            REQUIRE(rig.state().ReplyPending == 0);
            REQUIRE(rig.view().rxd == renderMonitor(rig.state().RecvBuffer));
        } else if (op % 5 == 2) {
            rig.advance(milliseconds(arg * 4));
        } else if (op % 5 == 3) {
            rig.panel.click(kClicks[arg % std::size(kClicks)]);
        } else if (arg & 0x80) {
            rig.panel.release(kHolds[arg % std::size(kHolds)]);
        } else {
            rig.panel.press(kHolds[arg % std::size(kHolds)]);
            rig.port.setWritesFail(arg & 0x40);
        }
    }
    return 0;
}
