#include "widgets/Kphook.h"

#include "common/ScriptedPrompter.h"

#include <QCoreApplication>
#include <QPlatformSurfaceEvent>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kelpa::widgets;

namespace {

// A widget that writes its own handling of a few events into a shared log.
class LoggingWidget : public QWidget {
public:
    LoggingWidget(std::vector<std::string> &log, std::string name)
        : log_(log), name_(std::move(name)) {}

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::User || e->type() == QEvent::Quit
            || e->type() == QEvent::PlatformSurface)
            log_.push_back(name_ + ":own");
        return QWidget::event(e);
    }

private:
    std::vector<std::string> &log_;
    std::string name_;
};

void SendUser(QWidget *w)
{
    QEvent e(QEvent::User);
    QCoreApplication::sendEvent(w, &e);
}

// A hook that logs "name:before" and "name:after" for the events the widget logs.
TKpWindowHook *LoggingHook(QObject *owner, QWidget *target, std::vector<std::string> &log,
                           const std::string &name, bool swallow = false)
{
    auto *hook = new TKpWindowHook(owner);
    auto logged = [](const TMessage &m) {
        const auto t = m.Event ? m.Event->type() : QEvent::None;
        return t == QEvent::User || t == QEvent::Quit || t == QEvent::PlatformSurface;
    };
    hook->BeforeMessage = [&log, name, swallow, logged](QObject *, TMessage &m, bool &handled) {
        if (!logged(m))
            return;
        log.push_back(name + ":before");
        if (swallow)
            handled = true;
    };
    hook->AfterMessage = [&log, name, logged](QObject *, TMessage &m, bool &) {
        if (logged(m))
            log.push_back(name + ":after");
    };
    hook->SetWinControl(target);
    return hook;
}

void Flush()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
}

} // namespace

TEST(WindowHook, HooksRunLastRegisteredFirstAroundTheWidgetsOwnHandling)
{
    struct Case {
        const char *name;
        int swallower;   // index of the hook that sets Handled in BeforeMessage, -1 for none
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"none swallows", -1,
         {"c:before", "b:before", "a:before", "w:own", "c:after", "b:after", "a:after"}},
        {"middle swallows", 1, {"c:before", "b:before"}},
        {"last registered swallows", 2, {"c:before"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> log;
        QObject owner;
        auto widget = std::make_unique<LoggingWidget>(log, "w");
        const char *names[] = {"a", "b", "c"};
        for (int i = 0; i < 3; ++i)
            LoggingHook(&owner, widget.get(), log, names[i], i == c.swallower);
        ASSERT_NE(THookList::Instance(), nullptr);
        TControlHook *shared = THookList::Instance()->Find(widget.get());
        ASSERT_NE(shared, nullptr);
        EXPECT_EQ(shared->Hooks().size(), 3u);
        SendUser(widget.get());
        EXPECT_EQ(log, c.expected);
    }
}

TEST(WindowHook, DestroyMessageAlwaysReachesTheWidgetAndHooksComeBack)
{
    std::vector<std::string> log;
    QObject owner;
    LoggingWidget widget(log, "w");
    LoggingHook(&owner, &widget, log, "a", /*swallow=*/true);
    QPlatformSurfaceEvent gone(QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed);
    QCoreApplication::sendEvent(&widget, &gone);
    EXPECT_EQ(log, (std::vector<std::string>{"a:before", "w:own", "a:after"}));
    TControlHook *hook = THookList::Instance()->Find(&widget);
    ASSERT_NE(hook, nullptr);
    EXPECT_FALSE(hook->Installed());
    Flush();   // the re-install request
    EXPECT_TRUE(hook->Installed());
    log.clear();
    SendUser(&widget);
    EXPECT_EQ(log, (std::vector<std::string>{"a:before"}));
}

TEST(WindowHook, QuitIsShownOnlyAfterTheWidget)
{
    std::vector<std::string> log;
    QObject owner;
    LoggingWidget widget(log, "w");
    LoggingHook(&owner, &widget, log, "a", /*swallow=*/true);
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(&widget, &quit);
    EXPECT_EQ(log, (std::vector<std::string>{"w:own", "a:after"}));
}

TEST(WindowHook, EventsMapToTheMessagesTheMenusNeed)
{
    struct Case {
        QEvent::Type type;
        unsigned message;
    };
    const Case cases[] = {
        {QEvent::ActionChanged, msg::CM_MENUCHANGED}, {QEvent::ActionAdded, msg::CM_MENUCHANGED},
        {QEvent::Quit, msg::WM_QUIT},                 {QEvent::Paint, msg::WM_PAINT},
        {QEvent::KeyPress, msg::WM_KEYDOWN},          {QEvent::User, msg::WM_NULL},
    };
    for (const Case &c : cases) {
        QEvent e(c.type);
        EXPECT_EQ(MessageOfEvent(e), c.message) << int(c.type);
    }
    QPlatformSurfaceEvent created(QPlatformSurfaceEvent::SurfaceCreated);
    EXPECT_EQ(MessageOfEvent(created), msg::WM_NULL);
}

TEST(WindowHook, ReleasingOrRetargetingInsideItsOwnHandlerIsSafe)
{
    enum class Act { Deactivate, Retarget, Delete, DeleteOther };
    struct Case {
        const char *name;
        Act act;
        std::vector<std::string> firstEvent;    // the event during which the hook acts
        std::vector<std::string> secondEvent;   // a later event on the first widget
    };
    const std::vector<Case> cases = {
        {"deactivate", Act::Deactivate, {"b:before", "a:before", "w:own", "a:after"},
         {"a:before", "w:own", "a:after"}},
        {"retarget", Act::Retarget, {"b:before", "a:before", "w:own", "a:after"},
         {"a:before", "w:own", "a:after"}},
        {"delete itself", Act::Delete, {"b:before", "a:before", "w:own", "a:after"},
         {"a:before", "w:own", "a:after"}},
        {"delete the other", Act::DeleteOther, {"b:before", "w:own", "b:after"},
         {"b:before", "w:own", "b:after"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> log;
        QObject owner;
        LoggingWidget widget(log, "w");
        LoggingWidget other(log, "o");
        TKpWindowHook *a = LoggingHook(&owner, &widget, log, "a");
        QPointer<TKpWindowHook> b = LoggingHook(&owner, &widget, log, "b");
        QPointer<TKpWindowHook> pa = a;
        const Act act = c.act;
        b->BeforeMessage = [&, act](QObject *sender, TMessage &m, bool &) {
            if (!m.Event || m.Event->type() != QEvent::User)
                return;
            log.push_back("b:before");
            auto *self = static_cast<TKpWindowHook *>(sender);
            switch (act) {
            case Act::Deactivate: self->SetActive(false); break;
            case Act::Retarget: self->SetWinControl(&other); break;
            case Act::Delete: delete self; break;
            case Act::DeleteOther: delete pa.data(); break;
            }
        };
        SendUser(&widget);
        EXPECT_EQ(log, c.firstEvent);
        Flush();
        log.clear();
        SendUser(&widget);
        EXPECT_EQ(log, c.secondEvent);
        if (act == Act::Retarget) {
            log.clear();
            SendUser(&other);
            EXPECT_EQ(log, (std::vector<std::string>{"b:before", "o:own", "b:after"}));
            EXPECT_EQ(b->GetWinControl(), &other);
        }
    }
}

TEST(WindowHook, DestroyedTargetDetachesItsHooks)
{
    std::vector<std::string> log;
    QObject owner;
    auto widget = std::make_unique<LoggingWidget>(log, "w");
    TKpWindowHook *active = LoggingHook(&owner, widget.get(), log, "a");
    TKpWindowHook *inactive = LoggingHook(&owner, nullptr, log, "i");
    inactive->SetActive(false);
    inactive->SetWinControl(widget.get());
    // Every event the dying widget still gets (hide, focus, surface) reaches no hook once it
    // is reported destroyed.
    int calledAfterDestroyed = 0;
    bool destroyed = false;
    QObject::connect(widget.get(), &QObject::destroyed, [&] { destroyed = true; });
    active->AfterMessage = [&](QObject *, TMessage &, bool &) {
        if (destroyed)
            ++calledAfterDestroyed;
    };
    active->BeforeMessage = active->AfterMessage;
    widget->show();
    widget.reset();
    EXPECT_EQ(calledAfterDestroyed, 0);
    for (TKpWindowHook *h : {active, inactive})
        EXPECT_EQ(h->GetWinControl(), nullptr);
    EXPECT_TRUE(active->Active());
    EXPECT_FALSE(inactive->Active());
    Flush();   // the release request
    EXPECT_TRUE(THookList::Instance()->ControlHooks().empty());
    // The hook takes a new target as it was left: active.
    LoggingWidget next(log, "n");
    active->SetWinControl(&next);
    EXPECT_NE(THookList::Instance()->Find(&next), nullptr);
}

TEST(WindowHook, LastHookLeavingRestoresTheWidgetAndReleasesItsControlHook)
{
    std::vector<std::string> log;
    QObject owner;
    LoggingWidget widget(log, "w");
    TKpWindowHook *a = LoggingHook(&owner, &widget, log, "a");
    TKpWindowHook *b = LoggingHook(&owner, &widget, log, "b");
    // Someone else's filter installed on top stays.
    struct Counter : QObject {
        int seen = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            seen += e->type() == QEvent::User;
            return false;
        }
    } counter;
    widget.installEventFilter(&counter);
    TControlHook *shared = THookList::Instance()->Find(&widget);
    delete a;
    SendUser(&widget);
    EXPECT_EQ(log, (std::vector<std::string>{"b:before", "w:own", "b:after"}));
    EXPECT_TRUE(shared->Installed());
    b->SetActive(false);
    EXPECT_FALSE(shared->Installed());
    Flush();
    EXPECT_EQ(THookList::Instance()->Find(&widget), nullptr);
    log.clear();
    SendUser(&widget);
    EXPECT_EQ(log, (std::vector<std::string>{"w:own"}));
    EXPECT_EQ(counter.seen, 2);
    // Inactive: a new target is only recorded.
    LoggingWidget other(log, "o");
    b->SetWinControl(&other);
    EXPECT_EQ(b->GetWinControl(), &other);
    EXPECT_EQ(THookList::Instance()->Find(&other), nullptr);
    b->SetActive(true);
    EXPECT_NE(THookList::Instance()->Find(&other), nullptr);
}

TEST(WindowHook, ExceptionFromOneHookIsShownAndTheOthersStillRun)
{
    kelpa::ScriptedPrompter prompter;
    kelpa::ScopedPrompter scoped(prompter);
    std::vector<std::string> log;
    QObject owner;
    LoggingWidget widget(log, "w");
    LoggingHook(&owner, &widget, log, "a");
    TKpWindowHook *thrower = LoggingHook(&owner, &widget, log, "b");
    thrower->BeforeMessage = [](QObject *, TMessage &m, bool &) {
        if (m.Event && m.Event->type() == QEvent::User)
            throw std::runtime_error("hook failed");
    };
    SendUser(&widget);
    EXPECT_EQ(log, (std::vector<std::string>{"a:before", "w:own", "b:after", "a:after"}));
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.last().text, QStringLiteral("hook failed"));
}

TEST(WindowHook, HandleFormAndNotForm)
{
    delete THookList::Instance();
    TKpWindowHook probe;
    EXPECT_EQ(probe.GetHookHandle(), 0xFFFFFFFFu);

    QWidget form;
    QWidget child(&form);
    auto *onForm = new TKpWindowHook(&form);
    onForm->ReadForm(true);
    EXPECT_EQ(onForm->GetWinControl(), &form);
    EXPECT_TRUE(onForm->IsForm());
    EXPECT_FALSE(onForm->NotIsForm());
    EXPECT_NE(onForm->GetHookHandle(), 0xFFFFFFFFu);

    auto *onChild = new TKpWindowHook(&form);
    onChild->ReadForm(false);
    EXPECT_EQ(onChild->GetWinControl(), nullptr);
    onChild->SetWinControl(&child);
    EXPECT_FALSE(onChild->IsForm());
    EXPECT_TRUE(onChild->NotIsForm());
    EXPECT_FALSE(probe.IsForm());
    EXPECT_FALSE(probe.NotIsForm());
}
