#include "engine/CBlowFish.h"
#include "engine/EC4.h"
#include "engine/LegacyCipher.h"
#include "engine/TOBRINEngine.h"

#include "common/RandomBytes.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace kelpa::engine;

namespace {

using Bytes = std::vector<std::uint8_t>;
using kelpa::test::randomBytes;

std::string randomText(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string out(n, ' ');
    for (auto &c : out)
        c = static_cast<char>(1 + rng() % 255);
    return out;
}

// ---- Blowfish ----

TEST(CBlowFish, PublishedTestVectors)
{
    struct Case {
        std::uint8_t key[8];
        std::uint32_t plainL, plainR, cipherL, cipherR;
    };
    const Case cases[] = {
        {{0, 0, 0, 0, 0, 0, 0, 0}, 0x00000000, 0x00000000, 0x4EF99745, 0x6198DD78},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFF, 0xFFFFFFFF, 0x51866FD5,
            0xB85ECB8A},
        {{0x30, 0, 0, 0, 0, 0, 0, 0}, 0x10000000, 0x00000001, 0x7D856F9A, 0x613063F2},
        {{0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11}, 0x11111111, 0x11111111, 0x2466DD87,
            0x8B963C9D},
        {{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}, 0x11111111, 0x11111111, 0x61F9C380,
            0x2281B096},
        {{0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10}, 0x01234567, 0x89ABCDEF, 0x0ACEAB0F,
            0xC6A0A28D},
    };
    for (const auto &tc : cases) {
        CBlowFish bf;
        bf.SetKey(tc.key, 8);
        std::uint32_t L = tc.plainL, R = tc.plainR;
        bf.EncryptBlock(L, R);
        EXPECT_EQ(L, tc.cipherL);
        EXPECT_EQ(R, tc.cipherR);
        bf.DecryptBlock(L, R);
        EXPECT_EQ(L, tc.plainL);
        EXPECT_EQ(R, tc.plainR);
    }
}

TEST(CBlowFish, BuffersAreLittleEndianWordsPaddedWithZeros)
{
    CBlowFish bf;
    const std::uint8_t zeroKey[8] = {};
    bf.SetKey(zeroKey, 8);
    // Words L and R come from bytes 0-3 and 4-7, least significant byte first.
    Bytes out(8);
    EXPECT_EQ(bf.EncryptBuffer(Bytes(8, 0).data(), out.data(), 8), 8u);
    EXPECT_EQ(out, (Bytes{0x45, 0x97, 0xF9, 0x4E, 0x78, 0xDD, 0x98, 0x61}));

    struct Case {
        std::size_t length, padded;
    };
    for (const Case tc : {Case{0, 0}, Case{1, 8}, Case{5, 8}, Case{8, 8}, Case{9, 16}, Case{16, 16}}) {
        SCOPED_TRACE(tc.length);
        EXPECT_EQ(CBlowFish::PaddedLength(tc.length), tc.padded);
        const Bytes plain = randomBytes(tc.length, 3);
        Bytes cipher(tc.padded), back(tc.padded);
        EXPECT_EQ(bf.EncryptBuffer(plain.data(), cipher.data(), tc.length), tc.padded);
        bf.DecryptBuffer(cipher.data(), back.data(), tc.padded);
        Bytes expected = plain;
        expected.resize(tc.padded, 0);
        EXPECT_EQ(back, expected);
    }

    // In place: the padding bytes are zeroed before the last block is enciphered.
    Bytes inPlace = {1, 2, 3, 4, 5, 0xAA, 0xBB, 0xCC};
    bf.EncryptBuffer(inPlace.data(), inPlace.data(), 5);
    bf.DecryptBuffer(inPlace.data(), inPlace.data(), 8);
    EXPECT_EQ(inPlace, (Bytes{1, 2, 3, 4, 5, 0, 0, 0}));
}

TEST(MakeBlowfishKey, KnownAnswers)
{
    // Worked out independently; 11 and 40 bytes read places before the salt, which count as 0.
    struct Case {
        std::string password;
        std::array<std::uint8_t, 32> key;
    };
    std::string forty;
    for (int i = 1; i <= 40; ++i)
        forty += static_cast<char>(i);
    const Case cases[] = {
        {"A", {0xB0, 0x14, 0xE2, 0x44, 0x7C, 0x81, 0x17, 0x01, 0xB9, 0xA1, 0xFC, 0x34, 0x08, 0x25, 0x67, 0x1B,
                  0xEB, 0xC1, 0x22, 0x0D, 0xEA, 0x4C, 0xC3, 0x76, 0xBE, 0x13, 0xEF, 0x34, 0x25, 0x70, 0x14, 0x16}},
        {"abcdefgh", {0xC7, 0xF8, 0x82, 0x7A, 0x10, 0x3B, 0x88, 0x87, 0x82, 0x82, 0x61, 0xE3, 0x3F, 0xAB, 0x1C, 0x29,
                         0x41, 0xA4, 0xB6, 0x0D, 0xF2, 0xD1, 0x10, 0x15, 0xF4, 0xDA, 0x57, 0xC2, 0xF6, 0xCF, 0x15, 0x18}},
        {"abcdefghijk", {0x0C, 0x0B, 0x18, 0x2D, 0x5F, 0x54, 0x47, 0xEC, 0xFC, 0x5C, 0xFB, 0xDD, 0x5B, 0x27, 0xB0,
                            0xCA, 0x5B, 0x59, 0xB7, 0xF6, 0x97, 0x5B, 0x22, 0x99, 0x4D, 0x13, 0x34, 0x81, 0x14, 0x8F,
                            0x2A, 0x9E}},
        {forty, {0xD9, 0x79, 0xF2, 0xB5, 0x73, 0x05, 0xD3, 0x96, 0x51, 0x27, 0xB5, 0xF6, 0x7C, 0xA5, 0xAB, 0xA5,
                    0x8C, 0xE5, 0xE0, 0x27, 0xE4, 0xC7, 0xE7, 0x3F, 0x22, 0xD0, 0x35, 0xDE, 0x61, 0xBC, 0xF0, 0x5F}},
    };
    const TOBRINEngine engine;
    for (const auto &tc : cases)
        EXPECT_EQ(engine.MakeBlowfishKey(tc.password), tc.key) << tc.password.size();
}

TEST(MakeBlowfishKey, SamePasswordSameKeyAndPasswordsDiffer)
{
    TOBRINEngine engine;
    const std::string passwords[] = {"a", "b", "abcdefgh", "abcdefgi", "abcdefghi",
        std::string(32, 'x'), std::string(33, 'x'), std::string(256, 'z')};
    std::vector<std::array<std::uint8_t, 32>> keys;
    for (const auto &p : passwords) {
        const auto key = engine.MakeBlowfishKey(p);
        EXPECT_EQ(engine.MakeBlowfishKey(p), key) << p;
        keys.push_back(key);
    }
    for (std::size_t a = 0; a < keys.size(); ++a)
        for (std::size_t b = a + 1; b < keys.size(); ++b)
            EXPECT_NE(keys[a], keys[b]) << passwords[a] << " / " << passwords[b];
}

// ---- EC4 ----

// The cipher step written out plainly, with every remainder computed as it reads; the library's
// version keeps running counters instead.
Bytes ec4Plain(std::string_view password, const Bytes &in, bool decipher)
{
    std::vector<std::uint8_t> T(EC4TableSize);
    EC4SetKey(password, T.data());
    int M = 0;
    for (std::size_t i = 0; i < EC4TableSize; ++i) {
        M = (M + T[i]) % 256;
        M = (M * T[EC4TableSize - 1 - i]) % 256;
    }
    const int m1 = T[9] + 5, m2 = T[134] + 4;
    int prev = 3;
    std::size_t kp = 1;
    Bytes out(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const int b = T[kp];
        int six = 0;
        for (int j = 0; j < 6; ++j)
            six ^= T[110 + j + (i % 256)];
        if (!decipher) {
            const int p = in[i];
            int x = ((b + prev) ^ p) ^ six;
            if (b % 3 == 1)
                x += T[(i ^ 7) % m1];
            if (b % 7 == 0)
                x -= T[i % m2];
            out[i] = static_cast<std::uint8_t>(x + M);
            prev = p;
        } else {
            int y = in[i] - M;
            if (b % 7 == 0)
                y += T[i % m2];
            if (b % 3 == 1)
                y -= T[(i ^ 7) % m1];
            const int p = static_cast<std::uint8_t>(((prev + b) ^ y ^ six));
            out[i] = static_cast<std::uint8_t>(p);
            prev = p;
        }
        kp = (kp + 1) % EC4TableSize;
    }
    return out;
}

// Bytes worked out from the key set-up and cipher steps, independently of this code, for
// passwords that read only the salt (1, 9 bytes) and that read key places not yet computed
// (40, 256 bytes, which count as 0).
std::string passwordOf(std::size_t length)
{
    if (length == 1)
        return "A";
    if (length == 9)
        return "p\xE4ss word";
    std::string p;
    for (std::size_t i = 0; i < length; ++i)
        p += static_cast<char>(length == 40 ? i + 1 : ((200 + i) % 256 ? (200 + i) % 256 : 1));
    return p;
}

TEST(EC4, KnownAnswers)
{
    const std::string text = "Kelpa \xE9\xF6\xF3 text";
    struct Case {
        std::size_t passwordLength;
        Bytes tableHead, tableTail, cipher;
    };
    const Case cases[] = {
        {1, {0x5B, 0x94, 0xB6, 0xBE, 0x00, 0xE4, 0x27, 0x87}, {0x28, 0x44, 0x37, 0x9F, 0x1B, 0xE2, 0x5F, 0x82},
            {0x4E, 0x31, 0xBA, 0x05, 0x89, 0xB0, 0x3F, 0x96, 0x4D, 0x27, 0x6B, 0xE0, 0x32, 0xD1}},
        {9, {0x24, 0x4A, 0x62, 0x45, 0x23, 0x43, 0x1D, 0x5D}, {0x86, 0x43, 0x30, 0xCD, 0xF9, 0x1C, 0x9A, 0x09},
            {0x6F, 0xEE, 0x1A, 0x55, 0x7C, 0x51, 0xE6, 0x72, 0xDB, 0xA6, 0x39, 0xB7, 0x20, 0xFA}},
        {40, {0xFE, 0x16, 0xEE, 0x25, 0x8D, 0xB5, 0x60, 0x0A}, {0xCE, 0xF7, 0xAA, 0x36, 0xB8, 0x29, 0x42, 0x0B},
            {0x13, 0xE3, 0x07, 0xFA, 0xEC, 0xC4, 0x44, 0x38, 0x83, 0x9A, 0xF8, 0xAB, 0xFA, 0x31}},
        {256, {0xBC, 0x24, 0xD8, 0xC7, 0xA5, 0x74, 0xFB, 0xF5}, {0xF7, 0xB0, 0x1C, 0xBB, 0x28, 0x12, 0x4D, 0x6C},
            {0x5A, 0xA3, 0xBF, 0x2A, 0xC8, 0x6A, 0xD7, 0xD0, 0x37, 0x0D, 0x4E, 0xAB, 0x4F, 0xE2}},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.passwordLength);
        const std::string password = passwordOf(tc.passwordLength);
        Bytes T(EC4TableSize);
        EC4SetKey(password, T.data());
        EXPECT_EQ(Bytes(T.begin(), T.begin() + 8), tc.tableHead);
        EXPECT_EQ(Bytes(T.end() - 8, T.end()), tc.tableTail);
        std::int32_t cell = -1;
        EXPECT_EQ(EC4Encrypt(cell, password, reinterpret_cast<const std::uint8_t *>(text.data()), text.size()),
            tc.cipher);
    }
}

TEST(EC4, MatchesThePlainStepOverLengthsAndPasswords)
{
    const std::string passwords[] = {"k", "secret", std::string(32, 'q'), randomText(33, 1),
        randomText(256, 2)};
    for (const auto &password : passwords) {
        for (std::size_t n : {0u, 1u, 7u, 8u, 9u, 263u, 10241u, 30000u}) {
            SCOPED_TRACE(testing::Message() << "password length " << password.size() << ", n " << n);
            const Bytes plain = randomBytes(n, static_cast<unsigned>(n));
            std::int32_t cell = -1;
            const Bytes cipher = EC4Encrypt(cell, password, plain.data(), plain.size());
            EXPECT_EQ(cell, 0);
            ASSERT_EQ(cipher, ec4Plain(password, plain, false));
            EXPECT_EQ(ec4Plain(password, cipher, true), plain);
            Bytes back = EC4Decrypt(cell, password, cipher.data(), cipher.size());
            ASSERT_EQ(back.size(), n + 1);
            EXPECT_EQ(back.back(), 0);
            back.pop_back();
            EXPECT_EQ(back, plain);
        }
    }
}

TEST(EC4, FeedbackAndWrongPassword)
{
    const Bytes plain = randomBytes(64, 8);
    std::int32_t cell = 0;
    const Bytes a = EC4Encrypt(cell, "pass", plain.data(), plain.size());
    EXPECT_EQ(EC4Encrypt(cell, "pass", plain.data(), plain.size()), a);

    // One changed plain byte changes that output byte and, through the feedback, the next.
    Bytes changed = plain;
    changed[20] ^= 0x5A;
    const Bytes b = EC4Encrypt(cell, "pass", changed.data(), changed.size());
    for (std::size_t i = 0; i < plain.size(); ++i) {
        if (i == 20 || i == 21)
            EXPECT_NE(a[i], b[i]) << i;
        else
            EXPECT_EQ(a[i], b[i]) << i;
    }

    const Bytes wrong = EC4Decrypt(cell, "pasS", a.data(), a.size());
    EXPECT_EQ(cell, 0);
    EXPECT_EQ(wrong.size(), plain.size() + 1);
    EXPECT_NE(Bytes(wrong.begin(), wrong.end() - 1), plain);
}

TEST(EC4, KeyTableDependsOnEveryPasswordByte)
{
    // Long passwords read key places that are only defined by the zeroed start; the table must
    // still be the same for the same password and differ for a change anywhere in it.
    const std::string base = randomText(200, 4);
    std::vector<std::uint8_t> t0(EC4TableSize), t1(EC4TableSize);
    EC4SetKey(base, t0.data());
    EC4SetKey(base, t1.data());
    EXPECT_EQ(t0, t1);
    for (std::size_t at : {0u, 31u, 32u, 100u, 199u}) {
        std::string other = base;
        other[at] = static_cast<char>(other[at] ^ 1);
        EC4SetKey(other, t1.data());
        EXPECT_NE(t0, t1) << at;
    }
}

// ---- Legacy text cipher ----

TEST(LegacyCipher, ExactOutput)
{
    struct Case {
        const char *name;
        std::string plain;
        std::string cipher;
    };
    // Password "A": the first offset is ((1 rem 3) + 65) mod 64 + 32 = 34.
    const Case cases[] = {
        {"empty text", "", "0000000"},
        {"one byte", "a", std::string("0000001") + char(0x61 + 34)},
        {"reaches 255", "\xDD", std::string("0000001") + "\xFF\x01"},
        {"exceeds 255", "\xDE", std::string("0000001") + "\xFF\x80"},
        {"far beyond 255", "\xFF", std::string("0000001") + "\xFF\xA1"},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.name);
        EXPECT_EQ(EncipherText("A", tc.plain), tc.cipher);
        EXPECT_EQ(DecipherText("A", tc.cipher), tc.plain);
    }
}

TEST(LegacyCipher, LinesOfSeventyCharacters)
{
    const std::string c63 = EncipherText("pw", std::string(63, 'a'));
    EXPECT_EQ(c63.size(), 70u);
    EXPECT_EQ(c63.find('\r'), std::string::npos);

    const std::string c64 = EncipherText("pw", std::string(64, 'a'));
    ASSERT_EQ(c64.size(), 72u);
    EXPECT_EQ(c64[70], '\r');

    // An escape pair counts two columns: its second byte moves to the next line.
    // At i = 63 with prev 'a' and password "A" the offset is (63 + 65) mod 64 + 32 = 32.
    const std::string pair = EncipherText("A", std::string(62, 'a') + "\xDF");
    ASSERT_EQ(pair.size(), 72u);
    EXPECT_EQ(pair.substr(69), "\xFF\r\x01");

    std::string long1000 = EncipherText("pw", std::string(1000, 'a'));
    EXPECT_EQ(long1000.substr(0, 7), "0001000");
    std::size_t start = 0;
    for (std::size_t cr; (cr = long1000.find('\r', start)) != std::string::npos; start = cr + 1)
        EXPECT_EQ(cr - start, 70u);
}

TEST(LegacyCipher, RoundTripsWithRightPassword)
{
    const std::string passwords[] = {"x", "ab", "abc", "even", "odd-7ch", randomText(40, 6),
        randomText(300, 7)};
    for (const auto &password : passwords) {
        for (unsigned seed = 0; seed < 5; ++seed) {
            const std::string plain = randomText(500 + seed * 37, seed);
            // Cipher text as the file holds it: CR LF between lines.
            std::string stored;
            for (char c : EncipherText(password, plain)) {
                stored += c;
                if (c == '\r')
                    stored += '\n';
            }
            const auto back = DecipherText(password, stored);
            ASSERT_TRUE(back.has_value());
            EXPECT_EQ(*back, plain) << "password length " << password.size();
        }
    }
}

TEST(LegacyCipher, DamagedCipherText)
{
    struct Case {
        const char *name;
        std::string cipher;
        std::optional<std::string> plain;
    };
    const Case cases[] = {
        {"count is no number", "00x0001a", std::nullopt},
        {"shorter than the count digits", "00001", std::nullopt},
        {"count beyond the text", "0000009abc", std::nullopt},
        {"escape byte at the end", std::string("0000001") + "\xFF", std::nullopt},
        {"text longer than its count could make", "0000001" + std::string(20, 'A'), std::nullopt},
        {"count of zero", "0000000garbage", std::string()},
        {"negative count", "-000005abcdef", std::string()},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.name);
        EXPECT_EQ(DecipherText("pw", tc.cipher), tc.plain);
    }
    EXPECT_EQ(DecipherText("", "0000000"), std::nullopt);
}

} // namespace
