#pragma once

#include "profile.h"
#include "replies/projectorstatus.h"

#include <QJsonObject>
#include <QObject>
#include <array>
#include <chrono>
#include <optional>
#include <vector>

namespace tarn::bridge {

// A moment as the record keeps it: the steady clock for ages, which never jumps, and the
// wall clock for the time stamps that monitoring shows.
struct Moment
{
    std::chrono::milliseconds steady{0};
    std::chrono::milliseconds wall{0}; // since 1970-01-01 00:00 UTC
};

// Now, from the system's clocks.
Moment systemMoment();

// The queries whose answers the record keeps. `name` names the reading in metrics; an
// action (any code that is not a query) makes the readings it may change stale: every one
// but the lamp hours and the PC type, which no command sets.
struct KeptQuery
{
    QLatin1StringView code;
    QLatin1StringView name;
    bool changedByActions;
};

inline constexpr std::array kKeptQueries = {
    KeptQuery{QLatin1StringView("CR0"), QLatin1StringView("status"), true},
    KeptQuery{QLatin1StringView("CR1"), QLatin1StringView("input"), true},
    KeptQuery{QLatin1StringView("CRA"), QLatin1StringView("mutes"), true},
    KeptQuery{QLatin1StringView("CR3"), QLatin1StringView("lamp_hours"), false},
    KeptQuery{QLatin1StringView("CR7"), QLatin1StringView("lamps"), true},
    KeptQuery{QLatin1StringView("CR6"), QLatin1StringView("temperatures"), true},
    KeptQuery{QLatin1StringView("CR9"), QLatin1StringView("pc_type"), false},
};

// One kept answer: its typed values and when they were read.
struct Reading
{
    ProjectorStatus status;
    Moment readAt;
    // An action went to the projector after this was read, so it may answer otherwise
    // now. The value is still shown, with its true age, until it is read again; a rule
    // that needs the present state (an action's check) reads it again first.
    bool stale = false;
};

// What the gateway knows of one projector it serves.
struct ProjectorRecord
{
    Profile profile;
    std::array<std::optional<Reading>, kKeptQueries.size()> readings; // as kKeptQueries
    std::optional<Moment> lastAnswer;
    int consecutiveTimeouts = 0;
    bool silenced = false;
    quint64 version = 0; // counts the changes of what the record shows

    const Reading *reading(QLatin1StringView code) const;
    // The typed reading's members of every kept query, null where never read.
    QJsonObject values() const;
    // The same keys, each the seconds since its value was read, null where never read.
    QJsonObject ages(Moment now) const;
    // The keys of the values an action may have changed since they were read.
    QStringList staleKeys() const;
};

// The shared line's own counts, which the line's queue feeds.
struct LineCounters
{
    quint64 transactions = 0;
    quint64 timeouts = 0;
    quint64 reusedAnswers = 0;
    quint64 settleWaits = 0;
};

// The live state of every projector the gateway serves, kept from the line's clean
// transactions (whoever asked: a PJLink client, the raw client, the poll, HTTP), so that
// monitoring reads it without touching the line. Pure logic: the caller says when.
class LiveState final : public QObject
{
    Q_OBJECT
public:
    // One record per address served, in order; the broadcast ("all") has none.
    explicit LiveState(const QList<Profile> &served);

    // A clean transaction: `code` went to `prefix` and `reply` came back whole, without
    // its carriage return. A query's reply replaces that query's reading, unless it reads
    // as nothing at all (then the last good reading stays). An action makes readings
    // stale, on every projector for the broadcast prefix "AFFF". Either way, an answer
    // from an address ends its run of time-outs.
    void observe(QByteArrayView prefix, QByteArrayView code, QByteArrayView reply, Moment now);
    // A transaction to `prefix` got no reply in time.
    void observeTimeout(QByteArrayView prefix);
    void setSilenced(QByteArrayView prefix, bool silenced);
    void setLineUp(bool up);
    LineCounters &counters() { return m_counters; }

    bool lineUp() const { return m_lineUp; }
    const LineCounters &counters() const { return m_counters; }
    const std::vector<ProjectorRecord> &records() const { return m_records; }
    const ProjectorRecord *byPrefix(QByteArrayView prefix) const;
    const ProjectorRecord *byWho(QStringView who) const;
    // The reading of `code` if it is at most `within` old and no action made it stale:
    // what a rule that must know the present state may trust without asking again.
    const Reading *recent(QByteArrayView prefix, QLatin1StringView code,
                          std::chrono::milliseconds within, Moment now) const;

signals:
    // What a record shows changed: a value, a value's staleness, the address's reach (its
    // first time-out, or its first answer after time-outs), or its silencing. Reading the
    // same values again changes nothing.
    void changed(const QByteArray &prefix);
    void lineChanged(bool up);

private:
    ProjectorRecord *find(QByteArrayView prefix);
    bool keep(ProjectorRecord &record, QByteArrayView code, QByteArrayView reply, Moment now);
    static bool makeStale(ProjectorRecord &record);
    void touched(ProjectorRecord &record, bool changed);

    std::vector<ProjectorRecord> m_records;
    LineCounters m_counters;
    bool m_lineUp = false;
};

} // namespace tarn::bridge
