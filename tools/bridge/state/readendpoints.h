#pragma once

#include "state/metrics.h"

#include <QJsonObject>

namespace tarn::bridge {

class LiveState;
class Router;
struct ProjectorRecord;

// The read-only endpoints, served from the live state alone: no request touches the
// serial line, and none needs a token.
//  GET /metrics                    Prometheus text format 0.0.4
//  GET /healthz                    200 while the line is up, 503 otherwise
//  GET /api/v1/projectors          every projector's record
//  GET /api/v1/projectors/{who}    one ("single", or "1" to "4")
// `state` must outlive the router.
void addReadRoutes(Router &router, const LiveState &state, const MonitorInputs &inputs);

// A projector's record as the API shows it: the typed reading's members, "ages" with the
// same keys (seconds since each was read), "stale" (the keys an action may have changed
// since), and the address's health.
QJsonObject projectorJson(const ProjectorRecord &record, Moment now);

} // namespace tarn::bridge
