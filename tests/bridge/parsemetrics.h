#pragma once

#include <QMap>
#include <QProcess>
#include <QString>

namespace tarn::test {

// Reads a Prometheus text exposition with prometheus_client's own parser (parse_metrics.py,
// on the system's python3): every sample by NAME{LABEL="VALUE",...}, its labels in name
// order. `problem` gets the parser's complaint, if any; the map is then empty.
inline QMap<QString, double> parsedMetrics(const QByteArray &text, QString &problem)
{
    QProcess parser;
    parser.start(TARN_PYTHON, {TARN_PARSE_METRICS});
    parser.write(text);
    parser.closeWriteChannel();
    QMap<QString, double> samples;
    if (!parser.waitForFinished(30000) || parser.exitCode() != 0) {
        problem = QString::fromUtf8(parser.readAllStandardError());
        return samples;
    }
    for (const QString &line : QString::fromUtf8(parser.readAllStandardOutput()).split(u'\n')) {
        const qsizetype space = line.lastIndexOf(u' ');
        if (space > 0)
            samples[line.left(space)] = line.mid(space + 1).toDouble();
    }
    return samples;
}

} // namespace tarn::test
