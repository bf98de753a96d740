#pragma once

#include "lineservice.h"

#include <optional>

namespace tarn::test {

// A line with no port behind it: it records every request, and answers each one at
// once through `respond`, or when a test calls answer().
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
                bridge::LineCallback done) override;
    void cancel(const void *owner) override;
    bool lineUp() const override { return true; }
    bool attachRaw(bridge::Stream &stream) override;

    // Answers the oldest waiting request.
    void answer(const bridge::LineResult &result);

    Respond respond; // a request it answers nothing to waits
    QList<bridge::LineRequest> requests;
    QList<Waiting> waiting;
    bridge::Stream *raw = nullptr;
};

} // namespace tarn::test
