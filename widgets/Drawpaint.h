#pragma once
// Painting helpers: a rotated font, gradient fills, bitmaps drawn without their transparent
// colour, disabled (embossed) images, image lists, brush patterns, cells of a bitmap grid,
// bitmaps and icons from the program's resources, and text and bitmaps in cells.
//
// Drawing goes through a QPainter; where a result must be exact to the pixel (masks, patterns,
// embossed images) the work is done on QImage pixels and the painter only copies fully opaque
// or fully transparent pixels, so a painter on a QImage without transform gives exact results.
#include "widgets/Graphics.h"

#include <QFont>
#include <QIcon>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>

class QPainter;
class QPicture;
class QWidget;

namespace kelpa::widgets {

enum TFillDirection { fdTopToBottom, fdBottomToTop, fdLeftToRight, fdRightToLeft };
enum TVertAlignment { vaTopJustify, vaCenter, vaBottomJustify };

// The font description of a rotated font (a LOGFONT's fields) and the Qt font that draws it.
// Qt fonts do not rotate; DrawText turns the painter by the escapement instead, about the
// top-left corner of the text, as a rotated font draws.
struct TRotatedFont {
    int lfHeight = 0;
    int lfWidth = 0;
    int lfEscapement = 0;     // tenths of a degree, counter-clockwise
    int lfOrientation = 0;
    int lfWeight = 400;
    std::uint8_t lfItalic = 0;
    std::uint8_t lfUnderline = 0;
    std::uint8_t lfStrikeOut = 0;
    std::uint8_t lfCharSet = 1;
    std::uint8_t lfOutPrecision = 0;
    std::uint8_t lfClipPrecision = 0;
    std::uint8_t lfQuality = 0;
    std::uint8_t lfPitchAndFamily = 0;
    QString lfFaceName;
    QFont Font;               // unrotated

    // Draws `text` with its top-left corner at (x, y), turned by the escapement.
    void DrawText(QPainter &painter, int x, int y, const QString &text) const;
};
TRotatedFont CreateRotatedFont(const QFont &font, int angle);

void GradientFillRect(QPainter &canvas, const QRect &rect, TColor startColor, TColor endColor,
                      TFillDirection direction, std::uint8_t colors);

// The whole bitmap at (x, y), unscaled, leaving out `transparentColor` (clNone: all of it;
// clDefault: the bottom-left pixel's colour; a monochrome bitmap always leaves out white).
void DrawBitmapTransparent(QPainter &dest, int x, int y, const TBitmap &bitmap,
                           TColor transparentColor);
// SrcRect of the bitmap stretched to (x, y, w, h); a width or height below 1 takes the bitmap's,
// an empty source rectangle the whole bitmap.
void StretchBitmapRectTransparent(QPainter &dest, int x, int y, int w, int h,
                                  const QRect &srcRect, const TBitmap &bitmap,
                                  TColor transparentColor);
void DrawBitmapRectTransparent(QPainter &dest, int x, int y, const QRect &srcRect,
                               const TBitmap &bitmap, TColor transparentColor);
// The mask method: pixels of `transparentColor` (an RGB value) are left out, the rest stretched
// nearest-neighbour to the destination.
void StretchBltTransparent(QPainter &dst, int dstX, int dstY, int dstW, int dstH,
                           const QImage &src, int srcX, int srcY, int srcW, int srcH,
                           TColor transparentColor);
void DrawTransparentBitmap(QPainter &dst, const QImage &bitmap, int x, int y,
                           TColor transparentColor);

// Embossed image: BackColor everywhere, HighlightColor one pixel down and right of every pixel
// of OutlineColor (when drawHighlight), ShadowColor on those pixels themselves.
TBitmap CreateDisabledBitmapEx(const TBitmap &bitmap, TColor outlineColor, TColor backColor,
                               TColor highlightColor, TColor shadowColor, bool drawHighlight);
TBitmap CreateDisabledBitmap(const TBitmap &bitmap, TColor outlineColor);

// Images of one size; a pixel is opaque when its alpha is at least 128.
struct TImageList {
    int Width = 16;
    int Height = 16;
    QList<QImage> Images;
};
// The opaque pixels of image `index` painted in GrayColor at (x, y), and in HighlightColor one
// pixel down and right first when drawHighlight; the rest of the canvas is untouched.
void ImageListDrawDisabled(const TImageList &images, QPainter &canvas, int x, int y, int index,
                           TColor highlightColor, TColor grayColor, bool drawHighlight);

// 8 x 8, Color2 where column and row are both even or both odd, else Color1.
TBitmap CreateTwoColorsBrushPattern(TColor color1, TColor color2);

// Cell `index` of a grid of Cols x Rows images into Dest.
void AssignBitmapCell(const TBitmap *source, TBitmap *dest, int cols, int rows, int index);
// The same for a graphic that is not a bitmap (a recorded picture), on a silver ground.
void AssignBitmapCell(const QPicture *source, bool sourceTransparent, TBitmap *dest, int cols,
                      int rows, int index);

// ---- Bitmaps and icons -----------------------------------------------------------------------

// Bitmaps and icons come from the program's Qt resources (":/NAME", or ":/" and the number);
// nothing when there is none.
std::optional<TBitmap> MakeBitmap(const QString &resName);
std::optional<TBitmap> MakeBitmapID(int resId);
std::optional<QIcon> MakeIcon(const QString &resName);
std::optional<QIcon> MakeIconID(int resId);
// The icon (at its largest size, or `size` when given) drawn on a BackColor ground; transparent
// colour BackColor, transparent on.
TBitmap CreateBitmapFromIcon(const QIcon &icon, TColor backColor, QSize size = QSize());
// An icon of the bitmap with `transparentColor` left out (clDefault: the bitmap's own).
QIcon CreateIconFromBitmap(const TBitmap &bitmap, TColor transparentColor);
// A copy with every pixel of Color replaced by NewColor.
TBitmap ChangeBitmapColor(const TBitmap &bitmap, TColor color, TColor newColor);
// Paints into `dest` what lies under `control`: its parent's background and the visible
// siblings below it that overlap it, in the control's own coordinates.
void CopyParentImage(QWidget *control, QPainter &dest);
// ANDs a diagonal hatch (rows 0x11, 0x22, 0x44, 0x88, repeated from the image's origin) into
// the rectangle: pixels under a set bit become black.
void ShadeRect(QImage &image, const QRect &rect);

// ---- Text and bitmaps in cells ------------------------------------------------------------------

void WriteText(QPainter &canvas, const QRect &rect, int dx, int dy, const QString &text,
               TAlignment alignment, bool wordWrap);
void DrawCellTextEx(QPainter &canvas, const QString &text, const QRect &rect,
                    TAlignment alignment, TVertAlignment vertAlignment, bool wordWrap);
void DrawCellText(QPainter &canvas, const QString &text, const QRect &rect, TAlignment alignment,
                  TVertAlignment vertAlignment);
void DrawCellBitmap(QPainter &canvas, const QImage &graphic, const QRect &rect);

} // namespace kelpa::widgets
