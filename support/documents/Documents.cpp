#include "support/documents/Documents.h"

#include "platform/FileBytes.h"
#include "platform/handoff/HandOffFile.h"
#include "platform/safefile/SafeFile.h"

#include <QFile>
#include <QLocale>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelpa::documents {

using engine::EC_AllOk;
using engine::EC_BadFile;
using engine::EC_FOpen;
using engine::TOBRINEngine;

namespace {

std::string fileName(const QString &path) { return QFile::encodeName(path).toStdString(); }

std::string_view view(const QByteArray &bytes)
{
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

DocumentError failed(Failure failure, int systemError, int engineCode = EC_AllOk)
{
    return DocumentError{failure, engineCode, systemError};
}

codepage::TextEncoding encodingOf(const QByteArray &bytes)
{
    if (!codepage::isValidUtf8(view(bytes)))
        return codepage::TextEncoding::Windows1252;
    return bytes.startsWith("\xEF\xBB\xBF") ? codepage::TextEncoding::Utf8Bom : codepage::TextEncoding::Utf8;
}

QString extensionUpper(const QString &path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot).toUpper();
}

Failure failureOf(SafeFileError error)
{
    switch (error) {
    case SafeFileError::Link:
        return Failure::UntrustedLink;
    case SafeFileError::NotAFile:
        return Failure::NotAFile;
    case SafeFileError::None:
        return Failure::None;
    default:
        return Failure::Write;
    }
}

} // namespace

QString DocumentError::engineText() const
{
    return failure == Failure::Engine ? QString::fromStdString(TOBRINEngine::ErrorText(engineCode)) : QString();
}

QString DocumentError::systemText() const
{
    return systemError == 0 ? QString() : QString::fromLocal8Bit(std::strerror(systemError));
}

QString failureMessage(const DocumentError &error)
{
    return QStringLiteral("E") + QString::number(error.engineCode) + QStringLiteral(": ")
         + (error.failure == Failure::Engine ? error.engineText() : error.systemText());
}

DocumentKind kindOfName(const QString &path)
{
    const QString ext = extensionUpper(path);
    if (ext == QLatin1String(".ECO"))
        return DocumentKind::Encrypted;
    if (ext == QLatin1String(".RTF") || ext == QLatin1String(".WRI") || ext == QLatin1String(".DOC"))
        return DocumentKind::Rich;
    return DocumentKind::Plain;
}

bool isEncryptedName(const QString &path) { return kindOfName(path) == DocumentKind::Encrypted; }

bool opensAsRich(const QString &path) { return kindOfName(path) != DocumentKind::Plain; }

DocumentKind encryptedKindForVersion(const QByteArray &version)
{
    // QByteArray compares byte-wise, a prefix being the smaller text.
    return version <= QByteArray("3.0") ? DocumentKind::Legacy : DocumentKind::Encrypted;
}

QByteArray passwordBytes(const QString &password)
{
    const std::optional<std::string> bytes = codepage::encodePassword(
        std::u16string_view(reinterpret_cast<const char16_t *>(password.utf16()), static_cast<std::size_t>(password.size())));
    return bytes ? QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size())) : QByteArray();
}

QByteArray asLines(const QByteArray &bytes) { return QByteArray::fromStdString(documents::asLines(view(bytes))); }

ReadResult readTextFile(const QString &path)
{
    ReadResult result;
    result.kind = opensAsRich(path) ? DocumentKind::Rich : DocumentKind::Plain;
    // A pipe or a device is refused before a read could wait for ever.
    const int fd = ::open(fileName(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.error = failed(Failure::Read, errno);
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        ::close(fd);
        result.error = failed(Failure::NotAFile, EINVAL);
        return result;
    }
    const platform::FileBytes read = platform::readOpenFile(fd);
    ::close(fd);
    if (!read.bytes) {
        result.error = failed(Failure::Read, read.error != 0 ? read.error : EIO);
        return result;
    }
    result.bytes = *read.bytes;
    result.encoding = encodingOf(result.bytes);
    return result;
}

namespace {

// The result of the engine's read.
ReadResult textOfEngine(TOBRINEngine &engine, bool read)
{
    ReadResult result;
    result.kind = DocumentKind::Encrypted;
    result.version = QByteArray::fromStdString(engine.Version);
    if (!read) {
        // The system's number only where a call of the system failed.
        result.error = failed(Failure::Engine, engine.SystemError, engine.ErrorCode);
        return result;
    }
    result.kind = encryptedKindForVersion(result.version);
    // The text ends at its first 0 byte: a block stored uncompressed keeps the cipher's padding.
    std::string_view text(reinterpret_cast<const char *>(engine.Result.data()),
                          static_cast<std::size_t>(engine.ResultLength));
    text = text.substr(0, text.find('\0'));
    result.password = passwordCheck(result.kind, engine.HeadCompressionId, text);
    result.bytes = QByteArray::fromStdString(documents::asLines(text));
    return result;
}

ReadResult readEncryptedText(TOBRINEngine &engine, const QString &path, const QString &password)
{
    const bool read = engine.LoadFromFile(view(passwordBytes(password)), fileName(path));
    return textOfEngine(engine, read);
}

} // namespace

ReadResult readEncrypted(TOBRINEngine &engine, const QString &path, const QString &password)
{
    struct stat st {};
    if (::stat(fileName(path).c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        ReadResult result;
        result.kind = DocumentKind::Encrypted;
        result.error = failed(Failure::NotAFile, EINVAL);
        return result;
    }
    return readEncryptedText(engine, path, password);
}

ReadResult readDocument(TOBRINEngine &engine, const QString &path, const QString &password)
{
    return isEncryptedName(path) ? readEncrypted(engine, path, password) : readTextFile(path);
}

DocumentError writeTextFile(const QString &path, const QByteArray &bytes)
{
    SafeFileWriter out(fileName(path));
    if (!out.isOpen() || !out.write(bytes.constData(), static_cast<std::size_t>(bytes.size())) || !out.commit())
        return failed(failureOf(out.error()), out.systemError());
    return {};
}

bool isReadOnlyFile(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return (st.st_mode & S_IWUSR) == 0;
}

Failure saveRefusal(const QString &path)
{
    return failureOf(SafeFileWriter::refusal(fileName(path)));
}

FileIdentity identityOf(const QString &path)
{
    FileIdentity id;
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0)
        return id;
    id.link = S_ISLNK(st.st_mode);
    // A link stands for the file it names; one that names nothing is as good as no file.
    if (id.link && ::stat(name.constData(), &st) != 0)
        return id;
    id.exists = true;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.modifiedSeconds = st.st_mtim.tv_sec;
    id.modifiedNanoseconds = st.st_mtim.tv_nsec;
    return id;
}

FileChange changeSince(const FileIdentity &then, const FileIdentity &now)
{
    if (!then.exists)
        return FileChange::None;
    if (!now.exists)
        return FileChange::Deleted;
    if (now.link != then.link || now.device != then.device || now.inode != then.inode)
        return FileChange::Replaced;
    if (now.size != then.size || now.modifiedSeconds != then.modifiedSeconds
        || now.modifiedNanoseconds != then.modifiedNanoseconds)
        return FileChange::Changed;
    return FileChange::None;
}

DocumentError writeEncrypted(TOBRINEngine &engine, const QString &path, DocumentKind kind, std::uint8_t cipher,
                             const QString &password, const QByteArray &text)
{
    const std::string lines = documents::asLines(view(text));
    if (kind == DocumentKind::Legacy) {
        // Eight digits of length would make a document that no reader takes.
        if (!fitsLegacy(lines))
            return failed(Failure::TooLongForLegacy, 0);
        cipher = TOBRINEngine::CipherLegacy;
    }
    engine.CipherId = cipher;
    if (!engine.SaveToFile(view(passwordBytes(password)), fileName(path),
                           reinterpret_cast<const std::uint8_t *>(lines.data()), lines.size()))
        return failed(Failure::Engine, engine.SystemError, engine.ErrorCode);
    return {};
}

QString exchangeFilePath(const QString &programFolder)
{
    return programFolder + QString::fromLatin1(ExchangeFileName.data(), static_cast<qsizetype>(ExchangeFileName.size()));
}

QString exchangeKey()
{
    return QString::fromLatin1(ExchangeKeyBytes.data(), static_cast<qsizetype>(ExchangeKeyBytes.size()));
}

QString exchangePassword(ExchangePassword which, const QDate &date)
{
    if (which == ExchangePassword::Key)
        return exchangeKey();
    return exchangeKey() + QLocale().toString(date, QLocale::ShortFormat);
}

DocumentError writeExchangeFile(TOBRINEngine &engine, const QString &programFolder, ExchangePassword which,
                                const QByteArray &text, const QDate &date)
{
    // Enciphered here and written as a hand-off file: the user's alone, never through a link
    // or into a pipe that stands under its name.
    const std::string lines = documents::asLines(view(text));
    const QByteArray password = passwordBytes(exchangePassword(which, date));
    engine.CipherId = TOBRINEngine::CipherEC4;
    if (!engine.Encrypt(view(password), reinterpret_cast<const std::uint8_t *>(lines.data()), lines.size()))
        return failed(Failure::Engine, 0, engine.ErrorCode);
    std::string bytes = engine.HeaderLines();
    bytes.append(reinterpret_cast<const char *>(engine.Result.data()), static_cast<std::size_t>(engine.ResultLength));
    const handoff::WriteResult written = handoff::write(fileName(exchangeFilePath(programFolder)), bytes);
    if (!written.ok())
        return failed(Failure::Engine, written.error, EC_FOpen);
    return {};
}

ReadResult readExchangeFile(TOBRINEngine &engine, const QString &programFolder, ExchangePassword which,
                            AfterReading after, const QDate &date)
{
    const QString path = exchangeFilePath(programFolder);
    ReadResult result;
    result.kind = DocumentKind::Encrypted;
    // Only a regular file of the user's own, opened without following a link or waiting on a pipe.
    int error = 0;
    const int fd = handoff::openForReading(fileName(path), &error);
    std::FILE *file = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
    if (!file) {
        if (fd >= 0) {
            error = errno;
            ::close(fd);
        }
        result.error = failed(Failure::Engine, error, EC_FOpen);
    } else {
        const bool read = engine.LoadFromOpenFile(view(passwordBytes(exchangePassword(which, date))), file);
        std::fclose(file);
        result = textOfEngine(engine, read);
    }
    if (after == AfterReading::Remove)
        QFile::remove(path);
    return result;
}

} // namespace kelpa::documents
