#include "requestframer.h"

namespace tarn::bridge {

void RequestFramer::append(QByteArrayView bytes)
{
    if (m_start > 0 && m_start >= m_buffer.size() / 2) {
        m_buffer.remove(0, m_start);
        m_start = 0;
    }
    m_buffer.append(bytes);
}

RequestFramer::Piece RequestFramer::next()
{
    using Kind = Piece::Kind;
    if (m_afterCr && m_start < m_buffer.size()) {
        m_afterCr = false;
        if (m_buffer[m_start] == '\n')
            ++m_start;
    }
    for (qsizetype i = m_start; i < m_buffer.size(); ++i) {
        const auto byte = static_cast<unsigned char>(m_buffer[i]);
        const auto upToHere = [&](Kind kind) {
            return Piece{kind, m_buffer.mid(m_start, i - m_start)};
        };
        if (byte == '\r') {
            Piece piece = upToHere(Kind::Line);
            m_start = i + 1;
            m_afterCr = true;
            return piece;
        }
        if (byte < 0x20 || byte > 0x7E)
            return upToHere(Kind::NotPrintable);
        if (i - m_start >= m_maxLine)
            return upToHere(Kind::TooLong);
    }
    return {};
}

} // namespace tarn::bridge
