// Reception: every arrival is appended and the whole collection is shown again.
#include "app/panel.h"

namespace tarn {

Outcome Panel::MSComm1_OnComm()
{
    if (m_port.commEvent() != CommControl::kEventReceive)
        return {}; // line states and line errors are not reception's business

    m_state.RecvBuffer.append(m_port.input());
    // A line that talks on with no transmission to empty the buffer keeps only its
    // newest bytes, so neither memory nor the re-rendering grows without limit.
    if (const qsizetype excess = m_state.RecvBuffer.size() - kRecvBufferLimit; excess > 0)
        m_state.RecvBuffer.remove(0, excess);
    m_state.ReplyPending = 0;
    return Hyouji(m_state.RecvBuffer, kReceive);
}

} // namespace tarn
