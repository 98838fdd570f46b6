// Starting programs and opening documents, with the shell's result codes.
#include "common/QtFixtures.h"
#include "common/TempDir.h"
#include "common/Unprivileged.h"
#include "platform/Desktop.h"
#include "platform/ProgramFolder.h"
#include "platform/Screens.h"
#include "platform/ShellExecute.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <vector>

using namespace kelpa::platform;
using kelpa::test::OpenerSpy;
using kelpa::test::ProgramFolderOverride;
using kelpa::test::TempDir;
using kelpa::test::q;
using kelpa::test::readText;
using kelpa::test::writeText;

namespace {

void makeExecutable(const std::string &file, const std::string &content)
{
    writeText(file, content);
    ::chmod(file.c_str(), 0755);
}

// A program that writes its working folder and arguments, one a line, into `out`.
void makeRecorder(const std::string &file, const std::string &out)
{
    makeExecutable(file, "#!/bin/sh\n{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > '"
                             + out + ".tmp' && mv '" + out + ".tmp' '" + out + "'\n");
}

std::string waitForFile(const std::string &file)
{
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(q(file)) && t.elapsed() < 10000)
        QThread::msleep(10);
    return readText(file);
}

} // namespace

TEST(Shell, ProgramFolderAndProgramNames)
{
    EXPECT_TRUE(programFolder().endsWith(QLatin1Char('/')));
    EXPECT_EQ(programFolder(), QFileInfo(QCoreApplication::applicationFilePath()).absolutePath() + "/");
    ProgramFolderOverride over("/opt/kelpa");
    EXPECT_EQ(programFolder(), QStringLiteral("/opt/kelpa/"));
    struct Case {
        const char *name;
        const char *mapped;
    };
    const Case cases[] = {
        {"kpp.exe", "/opt/kelpa/kpp"},
        {"KPSC.EXE", "/opt/kelpa/kpsc"},
        {"Kelpa32", "/opt/kelpa/Kelpa32"},
        {"/elsewhere/Kelpa32.exe", "/elsewhere/Kelpa32"},
        {"caller.exe", "/opt/kelpa/caller"},
        {"notes.txt", "notes.txt"},
        {"/a/b/other.exe", "/a/b/other.exe"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(mapProgramName(QLatin1String(c.name)), QLatin1String(c.mapped)) << c.name;
}

TEST(Shell, OwnFilesStayBesideAProgramFolderOfTheUsersOwnElseGoToTheUsersFolders)
{
    TempDir dir;
    ::chmod(dir.path().c_str(), 0755);
    // The uid the pieces below run as.
    const uid_t self = ::geteuid() == 0 ? 65534 : ::geteuid();
    const auto folder = [&](const char *sub, mode_t mode, uid_t owner) {
        QDir().mkpath(q(dir.file(sub)));
        EXPECT_EQ(::chown(dir.file(sub).c_str(), owner, static_cast<gid_t>(-1)), 0) << sub;
        ::chmod(dir.file(sub).c_str(), mode);
    };
    folder("own", 0755, self);
    folder("own-open", 0777, self);
    folder("own-group", 0775, self);
    folder("own-sticky", 01777, self);
    folder("user", 0777, self);
    folder("installed", 0555, self);
    // Another user's folder that everybody may write (only the superuser can make one).
    const bool shared = ::geteuid() == 0;
    if (shared)
        folder("shared", 0777, 0);
    const QString user = q(dir.file("user"));
    struct Case {
        const char *name;
        const char *programFolder;
        const char *dataHome, *configHome; // "" : not set
        QString kept, settings;
    };
    std::vector<Case> cases = {
        {"the user's own program folder", "own", "", "", q(dir.file("own")) + "/", q(dir.file("own")) + "/"},
        {"own, but everybody may write it", "own-open", "", "", user + "/.local/share/kelpa/", user + "/.config/kelpa/"},
        {"own, but its group may write it", "own-group", "data", "config", user + "/data/kelpa/",
         user + "/config/kelpa/"},
        {"own, sticky and open to everybody", "own-sticky", "", "", user + "/.local/share/kelpa/",
         user + "/.config/kelpa/"},
        {"read-only, XDG folders set", "installed", "data", "config", user + "/data/kelpa/", user + "/config/kelpa/"},
        {"read-only, defaults under home", "installed", "", "", user + "/.local/share/kelpa/", user + "/.config/kelpa/"},
        {"read-only, relative XDG folders ignored", "installed", "rel", "rel", user + "/.local/share/kelpa/",
         user + "/.config/kelpa/"},
    };
    if (shared)
        cases.push_back({"another user's folder open to everybody", "shared", "", "", user + "/.local/share/kelpa/",
                         user + "/.config/kelpa/"});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int failed = kelpa::test::runUnprivileged([&] {
            auto set = [&](const char *variable, const char *value) {
                if (!*value)
                    ::unsetenv(variable);
                else
                    ::setenv(variable, std::string(value) == "rel" ? value : (dir.file("user") + "/" + value).c_str(), 1);
            };
            set("XDG_DATA_HOME", c.dataHome);
            set("XDG_CONFIG_HOME", c.configHome);
            ::setenv("HOME", dir.file("user").c_str(), 1);
            const QString program = q(dir.file(c.programFolder));
            const QString kept = userFolderFor(program, FolderKind::KeptFiles);
            const QString settings = userFolderFor(program, FolderKind::Settings);
            // The user's own folders are the user's alone.
            const auto closed = [](const QString &f) {
                struct stat st {};
                return ::stat(QFile::encodeName(f).constData(), &st) == 0 && (st.st_mode & 077) == 0;
            };
            const bool besideProgram = kept == program + "/";
            return (kept == c.kept ? 0 : 1) | (settings == c.settings ? 0 : 2) | (QFileInfo(kept).isDir() ? 0 : 4) |
                   (QFileInfo(settings).isDir() ? 0 : 8) |
                   (QDir(program).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty() ? 0 : 16) |
                   (besideProgram || (closed(kept) && closed(settings)) ? 0 : 32);
        });
        EXPECT_EQ(failed, 0) << "1: kept files, 2: settings, 4/8: not made, 16: probe left behind, 32: open to others";
    }
}

TEST(Shell, FailureCodes)
{
    TempDir dir;
    writeText(dir.file("prog.exe"), "not runnable");          // a program without the x bit
    makeExecutable(dir.file("broken"), "\x7f" "ELF garbage");  // runnable bit, bad format
    const std::string folder = dir.path().string();
    struct Case {
        std::string file;
        std::string folder;
        int code;
    };
    const Case cases[] = {
        {"", "", SE_ERR_FNF},
        {dir.file("missing.exe"), "", SE_ERR_FNF},
        {"missing.exe", folder, SE_ERR_FNF},
        {dir.file("no/such/folder/x.exe"), "", SE_ERR_PNF},
        {"broken", dir.file("no-such-folder"), SE_ERR_PNF},
        {"prog.exe", folder, SE_ERR_ACCESSDENIED},
        {"broken", folder, SE_ERR_BAD_FORMAT},
    };
    for (const Case &c : cases)
        EXPECT_EQ(shellExecute(q(c.file), {}, q(c.folder), SW_SHOW), c.code) << c.file;
}

TEST(Shell, ProgramsGetTheirArgumentsWholeAndTheirFolder)
{
    TempDir dir;
    const std::string out = dir.file("out");
    makeRecorder(dir.file("rec"), out);
    QDir().mkpath(q(dir.file("work dir")));
    const QStringList args{QStringLiteral("C:\\My Documents\\a b.txt"), QStringLiteral("\"quoted\" $HOME `x`"),
                           QStringLiteral("; rm -rf /")};
    EXPECT_GT(shellExecute(q(dir.file("rec")), args, q(dir.file("work dir")), SW_SHOW), 32);
    EXPECT_EQ(waitForFile(out), dir.file("work dir") + "\nC:\\My Documents\\a b.txt\n\"quoted\" $HOME `x`\n; rm -rf /\n");
}

TEST(Shell, OurProgramNamesStartOurExecutables)
{
    TempDir dir;
    ProgramFolderOverride over(dir.path().string());
    const std::string out = dir.file("out");
    makeRecorder(dir.file("kpp"), out);
    EXPECT_EQ(parameterTextToArguments(QString()), QStringList());
    EXPECT_EQ(parameterTextToArguments(QStringLiteral("a b")), QStringList{QStringLiteral("a b")});
    EXPECT_GT(shellExecute(QStringLiteral("kpp.exe"), parameterTextToArguments(QStringLiteral("/tmp/a b.eco")),
                           programFolder(), SW_SHOW),
              32);
    EXPECT_EQ(waitForFile(out), dir.path().string() + "\n/tmp/a b.eco\n");
}

TEST(Shell, ANameResolvesThroughALauncherInTheFolder)
{
    TempDir dir;
    const std::string out = dir.file("out");
    makeRecorder(dir.file("editor program"), out);
    QDir().mkpath(q(dir.file("Desktop")));
    writeText(dir.file("Desktop/Kelpa.desktop"),
              "[Desktop Entry]\nType=Application\nName=Kelpa\nExec=\"" + dir.file("editor program") + "\"\n");
    EXPECT_GT(shellExecute(QStringLiteral("Kelpa"), {QStringLiteral("x.txt")}, q(dir.file("Desktop")), SW_SHOW), 32);
    EXPECT_EQ(waitForFile(out), dir.file("Desktop") + "\nx.txt\n");

    // A launcher of a document opens the document.
    writeText(dir.file("notes.txt"), "x");
    ASSERT_TRUE(writeShortcut(q(dir.file("Desktop")), QStringLiteral("Notes"), q(dir.file("notes.txt")), QString()));
    OpenerSpy spy;
    EXPECT_GT(shellExecute(QStringLiteral("Notes"), {}, q(dir.file("Desktop")), SW_SHOW), 32);
    ASSERT_EQ(spy.opened.size(), 1);
    EXPECT_EQ(spy.opened[0], QUrl::fromLocalFile(q(dir.file("notes.txt"))));
}

TEST(Shell, DocumentsFoldersAndAddressesGoToTheDesktopOpener)
{
    TempDir dir;
    writeText(dir.file("notes.txt"), "x");
    OpenerSpy spy;
    EXPECT_GT(shellExecute(q(dir.file("notes.txt")), {}, QString(), SW_SHOWNORMAL), 32);
    EXPECT_GT(shellExecute(q(dir.path().string()), {}, QString(), SW_SHOWNORMAL), 32);
    EXPECT_GT(shellExecute(QStringLiteral("https://example.org/a?b=c"), {}, QString(), SW_SHOW), 32);
    ASSERT_EQ(spy.opened.size(), 3);
    EXPECT_EQ(spy.opened[0], QUrl::fromLocalFile(q(dir.file("notes.txt"))));
    EXPECT_EQ(spy.opened[1], QUrl::fromLocalFile(q(dir.path().string())));
    EXPECT_EQ(spy.opened[2], QUrl(QStringLiteral("https://example.org/a?b=c")));
    spy.answer = false;
    EXPECT_EQ(shellExecute(q(dir.file("notes.txt")), {}, QString(), SW_SHOW), SE_ERR_NOASSOC);
}

TEST(Shell, ANameWithAColonIsAFileWhenTheFolderHoldsOne)
{
    TempDir dir;
    writeText(dir.file("report:v2.txt"), "x");
    OpenerSpy spy;
    const QString folder = q(dir.path().string());
    EXPECT_GT(shellExecute(QStringLiteral("report:v2.txt"), {}, folder, SW_SHOW), 32);
    EXPECT_GT(shellExecute(QStringLiteral("mailto:someone@example.org"), {}, folder, SW_SHOW), 32);
    ASSERT_EQ(spy.opened.size(), 2);
    EXPECT_EQ(spy.opened[0], QUrl::fromLocalFile(q(dir.file("report:v2.txt"))));
    EXPECT_EQ(spy.opened[1], QUrl(QStringLiteral("mailto:someone@example.org")));
}

TEST(Screens, CentredInTheAreaAndKeptInsideIt)
{
    struct Case {
        QRect area;
        QSize size;
        QPoint expected;
    };
    const Case cases[] = {
        {QRect(0, 0, 1280, 1024), QSize(350, 300), QPoint(465, 362)},
        {QRect(1280, 0, 1920, 1080), QSize(350, 300), QPoint(1280 + 785, 390)}, // right of the first
        {QRect(-1920, -200, 1920, 1080), QSize(350, 300), QPoint(-1920 + 785, -200 + 390)}, // left of and above it
        {QRect(1280, 0, 800, 600), QSize(1000, 700), QPoint(1280, 0)}, // larger than the screen
    };
    for (const Case &c : cases)
        EXPECT_EQ(centredIn(c.area, c.size), c.expected) << c.area.x() << "," << c.area.y();
}
