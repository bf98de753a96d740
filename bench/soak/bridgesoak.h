#pragma once

#include <QList>
#include <QString>
#include <chrono>

namespace tarn::bench {

struct BridgeSoakSettings
{
    QString bin; // where tarn-bridge and tarn-sim are
    int restarts = 10;
    std::chrono::milliseconds up{3000};   // the simulator runs this long each time
    std::chrono::milliseconds down{3000}; // and is gone this long
    int clients = 16;
};

struct BridgeSoakCheck
{
    QString name;
    bool passed;
    QString evidence;
};

// Prints a line of the soak's findings at once.
void out(const QString &text);

// tarn-bridge on the simulator while clients poll and the simulator is killed and started
// again: every request answered, the bridge's memory flat, no CPU spin while the line is
// down, each change of the line logged once. Prints what it finds as it goes.
QList<BridgeSoakCheck> soakBridge(const BridgeSoakSettings &settings);

} // namespace tarn::bench
