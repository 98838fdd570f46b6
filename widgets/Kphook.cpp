#include "widgets/Kphook.h"

#include "support/Abort.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlatformSurfaceEvent>
#include <algorithm>
#include <utility>

namespace kelpa::widgets {

namespace {

struct EventMessage {
    QEvent::Type type;
    unsigned message;
};

// The one table from event types to message numbers.
constexpr EventMessage kEventMessages[] = {
    {QEvent::Move, msg::WM_MOVE},
    {QEvent::Resize, msg::WM_SIZE},
    {QEvent::WindowActivate, msg::WM_ACTIVATE},
    {QEvent::WindowDeactivate, msg::WM_ACTIVATE},
    {QEvent::FocusIn, msg::WM_SETFOCUS},
    {QEvent::FocusOut, msg::WM_KILLFOCUS},
    {QEvent::EnabledChange, msg::WM_ENABLE},
    {QEvent::Paint, msg::WM_PAINT},
    {QEvent::Close, msg::WM_CLOSE},
    {QEvent::Quit, msg::WM_QUIT},
    {QEvent::Show, msg::WM_SHOWWINDOW},
    {QEvent::Hide, msg::WM_SHOWWINDOW},
    {QEvent::CursorChange, msg::WM_SETCURSOR},
    {QEvent::WhatsThis, msg::WM_HELP},
    {QEvent::ContextMenu, msg::WM_CONTEXTMENU},
    {QEvent::KeyPress, msg::WM_KEYDOWN},
    {QEvent::KeyRelease, msg::WM_KEYUP},
    {QEvent::Timer, msg::WM_TIMER},
    {QEvent::MouseMove, msg::WM_MOUSEMOVE},
    {QEvent::MouseButtonPress, msg::WM_LBUTTONDOWN},
    {QEvent::MouseButtonRelease, msg::WM_LBUTTONUP},
    {QEvent::MouseButtonDblClick, msg::WM_LBUTTONDBLCLK},
    {QEvent::Wheel, msg::WM_MOUSEWHEEL},
    {QEvent::Drop, msg::WM_DROPFILES},
    {QEvent::Leave, msg::WM_MOUSELEAVE},
    {QEvent::ActionAdded, msg::CM_MENUCHANGED},
    {QEvent::ActionChanged, msg::CM_MENUCHANGED},
    {QEvent::ActionRemoved, msg::CM_MENUCHANGED},
};

TMessage MessageFor(QEvent *event)
{
    TMessage m;
    m.Event = event;
    m.Msg = MessageOfEvent(*event);
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        m.WParam = static_cast<std::uintptr_t>(static_cast<QKeyEvent *>(event)->key());
        break;
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        const QPoint p = static_cast<QMouseEvent *>(event)->position().toPoint();
        m.LParam = static_cast<std::intptr_t>((static_cast<std::uint32_t>(p.y() & 0xFFFF) << 16)
                                              | static_cast<std::uint32_t>(p.x() & 0xFFFF));
        break;
    }
    case QEvent::Show:
    case QEvent::WindowActivate:
        m.WParam = 1;
        break;
    default:
        break;
    }
    return m;
}

QPointer<THookList> gHookList;

} // namespace

unsigned MessageOfEvent(const QEvent &event)
{
    // A native window going away is the widget's window being destroyed (or recreated).
    if (event.type() == QEvent::PlatformSurface)
        return static_cast<const QPlatformSurfaceEvent &>(event).surfaceEventType()
                       == QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed
                   ? msg::WM_DESTROY
                   : msg::WM_NULL;
    for (const EventMessage &e : kEventMessages)
        if (e.type == event.type())
            return e.message;
    return msg::WM_NULL;
}

// ---- TKpWindowHook ----

TKpWindowHook::TKpWindowHook(QObject *owner) : QObject(owner) {}

TKpWindowHook::~TKpWindowHook()
{
    destroying_ = true;
    SetActive(false);
    SetWinControl(nullptr);
}

void TKpWindowHook::SetActive(bool value)
{
    if (value == active_)
        return;
    if (value)
        HookControl();
    else
        UnhookControl();
}

void TKpWindowHook::HookControl()
{
    if (target_ && !destroying_)
        THookList::Get()->FindOrCreate(target_)->AddHook(this);
    active_ = true;
}

void TKpWindowHook::UnhookControl()
{
    DoUnhookControl();
    active_ = false;
}

TControlHook *TKpWindowHook::DoUnhookControl()
{
    TControlHook *former = controlHook_;
    if (former) {
        former->RemoveHook(this);
        // A control hook left without hooks goes once the current event has finished.
        if (former->Hooks().empty() && THookList::Instance())
            THookList::Instance()->PostRelease(former);
    }
    active_ = false;
    return former;
}

QWidget *TKpWindowHook::GetWinControl() const
{
    return controlHook_ ? controlHook_->Control() : target_.data();
}

void TKpWindowHook::SetWinControl(QWidget *value)
{
    if (value == GetWinControl())
        return;
    const bool wasActive = active_;
    DoUnhookControl();
    target_ = value;
    if (watched_ != value) {
        disconnect(watch_);
        watched_ = value;
        if (value)
            watch_ = connect(value, &QObject::destroyed, this, &TKpWindowHook::targetDestroyed);
    }
    if (wasActive)
        HookControl();
}

void TKpWindowHook::targetDestroyed(QObject *object)
{
    if (object != watched_)
        return;
    disconnect(watch_);
    watched_ = nullptr;
    DropTarget();
}

void TKpWindowHook::DropTarget()
{
    // As setting no target: the hook keeps its Active state for a later target.
    const bool wasActive = active_;
    DoUnhookControl();
    target_ = nullptr;
    if (wasActive)
        HookControl();
}

std::uintptr_t TKpWindowHook::GetHookHandle() const
{
    THookList *list = THookList::Instance();
    return list ? reinterpret_cast<std::uintptr_t>(list) : 0xFFFFFFFFu;
}

bool TKpWindowHook::IsForm() const
{
    QWidget *control = GetWinControl();
    return control && control == parent() && control->isWindow();
}

bool TKpWindowHook::NotIsForm() const
{
    QWidget *control = GetWinControl();
    return control && !control->isWindow();
}

void TKpWindowHook::ReadForm(bool isForm)
{
    auto *owner = qobject_cast<QWidget *>(parent());
    if (isForm && owner && owner->isWindow())
        SetWinControl(owner);
}

void TKpWindowHook::DoAfterMessage(TMessage &message, bool &handled)
{
    // A copy, so that a handler may delete its own hook.
    if (THookMessageEvent handler = AfterMessage)
        handler(this, message, handled);
}

void TKpWindowHook::DoBeforeMessage(TMessage &message, bool &handled)
{
    if (THookMessageEvent handler = BeforeMessage)
        handler(this, message, handled);
}

// ---- TControlHook ----

TControlHook::TControlHook(THookList *list) : list_(list) {}

TControlHook::~TControlHook()
{
    destroying_ = true;
    if (list_)
        list_->Forget(this);
    while (!hooks_.empty()) {
        TKpWindowHook *hook = hooks_.back();
        hook->controlHook_ = nullptr;
        hooks_.pop_back();
    }
    Restore();
    SetControl(nullptr);
}

void TControlHook::SetControl(QWidget *control)
{
    if (control == control_ && !controlGone_)
        return;
    Restore();
    disconnect(watch_);
    control_ = control;
    controlGone_ = false;
    if (control)
        watch_ = connect(control, &QObject::destroyed, this, &TControlHook::controlDestroyed);
}

void TControlHook::AddHook(TKpWindowHook *hook)
{
    if (std::find(hooks_.begin(), hooks_.end(), hook) == hooks_.end()) {
        hooks_.push_back(hook);
        hook->controlHook_ = this;
        SetControl(hook->target_);
    }
    Install();
}

void TControlHook::RemoveHook(TKpWindowHook *hook)
{
    if (hook->controlHook_ == this)
        hook->controlHook_ = nullptr;
    hooks_.erase(std::remove(hooks_.begin(), hooks_.end(), hook), hooks_.end());
    if (hooks_.empty())
        Restore();
}

void TControlHook::Install()
{
    if (!Control() || destroying_ || installed_)
        return;
    control_->installEventFilter(this);
    installed_ = true;
}

void TControlHook::Restore()
{
    // Removing our filter leaves every other filter on the widget where it was.
    if (installed_ && control_)
        control_->removeEventFilter(this);
    installed_ = false;
}

void TControlHook::controlDestroyed()
{
    // The widget is going: no hook sees it again; its hooks keep their Active state.
    Restore();
    controlGone_ = true;
    const std::vector<TKpWindowHook *> hooks = hooks_;
    for (auto it = hooks.rbegin(); it != hooks.rend(); ++it)
        if (std::find(hooks_.begin(), hooks_.end(), *it) != hooks_.end())
            (*it)->DropTarget();
    if (list_)
        list_->PostRelease(this);
}

bool TControlHook::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != Control() || destroying_)
        return false;
    QPointer<TControlHook> self(this);
    QPointer<QObject> control(watched);
    TMessage message = MessageFor(event);
    bool handled = false;
    if (message.Msg != msg::WM_QUIT)
        AskHooks(When::Before, message, handled);
    // A hook that destroyed the widget has ended the event for it.
    if (!control || !self || controlGone_)
        return true;
    if (!handled || message.Msg == msg::WM_DESTROY) {
        bool result = false;
        // The widget's own handling; exceptions from it never cross the event loop, and the
        // hooks are still asked afterwards.
        RunGuarded([&] { result = watched->event(event); });
        message.Result = result ? 1 : 0;
        if (self && control && !controlGone_)
            AskHooks(When::After, message, handled);
    }
    if (self && message.Msg == msg::WM_DESTROY) {
        // The native window goes; our filter stays on the widget itself, so only a hook
        // whose widget lives on needs to come back.
        Restore();
        if (list_ && !destroying_ && Control())
            list_->PostReinstall(this);
    }
    return true;
}

void TControlHook::AskHooks(When when, TMessage &message, bool &handled)
{
    if (hooks_.empty() || !Control() || destroying_)
        return;
    QPointer<TControlHook> self(this);
    std::vector<QPointer<TKpWindowHook>> hooks(hooks_.rbegin(), hooks_.rend());
    for (const QPointer<TKpWindowHook> &hook : hooks) {
        if (!self || !Control())
            return;
        // A hook that left (or went) during an earlier handler is not asked.
        if (!hook || hook->controlHook_ != this)
            continue;
        RunGuarded([&] {
            if (when == When::Before)
                hook->DoBeforeMessage(message, handled);
            else
                hook->DoAfterMessage(message, handled);
        });
        if (handled)
            return;
    }
}

// ---- THookList ----

THookList::THookList(QObject *parent) : QObject(parent) {}

THookList *THookList::Instance()
{
    return gHookList.data();
}

THookList *THookList::Get()
{
    if (!gHookList)
        gHookList = new THookList(QCoreApplication::instance());
    return gHookList.data();
}

THookList::~THookList()
{
    while (!hooks_.empty()) {
        TControlHook *hook = hooks_.back();
        hooks_.pop_back();
        hook->list_ = nullptr;
        delete hook;
    }
}

TControlHook *THookList::Find(const QWidget *control) const
{
    if (!control)
        return nullptr;
    for (TControlHook *hook : hooks_)
        if (hook->Control() == control)
            return hook;
    return nullptr;
}

TControlHook *THookList::FindOrCreate(QWidget *control)
{
    if (TControlHook *hook = Find(control))
        return hook;
    auto *hook = new TControlHook(this);
    hooks_.push_back(hook);
    hook->SetControl(control);
    return hook;
}

bool THookList::Contains(const TControlHook *hook) const
{
    return std::find(hooks_.begin(), hooks_.end(), hook) != hooks_.end();
}

void THookList::Forget(TControlHook *hook)
{
    hooks_.erase(std::remove(hooks_.begin(), hooks_.end(), hook), hooks_.end());
}

void THookList::PostReinstall(TControlHook *hook)
{
    QPointer<TControlHook> target(hook);
    QMetaObject::invokeMethod(
        this,
        [this, target] {
            if (target && Contains(target))
                RunGuarded([&] { target->Install(); });
        },
        Qt::QueuedConnection);
}

void THookList::PostRelease(TControlHook *hook)
{
    QPointer<TControlHook> target(hook);
    QMetaObject::invokeMethod(
        this,
        [this, target] {
            if (target && Contains(target) && target->Hooks().empty())
                delete target.data();
        },
        Qt::QueuedConnection);
}

} // namespace kelpa::widgets
