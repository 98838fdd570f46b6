#include "editor/NotepadReplacement.h"

#include "editor/SafeFile.h"
#include "platform/Desktop.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStandardPaths>

namespace kelpa::editor {

namespace {

const QByteArray kMagic = "Kelpa plain-text default backup 1\n";
const QByteArray kPlainText = "text/plain";
const QList<QByteArray> kSections = {"[Default Applications]", "[Added Associations]"};

std::optional<QByteArray> readAll(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return f.readAll();
}

QByteArray keyOf(const QByteArray &line)
{
    const int eq = line.indexOf('=');
    return eq > 0 ? line.left(eq).trimmed() : QByteArray();
}

// The plain-text line of each section in `text`, empty when there is none.
QByteArray lineIn(const QList<QByteArray> &lines, const QByteArray &section)
{
    bool in = false;
    for (const QByteArray &line : lines) {
        const QByteArray t = line.trimmed();
        if (t.startsWith('['))
            in = t == section;
        else if (in && keyOf(t) == kPlainText)
            return line;
    }
    return {};
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

QByteArray encodeNotepadBackup(const NotepadBackup &backup)
{
    return kMagic + (backup.hadList ? backup.before.toBase64() : QByteArray("-")) + '\n' + backup.after.toBase64()
         + '\n';
}

bool decodeNotepadBackup(const QByteArray &bytes, NotepadBackup &backup)
{
    if (!bytes.startsWith(kMagic))
        return false;
    const QList<QByteArray> parts = bytes.mid(kMagic.size()).split('\n');
    if (parts.size() != 3 || !parts[2].isEmpty())
        return false;
    auto decode = [](const QByteArray &b64, QByteArray &out) {
        const auto r = QByteArray::fromBase64Encoding(b64, QByteArray::AbortOnBase64DecodingErrors);
        out = r.decoded;
        return static_cast<bool>(r);
    };
    backup.hadList = parts[0] != "-";
    if (!backup.hadList)
        backup.before.clear();
    else if (!decode(parts[0], backup.before))
        return false;
    return decode(parts[1], backup.after);
}

QByteArray restorePlainTextKeys(const QByteArray &current, const QByteArray &before)
{
    const bool endsWithBreak = current.endsWith('\n');
    QList<QByteArray> lines = current.split('\n');
    if (endsWithBreak)
        lines.removeLast();
    const QList<QByteArray> old = before.split('\n');
    for (const QByteArray &section : kSections) {
        const QByteArray wanted = lineIn(old, section);
        int header = -1;
        int last = -1; // last non-blank line of the section
        int at = -1;
        for (int i = 0; i < lines.size(); ++i) {
            const QByteArray t = lines[i].trimmed();
            if (t.startsWith('[')) {
                if (header >= 0)
                    break;
                if (t == section)
                    header = last = i;
                continue;
            }
            if (header < 0)
                continue;
            if (!t.isEmpty())
                last = i;
            if (keyOf(t) == kPlainText)
                at = i;
        }
        if (!wanted.isEmpty()) {
            if (at >= 0)
                lines[at] = wanted;
            else if (header >= 0)
                lines.insert(last + 1, wanted);
            else
                lines << QByteArray() << section << wanted;
            continue;
        }
        if (at < 0)
            continue;
        lines.removeAt(at);
        if (at == last)
            --last;
        if (last == header) {
            // A section that held only that line goes with it, and the blank line put before it.
            lines.removeAt(header);
            if (header > 0 && header - 1 < lines.size() && lines[header - 1].trimmed().isEmpty()
                && (header == lines.size() || lines.value(header).trimmed().startsWith('[')))
                lines.removeAt(header - 1);
        }
    }
    QByteArray out = lines.join('\n');
    if (endsWithBreak || !lines.isEmpty())
        out += '\n';
    return out;
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
        backup.before = *bytes;
    }
    const QString backupFile = notepadBackupFile(programFolder);
    // The backup first: without it the old default could not be put back.
    if (!writeFileReplacing(backupFile, encodeNotepadBackup(backup)))
        return NotepadResult::BackupFailed;
    if (!platform::associateExtension(QStringLiteral("txt"), QStringLiteral("Plain text file"), caller)) {
        if (backup.hadList)
            writeFileReplacing(list, backup.before);
        else
            QFile::remove(list);
        QFile::remove(backupFile);
        return NotepadResult::AssociationFailed;
    }
    backup.after = readAll(list).value_or(QByteArray());
    writeFileReplacing(backupFile, encodeNotepadBackup(backup));
    return NotepadResult::Done;
}

NotepadResult restoreNotepad(const QString &programFolder)
{
    const QString backupFile = notepadBackupFile(programFolder);
    NotepadBackup backup;
    const auto bytes = readAll(backupFile);
    if (!bytes || !decodeNotepadBackup(*bytes, backup))
        return NotepadResult::BadBackup;
    const QString list = mimeAppsListFile();
    const auto current = readAll(list);
    bool ok = true;
    if (!current || *current == backup.after) {
        // Untouched since (or gone): the list as it was.
        if (backup.hadList)
            ok = writeFileReplacing(list, backup.before);
        else
            ok = !QFileInfo::exists(list) || QFile::remove(list);
    } else {
        ok = writeFileReplacing(list, restorePlainTextKeys(*current, backup.before));
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
