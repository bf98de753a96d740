#pragma once

#include "state/livestate.h"

#include <functional>

namespace tarn::bridge {

class LineQueue;

// Keeps `state` from what `line` reports through its observer hook: every clean
// transaction, time-out and silencing, the line's counts, and whether it is up. `clock`
// says when each value was read (systemMoment() in the program). Both must outlive the
// connections, which go with either.
void feedLiveState(LineQueue &line, LiveState &state, std::function<Moment()> clock);

} // namespace tarn::bridge
