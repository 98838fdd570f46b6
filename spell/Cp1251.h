#pragma once
// Word rules of the spell checker over Windows-1251 bytes: which bytes form words, upper and
// lower case, trimming and the order in which dictionary words are sorted.
//
// Words are byte strings (std::string of 8-bit characters); nothing here converts to Unicode.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelpa::spell {

namespace cp1251 {

struct Tables {
    std::array<bool, 256> word{};
    std::array<bool, 256> capital{};
    std::array<std::uint8_t, 256> lower{};
    std::array<std::uint8_t, 256> upper{};
    std::array<std::uint8_t, 256> rank{};

    constexpr Tables()
    {
        for (int c = 0; c < 256; ++c) {
            lower[c] = static_cast<std::uint8_t>(c);
            upper[c] = static_cast<std::uint8_t>(c);
        }
        for (int c = 'A'; c <= 'Z'; ++c)
            pair(c, c + 32);
        for (int c = 0xC0; c <= 0xDF; ++c)
            pair(c, c + 32);
        // The other Cyrillic letters of the code page and their small forms.
        constexpr int others[][2] = {
            {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D},
            {0x8E, 0x9E}, {0x8F, 0x9F}, {0xA1, 0xA2}, {0xA3, 0xBC}, {0xA5, 0xB4},
            {0xA8, 0xB8}, {0xAA, 0xBA}, {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE},
        };
        for (const auto &p : others)
            pair(p[0], p[1]);

        for (int c = 'a'; c <= 'z'; ++c)
            word[c] = word[c - 32] = true;
        for (int c = 0xC0; c <= 0xFF; ++c)
            word[c] = true;
        word[0xA8] = word[0xB8] = true; // Ё ё
        word['\''] = word['-'] = true;

        for (int c = 'A'; c <= 'Z'; ++c)
            capital[c] = true;
        for (int c = 0xC0; c <= 0xDF; ++c)
            capital[c] = true;
        capital[0xA8] = true;

        // Byte order, except that Ё and ё follow Е and е.
        int next = 0;
        for (int c = 0; c < 256; ++c) {
            if (c == 0xA8 || c == 0xB8)
                continue;
            rank[c] = static_cast<std::uint8_t>(next++);
            if (c == 0xC5)
                rank[0xA8] = static_cast<std::uint8_t>(next++);
            if (c == 0xE5)
                rank[0xB8] = static_cast<std::uint8_t>(next++);
        }
    }

private:
    constexpr void pair(int up, int low)
    {
        lower[up] = static_cast<std::uint8_t>(low);
        upper[low] = static_cast<std::uint8_t>(up);
    }
};

inline constexpr Tables tables{};

} // namespace cp1251

// Latin capitals as the checking run's abbreviation test holds them.
inline constexpr std::string_view LatinCapitals = "QWERTYUIOPASDFGHJKLZXCVBNM";

// Latin letters, the whole Russian alphabet (including Ё/ё), apostrophe and hyphen.
inline bool IsWordChar(unsigned char c) { return cp1251::tables.word[c]; }
inline bool IsWordChar(char c) { return IsWordChar(static_cast<unsigned char>(c)); }

// 'A'..'Z' only; bytes from 0x80 up never count here.
inline bool IsLatinCapital(unsigned char c) { return c >= 'A' && c <= 'Z'; }
// A Latin or Cyrillic capital letter (А..Я and Ё).
inline bool IsCapitalLetter(unsigned char c) { return cp1251::tables.capital[c]; }

// Case of one byte in Windows-1251 (Latin, Cyrillic, and the other Cyrillic letters of the code
// page); bytes that are not letters map to themselves.
inline unsigned char LowerChar(unsigned char c) { return cp1251::tables.lower[c]; }
inline unsigned char UpperChar(unsigned char c) { return cp1251::tables.upper[c]; }

std::string AnsiLowerCase(std::string_view text);
std::string AnsiUpperCase(std::string_view text);

// Removes bytes up to and including the blank from both ends.
std::string Trim(std::string_view text);

// Order of dictionary words: byte by byte through a collating table (alphabetical within Latin
// and within Cyrillic, ё after е), a word before every longer word it begins. Case-sensitive;
// 0 only for equal bytes. Returns -1, 0 or 1.
int AnsiStrComp(std::string_view a, std::string_view b);
// Collating rank of one byte: a permutation of 0..255 that AnsiStrComp compares by.
inline std::uint8_t CollationRank(unsigned char c) { return cp1251::tables.rank[c]; }

} // namespace kelpa::spell
