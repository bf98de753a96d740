#pragma once

#include "topics.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tarn::mqtt {

// A message to publish retained.
struct Retained
{
    QString topic;
    QByteArray payload;
};

struct DiscoverySettings
{
    QString prefix; // Home Assistant's discovery prefix, e.g. "homeassistant"
    QString line;   // --line-name: letters, digits, '-' and '_'
    QString version;
    QStringList inputNames; // the four inputs, as the input select offers them
};

struct ProjectorInfo
{
    QString who;  // "single" or "1" to "4"
    QString name; // --name; empty: "LINE WHO"
};

// What discovery publishes for one device: each entity's config under
// PREFIX/COMPONENT/NODE_ID/OBJECT_ID/config, and the record of those configs, kept under
// the gateway's own topics so that a later run can remove what it no longer serves.
struct DiscoveryNode
{
    QString who; // "gateway", "single" or "1" to "4"
    QList<Retained> configs;
    Retained record;
};

// The gateway's device (the line's connectivity), then one device per projector, each
// entity with a stable unique_id, the device block and its availability: the gateway's
// status and, for a projector's entities, the projector's own as well, both required.
QList<DiscoveryNode> discoveryNodes(const Topics &topics, const DiscoverySettings &settings,
                                    const QList<ProjectorInfo> &projectors);

// The config topics that a record of an earlier run names and `current` does not. A
// record that cannot be read names nothing; nor does it name a topic that a config of
// discovery could not have.
QStringList staleConfigs(const QByteArray &record, const QStringList &current);

} // namespace tarn::mqtt
