#pragma once

#include "bridgesoak.h"

#include <chrono>

namespace tarn::bench {

// Two clients ask two projectors that are on and in standby, round after round, while
// the simulator answers in time, late, or now and then late; a third case puts a raw
// client beside one PJLink client. Every answer must be its own projector's or ERR4.
QList<BridgeSoakCheck> soakAttribution(const QString &bin, int roundsPerCase);

// An attacker on 127.0.0.1 holds connections open and guesses passwords while a client
// and a raw client on 127.0.0.2 go on being served.
QList<BridgeSoakCheck> soakLockOut(const QString &bin, std::chrono::seconds length);

} // namespace tarn::bench
