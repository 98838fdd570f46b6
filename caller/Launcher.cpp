#include "caller/Launcher.h"

#include "platform/Desktop.h"
#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace kelpa::caller {

QString startFolder()
{
    const QString desktop = platform::specialFolderPath(platform::CSIDL_DESKTOPDIRECTORY);
    return !desktop.isEmpty() && QFileInfo(desktop).isDir() ? desktop : QDir::homePath();
}

QString editorProgram(const QString &desktopFolder)
{
    bool isProgram = false;
    const QString target =
        platform::launcherTarget(platform::shortcutFileName(desktopFolder, QStringLiteral("Kelpa")), &isProgram);
    if (isProgram && QFileInfo(target).isExecutable())
        return target;
    return platform::mapProgramName(QStringLiteral("Kelpa"));
}

QStringList editorArguments(const QStringList &arguments, const QString &currentFolder)
{
    const QDir here(currentFolder);
    QStringList each;
    for (const QString &argument : arguments) {
        if (argument.isEmpty())
            break;
        if (argument.toUpper() != QLatin1String("/P"))
            each << argument;
    }
    if (each.isEmpty())
        return {};
    const QString whole = QDir::cleanPath(here.absoluteFilePath(each.join(QLatin1Char(' '))));
    if (each.size() < 2 || QFileInfo::exists(whole))
        return {whole};
    QStringList files;
    for (const QString &argument : each) {
        const QString file = QDir::cleanPath(here.absoluteFilePath(argument));
        if (!QFileInfo(file).isFile())
            return {whole};
        files << file;
    }
    return files;
}

int LauncherMain(const QStringList &arguments)
{
    const QString folder = startFolder();
    return QProcess::startDetached(editorProgram(folder), editorArguments(arguments, QDir::currentPath()), folder) ? 0
                                                                                                                  : 1;
}

} // namespace kelpa::caller
