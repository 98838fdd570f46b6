#include "platform/Desktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>

#include <cerrno>

namespace kelpa::platform {

namespace {

QString writable(QStandardPaths::StandardLocation location)
{
    return QStandardPaths::writableLocation(location);
}

// Escapes a value of a desktop entry's string type.
QString escapeValue(const QString &value)
{
    QString out;
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        default: out += c;
        }
    }
    return out;
}

QString escapeXml(const QString &text)
{
    return text.toHtmlEscaped();
}

// 0, or the system error of the step that failed, taken as it fails.
int writeWhole(const QString &fileName, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QSaveFile f(fileName);
    errno = 0;
    if (!f.open(QIODevice::WriteOnly))
        return errno != 0 ? errno : EIO;
    f.write(bytes);
    errno = 0;
    if (!f.commit())
        return errno != 0 ? errno : EIO;
    return 0;
}

QStringList readLines(const QString &fileName)
{
    QStringList lines;
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return lines;
    QTextStream in(&f);
    while (!in.atEnd())
        lines << in.readLine();
    return lines;
}

// Value of `key` in `section` of a desktop-style INI text, and where it is.
int findKey(const QStringList &lines, const QString &section, const QString &key, int *sectionEnd)
{
    bool inSection = false;
    int end = -1;
    int found = -1;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            if (inSection)
                break;
            inSection = line == QLatin1Char('[') + section + QLatin1Char(']');
            if (inSection)
                end = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        if (!line.isEmpty())
            end = i + 1;
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && line.left(eq).trimmed() == key)
            found = i;
    }
    if (sectionEnd)
        *sectionEnd = end;
    return found;
}

void setKey(QStringList &lines, const QString &section, const QString &key, const QString &value)
{
    int end = -1;
    const int at = findKey(lines, section, key, &end);
    const QString line = key + QLatin1Char('=') + value;
    if (at >= 0) {
        lines[at] = line;
    } else if (end >= 0) {
        lines.insert(end, line);
    } else {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines << QString();
        lines << QLatin1Char('[') + section + QLatin1Char(']') << line;
    }
}

QString keyValue(const QStringList &lines, const QString &section, const QString &key)
{
    const int at = findKey(lines, section, key, nullptr);
    if (at < 0)
        return QString();
    const QString line = lines.at(at);
    return line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
}

QByteArray joinLines(const QStringList &lines)
{
    QString text = lines.join(QLatin1Char('\n'));
    text += QLatin1Char('\n');
    return text.toUtf8();
}

bool isOwnType(const QString &mime)
{
    return mime.startsWith(QLatin1String("application/x-kelpa-"));
}

int writeMimePackage(const QString &ext, const QString &mime, const QString &description)
{
    const QString mimeFolder = writable(QStandardPaths::GenericDataLocation) + QStringLiteral("/mime");
    const QString package = mimeFolder + QStringLiteral("/packages/kelpa-") + ext.toLower()
                          + QStringLiteral(".xml");
    QString xml;
    xml += QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    xml += QStringLiteral("<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n");
    xml += QStringLiteral("  <mime-type type=\"%1\">\n").arg(mime);
    if (!description.isEmpty())
        xml += QStringLiteral("    <comment>%1</comment>\n").arg(escapeXml(description));
    xml += QStringLiteral("    <glob pattern=\"*.%1\"/>\n").arg(escapeXml(ext.toLower()));
    xml += QStringLiteral("  </mime-type>\n</mime-info>\n");
    if (const int error = writeWhole(package, xml.toUtf8()))
        return error;
    // The desktop reads compiled tables; without the tool the package still takes effect
    // the next time any program rebuilds them.
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
    if (!tool.isEmpty()) {
        QProcess p;
        p.start(tool, {mimeFolder});
        p.waitForFinished(20000);
    }
    return 0;
}

} // namespace

QString specialFolderPath(int csidl)
{
    switch (csidl) {
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY:
        return writable(QStandardPaths::DesktopLocation);
    case CSIDL_PROGRAMS:
        return writable(QStandardPaths::GenericDataLocation) + QStringLiteral("/applications");
    case CSIDL_PERSONAL:
        return writable(QStandardPaths::DocumentsLocation);
    case CSIDL_STARTUP:
        return writable(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart");
    case CSIDL_APPDATA:
        return writable(QStandardPaths::GenericConfigLocation);
    case CSIDL_LOCAL_APPDATA:
        return writable(QStandardPaths::GenericDataLocation);
    case CSIDL_WINDOWS:
        return systemFolder(0);
    default:
        return QString();
    }
}

QStringList systemSettingsFiles() { return {QStringLiteral("/etc/hosts"), QStringLiteral("/etc/fstab")}; }

QStringList systemStartupFiles()
{
    return {QStringLiteral("/etc/profile"), QStringLiteral("/etc/environment"), QStringLiteral("/etc/os-release")};
}

QString systemFolder(int kind)
{
    switch (kind) {
    case 0:
        return QDir::homePath() + QStringLiteral("/.local/bin");
    case 1:
        return QStringLiteral("/usr/bin");
    case 2: {
        QString temp = QDir::tempPath();
        if (!temp.endsWith(QLatin1Char('/')))
            temp += QLatin1Char('/');
        return temp;
    }
    default:
        return QString();
    }
}

QString shortcutFileName(const QString &folder, const QString &name)
{
    return folder + QLatin1Char('/') + name + QStringLiteral(".desktop");
}

QString desktopExecQuote(const QString &path)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = path.isEmpty();
    for (const QChar c : path)
        if (reserved.contains(c))
            quote = true;
    QString arg;
    if (quote) {
        arg += QLatin1Char('"');
        for (const QChar c : path) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
                || c == QLatin1Char('\\'))
                arg += QLatin1Char('\\');
            arg += c;
        }
        arg += QLatin1Char('"');
    } else {
        arg = path;
    }
    arg.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return escapeValue(arg);
}

QString desktopExecProgram(const QString &exec)
{
    // First the escapes of the string type, then the quoting of the Exec key.
    QString unescaped;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (c != QLatin1Char('\\') || i + 1 == exec.size()) {
            unescaped += c;
            continue;
        }
        switch (exec.at(++i).unicode()) {
        case 's': unescaped += QLatin1Char(' '); break;
        case 'n': unescaped += QLatin1Char('\n'); break;
        case 't': unescaped += QLatin1Char('\t'); break;
        case 'r': unescaped += QLatin1Char('\r'); break;
        default: unescaped += exec.at(i);
        }
    }
    const QString text = unescaped.trimmed();
    QString program;
    if (text.startsWith(QLatin1Char('"'))) {
        qsizetype i = 1;
        for (; i < text.size() && text.at(i) != QLatin1Char('"'); ++i) {
            if (text.at(i) == QLatin1Char('\\') && i + 1 < text.size())
                ++i;
            program += text.at(i);
        }
        if (i == text.size())
            return QString();   // no closing quote
    } else {
        program = text.section(QLatin1Char(' '), 0, 0);
    }
    return program.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

QString launcherTarget(const QString &desktopFile, bool *isProgram)
{
    const QStringList lines = readLines(desktopFile);
    const QString section = QStringLiteral("Desktop Entry");
    const QString type = keyValue(lines, section, QStringLiteral("Type"));
    if (isProgram)
        *isProgram = type == QLatin1String("Application");
    if (type == QLatin1String("Application"))
        return desktopExecProgram(keyValue(lines, section, QStringLiteral("Exec")));
    if (type == QLatin1String("Link")) {
        const QUrl url(keyValue(lines, section, QStringLiteral("URL")));
        return url.isLocalFile() ? url.toLocalFile() : QString();
    }
    return QString();
}

QString installedIcon(const QString &programFolder)
{
    const QString beside = QDir::cleanPath(programFolder + QStringLiteral("/../share/icons/hicolor/scalable/apps/kelpa.svg"));
    return QFileInfo(beside).isFile() ? beside : QStringLiteral("kelpa");
}

bool writeShortcut(const QString &folder, const QString &name, const QString &target,
                   const QString &description, const QString &icon)
{
    if (folder.isEmpty() || name.isEmpty())
        return false;
    if (!QDir().mkpath(folder))
        return false;
    const QFileInfo info(target);
    QStringList lines;
    lines << QStringLiteral("[Desktop Entry]") << QStringLiteral("Version=1.0");
    if (info.isFile() && info.isExecutable()) {
        lines << QStringLiteral("Type=Application")
              << QStringLiteral("Exec=") + desktopExecQuote(info.absoluteFilePath()) + QStringLiteral(" %F")
              << QStringLiteral("Path=") + escapeValue(info.absolutePath())
              << QStringLiteral("Terminal=false");
        if (!icon.isEmpty())
            lines << QStringLiteral("Icon=") + escapeValue(icon);
    } else {
        lines << QStringLiteral("Type=Link")
              << QStringLiteral("URL=") + escapeValue(QUrl::fromLocalFile(info.absoluteFilePath()).toString());
    }
    lines << QStringLiteral("Name=") + escapeValue(name);
    if (!description.isEmpty())
        lines << QStringLiteral("Comment=") + escapeValue(description);
    const QString file = shortcutFileName(folder, name);
    if (writeWhole(file, joinLines(lines)) != 0)
        return false;
    return QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                           | QFile::ReadGroup | QFile::ExeGroup
                                           | QFile::ReadOther | QFile::ExeOther);
}

QStringList mimeTypesForExtension(const QString &ext)
{
    const QString e = ext.toLower();
    if (e == QLatin1String("txt"))
        return {QStringLiteral("text/plain")};
    if (e == QLatin1String("rtf"))
        return {QStringLiteral("application/rtf"), QStringLiteral("text/rtf")};
    return {QStringLiteral("application/x-kelpa-") + e};
}

DesktopResult associateExtension(const QString &ext, const QString &description, const QString &exe)
{
    // The extension names a file and a MIME type: letters, digits, "_", "-" and "+" only.
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z0-9_+-]+$"));
    if (!plainName.match(ext).hasMatch() || exe.isEmpty())
        return {EINVAL};
    const QStringList mimes = mimeTypesForExtension(ext);
    // Every file is written even after a failure; the first failure is the one told.
    DesktopResult result;
    auto keep = [&result](int error) { result.keep({error}); };
    for (const QString &mime : mimes)
        if (isOwnType(mime))
            keep(writeMimePackage(ext, mime, description));

    const QFileInfo program(exe);
    const QString entryName = QStringLiteral("kelpa-") + program.completeBaseName().toLower()
                            + QStringLiteral(".desktop");
    const QString entryFile = writable(QStandardPaths::GenericDataLocation)
                            + QStringLiteral("/applications/") + entryName;
    QStringList entry = readLines(entryFile);
    QStringList types = keyValue(entry, QStringLiteral("Desktop Entry"), QStringLiteral("MimeType"))
                            .split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &mime : mimes)
        if (!types.contains(mime))
            types << mime;
    const QString section = QStringLiteral("Desktop Entry");
    setKey(entry, section, QStringLiteral("Type"), QStringLiteral("Application"));
    setKey(entry, section, QStringLiteral("Name"), escapeValue(program.completeBaseName()));
    setKey(entry, section, QStringLiteral("Exec"),
           desktopExecQuote(program.absoluteFilePath()) + QStringLiteral(" %f"));
    setKey(entry, section, QStringLiteral("Terminal"), QStringLiteral("false"));
    setKey(entry, section, QStringLiteral("NoDisplay"), QStringLiteral("true"));
    setKey(entry, section, QStringLiteral("MimeType"), types.join(QLatin1Char(';')) + QLatin1Char(';'));
    keep(writeWhole(entryFile, joinLines(entry)));

    const QString listFile = writable(QStandardPaths::GenericConfigLocation)
                           + QStringLiteral("/mimeapps.list");
    QStringList list = readLines(listFile);
    for (const QString &mime : mimes) {
        setKey(list, QStringLiteral("Default Applications"), mime, entryName);
        QStringList added = keyValue(list, QStringLiteral("Added Associations"), mime)
                                .split(QLatin1Char(';'), Qt::SkipEmptyParts);
        added.removeAll(entryName);
        added.prepend(entryName);
        setKey(list, QStringLiteral("Added Associations"), mime,
               added.join(QLatin1Char(';')) + QLatin1Char(';'));
    }
    keep(writeWhole(listFile, joinLines(list)));
    return result;
}

} // namespace kelpa::platform
