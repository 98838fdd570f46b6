#include "widgets/Kpspinbutton.h"

#include "widgets/Drawutils.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>
#include <cmath>

namespace kelpa::widgets {

// ---- Glyphs ------------------------------------------------------------------------------------

namespace {

TBitmap glyphFromRows(const char *const rows[6])
{
    TBitmap b;
    b.Image = QImage(6, 6, QImage::Format_Mono);
    b.Image.setColorCount(2);
    b.Image.setColor(0, qRgb(0, 0, 0));
    b.Image.setColor(1, qRgb(255, 255, 255));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            b.Image.setPixel(x, y, rows[y][x] == '#' ? 0 : 1);
    return b;
}

// Lines end one pixel short of their end point, as the system draws them.
void lineTo(QImage &img, int x0, int y0, int x1, int y1, QRgb c)
{
    const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx - dy;
    while (x0 != x1 || y0 != y1) {
        if (img.rect().contains(x0, y0))
            img.setPixel(x0, y0, c);
        const int e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x0 += sx;
        }
        if (e2 < dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void polyline(QImage &img, std::initializer_list<QPoint> points, QRgb c)
{
    const QPoint *prev = nullptr;
    for (const QPoint &p : points) {
        if (prev)
            lineTo(img, prev->x(), prev->y(), p.x(), p.y(), c);
        prev = &p;
    }
}

int nearest(double v)
{
    return static_cast<int>(std::nearbyint(v));
}

QRgb rgb(TColor c, const QPalette &pal)
{
    const TColor v = ColorToRGB(c, pal);
    return qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

// The glyph with its transparent colour replaced by the brush, opaque.
void brushCopy(QImage &img, int left, int top, const TBitmap &glyph, QRgb brush, QRgb *ink)
{
    if (glyph.Empty())
        return;
    const QImage g = glyph.Image.convertToFormat(QImage::Format_RGB32);
    const QRgb transparent = g.pixel(0, g.height() - 1);
    for (int y = 0; y < g.height(); ++y)
        for (int x = 0; x < g.width(); ++x) {
            if (!img.rect().contains(left + x, top + y))
                continue;
            const QRgb p = g.pixel(x, y);
            img.setPixel(left + x, top + y,
                         (p & 0xFFFFFF) == (transparent & 0xFFFFFF) ? brush : (ink ? *ink : p));
        }
}

} // namespace

TBitmap DefaultUpGlyph()
{
    static const char *const rows[6] = {"..##..", ".####.", "######",
                                        "..##..", "..##..", "..##.."};
    return glyphFromRows(rows);
}

TBitmap DefaultDownGlyph()
{
    static const char *const rows[6] = {"..##..", "..##..", "..##..",
                                        "######", ".####.", "..##.."};
    return glyphFromRows(rows);
}

// ---- Diagonal button -----------------------------------------------------------------------------

TKpSpinButton::TKpSpinButton(QWidget *parent)
    : QWidget(parent), FUpBitmap(DefaultUpGlyph()), FDownBitmap(DefaultDownGlyph())
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    resize(20, 20);
    DrawAllBitmap();
    FLastDown = sbNotDown;
}

TKpSpinButton::~TKpSpinButton() = default;

void TKpSpinButton::SetDown(TSpinButtonState state)
{
    if (state == FDown)
        return;
    FDown = state;
    update();
}

void TKpSpinButton::SetFocusControl(QWidget *control)
{
    FFocusControl = control;
}

void TKpSpinButton::SetUpGlyph(const TBitmap *glyph)
{
    FUpBitmap = glyph ? *glyph : DefaultUpGlyph();
    GlyphChanged();
}

void TKpSpinButton::SetDownGlyph(const TBitmap *glyph)
{
    FDownBitmap = glyph ? *glyph : DefaultDownGlyph();
    GlyphChanged();
}

void TKpSpinButton::GlyphChanged()
{
    FInvalidate = true;
    update();
}

void TKpSpinButton::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::StyleChange)
        GlyphChanged();
}

QImage TKpSpinButton::DrawBitmap(TSpinButtonState state) const
{
    const int W = std::max(1, width()), H = std::max(1, height());
    QPalette pal = palette();
    pal.setCurrentColorGroup(isEnabled() ? QPalette::Active : QPalette::Disabled);
    const QRgb face = rgb(clBtnFace, pal), frame = rgb(clWindowFrame, pal),
               shadow = rgb(clBtnShadow, pal), highlight = rgb(clBtnHighlight, pal);
    QImage img(W, H, QImage::Format_RGB32);
    img.fill(face);
    // Frame with the diagonal.
    for (int x = 0; x < W; ++x) {
        img.setPixel(x, 0, frame);
        img.setPixel(x, H - 1, frame);
    }
    for (int y = 0; y < H; ++y) {
        img.setPixel(0, y, frame);
        img.setPixel(W - 1, y, frame);
    }
    lineTo(img, -1, H, W, -1, frame);
    // Upper half: raised, or sunk when pressed.
    const bool top = state == sbTopDown, bottom = state == sbBottomDown;
    polyline(img, {{1, H - 4}, {1, 1}, {W - 3, 1}}, top ? shadow : highlight);
    if (!top)
        lineTo(img, 1, H - 3, W - 2, 0, shadow);
    // Lower half.
    polyline(img, {{2, H - 2}, {W - 2, H - 2}, {W - 2, 1}}, bottom ? highlight : shadow);
    lineTo(img, 2, H - 2, W - 1, 1, bottom ? shadow : highlight);
    // Glyphs; a disabled button draws them in the disabled text colour.
    const QRgb grey = rgb(clGrayText, pal);
    QRgb *ink = isEnabled() ? nullptr : const_cast<QRgb *>(&grey);
    const int gw = FUpBitmap.Width(), gh = FUpBitmap.Height();
    const int d = top ? 2 : 1;
    brushCopy(img, nearest(W / 4.0 - gw / 2.0) + d, nearest(H / 4.0 - gh / 2.0) + d, FUpBitmap,
              face, ink);
    const int dw = FDownBitmap.Width(), dh = FDownBitmap.Height();
    brushCopy(img, nearest(3 * W / 4.0 - dw / 2.0) - 1, nearest(3 * H / 4.0 - dh / 2.0) - 1,
              FDownBitmap, face, ink);
    if (bottom)
        lineTo(img, 3, H - 2, W - 1, 2, shadow);
    return img;
}

void TKpSpinButton::DrawAllBitmap()
{
    FTopDownBtn = DrawBitmap(sbTopDown);
    FBottomDownBtn = DrawBitmap(sbBottomDown);
    FNotDownBtn = DrawBitmap(sbNotDown);
}

const QImage &TKpSpinButton::Face(TSpinButtonState state)
{
    if (FNotDownBtn.size() != size() || FInvalidate) {
        DrawAllBitmap();
        FInvalidate = false;
    }
    switch (state) {
    case sbTopDown: return FTopDownBtn;
    case sbBottomDown: return FBottomDownBtn;
    case sbNotDown: break;
    }
    return FNotDownBtn;
}

void TKpSpinButton::paintEvent(QPaintEvent *)
{
    if (!isEnabled())
        FDragging = false;
    const QImage &face = Face(FDown);
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(0, 0, face);
}

bool TKpSpinButton::InBottomHalf(double x, double y) const
{
    const double W = std::max(1, width()), H = height();
    return y > H - (H / W) * x;
}

bool TKpSpinButton::Inside(const QPoint &p) const
{
    return p.x() >= 0 && p.x() <= width() && p.y() >= 0 && p.y() <= height();
}

void TKpSpinButton::TopClick()
{
    if (OnTopClick)
        OnTopClick(this);
    if (!FCaptured)
        FDown = sbNotDown;
}

void TKpSpinButton::BottomClick()
{
    if (OnBottomClick)
        OnBottomClick(this);
    if (!FCaptured)
        FDown = sbNotDown;
}

void TKpSpinButton::mousePressEvent(QMouseEvent *event)
{
    QWidget::mousePressEvent(event);
    event->accept();   // the field under the button never sees it
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    FCaptured = true;
    QWidget *focus = FFocusControl;
    if (focus && (focus->focusPolicy() & Qt::TabFocus) && focus->isEnabled() &&
        focus->isVisible() && !focus->hasFocus())
        focus->setFocus(Qt::OtherFocusReason);
    if (FDown == sbNotDown) {
        FLastDown = sbNotDown;
        const QPoint p = event->position().toPoint();
        if (InBottomHalf(p.x(), p.y())) {
            FDown = sbBottomDown;
            BottomClick();
        } else {
            FDown = sbTopDown;
            TopClick();
        }
        if (FDown != FLastDown) {
            FLastDown = FDown;
            update();
        }
        if (!FRepeatTimer)
            FRepeatTimer = CreateKpTimer();
        FRepeatTimer->OnTimer = [this] { TimerExpired(); };
        FRepeatTimer->SetInterval(400);
        FRepeatTimer->SetEnabled(true);
    }
    FDragging = true;
}

void TKpSpinButton::mouseMoveEvent(QMouseEvent *event)
{
    QWidget::mouseMoveEvent(event);
    event->accept();   // the field under the button never sees it
    if (!FDragging)
        return;
    const QPoint p = event->position().toPoint();
    TSpinButtonState next = FDown;
    if (Inside(p)) {
        if (InBottomHalf(p.x(), p.y())) {
            if (FDown != sbBottomDown)
                next = FLastDown == sbBottomDown ? sbBottomDown : sbNotDown;
        } else if (FDown != sbTopDown) {
            next = FLastDown == sbTopDown ? sbTopDown : sbNotDown;
        }
    } else {
        next = sbNotDown;
    }
    SetDown(next);
}

void TKpSpinButton::mouseReleaseEvent(QMouseEvent *event)
{
    QWidget::mouseReleaseEvent(event);
    event->accept();   // the field under the button never sees it
    if (event->button() == Qt::LeftButton)
        FCaptured = false;
    if (!FDragging)
        return;
    FDragging = false;
    if (Inside(event->position().toPoint())) {
        FDown = sbNotDown;
        FLastDown = sbNotDown;
        update();
    }
}

void TKpSpinButton::TimerExpired()
{
    if (!FRepeatTimer)
        return;
    FRepeatTimer->SetInterval(100);
    if (FDown == sbNotDown || !FCaptured)
        return;
    try {
        if (FDown == sbBottomDown)
            BottomClick();
        else
            TopClick();
    } catch (...) {
        FRepeatTimer->SetEnabled(false);
        throw;
    }
}
} // namespace kelpa::widgets
