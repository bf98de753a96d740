#include "state/exposition.h"

#include <QLocale>
#include <cmath>

namespace tarn::bridge {
namespace {

// Go's float syntax, which Prometheus reads: whole numbers as integers (12000, not
// 1.2e+04), others as the shortest exact decimal, and "NaN", "+Inf", "-Inf".
QByteArray number(double value)
{
    constexpr double kExactIntegers = 9007199254740992.0; // 2^53
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    if (value == std::trunc(value) && std::abs(value) < kExactIntegers)
        return QByteArray::number(static_cast<qint64>(value));
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

QByteArray Exposition::escaped(QByteArrayView value)
{
    QByteArray out;
    out.reserve(value.size());
    for (const char c : value) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c == '\n' ? QByteArrayView("\\n") : QByteArrayView(&c, 1);
    }
    return out;
}

void Exposition::family(QByteArrayView name, QByteArrayView help, Type type)
{
    m_name = name.toByteArray();
    // HELP escapes backslash and line feed only; ours have neither.
    m_text += "# HELP " + m_name + ' ' + help.toByteArray() + "\n# TYPE " + m_name +
              (type == Type::Counter ? " counter\n" : " gauge\n");
}

void Exposition::sample(const Labels &labels, double value)
{
    m_text += m_name;
    for (qsizetype i = 0; i < labels.size(); ++i)
        m_text += (i ? "," : "{") + labels[i].first.toByteArray() + "=\"" +
                  escaped(labels[i].second) + '"';
    m_text += (labels.isEmpty() ? " " : "} ") + number(value) + '\n';
}

} // namespace tarn::bridge
