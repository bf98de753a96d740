#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

namespace tarn {

// The STATUS text for a reply, or nothing when the STATUS line is to stay as it is.
//  source     the monitor rendering of everything received so far
//  sendFrame  the frame most recently sent
//  pjPrefix   the address prefix in force now
// Only a reply whose last sent frame equals pjPrefix + read code + CR for one of the
// eight queries is decoded; replies to action codes never are.
std::optional<QString> decodeReply(QStringView source, QByteArrayView sendFrame,
                                   QByteArrayView pjPrefix);

// The same for a reply already known to answer readCode ("CR0", "CR1", ...).
std::optional<QString> decodeQueryReply(QLatin1StringView readCode, QStringView source);

} // namespace tarn
