// The formatting bar and the ruler: commands on the selection, the controls following it,
// formatting kept through save and reopen, the default font and colour, and the markers.
#include "EditorFixture.h"

#include "editor/RulerGeometry.h"
#include "editor/TRuler.h"

#include <QAction>
#include <QComboBox>
#include "widgets/Kpspin.h"
#include <QFontInfo>
#include <QKeyEvent>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <functional>
#include <string>

using namespace kelpa::editor;
using namespace kelpa::editor::test;

namespace {

QToolButton *button(TForm1 &form, const char *name) { return form.findChild<QToolButton *>(name); }

} // namespace

TEST_F(EditorTest, FormattingRoundTripsThroughSaveAndReopen)
{
    writeFile(path("f.rtf"), "{\\rtf1\\ansi plain words\\par second paragraph\\par}");
    start();
    const int slot = form->OpenDocument(path("f.rtf"), true, {});
    ASSERT_GE(slot, 0);
    TRichEdit *e = editor(slot);
    e->SetSelStart(0);
    e->SetSelLength(5);
    form->format().Bold1Click();
    form->format().Italic1Click();
    prompter.answerColor(QColor(200, 0, 0));
    form->format().ColorButtonClick();
    form->findChild<kelpa::widgets::TKpSpinEdit *>("FontSize")->SetAsInteger(18);
    QComboBox *names = form->findChild<QComboBox *>("FontName");
    names->setCurrentIndex(names->findText("Liberation Serif"));
    form->format().LeftAlignClick(2);
    e->SetSelStart(15);
    form->format().Bullets1Click();
    form->format().Underline1Click();
    e->SetSelText("u");
    form->documents().SaveButtonClick();
    form->ClosePage(slot);

    const int again = form->OpenDocument(path("f.rtf"), true, {});
    ASSERT_GE(again, 0);
    e = editor(again);
    e->SetSelStart(1);
    EXPECT_EQ(e->SelAttributes().Style(), TFontStyles(TFontStyle::Bold) | TFontStyle::Italic);
    EXPECT_EQ(e->SelAttributes().Color(), QColor(200, 0, 0));
    EXPECT_EQ(e->SelAttributes().Size(), 18);
    EXPECT_EQ(e->SelAttributes().Name(), "Liberation Serif");
    EXPECT_EQ(e->Paragraph().Alignment(), TAlignment::Center);
    EXPECT_EQ(e->Paragraph().Numbering(), TNumberingStyle::None);
    e->SetSelStart(16);
    EXPECT_TRUE(e->SelAttributes().Style().testFlag(TFontStyle::Underline));
    EXPECT_EQ(e->Paragraph().Numbering(), TNumberingStyle::Bullet);
    EXPECT_EQ(e->Paragraph().Alignment(), TAlignment::LeftJustify);
}

TEST_F(EditorTest, TypedFontSizeIsTakenWithinItsRange)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText("words");
    e->SelectAll();
    auto *size = form->findChild<kelpa::widgets::TKpSpinEdit *>("FontSize");
    struct Case {
        const char *typed;
        int applied;
    } cases[] = {{"14", 14}, {"99999", 200}, {"1", 4}, {"x", 4}, {"", 4}, {"-3", 4}, {"200", 200}, {"abc", 200}};
    for (const Case &c : cases) {
        size->setText(QString::fromLatin1(c.typed));
        e->SetSelStart(1);
        EXPECT_EQ(e->SelAttributes().Size(), c.applied) << c.typed;
        e->SelectAll();
    }
}

TEST_F(EditorTest, ControlsFollowTheSelection)
{
    writeFile(path("c.rtf"), "{\\rtf1\\ansi{\\fonttbl{\\f0 DejaVu Sans;}{\\f1 Liberation Serif;}}"
                             "{\\colortbl;\\red0\\green128\\blue0;}"
                             "\\f0\\fs20 plain \\par\\pard\\qc\\f1\\fs32{\\b\\ul\\cf1 bold}\\par}");
    start();
    const int slot = form->OpenDocument(path("c.rtf"), true, {});
    TRichEdit *e = editor(slot);
    struct Case {
        int position;
        bool bold, underline, centre;
        int size;
        const char *font;
    } cases[] = {{1, false, false, false, 10, "DejaVu Sans"}, {9, true, true, true, 16, "Liberation Serif"}};
    for (const Case &c : cases) {
        e->SetSelStart(c.position);
        EXPECT_EQ(button(*form, "BoldButton")->isChecked(), c.bold) << c.position;
        EXPECT_FALSE(button(*form, "ItalicButton")->isChecked());
        EXPECT_EQ(button(*form, "UnderlineButton")->isChecked(), c.underline);
        EXPECT_EQ(button(*form, "CenterAlign")->isChecked(), c.centre);
        EXPECT_EQ(button(*form, "LeftAlign")->isChecked(), !c.centre);
        EXPECT_FALSE(button(*form, "RightAlign")->isChecked());
        EXPECT_EQ(form->findChild<kelpa::widgets::TKpSpinEdit *>("FontSize")->GetAsInteger(), c.size);
        EXPECT_EQ(form->findChild<QComboBox *>("FontName")->currentText(), c.font);
    }
    EXPECT_EQ(button(*form, "ColorButton")->property("fontColor").value<QColor>(), QColor(0, 128, 0));
}

TEST_F(EditorTest, FormattingBarAndRulerFollowRichPages)
{
    start();
    QWidget *bar = form->findChild<QWidget *>("FontsPanel");
    EXPECT_EQ(bar->parentWidget(), page(0).Sheet);
    EXPECT_EQ(form->format().ruler()->parentWidget(), page(0).Sheet);
    EXPECT_TRUE(form->format().ruler()->isEnabled());
    form->NewPage(NewPageKind::Plain);
    EXPECT_EQ(bar->parentWidget()->objectName(), "HiddenPanel");
    EXPECT_FALSE(form->format().ruler()->isEnabled());
    for (const char *name : {"BoldPopup", "ItalicPopup", "UnderlinePopup", "DefaultFontPopup", "DefaultColorPopup"})
        EXPECT_FALSE(actionOf(*form, name)->isEnabled()) << name;
    // The bar is not refreshed from a plain page.
    button(*form, "BoldButton")->setChecked(true);
    editor(1)->SetText("plain");
    editor(1)->SetSelStart(2);
    EXPECT_TRUE(button(*form, "BoldButton")->isChecked());
    form->pageControl()->setCurrentWidget(page(0).Sheet);
    EXPECT_EQ(bar->parentWidget(), page(0).Sheet);
    EXPECT_FALSE(button(*form, "BoldButton")->isChecked());
    EXPECT_TRUE(actionOf(*form, "BoldPopup")->isEnabled());
    // Closing and reopening slots never takes the bar with a sheet.
    form->ClosePage(0);
    form->NewPage(NewPageKind::Rich);
    EXPECT_EQ(bar->parentWidget(), page(0).Sheet);
}

TEST_F(EditorTest, FormattingIsForRichPagesOnly)
{
    start();
    form->NewPage(NewPageKind::Plain);
    TRichEdit *e = editor(1);
    e->SetText("plain text");
    e->SelectAll();
    const QByteArray before = e->SaveToStream();
    form->format().LeftAlignClick(2);
    form->format().Bullets1Click();
    EXPECT_EQ(e->SaveToStream(), before);
    EXPECT_EQ(e->Paragraph().Alignment(), TAlignment::LeftJustify);
    // Case changes are text.
    form->format().Makeuppercase1Click();
    EXPECT_EQ(e->Text(), "PLAIN TEXT");
}

TEST_F(EditorTest, CaseChangeKeepsSelectionAndFormatting)
{
    start();
    TRichEdit *e = editor(0);
    e->SetText(QString::fromUtf8("Stra\xc3\x9f" "e caf\xc3\xa9"));
    e->SetSelStart(0);
    e->SetSelLength(3);
    e->SelAttributes().SetStyle(TFontStyle::Bold);
    e->SetSelStart(1);
    e->SetSelLength(9);
    form->format().Makeuppercase1Click();
    EXPECT_EQ(e->Text(), QString::fromUtf8("STRA\xc3\x9f" "E CAF\xc3\xa9"));
    EXPECT_EQ(e->SelStart(), 1);
    EXPECT_EQ(e->SelLength(), 9);
    e->SetSelStart(2);
    EXPECT_TRUE(e->SelAttributes().Style().testFlag(TFontStyle::Bold));
    e->SetSelStart(4);
    EXPECT_FALSE(e->SelAttributes().Style().testFlag(TFontStyle::Bold));
    e->SetSelStart(0);
    e->SetSelLength(e->TextLength());
    form->format().Makelovercase1Click();
    EXPECT_EQ(e->Text(), QString::fromUtf8("stra\xc3\x9f" "e caf\xc3\xa9"));
    form->edit().UndoButtonClick();
    EXPECT_EQ(e->Text(), QString::fromUtf8("STRA\xc3\x9f" "E CAF\xc3\xa9")) << "one step of undo";
}

TEST_F(EditorTest, DefaultFontAndDefaultColour)
{
    writeFile(path("Kelpa.ini"), "DefaultFontName=Liberation Serif\r\nDefaultFontSize=14\r\nDefaultFontColor=255\r\n");
    start();
    EXPECT_EQ(form->format().defaultFontColor(), QColor(255, 0, 0)) << "255 is red";
    TRichEdit *e = editor(0);
    e->SetText("some words");
    e->SetSelStart(0);
    e->SetSelLength(4);
    e->SelAttributes().SetName("DejaVu Sans");
    e->SelAttributes().SetSize(9);
    form->format().DefaultFButtonClick();
    EXPECT_EQ(e->SelAttributes().Name(), "Liberation Serif");
    EXPECT_EQ(e->SelAttributes().Size(), 14);
    EXPECT_FALSE(e->SelAttributes().Color().isValid()) << "aA leaves the colour";
    form->format().DefaultFColButtonClick();
    EXPECT_EQ(e->SelAttributes().Color(), QColor(255, 0, 0));
    EXPECT_EQ(e->SelAttributes().Size(), 14);

    // New defaults from the dialogs; the page stays as it is.
    prompter.answerFont(QFont("DejaVu Sans", 12));
    form->format().Defaultfont1Click();
    prompter.answerColor(QColor(0, 0, 255));
    form->format().DefaultFColSetClick();
    EXPECT_EQ(e->SelAttributes().Name(), "Liberation Serif");
    EXPECT_EQ(form->settings().defaultFontName, "DejaVu Sans");
    EXPECT_EQ(form->settings().defaultFontSize, 12);
    e->SetModified(false);
    ASSERT_TRUE(form->close());
    const QByteArray ini = fileBytes(path("Kelpa.ini"));
    EXPECT_TRUE(ini.contains("DefaultFontName=DejaVu Sans\r\n"));
    EXPECT_TRUE(ini.contains("DefaultFontSize=12\r\n"));
    EXPECT_TRUE(ini.contains("DefaultFontColor=16711680\r\n")) << ini.constData();
}

TEST_F(EditorTest, MissingDefaultFontIsChosenAnew)
{
    writeFile(path("Kelpa.ini"), "DefaultFontName=No Such Font Family\r\n");
    struct Case {
        std::optional<QFont> answer;
        const char *font;
    } cases[] = {{QFont("DejaVu Sans", 10), "DejaVu Sans"}, {std::nullopt, "No Such Font Family"}};
    for (const Case &c : cases) {
        prompter.clear();
        prompter.answerFont(c.answer);
        start();
        EXPECT_TRUE(shownMessage("Cannot get default font (No Such Font Family) from system. You must choose another one"));
        // The dialog names the stored family and what stands in for it.
        const QString substitute = QFontInfo(QFont("No Such Font Family")).family();
        EXPECT_EQ(prompter.last().caption, "Font - \"No Such Font Family\" is not installed; \"" + substitute
                                               + "\" is used in its place");
        ASSERT_EQ(openCount(), 1) << "the page opens either way";
        EXPECT_EQ(form->settings().defaultFontName, c.font);
        EXPECT_EQ(editor(0)->DefAttributes().Name(), c.font);
        TearDown();
    }
    // A Windows core font stands in through its metric twin.
    writeFile(path("Kelpa.ini"), "DefaultFontName=Courier New\r\n");
    prompter.clear();
    start();
    EXPECT_FALSE(shownMessageStarting("Cannot get default font"));
}

TEST_F(EditorTest, RulerMarkersFollowAndSetTheParagraph)
{
    start();
    form->resize(640, 480);
    pump();
    TRichEdit *e = editor(0);
    e->SetText("a paragraph");
    TRuler *ruler = form->format().ruler();
    const int width = ruler->width();
    e->Paragraph().SetFirstIndent(30);
    e->Paragraph().SetLeftIndent(15);
    e->Paragraph().SetRightIndent(10);
    form->format().RichEdit1SelectionChange();
    const RulerMarkers m = markerPositions(30, 15, 10, width);
    EXPECT_EQ(ruler->FirstInd->x(), 38);
    EXPECT_EQ(ruler->LeftInd->x(), m.left);
    EXPECT_EQ(ruler->RightInd->x(), m.right);

    // The left marker dragged onto the right one stops 5 pixels left of it.
    form->format().LeftIndMouseDown(ruler->LeftInd, 4);
    form->format().LeftIndMouseMove(ruler->LeftInd, m.right - m.left + 4);
    form->format().LeftIndMouseUp();
    const int expectedLeft = dropLeftMarker(m.right, m.right, width, 4, 30).indent;
    EXPECT_EQ(e->Paragraph().LeftIndent(), expectedLeft);
    EXPECT_EQ(e->Paragraph().FirstIndent(), 30);
    EXPECT_EQ(ruler->LeftInd->x(), markerPositions(30, expectedLeft, 10, width).left);
    EXPECT_LE(ruler->LeftInd->x(), m.right - 5);

    // The right marker dragged to the far left stops 5 pixels right of the left one.
    const int leftNow = ruler->LeftInd->x();
    form->format().LeftIndMouseDown(ruler->RightInd, 4);
    form->format().LeftIndMouseMove(ruler->RightInd, -2000);
    form->format().RightIndMouseUp();
    EXPECT_EQ(e->Paragraph().RightIndent(), dropRightMarker(leftNow + 5, leftNow, width, 4).indent);

    // The first-line marker moves alone: the left marker keeps its place on the ruler.
    e->Paragraph().SetFirstIndent(0);
    e->Paragraph().SetLeftIndent(30);
    form->format().RichEdit1SelectionChange();
    ASSERT_EQ(ruler->LeftInd->x(), 38);
    form->format().LeftIndMouseDown(ruler->FirstInd, 4);
    form->format().LeftIndMouseMove(ruler->FirstInd, 80 + 4);
    form->format().FirstIndMouseUp();
    EXPECT_EQ(e->Paragraph().FirstIndent(), 59);
    EXPECT_EQ(e->Paragraph().LeftIndent(), 29 - 59);
    EXPECT_EQ(ruler->FirstInd->x(), 76);
    EXPECT_EQ(ruler->LeftInd->x(), 36) << "two pixels lost to the scale's rounding";
}

TEST_F(EditorTest, UndoPutsTheControlsBackWithTheFormat)
{
    start();
    form->resize(640, 480);
    pump();
    TRichEdit *e = editor(0);
    e->SetText("a paragraph");
    e->SetModified(false);
    TRuler *ruler = form->format().ruler();
    form->format().RichEdit1SelectionChange();
    const int leftBefore = ruler->LeftInd->x();
    form->format().LeftIndMouseDown(ruler->LeftInd, 4);
    form->format().LeftIndMouseMove(ruler->LeftInd, 100 + 4);
    form->format().LeftIndMouseUp();
    ASSERT_NE(e->Paragraph().LeftIndent(), 0);
    form->edit().UndoButtonClick();
    EXPECT_EQ(e->Paragraph().LeftIndent(), 0);
    EXPECT_EQ(ruler->LeftInd->x(), leftBefore) << "the marker shows the paragraph as it is again";
}

TEST_F(EditorTest, StyleCommandsChangeOnlyTheirOwnStyleRunByRun)
{
    // "the weather" with "weather" italic and "the" underlined; each command on the whole of it.
    struct Case {
        const char *name;
        void (FormatCommands::*command)();
        TFontStyle style;
    } cases[] = {{"bold", &FormatCommands::Bold1Click, TFontStyle::Bold},
                 {"italic", &FormatCommands::Italic1Click, TFontStyle::Italic},
                 {"underline", &FormatCommands::Underline1Click, TFontStyle::Underline}};
    start();
    TRichEdit *e = editor(0);
    for (const Case &c : cases) {
        e->SetText("the weather");
        e->SetSelStart(0);
        e->SetSelLength(3);
        e->SelAttributes().SetStyle(TFontStyle::Underline);
        e->SetSelStart(4);
        e->SetSelLength(7);
        e->SelAttributes().SetStyle(TFontStyle::Italic);
        auto styleAt = [&](int position) {
            e->SetSelStart(position);
            return e->SelAttributes().Style();
        };
        const TFontStyles the = TFontStyle::Underline, space = {}, weather = TFontStyle::Italic;
        // From a start inside the plain blank (the first character decides the button).
        e->SetSelStart(3);
        e->SetSelLength(8);
        (form->format().*c.command)();
        EXPECT_EQ(styleAt(4), space | c.style) << c.name << ": the blank";
        EXPECT_EQ(styleAt(11), weather | c.style) << c.name << ": weather keeps its style";
        EXPECT_EQ(styleAt(2), the) << c.name << ": outside the selection";
        // The whole text, and once more to take the style away again.
        e->SelectAll();
        (form->format().*c.command)();
        const bool on = form->findChild<QToolButton *>(std::string(c.name) == "bold"        ? "BoldButton"
                                                       : std::string(c.name) == "italic" ? "ItalicButton"
                                                                                         : "UnderlineButton")
                            ->isChecked();
        const TFontStyles added = on ? TFontStyles(c.style) : TFontStyles();
        EXPECT_EQ(styleAt(2) & ~TFontStyles(c.style), the & ~TFontStyles(c.style)) << c.name;
        EXPECT_EQ(styleAt(2) & TFontStyles(c.style), added) << c.name;
        EXPECT_EQ(styleAt(11) & ~TFontStyles(c.style), weather & ~TFontStyles(c.style)) << c.name;
        EXPECT_EQ(styleAt(11) & TFontStyles(c.style), added) << c.name;
    }
}

TEST_F(EditorTest, UndoingAFormatKeepsTheCaretAndSelectionWhereTheChangeWas)
{
    start();
    form->resize(640, 480);
    pump();
    TRichEdit *e = editor(0);
    e->SetText("first paragraph\nsecond paragraph\nthird");
    TRuler *ruler = form->format().ruler();
    struct Case {
        const char *what;
        std::function<void()> change;
    } cases[] = {
        {"ruler", [&] {
             form->format().LeftIndMouseDown(ruler->LeftInd, 4);
             form->format().LeftIndMouseMove(ruler->LeftInd, 60 + 4);
             form->format().LeftIndMouseUp();
         }},
        {"alignment", [&] { form->format().LeftAlignClick(2); }},
        {"bold", [&] { form->format().Bold1Click(); }},
    };
    for (const Case &c : cases) {
        e->SetSelStart(20);
        e->SetSelLength(4);
        form->format().RichEdit1SelectionChange();
        const int markerBefore = ruler->LeftInd->x();
        c.change();
        form->edit().UndoButtonClick();
        EXPECT_EQ(e->SelStart(), 20) << c.what;
        EXPECT_EQ(e->SelLength(), 4) << c.what;
        EXPECT_EQ(form->statusPanel(0), "1 , 4") << c.what;
        EXPECT_EQ(ruler->LeftInd->x(), markerBefore) << c.what << ": the ruler shows the second paragraph";
    }
    // Ctrl+Z in the page does the same.
    e->SetSelStart(20);
    form->format().LeftAlignClick(1);
    e->setFocus();
    QKeyEvent undo(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier);
    QApplication::sendEvent(e, &undo);
    EXPECT_EQ(e->Paragraph().Alignment(), TAlignment::LeftJustify);
    EXPECT_EQ(e->SelStart(), 20);
    // Undoing typed text still puts the caret at the undone text.
    e->SetSelStart(5);
    e->SetSelText("XY");
    e->SetSelStart(30);
    form->edit().UndoButtonClick();
    EXPECT_EQ(e->Text().left(8), "first pa");
    EXPECT_LE(e->SelStart(), 7);
}

TEST_F(EditorTest, StatusBarFollowsUndoAndForgetsAClosedPage)
{
    writeFile(path("s.txt"), "0123456789\r\n");
    start();
    const int slot = form->OpenDocument(path("s.txt"), false, {});
    TRichEdit *e = editor(slot);
    e->SetSelStart(e->TextLength());
    e->setFocus();
    QTest::keyClicks(e, "ab");
    EXPECT_EQ(form->statusPanel(3), QString::number(e->TextLength()) + " bytes");
    form->edit().UndoButtonClick();
    EXPECT_FALSE(e->Modified()) << "back at the saved text";
    EXPECT_EQ(form->statusPanel(3), QString::number(e->TextLength()) + " bytes");

    e->SetSelStart(3);
    form->documents().Wraptext1Click();
    ASSERT_EQ(form->statusPanel(2), "W");
    form->documents().Closeall1Click();
    ASSERT_EQ(openCount(), 0);
    for (int panel : {0, 1, 2})
        EXPECT_EQ(form->statusPanel(panel), "") << panel;
    EXPECT_EQ(form->statusPanel(3), "All files have been closed");
}

TEST_F(EditorTest, EnterInTheFontSizeBoxTakesTheSizeAndGoesBackToThePage)
{
    start();
    form->activateWindow();
    TRichEdit *e = editor(0);
    e->SetText("some words");
    e->SelectAll();
    auto *size = form->findChild<kelpa::widgets::TKpSpinEdit *>("FontSize");
    size->setFocus();
    pump();
    size->setText("22");
    QTest::keyClick(size, Qt::Key_Return);
    EXPECT_EQ(e->SelAttributes().Size(), 22);
    EXPECT_TRUE(e->hasFocus() || QApplication::focusWidget() == e);
    // The next arrow key moves the caret, not the size.
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : e, Qt::Key_Up);
    EXPECT_EQ(size->GetAsInteger(), 22);
}

TEST_F(EditorTest, FormattingBarWrapsRatherThanSqueezeItsControls)
{
    start();
    QWidget *bar = form->findChild<QWidget *>("FontsPanel");
    for (const int width : {1000, 520, 360, 250}) {
        form->resize(width, 400);
        pump(50);
        std::vector<QWidget *> controls;
        for (QWidget *w : bar->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (w->isVisible())
                controls.push_back(w);
        ASSERT_GE(controls.size(), 15u);
        for (std::size_t i = 0; i < controls.size(); ++i) {
            QWidget *a = controls[i];
            // Its own size, within the limits it sets itself (the size box is fixed).
            const int wanted = std::clamp(a->sizeHint().width(), a->minimumWidth(), a->maximumWidth());
            EXPECT_GE(a->width(), wanted) << width << " " << a->objectName().toStdString();
            EXPECT_LE(a->geometry().bottom(), bar->height()) << width << " " << a->objectName().toStdString();
            for (std::size_t j = i + 1; j < controls.size(); ++j)
                EXPECT_FALSE(a->geometry().intersects(controls[j]->geometry()))
                    << width << ": " << a->objectName().toStdString() << " and "
                    << controls[j]->objectName().toStdString();
        }
        // The ruler and the page start below the bar, however many rows it has.
        EXPECT_GE(form->format().ruler()->y(), bar->geometry().bottom()) << width;
    }
}
