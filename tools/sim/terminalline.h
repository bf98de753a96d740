#pragma once

#include "pseudoterminal.h"

#include <QSocketNotifier>
#include <memory>

namespace tarn::sim {

class Simulator;

// The simulator's end of a pseudo-terminal. The pseudo-terminal keeps its other end open
// as well, so the line stays up while clients come and go.
class TerminalLine
{
public:
    // Makes the pseudo-terminal; returns what went wrong, if anything.
    QString open() { return m_terminal.open(); }
    // The device clients open.
    QString device() const { return m_terminal.slavePath(); }
    void attach(Simulator &simulator);
    // Bytes that do not fit because nobody reads them are lost, as on a real line.
    void write(const QByteArray &bytes) { m_terminal.write(bytes); }

private:
    PseudoTerminal m_terminal;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace tarn::sim
