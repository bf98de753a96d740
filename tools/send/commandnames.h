#pragma once

#include <QByteArray>
#include <QLatin1StringView>
#include <QString>
#include <QStringView>
#include <optional>
#include <span>
#include <vector>

namespace tarn::send {

// A button of the panel under the name tarn-send knows it by.
struct NamedCommand
{
    QString name;      // e.g. "power-on", "lens-shift-up"
    QStringView group; // caption of the group on the panel, or empty
    QStringView caption;
    QLatin1StringView code;
    bool held = false; // a hold-to-repeat button: tarn-send sends it once, as one press
};

// A second, friendlier name for a button.
struct Alias
{
    QLatin1StringView alias;
    QLatin1StringView name;
};

// The name of the button captioned `caption` in `group`: the group (if any) and the
// caption, each through the short list of words that cannot stand in a name ("+", "-",
// the arrows, "INPUT MODE SET"), in lower case, with every run of other characters than
// letters and digits turned into one dash. "POWER" "ON" gives "power-on", "D.Zoom" "+"
// gives "d-zoom-up", "PC type" gives "pc-type".
QString commandName(QStringView group, QStringView caption);

// Every button of the panel with its name: the one-shot buttons, then the held ones, each
// in the order of the panel's catalogue.
const std::vector<NamedCommand> &namedCommands();

std::span<const Alias> aliases();

// A three-character code as it goes on the line: "C" and two upper-case hexadecimal
// digits (an action), or "CR" and one upper-case letter or digit (a query).
bool isCommandCode(QStringView text);

// The code that a command-line word stands for: a button's name (in any letter case),
// an alias, or a code typed as it is. Nothing for anything else.
std::optional<QByteArray> resolveCommand(QStringView word);

} // namespace tarn::send
