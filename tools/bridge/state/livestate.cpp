#include "state/livestate.h"

#include "traffic/frame.h"

#include <QDateTime>
#include <QJsonValue>
#include <algorithm>

namespace tarn::bridge {
namespace {

qsizetype keptIndex(QByteArrayView code)
{
    const auto row = std::ranges::find_if(kKeptQueries, [code](const KeptQuery &query) {
        return QByteArrayView(query.code.data(), query.code.size()) == code;
    });
    return row == kKeptQueries.end() ? -1 : row - kKeptQueries.begin();
}

// Calls `visit(index, key)` for every JSON key of every kept query, in order.
template<typename Visit> void forEachKey(Visit visit)
{
    for (std::size_t i = 0; i < kKeptQueries.size(); ++i) {
        const QJsonObject keys = toJson(kKeptQueries[i].code, ProjectorStatus{});
        for (auto it = keys.begin(); it != keys.end(); ++it)
            visit(i, it.key());
    }
}

} // namespace

Moment systemMoment()
{
    using namespace std::chrono;
    return {duration_cast<milliseconds>(steady_clock::now().time_since_epoch()),
            milliseconds(QDateTime::currentMSecsSinceEpoch())};
}

const Reading *ProjectorRecord::reading(QLatin1StringView code) const
{
    const qsizetype index = keptIndex(QByteArrayView(code.data(), code.size()));
    return index < 0 || !readings[index] ? nullptr : &*readings[index];
}

QJsonObject ProjectorRecord::values() const
{
    QJsonObject values;
    for (std::size_t i = 0; i < kKeptQueries.size(); ++i) {
        const QJsonObject part =
            toJson(kKeptQueries[i].code, readings[i] ? readings[i]->status : ProjectorStatus{});
        for (auto it = part.begin(); it != part.end(); ++it)
            values.insert(it.key(), it.value());
    }
    return values;
}

QJsonObject ProjectorRecord::ages(Moment now) const
{
    QJsonObject ages;
    forEachKey([&](std::size_t i, const QString &key) {
        ages.insert(key,
                    readings[i]
                        ? QJsonValue((now.steady - readings[i]->readAt.steady).count() / 1000.0)
                        : QJsonValue());
    });
    return ages;
}

QStringList ProjectorRecord::staleKeys() const
{
    QStringList keys;
    forEachKey([&](std::size_t i, const QString &key) {
        if (readings[i] && readings[i]->stale)
            keys << key;
    });
    return keys;
}

LiveState::LiveState(const QList<Profile> &served)
{
    for (const Profile &profile : served) {
        if (!profile.broadcast() && !byPrefix(profile.prefix))
            m_records.push_back({profile, {}, {}, 0, false, 0});
    }
}

void LiveState::observe(QByteArrayView prefix, QByteArrayView code, QByteArrayView reply,
                        Moment now)
{
    if (prefix == kEveryProjector) {
        for (ProjectorRecord &record : m_records)
            touched(record, !isQuery(code) && makeStale(record));
        return;
    }
    ProjectorRecord *record = find(prefix);
    if (!record)
        return;
    bool changed = std::exchange(record->consecutiveTimeouts, 0) > 0;
    record->lastAnswer = now;
    changed = (isQuery(code) ? keep(*record, code, reply, now) : makeStale(*record)) || changed;
    touched(*record, changed);
}

void LiveState::observeTimeout(QByteArrayView prefix)
{
    if (ProjectorRecord *record = find(prefix))
        touched(*record, ++record->consecutiveTimeouts == 1);
}

void LiveState::setSilenced(QByteArrayView prefix, bool silenced)
{
    if (ProjectorRecord *record = find(prefix))
        touched(*record, std::exchange(record->silenced, silenced) != silenced);
}

void LiveState::setLineUp(bool up)
{
    if (std::exchange(m_lineUp, up) != up)
        emit lineChanged(up);
}

const ProjectorRecord *LiveState::byPrefix(QByteArrayView prefix) const
{
    const auto it = std::ranges::find(m_records, prefix, [](const ProjectorRecord &record) {
        return QByteArrayView(record.profile.prefix);
    });
    return it == m_records.end() ? nullptr : &*it;
}

const ProjectorRecord *LiveState::byWho(QStringView who) const
{
    const auto it = std::ranges::find(m_records, who, [](const ProjectorRecord &record) {
        return QStringView(record.profile.who);
    });
    return it == m_records.end() ? nullptr : &*it;
}

const Reading *LiveState::recent(QByteArrayView prefix, QLatin1StringView code,
                                 std::chrono::milliseconds within, Moment now) const
{
    const ProjectorRecord *record = byPrefix(prefix);
    const Reading *reading = record ? record->reading(code) : nullptr;
    if (!reading || reading->stale || now.steady - reading->readAt.steady > within)
        return nullptr;
    return reading;
}

ProjectorRecord *LiveState::find(QByteArrayView prefix)
{
    return const_cast<ProjectorRecord *>(byPrefix(prefix));
}

// Keeps a query's reply; true when what the record shows changed.
bool LiveState::keep(ProjectorRecord &record, QByteArrayView code, QByteArrayView reply, Moment now)
{
    const qsizetype index = keptIndex(code);
    if (index < 0)
        return false;
    const QLatin1StringView query = kKeptQueries[index].code;
    ProjectorStatus status = readReply(query, reply);
    const QJsonObject shown = toJson(query, status);
    // A reply that reads as nothing (garbled, or an acknowledgement alone) is no reading.
    if (status.acknowledged || shown == toJson(query, ProjectorStatus{}))
        return false;
    std::optional<Reading> &slot = record.readings[index];
    const bool changed = !slot || slot->stale || toJson(query, slot->status) != shown;
    slot = Reading{std::move(status), now, false};
    return changed;
}

bool LiveState::makeStale(ProjectorRecord &record)
{
    bool changed = false;
    for (std::size_t i = 0; i < kKeptQueries.size(); ++i) {
        std::optional<Reading> &reading = record.readings[i];
        if (kKeptQueries[i].changedByActions && reading && !std::exchange(reading->stale, true))
            changed = true;
    }
    return changed;
}

void LiveState::touched(ProjectorRecord &record, bool changed)
{
    if (!changed)
        return;
    ++record.version;
    emit this->changed(record.profile.prefix);
}

} // namespace tarn::bridge
