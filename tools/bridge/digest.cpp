#include "digest.h"

#include <QCryptographicHash>
#include <algorithm>

namespace tarn::bridge {
namespace {

constexpr qsizetype kDigestLength = 32;

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

QByteArray digestFor(QByteArrayView random, QByteArrayView password)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(random);
    hash.addData(password);
    return hash.result().toHex();
}

bool digestMatches(QByteArrayView offered, QByteArrayView expected)
{
    if (offered.size() != kDigestLength || expected.size() != kDigestLength ||
        !std::ranges::all_of(offered, isHexDigit))
        return false;
    return sameBytes(QByteArray(offered.data(), offered.size()).toLower(), expected);
}

bool sameBytes(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    unsigned difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i]) ^ static_cast<unsigned char>(b[i]);
    return difference == 0;
}

bool startsWithDigest(QByteArrayView line)
{
    return line.size() >= kDigestLength &&
           std::ranges::all_of(line.first(kDigestLength), isHexDigit);
}

} // namespace tarn::bridge
