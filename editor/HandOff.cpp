#include "editor/HandOff.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace kelpa::editor {

QString DocumentPathArgument(const QStringList &arguments)
{
    QString joined;
    for (const QString &arg : arguments) {
        if (arg.isEmpty())
            break;
        if (arg.toUpper() == QLatin1String("/P"))
            continue;
        if (!joined.isEmpty())
            joined += QLatin1Char(' ');
        joined += arg;
    }
    return joined;
}

QStringList DocumentPathArguments(const QStringList &arguments, const QString &currentFolder)
{
    const QDir here(currentFolder);
    const QString joined = DocumentPathArgument(arguments);
    if (joined.isEmpty())
        return {};
    const QString whole = QDir::cleanPath(here.absoluteFilePath(joined));
    QStringList each;
    for (const QString &arg : arguments) {
        if (arg.isEmpty())
            break;
        if (arg.toUpper() != QLatin1String("/P"))
            each << QDir::cleanPath(here.absoluteFilePath(arg));
    }
    if (each.size() < 2 || QFileInfo::exists(whole))
        return {whole};
    for (const QString &file : each)
        if (!QFileInfo(file).isFile())
            return {whole};
    return each;
}

QString loadRequestFile(const QString &programFolder) { return programFolder + QStringLiteral("loadreq"); }

QString multiMarkerFile(const QString &programFolder) { return programFolder + QStringLiteral("multi.dat"); }

namespace {

std::string fileName(const QString &path) { return QFile::encodeName(path).toStdString(); }

// The running editor's word that it took a request: the very file written, under this name.
QString confirmationFile(const QString &programFolder) { return loadRequestFile(programFolder) + QStringLiteral(".done"); }

} // namespace

bool multipleWindowsAllowed(const QString &programFolder) { return handoff::exists(fileName(multiMarkerFile(programFolder))); }

platform::SystemResult setMultipleWindowsAllowed(const QString &programFolder, bool allowed)
{
    const std::string marker = fileName(multiMarkerFile(programFolder));
    if (allowed)
        return {handoff::write(marker, {}).error};
    if (::unlink(marker.c_str()) != 0 && errno != ENOENT)
        return {errno};
    return {};
}

handoff::FileId writeLoadRequest(const QString &programFolder, const QString &path)
{
    const QByteArray bytes = path.isEmpty() ? QByteArray(kVoidCall) : path.toUtf8();
    const handoff::WriteResult written = handoff::write(
        fileName(loadRequestFile(programFolder)), std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return written.ok() ? written.id : handoff::FileId{};
}

namespace {

// The request moved out of the way under a name of this process's own: whichever of the
// running editor and the start that wrote it moves it first has it, the other finds nothing.
QString claimLoadRequest(const QString &programFolder, const char *purpose)
{
    const QString claimed = loadRequestFile(programFolder) + QLatin1Char('.') + QLatin1String(purpose)
                            + QString::number(QCoreApplication::applicationPid());
    QFile::remove(claimed);
    return ::rename(QFile::encodeName(loadRequestFile(programFolder)).constData(), QFile::encodeName(claimed).constData()) == 0
               ? claimed
               : QString();
}

} // namespace

LoadRequest takeLoadRequest(const QString &programFolder)
{
    const QString claimed = claimLoadRequest(programFolder, "taken");
    if (claimed.isEmpty())
        return {};
    const handoff::ReadResult read = handoff::read(fileName(claimed), kLoadRequestLimit);
    QByteArray bytes = read.ok() ? QByteArray::fromStdString(read.bytes) : QByteArray();
    const bool confirmed = !bytes.isEmpty()
                           && ::rename(QFile::encodeName(claimed).constData(),
                                       QFile::encodeName(confirmationFile(programFolder)).constData()) == 0;
    if (!confirmed) {
        QFile::remove(claimed);
        return {};
    }
    if (const qsizetype lf = bytes.indexOf('\n'); lf >= 0)
        bytes.truncate(lf);
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    if (bytes.isEmpty())
        return {};
    if (bytes == kVoidCall)
        return {LoadRequest::Kind::BringToFront, {}};
    return {LoadRequest::Kind::Open, QString::fromUtf8(bytes)};
}

bool loadRequestPending(const QString &programFolder) { return handoff::idOf(fileName(loadRequestFile(programFolder))).valid(); }

bool loadRequestConfirmed(const QString &programFolder, const handoff::FileId &written)
{
    const QString confirmation = confirmationFile(programFolder);
    if (!written.valid() || handoff::idOf(fileName(confirmation)) != written)
        return false;
    QFile::remove(confirmation);
    return true;
}

bool withdrawLoadRequest(const QString &programFolder, const handoff::FileId &written)
{
    const QString claimed = claimLoadRequest(programFolder, "withdrawn");
    if (!claimed.isEmpty()) {
        QFile::remove(claimed);
        return true;
    }
    return !loadRequestConfirmed(programFolder, written);
}

} // namespace kelpa::editor
