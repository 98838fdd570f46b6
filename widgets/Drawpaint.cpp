#include "widgets/Drawpaint.h"

#include "widgets/Drawutils.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPicture>
#include <QWidget>
#include <algorithm>

namespace kelpa::widgets {

// ---- Pixels ----------------------------------------------------------------------------------

namespace {

QRgb rgbOf(TColor c)
{
    const TColor v = ColorToRGB(c);
    return qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

bool sameRgb(QRgb a, QRgb b)
{
    return (a & 0xFFFFFF) == (b & 0xFFFFFF);
}

// The painter copies opaque pixels and skips transparent ones, whatever it was set to.
void drawExact(QPainter &p, const QPoint &at, const QImage &argb)
{
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(at, argb);
    p.restore();
}

// `colour` on the pixels where `mask` holds true, transparent elsewhere.
QImage paintedMask(const QImage &maskBits, QRgb colour)
{
    QImage out(maskBits.size(), QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            out.setPixel(x, y, maskBits.pixelIndex(x, y) ? colour : 0u);
    return out;
}

// One bit per pixel (index 1 = set).
QImage newMask(const QSize &size)
{
    QImage m(size, QImage::Format_Indexed8);
    m.setColorCount(2);
    m.setColor(0, qRgb(0, 0, 0));
    m.setColor(1, qRgb(255, 255, 255));
    m.fill(0);
    return m;
}

TColor transparentFor(const TBitmap &bitmap, TColor transparentColor)
{
    if (bitmap.Monochrome())
        return clWhite;
    if (transparentColor == clDefault)
        return bitmap.Image.isNull() ? clBlack : PixelColor(bitmap.Image, 0, bitmap.Height() - 1);
    return ColorToRGB(transparentColor);
}

} // namespace

// ---- Rotated font ----------------------------------------------------------------------------

TRotatedFont CreateRotatedFont(const QFont &font, int angle)
{
    TRotatedFont r;
    r.lfHeight = -QFontInfo(font).pixelSize();
    r.lfEscapement = angle * 10;
    r.lfWeight = font.bold() ? 700 : 400;
    r.lfItalic = font.italic() ? 1 : 0;
    r.lfUnderline = font.underline() ? 1 : 0;
    r.lfStrikeOut = font.strikeOut() ? 1 : 0;
    r.lfFaceName = font.family().compare(QStringLiteral("Default"), Qt::CaseInsensitive) == 0
                       ? QGuiApplication::font().family()
                       : font.family();
    if (font.resolveMask() & QFont::FixedPitchResolved)
        r.lfPitchAndFamily = font.fixedPitch() ? 1 : 2;
    QFont f(r.lfFaceName);
    f.setPixelSize(std::max(1, -r.lfHeight));
    f.setWeight(r.lfWeight == 700 ? QFont::Bold : QFont::Normal);
    f.setItalic(r.lfItalic != 0);
    f.setUnderline(r.lfUnderline != 0);
    f.setStrikeOut(r.lfStrikeOut != 0);
    if (r.lfPitchAndFamily != 0)
        f.setFixedPitch(r.lfPitchAndFamily == 1);
    r.Font = f;
    return r;
}

void TRotatedFont::DrawText(QPainter &painter, int x, int y, const QString &text) const
{
    painter.save();
    painter.setFont(Font);
    painter.translate(x, y);
    painter.rotate(-lfEscapement / 10.0);
    painter.drawText(0, painter.fontMetrics().ascent(), text);
    painter.restore();
}

// ---- Gradient --------------------------------------------------------------------------------

void GradientFillRect(QPainter &canvas, const QRect &rect, TColor startColor, TColor endColor,
                      TFillDirection direction, std::uint8_t colors)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    if (colors < 2) {
        canvas.fillRect(rect, QColor(rgbOf(startColor)));
        return;
    }
    const bool forward = direction == fdTopToBottom || direction == fdLeftToRight;
    const bool vertical = direction == fdTopToBottom || direction == fdBottomToTop;
    const QRgb first = rgbOf(forward ? startColor : endColor);
    const QRgb last = rgbOf(forward ? endColor : startColor);
    const int dr = qRed(last) - qRed(first);
    const int dg = qGreen(last) - qGreen(first);
    const int db = qBlue(last) - qBlue(first);
    const int extent = vertical ? rect.height() : rect.width();
    const int n = std::max(2, std::min<int>(colors, extent));
    const int size = extent / n;
    const int start = vertical ? rect.top() : rect.left();
    canvas.save();
    canvas.setCompositionMode(QPainter::CompositionMode_Source);
    if (size > 0) {
        for (int i = 0; i < n; ++i) {
            const QColor c(qRed(first) + MulDiv(i, dr, n - 1), qGreen(first) + MulDiv(i, dg, n - 1),
                           qBlue(first) + MulDiv(i, db, n - 1));
            const QRect band = vertical
                                   ? QRect(rect.left(), start + i * size, rect.width(), size)
                                   : QRect(start + i * size, rect.top(), size, rect.height());
            canvas.fillRect(band, c);
        }
    }
    const int remainder = extent % n;
    if (remainder > 0) {
        const QColor c(rgbOf(forward ? endColor : startColor));
        canvas.fillRect(vertical ? QRect(rect.left(), rect.top() + rect.height() - remainder,
                                         rect.width(), remainder)
                                 : QRect(rect.left() + rect.width() - remainder, rect.top(),
                                         remainder, rect.height()),
                        c);
    }
    canvas.restore();
}

// ---- Transparent drawing -------------------------------------------------------------------

void StretchBltTransparent(QPainter &dst, int dstX, int dstY, int dstW, int dstH,
                           const QImage &src, int srcX, int srcY, int srcW, int srcH,
                           TColor transparentColor)
{
    if (dstW <= 0 || dstH <= 0 || srcW <= 0 || srcH <= 0 || src.isNull())
        return;
    const QImage part = src.copy(srcX, srcY, srcW, srcH).convertToFormat(QImage::Format_RGB32);
    const QRgb key = qRgb(transparentColor & 0xFF, (transparentColor >> 8) & 0xFF,
                          (transparentColor >> 16) & 0xFF);
    QImage argb(part.size(), QImage::Format_ARGB32);
    for (int y = 0; y < part.height(); ++y)
        for (int x = 0; x < part.width(); ++x) {
            const QRgb p = part.pixel(x, y);
            argb.setPixel(x, y, sameRgb(p, key) ? 0u : (p | 0xFF000000u));
        }
    if (argb.size() != QSize(dstW, dstH))
        argb = argb.scaled(dstW, dstH, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    drawExact(dst, QPoint(dstX, dstY), argb);
}

void DrawTransparentBitmap(QPainter &dst, const QImage &bitmap, int x, int y,
                           TColor transparentColor)
{
    StretchBltTransparent(dst, x, y, bitmap.width(), bitmap.height(), bitmap, 0, 0,
                          bitmap.width(), bitmap.height(), ColorToRGB(transparentColor));
}

void StretchBitmapRectTransparent(QPainter &dest, int x, int y, int w, int h,
                                  const QRect &srcRect, const TBitmap &bitmap,
                                  TColor transparentColor)
{
    if (bitmap.Empty())
        return;
    if (w < 1)
        w = bitmap.Width();
    if (h < 1)
        h = bitmap.Height();
    QRect src = srcRect;
    if (src.width() < 1 || src.height() < 1)
        src = QRect(0, 0, bitmap.Width(), bitmap.Height());
    if (transparentColor == clNone) {
        QImage part = bitmap.Image.copy(src).convertToFormat(QImage::Format_RGB32);
        if (part.size() != QSize(w, h))
            part = part.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        drawExact(dest, QPoint(x, y), part);
        return;
    }
    StretchBltTransparent(dest, x, y, w, h, bitmap.Image, src.x(), src.y(), src.width(),
                          src.height(), transparentFor(bitmap, transparentColor));
}

void DrawBitmapRectTransparent(QPainter &dest, int x, int y, const QRect &srcRect,
                               const TBitmap &bitmap, TColor transparentColor)
{
    StretchBitmapRectTransparent(dest, x, y, srcRect.width(), srcRect.height(), srcRect, bitmap,
                                 transparentColor);
}

void DrawBitmapTransparent(QPainter &dest, int x, int y, const TBitmap &bitmap,
                           TColor transparentColor)
{
    StretchBitmapRectTransparent(dest, x, y, bitmap.Width(), bitmap.Height(),
                                 QRect(0, 0, bitmap.Width(), bitmap.Height()), bitmap,
                                 transparentColor);
}

// ---- Disabled images -------------------------------------------------------------------------

TBitmap CreateDisabledBitmapEx(const TBitmap &bitmap, TColor outlineColor, TColor backColor,
                               TColor highlightColor, TColor shadowColor, bool drawHighlight)
{
    TBitmap result;
    result.Image = QImage(bitmap.Image.size(), QImage::Format_RGB32);
    if (bitmap.Empty())
        return result;
    // The mask: set where the bitmap has the outline colour (white for a monochrome bitmap).
    const QImage src = bitmap.Image.convertToFormat(QImage::Format_RGB32);
    const QRgb key = bitmap.Monochrome() ? qRgb(255, 255, 255) : rgbOf(outlineColor);
    QImage mask = newMask(src.size());
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x)
            if (sameRgb(src.pixel(x, y), key))
                mask.setPixel(x, y, 1);
    result.Image.fill(rgbOf(backColor));
    QPainter p(&result.Image);
    if (drawHighlight)
        drawExact(p, QPoint(1, 1), paintedMask(mask, rgbOf(highlightColor) | 0xFF000000u));
    drawExact(p, QPoint(0, 0), paintedMask(mask, rgbOf(shadowColor) | 0xFF000000u));
    return result;
}

TBitmap CreateDisabledBitmap(const TBitmap &bitmap, TColor outlineColor)
{
    return CreateDisabledBitmapEx(bitmap, outlineColor, clBtnFace, clBtnHighlight, clBtnShadow,
                                  true);
}

void ImageListDrawDisabled(const TImageList &images, QPainter &canvas, int x, int y, int index,
                           TColor highlightColor, TColor grayColor, bool drawHighlight)
{
    const QSize size(std::max(0, images.Width), std::max(0, images.Height));
    if (size.isEmpty() || index < 0 || index >= images.Images.size())
        return;
    const QImage img = images.Images[index].convertToFormat(QImage::Format_ARGB32);
    QImage mask = newMask(size);
    for (int yy = 0; yy < std::min(size.height(), img.height()); ++yy)
        for (int xx = 0; xx < std::min(size.width(), img.width()); ++xx)
            if (qAlpha(img.pixel(xx, yy)) >= 128)
                mask.setPixel(xx, yy, 1);
    if (drawHighlight)
        drawExact(canvas, QPoint(x + 1, y + 1),
                  paintedMask(mask, rgbOf(highlightColor) | 0xFF000000u));
    drawExact(canvas, QPoint(x, y), paintedMask(mask, rgbOf(grayColor) | 0xFF000000u));
}

TBitmap CreateTwoColorsBrushPattern(TColor color1, TColor color2)
{
    TBitmap b;
    b.Image = QImage(8, 8, QImage::Format_RGB32);
    b.Image.fill(rgbOf(color1));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if ((x + y) % 2 == 0)
                b.Image.setPixel(x, y, rgbOf(color2));
    return b;
}

// ---- Cells -----------------------------------------------------------------------------------

void AssignBitmapCell(const TBitmap *source, TBitmap *dest, int cols, int rows, int index)
{
    if (!source || !dest)
        return;
    cols = std::max(1, cols);
    rows = std::max(1, rows);
    index = std::max(0, index);
    const int w = source->Width() / cols;
    const int h = source->Height() / rows;
    // A row past the grid wraps: there is no cell outside the source to copy.
    dest->Image = source->Image.copy((index % cols) * w, (index / cols % rows) * h, w, h);
    dest->TransparentColor = source->TransparentColor;
    dest->Transparent = source->Transparent;
}

void AssignBitmapCell(const QPicture *source, bool sourceTransparent, TBitmap *dest, int cols,
                      int rows, int index)
{
    if (!source || !dest)
        return;
    cols = std::max(1, cols);
    rows = std::max(1, rows);
    index = std::max(0, index);
    const QRect bounds = source->boundingRect();
    const int w = bounds.width() / cols;
    const int h = bounds.height() / rows;
    dest->Image = QImage(std::max(0, w), std::max(0, h), QImage::Format_RGB32);
    if (!dest->Image.isNull()) {
        dest->Image.fill(rgbOf(clSilver));
        QPainter p(&dest->Image);
        p.drawPicture(-(index % cols) * w - bounds.left(), -(index / cols % rows) * h - bounds.top(),
                      *source);
    }
    dest->Transparent = sourceTransparent;
}

// ---- Bitmaps and icons -----------------------------------------------------------------------

std::optional<TBitmap> MakeBitmap(const QString &resName)
{
    QImage img(QStringLiteral(":/") + resName);
    if (img.isNull())
        return std::nullopt;
    TBitmap b;
    b.Image = img;
    return b;
}

std::optional<TBitmap> MakeBitmapID(int resId)
{
    return MakeBitmap(QString::number(resId));
}

std::optional<QIcon> MakeIcon(const QString &resName)
{
    QIcon icon(QStringLiteral(":/") + resName);
    if (icon.isNull() || icon.availableSizes().isEmpty())
        return std::nullopt;
    return icon;
}

std::optional<QIcon> MakeIconID(int resId)
{
    return MakeIcon(QString::number(resId));
}

TBitmap CreateBitmapFromIcon(const QIcon &icon, TColor backColor, QSize size)
{
    if (!size.isValid() || size.isEmpty()) {
        const QList<QSize> sizes = icon.availableSizes();
        size = sizes.isEmpty() ? QSize(32, 32)
                               : *std::max_element(sizes.begin(), sizes.end(),
                                                   [](const QSize &a, const QSize &b) {
                                                       return a.width() * a.height() <
                                                              b.width() * b.height();
                                                   });
    }
    TBitmap b;
    b.Image = QImage(size, QImage::Format_RGB32);
    b.Image.fill(rgbOf(backColor));
    {
        QPainter p(&b.Image);
        icon.paint(&p, QRect(QPoint(0, 0), size));
    }
    b.TransparentColor = backColor;
    b.Transparent = true;
    return b;
}

QIcon CreateIconFromBitmap(const TBitmap &bitmap, TColor transparentColor)
{
    if (bitmap.Empty())
        return QIcon();
    const TColor key = transparentColor == clDefault ? bitmap.EffectiveTransparentColor()
                                                     : transparentColor;
    QImage argb(bitmap.Image.size(), QImage::Format_ARGB32);
    argb.fill(0u);
    QPainter p(&argb);
    StretchBltTransparent(p, 0, 0, argb.width(), argb.height(), bitmap.Image, 0, 0,
                          bitmap.Width(), bitmap.Height(),
                          bitmap.Monochrome() ? clWhite : ColorToRGB(key));
    p.end();
    return QIcon(QPixmap::fromImage(argb));
}

TBitmap ChangeBitmapColor(const TBitmap &bitmap, TColor color, TColor newColor)
{
    TBitmap b = bitmap;
    b.Image = bitmap.Image.convertToFormat(QImage::Format_RGB32);
    const QRgb from = rgbOf(color);
    const QRgb to = rgbOf(newColor);
    for (int y = 0; y < b.Image.height(); ++y)
        for (int x = 0; x < b.Image.width(); ++x)
            if (sameRgb(b.Image.pixel(x, y), from))
                b.Image.setPixel(x, y, to);
    return b;
}

void CopyParentImage(QWidget *control, QPainter &dest)
{
    if (!control || !control->parentWidget())
        return;
    QWidget *parent = control->parentWidget();
    const QRect area = control->geometry();
    parent->render(&dest, QPoint(0, 0), QRegion(area), QWidget::DrawWindowBackground);
    for (QObject *o : parent->children()) {
        if (o == control)
            break;   // children are kept bottom to top
        auto *w = qobject_cast<QWidget *>(o);
        if (!w || w->isWindow() || !w->isVisibleTo(parent))
            continue;
        const QRect r = area & w->geometry();
        if (r.isEmpty())
            continue;
        w->render(&dest, r.topLeft() - area.topLeft(), QRegion(r.translated(-w->pos())),
                  QWidget::DrawWindowBackground | QWidget::DrawChildren);
    }
}

void ShadeRect(QImage &image, const QRect &rect)
{
    static const std::uint8_t rows[4] = {0x11, 0x22, 0x44, 0x88};
    const QRect r = rect & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (rows[y % 4] & (0x80 >> (x % 8)))
                image.setPixel(x, y, qRgb(0, 0, 0));
}

// ---- Cell text ---------------------------------------------------------------------------------

void WriteText(QPainter &canvas, const QRect &rect, int dx, int dy, const QString &text,
               TAlignment alignment, bool wordWrap)
{
    canvas.save();
    canvas.setClipRect(rect, Qt::IntersectClip);
    if (!wordWrap && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
        const QFontMetrics fm = canvas.fontMetrics();
        const int width = fm.horizontalAdvance(text);
        int x = rect.left() + dx;
        if (alignment == taRightJustify)
            x = rect.left() + rect.width() - width - 3;
        else if (alignment == taCenter)
            x = rect.left() + (rect.width() - width) / 2;
        canvas.drawText(x, rect.top() + dy + fm.ascent(), text);
    } else {
        Qt::Alignment a = alignment == taRightJustify ? Qt::AlignRight
                          : alignment == taCenter     ? Qt::AlignHCenter
                                                      : Qt::AlignLeft;
        const QRect r(rect.left() + dx, rect.top() + dy, rect.width() - dx, rect.height() - dy);
        canvas.drawText(r, int(a | Qt::AlignTop) | (wordWrap ? Qt::TextWordWrap : 0), text);
    }
    canvas.restore();
}

void DrawCellTextEx(QPainter &canvas, const QString &text, const QRect &rect,
                    TAlignment alignment, TVertAlignment vertAlignment, bool wordWrap)
{
    const int free = rect.height() - canvas.fontMetrics().height();
    int dy = 2;
    if (vertAlignment == vaCenter)
        dy = std::max(1, free / 2);
    else if (vertAlignment == vaBottomJustify)
        dy = std::max(2, free);
    WriteText(canvas, rect, 2, dy, text, alignment, wordWrap);
}

void DrawCellText(QPainter &canvas, const QString &text, const QRect &rect, TAlignment alignment,
                  TVertAlignment vertAlignment)
{
    DrawCellTextEx(canvas, text, rect, alignment, vertAlignment, alignment == taCenter);
}

void DrawCellBitmap(QPainter &canvas, const QImage &graphic, const QRect &rect)
{
    if (graphic.isNull())
        return;
    canvas.save();
    canvas.setClipRect(rect, Qt::IntersectClip);
    canvas.drawImage(rect.left() + (rect.width() - graphic.width()) / 2,
                     rect.top() + (rect.height() - graphic.height()) / 2, graphic);
    canvas.restore();
}

} // namespace kelpa::widgets
