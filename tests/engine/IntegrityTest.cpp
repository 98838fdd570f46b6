// What the document format does not protect: nothing in a document checks that its bytes are
// the ones that were written, or that the password is the one it was written with. The README
// states these facts; these cases keep the statement true.
#include "engine/TOBRINEngine.h"

#include "common/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

#include <cstdio>
#include <string>
#include <vector>

using namespace kelpa::engine;

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string Letter = "Dear Anna,\r\nthe key to the safe is under the third flower pot.\r\n"
                           "Please burn this letter after reading it.\r\n";

Bytes encrypted(std::uint8_t cipher, std::uint8_t compression, const std::string &password)
{
    TOBRINEngine e;
    e.CipherId = cipher;
    e.CompressionId = compression;
    EXPECT_TRUE(e.Encrypt(password, reinterpret_cast<const std::uint8_t *>(Letter.data()), Letter.size()));
    return Bytes(e.Result.begin(), e.Result.begin() + e.ResultLength);
}

// Whether the engine reported success, and the text it returned.
struct Outcome {
    bool ok = false;
    std::string text;
};

Outcome decrypt(const Bytes &block, const std::string &password)
{
    TOBRINEngine e;
    Outcome o;
    o.ok = e.Decrypt(password, block.data(), block.size());
    if (o.ok)
        o.text.assign(e.Result.begin(), e.Result.begin() + e.ResultLength);
    return o;
}

struct Kind {
    const char *name;
    std::uint8_t cipher;
    std::uint8_t compression;
};

const Kind Kinds[] = {
    {"EC4, compressed", TOBRINEngine::CipherEC4, TOBRINEngine::CompressionCoder},
    {"EC4, stored", TOBRINEngine::CipherEC4, TOBRINEngine::CompressionStored},
    {"Blowfish, compressed", TOBRINEngine::CipherBlowfish, TOBRINEngine::CompressionCoder},
    {"Blowfish, stored", TOBRINEngine::CipherBlowfish, TOBRINEngine::CompressionStored},
};

// Flipping one bit of the enciphered payload: some changes are caught only because the byte
// coder cannot decode what comes out, many give another text with no error at all.
TEST(EngineIntegrity, ChangedPayloadOftenReadsAsAnotherTextWithoutAnError)
{
    for (const Kind &kind : Kinds) {
        SCOPED_TRACE(kind.name);
        const Bytes original = encrypted(kind.cipher, kind.compression, "pot plant");
        int undetected = 0, reported = 0;
        for (std::size_t i = TOBRINEngine::BlockHeadSize; i < original.size(); ++i) {
            Bytes changed = original;
            changed[i] ^= 0x01;
            const Outcome o = decrypt(changed, "pot plant");
            if (!o.ok)
                ++reported;
            else if (o.text.compare(0, Letter.size(), Letter) != 0)
                ++undetected;
        }
        EXPECT_GT(undetected, 0) << "some change should go unnoticed";
        if (kind.compression == TOBRINEngine::CompressionStored) {
            EXPECT_EQ(reported, 0) << "nothing checks a stored payload";
        }
        std::printf("[ integrity ] %s: %zu payload bytes, %d changed texts without an error, "
                    "%d errors\n", kind.name, original.size() - TOBRINEngine::BlockHeadSize,
                    undetected, reported);
    }
}

// Without compression no wrong password is ever told from the right one; with compression the
// byte coder rejects most wrong passwords, but not because anything checks the password.
TEST(EngineIntegrity, WrongPasswordsOnStoredDocumentsGiveTextWithoutAnError)
{
    for (const Kind &kind : Kinds) {
        SCOPED_TRACE(kind.name);
        const Bytes block = encrypted(kind.cipher, kind.compression, "pot plant");
        int accepted = 0;
        const int tries = 2000;
        for (int n = 0; n < tries; ++n) {
            const Outcome o = decrypt(block, "guess " + std::to_string(n));
            if (o.ok) {
                EXPECT_NE(o.text, Letter);
                ++accepted;
            }
        }
        if (kind.compression == TOBRINEngine::CompressionStored) {
            EXPECT_EQ(accepted, tries);
        }
        std::printf("[ integrity ] %s: %d of %d wrong passwords read without an error\n",
                    kind.name, accepted, tries);
    }
}

// The same through a file: a document changed on disk opens, with another text, and no error.
TEST(EngineIntegrity, DocumentChangedOnDiskOpensWithoutAnError)
{
    kelpa::test::TempDir dir;
    const std::string file = dir.file("letter.eco");
    TOBRINEngine w;
    w.CompressionId = TOBRINEngine::CompressionStored;
    ASSERT_TRUE(w.SaveToFile("pot plant", file, reinterpret_cast<const std::uint8_t *>(Letter.data()),
        Letter.size()));
    {
        std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
        f.seekg(-20, std::ios::end);
        const char c = static_cast<char>(f.peek());
        f.seekp(-20, std::ios::end);
        f.put(static_cast<char>(c ^ 0x20));
    }
    TOBRINEngine r;
    ASSERT_TRUE(r.LoadFromFile("pot plant", file)) << r.ErrorText();
    EXPECT_EQ(r.ErrorCode, EC_AllOk);
    const std::string text(r.Result.begin(), r.Result.begin() + r.ResultLength);
    EXPECT_NE(text, Letter);
    EXPECT_EQ(text.size(), Letter.size());
}

} // namespace
