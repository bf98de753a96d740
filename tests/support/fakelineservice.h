#pragma once

#include "lineservice.h"

#include <optional>

namespace tarn::test {

// A line with no port behind it: it records every request, and answers each one at once
// through `respond`, or when a test calls answer().
class FakeLineService final : public bridge::LineService
{
public:
    using Respond = std::function<std::optional<bridge::LineResult>(const bridge::LineRequest &)>;
    struct Waiting
    {
        const void *owner;
        bridge::LineCallback done;
    };

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
        waiting.removeIf([owner](const Waiting &w) { return w.owner == owner; });
    }
    bool lineUp() const override { return true; }
    bool attachRaw(bridge::Stream &stream) override
    {
        if (raw)
            return false;
        raw = &stream;
        return true;
    }
    // Answers the oldest waiting request.
    void answer(const bridge::LineResult &result) { waiting.takeFirst().done(result); }

    Respond respond; // a request it answers nothing to waits
    QList<bridge::LineRequest> requests;
    QList<Waiting> waiting;
    bridge::Stream *raw = nullptr;
};

} // namespace tarn::test
