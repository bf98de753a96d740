#pragma once

#include <QMap>
#include <QProcess>
#include <QString>

namespace tarn::test {

// A Prometheus text exposition as prometheus_client's own parser reads it (parse_metrics.py):
// each sample by NAME{LABEL="VALUE",...}, labels in name order; none, and `problem` says
// why, when the parser refuses it.
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
