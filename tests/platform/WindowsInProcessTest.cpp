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
#include <memory>

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
