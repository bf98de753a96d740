#include "look.h"

#include "app/layout.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleFactory>

namespace tarn::look {

void prepareApplication()
{
    if (QApplication::style()->name().compare(u"fusion", Qt::CaseInsensitive) != 0)
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    // The design's faces, monospaced and proportional, and what stands in for them here.
    // The first installed face of each list is used.
    QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"),
                               {QStringLiteral("IPAGothic"), QStringLiteral("IPAexGothic"),
                                QStringLiteral("Noto Sans Mono CJK JP")});
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("IPAexGothic"),
                                QStringLiteral("Noto Sans CJK JP")});
}

QColor colour(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

int pixels(int twips)
{
    return qRound(twips / double(layout::kTwipsPerPixel));
}

QRect pixels(int left, int top, int width, int height)
{
    const int x = pixels(left);
    const int y = pixels(top);
    return QRect(x, y, pixels(left + width) - x, pixels(top + height) - y);
}

QFont font(const layout::Font &design)
{
    QFont font(design.face.toString());
    font.setPointSizeF(design.points);
    font.setBold(design.bold);
    return font;
}

QImage picture()
{
    // A projector throwing its beam onto a screen of three colour bars.
    QImage image(80, 26, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, 26);
    sky.setColorAt(0, QColor(0x10, 0x20, 0x58));
    sky.setColorAt(1, QColor(0x04, 0x08, 0x20));
    p.fillRect(image.rect(), sky);

    QPainterPath beam;
    beam.moveTo(21, 11);
    beam.lineTo(52, 3);
    beam.lineTo(52, 23);
    beam.lineTo(21, 15);
    beam.closeSubpath();
    QLinearGradient light(21, 0, 52, 0);
    light.setColorAt(0, QColor(255, 250, 200, 230));
    light.setColorAt(1, QColor(255, 250, 200, 60));
    p.fillPath(beam, light);

    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
    p.setBrush(QColor(0xB8, 0xB8, 0xC0));
    p.drawRoundedRect(QRectF(3.5, 8.5, 16, 10), 2, 2);
    p.setBrush(QColor(0x60, 0x70, 0x90));
    p.drawEllipse(QPointF(17, 13.5), 3.5, 3.5);
    p.fillRect(QRectF(6, 18.5, 2, 3), QColor(0x50, 0x50, 0x50));
    p.fillRect(QRectF(14, 18.5, 2, 3), QColor(0x50, 0x50, 0x50));

    const QRect screen(53, 3, 24, 20);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(screen, Qt::white);
    const QColor bars[] = {QColor(0xE0, 0x30, 0x30), QColor(0x30, 0xC0, 0x40),
                           QColor(0x30, 0x50, 0xE0)};
    for (int i = 0; i < 3; ++i)
        p.fillRect(QRect(screen.left() + 2 + i * 7, screen.top() + 2, 6, screen.height() - 4),
                   bars[i]);
    p.end();
    return image.convertToFormat(QImage::Format_RGB888);
}

} // namespace tarn::look
