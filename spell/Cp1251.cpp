#include "spell/Cp1251.h"

#include <array>

namespace kelpa::spell {

namespace {

struct Tables {
    std::array<bool, 256> word{};
    std::array<bool, 256> capital{};
    std::array<std::uint8_t, 256> lower{};
    std::array<std::uint8_t, 256> upper{};
    std::array<std::uint8_t, 256> rank{};

    Tables()
    {
        for (int c = 0; c < 256; ++c) {
            lower[c] = static_cast<std::uint8_t>(c);
            upper[c] = static_cast<std::uint8_t>(c);
        }
        auto pair = [this](int up, int low) {
            lower[up] = static_cast<std::uint8_t>(low);
            upper[low] = static_cast<std::uint8_t>(up);
        };
        for (int c = 'A'; c <= 'Z'; ++c)
            pair(c, c + 32);
        for (int c = 0xC0; c <= 0xDF; ++c)
            pair(c, c + 32);
        // The other Cyrillic letters of the code page and their small forms.
        static constexpr int others[][2] = {
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
};

const Tables &tables()
{
    static const Tables t;
    return t;
}

} // namespace

bool IsWordChar(unsigned char c) { return tables().word[c]; }
bool IsCapitalLetter(unsigned char c) { return tables().capital[c]; }
unsigned char LowerChar(unsigned char c) { return tables().lower[c]; }
unsigned char UpperChar(unsigned char c) { return tables().upper[c]; }
std::uint8_t CollationRank(unsigned char c) { return tables().rank[c]; }

std::string AnsiLowerCase(std::string_view text)
{
    const auto &t = tables();
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(t.lower[static_cast<unsigned char>(c)]);
    return out;
}

std::string AnsiUpperCase(std::string_view text)
{
    const auto &t = tables();
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(t.upper[static_cast<unsigned char>(c)]);
    return out;
}

std::string Trim(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
        --end;
    return std::string(text.substr(begin, end - begin));
}

int AnsiStrComp(std::string_view a, std::string_view b)
{
    const auto &rank = tables().rank;
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] != b[i])
            return rank[static_cast<unsigned char>(a[i])] < rank[static_cast<unsigned char>(b[i])] ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

} // namespace kelpa::spell
