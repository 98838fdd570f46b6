#include "editor/AppIcon.h"

#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

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

namespace {

const char *themeName(EditorIcon which)
{
    switch (which) {
    case EditorIcon::Undo: return "edit-undo";
    case EditorIcon::Cut: return "edit-cut";
    case EditorIcon::Copy: return "edit-copy";
    case EditorIcon::Paste: return "edit-paste";
    case EditorIcon::Find: return "edit-find";
    case EditorIcon::Replace: return "edit-find-replace";
    case EditorIcon::Favourites: return "emblem-favorite";
    case EditorIcon::AlignLeft: return "format-justify-left";
    case EditorIcon::AlignCenter: return "format-justify-center";
    case EditorIcon::AlignRight: return "format-justify-right";
    case EditorIcon::Bullets: return "format-list-unordered";
    case EditorIcon::DefaultFont: return "preferences-desktop-font";
    case EditorIcon::DefaultColor: return "color-select";
    }
    return "";
}

// Lines of text as bars, placed left, centred or right.
void paintBars(QPainter &p, qreal s, int align)
{
    const qreal widths[4] = {12, 8, 12, 6};
    for (int i = 0; i < 4; ++i) {
        const qreal w = widths[i] * s;
        const qreal x = align == 0 ? 2 * s : align == 1 ? (16 * s - w) / 2 : 14 * s - w;
        p.drawLine(QPointF(x, (3 + 3.3 * i) * s), QPointF(x + w, (3 + 3.3 * i) * s));
    }
}

QPixmap paintIcon(EditorIcon which, int size)
{
    QPixmap pix(size, size);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 16.0;
    const QColor ink(0x3A, 0x3F, 0x44);
    p.setPen(QPen(ink, 1.4 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    switch (which) {
    case EditorIcon::Undo: {
        QPainterPath path(QPointF(4 * s, 6 * s));
        path.cubicTo(QPointF(8 * s, 2 * s), QPointF(15 * s, 5 * s), QPointF(12 * s, 13 * s));
        p.drawPath(path);
        p.drawLine(QPointF(4 * s, 6 * s), QPointF(4.5 * s, 2 * s));
        p.drawLine(QPointF(4 * s, 6 * s), QPointF(8 * s, 6.5 * s));
        break;
    }
    case EditorIcon::Cut:
        p.drawEllipse(QRectF(2 * s, 10 * s, 4 * s, 4 * s));
        p.drawEllipse(QRectF(10 * s, 10 * s, 4 * s, 4 * s));
        p.drawLine(QPointF(5.5 * s, 10.5 * s), QPointF(11 * s, 2 * s));
        p.drawLine(QPointF(10.5 * s, 10.5 * s), QPointF(5 * s, 2 * s));
        break;
    case EditorIcon::Copy:
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2 * s, 2 * s, 8 * s, 9 * s));
        p.drawRect(QRectF(6 * s, 5 * s, 8 * s, 9 * s));
        break;
    case EditorIcon::Paste:
        p.setBrush(QColor(0xC8, 0x9B, 0x5A));
        p.drawRoundedRect(QRectF(2.5 * s, 3 * s, 9 * s, 11.5 * s), 1.5 * s, 1.5 * s);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6.5 * s, 6 * s, 7 * s, 8.5 * s));
        p.drawRect(QRectF(5 * s, 1.5 * s, 4 * s, 2.5 * s));
        break;
    case EditorIcon::Find:
    case EditorIcon::Replace:
        p.drawEllipse(QRectF(2 * s, 2 * s, 8 * s, 8 * s));
        p.setPen(QPen(ink, 2.2 * s, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9 * s, 9 * s), QPointF(14 * s, 14 * s));
        if (which == EditorIcon::Replace) {
            p.setPen(QPen(QColor(0x2E, 0x7D, 0x32), 1.6 * s));
            p.drawLine(QPointF(11 * s, 3 * s), QPointF(15 * s, 3 * s));
            p.drawLine(QPointF(13 * s, 1 * s), QPointF(15 * s, 3 * s));
        }
        break;
    case EditorIcon::Favourites: {
        QPainterPath star;
        for (int i = 0; i < 10; ++i) {
            const qreal r = (i % 2 ? 3 : 7) * s;
            const qreal a = -M_PI / 2 + i * M_PI / 5;
            const QPointF pt(8 * s + r * std::cos(a), 8.5 * s + r * std::sin(a));
            i == 0 ? star.moveTo(pt) : star.lineTo(pt);
        }
        star.closeSubpath();
        p.setBrush(QColor(0xF2, 0xB6, 0x1F));
        p.setPen(QPen(QColor(0xA6, 0x73, 0x0A), 1 * s));
        p.drawPath(star);
        break;
    }
    case EditorIcon::AlignLeft:
        paintBars(p, s, 0);
        break;
    case EditorIcon::AlignCenter:
        paintBars(p, s, 1);
        break;
    case EditorIcon::AlignRight:
        paintBars(p, s, 2);
        break;
    case EditorIcon::Bullets:
        for (int i = 0; i < 3; ++i) {
            const qreal y = (3.5 + 4.5 * i) * s;
            p.setBrush(ink);
            p.drawEllipse(QPointF(3 * s, y), 1.2 * s, 1.2 * s);
            p.drawLine(QPointF(6.5 * s, y), QPointF(14 * s, y));
        }
        break;
    case EditorIcon::DefaultFont: {
        QFont f(QStringLiteral("Sans Serif"));
        f.setPixelSize(static_cast<int>(13 * s));
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRectF(0, 0, 16 * s, 16 * s), Qt::AlignCenter, QStringLiteral("A"));
        break;
    }
    case EditorIcon::DefaultColor: {
        const QColor colours[4] = {QColor(0xD3, 0x2F, 0x2F), QColor(0x38, 0x8E, 0x3C), QColor(0x19, 0x76, 0xD2),
                                   QColor(0xFB, 0xC0, 0x2D)};
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 4; ++i) {
            p.setBrush(colours[i]);
            p.drawRect(QRectF((2 + 6.5 * (i % 2)) * s, (2 + 6.5 * (i / 2)) * s, 5.5 * s, 5.5 * s));
        }
        break;
    }
    }
    p.end();
    return pix;
}

} // namespace

QIcon themedIcon(const char *name, const QIcon &fallback)
{
    static const bool themed = [] {
        // Without a desktop session Qt knows no theme; the one most desktops ship stands in.
        if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
            QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
        return true;
    }();
    (void)themed;
    const QIcon theme = QIcon::fromTheme(QLatin1String(name));
    return theme.isNull() ? fallback : theme;
}

QIcon editorIcon(EditorIcon which)
{
    const QIcon theme = themedIcon(themeName(which), QIcon());
    if (!theme.isNull())
        return theme;
    QIcon icon;
    for (const int size : {16, 24, 32})
        icon.addPixmap(paintIcon(which, size));
    return icon;
}

} // namespace kelpa::editor
