#include "http/httpresponse.h"

#include <QJsonDocument>
#include <algorithm>
#include <array>

namespace tarn::bridge {
namespace {

struct Reason
{
    int status;
    const char *phrase;
};

constexpr std::array kReasons = {
    Reason{200, "OK"},
    Reason{400, "Bad Request"},
    Reason{401, "Unauthorized"},
    Reason{403, "Forbidden"},
    Reason{404, "Not Found"},
    Reason{405, "Method Not Allowed"},
    Reason{408, "Request Timeout"},
    Reason{409, "Conflict"},
    Reason{411, "Length Required"},
    Reason{413, "Content Too Large"},
    Reason{429, "Too Many Requests"},
    Reason{431, "Request Header Fields Too Large"},
    Reason{500, "Internal Server Error"},
    Reason{503, "Service Unavailable"},
    Reason{504, "Gateway Timeout"},
    Reason{505, "HTTP Version Not Supported"},
};

} // namespace

QByteArray reasonPhrase(int status)
{
    const auto row = std::ranges::find(kReasons, status, &Reason::status);
    return row == kReasons.end() ? QByteArray("Status") : QByteArray(row->phrase);
}

HttpResponse HttpResponse::json(int status, const QJsonObject &object)
{
    return {status,
            "application/json",
            QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n',
            {}};
}

HttpResponse HttpResponse::error(int status, const QString &why)
{
    return json(status, QJsonObject{{QStringLiteral("error"), why}});
}

QByteArray HttpResponse::serialize(bool withBody, bool closing) const
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    if (!contentType.isEmpty())
        out += "Content-Type: " + contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    for (const auto &[name, value] : headers)
        out += name + ": " + value + "\r\n";
    if (closing)
        out += "Connection: close\r\n";
    out += "\r\n";
    if (withBody)
        out += body;
    return out;
}

} // namespace tarn::bridge
