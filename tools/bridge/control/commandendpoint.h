#pragma once

#include "control/bearercheck.h"
#include "profile.h"
#include "record.h"

#include <QList>
#include <functional>
#include <optional>

namespace tarn::bridge {

class AuthThrottle;
class LineService;
class Router;
struct HttpCall;
struct HttpResponse;
struct LineResult;

// POST /api/v1/projectors/{who}/commands/{name}: a tarn-send command name, run through the
// line as a PJLink client's request is (through the action gate, in turns, each HTTP
// connection one client), answered with the object `tarn-send --json` prints.
//  - Control needs the token: without one configured every request gets 403; a missing or
//    wrong Authorization gets 401, and a wrong token counts toward the same per-address
//    guessing limit as PJLink passwords; past it, 429 until the wait is over.
//  - An unknown projector or command gets 404; an action the projector cannot take now 409
//    (the gate's reason); a line that is down 503; a projector that did not answer 504,
//    with the exchange's object and the reason.
class CommandEndpoint
{
public:
    using Log = std::function<void(const QString &)>;
    struct Settings
    {
        std::optional<QByteArray> token; // none: control is off
        QList<Profile> projectors;       // those served, "all" included where listened on
    };

    // `line` and `throttle` must outlive the endpoint, and the endpoint the router.
    CommandEndpoint(LineService &line, AuthThrottle &throttle, const Settings &settings, Log log);

    void addTo(Router &router);

private:
    void handle(const HttpCall &call, const std::function<void(const HttpResponse &)> &respond);
    std::optional<HttpResponse> refusal(const HttpCall &call);
    static HttpResponse answer(send::Exchange exchange, const LineResult &result);

    LineService &m_line;
    AuthThrottle &m_throttle;
    std::optional<BearerCheck> m_check;
    QList<Profile> m_projectors;
    Log m_log;
};

} // namespace tarn::bridge
