// The print module's window: "kpp.ini" read at construction and written at close, loading on the
// first activation (caption, title, header and footer boxes, closing after a failure), and the
// handlers of its buttons and of the update label.
#include "printmod/FakePrinter.h"

#include "common/QtFixtures.h"
#include "common/TempDir.h"
#include <QDir>

#include "richedit/TRichEdit.h"
#include "printmod/PrintWindow.h"
#include "support/MessageBoxes.h"
#include "common/ScriptedPrompter.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMouseEvent>
#include <gtest/gtest.h>

#include <algorithm>

using namespace kelpa::printmod;
using kelpa::test::q;

namespace {

class PrintWindow : public ::testing::Test {
protected:
    void SetUp() override { kelpa::SetCaptionRules(kelpa::CaptionRules::Extended); }
    QString dir() const { return q(tmp.path().string()) + "/"; }
    std::unique_ptr<TForm1> make(const QStringList &arguments)
    {
        auto fake = std::make_unique<kelpa::test::FakePort>();
        port = fake.get();
        return std::make_unique<TForm1>(arguments, std::move(fake));
    }
    std::string ini() const { return kelpa::test::readText(tmp.file("kpp.ini")); }

    kelpa::test::TempDir tmp;
    kelpa::test::ProgramFolderOverride folder{tmp.path().string() + "/"};
    kelpa::ScriptedPrompter prompter;
    kelpa::ScopedPrompter scoped{prompter};
    kelpa::test::FakePort *port = nullptr;
};

const char kDefaultIni[] =
    "Version=Kelpa Print Module\r\n \r\nHeader={$TITLE}\r\nFooter=Page {$PAGE}\r\n"
    "HF-Font:Name=Courier New\r\nHF-Font:Size=10\r\nHF-Font:Color=-2147483640\r\n"
    "HF-Font:Bold=N\r\nHF-Font:Italic=N\r\nHF-Font:Underline=N\r\nHF-Font:StrikeOut=N\r\n \r\n"
    "PortraitOrientation=Y\r\n \r\nMargin:Top=30\r\nMargin:Left=25\r\nMargin:Right=15\r\nMargin:Bottom=25\r\n";

TEST_F(PrintWindow, WithoutSettingsTheDefaultsAreWrittenAtClose)
{
    kelpa::test::writeText(tmp.file("a.txt"), "text");
    auto form = make({dir() + "a.txt"});
    EXPECT_EQ(form->SavedCaption(), "Kelpa Print Module");
    EXPECT_EQ(form->Label1->text(), "Kelpa Print Module v1.0 r1 for Linux");
    form->FormActivate();
    EXPECT_TRUE(form->Activated());
    EXPECT_EQ(form->windowTitle(), "Kelpa Print Module - a.txt");
    EXPECT_EQ(form->RichPrinter1->Title(), dir() + "a.txt");
    EXPECT_EQ(form->Edit_Header->text(), "{$TITLE}");
    EXPECT_EQ(form->Edit_Footer->text(), "Page {$PAGE}");
    EXPECT_EQ(form->RichEdit1->Text(), "text");
    form->close();
    EXPECT_EQ(ini(), kDefaultIni);
}

TEST_F(PrintWindow, SettingsAreReadAtConstruction)
{
    kelpa::test::writeText(tmp.file("kpp.ini"),
                           "Version=old\r\nHeader={$PAGE}|x\r\nFooter=\r\nHF-Font:Name=DejaVu Sans\r\nHF-Font:Size=14\r\n"
                           "HF-Font:Color=255\r\nHF-Font:Bold=y\r\nHF-Font:Italic=N\r\nHF-Font:Underline=Y\r\n"
                           "HF-Font:StrikeOut=N\r\nPortraitOrientation=N\r\nMargin:Top=12.5\r\nMargin:Left=40\r\n"
                           "Margin:Right=20\r\nMargin:Bottom=33\r\n");
    auto form = make({dir() + "missing.txt"});
    TRichPrinter &p = *form->RichPrinter1;
    EXPECT_EQ(p.Header(), "{$PAGE}|x");
    EXPECT_EQ(p.Footer(), "");
    EXPECT_EQ(p.Font_HeaderFooter().family(), "DejaVu Sans");
    EXPECT_EQ(p.Font_HeaderFooter().pointSize(), 14);
    EXPECT_EQ(p.FontColor(), 255);
    EXPECT_TRUE(p.Font_HeaderFooter().bold());
    EXPECT_FALSE(p.Font_HeaderFooter().italic());
    EXPECT_TRUE(p.Font_HeaderFooter().underline());
    EXPECT_EQ(p.MarginTop(), 30); // 12.5 is no integer
    EXPECT_EQ(p.MarginLeft(), 40);
    EXPECT_EQ(p.MarginRight(), 20);
    EXPECT_EQ(p.MarginBottom(), 33);
    EXPECT_EQ(p.Orientation(), QPageLayout::Landscape);

    // The load fails; the boxes are still filled and the file is written with what was read.
    form->show();
    form->FormActivate();
    EXPECT_FALSE(form->isVisible());
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_TRUE(prompter.messages()[0].text.startsWith("Cannot load the file to print"));
    EXPECT_EQ(form->Edit_Header->text(), "{$PAGE}|x");
    const std::string written = ini();
    EXPECT_EQ(written.find("Footer="), std::string::npos);
    EXPECT_NE(written.find("Header={$PAGE}|x\r\nHF-Font:Name=DejaVu Sans\r\nHF-Font:Size=14\r\nHF-Font:Color=255\r\n"
                           "HF-Font:Bold=Y\r\nHF-Font:Italic=N\r\nHF-Font:Underline=Y\r\n"),
              std::string::npos)
        << written;
    EXPECT_NE(written.find("PortraitOrientation=N\r\n \r\nMargin:Top=30\r\nMargin:Left=40\r\n"), std::string::npos) << written;
}

TEST_F(PrintWindow, OpenDialogWhenNoArgumentAndClosingOnCancel)
{
    auto form = make({});
    form->show();
    prompter.answerFile(kelpa::FileDialogResult{false, {}, 1});
    form->FormActivate();
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->Activated());
    EXPECT_TRUE(prompter.messages().empty());
    ASSERT_FALSE(prompter.shown().empty());
    EXPECT_EQ(prompter.shown()[0].kind, kelpa::ScriptedPrompter::Shown::Kind::File);
    EXPECT_TRUE(prompter.shown()[0].filter.startsWith("Text Files ("));
    EXPECT_EQ(ini(), kDefaultIni);

    kelpa::test::writeText(tmp.file("b.txt"), "chosen");
    auto second = make({});
    prompter.answerFile(dir() + "b.txt");
    second->FormActivate();
    EXPECT_EQ(second->RichEdit1->Text(), "chosen");
    EXPECT_EQ(second->windowTitle(), "Kelpa Print Module - b.txt");
}

TEST_F(PrintWindow, ExchangeFileIsTheTemporaryFile)
{
    kelpa::test::writeText(tmp.file("~t.dat"), "not encrypted");
    auto form = make({dir() + "~t.dat"});
    form->show();
    form->FormActivate();
    EXPECT_EQ(form->RichPrinter1->Title(), "Temporary file");
    EXPECT_EQ(form->windowTitle(), "Kelpa Print Module");
    EXPECT_FALSE(form->isVisible()); // the engine refuses a file that is no encrypted document
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_TRUE(prompter.messages()[0].text.startsWith("Please check you password (EC:"));
    EXPECT_TRUE(QFile::exists(dir() + "~t.dat"));
}

TEST_F(PrintWindow, HandlersOfTheButtonsAndTheLabel)
{
    kelpa::test::writeText(tmp.file("c.txt"), "one\ntwo\n");
    auto form = make({dir() + "c.txt", "", "ignored"});
    form->FormActivate();

    form->Edit_Header->setText("");
    form->Edit_Footer->setText("F {$PAGE}");
    EXPECT_EQ(form->RichPrinter1->Header(), "");
    EXPECT_EQ(form->RichPrinter1->Footer(), "F {$PAGE}");

    form->Button4Click();
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0].text, "{$TITLE} file name.\n{$PAGE} current page number.\n{$DATE} current date.\n"
                                           "{$TIME} current time.\n{$LINE} current line number.\n"
                                           "\n\"|\" divides a line into columns across the text width: one piece "
                                           "goes right, two go left and right, three left, centre and right.\n");

    prompter.answerFont(QFont("DejaVu Serif", 11));
    form->Button3Click();
    EXPECT_EQ(prompter.last().kind, kelpa::ScriptedPrompter::Shown::Kind::Font);
    EXPECT_EQ(form->RichPrinter1->Font_HeaderFooter().family(), "DejaVu Serif");
    prompter.answerFont(std::nullopt);
    form->Button3Click();
    EXPECT_EQ(form->RichPrinter1->Font_HeaderFooter().family(), "DejaVu Serif");

    // OK lays the pages out; with no preview built in, they go to the printer.
    form->RichPrinter1->SetShowProgress(false);
    form->Button6Click();
    ASSERT_EQ(port->printed.size(), 1u);
    bool footer = false, header = false;
    for (const auto &t : port->printed[0].texts) {
        footer = footer || t.text == "F 1";
        header = header || t.text == dir() + "c.txt";
    }
    EXPECT_TRUE(footer);
    EXPECT_FALSE(header);

    kelpa::test::OpenerSpy opener;
    const QPointF at(5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->Label2, &press);
    EXPECT_EQ(form->Label2->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    QMouseEvent release(QEvent::MouseButtonRelease, at, at, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(form->Label2, &release);
    EXPECT_EQ(form->Label2->palette().color(QPalette::WindowText), QColor(0, 255, 0));
    // The update page is the README beside the program folder; this one has none, and the box
    // says where it was looked for.
    EXPECT_TRUE(opener.opened.isEmpty());
    ASSERT_FALSE(prompter.shown().empty());
    EXPECT_EQ(prompter.last().text, "File \"README.md\" not found in the folder \""
                                        + QDir::cleanPath(dir() + "../share/doc/kelpa") + "\"");

    form->close();
    EXPECT_EQ(ini().find("Header="), std::string::npos);
    EXPECT_NE(ini().find("Footer=F {$PAGE}\r\nHF-Font:Name=DejaVu Serif\r\nHF-Font:Size=11\r\n"), std::string::npos);
}

// "Font..." opens on the header/footer font in use, also the one read from "kpp.ini".
TEST_F(PrintWindow, FontDialogOpensOnTheHeaderAndFooterFont)
{
    kelpa::test::writeText(tmp.file("kpp.ini"), "Header=h\r\nHF-Font:Name=DejaVu Sans\r\nHF-Font:Size=14\r\nHF-Font:Color=0\r\nHF-Font:Bold=Y\r\n");
    kelpa::test::writeText(tmp.file("g.txt"), "font");
    auto form = make({dir() + "g.txt"});
    form->FormActivate();
    prompter.answerFont(QFont("DejaVu Serif", 11));
    form->Button3Click();
    ASSERT_EQ(prompter.last().kind, kelpa::ScriptedPrompter::Shown::Kind::Font);
    EXPECT_EQ(prompter.last().font.family(), "DejaVu Sans");
    EXPECT_EQ(prompter.last().font.pointSize(), 14);
    EXPECT_TRUE(prompter.last().font.bold());
    prompter.answerFont(std::nullopt);
    form->Button3Click();
    EXPECT_EQ(prompter.last().font.family(), "DejaVu Serif");
    EXPECT_EQ(prompter.last().font.pointSize(), 11);

    // The stored default "Courier New" is rarely installed here: the dialog opens on the family
    // the header and footer are printed in, not on the first one it lists.
    QFile::remove(dir() + "kpp.ini");
    auto plain = make({dir() + "g.txt"});
    plain->FormActivate();
    prompter.answerFont(std::nullopt);
    plain->Button3Click();
    EXPECT_TRUE(QFontDatabase::hasFamily(prompter.last().font.family())) << prompter.last().font.family().toStdString();
    EXPECT_EQ(prompter.last().font.family(), QFontInfo(plain->RichPrinter1->Font_HeaderFooter()).family());
    EXPECT_EQ(prompter.last().font.pointSize(), 10);
}

// The pieces of a header or footer between "|" are columns: one piece ends 100 mm right of the
// left margin; two go to the left margin and to the right edge of the text; three left, centre
// and right. No piece is dropped.
TEST_F(PrintWindow, HeaderAndFooterPiecesAreColumnsAcrossTheTextWidth)
{
    kelpa::test::writeText(tmp.file("h.txt"), "body");
    auto form = make({dir() + "h.txt"});
    form->FormActivate();
    form->RichPrinter1->SetShowProgress(false);
    const TRichPrinter &p = *form->RichPrinter1;
    const double left = p.StartingLeft(), right = left + p.PixelPrintWidth();
    const double at100 = left + p.MeasureUnitsToPixelsH(100);
    enum Edge { Left, Centre, Right };
    struct Piece {
        QString text;
        Edge edge;
        double x;
    };
    struct Case {
        QString typed;
        std::vector<Piece> printed;
    } cases[] = {
        {"{$PAGE}", {{"1", Right, at100}}},
        {"{$TITLE}|Page {$PAGE}", {{dir() + "h.txt", Left, left}, {"Page 1", Right, right}}},
        {"A|B {$PAGE}|C", {{"A", Left, left}, {"B 1", Centre, (left + right) / 2}, {"C", Right, right}}},
    };
    const double slack = 8; // the inset of a column's text, and rounding
    for (const bool footer : {false, true}) {
        for (const Case &c : cases) {
            form->Edit_Header->setText(footer ? QString() : c.typed);
            form->Edit_Footer->setText(footer ? c.typed : QString());
            form->Button6Click();
            ASSERT_FALSE(port->printed.empty());
            const auto &texts = port->printed[0].texts;
            for (const Piece &piece : c.printed) {
                const auto it = std::find_if(texts.begin(), texts.end(), [&](const auto &t) { return t.text == piece.text; });
                ASSERT_NE(it, texts.end()) << c.typed.toStdString() << ": \"" << piece.text.toStdString()
                                           << "\" not printed; footer " << footer << "\n"
                                           << port->printed[0].allText().toStdString();
                const double x = piece.edge == Left ? it->left : piece.edge == Right ? it->right : (it->left + it->right) / 2;
                EXPECT_NEAR(x, piece.x, slack) << c.typed.toStdString() << ": " << piece.text.toStdString();
            }
        }
    }
}

TEST_F(PrintWindow, EnterPrintsAndEscapeCloses)
{
    kelpa::test::writeText(tmp.file("e.txt"), "keys");
    auto form = make({dir() + "e.txt"});
    form->RichPrinter1->SetShowProgress(false);
    form->show();
    form->FormActivate();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &enter);
    EXPECT_EQ(port->printed.size(), 1u);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &escape);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ini(), kDefaultIni);
}

TEST_F(PrintWindow, APrinterThatRefusesTheJobIsReported)
{
    kelpa::test::writeText(tmp.file("f.txt"), "refused");
    auto form = make({dir() + "f.txt"});
    form->FormActivate();
    port->failBegin = true;
    form->Button6Click();
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0].caption, "Error");
    EXPECT_EQ(prompter.messages()[0].text, "Cannot print the document: Not be able to start the printing.");
    EXPECT_EQ(form->RichPrinter1->ProgressWindow(), nullptr);
    port->failBegin = false;
    form->Button6Click();
    EXPECT_EQ(port->printed.size(), 1u);
}

TEST_F(PrintWindow, UnwritableSettingsFileIsReported)
{
    kelpa::test::writeText(tmp.file("d.txt"), "x");
    auto form = make({dir() + "d.txt"});
    form->FormActivate();
    QDir().mkpath(dir() + "kpp.ini"); // a folder where the file belongs
    form->close();
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_TRUE(prompter.messages()[0].text.startsWith("Cannot write the settings file")) << prompter.messages()[0].text.toStdString();
}

} // namespace
