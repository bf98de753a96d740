#include "record.h"

#include "replies/decoding.h"
#include "replies/projectorstatus.h"
#include "traffic/frame.h"
#include "traffic/rendering.h"

#include <QJsonDocument>

namespace tarn::send {

using namespace Qt::StringLiterals;

QJsonObject exchangeRecord(const Exchange &exchange)
{
    QJsonObject record{{"command"_L1, exchange.command},
                       {"frame"_L1, QString::fromLatin1(exchange.frame)},
                       {"reply"_L1, QString::fromLatin1(exchange.reply)},
                       {"ok"_L1, exchange.ok}};
    if (!isQuery(exchange.code))
        return record;

    const QLatin1StringView readCode(exchange.code);
    std::optional<QString> status;
    ProjectorStatus values = readReply(readCode, exchange.reply);
    if (exchange.complete)
        status = decodeQueryReply(readCode, renderMonitor(exchange.reply));
    else if (!values.acknowledged)
        values = {}; // an unfinished reply gives no values
    record.insert("status"_L1, status ? QJsonValue(*status) : QJsonValue());
    const QJsonObject typed = toJson(readCode, values);
    for (auto it = typed.begin(); it != typed.end(); ++it)
        record.insert(it.key(), it.value());
    return record;
}

QJsonObject failureRecord(const QString &description)
{
    return {{"ok"_L1, false}, {"error"_L1, description}};
}

QString jsonLine(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace tarn::send
