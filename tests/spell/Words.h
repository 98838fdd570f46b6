#pragma once
// Test words written in UTF-8 source text, turned into the Windows-1251 bytes the store keeps.
#include <stdexcept>
#include <string>
#include <string_view>

namespace kelpa::spell::test {

// ASCII, the Russian letters and Ё/ё; anything else is a mistake in the test.
inline std::string cp(std::string_view utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
            ++i;
            continue;
        }
        if (i + 1 >= utf8.size() || (b & 0xE0) != 0xC0)
            throw std::invalid_argument("not a Cyrillic letter");
        const unsigned u = (b & 0x1Fu) << 6 | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
        i += 2;
        if (u >= 0x410 && u <= 0x44F)
            out.push_back(static_cast<char>(0xC0 + (u - 0x410)));
        else if (u == 0x401)
            out.push_back(static_cast<char>(0xA8));
        else if (u == 0x451)
            out.push_back(static_cast<char>(0xB8));
        else
            throw std::invalid_argument("not a Cyrillic letter");
    }
    return out;
}

} // namespace kelpa::spell::test
