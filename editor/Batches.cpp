#include "editor/Batches.h"

#include <QDir>

namespace kelpa::editor {

namespace {
const QString kSuffix = QStringLiteral(".bat");
}

QStringList listBatches(const QString &batchFolder)
{
    QDir dir(batchFolder);
    dir.setNameFilters({QStringLiteral("*.bat")});
    dir.setFilter(QDir::Files);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    QStringList names;
    for (const QString &file : dir.entryList())
        names << file.left(file.size() - kSuffix.size());
    return names;
}

BatchLaunch batchLaunch(const QString &batchFolder, const QString &name, const QString &document,
                        bool inWindow)
{
    QString folder = batchFolder;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    // Absolute paths: a name that begins with "-" is never taken for an option.
    const QString script = QDir(folder).absoluteFilePath(name + kSuffix);
    const QString doc = QDir(folder).absoluteFilePath(document);
    BatchLaunch launch;
    launch.folder = folder;
    if (inWindow) {
        launch.program = QStringLiteral("x-terminal-emulator");
        launch.arguments = {QStringLiteral("-e"), QStringLiteral("/bin/sh"), script, doc};
    } else {
        launch.program = QStringLiteral("/bin/sh");
        launch.arguments = {script, doc};
    }
    return launch;
}

} // namespace kelpa::editor
