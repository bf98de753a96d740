#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace tarn::bridge {

// PJLink's proof of the password: the MD5 digest of the greeting's random digits
// followed by the password, as 32 lower-case hexadecimal digits.
QByteArray digestFor(QByteArrayView random, QByteArrayView password);

// Whether `offered` is 32 hexadecimal digits, in either case, equal to `expected`. The
// time taken does not depend on where the two differ.
bool digestMatches(QByteArrayView offered, QByteArrayView expected);

// Whether `a` and `b` hold the same bytes. For two of the same size, the time taken does
// not depend on where they differ.
bool sameBytes(QByteArrayView a, QByteArrayView b);

// Whether `line` starts with 32 hexadecimal digits (a digest, offered or not).
bool startsWithDigest(QByteArrayView line);

} // namespace tarn::bridge
