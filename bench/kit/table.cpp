#include "table.h"

#include <algorithm>

namespace tarn::bench {
namespace {

QString cell(const QStringList &row, qsizetype column)
{
    QString text = column < row.size() ? row[column] : QString();
    return text.replace(u'|', QLatin1StringView("\\|"));
}

} // namespace

QString markdownTable(const QStringList &header, const QList<QStringList> &rows)
{
    const qsizetype columns = header.size();
    QList<qsizetype> widths(columns, 3); // a separator cell needs at least "---"
    const auto measure = [&](const QStringList &row) {
        for (qsizetype c = 0; c < columns; ++c)
            widths[c] = std::max(widths[c], cell(row, c).size());
    };
    measure(header);
    for (const QStringList &row : rows)
        measure(row);

    QString out;
    const auto line = [&](const QStringList &row) {
        out += u'|';
        for (qsizetype c = 0; c < columns; ++c)
            out += u' ' + cell(row, c).leftJustified(widths[c]) + QLatin1StringView(" |");
        out += u'\n';
    };
    line(header);
    QStringList separator;
    for (qsizetype c = 0; c < columns; ++c)
        separator << QString(widths[c], u'-');
    line(separator);
    for (const QStringList &row : rows)
        line(row);
    return out;
}

QString formatted(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

} // namespace tarn::bench
