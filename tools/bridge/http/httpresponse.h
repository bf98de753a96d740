#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <utility>

namespace tarn::bridge {

// One answer to an HTTP request. Content-Length and, when the connection closes after it,
// "Connection: close" are added as it is written.
struct HttpResponse
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> headers; // further fields, e.g. Allow

    // A JSON document, compact, as application/json.
    static HttpResponse json(int status, const QJsonObject &object);
    // {"error": why}: every refusal says why in the same shape.
    static HttpResponse error(int status, const QString &why);

    // The bytes on the wire; without the body for a HEAD request.
    QByteArray serialize(bool withBody, bool closing) const;
};

// The standard reason phrase of a status code ("Not Found"), or "Status" for one not known.
QByteArray reasonPhrase(int status);

} // namespace tarn::bridge
