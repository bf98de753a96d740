// The live state kept from the line's transactions, and the read endpoints served from it:
// the metrics as Prometheus's own parser reads them, the API as JSON.
#include "parsemetrics.h"

#include "http/router.h"
#include "state/livestate.h"
#include "state/metrics.h"
#include "state/readendpoints.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

using namespace tarn::bridge;
using namespace std::chrono_literals;

namespace {

Moment at(std::chrono::milliseconds steady)
{
    return {steady, 1'700'000'000'000ms + steady};
}

QList<Profile> fourProjectors()
{
    QList<Profile> served;
    for (const char *who : {"1", "2", "3", "4"})
        served << Profile{who, QByteArray("A00") + who, QByteArray("Hall ") + who, {}};
    served[1].name = "Say \"hi\" \\ to\nme";
    served << Profile{"all", "AFFF", "every", {}}; // no record
    return served;
}

std::pair<int, QJsonObject> answer(const Router &router, const QByteArray &path)
{
    HttpRequest request;
    request.path = path;
    request.method = "GET";
    HttpResponse response;
    router.dispatch(request, nullptr, {}, [&](const HttpResponse &r) { response = r; });
    return {response.status, QJsonDocument::fromJson(response.body).object()};
}

} // namespace

class LiveStateTest : public QObject
{
    Q_OBJECT
private slots:
    void eachQueryReplyLandsUnderItsKeysWithItsAge_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("shown"); // the keys it sets, as JSON
        const auto row = [](const char *code, QByteArray reply, QByteArray shown) {
            QTest::newRow(code) << QByteArray(code) << reply << shown;
        };
        row("CR0", "88", R"({"power":"standby","errors":["temperature"],"keyLock":false})");
        row("CR1", "3", R"({"input":3})");
        row("CRA", "01",
            R"({"videoMute":true,"audioMute":false,"noSignal":false,"standby":false})");
        row("CR3", "01234", R"({"lampHours":1234})");
        row("CR7", "1A", R"({"lampMode":"1-4","lampsOn":[2,4]})");
        row("CR6", "038.5  41.5", R"({"temperatures":[38.5,41.5]})");
        row("CR9", "TSX4L20", R"({"pcType":"TSX4L20"})");
    }

    void eachQueryReplyLandsUnderItsKeysWithItsAge()
    {
        QFETCH(QByteArray, code);
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, shown);
        LiveState state(fourProjectors());
        state.observe("A002", code, reply, at(1s));
        const ProjectorRecord &record = *state.byWho(u"2");
        const QJsonObject values = record.values();
        const QJsonObject ages = record.ages(at(3500ms));
        const QJsonObject expected = QJsonDocument::fromJson(shown).object();
        QCOMPARE(ages.keys(), values.keys());
        for (auto it = ages.begin(); it != ages.end(); ++it) {
            QCOMPARE(it.value(), expected.contains(it.key()) ? QJsonValue(2.5) : QJsonValue());
            QVERIFY(!expected.contains(it.key()) || values[it.key()] == expected[it.key()]);
        }
        QCOMPARE(state.byWho(u"1")->values(), LiveState(fourProjectors()).records()[0].values());
    }

    void actionsMakeReadingsStaleUntilReadAgainAndOnlyChangesAreSignalled()
    {
        LiveState state(fourProjectors());
        QSignalSpy changes(&state, &LiveState::changed);
        state.observe("A001", "CR0", "00", at(0ms));
        state.observe("A001", "CR3", "01234", at(0ms));
        state.observe("A003", "CR0", "00", at(0ms));
        QVERIFY(state.recent("A001", QLatin1StringView("CR0"), 1s, at(1000ms)));
        QVERIFY(!state.recent("A001", QLatin1StringView("CR0"), 1s, at(1001ms)));
        state.observe("A001", "C0D", "\x06", at(200ms)); // video mute on
        QVERIFY(!state.recent("A001", QLatin1StringView("CR0"), 1s, at(300ms)));
        QCOMPARE(state.byPrefix("A001")->staleKeys(), QStringList({"errors", "keyLock", "power"}));
        state.observe("AFFF", "C01", {}, at(300ms));
        QCOMPARE(state.byPrefix("A003")->staleKeys().size(), 3);
        QCOMPARE(changes.size(), 5);
        state.observe("A001", "CR0", "00", at(400ms)); // the same value, no longer stale
        QVERIFY(state.recent("A001", QLatin1StringView("CR0"), 1s, at(500ms)));
        state.observe("A001", "CR0", "00", at(500ms)); // nothing new
        state.observe("A001", "CR0", "zz", at(600ms)); // reads as nothing: the last stays
        QCOMPARE(state.byPrefix("A001")->values()["power"], "on");
        QCOMPARE(state.byPrefix("A001")->ages(at(700ms))["power"], 0.2);
        QCOMPARE(changes.size(), 6);
        state.observeTimeout("A001");
        state.observeTimeout("A001");
        state.setSilenced("A001", true);
        QCOMPARE(state.byPrefix("A001")->consecutiveTimeouts, 2);
        state.observe("A001", "CR1", "1", at(800ms));
        QCOMPARE(state.byPrefix("A001")->consecutiveTimeouts, 0);
        QCOMPARE(changes.size(), 9);
        QCOMPARE(state.byPrefix("A001")->version, 7u);
    }

    void theMetricsAreReadByPrometheusOwnParser()
    {
        LiveState state(fourProjectors());
        state.setLineUp(true);
        state.counters().transactions = 7;
        const QList<std::array<const char *, 3>> replies = {
            {"A001", "CR0", "00"}, {"A001", "CR3", "01234"}, {"A001", "CR6", "038.5  41.5"},
            {"A002", "CR0", "40"}, {"A003", "CR0", "88"},    {"A003", "CR7", "25"}};
        for (const auto &[prefix, code, reply] : replies)
            state.observe(prefix, code, reply, at(2500ms));
        const MonitorInputs inputs{"hall_line", "TARN", "HV20", {}, {}}; // no clock: no ages
        const QByteArray text = renderMetrics(state, inputs, {3, 2, {{200, 5}, {404, 2}}});
        QString problem;
        const QMap<QString, double> samples = tarn::test::parsedMetrics(text, problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        for (const QString &sample : samples.keys())
            QVERIFY(sample.contains(R"(line="hall_line")"));
        const QList<std::pair<QString, double>> expected = {
            {R"(pjlink_power_status{line="hall_line",projector="1"})", 1},
            {R"(pjlink_power_status{line="hall_line",projector="2"})", 3},
            {R"(pjlink_error_status{component="temperature",line="hall_line",projector="3"})", 2},
            {R"(pjlink_error_status{component="other",line="hall_line",projector="3"})", 0},
            {R"(pjlink_lamp_hours{lamp="4",line="hall_line",projector="1"})", 1234},
            {"pjlink_device_info{line=\"hall_line\",manufacturer=\"TARN\",model=\"HV20\","
             "name=\"Say \\\"hi\\\" \\\\ to\\nme\",projector=\"2\"}",
             1}, // moc misreads a raw string with a backslash in it
            {R"(tarn_lamp_lit{lamp="3",line="hall_line",projector="3"})", 1},
            {R"(tarn_lamp_lit{lamp="2",line="hall_line",projector="3"})", 0},
            {R"(tarn_temperature_celsius{line="hall_line",projector="1",sensor="1"})", 38.5},
            {R"(tarn_reading_timestamp_seconds{line="hall_line",projector="1",reading="lamp_hours"})",
             1700000002.5},
            {R"(tarn_line_up{line="hall_line"})", 1},
            {R"(tarn_line_transactions_total{line="hall_line"})", 7},
            {R"(tarn_pjlink_failed_authentications_total{line="hall_line"})", 2},
            {R"(tarn_http_requests_total{code="404",line="hall_line"})", 2},
        };
        for (const auto &[sample, value] : expected)
            QVERIFY2(samples.value(sample, -1) == value, qPrintable(sample));
        QVERIFY(!samples.contains(R"(pjlink_power_status{line="hall_line",projector="4"})"));
    }

    void theReadEndpointsAnswerFromTheRecord()
    {
        LiveState state(fourProjectors());
        Router router;
        addReadRoutes(router, state, {"hall_line", "TARN", "HV20", {}, [] {
                                          return at(3s);
                                      }});
        state.observe("A001", "CR0", "00", at(500ms));
        QCOMPARE(answer(router, "/healthz").first, 503);
        state.setLineUp(true);
        QCOMPARE(answer(router, "/healthz").second["line"], "up");
        const QJsonObject one = answer(router, "/api/v1/projectors/1").second;
        QVERIFY(one["power"] == "on" && one["ages"]["power"] == 2.5 &&
                one["ages"]["input"].isNull());
        QCOMPARE(answer(router, "/api/v1/projectors").second["projectors"].toArray().size(), 4);
        QCOMPARE(answer(router, "/api/v1/projectors/single").first, 404);
    }
};

QTEST_GUILESS_MAIN(LiveStateTest)
#include "tst_livestate.moc"
