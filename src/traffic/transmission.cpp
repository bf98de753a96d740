// Command frames, Hyouji and the traffic monitor's two timers.
#include "app/panel.h"

#include "replies/decoding.h"
#include "traffic/addressing.h"
#include "traffic/frame.h"
#include "traffic/rendering.h"

namespace tarn {
namespace {
const QString kNoReply = QStringLiteral(" X X X X");
} // namespace

void Panel::choosePjSelect(const PjSelectOption &pj)
{
    setOption(&ViewState::pjOption, pj.option.toString());
    m_state.PjPrefix = pj.prefix.toByteArray();
}

// Builds the frame for code with the prefix of this moment and transmits it.
Outcome Panel::send(QLatin1StringView code)
{
    m_state.SendFrame = frameFor(m_state.PjPrefix, QByteArrayView(code.data(), code.size()));
    return Hyouji(m_state.SendFrame, kTransmit);
}

Outcome Panel::Hyouji(const QByteArray &data, quint8 mode)
{
    if (mode == kTransmit) {
        if (auto r = m_port.output(data); !r)
            return r;
        setLine(ViewItem::Txd, renderMonitor(data));
        m_timer2.setEnabled(true);
        m_state.ReplyPending = 1;
        m_timer4.setEnabled(true);
        return {};
    }

    const QString rendering = renderMonitor(data);
    setLine(ViewItem::Rxd, rendering);
    if (auto status = decodeReply(rendering, m_state.SendFrame, m_state.PjPrefix))
        setLine(ViewItem::Status, *status);
    return {};
}

// Reply time-out: marks a missing reply and empties the buffer.
void Panel::Timer2_Timer()
{
    if (m_state.ReplyPending == 1)
        setLine(ViewItem::Rxd, kNoReply);
    m_timer2.setEnabled(false);
    m_state.RecvBuffer.clear();
    m_state.ReplyPending = 0;
}

// Display clearing.
void Panel::Timer4_Timer()
{
    setLine(ViewItem::Txd, QString());
    setLine(ViewItem::Rxd, QString());
    setLine(ViewItem::Status, QString());
    m_timer4.setEnabled(false);
}

} // namespace tarn
