// Find, find next with the wrap question, replace and Replace All, and bookmarks.
#include "EditorFixture.h"

#include "editor/FindDialogs.h"
#include "editor/SearchCommands.h"

#include <QCheckBox>
#include <QMenu>
#include <QLineEdit>
#include <QPushButton>

using namespace kelpa::editor;
using namespace kelpa::editor::test;

namespace {

const QString kWrapQuestion = QStringLiteral("End of document reached. Do you want to continue through the rest of the document?");

QString noMore(const QString &what)
{
    return QStringLiteral("Searched through the entire document:\nthere are no more \"") + what + QLatin1Char('"');
}

} // namespace

TEST_F(EditorTest, WordAtCaretSelectsOrLeavesTheSelection)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText(QString::fromUtf8("caf\xc3\xa9 don't  stop"));
    struct Case {
        int caret;
        bool select;
        const char *word;
        int selStart, selLength;
    } cases[] = {
        {2, true, "caf\xc3\xa9", 0, 4},
        {6, true, "don't", 5, 5},
        {11, true, "stop", 12, 4},  // on the blanks: the word to the right
        {16, true, "", 16, 0},      // after the last word: nothing changes
        {6, false, "don't", 6, 0},  // without select the caret stays
    };
    for (const Case &c : cases) {
        e->SetSelStart(c.caret);
        EXPECT_EQ(WordAtCaret(form->currentEditor(), c.select), QString::fromUtf8(c.word)) << c.caret;
        EXPECT_EQ(e->SelStart(), c.selStart) << c.caret;
        EXPECT_EQ(e->SelLength(), c.selLength) << c.caret;
    }
}

TEST_F(EditorTest, FindTakesTheWordAtTheCaretWhenAutoFillIsOn)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("alpha beta gamma");
    e->SetSelStart(7);
    form->search().FindButtonClick();
    EXPECT_TRUE(form->search().findDialog()->isVisible());
    EXPECT_EQ(form->search().findDialog()->FindText(), "beta");
    EXPECT_EQ(e->SelText(), "beta");
    form->search().findDialog()->CloseDialog();
    actionOf(*form, "FindCapture1")->trigger();
    e->SetSelStart(0);
    form->search().FindButtonClick();
    EXPECT_EQ(form->search().findDialog()->FindText(), "beta") << "without auto-fill the text stays";
    // Replace takes the word and leaves the caret at its start.
    actionOf(*form, "FindCapture1")->trigger();
    e->SetSelStart(13);
    form->search().Replace1Click();
    EXPECT_TRUE(form->search().replaceMode());
    EXPECT_EQ(form->search().replaceDialog()->FindText(), "gamma");
    EXPECT_EQ(e->SelStart(), 11);
    EXPECT_EQ(e->SelLength(), 0);
}

TEST_F(EditorTest, FindNextWithAnEmptyTextOnlyOpensTheDialog)
{
    start();
    editor(0)->SetText("text");
    form->search().Findnext1Click();
    EXPECT_TRUE(form->search().findDialog()->isVisible());
    EXPECT_EQ(editor(0)->SelLength(), 0);
    EXPECT_TRUE(prompter.shown().empty());
}

TEST_F(EditorTest, FindNextWrapsAroundOnceWithTheQuestion)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("one two one two one");
    form->search().findDialog()->SetFindText("one");
    e->SetSelStart(5);
    // From the caret on: 8, then 16; the end asks; after wrapping 0, then the starting point ends it.
    form->search().Findnext1Click();
    EXPECT_EQ(e->SelStart(), 8);
    EXPECT_EQ(e->SelLength(), 3);
    form->search().Findnext1Click();
    EXPECT_EQ(e->SelStart(), 16);
    EXPECT_TRUE(prompter.shown().empty());
    prompter.answer(kelpa::MessageAnswer::Yes);
    form->search().Findnext1Click();
    EXPECT_EQ(prompter.last().text, kWrapQuestion);
    EXPECT_EQ(e->SelStart(), 0) << "wrapped to the start";
    // The hit at 0 and further on are checked against the starting point of the last run.
    prompter.clear();
    e->SetSelStart(5);
    form->search().Findnext1Click();
    form->search().Findnext1Click();
    prompter.answer(kelpa::MessageAnswer::Yes);
    form->search().Findnext1Click();
    ASSERT_EQ(e->SelStart(), 0);
    prompter.clear();
    form->search().Findnext1Click();
    EXPECT_EQ(e->SelStart(), 8);
    // Declining stops where it is.
    prompter.clear();
    form->search().Findnext1Click();
    prompter.answer(kelpa::MessageAnswer::No);
    form->search().Findnext1Click();
    EXPECT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(e->SelStart(), 16);
}

TEST_F(EditorTest, FindNextAfterWrappingStopsAtTheStartingPoint)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("xx one xx");
    form->search().findDialog()->SetFindText("one");
    // The only hit is selected: after the question it is found again, before the starting point.
    e->SetSelStart(3);
    e->SetSelLength(3);
    prompter.answer(kelpa::MessageAnswer::Yes);
    form->search().Findnext1Click();
    EXPECT_EQ(prompter.last().text, kWrapQuestion);
    EXPECT_EQ(e->SelStart(), 3);
    EXPECT_EQ(e->SelLength(), 3);
    // Without any hit: the question, then "no more".
    prompter.clear();
    form->search().findDialog()->SetFindText("none");
    prompter.answer(kelpa::MessageAnswer::Yes);
    form->search().Findnext1Click();
    ASSERT_EQ(prompter.messages().size(), 2u);
    EXPECT_EQ(prompter.messages()[0].text, kWrapQuestion);
    EXPECT_EQ(prompter.messages()[1].text, noMore("none"));
}

TEST_F(EditorTest, SearchOptionsComeFromTheDialog)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("Cat concat cat");
    form->search().findDialog()->SetFindText("cat");
    form->search().findDialog()->MatchCaseBox->setChecked(true);
    e->SetSelStart(0);
    form->search().Findnext1Click();
    EXPECT_EQ(e->SelStart(), 7);
    form->search().findDialog()->WholeWordBox->setChecked(true);
    e->SetSelStart(0);
    form->search().Findnext1Click();
    EXPECT_EQ(e->SelStart(), 11);
}

TEST_F(EditorTest, ReplaceReplacesHitsOnlyAndFindsOn)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("red green red");
    form->search().Replace1Click();
    form->search().replaceDialog()->SetFindText("red");
    form->search().replaceDialog()->SetReplaceText("blue");
    e->SetSelStart(4);
    e->SetSelLength(5); // "green": no hit, stays
    form->search().replaceDialog()->ReplaceButton->click();
    EXPECT_EQ(e->Text(), "red green red");
    EXPECT_EQ(e->SelStart(), 10);
    EXPECT_EQ(e->SelText(), "red");
    form->search().replaceDialog()->ReplaceButton->click();
    EXPECT_EQ(e->Text(), "red green blue");
    // Nothing further: the question, then from the start.
    EXPECT_EQ(prompter.last().text, kWrapQuestion);
}

TEST_F(EditorTest, ReplaceGoesOnWithItsTextAfterWrapping)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("alpha red beta red");
    e->SetSelStart(10);
    form->search().Replace1Click();
    form->search().replaceDialog()->SetFindText("red");
    form->search().replaceDialog()->SetReplaceText("blue");
    form->search().replaceDialog()->ReplaceButton->click();
    ASSERT_EQ(e->SelStart(), 15);
    prompter.answer(kelpa::MessageAnswer::Yes);
    form->search().replaceDialog()->ReplaceButton->click();
    ASSERT_EQ(e->Text(), "alpha red beta blue");
    // Wrapped to the start: the dialog shows again with the text being replaced, not with
    // the first word of the page, and the next press replaces the hit it found there.
    EXPECT_TRUE(form->search().replaceDialog()->isVisible());
    EXPECT_EQ(form->search().replaceDialog()->FindText(), "red");
    EXPECT_EQ(e->SelStart(), 6);
    EXPECT_EQ(e->SelText(), "red");
    form->search().replaceDialog()->ReplaceButton->click();
    EXPECT_EQ(e->Text(), "alpha blue beta blue");
}

TEST_F(EditorTest, ReplaceAllIsOneStepAndCannotLoop)
{
    start();
    TRichEdit *e = editor(0);
    const QString text = "a-b-a-b-a";
    struct Case {
        const char *what, *with;
        int caret;
        kelpa::MessageAnswer wrap;
        const char *result;
    } cases[] = {
        {"a", "aa", 0, kelpa::MessageAnswer::Yes, "aa-b-aa-b-aa"},
        {"a", "aa", 3, kelpa::MessageAnswer::Yes, "aa-b-aa-b-aa"},
        {"a", "aa", 3, kelpa::MessageAnswer::No, "a-b-aa-b-aa"},
        {"-", "", 5, kelpa::MessageAnswer::Yes, "ababa"},
        {"b-a", "X", 0, kelpa::MessageAnswer::Yes, "a-X-X"},
        {"a", "aa", 4, kelpa::MessageAnswer::Yes, "aa-b-aa-b-aa"},
        {"b", "bab", 2, kelpa::MessageAnswer::Yes, "a-bab-a-bab-a"},
        {"zzz", "y", 0, kelpa::MessageAnswer::Yes, "a-b-a-b-a"},
    };
    for (const Case &c : cases) {
        e->SetText(text);
        e->SetModified(false);
        prompter.clear();
        prompter.answer(c.wrap);
        form->search().Replace1Click();
        e->SetSelStart(c.caret);
        form->search().replaceDialog()->SetFindText(c.what);
        form->search().replaceDialog()->SetReplaceText(c.with);
        form->search().replaceDialog()->ReplaceAllButton->click();
        EXPECT_EQ(e->Text(), c.result) << c.what << " @" << c.caret;
        EXPECT_FALSE(form->search().replaceDialog()->isVisible());
        EXPECT_FALSE(form->search().replaceMode());
        ASSERT_FALSE(prompter.messages().empty());
        EXPECT_EQ(prompter.messages()[0].text, kWrapQuestion);
        if (c.wrap == kelpa::MessageAnswer::Yes) {
            EXPECT_EQ(prompter.last().text, noMore(c.what));
        }
        form->edit().UndoButtonClick();
        EXPECT_EQ(e->Text(), text) << "one undo takes it all back: " << c.what << " @" << c.caret;
    }
}

TEST_F(EditorTest, FindNextAfterReplaceAllDoesNotReplaceAgain)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("x1 x2 x3");
    e->SetSelStart(0);
    form->search().Replace1Click();
    form->search().replaceDialog()->SetFindText("x");
    form->search().replaceDialog()->SetReplaceText("y");
    prompter.answer(kelpa::MessageAnswer::No);
    form->search().replaceDialog()->ReplaceAllButton->click();
    EXPECT_EQ(e->Text(), "y1 y2 y3");
    e->SetText("x1 x2");
    e->SetSelStart(0);
    form->search().Replace1Click();
    form->search().Findnext1Click();
    EXPECT_EQ(e->Text(), "x1 x2") << "F3 finds only";
    EXPECT_EQ(e->SelText(), "x1");
}

TEST_F(EditorTest, ReplaceModeLastsUntilASearchEnds)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("word other word");
    e->SetSelStart(0);
    form->search().Replace1Click();
    EXPECT_TRUE(form->search().replaceMode());
    form->search().replaceDialog()->CloseDialog();
    form->search().findDialog()->SetFindText("other");
    form->search().Findnext1Click();
    EXPECT_EQ(e->SelText(), "word") << "F3 takes the replace dialog's text while replace mode lasts";
    EXPECT_EQ(e->SelStart(), 0);
    form->search().Findnext1Click();
    EXPECT_EQ(e->SelStart(), 11);
    EXPECT_TRUE(form->search().replaceMode());
    prompter.answer(kelpa::MessageAnswer::No);
    form->search().Findnext1Click();
    EXPECT_FALSE(form->search().replaceMode());
    EXPECT_EQ(form->search().findDialog()->FindText(), "word");
}

TEST_F(EditorTest, FindDialogSearchesItsOwnTextAfterAReplace)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("word other word");
    e->SetSelStart(0);
    form->search().Replace1Click();
    form->search().replaceDialog()->FindNextButton->click();
    ASSERT_EQ(e->SelText(), "word");
    form->search().replaceDialog()->CloseDialog();
    // The find dialog opened afterwards searches what the user typed into it, by its button
    // and by F3.
    e->SetSelStart(0);
    form->search().FindButtonClick();
    form->search().findDialog()->SetFindText("other");
    form->search().findDialog()->FindNextButton->click();
    EXPECT_EQ(e->SelText(), "other");
    EXPECT_EQ(form->search().findDialog()->FindText(), "other");
    EXPECT_FALSE(form->search().findDialog()->isVisible());
    e->SetSelStart(0);
    form->search().Findnext1Click();
    EXPECT_EQ(e->SelText(), "other");
}

TEST_F(EditorTest, SearchWithoutAPageDoesNothing)
{
    start();
    form->ClosePage(0);
    ASSERT_EQ(form->CurrentPage(), -1);
    form->search().FindButtonClick();
    form->search().Replace1Click();
    form->search().findDialog()->SetFindText("x");
    form->search().Findnext1Click();
    form->search().N01Click(1);
    form->search().N02Click(1);
    EXPECT_FALSE(form->search().findDialog()->isVisible());
    EXPECT_FALSE(form->search().replaceDialog()->isVisible());
    EXPECT_TRUE(prompter.shown().empty());
    EXPECT_FALSE(form->findChild<QWidget *>("FindButton")->isEnabled());
    EXPECT_FALSE(form->findChild<QWidget *>("ReplaceButton")->isEnabled());
    for (const char *menu : {"Edit1", "Search1"})
        EXPECT_FALSE(form->findChild<QMenu *>(menu)->isEnabled()) << menu;
    for (const char *name : {"UndoButton", "CutButton", "CopyButton", "PasteButton"})
        EXPECT_FALSE(form->findChild<QWidget *>(name)->isEnabled()) << name;
    form->NewPage(NewPageKind::Plain);
    for (const char *menu : {"Edit1", "Search1"})
        EXPECT_TRUE(form->findChild<QMenu *>(menu)->isEnabled()) << menu;
}

TEST_F(EditorTest, BookmarksSetAndGo)
{
    start();
    form->NewPage(NewPageKind::Plain);
    TRichEdit *e = editor(1);
    e->SetText("0123456789 abcdefghij");
    e->SetSelStart(12);
    form->search().N01Click(3);
    EXPECT_EQ(form->statusPanel(3), "Bookmark 3 ready.");
    EXPECT_EQ(page(1).Bookmarks[3], 12);
    e->SetSelStart(0);
    form->search().N02Click(3);
    EXPECT_EQ(e->SelStart(), 12);
    EXPECT_EQ(form->statusPanel(3), "Jumped to bookmark 3");
    // Unset: the caret stays and the jump is still reported.
    e->SetSelStart(4);
    form->search().N02Click(7);
    EXPECT_EQ(e->SelStart(), 4);
    EXPECT_EQ(form->statusPanel(3), "Jumped to bookmark 7");
    // The mark moves with text put in or taken out before it.
    e->SetSelStart(0);
    e->SetSelText("xyz");
    EXPECT_EQ(page(1).Bookmarks[3], 15);
    e->SetSelStart(0);
    e->SetSelLength(5);
    e->SetSelText("");
    EXPECT_EQ(page(1).Bookmarks[3], 10);
    // Text taken from under it leaves it at the end.
    form->search().N01Click(9);
    e->SetText("short");
    e->SetSelStart(0);
    form->search().N02Click(9);
    EXPECT_LE(e->SelStart(), e->TextLength());
    // The shortcuts of the menus.
    EXPECT_EQ(actionOf(*form, "SetBookmark5")->shortcut(), QKeySequence("Ctrl+Shift+5"));
    EXPECT_EQ(actionOf(*form, "GoToBookmark5")->shortcut(), QKeySequence("Ctrl+5"));
    EXPECT_EQ(actionOf(*form, "GoToBookmark5")->text(), "&5");
    // Bookmarks are per page and a new page starts with none.
    form->pageControl()->setCurrentWidget(page(0).Sheet);
    EXPECT_EQ(page(0).Bookmarks[3], -1);
}
