#include "support/Launch.h"

#include "platform/ProgramFolder.h"
#include "platform/handoff/HandOffFile.h"
#include "support/MessageBoxes.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>

#include <cerrno>

namespace kelpa {

MissingFile MissingFileOf(const QString &file, const QString &folder)
{
    const QString base = folder.isEmpty() ? QDir::currentPath() : folder;
    const QString mapped = platform::mapProgramName(file);
    if (mapped != file || file.contains(QLatin1Char('/'))) {
        const QFileInfo info(QDir(base).absoluteFilePath(mapped));
        return {info.fileName(), QDir::cleanPath(info.absolutePath())};
    }
    return {file, QDir::cleanPath(base)};
}

QString LaunchFailureText(int code, const QString &file, const QString &folder)
{
    const QChar q = QLatin1Char('"');
    switch (code) {
    case 0:
    case 8:
        return QStringLiteral("System out of memory or resources.");
    case 2:
        return QStringLiteral("File ") + q + file + q + QStringLiteral(" not found in the folder ") + q + folder + q;
    case 3:
        return QStringLiteral("Path not found.");
    case 5:
        return QStringLiteral("The operating system denied access to ") + file;
    case 11:
        return file + QStringLiteral(" is an invalid or damaged EXE file");
    case 26:
        return QStringLiteral("A sharing violation occurred.");
    case 27:
        return QStringLiteral("The filename association is incomplete or invalid.");
    case 28:
        return QStringLiteral("The DDE transaction could not be completed because the request timed out.");
    case 29:
        return QStringLiteral("The DDE transaction failed.");
    case 30:
        return QStringLiteral("The DDE transaction could not be completed because other DDE transactions were being processed.");
    case 31:
        return QStringLiteral("There is no application associated with the given filename extension.");
    case 32:
        return QStringLiteral("DLL not found.");
    default:
        return QString();
    }
}

bool LaunchFile(const QString &file, const QString &parameters, const QString &folder,
                bool reportFailure, int showCommand)
{
    return LaunchFile(file, platform::parameterTextToArguments(parameters), folder, reportFailure,
                      showCommand);
}

namespace {

// The text of a failure: a missing file by the name and folder that were searched, a system
// tool by the programs that would serve for it.
QString failureText(int code, const QString &file, const QString &folder)
{
    if (code != platform::SE_ERR_FNF)
        return LaunchFailureText(code, file, QDir::currentPath());
    const QStringList tools = platform::systemToolCandidates(file);
    if (!tools.isEmpty()) {
        QString names;
        for (qsizetype i = 0; i < tools.size(); ++i) {
            if (i > 0)
                names += i + 1 == tools.size() ? QStringLiteral("\" or \"") : QStringLiteral("\", \"");
            names += tools.at(i);
        }
        return QStringLiteral("File \"") + names + QStringLiteral("\" not found in the folders of PATH");
    }
    const MissingFile missing = MissingFileOf(file, folder);
    return LaunchFailureText(code, missing.file, missing.folder);
}

bool launched(int code, const QString &file, const QString &folder, bool reportFailure)
{
    if (code > 32)
        return true;
    // Every code of 32 or less is a failure, also those without a text of their own.
    const QString text = failureText(code, file, folder);
    if (reportFailure && !text.isEmpty())
        CurrentPrompter().message({QStringLiteral("Cannot launch the file"), text,
                                   MessageIcon::Error, MessageButtons::Ok, nullptr});
    return false;
}

} // namespace

bool LaunchFile(const QString &file, const QStringList &arguments, const QString &folder,
                bool reportFailure, int showCommand)
{
    return launched(platform::shellExecute(file, arguments, folder, showCommand), file, folder, reportFailure);
}

QString WebAddress(const QString &address)
{
    if (address.contains(QLatin1Char(':')))
        return address;
    return QStringLiteral("http://") + address;
}

QString RedirectPageText(const QString &a)
{
    const QString q = QStringLiteral("\"");
    QString page;
    page += QStringLiteral("<html><body bgcolor=0></body><head><meta http-equiv=") + q
          + QStringLiteral("Refresh") + q + QStringLiteral(" content=") + q
          + QStringLiteral("0; URL=") + a;
    page += q + QStringLiteral("></head><br><br><br><center><font size=4>");
    static const char *const colours[] = {"0F7DB3", "2287B9", "3491BF", "479BC5", "59A5CB",
                                          "6CAFD1", "7EB9D7", "91C3DC", "A3CDE2", "B6D7E8"};
    const QString word = QStringLiteral("CONNECTING");
    for (int i = 0; i < word.size(); ++i)
        page += QStringLiteral("<font color=#") + QLatin1String(colours[i]) + QStringLiteral(">")
              + word.at(i) + QStringLiteral("</font>");
    page += QStringLiteral(" ") + QStringLiteral("<font color=#DBEBF4>t</font>")
          + QStringLiteral("<font color=#EDF5FA>o ") + a;
    page += QStringLiteral("...</font></font><br><font color=#EDF5FA>If you browser does not "
                           "support refresh&nbsp;<a href=")
          + a;
    page += QStringLiteral(">click here</a></font></center></html>");
    return page;
}

bool OpenWebPage(const QString &address)
{
    // Written and opened under one name: Linux file names tell case apart. A current folder
    // that no longer exists has no path.
    const QString folder = QDir::currentPath();
    const QString page = folder + QStringLiteral("/NULL.htm");
    int error = folder.isEmpty() ? ENOENT : 0;
    if (!error) {
        // A new page of the user's alone: whatever stood under the name (a link, a file with
        // an execute bit) is replaced, never written through, and the page is opened as a page.
        const QByteArray bytes = RedirectPageText(WebAddress(address)).toUtf8();
        error = handoff::write(QFile::encodeName(page).toStdString(),
                               std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))
                    .error;
    }
    if (error) {
        ShowErrorBox(QStringLiteral("Cannot write the web page \"") + page + QStringLiteral("\""), error);
        return false;
    }
    return launched(platform::openDocument(page), page, QString(), true);
}

bool OpenStoredAddress(const QString &address)
{
    if (address.contains(QLatin1Char(':')))
        return OpenWebPage(address);
    const QString file = QDir::cleanPath(platform::programFolder() + address);
    return launched(platform::openDocument(file), file, QString(), true);
}

QString StripExtension(const QString &name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const int slash = name.lastIndexOf(QLatin1Char('/'));
    if (dot < 0 || dot < slash)
        return name;
    return name.left(dot);
}

bool FolderIsUsable(const QString &path)
{
    if (path.isEmpty())
        return true;
    const QString remembered = QDir::currentPath();
    const bool ok = QDir::setCurrent(path);
    QDir::setCurrent(remembered);
    return ok;
}

} // namespace kelpa
