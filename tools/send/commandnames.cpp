#include "commandnames.h"

#include "commands/catalogue.h"
#include "traffic/hexdigit.h"

#include <algorithm>
#include <array>

namespace tarn::send {
namespace {

using L = QLatin1StringView;

// The words of the panel that do not make a name by themselves.
struct Replacement
{
    QStringView panel;
    QStringView name;
};

constexpr std::array kReplacements = {
    Replacement{u"+", u"up"},
    Replacement{u"-", u"down"},
    Replacement{u"↑", u"up"},
    Replacement{u"↓", u"down"},
    Replacement{u"←", u"left"},
    Replacement{u"→", u"right"},
    Replacement{u"INPUT MODE SET", u"input"},
};

constexpr std::array kAliases = {
    Alias{L("lamp-time"), L("l-time")},
    Alias{L("lamp-mode"), L("l-mode")},
    Alias{L("cursor"), L("cursol")},
};

QStringView replaced(QStringView word)
{
    const auto it = std::ranges::find(kReplacements, word, &Replacement::panel);
    return it == kReplacements.end() ? word : it->name;
}

bool isNameCharacter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
}

} // namespace

QString commandName(QStringView group, QStringView caption)
{
    const QString words =
        (replaced(group).toString() + u' ' + replaced(caption).toString()).toLower();
    QString name;
    bool dash = false;
    for (const QChar c : words) {
        if (!isNameCharacter(c)) {
            dash = !name.isEmpty();
            continue;
        }
        if (dash)
            name += u'-';
        name += c;
        dash = false;
    }
    return name;
}

const std::vector<NamedCommand> &namedCommands()
{
    static const std::vector<NamedCommand> kNamed = [] {
        std::vector<NamedCommand> named;
        for (const OneShotButton &b : oneShotButtons())
            named.push_back({commandName(b.group, b.caption), b.group, b.caption, b.code, false});
        for (const HoldButton &b : holdButtons())
            named.push_back({commandName(b.group, b.caption), b.group, b.caption, b.code, true});
        return named;
    }();
    return kNamed;
}

std::span<const Alias> aliases()
{
    return kAliases;
}

bool isCommandCode(QStringView text)
{
    if (text.size() != 3 || text[0] != u'C')
        return false;
    const auto isHex = [](QChar c) {
        return hexValue(c.unicode()) >= 0;
    };
    if (text[1] == u'R')
        return isHex(text[2]) || (text[2] >= u'G' && text[2] <= u'Z');
    return isHex(text[1]) && isHex(text[2]);
}

std::optional<QByteArray> resolveCommand(QStringView word)
{
    if (isCommandCode(word))
        return word.toLatin1();
    QString name = word.toString().toLower();
    if (const auto alias = std::ranges::find(kAliases, name, &Alias::alias);
        alias != kAliases.end())
        name = alias->name;
    const auto &named = namedCommands();
    const auto it = std::ranges::find(named, name, &NamedCommand::name);
    if (it == named.end())
        return std::nullopt;
    return QByteArray(it->code.data(), it->code.size());
}

} // namespace tarn::send
