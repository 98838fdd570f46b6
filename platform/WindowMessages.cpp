#include "platform/WindowMessages.h"

#include "platform/NamedMutex.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QSaveFile>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace kelpa::platform {

namespace {

constexpr char hello[8] = {'K', 'E', 'L', 'P', 'A', 'W', 'M', '1'};
constexpr int frameSize = 24;
constexpr int connectTimeoutMs = 3000;
constexpr int writeTimeoutMs = 5000;
// What one window takes in: bytes buffered per connection (beyond them the window leaves the
// rest with the system until its GUI thread has delivered what it read, so that a sender's post
// waits and finally fails instead of the receiver growing without bound), and connections.
constexpr qint64 connectionBufferBytes = 64 * 1024;
constexpr int maxConnections = 64;
// A full window makes room by dropping a connection that has not greeted within the first
// limit or has been silent for the second one, so that clients which hold connections open
// without using them cannot keep others out. A sender uses a connection again only well within
// the silence limit, so its own connection is never dropped under it.
constexpr qint64 greetingLimitMs = 1000;
constexpr qint64 silenceLimitMs = 10000;
constexpr qint64 reuseLimitMs = silenceLimitMs / 2;

// Messages of the layer itself, above every message number the programs use.
constexpr std::uint32_t internalBase = 0x7FFF0000;
constexpr std::uint32_t msgBringToFront = internalBase + 1;
constexpr std::uint32_t msgKeystroke = internalBase + 2;

struct Frame {
    std::uint32_t message;
    std::uint32_t reserved;
    std::uint64_t wParam;
    std::int64_t lParam;
};
static_assert(sizeof(Frame) == frameSize);

QString socketPath(WindowHandle h)
{
    return windowsFolder() + QStringLiteral("/w") + QString::number(h) + QStringLiteral(".sock");
}

QString descriptorPath(WindowHandle h)
{
    return windowsFolder() + QStringLiteral("/w") + QString::number(h) + QStringLiteral(".json");
}

// Start time of a process in clock ticks since boot (field 22 of /proc/<pid>/stat), or -1.
qint64 processStartTime(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    const int close = stat.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // fields[0] is field 3 (state); the start time is field 22.
    if (fields.size() < 20)
        return -1;
    // A process that has ended but not been reaped serves nothing any more.
    if (fields.at(0) == "Z" || fields.at(0) == "X")
        return -1;
    bool ok = false;
    const qint64 start = fields.at(19).toLongLong(&ok);
    return ok ? start : -1;
}

struct Descriptor {
    WindowHandle handle = 0;
    QString className;
    QString title;
    qint64 pid = 0;
    qint64 start = 0;
    QString session;
};

// The display this process shows its windows on: programs of one user on two displays share
// the runtime folder, but a window of the other display is none of ours to find.
QString displaySession()
{
    QString platform = qobject_cast<QGuiApplication *>(QCoreApplication::instance())
                           ? QGuiApplication::platformName()
                           : qEnvironmentVariable("QT_QPA_PLATFORM").section(QLatin1Char(':'), 0, 0);
    if (platform == QLatin1String("xcb")) {
        QString display = qEnvironmentVariable("DISPLAY");
        // ":78.0" is the screen 0 of the display ":78".
        const qsizetype colon = display.lastIndexOf(QLatin1Char(':'));
        if (const qsizetype dot = display.indexOf(QLatin1Char('.'), colon); colon >= 0 && dot > colon)
            display.truncate(dot);
        return QStringLiteral("x11 ") + display;
    }
    if (platform.startsWith(QLatin1String("wayland"))) {
        const QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
        return QStringLiteral("wayland ") + (display.isEmpty() ? QStringLiteral("wayland-0") : display);
    }
    return platform;
}

bool readDescriptor(const QString &file, Descriptor &d)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QJsonDocument doc = QJsonDocument::fromJson(f.read(1 << 16));
    if (!doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    d.className = o.value(QStringLiteral("class")).toString();
    d.title = o.value(QStringLiteral("title")).toString();
    d.pid = o.value(QStringLiteral("pid")).toInteger();
    d.start = o.value(QStringLiteral("start")).toInteger();
    d.handle = o.value(QStringLiteral("handle")).toString().toULongLong();
    d.session = o.value(QStringLiteral("session")).toString();
    return d.pid > 0 && d.handle != 0;
}

bool writeDescriptor(const Descriptor &d)
{
    QJsonObject o;
    o.insert(QStringLiteral("class"), d.className);
    o.insert(QStringLiteral("title"), d.title);
    o.insert(QStringLiteral("pid"), d.pid);
    o.insert(QStringLiteral("start"), d.start);
    o.insert(QStringLiteral("handle"), QString::number(d.handle));
    o.insert(QStringLiteral("session"), d.session);
    QSaveFile f(descriptorPath(d.handle));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(QJsonDocument(o).toJson(QJsonDocument::Compact));
    return f.commit();
}

bool isAlive(const Descriptor &d)
{
    return processStartTime(d.pid) == d.start && d.start >= 0;
}

void removeEndpoint(WindowHandle h)
{
    QFile::remove(descriptorPath(h));
    QFile::remove(socketPath(h));
}

// Live windows; stale endpoints are removed on the way.
std::vector<Descriptor> liveWindows()
{
    std::vector<Descriptor> live;
    const QDir dir(windowsFolder());
    const QStringList files = dir.entryList({QStringLiteral("w*.json")}, QDir::Files);
    for (const QString &name : files) {
        Descriptor d;
        const QString file = dir.filePath(name);
        if (!readDescriptor(file, d)) {
            // Half-written descriptors are replaced atomically, so this one is damaged.
            QFile::remove(file);
            continue;
        }
        if (!isAlive(d)) {
            removeEndpoint(d.handle);
            continue;
        }
        live.push_back(d);
    }
    // A socket without a descriptor is left by a process that died between the two; the
    // handle names the process.
    for (const QString &name : dir.entryList({QStringLiteral("w*.sock")}, QDir::System | QDir::Files)) {
        bool ok = false;
        const WindowHandle h = name.mid(1, name.size() - 6).toULongLong(&ok);
        if (!ok || QFile::exists(descriptorPath(h)))
            continue;
        const pid_t pid = static_cast<pid_t>(h >> 16);
        if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH)
            QFile::remove(dir.filePath(name));
    }
    // Lowest handle first.
    std::sort(live.begin(), live.end(),
              [](const Descriptor &a, const Descriptor &b) { return a.handle < b.handle; });
    return live;
}

QHash<WindowHandle, Window *> &localWindows()
{
    static QHash<WindowHandle, Window *> windows;
    return windows;
}

// One connection per target window, so that a sender's messages stay in order.
struct Connection {
    QPointer<QLocalSocket> socket;
    QElapsedTimer lastWrite;
};

std::map<WindowHandle, Connection> &connections()
{
    static std::map<WindowHandle, Connection> c;
    return c;
}

void dropConnection(WindowHandle h)
{
    auto &c = connections();
    auto it = c.find(h);
    if (it != c.end()) {
        delete it->second.socket.data();
        c.erase(it);
    }
}

// The connection to the window: the one in use when it was written to a moment ago, else a
// new one. `reused` tells which.
QLocalSocket *connectionTo(WindowHandle h, bool &reused)
{
    auto &c = connections();
    reused = false;
    if (auto it = c.find(h); it != c.end()) {
        if (it->second.socket && it->second.socket->state() == QLocalSocket::ConnectedState
            && it->second.lastWrite.isValid() && it->second.lastWrite.elapsed() < reuseLimitMs) {
            reused = true;
            return it->second.socket;
        }
        dropConnection(h);
    }
    auto *socket = new QLocalSocket(QCoreApplication::instance());
    socket->connectToServer(socketPath(h));
    if (!socket->waitForConnected(connectTimeoutMs)) {
        delete socket;
        return nullptr;
    }
    socket->write(hello, sizeof hello);
    c[h] = Connection{socket, {}};
    return socket;
}

// Hands everything written so far to the system, within one time limit in all.
bool writeAll(QLocalSocket *socket)
{
    const QDeadlineTimer deadline(writeTimeoutMs);
    while (socket->bytesToWrite() > 0) {
        if (deadline.hasExpired() || !socket->waitForBytesWritten(deadline.remainingTime()))
            return false;
    }
    return socket->state() == QLocalSocket::ConnectedState;
}

QWidget *frontOf(Window *w)
{
    if (QWidget *f = w->frontWidget())
        return f;
    if (QWidget *active = QApplication::activeWindow())
        return active;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->isVisible())
            return top;
    return nullptr;
}

void bringToFront(Window *w)
{
    QWidget *widget = frontOf(w);
    if (!widget)
        return;
    QWidget *top = widget->window();
    if (top->isMinimized())
        top->showNormal();
    else
        top->show();
    top->raise();
    // A modal box of the program stays above the window it blocks: raised with its window it
    // would otherwise end up behind it, where the user cannot find it.
    if (QWidget *modal = QApplication::activeModalWidget(); modal && modal->window() != top) {
        modal->window()->raise();
        modal->window()->activateWindow();
        return;
    }
    top->activateWindow();
}

void deliverKeystroke(Window *w, QKeyCombination keys)
{
    QWidget *widget = frontOf(w);
    if (!widget)
        return;
    QWidget *top = widget->window();
    const QKeySequence sequence(keys);
    std::set<QAction *> actions;
    for (QAction *a : top->findChildren<QAction *>())
        actions.insert(a);
    for (QAction *a : top->actions())
        actions.insert(a);
    for (QWidget *child : top->findChildren<QWidget *>())
        for (QAction *a : child->actions())
            actions.insert(a);
    // A hidden menu item's shortcut stays live, as the programs expect; Qt reports hidden
    // actions as disabled, and trigger() still refuses one that was disabled on purpose.
    for (QAction *a : actions) {
        if ((a->isEnabled() || !a->isVisible()) && a->shortcuts().contains(sequence)) {
            bool fired = false;
            QMetaObject::Connection c =
                QObject::connect(a, &QAction::triggered, [&fired] { fired = true; });
            a->trigger();
            QObject::disconnect(c);
            if (fired)
                return;
        }
    }
    QWidget *target = top->focusWidget() ? top->focusWidget() : top;
    QPointer<QWidget> guard(target);
    const Qt::KeyboardModifiers mods = keys.keyboardModifiers();
    QString text;
    const int key = static_cast<int>(keys.key());
    if (!(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) && key >= 0x20 && key < 0x7F) {
        const QChar c(key);
        text = (mods & Qt::ShiftModifier) ? QString(c) : QString(c.toLower());
    }
    QKeyEvent press(QEvent::KeyPress, keys.key(), mods, text);
    QCoreApplication::sendEvent(target, &press);
    if (guard) {
        QKeyEvent release(QEvent::KeyRelease, keys.key(), mods, text);
        QCoreApplication::sendEvent(target, &release);
    }
}

} // namespace

class Window::Impl {
public:
    explicit Impl(Window *owner) : window(owner) {}

    void accept();
    void readFrom(QLocalSocket *socket);

    Window *window;
    QLocalServer *server = nullptr;
    QPointer<QWidget> front;
    struct Client {
        bool greeted = false;
        QElapsedTimer heard; // since the connection came or last sent something
    };
    QHash<QLocalSocket *, Client> clients;
    qint64 start = 0;

private:
    bool makeRoom();
};

// Delivers one message on the GUI thread; the layer's own messages are handled here.
static void deliver(Window *w, const Frame &f)
{
    if (f.message == msgBringToFront) {
        bringToFront(w);
    } else if (f.message == msgKeystroke) {
        deliverKeystroke(w, QKeyCombination::fromCombined(static_cast<int>(f.wParam)));
    } else if (f.message < internalBase) {
        emit w->messageReceived(f.message, f.wParam, f.lParam);
    }
}

static void queueDelivery(Window *w, const Frame &f)
{
    QPointer<Window> guard(w);
    QMetaObject::invokeMethod(
        w,
        [guard, f] {
            if (guard)
                deliver(guard, f);
        },
        Qt::QueuedConnection);
}

// A frame that no sender of ours writes: reserved bits set, an unknown message of the layer,
// or a keystroke that is no key combination.
static bool wellFormed(const Frame &f)
{
    if (f.reserved != 0)
        return false;
    if (f.message == msgKeystroke)
        return f.wParam <= 0xFFFFFFFFu && f.lParam == 0;
    if (f.message == msgBringToFront)
        return f.wParam == 0 && f.lParam == 0;
    return f.message < internalBase;
}

// Drops one connection that has not greeted in time or has stayed silent too long; false when
// every connection is in use.
bool Window::Impl::makeRoom()
{
    const auto drop = [this](QLocalSocket *s) {
        clients.remove(s);
        s->abort();
        s->deleteLater();
        return true;
    };
    const QList<QLocalSocket *> sockets = clients.keys();
    for (QLocalSocket *s : sockets)
        if (auto it = clients.constFind(s); it != clients.cend() && !it->greeted && it->heard.elapsed() > greetingLimitMs)
            return drop(s);
    for (QLocalSocket *s : sockets) {
        if (auto it = clients.constFind(s); it == clients.cend() || it->heard.elapsed() <= silenceLimitMs)
            continue;
        // What has arrived unseen is not silence: reading it delivers it and restarts the clock
        // (or ends a connection that sent something wrong).
        s->waitForReadyRead(0);
        if (auto it = clients.constFind(s); it != clients.cend() && it->heard.elapsed() > silenceLimitMs
                                            && s->bytesAvailable() == 0)
            return drop(s);
    }
    return clients.size() < maxConnections;
}

void Window::Impl::accept()
{
    while (QLocalSocket *s = server->nextPendingConnection()) {
        if (clients.size() >= maxConnections && !makeRoom()) {
            s->abort();
            s->deleteLater();
            continue;
        }
        // Qt stops reading from the system once this much waits unread.
        s->setReadBufferSize(connectionBufferBytes);
        Client client;
        client.heard.start();
        clients.insert(s, client);
        QObject::connect(s, &QLocalSocket::readyRead, window, [this, s] { readFrom(s); });
        // What a sender wrote before it went away is still delivered.
        QObject::connect(s, &QLocalSocket::disconnected, window, [this, s] { readFrom(s); });
        readFrom(s);
    }
}

// Reads the whole frames that have arrived; a connection that sends anything but our greeting
// and well-formed frames is dropped at once.
void Window::Impl::readFrom(QLocalSocket *s)
{
    auto it = clients.find(s);
    if (it == clients.end())
        return;
    const auto drop = [&] {
        clients.erase(it);
        s->abort();
        s->deleteLater();
    };
    if (s->bytesAvailable() > 0)
        it.value().heard.restart();
    if (!it.value().greeted) {
        if (s->bytesAvailable() < static_cast<qint64>(sizeof hello)) {
            if (s->state() == QLocalSocket::UnconnectedState)
                drop();
            return;
        }
        char greeting[sizeof hello];
        if (s->read(greeting, sizeof greeting) != static_cast<qint64>(sizeof greeting)
            || std::memcmp(greeting, hello, sizeof hello) != 0) {
            drop();
            return;
        }
        it.value().greeted = true;
    }
    while (s->bytesAvailable() >= frameSize) {
        Frame f;
        if (s->read(reinterpret_cast<char *>(&f), frameSize) != frameSize || !wellFormed(f)) {
            drop();
            return;
        }
        queueDelivery(window, f);
    }
    if (s->state() == QLocalSocket::UnconnectedState && s->bytesAvailable() < frameSize) {
        clients.erase(it);
        s->deleteLater();
    }
}

Window::Window(const QString &className, const QString &title, QWidget *front, QObject *parent)
    : QObject(parent), impl_(std::make_unique<Impl>(this)), className_(className), title_(title)
{
    impl_->front = front;
    static int counter = 0;
    if (counter >= 0xFFFF)
        return;
    const qint64 pid = ::getpid();
    const WindowHandle h = (static_cast<WindowHandle>(pid) << 16) | static_cast<WindowHandle>(++counter);

    const QByteArray folder = QFile::encodeName(windowsFolder());
    ::mkdir(folder.constData(), 0700);
    liveWindows();   // sweeps away what dead processes left behind

    impl_->start = processStartTime(pid);
    impl_->server = new QLocalServer(this);
    impl_->server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(socketPath(h));
    if (!impl_->server->listen(socketPath(h))) {
        delete impl_->server;
        impl_->server = nullptr;
        return;
    }
    connect(impl_->server, &QLocalServer::newConnection, this, [this] { impl_->accept(); });
    handle_ = h;
    Descriptor d{h, className_, title_, pid, impl_->start, displaySession()};
    if (!writeDescriptor(d)) {
        impl_->server->close();
        handle_ = 0;
        return;
    }
    localWindows().insert(h, this);
}

Window::~Window()
{
    if (handle_) {
        localWindows().remove(handle_);
        QFile::remove(descriptorPath(handle_));
    }
    if (impl_->server)
        impl_->server->close();
}

void Window::setTitle(const QString &title)
{
    title_ = title;
    if (handle_)
        writeDescriptor(Descriptor{handle_, className_, title_, ::getpid(), impl_->start, displaySession()});
}

QWidget *Window::frontWidget() const
{
    return impl_->front;
}

void Window::setFrontWidget(QWidget *front)
{
    impl_->front = front;
}

QString windowsFolder()
{
    return runtimeFolder() + QStringLiteral("/windows");
}

WindowHandle FindWindow(const QString &className)
{
    const QString session = displaySession();
    for (const Descriptor &d : liveWindows())
        if (d.session == session && d.className.compare(className, Qt::CaseInsensitive) == 0)
            return d.handle;
    return 0;
}

WindowHandle FindWindow(const QString &className, const QString &title)
{
    const QString session = displaySession();
    for (const Descriptor &d : liveWindows())
        if (d.session == session && d.className.compare(className, Qt::CaseInsensitive) == 0
            && d.title.compare(title, Qt::CaseInsensitive) == 0)
            return d.handle;
    return 0;
}

bool IsWindow(WindowHandle window)
{
    if (window == 0)
        return false;
    if (localWindows().contains(window))
        return true;
    Descriptor d;
    if (!readDescriptor(descriptorPath(window), d) || d.handle != window)
        return false;
    if (!isAlive(d)) {
        removeEndpoint(window);
        return false;
    }
    return true;
}

namespace {

bool postFrame(WindowHandle h, const Frame &frame)
{
    if (h == 0)
        return false;
    if (Window *local = localWindows().value(h)) {
        queueDelivery(local, frame);
        return true;
    }
    if (!IsWindow(h)) {
        dropConnection(h);
        return false;
    }
    // A connection in use may have been closed by the window since: then once more on a new one.
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool reused = false;
        QLocalSocket *socket = connectionTo(h, reused);
        if (!socket)
            return false;
        socket->write(reinterpret_cast<const char *>(&frame), frameSize);
        if (writeAll(socket)) {
            connections()[h].lastWrite.start();
            return true;
        }
        dropConnection(h);
        if (!reused)
            return false;
    }
    return false;
}

} // namespace

bool PostMessage(WindowHandle window, std::uint32_t message, WPARAM wParam, LPARAM lParam)
{
    if (message >= internalBase)
        return false;
    return postFrame(window, Frame{message, 0, wParam, lParam});
}

bool BringWindowToFront(WindowHandle window)
{
    return postFrame(window, Frame{msgBringToFront, 0, 0, 0});
}

bool SendKeystroke(WindowHandle window, QKeyCombination keys)
{
    return postFrame(window, Frame{msgKeystroke, 0, static_cast<std::uint64_t>(keys.toCombined()), 0});
}

} // namespace kelpa::platform
