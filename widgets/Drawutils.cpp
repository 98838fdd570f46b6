#include "widgets/Drawutils.h"

#include "platform/LastError.h"
#include "platform/WindowMessages.h"
#include "support/Abort.h"
#include "support/Prompter.h"
#include "widgets/Kpconst.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSysInfo>
#include <QThread>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kelpa::widgets {

// ---- Errors --------------------------------------------------------------------------------

EResNotFound::EResNotFound(const QString &message) : std::runtime_error(message.toStdString()) {}

EWin32Error::EWin32Error(int code, const QString &message)
    : std::runtime_error(message.toStdString()), code_(code)
{
}

void ResourceNotFound(const QString &name)
{
    throw EResNotFound(QStringLiteral("Resource %1 not found").arg(name));
}

void ResourceNotFound(int id)
{
    ResourceNotFound(QString::number(id));
}

void RaiseWin32Error(int code)
{
    if (code == 0)
        return;
    throw EWin32Error(code, QStringLiteral("Win32 Error.  Code: %1.\n%2")
                                .arg(code)
                                .arg(platform::errorText(code)));
}

void CheckWin32(bool ok)
{
    if (ok)
        return;
    const int code = platform::lastError();
    if (code == 0)
        throw EWin32Error(0, QStringLiteral("Win32 Error.  Code: 0.\n"));
    RaiseWin32Error(code);
}

void NotImplemented()
{
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
    CurrentPrompter().message({QGuiApplication::applicationDisplayName(), LoadStr(SNotImplemented),
                               MessageIcon::Information, MessageButtons::Ok});
    throw Abort();
}

// ---- Arithmetic and rectangles ---------------------------------------------------------------

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const long long num = static_cast<long long>(a) * b;
    const long long den = c;
    const bool negative = (num < 0) != (den < 0);
    const long long an = num < 0 ? -num : num;
    const long long ad = den < 0 ? -den : den;
    const long long q = (an + ad / 2) / ad;
    const long long r = negative ? -q : q;
    if (r > std::numeric_limits<int>::max() || r < std::numeric_limits<int>::min())
        return -1;
    return static_cast<int>(r);
}

QString ResStr(const QString &text)
{
    return text;
}

int WidthOf(const QRect &r)
{
    return r.width();
}

int HeightOf(const QRect &r)
{
    return r.height();
}

// ---- Geometry ----------------------------------------------------------------------------------

bool PointInRect(const QPoint &p, const QRect &r)
{
    return p.x() >= r.left() && p.x() <= r.left() + r.width() && p.y() >= r.top() &&
           p.y() <= r.top() + r.height();
}

bool PointInPolyRgn(const QPoint &p, const QPolygon &points)
{
    return QRegion(points, Qt::WindingFill).contains(p);
}

TColor PaletteColor(TColor color)
{
    return ColorToRGB(color) | 0x02000000u;
}

// ---- Dialog units and text sizes ---------------------------------------------------------------

namespace {

QPoint dialogBaseUnits()
{
    const QFontMetrics fm(QGuiApplication::font());
    return QPoint(std::max(1, GetAveCharSize(fm).x()), std::max(1, fm.height()));
}

} // namespace

int DialogUnitsToPixelsX(int units)
{
    return units * dialogBaseUnits().x() / 4;
}

int DialogUnitsToPixelsY(int units)
{
    return units * dialogBaseUnits().y() / 8;
}

int PixelsToDialogUnitsX(int pixels)
{
    return pixels * 4 / dialogBaseUnits().x();
}

int PixelsToDialogUnitsY(int pixels)
{
    return pixels * 8 / dialogBaseUnits().y();
}

QString MinimizeText(const QString &text, const QFontMetrics &metrics, int maxWidth)
{
    if (metrics.horizontalAdvance(text) <= maxWidth)
        return text;
    QString attempt = text;
    // The last attempt is the ellipsis alone; it is returned even when it does not fit.
    for (qsizetype i = 2; i <= text.size() + 1; ++i) {
        attempt = text.left(std::max<qsizetype>(0, text.size() - i)) + QStringLiteral("...");
        if (metrics.horizontalAdvance(attempt) <= maxWidth)
            break;
    }
    return attempt;
}

QPoint GetAveCharSize(const QFontMetrics &metrics)
{
    QString letters;
    for (char c = 'A'; c <= 'Z'; ++c)
        letters += QLatin1Char(c);
    for (char c = 'a'; c <= 'z'; ++c)
        letters += QLatin1Char(c);
    return QPoint(metrics.horizontalAdvance(letters) / 52, metrics.height());
}

// ---- Windows -----------------------------------------------------------------------------------

namespace {

QRect screenOf(const QWidget *w)
{
    QScreen *s = w && w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect();
}

} // namespace

void CenterControl(QWidget *control)
{
    if (!control)
        return;
    QRect area;
    if (!control->isWindow() && control->parentWidget())
        area = control->parentWidget()->rect();
    else
        area = screenOf(control);
    const QSize size = control->frameGeometry().size();
    // Kept inside its own area, which on a screen left of the first lies at negative x.
    const int x = std::max(area.left(), area.left() + (area.width() - size.width()) / 2);
    const int y = std::max(area.top(), area.top() + (area.height() - size.height()) / 2);
    control->move(x, y);
}

void CenterWindow(QWidget *window)
{
    if (!window)
        return;
    const QRect area = screenOf(window);
    const QSize size = window->frameGeometry().size();
    int x = area.left() + (area.width() - size.width()) / 2;
    int y = area.top() + (area.height() - size.height()) / 2;
    // Kept on the screen; a window larger than the screen keeps its top-left corner on it.
    x = std::max(area.left(), std::min(x, area.left() + area.width() - size.width()));
    y = std::max(area.top(), std::min(y, area.top() + area.height() - size.height()));
    window->move(x, y);
}

void MergeForm(QWidget *control, QWidget *form, bool align, bool show)
{
    if (!control || !form)
        return;
    form->hide();
    form->setParent(control, Qt::Widget);
    form->setWindowFlags(Qt::Widget | Qt::FramelessWindowHint);
    if (align) {
        auto *layout = control->layout();
        if (!layout) {
            layout = new QVBoxLayout(control);
            layout->setContentsMargins(0, 0, 0, 0);
        }
        layout->addWidget(form);
    }
    form->setVisible(show);
}

QRect ScreenWorkArea()
{
    QScreen *s = QGuiApplication::primaryScreen();
    if (!s)
        return QRect();
    const QRect work = s->availableGeometry();
    return work.isEmpty() ? s->geometry() : work;
}

QString WindowClassName(const QWidget *window)
{
    return window ? QString::fromLatin1(window->metaObject()->className()) : QString();
}

void ShowWinNoAnimate(QWidget *window, int cmdShow)
{
    if (!window)
        return;
    switch (cmdShow) {
    case SW_HIDE: window->hide(); break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE: window->showMinimized(); break;
    case SW_SHOWMAXIMIZED: window->showMaximized(); break;
    case SW_SHOWNORMAL:
    case SW_RESTORE: window->showNormal(); break;
    case SW_SHOWNOACTIVATE:
    case SW_SHOWNA: {
        const bool old = window->testAttribute(Qt::WA_ShowWithoutActivating);
        window->setAttribute(Qt::WA_ShowWithoutActivating, true);
        window->show();
        window->setAttribute(Qt::WA_ShowWithoutActivating, old);
        break;
    }
    default: window->show(); break;
    }
}

void SwitchToWindow(QWidget *window, bool restore)
{
    if (!window || !window->isEnabled())
        return;
    window->raise();
    window->activateWindow();
    if (restore && window->isVisible()) {
        // Restored to the state it had before it was minimised; a maximised window stays so.
        if (window->isMinimized())
            window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->setFocus();
    }
}

void ActivateWindow(QWidget *window)
{
    if (!window)
        return;
    ShowWinNoAnimate(window, SW_SHOW);
    window->raise();
    window->activateWindow();
}

std::uint64_t FindPrevInstance(const QString &mainFormClass, const QString &title)
{
    if (mainFormClass.isEmpty() && title.isEmpty())
        return 0;
    if (title.isEmpty())
        return platform::FindWindow(mainFormClass);
    return platform::FindWindow(mainFormClass, title);
}

bool ActivatePrevInstance(const QString &mainFormClass, const QString &title)
{
    const std::uint64_t w = FindPrevInstance(mainFormClass, title);
    return w != 0 && platform::BringWindowToFront(w);
}

bool IsForegroundTask()
{
    return QApplication::activeWindow() != nullptr;
}

int MsgBox(const QString &caption, const QString &text, int flags)
{
    MessageRequest r{caption, text, MessageIcon::None, MessageButtons::Ok};
    switch (flags & 0x0F) {
    case MB_OKCANCEL: r.buttons = MessageButtons::OkCancel; break;
    case MB_RETRYCANCEL: r.buttons = MessageButtons::RetryCancel; break;
    case MB_ABORTRETRYIGNORE: r.buttons = MessageButtons::AbortRetryIgnore; break;
    case MB_YESNO: r.buttons = MessageButtons::YesNo; break;
    case MB_YESNOCANCEL: r.buttons = MessageButtons::YesNoCancel; break;
    default: break;
    }
    switch (flags & 0xF0) {
    case MB_ICONHAND: r.icon = MessageIcon::Error; break;
    case MB_ICONQUESTION: r.icon = MessageIcon::Question; break;
    case MB_ICONEXCLAMATION: r.icon = MessageIcon::Warning; break;
    case MB_ICONASTERISK: r.icon = MessageIcon::Information; break;
    default: break;
    }
    switch (CurrentPrompter().message(r)) {
    case MessageAnswer::Ok: return IDOK;
    case MessageAnswer::Cancel: return IDCANCEL;
    case MessageAnswer::Yes: return IDYES;
    case MessageAnswer::No: return IDNO;
    case MessageAnswer::Retry: return IDRETRY;
    case MessageAnswer::Abort: return IDABORT;
    case MessageAnswer::Ignore: return IDIGNORE;
    }
    return IDCANCEL;
}

int MsgDlg(const QString &msg, TMsgDlgType type, int buttons, int /*helpCtx*/)
{
    static const char *const titles[] = {"Warning", "Error", "Information", "Confirm"};
    static const MessageIcon icons[] = {MessageIcon::Warning, MessageIcon::Error,
                                        MessageIcon::Information, MessageIcon::Question};
    MessageRequest r;
    r.text = msg;
    if (type == mtCustom) {
        r.caption = QGuiApplication::applicationDisplayName();
    } else {
        r.caption = QString::fromLatin1(titles[type]);
        r.icon = icons[type];
    }
    const bool yes = buttons & mbYes, no = buttons & mbNo, cancel = buttons & mbCancel;
    if (yes && no)
        r.buttons = cancel ? MessageButtons::YesNoCancel : MessageButtons::YesNo;
    else if (cancel)
        r.buttons = MessageButtons::OkCancel;
    switch (CurrentPrompter().message(r)) {
    case MessageAnswer::Ok: return mrOk;
    case MessageAnswer::Cancel: return mrCancel;
    case MessageAnswer::Yes: return mrYes;
    case MessageAnswer::No: return mrNo;
    case MessageAnswer::Retry:
    case MessageAnswer::Abort:
    case MessageAnswer::Ignore: break; // not offered by these buttons
    }
    return mrCancel;
}

// ---- Cursor, sound, events ---------------------------------------------------------------------

Qt::CursorShape WaitCursor = Qt::WaitCursor;

namespace {

int waitCount = 0;
std::function<void()> beepHandler;

} // namespace

void StartWait()
{
    if (waitCount++ == 0)
        QGuiApplication::setOverrideCursor(QCursor(WaitCursor));
}

void StopWait()
{
    if (waitCount == 0)
        return;
    if (--waitCount == 0)
        QGuiApplication::restoreOverrideCursor();
}

void Beep()
{
    if (beepHandler)
        beepHandler();
    else
        QApplication::beep();
}

std::function<void()> SetBeepHandler(std::function<void()> handler)
{
    std::swap(beepHandler, handler);
    return handler;
}

void Delay(int msecs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < msecs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents,
                                        static_cast<int>(std::max<qint64>(1, msecs - timer.elapsed())));
        QThread::msleep(1);
    }
}

// ---- Memory ------------------------------------------------------------------------------------

namespace {

// Every block carries its size in front, aligned for any object.
constexpr std::size_t headerSize = alignof(std::max_align_t) > sizeof(std::size_t)
                                       ? alignof(std::max_align_t)
                                       : sizeof(std::size_t);

unsigned char *headerOf(const void *block)
{
    return static_cast<unsigned char *>(const_cast<void *>(block)) - headerSize;
}

} // namespace

void *AllocMemo(std::size_t size)
{
    if (size == 0 || size > std::numeric_limits<std::size_t>::max() - headerSize)
        return nullptr;
    auto *raw = static_cast<unsigned char *>(std::calloc(1, size + headerSize));
    if (!raw)
        return nullptr;
    std::memcpy(raw, &size, sizeof size);
    return raw + headerSize;
}

void *ReallocMemo(void *block, std::size_t size)
{
    if (!block)
        return AllocMemo(size);
    if (size == 0) {
        FreeMemo(block);
        return nullptr;
    }
    const std::size_t old = GetMemoSize(block);
    if (size > std::numeric_limits<std::size_t>::max() - headerSize)
        return nullptr;
    auto *raw = static_cast<unsigned char *>(std::realloc(headerOf(block), size + headerSize));
    if (!raw)
        return nullptr;   // the old block stays as it was
    if (size > old)
        std::memset(raw + headerSize + old, 0, size - old);
    std::memcpy(raw, &size, sizeof size);
    return raw + headerSize;
}

void FreeMemo(void *&block)
{
    if (block)
        std::free(headerOf(block));
    block = nullptr;
}

std::size_t GetMemoSize(const void *block)
{
    if (!block)
        return 0;
    std::size_t size = 0;
    std::memcpy(&size, headerOf(block), sizeof size);
    return size;
}

bool CompareMem(const void *p1, const void *p2, std::size_t length)
{
    return length == 0 || std::memcmp(p1, p2, length) == 0;
}

void *HugeInc(void *p, std::size_t offset)
{
    return static_cast<char *>(p) + offset;
}

void *HugeDec(void *p, std::size_t offset)
{
    return static_cast<char *>(p) - offset;
}

void *HugeOffset(void *p, std::ptrdiff_t offset)
{
    return static_cast<char *>(p) + offset;
}

void HMemCpy(void *dst, const void *src, std::size_t count)
{
    if (count)
        std::memmove(dst, src, count);
}

void HugeMove(void *base, std::size_t dst, std::size_t src, std::size_t count)
{
    constexpr std::size_t item = 4;
    constexpr std::size_t limit = std::numeric_limits<std::size_t>::max() / item;
    if (count > limit || dst > limit || src > limit)
        throw std::length_error("HugeMove: byte count too large");
    if (count)
        std::memmove(static_cast<char *>(base) + dst * item,
                     static_cast<const char *>(base) + src * item, count * item);
}

// ---- Texts -------------------------------------------------------------------------------------

QString GetEnvVar(const QString &name)
{
    return qEnvironmentVariable(name.toLocal8Bit().constData());
}

void SplitCommandLine(const QString &cmdLine, QString &exeName, QString &params)
{
    QStringList items;
    qsizetype i = 0;
    const qsizetype n = cmdLine.size();
    while (i < n) {
        while (i < n && cmdLine[i].unicode() <= ' ')
            ++i;
        if (i >= n)
            break;
        QString item;
        while (i < n && cmdLine[i].unicode() > ' ') {
            if (cmdLine[i] == QLatin1Char('"')) {
                ++i;
                while (i < n && cmdLine[i] != QLatin1Char('"'))
                    item += cmdLine[i++];
                if (i < n)
                    ++i;   // the closing quote
            } else {
                item += cmdLine[i++];
            }
        }
        if (!item.isEmpty())
            items << item;
    }
    exeName = items.isEmpty() ? QString() : items.takeFirst();
    for (QString &item : items)
        if (item.contains(QLatin1Char(' ')))
            item = QLatin1Char('"') + item + QLatin1Char('"');
    params = items.join(QLatin1Char(' '));
}

QString AnsiUpperFirstChar(const QString &text)
{
    QString r = text.toLower();
    if (!r.isEmpty())
        r[0] = r[0].toUpper();
    return r;
}

std::unique_ptr<char[]> StrPAlloc(const std::string &text)
{
    auto p = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(p.get(), text.c_str(), text.size() + 1);
    return p;
}

const char *StringToPChar(const std::string &text)
{
    return text.c_str();
}

QString DropT(const QString &text)
{
    if (text.size() > 1 && (text[0] == QLatin1Char('T') || text[0] == QLatin1Char('t')))
        return text.mid(1);
    return text;
}

QVariant MakeVariant(const QVariantList &values)
{
    if (values.isEmpty())
        return QVariant();
    if (values.size() == 1)
        return values.front();
    return QVariant(values);
}

void KillMessage(QObject *receiver, int eventType)
{
    if (!receiver || eventType == QEvent::Quit)
        return;
    QCoreApplication::removePostedEvents(receiver, eventType);
}

std::unique_ptr<QLibrary> LoadDLL(const QString &name)
{
    auto library = std::make_unique<QLibrary>(name);
    if (!library->load()) {
        constexpr int kNotFound = 2; // the code of a file that is not there
        throw EWin32Error(kNotFound, QStringLiteral("Win32 Error.  Code: %1.\n%2").arg(kNotFound).arg(library->errorString()));
    }
    return library;
}

QString GetWindowsVersion()
{
    QString kernel = QSysInfo::kernelType();
    if (!kernel.isEmpty())
        kernel[0] = kernel[0].toUpper();
    return QStringLiteral("%1 %2 %3").arg(kernel, QSysInfo::kernelVersion(), QSysInfo::prettyProductName()).trimmed();
}

} // namespace kelpa::widgets
