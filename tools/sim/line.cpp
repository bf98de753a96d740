#include "line.h"

#include <algorithm>

namespace tarn::sim {

Line::Line(int projectors, Timing timing, Conditions conditions)
{
    const int count = std::clamp(projectors, 1, kMaxProjectors);
    m_projectors.reserve(count);
    for (int number = 1; number <= count; ++number)
        m_projectors.emplace_back(number, timing, conditions);
}

std::vector<Line::Exchange> Line::receive(QByteArrayView bytes, milliseconds now)
{
    std::vector<Exchange> exchanges;
    for (Frame &frame : m_parser.feed(bytes)) {
        Exchange exchange{std::move(frame), std::nullopt};
        if (exchange.frame.isBroadcast()) {
            for (Projector &projector : m_projectors)
                projector.handle(exchange.frame.code, now);
        } else if (Projector *projector = addressed(exchange.frame.prefix)) {
            exchange.reply = projector->handle(exchange.frame.code, now);
        }
        exchanges.push_back(std::move(exchange));
    }
    return exchanges;
}

Projector *Line::addressed(const QByteArray &prefix)
{
    if (prefix.isEmpty())
        return &m_projectors.front();
    static constexpr QByteArrayView kAddresses[] = {"A001", "A002", "A003", "A004"};
    for (int i = 0; i < projectorCount(); ++i) {
        if (prefix == kAddresses[i])
            return &m_projectors[i];
    }
    return nullptr;
}

} // namespace tarn::sim
