#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tarn::bench {

// A Markdown table whose columns line up in a terminal as well: every cell padded to its
// column's width, "|" inside a cell escaped, missing cells left blank.
QString markdownTable(const QStringList &header, const QList<QStringList> &rows);

// A number with a fixed count of decimals, e.g. formatted(250.0123, 2) == "250.01".
QString formatted(double value, int decimals);

} // namespace tarn::bench
