#include "editor/Batches.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kelpa::editor {

namespace {

const QString kSuffix = QStringLiteral(".bat");

// One argument of the command line may hold this much (the kernel's limit is 128 KiB).
constexpr qsizetype kMaxScriptArgument = 100 * 1024;

// CR LF and a CR at the very end become LF; other carriage returns stay.
QByteArray withoutCarriageReturns(const QByteArray &script, bool &hadAny)
{
    QByteArray out;
    out.reserve(script.size());
    hadAny = false;
    for (qsizetype i = 0; i < script.size(); ++i) {
        if (script[i] == '\r' && (i + 1 == script.size() || script[i + 1] == '\n')) {
            hadAny = true;
            continue;
        }
        out += script[i];
    }
    return out;
}

} // namespace

std::vector<BatchFile> listBatches(const QString &batchFolder)
{
    QDir dir(batchFolder);
    dir.setNameFilters({QStringLiteral("*.bat")});
    dir.setFilter(QDir::Files);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    std::vector<BatchFile> batches;
    for (const QString &file : dir.entryList())
        batches.push_back({file.left(file.size() - kSuffix.size()), file});
    return batches;
}

QStringList commonTerminals()
{
    return {QStringLiteral("x-terminal-emulator"), QStringLiteral("gnome-terminal"), QStringLiteral("konsole"),
            QStringLiteral("xfce4-terminal"), QStringLiteral("mate-terminal"), QStringLiteral("terminator"),
            QStringLiteral("alacritty"), QStringLiteral("kitty"), QStringLiteral("foot"), QStringLiteral("xterm"),
            QStringLiteral("urxvt")};
}

Terminal terminalFor(const QString &program)
{
    const QString base = QFileInfo(program).fileName();
    // Each of these takes the rest of its command line as the command and its arguments.
    if (base == QLatin1String("gnome-terminal"))
        return {program, {QStringLiteral("--")}};
    if (base == QLatin1String("xfce4-terminal") || base == QLatin1String("mate-terminal") ||
        base == QLatin1String("terminator"))
        return {program, {QStringLiteral("-x")}};
    if (base == QLatin1String("kitty") || base == QLatin1String("foot"))
        return {program, {}};
    return {program, {QStringLiteral("-e")}};
}

std::optional<Terminal> findTerminal(const QString &terminalVariable,
                                     const std::function<QString(const QString &)> &findExecutable)
{
    QStringList candidates = commonTerminals();
    if (!terminalVariable.trimmed().isEmpty())
        candidates.prepend(terminalVariable.trimmed());
    for (const QString &name : candidates) {
        const QString found = findExecutable(name);
        if (!found.isEmpty())
            return terminalFor(found);
    }
    return std::nullopt;
}

BatchLaunch batchLaunch(const QString &batchFolder, const QString &file, const QString &document,
                        const QByteArray &script, const Terminal *terminal)
{
    QString folder = batchFolder;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    // Absolute paths: a name that begins with "-" is never taken for an option.
    const QString path = QDir(folder).absoluteFilePath(file);
    const QString doc = QDir(folder).absoluteFilePath(document);
    BatchLaunch launch;
    launch.folder = folder;
    QStringList command{QStringLiteral("/bin/sh")};
    bool carriageReturns = false;
    const QByteArray text = withoutCarriageReturns(script, carriageReturns);
    if (carriageReturns) {
        // The text goes through the command line, which holds only so much, and only text
        // that comes back byte for byte.
        const QString asArgument = QFile::decodeName(text);
        if (text.size() > kMaxScriptArgument || text.contains('\0') || QFile::encodeName(asArgument) != text) {
            launch.error = QStringLiteral("The batch \"") + path
                         + QStringLiteral("\" has Windows (CR LF) line ends and cannot be run without them.\n"
                                          "Save it with Unix (LF) line ends and run it again.");
            return launch;
        }
        command << QStringLiteral("-c") << asArgument;
    }
    command << path << doc;
    if (terminal) {
        launch.program = terminal->program;
        launch.arguments = terminal->commandOption + command;
    } else {
        launch.program = command.takeFirst();
        launch.arguments = command;
    }
    return launch;
}

QString lastLines(const QByteArray &output, int lines)
{
    QStringList all = QString::fromLocal8Bit(output).split(QLatin1Char('\n'));
    for (QString &line : all)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    while (!all.isEmpty() && all.last().trimmed().isEmpty())
        all.removeLast();
    if (all.size() > lines)
        all = all.mid(all.size() - lines);
    return all.join(QLatin1Char('\n'));
}

} // namespace kelpa::editor
