#pragma once

#include <QStringView>
#include <QtGlobal>
#include <span>

namespace tarn::layout {

// The window's controls as data: one row per control, as the designer placed it.
// Positions and sizes are in twips (15 to a pixel at 96 dots per inch); a control in a
// frame is placed relative to the frame's top-left corner. Colours are &H00BBGGRR
// (lowest byte red).

enum class Kind
{
    CommandButton,
    OptionButton,
    Label,
    Frame,
    Image
};
enum class Align
{
    Left,
    Centre,
    Right
};
// What the control does when the operator uses it.
enum class Behaviour
{
    None,
    Click,
    PressRelease
};

inline constexpr quint32 kDefaultColour = 0xFFFFFFFFu; // the window system's standard colour

// A control without a face of its own shows in the font of what it sits in: its frame's,
// or the window's.
struct Font
{
    QStringView face; // empty: inherits (no font of its own)
    double points = 0;
    bool bold = false;
};

struct Control
{
    QStringView name; // designer name, also the widget's objectName
    Kind kind;
    QStringView parent; // enclosing frame's name, or empty for the window
    QStringView caption;
    int left, top, width, height;
    quint32 back = kDefaultColour;
    quint32 fore = kDefaultColour;
    Font font;
    int tab = 0;
    Behaviour behaviour = Behaviour::None;
    Align align = Align::Left; // labels; a button's caption is always centred
    bool border = false;       // single-line border (the display lines)
    bool visibleAtStart = true;
    bool selectedAtStart = false; // option buttons
};

struct Line
{
    QStringView name;
    int x1, y1, x2, y2;
};

inline constexpr QStringView kCaption = u"TARN   HV20 & HV3    CONTROL   Ver.1.31";
inline constexpr quint32 kWindowBack = 0x00C0C0C0;
inline constexpr quint32 kWindowFore = 0x00000000;
inline constexpr Font kWindowFont{u"ＭＳ ゴシック", 9, true};
inline constexpr int kClientWidth = 9495;
inline constexpr int kTwipsPerPixel = 15;

// In creation order, frames before their children.
std::span<const Control> controls();
// The outline of the arrow pad.
std::span<const Line> lines();
inline constexpr quint32 kLineColour = 0x00FF8080;

} // namespace tarn::layout
