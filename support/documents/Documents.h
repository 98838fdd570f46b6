#pragma once
// Reading and writing documents of every kind without a window: plain and rich-text files,
// encrypted documents (current and legacy version) and the exchange file "~t.dat" that the
// editor, the print module and the spell checker pass a text through.
//
//   TOBRINEngine engine;                       // the window's own engine object
//   ReadResult doc = readDocument(engine, path, password);
//   if (!doc.ok()) show(doc.error);            // nothing is shown here, nothing thrown
//   edit->LoadFromStream(doc.bytes);
//   DocumentError e = writeEncrypted(engine, path, DocumentKind::Encrypted,
//                                    TOBRINEngine::CipherEC4, password, edit->SaveToStream());
//
// Every result carries its error as a value: what failed, the engine's code and the system's
// error number of the failing call (never errno left for a later reader). Files are replaced
// through a temporary file; a failed write leaves the old file as it was.
#include "engine/TOBRINEngine.h"
#include "support/documents/DocumentCore.h"
#include "platform/codepage/CodePage.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <cstdint>

namespace kelpa::documents {

struct DocumentError {
    Failure failure = Failure::None;
    int engineCode = engine::EC_AllOk;
    int systemError = 0; // 0 when the system reported no error

    bool ok() const { return failure == Failure::None; }
    // "EC:..." for an engine failure, otherwise empty.
    QString engineText() const;
    // The system's text for systemError; empty for 0.
    QString systemText() const;
};

// What a message box says of a failure: "E<code>: " and the engine's text, or the system's
// text where no engine step failed.
QString failureMessage(const DocumentError &error);

struct ReadResult {
    // Plain and rich files: the file's bytes. Encrypted documents: the deciphered text up to
    // its first 0 byte, every line ended by CR LF, as a string list hands it on.
    QByteArray bytes;
    DocumentKind kind = DocumentKind::Plain;
    // For plain text: the encoding the bytes are in (UTF-8 when valid, else Windows-1252).
    codepage::TextEncoding encoding = codepage::TextEncoding::Utf8;
    PasswordCheck password = PasswordCheck::Confirmed;
    // An encrypted document's version line ("5.0", "3.0", ...), also after a failure.
    QByteArray version;
    DocumentError error;

    bool ok() const { return error.ok(); }
};

// --- Kinds by name
// ".eco" (any case) is encrypted; ".rtf", ".wri" and ".doc" are rich; anything else plain.
DocumentKind kindOfName(const QString &path);
bool isEncryptedName(const QString &path);
// ".eco", ".rtf", ".wri" and ".doc" open in rich-text mode.
bool opensAsRich(const QString &path);
// Encrypted documents of version "3.0" and below are legacy documents.
DocumentKind encryptedKindForVersion(const QByteArray &version);

// --- Passwords and text in the engine's form
// The password's bytes, no character replaced (codepage::encodePassword); empty when no code
// page holds it, which the engine refuses as no password rather than reading with another one.
QByteArray passwordBytes(const QString &password);
// The text split into lines, each ended by CR LF (CR, LF and CR LF all end a line).
QByteArray asLines(const QByteArray &bytes);

// --- Documents
ReadResult readTextFile(const QString &path);
// An empty password is refused by the engine (EC:No pwd).
ReadResult readEncrypted(engine::TOBRINEngine &engine, const QString &path, const QString &password);
// By name: encrypted documents through the engine, anything else as a text file.
ReadResult readDocument(engine::TOBRINEngine &engine, const QString &path, const QString &password);

// Any file of bytes, through a temporary file; an existing file keeps its permission bits.
DocumentError writeTextFile(const QString &path, const QByteArray &bytes);
// True when the file exists and its owner may not write it (the read-only attribute).
bool isReadOnlyFile(const QString &path);
// Why writeTextFile and writeEncrypted would refuse path before writing anything: NotAFile,
// UntrustedLink, or None.
Failure saveRefusal(const QString &path);

// Which file a name stood for when a page read or wrote it, to tell later whether another
// program has been at it.
struct FileIdentity {
    bool exists = false;
    bool link = false; // the name itself is a symbolic link
    unsigned long long device = 0, inode = 0;
    long long size = 0, modifiedSeconds = 0, modifiedNanoseconds = 0;
};
FileIdentity identityOf(const QString &path);
enum class FileChange {
    None,     // the same file, as it was
    Changed,  // the same file, written since
    Replaced, // another file or a link has the name now
    Deleted,  // nothing has the name now
};
FileChange changeSince(const FileIdentity &then, const FileIdentity &now);
// Writes text (a page's stream; its lines are ended by CR LF first) as an encrypted document:
// kind Legacy in the legacy form, refused before anything is written from LegacyTextLimit + 1
// bytes on; kind Encrypted with `cipher` (engine::TOBRINEngine::CipherEC4 or CipherBlowfish). Leaves
// the engine's CipherId as it used it.
DocumentError writeEncrypted(engine::TOBRINEngine &engine, const QString &path, DocumentKind kind, std::uint8_t cipher,
                             const QString &password, const QByteArray &text);

// --- The exchange file "~t.dat" in the program folder (with its trailing separator)
enum class ExchangePassword {
    Key,   // the spell-check path, both directions
    Dated, // the print path: the key followed by the date's short text in the user's locale
};
QString exchangeFilePath(const QString &programFolder);
QString exchangeKey();
QString exchangePassword(ExchangePassword which, const QDate &date = QDate::currentDate());
// EC4 whatever the engine's cipher was; the text's lines are ended by CR LF. Written as a file
// of the user's alone (mode 0600) that replaces whatever stands under the name (a link or a
// pipe is never written through); a failure to write is EC:FOpen with the system's error.
DocumentError writeExchangeFile(engine::TOBRINEngine &engine, const QString &programFolder, ExchangePassword which,
                                const QByteArray &text, const QDate &date = QDate::currentDate());
// Read as any encrypted document, but only a regular file of the user's own, opened without
// following a link or waiting on a pipe (anything else is EC:FOpen, EPERM or ELOOP). `after`: the file is deleted after
// the read, as the spell-check path wants; the result does not depend on the deletion.
enum class AfterReading { Keep, Remove };
ReadResult readExchangeFile(engine::TOBRINEngine &engine, const QString &programFolder, ExchangePassword which,
                            AfterReading after, const QDate &date = QDate::currentDate());

} // namespace kelpa::documents
