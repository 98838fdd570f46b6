#include "widgets/Kpmenus.h"

#include "widgets/Minmax.h"
#include "widgets/Strutils.h"

#include <QActionEvent>
#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionFrame>
#include <QStyleOptionMenuItem>
#include <cmath>

namespace kelpa::widgets {

namespace {

// Platform sizes at 96 dots per inch: the check mark and the menu bar height.
constexpr int kCheckMarkSide = 13;
constexpr int kMenuBarHeight = 19;

int Right(const QRect &r)
{
    return r.x() + r.width();   // exclusive, as rectangles are handed over
}

int Bottom(const QRect &r)
{
    return r.y() + r.height();
}

QRect FromEdges(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

QString ShortcutText(const QAction *item)
{
    return item->shortcut().toString(QKeySequence::NativeText);
}

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

bool IsMonochrome(const QImage &image)
{
    return image.depth() == 1;
}

// ---- drawing helpers the menus alone use (the rest is in Drawutils) ----

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

// The owner that paints a menu widget's items, when it paints them now.
TKpMenuOwner *PaintingOwner(const QWidget *widget)
{
    TKpMenuOwner *owner = nullptr;
    if (auto *menu = qobject_cast<const TKpMenuWidget *>(widget))
        owner = menu->OwnerMenu();
    else if (auto *bar = qobject_cast<const TKpMainMenu *>(widget))
        owner = const_cast<TKpMainMenu *>(bar);
    return owner && owner->OwnerDrawn() ? owner : nullptr;
}

// The style that lets owner-drawn menus give their own item sizes.
class OwnerDrawStyle : public QProxyStyle {
public:
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override
    {
        if (type == CT_MenuItem || type == CT_MenuBarItem) {
            auto *item = qobject_cast<QAction *>(option->styleObject);
            if (TKpMenuOwner *owner = PaintingOwner(widget); owner && item) {
                const QSize s = owner->WMMeasureItem(widget, item);
                return QSize(std::max(1, s.width()), std::max(1, s.height()));
            }
        }
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }

    int pixelMetric(PixelMetric metric, const QStyleOption *option,
                    const QWidget *widget) const override
    {
        // Owner-drawn items start at the menu's inner left edge, where the margin is.
        if ((metric == PM_MenuHMargin || metric == PM_MenuBarItemSpacing) && PaintingOwner(widget))
            return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

QStyle *OwnerDrawStyleInstance()
{
    static QPointer<QStyle> style;
    if (!style) {
        style = new OwnerDrawStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style.data();
}

QPointer<TPopupList> gPopupList;

} // namespace

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

QChar AcceleratorOf(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&')
            continue;
        if (caption[i + 1] == u'&') {
            ++i;   // "&&" is a plain ampersand
            continue;
        }
        return caption[i + 1];
    }
    return {};
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

QSize MeasureMenuItem(const QAction *item, const TMenuCanvas &canvas, int imageIndex,
                      const TImageList *images, int minTextOffset, int numGlyphs,
                      const std::optional<TGraphic> &graphic, bool showCheckMarks)
{
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

void PaintMenuItem(const QAction *item, const std::optional<TGraphic> &graphic, int numGlyphs,
                   TMenuCanvas &canvas, bool showCheckMarks, TMenuButtonStyle buttonStyle, QRect r,
                   int minTextOffset, TMenuOwnerDrawState state, const TImageList *images,
                   int imageIndex)
{
    if (!canvas.painter)
        return;
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

TMenuCharResult MenuChar(const QList<QAction *> &items, QChar typed, const QAction *highlighted)
{
    int first = -1, highlight = -1, next = -1, code = 0;
    const QChar key = typed.toUpper();
    auto match = [&](int i, bool enabled) {
        if (!enabled) {
            if (first < 0)
                first = -2;
            return;
        }
        if (first < 0) {
            first = i;
            code = 2;
        } else {
            code = 3;
        }
        if (items[i] == highlighted)
            highlight = i;
        else if (highlight >= 0 && next < 0)
            next = i;
    };
    for (int i = 0; i < items.size(); ++i) {
        const QChar accel = AcceleratorOf(items[i]->text());
        if (!IsSeparator(items[i]) && !accel.isNull() && accel.toUpper() == key)
            match(i, items[i]->isEnabled());
    }
    if (first == -2)
        return {1, 0};
    if (first == -1) {
        for (int i = 0; i < items.size(); ++i) {
            const QString caption = items[i]->text();
            if (IsSeparator(items[i]) || caption.isEmpty() || caption[0].toUpper() != key)
                continue;
            if (!items[i]->isEnabled())
                return {1, 0};
            match(i, true);
        }
    }
    if (code == 2)
        return {2, first};
    if (code == 3)
        return {3, next < 0 ? first : next};
    return {0, 0};
}

// ---- TKpMenuWidget ----

TKpMenuWidget::TKpMenuWidget(TKpMenuOwner *owner, QWidget *parent) : QMenu(parent), owner_(owner)
{
    setStyle(OwnerDrawStyleInstance());
    connect(this, &QMenu::hovered, this, [this](QAction *item) {
        if (owner_)
            owner_->MenuSelect(this, item, true);
    });
}

TKpMenuWidget *TKpMenuWidget::AddKpMenu(const QString &title)
{
    auto *sub = new TKpMenuWidget(owner_, this);
    sub->setTitle(title);
    addMenu(sub);
    return sub;
}

void TKpMenuWidget::actionEvent(QActionEvent *event)
{
    // An item added to an owner-drawn menu leaves its shortcut to the painter's column too.
    if (event->type() == QEvent::ActionAdded && owner_ && owner_->OwnerDrawn() && event->action())
        event->action()->setShortcutVisibleInContextMenu(false);
    QMenu::actionEvent(event);
}

void TKpMenuWidget::initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const
{
    QMenu::initStyleOption(option, action);
    // The measure request needs the item itself.
    if (owner_ && owner_->OwnerDrawn())
        option->styleObject = const_cast<QAction *>(action);
}

namespace {

TMenuOwnerDrawState ItemState(const QAction *item, const QAction *active, const QAction *byDefault)
{
    TMenuOwnerDrawState state = 0;
    if (item == active && !item->isSeparator())
        state |= mdSelected;
    if (!item->isEnabled())
        state |= mdGrayed | mdDisabled;
    if (item->isCheckable() && item->isChecked())
        state |= mdChecked;
    if (item == byDefault)
        state |= mdDefault;
    return state;
}

} // namespace

void TKpMenuWidget::paintEvent(QPaintEvent *event)
{
    if (!owner_ || !owner_->OwnerDrawn()) {
        QMenu::paintEvent(event);
        return;
    }
    QPainter p(this);
    p.fillRect(event->rect(), Q(MenuColors(this).menu));
    if (event->region().intersects(owner_->MarginRect(this)))
        owner_->PaintMargin(p, this);
    for (QAction *item : actions()) {
        const QRect r = actionGeometry(item);
        if (!r.isEmpty() && event->region().intersects(r))
            owner_->WMDrawItem(p, this, item, r, ItemState(item, activeAction(), defaultAction()));
    }
    // The frame last: items reach the menu's edges and would paint over it, leaving a menu
    // without an outline over a bar of the same colour. Only the panel's own width is the
    // frame's; what a style paints inside it belongs to the items and the margin.
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.state = QStyle::State_None;
    frame.lineWidth = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
    frame.midLineWidth = 0;
    const int fw = std::max(frame.lineWidth, 1);
    p.save();
    p.setClipRegion(QRegion(rect()) - QRegion(rect().adjusted(fw, fw, -fw, -fw)));
    style()->drawPrimitive(QStyle::PE_FrameMenu, &frame, &p, this);
    p.restore();
}

void TKpMenuWidget::keyPressEvent(QKeyEvent *event)
{
    const QString text = event->text();
    const bool plainKey = !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
    if (!owner_ || !owner_->OwnerDrawn() || !plainKey || text.size() != 1 || !text[0].isPrint()
        || text[0].isSpace()) {
        QMenu::keyPressEvent(event);
        return;
    }
    const QList<QAction *> items = VisibleItems(this);
    const TMenuCharResult r = MenuChar(items, text[0], activeAction());
    event->accept();
    switch (r.code) {
    case 1:
        close();
        break;
    case 2: {
        setActiveAction(items[r.position]);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QMenu::keyPressEvent(&enter);
        break;
    }
    case 3:
        setActiveAction(items[r.position]);
        break;
    default:
        break;
    }
}

// ---- TKpMenuOwner ----

bool TKpMenuOwner::IsOwnerDrawMenu() const
{
    return style_ != TKpMenuStyle::msStandard || (images_ && !images_->Images.isEmpty());
}

void TKpMenuOwner::SetStyle(TKpMenuStyle value)
{
    if (value == style_)
        return;
    style_ = value;
    RefreshMenu(IsOwnerDrawMenu());
}

void TKpMenuOwner::SetShowCheckMarks(bool value)
{
    showCheckMarks_ = value;
    Refresh();
}

void TKpMenuOwner::SetMinTextOffset(unsigned value)
{
    minTextOffset_ = value;
    Refresh();
}

void TKpMenuOwner::SetImages(std::shared_ptr<const TImageList> value)
{
    const bool was = IsOwnerDrawMenu();
    images_ = std::move(value);
    if (IsOwnerDrawMenu() != was)
        RefreshMenu(IsOwnerDrawMenu());
}

void TKpMenuOwner::ImageListChange()
{
    RefreshMenu(IsOwnerDrawMenu());
}

void TKpMenuOwner::Refresh()
{
    RefreshMenu(IsOwnerDrawMenu());
}

std::vector<QWidget *> TKpMenuOwner::MenuWidgets()
{
    return {};
}

void TKpMenuOwner::RefreshMenu(bool ownerDraw)
{
    ownerDrawn_ = ownerDraw;
    // Every menu of this owner lays its items out again with the new sizes.
    std::vector<QWidget *> menus = MenuWidgets();
    for (std::size_t i = 0; i < menus.size(); ++i) {
        for (QAction *a : menus[i]->actions()) {
            // The painter draws shortcuts in its own column.
            a->setShortcutVisibleInContextMenu(!ownerDraw);
            if (a->menu())
                menus.push_back(a->menu());
        }
        QActionEvent relayout(QEvent::ActionChanged, new QAction(menus[i]));
        QCoreApplication::sendEvent(menus[i], &relayout);
        delete relayout.action();
        menus[i]->updateGeometry();
        menus[i]->update();
    }
}

int TKpMenuOwner::ExtraWidth(const QWidget *, const QAction *) const
{
    return 0;
}

QRect TKpMenuOwner::ItemRect(const QWidget *, const QAction *, QRect rect) const
{
    return rect;
}

QRect TKpMenuOwner::MarginRect(const QWidget *) const
{
    return {};
}

void TKpMenuOwner::PaintMargin(QPainter &, const QWidget *) {}

TMenuButtonStyle TKpMenuOwner::ButtonStyle() const
{
    return style_ == TKpMenuStyle::msBtnLowered ? TMenuButtonStyle::Lowered
           : style_ == TKpMenuStyle::msBtnRaised ? TMenuButtonStyle::Raised
                                                 : TMenuButtonStyle::None;
}

namespace {

// A request is served only for a live item of the menu it names.
bool IsItemOf(const QWidget *menu, const QAction *item)
{
    return item && menu && menu->actions().contains(const_cast<QAction *>(item));
}

} // namespace

QSize TKpMenuOwner::WMMeasureItem(const QWidget *menu, QAction *item)
{
    if (!IsItemOf(menu, item))
        return {};
    // A request may come while another is being served (a layout during a paint).
    const TMenuCanvas outer = canvas_;
    canvas_ = {};
    canvas_.menu = menu;
    SetDefaultMenuFont(canvas_.font);
    const TMenuColors colors = MenuColors(menu);
    canvas_.fontColor = colors.menuText;
    canvas_.brushColor = colors.menu;
    auto *asMenu = qobject_cast<const QMenu *>(menu);
    if (asMenu && asMenu->defaultAction() == item)
        canvas_.font.setBold(true);
    std::optional<TGraphic> graphic;
    TColor color = canvas_.brushColor;
    int numGlyphs = 1;
    GetItemParams(item, 0, canvas_.font, color, graphic, numGlyphs);
    int imageIndex = -1;
    GetImageIndex(item, 0, imageIndex);
    const QSize s = MeasureMenuItem(item, canvas_, imageIndex, images_.get(), int(minTextOffset_),
                                    numGlyphs, graphic, showCheckMarks_);
    int width = s.width(), height = s.height();
    MeasureItem(item, width, height);
    width += ExtraWidth(menu, item);
    canvas_ = outer;
    return QSize(width, height);
}

void TKpMenuOwner::WMDrawItem(QPainter &painter, const QWidget *menu, QAction *item, QRect rect,
                              TMenuOwnerDrawState state)
{
    if (!IsItemOf(menu, item))
        return;
    painter.save();
    const TMenuCanvas outer = canvas_;
    canvas_ = {};
    canvas_.painter = &painter;
    canvas_.menu = menu;
    SetDefaultMenuFont(canvas_.font);
    const TMenuColors colors = MenuColors(menu);
    canvas_.fontColor = colors.menuText;
    canvas_.brushColor = colors.menu;
    if (state & mdDefault)
        canvas_.font.setBold(true);
    if ((state & mdSelected)
        && (style_ == TKpMenuStyle::msStandard || style_ == TKpMenuStyle::msOwnerDraw)) {
        canvas_.brushColor = colors.highlight;
        canvas_.fontColor = colors.highlightText;
    }
    rect = ItemRect(menu, item, rect);
    painter.setClipRect(rect, Qt::IntersectClip);
    DrawItem(item, rect, state);
    canvas_ = outer;
    painter.restore();
}

void TKpMenuOwner::DrawItem(QAction *item, QRect rect, TMenuOwnerDrawState state)
{
    if (!canvas_.painter)
        return;
    std::optional<TGraphic> graphic;
    TColor color = canvas_.brushColor;
    int numGlyphs = 1;
    GetItemParams(item, state, canvas_.font, color, graphic, numGlyphs);
    if (color != clNone) {
        const QColor fill = ToQColor(color, canvas_.menu ? canvas_.menu->palette() : QPalette());
        canvas_.brushColor = FromQColor(fill);
        canvas_.painter->fillRect(rect, fill);
    }
    if (OnDrawItem) {
        OnDrawItem(Sender(), item, rect, state);
        return;
    }
    int imageIndex = -1;
    GetImageIndex(item, state, imageIndex);
    PaintMenuItem(item, graphic, numGlyphs, canvas_, showCheckMarks_, ButtonStyle(), rect,
                  int(minTextOffset_), state, images_.get(), imageIndex);
}

void TKpMenuOwner::DefaultDrawItem(QAction *item, QRect rect, TMenuOwnerDrawState state)
{
    if (!canvas_.painter)
        return;
    std::optional<TGraphic> graphic;
    TColor color = canvas_.brushColor;
    int numGlyphs = 1;
    GetItemParams(item, state, canvas_.font, color, graphic, numGlyphs);
    int imageIndex = -1;
    GetImageIndex(item, state, imageIndex);
    PaintMenuItem(item, graphic, numGlyphs, canvas_, showCheckMarks_, ButtonStyle(), rect,
                  int(minTextOffset_), state, images_.get(), imageIndex);
}

void TKpMenuOwner::GetImageIndex(QAction *item, TMenuOwnerDrawState state, int &imageIndex)
{
    if (images_ && item && !IsSeparator(item) && OnGetImageIndex)
        OnGetImageIndex(Sender(), item, state, imageIndex);
}

void TKpMenuOwner::GetItemParams(QAction *item, TMenuOwnerDrawState state, QFont &font,
                                 TColor &color, std::optional<TGraphic> &graphic, int &numGlyphs)
{
    if (OnGetItemParams)
        OnGetItemParams(Sender(), item, state, font, color, graphic, numGlyphs);
    if (IsSeparator(item))
        graphic.reset();
}

void TKpMenuOwner::MeasureItem(QAction *item, int &width, int &height)
{
    if (OnMeasureItem)
        OnMeasureItem(Sender(), item, width, height);
}

void TKpMenuOwner::MenuSelect(QWidget *menuWidget, QAction *item, bool highlighted)
{
    // The item's status text reaches the window through the menu itself; the cursor is ours.
    if (!Cursor || !menuWidget)
        return;
    if (item && highlighted)
        menuWidget->setCursor(*Cursor);
    else
        menuWidget->unsetCursor();
}

// ---- TKpPopupMenu ----

TKpPopupMenu::TKpPopupMenu(QWidget *parent) : TKpMenuWidget(nullptr, parent)
{
    owner_ = this;
    TPopupList::Get()->Add(this);
}

TKpPopupMenu::~TKpPopupMenu()
{
    SetStyle(TKpMenuStyle::msStandard);
    if (TPopupList *list = TPopupList::Instance())
        list->Remove(this);
}

void TKpPopupMenu::SetLeftMargin(unsigned value)
{
    leftMargin_ = value;
    Refresh();
}

std::vector<QWidget *> TKpPopupMenu::MenuWidgets()
{
    return {this};
}

void TKpPopupMenu::showEvent(QShowEvent *event)
{
    if (IsOwnerDrawMenu() && !OwnerDrawn())
        RefreshMenu(true);
    TKpMenuWidget::showEvent(event);
}

void TKpPopupMenu::Popup(int x, int y)
{
    if (OnPopup)
        OnPopup(this);
    if (IsOwnerDrawMenu())
        RefreshMenu(true);
    const QSize size = sizeHint();
    QPoint at(x, y);
    if (Alignment == TPopupAlignment::paRight)
        at.rx() -= size.width();
    else if (Alignment == TPopupAlignment::paCenter)
        at.rx() -= size.width() / 2;
    popup(at);
}

bool TKpPopupMenu::IsTopLevelItem(const QAction *item) const
{
    return item && actions().contains(const_cast<QAction *>(item));
}

int TKpPopupMenu::ExtraWidth(const QWidget *menu, const QAction *item) const
{
    return menu == this && IsTopLevelItem(item) ? int(leftMargin_) + 1 : 0;
}

QRect TKpPopupMenu::ItemRect(const QWidget *menu, const QAction *item, QRect rect) const
{
    if (menu == this && IsTopLevelItem(item))
        rect.setLeft(rect.left() + int(leftMargin_) + 1);
    return rect;
}

QRect TKpPopupMenu::MarginRect(const QWidget *menu) const
{
    if (leftMargin_ == 0 || menu != this)
        return {};
    const int fw = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
    const QMargins cm = contentsMargins();
    return QRect(fw + cm.left(), fw, int(leftMargin_), menu->height() - 2 * fw);
}

void TKpPopupMenu::PaintMargin(QPainter &painter, const QWidget *menu)
{
    const QRect margin = MarginRect(menu);
    if (margin.isEmpty())
        return;
    painter.save();
    painter.setClipRect(margin);
    const TMenuCanvas outer = canvas_;
    canvas_ = {};
    canvas_.painter = &painter;
    canvas_.menu = menu;
    SetDefaultMenuFont(canvas_.font);
    DrawMargin(margin);
    canvas_ = outer;
    painter.restore();
}

void TKpPopupMenu::DrawMargin(QRect rect)
{
    if (OnDrawMargin) {
        OnDrawMargin(this, rect);
        return;
    }
    // The default margin colour and a quarter of each of its channels.
    const TColor blue = RGB(0, 0, 255);
    DefaultDrawMargin(rect, blue,
                      RGB((blue & 0xFF) / 4, ((blue >> 8) & 0xFF) / 4, ((blue >> 16) & 0xFF) / 4));
}

void TKpPopupMenu::DefaultDrawMargin(QRect rect, TColor startColor, TColor endColor)
{
    if (!canvas_.painter)
        return;
    QPainter &p = *canvas_.painter;
    p.save();
    const QRect fill = FromEdges(rect.x(), rect.y(), Right(rect) - 3, Bottom(rect));
    GradientFillRect(p, fill, startColor, endColor, fdTopToBottom, 32);
    const TMenuColors colors = MenuColors(this);
    p.setPen(QPen(Q(colors.btnShadow), 1));
    p.drawLine(Right(rect) - 2, rect.y(), Right(rect) - 2, Bottom(rect) - 1);
    p.setPen(QPen(Q(colors.btnHighlight), 1));
    p.drawLine(Right(rect) - 1, rect.y(), Right(rect) - 1, Bottom(rect) - 1);
    p.restore();
}

// ---- TKpMainMenu ----

TKpMainMenu::TKpMainMenu(QWidget *parent) : QMenuBar(parent), hook_(new TKpWindowHook(this))
{
    setStyle(OwnerDrawStyleInstance());
    hook_->AfterMessage = [this](QObject *sender, TMessage &message, bool &handled) {
        WndMessage(sender, message, handled);
    };
    connect(this, &QMenuBar::hovered, this, [this](QAction *item) { MenuSelect(this, item, true); });
}

TKpMainMenu::~TKpMainMenu()
{
    hook_->AfterMessage = nullptr;
    style_ = TKpMenuStyle::msStandard;
}

TKpMenuWidget *TKpMainMenu::AddKpMenu(const QString &title)
{
    auto *menu = new TKpMenuWidget(this, this);
    menu->setTitle(title);
    addMenu(menu);
    return menu;
}

QWidget *TKpMainMenu::FindForm() const
{
    if (QWidget *form = window(); form && form != this)
        return form;
    return qobject_cast<QWidget *>(parent());
}

void TKpMainMenu::FollowForm()
{
    hook_->SetWinControl(IsOwnerDrawMenu() ? FindForm() : nullptr);
}

void TKpMainMenu::RefreshMenu(bool ownerDraw)
{
    FollowForm();
    // Owner-drawing needs the window the menu belongs to.
    if (ownerDraw && !hook_->GetWinControl())
        return;
    TKpMenuOwner::RefreshMenu(ownerDraw);
    updateGeometry();
    adjustSize();
}

std::vector<QWidget *> TKpMainMenu::MenuWidgets()
{
    return {this};
}

void TKpMainMenu::initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const
{
    QMenuBar::initStyleOption(option, action);
    if (OwnerDrawn())
        option->styleObject = const_cast<QAction *>(action);
}

void TKpMainMenu::paintEvent(QPaintEvent *event)
{
    if (!OwnerDrawn()) {
        QMenuBar::paintEvent(event);
        return;
    }
    QPainter p(this);
    p.fillRect(event->rect(), Q(MenuColors(this).menu));
    for (QAction *item : actions()) {
        const QRect r = actionGeometry(item);
        if (!r.isEmpty() && event->region().intersects(r))
            WMDrawItem(p, this, item, r, ItemState(item, activeAction(), nullptr));
    }
}

void TKpMainMenu::MenuSelect(QWidget *menuWidget, QAction *item, bool highlighted)
{
    // An item on the bar with a drop-down keeps the default cursor.
    const bool barItemWithDropDown = item && !IsItemPopup(item) && HasSubItems(item);
    TKpMenuOwner::MenuSelect(menuWidget, item, highlighted && !barItemWithDropDown);
}

void TKpMainMenu::WndMessage(QObject *, TMessage &message, bool &)
{
    if (message.Msg == msg::CM_MENUCHANGED && IsOwnerDrawMenu())
        RefreshMenu(true);
}

// ---- TPopupList ----

TPopupList::TPopupList(QObject *parent) : QObject(parent) {}

TPopupList *TPopupList::Instance()
{
    return gPopupList.data();
}

TPopupList *TPopupList::Get()
{
    if (!gPopupList)
        gPopupList = new TPopupList(QCoreApplication::instance());
    return gPopupList.data();
}

void TPopupList::Add(TKpPopupMenu *menu)
{
    if (menus_.isEmpty() && !window_)
        window_ = new QObject(this);
    menus_.append(menu);
}

void TPopupList::Remove(TKpPopupMenu *menu)
{
    menus_.removeAll(menu);
    if (menus_.isEmpty()) {
        delete window_;
        window_ = nullptr;
    }
}

TKpPopupMenu *TPopupList::MenuOf(const QAction *item) const
{
    if (!item)
        return nullptr;
    for (TKpPopupMenu *menu : menus_) {
        std::vector<const QMenu *> pending{menu};
        while (!pending.empty()) {
            const QMenu *m = pending.back();
            pending.pop_back();
            for (QAction *a : m->actions()) {
                if (a == item)
                    return menu;
                if (a->menu())
                    pending.push_back(a->menu());
            }
        }
    }
    return nullptr;
}

} // namespace kelpa::widgets
