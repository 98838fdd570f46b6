#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <sys/stat.h>
#include <unistd.h>

namespace kelpa::platform {

namespace {

struct ProgramName {
    const char *windowsName;   // lower case
    const char *fileName;
};

// The one place where the programs' Windows names meet our file names.
constexpr ProgramName programNames[] = {
    {"kelpa32.exe", "Kelpa32"}, {"kelpa32", "Kelpa32"}, {"kelpa", "Kelpa32"},
    {"kpp.exe", "kpp"},         {"kpp", "kpp"},
    {"kpsc.exe", "kpsc"},       {"kpsc", "kpsc"},
    {"caller.exe", "caller"},   {"caller", "caller"},
};

struct SystemTool {
    const char *windowsName;   // lower case
    const char *candidates[4];
};

constexpr SystemTool systemTools[] = {
    {"charmap.exe", {"gucharmap", "kcharselect", "gnome-characters", nullptr}},
    {"charmap", {"gucharmap", "kcharselect", "gnome-characters", nullptr}},
};

QString withSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

// Tried, not judged by permission bits: those say yes to root on read-only mounts and no to
// folders an access list opens.
bool writableFolder(const QString &folder)
{
    QTemporaryFile probe(withSlash(folder) + QStringLiteral(".kelpa-probe-XXXXXX"));
    return probe.open();
}

// The user's files may sit beside the programs only in a folder that is the user's alone: in one
// that others can write (a copy in /opt opened to everyone, a group-writable install) they could
// plant batches, settings and hand-off files, or replace them with links and pipes.
bool ownFolder(const QString &folder)
{
    struct stat st {};
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if (st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return false;
    return writableFolder(folder);
}

// $XDG_..._HOME when it names an absolute folder (as the base directory rules say), else the
// default under the home folder.
QString xdgHome(const char *variable, const char *fallback)
{
    const QString set = qEnvironmentVariable(variable);
    if (!set.isEmpty() && QDir::isAbsolutePath(set))
        return set;
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(fallback);
}

} // namespace

QString userFolderFor(const QString &programFolder, FolderKind kind)
{
    if (ownFolder(programFolder))
        return withSlash(programFolder);
    const QString folder = kind == FolderKind::Settings ? xdgHome("XDG_CONFIG_HOME", ".config")
                                                        : xdgHome("XDG_DATA_HOME", ".local/share");
    const QString ours = folder + QStringLiteral("/kelpa");
    // A folder that cannot be made is reported by the first file that fails to be written.
    // Made for the user alone, whatever the umask says.
    QDir().mkpath(folder);
    ::mkdir(QFile::encodeName(ours).constData(), S_IRWXU);
    return withSlash(ours);
}

QString keptFilesFolder()
{
    return userFolderFor(programFolder(), FolderKind::KeptFiles);
}

QString settingsFolder()
{
    return userFolderFor(programFolder(), FolderKind::Settings);
}

QString programFilePath()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString programFolder()
{
    const QString overridden = qEnvironmentVariable("KELPA_PROGRAM_DIR");
    if (!overridden.isEmpty())
        return withSlash(QDir(overridden).absolutePath());
    return withSlash(QFileInfo(programFilePath()).absolutePath());
}

QString mapProgramName(const QString &name)
{
    const int slash = name.lastIndexOf(QLatin1Char('/'));
    const QString base = name.mid(slash + 1).toLower();
    for (const auto &p : programNames) {
        if (base == QLatin1String(p.windowsName)) {
            const QString folder = slash >= 0 ? name.left(slash + 1) : programFolder();
            return folder + QLatin1String(p.fileName);
        }
    }
    return name;
}

QStringList systemToolCandidates(const QString &name)
{
    const QString base = name.toLower();
    QStringList names;
    for (const auto &t : systemTools)
        if (base == QLatin1String(t.windowsName))
            for (const char *c : t.candidates)
                if (c)
                    names << QLatin1String(c);
    return names;
}

QString mapSystemTool(const QString &name, bool *isSystemTool)
{
    const QString base = name.toLower();
    for (const auto &t : systemTools) {
        if (base == QLatin1String(t.windowsName)) {
            if (isSystemTool)
                *isSystemTool = true;
            for (const char *c : t.candidates) {
                if (!c)
                    break;
                const QString found = QStandardPaths::findExecutable(QLatin1String(c));
                if (!found.isEmpty())
                    return found;
            }
            return QString();
        }
    }
    if (isSystemTool)
        *isSystemTool = false;
    return name;
}

} // namespace kelpa::platform
