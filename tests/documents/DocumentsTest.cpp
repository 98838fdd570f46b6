#include "support/documents/Documents.h"

#include "common/TempDir.h"
#include "common/QtFiles.h"
#include "engine/LegacyCipher.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using kelpa::engine::EC_FOpen;
using kelpa::engine::EC_NoPwd;
using kelpa::engine::EC_NonOBRIN;
using kelpa::engine::TOBRINEngine;

using namespace kelpa::documents;
using kelpa::codepage::TextEncoding;
using kelpa::test::TempDir;
using kelpa::test::readText;
using kelpa::test::writeText;

namespace {

QString qpath(const TempDir &dir, const std::string &name) { return QString::fromStdString(dir.file(name)); }

using kelpa::test::fileBytes;
using kelpa::test::writeFile;

QString folderOf(const TempDir &dir) { return QString::fromStdString(dir.path().string()) + QLatin1Char('/'); }

} // namespace

TEST(Documents, KindsByName)
{
    const std::pair<const char *, DocumentKind> cases[] = {
        {"/a/b.eco", DocumentKind::Encrypted}, {"/a/b.ECO", DocumentKind::Encrypted},
        {"/a/b.Rtf", DocumentKind::Rich},      {"/a/b.wri", DocumentKind::Rich},
        {"/a/b.DOC", DocumentKind::Rich},      {"/a/b.txt", DocumentKind::Plain},
        {"/a.eco/b", DocumentKind::Plain},     {"/a/b.eco.txt", DocumentKind::Plain},
        {"/a/noext", DocumentKind::Plain},
    };
    for (const auto &[name, kind] : cases)
        EXPECT_EQ(kindOfName(QString::fromUtf8(name)), kind) << name;
    EXPECT_EQ(encryptedKindForVersion("3.0"), DocumentKind::Legacy);
    EXPECT_EQ(encryptedKindForVersion("2.3"), DocumentKind::Legacy);
    EXPECT_EQ(encryptedKindForVersion("5.0"), DocumentKind::Encrypted);
    EXPECT_EQ(encryptedKindForVersion("3.01"), DocumentKind::Encrypted);
}

TEST(Documents, EachKindBothWays)
{
    struct Case {
        const char *name;
        const char *file;
        DocumentKind kind;
        std::uint8_t cipher;
        QByteArray written;  // what the page hands over
        QByteArray read;     // what reading gives back
        PasswordCheck password;
        TextEncoding encoding;
    };
    const Case cases[] = {
        {"plain utf-8", "a.txt", DocumentKind::Plain, 0, "caf\xc3\xa9\nx", "caf\xc3\xa9\nx", PasswordCheck::Confirmed,
         TextEncoding::Utf8},
        {"plain latin", "b.txt", DocumentKind::Plain, 0, "caf\xe9\r\n", "caf\xe9\r\n", PasswordCheck::Confirmed,
         TextEncoding::Windows1252},
        {"plain with mark", "c.txt", DocumentKind::Plain, 0, "\xef\xbb\xbfx", "\xef\xbb\xbfx", PasswordCheck::Confirmed,
         TextEncoding::Utf8Bom},
        {"rich", "d.rtf", DocumentKind::Rich, 0, "{\\rtf1 x\\par}", "{\\rtf1 x\\par}", PasswordCheck::Confirmed,
         TextEncoding::Utf8},
        {"ec4", "e.eco", DocumentKind::Encrypted, TOBRINEngine::CipherEC4, QByteArray("one\ntwo\n").repeated(40),
         QByteArray("one\r\ntwo\r\n").repeated(40), PasswordCheck::Confirmed, TextEncoding::Utf8},
        {"blowfish", "f.eco", DocumentKind::Encrypted, TOBRINEngine::CipherBlowfish,
         QByteArray("{\\rtf1 y}\r\n").repeated(40), QByteArray("{\\rtf1 y}\r\n").repeated(40),
         PasswordCheck::Confirmed, TextEncoding::Utf8},
        // Too short to compress: stored as it is, which takes any password; the cipher's
        // padding is no part of the text.
        {"stored blowfish", "h.eco", DocumentKind::Encrypted, TOBRINEngine::CipherBlowfish, "{\\rtf1 y}\r\n",
         "{\\rtf1 y}\r\n", PasswordCheck::Unchecked, TextEncoding::Utf8},
        {"stored ec4", "i.eco", DocumentKind::Encrypted, TOBRINEngine::CipherEC4, "one\ntwo", "one\r\ntwo\r\n",
         PasswordCheck::Unchecked, TextEncoding::Utf8},
        {"legacy", "g.eco", DocumentKind::Legacy, TOBRINEngine::CipherEC4, "old\rtext", "old\r\ntext\r\n",
         PasswordCheck::Unchecked, TextEncoding::Utf8},
    };
    TempDir dir;
    TOBRINEngine engine;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = qpath(dir, c.file);
        const bool encrypted = c.kind == DocumentKind::Encrypted || c.kind == DocumentKind::Legacy;
        const DocumentError written = encrypted
            ? writeEncrypted(engine, path, c.kind, c.cipher, QStringLiteral("p\u00e4ss"), c.written)
            : writeTextFile(path, c.written);
        ASSERT_TRUE(written.ok()) << written.engineCode << " " << written.systemError;
        const ReadResult back = readDocument(engine, path, QStringLiteral("p\u00e4ss"));
        ASSERT_TRUE(back.ok()) << back.error.engineCode;
        EXPECT_EQ(back.bytes, c.read);
        EXPECT_EQ(back.kind, c.kind);
        EXPECT_EQ(back.password, c.password);
        if (!encrypted)
            EXPECT_EQ(back.encoding, c.encoding);
        else
            EXPECT_EQ(back.version, c.kind == DocumentKind::Legacy ? "3.0" : "5.0");
    }
}

TEST(Documents, PasswordBytesReplaceNoCharacter)
{
    EXPECT_EQ(passwordBytes(QStringLiteral("a\u00e4\u20ac")), QByteArray("a\xe4\x80"));
    EXPECT_EQ(passwordBytes(QStringLiteral("\u0416")), QByteArray("\xc6")) << "Windows-1251";
    EXPECT_EQ(passwordBytes(QStringLiteral("\u00e4\u0416")), QByteArray()) << "no code page holds both";
    EXPECT_EQ(exchangeKey().size(), 3);
    EXPECT_EQ(passwordBytes(exchangeKey()), QByteArray("%\xa4k"));
}

TEST(Documents, ErrorsAreValues)
{
    TempDir dir;
    TOBRINEngine engine;
    const QString doc = qpath(dir, "doc.eco");
    ASSERT_TRUE(writeEncrypted(engine, doc, DocumentKind::Encrypted, TOBRINEngine::CipherEC4, QStringLiteral("right"),
                               QByteArray("secret text ").repeated(50))
                    .ok());
    const QString notDoc = qpath(dir, "not.eco");
    writeFile(notDoc, "just text");
    const QString missingFolder = qpath(dir, "none/x.txt");

    struct Case {
        const char *name;
        std::function<DocumentError()> run;
        Failure failure;
        int engineCode; // -1: any but 0
        int systemError;
    };
    const Case cases[] = {
        {"missing text file", [&] { return readTextFile(qpath(dir, "missing.txt")).error; }, Failure::Read, 0, ENOENT},
        {"folder as text file", [&] { return readTextFile(folderOf(dir)).error; }, Failure::Read, 0, EISDIR},
        {"missing document", [&] { return readEncrypted(engine, qpath(dir, "missing.eco"), "p").error; }, Failure::Engine,
         EC_FOpen, ENOENT},
        {"no password", [&] { return readEncrypted(engine, doc, QString()).error; }, Failure::Engine, EC_NoPwd, 0},
        {"wrong password", [&] { return readEncrypted(engine, doc, QStringLiteral("wrong")).error; }, Failure::Engine, -1, 0},
        {"not a document", [&] { return readEncrypted(engine, notDoc, QStringLiteral("p")).error; }, Failure::Engine,
         EC_NonOBRIN, 0},
        {"text into a missing folder", [&] { return writeTextFile(missingFolder, "x"); }, Failure::Write, 0, ENOENT},
        {"document into a missing folder",
         [&] {
             return writeEncrypted(engine, qpath(dir, "none/x.eco"), DocumentKind::Encrypted, TOBRINEngine::CipherEC4,
                                   QStringLiteral("p"), "x");
         },
         Failure::Engine, EC_FOpen, ENOENT},
        {"document without password",
         [&] {
             return writeEncrypted(engine, qpath(dir, "n.eco"), DocumentKind::Encrypted, TOBRINEngine::CipherEC4,
                                   QString(), "x");
         },
         Failure::Engine, EC_NoPwd, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const DocumentError e = c.run();
        EXPECT_FALSE(e.ok());
        EXPECT_EQ(e.failure, c.failure);
        if (c.engineCode < 0)
            EXPECT_NE(e.engineCode, 0);
        else
            EXPECT_EQ(e.engineCode, c.engineCode);
        EXPECT_EQ(e.systemError, c.systemError);
        EXPECT_EQ(e.systemText().isEmpty(), c.systemError == 0);
        EXPECT_EQ(e.engineText().startsWith(QLatin1String("EC:")), c.failure == Failure::Engine);
        // The box names the code and the engine's text, or the system's where the system failed.
        EXPECT_EQ(failureMessage(e), QStringLiteral("E%1: %2").arg(e.engineCode).arg(
                                    c.failure == Failure::Engine ? e.engineText() : e.systemText()));
    }
    // A failed read gives no bytes; the file that was there stays.
    EXPECT_TRUE(readEncrypted(engine, doc, QStringLiteral("wrong")).bytes.isEmpty());
    EXPECT_TRUE(readEncrypted(engine, doc, QStringLiteral("right")).ok());
}

TEST(Documents, LegacyDocumentsHoldLessThanTenMillionBytes)
{
    TempDir dir;
    TOBRINEngine engine;
    const QString path = qpath(dir, "old.eco");
    ASSERT_TRUE(writeEncrypted(engine, path, DocumentKind::Legacy, 0, QStringLiteral("pw"), "old text").ok());
    const QByteArray before = fileBytes(path);

    // The length counts the text in its lines form: one line and its CR LF.
    const QByteArray tooLong = QByteArray(static_cast<qsizetype>(LegacyTextLimit - 1), 'a') + "\r\n";
    ASSERT_EQ(static_cast<std::size_t>(tooLong.size()), LegacyTextLimit + 1);
    const DocumentError refused = writeEncrypted(engine, path, DocumentKind::Legacy, 0, QStringLiteral("pw"), tooLong);
    EXPECT_EQ(refused.failure, Failure::TooLongForLegacy);
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_EQ(QDir(folderOf(dir)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("old.eco")});
    // A text without a line end gets one: 9,999,999 bytes no longer fit.
    EXPECT_EQ(writeEncrypted(engine, path, DocumentKind::Legacy, 0, QStringLiteral("pw"),
                             QByteArray(static_cast<qsizetype>(LegacyTextLimit), 'b'))
                  .failure,
              Failure::TooLongForLegacy);

    const QByteArray longest = QByteArray(static_cast<qsizetype>(LegacyTextLimit - 2), 'c') + "\r\n";
    ASSERT_TRUE(writeEncrypted(engine, path, DocumentKind::Legacy, 0, QStringLiteral("pw"), longest).ok());
    const ReadResult back = readEncrypted(engine, path, QStringLiteral("pw"));
    ASSERT_TRUE(back.ok()) << back.error.engineCode;
    EXPECT_EQ(back.kind, DocumentKind::Legacy);
    EXPECT_TRUE(back.bytes == longest);
    // The current version holds it too.
    ASSERT_TRUE(writeEncrypted(engine, path, DocumentKind::Encrypted, TOBRINEngine::CipherEC4, QStringLiteral("pw"),
                               tooLong)
                    .ok());
    EXPECT_TRUE(readEncrypted(engine, path, QStringLiteral("pw")).bytes == tooLong);
}

TEST(Documents, ExchangeFileBothPasswordsBothWays)
{
    TempDir dir;
    const QString folder = folderOf(dir);
    const QDate today(2026, 12, 10);
    const QDate tomorrow = today.addDays(1);
    EXPECT_EQ(exchangeFilePath(folder), folder + QStringLiteral("~t.dat"));
    EXPECT_EQ(exchangePassword(ExchangePassword::Key, today), exchangeKey());
    EXPECT_TRUE(exchangePassword(ExchangePassword::Dated, today).startsWith(exchangeKey()));
    EXPECT_NE(exchangePassword(ExchangePassword::Dated, today), exchangePassword(ExchangePassword::Dated, tomorrow));

    struct Case {
        const char *name;
        ExchangePassword written;
        ExchangePassword read;
        QDate readOn;
        bool readable;
    };
    const Case cases[] = {
        {"key", ExchangePassword::Key, ExchangePassword::Key, today, true},
        {"key on another day", ExchangePassword::Key, ExchangePassword::Key, tomorrow, true},
        {"dated", ExchangePassword::Dated, ExchangePassword::Dated, today, true},
        {"dated, read the next day", ExchangePassword::Dated, ExchangePassword::Dated, tomorrow, false},
        {"dated, read with the key", ExchangePassword::Dated, ExchangePassword::Key, today, false},
        {"key, read dated", ExchangePassword::Key, ExchangePassword::Dated, today, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TOBRINEngine writer;
        writer.CipherId = TOBRINEngine::CipherBlowfish; // the exchange file is EC4 whatever the engine had
        ASSERT_TRUE(writeExchangeFile(writer, folder, c.written, QByteArray("page\ntext\n").repeated(40), today).ok());
        EXPECT_EQ(writer.CipherId, TOBRINEngine::CipherEC4);
        TOBRINEngine reader;
        const ReadResult back = readExchangeFile(reader, folder, c.read, AfterReading::Keep, c.readOn);
        EXPECT_EQ(back.ok(), c.readable);
        if (c.readable) {
            EXPECT_EQ(back.bytes, QByteArray("page\r\ntext\r\n").repeated(40));
            EXPECT_EQ(back.kind, DocumentKind::Encrypted);
        } else {
            EXPECT_EQ(back.error.failure, Failure::Engine);
            EXPECT_TRUE(back.bytes.isEmpty());
        }
        EXPECT_TRUE(QFile::exists(exchangeFilePath(folder)));
    }

    // The spell-check path deletes what it read, also when reading failed; the text ends at its
    // first 0 byte.
    TOBRINEngine engine;
    ASSERT_TRUE(writeExchangeFile(engine, folder, ExchangePassword::Key, QByteArray("good\0rest", 9)).ok());
    const ReadResult read = readExchangeFile(engine, folder, ExchangePassword::Key, AfterReading::Remove);
    EXPECT_EQ(read.bytes, "good\r\n");
    EXPECT_FALSE(QFile::exists(exchangeFilePath(folder)));
    ASSERT_TRUE(writeExchangeFile(engine, folder, ExchangePassword::Dated, QByteArray("x\n").repeated(200), today).ok());
    EXPECT_FALSE(readExchangeFile(engine, folder, ExchangePassword::Key, AfterReading::Remove).ok());
    EXPECT_FALSE(QFile::exists(exchangeFilePath(folder)));
    const ReadResult none = readExchangeFile(engine, folder, ExchangePassword::Key, AfterReading::Keep);
    EXPECT_EQ(none.error.engineCode, EC_FOpen);
    EXPECT_EQ(none.error.systemError, ENOENT);
}

// Whoever writes the exchange file (the editor, the spell checker), it is its owner's only: a
// new one, and one an earlier hand-off left readable by others.
TEST(Documents, ExchangeFileIsReadableByItsOwnerOnly)
{
    TempDir dir;
    const QString folder = folderOf(dir);
    const std::string file = exchangeFilePath(folder).toStdString();
    const mode_t before = ::umask(022);
    TOBRINEngine engine;
    struct stat st {};
    ASSERT_TRUE(writeExchangeFile(engine, folder, ExchangePassword::Key, "secret").ok());
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ::chmod(file.c_str(), 0644);
    ASSERT_TRUE(writeExchangeFile(engine, folder, ExchangePassword::Dated, "secret").ok());
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(::umask(before), 022u) << "the writer puts the process's mask back";
}

// Whatever stands under the exchange file's name, the writer replaces it without writing
// through it or waiting on it, and the reader takes nothing but a regular file of the user's
// own: a link does not lead it to another file, a pipe does not make it wait.
TEST(Documents, ExchangeFileNeverThroughALinkOrAPipe)
{
    TempDir dir;
    const QString folder = folderOf(dir);
    const std::string file = exchangeFilePath(folder).toStdString();
    const std::string victim = dir.file("victim.txt");
    TOBRINEngine engine;
    // A readable exchange file elsewhere, that a link would lead the reader to.
    ASSERT_TRUE(writeExchangeFile(engine, folder, ExchangePassword::Key, "someone else's").ok());
    ASSERT_EQ(::rename(file.c_str(), dir.file("elsewhere.dat").c_str()), 0);
    struct Case {
        const char *name;
        std::function<void()> plant;
        int readError;
    };
    const std::vector<Case> cases = {
        {"a link to a file of the user's", [&] { ASSERT_EQ(::symlink(victim.c_str(), file.c_str()), 0); }, ELOOP},
        {"a link to an exchange file", [&] { ASSERT_EQ(::symlink(dir.file("elsewhere.dat").c_str(), file.c_str()), 0); },
         ELOOP},
        {"a pipe", [&] { ASSERT_EQ(::mkfifo(file.c_str(), 0666), 0); }, EPERM},
        {"another user's file", [&] {
             ASSERT_EQ(::link(dir.file("elsewhere.dat").c_str(), file.c_str()), 0);
             ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
         }, EPERM},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.readError == EPERM && std::string(c.name) == "another user's file" && ::geteuid() != 0)
            continue; // only the superuser can give a file away
        writeText(victim, "the user's own");
        c.plant();
        const ReadResult refused = readExchangeFile(engine, folder, ExchangePassword::Key, AfterReading::Remove);
        EXPECT_FALSE(refused.ok());
        EXPECT_EQ(refused.error.engineCode, EC_FOpen);
        EXPECT_EQ(refused.error.systemError, c.readError);
        EXPECT_TRUE(refused.bytes.isEmpty());
        struct stat st {};
        EXPECT_NE(::lstat(file.c_str(), &st), 0) << "the reader removes what it refused";

        c.plant();
        ASSERT_TRUE(writeExchangeFile(engine, folder, ExchangePassword::Key, "page").ok());
        EXPECT_EQ(readText(victim), "the user's own");
        ASSERT_EQ(::lstat(file.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 07777, 0600u);
        EXPECT_EQ(st.st_uid, ::geteuid());
        EXPECT_EQ(readExchangeFile(engine, folder, ExchangePassword::Key, AfterReading::Remove).bytes, "page\r\n");
    }
}
