// File moves, copies and deletions with the user's consent; shortcuts; file-type registration.
#include "common/QtFixtures.h"
#include "common/TempDir.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "support/FileHelpers.h"
#include "common/ScriptedPrompter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QProcess>
#include <gtest/gtest.h>
#include <cerrno>
#include <optional>

using namespace kelpa;
using kelpa::test::TempDir;
using kelpa::test::q;
using kelpa::test::readText;
using kelpa::test::writeText;

namespace {

bool readOnly(const std::string &file)
{
    return FileHasAttribute(q(file), FILE_ATTRIBUTE_READONLY);
}

} // namespace

TEST(FileHelpers, FileHasAttribute)
{
    TempDir dir;
    writeText(dir.file("f"), "x");
    EXPECT_FALSE(FileHasAttribute(q(dir.file("f")), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(FileHasAttribute(q(dir.path().string()), FILE_ATTRIBUTE_DIRECTORY));
    // A missing file has every bit.
    EXPECT_TRUE(FileHasAttribute(q(dir.file("missing")), FILE_ATTRIBUTE_READONLY));
}

TEST(FileHelpers, MoveWithPrompts)
{
    enum Setup { Plain, ReadOnlySource, MissingFolder, MissingSource, TargetExists };
    struct Case {
        const char *name;
        Setup setup;
        bool ask;
        std::optional<MessageAnswer> answer;
        bool moved;
        const char *shown;   // expected text with {S}, {T}, {F} for source, target, folder; "" none
    };
    const Case cases[] = {
        {"plain", Plain, true, std::nullopt, true, ""},
        {"missing, asking", MissingSource, true, std::nullopt, false, "Cannot move file: \"{S}\" not found"},
        {"missing, quiet", MissingSource, false, std::nullopt, false, ""},
        {"read-only, No", ReadOnlySource, true, MessageAnswer::No, false,
         "This program needs to move \"{S}\"\nto \"{T}\", but it is a read-only file.\nDo you want to continue?"},
        {"read-only, Yes", ReadOnlySource, true, MessageAnswer::Yes, true,
         "This program needs to move \"{S}\"\nto \"{T}\", but it is a read-only file.\nDo you want to continue?"},
        {"read-only, no asking", ReadOnlySource, false, std::nullopt, true, ""},
        {"folder missing, No", MissingFolder, true, MessageAnswer::No, false,
         "This program needs to move a file to the path \"{F}\" that actually doesn't exist.\nDo you want to create that folder?"},
        {"folder missing, Yes", MissingFolder, true, MessageAnswer::Yes, true,
         "This program needs to move a file to the path \"{F}\" that actually doesn't exist.\nDo you want to create that folder?"},
        {"folder missing, no asking", MissingFolder, false, std::nullopt, true, ""},
        {"target exists", TargetExists, true, std::nullopt, false, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string source = dir.file("Notepad.exe");
        const std::string folder = c.setup == MissingFolder ? dir.file("new folder") : dir.path().string();
        const std::string target = folder + "/Notepad.bak.exe";
        if (c.setup != MissingSource)
            writeText(source, "image");
        if (c.setup == ReadOnlySource)
            platform::setReadOnly(q(source), true);
        if (c.setup == TargetExists)
            writeText(target, "older backup");
        ScriptedPrompter p;
        ScopedPrompter scope(p);
        if (c.answer)
            p.answer(*c.answer);

        EXPECT_EQ(MoveFileWithPrompts(q(source), q(target), c.ask), c.moved);

        QString expected = QString::fromUtf8(c.shown);
        expected.replace(QStringLiteral("{S}"), q(source)).replace(QStringLiteral("{T}"), q(target)).replace(QStringLiteral("{F}"), q(folder));
        if (expected.isEmpty()) {
            EXPECT_TRUE(p.shown().empty());
        } else {
            ASSERT_EQ(p.shown().size(), 1u);
            EXPECT_EQ(p.last().text, expected);
        }
        EXPECT_EQ(p.unanswered(), 0);
        if (c.moved) {
            EXPECT_EQ(readText(target), "image");
            EXPECT_FALSE(QFile::exists(q(source)));
            EXPECT_FALSE(readOnly(target));
        } else if (c.setup == TargetExists) {
            EXPECT_EQ(readText(target), "older backup");
            EXPECT_EQ(readText(source), "image");
        } else if (c.setup != MissingSource) {
            EXPECT_EQ(readText(source), "image");
        }
    }
}

TEST(FileHelpers, DeleteWithPrompt)
{
    struct Case {
        const char *name;
        bool exists;
        bool readOnlyFile;
        bool quiet;
        std::optional<MessageAnswer> answer;
        bool deleted;
        const char *caption;
        const char *shown;   // {F} for the file
    };
    const Case cases[] = {
        {"plain", true, false, false, std::nullopt, true, "", ""},
        {"missing", false, false, false, std::nullopt, false, "Cannot delete file", "\"{F}\" not found"},
        {"missing, quiet", false, false, true, std::nullopt, false, "", ""},
        {"read-only, No", true, true, false, MessageAnswer::No, false, "Please Confirm",
         "The program needs to delete \"{F}\", that is a read-only file\nDo you wan to continue?"},
        {"read-only, Yes", true, true, false, MessageAnswer::Yes, true, "Please Confirm",
         "The program needs to delete \"{F}\", that is a read-only file\nDo you wan to continue?"},
        {"read-only, quiet", true, true, true, std::nullopt, true, "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string file = dir.file("Notepad.exe");
        if (c.exists)
            writeText(file, "x");
        if (c.readOnlyFile)
            platform::setReadOnly(q(file), true);
        ScriptedPrompter p;
        ScopedPrompter scope(p);
        if (c.answer)
            p.answer(*c.answer);
        EXPECT_EQ(DeleteFileWithPrompt(q(file), c.quiet), c.deleted);
        EXPECT_EQ(QFile::exists(q(file)), c.exists && !c.deleted);
        if (*c.shown) {
            ASSERT_EQ(p.shown().size(), 1u);
            EXPECT_EQ(p.last().caption, QLatin1String(c.caption));
            EXPECT_EQ(p.last().text, QString::fromUtf8(c.shown).replace(QStringLiteral("{F}"), q(file)));
        } else {
            EXPECT_TRUE(p.shown().empty());
        }
    }
}

TEST(FileHelpers, CopyWithCheck)
{
    struct Case {
        const char *name;
        bool sourceExists;
        bool folderExists;
        bool ask;
        std::optional<MessageAnswer> answer;
        bool copied;
        const char *shown;   // {S} source, {F} folder
    };
    const Case cases[] = {
        {"plain", true, true, true, std::nullopt, true, ""},
        {"missing source, asking", false, true, true, std::nullopt, false, "\"{S}\" not found"},
        {"missing source, not asking", false, true, false, std::nullopt, false, "\"{S}\" not found"},
        {"folder missing, not asking", true, false, false, std::nullopt, true, ""},
        {"folder missing, Yes", true, false, true, MessageAnswer::Yes, true,
         "COPY: folder \"{F}\" not found.\nCreate it now?"},
        {"folder missing, No", true, false, true, MessageAnswer::No, false,
         "COPY: folder \"{F}\" not found.\nCreate it now?"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string source = dir.file("Notepad.exe");
        const std::string folder = c.folderExists ? dir.path().string() : dir.file("backup");
        const std::string target = folder + "/Notepad.bak.exe";
        if (c.sourceExists)
            writeText(source, "image");
        if (c.folderExists)
            writeText(target, "replaced");
        ScriptedPrompter p;
        ScopedPrompter scope(p);
        if (c.answer)
            p.answer(*c.answer);
        EXPECT_EQ(CopyFileWithCheck(q(source), q(target), c.ask), c.copied);
        if (c.copied) {
            EXPECT_EQ(readText(target), "image");
        }
        if (*c.shown) {
            ASSERT_EQ(p.shown().size(), 1u);
            QString expected = QString::fromUtf8(c.shown);
            expected.replace(QStringLiteral("{S}"), q(source)).replace(QStringLiteral("{F}"), q(folder));
            EXPECT_EQ(p.last().text, expected);
            if (!c.sourceExists) {
                EXPECT_EQ(p.last().caption, QStringLiteral("Can not copy file"));
            }
        } else {
            EXPECT_TRUE(p.shown().empty());
        }
    }
}

TEST(FileHelpers, DesktopShortcut)
{
    TempDir dir;
    const QString target = q(dir.file("Kelpa32"));
    writeText(dir.file("Kelpa32"), "#!/bin/sh\n");
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString link = ShortcutPath(QStringLiteral("Kelpa"), CSIDL_DESKTOPDIRECTORY);
    EXPECT_EQ(link, QDir::homePath() + QStringLiteral("/Desktop/Kelpa.desktop"));
    EXPECT_FALSE(QFile::exists(link));
    ASSERT_TRUE(CreateShortcut(target, QStringLiteral("Kelpa"), CSIDL_DESKTOPDIRECTORY));
    QFile f(link);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    // Files dropped on it go to the program, it shows the programs' icon, and says what it is.
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=") + target + QStringLiteral(" %F\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nIcon=kelpa\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nComment=Plain, rich and encrypted documents in tabs\n")));
    EXPECT_FALSE(text.contains(QStringLiteral("VKShortcut")));
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (!validator.isEmpty()) {
        QProcess validate;
        validate.start(validator, {link});
        ASSERT_TRUE(validate.waitForFinished(20000));
        EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
        EXPECT_EQ(validate.readAllStandardOutput(), QByteArray());
    }
    EXPECT_FALSE(CreateShortcut(target, QStringLiteral("Kelpa"), 0x3F));

    // Installed under a prefix, the icon installed beside the programs.
    const std::string icon = dir.file("share/icons/hicolor/scalable/apps/kelpa.svg");
    QDir().mkpath(QFileInfo(q(icon)).absolutePath());
    writeText(icon, "<svg/>");
    QDir().mkpath(q(dir.file("bin")));
    writeText(dir.file("bin/Kelpa32"), "#!/bin/sh\n");
    QFile::setPermissions(q(dir.file("bin/Kelpa32")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::remove(link);
    ASSERT_TRUE(CreateShortcut(q(dir.file("bin/Kelpa32")), QStringLiteral("Kelpa"), CSIDL_DESKTOPDIRECTORY));
    QFile again(link);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(again.readAll()).contains(QStringLiteral("\nIcon=") + q(icon) + QStringLiteral("\n")));
}

TEST(FileHelpers, AShortcutThatCannotBeWrittenFails)
{
    // The desktop folder's place is taken by a file.
    const kelpa::test::FolderBlocked blocked(SpecialFolderPath(CSIDL_DESKTOPDIRECTORY));
    ASSERT_TRUE(blocked.ok());
    EXPECT_FALSE(CreateShortcut(QStringLiteral("/opt/kelpa/Kelpa32"), QStringLiteral("Kelpa"),
                                CSIDL_DESKTOPDIRECTORY));
}

namespace {

std::optional<QString> classesDefault(const QString &path)
{
    platform::RegistryKey key(platform::RegistryRoot::ClassesRoot);
    if (!key.openKey(path, false))
        return std::nullopt;
    return key.readString(QString());
}

void setClassesDefault(const QString &path, const QString &value)
{
    platform::RegistryKey key(platform::RegistryRoot::ClassesRoot);
    ASSERT_TRUE(key.openKey(path, true));
    ASSERT_TRUE(key.writeString(QString(), value));
}

} // namespace

TEST(RegisterFileType, OnAFreshExtension)
{
    const QString exe = QStringLiteral("/opt/kelpa/Kelpa32");
    ASSERT_TRUE(RegisterFileType(QStringLiteral("ECO"), QStringLiteral("Encrypted and COmpressed file"), exe, 1));
    const std::pair<const char *, const char *> layout[] = {
        {".ECO", "ECO_auto_file"},
        {"ECO_auto_file", "Encrypted and COmpressed file"},
        {"ECO_auto_file\\DefaultIcon", "/opt/kelpa/Kelpa32,1"},
        {"ECO_auto_file\\shell\\open\\command", "/opt/kelpa/Kelpa32 %1"},
        {"ECO_auto_file\\shell", "open"},
    };
    for (const auto &[path, value] : layout)
        EXPECT_EQ(classesDefault(QLatin1String(path)), QString::fromUtf8(value)) << path;
    platform::RegistryKey key(platform::RegistryRoot::ClassesRoot);
    EXPECT_FALSE(key.keyExists(QStringLiteral("ECO_auto_file\\shell\\open\\ddeexec")));
    // Keys compare without case, as the extension may arrive in either.
    EXPECT_EQ(classesDefault(QStringLiteral(".eco")), QStringLiteral("ECO_auto_file"));
    // And the desktop learns it too.
    const QString entry = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                        + QStringLiteral("/applications/kelpa-kelpa32.desktop");
    EXPECT_TRUE(QFile::exists(entry));
}

TEST(RegisterFileType, OnAnExtensionThatAlreadyHasAType)
{
    setClassesDefault(QStringLiteral(".rtf"), QStringLiteral("Word.RTF.8"));
    setClassesDefault(QStringLiteral("Word.RTF.8"), QStringLiteral("Rich Text Document"));
    setClassesDefault(QStringLiteral("Word.RTF.8\\shell\\open\\ddeexec"), QStringLiteral("[open(\"%1\")]"));
    setClassesDefault(QStringLiteral("Word.RTF.8\\shell\\open\\ddeexec\\topic"), QStringLiteral("System"));

    ASSERT_TRUE(RegisterFileType(QStringLiteral("RTF"), QString(), QStringLiteral("/opt/kelpa/Kelpa32"), 1));
    EXPECT_EQ(classesDefault(QStringLiteral(".rtf")), QStringLiteral("Word.RTF.8"));
    // No description given: the type's own text stays.
    EXPECT_EQ(classesDefault(QStringLiteral("Word.RTF.8")), QStringLiteral("Rich Text Document"));
    EXPECT_EQ(classesDefault(QStringLiteral("Word.RTF.8\\DefaultIcon")), QStringLiteral("/opt/kelpa/Kelpa32,1"));
    EXPECT_EQ(classesDefault(QStringLiteral("Word.RTF.8\\shell\\open\\command")), QStringLiteral("/opt/kelpa/Kelpa32 %1"));
    EXPECT_EQ(classesDefault(QStringLiteral("Word.RTF.8\\shell")), QStringLiteral("open"));
    platform::RegistryKey key(platform::RegistryRoot::ClassesRoot);
    EXPECT_FALSE(key.keyExists(QStringLiteral("Word.RTF.8\\shell\\open\\ddeexec")));
    EXPECT_FALSE(key.keyExists(QStringLiteral("RTF_auto_file")));

    // An extension key whose default value is empty gets the type of its own.
    setClassesDefault(QStringLiteral(".txt"), QString());
    ASSERT_TRUE(RegisterFileType(QStringLiteral("txt"), QStringLiteral("Plain text file"), QStringLiteral("/opt/kelpa/Kelpa32"), 1));
    EXPECT_EQ(classesDefault(QStringLiteral(".txt")), QStringLiteral("txt_auto_file"));
}

// The first step that fails is told, though every later one (the desktop's files) succeeds.
TEST(RegisterFileType, AStoreThatCannotBeWrittenIsReportedWithItsSystemError)
{
    struct Case {
        const char *what;
        QString blocked; // a file where this folder belongs
        int error;
    };
    const Case cases[] = {
        {"registry folder", platform::registryFolder(), ENOTDIR},
        {"desktop entries", QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                                + QStringLiteral("/applications"),
         ENOTDIR},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const kelpa::test::FolderBlocked blocked(c.blocked);
        ASSERT_TRUE(blocked.ok());
        EXPECT_EQ(RegisterFileType(QStringLiteral("ECO"), QString(), QStringLiteral("/opt/kelpa/Kelpa32"), 1).error,
                  c.error);
    }
    // A store that is a folder is read first, and the read tells.
    const QString store = platform::registryFolder() + QStringLiteral("/HKEY_CLASSES_ROOT.json");
    QFile::remove(store);
    ASSERT_TRUE(QDir().mkpath(store));
    EXPECT_EQ(RegisterFileType(QStringLiteral("ECO"), QString(), QStringLiteral("/opt/kelpa/Kelpa32"), 1).error, EISDIR);
    QDir(store).removeRecursively();
    EXPECT_TRUE(RegisterFileType(QStringLiteral("ECO"), QString(), QStringLiteral("/opt/kelpa/Kelpa32"), 1).ok());
}
