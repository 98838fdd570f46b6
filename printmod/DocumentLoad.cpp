#include "printmod/DocumentLoad.h"

#include "engine/TOBRINEngine.h"
#include "support/documents/Documents.h"
#include "platform/codepage/CodePage.h"
#include "richedit/TRichEdit.h"
#include "printmod/PasswordList.h"
#include "support/MessageBoxes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cerrno>
#include <exception>
#include <new>

#include <fcntl.h>
#include <unistd.h>

using kelpa::engine::TOBRINEngine;
using kelpa::richedit::TRichEdit;


namespace kelpa::printmod {

namespace {

QString resolved(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

QString fromCodePage(const std::string &bytes)
{
    const std::u16string text = codepage::decode(bytes, 1252);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// The error box adds the system's text for `systemError` (none for 0).
void loadFailure(const QString &reason, int systemError = 0)
{
    ShowErrorBox(QStringLiteral("Cannot load the file to print (%1)").arg(reason), systemError);
}

} // namespace

QString DocumentPathArgument(const QStringList &arguments)
{
    QStringList parts;
    for (const QString &argument : arguments) {
        if (argument.isEmpty())
            break;
        parts << argument;
    }
    return parts.join(QLatin1Char(' '));
}

bool IsExchangeFile(const QString &path, const QString &programDir)
{
    return resolved(path) == resolved(documents::exchangeFilePath(programDir));
}

namespace {

LoadResult loadDocument(const QString &path, const QString &programDir, TOBRINEngine &engine, TRichEdit &edit,
                        const PasswordAsker &askPassword, const QDate &today)
{
    const bool exchange = IsExchangeFile(path, programDir);
    if (!exchange && !documents::isEncryptedName(path)) {
        const documents::ReadResult file = documents::readTextFile(path);
        if (!file.ok()) {
            loadFailure(QStringLiteral("Cannot open file \"%1\"").arg(QDir::toNativeSeparators(path)),
                        file.error.systemError);
            return LoadResult::Failed;
        }
        edit.LoadFromStream(file.bytes);
        return LoadResult::Loaded;
    }

    if (!exchange) {
        // A document that is not there is said so before its password is asked for.
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            loadFailure(QStringLiteral("Cannot open file \"%1\"").arg(QDir::toNativeSeparators(path)), error);
            return LoadResult::Failed;
        }
        ::close(fd);
    }

    QString password;
    if (exchange) {
        password = documents::exchangePassword(documents::ExchangePassword::Dated, today);
    } else {
        const std::optional<QString> typed = askPassword ? askPassword() : std::nullopt;
        if (!typed || typed->isEmpty())
            return LoadResult::Cancelled;
        password = *typed;
    }

    // The exchange file is taken only as the user's own regular file, never through a link or
    // from a pipe.
    const documents::ReadResult read =
        exchange ? documents::readExchangeFile(engine, programDir, documents::ExchangePassword::Dated,
                                               documents::AfterReading::Keep, today)
                 : documents::readEncrypted(engine, path, password);
    if (!read.ok()) {
        const QString reason = read.error.failure == documents::Failure::Engine ? read.error.engineText()
                                                                                : read.error.systemText();
        ShowErrorBox(QStringLiteral("Please check you password (%1).").arg(reason), read.error.systemError);
        return LoadResult::Failed;
    }
    std::vector<std::string> lines = SplitLines(read.bytes.toStdString());
    if (lines.empty()) {
        loadFailure(QString::fromStdString(ListIndexError(0)));
        return LoadResult::Failed;
    }
    if (lines[0] == "PWDLIST" && lines.size() < 2) {
        loadFailure(QString::fromStdString(ListIndexError(1)));
        return LoadResult::Failed;
    }
    if (!IsPasswordList(lines)) {
        edit.LoadFromStream(read.bytes);
        return LoadResult::Loaded;
    }
    const PasswordListResult list = RenderPasswordList(std::move(lines));
    edit.Clear();
    edit.LoadFromStream(JoinLines(list.lines));
    switch (list.kind) {
    case PasswordListResult::Kind::Rendered:
        return LoadResult::Loaded;
    case PasswordListResult::Kind::Damaged:
        ShowMessageBox(QStringLiteral("Error"), fromCodePage(list.message));
        return LoadResult::Failed;
    case PasswordListResult::Kind::IndexError:
        loadFailure(QString::fromStdString(list.message));
        return LoadResult::Failed;
    }
    return LoadResult::Failed;
}

} // namespace

LoadResult LoadDocumentForPrint(const QString &path, const QString &programDir, TOBRINEngine &engine,
                                TRichEdit &edit, const PasswordAsker &askPassword, const QDate &today)
{
    try {
        return loadDocument(path, programDir, engine, edit, askPassword, today);
    } catch (const std::bad_alloc &) {
        loadFailure(QStringLiteral("Out of memory"));
    } catch (const std::exception &e) {
        loadFailure(QString::fromLocal8Bit(e.what()));
    }
    return LoadResult::Failed;
}

} // namespace kelpa::printmod
