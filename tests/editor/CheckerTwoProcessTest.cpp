// The spell-check hand-off between the editor and a checker in another process, on the real
// message layer, the clipboard and the exchange file.
#include "EditorFixture.h"
#include "common/Processes.h"

#include "editor/ToolsCommands.h"

#include "support/CheckerHandOff.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QImage>
#include <QMimeData>
#include <QTimer>
#include <csignal>
#include <vector>

using namespace kelpa::editor;
using namespace kelpa::editor::test;
using kelpa::MessageAnswer;

namespace {

class CheckerTest : public EditorTest {
protected:
    QString record() const { return path("checker.txt"); }

    void SetUp() override
    {
        EditorTest::SetUp();
        setenv("KELPA_STANDIN_RECORD", QFile::encodeName(record()).constData(), 1);
        // The checker shares the clipboard through the X server, as this process does.
        kelpa::test::shareDisplayWithChildren();
        ASSERT_TRUE(QFile::link(QStringLiteral(KELPA_CHECKER_STANDIN), path("kpsc")));
    }
    void TearDown() override
    {
        // Every stand-in this test started ends with it.
        for (const QString &line : lines())
            if (line.startsWith("pid "))
                ::kill(line.mid(4).toInt(), SIGTERM);
        EditorTest::TearDown();
    }
    void mode(const char *m) { setenv("KELPA_STANDIN_MODE", m, 1); }
    // A reply crosses two processes and the X server: under a sanitizer on a loaded machine it
    // can take seconds.
    static bool replied(const std::function<bool()> &done) { return waitFor(done, 20000); }

    QStringList lines() const
    {
        return QString::fromUtf8(fileBytes(record())).split('\n', Qt::SkipEmptyParts);
    }
    bool recordHas(const QString &line, int ms = 10000) const
    {
        return waitFor([&] { return lines().contains(line); }, ms);
    }
    int count(const QString &prefix) const
    {
        int n = 0;
        for (const QString &l : lines())
            n += l.startsWith(prefix);
        return n;
    }
    QString sent(long long code) const
    {
        return QString("msg 1124 %1 %2").arg(form->tools().messageWindow()).arg(code);
    }
    int page(NewPageKind kind, const QString &text)
    {
        form->NewPage(kind);
        const int slot = form->CurrentPage();
        editor(slot)->SetText(text);
        return slot;
    }
};

} // namespace

TEST_F(CheckerTest, TransferCodesByPageKindAndSelection)
{
    mode("silent");
    start();
    struct Case {
        NewPageKind kind;
        int selStart, selLength;
        long long code;
    };
    const Case cases[] = {
        {NewPageKind::Plain, 6, 5, 1002},
        {NewPageKind::Rich, 0, 0, 1},
        {NewPageKind::Plain, 3, 0, 1001},
        {NewPageKind::Rich, 0, 5, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code);
        const int slot = page(c.kind, "hello world");
        editor(slot)->SetSelStart(c.selStart);
        editor(slot)->SetSelLength(c.selLength);
        actionOf(*form, "Checkspelling1")->trigger();
        EXPECT_TRUE(recordHas(sent(c.code)));
        // The checker ends that check (as its Cancel does) before the next one is asked for.
        ASSERT_TRUE(kelpa::platform::PostMessage(form->tools().messageWindow(), 1134, 0, 0));
        ASSERT_TRUE(waitFor([&] { return !form->tools().checkOpen(); }));
    }
    // Started once, with the launch token, and found running afterwards.
    EXPECT_EQ(count("start "), 1);
    EXPECT_TRUE(lines().contains("start " + QString::fromStdString(kelpa::LaunchToken())));
}

TEST_F(CheckerTest, OkReplacesThePageFromTheExchangeFile)
{
    mode("ok");
    start();
    const int slot = page(NewPageKind::Plain, "hello world");
    editor(slot)->SetSelStart(4);
    actionOf(*form, "Checkspelling1")->trigger();
    ASSERT_TRUE(replied([&] { return editor(slot)->Text() == "HELLO WORLD"; }));
    EXPECT_TRUE(lines().contains("text hello world\r"));
    EXPECT_EQ(editor(slot)->SelStart(), 0);
    EXPECT_TRUE(editor(slot)->Modified());
    EXPECT_FALSE(QFile::exists(path("~t.dat")));
    pump(300); // the 1134 that follows changes nothing
    EXPECT_EQ(editor(slot)->Text(), "HELLO WORLD");
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(CheckerTest, OkPastesTheSelectionFromTheClipboardAndEmptiesIt)
{
    mode("ok");
    start();
    // The user had nothing on the clipboard.
    QApplication::clipboard()->clear();
    const int slot = page(NewPageKind::Plain, "hello world");
    editor(slot)->SetSelStart(6);
    editor(slot)->SetSelLength(5);
    actionOf(*form, "Checkspelling1")->trigger();
    ASSERT_TRUE(replied([&] { return editor(slot)->Text() == "hello WORLD"; }))
        << editor(slot)->Text().toStdString() << " | " << lines().join(" | ").toStdString();
    EXPECT_TRUE(lines().contains("clip world"));
    EXPECT_TRUE(QApplication::clipboard()->text().isEmpty());
    EXPECT_FALSE(QFile::exists(path("~t.dat")));
}

TEST_F(CheckerTest, CheckWordSendsOnlyTheWordAtTheCaret)
{
    mode("ok");
    start();
    const int slot = page(NewPageKind::Rich, "one two three");
    editor(slot)->SetSelStart(5);
    actionOf(*form, "Checkwordatcorsor1")->trigger();
    ASSERT_TRUE(replied([&] { return editor(slot)->Text() == "one TWO three"; }));
    EXPECT_TRUE(recordHas(sent(2)));
}

TEST_F(CheckerTest, CancelKeepsTheTextAndClearsTheSelection)
{
    mode("cancel");
    start();
    const int slot = page(NewPageKind::Rich, "hello world");
    editor(slot)->SetSelStart(6);
    editor(slot)->SetSelLength(5);
    actionOf(*form, "Checkspelling1")->trigger();
    ASSERT_TRUE(replied([&] { return editor(slot)->SelLength() == 0; }));
    pump(300);
    EXPECT_EQ(editor(slot)->Text(), "hello world");
    EXPECT_TRUE(prompter.messages().empty());
}

namespace {

// The user had copied text, rich text and an image before checking a selection.
class ClipboardCheckTest : public CheckerTest {
protected:
    void checkWithTheUsersCopy(const char *m, const QString &expectedPage)
    {
        mode(m);
        start();
        auto *copied = new QMimeData;
        copied->setText("the user's copy");
        copied->setHtml("<b>the user's copy</b>");
        QImage image(4, 3, QImage::Format_RGB32);
        image.fill(Qt::red);
        copied->setImageData(image);
        QApplication::clipboard()->setMimeData(copied);
        const int slot = page(NewPageKind::Plain, "hello world");
        editor(slot)->SetSelStart(6);
        editor(slot)->SetSelLength(5);
        actionOf(*form, "Checkspelling1")->trigger();
        ASSERT_TRUE(replied([&] { return editor(slot)->Text() == expectedPage && editor(slot)->SelLength() == 0; }));
        pump(300); // the closing 1134 too
        const QMimeData *now = QApplication::clipboard()->mimeData();
        ASSERT_NE(now, nullptr);
        EXPECT_EQ(now->text(), "the user's copy");
        EXPECT_TRUE(now->hasHtml() && now->html().contains("the user's copy")) << now->html().toStdString();
        ASSERT_TRUE(now->hasImage());
        EXPECT_EQ(qvariant_cast<QImage>(now->imageData()).size(), QSize(4, 3));
    }
};

} // namespace

TEST_F(ClipboardCheckTest, TheUsersCopyIsBackAfterTheCorrectedSelectionIsPasted)
{
    checkWithTheUsersCopy("ok", "hello WORLD");
}

TEST_F(ClipboardCheckTest, TheUsersCopyIsBackAfterCancel)
{
    checkWithTheUsersCopy("cancel", "hello world");
}

TEST_F(CheckerTest, ASecondCheckWhileOneIsOpenOnlyBringsTheCheckerToTheFront)
{
    mode("silent");
    start();
    const int slot = page(NewPageKind::Plain, "one two three");
    actionOf(*form, "Checkspelling1")->trigger();
    ASSERT_TRUE(recordHas(sent(1001)));
    const QByteArray handedOver = fileBytes(path("~t.dat"));
    editor(slot)->SetSelStart(5);
    actionOf(*form, "Checkspelling1")->trigger();
    actionOf(*form, "Checkwordatcorsor1")->trigger();
    pump(500);
    EXPECT_EQ(count("msg 1124"), 1);
    EXPECT_EQ(fileBytes(path("~t.dat")), handedOver) << "the first check's text stays as it was handed over";
    EXPECT_EQ(editor(slot)->SelLength(), 0) << "no word is selected for a check that does not start";
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(CheckerTest, ACheckWhoseCheckerHasGoneDoesNotBlockTheNext)
{
    mode("silent");
    start();
    const int slot = page(NewPageKind::Plain, "one two three");
    actionOf(*form, "Checkspelling1")->trigger();
    ASSERT_TRUE(recordHas(sent(1001)));
    for (const QString &line : lines())
        if (line.startsWith("pid "))
            ::kill(line.mid(4).toInt(), SIGKILL);
    ASSERT_TRUE(waitFor([] { return kelpa::platform::FindWindow("TKelpaSpellChecker") == 0; }, 10000));
    // The user selects a word and checks again: a new checker gets that selection.
    editor(slot)->SetSelStart(4);
    editor(slot)->SetSelLength(3);
    actionOf(*form, "Checkspelling1")->trigger();
    EXPECT_TRUE(recordHas(sent(1002)));
    EXPECT_EQ(count("start "), 2);
}

TEST_F(CheckerTest, WaitingForAStartingCheckerKeepsTheWindowRunning)
{
    mode("slow");
    start();
    page(NewPageKind::Plain, "hello");
    bool ranWhileWaiting = false;
    QTimer::singleShot(300, form.get(), [&] {
        ranWhileWaiting = true;
        // A double click on the button: the second start finds the first one under way.
        actionOf(*form, "Checkspelling1")->trigger();
    });
    actionOf(*form, "Checkspelling1")->trigger();
    ASSERT_TRUE(recordHas(sent(1001)));
    EXPECT_TRUE(ranWhileWaiting);
    pump(500);
    EXPECT_EQ(count("msg 1124"), 1);
    EXPECT_EQ(count("start "), 1);
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(CheckerTest, ClosingTheEditorClosesTheChecker)
{
    mode("silent");
    start();
    page(NewPageKind::Plain, "hello");
    actionOf(*form, "Checkspelling1")->trigger();
    ASSERT_TRUE(recordHas(sent(1001)));
    editor(form->CurrentPage())->SetModified(false);
    form->close();
    EXPECT_TRUE(recordHas("msg 1134 0 0"));
}

TEST_F(CheckerTest, ACheckerThatNeverOpensItsWindowEndsTheWait)
{
    mode("nowindow");
    start();
    page(NewPageKind::Plain, "hello");
    QElapsedTimer t;
    t.start();
    actionOf(*form, "Checkspelling1")->trigger();
    EXPECT_TRUE(waitFor([&] { return shownMessage("The spell checker was started but did not open its window."); },
                        30000));
    EXPECT_GE(t.elapsed(), 10000);
    EXPECT_EQ(count("start "), 1);
    EXPECT_FALSE(QFile::exists(path("~t.dat")));
}

TEST_F(CheckerTest, WaitingForTheCheckersWindowReturnsToTheWindowAtOnce)
{
    // The wait runs beside the window's own events: the command returns at once, the editor
    // goes on working, and the box comes when the wait is over.
    mode("nowindow");
    start();
    form->tools().setCheckerWait(1500);
    const int slot = page(NewPageKind::Plain, "hello");
    QElapsedTimer t;
    t.start();
    actionOf(*form, "Checkspelling1")->trigger();
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_TRUE(form->tools().checkOpen());
    editor(slot)->SetText("edited meanwhile");
    ASSERT_TRUE(waitFor([&] { return shownMessage("The spell checker was started but did not open its window."); },
                        20000));
    EXPECT_GE(t.elapsed(), 1500);
    EXPECT_FALSE(form->tools().checkOpen());
    EXPECT_EQ(editor(slot)->Text(), "edited meanwhile");
    EXPECT_EQ(count("start "), 1);
}

TEST_F(CheckerTest, AReplyWithoutItsFileKeepsThePage)
{
    mode("lose");
    start();
    const int slot = page(NewPageKind::Plain, "hello world");
    actionOf(*form, "Checkspelling1")->trigger();
    ASSERT_TRUE(replied([&] { return !prompter.messages().empty(); }));
    EXPECT_EQ(editor(slot)->Text(), "hello world");
    EXPECT_TRUE(shownMessageStarting("Cannot read the corrected text: the page is left as it was.\nEC:"));
}

TEST_F(CheckerTest, AReplyAfterThePageClosedChangesNothing)
{
    mode("late");
    start();
    const int other = page(NewPageKind::Plain, "other page");
    const int checked = page(NewPageKind::Plain, "hello world");
    actionOf(*form, "Checkspelling1")->trigger();
    ASSERT_TRUE(recordHas(sent(1001)));
    prompter.answer(MessageAnswer::No); // do not save the closed page
    form->ClosePage(checked);
    ASSERT_TRUE(recordHas("text hello world\r"));
    ASSERT_TRUE(replied([&] { return shownMessageStarting("The checked page was closed"); }))
        << lines().join(" | ").toStdString() << " / " << messageTexts().size();
    EXPECT_EQ(editor(other)->Text(), "other page");
    EXPECT_FALSE(QFile::exists(path("~t.dat")));
}

TEST_F(CheckerTest, AReplyAfterThePageChangedChangesNothing)
{
    mode("late");
    start();
    const int slot = page(NewPageKind::Plain, "hello world");
    actionOf(*form, "Checkspelling1")->trigger();
    ASSERT_TRUE(recordHas(sent(1001)));
    editor(slot)->SetSelStart(11);
    editor(slot)->insertPlainText("!");
    ASSERT_TRUE(replied([&] { return shownMessageStarting("The checked page was changed meanwhile"); }));
    EXPECT_EQ(editor(slot)->Text(), "hello world!");
    EXPECT_FALSE(QFile::exists(path("~t.dat")));
}

namespace {

class RealCheckerTest : public RunningEditorTest {
protected:
    void SetUp() override
    {
        RunningEditorTest::SetUp();
        kelpa::test::shareDisplayWithChildren();
        ASSERT_TRUE(QFile::link(QStringLiteral(KELPA_PROGRAM_DIR "/kpsc"), path("kpsc")));
        ASSERT_TRUE(QFile::link(QStringLiteral(KELPA_PROGRAM_DIR "/English.kpd"), path("English.kpd")));
    }
    void TearDown() override
    {
        kelpa::test::endProcessesOf(path("kpsc"));
        RunningEditorTest::TearDown();
    }
};

} // namespace

TEST_F(RealCheckerTest, TheSpellCheckerTakesThePageAndClosesWithTheEditor)
{
    startRunning();
    form->NewPage(NewPageKind::Plain);
    editor(form->CurrentPage())->SetText("Hello wrold");
    actionOf(*form, "Checkspelling1")->trigger();
    // Started with the token, found by its window, and the page read with the key.
    EXPECT_TRUE(waitFor([] { return kelpa::platform::FindWindow("TKelpaSpellChecker") != 0; }, 10000));
    // The editor's next look finds it too and hands the page over.
    pump(500);
    EXPECT_TRUE(waitFor([&] { return !QFile::exists(path("~t.dat")); }, 10000));
    EXPECT_TRUE(prompter.messages().empty());

    editor(form->CurrentPage())->SetModified(false);
    form->close();
    EXPECT_TRUE(waitFor([&] { return kelpa::platform::FindWindow("TKelpaSpellChecker") == 0; }, 10000));
    EXPECT_TRUE(waitFor([&] { return kelpa::test::processesOf(path("kpsc")).empty(); }, 10000));
}

TEST_F(CheckerTest, AResultThatNoCheckAskedForIsIgnored)
{
    start();
    const int slot = page(NewPageKind::Plain, "hello world");
    writeFile(path("~t.dat"), "the print module's");
    // Through the message layer, as a checker would send it.
    ASSERT_TRUE(kelpa::platform::PostMessage(form->tools().messageWindow(), 1124, 0, 0));
    pump(500);
    EXPECT_EQ(editor(slot)->Text(), "hello world");
    EXPECT_EQ(fileBytes(path("~t.dat")), "the print module's");
    EXPECT_TRUE(prompter.messages().empty());
}
