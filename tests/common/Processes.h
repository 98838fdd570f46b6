#pragma once
// The programs as real processes beside a test: the environment they meet the test process in,
// starting and ending them, their first line, the processes and windows of one program.
#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QThread>
#include <csignal>
#include <cstdlib>
#include <sys/types.h>
#include <vector>

namespace kelpa::test {

// The folder the programs take as their own, for this process and what it starts.
inline void setProgramFolder(const QString &folder)
{
    ::setenv("KELPA_PROGRAM_DIR", QFile::encodeName(folder).constData(), 1);
}

// What the code under test starts runs on this process's display platform, so that the two
// share windows and the clipboard.
inline void shareDisplayWithChildren()
{
    ::setenv("QT_QPA_PLATFORM", QGuiApplication::platformName().toUtf8().constData(), 1);
}

// This process's runtime folder and display platform, so that a program started from here
// meets it; `programFolder`, when given, is the program's own folder.
inline QProcessEnvironment childEnvironment(const QString &programFolder = QString())
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), qEnvironmentVariable("XDG_RUNTIME_DIR"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QGuiApplication::platformName());
    if (!programFolder.isEmpty())
        env.insert(QStringLiteral("KELPA_PROGRAM_DIR"), programFolder);
    return env;
}

// A user of its own below `at` (folders "prog", "tmp", "home" and "run", made by the caller) on
// the X server, meeting nothing of this process's.
inline QProcessEnvironment privateEnvironment(const QString &at)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("KELPA_PROGRAM_DIR"), at + QStringLiteral("/prog"));
    env.insert(QStringLiteral("TMPDIR"), at + QStringLiteral("/tmp"));
    env.insert(QStringLiteral("HOME"), at + QStringLiteral("/home"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), at + QStringLiteral("/run"));
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    return env;
}

// Starts `program` with its errors on this process's; whether it started.
inline bool startProgram(QProcess &p, const QString &program, const QStringList &arguments,
                         const QProcessEnvironment &env = childEnvironment())
{
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, arguments);
    return p.waitForStarted(10000);
}

// The process's first output line ("ready <handle>", "held", ...), without its line end.
inline QByteArray firstLine(QProcess &p, int ms = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!p.canReadLine() && t.elapsed() < ms && p.state() != QProcess::NotRunning)
        p.waitForReadyRead(100);
    return p.readLine().trimmed();
}

// Ends a process that is still running: asked first, then killed.
inline void endProgram(QProcess &p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(5000))
        p.kill();
    p.waitForFinished(5000);
}

// The running processes of `program` (a full path), whoever started them.
inline std::vector<pid_t> processesOf(const QString &program)
{
    std::vector<pid_t> out;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const int pid = entry.toInt(&number);
        if (!number)
            continue;
        QFile f(QStringLiteral("/proc/") + entry + QStringLiteral("/cmdline"));
        const QByteArray cmdline = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        if (cmdline.left(cmdline.indexOf('\0')) == QFile::encodeName(program))
            out.push_back(pid);
    }
    return out;
}

// The visible windows of a process as the X server lists them, narrowed by more xdotool search
// options (the name's pattern last); `then` is an xdotool command run on them all (e.g.
// "getwindowname %@").
inline QStringList visibleWindows(qint64 pid, const QStringList &options = {}, const QStringList &then = {})
{
    QProcess search;
    search.start(QStringLiteral("xdotool"),
                 QStringList{QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                             QString::number(pid)}
                     + options + then);
    search.waitForFinished(10000);
    return QString::fromUtf8(search.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Ends every running process of `program`, for what the code under test started: asked first,
// then killed, and gone on return, so that nothing of it outlives the test's folder.
inline void endProcessesOf(const QString &program)
{
    for (const pid_t pid : processesOf(program))
        ::kill(pid, SIGTERM);
    QElapsedTimer t;
    t.start();
    while (!processesOf(program).empty() && t.elapsed() < 5000)
        QThread::msleep(20);
    for (const pid_t pid : processesOf(program))
        ::kill(pid, SIGKILL);
    t.restart();
    while (!processesOf(program).empty() && t.elapsed() < 5000)
        QThread::msleep(20);
}

} // namespace kelpa::test
