// Paths handed over by a second start while the editor is in the middle of something: they wait
// until it is idle, and neither they nor the work in progress get los
#include "EditorFixture.h"

#include "editor/HandOff.h"
#include "platform/WindowMessages.h"

#include <QAction>

using namespace kelpa::editor;
using namespace kelpa::editor::test;
using kelpa::MessageAnswer;
using kelpa::ScriptedPrompter;

namespace {

const QByteArray kSecretRtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 secret page\\par"
                              + QByteArray("Enough text for the coder to compress.\\par").repeated(20) + "}";

class HandOffTest : public RunningEditorTest {
protected:
    // What a second start does: the request file, then "to the front" and Ctrl+J through the
    // window layer; the events are let in as a dialog's own loop would.
    void handOver(const QString &file)
    {
        ASSERT_TRUE(writeLoadRequest(folder, file));
        ASSERT_TRUE(kelpa::platform::BringWindowToFront(window->handle()));
        ASSERT_TRUE(kelpa::platform::SendKeystroke(window->handle(), QKeyCombination(Qt::ControlModifier, Qt::Key_J)));
        pump(50);
    }
    bool isOpen(const QString &file) const { return form->pages().findLoaded(file) >= 0; }
};

} // namespace

TEST_F(HandOffTest, PathHandedDuringThePasswordPromptOpensAfterItInItsOwnPage)
{
    startRunning();
    editor(0)->SetText("a page that stays"); // so that both opens would find the same free slot
    writeDocument(path("s6.eco"), "pw", kSecretRtf);
    writeFile(path("ho2.txt"), "PLAIN HANDOFF\r\n");
    bool openDuringPrompt = true;
    passwords.whileShown([&] {
        handOver(path("ho2.txt"));
        openDuringPrompt = isOpen(path("ho2.txt"));
    });
    passwords.answer(QStringLiteral("pw"));
    const int slot = form->OpenDocument(path("s6.eco"), true, {});
    EXPECT_FALSE(openDuringPrompt) << "no open runs inside another one";
    ASSERT_GE(slot, 0);
    EXPECT_EQ(page(slot).FileName, path("s6.eco"));
    EXPECT_EQ(page(slot).Kind, PageKind::Encrypted);
    EXPECT_FALSE(editor(slot)->PlainText()) << "the document shows formatted, not as its source";
    EXPECT_TRUE(editor(slot)->Text().startsWith("secret page")) << editor(slot)->Text().left(40).toStdString();
    EXPECT_TRUE(QFile::exists(path("loadreq")) || form->pendingHandOffs() > 0) << "the request is kept";

    ASSERT_TRUE(waitFor([&] { return isOpen(path("ho2.txt")); })) << "the handed path opens once the editor is idle";
    const int plain = form->pages().findLoaded(path("ho2.txt"));
    EXPECT_NE(plain, slot);
    EXPECT_EQ(page(plain).Kind, PageKind::Plain);
    EXPECT_FALSE(QFile::exists(path("loadreq")));
    EXPECT_EQ(form->pendingHandOffs(), 0);

    // What is typed into the document is what gets saved.
    form->pageControl()->setCurrentWidget(page(slot).Sheet);
    pump();
    editor(slot)->SetSelStart(editor(slot)->TextLength());
    editor(slot)->SetSelText(QStringLiteral("TYPED AT END"));
    actionOf(*form, "Save1")->trigger();
    const auto saved = readDocument(path("s6.eco"), "pw");
    ASSERT_TRUE(saved);
    EXPECT_TRUE(saved->startsWith("{\\rtf")) << saved->left(40).constData();
    EXPECT_TRUE(saved->contains("TYPED AT END"));
    EXPECT_TRUE(saved->contains("secret page"));
}

TEST_F(HandOffTest, EncryptedDocumentHandedDuringThePasswordPromptIsAskedForNext)
{
    startRunning();
    writeDocument(path("first.eco"), "one", kSecretRtf);
    writeDocument(path("second.eco"), "two", "{\\rtf1 second document\\par}");
    passwords.whileShown([&] { handOver(path("second.eco")); });
    passwords.answer(QStringLiteral("one"));
    passwords.answer(QStringLiteral("two"));
    ASSERT_GE(form->OpenDocument(path("first.eco"), true, {}), 0);
    ASSERT_TRUE(waitFor([&] { return isOpen(path("second.eco")); })) << "the handed document is not dropped";
    EXPECT_EQ(passwords.shown(), 2);
    EXPECT_TRUE(editor(form->pages().findLoaded(path("second.eco")))->Text().startsWith("second document"));
    EXPECT_TRUE(editor(form->pages().findLoaded(path("first.eco")))->Text().startsWith("secret page"));
}

TEST_F(HandOffTest, PathHandedWhileABoxIsUpWaitsForTheOperationToEnd)
{
    struct Case {
        const char *what;
        ScriptedPrompter::Shown::Kind during;
        std::function<void()> operation;
        std::function<void()> check;
    };
    const std::vector<Case> cases = {
        {"the already-loaded box", ScriptedPrompter::Shown::Kind::Message,
         [this] {
             writeFile(path("open.txt"), "open\r\n");
             form->OpenDocument(path("open.txt"), true, {});
             form->OpenDocument(path("open.txt"), true, {});
         },
         [this] { EXPECT_TRUE(shownMessage("\"" + path("open.txt") + "\"\nFile already loaded")); }},
        {"the close prompt, answered Yes", ScriptedPrompter::Shown::Kind::Message,
         [this] {
             writeFile(path("closing.txt"), "old\r\n");
             const int slot = form->OpenDocument(path("closing.txt"), true, {});
             editor(slot)->SetText("new words");
             editor(slot)->SetModified(true);
             prompter.answer(MessageAnswer::Yes);
             form->documents().Close1Click();
         },
         [this] {
             EXPECT_EQ(fileBytes(path("closing.txt")), "new words\r\n");
             EXPECT_FALSE(isOpen(path("closing.txt")));
         }},
        {"the Save As dialog", ScriptedPrompter::Shown::Kind::File,
         [this] {
             form->NewPage(NewPageKind::Plain);
             editor(form->CurrentPage())->SetText("saved as");
             prompter.answerFile(path("named.txt"), 3);
             actionOf(*form, "Saveas1")->trigger();
         },
         [this] {
             EXPECT_EQ(fileBytes(path("named.txt")), "saved as\n");
             EXPECT_TRUE(isOpen(path("named.txt")));
         }},
    };
    for (const auto &c : cases) {
        startRunning();
        writeFile(path("handed.txt"), "handed\r\n");
        bool injected = false;
        bool openDuringBox = false;
        prompter.onShown([&](const ScriptedPrompter::Shown &shown) {
            if (injected || shown.kind != c.during)
                return;
            injected = true;
            handOver(path("handed.txt"));
            openDuringBox = isOpen(path("handed.txt"));
        });
        c.operation();
        prompter.onShown({});
        EXPECT_TRUE(injected) << c.what;
        EXPECT_FALSE(openDuringBox) << c.what << ": no open runs inside the operation";
        EXPECT_TRUE(waitFor([&] { return isOpen(path("handed.txt")); })) << c.what;
        c.check();
        TearDown();
        for (const QString &f : QDir(folder).entryList(QDir::Files))
            QFile::remove(path(f));
    }
}
