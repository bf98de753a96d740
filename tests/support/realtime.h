#pragma once

#include <chrono>
#include <functional>

namespace tarn::test {

// Real time, for the end-to-end tests (with generous bounds) and the benchmarks only.
void runFor(std::chrono::milliseconds span);
// Runs the event loop until done() holds or the time is up; returns whether it holds.
bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds timeout);
// CPU time (user and system) this process has used so far.
std::chrono::nanoseconds processCpuTime();

} // namespace tarn::test
