// The text the checker hands back on the clipboard, between real processes on an X server: a
// clipboard's content there lives only as long as the program that owns it.
#include "CheckerProcessFixture.h"
#include "common/WaitUntil.h"
#include "platform/NamedMutex.h"
#include "platform/WindowMessages.h"
#include "spell/ClipboardKeeper.h"
#include "support/CheckerHandOff.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kelpa;

namespace {

using kelpa::test::waitUntil;

class ClipboardHandBack : public test::CheckerProcessTest {
protected:
    void startBoth()
    {
        startEditor();
        startChecker({token()});
        ASSERT_TRUE(waitUntil([] { return platform::FindWindow(SpellCheckerWindowClass) != 0; }));
    }

    // The checker's visible windows, its main window first.
    QStringList checkerWindows()
    {
        const auto search = [this](const QStringList &extra) { return test::visibleWindows(checker.processId(), extra); };
        QStringList windows = search({QStringLiteral("--name"), QStringLiteral("3\\.0r1")});
        for (const QString &w : search({}))
            if (!windows.contains(w))
                windows.append(w);
        return windows;
    }

    // Types the keys into a window of the checker, as a user at the keyboard would.
    static bool typeInto(const QString &window, const QStringList &keys)
    {
        QStringList arguments{QStringLiteral("windowfocus"), QStringLiteral("--sync"), window,
                              QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50")};
        return QProcess::execute(QStringLiteral("xdotool"), arguments + keys) == 0;
    }

    // Hands the text over as a selection and presses OK once the run is over.
    void checkAndPressOk(const char *command)
    {
        editor.write(command);
        ASSERT_TRUE(editor.waitForBytesWritten(10000));
        // The checker took the text off the clipboard: what the editor pastes later is the
        // checker's own.
        ASSERT_TRUE(waitUntil([] { return QGuiApplication::clipboard()->text().isEmpty(); }));
        // The run finds nothing wrong and says so in a box of its own: Enter, then OK.
        QStringList windows;
        ASSERT_TRUE(waitUntil([&] { return (windows = checkerWindows()).size() == 2; }));
        ASSERT_TRUE(typeInto(windows.at(1), {QStringLiteral("Return")}));
        ASSERT_TRUE(waitUntil([&] { return checkerWindows().size() == 1; }));
        ASSERT_TRUE(typeInto(windows.at(0), {QStringLiteral("alt+o")}));
    }
};

TEST_F(ClipboardHandBack, TheEditorPastesTheCorrectedTextAfterTheWindowHasGone)
{
    startBoth();
    checkAndPressOk("check the cat sat\n");
    ASSERT_TRUE(waitUntil([&] { return recorded().find("pasted") != std::string::npos; }, 20000)) << recorded();
    EXPECT_NE(recorded().find("pasted the cat sat\n"), std::string::npos) << recorded();
    // Once the editor has the text the checker leaves by itself; the messages are those of
    // every OK, in their order.
    EXPECT_TRUE(checker.waitForFinished(20000));
    EXPECT_TRUE(waitUntil([&] {
        std::string messages = recorded();
        if (const std::size_t at = messages.find("pasted the cat sat\n"); at != std::string::npos)
            messages.erase(at, 19);
        return messages == "app 1134 0 0\nmain 1124 0 0\nmain 1134 0 0\n";
    })) << recorded();
    EXPECT_EQ(checker.exitCode(), 0);
}

TEST_F(ClipboardHandBack, WhileTheTextWaitsANewCheckerStartsAndAnotherOwnerEndsTheWait)
{
    startBoth();
    // An editor that does not paste at once.
    checkAndPressOk("hold the cat sat\n");
    ASSERT_TRUE(waitUntil([] { return platform::FindWindow(SpellCheckerWindowClass) == 0; }));
    ASSERT_EQ(checker.state(), QProcess::Running) << "still serving the text";

    // Neither the lock nor the window is held meanwhile.
    QProcess second;
    startChecker(second, {token()});
    EXPECT_TRUE(waitUntil([] { return platform::FindWindow(SpellCheckerWindowClass) != 0; }));
    EXPECT_EQ(checker.state(), QProcess::Running);

    // Another program takes the clipboard: the first checker has nothing left to serve.
    QGuiApplication::clipboard()->setText(QStringLiteral("something else"));
    EXPECT_TRUE(checker.waitForFinished(8000));
    EXPECT_EQ(checker.exitCode(), 0);
    EXPECT_EQ(recorded().find("pasted"), std::string::npos) << recorded();

    platform::PostMessage(platform::FindWindow(SpellCheckerWindowClass), WM_CLOSECHECKER, 0, 0);
    EXPECT_TRUE(second.waitForFinished(10000));
}

// Why the wait ends, where no other program pastes: the text is this process's own.
TEST(KeepClipboard, EndsWhenTheEditorIsGoneOrTheTimeIsUpOrTheTextIsNotServed)
{
    const spell::ClipboardKeeping longWait{60000, 1000, 50};
    {
        QGuiApplication::clipboard()->setText(QStringLiteral("corrected"));
        spell::ServeClipboardContent();
        auto editorWindow = std::make_unique<platform::Window>(QStringLiteral("TForm1"), QStringLiteral("Kelpa"));
        QTimer::singleShot(200, [&] { editorWindow.reset(); });
        EXPECT_EQ(spell::KeepClipboard(editorWindow->handle(), longWait), spell::ClipboardRelease::EditorGone);
        EXPECT_TRUE(QGuiApplication::clipboard()->ownsClipboard());
    }
    {
        QGuiApplication::clipboard()->setText(QStringLiteral("corrected"));
        spell::ServeClipboardContent();
        platform::Window editorWindow(QStringLiteral("TForm1"), QStringLiteral("Kelpa"));
        EXPECT_EQ(spell::KeepClipboard(editorWindow.handle(), {300, 1000, 50}), spell::ClipboardRelease::TimedOut);
        // Content put there without being served is not waited for.
        QGuiApplication::clipboard()->setText(QStringLiteral("plain"));
        EXPECT_EQ(spell::KeepClipboard(editorWindow.handle(), longWait), spell::ClipboardRelease::Replaced);
    }
    // The served content keeps every format and reads back unchanged here.
    auto *data = new QMimeData;
    data->setText(QStringLiteral("text"));
    data->setData(QStringLiteral("text/rtf"), QByteArray("{\\rtf1 text}"));
    QGuiApplication::clipboard()->setMimeData(data);
    spell::ServeClipboardContent();
    const QMimeData *served = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(qobject_cast<const spell::ServedMimeData *>(served), nullptr);
    EXPECT_EQ(served->text(), QStringLiteral("text"));
    EXPECT_EQ(served->data(QStringLiteral("text/rtf")), QByteArray("{\\rtf1 text}"));
}

} // namespace
