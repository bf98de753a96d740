// tarn-bridge's monitoring over HTTP, with the projector simulator on a pseudo-terminal, in
// real time: the metrics as Prometheus's own parser reads them, the JSON API, the bounds.
#include "parsemetrics.h"
#include "realtime.h"
#include "simprocess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>

using namespace tarn::test;
using namespace std::chrono_literals;

class EndToEndMonitorTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_sim.start());
        connect(&m_bridge, &QProcess::readyReadStandardError, this,
                [this] { m_log += m_bridge.readAllStandardError(); });
        QStringList arguments{"--port", m_sim.address(), "--no-auth", "--http", "0", "--poll",
                              "1",      "--line-name",   "hall"};
        for (const char *who : {"1", "2", "3", "4"})
            arguments << "--listen" << QStringLiteral("127.0.0.1:0=%1").arg(who);
        m_bridge.start(qEnvironmentVariable("TARN_BIN") + "/tarn-bridge", arguments);
        QVERIFY(waitFor([&] { return m_log.contains("line up"); }, 10s));
    }

    // Within a few poll periods every projector's power, errors, lamp hours and
    // temperatures are known.
    void theMetricsShowEveryProjectorAsPrometheusReadsThem()
    {
        QMap<QString, double> samples;
        QString problem;
        const auto sample = [&](const char *name, const QString &labels) {
            return samples.value(QStringLiteral("%1{%2}").arg(name, labels), -1);
        };
        QVERIFY(waitFor(
            [&] {
                samples = parsedMetrics(get("/metrics").second, problem);
                return sample("pjlink_lamp_hours", "lamp=\"1\",line=\"hall\",projector=\"4\"") >= 0;
            },
            10s));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        for (int n = 1; n <= 4; ++n) {
            const QString who = QString::number(n);
            const QString labels = "line=\"hall\",projector=\"" + who + '"';
            QCOMPARE(sample("pjlink_power_status", labels), 0);
            QCOMPARE(sample("pjlink_error_status", "component=\"temperature\"," + labels), 2);
            QCOMPARE(sample("pjlink_error_status", "component=\"fan\"," + labels), 0);
            QCOMPARE(sample("pjlink_lamp_hours", "lamp=\"1\"," + labels),
                     1200 + 345 * (n - 1)); // the simulator's counts
            QVERIFY(sample("tarn_temperature_celsius", labels + ",sensor=\"1\"") > 0);
        }
        QCOMPARE(sample("tarn_line_up", "line=\"hall\""), 1);
        QVERIFY(sample("tarn_line_transactions_total", "line=\"hall\"") >= 4 * 4);
    }

    // Power on through PJLink: the API and the metrics show warming, then on, each within
    // a poll period (1 s here) or so of the change.
    void aProjectorPoweredOnIsSeenWarmingThenOn()
    {
        QTcpSocket pjlink;
        pjlink.connectToHost(QHostAddress::LocalHost, port("PJLink, projector 2"));
        QByteArray said;
        const auto saidLine = [&] {
            return (said += pjlink.readAll()).count('\r');
        };
        QVERIFY(waitFor([&] { return saidLine() == 1; }, 5s)); // the greeting
        pjlink.write("%1POWR 1\r");
        QVERIFY(waitFor([&] { return saidLine() == 2; }, 5s));
        QVERIFY(said.endsWith("%1POWR=OK\r"));
        for (const auto &[power, pjlinkPower] : {std::pair{"warming", 3}, {"on", 1}}) {
            QVERIFY2(waitFor(
                         [&] {
                             return QJsonDocument::fromJson(get("/api/v1/projectors/2").second)
                                        .object()["power"] == power;
                         },
                         3s),
                     power);
            QString problem;
            const auto samples = parsedMetrics(get("/metrics").second, problem);
            QCOMPARE(samples.value("pjlink_power_status{line=\"hall\",projector=\"2\"}"),
                     pjlinkPower);
        }
        const QJsonObject two =
            QJsonDocument::fromJson(get("/api/v1/projectors/2").second).object();
        QVERIFY(two["ages"]["power"].toDouble() < 1.5 && two["input"].toInt() >= 1);
    }

    // Each bound answers for itself, and the line is not touched.
    void aRequestPastEachBoundIsRefused()
    {
        const QByteArray head = "Host: gw\r\nConnection: close\r\n";
        const QList<std::pair<QByteArray, int>> rows = {
            {"GET /healthz HTTP/1.1\r\n" + head + "\r\n", 200},
            {"GET /nothing HTTP/1.1\r\n" + head + "\r\n", 404},
            {"DELETE /metrics HTTP/1.1\r\n" + head + "\r\n", 405},
            {"GET /metrics HTTP/1.1\r\n" + head + "X: " + QByteArray(8192, 'x') + "\r\n\r\n", 431},
            {"POST /metrics HTTP/1.1\r\n" + head + "Content-Length: 4097\r\n\r\n", 413},
        };
        for (const auto &[request, status] : rows)
            QCOMPARE(exchange(request).first, status);
        // One address holds at most 8 of the 32 connections.
        std::vector<std::unique_ptr<QTcpSocket>> held;
        for (int i = 0; i < 9; ++i) {
            held.push_back(std::make_unique<QTcpSocket>());
            held.back()->connectToHost(QHostAddress::LocalHost, port("HTTP"));
            QVERIFY(held.back()->waitForConnected(5000));
        }
        QVERIFY(waitFor([&] { return held.back()->state() == QTcpSocket::UnconnectedState; }, 5s));
        QCOMPARE(held.front()->state(), QTcpSocket::ConnectedState);
        held.clear();
        QVERIFY(waitFor([&] { return get("/healthz").first == 200; }, 5s));
    }

    void cleanupTestCase() { m_bridge.kill(), m_bridge.waitForFinished(); }

private:
    quint16 port(const QString &what) const
    {
        const QString pattern = QStringLiteral("127.0.0.1:(\\d+) \\(%1\\)").arg(what);
        return QRegularExpression(pattern).match(m_log).captured(1).toUShort();
    }
    // One request on a connection of its own: the answer's status and body.
    std::pair<int, QByteArray> exchange(const QByteArray &request)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port("HTTP"));
        socket.write(request);
        QByteArray answer;
        waitFor(
            [&] {
                answer += socket.readAll();
                return socket.state() == QTcpSocket::UnconnectedState;
            },
            5s);
        answer += socket.readAll();
        return {answer.mid(9, 3).toInt(), answer.mid(answer.indexOf("\r\n\r\n") + 4)};
    }
    std::pair<int, QByteArray> get(const QByteArray &path)
    {
        return exchange("GET " + path + " HTTP/1.1\r\nHost: gw\r\nConnection: close\r\n\r\n");
    }

    SimProcess m_sim{{"--warmup", "1500", "--hour-ms", "3600000", "--temperature-error"}};
    QProcess m_bridge;
    QString m_log;
};

QTEST_GUILESS_MAIN(EndToEndMonitorTest)
#include "tst_e2e_monitor.moc"
