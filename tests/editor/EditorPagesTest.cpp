// The 16 pages of the main window: slots, untitled names, the start-up page, the page limit.
#include "EditorFixture.h"

#include <QTabBar>
#include <QAction>

using namespace kelpa::editor;
using namespace kelpa::editor::test;

TEST_F(EditorTest, StartsWithOneUntitledRichPage)
{
    start();
    ASSERT_EQ(openCount(), 1);
    EXPECT_EQ(page(0).FileName, "*untitled.rtf");
    EXPECT_EQ(page(0).Kind, PageKind::Rich);
    EXPECT_EQ(form->CurrentPage(), 0);
    EXPECT_EQ(form->pageControl()->tabText(0), "*untitled.rtf");
    EXPECT_TRUE(form->pageControl()->isVisible());
    EXPECT_TRUE(form->format().rulerEnabled());
    EXPECT_FALSE(editor(0)->Modified());
    EXPECT_TRUE(actionOf(*form, "Save1")->isEnabled());
}

TEST_F(EditorTest, NewPagesAreNumberedByKindAndNumbersAreNotReused)
{
    start();
    form->NewPage(NewPageKind::Plain);
    form->NewPage(NewPageKind::Encrypted);
    EXPECT_EQ(page(1).FileName, "*untitled(2).txt");
    EXPECT_EQ(page(1).Kind, PageKind::Plain);
    EXPECT_TRUE(editor(1)->PlainText());
    EXPECT_EQ(page(2).FileName, "*untitled(3).eco");
    EXPECT_EQ(page(2).Kind, PageKind::Rich) << "an untitled encrypted page stays rich until saved";
    form->ClosePage(2);
    form->NewPage(NewPageKind::Batch);
    EXPECT_EQ(page(2).FileName, "*untitled(4).bat");
    EXPECT_EQ(editor(2)->Text(), "# Standard .BAT ready. Please read the help for more info");
    EXPECT_EQ(prompter.unanswered(), 0);
}

TEST_F(EditorTest, SixteenPagesAreTheLimit)
{
    start();
    for (int i = 1; i < kPageCount; ++i)
        form->NewPage(NewPageKind::Plain);
    ASSERT_EQ(openCount(), 16);
    EXPECT_EQ(form->pages().FindFreePage(), -1);
    const int counter = form->pages().UntitledCounter;
    form->NewPage(NewPageKind::Rich);
    EXPECT_EQ(openCount(), 16);
    EXPECT_TRUE(shownMessage("No more pages available (max.= 16)"));
    EXPECT_EQ(form->pages().UntitledCounter, counter + 1);
    writeFile(path("extra.txt"), "x");
    prompter.clear();
    EXPECT_EQ(form->OpenDocument(path("extra.txt"), true, {}), -1);
    EXPECT_TRUE(shownMessage("No more pages available (max.= 16)"));
    EXPECT_EQ(openCount(), 16);
}

TEST_F(EditorTest, SixteenTabsKeepTheirNamesReadable)
{
    start();
    form->ClosePage(0);
    for (int i = 0; i < kPageCount; ++i) {
        const QString name = path(QStringLiteral("notes-%1.txt").arg(i, 2, 10, QLatin1Char('0')));
        writeFile(name, "x\n");
        ASSERT_GE(form->OpenDocument(name, true, {}), 0);
    }
    pump();
    QTabBar *bar = form->pageControl()->tabBar();
    ASSERT_EQ(bar->count(), kPageCount);
    // Room for the name but for its extension, whatever the window's width: the bar scrolls.
    const int readable = bar->fontMetrics().horizontalAdvance(QStringLiteral("notes-00"));
    for (int i = 0; i < bar->count(); ++i) {
        EXPECT_GE(bar->tabRect(i).width(), readable) << i;
        EXPECT_EQ(bar->tabToolTip(i), path(QStringLiteral("notes-%1.txt").arg(i, 2, 10, QLatin1Char('0'))));
    }
    EXPECT_TRUE(bar->usesScrollButtons());
}

TEST_F(EditorTest, OpenGoesIntoTheLowestFreeSlot)
{
    start();
    editor(0)->SetText("keep me");
    for (int i = 1; i < 6; ++i)
        form->NewPage(NewPageKind::Plain);
    form->ClosePage(3);
    writeFile(path("a.txt"), "alpha\r\n");
    EXPECT_EQ(form->OpenDocument(path("a.txt"), true, {}), 3);
    EXPECT_EQ(form->CurrentPage(), 3);
    EXPECT_EQ(form->pageControl()->currentWidget(), page(3).Sheet);
}

TEST_F(EditorTest, OpeningReplacesTheUntouchedStartPageOnly)
{
    start();
    writeFile(path("a.txt"), "alpha\r\n");
    writeFile(path("b.txt"), "beta\r\n");
    // The file takes the next free slot; the empty start page is closed.
    EXPECT_EQ(form->OpenDocument(path("a.txt"), true, {}), 1);
    EXPECT_EQ(openCount(), 1);
    EXPECT_EQ(form->pageControl()->count(), 1);
    form->NewPage(NewPageKind::Rich);
    editor(form->CurrentPage())->SetText("typed");
    EXPECT_GE(form->OpenDocument(path("b.txt"), true, {}), 0);
    EXPECT_EQ(openCount(), 3);
}

// One file never gets two pages, whichever way its path is written; a file whose name differs in
// case only is another file and gets its own page.
TEST_F(EditorTest, TheSameFileByAnyPathIsAlreadyLoaded)
{
    start();
    writeFile(path("Notes.txt"), "n\r\n");
    writeFile(path("NOTES.txt"), "another\r\n");
    QDir(folder).mkdir("sub");
    ASSERT_TRUE(QFile::link(path("Notes.txt"), path("link.txt")));
    const int notes = form->OpenDocument(path("Notes.txt"), true, {});
    ASSERT_GE(notes, 0);
    for (const QString &typed : {path("./Notes.txt"), path("sub/../Notes.txt"), path("link.txt")}) {
        form->NewPage(NewPageKind::Rich);
        ASSERT_NE(form->CurrentPage(), notes);
        EXPECT_EQ(form->OpenDocument(typed, true, {}), -1) << typed.toStdString();
        EXPECT_TRUE(shownMessage("\"" + typed + "\"\nFile already loaded")) << typed.toStdString();
        EXPECT_EQ(form->CurrentPage(), notes);
        EXPECT_EQ(form->pageControl()->currentWidget(), page(notes).Sheet);
    }
    const int pages = openCount();
    const int other = form->OpenDocument(path("NOTES.txt"), true, {});
    ASSERT_GE(other, 0);
    EXPECT_NE(other, notes);
    EXPECT_EQ(openCount(), pages + 1);
    EXPECT_EQ(editor(other)->Text(), QStringLiteral("another"));
}

TEST_F(EditorTest, AmpersandShowsOnceInTheTab)
{
    start();
    writeFile(path("Tom & Jerry.txt"), "x\r\n");
    const int slot = form->OpenDocument(path("Tom & Jerry.txt"), true, {});
    ASSERT_GE(slot, 0);
    const int tab = form->pageControl()->indexOf(page(slot).Sheet);
    EXPECT_EQ(form->pageControl()->tabText(tab), "Tom && Jerry.txt");

    // A very long name keeps its whole text but gets a tab of bounded width.
    const QString longName = QString(200, QLatin1Char('n')) + QStringLiteral(".txt");
    writeFile(path(longName), "x");
    const int longSlot = form->OpenDocument(path(longName), true, {});
    ASSERT_GE(longSlot, 0);
    const int longTab = form->pageControl()->indexOf(page(longSlot).Sheet);
    EXPECT_EQ(form->pageControl()->tabText(longTab), longName);
    EXPECT_EQ(form->pageControl()->tabToolTip(longTab), path(longName));
    const QFontMetrics metrics(form->pageControl()->tabBar()->font());
    EXPECT_LT(form->pageControl()->tabBar()->tabRect(longTab).width(), metrics.horizontalAdvance(longName) / 2);
    EXPECT_EQ(form->pageControl()->tabToolTip(tab), path("Tom & Jerry.txt"));
}

TEST_F(EditorTest, SwitchingToAPlainPageDisablesTheRuler)
{
    start();
    form->NewPage(NewPageKind::Plain);
    EXPECT_FALSE(form->format().rulerEnabled());
    form->pageControl()->setCurrentWidget(page(0).Sheet);
    pump();
    EXPECT_EQ(form->CurrentPage(), 0);
    EXPECT_TRUE(form->format().rulerEnabled());
    form->pageControl()->setCurrentWidget(page(1).Sheet);
    pump();
    EXPECT_FALSE(form->format().rulerEnabled());
    EXPECT_EQ(form->statusPanel(2), "");
}

TEST_F(EditorTest, CommandsDoNothingWithoutAPage)
{
    start();
    form->ClosePage(0);
    ASSERT_EQ(openCount(), 0);
    EXPECT_EQ(form->CurrentPage(), -1);
    EXPECT_EQ(form->statusPanel(3), "All files have been closed");
    EXPECT_FALSE(form->pageControl()->isVisible());
    for (const char *name : {"Save1", "Saveas1", "SaveAll1", "Close1", "Closeall1", "Changepassword1", "Wraptext1"}) {
        EXPECT_FALSE(actionOf(*form, name)->isEnabled()) << name;
        actionOf(*form, name)->trigger(); // a disabled action does not run
    }
    form->documents().SaveButtonClick();
    form->documents().Saveas1Click();
    form->documents().SaveAll1Click();
    form->documents().Close1Click();
    form->documents().Changepassword1Click();
    form->documents().Wraptext1Click();
    form->documents().Closeall1Click();
    EXPECT_TRUE(prompter.shown().empty());
    EXPECT_EQ(passwords.shown(), 0);
    form->NewPage(NewPageKind::Plain);
    EXPECT_TRUE(actionOf(*form, "Save1")->isEnabled());
    EXPECT_TRUE(form->pageControl()->isVisible());
}

TEST_F(EditorTest, WordWrapFollowsThePage)
{
    start();
    form->NewPage(NewPageKind::Plain);
    EXPECT_FALSE(editor(1)->WordWrap());
    actionOf(*form, "Wraptext1")->trigger();
    EXPECT_TRUE(editor(1)->WordWrap());
    EXPECT_TRUE(actionOf(*form, "Wraptext1")->isChecked());
    EXPECT_EQ(form->statusPanel(2), "W");
    form->pageControl()->setCurrentWidget(page(0).Sheet);
    pump();
    EXPECT_TRUE(actionOf(*form, "Wraptext1")->isChecked()) << "rich pages wrap";
}

TEST_F(EditorTest, PageEditorsKeepTwoPixelSideMarginsAcrossPageChanges)
{
    start();
    form->NewPage(NewPageKind::Plain);
    for (int round = 0; round < 4; ++round)
        for (const int slot : {0, 1}) {
            form->pageControl()->setCurrentWidget(page(slot).Sheet);
            pump();
        }
    for (const int slot : {0, 1}) {
        const QRect view = editor(slot)->viewport()->geometry();
        const QRect client = editor(slot)->ClientRect();
        EXPECT_EQ(view.left(), 2) << slot;
        EXPECT_EQ(client.width() - view.width(), 4) << slot << ": right margin " << client.width() - view.right() - 1;
    }
}
