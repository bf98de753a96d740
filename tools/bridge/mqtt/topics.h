#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace tarn::mqtt {

// The gateway's topics, all under PREFIX/LINE (--mqtt-prefix and --line-name):
//   PREFIX/LINE/status                 "online" or "offline", retained; the last will
//   PREFIX/LINE/line                   the serial line: "up" or "down", retained
//   PREFIX/LINE/WHO/availability       "online" or "offline", retained
//   PREFIX/LINE/WHO/state              the projector's state as JSON, retained
//   PREFIX/LINE/WHO/set/ACTION         commands
//   PREFIX/LINE/discovery/NODE         what discovery published for a device, retained
// WHO is "single" or "1" to "4"; NODE is a WHO or "gateway".
class Topics
{
public:
    Topics(const QString &prefix, const QString &line) : m_base(prefix + u'/' + line) {}

    QString base() const { return m_base; }
    QString status() const { return m_base + QStringLiteral("/status"); }
    QString line() const { return m_base + QStringLiteral("/line"); }
    QString availability(const QString &who) const
    {
        return projector(who) + QStringLiteral("/availability");
    }
    QString state(const QString &who) const { return projector(who) + QStringLiteral("/state"); }
    QString command(const QString &who, const QString &action) const
    {
        return projector(who) + QStringLiteral("/set/") + action;
    }
    QString commandFilter() const { return m_base + QStringLiteral("/+/set/+"); }
    QString published(const QString &node) const
    {
        return m_base + QStringLiteral("/discovery/") + node;
    }
    QString publishedFilter() const { return m_base + QStringLiteral("/discovery/+"); }

private:
    QString projector(const QString &who) const { return m_base + u'/' + who; }

    QString m_base;
};

// "single" or "1" to "4".
bool isProjectorWho(const QString &who);

// Why `prefix` cannot begin the gateway's topics (empty, a wildcard, a level of its own
// that is empty), or nothing when it can.
std::optional<QString> topicPrefixProblem(QStringView prefix);

} // namespace tarn::mqtt
