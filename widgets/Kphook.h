#pragma once
// Window hooks: any number of non-visual hook objects watch, and may swallow, the events of a
// widget without a subclass of it. All hooks on one widget share one TControlHook, an event
// filter that asks the hooks before the widget's own handling (BeforeMessage, which may
// swallow the event) and after it (AfterMessage). The process-wide THookList owns the control
// hooks; it re-installs and releases them through queued calls, after the current event has
// finished, so that a hook may detach itself (or be deleted) from inside its own handler.
//
// Hooks see events as a message record: the event type mapped to a message number (one table,
// in Kphook.cpp), with the event itself beside it.
//
// The widget's own handling is its event(), which the control hook calls itself so that the
// after-hooks run once it has finished: event filters installed on the widget later than its
// first hook still run before the hooks, those installed earlier do not run while it is hooked.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

class QEvent;

namespace kelpa::widgets {

// Message numbers that events are mapped to.
namespace msg {
constexpr unsigned WM_NULL = 0x0000;
constexpr unsigned WM_DESTROY = 0x0002;
constexpr unsigned WM_MOVE = 0x0003;
constexpr unsigned WM_SIZE = 0x0005;
constexpr unsigned WM_ACTIVATE = 0x0006;
constexpr unsigned WM_SETFOCUS = 0x0007;
constexpr unsigned WM_KILLFOCUS = 0x0008;
constexpr unsigned WM_ENABLE = 0x000A;
constexpr unsigned WM_PAINT = 0x000F;
constexpr unsigned WM_CLOSE = 0x0010;
constexpr unsigned WM_QUIT = 0x0012;
constexpr unsigned WM_SHOWWINDOW = 0x0018;
constexpr unsigned WM_SETCURSOR = 0x0020;
constexpr unsigned WM_DRAWITEM = 0x002B;
constexpr unsigned WM_MEASUREITEM = 0x002C;
constexpr unsigned WM_HELP = 0x0053;
constexpr unsigned WM_CONTEXTMENU = 0x007B;
constexpr unsigned WM_KEYDOWN = 0x0100;
constexpr unsigned WM_KEYUP = 0x0101;
constexpr unsigned WM_COMMAND = 0x0111;
constexpr unsigned WM_TIMER = 0x0113;
constexpr unsigned WM_INITMENUPOPUP = 0x0117;
constexpr unsigned WM_MENUSELECT = 0x011F;
constexpr unsigned WM_MENUCHAR = 0x0120;
constexpr unsigned WM_MOUSEMOVE = 0x0200;
constexpr unsigned WM_LBUTTONDOWN = 0x0201;
constexpr unsigned WM_LBUTTONUP = 0x0202;
constexpr unsigned WM_LBUTTONDBLCLK = 0x0203;
constexpr unsigned WM_MOUSEWHEEL = 0x020A;
constexpr unsigned WM_DROPFILES = 0x0233;
constexpr unsigned WM_MOUSELEAVE = 0x02A3;
constexpr unsigned CM_MENUCHANGED = 0xB015;
} // namespace msg

// The message a hook sees. Result is what the widget's own handling returned (1 or 0).
struct TMessage {
    unsigned Msg = msg::WM_NULL;
    std::uintptr_t WParam = 0;
    std::intptr_t LParam = 0;
    std::intptr_t Result = 0;
    QEvent *Event = nullptr;   // the event behind the message, or null for a synthesised one
};

// The message number of an event; WM_NULL for an event type without one.
unsigned MessageOfEvent(const QEvent &event);

using THookMessageEvent = std::function<void(QObject *sender, TMessage &message, bool &handled)>;

class TControlHook;
class THookList;

class TKpWindowHook : public QObject {
    Q_OBJECT
public:
    explicit TKpWindowHook(QObject *owner = nullptr);
    ~TKpWindowHook() override;

    bool Active() const { return active_; }
    void SetActive(bool value);
    QWidget *GetWinControl() const;
    void SetWinControl(QWidget *value);
    void HookControl();
    void UnhookControl();

    // The hook list's handle, or 0xFFFFFFFF while no hook list exists.
    std::uintptr_t GetHookHandle() const;
    // The target is the hook's owner and a window of its own.
    bool IsForm() const;
    // The target exists and is not a window of its own.
    bool NotIsForm() const;
    // Loading a stored hook: True targets the owner when it is a window of its own.
    void ReadForm(bool isForm);
    bool WriteForm() const { return IsForm(); }

    THookMessageEvent BeforeMessage;
    THookMessageEvent AfterMessage;

protected:
    virtual void DoAfterMessage(TMessage &message, bool &handled);
    virtual void DoBeforeMessage(TMessage &message, bool &handled);

private:
    TControlHook *DoUnhookControl();
    void targetDestroyed(QObject *object);
    void DropTarget();

    bool active_ = true;
    bool destroying_ = false;
    QPointer<QWidget> target_;
    QWidget *watched_ = nullptr;               // the widget whose destruction we listen for
    QMetaObject::Connection watch_;
    TControlHook *controlHook_ = nullptr;

    friend class TControlHook;
};

// One per hooked widget: the event filter shared by that widget's hooks.
class TControlHook : public QObject {
    Q_OBJECT
public:
    explicit TControlHook(THookList *list);
    ~TControlHook() override;

    QWidget *Control() const { return controlGone_ ? nullptr : control_.data(); }
    void SetControl(QWidget *control);
    const std::vector<TKpWindowHook *> &Hooks() const { return hooks_; }
    bool Installed() const { return installed_; }

    void AddHook(TKpWindowHook *hook);
    void RemoveHook(TKpWindowHook *hook);
    void Install();
    void Restore();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class When { Before, After };
    void AskHooks(When when, TMessage &message, bool &handled);
    void controlDestroyed();

    THookList *list_;
    QPointer<QWidget> control_;
    bool controlGone_ = false;
    QMetaObject::Connection watch_;
    bool installed_ = false;
    std::vector<TKpWindowHook *> hooks_;
    bool destroying_ = false;
    friend class THookList;
};

// The process-wide list of control hooks; created on the first activation of a hook with a
// target, freed with the application object.
class THookList : public QObject {
    Q_OBJECT
public:
    static THookList *Instance();   // null while none exists
    static THookList *Get();        // creates it when needed
    ~THookList() override;

    const std::vector<TControlHook *> &ControlHooks() const { return hooks_; }
    TControlHook *Find(const QWidget *control) const;
    TControlHook *FindOrCreate(QWidget *control);
    // Deferred requests, handled once the current event has finished.
    void PostReinstall(TControlHook *hook);
    void PostRelease(TControlHook *hook);

private:
    explicit THookList(QObject *parent);
    bool Contains(const TControlHook *hook) const;
    void Forget(TControlHook *hook);

    std::vector<TControlHook *> hooks_;
    friend class TControlHook;
};

} // namespace kelpa::widgets
