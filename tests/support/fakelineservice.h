#pragma once

#include "lineservice.h"

#include <optional>

namespace tarn::test {

// A line with no port: it records each request and answers through `respond` or answer().
class FakeLineService final : public bridge::LineService
{
public:
    void submit(const void *owner, const bridge::LineRequest &request,
                bridge::LineCallback done) override
    {
        requests << request;
        if (const auto result = respond ? respond(request) : std::nullopt)
            done(*result);
        else
            waiting.append({owner, std::move(done)});
    }
    void cancel(const void *owner) override
    {
        waiting.removeIf([owner](const auto &w) { return w.first == owner; });
    }
    bool lineUp() const override { return true; }
    bool attachRaw(bridge::Stream &stream) override { return !raw && (raw = &stream); }
    // Answers the oldest waiting request.
    void answer(const bridge::LineResult &result) { waiting.takeFirst().second(result); }

    std::function<std::optional<bridge::LineResult>(const bridge::LineRequest &)> respond;
    QList<bridge::LineRequest> requests;
    QList<std::pair<const void *, bridge::LineCallback>> waiting;
    bridge::Stream *raw = nullptr;
};

} // namespace tarn::test
