#include "editor/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kelpa::editor {

QIcon appIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        QPixmap pix(size, size);
        pix.fill(Qt::transparent);
        QPainter p(&pix);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal s = size / 32.0;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1E, 0x5A, 0x8C));
        p.drawRoundedRect(QRectF(1 * s, 1 * s, 30 * s, 30 * s), 5 * s, 5 * s);
        // Three fronds of kelp.
        QPen frond(QColor(0x7C, 0xC5, 0x4A), 3.2 * s, Qt::SolidLine, Qt::RoundCap);
        p.setPen(frond);
        p.setBrush(Qt::NoBrush);
        for (int i = 0; i < 3; ++i) {
            const qreal x = (9 + 7 * i) * s;
            QPainterPath path(QPointF(x, 29 * s));
            path.cubicTo(QPointF(x - 5 * s, 20 * s), QPointF(x + 5 * s, 14 * s), QPointF(x - 1 * s, (5 + 2 * i) * s));
            p.drawPath(path);
        }
        p.end();
        icon.addPixmap(pix);
    }
    return icon;
}

QIcon passwordIcon()
{
    QPixmap pix(16, 16);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x8A, 0x6D, 0x1E), 2));
    p.setBrush(QColor(0xE8, 0xC0, 0x3A));
    p.drawEllipse(QRectF(1.5, 4.5, 6, 6));
    p.drawLine(QPointF(7.5, 7.5), QPointF(14.5, 7.5));
    p.drawLine(QPointF(12.5, 7.5), QPointF(12.5, 11));
    p.drawLine(QPointF(10, 7.5), QPointF(10, 10));
    p.end();
    return QIcon(pix);
}

} // namespace kelpa::editor
