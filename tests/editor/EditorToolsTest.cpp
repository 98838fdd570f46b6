// The print hand-off, batches and shell tools of the main window, with recording stand-ins for
// the programs they start.
#include "EditorFixture.h"

#include "editor/ToolsCommands.h"

#include "editor/NotepadReplacement.h"
#include "platform/LastError.h"
#include "platform/Registry.h"
#include "platform/ShellExecute.h"
#include "platform/ProgramFolder.h"
#include "support/FileHelpers.h"
#include "support/documents/Documents.h"
#include "common/QtFixtures.h"

#include <QAction>
#include <cerrno>
#include <QMenu>
#include <QProcess>
#include <QMenuBar>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace kelpa::editor;
using namespace kelpa::editor::test;
using kelpa::MessageAnswer;

namespace {

// An executable script that writes its working folder and then each argument on a line of
// `record`.
void writeRecorder(const QString &script, const QString &record)
{
    writeFile(script, "#!/bin/sh\npwd > \"" + QFile::encodeName(record) + ".tmp\"\n"
                      "for a in \"$@\"; do printf '%s\\n' \"$a\"; done >> \"" + QFile::encodeName(record) + ".tmp\"\n"
                      "/bin/mv \"" + QFile::encodeName(record) + ".tmp\" \"" + QFile::encodeName(record) + "\"\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// The recorded lines once the record is there. A batch runs beside the editor: a record made
// by one redirection is taken once its last line has ended.
QStringList recorded(const QString &record, int ms = 10000)
{
    if (!waitFor([&] { return fileBytes(record).endsWith('\n'); }, ms))
        return {};
    return QString::fromUtf8(fileBytes(record)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

class ToolsTest : public EditorTest {
protected:
    // A batch still running when the window goes outlives it on purpose; a test waits for its
    // batches, so that each ends within its own test.
    void TearDown() override
    {
        if (form)
            waitFor([&] {
                for (QProcess *p : form->tools().findChildren<QProcess *>(QStringLiteral("batchRun"), Qt::FindDirectChildrenOnly))
                    if (p->state() != QProcess::NotRunning)
                        return false;
                return true;
            }, 10000);
        EditorTest::TearDown();
    }
    QString record() const { return path("record.txt"); }
    QStringList batchItems() const
    {
        QStringList names;
        for (QAction *a : form->tools().toolsMenu()->actions()) {
            if (a->isSeparator())
                break;
            names << a->text();
        }
        return names;
    }
    QAction *batchItem(const QString &name) const
    {
        for (QAction *a : form->tools().toolsMenu()->actions())
            if (a->text() == name)
                return a;
        return nullptr;
    }
};

} // namespace

TEST_F(ToolsTest, PrintPassesTheSavedFileOrTheExchangeFileWithTheDatedPassword)
{
    start();
    writeRecorder(path("kpp"), record());
    writeFile(path("saved.txt"), "on disk\r\n");
    struct Case {
        const char *name;
        bool untitled, modify;
        bool throughExchange;
    };
    const Case cases[] = {
        {"saved and unmodified", false, false, false},
        {"saved and modified", false, true, true},
        {"untitled, never modified", true, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(record());
        QFile::remove(path("~t.dat"));
        const int slot = c.untitled ? (form->NewPage(NewPageKind::Plain), form->CurrentPage())
                                    : form->OpenDocument(path("saved.txt"), false, {});
        ASSERT_GE(slot, 0);
        if (c.modify || c.untitled) {
            editor(slot)->SetText("page words");
            editor(slot)->SetModified(c.modify);
        }
        actionOf(*form, "Print1")->trigger();
        const QStringList lines = recorded(record());
        ASSERT_EQ(lines.size(), 2) << lines.join('|').toStdString();
        EXPECT_EQ(lines[0] + '/', folder);
        if (!c.throughExchange) {
            EXPECT_EQ(lines[1], path("saved.txt"));
            EXPECT_FALSE(QFile::exists(path("~t.dat")));
        } else {
            EXPECT_EQ(lines[1], path("~t.dat"));
            struct stat st;
            ASSERT_EQ(::stat(QFile::encodeName(path("~t.dat")).constData(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0600u);
            TOBRINEngine reader;
            const auto read = kelpa::documents::readExchangeFile(reader, folder, kelpa::documents::ExchangePassword::Dated,
                                                                 kelpa::documents::AfterReading::Keep);
            ASSERT_TRUE(read.ok()) << read.error.engineText().toStdString();
            EXPECT_EQ(read.bytes, "page words\r\n");
            // The print module leaves the file; the key alone does not open it.
            const auto undated = kelpa::documents::readExchangeFile(
                reader, folder, kelpa::documents::ExchangePassword::Key, kelpa::documents::AfterReading::Keep);
            EXPECT_NE(undated.bytes, "page words\r\n");
        }
        editor(slot)->SetModified(false);
        form->ClosePage(slot);
    }
}

TEST_F(ToolsTest, AnExchangeFileLeftOpenToOthersIsNarrowedBeforeItIsWritten)
{
    start();
    writeRecorder(path("kpp"), record());
    writeFile(path("~t.dat"), "old");
    QFile::setPermissions(path("~t.dat"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::ReadGroup);
    form->NewPage(NewPageKind::Plain);
    editor(form->CurrentPage())->SetText("x");
    actionOf(*form, "Print1")->trigger();
    ASSERT_FALSE(recorded(record()).isEmpty());
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(path("~t.dat")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// What stands under the exchange file's name is replaced, never written through or waited on;
// where the file cannot be written the box says why.
TEST_F(ToolsTest, PrintWritesTheExchangeFileBesideNoLinkOrPipe)
{
    start();
    writeRecorder(path("kpp"), record());
    writeFile(path("victim.txt"), "the user's own");
    const std::string exchange = QFile::encodeName(path("~t.dat")).toStdString();
    const std::string victim = QFile::encodeName(path("victim.txt")).toStdString();
    for (const char *planted : {"link", "pipe"}) {
        SCOPED_TRACE(planted);
        QFile::remove(record());
        ::unlink(exchange.c_str());
        if (std::string(planted) == "link")
            ASSERT_EQ(::symlink(victim.c_str(), exchange.c_str()), 0);
        else
            ASSERT_EQ(::mkfifo(exchange.c_str(), 0666), 0);
        form->NewPage(NewPageKind::Plain);
        editor(form->CurrentPage())->SetText("page words");
        actionOf(*form, "Print1")->trigger();
        EXPECT_FALSE(recorded(record()).isEmpty());
        EXPECT_EQ(fileBytes(path("victim.txt")), "the user's own");
        struct stat st;
        ASSERT_EQ(::lstat(exchange.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        editor(form->CurrentPage())->SetModified(false);
        form->ClosePage(form->CurrentPage());
    }

    ::unlink(exchange.c_str());
    ASSERT_TRUE(QDir().mkdir(path("~t.dat")));
    QFile::remove(record());
    prompter.clear();
    form->NewPage(NewPageKind::Plain);
    editor(form->CurrentPage())->SetText("page words");
    actionOf(*form, "Print1")->trigger();
    ASSERT_FALSE(prompter.messages().empty());
    EXPECT_EQ(prompter.messages().back().text,
              "Cannot print the document\nEC:FOpen.\n" + QString::fromLocal8Bit(std::strerror(EISDIR)));
    EXPECT_FALSE(QFile::exists(record()));
}

TEST_F(ToolsTest, MissingPrintModuleOffersTheDownloadPage)
{
    start();
    kelpa::test::OpenerSpy opener;
    form->NewPage(NewPageKind::Plain);
    prompter.answer(MessageAnswer::No);
    actionOf(*form, "Print1")->trigger();
    EXPECT_TRUE(shownMessage("Print module not found.\nDo you want to download it from Internet?"));
    EXPECT_FALSE(shownMessageStarting("Cannot launch")); // the launch reports nothing itself
    EXPECT_TRUE(opener.opened.isEmpty());
    // Yes opens the README beside the program folder, an address that exists; this program
    // folder has none, which is said with the place it was looked for.
    prompter.answer(MessageAnswer::Yes);
    actionOf(*form, "Print1")->trigger();
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_TRUE(shownMessage("File \"README.md\" not found in the folder \""
                             + QDir::cleanPath(folder + "../share/doc/kelpa") + "\""));
}

TEST_F(ToolsTest, SpellCheckOfAnEmptyPageOrWithoutTheCheckerProgram)
{
    start();
    kelpa::test::OpenerSpy opener;
    form->NewPage(NewPageKind::Plain);
    actionOf(*form, "Checkspelling1")->trigger();
    ASSERT_FALSE(prompter.messages().empty());
    EXPECT_EQ(prompter.messages().back().text, "Nothing to check");
    EXPECT_EQ(prompter.messages().back().caption, "Spell Checker");

    editor(form->CurrentPage())->SetText("some words");
    prompter.clear();
    prompter.answer(MessageAnswer::Ok);
    prompter.answer(MessageAnswer::No);
    actionOf(*form, "Checkspelling1")->trigger();
    // After a short look for a checker already running.
    ASSERT_TRUE(waitFor([&] { return prompter.messages().size() >= 2; }));
    const auto shown = prompter.messages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].caption, "Cannot launch the file");
    EXPECT_EQ(shown[1].text, "Spell checker module not found.\nDo you want to download it from Internet?");
    EXPECT_FALSE(QFile::exists(path("~t.dat")));
}

// A program folder that others may write keeps none of the user's files: batches another user
// planted there are not offered, and what the editor writes lands in the user's own folders.
TEST_F(ToolsTest, AProgramFolderOthersCanWriteKeepsNothingOfTheUsers)
{
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
    const QString kept = kelpa::platform::userFolderFor(folder, kelpa::platform::FolderKind::KeptFiles);
    const QString settings = kelpa::platform::userFolderFor(folder, kelpa::platform::FolderKind::Settings);
    ASSERT_NE(kept, folder);
    ASSERT_NE(settings, folder);
    for (const QString &f : {settings, path("Batches"), kept + "Batches"})
        ASSERT_TRUE(QDir().mkpath(f));
    writeFile(settings + "Kelpa.ini", "Maximized=N\r\n");
    writeFile(path("Batches/Convert to PDF.bat"), "touch planted-ran\n");
    writeFile(path("multi.dat"), "");
    writeFile(kept + "Batches/mine.bat", "");
    start(false);
    form->tools().Tools1Click();
    EXPECT_EQ(batchItems(), QStringList{"mine"});
    EXPECT_FALSE(actionOf(*form, "Allowmultipleinstances1")->isChecked()) << "another user's marker";
    actionOf(*form, "Allowmultipleinstances1")->trigger();
    EXPECT_TRUE(QFile::exists(kept + "multi.dat"));
    form->NewPage(NewPageKind::Plain);
    editor(form->CurrentPage())->SetText("page words");
    actionOf(*form, "Print1")->trigger();
    EXPECT_TRUE(QFile::exists(kept + "~t.dat"));
    dialog.reset();
    form.reset();
    QStringList left = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    left.sort();
    EXPECT_EQ(left, (QStringList{"Batches", "multi.dat"})) << left.join('|').toStdString();
    EXPECT_EQ(QDir(path("Batches")).entryList(QDir::Files), QStringList{"Convert to PDF.bat"});
}

TEST_F(ToolsTest, CommandsNeedAnOpenPage)
{
    start();
    form->documents().Closeall1Click();
    ASSERT_EQ(openCount(), 0);
    for (const char *name : {"Print1", "Checkspelling1", "Checkwordatcorsor1", "Checkword1", "Viewfilefolder2"})
        EXPECT_FALSE(actionOf(*form, name)->isEnabled()) << name;
    form->NewPage(NewPageKind::Plain);
    for (const char *name : {"Print1", "Checkspelling1", "Checkwordatcorsor1", "Checkword1", "Viewfilefolder2"})
        EXPECT_TRUE(actionOf(*form, name)->isEnabled()) << name;
}

TEST_F(ToolsTest, ToolsMenuListsTheBatchesInNameOrderAboveTheFixedItems)
{
    start();
    writeFile(path("Batches/b.bat"), "");
    writeFile(path("Batches/a.bat"), "");
    writeFile(path("Batches/notes.txt"), "");
    form->tools().Tools1Click();
    EXPECT_EQ(batchItems(), (QStringList{"a", "b"}));
    // Built anew each time the menu opens.
    QFile::remove(path("Batches/a.bat"));
    writeFile(path("Batches/c&d.bat"), "");
    form->tools().Tools1Click();
    EXPECT_EQ(batchItems(), (QStringList{"b", "c&&d"}));
    EXPECT_TRUE(batchItem("b")->isEnabled());
    form->documents().Closeall1Click();
    form->tools().Tools1Click();
    EXPECT_FALSE(batchItem("b")->isEnabled());
    EXPECT_NE(form->findChild<QAction *>("Specialcharacters1"), nullptr);
}

TEST_F(ToolsTest, ABatchRunsOnTheSavedDocumentInTheBatchFolder)
{
    start();
    // Batches run beside the editor: the record appears whole, by a rename.
    writeFile(path("Batches/rec.bat"), "{ pwd; printf '%s\\n' \"$0\" \"$1\" \"$#\"; } > \"$1.part\"\n"
                                       "mv \"$1.part\" \"$1.out\"\n");
    ASSERT_TRUE(QDir(folder).mkdir("my docs"));
    const QString doc = path("my docs/it's a \"note\".txt");
    writeFile(doc, "text\r\n");
    form->OpenDocument(doc, false, {});
    form->tools().Tools1Click();
    batchItem("rec")->trigger();
    const QStringList lines = recorded(doc + ".out");
    ASSERT_EQ(lines.size(), 4) << lines.join('|').toStdString();
    EXPECT_EQ(lines[0], path("Batches"));
    EXPECT_EQ(lines[1], path("Batches/rec.bat"));
    EXPECT_EQ(lines[2], doc);
    EXPECT_EQ(lines[3], "1");
}

// A batch that cannot be read is named with the system's reason, not whatever error came last.
TEST_F(ToolsTest, ABatchThatCannotBeReadIsReportedWithItsReason)
{
    start();
    writeFile(path("doc.txt"), "text\r\n");
    form->OpenDocument(path("doc.txt"), false, {});
    ASSERT_TRUE(QDir(folder).mkpath("Batches/folder.bat"));
    const struct {
        const char *file;
        int error;
    } cases[] = {{"folder.bat", EISDIR}, {"gone.bat", ENOENT}};
    for (const auto &c : cases) {
        prompter.clear();
        form->tools().runbatch1Click(QString::fromUtf8(c.file));
        ASSERT_EQ(prompter.shown().size(), 1u) << c.file;
        EXPECT_EQ(prompter.shown().front().text, QStringLiteral("Cannot read the batch \"") + path("Batches/") + c.file
                                                     + QStringLiteral("\".\n") + kelpa::platform::errorText(c.error))
            << c.file;
    }
}

TEST_F(ToolsTest, AModifiedOrUntitledPageMustBeSavedBeforeABatchRuns)
{
    start();
    writeFile(path("Batches/rec.bat"), "printf '%s\\n' \"$1\" > \"" + QFile::encodeName(record()) + "\"\n");
    writeFile(path("doc.txt"), "text\r\n");
    const int slot = form->OpenDocument(path("doc.txt"), false, {});
    editor(slot)->SetText("changed");
    editor(slot)->SetModified(true);
    form->tools().Tools1Click();

    prompter.answer(MessageAnswer::No);
    batchItem("rec")->trigger();
    EXPECT_TRUE(shownMessage("You must save this file, before to continue. Do you confirm?"));

    // Yes, then Save As cancelled: still modified, so nothing runs.
    prompter.answer(MessageAnswer::Yes);
    prompter.answerFile(kelpa::FileDialogResult{});
    batchItem("rec")->trigger();
    pump(500);
    EXPECT_FALSE(QFile::exists(record()));

    // Yes, then saved under a new name: the batch gets that name.
    prompter.answer(MessageAnswer::Yes);
    prompter.answerFile(path("saved.txt"), 3); // plain text
    batchItem("rec")->trigger();
    const QStringList lines = recorded(record());
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0], path("saved.txt"));
}

TEST_F(ToolsTest, WithTheBatchWindowOnTheBatchRunsInTheDesktopsTerminal)
{
    // A terminal of our own on the search path records how it was asked to run the batch.
    ASSERT_TRUE(QDir(folder).mkdir("bin"));
    writeRecorder(path("bin/x-terminal-emulator"), record());
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(path("bin")) + ':' + oldPath);
    writeFile(path("Kelpa.ini"), "Maximized=N\r\nBatchscope=Y\r\n");
    start();
    EXPECT_TRUE(actionOf(*form, "Batchwindow1")->isChecked());
    writeFile(path("Batches/zip.bat"), "");
    writeFile(path("doc.txt"), "text\r\n");
    form->OpenDocument(path("doc.txt"), false, {});
    form->tools().Tools1Click();
    batchItem("zip")->trigger();
    const QStringList lines = recorded(record());
    qputenv("PATH", oldPath);
    EXPECT_EQ(lines, (QStringList{path("Batches"), "-e", "/bin/sh", path("Batches/zip.bat"), path("doc.txt")}));
}

TEST_F(ToolsTest, ListedBatchesRunWhateverTheirSuffixAndLineEnds)
{
    // Each batch writes its working folder and its argument into "<document>.<tag>".
    struct Case {
        const char *file, *item, *tag;
        QByteArray lineEnd;
    } cases[] = {
        {"Upper.BAT", "Upper", "upper", "\n"},
        {"dos.bat", "dos", "dos", "\r\n"},
        {"Mixed.Bat", "Mixed", "mixed", "\r\n"},
    };
    start();
    writeFile(path("doc.txt"), "text\r\n");
    form->OpenDocument(path("doc.txt"), false, {});
    for (const Case &c : cases) {
        // The record appears whole, by a rename: batches run beside the editor.
        const QByteArray target = "\"$1." + QByteArray(c.tag) + "\"";
        writeFile(path(QStringLiteral("Batches/") + c.file),
                  "pwd > \"$1.part\"" + c.lineEnd + "echo \"$1\" >> \"$1.part\"" + c.lineEnd + "mv \"$1.part\" " + target
                      + c.lineEnd);
        form->tools().Tools1Click();
        ASSERT_NE(batchItem(c.item), nullptr) << c.file;
        batchItem(c.item)->trigger();
        const QString out = path(QStringLiteral("doc.txt.") + c.tag);
        // Redirections name the file itself, not one whose name ends in a carriage return.
        const QStringList lines = recorded(out);
        EXPECT_EQ(lines, (QStringList{path("Batches"), path("doc.txt")})) << c.file;
        EXPECT_FALSE(QFile::exists(out + "\r")) << c.file;
    }
    pump(200);
    EXPECT_TRUE(prompter.messages().empty()) << "no failure reported";
}

TEST_F(ToolsTest, AHiddenBatchThatFailsIsReportedWithItsStatusAndErrorOutput)
{
    start();
    writeFile(path("doc.txt"), "text\r\n");
    form->OpenDocument(path("doc.txt"), false, {});
    QByteArray script = "for i in 1 2 3 4 5 6 7 8 9 10 11 12; do echo \"line $i\" >&2; done\nexit 3\n";
    writeFile(path("Batches/fails.bat"), script);
    writeFile(path("Batches/nothing.bat"), "nosuchcommand-xyz\n");
    form->tools().Tools1Click();
    batchItem("fails")->trigger();
    ASSERT_TRUE(waitFor([&] { return !prompter.messages().empty(); }, 10000));
    const QString text = prompter.messages().back().text;
    EXPECT_TRUE(text.contains("fails.bat")) << text.toStdString();
    EXPECT_TRUE(text.contains("status 3")) << text.toStdString();
    EXPECT_TRUE(text.contains("line 12")) << text.toStdString();
    EXPECT_TRUE(text.contains("line 3\n")) << "the last ten lines";
    EXPECT_FALSE(text.contains("line 2\n")) << text.toStdString();
    EXPECT_EQ(prompter.messages().back().icon, kelpa::MessageIcon::Error);

    prompter.clear();
    batchItem("nothing")->trigger();
    ASSERT_TRUE(waitFor([&] { return !prompter.messages().empty(); }, 10000));
    EXPECT_TRUE(prompter.messages().back().text.contains("nosuchcommand-xyz")) << prompter.messages().back().text.toStdString();
    EXPECT_TRUE(prompter.messages().back().text.contains("status 127"));
}

TEST_F(ToolsTest, BatchWindowTriesTheUsersTerminalThenTheCommonOnesThenSaysWhatToInstall)
{
    ASSERT_TRUE(QDir(folder).mkdir("bin"));
    const QByteArray oldPath = qgetenv("PATH");
    const QByteArray oldTerminal = qgetenv("TERMINAL");
    auto restore = qScopeGuard([&] {
        qputenv("PATH", oldPath);
        if (oldTerminal.isNull())
            qunsetenv("TERMINAL");
        else
            qputenv("TERMINAL", oldTerminal);
    });
    // Only our own folder is searched: no terminal at first.
    qputenv("PATH", QFile::encodeName(path("bin")));
    qunsetenv("TERMINAL");
    writeFile(path("Kelpa.ini"), "Maximized=N\r\nBatchscope=Y\r\n");
    start();
    writeFile(path("Batches/zip.bat"), "");
    writeFile(path("my doc;$x.txt"), "text\r\n");
    form->OpenDocument(path("my doc;$x.txt"), false, {});
    form->tools().Tools1Click();
    batchItem("zip")->trigger();
    ASSERT_FALSE(prompter.messages().empty());
    EXPECT_TRUE(prompter.messages().back().text.contains("xterm")) << prompter.messages().back().text.toStdString();
    EXPECT_TRUE(prompter.messages().back().text.contains("TERMINAL"));

    // A common terminal with its own form of a command and its arguments.
    writeRecorder(path("bin/gnome-terminal"), record());
    batchItem("zip")->trigger();
    EXPECT_EQ(recorded(record()), (QStringList{path("Batches"), "--", "/bin/sh", path("Batches/zip.bat"), path("my doc;$x.txt")}));
    QFile::remove(record());

    // The user's own terminal comes first.
    writeRecorder(path("bin/myterm"), record());
    qputenv("TERMINAL", "myterm");
    batchItem("zip")->trigger();
    EXPECT_EQ(recorded(record()), (QStringList{path("Batches"), "-e", "/bin/sh", path("Batches/zip.bat"), path("my doc;$x.txt")}));
}

TEST_F(ToolsTest, ANewBatchIsAShellScriptSavedWithLineFeedsInTheBatchFolder)
{
    start();
    form->NewPage(NewPageKind::Batch);
    TRichEdit *e = editor(form->pages().CurrentPage);
    EXPECT_TRUE(e->Text().startsWith("# ")) << e->Text().toStdString();
    e->SetText("# a batch\necho \"$1\" > \"$1.out\"");
    prompter.answerFile(path("Batches/mine.bat"), 4);
    form->documents().Saveas1Click();
    ASSERT_EQ(prompter.last().kind, kelpa::ScriptedPrompter::Shown::Kind::File);
    EXPECT_EQ(prompter.last().folder, path("Batches"));
    const QByteArray saved = fileBytes(path("Batches/mine.bat"));
    EXPECT_FALSE(saved.contains('\r')) << saved.constData();
    EXPECT_TRUE(saved.startsWith("# a batch\necho")) << saved.constData();
}

TEST_F(ToolsTest, BatchWindowSettingIsWrittenBack)
{
    start();
    actionOf(*form, "Batchwindow1")->trigger();
    form->close();
    EXPECT_TRUE(fileBytes(path("Kelpa.ini")).contains("Batchscope=Y"));
}

TEST_F(ToolsTest, DesktopShortcutIsMadeOnceAndAnExistingOneKept)
{
    start();
    const QString link = kelpa::ShortcutPath("Kelpa", kelpa::CSIDL_DESKTOPDIRECTORY);
    ASSERT_FALSE(QFile::exists(link));
    form->findChild<QAction *>("Createshortcutondesktop1")->trigger();
    ASSERT_TRUE(QFile::exists(link));
    EXPECT_EQ(kelpa::platform::launcherTarget(link), kelpa::platform::programFilePath());
    writeFile(link, "the user's own");
    form->findChild<QAction *>("Createshortcutondesktop1")->trigger();
    EXPECT_EQ(fileBytes(link), "the user's own");
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(ToolsTest, AssociatingFileTypesRegistersTheEditor)
{
    start();
    // ".rtf" already names a type: the editor goes under it.
    {
        kelpa::platform::RegistryKey key(kelpa::platform::RegistryRoot::ClassesRoot);
        ASSERT_TRUE(key.openKey(".rtf", true));
        ASSERT_TRUE(key.writeString({}, "Word.RTF.8"));
    }
    struct Case {
        const char *item, *ext, *description, *type;
    };
    const Case cases[] = {
        {"TXTfiles1", "TXT", "Plain text file", "TXT_auto_file"},
        {"RTFfiles1", "RTF", "Rich text file", "Word.RTF.8"},
        {"ECOfiles1", "ECO", "Encrypted and COmpressed file", "ECO_auto_file"},
    };
    const QString exe = kelpa::platform::programFilePath();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.item);
        prompter.clear();
        prompter.answer(MessageAnswer::No);
        form->findChild<QAction *>(c.item)->trigger();
        EXPECT_EQ(prompter.messages().at(0).text, QString("%1 (%2): do you want to associate this kind of file to Kelpa?")
                                                      .arg(c.description, c.ext));
        kelpa::platform::RegistryKey key(kelpa::platform::RegistryRoot::ClassesRoot);
        EXPECT_FALSE(key.keyExists(QString(c.type) + "\\shell\\open\\command"));

        prompter.answer(MessageAnswer::Yes);
        form->findChild<QAction *>(c.item)->trigger();
        ASSERT_TRUE(key.openKey(QString(c.type) + "\\shell\\open\\command", false));
        EXPECT_EQ(key.readString({}).value_or(""), exe + " %1");
        key.closeKey();
        ASSERT_TRUE(key.openKey(QString(".") + c.ext, false));
        EXPECT_EQ(key.readString({}).value_or(""), c.type);
        EXPECT_EQ(form->statusPanel(3), QString(c.ext) + " Association completed.");
    }
    if (QStandardPaths::findExecutable("xdg-mime").isEmpty())
        return;
    QProcess query;
    query.start("xdg-mime", {"query", "default", "text/plain"});
    ASSERT_TRUE(query.waitForFinished(10000));
    EXPECT_EQ(QString::fromUtf8(query.readAllStandardOutput()).trimmed(),
              "kelpa-" + QFileInfo(exe).completeBaseName().toLower() + ".desktop");
}

TEST_F(ToolsTest, AnAssociationThatCannotBeStoredNamesTheSystemError)
{
    start();
    const QString store = kelpa::platform::registryFolder() + "/HKEY_CLASSES_ROOT.json";
    // Stores that even the superuser cannot write: the later, successful desktop writes must
    // not change the error shown.
    struct Case {
        const char *what;
        std::function<void()> block;
        int error;
    };
    const Case cases[] = {
        {"the store is a folder", [&] { ASSERT_TRUE(QDir().mkpath(store)); }, EISDIR},
        {"the store's folder is a file",
         [&] {
             QDir().mkpath(QFileInfo(kelpa::platform::registryFolder()).absolutePath());
             writeFile(kelpa::platform::registryFolder(), "not a folder");
         },
         ENOTDIR},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QDir(kelpa::platform::registryFolder()).removeRecursively();
        c.block();
        const auto unblock = qScopeGuard([&] {
            QFile::remove(kelpa::platform::registryFolder());
            QDir(kelpa::platform::registryFolder()).removeRecursively();
        });
        form->setPanel(3, QString());
        prompter.clear();
        prompter.answer(MessageAnswer::Yes);
        actionOf(*form, "TXTfiles1")->trigger();
        ASSERT_EQ(prompter.messages().size(), 2u);
        EXPECT_EQ(prompter.messages().back().text.toStdString(),
                  ("Cannot associate the TXT files.\n" + kelpa::platform::errorText(c.error)).toStdString());
        EXPECT_EQ(form->statusPanel(3), QString());
    }
}

TEST_F(ToolsTest, SpecialCharactersWithoutACharacterMap)
{
    for (const char *tool : {"gucharmap", "kcharselect", "gnome-characters"})
        if (!QStandardPaths::findExecutable(tool).isEmpty())
            GTEST_SKIP() << tool << " is installed";
    start();
    prompter.answer(MessageAnswer::Ok);
    form->findChild<QAction *>("Specialcharacters1")->trigger();
    const auto shown = prompter.messages();
    ASSERT_EQ(shown.size(), 2u);
    // Both name the programs that would serve, not a Windows file.
    EXPECT_EQ(shown[0].caption, "Cannot launch the file");
    EXPECT_EQ(shown[0].text, "File \"gucharmap\", \"kcharselect\" or \"gnome-characters\" not found in the folders of PATH");
    EXPECT_EQ(shown[1].text, "No character map found: install gucharmap, kcharselect or gnome-characters");
}

TEST_F(ToolsTest, ReplaceNotepadAndItsUndoFromThePreferencesMenu)
{
    start();
    QAction *item = actionOf(*form, "ReplNotepad1");
    ASSERT_NE(item, nullptr);
    const QByteArray before = "[Default Applications]\ntext/plain=gedit.desktop\n";
    QDir().mkpath(QFileInfo(mimeAppsListFile()).absolutePath());
    writeFile(mimeAppsListFile(), before);

    // Without the caller beside the editor nothing changes.
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_TRUE(shownMessageStarting("\"" + path("caller") + "\" not found"));
    EXPECT_EQ(fileBytes(mimeAppsListFile()), before);

    writeRecorder(path("caller"), record());
    item->trigger();
    EXPECT_TRUE(item->isChecked());
    EXPECT_TRUE(QFile::exists(path("Notepad.bak.exe")));
    EXPECT_TRUE(QFile::exists(kelpa::ShortcutPath("Kelpa", kelpa::CSIDL_DESKTOPDIRECTORY)));
    EXPECT_TRUE(fileBytes(mimeAppsListFile()).contains("text/plain=kelpa-caller.desktop"));

    // The check mark follows the backup when the menu opens.
    item->setChecked(false);
    form->tools().Preferences1Click();
    EXPECT_TRUE(item->isChecked());

    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(QFile::exists(path("Notepad.bak.exe")));
    EXPECT_EQ(fileBytes(mimeAppsListFile()), before);
}

TEST_F(ToolsTest, ReplaceNotepadNamesTheErrorOfTheWriteThatFailed)
{
    start();
    writeRecorder(path("caller"), record());
    // The folder of desktop entries is a file: the caller's entry cannot be written, and the
    // steps that put everything back must not change the error shown.
    const QString applications =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/applications";
    QDir(applications).removeRecursively();
    QDir().mkpath(QFileInfo(applications).absolutePath());
    writeFile(applications, "not a folder");
    const auto folderBack = qScopeGuard([&] { QFile::remove(applications); });
    prompter.clear();
    actionOf(*form, "ReplNotepad1")->trigger();
    EXPECT_FALSE(actionOf(*form, "ReplNotepad1")->isChecked());
    EXPECT_FALSE(QFile::exists(path("Notepad.bak.exe")));
    ASSERT_FALSE(prompter.messages().empty());
    EXPECT_EQ(prompter.messages().back().text.toStdString(),
              ("Cannot write the file " + mimeAppsListFile() + ".\n" + kelpa::platform::errorText(ENOTDIR)).toStdString());
}

TEST_F(ToolsTest, ThePageMenuNamesTheWordItWouldCheck)
{
    start();
    form->NewPage(NewPageKind::Plain);
    editor(form->CurrentPage())->SetText("one two three");
    editor(form->CurrentPage())->SetSelStart(5);
    auto *menu = form->findChild<QMenu *>("PopupMenu1");
    ASSERT_NE(menu, nullptr);
    QAction *item = actionOf(*form, "Checkword1");
    EXPECT_TRUE(menu->actions().contains(item));
    emit menu->aboutToShow();
    EXPECT_EQ(item->text(), "Chec&k \"two\"");
    EXPECT_TRUE(item->isEnabled());
    // Below the last line there is no word to check; the shortcut works again afterwards.
    editor(form->CurrentPage())->SetText("one\n");
    editor(form->CurrentPage())->SetSelStart(4);
    emit menu->aboutToShow();
    EXPECT_EQ(item->text(), "Chec&k \"\"");
    EXPECT_FALSE(item->isEnabled());
    emit menu->aboutToHide();
    EXPECT_TRUE(item->isEnabled());
}

TEST_F(ToolsTest, ThePageMenuViewsTheFolderOfATitledPage)
{
    std::vector<QUrl> opened;
    kelpa::platform::setUrlOpener([&](const QUrl &url) {
        opened.push_back(url);
        return true;
    });
    auto restore = qScopeGuard([] { kelpa::platform::setUrlOpener({}); });
    start();
    auto *menu = form->findChild<QMenu *>("PopupMenu1");
    QAction *item = actionOf(*form, "Viewfilefolder1");
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(menu->actions().contains(item));
    emit menu->aboutToShow();
    EXPECT_FALSE(item->isEnabled()) << "an untitled page has no folder";
    ASSERT_TRUE(QDir(folder).mkdir("docs"));
    writeFile(path("docs/a.txt"), "text\r\n");
    form->OpenDocument(path("docs/a.txt"), false, {});
    emit menu->aboutToShow();
    EXPECT_TRUE(item->isEnabled());
    item->trigger();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(QDir::cleanPath(opened[0].toLocalFile()), QDir::cleanPath(path("docs")));
}
