#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace tarn::bridge {

// Cuts a client's bytes into request lines, each ended by a carriage return. A line
// feed right after a carriage return is skipped, so CR LF ends a line as well. Any
// other byte outside printable ASCII, or a line that grows past its limit, is a fault:
// the framer reports it with the part of the line that came before it.
class RequestFramer
{
public:
    struct Piece
    {
        enum class Kind
        {
            Line,         // a complete line, without its carriage return
            Partial,      // nothing complete yet
            TooLong,      // more than the limit before a carriage return
            NotPrintable, // a control character or a byte above 0x7E
        };
        Kind kind = Kind::Partial;
        QByteArray line;
    };

    explicit RequestFramer(qsizetype maxLine) : m_maxLine(maxLine) {}

    void append(QByteArrayView bytes);
    Piece next();
    // Bytes received and not yet taken as part of a line.
    qsizetype buffered() const { return m_buffer.size() - m_start; }

private:
    qsizetype m_maxLine;
    QByteArray m_buffer;
    qsizetype m_start = 0;
    bool m_afterCr = false;
};

} // namespace tarn::bridge
