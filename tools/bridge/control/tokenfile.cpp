#include "control/tokenfile.h"

#include "digest.h"
#include "passwordfile.h"

#include <QCryptographicHash>

namespace tarn::bridge {
namespace {

QByteArray digestOf(QByteArrayView bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

} // namespace

std::variant<QByteArray, QString> readTokenFile(const QString &path)
{
    auto read = readSecretLine(
        path, {QStringLiteral("HTTP token file"), QStringLiteral("token"), kMinToken, kMaxToken});
    if (const auto *token = std::get_if<QByteArray>(&read);
        token && (token->startsWith(' ') || token->endsWith(' ')))
        return QStringLiteral("HTTP token file %1: the token starts or ends with a space, "
                              "which an HTTP header cannot carry")
            .arg(path);
    return read;
}

BearerCheck::BearerCheck(QByteArrayView token) : m_digest(digestOf(token)) {}

bool BearerCheck::accepts(QByteArrayView authorization) const
{
    constexpr QByteArrayView kScheme = "bearer ";
    if (authorization.size() <= kScheme.size() ||
        authorization.first(kScheme.size()).compare(kScheme, Qt::CaseInsensitive) != 0)
        return false;
    return sameBytes(digestOf(authorization.sliced(kScheme.size()).trimmed()), m_digest);
}

} // namespace tarn::bridge
