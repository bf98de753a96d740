#include "replies/decoding.h"

#include "traffic/hexdigit.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <span>

namespace tarn {
namespace {

struct Row
{
    QStringView key;
    QStringView text;
};

// Power status, "CR0".
constexpr std::array kPowerStatus = {
    Row{u" 0 0", u" Power ON"},
    Row{u" 8 0", u" Stand by"},
    Row{u" 4 0", u" Count down"},
    Row{u" 2 0", u" Cooling down"},
    Row{u" 1 0", u" Power abnormality"},
    Row{u" 0 8", u" Temperature abnormality"},
    Row{u" 0 2", u" Key input prohibition"},
    Row{u" 0 4", u" Power save"},
    Row{u" 2 8", u" Temperature abnormality"},
    Row{u" 2 4", u" Cooling down for power save"},
    Row{u" 8 8", u" Temperature abnormality"},
};

// Input mode, "CR1".
constexpr std::array kInputMode = {
    Row{u" 1", u" Input mode 1"},
    Row{u" 2", u" Input mode 2"},
    Row{u" 3", u" Input mode 3"},
    Row{u" 4", u" Input mode 4"},
};

// Picture reversal, "CR4".
constexpr std::array kReversal = {
    Row{u" 1 1", u" Normally"},
    Row{u" 1 0", u" Top/Bottom reversal"},
    Row{u" 0 1", u" Left/Right reversal"},
    Row{u" 0 0", u" Top/Bottom , Left/Right reversal"},
};

// Mute and signal, "CRA".
constexpr std::array kMuteAndSignal = {
    Row{u" 0 0", u" Video & Audio mute OFF"},
    Row{u" 0 1", u" Video mute ON"},
    Row{u" 0 2", u" Audio mute ON"},
    Row{u" 0 3", u" Video & Audio mute ON"},
    Row{u" 8 0", u" No signal"},
    Row{u" F F", u" Stand by"},
};

// Lamp mode, "CR7": the key is " h l", h the lamp mode, l the lamp mask (bit 0 lamp
// No1 ... bit 3 lamp No4) as one upper-case hex digit.
constexpr std::array<QStringView, 3> kLampModePart = {u"4 Lamp mode", u"2 Lamp mode(1,4)",
                                                      u"2 Lamp mode(2,3)"};
constexpr std::array<QStringView, 16> kLampPart = {
    u"All OFF ",   u"No1 ON  ",     u"No2 ON  ",     u"No1,2 ON  ", u"No3 ON  ",   u"No1,3 ON  ",
    u"No2,3 ON  ", u"No1,2,3 ON  ", u"No4 ON  ",     u"No1,4 ON  ", u"No2,4 ON  ", u"No1,2,4 ON  ",
    u"No3,4 ON  ", u"No1,3,4 ON  ", u"No2,3,4 ON  ", u"All ON  ",
};

QString concat(std::initializer_list<QStringView> pieces)
{
    QString text;
    for (const QStringView piece : pieces)
        text.append(piece);
    return text;
}

QStringView keyOf(QStringView source, qsizetype length)
{
    return source.left(length);
}

std::optional<QString> lookUp(std::span<const Row> table, QStringView key)
{
    const auto it = std::ranges::find(table, key, &Row::key);
    if (it == table.end())
        return std::nullopt;
    return it->text.toString();
}

std::optional<QString> lampMode(QStringView source)
{
    const QStringView key = keyOf(source, 4);
    if (key.size() != 4 || key[0] != u' ' || key[2] != u' ')
        return std::nullopt;
    const char16_t h = key[1].unicode();
    const char16_t l = key[3].unicode();
    if (h < u'0' || h > u'2')
        return std::nullopt;
    const int mask = hexValue(l);
    if (mask < 0)
        return std::nullopt;
    return concat({u" ", kLampPart[mask], u": ", kLampModePart[h - u'0']});
}

QString lampHours(QStringView source)
{
    return concat({source.left(38), u" Hour Use"});
}

QString temperatures(QStringView source)
{
    // Reply characters 1 to 5 and 8 to 11, each behind its space; 6 and 7 are skipped.
    const QStringView second = source.size() >= 15 ? source.mid(14, 8) : QStringView();
    return concat({u"  S1=", source.left(10), u" C  ,   S2= ", second, u" C"});
}

// The eight queries, in the order they are matched against the last sent frame, each
// with what its reply turns into.
struct Query
{
    QLatin1StringView code;
    std::optional<QString> (*decode)(QStringView source);
};

constexpr std::array kQueries = {
    Query{QLatin1StringView("CR0"),
          [](QStringView s) {
              return lookUp(kPowerStatus, keyOf(s, 4));
          }},
    Query{QLatin1StringView("CR1"),
          [](QStringView s) {
              return lookUp(kInputMode, keyOf(s, 2));
          }},
    Query{QLatin1StringView("CR4"),
          [](QStringView s) {
              return lookUp(kReversal, keyOf(s, 4));
          }},
    Query{QLatin1StringView("CR3"),
          [](QStringView s) {
              return std::optional(lampHours(s));
          }},
    Query{QLatin1StringView("CR6"),
          [](QStringView s) {
              return std::optional(temperatures(s));
          }},
    Query{QLatin1StringView("CRA"),
          [](QStringView s) {
              return lookUp(kMuteAndSignal, keyOf(s, 4));
          }},
    Query{QLatin1StringView("CR9"),
          [](QStringView s) {
              return std::optional(s.toString());
          }},
    Query{QLatin1StringView("CR7"),
          [](QStringView s) {
              return lampMode(s);
          }},
};

bool isQueryFrame(QByteArrayView frame, QByteArrayView prefix, QLatin1StringView code)
{
    return frame.size() == prefix.size() + code.size() + 1 && frame.startsWith(prefix) &&
           frame.sliced(prefix.size(), code.size()) == QByteArrayView(code.data(), code.size()) &&
           frame.back() == '\r';
}

} // namespace

std::optional<QString> decodeQueryReply(QLatin1StringView readCode, QStringView source)
{
    const auto it = std::ranges::find(kQueries, readCode, &Query::code);
    if (it == kQueries.end())
        return std::nullopt;
    return it->decode(source);
}

std::optional<QString> decodeReply(QStringView source, QByteArrayView sendFrame,
                                   QByteArrayView pjPrefix)
{
    for (const Query &query : kQueries) {
        if (isQueryFrame(sendFrame, pjPrefix, query.code))
            return query.decode(source);
    }
    return std::nullopt;
}

} // namespace tarn
