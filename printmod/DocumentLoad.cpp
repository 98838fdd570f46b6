#include "printmod/DocumentLoad.h"

#include "engine/TOBRINEngine.h"
#include "platform/codepage/CodePage.h"
#include "platform/richedit/TRichEdit.h"
#include "printmod/PasswordList.h"
#include "support/MessageBoxes.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <cstring>

namespace kelpa::printmod {

namespace {

// The three-character key the editor and the print module share ("%", currency sign, "k").
constexpr char kExchangeKey[] = "%\xA4k";

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

void loadFailure(const QString &reason)
{
    ShowErrorBox(QStringLiteral("Cannot load the file to print (%1)").arg(reason));
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

QByteArray DatedExchangePassword(const QDate &date)
{
    const QString dateText = QLocale::system().toString(date, QLocale::ShortFormat);
    const std::u16string text = dateText.toStdU16String();
    return QByteArray(kExchangeKey) + QByteArray::fromStdString(codepage::encode(text, 1252));
}

bool IsExchangeFile(const QString &path, const QString &programDir)
{
    return resolved(path) == resolved(programDir + QStringLiteral("~t.dat"));
}

EncryptedText ReadEncryptedDocument(TOBRINEngine &engine, const QByteArray &password, const QString &path)
{
    EncryptedText result;
    const QByteArray name = QFile::encodeName(path);
    if (!engine.LoadFromFile(std::string_view(password.constData(), static_cast<std::size_t>(password.size())),
                             name.toStdString())) {
        result.error = engine.ErrorText();
        return result;
    }
    const auto *data = reinterpret_cast<const char *>(engine.Result.data());
    const std::size_t length = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, engine.ResultLength)),
                                                     engine.Result.size());
    result.text.assign(data, length ? strnlen(data, length) : 0);
    result.ok = true;
    return result;
}

LoadResult LoadDocumentForPrint(const QString &path, const QString &programDir, TOBRINEngine &engine,
                                TRichEdit &edit, const PasswordAsker &askPassword, const QDate &today)
{
    const bool exchange = IsExchangeFile(path, programDir);
    const bool encrypted = exchange || QFileInfo(path).suffix().toUpper() == QStringLiteral("ECO");
    if (!encrypted) {
        if (!edit.LoadFromFile(path)) {
            loadFailure(QStringLiteral("Cannot open file \"%1\"").arg(QDir::toNativeSeparators(path)));
            return LoadResult::Failed;
        }
        return LoadResult::Loaded;
    }

    QByteArray password;
    if (exchange) {
        password = DatedExchangePassword(today);
    } else {
        const std::optional<QByteArray> typed = askPassword ? askPassword() : std::nullopt;
        if (!typed || typed->isEmpty())
            return LoadResult::Cancelled;
        password = *typed;
    }

    const EncryptedText read = ReadEncryptedDocument(engine, password, path);
    if (!read.ok) {
        ShowErrorBox(QStringLiteral("Please check you password (%1).").arg(QString::fromStdString(read.error)));
        return LoadResult::Failed;
    }
    std::vector<std::string> lines = SplitLines(read.text);
    if (lines.empty()) {
        loadFailure(QString::fromStdString(ListIndexError(0)));
        return LoadResult::Failed;
    }
    if (lines[0] == "PWDLIST" && lines.size() < 2) {
        loadFailure(QString::fromStdString(ListIndexError(1)));
        return LoadResult::Failed;
    }
    if (!IsPasswordList(lines)) {
        edit.LoadFromStream(JoinLines(lines));
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

} // namespace kelpa::printmod
