#pragma once

#include <QString>

namespace tarn {

// The result of one step that can fail: success, or a failure with a description
// that names the device and the system's reason ("Cannot open /dev/ttyS1: No such
// file or directory"). A handler that gets a failure stops at that step and hands it
// on; the panel reports it where the event was dispatched.
class [[nodiscard]] Outcome
{
public:
    Outcome() = default;
    static Outcome failure(QString description) { return Outcome(std::move(description)); }

    bool ok() const { return m_description.isNull(); }
    explicit operator bool() const { return ok(); }
    const QString &description() const { return m_description; }

private:
    explicit Outcome(QString description)
        : m_description(description.isNull() ? QStringLiteral("") : std::move(description))
    {}
    QString m_description; // null while the step succeeded
};

} // namespace tarn
