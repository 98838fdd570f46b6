// The window at start and at open: the page control after a failed command-line open, the
// stored size over several starts, a failing word-wrap check, the command line's path.
#include "EditorFixture.h"

#include "editor/StartUp.h"

#include <QDir>

#include <QLabel>
#include <stdexcept>

using namespace kelpa::editor;
using namespace kelpa::editor::test;

TEST_F(EditorTest, PageControlShowsAfterAFailedCommandLineOpen)
{
    prompter.answer(kelpa::MessageAnswer::Ok);
    start(true, [&] { return std::make_unique<TForm1>(path("missing.txt")); });
    EXPECT_EQ(openCount(), 0);
    EXPECT_EQ(form->CurrentPage(), -1);
    EXPECT_TRUE(form->pageControl()->isVisible());
    // A later open works as ever.
    writeFile(path("there.txt"), "x");
    EXPECT_GE(form->OpenDocument(path("there.txt"), true, {}), 0);
    EXPECT_TRUE(form->pageControl()->isVisible());
}

TEST_F(EditorTest, StoredSizeStaysOverSeveralStarts)
{
    writeFile(path("Kelpa.ini"), "NormalWidth=600\r\nNormalHeight=450\r\n");
    for (int run = 0; run < 3; ++run) {
        start();
        EXPECT_EQ(form->clientSize(), QSize(600, 450)) << run;
        EXPECT_GT(form->height(), 450) << "the menu bar comes on top of the client area";
        editor(0)->SetModified(false);
        ASSERT_TRUE(form->close());
        const QByteArray ini = fileBytes(path("Kelpa.ini"));
        EXPECT_TRUE(ini.contains("NormalWidth=600\r\nNormalHeight=450\r\n")) << run << ini.constData();
        TearDown();
    }
}

TEST_F(EditorTest, FailingWordWrapCheckIsToldAndTheOpenGoesOn)
{
    start();
    form->documents().setAutoWrapLineLength([](TRichEdit *, int) -> int { throw std::runtime_error("Line unreadable"); });
    writeFile(path("short.txt"), "one\r\ntwo\r\n");
    const int slot = form->OpenDocument(path("short.txt"), true, {});
    ASSERT_GE(slot, 0);
    EXPECT_TRUE(shownMessage("Line unreadable while checking for AutoWrap"));
    EXPECT_EQ(form->CurrentPage(), slot);
    EXPECT_EQ(page(slot).FileName, path("short.txt"));
    EXPECT_EQ(editor(slot)->Text(), "one\ntwo");
    EXPECT_TRUE(form->isEnabled()) << "the window takes commands again";
}


TEST_F(EditorTest, ARelativeCommandLinePathBecomesACleanAbsoluteOne)
{
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder));
    const std::pair<const char *, QString> cases[] = {
        {"./a.txt", path("a.txt")},
        {"sub/../b.txt", path("b.txt")},
        {"", QString()},
    };
    for (const auto &[argument, expected] : cases) {
        const StartDecision start = HandOffToRunningInstance({QString::fromUtf8(argument)});
        EXPECT_TRUE(start.becomeEditor) << "no editor runs";
        EXPECT_EQ(start.documentPath, expected) << argument;
    }
    QDir::setCurrent(before);
}
