#include "engine/LegacyCipher.h"
#include "engine/TOBRINEngine.h"
#include "engine/TQCmp.h"

#include "common/FileSizeLimit.h"
#include "common/RandomBytes.h"
#include "common/TempDir.h"
#include "common/Unprivileged.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using namespace kelpa::engine;

namespace {

using Bytes = std::vector<std::uint8_t>;
using kelpa::test::randomBytes;
using kelpa::test::readBytes;
using kelpa::test::TempDir;
using kelpa::test::writeBytes;

Bytes bytesOf(const std::string &s) { return Bytes(s.begin(), s.end()); }

Bytes resultOf(const TOBRINEngine &e)
{
    return Bytes(e.Result.begin(), e.Result.begin() + e.ResultLength);
}

Bytes rtfText(std::size_t n)
{
    std::string s = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ";
    static const char *const words[] = {"editor", "page", "document", "the", "and", "\\b bold\\b0",
        "\\par\r\n", "of", "text", "password", "Kelpa", "print"};
    std::mt19937 rng(42);
    while (s.size() < n) {
        s += words[rng() % 12];
        s += ' ';
    }
    s.resize(n);
    return bytesOf(s);
}

const std::string Header = std::string("VOKAT\x01" "ECO\r\n", 11);

// A document file from its version line, count line and body.
Bytes document(const std::string &version, const Bytes &body, const std::string &count = "5")
{
    Bytes out = bytesOf(Header + version + "\r\n" + count + "\r\n00000000\r\nCreated by Kelpa\r\n");
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes blockHead(std::uint8_t format, std::uint8_t cipher, std::uint8_t compression, std::uint32_t length)
{
    return {format, 8, cipher, compression, static_cast<std::uint8_t>(length),
        static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length >> 16),
        static_cast<std::uint8_t>(length >> 24)};
}

Bytes concat(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A valid block written by the engine itself.
Bytes block(std::uint8_t cipher, std::uint8_t compression, const Bytes &data, const std::string &pw = "pw")
{
    TOBRINEngine e;
    e.CipherId = cipher;
    e.CompressionId = compression;
    EXPECT_TRUE(e.Encrypt(pw, data.data(), data.size())) << e.ErrorCode;
    return resultOf(e);
}

TEST(EngineFormat, HeaderAndBlockHeadBytes)
{
    TempDir dir;
    const std::string file = dir.file("doc.eco");
    TOBRINEngine e;
    const Bytes text = rtfText(5000);
    ASSERT_TRUE(e.SaveToFile("secret", file, text.data(), text.size()));
    const Bytes bytes = readBytes(file);

    const Bytes expectedHead = {0x56, 0x4F, 0x4B, 0x41, 0x54, 0x01, 0x45, 0x43, 0x4F, 0x0D, 0x0A,
        0x35, 0x2E, 0x30, 0x0D, 0x0A, 0x35, 0x0D, 0x0A, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30,
        0x30, 0x0D, 0x0A, 'C', 'r', 'e', 'a', 't', 'e', 'd', ' ', 'b', 'y', ' ', 'K', 'e', 'l', 'p',
        'a', 0x0D, 0x0A};
    ASSERT_GT(bytes.size(), expectedHead.size() + 8);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + expectedHead.size()), expectedHead);
    const auto *body = bytes.data() + expectedHead.size();
    EXPECT_EQ(body[0], 0x33);
    EXPECT_EQ(body[1], 0x08);
    EXPECT_EQ(body[2], 0x68);
    EXPECT_EQ(body[3], 0x7A);
    const std::uint32_t payload = body[4] | body[5] << 8 | body[6] << 16 | std::uint32_t(body[7]) << 24;
    EXPECT_EQ(payload, bytes.size() - expectedHead.size() - 8);
    EXPECT_EQ(e.PayloadLength, payload);
    EXPECT_EQ(e.ResultLength, static_cast<std::int32_t>(payload + 8));

    // Stored when the coder gains nothing, and another title in the creator line.
    e.ApplicationTitle = "kpp";
    const Bytes random = randomBytes(3000, 1);
    ASSERT_TRUE(e.SaveToFile("secret", file, random.data(), random.size()));
    const Bytes stored = readBytes(file);
    const std::string creator = "Created by kpp\r\n";
    EXPECT_EQ(std::string(stored.begin() + 29, stored.begin() + 29 + creator.size()), creator);
    EXPECT_EQ(stored[29 + creator.size() + 3], 0x64);
}

TEST(EngineFormat, LegacyDocumentLayout)
{
    TempDir dir;
    const std::string file = dir.file("old.eco");
    TOBRINEngine e;
    e.CipherId = TOBRINEngine::CipherLegacy;
    // The text ends at its first 0 byte.
    const std::string text = std::string(100, 'q') + std::string(1, '\0') + "never written";
    ASSERT_TRUE(e.SaveToFile("pw", file, reinterpret_cast<const std::uint8_t *>(text.data()), text.size()));
    const Bytes bytes = readBytes(file);
    const std::string head = Header + "3.0\r\n5\r\n00000000\r\nCreated by Kelpa\r\n";
    ASSERT_GT(bytes.size(), head.size());
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + head.size()), head);

    std::string expectedBody;
    for (char c : EncipherText("pw", std::string(100, 'q'))) {
        expectedBody += c;
        if (c == '\r')
            expectedBody += '\n';
    }
    EXPECT_EQ(std::string(bytes.begin() + head.size(), bytes.end()), expectedBody);
    EXPECT_EQ(std::string(e.Result.begin(), e.Result.begin() + e.ResultLength), expectedBody);

    TOBRINEngine r;
    ASSERT_TRUE(r.LoadFromFile("pw", file));
    EXPECT_EQ(r.Version, "3.0");
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(r.Result.data())), std::string(100, 'q'));
}

struct CipherCase {
    const char *name;
    std::uint8_t id;
};
const CipherCase Ciphers[] = {{"legacy", TOBRINEngine::CipherLegacy}, {"EC4", TOBRINEngine::CipherEC4},
    {"Blowfish", TOBRINEngine::CipherBlowfish}, {"XOR", TOBRINEngine::CipherXor}};

// What a load gives back for data saved with a cipher and the compression actually used.
Bytes expectedBack(std::uint8_t cipher, std::uint8_t usedCompression, const Bytes &data)
{
    Bytes out = data;
    if (cipher == TOBRINEngine::CipherLegacy) {
        const auto zero = std::find(out.begin(), out.end(), 0);
        out.erase(zero, out.end());
    }
    if (cipher == TOBRINEngine::CipherBlowfish && usedCompression == TOBRINEngine::CompressionStored)
        out.resize((out.size() + 7) / 8 * 8, 0);
    return out;
}

TEST(EngineFormat, StoredDocumentsStillRead)
{
    // Documents written by an earlier build (also the fuzzing seeds): every cipher and
    // compression must keep reading them back.
    std::string text = "{\\rtf1\\ansi Kelpa seed document.\\par\r\n";
    for (int i = 0; i < 6; ++i)
        text += "Another line with more words, more words.\\par\r\n";
    text += "}";
    struct Case {
        const char *file;
        std::uint8_t cipher, compression;
    };
    const Case cases[] = {{"ec4-coded.eco", 'h', 'z'}, {"ec4-stored.eco", 'h', 'd'},
        {"blowfish-coded.eco", 0xBE, 'z'}, {"blowfish-stored.eco", 0xBE, 'd'},
        {"xor-coded.eco", 0xC0, 'z'}, {"legacy.eco", 'g', 'd'}};
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.file);
        TOBRINEngine r;
        ASSERT_TRUE(r.LoadFromFile("pw", std::string(KELPA_SOURCE_DIR) + "/fuzz/engine/seeds/document/" + tc.file))
            << r.ErrorCode;
        if (tc.cipher != 'g') {
            EXPECT_EQ(r.HeadCipherId, tc.cipher);
            EXPECT_EQ(r.HeadCompressionId, tc.compression);
        }
        EXPECT_EQ(resultOf(r), expectedBack(tc.cipher, tc.compression, bytesOf(text)));
    }
}

TEST(EngineRoundTrip, CiphersCompressionsAndTexts)
{
    Bytes all;
    for (int v = 0; v < 256; ++v)
        all.push_back(static_cast<std::uint8_t>(v));
    struct Text {
        const char *name;
        Bytes data;
    };
    const Text texts[] = {{"empty", {}}, {"one byte", {'K'}}, {"all byte values", all},
        {"1 MB of text", rtfText(1 << 20)}, {"1 MB of random bytes", randomBytes(1 << 20, 2)}};

    TempDir dir;
    const std::string file = dir.file("doc.eco");
    for (const auto &cipher : Ciphers) {
        for (std::uint8_t compression : {TOBRINEngine::CompressionCoder, TOBRINEngine::CompressionStored}) {
            for (const auto &text : texts) {
                SCOPED_TRACE(testing::Message() << cipher.name << " / " << char(compression) << " / " << text.name);
                TOBRINEngine w;
                w.CipherId = cipher.id;
                w.CompressionId = compression;
                ASSERT_TRUE(w.SaveToFile("pass word", file, text.data.data(), text.data.size())) << w.ErrorCode;
                EXPECT_EQ(w.ErrorCode, 0);

                TOBRINEngine r;
                ASSERT_TRUE(r.LoadFromFile("pass word", file)) << r.ErrorCode << " " << r.ErrorText();
                EXPECT_EQ(r.ErrorCode, 0);
                EXPECT_EQ(r.Version, cipher.id == TOBRINEngine::CipherLegacy ? "3.0" : "5.0");
                const std::uint8_t used = cipher.id == TOBRINEngine::CipherLegacy
                    ? TOBRINEngine::CompressionStored : r.HeadCompressionId;
                EXPECT_TRUE(resultOf(r) == expectedBack(cipher.id, used, text.data));
                ASSERT_EQ(r.Result.size(), static_cast<std::size_t>(r.ResultLength) + 1);
                EXPECT_EQ(r.Result.back(), 0);
            }
        }
    }
}

TEST(EngineRoundTrip, PasswordLengths)
{
    const Bytes text = rtfText(20000);
    TempDir dir;
    const std::string file = dir.file("doc.eco");
    std::mt19937 rng(3);
    for (const auto &cipher : Ciphers) {
        for (std::size_t n : {1u, 8u, 9u, 32u, 33u, 256u}) {
            SCOPED_TRACE(testing::Message() << cipher.name << " / password of " << n);
            std::string password(n, ' ');
            for (auto &c : password)
                c = static_cast<char>(1 + rng() % 255);
            TOBRINEngine w;
            w.CipherId = cipher.id;
            ASSERT_TRUE(w.SaveToFile(password, file, text.data(), text.size())) << w.ErrorCode;
            TOBRINEngine r;
            ASSERT_TRUE(r.LoadFromFile(password, file)) << r.ErrorCode;
            EXPECT_TRUE(resultOf(r) == text);

            // A wrong password never reads back the text.
            std::string wrong = password;
            wrong.back() = static_cast<char>(wrong.back() ^ 0x20);
            TOBRINEngine x;
            if (x.LoadFromFile(wrong, file)) {
                EXPECT_FALSE(resultOf(x) == text);
            }
        }
    }
}

TEST(EngineRoundTrip, BlowfishStoredKeepsThePadding)
{
    const Bytes five = {'H', 'e', 'l', 'l', 'o'};
    const Bytes b = block(TOBRINEngine::CipherBlowfish, TOBRINEngine::CompressionStored, five);
    ASSERT_EQ(b.size(), 16u);
    EXPECT_EQ(b[3], 'd');
    EXPECT_EQ(b[4], 8);

    TOBRINEngine r;
    ASSERT_TRUE(r.Decrypt("pw", b.data(), b.size()));
    EXPECT_EQ(resultOf(r), (Bytes{'H', 'e', 'l', 'l', 'o', 0, 0, 0}));

    // A multiple of 8 gets no padding block.
    EXPECT_EQ(block(TOBRINEngine::CipherBlowfish, TOBRINEngine::CompressionStored, Bytes(16, 'x')).size(), 24u);
}

TEST(EngineRoundTrip, XorWithOneCharacterPassword)
{
    const Bytes data = {0x00, 0x41, 0xFF, 0x10};
    const Bytes b = block(TOBRINEngine::CipherXor, TOBRINEngine::CompressionStored, data, "\x21");
    EXPECT_EQ(b, concat(blockHead('3', 0xC0, 'd', 4), {0x21, 0x60, 0xDE, 0x31}));
}

TEST(EngineRoundTrip, HeaderVariantsThatRead)
{
    const Bytes text = bytesOf("Some text to read back.");
    const Bytes body = block(TOBRINEngine::CipherEC4, TOBRINEngine::CompressionStored, text);
    std::string legacyBody;
    for (char c : EncipherText("pw", std::string(text.begin(), text.end()))) {
        legacyBody += c;
        if (c == '\r')
            legacyBody += '\n';
    }

    struct Case {
        const char *name;
        Bytes file;
    };
    // With a count of 4 or less the fourth line is the last header line.
    Bytes shortHeader = concat(bytesOf(Header + "5.0\r\n4\r\nCreated by Kelpa\r\n"), body);
    // CRs anywhere in a header line are dropped; a bare LF ends it.
    Bytes oddLines = concat(bytesOf(Header + "5.\r0\n5\n00000000\r\r\nCreated by\n"), body);
    const Case cases[] = {
        {"version 5.0", document("5.0", body)},
        {"version 3.1 takes the block path", document("3.1", body)},
        {"version 2.3 takes the legacy path", document("2.3", bytesOf(legacyBody))},
        {"version 3.0 takes the legacy path", document("3.0", bytesOf(legacyBody))},
        {"count line 4", shortHeader},
        {"CR dropped, LF ends lines", oddLines},
        {"count line with a sign", document("5.0", body, "+5")},
        {"count line 6 skips one line only", document("5.0", body, "6")},
    };
    TempDir dir;
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.name);
        writeBytes(dir.file("doc.eco"), tc.file);
        TOBRINEngine r;
        ASSERT_TRUE(r.LoadFromFile("pw", dir.file("doc.eco"))) << r.ErrorCode;
        EXPECT_EQ(resultOf(r), text);
    }
}

TEST(EngineErrors, LoadingCraftedFiles)
{
    const Bytes text = bytesOf("abcabcabcabcabcabcabcabcabcabcabcabcabcabcabcabcabcabc");
    const Bytes ec4 = block(TOBRINEngine::CipherEC4, TOBRINEngine::CompressionCoder, text);
    auto withByte = [](Bytes b, std::size_t at, std::uint8_t v) {
        b[at] = v;
        return b;
    };
    // XOR payloads are easy to craft: with password "\x01" every byte is flipped in its low bit.
    auto xorBlock = [](std::uint8_t compression, Bytes plain) {
        for (auto &b : plain)
            b ^= 0x01;
        return concat(blockHead('3', 0xC0, compression, static_cast<std::uint32_t>(plain.size())), plain);
    };
    const Bytes coderBlock = [&] {
        TQCmp c;
        c.Compress(text.data(), text.size());
        Bytes out;
        c.CopyOutput(out);
        return out;
    }();

    struct Case {
        const char *name;
        Bytes file;
        std::string password;
        std::int32_t code;
    };
    const Case cases[] = {
        {"empty file", {}, "pw", EC_BadFile},
        {"shorter than the magic", bytesOf("VOKAT"), "pw", EC_BadFile},
        {"bad magic", bytesOf("VOKAT\x02" "ECO\r\n5.0\r\n5\r\n00000000\r\nCreated by Kelpa\r\n"), "pw", EC_NonOBRIN},
        {"magic with a 0 byte", bytesOf(std::string("VOKAT\0ECO\r\n", 11)), "pw", EC_NonOBRIN},
        {"version 5.1", document("5.1", ec4), "pw", EC_SupVer},
        {"version 10.0", document("10.0", ec4), "pw", EC_NoAlgImp},
        {"version 2.2", document("2.2", ec4), "pw", EC_NoAlgImp},
        {"count line no number", document("5.0", ec4, "five"), "pw", EC_BadFile},
        {"count line empty", document("5.0", ec4, ""), "pw", EC_BadFile},
        {"body shorter than a block head", document("5.0", {0x33, 8, 0x68}), "pw", EC_BadFile},
        {"empty body", document("5.0", {}), "pw", EC_BadFile},
        // Only one extra line is skipped: a sixth header line is the start of the body ('S').
        {"sixth header line", document("5.0", concat(bytesOf("Sixth line\r\n"), ec4), "6"), "pw", EC_SupVer},
        {"block format 0x34", document("5.0", withByte(ec4, 0, 0x34)), "pw", EC_SupVer},
        {"block format 0x80", document("5.0", withByte(ec4, 0, 0x80)), "pw", EC_SupVer},
        {"unknown cipher id", document("5.0", withByte(ec4, 2, 0x41)), "pw", EC_NoAlg},
        {"unknown compression id", document("5.0", withByte(ec4, 3, 'q')), "pw", EC_NoCompAlg},
        {"truncated payload", document("5.0", Bytes(ec4.begin(), ec4.end() - 1)), "pw", EC_BadFile},
        {"payload offset beyond the body", document("5.0", withByte(ec4, 1, 0xF0)), "pw", EC_BadFile},
        {"Blowfish payload not whole blocks",
            document("5.0", concat(blockHead('3', 0xBE, 'd', 7), Bytes(7, 1))), "pw", EC_BadFile},
        {"password of 257", document("5.0", ec4), std::string(257, 'p'), EC_PwdTooLong},
        {"empty password", document("5.0", ec4), "", EC_NoPwd},
        {"empty password, legacy", document("3.0", bytesOf("0000000")), "", EC_NoPwd},
        {"legacy count no number", document("3.0", bytesOf("00a0001xyz")), "pw", EC_BadFile},
        {"legacy text cut short", document("3.0", bytesOf("0000050abc")), "pw", EC_BadFile},
        {"coder symbols missing", document("5.0", xorBlock('z', withByte(coderBlock, 1, 1))),
            "\x01", EC_Compression + TQCmp::ErrBadData},
        {"coder format byte 1", document("5.0", xorBlock('z', withByte(coderBlock, 0, 1))), "\x01",
            EC_Compression + TQCmp::ErrFormat},
        {"empty payload marked as coded", document("5.0", blockHead('3', 0x68, 'z', 0)), "pw",
            EC_Compression + TQCmp::ErrBadData},
    };
    TempDir dir;
    const std::string file = dir.file("crafted.eco");
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.name);
        writeBytes(file, tc.file);
        TOBRINEngine e;
        EXPECT_FALSE(e.LoadFromFile(tc.password, file));
        EXPECT_EQ(e.ErrorCode, tc.code) << e.ErrorText();
    }
}

TEST(EngineErrors, LegacyWrongPasswordReadsAsTheFailureText)
{
    // With password "A" the first offset is 34: the byte 0x22 deciphers to 0, the next divisor.
    const Bytes file = document("3.0", bytesOf("0000002\x22x"));
    TempDir dir;
    writeBytes(dir.file("old.eco"), file);
    TOBRINEngine e;
    ASSERT_TRUE(e.LoadFromFile("A", dir.file("old.eco")));
    EXPECT_EQ(e.ErrorCode, EC_AllOk);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(e.Result.data())), DecipherFailureText);
    EXPECT_EQ(e.ResultLength, static_cast<std::int32_t>(DecipherFailureText.size()));
}

TEST(EngineErrors, LoadingWhatIsNoFile)
{
    TempDir dir;
    // A pipe nobody writes would hold the reader for ever.
    ASSERT_EQ(mkfifo(dir.file("pipe.eco").c_str(), 0644), 0);
    // Each with the system's error that says why.
    const struct {
        std::string name;
        int error;
    } cases[] = {{dir.file("missing.eco"), ENOENT}, {dir.path().string(), EISDIR}, {std::string(), ENOENT},
                 {dir.file("pipe.eco"), EINVAL},    {std::string("/dev/zero"), EINVAL}};
    for (const auto &c : cases) {
        TOBRINEngine e;
        EXPECT_FALSE(e.LoadFromFile("pw", c.name));
        EXPECT_EQ(e.ErrorCode, EC_FOpen) << c.name;
        EXPECT_EQ(e.SystemError, c.error) << c.name;
    }
}

TEST(EngineErrors, VersionAndResultAfterFailures)
{
    TempDir dir;
    const std::string file = dir.file("doc.eco");
    TOBRINEngine e;
    const Bytes text = bytesOf("text");
    ASSERT_TRUE(e.SaveToFile("pw", file, text.data(), text.size()));
    ASSERT_TRUE(e.LoadFromFile("pw", file));

    // The version line is kept even when a later check fails, and the old result is gone.
    writeBytes(file, document("5.1", {}));
    EXPECT_FALSE(e.LoadFromFile("pw", file));
    EXPECT_EQ(e.Version, "5.1");
    EXPECT_EQ(e.ResultLength, 0);
    EXPECT_TRUE(e.Result.empty());

    // After a decompression failure the deciphered bytes stay in Result.
    const Bytes bad = {2, 1, 9, 0, 0, 0};
    Bytes flipped = bad;
    for (auto &b : flipped)
        b ^= 0x01;
    EXPECT_FALSE(e.Decrypt("\x01", concat(blockHead('3', 0xC0, 'z', 6), flipped).data(), 14));
    EXPECT_EQ(e.ErrorCode, EC_Compression + TQCmp::ErrBadData);
    EXPECT_EQ(resultOf(e), bad);
}

TEST(EngineErrors, EncryptChecksInOrder)
{
    const Bytes text = bytesOf("some text, some text, some text, some text");
    struct Case {
        const char *name;
        std::uint8_t cipher, compression;
        std::string password;
        std::int32_t code;
    };
    const Case cases[] = {
        {"unknown compression before the password", 'h', 'q', "", EC_NoCompAlg},
        {"empty password before the cipher id", 0x41, 'z', "", EC_NoPwd},
        {"password of 257", 'h', 'z', std::string(257, 'a'), EC_PwdTooLong},
        {"unknown cipher id", 0x41, 'z', "pw", EC_NoAlg},
        {"legacy id is no block cipher", 'g', 'z', "pw", EC_NoAlg},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.name);
        TOBRINEngine e;
        e.CipherId = tc.cipher;
        e.CompressionId = tc.compression;
        EXPECT_FALSE(e.Encrypt(tc.password, text.data(), text.size()));
        EXPECT_EQ(e.ErrorCode, tc.code);
        EXPECT_EQ(e.ResultLength, 0);
    }
    TOBRINEngine e;
    EXPECT_TRUE(e.Encrypt(std::string(256, 'a'), text.data(), text.size()));

    // Texts beyond the format's 32-bit lengths are refused before a byte of them is read.
    const std::size_t huge = std::size_t(3) << 30;
    e.CompressionId = 'd';
    EXPECT_FALSE(e.Encrypt("pw", text.data(), huge));
    EXPECT_EQ(e.ErrorCode, EC_MAlloc);
    e.CompressionId = 'z';
    EXPECT_FALSE(e.Encrypt("pw", text.data(), huge));
    EXPECT_EQ(e.ErrorCode, EC_Compression + TQCmp::ErrCompress);
    EXPECT_EQ(e.ErrorText(), "EC:Comp.Failure");
}

TEST(EngineErrors, ErrorTexts)
{
    struct Case {
        std::int32_t code;
        const char *text;
    };
    const Case cases[] = {{0, "EC:AllOk"}, {1, "EC:Sup.ver"}, {2, "EC:Unkn.data"}, {3, "EC:No pwd"},
        {4, "EC:PwdTooLong"}, {5, "EC:NoAlg."}, {6, "EC:NoAlgImp."}, {7, "EC:FOpen"}, {8, "EC:MAlloc"},
        {9, "EC:BadFile"}, {10, "EC:NonOBRIN"}, {11, "EC:NoCompAlg."}, {12, "EC:Unknown"},
        {9999, "EC:Unknown"}, {-1, "EC:Unknown"}, {10000, "EC:Comp.Failure"}, {10001, "EC:Comp.Failure"},
        {10002, "EC:Comp.BadData"}, {10006, "EC:Comp.BadData"}, {10007, "EC:Comp.Failure"}};
    for (const auto &tc : cases)
        EXPECT_EQ(TOBRINEngine::ErrorText(tc.code), tc.text) << tc.code;
}

// ---- Saving never destroys the previous document ----

class EngineSave : public testing::Test {
protected:
    void SetUp() override
    {
        file = dir.file("doc.eco");
        TOBRINEngine e;
        ASSERT_TRUE(e.SaveToFile("pw", file, old.data(), old.size()));
        oldBytes = readBytes(file);
    }
    // The old document is intact and nothing else was left in the folder.
    void expectUntouched()
    {
        EXPECT_EQ(readBytes(file), oldBytes);
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"doc.eco"});
    }

    TempDir dir;
    std::string file;
    const Bytes old = bytesOf("the previous document");
    const Bytes text = rtfText(100000);
    Bytes oldBytes;
};

TEST_F(EngineSave, FailuresOfTheBodyLeaveTheOldDocument)
{
    struct Case {
        const char *name;
        std::uint8_t cipher, compression;
        std::string password;
        std::int32_t code;
    };
    const Case cases[] = {
        {"empty password", 'h', 'z', "", EC_NoPwd},
        {"password too long", 0xBE, 'z', std::string(300, 'x'), EC_PwdTooLong},
        {"unknown cipher", 0x01, 'd', "pw", EC_NoAlg},
        {"unknown compression", 'h', 'x', "pw", EC_NoCompAlg},
        {"legacy with empty password", 'g', 'z', "", EC_NoPwd},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.name);
        TOBRINEngine e;
        e.CipherId = tc.cipher;
        e.CompressionId = tc.compression;
        EXPECT_FALSE(e.SaveToFile(tc.password, file, text.data(), text.size()));
        EXPECT_EQ(e.ErrorCode, tc.code);
        expectUntouched();
    }
}

TEST_F(EngineSave, FailedWriteLeavesTheOldDocument)
{
    // Files may grow to 4 KB only: the write of the new document fails part way.
    TOBRINEngine e;
    e.CompressionId = 'd';
    bool saved_ok = true;
    {
        const kelpa::test::FileSizeLimit limit(4096);
        saved_ok = e.SaveToFile("pw", file, text.data(), text.size());
    }

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(e.ErrorCode, EC_BadFile);
    EXPECT_EQ(e.SystemError, EFBIG);
    expectUntouched();
}

TEST_F(EngineSave, DevicesAndPipesAreNoDocumentToWrite)
{
    ASSERT_EQ(mkfifo(dir.file("pipe.eco").c_str(), 0644), 0);
    for (const std::string &target : {std::string("/dev/full"), dir.file("pipe.eco")}) {
        TOBRINEngine e;
        EXPECT_FALSE(e.SaveToFile("pw", target, text.data(), text.size())) << target;
        EXPECT_EQ(e.ErrorCode, EC_FOpen) << target;
        EXPECT_NE(e.SystemError, 0) << target;
    }
    std::filesystem::remove(dir.path() / "pipe.eco");
    expectUntouched();
}

TEST_F(EngineSave, LegacyTextTooLongForItsSevenDigitsIsRefused)
{
    // Ten million bytes would be announced with eight digits, of which a reader takes seven.
    const std::string longText(10'000'000, 'a');
    TOBRINEngine e;
    e.CipherId = TOBRINEngine::CipherLegacy;
    EXPECT_FALSE(e.SaveToFile("pw", file, reinterpret_cast<const std::uint8_t *>(longText.data()), longText.size()));
    EXPECT_EQ(e.ErrorCode, EC_BadFile);
    expectUntouched();

    // Such a document, as another writer may have made it, is reported as damaged, not read as
    // another text.
    std::string cipher = EncipherText("pw", longText);
    std::string body;
    body.reserve(cipher.size() + cipher.size() / 70 + 1);
    for (char c : cipher) {
        body += c;
        if (c == '\r')
            body += '\n';
    }
    ASSERT_EQ(body.compare(0, 8, "10000000"), 0);
    writeBytes(dir.file("long.eco"), document("3.0", Bytes(body.begin(), body.end())));
    TOBRINEngine r;
    EXPECT_FALSE(r.LoadFromFile("pw", dir.file("long.eco")));
    EXPECT_EQ(r.ErrorCode, EC_BadFile);
}

TEST_F(EngineSave, TargetsThatCannotBeWritten)
{
    writeBytes(dir.file("plain.txt"), bytesOf("x"));
    std::filesystem::create_directory(dir.path() / "folder");
    const struct {
        std::string target;
        int error;
    } cases[] = {{dir.file("plain.txt") + "/doc.eco", ENOTDIR},
                 {dir.file("folder"), EISDIR},
                 {dir.file("missing/doc.eco"), ENOENT},
                 {std::string(), ENOENT}};
    for (const auto &c : cases) {
        TOBRINEngine e;
        EXPECT_FALSE(e.SaveToFile("pw", c.target, text.data(), text.size())) << c.target;
        EXPECT_EQ(e.ErrorCode, EC_FOpen) << c.target;
        EXPECT_EQ(e.SystemError, c.error) << c.target;
    }
    std::filesystem::remove(dir.path() / "plain.txt");
    std::filesystem::remove(dir.path() / "folder");
    expectUntouched();
}

TEST_F(EngineSave, UnwritableFolderLeavesTheOldDocument)
{
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    const int code = kelpa::test::runUnprivileged([&] {
        TOBRINEngine e;
        if (e.SaveToFile("pw", file, text.data(), text.size()))
            return 255;
        return e.ErrorCode == EC_FOpen && e.SystemError == EACCES ? 0 : 254;
    });
    chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(code, 0) << "refused with EACCES";
    expectUntouched();
}

TEST_F(EngineSave, ReplacingKeepsModeAndSymbolicLinks)
{
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    const std::string link = dir.file("link.eco");
    std::filesystem::create_symlink(file, link);

    TOBRINEngine e;
    ASSERT_TRUE(e.SaveToFile("pw", link, text.data(), text.size()));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    TOBRINEngine r;
    ASSERT_TRUE(r.LoadFromFile("pw", file));
    EXPECT_TRUE(resultOf(r) == text);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                  std::filesystem::directory_iterator()), 2);
}

} // namespace
