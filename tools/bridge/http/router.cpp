#include "http/router.h"

namespace tarn::bridge {

void Router::add(QByteArrayView method, QByteArrayView pattern, Handler handler)
{
    m_routes.push_back(
        {method.toByteArray(), pattern.toByteArray().split('/'), std::move(handler)});
}

bool Router::match(const Route &route, const QList<QByteArray> &segments,
                   QHash<QByteArray, QByteArray> &params)
{
    if (route.segments.size() != segments.size())
        return false;
    params.clear();
    for (qsizetype i = 0; i < segments.size(); ++i) {
        const QByteArray &want = route.segments[i];
        if (want.startsWith('{') && want.endsWith('}') && !segments[i].isEmpty())
            params.insert(want.sliced(1, want.size() - 2), segments[i]);
        else if (want != segments[i])
            return false;
    }
    return true;
}

void Router::dispatch(const HttpRequest &request, const void *client, const QString &peer,
                      const Respond &respond) const
{
    const QList<QByteArray> segments = request.path.split('/');
    QByteArrayList allowed;
    QHash<QByteArray, QByteArray> params;
    for (const Route &route : m_routes) {
        if (!match(route, segments, params))
            continue;
        if (route.method == request.method || (request.method == "HEAD" && route.method == "GET")) {
            route.handler(HttpCall{request, params, client, peer}, respond);
            return;
        }
        allowed << route.method;
        if (route.method == "GET")
            allowed << "HEAD";
    }
    const QString path = QString::fromLatin1(request.path);
    if (allowed.isEmpty()) {
        respond(HttpResponse::error(404, QStringLiteral("nothing is served at %1").arg(path)));
        return;
    }
    HttpResponse refusal =
        HttpResponse::error(405, QStringLiteral("%1 does not take %2; it takes %3")
                                     .arg(path, QString::fromLatin1(request.method),
                                          QString::fromLatin1(allowed.join(", "))));
    refusal.headers.append({"Allow", allowed.join(", ")});
    respond(refusal);
}

} // namespace tarn::bridge
