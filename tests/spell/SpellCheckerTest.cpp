// The checker's window in this process, with a stand-in for the editor's main window on the
// real message layer: the hand-off both ways, the checking run through the buttons, and the
// dictionary pane.
#include "common/QtFixtures.h"
#include "common/TempDir.h"
#include "common/WaitUntil.h"
#include "engine/TOBRINEngine.h"
#include "platform/WindowMessages.h"
#include "richedit/TRichEdit.h"
#include "spell/CheckerFiles.h"
#include "spell/TForm_Merge.h"
#include "spell/TKelpaSpellChecker.h"
#include "spell/Words.h"
#include "support/CheckerHandOff.h"
#include "common/ScriptedPrompter.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <vector>

using kelpa::engine::TOBRINEngine;

using namespace kelpa;
using namespace kelpa::spell;
using kelpa::spell::test::cp;
using kelpa::test::q;

namespace {

using kelpa::test::waitUntil;

// Lets messages in flight arrive.
void settle()
{
    waitUntil([] { return false; }, 150);
}

struct Received {
    std::uint32_t message;
    platform::WPARAM wParam;
    platform::LPARAM lParam;
    bool operator==(const Received &) const = default;
};

class SpellChecker : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeDictionary("Small.kpd", {"the", "cat", "sat", "on", "mat", "hello", "world", "don't"});
        connect();
    }

    void connect()
    {
        QObject::connect(&editor, &platform::Window::messageReceived,
                         [this](std::uint32_t m, platform::WPARAM w, platform::LPARAM l) {
                             received.push_back({m, w, l});
                         });
    }

    void writeDictionary(const std::string &name, const std::vector<const char *> &words)
    {
        TKPD d;
        for (const char *w : words)
            d.Add(cp(w));
        ASSERT_TRUE(d.SaveToFile(dir.file(name)));
    }

    void writeExchange(const std::string &text)
    {
        TOBRINEngine engine;
        ASSERT_TRUE(engine.SaveToFile(ExchangeKey, exchangeFile(),
                                      reinterpret_cast<const std::uint8_t *>(text.data()), text.size()));
    }

    // The text in the exchange file, read as the editor reads it.
    std::optional<std::string> readExchange()
    {
        TOBRINEngine engine;
        if (!engine.LoadFromFile(ExchangeKey, exchangeFile()))
            return std::nullopt;
        return std::string(reinterpret_cast<const char *>(engine.Result.data()));
    }

    std::string exchangeFile() const { return dir.file("~t.dat"); }

    TKelpaSpellChecker &open()
    {
        form = std::make_unique<TKelpaSpellChecker>(&merge);
        form->show();
        return *form;
    }

    // The editor hands a text over, as its spell-check command does.
    void handOver(platform::LPARAM code)
    {
        ASSERT_TRUE(platform::PostMessage(form->windowHandle(), WM_CHECKTEXT, editor.handle(), code));
    }

    void handOverFile(const std::string &text, platform::LPARAM code = TransferExchangeFile + TransferPlainText)
    {
        writeExchange(text);
        handOver(code);
        ASSERT_TRUE(waitUntil([&] { return !QFile::exists(q(exchangeFile())); })) << "the checker reads the file";
        ASSERT_TRUE(waitUntil([&] { return form->Btn_CHKReplace->isEnabled() || !prompter.shown().empty(); }));
    }

    QString selected() const { return form->RichEdit1->SelText(); }
    std::string text() const { return form->RichEdit1->Text().toStdString(); }

    std::vector<QString> messageTexts() const
    {
        std::vector<QString> out;
        for (const auto &m : prompter.messages())
            out.push_back(m.text);
        return out;
    }

    kelpa::test::TempDir dir;
    kelpa::test::ProgramFolderOverride folder{dir.path().string() + "/"};
    ScriptedPrompter prompter;
    ScopedPrompter scoped{prompter};
    platform::Window editor{QStringLiteral("TForm1"), QStringLiteral("Kelpa - notes.txt")};
    std::vector<Received> received;
    TForm_Merge merge;
    std::unique_ptr<TKelpaSpellChecker> form;
};

// The settings file as the checker writes it, kept beside the tests; an empty name empties it.
TEST(CheckerSettingsFile, WritesTheStoredFileByteForByte)
{
    kelpa::test::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string() + "/");
    const QString dictionary = QStringLiteral(" Deutsch a=b \u00e4.kpd");
    ASSERT_TRUE(kelpa::spell::WriteDictionarySetting(folder, dictionary));
    const std::string golden = kelpa::test::readText(KELPA_SOURCE_DIR "/tests/spell/fixtures/kpsc.ini");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(kelpa::test::readText(dir.file("kpsc.ini")), golden);
    EXPECT_EQ(kelpa::spell::ReadDictionarySetting(folder), dictionary.trimmed()) << "blanks around a value are dropped";
    ASSERT_TRUE(kelpa::spell::WriteDictionarySetting(folder, QString()));
    EXPECT_EQ(kelpa::test::readText(dir.file("kpsc.ini")), "");
}

TEST_F(SpellChecker, TextFromTheExchangeFileIsCheckedAndHandedBack)
{
    open();
    handOverFile("the cat sat on teh mat\r\n");
    EXPECT_FALSE(QFile::exists(q(exchangeFile()))) << "deleted once read";
    EXPECT_TRUE(form->RichEdit1->PlainText());
    EXPECT_EQ(form->TransferMode, 1);
    EXPECT_EQ(selected(), QStringLiteral("teh"));
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("teh"));
    EXPECT_TRUE(form->Btn_CHKReplace->isEnabled());

    form->Edit1->setText(QStringLiteral("the"));
    form->Btn_CHKReplace->click();
    EXPECT_EQ(messageTexts(), std::vector<QString>{QStringLiteral("Done")});
    EXPECT_TRUE(form->Btn_CHKStart->isEnabled());

    form->Button1->click(); // OK
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(readExchange(), std::optional<std::string>("the cat sat on the mat\r\n"));
    ASSERT_TRUE(waitUntil([&] { return received.size() >= 2; }));
    settle();
    EXPECT_EQ(received, (std::vector<Received>{{WM_CHECKTEXT, 0, 0}, {WM_CLOSECHECKER, 0, 0}}));
    EXPECT_EQ(kelpa::test::readText(dir.file("kpsc.ini")), "Dictionary=Small.kpd\r\n");
}

TEST_F(SpellChecker, RichTextComesBackRich)
{
    open();
    handOverFile("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 the {\\b cat} sat\\par}", TransferExchangeFile);
    EXPECT_FALSE(form->RichEdit1->PlainText());
    EXPECT_EQ(messageTexts(), std::vector<QString>{QStringLiteral("It's ok")});
    form->Button1->click();
    const std::optional<std::string> back = readExchange();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->rfind("{\\rtf", 0), 0u) << *back;
    EXPECT_NE(back->find("\\b"), std::string::npos) << "the bold word stays bold";
}

TEST_F(SpellChecker, CancelSendsTheCloseMessageTwice)
{
    open();
    handOverFile("teh cat\r\n");
    form->Button2->click();
    EXPECT_FALSE(QFile::exists(q(exchangeFile())));
    ASSERT_TRUE(waitUntil([&] { return received.size() >= 2; }));
    settle();
    EXPECT_EQ(received, (std::vector<Received>{{WM_CLOSECHECKER, 0, 0}, {WM_CLOSECHECKER, 0, 0}}));
}

TEST_F(SpellChecker, TheEditorClosingClosesTheChecker)
{
    open();
    handOverFile("teh cat\r\n");
    ASSERT_TRUE(platform::PostMessage(form->windowHandle(), WM_CLOSECHECKER, 0, 0));
    ASSERT_TRUE(waitUntil([&] { return !form->isVisible(); }));
    settle();
    EXPECT_EQ(received, (std::vector<Received>{{WM_CLOSECHECKER, 0, 0}}));
}

TEST_F(SpellChecker, AMessageBeforeTheFirstShowIsReplayedAfterIt)
{
    form = std::make_unique<TKelpaSpellChecker>(&merge);
    writeExchange("teh cat\r\n");
    handOver(TransferExchangeFile + TransferPlainText);
    ASSERT_TRUE(waitUntil([&] { return form->CheckPending; }));
    EXPECT_TRUE(QFile::exists(q(exchangeFile()))) << "not read before the window is up";
    EXPECT_EQ(form->MainDictionary.Count, 0);
    form->show();
    EXPECT_FALSE(form->CheckPending);
    EXPECT_EQ(form->MainDictionary.Count, 8) << "the dictionary is loaded first";
    EXPECT_FALSE(QFile::exists(q(exchangeFile())));
    EXPECT_EQ(selected(), QStringLiteral("teh"));
}

TEST_F(SpellChecker, AnUnreadableExchangeFileNeverHandsAnEmptyTextBack)
{
    open();
    kelpa::test::writeText(exchangeFile(), "not a document");
    handOver(TransferExchangeFile);
    ASSERT_TRUE(waitUntil([&] { return !prompter.shown().empty(); }));
    EXPECT_EQ(prompter.last().caption, QStringLiteral("Spell Checker"));
    EXPECT_EQ(prompter.last().icon, MessageIcon::Error);
    EXPECT_TRUE(prompter.last().text.startsWith(QStringLiteral("Cannot read the text to check")));
    EXPECT_TRUE(QFile::exists(q(exchangeFile()))) << "what cannot be read is left as it is";
    EXPECT_FALSE(form->Button1->isEnabled());
    form->Btn_OkClick();
    settle();
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(kelpa::test::readText(exchangeFile()), "not a document");
    form->Button2->click();
    ASSERT_TRUE(waitUntil([&] { return received.size() >= 2; }));
    EXPECT_EQ(received[0], (Received{WM_CLOSECHECKER, 0, 0}));
}

TEST_F(SpellChecker, AFailedWriteOnOkKeepsTheWindowAndPostsNothing)
{
    open();
    handOverFile("the cat\r\n");
    // The exchange file's place is taken by a folder: it cannot be written.
    ASSERT_TRUE(QDir().mkdir(q(exchangeFile())));
    prompter.clear();
    form->Button1->click();
    ASSERT_FALSE(prompter.shown().empty());
    EXPECT_EQ(prompter.last().caption, QStringLiteral("Error"));
    EXPECT_TRUE(prompter.last().text.startsWith(QStringLiteral("Cannot hand the text back to the editor")));
    EXPECT_TRUE(form->isVisible());
    settle();
    EXPECT_TRUE(received.empty());
    // Once the file can be written, OK goes through.
    QDir().rmdir(q(exchangeFile()));
    form->Button1->click();
    EXPECT_EQ(readExchange(), std::optional<std::string>("the cat\r\n"));
    ASSERT_TRUE(waitUntil([&] { return received.size() >= 2; }));
    EXPECT_EQ(received[0], (Received{WM_CHECKTEXT, 0, 0}));
}

TEST_F(SpellChecker, SelectionComesAndGoesByTheClipboard)
{
    open();
    QGuiApplication::clipboard()->setText(QStringLiteral("Teh cat"));
    handOver(TransferClipboard + TransferPlainText);
    ASSERT_TRUE(waitUntil([&] { return selected() == QStringLiteral("Teh"); }));
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty()) << "emptied after reading";
    form->Edit1->setText(QStringLiteral("the"));
    form->Btn_CHKReplaceClick();
    form->Button1->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("The cat"));
    EXPECT_FALSE(QFile::exists(q(exchangeFile())));
    ASSERT_TRUE(waitUntil([&] { return received.size() >= 2; }));
    EXPECT_EQ(received[0], (Received{WM_CHECKTEXT, 0, 0}));
}

TEST_F(SpellChecker, CorrectionsDuringARun)
{
    open();
    handOverFile("teh cat teh Teh wrld hello wrld helo\r\n");
    ASSERT_EQ(selected(), QStringLiteral("teh"));
    // Ignore goes to the next word found, the same word again.
    form->Btn_CHKIgnore->click();
    EXPECT_EQ(form->RichEdit1->SelStart(), 8);
    // Ignore All ignores the word found, even with another word typed over it.
    form->Edit1->setText(QStringLiteral("tea"));
    form->Btn_CHKIgnoreAll->click();
    EXPECT_EQ(selected(), QStringLiteral("wrld"));
    EXPECT_EQ(form->RunDictionary.Find("tea"), -1);
    // Replace All carries each occurrence's case and goes on after the word.
    form->Edit1->setText(QStringLiteral("world"));
    form->Btn_CHKReplaceAll->click();
    EXPECT_EQ(text(), "teh cat teh Teh world hello world helo");
    EXPECT_EQ(selected(), QStringLiteral("helo"));
    // Add puts the word into the dictionary, which then counts as modified.
    form->Btn_CHKAdd->click();
    EXPECT_GE(form->MainDictionary.Find("helo"), 0);
    EXPECT_TRUE(form->MainDictionary.Modified);
    EXPECT_EQ(messageTexts(), std::vector<QString>{QStringLiteral("Done")});
    // A new Start forgets what Ignore All ignored, but not what was added.
    prompter.clear();
    form->Btn_CHKStart->click();
    EXPECT_EQ(selected(), QStringLiteral("teh"));
}

TEST_F(SpellChecker, AClickInThePaneDoesNotRedirectTheCorrection)
{
    open();
    const struct {
        const char *action;
        std::function<void()> act;
        std::string text;
    } cases[] = {
        {"Ignore", [&] { form->Btn_CHKIgnore->click(); }, "One wrld two thre four"},
        {"Replace", [&] { form->Btn_CHKReplace->click(); }, "One world two thre four"},
        {"Replace All", [&] { form->Btn_CHKReplaceAll->click(); }, "One world two thre four"},
        {"Ignore All", [&] { form->Btn_CHKIgnoreAll->click(); }, "One wrld two thre four"},
        {"Add", [&] { form->Btn_CHKAdd->click(); }, "One wrld two thre four"},
    };
    const int words = form->MainDictionary.Count;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.action);
        form->MainDictionary.Add("one");
        form->MainDictionary.Add("two");
        form->MainDictionary.Add("four");
        handOverFile("One wrld two thre four\r\n");
        ASSERT_EQ(selected(), QStringLiteral("wrld"));
        // The user clicks after "four", then picks a correction.
        form->RichEdit2->setEnabled(true);
        form->RichEdit2->SetSelStart(22);
        form->RichEdit2->SetSelLength(0);
        if (std::string(c.action).starts_with("Replace"))
            form->Edit1->setText(QStringLiteral("world"));
        c.act();
        EXPECT_EQ(text(), c.text);
        EXPECT_EQ(selected(), QStringLiteral("thre")) << "the run goes on after the word it found";
        if (std::string(c.action) == "Ignore All") {
            EXPECT_GE(form->RunDictionary.Find("wrld"), 0);
        }
    }
    EXPECT_GE(form->MainDictionary.Find("wrld"), 0);
    // The count in the status bar follows what Add added.
    EXPECT_EQ(form->StatusPanel0->text(), QStringLiteral("%1 words").arg(words + 4));
}

TEST_F(SpellChecker, WordsWithLettersBeyondTheDictionarysCodePage)
{
    open();
    handOverFile("the caf\xC3\xA9 sat, caf\xC3\xA9 teh\r\n");
    // Reported whole, not cut at the letter.
    EXPECT_EQ(selected(), QStringLiteral("caf\u00E9"));
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("caf\u00E9"));
    form->Btn_CHKAddClick();
    EXPECT_EQ(messageTexts(), std::vector<QString>{QStringLiteral("\"caf\u00E9\" cannot be stored in the dictionary")});
    EXPECT_FALSE(form->MainDictionary.Modified);
    // Ignore All still ignores it for the rest of the run.
    form->Btn_CHKIgnoreAllClick();
    EXPECT_EQ(selected(), QStringLiteral("teh"));
}

TEST_F(SpellChecker, ReplaceRefusesAnUnchangedOrEmptyWord)
{
    open();
    handOverFile("Teh cat\r\n");
    for (const char *typed : {"teh", "", "  TEH "}) {
        prompter.clear();
        form->Edit1->setText(QString::fromLatin1(typed));
        form->Btn_CHKReplaceClick();
        EXPECT_EQ(messageTexts(), std::vector<QString>{QStringLiteral("Please correct the word or click on the list")})
            << typed;
        EXPECT_EQ(text(), "Teh cat");
    }
    // Replace All with an empty word deletes the word.
    prompter.clear();
    form->Edit1->setText(QString());
    form->Btn_CHKReplaceAllClick();
    EXPECT_EQ(text(), " cat");
}

TEST_F(SpellChecker, SuggestionsComeFromTheMainDictionary)
{
    open();
    handOverFile("teh cat\r\n");
    ASSERT_EQ(form->ListBox1->count(), 1);
    EXPECT_EQ(form->ListBox1->item(0)->text(), QStringLiteral("the"));
    form->ListBox1->setCurrentRow(0);
    form->Edit1->setText(QStringLiteral("xx"));
    form->ListBox1->clear();
    form->ListBox1->addItem(QStringLiteral("the"));
    form->ListBox1->setCurrentRow(0);
    form->ListBox1Click();
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("the"));
    EXPECT_EQ(form->ListBox1->count(), 1) << "a click keeps the list";
}

// A new text or a close that arrives while a run goes on ends that run; the run left behind
// must not act on the text that replaced it.
TEST_F(SpellChecker, MessagesDuringARunDoNotCorruptIt)
{
    open();
    form->StepSliceMs = 0;
    std::string big;
    for (int i = 0; i < 30000; ++i)
        big += "the cat sat on the mat ";
    big += "qqqz\r\n";
    writeExchange(big);
    QGuiApplication::clipboard()->setText(QStringLiteral("hello wrld"));
    handOver(TransferExchangeFile + TransferPlainText);
    handOver(TransferClipboard + TransferPlainText);
    ASSERT_TRUE(waitUntil([&] { return text() == "hello wrld" && form->Btn_CHKReplace->isEnabled(); }));
    settle();
    EXPECT_EQ(text(), "hello wrld");
    EXPECT_EQ(selected(), QStringLiteral("wrld"));
    EXPECT_EQ(form->RichEdit1->SelStart(), 6);
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("wrld"));

    // A close while the run goes on.
    form->Btn_CHKStopClick();
    writeExchange(big);
    handOver(TransferExchangeFile + TransferPlainText);
    ASSERT_TRUE(platform::PostMessage(form->windowHandle(), WM_CLOSECHECKER, 0, 0));
    ASSERT_TRUE(waitUntil([&] { return !form->isVisible(); }));
    settle();
    EXPECT_EQ(received, (std::vector<Received>{{WM_CLOSECHECKER, 0, 0}}));
    EXPECT_FALSE(form->Btn_CHKReplace->isEnabled());
}

// A long run goes on from the event loop: the window answers meanwhile, Stop ends the run
// before it reports anything, and a new Start runs again from the top.
TEST_F(SpellChecker, StopEndsALongRunAndTheWindowAnswers)
{
    open();
    form->StepSliceMs = 0;
    std::string big;
    for (int i = 0; i < 3000; ++i)
        big += "the cat sat on the mat ";
    big += "qqqz\r\n";
    writeExchange(big);
    // The user presses Stop once the bar has moved, a few steps into the run.
    int moves = 0, movesAfterStop = 0;
    bool stopped = false;
    const QMetaObject::Connection pressStop =
        QObject::connect(form->ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
            if (stopped) {
                if (value > 0)
                    ++movesAfterStop;
                return;
            }
            if (value > 0 && ++moves == 3) {
                EXPECT_FALSE(form->Btn_CHKReplace->isEnabled()) << "the run is still going";
                // Pressed from the event loop, between two steps.
                QTimer::singleShot(0, form.get(), [&] {
                    stopped = true;
                    form->Btn_CHKStop->click();
                });
            }
        });
    handOver(TransferExchangeFile + TransferPlainText);
    ASSERT_TRUE(waitUntil([&] { return stopped; }));
    settle();
    QObject::disconnect(pressStop);
    EXPECT_EQ(movesAfterStop, 0) << "no step after Stop";
    EXPECT_FALSE(form->Btn_CHKReplace->isEnabled());
    EXPECT_FALSE(form->Btn_CHKStop->isEnabled());
    EXPECT_TRUE(form->Btn_CHKStart->isEnabled());
    EXPECT_EQ(form->ProgressBar1->value(), 0);
    EXPECT_EQ(form->RichEdit1->SelLength(), 0);
    EXPECT_TRUE(messageTexts().empty()) << "a stopped run reports nothing";

    form->Btn_CHKStart->click();
    ASSERT_TRUE(waitUntil([&] { return form->Btn_CHKReplace->isEnabled(); }));
    EXPECT_EQ(selected(), QStringLiteral("qqqz"));
}

TEST_F(SpellChecker, SettingsChooseTheDictionary)
{
    writeDictionary("Big.kpd", {"alpha", "beta"});
    const struct {
        const char *ini;
        const char *expected;
    } cases[] = {
        {"Dictionary=Small.kpd\r\n", "Small.kpd"},
        {"Dictionary=Big.kpd\r\n", "Big.kpd"},
        {"Dictionary=Gone.kpd\r\n", "Big.kpd"},   // not listed: the first one
        {"", "Big.kpd"},
        {nullptr, "Big.kpd"},
    };
    for (const auto &c : cases) {
        QFile::remove(q(dir.file("kpsc.ini")));
        if (c.ini)
            kelpa::test::writeText(dir.file("kpsc.ini"), c.ini);
        open();
        EXPECT_EQ(form->DictioSelection->currentText(), QLatin1String(c.expected)) << (c.ini ? c.ini : "(none)");
        EXPECT_EQ(form->DictionaryName, QLatin1String(c.expected));
        form->close();
        EXPECT_EQ(kelpa::test::readText(dir.file("kpsc.ini")), std::string("Dictionary=") + c.expected + "\r\n");
    }
}

TEST_F(SpellChecker, NoDictionaryInTheFolder)
{
    QFile::remove(q(dir.file("Small.kpd")));
    open();
    EXPECT_EQ(form->DictioSelection->currentIndex(), -1);
    EXPECT_EQ(form->DictioSelection->placeholderText(), QStringLiteral("No dictionary found"));
    form->close();
    EXPECT_EQ(kelpa::test::readText(dir.file("kpsc.ini")), "");
    EXPECT_TRUE(QFile::exists(q(dir.file("kpsc.ini"))));
}

TEST_F(SpellChecker, ADamagedDictionaryIsReportedWithoutAStraySystemError)
{
    const std::string whole = kelpa::test::readText(dir.file("Small.kpd"));
    struct Case {
        const char *name;
        std::string bytes;
        QString says;
    } cases[] = {
        {"cut short", whole.substr(0, whole.size() / 2), QString()},
        {"not a dictionary", std::string("just some text, no dictionary at all"),
         QStringLiteral("Cannot load A.kpd: the file is not a dictionary (KPD:NotKPD).\n")},
        {"empty", std::string(),
         QStringLiteral("Cannot load A.kpd: the file is empty or too short to be a dictionary (KPD:FRead).\n")},
    };
    for (const Case &c : cases) {
        kelpa::test::writeText(dir.file("A.kpd"), c.bytes);
        // Opened as the first listed (a failed one is not remembered for the next start).
        QFile::remove(q(dir.file("kpsc.ini")));
        prompter.clear();
        // A system error left over from earlier work is no part of a damaged file's story.
        errno = ENOENT;
        open();
        ASSERT_EQ(form->DictioSelection->currentText(), QStringLiteral("A.kpd")) << c.name;
        ASSERT_EQ(prompter.messages().size(), 1u) << c.name;
        const QString text = prompter.last().text;
        // What is wrong in words, then the code.
        EXPECT_TRUE(text.startsWith(QStringLiteral("Cannot load A.kpd: "))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral(" (KPD:"))) << text.toStdString();
        EXPECT_FALSE(text.startsWith(QStringLiteral("Cannot load A.kpd: ("))) << text.toStdString();
        EXPECT_TRUE(text.endsWith(QStringLiteral(").\n"))) << c.name << ": " << text.toStdString();
        if (!c.says.isEmpty()) {
            EXPECT_EQ(text, c.says);
        }
        form->close();
        form.reset();
    }
}

TEST_F(SpellChecker, AModifiedDictionaryIsOfferedForSavingBeforeItGoes)
{
    writeDictionary("Big.kpd", {"alpha", "beta"});
    open();
    ASSERT_EQ(form->DictionaryName, QStringLiteral("Big.kpd"));
    form->MainDictionary.Add("gamma");
    // Switching: Cancel keeps the dictionary and its selection.
    prompter.answer(MessageAnswer::Cancel);
    form->DictioSelection->setCurrentIndex(1);
    EXPECT_EQ(form->DictioSelection->currentIndex(), 0);
    EXPECT_GE(form->MainDictionary.Find("gamma"), 0);
    EXPECT_EQ(prompter.last().text, QStringLiteral("The dictionary \"Big.kpd\" was modified.\nDo you want to save it now?"));
    // Closing: Cancel keeps the window open; a failed save too.
    prompter.answer(MessageAnswer::Cancel);
    form->close();
    EXPECT_TRUE(form->isVisible());
    ASSERT_TRUE(QFile::remove(q(dir.file("Big.kpd"))));
    ASSERT_TRUE(QDir().mkdir(q(dir.file("Big.kpd"))));
    prompter.answer(MessageAnswer::Yes);
    form->close();
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(prompter.last().text.startsWith(QStringLiteral("Cannot save \"Big.kpd\""))) << prompter.last().text.toStdString();
    QDir().rmdir(q(dir.file("Big.kpd")));
    prompter.answer(MessageAnswer::Yes);
    form->close();
    EXPECT_FALSE(form->isVisible());
    TKPD saved;
    ASSERT_TRUE(saved.LoadFromFile(dir.file("Big.kpd")));
    EXPECT_EQ(saved.Count, 3);
}

TEST_F(SpellChecker, OkAsksAboutTheDictionaryBeforeItHandsAnythingBack)
{
    open();
    handOverFile("the cat\r\n");
    form->MainDictionary.Add("newword");
    prompter.answer(MessageAnswer::Cancel);
    form->Button1->click();
    EXPECT_TRUE(form->isVisible());
    settle();
    EXPECT_TRUE(received.empty());
    EXPECT_FALSE(QFile::exists(q(exchangeFile())));
    prompter.answer(MessageAnswer::No);
    form->Button1->click();
    EXPECT_FALSE(form->isVisible());
    ASSERT_TRUE(waitUntil([&] { return received.size() >= 2; }));
    EXPECT_EQ(received[0], (Received{WM_CHECKTEXT, 0, 0}));
}

TEST_F(SpellChecker, DictionaryPaneEditsAndCancelRestores)
{
    open();
    form->Btn_DictioEditClick();
    EXPECT_TRUE(form->Panel_DM->isVisible());
    EXPECT_FALSE(form->Panel_Check->isVisible());
    EXPECT_EQ(form->ListBox2->count(), 8);
    EXPECT_EQ(form->ListBox2->item(0)->text(), QStringLiteral("cat"));

    prompter.answerInput(QStringLiteral("Zebra "));
    form->Btn_LemmaAddClick();
    EXPECT_GE(form->MainDictionary.Find("zebra"), 0);
    EXPECT_EQ(form->StatusPanel0->text(), QStringLiteral("9 words"));

    // A word already there is refused and asked again; Cancel ends the question.
    prompter.answerInput(QStringLiteral("cat"));
    prompter.answerInput(std::nullopt);
    form->Btn_LemmaAddClick();
    EXPECT_EQ(form->MainDictionary.Count, 9);
    EXPECT_EQ(messageTexts().back(), QStringLiteral("\"cat\" already exists in the dictionary"));

    form->ListBox2->setCurrentRow(0); // cat
    prompter.answerInput(QStringLiteral("cot"));
    form->Btn_LemmaRenClick();
    EXPECT_EQ(form->MainDictionary.Find("cat"), -1);
    EXPECT_GE(form->MainDictionary.Find("cot"), 0);

    form->ListBox2->setCurrentRow(0);
    const QString first = form->ListBox2->item(0)->text();
    prompter.answer(MessageAnswer::Yes);
    form->Btn_LemmaDelClick();
    EXPECT_EQ(prompter.last().text, QStringLiteral("Do you really want to remove \"%1\"?").arg(first));
    EXPECT_EQ(form->MainDictionary.Find(first.toStdString()), -1);

    EXPECT_LT(form->width(), 300);
    form->Btn_CancelDMClick();
    EXPECT_EQ(form->width(), 400) << "back to the checking width";
    EXPECT_FALSE(form->Panel_DM->isVisible());
    EXPECT_TRUE(form->Panel_Check->isVisible());
    EXPECT_EQ(form->MainDictionary.Count, 8);
    EXPECT_GE(form->MainDictionary.Find("cat"), 0);
    EXPECT_EQ(form->MainDictionary.Find("zebra"), -1);
    EXPECT_FALSE(form->MainDictionary.Modified);
}

TEST_F(SpellChecker, ANewTextLeavesTheDictionaryPane)
{
    open();
    form->Btn_DictioEditClick();
    form->MainDictionary.Add("teh");
    handOverFile("teh cat wrld\r\n");
    EXPECT_TRUE(form->Panel_Check->isVisible());
    EXPECT_FALSE(form->Panel_DM->isVisible());
    EXPECT_EQ(selected(), QStringLiteral("wrld")) << "checked with the words added in the pane";
}

TEST_F(SpellChecker, PagingAndFinding)
{
    std::vector<std::string> words;
    std::vector<const char *> list;
    for (int i = 0; i < 35; ++i)
        words.push_back("w" + std::string(1, char('a' + i / 10)) + std::string(1, char('a' + i % 10)));
    for (const auto &w : words)
        list.push_back(w.c_str());
    writeDictionary("Small.kpd", list);
    open();
    form->Btn_DictioEditClick();
    EXPECT_EQ(form->ScrollBar1->maximum(), 25);
    form->ScrollBar1->setValue(25);
    EXPECT_EQ(form->ListBox2->count(), 10);
    EXPECT_EQ(form->ListBox2->item(9)->text(), QStringLiteral("wde"));
    form->activateWindow();
    form->Edit2->setFocus();
    ASSERT_TRUE(waitUntil([&] { return form->Edit2->hasFocus(); }, 2000)) << "the finder acts only with the focus";
    const struct {
        const char *typed;
        int page;
        const char *selected;
    } cases[] = {
        {"wbc", 12, "wbc"},
        {"wbcc", 13, "wbd"},   // not there: the page starts at the first word after it
        {"a", 0, "waa"},
        {"zzz", 25, "wde"},
    };
    for (const auto &c : cases) {
        form->Edit2->setText(QLatin1String(c.typed));
        EXPECT_EQ(form->ScrollBar1->value(), c.page) << c.typed;
        ASSERT_GE(form->ListBox2->currentRow(), 0) << c.typed;
        EXPECT_EQ(form->ListBox2->currentItem()->text(), QLatin1String(c.selected)) << c.typed;
    }
}

TEST_F(SpellChecker, CreateNewSavesIntoTheProgramFolder)
{
    QFile::remove(q(dir.file("Small.kpd")));
    open();
    form->Btn_DictioEditClick();
    const kelpa::test::TempDir elsewhere;
    prompter.answerFile(q(elsewhere.file("mine")));
    // The user is told where it goes.
    prompter.answer(MessageAnswer::Yes);
    form->Btn_NewDictionaryClick();
    EXPECT_TRUE(QFile::exists(q(dir.file("mine.kpd"))));
    EXPECT_FALSE(QFile::exists(q(elsewhere.file("mine.kpd"))));
    EXPECT_EQ(form->DictionaryName, QStringLiteral("mine.kpd"));
    EXPECT_EQ(form->DictioSelection->currentText(), QStringLiteral("mine.kpd"));
    EXPECT_EQ(messageTexts(), std::vector<QString>{QStringLiteral("Dictionaries are kept in \"%1\".\nDo you want to save \"mine.kpd\" there?")
                                                       .arg(QDir::toNativeSeparators(QDir(q(dir.path().string())).absolutePath()))});
}

TEST_F(SpellChecker, ANewDictionaryReplacesAnExistingOneOnlyWhenTheUserSaysSo)
{
    const kelpa::test::TempDir elsewhere;
    const struct {
        const char *name;
        QString typed;
        std::vector<MessageAnswer> answers; // then the dialog is cancelled
        int wordsLeft;
    } cases[] = {
        {"typed without extension, not replaced", q(dir.file("Small")), {MessageAnswer::No}, 8},
        {"typed with extension, replaced", q(dir.file("Small.kpd")), {MessageAnswer::Yes}, 0},
        {"another folder, the same name", q(elsewhere.file("Small")), {MessageAnswer::Yes, MessageAnswer::No}, 8},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        writeDictionary("Small.kpd", {"the", "cat", "sat", "on", "mat", "hello", "world", "don't"});
        open();
        form->Btn_DictioEditClick();
        prompter.clear();
        prompter.answerFile(c.typed);
        for (MessageAnswer a : c.answers)
            prompter.answer(a);
        prompter.answerFile(FileDialogResult{});
        form->Btn_NewDictionaryClick();
        ASSERT_FALSE(messageTexts().empty());
        EXPECT_EQ(messageTexts().back(),
                  QStringLiteral("The dictionary \"Small.kpd\" already exists.\nDo you want to replace it?"));
        TKPD onDisk;
        ASSERT_TRUE(onDisk.LoadFromFile(dir.file("Small.kpd")));
        EXPECT_EQ(onDisk.Count, c.wordsLeft);
        form->MainDictionary.Modified = false;
        form->close();
        form.reset();
    }
}

TEST_F(SpellChecker, CancelInThePaneGoesBackToWhatWasSaved)
{
    open();
    form->Btn_DictioEditClick();
    prompter.answerFile(q(dir.file("Mine")));
    form->Btn_NewDictionaryClick();
    prompter.answerInput(QStringLiteral("alpha"));
    form->Btn_LemmaAddClick();
    prompter.answerInput(QStringLiteral("beta"));
    form->Btn_LemmaAddClick();
    ASSERT_TRUE(form->Btn_SaveDictionaryClick());
    const std::string words = dir.file("words.txt");
    kelpa::test::writeText(words, "gamma delta\r\n");
    prompter.answerFile(q(words));
    prompter.answer(MessageAnswer::No);
    form->Btn_MergeFileClick();
    ASSERT_EQ(form->MainDictionary.Count, 4);
    form->Btn_CancelDMClick();
    EXPECT_EQ(form->MainDictionary.Count, 2);
    EXPECT_GE(form->MainDictionary.Find("alpha"), 0);
    EXPECT_FALSE(form->MainDictionary.Modified);
    EXPECT_EQ(form->StatusPanel0->text(), QStringLiteral("2 words"));
    prompter.clear();
    form->close();
    EXPECT_TRUE(messageTexts().empty()) << "nothing to save";
    TKPD onDisk;
    ASSERT_TRUE(onDisk.LoadFromFile(dir.file("Mine.kpd")));
    EXPECT_EQ(onDisk.Count, 2);
}

TEST_F(SpellChecker, SavingFewerWordsOverADictionaryThatHoldsMoreAsksFirst)
{
    open();
    form->MainDictionary.Clear();
    form->MainDictionary.Add("cat");
    // Closing: save it? Yes; the file holds more: No. The window stays, the file as it was.
    prompter.answer(MessageAnswer::Yes);
    prompter.answer(MessageAnswer::No);
    form->close();
    ASSERT_EQ(messageTexts().size(), 2u);
    EXPECT_EQ(messageTexts()[1],
              QStringLiteral("\"Small.kpd\" holds 8 words; saving replaces them with 1.\nDo you want to save it?"));
    EXPECT_TRUE(form->isVisible());
    TKPD onDisk;
    ASSERT_TRUE(onDisk.LoadFromFile(dir.file("Small.kpd")));
    EXPECT_EQ(onDisk.Count, 8);
    // Said so, it is saved.
    prompter.answer(MessageAnswer::Yes);
    EXPECT_TRUE(form->Btn_SaveDictionaryClick());
    ASSERT_TRUE(onDisk.LoadFromFile(dir.file("Small.kpd")));
    EXPECT_EQ(onDisk.Count, 1);
}

TEST_F(SpellChecker, ADictionaryThatFailedToLoadIsNotRemembered)
{
    writeDictionary("Big.kpd", {"alpha", "beta"});
    kelpa::test::writeText(dir.file("A.kpd"), "");
    const struct {
        const char *ini;
        const char *chosen; // then chosen by the user, if any
        const char *remembered;
    } cases[] = {
        {"Dictionary=A.kpd\r\n", nullptr, "Big.kpd"},   // none loaded: one not tried
        {"Dictionary=Small.kpd\r\n", "A.kpd", "Small.kpd"}, // the last one that loaded
        {"Dictionary=Small.kpd\r\n", "Big.kpd", "Big.kpd"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.ini);
        kelpa::test::writeText(dir.file("kpsc.ini"), c.ini);
        open();
        if (c.chosen)
            form->DictioSelection->setCurrentText(QLatin1String(c.chosen));
        form->close();
        EXPECT_EQ(kelpa::test::readText(dir.file("kpsc.ini")), std::string("Dictionary=") + c.remembered + "\r\n");
        form.reset();
    }
}

TEST_F(SpellChecker, MergeATextFile)
{
    open();
    form->Btn_DictioEditClick();
    const std::string words = dir.file("words.txt");
    kelpa::test::writeText(words, "Hello world-wide -x a\r\nBrave new World\r\n");
    const struct {
        MessageAnswer ignoreProperNouns;
        int added;
    } cases[] = {{MessageAnswer::Yes, 2}, {MessageAnswer::No, 1}};
    for (const auto &c : cases) {
        prompter.clear();
        prompter.answerFile(q(words));
        prompter.answer(c.ignoreProperNouns);
        form->Btn_MergeFileClick();
        EXPECT_EQ(messageTexts().back(), QStringLiteral("%1 new words found").arg(c.added));
        EXPECT_TRUE(form->isEnabled());
        EXPECT_FALSE(merge.isVisible());
    }
    // world-wide and new with proper nouns ignored, then brave.
    EXPECT_GE(form->MainDictionary.Find("world-wide"), 0);
    EXPECT_GE(form->MainDictionary.Find("brave"), 0);
    EXPECT_EQ(form->MainDictionary.Find("-x"), -1);

    // A dictionary merged into itself.
    prompter.clear();
    prompter.answerFile(q(dir.file("Small.kpd")));
    form->Btn_MergeFileClick();
    EXPECT_EQ(messageTexts().back(), QStringLiteral("0 new words found"));
}

TEST_F(SpellChecker, AMergeCanBeCancelled)
{
    open();
    form->Btn_DictioEditClick();
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "word" + std::to_string(i) + " ";
    const std::string words = dir.file("many.txt");
    kelpa::test::writeText(words, text);
    prompter.answerFile(q(words));
    prompter.answer(MessageAnswer::No);
    QObject::connect(merge.ProgressBar1, &QProgressBar::valueChanged, [&] { merge.CancelButton->click(); });
    form->Btn_MergeFileClick();
    EXPECT_EQ(form->MainDictionary.Count, 8);
    EXPECT_TRUE(form->isEnabled());
}

// Cancel pressed in the progress window while a long merge or split goes on from the event
// loop: the work ends there, nothing is merged, and the window is usable again.
TEST_F(SpellChecker, ALongMergeOrSplitStopsOnCancel)
{
    open();
    form->StepSliceMs = 0;
    form->Btn_DictioEditClick();
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "word" + std::to_string(i) + "\r\n";
    const std::string source = dir.file("many.txt");
    kelpa::test::writeText(source, text);
    const struct {
        const char *name;
        std::function<void()> start;
    } cases[] = {
        {"merge",
         [&] {
             prompter.answerFile(q(source));
             prompter.answer(MessageAnswer::No);
             form->Btn_MergeFileClick();
         }},
        {"split",
         [&] {
             prompter.answerFile(q(source));
             form->Btn_FileSplitterClick();
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        prompter.clear();
        bool pressed = false;
        const QMetaObject::Connection pressCancel =
            QObject::connect(merge.ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
                if (value >= 3 && !pressed) {
                    pressed = true;
                    QTimer::singleShot(0, &merge, [&] { merge.CancelButton->click(); });
                }
            });
        c.start();
        EXPECT_FALSE(form->isEnabled()) << "the work goes on after the click";
        ASSERT_TRUE(waitUntil([&] { return form->isEnabled(); }));
        QObject::disconnect(pressCancel);
        EXPECT_TRUE(pressed);
        EXPECT_FALSE(merge.isVisible());
        EXPECT_EQ(form->MainDictionary.Count, 8);
        if (std::string(c.name) == "merge") {
            for (const QString &m : messageTexts())
                EXPECT_FALSE(m.endsWith(QStringLiteral("new words found"))) << m.toStdString();
        } else {
            ASSERT_FALSE(messageTexts().empty());
            EXPECT_NE(messageTexts().back(), QStringLiteral("20 file(s) have been created."));
            EXPECT_FALSE(QFile::exists(q(dir.file("(SL20)many.txt"))));
        }
    }
    // The window is usable again: a short merge runs through.
    const std::string few = dir.file("few.txt");
    kelpa::test::writeText(few, "alpha beta\r\n");
    prompter.clear();
    prompter.answerFile(q(few));
    prompter.answer(MessageAnswer::No);
    form->Btn_MergeFileClick();
    ASSERT_TRUE(waitUntil([&] { return form->isEnabled(); }));
    EXPECT_EQ(messageTexts().back(), QStringLiteral("2 new words found"));
}

// A long list is sorted while the window answers: Cancel pressed then leaves the dictionary as
// it was; left alone, the list goes in whole. A short one is merged within the click.
TEST_F(SpellChecker, ALongListIsSortedWhileTheWindowAnswers)
{
    open();
    form->Btn_DictioEditClick();
    const struct {
        const char *name;
        int words;
        bool cancel;
    } cases[] = {
        {"long, cancelled while sorting", 1000000, true},
        {"long", 1000000, false},
        {"short", 50, false},
    };
    int count = form->MainDictionary.Count;
    char prefix = 'a';
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // Words of letters only, each new: the case's letter, then the number in letters.
        std::string text;
        for (int i = 0; i < c.words; ++i) {
            std::string word(1, prefix);
            for (int n = i; word.size() < 6; n /= 26)
                word += static_cast<char>('a' + n % 26);
            text += word + "\r\n";
        }
        ++prefix;
        const std::string words = dir.file("list.txt");
        kelpa::test::writeText(words, text);
        prompter.clear();
        prompter.answerFile(q(words));
        prompter.answer(MessageAnswer::No);
        form->Btn_MergeFileClick();
        if (c.words < 1000) {
            EXPECT_TRUE(form->isEnabled()) << "merged within the click";
        } else {
            const auto sorting = [&] {
                return !form->isEnabled() && merge.isVisible() &&
                       merge.Label1->text() == QStringLiteral("Merging and sorting...");
            };
            ASSERT_TRUE(waitUntil(sorting, 30000)) << "the window answers while the list is sorted";
            if (c.cancel)
                merge.CancelButton->click();
        }
        ASSERT_TRUE(waitUntil([&] { return form->isEnabled(); }, 60000));
        EXPECT_FALSE(merge.isVisible());
        if (c.cancel) {
            EXPECT_EQ(form->MainDictionary.Count, count);
            EXPECT_EQ(messageTexts().size(), 1u) << "only the question about proper nouns";
            continue;
        }
        count += c.words;
        EXPECT_EQ(form->MainDictionary.Count, count);
        EXPECT_EQ(messageTexts().back(), QStringLiteral("%1 new words found").arg(c.words));
    }
}

TEST_F(SpellChecker, FileSplitterLeavesTheSourceAlone)
{
    open();
    std::string text;
    for (int i = 0; i < 2500; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    const std::string source = dir.file("big.txt");
    kelpa::test::writeText(source, text);
    prompter.answerFile(q(source));
    form->Btn_FileSplitterClick();
    EXPECT_EQ(messageTexts().back(), QStringLiteral("3 file(s) have been created."));
    EXPECT_EQ(kelpa::test::readText(source), text);
    std::string joined;
    for (int k = 1; k <= 3; ++k)
        joined += kelpa::test::readText(dir.file("(SL" + std::to_string(k) + ")big.txt"));
    EXPECT_EQ(joined, text);
    EXPECT_FALSE(QFile::exists(q(dir.file("(SL4)big.txt"))));
}

} // namespace
