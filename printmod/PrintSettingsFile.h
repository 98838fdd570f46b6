#pragma once
// The print module's settings file "kpp.ini": lines of a name, "=" and a value, looked up as a
// string list's Values (the first line whose name matches without regard to ASCII case), groups
// separated by lines holding one blank. UTF-8 text; plain C++ so that the reader can be fuzzed.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelpa::printmod {

// A whole integer of the file: blanks before it, a sign, decimal digits or hexadecimal after "$"
// or "0x"; nothing else, and within 32 bits (a negative hexadecimal one within the signed range).
std::optional<std::int32_t> StrToInt(std::string_view text);

enum HeaderFooterStyle : unsigned { StyleBold = 1, StyleItalic = 2, StyleUnderline = 4, StyleStrikeOut = 8 };

// What a file gives. Each group stops at its first bad value and keeps what it read before.
struct PrintSettingsRead {
    std::string header;                       // a missing name gives the empty text
    std::string footer;
    std::string fontName;                     // likewise
    std::optional<std::int32_t> fontSize;     // points
    std::optional<std::int32_t> fontColor;    // colour value
    unsigned addStyles = 0;                   // styles read as "Y"
    std::optional<std::int32_t> marginTop, marginLeft, marginRight, marginBottom;
    std::optional<bool> portrait;
};
PrintSettingsRead ReadPrintSettings(std::string_view bytes);

// What the window writes when it closes.
struct PrintSettingsValues {
    std::string version;
    std::string header, footer;
    std::string fontName;
    std::int32_t fontSize = 10;
    std::int32_t fontColor = 0;
    unsigned styles = 0;
    bool portrait = true;
    double marginTop = 0, marginLeft = 0, marginRight = 0, marginBottom = 0; // truncated on writing
};
std::string WritePrintSettings(const PrintSettingsValues &values);

} // namespace kelpa::printmod
