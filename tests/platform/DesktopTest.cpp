// Special folders, launchers and file associations on the Linux desktop.
#include "common/TempDir.h"
#include "platform/Desktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace kelpa::platform;
using kelpa::test::TempDir;
using kelpa::test::writeText;

namespace {

QString readAll(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

QString dataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString configHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

} // namespace

TEST(Desktop, SpecialAndSystemFolders)
{
    EXPECT_EQ(specialFolderPath(CSIDL_DESKTOPDIRECTORY), QDir::homePath() + QStringLiteral("/Desktop"));
    EXPECT_EQ(specialFolderPath(CSIDL_DESKTOP), specialFolderPath(CSIDL_DESKTOPDIRECTORY));
    EXPECT_EQ(specialFolderPath(CSIDL_PROGRAMS), dataHome() + QStringLiteral("/applications"));
    EXPECT_EQ(specialFolderPath(0x3F), QString());
    EXPECT_TRUE(systemFolder(2).endsWith(QLatin1Char('/')));
    EXPECT_EQ(systemFolder(0), QDir::homePath() + QStringLiteral("/.local/bin"));
    EXPECT_EQ(systemFolder(7), QString());
}

TEST(Desktop, ExecQuoting)
{
    struct Case {
        const char *path;
        const char *quoted;
    };
    const Case cases[] = {
        {"/opt/kelpa/Kelpa32", "/opt/kelpa/Kelpa32"},
        {"/opt/my kelpa/Kelpa32", "\"/opt/my kelpa/Kelpa32\""},
        {"/opt/a\"b", "\"/opt/a\\\\\"b\""},
        {"/opt/$x`y`", "\"/opt/\\\\$x\\\\`y\\\\`\""},
        {"/opt/100%", "/opt/100%%"},
        {"/opt/a\\b c", "\"/opt/a\\\\\\\\b c\""},
        {"/opt/50% \"off\"", "\"/opt/50%% \\\\\"off\\\\\"\""},
    };
    for (const Case &c : cases) {
        const QString path = QString::fromUtf8(c.path);
        EXPECT_EQ(desktopExecQuote(path), QString::fromUtf8(c.quoted)) << c.path;
        // And back, also with the arguments a launcher adds.
        EXPECT_EQ(desktopExecProgram(desktopExecQuote(path)), path) << c.path;
        EXPECT_EQ(desktopExecProgram(desktopExecQuote(path) + QStringLiteral(" %f")), path) << c.path;
    }
    // Exec values written by others.
    const std::pair<const char *, const char *> others[] = {
        {"/usr/bin/editor %U", "/usr/bin/editor"},
        {"  \"/opt/my editor/run\" --new-window %F", "/opt/my editor/run"},
        {"\"/opt/my\\sdir/run\"", "/opt/my dir/run"},
        {"\"/opt/no closing quote", ""},
        {"", ""},
    };
    for (const auto &[exec, program] : others)
        EXPECT_EQ(desktopExecProgram(QString::fromUtf8(exec)), QString::fromUtf8(program)) << exec;
}

TEST(Desktop, ALauncherLeadsBackToItsTarget)
{
    TempDir dir;
    const QString folder = QString::fromStdString(dir.file("Desktop"));
    const QString program = QString::fromStdString(dir.file("50% \"new\" $editor"));
    writeText(program.toStdString(), "#!/bin/sh\n");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString document = QString::fromStdString(dir.file("notes #1.txt"));
    writeText(document.toStdString(), "x");
    ASSERT_TRUE(writeShortcut(folder, QStringLiteral("Kelpa"), program, QStringLiteral("VKShortcut")));
    ASSERT_TRUE(writeShortcut(folder, QStringLiteral("Notes"), document, QString()));
    EXPECT_EQ(launcherTarget(shortcutFileName(folder, QStringLiteral("Kelpa"))), program);
    EXPECT_EQ(launcherTarget(shortcutFileName(folder, QStringLiteral("Notes"))), document);
    writeText(dir.file("other.desktop"), "[Desktop Entry]\nType=Directory\nName=x\n");
    EXPECT_EQ(launcherTarget(QString::fromStdString(dir.file("other.desktop"))), QString());
    EXPECT_EQ(launcherTarget(QString::fromStdString(dir.file("missing.desktop"))), QString());
}

TEST(Desktop, ShortcutIsAnExecutableLauncher)
{
    TempDir dir;
    const QString target = QString::fromStdString(dir.file("my editor"));
    writeText(dir.file("my editor"), "#!/bin/sh\n");
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString folder = QString::fromStdString(dir.file("Desktop"));   // made on demand
    ASSERT_TRUE(writeShortcut(folder, QStringLiteral("Kelpa"), target, QStringLiteral("VKShortcut")));
    const QString file = shortcutFileName(folder, QStringLiteral("Kelpa"));
    EXPECT_EQ(file, folder + QStringLiteral("/Kelpa.desktop"));
    const QString text = readAll(file);
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nType=Application\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=\"") + target + QStringLiteral("\" %F\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nName=Kelpa\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nComment=VKShortcut\n")));
    EXPECT_TRUE(QFileInfo(file).isExecutable());

    // A document gets a link launcher.
    writeText(dir.file("notes.txt"), "x");
    ASSERT_TRUE(writeShortcut(folder, QStringLiteral("Notes"), QString::fromStdString(dir.file("notes.txt")), QString()));
    EXPECT_TRUE(readAll(shortcutFileName(folder, QStringLiteral("Notes"))).contains(QStringLiteral("\nType=Link\nURL=file://")));

    // A folder that cannot be made: false.
    writeText(dir.file("blocked"), "file, not folder");
    EXPECT_FALSE(writeShortcut(QString::fromStdString(dir.file("blocked")), QStringLiteral("Kelpa"), target, QString()));
}

TEST(Desktop, AssociationWritesEntryDefaultsAndOwnTypes)
{
    // Someone else's defaults stay as they are.
    QDir().mkpath(configHome());
    {
        QFile list(configHome() + QStringLiteral("/mimeapps.list"));
        ASSERT_TRUE(list.open(QIODevice::WriteOnly));
        list.write("[Default Applications]\nimage/png=viewer.desktop\ntext/plain=old.desktop\n\n"
                   "[Added Associations]\ntext/plain=old.desktop;\n");
    }
    const QString exe = QStringLiteral("/opt/kelpa/Kelpa32");
    ASSERT_TRUE(associateExtension(QStringLiteral("TXT"), QStringLiteral("Plain text file"), exe).ok());
    ASSERT_TRUE(associateExtension(QStringLiteral("ECO"), QStringLiteral("Encrypted and COmpressed file"), exe).ok());
    ASSERT_TRUE(associateExtension(QStringLiteral("TXT"), QStringLiteral("Plain text file"), exe).ok());

    const QString entry = readAll(dataHome() + QStringLiteral("/applications/kelpa-kelpa32.desktop"));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nExec=/opt/kelpa/Kelpa32 %f\n"))) << entry.toStdString();
    EXPECT_TRUE(entry.contains(QStringLiteral("\nMimeType=text/plain;application/x-kelpa-eco;\n"))) << entry.toStdString();

    const QString list = readAll(configHome() + QStringLiteral("/mimeapps.list"));
    EXPECT_TRUE(list.contains(QStringLiteral("image/png=viewer.desktop\n")));
    EXPECT_TRUE(list.contains(QStringLiteral("text/plain=kelpa-kelpa32.desktop\n"))) << list.toStdString();
    EXPECT_TRUE(list.contains(QStringLiteral("application/x-kelpa-eco=kelpa-kelpa32.desktop\n")));
    EXPECT_TRUE(list.contains(QStringLiteral("text/plain=kelpa-kelpa32.desktop;old.desktop;\n"))) << list.toStdString();
    EXPECT_FALSE(list.contains(QStringLiteral("text/plain=old.desktop\n")));

    const QString package = readAll(dataHome() + QStringLiteral("/mime/packages/kelpa-eco.xml"));
    EXPECT_TRUE(package.contains(QStringLiteral("<mime-type type=\"application/x-kelpa-eco\">")));
    EXPECT_TRUE(package.contains(QStringLiteral("<glob pattern=\"*.eco\"/>")));
    EXPECT_TRUE(package.contains(QStringLiteral("<comment>Encrypted and COmpressed file</comment>")));
    // An extension that is more than a name writes nothing.
    for (const char *bad : {"", "../x", "a b", "e\"co", "x.y"})
        EXPECT_FALSE(associateExtension(QLatin1String(bad), QString(), exe).ok()) << bad;
    EXPECT_EQ(QDir(dataHome() + QStringLiteral("/mime/packages")).entryList(QDir::Files),
              QStringList{QStringLiteral("kelpa-eco.xml")});
    EXPECT_EQ(mimeTypesForExtension(QStringLiteral("Rtf")),
              (QStringList{QStringLiteral("application/rtf"), QStringLiteral("text/rtf")}));
}

TEST(Desktop, TheDesktopFolderComesFromTheUserDirectories)
{
    QDir().mkpath(configHome());
    QFile dirs(configHome() + QStringLiteral("/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DESKTOP_DIR=\"$HOME/Arbeitsfl\xC3\xA4" "che\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    dirs.close();
    EXPECT_EQ(specialFolderPath(CSIDL_DESKTOPDIRECTORY), QDir::homePath() + QString::fromUtf8("/Arbeitsfläche"));
    EXPECT_EQ(specialFolderPath(CSIDL_PERSONAL), QDir::homePath() + QStringLiteral("/Dokumente"));
}
