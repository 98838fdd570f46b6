#pragma once
// Whole numbers in text, as typed by a user or kept in a settings file. Each reader names the
// syntax it has always accepted; they differ in blanks, hexadecimal, trailing text and range.
#include <cstdint>
#include <optional>
#include <string_view>

namespace kelpa {

enum class IntegerSyntax {
    // ASCII white space around, a sign, decimal digits; within 32 bits signed.
    Decimal,
    // Spaces before, a sign, then decimal digits or "$"/"0x" and hexadecimal digits; nothing may
    // follow. Decimal within 32 bits signed; hexadecimal any 32 bits, a negative one wrapping
    // ("-$FFFFFFFF" is 1).
    Prefixed,
    // As Prefixed, but a negative hexadecimal number must fit 32 bits signed.
    PrefixedSigned,
    // As Prefixed, but reading stops at the first character that is no digit; at least one
    // digit, and the digits' value (either sign, either base) at most 2147483647.
    PrefixedLeading,
};

// Nothing when the text is no number of that syntax or does not fit.
std::optional<std::int32_t> parseInteger(std::string_view text, IntegerSyntax syntax);

} // namespace kelpa
