// The caller as a real process: it starts the editor with its arguments whole, in the desktop
// folder, and a running editor gets the document through the editor's own hand-off.
#include "common/QtFiles.h"
#include "common/TempDir.h"
#include "caller/Launcher.h"
#include "platform/PeerProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

using kelpa::test::fileBytes;
using kelpa::test::writeFile;

class CallerTest : public ::testing::Test {
protected:
    kelpa::test::TempDir dir;
    QString folder = QString::fromStdString(dir.path().string()) + QStringLiteral("/prog");
    QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    QString record = QString::fromStdString(dir.path().string()) + QStringLiteral("/record.txt");

    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(QDir().mkpath(desktop));
    }
    void TearDown() override { QDir(desktop).removeRecursively(); }

    // A program that records its working folder and each argument on a line.
    void recorder(const QString &program)
    {
        const QByteArray r = QFile::encodeName(record);
        writeFile(program, "#!/bin/sh\n{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"" + r + ".tmp\"\n"
                       "mv \"" + r + ".tmp\" \"" + r + "\"\n");
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // Runs the caller with this program folder; its exit code.
    int call(const QStringList &arguments)
    {
        QProcess p;
        p.setProcessEnvironment(kelpa::test::childEnvironment(folder));
        p.setWorkingDirectory(QString::fromStdString(dir.path().string()));
        p.start(QStringLiteral(KELPA_PROGRAM_DIR "/caller"), arguments);
        if (!p.waitForFinished(20000))
            return -100;
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -101;
    }
    QStringList recorded()
    {
        if (!kelpa::test::waitUntil([&] { return QFile::exists(record); }))
            return {};
        return QString::fromUtf8(fileBytes(record)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

} // namespace

TEST_F(CallerTest, StartsTheEditorWithItsArgumentsWholeInTheDesktopFolder)
{
    recorder(folder + QStringLiteral("/Kelpa32"));
    const QString here = QString::fromStdString(dir.path().string());
    const std::vector<std::pair<QStringList, QStringList>> cases = {
        {{"/x/a b.txt"}, {"/x/a b.txt"}},
        {{}, {}},
        {{"/x/it's \"quoted\".txt"}, {"/x/it's \"quoted\".txt"}},
        {{"/x/" + QString(2000, QLatin1Char('n')) + QStringLiteral(".txt")},
         {"/x/" + QString(2000, QLatin1Char('n')) + QStringLiteral(".txt")}},
        // A relative name is the file of the folder the caller was started in.
        {{"notes.txt"}, {here + "/notes.txt"}},
    };
    for (const auto &[arguments, passed] : cases) {
        QFile::remove(record);
        EXPECT_EQ(call(arguments), 0);
        EXPECT_EQ(recorded(), QStringList{desktop} + passed);
    }
}

// The documents as the editor would take them from the caller's own folder: joined with single
// blanks, or one per argument when each names a file, "/P" dropped, each made absolute.
TEST(CallerArguments, NamesAreMadeAbsoluteInTheCallersFolder)
{
    kelpa::test::TempDir dir;
    const QString at = QString::fromStdString(dir.path().string());
    for (const char *f : {"a.txt", "b.txt", "My Notes.txt", "report:v2.txt"})
        kelpa::test::writeText(dir.file(f), "x");
    QDir(at).mkdir(QStringLiteral("sub"));
    kelpa::test::writeText(dir.file("sub/c.txt"), "x");
    struct Case {
        QStringList arguments;
        QStringList passed; // "@" stands for the caller's folder
    };
    const std::vector<Case> cases = {
        {{}, {}},
        {{"a.txt"}, {"@/a.txt"}},
        {{"missing.txt"}, {"@/missing.txt"}},
        {{"./sub/../a.txt"}, {"@/a.txt"}},
        {{"sub/c.txt"}, {"@/sub/c.txt"}},
        {{"/elsewhere/x.txt"}, {"/elsewhere/x.txt"}},
        {{"a.txt", "b.txt"}, {"@/a.txt", "@/b.txt"}},
        {{"My", "Notes.txt"}, {"@/My Notes.txt"}},
        {{"a.txt", "missing.txt"}, {"@/a.txt missing.txt"}},
        {{"/p", "a.txt"}, {"@/a.txt"}},
        {{"/P"}, {}},
        {{"a.txt", "", "b.txt"}, {"@/a.txt"}},
        {{"report:v2.txt"}, {"@/report:v2.txt"}},
        {{"a.txt", "/elsewhere/none.txt"}, {"@/a.txt /elsewhere/none.txt"}},
    };
    for (const Case &c : cases) {
        QStringList expected;
        for (QString p : c.passed)
            expected << p.replace(QStringLiteral("@"), at);
        EXPECT_EQ(kelpa::caller::editorArguments(c.arguments, at), expected) << c.arguments.join('|').toStdString();
    }
}

TEST_F(CallerTest, TheDesktopShortcutNamesTheEditorWhenItIsThere)
{
    recorder(folder + QStringLiteral("/elsewhere"));
    writeFile(desktop + QStringLiteral("/Kelpa.desktop"),
          "[Desktop Entry]\nType=Application\nName=Kelpa\nExec=\"" + QFile::encodeName(folder) + "/elsewhere\"\n");
    EXPECT_EQ(call({"n.txt"}), 0);
    EXPECT_EQ(recorded(), (QStringList{desktop, QString::fromStdString(dir.file("n.txt"))}));
}

TEST_F(CallerTest, WithoutADesktopFolderTheHomeFolderIsUsed)
{
    recorder(folder + QStringLiteral("/Kelpa32"));
    QDir(desktop).removeRecursively();
    EXPECT_EQ(call({"n.txt"}), 0);
    EXPECT_EQ(recorded(), (QStringList{QDir::homePath(), QString::fromStdString(dir.file("n.txt"))}));
}

TEST_F(CallerTest, FailsWhenTheEditorCannotBeStarted)
{
    EXPECT_NE(call({"n.txt"}), 0);
    writeFile(folder + QStringLiteral("/Kelpa32"), "not a program");
    EXPECT_NE(call({"n.txt"}), 0);
}

TEST_F(CallerTest, ARunningEditorGetsTheDocument)
{
    // The running editor is a window of its class and title that records the keystroke; the
    // second start is the real editor.
    ASSERT_TRUE(QFile::link(QStringLiteral(KELPA_PROGRAM_DIR "/Kelpa32"), folder + QStringLiteral("/Kelpa32")));
    QProcess running;
    kelpa::test::startPeer(running, {"serve", "TApplication", "Kelpa", record});
    ASSERT_TRUE(kelpa::test::firstLine(running).startsWith("ready"));
    // The same name on the desktop and in the folder the caller runs in: the latter is meant.
    writeFile(desktop + QStringLiteral("/a b.txt"), "text");
    const QString meant = QString::fromStdString(dir.path().string()) + QStringLiteral("/a b.txt");
    writeFile(meant, "text");

    EXPECT_EQ(call({"a b.txt"}), 0);
    EXPECT_TRUE(kelpa::test::waitUntil([&] { return fileBytes(record).contains("ctrl+j"); }, 20000));
    EXPECT_EQ(fileBytes(folder + QStringLiteral("/loadreq")), QFile::encodeName(meant));
    // Taken, as the running editor confirms it: the second start ends.
    EXPECT_TRUE(QFile::rename(folder + QStringLiteral("/loadreq"), folder + QStringLiteral("/loadreq.done")));
    EXPECT_TRUE(kelpa::test::waitUntil([&] { return QFile::exists(folder + QStringLiteral("/loadreq.done")) == false; }, 10000))
        << "the second start did not see the confirmation";
    running.kill();
    running.waitForFinished(5000);
}
