#include "mosquittolink.h"

#include "backoff.h"

#include <QMetaObject>
#include <QScopeGuard>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mosquitto.h>
#include <mutex>
#include <sys/poll.h> // not <poll.h>: the gateway has a poll.h of its own on the path
#include <utility>

namespace tarn::mqtt {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// How long one turn of the library's loop may wait for the socket: also how soon a stop is
// seen while nothing else wakes the thread.
constexpr int kLoopWaitMs = 100;
constexpr int kQos = 1;
constexpr qsizetype kShownTopic = 100;

QString connackReason(int code)
{
    switch (code) {
    case 1:
        return QStringLiteral("it does not accept MQTT 3.1.1");
    case 2:
        return QStringLiteral("it does not accept the client identifier");
    case 3:
        return QStringLiteral("the server is unavailable");
    case 4:
        return QStringLiteral("wrong user name or password");
    case 5:
        return QStringLiteral("not authorised; check the user name and password");
    default:
        return QStringLiteral("code %1").arg(code);
    }
}

// The library's TLS path does not notice a connection refused, or closed, before its
// handshake ends: it tries the handshake again at once until the time-out. The socket does.
bool closedBeforeAnswer(mosquitto *m)
{
    pollfd socket{mosquitto_socket(m), POLLOUT, 0};
    return socket.fd >= 0 && ::poll(&socket, 1, 0) == 1 && (socket.revents & (POLLHUP | POLLERR));
}

QString seconds(milliseconds wait)
{
    return QString::number(double(wait.count()) / 1000.0, 'g', 3);
}

} // namespace

// What the link and its thread share. The mutex guards the live handle and the filters, and
// is held around every library call made from the event loop's thread; the thread itself
// takes it only outside the library's callbacks, so that no lock order can cross.
struct MosquittoLink::Shared
{
    BrokerSettings settings;
    std::mutex mutex;
    std::condition_variable wake;
    std::atomic<bool> stopping = false;
    bool finished = false;       // under mutex
    mosquitto *handle = nullptr; // under mutex: set while connected
    QStringList filters;         // under mutex

    std::mutex receiverMutex;
    MosquittoLink *receiver = nullptr; // under receiverMutex: null once the link is gone
    std::mutex errorMutex;
    QString libraryError; // under errorMutex: the library's last error line

    // The thread's own, for one attempt.
    int refusal = -1;
    bool acknowledged = false;
    bool restoreOnline = false; // someone else's message on the status topic

    void post(std::function<void(MosquittoLink &)> call);
    void log(const QString &line);
    void run();
    QString attempt();
    QString configure(mosquitto *m);
    QString loop(mosquitto *m);
    void announce(mosquitto *m);
    void closeCleanly(mosquitto *m);
    void publishStatus(mosquitto *m, const QByteArray &status);
    QString describe(int rc);
    void deliver(const mosquitto_message &message);
};

void MosquittoLink::Shared::post(std::function<void(MosquittoLink &)> call)
{
    std::lock_guard lock(receiverMutex);
    if (MosquittoLink *link = receiver) {
        QMetaObject::invokeMethod(
            link, [link, call = std::move(call)] { call(*link); }, Qt::QueuedConnection);
    }
}

void MosquittoLink::Shared::log(const QString &line)
{
    const QString text = QStringLiteral("MQTT broker %1: %2").arg(settings.address.text(), line);
    post([text](MosquittoLink &link) { link.m_log(text); });
}

void MosquittoLink::Shared::run()
{
    Backoff backoff(settings.firstRetry, settings.longestRetry);
    while (!stopping) {
        const QString why = attempt();
        if (acknowledged)
            backoff.reset();
        if (stopping)
            break;
        const milliseconds wait = backoff.next();
        log(QStringLiteral("%1; trying again in %2 s").arg(why, seconds(wait)));
        std::unique_lock lock(mutex);
        wake.wait_for(lock, wait, [this] { return stopping.load(); });
    }
    std::lock_guard lock(mutex);
    finished = true;
    wake.notify_all();
}

// One connection from its start to its end; returns why it ended.
QString MosquittoLink::Shared::attempt()
{
    refusal = -1;
    acknowledged = false;
    mosquitto *m = mosquitto_new(settings.clientId.toUtf8().constData(), true, this);
    if (m == nullptr)
        return QStringLiteral("cannot make a client: %1")
            .arg(QString::fromLocal8Bit(strerror(errno)));
    const auto destroy = qScopeGuard([&] {
        {
            std::lock_guard lock(mutex);
            handle = nullptr;
        }
        mosquitto_destroy(m);
        if (acknowledged)
            post([](MosquittoLink &link) {
                link.m_connected = false;
                emit link.disconnected();
            });
    });
    if (QString problem = configure(m); !problem.isEmpty())
        return problem;
    const QByteArray host = settings.address.host.toUtf8();
    const int rc = mosquitto_connect_async(m, host.constData(), settings.address.port,
                                           settings.keepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS)
        return describe(rc);
    return loop(m);
}

QString MosquittoLink::Shared::configure(mosquitto *m)
{
    mosquitto_threaded_set(m, true);
    mosquitto_int_option(m, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    if (const auto &c = settings.credentials)
        mosquitto_username_pw_set(m, c->user.constData(), c->password.constData());
    const QByteArray status = settings.statusTopic.toUtf8();
    mosquitto_will_set(m, status.constData(), int(kOffline.size()), kOffline.constData(), kQos,
                       true);
    mosquitto_connect_callback_set(m, [](mosquitto *, void *shared, int code) {
        auto *s = static_cast<Shared *>(shared);
        if (code == 0)
            s->acknowledged = true;
        else
            s->refusal = code;
    });
    mosquitto_message_callback_set(m, [](mosquitto *, void *shared, const mosquitto_message *msg) {
        static_cast<Shared *>(shared)->deliver(*msg);
    });
    mosquitto_log_callback_set(m, [](mosquitto *, void *shared, int level, const char *text) {
        if (level != MOSQ_LOG_ERR)
            return;
        auto *s = static_cast<Shared *>(shared);
        std::lock_guard lock(s->errorMutex);
        s->libraryError = QString::fromUtf8(text);
    });
    if (!settings.address.tls)
        return {};
    if (settings.caFile.isEmpty()) {
        mosquitto_int_option(m, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
    } else if (mosquitto_tls_set(m, settings.caFile.toLocal8Bit().constData(), nullptr, nullptr,
                                 nullptr, nullptr) != MOSQ_ERR_SUCCESS) {
        return QStringLiteral("cannot read the CA file %1").arg(settings.caFile);
    }
    // Verify the broker's certificate and its name, always.
    mosquitto_tls_opts_set(m, 1, nullptr, nullptr);
    mosquitto_tls_insecure_set(m, false);
    return {};
}

QString MosquittoLink::Shared::loop(mosquitto *m)
{
    const auto deadline = Clock::now() + settings.connectTimeout;
    bool announced = false;
    while (!stopping) {
        const int rc = mosquitto_loop(m, kLoopWaitMs, 1);
        if (refusal >= 0)
            return QStringLiteral("refused the connection: %1").arg(connackReason(refusal));
        if (rc != MOSQ_ERR_SUCCESS)
            return (announced ? QStringLiteral("connection lost: ") : QString()) + describe(rc);
        if (acknowledged && !announced) {
            announce(m);
            announced = true;
        } else if (std::exchange(restoreOnline, false)) {
            publishStatus(m, kOnline);
        } else if (!acknowledged && Clock::now() > deadline) {
            return QStringLiteral("no answer within %1 s").arg(seconds(settings.connectTimeout));
        } else if (!acknowledged && closedBeforeAnswer(m)) {
            return QStringLiteral("the connection was refused or closed before the broker "
                                  "answered");
        }
    }
    if (announced)
        closeCleanly(m);
    return {};
}

void MosquittoLink::Shared::announce(mosquitto *m)
{
    {
        std::lock_guard lock(mutex);
        for (const QString &filter : filters + QStringList{settings.statusTopic})
            mosquitto_subscribe(m, nullptr, filter.toUtf8().constData(), kQos);
        publishStatus(m, kOnline);
        handle = m;
    }
    log(QStringLiteral("connected"));
    post([](MosquittoLink &link) {
        link.m_connected = true;
        emit link.connected();
    });
}

// A clean disconnection drops the will, so "offline" goes out by hand first.
void MosquittoLink::Shared::closeCleanly(mosquitto *m)
{
    {
        std::lock_guard lock(mutex);
        handle = nullptr;
    }
    publishStatus(m, kOffline);
    mosquitto_disconnect(m);
    const auto deadline = Clock::now() + 1s;
    while (mosquitto_loop(m, kLoopWaitMs, 1) == MOSQ_ERR_SUCCESS && Clock::now() < deadline) {
    }
}

void MosquittoLink::Shared::publishStatus(mosquitto *m, const QByteArray &status)
{
    mosquitto_publish(m, nullptr, settings.statusTopic.toUtf8().constData(), int(status.size()),
                      status.constData(), kQos, true);
}

QString MosquittoLink::Shared::describe(int rc)
{
    if (rc == MOSQ_ERR_ERRNO && errno != 0)
        return QString::fromLocal8Bit(strerror(errno));
    if (rc == MOSQ_ERR_EAI)
        return QStringLiteral("cannot resolve %1").arg(settings.address.host);
    std::lock_guard lock(errorMutex);
    if (rc == MOSQ_ERR_TLS)
        return QStringLiteral("TLS failed: %1").arg(libraryError);
    QString text = QString::fromUtf8(mosquitto_strerror(rc));
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

void MosquittoLink::Shared::deliver(const mosquitto_message &message)
{
    const QString topic = QString::fromUtf8(message.topic);
    if (message.payloadlen > kMaxIncoming) {
        log(QStringLiteral("dropped a message of %1 bytes on %2: more than %3")
                .arg(message.payloadlen)
                .arg(topic.left(kShownTopic))
                .arg(kMaxIncoming));
        return;
    }
    const QByteArray payload(static_cast<const char *>(message.payload), message.payloadlen);
    if (topic == settings.statusTopic) {
        // A retained one is history; a live one is a will of an earlier run, just fired.
        restoreOnline = restoreOnline || (!message.retain && payload != kOnline);
        return;
    }
    const bool retained = message.retain;
    post([topic, payload, retained](MosquittoLink &link) {
        emit link.received(topic, payload, retained);
    });
}

MosquittoLink::MosquittoLink(BrokerSettings settings, Log log, QObject *parent)
    : MqttLink(parent), m_shared(std::make_shared<Shared>()), m_log(std::move(log))
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { mosquitto_lib_init(); });
    m_shared->settings = std::move(settings);
    m_shared->receiver = this;
}

MosquittoLink::~MosquittoLink()
{
    {
        std::lock_guard lock(m_shared->receiverMutex);
        m_shared->receiver = nullptr;
    }
    if (!m_thread.joinable())
        return;
    std::unique_lock lock(m_shared->mutex);
    m_shared->stopping = true;
    m_shared->wake.notify_all();
    if (m_shared->wake.wait_for(lock, 2s, [this] { return m_shared->finished; })) {
        lock.unlock();
        m_thread.join();
    } else {
        m_thread.detach(); // it keeps the shared part alive until it ends
    }
}

void MosquittoLink::open()
{
    if (!m_thread.joinable())
        m_thread = std::thread([shared = m_shared] { shared->run(); });
}

bool MosquittoLink::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->handle != nullptr &&
           mosquitto_publish(m_shared->handle, nullptr, topic.toUtf8().constData(),
                             int(payload.size()), payload.constData(), kQos,
                             retain) == MOSQ_ERR_SUCCESS;
}

void MosquittoLink::subscribe(const QString &filter)
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->filters << filter;
    if (m_shared->handle != nullptr)
        mosquitto_subscribe(m_shared->handle, nullptr, filter.toUtf8().constData(), kQos);
}

} // namespace tarn::mqtt
