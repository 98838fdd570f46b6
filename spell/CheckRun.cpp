#include "spell/CheckRun.h"

#include "platform/codepage/CodePage.h"

#include <array>
#include <vector>

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

namespace {

bool isBlank(unsigned char c) { return c <= ' ' || c == 0xA0; }

bool isLetter(unsigned char c) { return IsCheckWordChar(c) && c != '\'' && c != '-'; }

bool isEdgeMark(unsigned char c) { return c == '\'' || c == '-'; }

bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (LowerChar(static_cast<unsigned char>(text[i])) != static_cast<unsigned char>(prefix[i]))
            return false;
    return true;
}

// scheme://..., www...., name@host.tld: a blank-delimited piece that is an address.
bool isAddress(std::string_view piece)
{
    const std::size_t scheme = piece.find("://");
    if (scheme != std::string_view::npos && scheme > 0 && isLetter(static_cast<unsigned char>(piece[scheme - 1])))
        return true;
    std::size_t first = 0;
    while (first < piece.size() && !isLetter(static_cast<unsigned char>(piece[first]))
           && !isDigit(static_cast<unsigned char>(piece[first])))
        ++first;
    if (startsWithNoCase(piece.substr(first), "www."))
        return true;
    for (std::size_t at = piece.find('@'); at != std::string_view::npos; at = piece.find('@', at + 1)) {
        if (at == 0 || at + 1 >= piece.size())
            continue;
        const auto before = static_cast<unsigned char>(piece[at - 1]);
        if (!isLetter(before) && !isDigit(before) && before != '.' && before != '_' && before != '-')
            continue;
        for (std::size_t dot = piece.find('.', at + 2); dot != std::string_view::npos; dot = piece.find('.', dot + 1))
            if (dot + 1 < piece.size() && isLetter(static_cast<unsigned char>(piece[dot + 1])))
                return true;
    }
    return false;
}

bool knownPart(std::string_view part, const TKPD &dictionary)
{
    while (!part.empty() && isEdgeMark(static_cast<unsigned char>(part.front())))
        part.remove_prefix(1);
    while (!part.empty() && isEdgeMark(static_cast<unsigned char>(part.back())))
        part.remove_suffix(1);
    return part.size() <= 1 || dictionary.Find(LookupForm(part)) >= 0 || IsAbbreviation(part);
}

} // namespace

bool WordScanner::inAddress(std::size_t pos)
{
    if (pos >= chunkEnd_) {
        // Pieces are met in order, so the look back never passes the end of the last one.
        std::size_t begin = pos;
        while (begin > chunkEnd_ && !isBlank(static_cast<unsigned char>(text_[begin - 1])))
            --begin;
        std::size_t end = pos;
        while (end < text_.size() && !isBlank(static_cast<unsigned char>(text_[end])))
            ++end;
        chunkEnd_ = end;
        chunkIsAddress_ = isAddress(text_.substr(begin, end - begin));
    }
    return chunkIsAddress_;
}

bool WordScanner::next(std::size_t &pos, WordSpan &word)
{
    const std::size_t n = text_.size();
    for (;;) {
        while (pos < n && !IsCheckWordChar(static_cast<unsigned char>(text_[pos])))
            ++pos;
        if (pos >= n)
            return false;
        if (inAddress(pos)) {
            pos = chunkEnd_;
            continue;
        }
        std::size_t begin = pos;
        while (pos < n) {
            const auto c = static_cast<unsigned char>(text_[pos]);
            if (IsCheckWordChar(c)) {
                ++pos;
                continue;
            }
            if (c == TypographicApostrophe && pos > begin && pos + 1 < n
                && isLetter(static_cast<unsigned char>(text_[pos - 1]))
                && isLetter(static_cast<unsigned char>(text_[pos + 1]))) {
                ++pos;
                continue;
            }
            break;
        }
        std::size_t end = pos;
        while (begin < end && isEdgeMark(static_cast<unsigned char>(text_[begin])))
            ++begin;
        while (end > begin && isEdgeMark(static_cast<unsigned char>(text_[end - 1])))
            --end;
        // Only hyphens and apostrophes: a rule or a quote, no word.
        if (begin == end)
            continue;
        word = {begin, end - begin};
        return true;
    }
}

std::string LookupForm(std::string_view word)
{
    std::string out(word);
    for (char &c : out) {
        const auto b = static_cast<unsigned char>(c);
        c = b == TypographicApostrophe ? '\'' : static_cast<char>(LowerChar(b));
    }
    return out;
}

bool IsKnownWord(std::string_view word, const TKPD &dictionary)
{
    if (dictionary.Find(LookupForm(word)) >= 0 || IsAbbreviation(word))
        return true;
    if (word.find('-') == std::string_view::npos)
        return false;
    std::size_t from = 0;
    while (from < word.size()) {
        std::size_t to = word.find('-', from);
        if (to == std::string_view::npos)
            to = word.size();
        if (to > from && !knownPart(word.substr(from, to - from), dictionary))
            return false;
        from = to + 1;
    }
    return true;
}

bool UnknownWordScan::step()
{
    WordSpan word;
    for (int count = 0; count < WordsPerTick; ++count) {
        if (!scanner_.next(pos_, word)) {
            outcome_ = {ScanResult::End, 0, 0};
            return false;
        }
        position_ = word.start;
        if (word.length > 1 && !IsKnownWord(text_.substr(word.start, word.length), dictionary_)) {
            outcome_ = {ScanResult::Found, word.start, word.length};
            return false;
        }
    }
    return true;
}

ScanOutcome FindUnknownWord(std::string_view text, const TKPD &dictionary, const ScanTick &tick)
{
    UnknownWordScan scan(text, dictionary);
    while (scan.step())
        if (tick && !tick(scan.position()))
            return {ScanResult::Stopped, 0, 0};
    return scan.outcome();
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

namespace {

// Every word of `text` the run would report as `word` (compared as the dictionary is asked), in
// order, from `from` on.
std::vector<std::size_t> wholeWordHits(std::u16string_view text, std::u16string_view word, std::size_t from,
                                       bool firstOnly)
{
    std::vector<std::size_t> hits;
    if (word.empty())
        return hits;
    const std::string wanted = LookupForm(ToCheckBytes(word));
    const std::string bytes = ToCheckBytes(text);
    WordScanner scanner(bytes);
    std::size_t pos = 0;
    WordSpan span;
    while (scanner.next(pos, span)) {
        if (span.start < from || span.length != wanted.size())
            continue;
        if (LookupForm(std::string_view(bytes).substr(span.start, span.length)) != wanted)
            continue;
        hits.push_back(span.start);
        if (firstOnly)
            break;
    }
    return hits;
}

} // namespace

std::size_t FindWholeWord(std::u16string_view text, std::u16string_view word, std::size_t from)
{
    const std::vector<std::size_t> hits = wholeWordHits(text, word, from, true);
    return hits.empty() ? std::u16string::npos : hits.front();
}

std::size_t ReplaceAllWords(std::u16string &text, std::u16string_view old,
                            std::u16string_view replacement, std::size_t caret,
                            const std::function<void(const Replacement &)> &apply)
{
    const std::u16string lower = LowerText(TrimText(replacement));
    // Found in the text as it was, so a replacement that holds the old word is not met again.
    const std::vector<std::size_t> hits = wholeWordHits(text, old, 0, false);
    const std::size_t originalCaret = caret;
    std::ptrdiff_t shift = 0;
    for (const std::size_t original : hits) {
        const std::size_t hit = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(original) + shift);
        const std::u16string_view found = std::u16string_view(text).substr(hit, old.size());
        Replacement r{hit, old.size(), ApplyCaseForm(lower, CaseFormOf(found))};
        if (original < originalCaret)
            caret = caret + r.text.size() - old.size();
        text.replace(hit, old.size(), r.text);
        shift += static_cast<std::ptrdiff_t>(r.text.size()) - static_cast<std::ptrdiff_t>(old.size());
        if (apply)
            apply(r);
    }
    return caret;
}

} // namespace kelpa::spell
