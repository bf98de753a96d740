#pragma once

#include <QByteArray>
#include <QString>
#include <variant>

namespace tarn::bridge {

// What a file that holds one secret on one line must be: `file` names it in the reasons
// ("password file"), `secret` names what it holds.
struct SecretLine
{
    QString file;
    QString secret;
    qsizetype minLength = 1;
    qsizetype maxLength = 32;
};

// The secret kept in `path`, or the reason it cannot be used. The file holds one secret of
// `minLength` to `maxLength` printable ASCII characters; one trailing line break is
// ignored. A file that every user may read is refused. The reason never quotes the file.
std::variant<QByteArray, QString> readSecretLine(const QString &path, const SecretLine &kind);

constexpr qsizetype kMaxPassword = 32;

// The PJLink password: 1 to kMaxPassword characters.
std::variant<QByteArray, QString> readPasswordFile(const QString &path);

constexpr qsizetype kMinToken = 16;
constexpr qsizetype kMaxToken = 256;

// The HTTP control token: kMinToken to kMaxToken characters, with no space at either end,
// which an HTTP header cannot carry.
std::variant<QByteArray, QString> readTokenFile(const QString &path);

} // namespace tarn::bridge
