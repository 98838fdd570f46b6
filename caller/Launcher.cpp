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

int LauncherMain(const QStringList &arguments)
{
    const QString folder = startFolder();
    return QProcess::startDetached(editorProgram(folder), arguments, folder) ? 0 : 1;
}

} // namespace kelpa::caller
