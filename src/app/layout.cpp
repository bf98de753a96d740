#include "app/layout.h"

#include <array>

namespace tarn::layout {
namespace {

using enum Kind;
using enum Align;
using enum Behaviour;

constexpr quint32 kGrey = 0x00C0C0C0;
constexpr quint32 kWhite = 0x00FFFFFF;

constexpr Font kInherit{};
constexpr Font kGothic8_25{u"ＭＳ ゴシック", 8.25, false};
constexpr Font kGothic8_25Bold{u"ＭＳ ゴシック", 8.25, true};
constexpr Font kGothic9{u"ＭＳ ゴシック", 9, false};
constexpr Font kPGothic7_5{u"ＭＳ Ｐゴシック", 7.5, false};
constexpr Font kPGothic9{u"ＭＳ Ｐゴシック", 9, false};
constexpr Font kPGothic9Bold{u"ＭＳ Ｐゴシック", 9, true};
constexpr Font kPGothic9_75Bold{u"ＭＳ Ｐゴシック", 9.75, true};

// One helper per kind of row, so that each row below reads like the designer's sheet.
// Frames, labels and option buttons sit on the window's grey unless said otherwise.

constexpr Control frame(QStringView name, QStringView parent, int left, int top, int width,
                        int height, Font font, int tab, quint32 fore = kDefaultColour)
{
    return {name, Frame, parent, {}, left, top, width, height, kGrey, fore, font, tab};
}

constexpr Control label(QStringView name, QStringView parent, QStringView caption, int left,
                        int top, int width, int height, Font font, int tab, Align align = Left,
                        quint32 fore = kDefaultColour)
{
    return {name,   Label, parent, caption, left, top,  width,
            height, kGrey, fore,   font,    tab,  None, align};
}

// A one-line display the program writes to: white, with a single-line border.
constexpr Control display(QStringView name, QStringView parent, int left, int top, int width,
                          int height, Font font, int tab, quint32 fore = kDefaultColour)
{
    return {name,   Label, parent, {},  left, top,  width, height,
            kWhite, fore,  font,   tab, None, Left, true};
}

constexpr Control click(QStringView name, QStringView parent, QStringView caption, int left,
                        int top, int width, int height, quint32 back, Font font, int tab)
{
    return {name,   CommandButton, parent,         caption, left, top,  width,
            height, back,          kDefaultColour, font,    tab,  Click};
}

constexpr Control hold(QStringView name, QStringView parent, QStringView caption, int left, int top,
                       int width, int height, quint32 back, Font font, int tab)
{
    return {name,   CommandButton, parent,         caption, left, top,         width,
            height, back,          kDefaultColour, font,    tab,  PressRelease};
}

constexpr Control option(QStringView name, QStringView parent, QStringView caption, int left,
                         int top, int width, int height, Font font, int tab)
{
    return {name,   OptionButton, parent,         caption, left, top,  width,
            height, kGrey,        kDefaultColour, font,    tab,  Click};
}

// A picture has no tab position and no behaviour.
constexpr Control image(QStringView name, QStringView parent, int left, int top, int width,
                        int height)
{
    return {name, Image, parent, {}, left, top, width, height, kGrey, kDefaultColour, kInherit};
}

constexpr Control hidden(Control control)
{
    control.visibleAtStart = false;
    return control;
}

constexpr Control selected(Control control)
{
    control.selectedAtStart = true;
    return control;
}

// clang-format off
constexpr std::array kControls = {
    // POWER, INPUT MODE SET and MENU (top row), and the picture
    frame(u"Frame1", u"", 120, 240, 1695, 975, kPGothic9, 0, 0x00808080),
    label(u"Label1", u"Frame1", u"POWER", 240, 240, 1095, 255, kInherit, 2, Centre, 0x000000C0),
    click(u"Command17", u"Frame1", u"ON", 120, 600, 615, 300, 0x00C0FFC0, kPGothic9Bold, 1),
    click(u"Command18", u"Frame1", u"OFF", 960, 600, 615, 300, 0x00C0C0FF, kPGothic9Bold, 27),
    frame(u"Frame2", u"", 2160, 240, 3132, 975, kPGothic9, 3),
    label(u"Label2", u"Frame2", u"INPUT MODE SET", 600, 240, 1935, 255, kInherit, 4, Centre),
    click(u"Command27", u"Frame2", u"1", 240, 600, 495, 300, 0x00FFFFC0, kPGothic9Bold, 36),
    click(u"Command28", u"Frame2", u"2", 960, 600, 495, 300, 0x00FFFFC0, kPGothic9Bold, 37),
    click(u"Command29", u"Frame2", u"3", 1680, 600, 495, 300, 0x00FFFFC0, kPGothic9Bold, 38),
    click(u"Command53", u"Frame2", u"4", 2400, 600, 495, 300, 0x00FFFFC0, kPGothic9Bold, 68),
    frame(u"Frame6", u"", 5640, 240, 1695, 975, kPGothic9, 14),
    label(u"Label7", u"Frame6", u"MENU", 360, 240, 975, 255, kInherit, 15, Centre),
    click(u"Command23", u"Frame6", u"ON", 120, 600, 615, 300, 0x00C0FFC0, kPGothic9Bold, 32),
    click(u"Command24", u"Frame6", u"OFF", 960, 600, 615, 300, 0x00C0C0FF, kPGothic9Bold, 33),
    image(u"Image1", u"", 8160, 120, 1200, 390),

    // SOUND MUTE, NO SHOW, FREEZE and AV Size (second row)
    frame(u"Frame3", u"", 120, 1440, 1695, 855, kPGothic9, 8),
    label(u"Label4", u"Frame3", u"SOUND MUTE", 120, 195, 1455, 300, kInherit, 9, Centre),
    click(u"Command19", u"Frame3", u"ON", 120, 480, 615, 300, 0x00C0FFC0, kPGothic9Bold, 28),
    click(u"Command20", u"Frame3", u"OFF", 960, 480, 615, 300, 0x00C0C0FF, kPGothic9Bold, 29),
    frame(u"Frame4", u"", 1920, 1440, 1695, 855, kPGothic9, 10),
    label(u"Label5", u"Frame4", u"NO SHOW", 360, 210, 1095, 285, kInherit, 11, Centre),
    click(u"Command21", u"Frame4", u"ON", 120, 480, 615, 300, 0x00C0FFC0, kPGothic9Bold, 30),
    click(u"Command22", u"Frame4", u"OFF", 960, 480, 615, 300, 0x00C0C0FF, kPGothic9Bold, 31),
    frame(u"Frame7", u"", 3720, 1440, 1695, 855, kPGothic9, 22),
    label(u"Label8", u"Frame7", u"FREEZE", 240, 210, 1215, 285, kInherit, 23, Centre),
    click(u"Command25", u"Frame7", u"ON", 120, 480, 615, 300, 0x00C0FFC0, kPGothic9Bold, 34),
    click(u"Command26", u"Frame7", u"OFF", 960, 480, 615, 300, 0x00C0C0FF, kPGothic9Bold, 35),
    frame(u"Frame5", u"", 5520, 1440, 1815, 855, kPGothic9, 12),
    label(u"Label6", u"Frame5", u"AV Size", 240, 210, 1335, 285, kInherit, 13, Centre),
    click(u"Command31", u"Frame5", u"Regular", 120, 480, 855, 300, 0x00FFFFC0, kPGothic9, 39),
    click(u"Command32", u"Frame5", u"Wide", 1080, 480, 615, 300, 0x00FFFFC0, kPGothic9, 40),

    // LENS SHIFT
    frame(u"Frame10", u"", 7680, 600, 1692, 1695, kPGothic7_5, 75),
    label(u"Label20", u"Frame10", u"LENS SHIFT", 120, 195, 1455, 300, kInherit, 80, Centre),
    hold(u"Command59", u"Frame10", u"↑", 600, 600, 492, 252, 0x00C0E0FF, kPGothic7_5, 76),
    hold(u"Command60", u"Frame10", u"←", 240, 960, 492, 252, 0x00C0E0FF, kPGothic7_5, 77),
    hold(u"Command61", u"Frame10", u"→", 960, 960, 492, 252, 0x00C0E0FF, kPGothic7_5, 78),
    hold(u"Command62", u"Frame10", u"↓", 588, 1320, 492, 252, 0x00C0E0FF, kPGothic7_5, 79),

    // Arrow pad
    hold(u"Command5", u"", u"↑", 1200, 2520, 855, 375, 0x00C0E0FF, kPGothic9Bold, 17),
    hold(u"Command9", u"", u"←", 240, 3000, 855, 375, 0x00C0E0FF, kPGothic9Bold, 21),
    hold(u"Command6", u"", u"SELECT", 1200, 3000, 855, 375, 0x000080FF, kGothic9, 18),
    hold(u"Command8", u"", u"→", 2160, 3000, 855, 375, 0x00C0E0FF, kPGothic9Bold, 20),
    hold(u"Command7", u"", u"↓", 1200, 3480, 855, 375, 0x00C0E0FF, kPGothic9Bold, 19),

    // Adjustment pairs
    label(u"Label3", u"", u"VOL", 3600, 2520, 495, 255, kInherit, 7, Centre),
    hold(u"Command1", u"", u"+", 3600, 2880, 375, 255, 0x0080C0FF, kInherit, 5),
    hold(u"Command2", u"", u"-", 3600, 3240, 375, 255, 0x0080C0FF, kInherit, 6),
    label(u"Label13", u"", u"Zoom", 4440, 2520, 492, 252, kGothic9, 53),
    hold(u"Command15", u"", u"+", 4440, 2880, 375, 255, 0x00FFFFC0, kGothic9, 51),
    hold(u"Command35", u"", u"-", 4440, 3240, 375, 255, 0x00FFFFC0, kGothic9, 52),
    label(u"Label14", u"", u"Focus", 5280, 2520, 615, 255, kGothic9, 56),
    hold(u"Command36", u"", u"+", 5280, 2880, 375, 255, 0x00FFFFC0, kGothic9, 54),
    hold(u"Command37", u"", u"-", 5280, 3240, 375, 255, 0x00FFFFC0, kGothic9, 55),
    label(u"Label17", u"", u"D.Zoom", 6360, 2520, 735, 255, kGothic9, 64),
    hold(u"Command48", u"", u"+", 6480, 2880, 375, 255, 0x00FFFFC0, kPGothic9, 62),
    hold(u"Command49", u"", u"-", 6480, 3240, 375, 255, 0x00FFFFC0, kGothic9, 63),
    label(u"Label18", u"", u"Keystone", 7320, 2520, 855, 255, kGothic9, 67),
    hold(u"Command50", u"", u"+", 7440, 2880, 375, 255, 0x00FFFFC0, kGothic9, 65),
    hold(u"Command51", u"", u"-", 7440, 3240, 375, 255, 0x00FFFFC0, kGothic9, 66),

    // Right-hand column and lamp selection
    click(u"Command13", u"", u"A-IMAGE", 8400, 2520, 975, 250, 0x00C0C000, kGothic9, 24),
    click(u"Command30", u"", u"IMAGE", 8400, 2880, 975, 255, 0x00FFC0C0, kGothic9, 93),
    click(u"Command43", u"", u"CURSOL", 8400, 3120, 975, 255, 0x00FFC0C0, kGothic9, 57),
    click(u"Command14", u"", u"P-TIMER", 8400, 3360, 975, 250, 0x00FFC0C0, kGothic9, 25),
    click(u"Command3", u"", u"DISPLAY CLEAR", 8400, 3600, 975, 492, 0x00FFC0C0, kGothic9, 16),
    click(u"Command16", u"", u"END", 8400, 4320, 975, 375, kGrey, kInherit, 26),
    label(u"Label19", u"", u"LAMP SELECT", 6600, 3720, 1332, 252, kGothic9, 74),
    click(u"Command56", u"", u"4 LAMP", 6600, 3960, 1200, 372, 0x00C0FFFF, kGothic9, 71),
    click(u"Command57", u"", u"1-4", 6600, 4320, 606, 372, 0x00C0FFFF, kGothic9, 72),
    click(u"Command58", u"", u"2-3", 7200, 4320, 606, 372, 0x00C0FFFF, kGothic9, 73),

    // Port selection: Frame8 comes after Command33 so that it covers it
    click(u"Command33", u"", u"COM", 4080, 4200, 1815, 375, kDefaultColour, kPGothic9, 41),
    hidden(frame(u"Frame8", u"", 3480, 3600, 2775, 1185, kPGothic9, 42)),
    option(u"Option1", u"Frame8", u"COM1", 240, 240, 1215, 255, kInherit, 43),
    option(u"Option2", u"Frame8", u"COM2", 1560, 240, 1095, 255, kInherit, 44),
    frame(u"Frame13", u"Frame8", 120, 480, 2535, 615, kInherit, 95),
    selected(option(u"Option9", u"Frame13", u"19200", 120, 240, 1095, 255, kInherit, 96)),
    option(u"Option10", u"Frame13", u"9600", 1440, 240, 975, 300, kInherit, 97),

    // Traffic monitor and view toggle
    frame(u"Frame9", u"", 45, 4830, 6312, 936, kPGothic9, 45),
    label(u"Label9", u"Frame9", u"TXD", 105, 210, 390, 285, kGothic9, 46, Right),
    display(u"Label11", u"Frame9", 600, 180, 5610, 300, kPGothic9_75Bold, 48),
    label(u"Label10", u"Frame9", u"RXD", 75, 555, 450, 300, kGothic9, 47, Right),
    display(u"Label12", u"Frame9", 600, 540, 5616, 300, kPGothic9_75Bold, 49),
    hidden(click(u"Command34", u"", u"データを表示する", 6600, 5040, 1200, 375, kGrey, kPGothic9, 50)),

    // Query buttons
    click(u"Command44", u"", u"STATUS", 6480, 5640, 975, 255, 0x00FFFFC0, kGothic8_25Bold, 58),
    click(u"Command46", u"", u"L-TIME", 7440, 5640, 975, 255, 0x00FFFFC0, kGothic8_25Bold, 60),
    click(u"Command54", u"", u"TEMP", 8400, 5640, 975, 252, 0x00FFFFC0, kGothic8_25Bold, 69),
    click(u"Command45", u"", u"MODE", 6480, 5880, 975, 255, 0x00FFFFC0, kGothic8_25Bold, 59),
    click(u"Command47", u"", u"SETTING", 7440, 5880, 975, 255, 0x00FFFFC0, kGothic8_25Bold, 61),
    click(u"Command55", u"", u"L-MODE", 8400, 5880, 975, 252, 0x00FFFFC0, kGothic8_25Bold, 70),
    click(u"Command12", u"", u"SETTING 2", 8160, 6240, 1215, 252, 0x00FFFFC0, kGothic8_25Bold, 92),
    click(u"Command38", u"", u"PC type", 7080, 6240, 1095, 255, 0x00FFFFC0, kGothic8_25Bold, 94),

    // STATUS line
    frame(u"Frame12", u"", 75, 5760, 6288, 465, kPGothic7_5, 89),
    label(u"Label23", u"Frame12", u"STATUS", 75, 180, 795, 225, kGothic8_25, 91),
    display(u"Label22", u"Frame12", 900, 120, 5295, 300, kPGothic9Bold, 90, 0x000000FF),

    // PJ Select
    frame(u"Frame11", u"", 75, 6225, 6765, 465, kPGothic7_5, 81),
    label(u"Label21", u"Frame11", u"PJ Select", 60, 150, 1050, 255, kGothic8_25, 82),
    selected(option(u"Option3", u"Frame11", u"SINGLE", 1155, 168, 1095, 225, kGothic8_25, 83)),
    option(u"Option4", u"Frame11", u"ALL", 2280, 165, 855, 225, kGothic8_25, 84),
    option(u"Option5", u"Frame11", u"001", 3240, 180, 735, 225, kGothic8_25, 85),
    option(u"Option6", u"Frame11", u"002", 4080, 180, 735, 225, kGothic8_25, 86),
    option(u"Option7", u"Frame11", u"003", 4920, 180, 795, 225, kGothic8_25, 87),
    option(u"Option8", u"Frame11", u"004", 5880, 180, 795, 225, kGothic8_25, 88),
};

// Twelve lines forming the outline of a plus sign around the arrow pad.
constexpr std::array kLines = {
    Line{u"Line1", 1080, 2400, 1080, 2880},
    Line{u"Line2", 2160, 2400, 2160, 2880},
    Line{u"Line3", 3120, 2880, 3120, 3480},
    Line{u"Line4", 2160, 3480, 2160, 3960},
    Line{u"Line5", 1080, 3480, 1080, 3960},
    Line{u"Line6", 120, 2880, 120, 3480},
    Line{u"Line7", 1080, 2400, 2160, 2400},
    Line{u"Line8", 120, 2880, 1080, 2880},
    Line{u"Line9", 2160, 2880, 3120, 2880},
    Line{u"Line10", 120, 3480, 1080, 3480},
    Line{u"Line11", 1080, 3960, 2160, 3960},
    Line{u"Line12", 2160, 3480, 3120, 3480},
};
// clang-format on

} // namespace

std::span<const Control> controls()
{
    return kControls;
}
std::span<const Line> lines()
{
    return kLines;
}

} // namespace tarn::layout
