#include "support/Scrambler.h"

#include <cstdint>
#include <vector>

namespace kelpa::scrambler {

namespace {

struct Layout {
    Form form = Form::Plain;
    int keyOffset = 32;
    unsigned keyXor = 0;
    int keyLength = 0;
    std::size_t keyStart = 0;
};

// Reads the form, key length and key position from the first bytes; false when the string
// is too short to hold them or names an empty or negative key.
bool readLayout(std::string_view s, Layout &l)
{
    const auto at = [&](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
    if (s.empty())
        return false;
    if (at(0) >= 7) {
        l.form = Form::Plain;
        l.keyOffset = 32;
        l.keyXor = 0;
        l.keyLength = at(0) - 100;
        l.keyStart = 1;
    } else {
        if (s.size() < 3)
            return false;
        l.keyOffset = 82;
        l.keyXor = at(0);
        l.keyLength = (at(1) ^ at(0) ^ 0x78) - 100;
        if (at(2) == 1) {
            if (s.size() < 4)
                return false;
            l.form = (at(3) & 0x7F) != 0 ? Form::KeyedXor : Form::Keyed;
            l.keyStart = 4;
        } else {
            l.form = Form::Keyed;
            l.keyStart = 2;
        }
    }
    return l.keyLength > 0;
}

int keyByte(std::uint8_t stored, const Layout &l, int i)
{
    return static_cast<std::uint8_t>((stored ^ l.keyXor) - l.keyOffset - (i % 3));
}

// The running value's next step before the text byte is combined in.
int nextMask(int b, int oldK, int keyValue)
{
    return (oldK % 3) + (b % 10) - keyValue + 128;
}

} // namespace

std::string unscramble(std::string_view s)
{
    Layout l;
    if (!readLayout(s, l))
        return {};
    const std::size_t m = static_cast<std::size_t>(l.keyLength);
    if (l.keyStart + m > s.size())
        return {};
    std::vector<int> key(m + 1);
    for (std::size_t i = 1; i <= m; ++i)
        key[i] = keyByte(static_cast<std::uint8_t>(s[l.keyStart + i - 1]), l, static_cast<int>(i));
    std::string text;
    text.reserve(s.size() - l.keyStart - m);
    int b = 0;
    std::size_t k = 1;
    for (std::size_t j = l.keyStart + m; j < s.size(); ++j) {
        const int c = static_cast<std::uint8_t>(s[j]);
        const std::size_t oldK = k;
        k = k == m ? 1 : k + 1;
        b = nextMask(b, static_cast<int>(oldK), key[oldK]);
        b = l.form == Form::KeyedXor ? (b ^ c) : (c - b);
        text.push_back(static_cast<char>(b & 0xFF));
    }
    return text;
}

std::string scramble(std::string_view plain, std::string_view keyText, Form form,
                     unsigned char keyXor)
{
    std::string key(keyText.substr(0, 155));
    if (key.empty())
        key.assign(1, 'k');
    const int m = static_cast<int>(key.size());
    Layout l;
    l.form = form;
    std::string s;
    if (form == Form::Plain) {
        l.keyOffset = 32;
        l.keyXor = 0;
        s.push_back(static_cast<char>(100 + m));
    } else {
        keyXor %= 7;
        l.keyOffset = 82;
        l.keyXor = keyXor;
        s.push_back(static_cast<char>(keyXor));
        s.push_back(static_cast<char>((100 + m) ^ keyXor ^ 0x78));
        const int firstRaw = ((static_cast<std::uint8_t>(key[0]) + l.keyOffset + 1) & 0xFF) ^ keyXor;
        if (form == Form::KeyedXor) {
            s.push_back(1);
            s.push_back(static_cast<char>(0x55));
        } else if (firstRaw == 1) {
            // A first key byte of 1 would read as the marker; the long header says "no XOR".
            s.push_back(1);
            s.push_back(0);
        }
    }
    for (int i = 1; i <= m; ++i) {
        const int raw = (static_cast<std::uint8_t>(key[i - 1]) + l.keyOffset + (i % 3)) & 0xFF;
        s.push_back(static_cast<char>(raw ^ l.keyXor));
    }
    // The key as the unscrambler will read it.
    std::vector<int> k(m + 1);
    for (int i = 1; i <= m; ++i)
        k[i] = static_cast<std::uint8_t>(key[i - 1]);
    int b = 0;
    int pos = 1;
    for (const char ch : plain) {
        const int out = static_cast<std::uint8_t>(ch);
        const int oldK = pos;
        pos = pos == m ? 1 : pos + 1;
        const int mask = nextMask(b, oldK, k[oldK]);
        int c;
        if (form == Form::KeyedXor) {
            c = (out ^ mask) & 0xFF;
            b = mask ^ c;
        } else {
            c = (out + mask) & 0xFF;
            b = c - mask;
        }
        s.push_back(static_cast<char>(c));
    }
    return s;
}

} // namespace kelpa::scrambler
