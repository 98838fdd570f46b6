// What Save does when the file is no longer the one the page was read from, when the name is no
// file to write, and when an earlier save did not finish.
#include "EditorFixture.h"

#include "platform/safefile/SafeFile.h"

#include <QAction>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace kelpa::editor;
using namespace kelpa::editor::test;
using kelpa::MessageAnswer;

namespace {

namespace fs = std::filesystem;

QByteArray nameOf(const QString &path) { return QFile::encodeName(path); }

// Everything shown, for a failure's report.
std::string joined(const std::vector<QString> &texts)
{
    std::string out;
    for (const QString &text : texts)
        out += "\n[" + text.toStdString() + "]";
    return out;
}

} // namespace

TEST_F(EditorTest, SaveAsksWhenTheFileChangedOnDiskSinceItWasOpened)
{
    start();
    struct Case {
        const char *name;
        std::function<void(const QString &)> change;
        QString question; // what follows the quoted name
        QByteArray afterNo; // the file's content when the user answers No; empty: no file
    };
    const Case cases[] = {
        {"written by another program",
         [](const QString &file) {
             // Another size, so that even a coarse clock tells it.
             writeFile(file, "another program's text\r\n");
         },
         " has been changed by another program since it was opened.\nSave this page over it?",
         "another program's text\r\n"},
        {"replaced by another file",
         [this](const QString &file) {
             writeFile(path("other"), "a new file\r\n");
             ASSERT_EQ(std::rename(nameOf(path("other")).constData(), nameOf(file).constData()), 0);
         },
         " is no longer the file that was opened: another file or a link has taken its name.\nSave this page to it?",
         "a new file\r\n"},
        {"replaced by a link",
         [this](const QString &file) {
             writeFile(path("linked"), "linked text\r\n");
             ASSERT_EQ(::unlink(nameOf(file).constData()), 0);
             ASSERT_EQ(::symlink(nameOf(path("linked")).constData(), nameOf(file).constData()), 0);
         },
         " is no longer the file that was opened: another file or a link has taken its name.\nSave this page to it?",
         "linked text\r\n"},
        {"deleted", [](const QString &file) { ASSERT_EQ(::unlink(nameOf(file).constData()), 0); },
         " has been deleted or moved since it was opened.\nSave this page there again?", QByteArray()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path("doc.txt");
        writeFile(file, "opened\r\n");
        const int slot = form->OpenDocument(file, true, {});
        ASSERT_GE(slot, 0);
        editor(slot)->SetText("the page");
        editor(slot)->SetModified(true);
        c.change(file);
        const QString question = "\"" + file + "\"" + c.question;

        prompter.answer(MessageAnswer::No);
        actionOf(*form, "Save1")->trigger();
        EXPECT_TRUE(shownMessage(question)) << joined(messageTexts());
        EXPECT_EQ(fileBytes(file), c.afterNo);
        EXPECT_EQ(QFileInfo::exists(file), !c.afterNo.isEmpty());
        EXPECT_TRUE(editor(slot)->Modified());

        prompter.answer(MessageAnswer::Yes);
        actionOf(*form, "Save1")->trigger();
        EXPECT_EQ(fileBytes(file), "the page\r\n");
        EXPECT_FALSE(editor(slot)->Modified());

        // Written by the page itself: the next save asks nothing.
        const auto asked = prompter.messages().size();
        editor(slot)->SetText("again");
        editor(slot)->SetModified(true);
        actionOf(*form, "Save1")->trigger();
        EXPECT_EQ(fileBytes(file), "again\r\n");
        EXPECT_EQ(prompter.messages().size(), asked);
        editor(slot)->SetModified(false);
        form->ClosePage(slot);
        ::unlink(nameOf(file).constData());
        ::unlink(nameOf(path("linked")).constData());
    }
}

TEST_F(EditorTest, EncryptedPageAsksWhenItsDocumentWasReplaced)
{
    start();
    // Long enough to be compressed, so that the password is known to be right.
    writeDocument(path("doc.eco"), "pw", QByteArray("opened document ").repeated(40));
    passwords.answer(QStringLiteral("pw"));
    const int slot = form->OpenDocument(path("doc.eco"), true, {});
    ASSERT_GE(slot, 0);
    editor(slot)->SetText("the page");
    editor(slot)->SetModified(true);
    writeDocument(path("other.eco"), "pw", QByteArray("another document ").repeated(40));
    ASSERT_EQ(std::rename(nameOf(path("other.eco")).constData(), nameOf(path("doc.eco")).constData()), 0);
    const QByteArray replaced = fileBytes(path("doc.eco"));
    prompter.answer(MessageAnswer::No);
    actionOf(*form, "Save1")->trigger();
    EXPECT_TRUE(shownMessageStarting("\"" + path("doc.eco") + "\" is no longer the file that was opened")) << joined(messageTexts());
    EXPECT_EQ(fileBytes(path("doc.eco")), replaced);
    EXPECT_TRUE(editor(slot)->Modified());
}

TEST_F(EditorTest, NamesThatAreNoFileToWriteAreRefusedWithAClearMessage)
{
    start();
    const QString shared = path("shared");
    ASSERT_TRUE(QDir().mkpath(shared));
    ::chmod(nameOf(shared).constData(), 01777);
    const QString victim = path("victim.txt");
    writeFile(victim, "the user's own file\n");
    const QString file = shared + "/notes.txt";
    writeFile(file, "the other user's notes\n");
    const int slot = form->OpenDocument(file, true, {});
    ASSERT_GE(slot, 0);
    editor(slot)->SetText("the document");
    editor(slot)->SetModified(true);
    // Another user puts a link to the user's file in its place.
    ASSERT_EQ(::unlink(nameOf(file).constData()), 0);
    ASSERT_EQ(::symlink(nameOf(victim).constData(), nameOf(file).constData()), 0);
    if (::lchown(nameOf(file).constData(), 65534, 65534) != 0)
        GTEST_SKIP() << "links cannot be given to another user here";
    prompter.answer(MessageAnswer::Yes); // whatever may be asked: the save must still not go through
    actionOf(*form, "Save1")->trigger();
    EXPECT_TRUE(shownMessageStarting("\"" + file + "\" is a link in a folder that other users may write")) << joined(messageTexts());
    EXPECT_EQ(fileBytes(victim), "the user's own file\n");
    EXPECT_TRUE(fs::is_symlink(nameOf(file).toStdString()));
    EXPECT_TRUE(editor(slot)->Modified());

    // A pipe with the page's name: neither opened nor waited on.
    const QString pipe = path("pipe.txt");
    ASSERT_EQ(::mkfifo(nameOf(pipe).constData(), 0644), 0);
    EXPECT_EQ(form->OpenDocument(pipe, true, {}), -1);
    EXPECT_TRUE(shownMessage("\"" + pipe + "\" is not a file but a pipe, a device or a socket, and cannot be opened.")) << joined(messageTexts());
    const QString pipeEco = path("pipe.eco");
    ASSERT_EQ(::mkfifo(nameOf(pipeEco).constData(), 0644), 0);
    passwords.answer(QStringLiteral("pw"));
    EXPECT_EQ(form->OpenDocument(pipeEco, true, {}), -1);
    EXPECT_TRUE(shownMessage("\"" + pipeEco + "\" is not a file but a pipe, a device or a socket, and cannot be opened.")) << joined(messageTexts());

    writeFile(path("page.txt"), "x\r\n");
    const int other = form->OpenDocument(path("page.txt"), true, {});
    ASSERT_GE(other, 0);
    ASSERT_EQ(::unlink(nameOf(path("page.txt")).constData()), 0);
    ASSERT_EQ(::mkfifo(nameOf(path("page.txt")).constData(), 0644), 0);
    editor(other)->SetModified(true);
    prompter.answer(MessageAnswer::Yes);
    actionOf(*form, "Save1")->trigger();
    EXPECT_TRUE(shownMessageStarting("\"" + path("page.txt") + "\" is not a file but a pipe, a device or a socket: nothing was saved.")) << joined(messageTexts());
    EXPECT_TRUE(editor(other)->Modified());
}

TEST_F(EditorTest, ASaveThatDidNotFinishIsToldAtTheNextStartAndSave)
{
    // A copy of old content left in the copy folder by a writer that is gone.
    const std::string copies = kelpa::SafeFileWriter::copyFolder();
    ASSERT_FALSE(copies.empty());
    fs::create_directories(copies);
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string stem = copies + "/doc.txt.~" + std::to_string(gone) + ".0badf00d";
    kelpa::test::writeText(stem + ".copy", "old content");
    kelpa::test::writeText(stem + ".path", "/home/someone/doc.txt");
    const QString told = "A save that did not finish kept a copy of the old content of \"/home/someone/doc.txt\" in\n\""
                         + QString::fromStdString(stem) + ".copy\"\nThe file itself may be incomplete. Delete the copy "
                         "once it is no longer needed.";

    start();
    EXPECT_TRUE(shownMessage(told)) << joined(messageTexts());
    // Said once a run; the copy stays for the user.
    writeFile(path("a.txt"), "a\r\n");
    const int slot = form->OpenDocument(path("a.txt"), true, {});
    editor(slot)->SetModified(true);
    const auto before = prompter.messages().size();
    actionOf(*form, "Save1")->trigger();
    EXPECT_EQ(prompter.messages().size(), before);
    EXPECT_TRUE(fs::exists(stem + ".copy"));

    // One left during the run is told by the next save.
    const std::string second = copies + "/b.txt.~" + std::to_string(gone) + ".0badf00e";
    kelpa::test::writeText(second + ".copy", "b");
    kelpa::test::writeText(second + ".path", "/b.txt");
    editor(slot)->SetModified(true);
    actionOf(*form, "Save1")->trigger();
    EXPECT_TRUE(shownMessageStarting("A save that did not finish kept a copy of the old content of \"/b.txt\" in\n\""
                                     + QString::fromStdString(second) + ".copy\"")) << joined(messageTexts());
    for (const std::string &name : {stem, second})
        for (const char *ending : {".copy", ".path"})
            fs::remove(name + ending);
}

TEST_F(EditorTest, SavingAFileWithTwoLinksKeepsBothNamesOnOneFile)
{
    start();
    writeFile(path("doc.txt"), "old\r\n");
    ASSERT_EQ(::link(nameOf(path("doc.txt")).constData(), nameOf(path("second.txt")).constData()), 0);
    ::chmod(nameOf(path("doc.txt")).constData(), 0640);
    struct stat before {};
    ASSERT_EQ(::stat(nameOf(path("doc.txt")).constData(), &before), 0);
    const int slot = form->OpenDocument(path("doc.txt"), true, {});
    editor(slot)->SetText("new");
    editor(slot)->SetModified(true);
    actionOf(*form, "Save1")->trigger();
    EXPECT_EQ(fileBytes(path("second.txt")), "new\r\n");
    struct stat after {};
    ASSERT_EQ(::stat(nameOf(path("doc.txt")).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    for (const kelpa::LeftCopy &left : kelpa::SafeFileWriter::leftCopies())
        EXPECT_NE(left.original, nameOf(path("doc.txt")).toStdString()) << "the copy of the old text goes";
}
