#include "editor/HandOff.h"

#include "editor/SafeFile.h"

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
    const QString whole = here.absoluteFilePath(joined);
    QStringList each;
    for (const QString &arg : arguments) {
        if (arg.isEmpty())
            break;
        if (arg.toUpper() != QLatin1String("/P"))
            each << here.absoluteFilePath(arg);
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
    return writeFileReplacing(loadRequestFile(programFolder), bytes);
}

LoadRequest takeLoadRequest(const QString &programFolder)
{
    QFile f(loadRequestFile(programFolder));
    if (!f.open(QIODevice::ReadOnly))
        return {};
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

} // namespace kelpa::editor
