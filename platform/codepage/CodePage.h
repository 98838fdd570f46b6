#pragma once
// 8-bit code pages and the plain-text encoding rule.
//
// Text inside the programs is Unicode (UTF-16 at the Qt edge); documents and hand-off files are
// bytes. This is the one place where the two meet:
//   - decode()/encode() convert between bytes of an 8-bit code page and UTF-16 / UTF-32;
//   - codePageOfCharset() maps an RTF font charset number to the code page of its bytes;
//   - decodePlainText()/encodePlainText() apply the plain-file rule: a file that is valid UTF-8
//     is UTF-8 (a leading byte-order mark is kept as part of the encoding), anything else is
//     Windows-1252; a file is written back in the encoding it was read with, new files in UTF-8.
// Code pages are numbered as Windows numbers them (1252, 1251, ...; 65001 is UTF-8). A code page
// we carry no table for decodes as Windows-1252, so bytes never get lost on the way in.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelpa::codepage {

constexpr int Utf8 = 65001;
constexpr int Windows1252 = 1252;
constexpr int Windows1251 = 1251;

// True for the 8-bit code pages we carry a table for (437, 850, 874, 1250-1258, 10000).
bool isKnown(int codePage);
// Code pages whose characters take one or two bytes (932, 936, 949, 950). We carry no tables for
// them: decode() reads them through the system's converter. A reader that gets the bytes one by
// one must know which byte starts a pair.
bool isDoubleByte(int codePage);
bool isLeadByte(int codePage, std::uint8_t byte);

// One byte to its character. Bytes a code page leaves undefined keep their value in the C1
// range (0x80-0x9F, as Windows does, so they survive a round trip) or become U+FFFD.
char16_t decodeByte(int codePage, std::uint8_t byte);
// The byte of one character, or false when the code page has none for it.
bool encodeChar(int codePage, char32_t c, std::uint8_t &byte);

// Of a double-byte code page, a pair or byte it does not define becomes U+FFFD.
std::u16string decode(std::string_view bytes, int codePage);
std::u32string decodeToUtf32(std::string_view bytes, int codePage);
// Characters the code page lacks become `replacement`; *lossless tells whether any did.
std::string encode(std::u16string_view text, int codePage, bool *lossless = nullptr,
                   char replacement = '?');
std::string encodeUtf32(std::u32string_view text, int codePage, bool *lossless = nullptr,
                        char replacement = '?');

// The bytes of a password, no character replaced: Windows-1252 when it holds every character,
// else Windows-1251 (what such a password was on systems of that code page), else nothing.
std::optional<std::string> encodePassword(std::u16string_view password);

// Code page of the bytes of an RTF font with \fcharsetN; 0 when the charset names none
// (1, the default charset: the document's own code page applies; 2, symbol fonts).
int codePageOfCharset(int charset);

// UTF-8: strict (no overlong forms, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(std::string_view bytes);
// Invalid sequences become U+FFFD; unpaired surrogates on the way out become U+FFFD too.
std::u16string utf8ToUtf16(std::string_view bytes);
std::string utf16ToUtf8(std::u16string_view text);

enum class TextEncoding { Utf8, Utf8Bom, Windows1252 };
const char *encodingName(TextEncoding encoding);

struct DecodedText {
    std::u16string text;
    TextEncoding encoding = TextEncoding::Utf8;
};
DecodedText decodePlainText(std::string_view bytes);

struct EncodedText {
    std::string bytes;
    // The encoding actually written: the one asked for, except that a text Windows-1252 cannot
    // hold is written as UTF-8 rather than losing characters.
    TextEncoding encoding = TextEncoding::Utf8;
};
EncodedText encodePlainText(std::u16string_view text, TextEncoding wanted);

} // namespace kelpa::codepage
