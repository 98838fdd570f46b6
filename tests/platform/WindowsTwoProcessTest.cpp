// Windows and posted messages between two real processes of one user, and what bringing a
// window forward does under a real X server.
#include "PeerProcess.h"
#include "common/TempDir.h"
#include "platform/WindowMessages.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>
#include <algorithm>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace kelpa::platform;
using kelpa::test::firstLine;
using kelpa::test::startPeer;
using kelpa::test::waitUntil;

namespace {

QList<QByteArray> recordedLines(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

struct Peer {
    QProcess process;
    WindowHandle handle = 0;
    ~Peer()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
};

void serve(Peer &peer, const QString &className, const QString &title, const QString &record)
{
    startPeer(peer.process, {QStringLiteral("serve"), className, title, record});
    const QByteArray line = firstLine(peer.process);
    ASSERT_TRUE(line.startsWith("ready ")) << line.constData();
    peer.handle = line.mid(6).toULongLong();
}

} // namespace

TEST(WindowsBetweenProcesses, FindsThePeerByClassAndTitle)
{
    kelpa::test::TempDir dir;
    Peer peer;
    serve(peer, QStringLiteral("TApplication"), QStringLiteral("Kelpa"), QString::fromStdString(dir.file("record")));
    EXPECT_EQ(FindWindow(QStringLiteral("TApplication"), QStringLiteral("Kelpa")), peer.handle);
    EXPECT_EQ(FindWindow(QStringLiteral("TApplication")), peer.handle);
    EXPECT_EQ(FindWindow(QStringLiteral("TApplication"), QStringLiteral("Kelpa Spell")), 0u);
    EXPECT_EQ(FindWindow(QStringLiteral("TKelpaSpellChecker")), 0u);
    EXPECT_TRUE(IsWindow(peer.handle));
}

TEST(WindowsBetweenProcesses, PostedMessagesArriveInOrder)
{
    kelpa::test::TempDir dir;
    const QString record = QString::fromStdString(dir.file("record"));
    Peer peer;
    serve(peer, QStringLiteral("TKelpaSpellChecker"), QStringLiteral("Checker"), record);
    constexpr int count = 500;
    for (int i = 0; i < count; ++i)
        ASSERT_TRUE(PostMessage(peer.handle, 1124, 42, i));
    ASSERT_TRUE(PostMessage(peer.handle, 1134, 0, -1));
    ASSERT_TRUE(peer.process.waitForFinished(20000));
    const QList<QByteArray> lines = recordedLines(record);
    ASSERT_EQ(lines.size(), count + 1);
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(lines.at(i), "1124 42 " + QByteArray::number(i)) << "at " << i;
    EXPECT_EQ(lines.last(), "1134 0 -1");
}

TEST(WindowsBetweenProcesses, ASenderThatExitsRightAfterPostingLosesNothing)
{
    Window target(QStringLiteral("TForm1"), QStringLiteral("Kelpa"));
    ASSERT_NE(target.handle(), 0u);
    std::vector<LPARAM> got;
    QObject::connect(&target, &Window::messageReceived,
                     [&](std::uint32_t message, WPARAM wParam, LPARAM lParam) {
                         EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
                         EXPECT_EQ(message, 1124u);
                         EXPECT_EQ(wParam, 7u);
                         got.push_back(lParam);
                     });
    QProcess first, second;
    startPeer(first, {QStringLiteral("post"), QStringLiteral("TForm1"), QStringLiteral("Kelpa"),
                      QStringLiteral("0"), QStringLiteral("300")});
    ASSERT_TRUE(waitUntil([&] { return first.state() == QProcess::NotRunning; }));
    EXPECT_EQ(first.exitCode(), 0);
    startPeer(second, {QStringLiteral("post"), QStringLiteral("TForm1"), QStringLiteral("Kelpa"),
                       QStringLiteral("300"), QStringLiteral("300")});
    ASSERT_TRUE(waitUntil([&] { return second.state() == QProcess::NotRunning; }));
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_TRUE(waitUntil([&] { return got.size() >= 600; })) << got.size();
    for (int i = 0; i < 600; ++i)
        ASSERT_EQ(got[static_cast<size_t>(i)], i);
}

TEST(WindowsBetweenProcesses, AFrameNoneOfOursWritesIsDroppedAndTheWindowGoesOn)
{
    Window target(QStringLiteral("TKelpaSpellChecker"), QString());
    ASSERT_NE(target.handle(), 0u);
    std::vector<std::pair<WPARAM, LPARAM>> got;
    QObject::connect(&target, &Window::messageReceived,
                     [&](std::uint32_t, WPARAM wParam, LPARAM lParam) { got.emplace_back(wParam, lParam); });
    QProcess peer;
    startPeer(peer, {QStringLiteral("junk"), QStringLiteral("TKelpaSpellChecker"), QString()});
    ASSERT_TRUE(waitUntil([&] { return peer.state() == QProcess::NotRunning; }));
    EXPECT_EQ(peer.exitCode(), 0);
    ASSERT_TRUE(waitUntil([&] { return !got.empty(); }));
    // The good frame behind the bad one came on a connection already dropped.
    waitUntil([] { return false; }, 200);
    EXPECT_EQ(got, (std::vector<std::pair<WPARAM, LPARAM>>{{9, 9}}));
    EXPECT_EQ(FindWindow(QStringLiteral("TKelpaSpellChecker")), target.handle());
}

TEST(WindowsBetweenProcesses, AKilledPeerLeavesNothingThatBlocksTheNextOne)
{
    kelpa::test::TempDir dir;
    const QString record = QString::fromStdString(dir.file("record"));
    WindowHandle old = 0;
    {
        Peer peer;
        serve(peer, QStringLiteral("TApplication"), QStringLiteral("Kelpa"), record);
        old = peer.handle;
        ::kill(static_cast<pid_t>(peer.process.processId()), SIGKILL);
        ASSERT_TRUE(peer.process.waitForFinished(5000));
    }
    // Its endpoint files are still there until someone looks.
    EXPECT_TRUE(QFile::exists(windowsFolder() + QStringLiteral("/w") + QString::number(old)
                              + QStringLiteral(".json")));
    EXPECT_FALSE(PostMessage(old, 1124, 0, 0));
    EXPECT_EQ(FindWindow(QStringLiteral("TApplication"), QStringLiteral("Kelpa")), 0u);
    EXPECT_FALSE(QFile::exists(windowsFolder() + QStringLiteral("/w") + QString::number(old)
                               + QStringLiteral(".json")));
    EXPECT_FALSE(IsWindow(old));

    Peer next;
    serve(next, QStringLiteral("TApplication"), QStringLiteral("Kelpa"), record);
    EXPECT_EQ(FindWindow(QStringLiteral("TApplication"), QStringLiteral("Kelpa")), next.handle);
    ASSERT_TRUE(PostMessage(next.handle, 1134, 1, 2));
    ASSERT_TRUE(next.process.waitForFinished(10000));
    EXPECT_EQ(recordedLines(record), QList<QByteArray>{"1134 1 2"});
}

// Programs of one user on two displays share the runtime folder; a window of the other display
// is not found (a document handed to it would open where the user is not). Screen 0 of our X
// display is our display.
TEST(WindowsBetweenProcesses, OnlyWindowsOfTheSameDisplayAreFound)
{
    kelpa::test::TempDir dir;
    const QString record = QString::fromStdString(dir.file("record"));
    const bool onX = QGuiApplication::platformName() == QLatin1String("xcb");
    struct Case { const char *what; QString platform; QString display; bool found; };
    std::vector<Case> cases = {
        {"another platform", onX ? QStringLiteral("offscreen") : QStringLiteral("minimal"), {}, false}};
    if (onX)
        cases.push_back({"screen 0 of our display", QStringLiteral("xcb"), qEnvironmentVariable("DISPLAY") + ".0", true});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Peer peer;
        QProcessEnvironment env = kelpa::test::childEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), c.platform);
        if (!c.display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), c.display);
        ASSERT_TRUE(kelpa::test::startProgram(peer.process, QStringLiteral(PEER_PATH),
                                              {QStringLiteral("serve"), QStringLiteral("TApplication"),
                                               QStringLiteral("Kelpa"), record},
                                              env));
        const QByteArray line = firstLine(peer.process);
        ASSERT_TRUE(line.startsWith("ready ")) << line.constData();
        peer.handle = line.mid(6).toULongLong();
        EXPECT_TRUE(IsWindow(peer.handle));
        EXPECT_EQ(FindWindow(QStringLiteral("TApplication"), QStringLiteral("Kelpa")), c.found ? peer.handle : 0u);
        EXPECT_EQ(FindWindow(QStringLiteral("TApplication")), c.found ? peer.handle : 0u);
    }
}

// A window whose process has ended but has not been waited for serves nothing: it is gone.
TEST(WindowsBetweenProcesses, AWindowOfAnEndedProcessIsGoneBeforeItIsReaped)
{
    kelpa::test::TempDir dir;
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const QByteArray platform = "QT_QPA_PLATFORM=" + QGuiApplication::platformName().toLatin1();
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::putenv(const_cast<char *>(platform.constData()));
        const std::string record = dir.file("record");
        ::execl(PEER_PATH, PEER_PATH, "serve", "TApplication", "Kelpa", record.c_str(), static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    char line[64] = {};
    for (size_t n = 0; n < sizeof line - 1 && ::read(out[0], line + n, 1) == 1 && line[n] != '\n';)
        ++n;
    ::close(out[0]);
    const WindowHandle handle = QByteArray(line).trimmed().mid(6).toULongLong();
    ASSERT_NE(handle, 0u) << line;
    EXPECT_EQ(FindWindow(QStringLiteral("TApplication"), QStringLiteral("Kelpa")), handle);
    ::kill(pid, SIGKILL);
    // Still a zombie: nobody has waited for it.
    EXPECT_TRUE(waitUntil([&] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        return stat.open(QIODevice::ReadOnly) && stat.readAll().contains(") Z ");
    }));
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(FindWindow(QStringLiteral("TApplication"), QStringLiteral("Kelpa")), 0u);
    EXPECT_FALSE(PostMessage(handle, 1124, 0, 0));
    int status = 0;
    ::waitpid(pid, &status, 0);
}

TEST(WindowsBetweenProcesses, KeystrokeReachesTheShortcutOfTheFoundWindow)
{
    kelpa::test::TempDir dir;
    const QString record = QString::fromStdString(dir.file("record"));
    Peer peer;
    serve(peer, QStringLiteral("TApplication"), QStringLiteral("Kelpa"), record);
    const WindowHandle found = FindWindow(QStringLiteral("TApplication"), QStringLiteral("Kelpa"));
    ASSERT_EQ(found, peer.handle);
    ASSERT_TRUE(BringWindowToFront(found));
    ASSERT_TRUE(SendKeystroke(found, Qt::CTRL | Qt::Key_J));
    // A keystroke without a shortcut goes to the focused widget and records nothing.
    ASSERT_TRUE(SendKeystroke(found, Qt::CTRL | Qt::Key_K));
    ASSERT_TRUE(PostMessage(found, 1134, 0, 0));
    ASSERT_TRUE(peer.process.waitForFinished(10000));
    EXPECT_EQ(recordedLines(record), (QList<QByteArray>{"ctrl+j", "1134 0 0"}));
}

namespace {

// Top-level X windows from the bottom of the stack to its top.
std::vector<WId> stackingOrder()
{
    QProcess xwininfo;
    xwininfo.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-children")});
    if (!xwininfo.waitForFinished(10000))
        return {};
    std::vector<WId> ids;
    for (const QByteArray &line : xwininfo.readAllStandardOutput().split('\n')) {
        const QByteArray t = line.trimmed();
        if (t.startsWith("0x"))
            ids.push_back(static_cast<WId>(t.left(t.indexOf(' ')).toULongLong(nullptr, 16)));
    }
    // xwininfo lists the top first.
    std::reverse(ids.begin(), ids.end());
    return ids;
}

int stackIndex(const std::vector<WId> &order, WId id)
{
    const auto at = std::find(order.begin(), order.end(), id);
    return at == order.end() ? -1 : static_cast<int>(at - order.begin());
}

} // namespace

TEST(WindowsUnderX, BringingAWindowForwardKeepsItsModalBoxOnTop)
{
    QMainWindow main;
    main.setWindowTitle(QStringLiteral("main"));
    main.resize(400, 300);
    main.show();
    Window window(QStringLiteral("TApplication"), QStringLiteral("Kelpa"), &main);
    QDialog box(&main);
    box.setWindowTitle(QStringLiteral("box"));
    box.setModal(true);
    box.resize(200, 100);
    box.show();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeModalWidget() == &box; }, 5000));
    ASSERT_TRUE(BringWindowToFront(window.handle()));
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 300)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    const std::vector<WId> order = stackingOrder();
    const int mainAt = stackIndex(order, main.winId());
    const int boxAt = stackIndex(order, box.winId());
    ASSERT_GE(mainAt, 0);
    ASSERT_GE(boxAt, 0);
    EXPECT_GT(boxAt, mainAt) << "the box is above the window it blocks";
    box.hide();
}
