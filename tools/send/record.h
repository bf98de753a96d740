#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace tarn::send {

// What came of one command, for its line in the JSON form.
struct Exchange
{
    QString command; // the word it was given as
    QByteArray code; // "C00", "CR0", ...
    QByteArray frame;
    QByteArray reply;      // everything received for it
    bool ok = false;       // the reply came in time; for a broadcast, the frame went out
    bool complete = false; // the reply reached its end
};

// The object for one command: command, frame, reply (each byte as the character of the
// same number), ok; for a query also the STATUS text (null where the panel shows none)
// and the values the reply gives, all null unless the reply is complete or an
// acknowledgement alone.
QJsonObject exchangeRecord(const Exchange &exchange);

// The object for a port that failed: {"ok":false,"error":description}.
QJsonObject failureRecord(const QString &description);

// The object as one line of JSON Lines, without the line end.
QString jsonLine(const QJsonObject &object);

} // namespace tarn::send
