#pragma once

#include "clock.h"
#include "lineservice.h"

#include <deque>
#include <optional>

namespace tarn::bridge {

// A request waiting for the line, as the line's queue keeps it.
struct Waiting
{
    const void *owner = nullptr;
    LineRequest request;
    LineCallback done;      // empty once answered or cancelled
    milliseconds rawMark{}; // the raw client's line time when it came (LineQueue)
};

// The waiting requests of many owners, taken in turn, one request each: the owner whose
// turn it is gives its oldest request and goes to the back. A single request then waits
// for at most one request of each other owner, however many those keep queued.
class Rotation
{
public:
    void push(Waiting waiting);
    // The next request in turn; none when nothing waits.
    std::optional<Waiting> take();
    // Forgets every request of `owner`.
    void cancel(const void *owner);
    bool empty() const { return m_lanes.empty(); }
    // The smallest raw mark of the waiting requests (each owner's oldest has its own).
    std::optional<milliseconds> earliestMark() const;

private:
    struct Lane
    {
        const void *owner;
        std::deque<Waiting> waiting;
    };
    std::deque<Lane> m_lanes; // owners with requests, in the order of their turns
};

} // namespace tarn::bridge
