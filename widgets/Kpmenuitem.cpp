#include "widgets/Kpmenuitem.h"
#include "widgets/RectEdges.h"

#include "widgets/Minmax.h"
#include "widgets/Strutils.h"

#include <QActionGroup>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyle>
#include <cmath>

namespace kelpa::widgets {

namespace {

// Platform sizes at 96 dots per inch: the check mark and the menu bar height.
constexpr int kCheckMarkSide = 13;
constexpr int kMenuBarHeight = 19;

using edges::Bottom;
using edges::FromEdges;
using edges::Right;

QString ShortcutText(const QAction *item)
{
    return item->shortcut().toString(QKeySequence::NativeText);
}

bool IsMonochrome(const QImage &image)
{
    return image.depth() == 1;
}

// ---- drawing helpers the menus alone use (the rest is in Drawpaint) ----

QColor Q(TColor c)
{
    return ToQColor(c);
}

// Paints `color` wherever `shape` is set, leaving everything else as it is.
void PaintShape(QPainter &p, int x, int y, const std::vector<std::uint8_t> &shape, int w, int h,
                TColor color)
{
    QImage layer(w, h, QImage::Format_ARGB32);
    layer.fill(Qt::transparent);
    for (int yy = 0; yy < h; ++yy)
        for (int xx = 0; xx < w; ++xx)
            if (shape[std::size_t(yy) * w + xx])
                layer.setPixel(xx, yy, Q(color).rgb());
    p.drawImage(x, y, layer);
}

// The opaque pixels of an image (or, for a monochrome one, its black pixels).
std::vector<std::uint8_t> OpaqueShape(const QImage &image)
{
    std::vector<std::uint8_t> shape(std::size_t(image.width()) * image.height(), 0);
    const bool mono = IsMonochrome(image);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            shape[std::size_t(y) * image.width() + x] =
                mono ? (c & 0xFFFFFF) == 0 : qAlpha(c) != 0;
        }
    return shape;
}

// Embossed: the shape in the highlight colour one pixel right and down (when asked), then in
// the shadow colour at its place.
void PaintEmbossed(QPainter &p, int x, int y, const std::vector<std::uint8_t> &shape, int w, int h,
                   TColor highlight, TColor shadow, bool drawHighlight)
{
    if (drawHighlight)
        PaintShape(p, x + 1, y + 1, shape, w, h, highlight);
    PaintShape(p, x, y, shape, w, h, shadow);
}

// A frame one pixel wide: top and left edges in the first colour, bottom and right in the
// second; the rectangle shrinks by one pixel on each side.
void Frame3D(QPainter &p, QRect &r, TColor topLeft, TColor bottomRight)
{
    if (r.width() < 1 || r.height() < 1)
        return;
    const int l = r.x(), t = r.y(), rr = Right(r) - 1, b = Bottom(r) - 1;
    p.setPen(Q(topLeft));
    p.drawLine(l, b, l, t);
    p.drawLine(l, t, rr, t);
    p.setPen(Q(bottomRight));
    p.drawLine(rr, t, rr, b);
    p.drawLine(rr, b, l, b);
    r.adjust(1, 1, -1, -1);
}

// A check mark (or a bullet for a radio item) as a monochrome bitmap: black mark on white.
QImage CheckMarkBitmap(QSize size, bool radio)
{
    QImage mark(size, QImage::Format_RGB32);
    mark.fill(Qt::white);
    QPainter p(&mark);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const int w = size.width(), h = size.height();
    if (radio) {
        const int d = std::max(2, w / 3);
        p.drawEllipse(QRect((w - d) / 2, (h - d) / 2, d, d));
    } else {
        p.setPen(QPen(Qt::black, std::max(1, w / 7)));
        const QPoint pts[] = {{w / 4, h / 2}, {w * 5 / 12, h * 2 / 3}, {w * 3 / 4, h / 4}};
        p.drawPolyline(pts, 3);
    }
    p.end();
    return mark.convertToFormat(QImage::Format_Mono);
}

} // namespace

// ---- what an item is ----

bool IsSeparator(const QAction *item)
{
    return item && (item->isSeparator() || item->text() == QLatin1String("-"));
}

bool HasSubItems(const QAction *item)
{
    return item && item->menu() && !item->menu()->actions().isEmpty();
}

QList<QAction *> VisibleItems(const QWidget *menu)
{
    QList<QAction *> items;
    for (QAction *a : menu->actions())
        if (a->isVisible())
            items << a;
    return items;
}

// ---- TGraphic ----

TGraphic TGraphic::Bitmap(const QImage &image, TColor transparent)
{
    TGraphic g;
    g.kind = Kind::Bitmap;
    g.bitmap.Image = image;
    g.bitmap.TransparentColor = transparent;
    g.bitmap.Transparent = true;
    return g;
}

TGraphic TGraphic::Icon(std::shared_ptr<const TIcon> icon)
{
    TGraphic g;
    g.kind = Kind::Icon;
    g.icon = std::move(icon);
    return g;
}

TGraphic TGraphic::Picture(const QImage &image)
{
    TGraphic g;
    g.kind = Kind::Picture;
    g.picture = image;
    return g;
}

bool TGraphic::Empty() const
{
    switch (kind) {
    case Kind::Bitmap: return bitmap.Empty();
    case Kind::Icon: return !icon || icon->Empty();
    case Kind::Picture: return picture.isNull();
    }
    return true;
}

int TGraphic::Width() const
{
    switch (kind) {
    case Kind::Bitmap: return bitmap.Width();
    case Kind::Icon: return icon ? icon->Width() : 0;
    // In the menu's own (logical) pixels: a picture made for a high-density screen holds
    // more device pixels than it covers.
    case Kind::Picture: return qRound(picture.deviceIndependentSize().width());
    }
    return 0;
}

int TGraphic::Height() const
{
    switch (kind) {
    case Kind::Bitmap: return bitmap.Height();
    case Kind::Icon: return icon ? icon->Height() : 0;
    case Kind::Picture: return qRound(picture.deviceIndependentSize().height());
    }
    return 0;
}

// ---- free functions ----

TMenuMetrics MenuMetrics(const QWidget *widget)
{
    const double dpi = widget ? widget->logicalDpiX() : 96.0;
    const double scale = dpi > 0 ? dpi / 96.0 : 1.0;
    TMenuMetrics m;
    const int side = int(std::lround(kCheckMarkSide * scale));
    m.checkMark = QSize(side, side);
    m.glyphGap = GlyphGap(side);
    m.standardHeight = int(std::lround(kMenuBarHeight * scale)) - 2;
    return m;
}

int GlyphGap(int checkMarkWidth)
{
    // Round to nearest, halves to even (0.3 x 15 is 4.5 and gives 4).
    return int(std::nearbyint(3 * checkMarkWidth / 10.0));
}

TMenuColors MenuColors(const QWidget *widget)
{
    const QPalette pal = widget ? widget->palette() : QApplication::palette("QMenu");
    auto rgb = [&pal](int index) { return FromQColor(ToQColor(SystemColor(index), pal)); };
    TMenuColors c;
    c.menu = rgb(COLOR_MENU);
    c.menuText = rgb(COLOR_MENUTEXT);
    c.highlight = rgb(COLOR_HIGHLIGHT);
    c.highlightText = rgb(COLOR_HIGHLIGHTTEXT);
    c.grayText = rgb(COLOR_GRAYTEXT);
    c.btnShadow = rgb(COLOR_BTNSHADOW);
    c.btnHighlight = rgb(COLOR_BTNHIGHLIGHT);
    return c;
}

bool IsItemPopup(const QAction *item)
{
    if (!item)
        return true;
    for (QObject *o : item->associatedObjects())
        if (qobject_cast<QMenuBar *>(o))
            return false;
    return true;
}

void SetDefaultMenuFont(QFont &font)
{
    font = QApplication::font("QMenu");
}

int MenuTextWidth(const QFontMetrics &metrics, const QString &text)
{
    int width = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == u'\t') {
            width += metrics.horizontalAdvance(text.mid(start, i - start));
            if (i < text.size())
                width += 2 * metrics.averageCharWidth();
            start = i + 1;
        }
    }
    return width;
}

QString CaptionWithoutAccelerators(const QString &caption)
{
    return QString::fromStdString(DelChars(caption.toStdString(), '&'));
}

namespace {

const QString kTabs = QStringLiteral("\t\t");

// Width of the caption and its tab gap: the column where shortcuts start.
int CaptionColumn(const QFontMetrics &fm, const QAction *item)
{
    return MenuTextWidth(fm, CaptionWithoutAccelerators(item->text()) + kTabs);
}

int ShortcutColumn(const QFontMetrics &fm, const QAction *item)
{
    return MenuTextWidth(fm, ShortcutText(item) + QLatin1Char(' '));
}

} // namespace

QSize MeasureMenuItem(const TMenuItemLook &look, const TMenuCanvas &canvas)
{
    const QAction *item = look.item;
    const std::optional<TGraphic> &graphic = look.graphic;
    const int numGlyphs = look.numGlyphs;
    const TImageList *images = look.images;
    const int imageIndex = look.imageIndex;
    const int minTextOffset = look.minTextOffset;
    const bool showCheckMarks = look.showCheckMarks;
    const TMenuMetrics m = MenuMetrics(canvas.menu);
    const QFontMetrics fm(canvas.font);
    const bool popup = IsItemPopup(item);
    int offset = minTextOffset;
    int height = m.standardHeight;
    int width = 0;
    if (popup) {
        width = 2 * m.glyphGap;
        if (images)
            offset = Max(offset, images->Width + 2);
    } else {
        offset = 0;
    }
    if (!popup) {
        width += fm.horizontalAdvance(CaptionWithoutAccelerators(item->text()));
    } else {
        int a = CaptionColumn(fm, item);
        int b = ShortcutColumn(fm, item);
        if (canvas.menu && !item->shortcut().isEmpty())
            for (const QAction *sibling : VisibleItems(canvas.menu)) {
                a = Max(a, CaptionColumn(fm, sibling));
                b = Max(b, ShortcutColumn(fm, sibling));
            }
        width += a + b;
        if (HasSubItems(item))
            width += MenuTextWidth(fm, kTabs);
    }
    if (popup && showCheckMarks)
        width += m.checkMark.width();
    if (IsSeparator(item))
        return QSize(width, Max(fm.height() / 2, 9));
    height = Max(height, fm.height());
    const bool validImage = images && imageIndex >= 0 && imageIndex < images->Images.size();
    if (images && (popup || validImage)) {
        width += Max(images->Width + 2, offset) + (popup ? 0 : m.glyphGap);
        if (validImage)
            height = Max(height, images->Height + 4);
    } else if (graphic && !graphic->Empty()) {
        int gw = graphic->Width();
        int gh = graphic->Height();
        if (graphic->kind == TGraphic::Kind::Bitmap && numGlyphs >= 2 && numGlyphs <= 5)
            gw /= numGlyphs;
        if (graphic->kind == TGraphic::Kind::Icon)
            GetIconSize(CreateRealSizeIcon(*graphic->icon), gw, gh);
        width += Max(gw + 2, offset) + (popup ? 0 : m.glyphGap);
        height = Max(height, gh + 4);
    } else if (offset > 0) {
        width += offset + (popup ? 0 : m.glyphGap);
    }
    return QSize(width, height);
}

namespace {

// What one paint of an item needs besides its parameters.
struct ItemPaint {
    TMenuCanvas &canvas;
    QPainter &p;
    TMenuColors colors;
    TMenuMetrics metrics;
    bool selected;
    bool disabled;
    bool pressedGlyph;
    bool emboss;
    TColor disabledColor;
};

// A monochrome bitmap copied as it is: its black pixels in the font colour, the rest in the
// brush colour.
void BlitMonochrome(ItemPaint &ip, int x, int y, const QImage &bitmap)
{
    QImage out(bitmap.size(), QImage::Format_RGB32);
    const QRgb ink = Q(ip.canvas.fontColor).rgb(), paper = Q(ip.canvas.brushColor).rgb();
    for (int yy = 0; yy < bitmap.height(); ++yy)
        for (int xx = 0; xx < bitmap.width(); ++xx)
            out.setPixel(xx, yy, (bitmap.pixel(xx, yy) & 0xFFFFFF) == 0 ? ink : paper);
    ip.p.drawImage(x, y, out);
}

void DrawGlyph(ItemPaint &ip, const TBitmap &bitmap, int x, int y, TMenuOwnerDrawState state)
{
    if (state & mdDisabled) {
        const bool selected = state & mdSelected;
        const TColor grey = selected ? ip.colors.grayText : ip.colors.btnShadow;
        const bool emboss2 = !selected || ip.colors.grayText == ip.colors.highlight;
        if (bitmap.Monochrome()) {
            PaintEmbossed(ip.p, x, y, OpaqueShape(bitmap.Image), bitmap.Width(), bitmap.Height(),
                          ip.colors.btnHighlight, grey, emboss2);
            return;
        }
        const TBitmap disabled = CreateDisabledBitmapEx(bitmap, clBlack, ip.colors.menu,
                                                        ip.colors.btnHighlight, grey, emboss2);
        DrawBitmapTransparent(ip.p, x, y, disabled, ip.colors.menu);
        return;
    }
    if (bitmap.Monochrome() && !ip.pressedGlyph)
        BlitMonochrome(ip, x, y, bitmap.Image);
    else if (bitmap.Image.hasAlphaChannel())
        ip.p.drawImage(x, y, bitmap.Image);   // its own transparency
    else
        DrawBitmapTransparent(ip.p, x, y, bitmap, bitmap.TransparentColor & ~0x02000000u);
}

TBitmap CheckMark(QSize size, const QAction *item)
{
    TBitmap mark;
    mark.Image = CheckMarkBitmap(size, item->actionGroup() && item->actionGroup()->isExclusive());
    return mark;
}

// The cell of a checked glyph: dithered (flat menu colour while selected) and sunken.
void PressedBackground(ItemPaint &ip, QRect cell)
{
    cell.adjust(0, 1, 0, -1);
    if (cell.isEmpty())
        return;
    if (ip.selected)
        ip.p.fillRect(cell, Q(ip.colors.menu));
    else
        ip.p.fillRect(cell, QBrush(CreateTwoColorsBrushPattern(ip.colors.menu, ip.colors.btnHighlight)
                                       .Image));
    Frame3D(ip.p, cell, ip.disabledColor, ip.colors.btnHighlight);
}

void DrawItemText(ItemPaint &ip, const QRect &r, const QString &text)
{
    if (text.isEmpty())
        return;
    int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextExpandTabs;
    const QWidget *w = ip.canvas.menu;
    flags |= QApplication::style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, w)
                 ? Qt::TextShowMnemonic
                 : Qt::TextHideMnemonic;
    ip.p.setFont(ip.canvas.font);
    if (ip.disabled) {
        if (ip.emboss) {
            ip.p.setPen(Q(ip.colors.btnHighlight));
            ip.p.drawText(r.translated(1, 1), flags, text);
        }
        ip.p.setPen(Q(ip.disabledColor));
    } else {
        ip.p.setPen(Q(ip.canvas.fontColor));
    }
    ip.p.drawText(r, flags, text);
}

} // namespace

void PaintMenuItem(const TMenuItemLook &look, TMenuCanvas &canvas, QRect r,
                   TMenuOwnerDrawState state, TMenuButtonStyle buttonStyle)
{
    if (!canvas.painter)
        return;
    const QAction *item = look.item;
    const std::optional<TGraphic> &graphic = look.graphic;
    const int numGlyphs = look.numGlyphs;
    const TImageList *images = look.images;
    const int imageIndex = look.imageIndex;
    const int minTextOffset = look.minTextOffset;
    const bool showCheckMarks = look.showCheckMarks;
    QPainter &p = *canvas.painter;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    const bool selected = state & mdSelected;
    const bool popup = IsItemPopup(item);
    const bool checked = item && item->isCheckable() && item->isChecked();
    const TMenuColors colors = MenuColors(canvas.menu);
    ItemPaint ip{canvas,
                 p,
                 colors,
                 MenuMetrics(canvas.menu),
                 selected,
                 bool(state & mdDisabled),
                 checked && popup && !showCheckMarks && buttonStyle == TMenuButtonStyle::None,
                 !selected || buttonStyle != TMenuButtonStyle::None
                     || colors.grayText == colors.highlight,
                 selected && buttonStyle == TMenuButtonStyle::None ? colors.grayText
                                                                   : colors.btnShadow};
    const int gap = ip.metrics.glyphGap;
    int offset = minTextOffset;
    QSize check;
    int x;
    if (popup) {
        check = showCheckMarks ? ip.metrics.checkMark : QSize(2, 0);
        x = 2 * gap + check.width();
    } else {
        x = gap + 2;
        offset = 0;
    }
    if (buttonStyle != TMenuButtonStyle::None && selected) {
        const bool lowered = buttonStyle == TMenuButtonStyle::Lowered;
        Frame3D(p, r, lowered ? colors.btnShadow : colors.btnHighlight,
                lowered ? colors.btnHighlight : colors.btnShadow);
    }
    if (!item) {
        p.restore();
        return;
    }
    const int midY = r.y() + Bottom(r);   // twice the vertical centre
    if (checked && showCheckMarks && popup)
        DrawGlyph(ip, CheckMark(check, item), r.x() + (x - check.width()) / 2,
                  (midY - check.height()) / 2, state);
    if (images && popup)
        offset = Max(offset, images->Width + 2);
    const bool hasGraphic = graphic && !graphic->Empty() && !IsSeparator(item);
    if (!showCheckMarks && (hasGraphic || offset > 0))
        x = gap;
    const int cellLeft = r.x() + x - 1;
    if (images && imageIndex >= 0 && imageIndex < images->Images.size()) {
        const int w = Max(images->Width + 2, offset);
        if (ip.pressedGlyph)
            PressedBackground(ip, QRect(cellLeft, r.y(), w + 2, r.height()));
        const int gx = r.x() + x + (w - images->Width) / 2;
        const int gy = (midY - images->Height) / 2;
        if (ip.disabled)
            ImageListDrawDisabled(*images, p, gx, gy, imageIndex, colors.btnHighlight,
                                  ip.disabledColor, ip.emboss);
        else
            p.drawImage(gx, gy, images->Images[imageIndex]);
        x += gap + w;
    } else if (hasGraphic) {
        const bool cells = graphic->kind == TGraphic::Kind::Bitmap && numGlyphs >= 2 && numGlyphs <= 5;
        int gw = cells ? graphic->Width() / numGlyphs : graphic->Width();
        int w = Max(gw + 2, offset);
        if (graphic->kind == TGraphic::Kind::Icon) {
            const TIconHandle icon = CreateRealSizeIcon(*graphic->icon);
            int ih = 0;
            GetIconSize(icon, gw, ih);
            w = Max(gw + 2, offset);
            if (ip.pressedGlyph)
                PressedBackground(ip, QRect(cellLeft, r.y(), w + 2, r.height()));
            p.drawImage(r.x() + x + (w - gw) / 2, (midY - ih) / 2, icon.Image());
        } else {
            if (ip.pressedGlyph)
                PressedBackground(ip, QRect(cellLeft, r.y(), w + 2, r.height()));
            const int gx = r.x() + x + (w - gw) / 2;
            const int gy = (midY - graphic->Height()) / 2;
            if (graphic->kind == TGraphic::Kind::Picture) {
                p.drawImage(gx, gy, graphic->picture);
            } else if (!cells) {
                DrawGlyph(ip, graphic->bitmap, gx, gy, state);
            } else {
                int index = ip.disabled ? 1 : checked ? 3 : selected ? 2 : 0;
                if (index > numGlyphs - 1)
                    index = 0;
                TBitmap cell;
                AssignBitmapCell(&graphic->bitmap, &cell, numGlyphs, 1, index);
                DrawGlyph(ip, cell, gx, gy, state & ~mdDisabled);
            }
        }
        x += gap + w;
    } else if (offset > 0) {
        const QRect cell(cellLeft, r.y(), offset + 2, r.height());
        if (ip.pressedGlyph) {
            PressedBackground(ip, cell);
            const QSize mark = ip.metrics.checkMark;
            DrawGlyph(ip, CheckMark(mark, item), cell.x() + 2 + (offset - mark.width()) / 2,
                      (midY - mark.height()) / 2 + 1, state);
        }
        x += offset + gap;
    }
    if (IsSeparator(item)) {
        const int y = midY / 2 - 1;
        p.setPen(QPen(Q(colors.btnShadow), 1));
        p.drawLine(r.x(), y, Right(r) - 1, y);
        p.setPen(QPen(Q(colors.btnHighlight), 1));
        p.drawLine(r.x(), y + 1, Right(r) - 1, y + 1);
        p.restore();
        return;
    }
    const QFontMetrics fm(canvas.font);
    int s = CaptionColumn(fm, item);
    if (canvas.menu && !item->shortcut().isEmpty())
        for (const QAction *sibling : VisibleItems(canvas.menu))
            s = Max(s, CaptionColumn(fm, sibling));
    const int textTop = (midY - fm.height()) / 2;
    DrawItemText(ip, FromEdges(r.x() + x, textTop, Right(r), Bottom(r)), item->text());
    if (!item->shortcut().isEmpty() && !HasSubItems(item) && popup) {
        // Items with and without a glyph start their captions at different places; the
        // shortcut column is kept common by measuring it from the right edge, where the
        // measured width put it.
        int b = ShortcutColumn(fm, item);
        if (canvas.menu)
            for (const QAction *sibling : VisibleItems(canvas.menu))
                b = Max(b, ShortcutColumn(fm, sibling));
        const int left = Max(r.x() + x + s, Right(r) - b);
        DrawItemText(ip, FromEdges(left, textTop, Right(r), Bottom(r)), ShortcutText(item));
    }
    p.restore();
}

} // namespace kelpa::widgets
