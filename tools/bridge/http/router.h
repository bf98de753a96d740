#pragma once

#include "http/httprequest.h"
#include "http/httpresponse.h"

#include <QHash>
#include <functional>
#include <vector>

namespace tarn::bridge {

// One request as a handler sees it.
struct HttpCall
{
    const HttpRequest &request;
    QHash<QByteArray, QByteArray> params; // the path's "{name}" segments, by name
    const void *client;                   // the connection: the same for all its requests
    QString peer;                         // the client's address and port, for the log
};

// Answers a request: at once, or later (a request that waits for the serial line). Only
// its first call counts, and none after the connection has closed.
using Respond = std::function<void(const HttpResponse &)>;
using Handler = std::function<void(const HttpCall &call, const Respond &respond)>;

// Sends each request to the handler of its method and path. An unknown path gets 404, a
// known one with another method 405 with Allow; both say why in JSON. HEAD is served by
// the GET handler, and answered without the body.
class Router
{
public:
    // `pattern` is a path such as "/api/v1/projectors/{who}/commands/{name}": a segment
    // in braces matches any one non-empty segment, and names it for the handler.
    void add(QByteArrayView method, QByteArrayView pattern, Handler handler);
    void dispatch(const HttpRequest &request, const void *client, const QString &peer,
                  const Respond &respond) const;

private:
    struct Route
    {
        QByteArray method;
        QList<QByteArray> segments;
        Handler handler;
    };
    static bool match(const Route &route, const QList<QByteArray> &segments,
                      QHash<QByteArray, QByteArray> &params);

    std::vector<Route> m_routes;
};

} // namespace tarn::bridge
