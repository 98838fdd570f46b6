#pragma once
// Word rules of the spell checker over Windows-1251 bytes: which bytes form words, upper and
// lower case, trimming and the order in which dictionary words are sorted.
//
// Words are byte strings (std::string of 8-bit characters); nothing here converts to Unicode.
#include <cstdint>
#include <string>
#include <string_view>

namespace kelpa::spell {

// Latin capitals as the checking run's abbreviation test holds them.
inline constexpr std::string_view LatinCapitals = "QWERTYUIOPASDFGHJKLZXCVBNM";

// Latin letters, the whole Russian alphabet (including Ё/ё), apostrophe and hyphen.
bool IsWordChar(unsigned char c);
inline bool IsWordChar(char c) { return IsWordChar(static_cast<unsigned char>(c)); }

// 'A'..'Z' only; bytes from 0x80 up never count here.
inline bool IsLatinCapital(unsigned char c) { return c >= 'A' && c <= 'Z'; }
// A Latin or Cyrillic capital letter (А..Я and Ё).
bool IsCapitalLetter(unsigned char c);

// Case of one byte in Windows-1251 (Latin, Cyrillic, and the other Cyrillic letters of the code
// page); bytes that are not letters map to themselves.
unsigned char LowerChar(unsigned char c);
unsigned char UpperChar(unsigned char c);

std::string AnsiLowerCase(std::string_view text);
std::string AnsiUpperCase(std::string_view text);

// Removes bytes up to and including the blank from both ends.
std::string Trim(std::string_view text);

// Order of dictionary words: byte by byte through a collating table (alphabetical within Latin
// and within Cyrillic, ё after е), a word before every longer word it begins. Case-sensitive;
// 0 only for equal bytes. Returns -1, 0 or 1.
int AnsiStrComp(std::string_view a, std::string_view b);
// Collating rank of one byte: a permutation of 0..255 that AnsiStrComp compares by.
std::uint8_t CollationRank(unsigned char c);

} // namespace kelpa::spell
