#include "platform/numbers/IntegerText.h"

namespace kelpa {

namespace {

int digitValue(char c, int base)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (base == 16 && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

} // namespace

std::optional<std::int32_t> parseInteger(std::string_view text, IntegerSyntax syntax)
{
    const bool decimalOnly = syntax == IntegerSyntax::Decimal;
    const bool leading = syntax == IntegerSyntax::PrefixedLeading;
    if (decimalOnly) {
        while (!text.empty() && isAsciiSpace(text.front()))
            text.remove_prefix(1);
        while (!text.empty() && isAsciiSpace(text.back()))
            text.remove_suffix(1);
    } else {
        while (!text.empty() && text.front() == ' ')
            text.remove_prefix(1);
    }
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    int base = 10;
    if (!decimalOnly) {
        if (i < text.size() && text[i] == '$') {
            base = 16;
            ++i;
        } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
            base = 16;
            i += 2;
        }
    }
    // Hexadecimal may give all 32 bits (colours), except where digits are read as they stand.
    const std::uint64_t limit = leading ? 0x7FFFFFFFu : base == 16 ? 0xFFFFFFFFu : 0x80000000u;
    std::uint64_t value = 0;
    bool digits = false;
    for (; i < text.size(); ++i) {
        const int d = digitValue(text[i], base);
        if (d < 0) {
            if (leading)
                break;
            return std::nullopt;
        }
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
        digits = true;
        if (value > limit)
            return std::nullopt;
    }
    if (!digits)
        return std::nullopt;
    if (base == 16 && (!negative || syntax == IntegerSyntax::Prefixed)) {
        const auto bits = static_cast<std::uint32_t>(value);
        return static_cast<std::int32_t>(negative ? 0u - bits : bits);
    }
    const std::int64_t signedValue = negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
    if (signedValue > INT32_MAX || signedValue < INT32_MIN)
        return std::nullopt;
    return static_cast<std::int32_t>(signedValue);
}

} // namespace kelpa
