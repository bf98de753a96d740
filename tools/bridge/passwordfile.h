#pragma once

#include <QByteArray>
#include <QString>
#include <variant>

namespace tarn::bridge {

// The password kept in `path`, or the reason it cannot be used. The file holds one
// password of 1 to kMaxPassword printable ASCII characters; one trailing line break is
// ignored. A file that every user may read is refused. The reason never quotes the file.
std::variant<QByteArray, QString> readPasswordFile(const QString &path);

constexpr qsizetype kMaxPassword = 32;

// At most the first `limit` bytes of a secret's file, or the reason it cannot be used, which
// begins with `what` and the path: it is not a regular file, it cannot be read, or every
// user may read it. Whatever the reason, it never quotes the file.
std::variant<QByteArray, QString> readPrivateFile(const QString &path, const QString &what,
                                                  qsizetype limit);

} // namespace tarn::bridge
