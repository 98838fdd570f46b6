#pragma once
// The user's batches: shell scripts named "*.bat" in the batch folder, listed for the Tools
// menu and run on the current document's file.
#include <QString>
#include <QStringList>

namespace kelpa::editor {

// Names of the batches (file names without ".bat", any case of the suffix), normal files only,
// in name order as the file list sorts them (case does not matter).
QStringList listBatches(const QString &batchFolder);

// How a batch runs: a program with its argument list and working folder. Nothing is ever
// joined into a command text, so blanks, quotes and leading dashes in names are harmless.
struct BatchLaunch {
    QString program;
    QStringList arguments;
    QString folder;
};

// `/bin/sh <folder>/<name>.bat <document>` in the batch folder; with `inWindow`, the same
// command inside the desktop's terminal window.
BatchLaunch batchLaunch(const QString &batchFolder, const QString &name, const QString &document,
                        bool inWindow);

} // namespace kelpa::editor
