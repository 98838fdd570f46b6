#pragma once
// Windows and posted messages between the programs of one user.
//
// Design: every registered window is an endpoint in the per-user runtime folder
// (runtimeFolder() + "/windows"): a local socket "w<handle>.sock" served by the owning
// process, and a descriptor "w<handle>.json" with its class, title, process id and that
// process's start time. A window handle is a number, (process id << 16) | n for the n-th
// window of the process, so a handle names its socket. Finding a window reads the
// descriptors; one whose process is gone (or whose process id now belongs to another
// process) is stale and is removed on sight. Posting a message connects once per target and
// writes fixed 24-byte frames (message, wParam, lParam); a sender's messages to one window
// therefore arrive in order, and because a post returns only when its frame has been handed
// to the system, a sender may exit right after posting. The receiver reads frames on the
// GUI thread and delivers each one as a queued event, so a handler that runs a nested event
// loop sees later messages the way a Windows message loop would. Bringing a window to the
// front and synthesised keystrokes travel as messages of the layer's own.
// Incoming data is trusted no further than its form: a connection that does not open with the
// layer's greeting, or sends a frame none of our senders writes, is dropped; a window takes a
// bounded number of connections and buffers a bounded number of bytes on each, so that a
// sender it cannot keep up with waits (a few seconds at most) and its post fails. A window
// whose connections are all taken drops one that has not greeted within a second or has been
// silent for ten, so that connections held open unused cannot keep others out.
// Windows are found only on the display this process shows its own on (the descriptor names
// it): programs of one user on two displays share the runtime folder. A process that has
// ended, even one not yet waited for, has no windows.
// Everything here is called on the GUI thread, the one thread of each program.
#include <QKeyCombination>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

class QWidget;

namespace kelpa::platform {

using WindowHandle = std::uint64_t;   // 0 = no window
using WPARAM = std::uint64_t;
using LPARAM = std::int64_t;

constexpr std::uint32_t WM_USER = 0x0400;

struct PostedMessage {
    std::uint32_t message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// One registered top-level window of this process. It is findable by its class and title
// while the object lives; destroying it removes the endpoint.
class Window : public QObject {
    Q_OBJECT
public:
    // `front` is the widget that "bring to front" and synthesised keystrokes act on (may be
    // null, and may be set later).
    Window(const QString &className, const QString &title, QWidget *front = nullptr,
           QObject *parent = nullptr);
    ~Window() override;

    WindowHandle handle() const { return handle_; }   // 0 when the endpoint could not be made
    QString className() const { return className_; }
    QString title() const { return title_; }
    void setTitle(const QString &title);
    QWidget *frontWidget() const;
    void setFrontWidget(QWidget *front);

signals:
    // A message posted to this window, on the GUI thread, in the order it was sent.
    void messageReceived(std::uint32_t message, kelpa::platform::WPARAM wParam,
                         kelpa::platform::LPARAM lParam);

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
    QString className_;
    QString title_;
    WindowHandle handle_ = 0;
};

// The first live window of any process of this user with that class (any title), or with that
// class and that title; 0 when there is none. Class and title compare without regard to case.
WindowHandle FindWindow(const QString &className);
WindowHandle FindWindow(const QString &className, const QString &title);

// True while the window exists.
bool IsWindow(WindowHandle window);

// Queues a message for the window. False when the window does not exist (or cannot be
// reached); never waits for the receiver to handle it.
bool PostMessage(WindowHandle window, std::uint32_t message, WPARAM wParam, LPARAM lParam);

// Shows the window normally, raises it and gives it the focus (its owner does the work).
bool BringWindowToFront(WindowHandle window);

// Delivers the key chord (for example Qt::CTRL | Qt::Key_J) to the window as if typed there:
// an enabled action of its front widget with that shortcut is triggered, else the key press
// and release go to the widget that has the focus in it.
bool SendKeystroke(WindowHandle window, QKeyCombination keys);

// Folder of the endpoints.
QString windowsFolder();

} // namespace kelpa::platform
