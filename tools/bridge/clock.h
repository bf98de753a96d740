#pragma once

#include <chrono>
#include <functional>

namespace tarn::bridge {

using std::chrono::milliseconds;

// A steady clock: the time since some fixed moment. The program reads a monotonic clock;
// the tests read their virtual one.
using Clock = std::function<milliseconds()>;

} // namespace tarn::bridge
