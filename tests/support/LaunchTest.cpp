// Launching through the shell, its failure texts, the web-page opener and the path helpers.
#include "common/EnvironmentOverride.h"
#include "common/QtFixtures.h"
#include "common/TempDir.h"
#include "common/ScriptedPrompter.h"
#include "platform/ProgramFolder.h"
#include "support/Launch.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <QUrl>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace kelpa;
using kelpa::test::CurrentFolder;
using kelpa::test::OpenerSpy;
using kelpa::test::ProgramFolderOverride;
using kelpa::test::TempDir;

TEST(LaunchFailureText, EveryCodeOfTheTable)
{
    const QString file = QStringLiteral("KPSC.exe");
    const QString folder = QStringLiteral("/Home/User");
    struct Case {
        int code;
        const char *text;
    };
    const Case cases[] = {
        {0, "System out of memory or resources."},
        {2, "File \"KPSC.exe\" not found in the folder \"/Home/User\""},
        {3, "Path not found."},
        {5, "The operating system denied access to KPSC.exe"},
        {8, "System out of memory or resources."},
        {11, "KPSC.exe is an invalid or damaged EXE file"},
        {26, "A sharing violation occurred."},
        {27, "The filename association is incomplete or invalid."},
        {28, "The DDE transaction could not be completed because the request timed out."},
        {29, "The DDE transaction failed."},
        {30, "The DDE transaction could not be completed because other DDE transactions were being processed."},
        {31, "There is no application associated with the given filename extension."},
        {32, "DLL not found."},
        {1, ""},
        {4, ""},
        {33, ""},
        {42, ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(LaunchFailureText(c.code, file, folder), QString::fromUtf8(c.text)) << c.code;
}

// A missing file is named as it was looked for: our programs by their own names in the program
// folder, a file with a folder in that folder, any other name in the folder given, else the
// current folder.
TEST(LaunchFile, AMissingFileIsReportedByTheNameAndFolderSearched)
{
    TempDir dir;
    const QString cwd = QString::fromStdString(dir.file("Work Folder"));
    const QString programs = QString::fromStdString(dir.file("Programs"));
    QDir().mkpath(cwd);
    QDir().mkpath(programs);
    CurrentFolder here(cwd);
    ProgramFolderOverride over(programs.toStdString());
    struct Case {
        QString file, folder;
        QString text;
    };
    const std::vector<Case> cases = {
        {"Kpsc.exe", QDir::tempPath(), "File \"kpsc\" not found in the folder \"" + programs + "\""},
        {"kpp.exe", QString(), "File \"kpp\" not found in the folder \"" + programs + "\""},
        {"Notes.TXT", QString(), "File \"Notes.TXT\" not found in the folder \"" + cwd + "\""},
        {"Notes.TXT", programs, "File \"Notes.TXT\" not found in the folder \"" + programs + "\""},
        {cwd + "/Sub/../Letter.txt", QString(), "File \"Letter.txt\" not found in the folder \"" + cwd + "\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        ScriptedPrompter p;
        ScopedPrompter scope(p);
        EXPECT_FALSE(LaunchFile(c.file, QStringLiteral("token"), c.folder, true, SW_SHOW));
        ASSERT_EQ(p.shown().size(), 1u);
        EXPECT_EQ(p.last().caption, QStringLiteral("Cannot launch the file"));
        EXPECT_EQ(p.last().icon, MessageIcon::Error);
        EXPECT_EQ(p.last().text, c.text);
    }
    // Without a report nothing is shown, and it still fails.
    ScriptedPrompter p;
    ScopedPrompter scope(p);
    EXPECT_FALSE(LaunchFile(QStringLiteral("kpp.exe"), QString(), QString(), false, SW_SHOW));
    EXPECT_TRUE(p.shown().empty());
}

TEST(LaunchFile, PathsLongerThanTheOldBuffersPassWhole)
{
    TempDir dir;
    QString deep = QString::fromStdString(dir.path().string());
    for (int i = 0; i < 6; ++i)
        deep += QStringLiteral("/a folder name that is long enough to matter %1").arg(i);
    QDir().mkpath(deep);
    const QString document = deep + QStringLiteral("/document with blanks.txt");
    QFile f(document);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    ASSERT_GT(document.size(), 200);
    OpenerSpy spy;
    EXPECT_TRUE(LaunchFile(document, QString(), QString(), true, SW_SHOWNORMAL));
    ASSERT_EQ(spy.opened.size(), 1);
    EXPECT_EQ(spy.opened[0].toLocalFile(), document);
}

namespace {

// A desktop opener of the test's own first on PATH.
class FakeOpener {
public:
    FakeOpener(const TempDir &dir, const std::string &body)
        : path_("PATH", dir.file("bin") + ":" + qgetenv("PATH").toStdString())
    {
        const std::string file = dir.file("bin/xdg-open");
        QDir().mkpath(QString::fromStdString(dir.file("bin")));
        kelpa::test::writeText(file, "#!/bin/sh\n" + body + "\n");
        QFile::setPermissions(QString::fromStdString(file), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }

private:
    kelpa::test::EnvironmentOverride path_;
};

} // namespace

TEST(LaunchFile, TheDesktopOpenersFailureIsReported)
{
    struct Case {
        const char *name;
        std::string opener;
        bool opened;
    };
    const Case cases[] = {
        {"opened", "exit 0", true},
        {"no application for the type", "exit 3", false},
        {"the application failed", "exit 4", false},
        {"killed", "kill -9 $$", false},
        {"still running the application", "sleep 5; exit 3", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        FakeOpener opener(dir, "printf '%s' \"$1\" > '" + dir.file("argument") + "'; " + c.opener);
        CurrentFolder here(QString::fromStdString(dir.path().string()));
        const QString document = QString::fromStdString(dir.file("a letter.txt"));
        kelpa::test::writeText(document.toStdString(), "x");
        ScriptedPrompter p;
        ScopedPrompter scope(p);
        EXPECT_EQ(LaunchFile(document, QString(), QString(), true, SW_SHOWNORMAL), c.opened);
        EXPECT_EQ(kelpa::test::readText(dir.file("argument")), document.toStdString());
        EXPECT_EQ(OpenWebPage(QStringLiteral("kelpa.example.org")), c.opened);
        if (c.opened) {
            EXPECT_TRUE(p.shown().empty());
        } else {
            ASSERT_EQ(p.shown().size(), 2u);
            for (const auto &shown : p.shown()) {
                EXPECT_EQ(shown.caption, QStringLiteral("Cannot launch the file"));
                EXPECT_EQ(shown.text, QStringLiteral("There is no application associated with the given filename extension."));
            }
        }
    }
}

TEST(WebPage, RedirectPageText)
{
    const QString expected = QStringLiteral(
        "<html><body bgcolor=0></body><head><meta http-equiv=\"Refresh\" content=\"0; URL=http://a.b\">"
        "</head><br><br><br><center><font size=4>"
        "<font color=#0F7DB3>C</font><font color=#2287B9>O</font><font color=#3491BF>N</font>"
        "<font color=#479BC5>N</font><font color=#59A5CB>E</font><font color=#6CAFD1>C</font>"
        "<font color=#7EB9D7>T</font><font color=#91C3DC>I</font><font color=#A3CDE2>N</font>"
        "<font color=#B6D7E8>G</font> <font color=#DBEBF4>t</font><font color=#EDF5FA>o http://a.b"
        "...</font></font><br><font color=#EDF5FA>If you browser does not support refresh&nbsp;"
        "<a href=http://a.b>click here</a></font></center></html>");
    EXPECT_EQ(RedirectPageText(QStringLiteral("http://a.b")), expected);
}

TEST(WebPage, AddressesWithoutAColonGetHttp)
{
    const std::pair<const char *, const char *> cases[] = {
        {"kelpa.example.org", "http://kelpa.example.org"},
        {"https://kelpa.example.org", "https://kelpa.example.org"},
        {"mailto:someone@example.org", "mailto:someone@example.org"},
        {"host.org/page?x=a:b", "host.org/page?x=a:b"},
        {"", "http://"},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(WebAddress(QLatin1String(in)), QLatin1String(out)) << in;
}

TEST(WebPage, WritesTheRedirectPageAndOpensIt)
{
    TempDir dir;
    CurrentFolder here(QString::fromStdString(dir.path().string()));
    OpenerSpy spy;
    ScriptedPrompter p;
    ScopedPrompter scope(p);
    EXPECT_TRUE(OpenWebPage(QStringLiteral("kelpa.example.org")));
    const QString page = QString::fromStdString(dir.file("NULL.htm"));
    QFile f(page);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()), RedirectPageText(QStringLiteral("http://kelpa.example.org")));
    ASSERT_EQ(spy.opened.size(), 1);
    EXPECT_EQ(spy.opened[0], QUrl::fromLocalFile(page));
    EXPECT_TRUE(p.shown().empty());
}

// What another user may have put under the page's name is replaced: a link does not make the
// page land in the file it names, and a page with an execute bit is not run as a program.
TEST(WebPage, APageLeftThereIsReplacedAndNeverRun)
{
    TempDir dir;
    CurrentFolder here(QString::fromStdString(dir.path().string()));
    const std::string ran = dir.file("ran");
    const std::string victim = dir.file("victim.txt");
    const std::string page = dir.file("NULL.htm");
    struct Case {
        const char *name;
        std::function<void()> plant;
    };
    const std::vector<Case> cases = {
        {"a program", [&] {
             kelpa::test::writeText(page, "#!/bin/sh\ntouch '" + ran + "'\n");
             ::chmod(page.c_str(), 0777);
         }},
        {"a link", [&] { ::symlink(victim.c_str(), page.c_str()); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        kelpa::test::writeText(victim, "the user's own");
        ::unlink(page.c_str());
        c.plant();
        OpenerSpy spy;
        ScriptedPrompter p;
        ScopedPrompter scope(p);
        EXPECT_TRUE(OpenWebPage(QStringLiteral("kelpa.example.org")));
        ASSERT_EQ(spy.opened.size(), 1);
        EXPECT_EQ(spy.opened[0], QUrl::fromLocalFile(QString::fromStdString(page)));
        QThread::msleep(200);
        EXPECT_FALSE(QFile::exists(QString::fromStdString(ran))) << "the page ran as a program";
        EXPECT_EQ(kelpa::test::readText(victim), "the user's own");
        struct stat st {};
        ASSERT_EQ(::lstat(page.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 07777, 0600u);
        EXPECT_EQ(QString::fromStdString(kelpa::test::readText(page)), RedirectPageText(QStringLiteral("http://kelpa.example.org")));
    }
}

TEST(WebPage, APageThatCannotBeWrittenIsReported)
{
    TempDir dir;
    const QString gone = QString::fromStdString(dir.file("gone"));
    QDir().mkpath(gone);
    CurrentFolder here(gone);
    QDir(gone).removeRecursively();   // the current folder no longer exists
    OpenerSpy spy;
    ScriptedPrompter p;
    ScopedPrompter scope(p);
    EXPECT_FALSE(OpenWebPage(QStringLiteral("kelpa.example.org")));
    EXPECT_TRUE(spy.opened.isEmpty());
    ASSERT_EQ(p.shown().size(), 1u);
    EXPECT_EQ(p.last().caption, QStringLiteral("Error"));
    EXPECT_TRUE(p.last().text.startsWith(QStringLiteral("Cannot write the web page \""))) << p.last().text.toStdString();
}

TEST(PathHelpers, StripExtension)
{
    const std::pair<const char *, const char *> cases[] = {
        {"notes.txt", "notes"},
        {"archive.tar.gz", "archive.tar"},
        {"README", "README"},
        {"/home/u/my.folder/README", "/home/u/my.folder/README"},
        {"/home/u/file.", "/home/u/file"},
        {"", ""},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(StripExtension(QLatin1String(in)), QLatin1String(out)) << in;
}

TEST(PathHelpers, FolderIsUsableLeavesTheCurrentFolderAlone)
{
    TempDir dir;
    const QString before = QDir::currentPath();
    EXPECT_TRUE(FolderIsUsable(QString()));
    EXPECT_TRUE(FolderIsUsable(QString::fromStdString(dir.path().string())));
    EXPECT_EQ(QDir::currentPath(), before);
    EXPECT_FALSE(FolderIsUsable(QString::fromStdString(dir.file("missing"))));
    EXPECT_EQ(QDir::currentPath(), before);
}

TEST(PathHelpers, ProgramFolderEndsWithASlashAndFollowsTheOverride)
{
    EXPECT_TRUE(platform::programFolder().endsWith(QLatin1Char('/')));
    ProgramFolderOverride over("/opt/kelpa/");
    EXPECT_EQ(platform::programFolder(), QStringLiteral("/opt/kelpa/"));
}
