// "Replace Notepad" in a private XDG home: the caller becomes the plain-text default, and undoing
// puts the user's list back.
#include "editor/NotepadReplacement.h"

#include "common/QtFiles.h"
#include "common/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <gtest/gtest.h>

namespace kelpa::editor {
namespace {

class NotepadTest : public ::testing::Test {
protected:
    test::TempDir home;
    QString root = QString::fromStdString(home.path().string());
    QString folder = root + QStringLiteral("/prog/");
    QString caller = folder + QStringLiteral("caller");

    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", QFile::encodeName(root + QStringLiteral("/config")).constData(), 1);
        setenv("XDG_DATA_HOME", QFile::encodeName(root + QStringLiteral("/data")).constData(), 1);
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/config")));
        QFile f(caller);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    static QByteArray bytes(const QString &file) { return kelpa::test::fileBytes(file); }
    static void write(const QString &file, const QByteArray &b) { kelpa::test::writeFile(file, b); }
    QString defaultFor(const QString &mime) const
    {
        QProcess p;
        p.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), mime});
        if (!p.waitForFinished(10000))
            return QStringLiteral("<no answer>");
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
};

TEST_F(NotepadTest, ReplacingAndUndoingRestoresTheListByteForByte)
{
    // Other entries around the plain-text default, and no line end at the end.
    const QByteArray before = "[Default Applications]\ntext/html=firefox.desktop\ntext/plain=gedit.desktop\n"
                              "\n[Added Associations]\ntext/plain=gedit.desktop;\nimage/png=eog.desktop;";
    write(mimeAppsListFile(), before);
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/data/applications")));
    write(root + QStringLiteral("/data/applications/gedit.desktop"),
          "[Desktop Entry]\nType=Application\nName=Edit\nExec=true %f\nMimeType=text/plain;\n");
    ASSERT_FALSE(notepadReplaced(folder));

    ASSERT_EQ(replaceNotepad(folder, caller).result, NotepadResult::Done);
    EXPECT_TRUE(notepadReplaced(folder));
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("Notepad.bak.exe")));
    if (!QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty()) {
        EXPECT_EQ(defaultFor(QStringLiteral("text/plain")), QStringLiteral("kelpa-caller.desktop"));
    }

    ASSERT_EQ(restoreNotepad(folder).result, NotepadResult::Done);
    EXPECT_FALSE(notepadReplaced(folder));
    EXPECT_EQ(bytes(mimeAppsListFile()), before);
    if (!QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty()) {
        EXPECT_EQ(defaultFor(QStringLiteral("text/plain")), QStringLiteral("gedit.desktop"));
    }
}

TEST_F(NotepadTest, ListWithCarriageReturnsComesBackAsItWas)
{
    const QByteArray before = "[Default Applications]\r\ntext/plain=gedit.desktop\r\n\r\n";
    write(mimeAppsListFile(), before);
    ASSERT_EQ(replaceNotepad(folder, caller).result, NotepadResult::Done);
    ASSERT_EQ(restoreNotepad(folder).result, NotepadResult::Done);
    EXPECT_EQ(bytes(mimeAppsListFile()), before);
}

TEST_F(NotepadTest, WithoutAListBeforeUndoingRemovesIt)
{
    ASSERT_EQ(replaceNotepad(folder, caller).result, NotepadResult::Done);
    EXPECT_TRUE(QFileInfo::exists(mimeAppsListFile()));
    const QString entry = root + QStringLiteral("/data/applications/kelpa-caller.desktop");
    EXPECT_TRUE(QFileInfo::exists(entry));
    ASSERT_EQ(restoreNotepad(folder).result, NotepadResult::Done);
    EXPECT_FALSE(QFileInfo::exists(mimeAppsListFile()));
    EXPECT_FALSE(notepadReplaced(folder));
    // The caller no longer offers itself for plain text either.
    EXPECT_FALSE(QFileInfo::exists(entry));
}

TEST_F(NotepadTest, ChangesMadeMeanwhileStayWhenUndoing)
{
    write(mimeAppsListFile(), "[Default Applications]\ntext/plain=gedit.desktop\n");
    ASSERT_EQ(replaceNotepad(folder, caller).result, NotepadResult::Done);
    QByteArray list = bytes(mimeAppsListFile());
    list.replace("[Default Applications]\n", "[Default Applications]\nimage/png=eog.desktop\n");
    write(mimeAppsListFile(), list);

    ASSERT_EQ(restoreNotepad(folder).result, NotepadResult::Done);
    const QByteArray after = bytes(mimeAppsListFile());
    EXPECT_TRUE(after.contains("image/png=eog.desktop\n")) << after.constData();
    EXPECT_TRUE(after.contains("text/plain=gedit.desktop\n")) << after.constData();
    EXPECT_FALSE(after.contains("kelpa-caller")) << after.constData();
    EXPECT_FALSE(after.contains("[Added Associations]")) << after.constData();
}

TEST_F(NotepadTest, PlainTextKeysAreSetAsBeforeAndOthersKept)
{
    struct Case {
        const char *current, *before, *expected;
    };
    const Case cases[] = {
        // A value put back in its place.
        {"[Default Applications]\na=1\ntext/plain=ours\nb=2\n", "[Default Applications]\ntext/plain=theirs\n",
         "[Default Applications]\na=1\ntext/plain=theirs\nb=2\n"},
        // A key the list had not: removed, its section kept for the other keys.
        {"[Default Applications]\na=1\ntext/plain=ours\n", "", "[Default Applications]\na=1\n"},
        // A section of ours alone goes with the blank line before it.
        {"[Default Applications]\na=1\n\n[Added Associations]\ntext/plain=ours;\n", "[Default Applications]\na=1\n",
         "[Default Applications]\na=1\n"},
        // A key that the list had, but that was removed meanwhile: back at the end of its section.
        {"[Default Applications]\na=1\n\n[X]\ny=2\n", "[Default Applications]\ntext/plain=theirs\n",
         "[Default Applications]\na=1\ntext/plain=theirs\n\n[X]\ny=2\n"},
        // A key written twice: the first takes the old line, the second goes.
        {"[Default Applications]\ntext/plain=a\nb=2\ntext/plain=c\n", "[Default Applications]\ntext/plain=theirs\n",
         "[Default Applications]\ntext/plain=theirs\nb=2\n"},
        {"[Default Applications]\ntext/plain=a\ntext/plain=c\n", "", ""},
        // A section of that name further on is not moved up in its place.
        {"[Default Applications]\ntext/plain=a\n[Default Applications]\ntext/plain=c\n", "",
         "[Default Applications]\n[Default Applications]\ntext/plain=c\n"},
        // Keys of other sections are not touched.
        {"[X]\ntext/plain=keep\n", "", "[X]\ntext/plain=keep\n"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(restorePlainTextKeys(c.current, c.before), std::string(c.expected)) << c.current;
}

TEST_F(NotepadTest, ABackupThatIsNotOursChangesNothing)
{
    const QByteArray list = "[Default Applications]\ntext/plain=gedit.desktop\n";
    write(mimeAppsListFile(), list);
    for (const QByteArray &junk : {QByteArray("MZ\x90\x00", 4), QByteArray("Kelpa plain-text default backup 1\n!!\n"),
                                   QByteArray(), QByteArray("Kelpa plain-text default backup 2\n1 5 1\nabc"),
                                   QByteArray("Kelpa plain-text default backup 2\n0 1 0\nx"),
                                   QByteArray("Kelpa plain-text default backup 2\n2 0 0\n"),
                                   QByteArray("Kelpa plain-text default backup 2\n1 -1 0\n")}) {
        write(notepadBackupFile(folder), junk);
        EXPECT_EQ(restoreNotepad(folder).result, NotepadResult::BadBackup);
        EXPECT_EQ(bytes(mimeAppsListFile()), list);
        EXPECT_TRUE(notepadReplaced(folder));
    }
}

TEST_F(NotepadTest, BackupRoundTrips)
{
    for (const NotepadBackup &b : {NotepadBackup{false, {}, "x\n"}, NotepadBackup{true, "", ""},
                                   NotepadBackup{true, std::string("\0\n\r\xff", 4), "after"}}) {
        NotepadBackup out;
        ASSERT_TRUE(decodeNotepadBackup(encodeNotepadBackup(b), out));
        EXPECT_EQ(out.hadList, b.hadList);
        EXPECT_EQ(out.before, b.before);
        EXPECT_EQ(out.after, b.after);
    }
}

TEST_F(NotepadTest, AnUnwritableProgramFolderChangesNothing)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser writes into any folder";
    const QByteArray list = "[Default Applications]\ntext/plain=gedit.desktop\n";
    write(mimeAppsListFile(), list);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(replaceNotepad(folder, caller).result, NotepadResult::BackupFailed);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(bytes(mimeAppsListFile()), list);
    EXPECT_FALSE(notepadReplaced(folder));
}

// The backup holds the user's list of defaults: it is the user's alone, and only the user's own
// regular file under that name is taken for it.
TEST_F(NotepadTest, TheBackupIsTheUsersAlone)
{
    const QByteArray list = "[Default Applications]\ntext/plain=gedit.desktop\n";
    write(mimeAppsListFile(), list);
    const std::string backup = QFile::encodeName(notepadBackupFile(folder)).toStdString();
    const std::string victim = QFile::encodeName(root + QStringLiteral("/victim.txt")).toStdString();
    write(QString::fromStdString(victim), "the user's own");
    ASSERT_EQ(::symlink(victim.c_str(), backup.c_str()), 0);
    EXPECT_FALSE(notepadReplaced(folder)) << "a link is no backup";
    const mode_t mask = ::umask(022);
    EXPECT_EQ(replaceNotepad(folder, caller).result, NotepadResult::Done);
    ::umask(mask);
    EXPECT_EQ(bytes(QString::fromStdString(victim)), "the user's own");
    struct stat st {};
    ASSERT_EQ(::lstat(backup.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_TRUE(notepadReplaced(folder));

    if (::geteuid() != 0)
        return; // only the superuser can give a file away
    // Another user's copy is not applied.
    const QByteArray replaced = bytes(mimeAppsListFile());
    ASSERT_EQ(::chown(backup.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(notepadReplaced(folder));
    EXPECT_EQ(restoreNotepad(folder).result, NotepadResult::BadBackup);
    EXPECT_EQ(bytes(mimeAppsListFile()), replaced);
}

// A read-only list is rewritten only when the user agrees, either way, and keeps its mode.
TEST_F(NotepadTest, AReadOnlyListIsRewrittenOnlyAfterAskingAndStaysReadOnly)
{
    const QByteArray list = "[Default Applications]\ntext/plain=gedit.desktop\n";
    const std::string listFile = QFile::encodeName(mimeAppsListFile()).toStdString();
    write(mimeAppsListFile(), list);
    ASSERT_EQ(::chmod(listFile.c_str(), 0444), 0);
    const auto mode = [&] {
        struct stat st {};
        return ::stat(listFile.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
    };
    QStringList asked;
    bool answer = false;
    const ReadOnlyQuestion question = [&](const QString &file) {
        asked << file;
        return answer;
    };
    EXPECT_EQ(replaceNotepad(folder, caller, question).result, NotepadResult::Declined);
    EXPECT_EQ(asked, QStringList{mimeAppsListFile()});
    EXPECT_EQ(bytes(mimeAppsListFile()), list);
    EXPECT_FALSE(notepadReplaced(folder));

    answer = true;
    if (::geteuid() != 0) {
        // The user agreed; the owner may give the list write access back for the rewrite only.
        ASSERT_EQ(::chmod(QFile::encodeName(root + QStringLiteral("/config")).constData(), 0755), 0);
    }
    const NotepadResult replaced = replaceNotepad(folder, caller, question).result;
    if (::geteuid() != 0 && replaced != NotepadResult::Done)
        GTEST_SKIP() << "a read-only list cannot be rewritten without the superuser's rights here";
    EXPECT_EQ(replaced, NotepadResult::Done);
    EXPECT_TRUE(bytes(mimeAppsListFile()).contains("text/plain=kelpa-caller.desktop"));
    EXPECT_EQ(mode(), 0444u);

    asked.clear();
    answer = false;
    const QByteArray after = bytes(mimeAppsListFile());
    EXPECT_EQ(restoreNotepad(folder, question).result, NotepadResult::Declined);
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(bytes(mimeAppsListFile()), after);
    EXPECT_TRUE(notepadReplaced(folder));
    answer = true;
    EXPECT_EQ(restoreNotepad(folder, question).result, NotepadResult::Done);
    EXPECT_EQ(bytes(mimeAppsListFile()), list);
    EXPECT_EQ(mode(), 0444u);
    EXPECT_FALSE(notepadReplaced(folder));
}

} // namespace
} // namespace kelpa::editor
