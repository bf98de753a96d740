#pragma once

#include <QString>
#include <vector>

namespace tarn::bench {

// A PJLink read that changes a projector's state, `samples` times, with a simulator, a
// gateway and a broker of its own; in ms, from the read's request to the state message at
// an MQTT subscriber, and to the read's own answer. Empty, with the reason in `problem`,
// when the rig did not come up.
struct StateMessageTimes
{
    std::vector<double> toMessage;
    std::vector<double> toAnswer;
};
StateMessageTimes stateMessageTimes(const QString &bin, int samples, QString &problem);

} // namespace tarn::bench
