#include "control/bearercheck.h"

#include "digest.h"

#include <QCryptographicHash>

namespace tarn::bridge {
namespace {

QByteArray digestOf(QByteArrayView bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

} // namespace

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
