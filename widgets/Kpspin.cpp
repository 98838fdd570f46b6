#include "widgets/Kpspin.h"

#include "widgets/Drawutils.h"
#include "widgets/Strutils.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QStyleOptionSpinBox>
#include <QTimer>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace kelpa::widgets {

// ---- Timer -------------------------------------------------------------------------------------

namespace {

class QtKpTimer final : public TKpTimer {
public:
    QtKpTimer()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (OnTimer)
                OnTimer();
        });
    }
    void SetInterval(int msecs) override
    {
        timer_.setInterval(msecs);
        if (timer_.isActive())
            timer_.start();
    }
    int Interval() const override { return timer_.interval(); }
    void SetEnabled(bool enabled) override
    {
        if (enabled)
            timer_.start();
        else
            timer_.stop();
    }
    bool Enabled() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

TKpTimerFactory &timerFactory()
{
    static TKpTimerFactory factory;
    return factory;
}

} // namespace

TKpTimerFactory SetKpTimerFactory(TKpTimerFactory factory)
{
    std::swap(timerFactory(), factory);
    return factory;
}

std::unique_ptr<TKpTimer> CreateKpTimer()
{
    if (timerFactory())
        return timerFactory()();
    return std::make_unique<QtKpTimer>();
}

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

// ---- Standard up/down ------------------------------------------------------------------------------

int DefaultButtonWidth()
{
    return std::min(15, QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

TKpUpDown::TKpUpDown(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    FMin = -1;
    FMax = 1;
    FPosition = 0;
}

TKpUpDown::~TKpUpDown()
{
    OnClick = nullptr;
}

void TKpUpDown::SetPosition(int position)
{
    FPosition = std::clamp(position, FMin, FMax);
}

void TKpUpDown::ScrollNotification(int code, int position)
{
    if (code != SB_THUMBPOSITION || FChanging)
        return;
    FChanging = true;
    try {
        if (position > 0 && OnClick)
            OnClick(this, btNext);
        else if (position < 0 && OnClick)
            OnClick(this, btPrev);
        FPosition = 0;
    } catch (...) {
        FChanging = false;
        throw;
    }
    FChanging = false;
}

int TKpUpDown::ArrowAt(const QPoint &p) const
{
    if (!rect().contains(p))
        return 0;
    return p.y() < height() / 2 ? 1 : -1;
}

void TKpUpDown::Step()
{
    SetPosition(FPosition + FPressed);
    ScrollNotification(SB_THUMBPOSITION, FPosition);
}

void TKpUpDown::initOption(QStyleOptionSpinBox &option) const
{
    option.initFrom(this);
    option.frame = false;
    option.buttonSymbols = QAbstractSpinBox::UpDownArrows;
    option.stepEnabled = isEnabled() ? (QAbstractSpinBox::StepUpEnabled |
                                        QAbstractSpinBox::StepDownEnabled)
                                     : QAbstractSpinBox::StepNone;
}

void TKpUpDown::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const int half = height() / 2;
    const QRect halves[2] = {QRect(0, 0, width(), half), QRect(0, half, width(), height() - half)};
    for (int i = 0; i < 2; ++i) {
        const bool pressed = FPressed == (i == 0 ? 1 : -1);
        QStyleOptionButton bevel;
        bevel.initFrom(this);
        bevel.rect = halves[i];
        bevel.state |= pressed ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &bevel, &p, this);
        QStyleOptionSpinBox arrow;
        initOption(arrow);
        arrow.rect = halves[i].adjusted(1, 1, -1, -1);
        if (pressed)
            arrow.state |= QStyle::State_Sunken;
        style()->drawPrimitive(i == 0 ? QStyle::PE_IndicatorSpinUp : QStyle::PE_IndicatorSpinDown,
                               &arrow, &p, this);
    }
}

void TKpUpDown::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (width() != DefaultButtonWidth())
        resize(DefaultButtonWidth(), height());
}

void TKpUpDown::mousePressEvent(QMouseEvent *event)
{
    QWidget::mousePressEvent(event);
    event->accept();   // the field under the button never sees it
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    FPressed = ArrowAt(event->position().toPoint());
    if (FPressed == 0)
        return;
    update();
    if (!FRepeatTimer)
        FRepeatTimer = CreateKpTimer();
    FRepeatTimer->OnTimer = [this] {
        FRepeatTimer->SetInterval(style()->styleHint(QStyle::SH_SpinBox_ClickAutoRepeatRate));
        if (FPressed != 0)
            Step();
    };
    FRepeatTimer->SetInterval(style()->styleHint(QStyle::SH_SpinBox_ClickAutoRepeatThreshold));
    FRepeatTimer->SetEnabled(true);
    Step();
}

void TKpUpDown::mouseMoveEvent(QMouseEvent *event)
{
    QWidget::mouseMoveEvent(event);
    event->accept();
}

void TKpUpDown::mouseReleaseEvent(QMouseEvent *event)
{
    QWidget::mouseReleaseEvent(event);
    event->accept();   // the field under the button never sees it
    if (event->button() != Qt::LeftButton)
        return;
    FPressed = 0;
    if (FRepeatTimer)
        FRepeatTimer->SetEnabled(false);
    update();
}

// ---- Spin edit -----------------------------------------------------------------------------------

namespace {

bool toBytes(const QString &text, std::string &out)
{
    out.clear();
    for (QChar c : text) {
        if (c.unicode() > 0x7F)
            return false;
        out += static_cast<char>(c.unicode());
    }
    return true;
}

// The class library's float conversion: blanks around, a sign, digits with the locale's
// decimal separator, an exponent.
bool textToFloat(const QString &text, QChar separator, long double &value)
{
    const QString t = text.trimmed();
    std::string s;
    for (QChar c : t) {
        if (c == separator)
            s += '.';
        else if (c == QLatin1Char('.') || c.unicode() > 0x7F)
            return false;
        else
            s += static_cast<char>(c.unicode());
    }
    std::size_t i = 0;
    auto digits = [&] {
        const std::size_t start = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        return i - start;
    };
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t count = digits();
    if (i < s.size() && s[i] == '.') {
        ++i;
        count += digits();
    }
    if (count == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    if (i != s.size())
        return false;
    const char *begin = s.c_str();
    if (*begin == '+')
        ++begin;
    const auto r = std::from_chars(begin, s.c_str() + s.size(), value);
    return r.ec == std::errc() && std::isfinite(value);
}

long long nearestInt(long double v)
{
    constexpr long double lo = static_cast<long double>(std::numeric_limits<long long>::min());
    constexpr long double hi = static_cast<long double>(std::numeric_limits<long long>::max());
    if (std::isnan(v))
        return 0;
    const long double r = std::nearbyintl(std::clamp(v, lo, hi));
    if (r >= hi)
        return std::numeric_limits<long long>::max();
    return static_cast<long long>(r);
}

QChar decimalSeparator(const QWidget *w)
{
    const QString sep = w->locale().decimalPoint();
    return sep.isEmpty() ? QLatin1Char('.') : sep.front();
}

} // namespace

TKpSpinEdit::TKpSpinEdit(QWidget *parent) : QLineEdit(parent)
{
    setText(QStringLiteral("0"));
    FIncrement = 1.0L;
    FDecimal = 2;
    FEditorEnabled = true;
    FButtonKind = bkDiagonal;
    FArrowKeys = true;
    connect(this, &QLineEdit::textChanged, this, [this] { Change(); });
    RecreateButton();
}

TKpSpinEdit::~TKpSpinEdit()
{
    FDestroying = true;
    FChanging = true;
    delete FButton;
    delete FBtnWindow;
    delete FUpDown;
}

void TKpSpinEdit::Change()
{
    if (!FChanging && OnChange)
        OnChange(this);
}

long double TKpSpinEdit::GetValue() const
{
    long double v = 0;
    bool ok = false;
    if (FValueType == vtFloat) {
        ok = textToFloat(text(), decimalSeparator(this), v);
    } else {
        std::string bytes;
        std::int32_t i = 0;
        if (toBytes(text(), bytes))
            ok = TryStrToInt(FValueType == vtHex ? "$" + bytes : bytes, i);
        v = i;
    }
    if (!ok)
        return FValueType == vtFloat ? FMinValue : std::truncl(FMinValue);
    return v;
}

long double TKpSpinEdit::CheckValue(long double value) const
{
    if (FMaxValue == FMinValue)
        return value;
    if (value < FMinValue)
        return FMinValue;
    if (value > FMaxValue)
        return FMaxValue;
    return value;
}

void TKpSpinEdit::SetValue(long double value)
{
    const long double v = CheckValue(value);
    switch (FValueType) {
    case vtFloat: {
        QString s = std::fabs(v) < 1e15L ? QString::number(static_cast<double>(v), 'f', FDecimal)
                                         : QString::number(static_cast<double>(v), 'E', 14);
        s.replace(QLatin1Char('.'), decimalSeparator(this));
        setText(s);
        break;
    }
    case vtHex: {
        const long long n = nearestInt(v);
        if (n >= std::numeric_limits<std::int32_t>::min() &&
            n <= std::numeric_limits<std::int32_t>::max())
            setText(QString::fromStdString(Dec2Hex(static_cast<std::int32_t>(n), 1)));
        else
            setText(QString::number(static_cast<qulonglong>(n), 16).toUpper());
        break;
    }
    case vtInt: setText(QString::number(nearestInt(v))); break;
    }
}

int TKpSpinEdit::GetAsInteger() const
{
    const long double v = std::truncl(GetValue());
    return static_cast<int>(std::clamp<long double>(v, std::numeric_limits<int>::min(),
                                                    std::numeric_limits<int>::max()));
}

void TKpSpinEdit::SetAsInteger(int value)
{
    SetValue(value);
}

void TKpSpinEdit::SetValueType(TValueType value)
{
    if (value == FValueType)
        return;
    FValueType = value;
    SetValue(GetValue());
    if (FValueType == vtInt || FValueType == vtHex) {
        FIncrement = std::nearbyintl(FIncrement);
        if (FIncrement == 0)
            FIncrement = 1.0L;
    }
}

void TKpSpinEdit::SetDecimal(std::uint8_t value)
{
    if (value == FDecimal)
        return;
    FDecimal = value;
    SetValue(GetValue());
}

void TKpSpinEdit::SetAlignment(TAlignment value)
{
    if (value == FAlignment)
        return;
    FAlignment = value;
    const Qt::Alignment h = value == taRightJustify ? Qt::AlignRight
                            : value == taCenter     ? Qt::AlignHCenter
                                                    : Qt::AlignLeft;
    setAlignment(h | Qt::AlignVCenter);
}

void TKpSpinEdit::SetArrowKeys(bool value)
{
    FArrowKeys = value;
    ResizeButton();
}

TSpinButtonKind TKpSpinEdit::GetButtonKind() const
{
    return FButtonKind;
}

void TKpSpinEdit::SetButtonKind(TSpinButtonKind value)
{
    const TSpinButtonKind old = FButtonKind;
    FButtonKind = value;
    if (GetButtonKind() != old) {
        RecreateButton();
        ResizeButton();
        SetEditRect();
    }
}

int TKpSpinEdit::GetButtonWidth() const
{
    if (FUpDown)
        return FUpDown->width();
    if (FButton)
        return FButton->width();
    return DefaultButtonWidth();
}

void TKpSpinEdit::GetTextHeight(int &sysHeight, int &height) const
{
    sysHeight = QFontMetrics(QApplication::font()).height();
    height = fontMetrics().height();
}

int TKpSpinEdit::GetMinHeight() const
{
    int sys = 0, h = 0;
    GetTextHeight(sys, h);
    return h + 4 * 1 + 1;
}

void TKpSpinEdit::UpDownClick(QObject *sender, TUDBtnType button)
{
    if ((focusPolicy() & Qt::TabFocus) && isEnabled() && isVisible() && !hasFocus())
        setFocus(Qt::OtherFocusReason);
    if (button == btNext)
        UpClick(sender);
    else
        DownClick(sender);
}

void TKpSpinEdit::Step(long double delta, const TNotifyEvent &event)
{
    if (isReadOnly()) {
        Beep();
        return;
    }
    const QString old = text();
    FChanging = true;
    try {
        SetValue(GetValue() + delta);
    } catch (...) {
        FChanging = false;
        throw;
    }
    FChanging = false;
    if (QString::compare(text(), old, Qt::CaseInsensitive) != 0) {
        setModified(true);
        Change();
    }
    if (event)
        event(this);
}

void TKpSpinEdit::UpClick(QObject *)
{
    Step(FIncrement, OnTopClick);
}

void TKpSpinEdit::DownClick(QObject *)
{
    Step(-FIncrement, OnBottomClick);
}

bool TKpSpinEdit::IsValidChar(QChar key) const
{
    QString allowed = QStringLiteral("+-0123456789");
    if (FValueType == vtFloat) {
        const QChar sep = decimalSeparator(this);
        if (!text().contains(sep))
            allowed += sep;
        if (!text().toUpper().contains(QLatin1Char('E')))
            allowed += QStringLiteral("Ee");
    } else if (FValueType == vtHex) {
        allowed += QStringLiteral("ABCDEFabcdef");
    }
    bool result = allowed.contains(key) || key.unicode() < 32;
    if (!FEditorEnabled && result && (key.unicode() >= 32 || key.unicode() == 8))
        result = false;
    return result;
}

bool TKpSpinEdit::EditingAllowed() const
{
    return FEditorEnabled && !isReadOnly();
}

void TKpSpinEdit::Paste()
{
    if (EditingAllowed())
        QLineEdit::paste();
}

void TKpSpinEdit::Cut()
{
    if (EditingAllowed())
        QLineEdit::cut();
}

void TKpSpinEdit::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (FArrowKeys && (key == Qt::Key_Up || key == Qt::Key_Down)) {
        if (key == Qt::Key_Up)
            UpClick(this);
        else
            DownClick(this);
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        Paste();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Cut)) {
        Cut();
        event->accept();
        return;
    }
    // Delete edits without typing a character; it is refused with the other editing keys.
    if (key == Qt::Key_Delete) {
        if (!FEditorEnabled) {
            Beep();
            event->accept();
            return;
        }
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QString typed = event->text();
    if (!typed.isEmpty()) {
        const QChar c = typed.front();
        if (!IsValidChar(c)) {
            Beep();
            event->accept();
            return;
        }
        if (c == QLatin1Char('\r') || c.unicode() == 27) {
            // Enter and Escape belong to the form (its default and cancel buttons).
            QWidget *form = window();
            if (form && form != this) {
                QKeyEvent dialogKey(QEvent::KeyPress, key, event->modifiers(), typed);
                QCoreApplication::sendEvent(form, &dialogKey);
            }
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void TKpSpinEdit::focusInEvent(QFocusEvent *event)
{
    if (FAutoSelect && event->reason() != Qt::MouseFocusReason)
        selectAll();
    QLineEdit::focusInEvent(event);
}

void TKpSpinEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // Another window or a popup taking the focus does not leave the field.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    if (CheckValue(GetValue()) != GetValue())
        SetValue(GetValue());
}

void TKpSpinEdit::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    if (height() < GetMinHeight()) {
        resize(width(), GetMinHeight());
        return;
    }
    ResizeButton();
    SetEditRect();
}

void TKpSpinEdit::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
        ResizeButton();
        SetEditRect();
        break;
    case QEvent::EnabledChange:
        if (FUpDown) {
            FUpDown->setEnabled(isEnabled());
            ResizeButton();
        }
        if (FButton)
            FButton->setEnabled(isEnabled());
        break;
    default: break;
    }
}

void TKpSpinEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QList<QAction *> actions = menu->actions();
    for (qsizetype i = 0; i < actions.size(); ++i) {
        QAction *a = actions[i];
        if (disconnect(a, &QAction::triggered, this, &QLineEdit::cut)) {
            connect(a, &QAction::triggered, this, &TKpSpinEdit::Cut);
            a->setEnabled(a->isEnabled() && EditingAllowed());
        } else if (disconnect(a, &QAction::triggered, this, &QLineEdit::paste)) {
            connect(a, &QAction::triggered, this, &TKpSpinEdit::Paste);
            a->setEnabled(a->isEnabled() && EditingAllowed());
            // The standard menu's "Delete" follows "Paste".
            if (i + 1 < actions.size() && !FEditorEnabled)
                actions[i + 1]->setEnabled(false);
        }
    }
    menu->popup(event->globalPos());
}

void TKpSpinEdit::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::MiddleButton && !EditingAllowed()) {
        event->accept();
        return;
    }
    QLineEdit::mousePressEvent(event);
}

void TKpSpinEdit::mouseReleaseEvent(QMouseEvent *event)
{
    // The middle button pastes the selection on X11.
    if (event->button() == Qt::MiddleButton && !EditingAllowed()) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void TKpSpinEdit::dropEvent(QDropEvent *event)
{
    if (!EditingAllowed()) {
        event->ignore();
        return;
    }
    QLineEdit::dropEvent(event);
}

void TKpSpinEdit::inputMethodEvent(QInputMethodEvent *event)
{
    // Composed characters pass the same filter as typed ones.
    const QString commit = event->commitString();
    for (QChar c : commit) {
        if (!IsValidChar(c)) {
            Beep();
            event->accept();
            return;
        }
    }
    QLineEdit::inputMethodEvent(event);
}

void TKpSpinEdit::RecreateButton()
{
    if (FDestroying)
        return;
    delete FButton;
    FButton = nullptr;
    delete FBtnWindow;
    FBtnWindow = nullptr;
    delete FUpDown;
    FUpDown = nullptr;
    if (GetButtonKind() == bkStandard) {
        FUpDown = new TKpUpDown(this);
        FUpDown->setGeometry(0, 0, DefaultButtonWidth(), height());
        FUpDown->OnClick = [this](QObject *sender, TUDBtnType button) {
            UpDownClick(sender, button);
        };
        FUpDown->setEnabled(isEnabled());
        FUpDown->show();
    } else {
        FBtnWindow = new QWidget(this);
        FBtnWindow->setCursor(Qt::ArrowCursor);
        FBtnWindow->setGeometry(0, 0, height(), height());
        FBtnWindow->show();
        FButton = new TKpSpinButton(FBtnWindow);
        FButton->SetFocusControl(this);
        FButton->OnTopClick = [this](QObject *sender) { UpClick(sender); };
        FButton->OnBottomClick = [this](QObject *sender) { DownClick(sender); };
        FButton->setGeometry(0, 0, FBtnWindow->width(), FBtnWindow->height());
        FButton->setEnabled(isEnabled());
        FButton->show();
    }
}

void TKpSpinEdit::ResizeButton()
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const int fw = hasFrame() ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this)
                              : 0;
    const QRect client = rect().adjusted(fw, fw, -fw, -fw);
    if (FUpDown) {
        const int w = DefaultButtonWidth();
        FUpDown->setGeometry(client.right() + 1 - w, client.top(), w, client.height());
    } else if (FButton && FBtnWindow) {
        QRect r;
        if (hasFrame()) {
            // One pixel above the client area, reaching its right and bottom edges; the part
            // outside the client area is cut off, as a child window's would be.
            const int size = client.height() + 1;
            r = QRect(client.right() + 1 - size, client.top() - 1, size, size);
        } else {
            r = QRect(width() - height(), 0, height(), height());
        }
        const QRect shown = hasFrame() ? (r & client) : r;
        FBtnWindow->setGeometry(shown);
        FButton->setGeometry(QRect(r.topLeft() - shown.topLeft(), r.size()));
    }
}

void TKpSpinEdit::SetEditRect()
{
    const QWidget *button = FUpDown ? static_cast<QWidget *>(FUpDown) : FBtnWindow;
    if (!button)
        return;
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    // The text runs from the left edge of the client area (the field's own margin of two
    // pixels is taken back) to two pixels short of the button (that margin again).
    constexpr int fieldMargin = 2;
    setTextMargins(-fieldMargin, 0, std::max(0, contents.right() + 1 - button->geometry().left()),
                   0);
}

} // namespace kelpa::widgets
