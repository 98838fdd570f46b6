#pragma once
// The user's batches: shell scripts named "*.bat" in the batch folder, listed for the Tools
// menu and run on the current document's file.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace kelpa::editor {

// A batch as the Tools menu lists it: its name (the file name without ".bat") and the file
// itself, whose suffix may be in any case ("Upper.BAT").
struct BatchFile {
    QString name;
    QString file;
    bool operator==(const BatchFile &) const = default;
};

// The batches of the folder, normal files only, in name order as the file list sorts them
// (case does not matter).
std::vector<BatchFile> listBatches(const QString &batchFolder);

// A terminal program and the option after which it takes a command as an argument list
// (empty: the command follows the program's own options directly).
struct Terminal {
    QString program;
    QStringList commandOption;
    bool operator==(const Terminal &) const = default;
};

// The terminal for a program name or path (known ones by their base name; any other takes
// "-e", as most do).
Terminal terminalFor(const QString &program);

// The first terminal that is installed: the one named by `terminalVariable` (the TERMINAL
// variable), then the desktop's x-terminal-emulator, then the common ones. `findExecutable`
// gives the full path of a program name, or "" when there is none.
std::optional<Terminal> findTerminal(const QString &terminalVariable,
                                     const std::function<QString(const QString &)> &findExecutable);

// The terminals tried after the TERMINAL variable, in order.
QStringList commonTerminals();

// How a batch runs: a program with its argument list and working folder, or why it cannot
// (`error` not empty). Nothing is ever joined into a command text, so blanks, quotes and
// leading dashes in names are harmless.
struct BatchLaunch {
    QString program;
    QStringList arguments;
    QString folder;
    QString error;
};

// `/bin/sh <folder>/<file> <document>` in the batch folder. A script whose lines end in CR LF
// runs from its text without the carriage returns (`/bin/sh -c <text> <script> <document>`, so
// $0 and $1 stay the same). With a terminal, the same command runs inside it.
BatchLaunch batchLaunch(const QString &batchFolder, const QString &file, const QString &document,
                        const QByteArray &script, const Terminal *terminal);

// The last lines of a program's error output, at most `lines` of them, without the empty
// ones at the end.
QString lastLines(const QByteArray &output, int lines);

} // namespace kelpa::editor
