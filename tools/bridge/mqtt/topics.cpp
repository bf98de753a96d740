#include "topics.h"

#include <QList>

namespace tarn::mqtt {

bool isProjectorWho(const QString &who)
{
    return who == u"single" || (who.size() == 1 && who[0] >= u'1' && who[0] <= u'4');
}

std::optional<QString> topicPrefixProblem(QStringView prefix)
{
    if (prefix.isEmpty() || prefix.split(u'/').contains(QStringView()))
        return QStringLiteral("a topic prefix has no empty level (\"%1\")").arg(prefix);
    if (prefix.contains(u'+') || prefix.contains(u'#') || prefix.contains(QChar(0)))
        return QStringLiteral("a topic prefix has no + or # (\"%1\")").arg(prefix);
    return std::nullopt;
}

} // namespace tarn::mqtt
