#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <variant>

namespace tarn::bridge {

constexpr qsizetype kMinToken = 16;
constexpr qsizetype kMaxToken = 256;

// The HTTP control token kept in `path`, or the reason it cannot be used: one line of
// kMinToken to kMaxToken printable ASCII characters, in a file that not every user may
// read (the password file's rules), and with no space at either end, which an HTTP header
// cannot carry.
std::variant<QByteArray, QString> readTokenFile(const QString &path);

// Checks the credential of "Authorization: Bearer TOKEN" (RFC 6750) against the token.
// Only a digest of the token is kept; the offered credential is compared through its own
// digest, so that the time taken depends neither on where it differs nor on its length.
class BearerCheck
{
public:
    explicit BearerCheck(QByteArrayView token);

    // Whether the Authorization header's value carries the token. The scheme's name is
    // matched in any letter case.
    bool accepts(QByteArrayView authorization) const;

private:
    QByteArray m_digest;
};

} // namespace tarn::bridge
