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

} // namespace tarn::bridge
