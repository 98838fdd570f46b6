// The stored-text unscrambler, our scrambler, and the programs' stored texts.
#include "support/StoredText.h"

#include <gtest/gtest.h>
#include <string>

using namespace kelpa;

namespace {

std::string bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

} // namespace

TEST(Unscramble, WorkedExamplesOfEachForm)
{
    struct Case {
        const char *name;
        std::string stored;
        std::string text;
    };
    const Case cases[] = {
        // Plain: key length 101 - 100 = 1, key byte 98 - 32 - 1 = 65; "H" = 136 - 64, "i" = 171 - 66.
        {"plain", bytes({101, 98, 136, 171}), "Hi"},
        // Keyed with XOR: XOR byte 2, key at s[4]: (150 ^ 2) - 82 - 1 = 65; 64 ^ 8 = 'H', 66 ^ 43 = 'i'.
        {"keyed xor", bytes({2, 0x1F, 1, 0x81, 150, 8, 43}), "Hi"},
        // Keyed, key right after the length: (148 ^ 0) - 82 - 1 = 65.
        {"keyed", bytes({0, 0x1D, 148, 136, 171}), "Hi"},
        // Keyed with the long header but no XOR (s[3] AND 0x7F is 0).
        {"keyed long header", bytes({0, 0x1D, 1, 0x80, 148, 136, 171}), "Hi"},
        // The running value goes negative: its remainder truncates towards zero (-191 rem 10 = -1).
        {"negative running value", bytes({0, 0x1D, 1, 0x01, 27, 248, 250}), "AB"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(UnscrambleStoredText(c.stored), c.text) << c.name;
}

TEST(Unscramble, NeverReadsOutsideItsInput)
{
    struct Case {
        const char *name;
        std::string stored;
    };
    const Case cases[] = {
        {"empty", std::string()},
        {"key only", bytes({101, 98})},
        {"key cut short", bytes({105, 98, 99})},
        {"key length zero", bytes({100, 1, 2, 3})},
        {"key length negative", bytes({50, 1, 2, 3})},
        {"keyed, no room for the length", bytes({3})},
        {"keyed, no room for the marker", bytes({3, 0x1A})},
        {"keyed, long header cut", bytes({2, 0x1F, 1})},
        {"keyed, key past the end", bytes({2, 0x14, 1, 0x81, 150})},
    };
    for (const Case &c : cases) {
        // A copy on the heap of exactly the stored size lets the sanitizer see any overrun.
        const std::unique_ptr<char[]> exact(new char[c.stored.size() + 1]);
        std::copy(c.stored.begin(), c.stored.end(), exact.get());
        EXPECT_EQ(UnscrambleStoredText(std::string_view(exact.get(), c.stored.size())), "") << c.name;
    }
    // One byte after the key gives exactly one character.
    EXPECT_EQ(UnscrambleStoredText(bytes({101, 98, 136})).size(), 1u);
}

TEST(Unscramble, ScramblerRoundTrips)
{
    std::string everyByte;
    for (int i = 0; i < 256; ++i)
        everyByte.push_back(static_cast<char>(i));
    const std::string texts[] = {"", "x", "https://kelpa.example.org/download/kpp", everyByte,
                                 std::string(5000, '\xE9')};
    const std::string keys[] = {"k", "a longer key of many bytes", std::string(155, '\xFF'),
                                std::string("\x00\x01\x02", 3),
                                "\xAE" "b"};   // first key byte stored as 1 under XOR 0: needs the long header
    const ScrambleForm forms[] = {ScrambleForm::Plain, ScrambleForm::Keyed, ScrambleForm::KeyedXor};
    for (const ScrambleForm form : forms)
        for (const std::string &key : keys)
            for (unsigned char x = 0; x < 7; ++x)
                for (const std::string &text : texts) {
                    const std::string stored = ScrambleText(text, key, form, x);
                    ASSERT_EQ(UnscrambleStoredText(stored), text)
                        << "form " << static_cast<int>(form) << " key size " << key.size() << " xor " << int(x)
                        << " text size " << text.size();
                    if (text.size() > 8) {
                        EXPECT_EQ(stored.find(text), std::string::npos);   // not stored in the clear
                    }
                }
}

TEST(StoredTexts, EveryTextIsThereAndUnscrambles)
{
    const StoredTextId ids[] = {StoredTextId::LaunchToken,       StoredTextId::PrintModuleDownload,
                                StoredTextId::SpellCheckerDownload, StoredTextId::HomePage,
                                StoredTextId::UpdatePage,        StoredTextId::ProductTextA,
                                StoredTextId::ProductTextB,      StoredTextId::LicenceKey,
                                StoredTextId::SpellCheckerCaption, StoredTextId::PrintModuleCaption,
                                StoredTextId::PrintModuleVersion};
    for (const StoredTextId id : ids) {
        const std::string value = StoredTextValue(id);
        EXPECT_FALSE(value.empty()) << static_cast<int>(id);
        EXPECT_NE(std::string(StoredTextBytes(id)), value) << static_cast<int>(id);
        EXPECT_EQ(StoredTextString(id).toLatin1().toStdString(), value) << static_cast<int>(id);
    }
    // Addresses that exist: the README installed beside the programs.
    for (const StoredTextId id : {StoredTextId::HomePage, StoredTextId::PrintModuleDownload,
                                  StoredTextId::SpellCheckerDownload, StoredTextId::UpdatePage})
        EXPECT_EQ(StoredTextString(id), QStringLiteral("../share/doc/kelpa/README.md")) << static_cast<int>(id);
}
