#pragma once

#include "traffic/frame.h"

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

namespace tarn::sim {

// One complete frame as it came off the line, without its closing carriage return.
struct Frame
{
    QByteArray prefix; // empty, or "A" followed by three address characters
    QByteArray code;   // three characters

    QByteArray text() const { return prefix + code; }
    bool isBroadcast() const { return prefix == kEveryProjector; }
    bool isAddressed() const { return !prefix.isEmpty(); }
};

// Collects the bytes of a byte stream into frames that end with a carriage return.
//
// A frame is either three code characters or an "A" plus three address characters followed
// by three code characters, all printable ASCII. Anything else up to the next carriage
// return is thrown away: an overlong run, a line feed, a NUL or any other byte outside the
// printable range spoils the frame it falls into. The buffer never holds more than one
// frame's worth of bytes, however long the garbage runs.
class FrameParser
{
public:
    static constexpr qsizetype kCodeLength = 3;
    static constexpr qsizetype kPrefixLength = 4;
    static constexpr qsizetype kMaxBody = kPrefixLength + kCodeLength;

    std::vector<Frame> feed(QByteArrayView bytes);

    // Bytes held back waiting for a carriage return (those of a frame being discarded excluded).
    qsizetype pending() const { return m_buffer.size(); }
    // Number of carriage-return-terminated runs thrown away as garbage so far.
    quint64 discarded() const { return m_discarded; }
    void reset();

private:
    void finishRun(std::vector<Frame> &frames);

    QByteArray m_buffer;
    bool m_spoiled = false;
    quint64 m_discarded = 0;
};

// The form in which the simulator logs frames and replies: printable ASCII as it is, a
// backslash doubled, CR and LF as \r and \n, every other byte as \x and two hex digits.
QByteArray escaped(QByteArrayView bytes);

} // namespace tarn::sim
