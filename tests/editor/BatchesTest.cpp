// The batch list of the Tools menu and the command a batch runs with.
#include "editor/Batches.h"

#include "common/TempDir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <optional>
#include <ostream>

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
    for (const char *name : {"b.bat", "a.bat", "C.BAT", "Upper.Bat", "notes.txt", "bat", "z.bat.txt", ".hidden.bat", "a b.bat"})
        touch(folder + QLatin1Char('/') + QLatin1String(name));
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("d.bat"))); // a folder is no batch
    // Sorted as file names: "a b.bat" before "a.bat"; each keeps its own file name.
    const std::vector<BatchFile> expected{
        {"a b", "a b.bat"}, {"a", "a.bat"}, {"b", "b.bat"}, {"C", "C.BAT"}, {"Upper", "Upper.Bat"}};
    EXPECT_EQ(listBatches(folder), expected);
}

TEST(Batches, MissingFolderListsNothing)
{
    EXPECT_TRUE(listBatches(QStringLiteral("/nonexistent/Batches")).empty());
}

TEST(Batches, RunsTheShellOnTheBatchAndTheDocumentAsSeparateArguments)
{
    const Terminal xterm{"/usr/bin/xterm", {"-e"}};
    const Terminal gnome{"/usr/bin/gnome-terminal", {"--"}};
    const Terminal kitty{"/usr/bin/kitty", {}};
    struct Case {
        const char *folder, *file, *document;
        QByteArray script;
        const Terminal *terminal;
        QString program;
        QStringList arguments;
        QString workingFolder;
    };
    const Case cases[] = {
        {"/p/Batches", "zip.bat", "/docs/a.txt", "zip \"$1\"\n", nullptr, "/bin/sh", {"/p/Batches/zip.bat", "/docs/a.txt"}, "/p/Batches"},
        // The trailing separator of the folder does not double.
        {"/p/Batches/", "zip.bat", "/docs/a.txt", "", nullptr, "/bin/sh", {"/p/Batches/zip.bat", "/docs/a.txt"}, "/p/Batches"},
        // The file as listed, whatever the case of its suffix.
        {"/p/Batches", "Upper.BAT", "/docs/a.txt", "", nullptr, "/bin/sh", {"/p/Batches/Upper.BAT", "/docs/a.txt"}, "/p/Batches"},
        // Blanks, quotes and shell characters stay inside their argument.
        {"/p q/Batches", "my \"tool\"; rm.bat", "/d/it's $(x).txt", "", nullptr, "/bin/sh",
         {"/p q/Batches/my \"tool\"; rm.bat", "/d/it's $(x).txt"}, "/p q/Batches"},
        // A name that begins with a dash is a path, never an option of the shell.
        {"/p/Batches", "-x.bat", "/d/-n.txt", "", nullptr, "/bin/sh", {"/p/Batches/-x.bat", "/d/-n.txt"}, "/p/Batches"},
        // Windows line ends: the text without its carriage returns, $0 and $1 as before; a
        // carriage return inside a line stays.
        {"/p/Batches", "w.bat", "/d/a.txt", "echo a > out\r\necho \"x\ry\"\r\n", nullptr, "/bin/sh",
         {"-c", "echo a > out\necho \"x\ry\"\n", "/p/Batches/w.bat", "/d/a.txt"}, "/p/Batches"},
        {"/p/Batches", "w.bat", "/d/a.txt", "echo a\r", nullptr, "/bin/sh",
         {"-c", "echo a", "/p/Batches/w.bat", "/d/a.txt"}, "/p/Batches"},
        // In a window: each terminal in the form it takes a command with its arguments.
        {"/p/Batches", "zip.bat", "/d/a b;c.txt", "", &xterm, "/usr/bin/xterm",
         {"-e", "/bin/sh", "/p/Batches/zip.bat", "/d/a b;c.txt"}, "/p/Batches"},
        {"/p/Batches", "zip.bat", "/d/a b;c.txt", "", &gnome, "/usr/bin/gnome-terminal",
         {"--", "/bin/sh", "/p/Batches/zip.bat", "/d/a b;c.txt"}, "/p/Batches"},
        {"/p/Batches", "zip.bat", "/d/a.txt", "x\r\n", &kitty, "/usr/bin/kitty",
         {"/bin/sh", "-c", "x\n", "/p/Batches/zip.bat", "/d/a.txt"}, "/p/Batches"},
    };
    for (const Case &c : cases) {
        const BatchLaunch launch = batchLaunch(QString::fromUtf8(c.folder), QString::fromUtf8(c.file),
                                               QString::fromUtf8(c.document), c.script, c.terminal);
        EXPECT_TRUE(launch.error.isEmpty()) << c.file;
        EXPECT_EQ(launch.program, c.program) << c.file;
        EXPECT_EQ(launch.arguments, c.arguments) << c.file;
        EXPECT_EQ(launch.folder, c.workingFolder) << c.file;
    }
}

TEST(Batches, AWindowsBatchThatCannotGoThroughTheCommandLineIsRefusedWithTheReason)
{
    const QByteArray cases[] = {
        QByteArray(200 * 1024, 'x') + "\r\n", // more than one argument holds
        QByteArray("echo a\r\n\0echo b\r\n", 18), // a zero byte
        QByteArray("echo \xff\xfe\r\n"),    // bytes that are no text in this locale
    };
    for (const QByteArray &script : cases) {
        const BatchLaunch launch = batchLaunch("/p/Batches", "w.bat", "/d/a.txt", script, nullptr);
        EXPECT_TRUE(launch.program.isEmpty());
        EXPECT_TRUE(launch.error.contains("CR LF")) << launch.error.toStdString();
        EXPECT_TRUE(launch.error.contains("/p/Batches/w.bat"));
    }
}

TEST(Batches, TerminalIsTheUsersChoiceThenTheDesktopsThenACommonOne)
{
    struct Case {
        const char *variable;
        QStringList installed;
        std::optional<Terminal> expected;
    };
    const Case cases[] = {
        {"", {"x-terminal-emulator", "xterm"}, Terminal{"/bin/x-terminal-emulator", {"-e"}}},
        {"kitty", {"x-terminal-emulator", "kitty"}, Terminal{"/bin/kitty", {}}},
        // A TERMINAL that is not installed is passed over.
        {"nosuchterm", {"xterm"}, Terminal{"/bin/xterm", {"-e"}}},
        {"  ", {"konsole"}, Terminal{"/bin/konsole", {"-e"}}},
        {"", {"gnome-terminal", "xterm"}, Terminal{"/bin/gnome-terminal", {"--"}}},
        {"", {"xfce4-terminal"}, Terminal{"/bin/xfce4-terminal", {"-x"}}},
        {"", {"foot"}, Terminal{"/bin/foot", {}}},
        // An unknown terminal of the user's takes the usual "-e".
        {"myterm", {"myterm", "xterm"}, Terminal{"/bin/myterm", {"-e"}}},
        {"", {}, std::nullopt},
    };
    for (const Case &c : cases) {
        const auto found = findTerminal(QString::fromUtf8(c.variable), [&](const QString &name) {
            return c.installed.contains(name) ? QStringLiteral("/bin/") + name : QString();
        });
        EXPECT_EQ(found, c.expected) << c.variable << " " << c.installed.join(',').toStdString();
    }
}

TEST(Batches, LastLinesOfTheErrorOutput)
{
    struct Case {
        QByteArray output;
        int lines;
        QString expected;
    } cases[] = {
        {"", 3, ""},
        {"one\n", 3, "one"},
        {"1\n2\n3\n4\n5\n\n\n", 3, "3\n4\n5"},
        {"a\r\nb\r\n", 5, "a\nb"},
        {"no line end", 1, "no line end"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(lastLines(c.output, c.lines), c.expected) << c.output.constData();
}

} // namespace
} // namespace kelpa::editor
