#include "editor/NotepadReplacement.h"

#include "platform/safefile/SafeFile.h"
#include "platform/Desktop.h"
#include "platform/FileBytes.h"
#include "platform/handoff/HandOffFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace kelpa::editor {

namespace {

// A backup far beyond any list of default applications is none of ours.
constexpr std::size_t kBackupLimit = 16 * 1024 * 1024;

// The backup as the user's own regular file only: one that another user left, a link or a
// pipe is no backup.
std::optional<QByteArray> readBackup(const QString &file)
{
    const handoff::ReadResult read = handoff::read(QFile::encodeName(file).toStdString(), kBackupLimit + 1);
    if (!read.ok() || read.bytes.size() > kBackupLimit)
        return std::nullopt;
    return QByteArray::fromStdString(read.bytes);
}

int writeBackup(const QString &file, const std::string &bytes)
{
    return handoff::write(QFile::encodeName(file).toStdString(), bytes).error;
}

// The list's mode while it is rewritten: a read-only list is rewritten only after the user
// agreed, and whatever writes it, the mode it had comes back.
class ListMode {
public:
    explicit ListMode(const QString &list) : name_(QFile::encodeName(list))
    {
        struct stat st {};
        if (::stat(name_.constData(), &st) == 0 && S_ISREG(st.st_mode)) {
            known_ = true;
            mode_ = st.st_mode & 07777;
        }
    }
    bool readOnly() const { return known_ && (mode_ & S_IWUSR) == 0; }
    void restore() const
    {
        struct stat st {};
        if (known_ && ::stat(name_.constData(), &st) == 0 && (st.st_mode & 07777) != mode_)
            ::chmod(name_.constData(), mode_);
    }

private:
    QByteArray name_;
    bool known_ = false;
    mode_t mode_ = 0;
};

bool mayRewrite(const QString &list, const ListMode &mode, const ReadOnlyQuestion &confirmReadOnly)
{
    return !mode.readOnly() || !confirmReadOnly || confirmReadOnly(list);
}

// Through a temporary file: a failed write leaves the old file whole. 0, or the system error.
int writeFileReplacing(const QString &file, const QByteArray &bytes)
{
    SafeFileWriter out(QFile::encodeName(file).toStdString());
    if (out.isOpen() && out.write(bytes.constData(), static_cast<std::size_t>(bytes.size())) && out.commit())
        return 0;
    return out.systemError() != 0 ? out.systemError() : EIO;
}

} // namespace

QString notepadBackupFile(const QString &programFolder)
{
    return programFolder + QLatin1String(kNotepadBackupName);
}

bool notepadReplaced(const QString &programFolder)
{
    return handoff::exists(QFile::encodeName(notepadBackupFile(programFolder)).toStdString());
}

QString readOnlyListQuestion(const QString &file)
{
    return QStringLiteral("The program needs to delete \"") + file
           + QStringLiteral("\", that is a read-only file\nDo you wan to continue?");
}

QString mimeAppsListFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/mimeapps.list");
}

NotepadOutcome replaceNotepad(const QString &programFolder, const QString &caller,
                              const ReadOnlyQuestion &confirmReadOnly)
{
    const QString list = mimeAppsListFile();
    const ListMode mode(list);
    if (!mayRewrite(list, mode, confirmReadOnly))
        return {NotepadResult::Declined};
    NotepadBackup backup;
    backup.hadList = QFileInfo::exists(list);
    if (backup.hadList) {
        const platform::FileBytes read = platform::readFileBytes(list);
        if (!read.bytes)
            return {NotepadResult::BackupFailed, read.error};
        backup.before = read.bytes->toStdString();
    }
    const QString backupFile = notepadBackupFile(programFolder);
    // The backup first: without it the old default could not be put back.
    if (const int error = writeBackup(backupFile, encodeNotepadBackup(backup)))
        return {NotepadResult::BackupFailed, error};
    // What failed is told, not what putting things back met afterwards.
    if (const platform::DesktopResult associated =
            platform::associateExtension(QStringLiteral("txt"), QStringLiteral("Plain text file"), caller);
        !associated.ok()) {
        if (backup.hadList)
            writeFileReplacing(list, QByteArray::fromStdString(backup.before));
        else
            QFile::remove(list);
        mode.restore();
        QFile::remove(backupFile);
        return {NotepadResult::AssociationFailed, associated.error};
    }
    mode.restore();
    backup.after = platform::readFileBytes(list).bytes.value_or(QByteArray()).toStdString();
    writeBackup(backupFile, encodeNotepadBackup(backup));
    return {NotepadResult::Done};
}

NotepadOutcome restoreNotepad(const QString &programFolder, const ReadOnlyQuestion &confirmReadOnly)
{
    const QString backupFile = notepadBackupFile(programFolder);
    NotepadBackup backup;
    const auto bytes = readBackup(backupFile);
    if (!bytes || !decodeNotepadBackup(std::string_view(bytes->constData(), static_cast<std::size_t>(bytes->size())), backup))
        return {NotepadResult::BadBackup};
    const QString list = mimeAppsListFile();
    const ListMode mode(list);
    if (!mayRewrite(list, mode, confirmReadOnly))
        return {NotepadResult::Declined};
    const std::optional<QByteArray> current = platform::readFileBytes(list).bytes;
    int error = 0;
    if (!current || current->toStdString() == backup.after) {
        // Untouched since (or gone): the list as it was.
        if (backup.hadList) {
            error = writeFileReplacing(list, QByteArray::fromStdString(backup.before));
        } else if (QFileInfo::exists(list) && ::unlink(QFile::encodeName(list).constData()) != 0) {
            error = errno;
        }
    } else {
        error = writeFileReplacing(list, QByteArray::fromStdString(restorePlainTextKeys(
                                             std::string_view(current->constData(), static_cast<std::size_t>(current->size())),
                                             backup.before)));
    }
    mode.restore();
    if (error != 0)
        return {NotepadResult::RestoreFailed, error};
    // The caller's entry exists for the replacement alone.
    QFile::remove(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                  + QStringLiteral("/applications/kelpa-caller.desktop"));
    QFile::remove(backupFile);
    return {NotepadResult::Done};
}

} // namespace kelpa::editor
