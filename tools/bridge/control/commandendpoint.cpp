#include "control/commandendpoint.h"

#include "auththrottle.h"
#include "http/router.h"
#include "lineservice.h"
#include "traffic/frame.h"

#include "commandnames.h"
#include "record.h"

namespace tarn::bridge {
namespace {

using namespace Qt::StringLiterals;

const QByteArray kChallenge = R"(Bearer realm="tarn-bridge")";

// The address of "ADDRESS:PORT" or "[IPV6]:PORT", as the throttle counts clients.
QString addressOf(const QString &peer)
{
    QString address = peer.left(peer.lastIndexOf(u':'));
    if (address.startsWith(u'[') && address.endsWith(u']'))
        address = address.sliced(1, address.size() - 2);
    return address;
}

HttpResponse unauthorized(const QString &why, bool offered)
{
    HttpResponse response = HttpResponse::error(401, why);
    response.headers.append(
        {"WWW-Authenticate", offered ? kChallenge + R"(, error="invalid_token")" : kChallenge});
    return response;
}

} // namespace

CommandEndpoint::CommandEndpoint(LineService &line, AuthThrottle &throttle,
                                 const Settings &settings, Log log)
    : m_line(line), m_throttle(throttle), m_projectors(settings.projectors), m_log(std::move(log))
{
    if (settings.token)
        m_check.emplace(*settings.token);
}

void CommandEndpoint::addTo(Router &router)
{
    router.add("POST", "/api/v1/projectors/{who}/commands/{name}",
               [this](const HttpCall &call, const Respond &respond) { handle(call, respond); });
}

void CommandEndpoint::handle(const HttpCall &call, const Respond &respond)
{
    if (const auto refused = refusal(call)) {
        respond(*refused);
        return;
    }
    const QString who = QString::fromLatin1(call.params.value("who"));
    const QString name = QString::fromLatin1(call.params.value("name"));
    const auto profile = std::ranges::find(m_projectors, who, &Profile::who);
    if (profile == m_projectors.end()) {
        respond(HttpResponse::error(404, u"no projector %1 is served on this line"_s.arg(who)));
        return;
    }
    const std::optional<QByteArray> code = send::resolveCommand(name);
    if (!code) {
        respond(HttpResponse::error(
            404, u"no command %1: the names are tarn-send's (tarn-send --help)"_s.arg(name)));
        return;
    }
    send::Exchange exchange{name, *code, frameFor(profile->prefix, *code), {}, false, false};
    m_line.submit(
        call.client, {profile->prefix, {*code}},
        [respond, exchange](const LineResult &result) { respond(answer(exchange, result)); });
}

// Why the caller may not act, or nothing when it may. Only a wrong token counts as a guess:
// a request without one is a client that was not given the token.
std::optional<HttpResponse> CommandEndpoint::refusal(const HttpCall &call)
{
    if (!m_check)
        return HttpResponse::error(403, u"control is off: tarn-bridge was started without "
                                        "--http-token-file"_s);
    const QString client = AuthThrottle::clientOf(addressOf(call.peer));
    if (const milliseconds wait = m_throttle.wait(client); wait > milliseconds::zero()) {
        HttpResponse response = HttpResponse::error(
            429, u"%1 failed to authenticate %2 times within a minute"_s.arg(client).arg(
                     AuthThrottle::kTries));
        response.headers.append({"Retry-After", QByteArray::number((wait.count() + 999) / 1000)});
        return response;
    }
    const QByteArray authorization = call.request.header("authorization");
    if (authorization.isEmpty())
        return unauthorized(u"control needs \"Authorization: Bearer TOKEN\""_s, false);
    if (m_check->accepts(authorization))
        return std::nullopt;
    m_log(u"%1 failed to authenticate over HTTP"_s.arg(call.peer));
    m_throttle.recordFailure(client);
    return unauthorized(u"the token is wrong"_s, true);
}

HttpResponse CommandEndpoint::answer(send::Exchange exchange, const LineResult &result)
{
    using Status = LineResult::Status;
    switch (result.status) {
    case Status::NotNow:
        return HttpResponse::error(409, result.why);
    case Status::LineDown:
        return HttpResponse::error(503, u"the serial line is down"_s);
    case Status::Ok:
    case Status::NoReply:
    case Status::Silenced:
        break;
    }
    exchange.ok = exchange.complete = result.status == Status::Ok;
    // The line gives a query's reply without its carriage return; tarn-send shows it.
    exchange.reply = result.replies.value(0);
    if (exchange.ok && isQuery(exchange.code) && !exchange.frame.startsWith(kEveryProjector))
        exchange.reply += '\r';
    QJsonObject record = send::exchangeRecord(exchange);
    if (exchange.ok)
        return HttpResponse::json(200, record);
    record.insert("error"_L1, result.status == Status::NoReply
                                  ? u"the projector did not answer in time"_s
                                  : u"the projector did not answer moments ago; not asked again"_s);
    return HttpResponse::json(504, record);
}

} // namespace tarn::bridge
