#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace tarn {

// A pseudo-terminal made by this process. The program that is to see a serial device
// opens slavePath(); this process holds the master end, the far end of the cable.
//
// The slave is held open as well, in raw mode, so that the line stays up while the
// program on it closes and reopens the device. The master does not block.
class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // Makes the pair. Returns what failed and why, or an empty text.
    QString open();
    bool isOpen() const { return m_master >= 0; }
    int master() const { return m_master; }
    QString slavePath() const { return m_slavePath; }

    // Writes what the line takes now; the rest is lost, as on a cable nobody reads.
    // Returns the count written.
    qsizetype write(QByteArrayView bytes);
    // What has arrived, up to kMaxRead bytes, without waiting; nothing when the line is
    // hung up or failed.
    std::optional<QByteArray> read();
    // The far end goes away: the program on the slave sees the line hang up.
    void close();

    static constexpr qsizetype kMaxRead = qsizetype{64} * 1024;

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

} // namespace tarn
