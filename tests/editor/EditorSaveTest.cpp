// Saving in every kind, Save As with its five filters, failed saves, and the close prompts.
#include "EditorFixture.h"

#include <QAction>
#include <QLabel>
#include <QTabBar>
#include <QToolButton>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace kelpa::editor;
using namespace kelpa::editor::test;
using kelpa::MessageAnswer;

namespace {

// Lets the process write at most `limit` bytes per file while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit l = saved_;
        l.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

// The cipher id of an encrypted document: byte 2 of the block after the five header lines.
int cipherOf(const QByteArray &doc)
{
    qsizetype at = 0;
    for (int line = 0; line < 5; ++line) {
        at = doc.indexOf('\n', at);
        if (at < 0)
            return -1;
        ++at;
    }
    return at + 2 < doc.size() ? static_cast<unsigned char>(doc[at + 2]) : -1;
}

} // namespace

TEST_F(EditorTest, SaveWritesEachKind)
{
    start();
    writeFile(path("p.txt"), "old\r\n");
    const int plain = form->OpenDocument(path("p.txt"), true, {});
    editor(plain)->SetText("first\nsecond");
    editor(plain)->SetModified(true);
    actionOf(*form, "Save1")->trigger();
    EXPECT_EQ(fileBytes(path("p.txt")), "first\r\nsecond\r\n");
    EXPECT_FALSE(editor(plain)->Modified());
    EXPECT_EQ(form->statusPanel(3), "\"" + path("p.txt") + "\" has been saved");

    writeFile(path("r.rtf"), "{\\rtf1 old}");
    const int rich = form->OpenDocument(path("r.rtf"), true, {});
    editor(rich)->SetText("rich words");
    editor(rich)->SetModified(true);
    actionOf(*form, "Save1")->trigger();
    const QByteArray rtf = fileBytes(path("r.rtf"));
    EXPECT_TRUE(rtf.startsWith("{\\rtf")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("rich words"));

    // Encrypted pages follow the cipher chosen under Preferences.
    writeDocument(path("e.eco"), "pw", "{\\rtf1 " + QByteArray("old words ").repeated(50) + "}");
    passwords.answer(QStringLiteral("pw"));
    const int enc = form->OpenDocument(path("e.eco"), true, {});
    ASSERT_GE(enc, 0);
    struct Case { const char *item; int cipher; };
    for (const Case c : {Case{"Blowfish1", TOBRINEngine::CipherBlowfish}, Case{"EC41", TOBRINEngine::CipherEC4}}) {
        actionOf(*form, c.item)->trigger();
        editor(enc)->SetText(QStringLiteral("secret words %1").arg(c.item));
        editor(enc)->SetModified(true);
        actionOf(*form, "Save1")->trigger();
        EXPECT_EQ(cipherOf(fileBytes(path("e.eco"))), c.cipher) << c.item;
        std::string version;
        const auto text = readDocument(path("e.eco"), "pw", &version);
        ASSERT_TRUE(text) << c.item;
        EXPECT_EQ(version, "5.0");
        EXPECT_TRUE(text->startsWith("{\\rtf")) << c.item;
        EXPECT_TRUE(text->endsWith("\r\n"));
        EXPECT_TRUE(text->contains(QByteArray("secret words ") + c.item));
    }
    EXPECT_EQ(passwords.shown(), 1) << "a known password is not asked again";
}

TEST_F(EditorTest, PlainFilesAreSavedInTheEncodingTheyCameIn)
{
    start();
    struct Case { const char *what; QByteArray before; QString added; QByteArray after; bool toldOfUtf8; };
    const std::vector<Case> cases = {
        {"Windows-1252", "caf\xe9\r\n", QStringLiteral("na\u00efve"), "caf\xe9\r\nna\xefve\r\n", false},
        {"UTF-8", "caf\xc3\xa9\r\n", QStringLiteral("na\u00efve"), "caf\xc3\xa9\r\nna\xc3\xafve\r\n", false},
        {"UTF-8 with its mark", "\xef\xbb\xbf" "caf\xc3\xa9\r\n", QStringLiteral("x"), "\xef\xbb\xbf" "caf\xc3\xa9\r\nx\r\n", false},
        {"Windows-1252 that cannot hold the text", "caf\xe9\r\n", QStringLiteral("\u03a9"), "caf\xc3\xa9\r\n\xce\xa9\r\n", true},
    };
    int n = 0;
    for (const auto &c : cases) {
        const QString name = path(QStringLiteral("enc%1.txt").arg(n++));
        writeFile(name, c.before);
        const int slot = form->OpenDocument(name, true, {});
        ASSERT_GE(slot, 0) << c.what;
        EXPECT_TRUE(editor(slot)->Text().startsWith(QStringLiteral("caf\u00e9"))) << c.what;
        editor(slot)->SetSelStart(editor(slot)->TextLength());
        editor(slot)->SetSelText(QStringLiteral("\n") + c.added);
        ASSERT_TRUE(form->documents().SavePage(slot)) << c.what;
        EXPECT_EQ(fileBytes(name).toHex().toStdString(), c.after.toHex().toStdString()) << c.what;
        // The user is told once, at the save that moves the file to UTF-8.
        const QString saved = "\"" + name + "\" has been saved";
        const QString told = saved + " in UTF-8, as Windows-1252 cannot hold its text";
        EXPECT_EQ(form->statusPanel(3).toStdString(), (c.toldOfUtf8 ? told : saved).toStdString()) << c.what;
        editor(slot)->SetSelText(QStringLiteral("!"));
        ASSERT_TRUE(form->documents().SavePage(slot)) << c.what;
        EXPECT_EQ(form->statusPanel(3).toStdString(), saved.toStdString()) << c.what;
    }

    // Save As to a new name says it too, after the page is opened again.
    writeFile(path("old.txt"), "caf\xe9\r\n");
    const int slot = form->OpenDocument(path("old.txt"), true, {});
    editor(slot)->SetSelStart(editor(slot)->TextLength());
    editor(slot)->SetSelText(QStringLiteral("\n\u65e5\u672c"));
    prompter.answerFile(path("new.txt"), 3);
    actionOf(*form, "Saveas1")->trigger();
    EXPECT_EQ(fileBytes(path("new.txt")), "caf\xc3\xa9\r\n\xe6\x97\xa5\xe6\x9c\xac\r\n");
    EXPECT_EQ(form->statusPanel(3).toStdString(),
              ("\"" + path("new.txt") + "\" has been saved in UTF-8, as Windows-1252 cannot hold its text").toStdString());
}

TEST_F(EditorTest, UneditedPlainFilesAreSavedByteForByte)
{
    start();
    struct Case { const char *name; QByteArray bytes; };
    const Case cases[] = {
        {"u2028.json", "{\"a\": \"\xE2\x80\xA8\xE2\x80\xA9\"}\n"},
        {"no-final-line-end.txt", "a\nb"},
        {"one-line-end.txt", "\n"},
        {"one-crlf.txt", "\r\n"},
        {"cr-only.txt", "one\rtwo\rthree\r"},
        {"lone-cr.txt", "one\ntw\ro\nthree\n"},
        {"mixed.txt", "a\r\nb\nc\r\nd\n\n"},
        {"vertical-tab.txt", "a\vb\n"},
        {"empty.txt", ""},
        {"marked.txt", "\xEF\xBB\xBF" "caf\xC3\xA9\r\n"},
        {"windows-1252.txt", "caf\xE9\r\nna\xEFve"},
    };
    for (const Case &c : cases) {
        writeFile(path(c.name), c.bytes);
        const int slot = form->OpenDocument(path(c.name), true, {});
        ASSERT_GE(slot, 0) << c.name;
        ASSERT_TRUE(form->documents().SavePage(slot)) << c.name;
        EXPECT_EQ(fileBytes(path(c.name)).toHex().toStdString(), c.bytes.toHex().toStdString()) << c.name;
        // And once more, from what the first save wrote.
        ASSERT_TRUE(form->documents().SavePage(slot)) << c.name;
        EXPECT_EQ(fileBytes(path(c.name)).toHex().toStdString(), c.bytes.toHex().toStdString()) << c.name;
        form->ClosePage(slot);
    }
}

TEST_F(EditorTest, PlainFilesKeepTheirLineEnds)
{
    start();
    struct Case { const char *name; QByteArray before; QByteArray after; };
    const Case cases[] = {
        {"lf.txt", "#!/bin/sh\necho a\n", "#!/bin/sh\necho a\nadded\n"},
        {"crlf.txt", "one\r\ntwo\r\n", "one\r\ntwo\r\nadded\r\n"},
        {"cr.txt", "one\rtwo\r", "one\rtwo\radded\r"},
        {"lf-last-line-open.txt", "x\ny", "x\ny\nadded"},
        {"single-line.txt", "x", "x\nadded"},
        {"mixed.txt", "a\r\nb\nc\n", "a\r\nb\nc\nadded\n"},
        {"lone-cr.txt", "a\rb\nc\n", "a\rb\nc\nadded\n"},
        {"u2028.txt", "a\xE2\x80\xA8" "b\n", "a\xE2\x80\xA8" "b\nadded\n"},
    };
    for (const Case &c : cases) {
        writeFile(path(c.name), c.before);
        const int slot = form->OpenDocument(path(c.name), true, {});
        ASSERT_GE(slot, 0) << c.name;
        editor(slot)->SetSelStart(editor(slot)->TextLength());
        editor(slot)->SetSelText(QStringLiteral("\nadded"));
        ASSERT_TRUE(form->documents().SavePage(slot)) << c.name;
        EXPECT_EQ(fileBytes(path(c.name)).toHex().toStdString(), c.after.toHex().toStdString()) << c.name;
        // Save As keeps them too.
        prompter.answerFile(path(QStringLiteral("copy-") + c.name), 3);
        actionOf(*form, "Saveas1")->trigger();
        EXPECT_EQ(fileBytes(path(QStringLiteral("copy-") + c.name)).toHex().toStdString(), c.after.toHex().toStdString())
            << c.name;
    }
    // A slot used again for a new page, and a rich page saved as plain text, write LF.
    for (int slot = 0; slot < 16; ++slot)
        if (!page(slot).isFree())
            form->ClosePage(slot);
    form->NewPage(NewPageKind::Plain);
    const int fresh = form->CurrentPage();
    ASSERT_GE(fresh, 0);
    editor(fresh)->SetText("echo hi\nexit");
    prompter.answerFile(path("new.sh"), 3);
    prompter.answer(MessageAnswer::No); // no ".txt"
    actionOf(*form, "Saveas1")->trigger();
    EXPECT_EQ(fileBytes(path("new.sh")).toStdString(), "echo hi\nexit\n");
    for (const char *rich : {"crlf.rtf", "lf.rtf"}) {
        writeFile(path(rich), std::string_view(rich) == "crlf.rtf" ? "{\\rtf1 one\\par\r\ntwo}\r\n" : "{\\rtf1 one\\par\ntwo}\n");
        ASSERT_GE(form->OpenDocument(path(rich), true, {}), 0) << rich;
        const QString plain = path(QStringLiteral("%1.txt").arg(rich));
        prompter.answerFile(plain, 3);
        actionOf(*form, "Saveas1")->trigger();
        EXPECT_EQ(fileBytes(plain).toStdString(), "one\ntwo\n") << rich;
    }
}

TEST_F(EditorTest, NewEncryptedPageAsksForThePasswordTwiceOnce)
{
    start();
    form->NewPage(NewPageKind::Encrypted);
    const int slot = form->CurrentPage();
    editor(slot)->SetText("top secret");
    editor(slot)->SetModified(true);
    prompter.answerFile(path("vault"), 1);
    prompter.answer(MessageAnswer::Yes); // add ".eco"
    passwords.answer(QStringLiteral("twice"));
    actionOf(*form, "Save1")->trigger();
    EXPECT_EQ(passwords.shown(), 1);
    EXPECT_TRUE(passwords.lastWasEncode());
    const int saved = form->pages().findLoaded(path("vault.eco"));
    ASSERT_GE(saved, 0);
    EXPECT_EQ(page(saved).Kind, PageKind::Encrypted);
    EXPECT_EQ(page(saved).Password, "twice");
    editor(saved)->SetText("top secret, edited");
    editor(saved)->SetModified(true);
    actionOf(*form, "Save1")->trigger();
    EXPECT_EQ(passwords.shown(), 1);
    const auto text = readDocument(path("vault.eco"), "twice");
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->contains("top secret, edited"));
}

// A Cyrillic password is the Windows-1251 bytes of its letters, not one question mark each; a
// password no code page holds is refused in the dialog and nothing is written with it.
TEST_F(EditorTest, CyrillicPasswordRoundTripsThroughTheDialogAndTheEngine)
{
    start();
    form->NewPage(NewPageKind::Encrypted);
    editor(form->CurrentPage())->SetText("under a Cyrillic password");
    editor(form->CurrentPage())->SetModified(true);
    prompter.answerFile(path("vault.eco"), 1);
    passwords.answer(QStringLiteral("café пароль"));
    passwords.answer(QStringLiteral("пароль"));
    actionOf(*form, "Save1")->trigger();
    EXPECT_TRUE(shownMessage(QString::fromUtf8(kelpa::TOBRINPasswordDlg::kUnusableCharacters)));
    EXPECT_EQ(passwords.shown(), 2) << "the refused entry keeps the dialog up";
    const auto text = readDocument(path("vault.eco"), "\xEF\xE0\xF0\xEE\xEB\xFC");
    ASSERT_TRUE(text) << "written with the Windows-1251 bytes of the password";
    EXPECT_TRUE(text->contains("under a Cyrillic password"));
    EXPECT_FALSE(readDocument(path("vault.eco"), "??????"));

    // Opened again: another Cyrillic word of the same length is a wrong password.
    actionOf(*form, "Close1")->trigger();
    ASSERT_EQ(form->pages().findLoaded(path("vault.eco")), -1);
    passwords.answer(QStringLiteral("шифрую"));
    EXPECT_EQ(form->OpenDocument(path("vault.eco"), true, {}), -1);
    passwords.answer(QStringLiteral("пароль"));
    const int slot = form->OpenDocument(path("vault.eco"), true, {});
    ASSERT_GE(slot, 0);
    EXPECT_TRUE(editor(slot)->Text().contains(QStringLiteral("under a Cyrillic password")));

    // A document of a Cyrillic system opens with its password typed.
    writeDocument(path("old.eco"), "\xF8\xE8\xF4\xF0\xF3\xFE", "{\\rtf1 from an older system}");
    passwords.answer(QStringLiteral("шифрую"));
    const int old = form->OpenDocument(path("old.eco"), true, {});
    ASSERT_GE(old, 0);
    EXPECT_TRUE(editor(old)->Text().contains(QStringLiteral("from an older system")));
}

TEST_F(EditorTest, NewPasswordDialogOffersTheCommonPasswordOnly)
{
    struct Case { bool common; const char *prefill; };
    for (const Case c : {Case{true, "shared"}, Case{false, ""}}) {
        start();
        if (!c.common)
            actionOf(*form, "Usecommonpassword1")->trigger();
        writeDocument(path("first.eco"), "shared", "opened first");
        passwords.answer(QStringLiteral("shared"));
        ASSERT_GE(form->OpenDocument(path("first.eco"), true, {}), 0);
        form->NewPage(NewPageKind::Encrypted);
        editor(form->CurrentPage())->SetText("second");
        editor(form->CurrentPage())->SetModified(true);
        prompter.answerFile(path("second.eco"), 1);
        passwords.answer(QStringLiteral("shared"));
        actionOf(*form, "Save1")->trigger();
        EXPECT_TRUE(passwords.lastWasEncode()) << c.common;
        EXPECT_EQ(passwords.lastPrefill(), c.prefill) << c.common;
        EXPECT_TRUE(readDocument(path("second.eco"), "shared")) << c.common;
        TearDown();
        for (const char *f : {"Kelpa.ini", "first.eco", "second.eco"})
            QFile::remove(path(f));
    }
}

TEST_F(EditorTest, ChangedPasswordTakesEffectAtTheNextSave)
{
    start();
    writeDocument(path("c.eco"), "old", QByteArray("changing passwords ").repeated(40));
    passwords.answer(QStringLiteral("old"));
    const int slot = form->OpenDocument(path("c.eco"), true, {});
    ASSERT_GE(slot, 0);
    passwords.answer(QStringLiteral("new"));
    actionOf(*form, "Changepassword1")->trigger();
    EXPECT_TRUE(passwords.lastWasEncode());
    EXPECT_TRUE(editor(slot)->Modified());
    EXPECT_TRUE(readDocument(path("c.eco"), "old")) << "nothing written yet";
    actionOf(*form, "Save1")->trigger();
    EXPECT_FALSE(readDocument(path("c.eco"), "old"));
    const auto text = readDocument(path("c.eco"), "new");
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->contains("changing passwords"));
}

TEST_F(EditorTest, CommonPasswordToggleDecidesTheChangeItemNotTheButton)
{
    start();
    QAction *common = actionOf(*form, "Usecommonpassword1");
    QAction *change = actionOf(*form, "Changepassword1");
    // Each toggle first gives "Change..." the check state it had, then flips the check.
    struct Step { bool checkedAfter; bool changeEnabledAfter; };
    for (const Step s : {Step{false, true}, Step{true, false}, Step{false, true}, Step{true, false}}) {
        common->trigger();
        EXPECT_EQ(common->isChecked(), s.checkedAfter);
        EXPECT_EQ(change->isEnabled(), s.changeEnabledAfter);
    }
    // The password button keeps working while the item is disabled.
    auto *button = form->findChild<QToolButton *>("PasswordButton");
    ASSERT_TRUE(button);
    ASSERT_TRUE(button->isEnabled());
    passwords.answer(QStringLiteral("by button"));
    button->click();
    EXPECT_EQ(passwords.shown(), 1);
    EXPECT_EQ(page(0).Password, "by button");
    EXPECT_TRUE(editor(0)->Modified());
}

TEST_F(EditorTest, SaveAsMatrixOfFiltersAndExtensionQuestion)
{
    struct Case {
        const char *what;
        NewPageKind startKind;
        int filter;
        const char *chosen;
        std::optional<MessageAnswer> extensionAnswer; // nothing: no question expected
        const char *expectedFile;                     // nullptr: nothing written
        PageKind kindAfter;
    };
    const std::vector<Case> cases = {
        {"rich as plain, keeping .rtf", NewPageKind::Rich, 3, "a.rtf", MessageAnswer::No, "a.rtf", PageKind::Rich},
        {"plain as plain", NewPageKind::Plain, 3, "b.txt", std::nullopt, "b.txt", PageKind::Plain},
        {"plain, extension added", NewPageKind::Plain, 3, "c", MessageAnswer::Yes, "c.txt", PageKind::Plain},
        {"batch filter", NewPageKind::Plain, 4, "run", MessageAnswer::Yes, "run.bat", PageKind::Plain},
        {"plain as rich", NewPageKind::Plain, 2, "d.rtf", std::nullopt, "d.rtf", PageKind::Rich},
        {"rich as encrypted", NewPageKind::Rich, 1, "e", MessageAnswer::Yes, "e.eco", PageKind::Encrypted},
        {"rich as legacy", NewPageKind::Rich, 5, "f.eco", std::nullopt, "f.eco", PageKind::Legacy},
        {"extension question cancelled", NewPageKind::Rich, 2, "g", MessageAnswer::Cancel, nullptr, PageKind::Rich},
    };
    for (const auto &c : cases) {
        start();
        form->NewPage(c.startKind);
        const int slot = form->CurrentPage();
        const QString oldName = page(slot).FileName;
        editor(slot)->SetText("Matrix text");
        editor(slot)->SetModified(true);
        prompter.clear();
        prompter.answerFile(path(c.chosen), c.filter);
        if (c.extensionAnswer)
            prompter.answer(*c.extensionAnswer);
        if (c.kindAfter == PageKind::Encrypted || c.kindAfter == PageKind::Legacy)
            passwords.answer(QStringLiteral("m"));
        actionOf(*form, "Saveas1")->trigger();

        const auto &shown = prompter.shown();
        ASSERT_FALSE(shown.empty()) << c.what;
        EXPECT_EQ(shown[0].caption, "Save As - File extension is not required") << c.what;
        const bool asked = shown.size() > 1 && shown[1].text.startsWith("Do you want to add the ");
        EXPECT_EQ(asked, c.extensionAnswer.has_value()) << c.what;
        if (asked) {
            EXPECT_EQ(shown[1].caption, "Sa&&ve As...") << c.what;
        }
        // The password was just used to write the document: its text needs no confirmation.
        for (const auto &m : prompter.messages())
            EXPECT_FALSE(m.text.endsWith("Is the text correct?")) << c.what;
        if (!c.expectedFile) {
            EXPECT_EQ(page(slot).FileName, oldName) << c.what;
            EXPECT_TRUE(editor(slot)->Modified()) << c.what;
            EXPECT_FALSE(QFile::exists(path(c.chosen))) << c.what;
        } else {
            ASSERT_TRUE(QFile::exists(path(c.expectedFile))) << c.what;
            const int reopened = form->pages().findLoaded(path(c.expectedFile));
            ASSERT_GE(reopened, 0) << c.what;
            EXPECT_EQ(page(reopened).Kind, c.kindAfter) << c.what;
            EXPECT_FALSE(editor(reopened)->Modified()) << c.what;
            EXPECT_TRUE(editor(reopened)->Text().contains("Matrix text")) << c.what;
            EXPECT_EQ(form->pages().findLoaded(oldName), -1) << c.what;
            const QByteArray bytes = fileBytes(path(c.expectedFile));
            if (c.filter == 3 || c.filter == 4) {
                // New pages and pages of another kind made plain take LF.
                EXPECT_EQ(bytes, "Matrix text\n") << c.what;
            }
            if (c.filter == 5) {
                std::string version;
                ASSERT_TRUE(readDocument(path(c.expectedFile), "m", &version)) << c.what;
                EXPECT_EQ(version, "3.0");
            }
        }
        TearDown();
        QFile::remove(path("Kelpa.ini"));
    }
}

// The file dialog confirmed replacing the name typed, not the one the added extension makes: a
// file of that name is asked for, and No goes back to the dialog with nothing written.
TEST_F(EditorTest, SaveAsAsksBeforeTheAddedExtensionReplacesAFile)
{
    const QByteArray kept = "{\\rtf1 the file already there}";
    struct Case {
        const char *what;
        MessageAnswer replace;
        std::optional<QString> then; // the name given to the dialog shown again; nothing: cancelled
        const char *written;         // nullptr: nothing written
    };
    for (const Case &c : {Case{"replaced", MessageAnswer::Yes, std::nullopt, "a.rtf"},
                          Case{"another name", MessageAnswer::No, QStringLiteral("b.rtf"), "b.rtf"},
                          Case{"given up", MessageAnswer::No, std::nullopt, nullptr}}) {
        start();
        writeFile(path("a.rtf"), kept);
        form->NewPage(NewPageKind::Rich);
        const int slot = form->CurrentPage();
        editor(slot)->SetText("new words");
        editor(slot)->SetModified(true);
        prompter.clear();
        prompter.answerFile(path("a"), 2);
        prompter.answer(MessageAnswer::Yes); // add ".rtf"
        prompter.answer(c.replace);
        if (c.then)
            prompter.answerFile(path(*c.then), 2);
        actionOf(*form, "Saveas1")->trigger();

        EXPECT_TRUE(shownMessage("\"" + path("a.rtf") + "\" already exists.\nDo you want to replace it?")) << c.what;
        std::vector<kelpa::ScriptedPrompter::Shown> dialogs;
        for (const auto &s : prompter.shown())
            if (s.kind == kelpa::ScriptedPrompter::Shown::Kind::File)
                dialogs.push_back(s);
        ASSERT_EQ(dialogs.size(), c.replace == MessageAnswer::Yes ? 1u : 2u) << c.what;
        if (dialogs.size() == 2) {
            EXPECT_EQ(dialogs[1].fileName, path("a")) << c.what << ": the dialog again, with the name typed";
            EXPECT_EQ(dialogs[1].filterIndex, 2) << c.what;
        }
        if (c.replace == MessageAnswer::No) {
            EXPECT_EQ(fileBytes(path("a.rtf")), kept) << c.what;
        }
        if (c.written) {
            EXPECT_TRUE(fileBytes(path(c.written)).contains("new words")) << c.what;
            EXPECT_GE(form->pages().findLoaded(path(c.written)), 0) << c.what;
        } else {
            EXPECT_TRUE(editor(slot)->Modified()) << c.what;
            EXPECT_TRUE(page(slot).isUntitled()) << c.what;
        }
        TearDown();
        for (const char *f : {"Kelpa.ini", "a.rtf", "b.rtf"})
            QFile::remove(path(f));
    }
}

TEST_F(EditorTest, SaveAsDialogStartsWithTheNameFolderAndFilterOfThePage)
{
    // New pages start in the folder the editor was started in (no page with a file shown yet).
    const QString before = QDir::currentPath();
    QDir::setCurrent(folder);
    const QString startedIn = QDir::currentPath();
    start();
    QDir::setCurrent(before);
    writeFile(path("notes.txt"), "notes\r\n");
    writeFile(path("letter.rtf"), "{\\rtf1 letter}");
    // Long enough to be compressed, so that the password is checked.
    writeDocument(path("vault.eco"), "pw", "{\\rtf1 " + QByteArray("vault words ").repeated(50) + "}");
    writeDocument(path("old.eco"), "pw", "{\\rtf1 old}", TOBRINEngine::CipherLegacy);
    struct Case { const char *what; std::function<void()> open; const char *fileName; QString folder; int filter; };
    const std::vector<Case> cases = {
        {"new plain page", [&] { form->NewPage(NewPageKind::Plain); }, "Untitled.txt", startedIn, 3},
        {"new rich page", [&] { form->NewPage(NewPageKind::Rich); }, "Untitled.rtf", startedIn, 2},
        {"new encrypted page", [&] { form->NewPage(NewPageKind::Encrypted); }, "Untitled.eco", startedIn, 1},
        {"plain file", [&] { form->OpenDocument(path("notes.txt"), true, {}); }, "notes.txt", folder, 3},
        {"rich file", [&] { form->OpenDocument(path("letter.rtf"), true, {}); }, "letter.rtf", folder, 2},
        {"encrypted document", [&] { form->OpenDocument(path("vault.eco"), true, "pw"); }, "vault.eco", folder, 1},
        {"legacy document",
         [&] {
             prompter.answer(MessageAnswer::Yes); // the text is right
             form->OpenDocument(path("old.eco"), true, "pw");
         },
         "old.eco", folder, 5},
    };
    for (const auto &c : cases) {
        c.open();
        prompter.clear();
        actionOf(*form, "Saveas1")->trigger(); // and cancelled
        ASSERT_EQ(prompter.shown().size(), 1u) << c.what;
        const auto &dialog = prompter.shown()[0];
        EXPECT_EQ(dialog.kind, kelpa::ScriptedPrompter::Shown::Kind::File) << c.what;
        EXPECT_EQ(dialog.fileKind, kelpa::FileDialogKind::Save) << c.what;
        EXPECT_EQ(dialog.fileName.toStdString(), c.fileName) << c.what;
        EXPECT_EQ(dialog.folder.toStdString(), c.folder.toStdString()) << c.what;
        EXPECT_EQ(dialog.filterIndex, c.filter) << c.what;
        EXPECT_EQ(dialog.filter.split(";;").size(), 5) << c.what;
        EXPECT_TRUE(dialog.filter.split(";;").value(2).startsWith("Plain Text File (*.TXT)")) << c.what;
    }
}

TEST_F(EditorTest, SaveAsOfANewPageStartsInAFolderOfTheUser)
{
    // The folder the editor was started in, as long as no page with a file was shown.
    kelpa::test::TempDir startedInDir;
    const QString startedIn = QString::fromStdString(startedInDir.path().string());
    const QString before = QDir::currentPath();
    QDir::setCurrent(startedIn);
    start();
    QDir::setCurrent(before);
    const auto saveAsFolder = [&] {
        prompter.clear();
        actionOf(*form, "Saveas1")->trigger(); // cancelled
        return prompter.shown().empty() ? QString() : QDir(prompter.shown()[0].folder).absolutePath();
    };
    EXPECT_EQ(saveAsFolder(), QDir(startedIn).absolutePath());
    // Then the folder of the page shown.
    QDir(folder).mkdir(QStringLiteral("work"));
    writeFile(path("work/a.txt"), "a\n");
    ASSERT_GE(form->OpenDocument(path("work/a.txt"), true, {}), 0);
    pump();
    form->NewPage(NewPageKind::Plain);
    EXPECT_EQ(saveAsFolder(), QDir(path("work")).absolutePath());
}

TEST_F(EditorTest, SavedNoteShowsItsEndInANarrowWindow)
{
    start();
    form->resize(700, 500);
    pump();
    const QString name = path(QStringLiteral("a folder with a rather long name/and another one inside it/notes.txt"));
    QDir().mkpath(QFileInfo(name).path());
    writeFile(name, "caf\xe9\n");
    const int slot = form->OpenDocument(name, true, {});
    ASSERT_GE(slot, 0);
    editor(slot)->SetSelText(QStringLiteral("\u03a9"));
    ASSERT_TRUE(form->documents().SavePage(slot));
    pump();
    const QString note = "\"" + name + "\" has been saved in UTF-8, as Windows-1252 cannot hold its text";
    EXPECT_EQ(form->statusPanel(3), note);
    auto *panel = form->findChild<QLabel *>(QStringLiteral("StatusPanel3"));
    ASSERT_TRUE(panel);
    EXPECT_TRUE(panel->text().endsWith("\" has been saved in UTF-8, as Windows-1252 cannot hold its text"));
    EXPECT_LE(panel->fontMetrics().horizontalAdvance(panel->text()), panel->contentsRect().width());
    EXPECT_EQ(panel->toolTip(), note) << "the whole note is the panel's hint";
}

TEST_F(EditorTest, CancelledSaveAsDialogChangesNothing)
{
    start();
    const QString name = page(0).FileName;
    editor(0)->SetText("x");
    editor(0)->SetModified(true);
    actionOf(*form, "Saveas1")->trigger();
    EXPECT_EQ(page(0).FileName, name);
    EXPECT_EQ(page(0).Kind, PageKind::Rich);
    EXPECT_TRUE(editor(0)->Modified());
}

TEST_F(EditorTest, SaveAsOverAnotherOpenPageIsRefused)
{
    start();
    writeFile(path("other.txt"), "other\r\n");
    ASSERT_GE(form->OpenDocument(path("other.txt"), true, {}), 0);
    form->NewPage(NewPageKind::Plain);
    editor(form->CurrentPage())->SetText("new");
    editor(form->CurrentPage())->SetModified(true);
    prompter.answerFile(path("other.txt"), 3);
    actionOf(*form, "Saveas1")->trigger();
    EXPECT_EQ(fileBytes(path("other.txt")), "other\r\n");
    EXPECT_TRUE(shownMessage("\"" + path("other.txt") + "\"\nFile already loaded"));
    EXPECT_EQ(openCount(), 2);
}

TEST_F(EditorTest, ReadOnlyFileIsAskedForAndStaysReadOnly)
{
    start();
    writeFile(path("ro.txt"), "old\r\n");
    ::chmod(QFile::encodeName(path("ro.txt")).constData(), 0444);
    const int slot = form->OpenDocument(path("ro.txt"), true, {});
    editor(slot)->SetText("new");
    editor(slot)->SetModified(true);
    prompter.answer(MessageAnswer::No);
    actionOf(*form, "Save1")->trigger();
    EXPECT_EQ(fileBytes(path("ro.txt")), "old\r\n");
    EXPECT_TRUE(shownMessageStarting("\"" + path("ro.txt") + "\" is a read-only file.\n"));
    EXPECT_TRUE(editor(slot)->Modified());
    prompter.answer(MessageAnswer::Yes);
    actionOf(*form, "Save1")->trigger();
    EXPECT_EQ(fileBytes(path("ro.txt")), "new\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path("ro.txt")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
}

TEST_F(EditorTest, FailedSaveKeepsTheOldFileAndThePage)
{
    start();
    const QByteArray old = "precious old content\r\n";
    writeFile(path("keep.txt"), old);
    writeDocument(path("keep.eco"), "pw", QByteArray("precious old secret ").repeated(50));
    const QByteArray oldDoc = fileBytes(path("keep.eco"));
    const int plain = form->OpenDocument(path("keep.txt"), true, {});
    passwords.answer(QStringLiteral("pw"));
    const int enc = form->OpenDocument(path("keep.eco"), true, {});
    ASSERT_GE(enc, 0);
    const QString big(5000, QLatin1Char('z'));
    for (const int slot : {plain, enc}) {
        editor(slot)->SetText(big);
        editor(slot)->SetModified(true);
    }
    {
        FileSizeLimit limit(64);
        // Plain: the error, then "Try again?" answered No.
        prompter.answer(MessageAnswer::No);
        form->pageControl()->setCurrentWidget(page(plain).Sheet);
        pump();
        actionOf(*form, "Save1")->trigger();
        // Encrypted: the engine's failure.
        form->pageControl()->setCurrentWidget(page(enc).Sheet);
        pump();
        actionOf(*form, "Save1")->trigger();
        // Save As that fails keeps the page's name and kind.
        form->pageControl()->setCurrentWidget(page(plain).Sheet);
        pump();
        prompter.answerFile(path("elsewhere.rtf"), 2);
        prompter.answer(MessageAnswer::No);
        actionOf(*form, "Saveas1")->trigger();
    }
    EXPECT_EQ(fileBytes(path("keep.txt")), old);
    EXPECT_EQ(fileBytes(path("keep.eco")), oldDoc);
    EXPECT_FALSE(QFile::exists(path("elsewhere.rtf")));
    EXPECT_TRUE(shownMessage("Cannot save the file \"" + path("keep.txt") + "\"\nTry again?"));
    EXPECT_TRUE(shownMessageStarting("Warning.\n"));
    EXPECT_TRUE(shownMessageStarting("E9: EC:BadFile.\n") || shownMessageStarting("Cannot save the file \"" + path("keep.eco")));
    EXPECT_TRUE(editor(plain)->Modified());
    EXPECT_TRUE(editor(enc)->Modified());
    EXPECT_EQ(page(plain).FileName, path("keep.txt"));
    EXPECT_EQ(page(plain).Kind, PageKind::Plain);
    QStringList leftovers = QDir(folder).entryList(QDir::Files);
    leftovers.sort();
    EXPECT_EQ(leftovers, QStringList({"Kelpa.ini", "keep.eco", "keep.txt"}));
}

TEST_F(EditorTest, ClosePromptsOnSeveralModifiedPages)
{
    start();
    form->ClosePage(0); // pages a, b, c in slots 0, 1, 2
    for (const char *n : {"a.txt", "b.txt", "c.txt"})
        writeFile(path(n), "old\r\n");
    for (const char *n : {"a.txt", "b.txt", "c.txt"}) {
        const int slot = form->OpenDocument(path(n), true, {});
        editor(slot)->SetText(QStringLiteral("new %1").arg(n));
        editor(slot)->SetModified(true);
    }
    ASSERT_EQ(openCount(), 3);
    // Yes saves and closes the first, Cancel on the second stops the run.
    prompter.answer(MessageAnswer::Yes);
    prompter.answer(MessageAnswer::Cancel);
    actionOf(*form, "Closeall1")->trigger();
    EXPECT_EQ(openCount(), 2);
    EXPECT_EQ(fileBytes(path("a.txt")), "new a.txt\r\n");
    EXPECT_GE(form->pages().findLoaded(path("b.txt")), 0);
    EXPECT_GE(form->pages().findLoaded(path("c.txt")), 0);
    const auto questions = prompter.messages();
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0].caption, "Confimation");
    EXPECT_EQ(questions[0].text, "\"" + path("a.txt") + "\"\n not saved. Save Changes?");
    EXPECT_EQ(questions[0].buttons, kelpa::MessageButtons::YesNoCancel);

    // The window refuses to close while a question is cancelled.
    prompter.clear();
    prompter.answer(MessageAnswer::No);
    prompter.answer(MessageAnswer::Cancel);
    EXPECT_FALSE(form->close());
    EXPECT_EQ(openCount(), 1);
    EXPECT_TRUE(form->pageControl()->isVisible());
    EXPECT_EQ(fileBytes(path("b.txt")), "old\r\n");

    prompter.answer(MessageAnswer::No);
    EXPECT_TRUE(form->close());
    EXPECT_EQ(fileBytes(path("c.txt")), "old\r\n");
}

TEST_F(EditorTest, CloseQuestionsShowThePageTheyAskAbout)
{
    start();
    form->ClosePage(0);
    for (const char *n : {"a.txt", "b.txt", "c.txt"}) {
        writeFile(path(n), "old\n");
        const int slot = form->OpenDocument(path(n), true, {});
        if (std::string_view(n) != "b.txt") {
            editor(slot)->SetText(QStringLiteral("new %1").arg(n));
            editor(slot)->SetModified(true);
        }
    }
    // The user is on the unmodified page b.
    form->pageControl()->setCurrentWidget(page(form->pages().findLoaded(path("b.txt"))).Sheet);
    pump();
    for (const char *how : {"Close All", "window close"}) {
        SCOPED_TRACE(how);
        prompter.clear();
        QStringList inView;
        prompter.onShown([&](const kelpa::ScriptedPrompter::Shown &) {
            pump(20);
            for (int slot = 0; slot < 16; ++slot)
                if (!page(slot).isFree() && form->pageControl()->currentWidget() == page(slot).Sheet
                    && page(slot).Sheet->isVisible())
                    inView << page(slot).FileName;
        });
        prompter.answer(MessageAnswer::Cancel);
        if (std::string_view(how) == "Close All")
            actionOf(*form, "Closeall1")->trigger();
        else
            EXPECT_FALSE(form->close());
        prompter.onShown({});
        ASSERT_EQ(prompter.messages().size(), 1u);
        EXPECT_EQ(prompter.messages()[0].text, "\"" + path("a.txt") + "\"\n not saved. Save Changes?");
        EXPECT_EQ(inView, QStringList{path("a.txt")});
    }
    // Asked about c after No for a.
    prompter.clear();
    QStringList inView;
    prompter.onShown([&](const kelpa::ScriptedPrompter::Shown &) {
        pump(20);
        inView << form->pages()[form->CurrentPage()].FileName;
    });
    prompter.answer(MessageAnswer::No);
    prompter.answer(MessageAnswer::Cancel);
    actionOf(*form, "Closeall1")->trigger();
    prompter.onShown({});
    EXPECT_EQ(inView, QStringList({path("a.txt"), path("c.txt")}));
}

TEST_F(EditorTest, CancelledWindowCloseShowsTheCurrentTab)
{
    start();
    const auto open = [&](const QString &name) {
        writeFile(path(name), "text\r\n");
        return form->OpenDocument(path(name), true, {});
    };
    for (int i = 0; i < 12; ++i)
        ASSERT_GE(open(QStringLiteral("document %1.txt").arg(i)), 0);
    for (int slot : {0, 1, 2})
        form->ClosePage(slot);
    // Slots 0 and 1 get the tabs before the last one, doc.txt slot 2 and the last tab: the close
    // removes two tabs before it stops at doc.txt.
    ASSERT_EQ(open("closed first.txt"), 0);
    ASSERT_EQ(open("closed next.txt"), 1);
    const int slot = open("doc.txt");
    ASSERT_EQ(slot, 2);
    editor(slot)->SetText("changed");
    editor(slot)->SetModified(true);
    pump();
    QTabBar *bar = form->pageControl()->tabBar();
    ASSERT_GT(bar->tabRect(0).width() * bar->count(), bar->width()) << "the tabs do not fit, so the bar scrolls";

    prompter.answer(MessageAnswer::Cancel);
    // As under a real box, the window lays itself out while the question is up.
    prompter.onShown([](const kelpa::ScriptedPrompter::Shown &) { pump(20); });
    EXPECT_FALSE(form->close());
    prompter.onShown({});
    pump();
    ASSERT_EQ(form->pageControl()->currentWidget(), page(slot).Sheet);
    const QRect current = bar->tabRect(bar->currentIndex());
    EXPECT_GE(current.left(), 0);
    EXPECT_LE(current.right(), bar->width()) << "the current tab is in view";
}

TEST_F(EditorTest, YesOnAnUntitledPageRunsSaveAsAndStaysOpenWhenCancelled)
{
    start();
    editor(0)->SetText("unsaved");
    editor(0)->SetModified(true);
    prompter.answer(MessageAnswer::Yes); // save changes?
    // no file answer: the Save As dialog is cancelled
    EXPECT_FALSE(form->close());
    EXPECT_EQ(openCount(), 1);
    EXPECT_TRUE(shownMessage("Operation aborted while closing page 0"));

    prompter.clear();
    prompter.answer(MessageAnswer::Yes);
    prompter.answerFile(path("kept.rtf"), 2);
    form->documents().Close1Click();
    EXPECT_EQ(openCount(), 0) << "the saved page closes";
    EXPECT_TRUE(QFile::exists(path("kept.rtf")));
}

TEST_F(EditorTest, YesClosesOnlyWhenTheSaveWorked)
{
    start();
    writeFile(path("a.txt"), "old\r\n");
    const int slot = form->OpenDocument(path("a.txt"), true, {});
    editor(slot)->SetText(QString(4000, QLatin1Char('q')));
    editor(slot)->SetModified(true);
    {
        FileSizeLimit limit(64);
        prompter.answer(MessageAnswer::Yes); // save changes?
        prompter.answer(MessageAnswer::No);  // try again?
        form->documents().Close1Click();
    }
    EXPECT_EQ(openCount(), 1);
    EXPECT_EQ(fileBytes(path("a.txt")), "old\r\n");
    EXPECT_TRUE(shownMessage("Operation aborted while closing page " + QString::number(slot)));
}

TEST_F(EditorTest, SaveAllSavesEveryModifiedPage)
{
    start();
    form->ClosePage(0);
    writeFile(path("a.txt"), "a\r\n");
    writeFile(path("b.txt"), "b\r\n");
    writeFile(path("c.txt"), "c\r\n");
    for (const char *n : {"a.txt", "b.txt", "c.txt"})
        form->OpenDocument(path(n), true, {});
    for (const char *n : {"a.txt", "c.txt"}) {
        const int slot = form->pages().findLoaded(path(n));
        editor(slot)->SetText("changed");
        editor(slot)->SetModified(true);
    }
    const int userPage = form->pages().findLoaded(path("b.txt"));
    form->pageControl()->setCurrentWidget(page(userPage).Sheet);
    pump();
    actionOf(*form, "SaveAll1")->trigger();
    EXPECT_EQ(form->CurrentPage(), userPage) << "the page the user was on stays current";
    EXPECT_EQ(form->pageControl()->currentWidget(), page(userPage).Sheet);
    EXPECT_EQ(fileBytes(path("a.txt")), "changed\r\n");
    EXPECT_EQ(fileBytes(path("b.txt")), "b\r\n");
    EXPECT_EQ(fileBytes(path("c.txt")), "changed\r\n");
    EXPECT_TRUE(prompter.shown().empty());
}

TEST_F(EditorTest, SaveAllGoesOnPastAPageThatIsNotSavedAndSaysWhich)
{
    start();
    form->ClosePage(0);
    for (const char *n : {"a.txt", "b.txt", "c.txt"})
        writeFile(path(n), "old\n");
    for (const char *n : {"a.txt", "b.txt", "c.txt"}) {
        const int slot = form->OpenDocument(path(n), true, {});
        // b's text is too long for the files this process may write.
        editor(slot)->SetText(std::string_view(n) == "b.txt" ? QString(4000, QLatin1Char('b')) : QStringLiteral("new"));
        editor(slot)->SetModified(true);
    }
    form->NewPage(NewPageKind::Plain);
    const int untitled = form->CurrentPage();
    editor(untitled)->SetText("draft");
    editor(untitled)->SetModified(true);
    const QString untitledName = page(untitled).FileName;
    {
        FileSizeLimit limit(64);
        prompter.answer(MessageAnswer::No); // try b again?
        // no file answer: the untitled page's Save As is cancelled
        actionOf(*form, "SaveAll1")->trigger();
    }
    EXPECT_EQ(fileBytes(path("a.txt")), "new\n");
    EXPECT_EQ(fileBytes(path("b.txt")), "old\n");
    EXPECT_EQ(fileBytes(path("c.txt")), "new\n") << "the page after the failed one is saved";
    EXPECT_TRUE(editor(form->pages().findLoaded(path("b.txt")))->Modified());
    EXPECT_TRUE(editor(untitled)->Modified());
    EXPECT_TRUE(shownMessage("These pages were not saved:\n\"" + path("b.txt") + "\"\n\"" + untitledName + "\""));
    EXPECT_EQ(form->CurrentPage(), untitled) << "the page the user was on stays current";
}

TEST_F(EditorTest, LegacyPageTooLongForItsKindIsNotSaved)
{
    start();
    form->ClosePage(0);
    writeDocument(path("old.eco"), "pw", "{\\rtf1 old}", TOBRINEngine::CipherLegacy);
    const QByteArray before = fileBytes(path("old.eco"));
    passwords.answer(QStringLiteral("pw"));
    prompter.answer(MessageAnswer::Yes); // the text is right
    const int slot = form->OpenDocument(path("old.eco"), true, {});
    ASSERT_GE(slot, 0);
    ASSERT_EQ(page(slot).Kind, PageKind::Legacy);
    ASSERT_FALSE(editor(slot)->ReadOnly());
    prompter.clear();
    // A hundred thousand lines of a hundred characters: ten million bytes and more.
    QString line(99, QLatin1Char('a'));
    line += QLatin1Char('\n');
    editor(slot)->SetText(line.repeated(100000));
    editor(slot)->SetModified(true);
    const QString refusal = DocumentCommands::legacyTooLongText(path("old.eco"));

    struct Case {
        const char *name;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"save", [&] { actionOf(*form, "Save1")->trigger(); }},
        {"save all", [&] { actionOf(*form, "SaveAll1")->trigger(); }},
        {"close, yes to saving", [&] {
             prompter.answer(MessageAnswer::Yes);
             actionOf(*form, "Close1")->trigger();
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        prompter.clear();
        c.run();
        pump();
        EXPECT_TRUE(shownMessage(refusal));
        EXPECT_TRUE(refusal.contains(QLatin1String("Save As")));
        EXPECT_EQ(fileBytes(path("old.eco")), before);
        ASSERT_EQ(form->pages().findLoaded(path("old.eco")), slot) << "the page stays open";
        EXPECT_TRUE(editor(slot)->Modified());
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList({"Kelpa.ini", "old.eco"}));
    }
    // Closing without saving leaves the old document as it was.
    prompter.answer(MessageAnswer::No);
    actionOf(*form, "Close1")->trigger();
    EXPECT_LT(form->pages().findLoaded(path("old.eco")), 0);
    EXPECT_EQ(fileBytes(path("old.eco")), before);
}
