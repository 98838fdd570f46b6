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
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace kelpa::widgets {

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
