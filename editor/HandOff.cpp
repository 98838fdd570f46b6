#include "editor/HandOff.h"

#include "support/documents/Documents.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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

bool multipleWindowsAllowed(const QString &programFolder) { return QFile::exists(multiMarkerFile(programFolder)); }

bool writeLoadRequest(const QString &programFolder, const QString &path)
{
    const QByteArray bytes = path.isEmpty() ? QByteArray(kVoidCall) : path.toUtf8();
    return documents::writeTextFile(loadRequestFile(programFolder), bytes).ok();
}

namespace {

// The request moved out of the way under a name of this process's own: whichever of the
// running editor and the start that wrote it moves it first has it, the other finds nothing.
QString claimLoadRequest(const QString &programFolder, const char *purpose)
{
    const QString claimed = loadRequestFile(programFolder) + QLatin1Char('.') + QLatin1String(purpose)
                            + QString::number(QCoreApplication::applicationPid());
    QFile::remove(claimed);
    return QFile::rename(loadRequestFile(programFolder), claimed) ? claimed : QString();
}

} // namespace

LoadRequest takeLoadRequest(const QString &programFolder)
{
    const QString claimed = claimLoadRequest(programFolder, "taken");
    if (claimed.isEmpty())
        return {};
    QFile f(claimed);
    if (!f.open(QIODevice::ReadOnly)) {
        QFile::remove(claimed);
        return {};
    }
    QByteArray bytes = f.read(kLoadRequestLimit);
    f.close();
    f.remove();
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

bool loadRequestPending(const QString &programFolder) { return QFile::exists(loadRequestFile(programFolder)); }

bool withdrawLoadRequest(const QString &programFolder)
{
    const QString claimed = claimLoadRequest(programFolder, "withdrawn");
    if (claimed.isEmpty())
        return false;
    QFile::remove(claimed);
    return true;
}

} // namespace kelpa::editor
