#include "state/readendpoints.h"

#include "http/router.h"
#include "state/livestate.h"

#include <QJsonArray>

namespace tarn::bridge {

QJsonObject projectorJson(const ProjectorRecord &record, Moment now)
{
    QJsonObject object = record.values();
    object.insert(QStringLiteral("projector"), record.profile.who);
    object.insert(QStringLiteral("name"), QString::fromLatin1(record.profile.name));
    object.insert(QStringLiteral("ages"), record.ages(now));
    object.insert(QStringLiteral("stale"), QJsonArray::fromStringList(record.staleKeys()));
    const QJsonValue sinceAnswer =
        record.lastAnswer ? QJsonValue((now.steady - record.lastAnswer->steady).count() / 1000.0)
                          : QJsonValue();
    object.insert(QStringLiteral("health"),
                  QJsonObject{{QStringLiteral("secondsSinceAnswer"), sinceAnswer},
                              {QStringLiteral("consecutiveTimeouts"), record.consecutiveTimeouts},
                              {QStringLiteral("silenced"), record.silenced}});
    return object;
}

void addReadRoutes(Router &router, const LiveState &state, const MonitorInputs &inputs)
{
    router.add("GET", "/metrics", [&state, inputs](const HttpCall &, const Respond &respond) {
        respond({200,
                 "text/plain; version=0.0.4; charset=utf-8",
                 renderMetrics(state, inputs, inputs.figures ? inputs.figures() : GatewayFigures{}),
                 {}});
    });
    router.add("GET", "/healthz", [&state](const HttpCall &, const Respond &respond) {
        const bool up = state.lineUp();
        respond(HttpResponse::json(
            up ? 200 : 503, {{QStringLiteral("line"), QLatin1StringView(up ? "up" : "down")}}));
    });
    router.add("GET", "/api/v1/projectors",
               [&state, inputs](const HttpCall &, const Respond &respond) {
                   const Moment now = inputs.clock();
                   QJsonArray projectors;
                   for (const ProjectorRecord &record : state.records())
                       projectors.append(projectorJson(record, now));
                   respond(HttpResponse::json(200, {{QStringLiteral("line"), inputs.lineName},
                                                    {QStringLiteral("lineUp"), state.lineUp()},
                                                    {QStringLiteral("projectors"), projectors}}));
               });
    router.add("GET", "/api/v1/projectors/{who}",
               [&state, inputs](const HttpCall &call, const Respond &respond) {
                   const QString who = QString::fromLatin1(call.params.value("who"));
                   if (const ProjectorRecord *record = state.byWho(who))
                       respond(HttpResponse::json(200, projectorJson(*record, inputs.clock())));
                   else
                       respond(HttpResponse::error(
                           404, QStringLiteral("no projector %1 is served on this line").arg(who)));
               });
}

} // namespace tarn::bridge
