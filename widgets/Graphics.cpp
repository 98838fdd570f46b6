#include "widgets/Graphics.h"

#include <QGuiApplication>

namespace kelpa::widgets {

namespace {

bool paletteColor(int index, const QPalette &p, QColor &out)
{
    using R = QPalette::ColorRole;
    switch (index) {
    case COLOR_SCROLLBAR:
    case COLOR_MENU:
    case COLOR_ACTIVEBORDER:
    case COLOR_INACTIVEBORDER:
    case COLOR_MENUBAR: out = p.color(R::Window); return true;
    case COLOR_BACKGROUND:
    case COLOR_APPWORKSPACE: out = p.color(R::Dark); return true;
    case COLOR_ACTIVECAPTION:
    case COLOR_GRADIENTACTIVECAPTION:
    case COLOR_HIGHLIGHT:
    case COLOR_MENUHILIGHT: out = p.color(QPalette::Active, R::Highlight); return true;
    case COLOR_INACTIVECAPTION:
    case COLOR_GRADIENTINACTIVECAPTION: out = p.color(R::Mid); return true;
    case COLOR_WINDOW: out = p.color(R::Base); return true;
    case COLOR_WINDOWFRAME:
    case COLOR_3DDKSHADOW: out = p.color(R::Shadow); return true;
    case COLOR_MENUTEXT: out = p.color(R::WindowText); return true;
    case COLOR_WINDOWTEXT: out = p.color(R::Text); return true;
    case COLOR_CAPTIONTEXT:
    case COLOR_HIGHLIGHTTEXT: out = p.color(QPalette::Active, R::HighlightedText); return true;
    case COLOR_BTNFACE: out = p.color(R::Button); return true;
    case COLOR_BTNSHADOW: out = p.color(R::Dark); return true;
    case COLOR_GRAYTEXT: out = p.color(QPalette::Disabled, R::Text); return true;
    case COLOR_BTNTEXT: out = p.color(R::ButtonText); return true;
    case COLOR_INACTIVECAPTIONTEXT: out = p.color(QPalette::Inactive, R::WindowText); return true;
    case COLOR_BTNHIGHLIGHT: out = p.color(R::Light); return true;
    case COLOR_3DLIGHT: out = p.color(R::Midlight); return true;
    case COLOR_INFOTEXT: out = p.color(R::ToolTipText); return true;
    case COLOR_INFOBK: out = p.color(R::ToolTipBase); return true;
    case COLOR_HOTLIGHT: out = p.color(R::Link); return true;
    default: return false;
    }
}

} // namespace

TColor ColorToRGB(TColor color, const QPalette &palette)
{
    if (color & 0x80000000u) {
        QColor c;
        if (!paletteColor(static_cast<int>(color & 0xFF), palette, c) || (color & 0x7FFFFF00u))
            return clBlack;
        return FromQColor(c);
    }
    return color & 0x00FFFFFFu;
}

TColor ColorToRGB(TColor color)
{
    return ColorToRGB(color, QGuiApplication::palette());
}

QColor ToQColor(TColor color, const QPalette &palette)
{
    const TColor c = ColorToRGB(color, palette);
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

QColor ToQColor(TColor color)
{
    return ToQColor(color, QGuiApplication::palette());
}

TColor FromQColor(const QColor &color)
{
    return RGB(color.red(), color.green(), color.blue());
}

TColor PixelColor(const QImage &image, int x, int y)
{
    const QRgb p = image.pixel(x, y);
    return RGB(qRed(p), qGreen(p), qBlue(p));
}

TColor TBitmap::EffectiveTransparentColor() const
{
    if (TransparentColor != clDefault)
        return TransparentColor;
    if (Image.isNull())
        return clBlack;
    return PixelColor(Image, 0, Image.height() - 1);
}

} // namespace kelpa::widgets
