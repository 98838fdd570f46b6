#pragma once
// The graphics types the widget units share: colour values as the class library writes them
// (0x00BBGGRR, or a system colour as 0x80000000 plus its index, turned into the application
// palette here and nowhere else), text alignment, and a bitmap with a transparent colour.
#include <QColor>
#include <QImage>
#include <QPalette>
#include <cstdint>

namespace kelpa::widgets {

using TColor = std::uint32_t;

constexpr TColor clNone = 0x1FFFFFFF;      // no colour
constexpr TColor clDefault = 0x20000000;   // the default colour (of a bitmap: its bottom-left pixel)

constexpr TColor SystemColor(int index)
{
    return 0x80000000u | static_cast<TColor>(index);
}

// System colour indices.
enum SysColorIndex : int {
    COLOR_SCROLLBAR = 0,
    COLOR_BACKGROUND = 1,
    COLOR_ACTIVECAPTION = 2,
    COLOR_INACTIVECAPTION = 3,
    COLOR_MENU = 4,
    COLOR_WINDOW = 5,
    COLOR_WINDOWFRAME = 6,
    COLOR_MENUTEXT = 7,
    COLOR_WINDOWTEXT = 8,
    COLOR_CAPTIONTEXT = 9,
    COLOR_ACTIVEBORDER = 10,
    COLOR_INACTIVEBORDER = 11,
    COLOR_APPWORKSPACE = 12,
    COLOR_HIGHLIGHT = 13,
    COLOR_HIGHLIGHTTEXT = 14,
    COLOR_BTNFACE = 15,
    COLOR_BTNSHADOW = 16,
    COLOR_GRAYTEXT = 17,
    COLOR_BTNTEXT = 18,
    COLOR_INACTIVECAPTIONTEXT = 19,
    COLOR_BTNHIGHLIGHT = 20,
    COLOR_3DDKSHADOW = 21,
    COLOR_3DLIGHT = 22,
    COLOR_INFOTEXT = 23,
    COLOR_INFOBK = 24,
    COLOR_HOTLIGHT = 26,
    COLOR_GRADIENTACTIVECAPTION = 27,
    COLOR_GRADIENTINACTIVECAPTION = 28,
    COLOR_MENUHILIGHT = 29,
    COLOR_MENUBAR = 30,
};

constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
constexpr TColor clWindowFrame = SystemColor(COLOR_WINDOWFRAME);
constexpr TColor clHighlight = SystemColor(COLOR_HIGHLIGHT);
constexpr TColor clGrayText = SystemColor(COLOR_GRAYTEXT);

constexpr TColor RGB(int r, int g, int b)
{
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

constexpr TColor clBlack = RGB(0, 0, 0);
constexpr TColor clWhite = RGB(255, 255, 255);
constexpr TColor clSilver = RGB(0xC0, 0xC0, 0xC0);

// A system colour becomes its colour in `palette` (the application's by default); an unknown
// index gives black; any other value keeps its low three bytes.
TColor ColorToRGB(TColor color, const QPalette &palette);
TColor ColorToRGB(TColor color);
// ColorToRGB as a Qt colour (opaque).
QColor ToQColor(TColor color, const QPalette &palette);
QColor ToQColor(TColor color);
TColor FromQColor(const QColor &color);
// The TColor of one image pixel.
TColor PixelColor(const QImage &image, int x, int y);

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// A bitmap as the widget units use it: the image, its transparent colour (clDefault: the
// bottom-left pixel's) and whether it is drawn transparently.
struct TBitmap {
    QImage Image;
    TColor TransparentColor = clDefault;
    bool Transparent = false;

    int Width() const { return Image.width(); }
    int Height() const { return Image.height(); }
    bool Empty() const { return Image.isNull(); }
    bool Monochrome() const
    {
        return Image.format() == QImage::Format_Mono || Image.format() == QImage::Format_MonoLSB;
    }
    // TransparentColor with clDefault resolved (black for an empty bitmap).
    TColor EffectiveTransparentColor() const;
};

} // namespace kelpa::widgets
