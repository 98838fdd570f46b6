#include "support/FileHelpers.h"

#include "platform/Registry.h"
#include "support/MessageBoxes.h"
#include "support/Launch.h"

#include <QFileInfo>

namespace kelpa {

namespace {

const QChar quote = QLatin1Char('"');

QString folderOf(const QString &file)
{
    return QFileInfo(file).absolutePath();
}

} // namespace

QString SystemFolder(int kind)
{
    return platform::systemFolder(kind);
}

QString SpecialFolderPath(int csidl)
{
    return platform::specialFolderPath(csidl);
}

QString ShortcutPath(const QString &name, int csidl)
{
    const QString folder = SpecialFolderPath(csidl);
    return folder.isEmpty() ? QString() : platform::shortcutFileName(folder, name);
}

bool CreateShortcut(const QString &target, const QString &name, int csidl)
{
    const QString folder = SpecialFolderPath(csidl);
    if (folder.isEmpty())
        return false;
    return platform::writeShortcut(folder, name, target, QStringLiteral("Plain, rich and encrypted documents in tabs"),
                                   platform::installedIcon(QFileInfo(target).absolutePath()));
}

bool FileHasAttribute(const QString &file, std::uint32_t mask)
{
    return (platform::fileAttributes(file) & mask) != 0;
}

bool MoveFileWithPrompts(const QString &source, const QString &target, bool ask)
{
    if (!platform::fileExists(source)) {
        if (ask)
            ShowMessage(QStringLiteral("Cannot move file: ") + quote + source + quote
                        + QStringLiteral(" not found"));
        return false;
    }
    if (FileHasAttribute(source, FILE_ATTRIBUTE_READONLY)) {
        if (ask
            && !ConfirmYesNo(QStringLiteral("This program needs to move ") + quote + source + quote
                             + QStringLiteral("\nto ") + quote + target + quote
                             + QStringLiteral(", but it is a read-only file.")
                             + QStringLiteral("\nDo you want to continue?")))
            return false;
        platform::setReadOnly(source, false);
    }
    const QString folder = folderOf(target);
    if (!FolderIsUsable(folder)) {
        if (ask
            && !ConfirmYesNo(QStringLiteral("This program needs to move a file to the path ") + quote
                             + folder + quote
                             + QStringLiteral(" that actually doesn't exist.\n")
                             + QStringLiteral("Do you want to create that folder?")))
            return false;
        platform::createDirectory(folder);
    }
    return platform::moveFile(source, target);
}

bool DeleteFileWithPrompt(const QString &file, bool quiet)
{
    if (!platform::fileExists(file)) {
        if (!quiet)
            ShowMessageBox(QStringLiteral("Cannot delete file"),
                           quote + file + quote + QStringLiteral(" not found"));
        return false;
    }
    if (FileHasAttribute(file, FILE_ATTRIBUTE_READONLY)) {
        if (!quiet
            && !ConfirmYesNo(QStringLiteral("The program needs to delete ") + quote + file + quote
                             + QStringLiteral(", that is a read-only file\nDo you wan to continue?")))
            return false;
        platform::setReadOnly(file, false);
    }
    return platform::deleteFile(file);
}

bool CopyFileWithCheck(const QString &source, const QString &target, bool ask)
{
    if (!platform::fileExists(source)) {
        ShowMessageBox(QStringLiteral("Can not copy file"),
                       quote + source + quote + QStringLiteral(" not found"));
        return false;
    }
    const QString folder = folderOf(target);
    if (!FolderIsUsable(folder)) {
        if (!ask
            || ConfirmYesNo(QStringLiteral("COPY: folder ") + quote + folder + quote
                            + QStringLiteral(" not found.\nCreate it now?")))
            platform::createDirectory(folder);
    }
    return platform::copyFile(source, target, true);
}

platform::SystemResult RegisterFileType(const QString &ext, const QString &description, const QString &exe,
                                        int iconIndex)
{
    using platform::RegistryKey;
    using platform::RegistryRoot;
    using platform::SystemResult;
    // Every key is written even after a failure; the first failure is the one told.
    SystemResult result;
    RegistryKey reg(RegistryRoot::ClassesRoot);
    const SystemResult opened = reg.openKey(QStringLiteral(".") + ext, true);
    result.keep(opened);
    QString type = opened ? reg.readString(QString()).value_or(QString()) : QString();
    if (type.isEmpty()) {
        type = ext + QStringLiteral("_auto_file");
        if (opened)
            result.keep(reg.writeString(QString(), type));
    }
    reg.closeKey();

    auto writeDefault = [&](const QString &path, const QString &value) {
        SystemResult done = reg.openKey(path, true);
        if (done)
            done = reg.writeString(QString(), value);
        reg.closeKey();
        result.keep(done);
    };
    if (!description.isEmpty())
        writeDefault(type, description);
    writeDefault(type + QStringLiteral("\\DefaultIcon"), exe + QStringLiteral(",") + QString::number(iconIndex));
    writeDefault(type + QStringLiteral("\\shell\\open\\command"), exe + QStringLiteral(" %1"));
    // A missing key is what we want; only a store that cannot be read is an error here.
    const QString dde = type + QStringLiteral("\\shell\\open\\ddeexec");
    if (reg.keyExists(dde))
        result.keep(reg.deleteKey(dde));
    writeDefault(type + QStringLiteral("\\shell"), QStringLiteral("open"));

    result.keep(platform::associateExtension(ext, description, exe));
    return result;
}

} // namespace kelpa
