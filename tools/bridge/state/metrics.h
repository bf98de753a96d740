#pragma once

#include "replies/projectorstatus.h"
#include "state/livestate.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <map>

namespace tarn::bridge {

// What monitoring reads from the rest of the gateway, at each request.
struct GatewayFigures
{
    int pjlinkConnections = 0;
    quint64 failedAuthentications = 0;
    std::map<int, quint64> httpAnswers; // HttpServer::answers()
};

// What the read endpoints are given once, at the start.
struct MonitorInputs
{
    QString lineName;        // --line-name, the label "line"
    QByteArray manufacturer; // PJLink's INF1 and INF2, for pjlink_device_info
    QByteArray model;
    std::function<GatewayFigures()> figures;
    std::function<Moment()> clock; // systemMoment() in the program
};

// PJLink's POWR value of a power state: 0 standby, 1 on, 2 cooling, 3 warming.
int pjlinkPower(PowerState state);

// Every metric of the line and its projectors, in Prometheus's text format 0.0.4. Only
// what is known is shown: a value never read has no sample.
QByteArray renderMetrics(const LiveState &state, const MonitorInputs &inputs,
                         const GatewayFigures &figures);

} // namespace tarn::bridge
