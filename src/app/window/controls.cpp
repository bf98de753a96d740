#include "controls.h"

#include <QPainter>
#include <qdrawutil.h>

namespace tarn {

void PanelButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPalette &pal = palette();
    const bool sunken = isDown() || isChecked();
    qDrawWinButton(&p, rect(), pal, sunken, &pal.brush(QPalette::Button));

    // Inside the bevel; a caption taller than the button may reach into it.
    QRect text = rect().adjusted(2, 2, -2, -2);
    if (sunken)
        text.translate(1, 1);
    p.setPen(pal.color(QPalette::ButtonText));
    p.drawText(text, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextDontClip, this->text());

    if (hasFocus()) {
        p.setPen(QPen(pal.color(QPalette::ButtonText), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}

DisplayLine::DisplayLine(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setContentsMargins(2, 1, 1, 1);
}

void DisplayLine::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    QPainter p(this);
    p.setPen(Qt::black);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace tarn
