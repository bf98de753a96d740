#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>

namespace tarn::layout {
struct Font;
}

namespace tarn::look {

// The window's look on this window system: the Fusion style, and the Japanese gothic
// faces of the design mapped to the IPA faces. Safe to call more than once.
void prepareApplication();

// &H00BBGGRR (lowest byte red) as a colour.
QColor colour(quint32 bgr);

// Twips to device-independent pixels (15 to a pixel), to the nearest pixel. A rectangle
// is converted edge by edge, so that controls placed edge to edge stay edge to edge.
int pixels(int twips);
QRect pixels(int left, int top, int width, int height);

// The design's font: face as written, size in points and weight.
QFont font(const layout::Font &font);

// The picture shown in Image1: 80 x 26 pixels, 24-bit colour, drawn here.
QImage picture();

} // namespace tarn::look
