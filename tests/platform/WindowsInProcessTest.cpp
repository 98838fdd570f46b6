// The window registry seen from one process: lookup rules, lifetime, refused posts.
#include "PeerProcess.h"
#include "platform/WindowMessages.h"

#include <QDir>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QFile>
#include <gtest/gtest.h>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace kelpa::platform;
using kelpa::test::waitUntil;

TEST(WindowsInProcess, LookupByClassAndTitle)
{
    Window app(QStringLiteral("TApplication"), QStringLiteral("Kelpa"));
    Window main(QStringLiteral("TForm1"), QStringLiteral("Kelpa - document.txt"));
    ASSERT_NE(app.handle(), 0u);
    ASSERT_NE(main.handle(), 0u);
    EXPECT_NE(app.handle(), main.handle());

    struct Case {
        const char *className;
        const char *title;   // null: any title
        WindowHandle expected;
    };
    const Case cases[] = {
        {"TApplication", "Kelpa", app.handle()},
        {"tapplication", "KELPA", app.handle()},           // neither compares case
        {"TApplication", nullptr, app.handle()},
        {"TForm1", nullptr, main.handle()},
        {"TForm1", "Kelpa", 0},                             // the title must match whole
        {"TApplication", "", 0},
        {"TKelpaSpellChecker", nullptr, 0},
    };
    for (const Case &c : cases) {
        const WindowHandle h = c.title ? FindWindow(QLatin1String(c.className), QLatin1String(c.title))
                                       : FindWindow(QLatin1String(c.className));
        EXPECT_EQ(h, c.expected) << c.className << " / " << (c.title ? c.title : "(any)");
    }
}

TEST(WindowsInProcess, TitleChangesAndDestructionAreSeen)
{
    auto w = std::make_unique<Window>(QStringLiteral("TApplication"), QStringLiteral("Kelpa32"));
    const WindowHandle h = w->handle();
    EXPECT_EQ(FindWindow(QStringLiteral("TApplication"), QStringLiteral("Kelpa")), 0u);
    w->setTitle(QStringLiteral("Kelpa"));
    EXPECT_EQ(FindWindow(QStringLiteral("TApplication"), QStringLiteral("Kelpa")), h);
    EXPECT_TRUE(IsWindow(h));
    w.reset();
    EXPECT_EQ(FindWindow(QStringLiteral("TApplication")), 0u);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_FALSE(PostMessage(h, 1124, 0, 0));
    EXPECT_TRUE(QDir(windowsFolder()).entryList(QDir::Files).isEmpty());
}

TEST(WindowsInProcess, OwnWindowsGetTheirMessagesQueuedInOrder)
{
    Window w(QStringLiteral("TForm1"), QStringLiteral("Kelpa"));
    std::vector<LPARAM> got;
    QObject::connect(&w, &Window::messageReceived,
                     [&](std::uint32_t, WPARAM, LPARAM l) { got.push_back(l); });
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(PostMessage(w.handle(), 1124, 0, i));
    // Posted, not sent: nothing is delivered before the event loop runs.
    EXPECT_TRUE(got.empty());
    ASSERT_TRUE(waitUntil([&] { return got.size() == 5; }));
    EXPECT_EQ(got, (std::vector<LPARAM>{0, 1, 2, 3, 4}));
}

TEST(WindowsInProcess, PostsThatCannotBeDelivered)
{
    Window w(QStringLiteral("TForm1"), QStringLiteral("Kelpa"));
    EXPECT_FALSE(PostMessage(0, 1124, 0, 0));
    EXPECT_FALSE(PostMessage(w.handle() + 1000, 1124, 0, 0));
    // The layer's own message numbers are not for the programs.
    EXPECT_FALSE(PostMessage(w.handle(), 0x7FFF0001, 0, 0));
}

TEST(WindowsInProcess, ADamagedDescriptorIsIgnoredAndRemoved)
{
    Window w(QStringLiteral("TForm1"), QStringLiteral("Kelpa"));
    const QString junk = windowsFolder() + QStringLiteral("/w12345.json");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\"class\": \"TForm1\", \"title\": ");
    f.close();
    EXPECT_EQ(FindWindow(QStringLiteral("TForm1")), w.handle());
    EXPECT_FALSE(QFile::exists(junk));
}

TEST(WindowsInProcess, ASocketLeftWithoutDescriptorByADeadProcessIsRemoved)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    QDir().mkpath(windowsFolder());
    const auto socketFile = [](pid_t pid, WindowHandle n) {
        return windowsFolder() + QStringLiteral("/w")
             + QString::number((static_cast<WindowHandle>(pid) << 16) | n) + QStringLiteral(".sock");
    };
    const QString dead = socketFile(child, 1);
    // A live process may be between making its socket and writing its descriptor.
    const QString ours = socketFile(::getpid(), 0xFFFF);
    for (const QString &f : {dead, ours}) {
        QFile file(f);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(FindWindow(QStringLiteral("TForm1")), 0u);
    EXPECT_FALSE(QFile::exists(dead));
    EXPECT_TRUE(QFile::exists(ours));
    QFile::remove(ours);
}

TEST(WindowsInProcess, KeystrokesTriggerShortcutsOfHiddenItemsButNotOfDisabledOnes)
{
    QMainWindow main;
    auto *edit = new QLineEdit(&main);
    main.setCentralWidget(edit);
    QMenu *file = main.menuBar()->addMenu(QStringLiteral("&File"));
    QAction *hidden = file->addAction(QStringLiteral("extern app cmd"));
    hidden->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
    hidden->setVisible(false);
    QAction *disabled = file->addAction(QStringLiteral("disabled"));
    disabled->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    disabled->setEnabled(false);
    int hiddenFired = 0;
    int disabledFired = 0;
    QObject::connect(hidden, &QAction::triggered, [&] { ++hiddenFired; });
    QObject::connect(disabled, &QAction::triggered, [&] { ++disabledFired; });
    main.show();
    edit->setFocus();
    Window w(QStringLiteral("TApplication"), QStringLiteral("Kelpa"), &main);

    ASSERT_TRUE(SendKeystroke(w.handle(), Qt::CTRL | Qt::Key_J));
    ASSERT_TRUE(SendKeystroke(w.handle(), Qt::CTRL | Qt::Key_K));
    // Without a shortcut the keys go to the focused widget.
    ASSERT_TRUE(SendKeystroke(w.handle(), QKeyCombination(Qt::Key_A)));
    ASSERT_TRUE(SendKeystroke(w.handle(), Qt::SHIFT | Qt::Key_B));
    ASSERT_TRUE(waitUntil([&] { return edit->text().size() == 2; }));
    EXPECT_EQ(hiddenFired, 1);
    EXPECT_EQ(disabledFired, 0);
    EXPECT_EQ(edit->text(), QStringLiteral("aB"));
}

namespace {

// The bytes another local process could send to a window's endpoint, written raw.
constexpr char greeting[] = "KELPAWM1";

std::string frame(std::uint32_t message, std::uint64_t wParam, std::int64_t lParam,
                  std::uint32_t reserved = 0)
{
    std::string f(24, '\0');
    std::memcpy(f.data(), &message, 4);
    std::memcpy(f.data() + 4, &reserved, 4);
    std::memcpy(f.data() + 8, &wParam, 8);
    std::memcpy(f.data() + 16, &lParam, 8);
    return f;
}

// A blocking connection to the window's socket; -1 when it cannot be made.
int connectRaw(WindowHandle h)
{
    const QByteArray path = QFile::encodeName(windowsFolder() + QStringLiteral("/w")
                                              + QString::number(h) + QStringLiteral(".sock"));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= static_cast<qsizetype>(sizeof address.sun_path))
        return -1;
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const std::string &bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// True once the window has closed its end of the connection.
bool closedByPeer(int fd)
{
    char c;
    const ssize_t n = ::recv(fd, &c, 1, MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

} // namespace

TEST(WindowsInProcess, MalformedInputIsRefusedAndTheWindowGoesOn)
{
    Window w(QStringLiteral("TKelpaSpellChecker"), QStringLiteral("Checker"));
    ASSERT_NE(w.handle(), 0u);
    std::vector<LPARAM> got;
    QObject::connect(&w, &Window::messageReceived,
                     [&](std::uint32_t, WPARAM, LPARAM l) { got.push_back(l); });
    const std::string hello(greeting, 8);
    struct Case {
        const char *name;
        std::string bytes;
        bool senderCloses;          // else the window must drop the connection itself
        std::vector<LPARAM> delivered;
    };
    const Case cases[] = {
        {"another greeting", std::string("HELLO!!!") + frame(1124, 0, 1), false, {}},
        {"reserved bits set", hello + frame(1124, 0, 2, 1), false, {}},
        {"unknown message of the layer", hello + frame(0x7FFF0009, 0, 3), false, {}},
        {"highest message number", hello + frame(0xFFFFFFFF, 0, 4), false, {}},
        {"good frame, then a bad one", hello + frame(1124, 0, 5) + frame(1124, 0, 6, 0xFFFF),
         false, {5}},
        {"half a frame, then gone", hello + frame(1124, 0, 7).substr(0, 10), true, {}},
        {"half a greeting, then gone", hello.substr(0, 3), true, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        got.clear();
        const int fd = connectRaw(w.handle());
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(sendAll(fd, c.bytes));
        if (c.senderCloses) {
            ::close(fd);
            // Nothing to wait for but the event loop having seen the end.
            waitUntil([] { return false; }, 200);
        } else {
            EXPECT_TRUE(waitUntil([&] { return closedByPeer(fd); }));
            ::close(fd);
        }
        EXPECT_EQ(got, c.delivered);

        // A well-behaved sender still gets through.
        got.clear();
        const int good = connectRaw(w.handle());
        ASSERT_GE(good, 0);
        ASSERT_TRUE(sendAll(good, hello + frame(1124, 0, 100)));
        EXPECT_TRUE(waitUntil([&] { return got.size() == 1; }));
        EXPECT_EQ(got, std::vector<LPARAM>{100});
        ::close(good);
    }
}

TEST(WindowsInProcess, ConnectionsBeyondTheLimitAreTurnedAway)
{
    Window w(QStringLiteral("TForm1"), QStringLiteral("Kelpa"));
    ASSERT_NE(w.handle(), 0u);
    std::vector<LPARAM> got;
    QObject::connect(&w, &Window::messageReceived,
                     [&](std::uint32_t, WPARAM, LPARAM l) { got.push_back(l); });
    std::vector<int> held;
    const auto closeAll = [&] {
        for (int fd : held)
            ::close(fd);
    };
    // Well past any limit a window needs for the programs of one user; each one greets, so
    // none is dropped to make room (see below).
    const std::string hello(greeting, 8);
    for (int i = 0; i < 200; ++i) {
        const int fd = connectRaw(w.handle());
        if (fd < 0)
            break;
        held.push_back(fd);
        sendAll(fd, hello);
        waitUntil([] { return false; }, 2);
    }
    waitUntil([] { return false; }, 200);
    int refused = 0;
    for (int fd : held)
        refused += closedByPeer(fd) ? 1 : 0;
    EXPECT_GT(refused, 0);
    EXPECT_LT(refused, static_cast<int>(held.size()));
    // Those taken in still deliver.
    EXPECT_TRUE(sendAll(held.front(), frame(1124, 0, 1)));
    EXPECT_TRUE(waitUntil([&] { return got.size() == 1; }));
    closeAll();
}

// Connections that never greet, or greet and then say nothing for long, make room for a sender
// that needs it: held open by a stuck or hostile client they cannot keep others out.
TEST(WindowsInProcess, SilentConnectionsMakeRoomForOthers)
{
    Window w(QStringLiteral("TApplication"), QStringLiteral("Kelpa"));
    ASSERT_NE(w.handle(), 0u);
    std::vector<LPARAM> got;
    QObject::connect(&w, &Window::messageReceived,
                     [&](std::uint32_t, WPARAM, LPARAM l) { got.push_back(l); });
    const std::string hello(greeting, 8);
    for (const bool greets : {false, true}) {
        SCOPED_TRACE(greets ? "greeted, then silent" : "never greeted");
        got.clear();
        std::vector<int> held;
        for (int i = 0; i < 64; ++i) {
            const int fd = connectRaw(w.handle());
            ASSERT_GE(fd, 0);
            if (greets)
                sendAll(fd, hello);
            held.push_back(fd);
            waitUntil([] { return false; }, 2);
        }
        // A newcomer right away finds every connection in use.
        const int early = connectRaw(w.handle());
        ASSERT_GE(early, 0);
        sendAll(early, hello + frame(1124, 0, 1));
        EXPECT_TRUE(waitUntil([&] { return closedByPeer(early); }, 500));
        ::close(early);
        // Past the limit one of them goes, and the newcomer gets through.
        waitUntil([] { return false; }, greets ? 10500 : 1100);
        const int late = connectRaw(w.handle());
        ASSERT_GE(late, 0);
        ASSERT_TRUE(sendAll(late, hello + frame(1124, 0, 2)));
        EXPECT_TRUE(waitUntil([&] { return got.size() == 1; }));
        EXPECT_EQ(got, std::vector<LPARAM>{2});
        int dropped = 0;
        for (int fd : held)
            dropped += closedByPeer(fd) ? 1 : 0;
        EXPECT_EQ(dropped, 1);
        ::close(late);
        for (int fd : held)
            ::close(fd);
        waitUntil([] { return false; }, 100);
    }
}

TEST(WindowsInProcess, AFloodFasterThanTheWindowReadsArrivesWholeAndInOrder)
{
    Window w(QStringLiteral("TForm1"), QStringLiteral("Kelpa"));
    ASSERT_NE(w.handle(), 0u);
    std::vector<LPARAM> got;
    QObject::connect(&w, &Window::messageReceived,
                     [&](std::uint32_t, WPARAM, LPARAM l) { got.push_back(l); });
    // Many times what the window buffers per connection: it must leave the rest with the
    // system and come back for it.
    constexpr int count = 30000;
    const int fd = connectRaw(w.handle());
    ASSERT_GE(fd, 0);
    bool sent = false;
    std::thread sender([&] {
        std::string bytes(greeting, 8);
        for (int i = 0; i < count; ++i)
            bytes += frame(1124, 0, i);
        sent = sendAll(fd, bytes);
        ::close(fd);
    });
    const bool all = waitUntil([&] { return got.size() >= static_cast<size_t>(count); }, 30000);
    sender.join();
    EXPECT_TRUE(sent);
    ASSERT_TRUE(all) << got.size();
    ASSERT_EQ(got.size(), static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(got[static_cast<size_t>(i)], i);
}
