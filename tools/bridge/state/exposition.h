#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <utility>

namespace tarn::bridge {

// Writes metrics in Prometheus's text exposition format, version 0.0.4: each family's
// HELP and TYPE lines, then its samples, one family after the other.
class Exposition
{
public:
    enum class Type
    {
        Gauge,
        Counter, // its name ends in _total
    };
    // Label names and values; a value is UTF-8 and escaped here.
    using Labels = QList<std::pair<QByteArrayView, QByteArray>>;

    void family(QByteArrayView name, QByteArrayView help, Type type);
    // A sample of the family begun last.
    void sample(const Labels &labels, double value);
    const QByteArray &text() const { return m_text; }

    // A label value with backslash, double quote and line feed escaped.
    static QByteArray escaped(QByteArrayView value);

private:
    QByteArray m_text;
    QByteArray m_name;
};

} // namespace tarn::bridge
