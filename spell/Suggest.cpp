#include "spell/Cp1251.h"
#include "spell/TKPD.h"

#include <algorithm>
#include <array>

namespace kelpa::spell {

namespace {

// The letters tried in substitutions and insertions: Latin in keyboard order, the Cyrillic
// capitals, the Cyrillic small letters, apostrophe and hyphen.
constexpr std::string_view SuggestionAlphabet =
    "qwertyuiopasdfghjklzxcvbnm"
    "\xC0\xC1\xC2\xC3\xC4\xC5\xA8\xC6\xC7\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF"
    "\xD0\xD1\xD2\xD3\xD4\xD5\xD6\xD7\xD8\xD9\xDA\xDB\xDC\xDD\xDE\xDF"
    "\xE0\xE1\xE2\xE3\xE4\xE5\xB8\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF"
    "\xF0\xF1\xF2\xF3\xF4\xF5\xF6\xF7\xF8\xF9\xFA\xFB\xFC\xFD\xFE\xFF"
    "'-";

// Candidates are looked up lower-cased and listed in the dictionary's own form, so a capital
// finds exactly what its small letter finds: each distinct lower-case letter is tried once.
struct LowerAlphabet {
    std::array<char, 256> letters{};
    std::size_t size = 0;
    LowerAlphabet()
    {
        std::array<bool, 256> seen{};
        for (char c : SuggestionAlphabet) {
            const unsigned char low = LowerChar(static_cast<unsigned char>(c));
            if (!seen[low]) {
                seen[low] = true;
                letters[size++] = static_cast<char>(low);
            }
        }
    }
};

} // namespace

void TKPD::Suggest(std::string_view word, std::vector<std::string> &list) const
{
    static const LowerAlphabet alphabet;
    list.clear();
    const std::string w = AnsiLowerCase(word);
    if (w.find(' ') != std::string::npos) {
        list.emplace_back("> Single words only");
        return;
    }
    if (FindNormalised(w) >= 0) {
        list.emplace_back("> Correct spelling");
        return;
    }

    std::vector<int> hits;
    std::string candidate;
    candidate.reserve(w.size() + 2);
    auto tryWord = [&](const std::string &c) {
        const int i = FindNormalised(c);
        if (i >= 0)
            hits.push_back(i);
    };
    const std::size_t n = w.size();
    // Past these lengths no candidate can be a word, and a long paste must not stall the caller.
    const bool edits = n <= MaxWordLength + 1;
    const bool splits = n <= 2 * MaxWordLength;
    for (std::size_t pos = 0; pos < n && (edits || splits); ++pos) {
        const std::string_view left(w.data(), pos);
        const char c = w[pos];
        const std::string_view right(w.data() + pos + 1, n - pos - 1);

        if (splits && !right.empty()) {
            // Split into two known words.
            const std::string_view head(w.data(), pos + 1);
            if (FindNormalised(head) >= 0 && FindNormalised(right) >= 0)
                list.push_back(std::string(head) + " " + std::string(right));
        }
        if (!edits)
            continue;
        candidate.assign(left).append(right); // deletion
        tryWord(candidate);
        if (!right.empty()) {
            candidate.assign(left).push_back(right[0]); // neighbours swapped
            candidate.push_back(c);
            candidate.append(right.substr(1));
            tryWord(candidate);
        }
        for (std::size_t k = 0; k < alphabet.size; ++k) {
            const char a = alphabet.letters[k];
            candidate.assign(left).push_back(a); // substitution
            candidate.append(right);
            tryWord(candidate);
            candidate.assign(left).push_back(c); // insertion after this character
            candidate.push_back(a);
            candidate.append(right);
            tryWord(candidate);
        }
    }
    std::sort(hits.begin(), hits.end());
    hits.erase(std::unique(hits.begin(), hits.end()), hits.end());
    for (int i : hits)
        list.emplace_back(WordAt(i));
    // Index order is AnsiStrComp order; the splits are merged into it.
    std::sort(list.begin(), list.end(), [](const std::string &a, const std::string &b) { return AnsiStrComp(a, b) < 0; });
    list.erase(std::unique(list.begin(), list.end()), list.end());
    if (list.empty())
        list.emplace_back("> No suggestions");
}

} // namespace kelpa::spell
