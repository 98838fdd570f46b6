// The editing commands of the window: the caret panel, inserted texts, the clipboard, the
// insert mode, the keystroke repair, the context menu, and nothing changing a read-only page.
#include "EditorFixture.h"

#include "editor/RecentCommands.h"

#include "editor/EditText.h"
#include "editor/TRuler.h"

#include <QAction>
#include <QComboBox>
#include "widgets/Kpmenus.h"
#include "widgets/Kpspin.h"
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QTest>

using namespace kelpa::editor;
using namespace kelpa::editor::test;

namespace {

void key(QWidget *w, int k, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString &text = {})
{
    QKeyEvent press(QEvent::KeyPress, k, mods, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, k, mods, text);
    QApplication::sendEvent(w, &release);
}

void setClipboard(const QString &text, const QByteArray &rtf = {})
{
    auto *mime = new QMimeData;
    mime->setText(text);
    if (!rtf.isEmpty())
        mime->setData("text/rtf", rtf);
    QGuiApplication::clipboard()->setMimeData(mime);
}

} // namespace

TEST_F(EditorTest, CaretPanelShowsLineAndColumnFromZero)
{
    start();
    form->NewPage(NewPageKind::Plain);
    for (int slot : {0, 1}) {
        form->pageControl()->setCurrentWidget(page(slot).Sheet);
        TRichEdit *e = editor(slot);
        e->SetText("ab\ncd\n\nxyz");
        struct Case {
            int position;
            const char *panel;
        } cases[] = {{0, "0 , 0"}, {2, "0 , 2"}, {3, "1 , 0"}, {4, "1 , 1"}, {6, "2 , 0"}, {7, "3 , 0"}, {10, "3 , 3"}};
        for (const Case &c : cases) {
            e->SetSelStart(c.position);
            EXPECT_EQ(form->statusPanel(0), c.panel) << "page " << slot << " at " << c.position;
        }
    }
}

TEST_F(EditorTest, CaretPanelShowsLongLineNumbersWhole)
{
    start();
    TRichEdit *e = editor(0);
    QString text;
    for (int i = 0; i < 123456; ++i)
        text += QStringLiteral("x\n");
    e->SetText(text + QStringLiteral("0123456789012345"));
    e->SetSelStart(e->TextLength());
    ASSERT_EQ(form->statusPanel(0), "123456 , 16");
    auto *panel = form->findChild<QLabel *>(QStringLiteral("StatusPanel0"));
    ASSERT_NE(panel, nullptr);
    EXPECT_GE(panel->contentsRect().width(), panel->fontMetrics().horizontalAdvance(panel->text()))
        << "the caret position is cut off";
}

TEST_F(EditorTest, CurrentDateTakesTheChosenFormat)
{
    start();
    const QDate today = QDate::currentDate();
    for (int option : {0, 1, 2, 3}) {
        form->edit().ddmmyyyy1Click(option);
        EXPECT_TRUE(actionOf(*form, QStringLiteral("DateFormat%1").arg(option))->isChecked());
        editor(0)->Clear();
        form->edit().Insertcurrentdate1Click();
        EXPECT_EQ(editor(0)->Text(), dateText(option, today, localeDateSeparator(), localeMonthNames())) << option;
    }
    editor(0)->SetModified(false);
    form->close();
    EXPECT_TRUE(fileBytes(path("Kelpa.ini")).contains("DateFormatOption=3\r\n"));
}

TEST_F(EditorTest, AnUnknownDateFormatInsertsNothing)
{
    writeFile(path("Kelpa.ini"), "DateFormatOption=7\r\n");
    start();
    EXPECT_TRUE(actionOf(*form, "DateFormat0")->isChecked());
    form->edit().Insertcurrentdate1Click();
    EXPECT_EQ(editor(0)->Text(), "");
}

TEST_F(EditorTest, SeparatorAndHeaderOnAPlainPage)
{
    writeFile(path("Kelpa.ini"), "Separator=3\r\n");
    start();
    form->NewPage(NewPageKind::Plain);
    TRichEdit *e = editor(1);
    form->edit().Insertseparatorline1Click(false);
    EXPECT_EQ(e->Text(), "\n___\n");
    e->Clear();
    form->edit().Insertseparatorline1Click(true);
    EXPECT_EQ(e->Text(), "\n___\nTitle\n" + QString(3, QChar(0xAF)) + "\n");
    EXPECT_EQ(e->Lines().Text(), "\r\n___\r\nTitle\r\n" + QString(3, QChar(0xAF)) + "\r\n\r\n");
}

TEST_F(EditorTest, SeparatorOfZeroLengthBecomes72AndStays)
{
    writeFile(path("Kelpa.ini"), "Separator=0\r\n");
    start();
    form->edit().Insertseparatorline1Click(false);
    EXPECT_EQ(editor(0)->Text(), "\n" + QString(72, '_') + "\n");
    editor(0)->SetModified(false);
    form->close();
    EXPECT_TRUE(fileBytes(path("Kelpa.ini")).contains("Separator=72\r\n"));
}

TEST_F(EditorTest, SeparatorOnARichPageKeepsTheTypingFont)
{
    writeFile(path("Kelpa.ini"), "Separator=4\r\nDefaultFontName=DejaVu Sans\r\nDefaultFontSize=11\r\n");
    start();
    TRichEdit *e = editor(0);
    e->SelAttributes().SetName("Liberation Serif");
    e->SelAttributes().SetSize(20);
    e->SelAttributes().SetColor(QColor(Qt::red));
    e->SelAttributes().SetStyle(TFontStyle::Bold);
    form->edit().Insertseparatorline1Click(false);
    EXPECT_EQ(e->Text(), "\n____\n");
    // Typing goes on in the font before.
    EXPECT_EQ(e->SelAttributes().Name(), "Liberation Serif");
    e->SetSelText("z");
    e->SetSelStart(2);
    EXPECT_EQ(e->SelAttributes().Name(), "DejaVu Sans") << "the line is in the default font";
    EXPECT_EQ(e->SelAttributes().Size(), 11);
    EXPECT_FALSE(e->SelAttributes().Style().testFlag(TFontStyle::Bold));
    EXPECT_FALSE(e->SelAttributes().Color().isValid());
    e->SetSelStart(e->TextLength() - 1);
    e->SetSelLength(1);
    EXPECT_EQ(e->SelAttributes().Name(), "Liberation Serif") << "typing goes on in the font before";
    EXPECT_EQ(e->SelAttributes().Size(), 20);
    EXPECT_EQ(e->SelAttributes().Color(), QColor(Qt::red));
}

TEST_F(EditorTest, SeparatorLengthIsAskedFor)
{
    start();
    struct Case {
        std::optional<QString> answer;
        int length;
        bool complaint;
    } cases[] = {{QString("12"), 12, false}, {QString("abc"), 12, true}, {std::nullopt, 12, false}, {QString("-3"), -3, false}};
    for (const Case &c : cases) {
        prompter.clear();
        prompter.answerInput(c.answer);
        form->edit().Separatorlinelength1Click();
        ASSERT_FALSE(prompter.shown().empty());
        EXPECT_EQ(prompter.shown().front().caption, "Separator Line Length...");
        EXPECT_EQ(prompter.shown().front().text, "Please enter the width of the separator line (characters)");
        EXPECT_EQ(form->settings().separatorLength, c.length);
        EXPECT_EQ(shownMessage("'abc' is not a valid integer value"), c.complaint);
    }
}

TEST_F(EditorTest, PasteTakesTextIntoPlainPagesAndFormatsIntoRichOnes)
{
    start();
    form->NewPage(NewPageKind::Plain);
    struct Case {
        int slot;
        bool rtfOnClipboard;
        bool bold;
    } cases[] = {{0, true, true}, {0, false, false}, {1, true, false}, {1, false, false}};
    for (const Case &c : cases) {
        form->pageControl()->setCurrentWidget(page(c.slot).Sheet);
        editor(c.slot)->Clear();
        setClipboard("bold", c.rtfOnClipboard ? QByteArray("{\\rtf1\\ansi{\\b bold}}") : QByteArray());
        form->edit().PasteButtonClick();
        EXPECT_EQ(editor(c.slot)->Text(), "bold") << c.slot << c.rtfOnClipboard;
        editor(c.slot)->SetSelStart(1);
        EXPECT_EQ(editor(c.slot)->SelAttributes().Style().testFlag(TFontStyle::Bold), c.bold) << c.slot << c.rtfOnClipboard;
    }
}

TEST_F(EditorTest, PasteIntoALargePageIsOneInsertionAndOneUndo)
{
    start();
    TRichEdit *e = editor(0);
    const QString big(70000, 'x');
    e->SetText(big);
    e->SetSelStart(10);
    setClipboard("line one\nline two", "{\\rtf1\\ansi{\\b bold}}");
    form->edit().PasteButtonClick();
    EXPECT_EQ(e->TextLength(), 70000 + 17);
    EXPECT_EQ(e->Text().mid(10, 17), "line one\nline two") << "a large page takes the text";
    form->edit().UndoButtonClick();
    EXPECT_EQ(e->Text(), big);
}

TEST_F(EditorTest, CutAndCopy)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("hello world");
    e->SetSelStart(0);
    e->SetSelLength(5);
    form->edit().CopyButtonClick();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "hello");
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat("text/rtf"));
    e->SetSelStart(6);
    e->SetSelLength(5);
    form->edit().CutButtonClick();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "world");
    EXPECT_EQ(e->Text(), "hello ");
    // Plain copy and paste leaves text only on the clipboard.
    actionOf(*form, "PlainCopyPaste1")->trigger();
    EXPECT_TRUE(actionOf(*form, "PlainCopyPaste1")->isChecked());
    e->SelectAll();
    form->edit().CopyButtonClick();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "hello ");
    EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasFormat("text/rtf"));
}

TEST_F(EditorTest, ClipboardKeysReachTheWindowsCommands)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("text");
    e->SelectAll();
    struct Case {
        int key;
        Qt::KeyboardModifiers mods;
        bool window;
    } cases[] = {
        {Qt::Key_C, Qt::ControlModifier, true},      {Qt::Key_X, Qt::ControlModifier, true},
        {Qt::Key_V, Qt::ControlModifier, true},      {Qt::Key_Z, Qt::ControlModifier, true},
        {Qt::Key_A, Qt::ControlModifier, true},      {Qt::Key_Insert, Qt::ControlModifier, true},
        {Qt::Key_Insert, Qt::ShiftModifier, true},   {Qt::Key_Left, Qt::ControlModifier, false},
        {Qt::Key_Home, Qt::NoModifier, false},
    };
    for (const Case &c : cases) {
        QKeyEvent override(QEvent::ShortcutOverride, c.key, c.mods);
        override.setAccepted(false);
        QApplication::sendEvent(e, &override);
        EXPECT_EQ(override.isAccepted(), !c.window) << c.key << " " << c.mods;
    }
}

TEST_F(EditorTest, PageMenuKeysWorkAfterTheMenuShowedWithoutSelection)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("some text");
    e->SetSelStart(2);
    // The menu opened once without a selection hides its selection items ...
    QMenu *menu = form->findChild<QMenu *>(QStringLiteral("PopupMenu1"));
    ASSERT_NE(menu, nullptr);
    menu->popup(QPoint(10, 10));
    pump();
    menu->hide();
    pump();
    // ... yet their keys still act on a selection made afterwards.
    form->activateWindow();
    e->setFocus();
    pump();
    e->SelectAll();
    QTest::keyClick(e, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(e->Text(), "SOME TEXT");
    QTest::keyClick(e, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(e->Text(), "some text");
}

TEST_F(EditorTest, SelectAllAndDeleteLine)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("one\ntwo\nthree");
    e->SetSelStart(5);
    form->edit().Deleteline1Click();
    EXPECT_EQ(e->Text(), "one\nthree");
    form->edit().Selectall1Click();
    EXPECT_EQ(e->SelStart(), 0);
    EXPECT_EQ(e->SelLength(), e->TextLength());
    e->Clear();
    form->edit().Deleteline1Click();
    EXPECT_EQ(e->Text(), "");
}

TEST_F(EditorTest, InsertKeyAloneSwitchesInsertAndOverwrite)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("abc");
    e->SetSelStart(0);
    setClipboard("");
    EXPECT_EQ(form->statusPanel(1), "Ins");
    key(e, Qt::Key_Insert);
    EXPECT_EQ(form->statusPanel(1), "Ovr");
    EXPECT_EQ(page(0).InsertMode, 0);
    key(e, Qt::Key_X, Qt::NoModifier, "x");
    EXPECT_EQ(e->Text(), "xbc") << "typing overwrites";
    key(e, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(form->statusPanel(1), "Ovr") << "Shift+Insert is no switch";
    key(e, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(form->statusPanel(1), "Ovr");
    key(e, Qt::Key_Insert);
    EXPECT_EQ(form->statusPanel(1), "Ins");
    key(e, Qt::Key_Y, Qt::NoModifier, "y");
    EXPECT_EQ(e->Text(), "xybc");
}

TEST_F(EditorTest, KeystrokeRepairGivesBackOnlyLostCharacters)
{
    start();
    TRichEdit *e = editor(0);
    // Typed keys arrive once.
    for (const char *ch : {"a", "b", "c"})
        key(e, Qt::Key_A, Qt::NoModifier, ch);
    EXPECT_EQ(e->Text(), "abc");
    key(e, Qt::Key_Return, Qt::NoModifier, "\r");
    EXPECT_EQ(e->Text(), "abc\n");
    // A character the editor lost is inserted at key-up.
    int k = Qt::Key_D;
    QChar d('d');
    form->edit().RichEdit1KeyDown(k, Qt::NoModifier);
    form->edit().RichEdit1KeyPress(d);
    form->edit().RichEdit1KeyUp(k, Qt::NoModifier);
    EXPECT_EQ(e->Text(), "abc\nd");
    // Not while Ctrl is held, nor on a read-only page.
    form->edit().RichEdit1KeyDown(k, Qt::ControlModifier);
    form->edit().RichEdit1KeyPress(d);
    form->edit().RichEdit1KeyUp(k, Qt::ControlModifier);
    e->SetReadOnly(true);
    form->edit().RichEdit1KeyDown(k, Qt::NoModifier);
    form->edit().RichEdit1KeyPress(d);
    form->edit().RichEdit1KeyUp(k, Qt::NoModifier);
    EXPECT_EQ(e->Text(), "abc\nd");
}

TEST_F(EditorTest, RightClickMovesTheCaretOnlyWithoutSelection)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("hello world");
    const QPoint end = e->cursorRect(e->textCursor()).center();
    e->SetSelStart(0);
    form->edit().RichEdit1MouseDown(Qt::RightButton, Qt::NoModifier, e->viewport()->mapTo(e, end));
    EXPECT_GT(e->SelStart(), 5);
    e->SetSelStart(0);
    e->SetSelLength(3);
    form->edit().RichEdit1MouseDown(Qt::RightButton, Qt::NoModifier, QPoint(1, 1));
    EXPECT_EQ(e->SelStart(), 0);
    EXPECT_EQ(e->SelLength(), 3);
}

TEST_F(EditorTest, ContextMenuFollowsTheSelection)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("hello world\nsecond");
    const char *withSelection[] = {"CutPopup", "CopyPopup", "BoldPopup", "ItalicPopup", "UnderlinePopup",
                                   "LowerPopup", "UpperPopup", "DefaultFontPopup", "DefaultColorPopup"};
    struct Case {
        int start, length;
        bool shown;
        const char *word;
    } cases[] = {
        {0, 11, true, "hello"},   // two words: the first
        {0, 18, true, "hello"},
        {12, 6, true, "second"},
        {3, 0, false, "hello"},   // no selection: the word at the caret
        {5, 0, false, "world"},
        {18, 0, false, ""},
    };
    for (const Case &c : cases) {
        e->SetSelStart(c.start);
        e->SetSelLength(c.length);
        emit form->pageMenu()->aboutToShow(); // as when it opens
        for (const char *name : withSelection)
            EXPECT_EQ(actionOf(*form, name)->isVisible(), c.shown) << name << " " << c.start;
        for (const char *name : {"Closepage1", "Viewfilefolder1", "PastePopup", "Checkword1", "CancelPopup"})
            EXPECT_TRUE(actionOf(*form, name)->isVisible()) << name;
        EXPECT_TRUE(form->pageMenu()->actions().contains(actionOf(*form, "Viewfilefolder1")));
        EXPECT_EQ(checkWord(form->currentEditor()), c.word) << c.start;
        EXPECT_EQ(e->SelStart(), c.start) << "the word is found without moving the selection";
        EXPECT_EQ(e->SelLength(), c.length);
    }
    e->SetText("first\nsecond");
    e->SelectAll();
    EXPECT_EQ(checkWord(form->currentEditor()), "first");
    EXPECT_EQ(checkWordCaption("hello"), "Chec&k \"hello\"");
}

TEST_F(EditorTest, PageMenuPaintsItsItemsAndMargin)
{
    start();
    kelpa::widgets::TKpPopupMenu *menu = form->pageMenu();
    EXPECT_EQ(menu->LeftMargin(), 16u);
    EXPECT_FALSE(menu->ShowCheckMarks());
    EXPECT_TRUE(menu->IsOwnerDrawMenu());
    EXPECT_EQ(form->recent().favouritesMenu()->LeftMargin(), 16u);
    struct Case {
        const char *item;
        bool glyph;
    } cases[] = {{"CutPopup", true},    {"CopyPopup", true},  {"PastePopup", true},     {"Checkword1", true},
                 {"Closepage1", false}, {"BoldPopup", false}, {"Viewfilefolder1", false}};
    for (const Case &c : cases) {
        QFont font;
        kelpa::widgets::TColor colour = 0;
        std::optional<kelpa::widgets::TGraphic> graphic;
        int glyphs = 1;
        menu->OnGetItemParams(menu, actionOf(*form, c.item), {}, font, colour, graphic, glyphs);
        EXPECT_EQ(font.family(), "Arial") << c.item;
        EXPECT_EQ(graphic.has_value() && !graphic->Empty(), c.glyph) << c.item;
    }
    // The margin: lime at the top, dark at the bottom, and the name written over it.
    QImage image(16, 200, QImage::Format_RGB32);
    image.fill(Qt::gray);
    {
        QPainter painter(&image);
        menu->CanvasState().painter = &painter;
        menu->OnDrawMargin(menu, QRect(0, 0, 16, 200));
        menu->CanvasState().painter = nullptr;
    }
    EXPECT_GT(QColor(image.pixel(1, 1)).green(), 200);
    EXPECT_LT(QColor(image.pixel(1, 150)).green(), 80);
    int white = 0;
    for (int y = 120; y < 200; ++y)
        for (int x = 0; x < 16; ++x)
            white += QColor(image.pixel(x, y)).lightness() > 200 ? 1 : 0;
    EXPECT_GT(white, 10) << "the word is written near the bottom";
}

TEST_F(EditorTest, WordWrapShowsInTheStatusBar)
{
    start();
    form->NewPage(NewPageKind::Plain);
    EXPECT_EQ(form->statusPanel(2), "");
    form->documents().Wraptext1Click();
    EXPECT_TRUE(editor(1)->WordWrap());
    EXPECT_EQ(form->statusPanel(2), "W");
    EXPECT_TRUE(actionOf(*form, "Wraptext1")->isChecked());
    form->documents().Wraptext1Click();
    EXPECT_EQ(form->statusPanel(2), "");
}

TEST_F(EditorTest, ReadOnlyPageIgnoresEveryCommandThatChangesIt)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("Hello world\nsecond line");
    e->SetSelStart(0);
    e->SetSelLength(5);
    e->SetReadOnly(true);
    const QByteArray before = e->SaveToStream();
    setClipboard("pasted");
    prompter.answerColor(QColor(Qt::red));
    const std::pair<const char *, std::function<void()>> commands[] = {
        {"cut", [&] { form->edit().CutButtonClick(); }},
        {"paste", [&] { form->edit().PasteButtonClick(); }},
        {"undo", [&] { form->edit().UndoButtonClick(); }},
        {"date", [&] { form->edit().Insertcurrentdate1Click(); }},
        {"time", [&] { form->edit().Insertcurrenttime1Click(); }},
        {"separator", [&] { form->edit().Insertseparatorline1Click(false); }},
        {"header", [&] { form->edit().Insertseparatorline1Click(true); }},
        {"delete line", [&] { form->edit().Deleteline1Click(); }},
        {"bold", [&] { form->format().Bold1Click(); }},
        {"italic", [&] { form->format().Italic1Click(); }},
        {"underline", [&] { form->format().Underline1Click(); }},
        {"centre", [&] { form->format().LeftAlignClick(2); }},
        {"bullets", [&] { form->format().Bullets1Click(); }},
        {"lower case", [&] { form->format().Makelovercase1Click(); }},
        {"upper case", [&] { form->format().Makeuppercase1Click(); }},
        {"default font", [&] { form->format().DefaultFButtonClick(); }},
        {"default colour", [&] { form->format().DefaultFColButtonClick(); }},
        {"colour", [&] { form->format().ColorButtonClick(); }},
        {"font name", [&] { form->findChild<QComboBox *>("FontName")->setCurrentIndex(2); }},
        {"font size", [&] { form->findChild<kelpa::widgets::TKpSpinEdit *>("FontSize")->SetAsInteger(30); }},
        {"left marker", [&] { form->format().LeftIndMouseDown(form->format().ruler()->LeftInd, 40); form->format().LeftIndMouseUp(); }},
        {"first marker", [&] { form->format().LeftIndMouseDown(form->format().ruler()->FirstInd, 40); form->format().FirstIndMouseUp(); }},
        {"right marker", [&] { form->format().LeftIndMouseDown(form->format().ruler()->RightInd, -40); form->format().RightIndMouseUp(); }},
    };
    for (const auto &[name, run] : commands) {
        run();
        EXPECT_EQ(e->SaveToStream(), before) << name;
    }
    EXPECT_EQ(prompter.unanswered(), 0) << "the colour dialog is not even shown";
}

TEST_F(EditorTest, RefreshingTheControlsChangesNothingInTheText)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("ab");
    e->SetSelStart(0);
    e->SetSelLength(1);
    e->SelAttributes().SetName("Liberation Serif");
    e->SelAttributes().SetSize(20);
    e->SetSelStart(1);
    e->SetSelLength(1);
    e->SelAttributes().SetName("DejaVu Sans");
    e->SelAttributes().SetSize(9);
    // The selection of both shows the first one's font; the second keeps its own.
    e->SetSelStart(0);
    e->SetSelLength(2);
    form->format().RichEdit1SelectionChange();
    EXPECT_EQ(form->findChild<QComboBox *>("FontName")->currentText(), "Liberation Serif");
    EXPECT_EQ(form->findChild<kelpa::widgets::TKpSpinEdit *>("FontSize")->GetAsInteger(), 20);
    e->SetSelStart(1);
    e->SetSelLength(1);
    EXPECT_EQ(e->SelAttributes().Name(), "DejaVu Sans");
    EXPECT_EQ(e->SelAttributes().Size(), 9);
}
