#include "devicelink.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn::sim {

DeviceLink::~DeviceLink()
{
    if (m_path.isEmpty())
        return;
    // Only remove the link if it still leads to our device.
    char target[4096];
    const auto length = ::readlink(m_path.constData(), target, sizeof target - 1);
    if (length >= 0 && QByteArrayView(target, length) == m_target)
        ::unlink(m_path.constData());
}

QString DeviceLink::create(const QString &path, const QString &target)
{
    const QByteArray link = QFile::encodeName(path);
    const QByteArray to = QFile::encodeName(target);
    struct stat info;
    if (::lstat(link.constData(), &info) == 0) {
        if (!S_ISLNK(info.st_mode))
            return QStringLiteral("%1 exists and is not a symbolic link").arg(path);
        ::unlink(link.constData());
    }
    if (::symlink(to.constData(), link.constData()) != 0)
        return QStringLiteral("cannot link %1: %2")
            .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    m_path = link;
    m_target = to;
    return {};
}

} // namespace tarn::sim
