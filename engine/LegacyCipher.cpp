#include "engine/LegacyCipher.h"

#include <cstdio>

namespace kelpa::engine {

namespace {

// The password with its even positions reversed among themselves, odd positions in place.
std::string reorderedKey(std::string_view password)
{
    const std::size_t L = password.size();
    std::string K(password);
    for (std::size_t i = 0; i < L; i += 2)
        K[i] = password[L % 2 == 0 ? L - i - 2 : L - i - 1];
    return K;
}

// Column of the current line minus one; a CR goes in before every 71st character.
struct LineBreaker {
    int column = 6;
    bool breakNow()
    {
        if (column == 69) {
            column = 0;
            return true;
        }
        ++column;
        return false;
    }
};

// Seven leading characters as a decimal number with an optional sign.
std::optional<long> leadingCount(std::string_view text)
{
    if (text.size() < 7)
        return std::nullopt;
    std::size_t i = 0;
    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == 7)
        return std::nullopt;
    long n = 0;
    for (; i < 7; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        n = n * 10 + (text[i] - '0');
    }
    return negative ? -n : n;
}

} // namespace

std::string EncipherText(std::string_view password, std::string_view plainText)
{
    if (password.empty())
        return {};
    const std::string K = reorderedKey(password);
    char digits[32];
    std::snprintf(digits, sizeof digits, "%07zu", plainText.size());
    std::string out(digits);
    out.reserve(out.size() + plainText.size() * 2 + plainText.size() / 35 + 2);

    LineBreaker lines;
    int prev = 3;
    std::size_t kp = 0;
    long i = 0;
    for (unsigned char c : plainText) {
        ++i;
        if (lines.breakNow())
            out += '\r';
        int v = c + static_cast<int>((i % prev + static_cast<unsigned char>(K[kp])) % 64) + 32;
        int extra = -1;
        if (v > 254) {
            extra = v == 255 ? 1 : v - 128;
            v = 255;
        }
        out += static_cast<char>(v);
        kp = kp + 1 == K.size() ? 0 : kp + 1;
        prev = c;
        if (extra >= 0) {
            if (lines.breakNow())
                out += '\r';
            out += static_cast<char>(extra);
        }
    }
    return out;
}

std::optional<std::string> DecipherText(std::string_view password, std::string_view cipherText)
{
    const auto count = leadingCount(cipherText);
    if (!count || password.empty())
        return std::nullopt;
    const long n = *count;
    std::string plain;
    if (n <= 0)
        return plain;

    const std::string K = reorderedKey(password);
    // Each plain byte takes at least one cipher byte: a longer count cannot be in the text.
    if (static_cast<unsigned long>(n) > cipherText.size())
        return std::nullopt;
    // And at most two, with a line end (CR LF) after every 70: a longer text was written with
    // a count of more than seven digits, whose first seven would read as another text.
    const std::size_t most = 7 + 2 * static_cast<std::size_t>(n);
    if (cipherText.size() > most + 2 * (most / 70 + 1))
        return std::nullopt;
    plain.reserve(static_cast<std::size_t>(n));

    LineBreaker lines;
    std::size_t r = 7;
    std::size_t skipped = 0;
    long prev = 3;
    std::size_t kp = 0;
    for (long i = 1; i <= n; ++i) {
        if (lines.breakNow())
            r += 2;
        if (prev == 0)
            return std::string(DecipherFailureText);
        std::size_t at = r + static_cast<std::size_t>(i - 1) + skipped;
        if (at >= cipherText.size())
            return std::nullopt;
        long v = static_cast<unsigned char>(cipherText[at]);
        if (v == 255) {
            if (lines.breakNow())
                r += 2;
            ++skipped;
            at = r + static_cast<std::size_t>(i - 1) + skipped;
            if (at >= cipherText.size())
                return std::nullopt;
            const long x = static_cast<unsigned char>(cipherText[at]);
            if (x != 1)
                v = x + 128;
        }
        const long p = v - ((i % prev + static_cast<unsigned char>(K[kp])) % 64 + 32);
        plain += static_cast<char>(p);
        kp = kp + 1 == K.size() ? 0 : kp + 1;
        prev = p;
    }
    return plain;
}

} // namespace kelpa::engine
