#include "fakelineservice.h"

namespace tarn::test {

void FakeLineService::submit(const void *owner, const bridge::LineRequest &request,
                             bridge::LineCallback done)
{
    requests << request;
    if (const auto result = respond ? respond(request) : std::nullopt)
        done(*result);
    else
        waiting.append({owner, std::move(done)});
}

void FakeLineService::cancel(const void *owner)
{
    waiting.removeIf([owner](const Waiting &w) { return w.owner == owner; });
}

bool FakeLineService::attachRaw(bridge::Stream &stream)
{
    if (raw)
        return false;
    raw = &stream;
    return true;
}

void FakeLineService::answer(const bridge::LineResult &result)
{
    const Waiting first = waiting.takeFirst();
    first.done(result);
}

} // namespace tarn::test
