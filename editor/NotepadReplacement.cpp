#include "editor/NotepadReplacement.h"

#include "platform/safefile/SafeFile.h"
#include "platform/Desktop.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace kelpa::editor {

namespace {

std::optional<QByteArray> readAll(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return f.readAll();
}

// Through a temporary file: a failed write leaves the old file whole.
bool writeFileReplacing(const QString &file, const QByteArray &bytes)
{
    SafeFileWriter out(QFile::encodeName(file).toStdString());
    return out.isOpen() && out.write(bytes.constData(), static_cast<std::size_t>(bytes.size())) && out.commit();
}

} // namespace

QString notepadBackupFile(const QString &programFolder)
{
    return programFolder + QLatin1String(kNotepadBackupName);
}

bool notepadReplaced(const QString &programFolder) { return QFileInfo::exists(notepadBackupFile(programFolder)); }

QString mimeAppsListFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/mimeapps.list");
}

NotepadResult replaceNotepad(const QString &programFolder, const QString &caller)
{
    const QString list = mimeAppsListFile();
    NotepadBackup backup;
    backup.hadList = QFileInfo::exists(list);
    if (backup.hadList) {
        const auto bytes = readAll(list);
        if (!bytes)
            return NotepadResult::BackupFailed;
        backup.before = bytes->toStdString();
    }
    const QString backupFile = notepadBackupFile(programFolder);
    // The backup first: without it the old default could not be put back.
    if (!writeFileReplacing(backupFile, QByteArray::fromStdString(encodeNotepadBackup(backup))))
        return NotepadResult::BackupFailed;
    if (!platform::associateExtension(QStringLiteral("txt"), QStringLiteral("Plain text file"), caller)) {
        if (backup.hadList)
            writeFileReplacing(list, QByteArray::fromStdString(backup.before));
        else
            QFile::remove(list);
        QFile::remove(backupFile);
        return NotepadResult::AssociationFailed;
    }
    backup.after = readAll(list).value_or(QByteArray()).toStdString();
    writeFileReplacing(backupFile, QByteArray::fromStdString(encodeNotepadBackup(backup)));
    return NotepadResult::Done;
}

NotepadResult restoreNotepad(const QString &programFolder)
{
    const QString backupFile = notepadBackupFile(programFolder);
    NotepadBackup backup;
    const auto bytes = readAll(backupFile);
    if (!bytes || !decodeNotepadBackup(std::string_view(bytes->constData(), static_cast<std::size_t>(bytes->size())), backup))
        return NotepadResult::BadBackup;
    const QString list = mimeAppsListFile();
    const auto current = readAll(list);
    bool ok = true;
    if (!current || current->toStdString() == backup.after) {
        // Untouched since (or gone): the list as it was.
        if (backup.hadList)
            ok = writeFileReplacing(list, QByteArray::fromStdString(backup.before));
        else
            ok = !QFileInfo::exists(list) || QFile::remove(list);
    } else {
        ok = writeFileReplacing(list, QByteArray::fromStdString(restorePlainTextKeys(
                                          std::string_view(current->constData(), static_cast<std::size_t>(current->size())),
                                          backup.before)));
    }
    if (!ok)
        return NotepadResult::RestoreFailed;
    // The caller's entry exists for the replacement alone.
    QFile::remove(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                  + QStringLiteral("/applications/kelpa-caller.desktop"));
    QFile::remove(backupFile);
    return NotepadResult::Done;
}

} // namespace kelpa::editor
