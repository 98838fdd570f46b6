// The batch list of the Tools menu and the command a batch runs with.
#include "editor/Batches.h"

#include "common/TempDir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace kelpa::editor {
namespace {

void touch(const QString &name)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

TEST(Batches, ListsBatchFilesByNameWithoutTheirSuffix)
{
    test::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    for (const char *name : {"b.bat", "a.bat", "C.BAT", "notes.txt", "bat", "z.bat.txt", ".hidden.bat", "a b.bat"})
        touch(folder + QLatin1Char('/') + QLatin1String(name));
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("d.bat"))); // a folder is no batch
    // Sorted as file names: "a b.bat" before "a.bat".
    EXPECT_EQ(listBatches(folder), (QStringList{"a b", "a", "b", "C"}));
}

TEST(Batches, MissingFolderListsNothing)
{
    EXPECT_TRUE(listBatches(QStringLiteral("/nonexistent/Batches")).isEmpty());
}

TEST(Batches, RunsTheShellOnTheBatchAndTheDocumentAsSeparateArguments)
{
    struct Case {
        const char *folder, *name, *document;
        bool window;
        QString program;
        QStringList arguments;
        QString workingFolder;
    };
    const Case cases[] = {
        {"/p/Batches", "zip", "/docs/a.txt", false, "/bin/sh", {"/p/Batches/zip.bat", "/docs/a.txt"}, "/p/Batches"},
        // The trailing separator of the folder does not double.
        {"/p/Batches/", "zip", "/docs/a.txt", false, "/bin/sh", {"/p/Batches/zip.bat", "/docs/a.txt"}, "/p/Batches"},
        // Blanks, quotes and shell characters stay inside their argument.
        {"/p q/Batches", "my \"tool\"; rm", "/d/it's $(x).txt", false, "/bin/sh",
         {"/p q/Batches/my \"tool\"; rm.bat", "/d/it's $(x).txt"}, "/p q/Batches"},
        // A name that begins with a dash is a path, never an option of the shell.
        {"/p/Batches", "-x", "/d/-n.txt", false, "/bin/sh", {"/p/Batches/-x.bat", "/d/-n.txt"}, "/p/Batches"},
        // In a window: the desktop's terminal runs the same command.
        {"/p/Batches", "zip", "/docs/a.txt", true, "x-terminal-emulator",
         {"-e", "/bin/sh", "/p/Batches/zip.bat", "/docs/a.txt"}, "/p/Batches"},
    };
    for (const Case &c : cases) {
        const BatchLaunch launch = batchLaunch(QString::fromUtf8(c.folder), QString::fromUtf8(c.name),
                                               QString::fromUtf8(c.document), c.window);
        EXPECT_EQ(launch.program, c.program) << c.name;
        EXPECT_EQ(launch.arguments, c.arguments) << c.name;
        EXPECT_EQ(launch.folder, c.workingFolder) << c.name;
    }
}

} // namespace
} // namespace kelpa::editor
