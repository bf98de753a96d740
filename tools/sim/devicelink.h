#pragma once

#include <QByteArray>
#include <QString>

namespace tarn::sim {

// A symbolic link to the device, there for as long as the simulator runs.
class DeviceLink
{
public:
    DeviceLink() = default;
    ~DeviceLink();
    DeviceLink(const DeviceLink &) = delete;
    DeviceLink &operator=(const DeviceLink &) = delete;

    // Makes the link, replacing an older link at the path; returns what went wrong, if anything.
    QString create(const QString &path, const QString &target);

private:
    QByteArray m_path;
    QByteArray m_target;
};

} // namespace tarn::sim
