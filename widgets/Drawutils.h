#pragma once
// Window and system helpers: dialog units, window activation and centring, message boxes, the
// wait cursor, memory blocks, command-line splitting and the error texts of the widget units.
// The painting helpers are in Drawpaint.h, which this header brings along.
#include "widgets/Drawpaint.h"
#include "widgets/Graphics.h"

#include <QFont>
#include <QFontMetrics>
#include <QIcon>
#include <QLibrary>
#include <QList>
#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QString>
#include <QVariant>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

class QPainter;
class QObject;
class QWidget;

namespace kelpa::widgets {

// ---- Errors --------------------------------------------------------------------------------

class EResNotFound : public std::runtime_error {
public:
    explicit EResNotFound(const QString &message);
};

class EWin32Error : public std::runtime_error {
public:
    EWin32Error(int code, const QString &message);
    int ErrorCode() const { return code_; }

private:
    int code_;
};

// Throws EResNotFound: "Resource %s not found" with the name, or with the number.
[[noreturn]] void ResourceNotFound(const QString &name);
[[noreturn]] void ResourceNotFound(int id);
// Nothing for 0; else throws EWin32Error "Win32 Error.  Code: %d." + line break + the system's
// text for the code.
void RaiseWin32Error(int code);
// Throws the last system error when `ok` is false (also when no error code was left behind:
// a failure is never passed on as success).
void CheckWin32(bool ok);
// Restores the normal cursor, shows "Function not yet implemented" in an information box and
// ends the operation silently (kelpa::Abort).
[[noreturn]] void NotImplemented();

// ---- Members the menus and the editor use ------------------------------------------------------

// Win32 MulDiv: a * b / c to the nearest integer, halves away from zero; -1 when c is 0.
int MulDiv(int a, int b, int c);

QString ResStr(const QString &text);
int WidthOf(const QRect &r);
int HeightOf(const QRect &r);

// ---- Geometry and colour ---------------------------------------------------------------------

bool PointInRect(const QPoint &p, const QRect &r);   // inclusive on all four edges
bool PointInPolyRgn(const QPoint &p, const QPolygon &points);
TColor PaletteColor(TColor color);

// ---- Dialog units and text sizes ---------------------------------------------------------------

// Dialog base units from the application font: the average width of the 52 letters and the
// line height.
int DialogUnitsToPixelsX(int units);
int DialogUnitsToPixelsY(int units);
int PixelsToDialogUnitsX(int pixels);
int PixelsToDialogUnitsY(int pixels);
QString MinimizeText(const QString &text, const QFontMetrics &metrics, int maxWidth);
QPoint GetAveCharSize(const QFontMetrics &metrics);
// ---- Windows ----------------------------------------------------------------------------------

void CenterControl(QWidget *control);
void CenterWindow(QWidget *window);
void MergeForm(QWidget *control, QWidget *form, bool align, bool show);
QRect ScreenWorkArea();
QString WindowClassName(const QWidget *window);
enum ShowCommand : int {
    SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2, SW_SHOWMAXIMIZED = 3,
    SW_SHOWNOACTIVATE = 4, SW_SHOW = 5, SW_MINIMIZE = 6, SW_SHOWMINNOACTIVE = 7, SW_SHOWNA = 8,
    SW_RESTORE = 9,
};
void ShowWinNoAnimate(QWidget *window, int cmdShow);
void SwitchToWindow(QWidget *window, bool restore);
void ActivateWindow(QWidget *window);
// A window of any program of this user, by class or title or both; 0 when none or both empty.
std::uint64_t FindPrevInstance(const QString &mainFormClass, const QString &title);
// Finds that window and brings it to the front; false when there is none.
bool ActivatePrevInstance(const QString &mainFormClass, const QString &title);
bool IsForegroundTask();

// Message box flags and answers.
enum MsgBoxFlag : int {
    MB_OK = 0, MB_OKCANCEL = 1, MB_ABORTRETRYIGNORE = 2, MB_YESNOCANCEL = 3, MB_YESNO = 4,
    MB_RETRYCANCEL = 5,
    MB_ICONHAND = 0x10, MB_ICONQUESTION = 0x20, MB_ICONEXCLAMATION = 0x30, MB_ICONASTERISK = 0x40,
};
enum MsgBoxResult : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };
int MsgBox(const QString &caption, const QString &text, int flags);
enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : int { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };
enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };
// Buttons is a combination of TMsgDlgBtn; the help context has no help file to open here.
int MsgDlg(const QString &msg, TMsgDlgType type, int buttons, int helpCtx);

// ---- Cursor, sound, messages --------------------------------------------------------------------

extern Qt::CursorShape WaitCursor;
void StartWait();
void StopWait();
// The short system sound; tests replace it with SetBeepHandler (an empty function restores the
// system sound; the previous handler is returned).
void Beep();
std::function<void()> SetBeepHandler(std::function<void()> handler);
// Processes events until `msecs` have passed (on a monotonic clock, so it always ends).
void Delay(int msecs);
// Removes the events of that type posted to `receiver` and not yet delivered. A quit request
// is never removed (it stays pending with its exit code).
void KillMessage(QObject *receiver, int eventType);

// ---- Libraries and the system ---------------------------------------------------------------

// Loads a shared library (a name, or a path); the caller owns it and unloads it when done.
// A library that does not load throws EWin32Error with the unit's text: "Win32 Error.  Code:
// 2." and a line break, then why it did not load.
std::unique_ptr<QLibrary> LoadDLL(const QString &name);
// The running system and its version, for example "Linux 6.1.0-18-amd64 Debian GNU/Linux 12
// (bookworm)": kernel, kernel version, product name; trimmed.
QString GetWindowsVersion();

// ---- Memory, texts, environment ------------------------------------------------------------

// Zero-filled blocks that know their size; size 0 (or too large to allocate) gives null.
void *AllocMemo(std::size_t size);
// Resizes keeping the contents, new bytes zero; null `block` allocates, size 0 frees (null).
void *ReallocMemo(void *block, std::size_t size);
void FreeMemo(void *&block);
std::size_t GetMemoSize(const void *block);
bool CompareMem(const void *p1, const void *p2, std::size_t length);
template <class T>
void FreeAndNil(T *&obj)
{
    T *p = obj;
    obj = nullptr;
    delete p;
}
void *HugeInc(void *p, std::size_t offset);
void *HugeDec(void *p, std::size_t offset);
void *HugeOffset(void *p, std::ptrdiff_t offset);
void HMemCpy(void *dst, const void *src, std::size_t count);
// Moves `count` 4-byte items from index `src` to index `dst` of the array at `base` (the ranges
// may overlap); throws std::length_error when the byte count does not fit in a size.
void HugeMove(void *base, std::size_t dst, std::size_t src, std::size_t count);
QString GetEnvVar(const QString &name);   // whole value; "" when absent
void SplitCommandLine(const QString &cmdLine, QString &exeName, QString &params);
QString AnsiUpperFirstChar(const QString &text);
std::unique_ptr<char[]> StrPAlloc(const std::string &text);
const char *StringToPChar(const std::string &text);
QString DropT(const QString &text);
QVariant MakeVariant(const QVariantList &values);

} // namespace kelpa::widgets
