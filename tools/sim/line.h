#pragma once

#include "frameparser.h"
#include "projector.h"

#include <optional>
#include <vector>

namespace tarn::sim {

// The serial line with its projectors: it turns received bytes into frames, hands each
// frame to the projectors it addresses and collects the one reply that goes back, if any.
//
// - No prefix: meant for a lone projector on the line, so the first projector acts and answers.
// - "AFFF": every projector acts, none answers (answers would collide on a shared line).
// - "A001" to "A004": only that projector acts and answers; an address with no projector
//   behind it, or any other prefix, meets silence.
class Line
{
public:
    static constexpr int kMaxProjectors = 4;

    struct Exchange
    {
        Frame frame;
        std::optional<QByteArray> reply;
    };

    Line(int projectors, Timing timing, Conditions conditions = {});

    std::vector<Exchange> receive(QByteArrayView bytes, milliseconds now);
    // Starts a new byte stream (a new client): a half-received frame is forgotten.
    void restart() { m_parser.reset(); }

    int projectorCount() const { return static_cast<int>(m_projectors.size()); }
    Projector &projector(int number) { return m_projectors.at(number - 1); }

private:
    Projector *addressed(const QByteArray &prefix);

    FrameParser m_parser;
    std::vector<Projector> m_projectors;
};

} // namespace tarn::sim
