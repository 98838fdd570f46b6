#include "spell/CheckRun.h"

#include "platform/codepage/CodePage.h"

#include <array>

namespace kelpa::spell {

namespace {

using codepage::Windows1251;

// Windows-1251 byte of every character below U+0500 (0 when it has none), and the characters
// of the bytes: enough for the case rules, which only touch Latin and Cyrillic letters.
struct CharTables {
    std::array<std::uint8_t, 0x500> byte{};
    std::array<char16_t, 256> character{};
    CharTables()
    {
        for (int b = 0; b < 256; ++b) {
            const char16_t c = codepage::decodeByte(Windows1251, static_cast<std::uint8_t>(b));
            character[b] = c;
            if (c < byte.size() && b != 0)
                byte[c] = static_cast<std::uint8_t>(b);
        }
    }
};

const CharTables &charTables()
{
    static const CharTables tables;
    return tables;
}

// The byte of a character, 0 when it has none.
std::uint8_t byteOf(char16_t c)
{
    const CharTables &t = charTables();
    return c < t.byte.size() ? t.byte[c] : 0;
}

char16_t lowerChar(char16_t c)
{
    const std::uint8_t b = byteOf(c);
    return b ? charTables().character[LowerChar(b)] : c;
}

char16_t upperChar(char16_t c)
{
    const std::uint8_t b = byteOf(c);
    return b ? charTables().character[UpperChar(b)] : c;
}

bool isWordUnit(char16_t c)
{
    const std::uint8_t b = byteOf(c);
    if (b)
        return IsCheckWordChar(b);
    // Letters beyond the code page stand as ForeignLetter in the scan; the search agrees.
    return c >= 0xC0 && c != 0xD7 && c != 0xF7 && c < 0x500;
}

} // namespace

std::string ToCheckBytes(std::u16string_view text)
{
    std::string out(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        std::uint8_t b = 0;
        if (c < 0x80)
            b = static_cast<std::uint8_t>(c);
        else if (codepage::encodeChar(Windows1251, c, b))
            ;
        else if (isWordUnit(c))
            b = ForeignLetter;
        else
            b = '?';
        // NUL is never part of a word, and the dictionary never holds it.
        out[i] = static_cast<char>(b);
    }
    return out;
}

bool IsAbbreviation(std::string_view word)
{
    if (word.empty())
        return false;
    for (std::size_t i = 0; i + 1 < word.size(); ++i)
        if (!IsLatinCapital(static_cast<unsigned char>(word[i])))
            return false;
    return true;
}

ScanOutcome FindUnknownWord(std::string_view text, const TKPD &dictionary, const ScanTick &tick)
{
    const std::size_t n = text.size();
    std::size_t pos = 0;
    int count = 0;
    std::string lower;
    while (pos < n) {
        while (pos < n && !IsCheckWordChar(static_cast<unsigned char>(text[pos])))
            ++pos;
        if (pos >= n)
            break;
        const std::size_t start = pos;
        while (pos < n && IsCheckWordChar(static_cast<unsigned char>(text[pos])))
            ++pos;
        const std::string_view word = text.substr(start, pos - start);
        if (word.size() > 1) {
            lower.assign(word);
            for (char &c : lower)
                c = static_cast<char>(LowerChar(static_cast<unsigned char>(c)));
            if (dictionary.Find(lower) < 0 && !IsAbbreviation(word))
                return {ScanResult::Found, start, word.size()};
        }
        if (++count % WordsPerTick == 0 && tick && !tick(start))
            return {ScanResult::Stopped, 0, 0};
    }
    return {ScanResult::End, 0, 0};
}

bool IsCapital(char16_t c)
{
    const std::uint8_t b = byteOf(c);
    return b && IsCapitalLetter(b);
}

std::u16string LowerText(std::u16string_view text)
{
    std::u16string out(text);
    for (char16_t &c : out)
        c = lowerChar(c);
    return out;
}

std::u16string UpperText(std::u16string_view text)
{
    std::u16string out(text);
    for (char16_t &c : out)
        c = upperChar(c);
    return out;
}

std::u16string TrimText(std::u16string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && text[begin] <= u' ')
        ++begin;
    while (end > begin && text[end - 1] <= u' ')
        --end;
    return std::u16string(text.substr(begin, end - begin));
}

CaseForm CaseFormOf(std::u16string_view word)
{
    if (word.empty() || !IsCapital(word[0]))
        return CaseForm::Lower;
    if (word.size() > 1 && IsCapital(word[1]))
        return CaseForm::AllCapitals;
    return CaseForm::FirstCapital;
}

std::u16string ApplyCaseForm(std::u16string_view word, CaseForm form)
{
    switch (form) {
    case CaseForm::AllCapitals:
        return UpperText(word);
    case CaseForm::FirstCapital: {
        std::u16string out = LowerText(word);
        if (!out.empty())
            out[0] = upperChar(out[0]);
        return out;
    }
    case CaseForm::Lower:
        break;
    }
    return LowerText(word);
}

std::u16string ReplacementFor(std::u16string_view found, std::u16string_view typed)
{
    const std::u16string replacement = LowerText(TrimText(typed));
    if (replacement.empty() || replacement == LowerText(TrimText(found)))
        return {};
    return ApplyCaseForm(replacement, CaseFormOf(found));
}

std::size_t FindWholeWord(std::u16string_view text, std::u16string_view word, std::size_t from)
{
    if (word.empty() || word.size() > text.size())
        return std::u16string::npos;
    const std::u16string w = LowerText(word);
    for (std::size_t i = from; i + w.size() <= text.size(); ++i) {
        if (lowerChar(text[i]) != w[0])
            continue;
        std::size_t k = 1;
        while (k < w.size() && lowerChar(text[i + k]) == w[k])
            ++k;
        if (k < w.size())
            continue;
        const bool startsWord = i == 0 || !isWordUnit(text[i - 1]) || !isWordUnit(w.front());
        const bool endsWord = i + k == text.size() || !isWordUnit(text[i + k]) || !isWordUnit(w.back());
        if (startsWord && endsWord)
            return i;
    }
    return std::u16string::npos;
}

std::size_t ReplaceAllWords(std::u16string &text, std::u16string_view old,
                            std::u16string_view replacement, std::size_t caret,
                            const std::function<void(const Replacement &)> &apply)
{
    const std::u16string lower = LowerText(TrimText(replacement));
    std::size_t from = 0;
    for (;;) {
        const std::size_t hit = FindWholeWord(text, old, from);
        if (hit == std::u16string::npos)
            break;
        const std::u16string_view found = std::u16string_view(text).substr(hit, old.size());
        Replacement r{hit, old.size(), ApplyCaseForm(lower, CaseFormOf(found))};
        if (hit < caret)
            caret = caret + r.text.size() - old.size();
        text.replace(hit, old.size(), r.text);
        from = hit + r.text.size();
        if (apply)
            apply(r);
    }
    return caret;
}

} // namespace kelpa::spell
