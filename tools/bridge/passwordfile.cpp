#include "passwordfile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace tarn::bridge {

std::variant<QByteArray, QString> readSecretLine(const QString &path, const SecretLine &kind)
{
    const QString refused = QStringLiteral("%1 %2: ").arg(kind.file, path);
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return refused + QStringLiteral("not a regular file");
    if (info.permissions() & QFileDevice::ReadOther)
        return refused + QStringLiteral("every user may read it; let only its owner and group "
                                        "read it (chmod 640)");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused + file.errorString();
    // Room for the longest secret and a CR LF, and one byte to tell a longer file.
    QByteArray content = file.read(kind.maxLength + 3);
    if (content.endsWith('\n'))
        content.chop(content.endsWith("\r\n") ? 2 : 1);
    if (content.isEmpty())
        return refused + QStringLiteral("empty");
    if (content.size() > kind.maxLength || content.contains('\n'))
        return refused + QStringLiteral("holds more than one %1 of at most %2 characters")
                             .arg(kind.secret)
                             .arg(kind.maxLength);
    if (content.size() < kind.minLength)
        return refused + QStringLiteral("a %1 needs at least %2 characters")
                             .arg(kind.secret)
                             .arg(kind.minLength);
    if (!std::ranges::all_of(content, [](char c) { return c >= ' ' && c <= '~'; }))
        return refused + QStringLiteral("holds a character other than printable ASCII");
    return content;
}

std::variant<QByteArray, QString> readPasswordFile(const QString &path)
{
    return readSecretLine(
        path, {QStringLiteral("password file"), QStringLiteral("password"), 1, kMaxPassword});
}

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

} // namespace tarn::bridge
