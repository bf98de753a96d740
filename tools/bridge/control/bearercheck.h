#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace tarn::bridge {

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
