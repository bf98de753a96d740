#pragma once

#include <QString>
#include <vector>

namespace tarn::bench {

// From a reading that changed on the line to its state message at an MQTT subscriber, in
// ms, `samples` times; with a simulator, a gateway and a broker of its own. Empty, with the
// reason in `problem`, when the rig did not come up.
std::vector<double> stateMessageDelays(const QString &bin, int samples, QString &problem);

} // namespace tarn::bench
