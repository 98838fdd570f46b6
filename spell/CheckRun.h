#pragma once
// The checking run without its window: finding the next word the dictionary does not hold, and
// the case rules of Replace and Replace All.
//
// The run scans Windows-1251 bytes, one byte for each UTF-16 unit of the text, so that a byte
// offset is a text position. Letters the code page cannot hold become ForeignLetter: they join
// the word they stand in (which no dictionary can then hold) instead of cutting it in two.
#include "spell/TKPD.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace kelpa::spell {

// Stands for a letter that has no Windows-1251 byte (undefined in that code page).
inline constexpr unsigned char ForeignLetter = 0x98;

// A byte that belongs to a word in the checked text.
inline bool IsCheckWordChar(unsigned char c) { return IsWordChar(c) || c == ForeignLetter; }

// The text as the run scans it.
std::string ToCheckBytes(std::u16string_view text);

// A word made of Latin capitals except at most its last character (an abbreviation such as
// "NATO" or "PCs"): not reported when the dictionary lacks it.
bool IsAbbreviation(std::string_view word);

enum class ScanResult { Found, End, Stopped };

struct ScanOutcome {
    ScanResult result = ScanResult::End;
    std::size_t start = 0;  // of the word found, from the start of the scanned bytes
    std::size_t length = 0;
};

// Every 200 words the scan reports how far it got: the offset where the last word began.
// Returning false stops the scan.
using ScanTick = std::function<bool(std::size_t position)>;
inline constexpr int WordsPerTick = 200;

// The typographic apostrophe (U+2019) in Windows-1251. Between two letters it is the apostrophe
// of the word; elsewhere it is a quote mark.
inline constexpr unsigned char TypographicApostrophe = 0x92;

struct WordSpan {
    std::size_t start = 0;
    std::size_t length = 0;
};

// The words of a text as the run sees them: a run of word characters (with the typographic
// apostrophe between letters), without the apostrophes and hyphens at its ends (quote marks,
// "authors'", a rule of hyphens). Web and e-mail addresses are passed over whole.
class WordScanner {
public:
    explicit WordScanner(std::string_view text) : text_(text) {}
    // The next word at or after `pos`; `pos` moves past it. False at the end of the text.
    bool next(std::size_t &pos, WordSpan &word);

private:
    bool inAddress(std::size_t pos);
    std::string_view text_;
    std::size_t chunkEnd_ = 0;   // end of the blank-delimited piece last looked at
    bool chunkIsAddress_ = false;
};

// A word as the dictionary is asked for it: lower case, the typographic apostrophe as "'".
std::string LookupForm(std::string_view word);

// The dictionary knows the word, or the word passes without it: an abbreviation, or a
// hyphenated word each of whose parts (split at runs of hyphens) is known, a single letter or
// an abbreviation.
bool IsKnownWord(std::string_view word, const TKPD &dictionary);

// FindUnknownWord a piece at a time, for work done in steps: each step looks at up to
// WordsPerTick words. The text and the dictionary must outlive the scan.
class UnknownWordScan {
public:
    UnknownWordScan(std::string_view text, const TKPD &dictionary)
        : text_(text), dictionary_(dictionary), scanner_(text) {}
    // False once the scan is over; outcome() then says how it ended.
    bool step();
    // Where the last word looked at began.
    std::size_t position() const { return position_; }
    const ScanOutcome &outcome() const { return outcome_; }

private:
    std::string_view text_;
    const TKPD &dictionary_;
    WordScanner scanner_;
    std::size_t pos_ = 0;
    std::size_t position_ = 0;
    ScanOutcome outcome_;
};

// The first word of more than one character that is not known (IsKnownWord).
ScanOutcome FindUnknownWord(std::string_view text, const TKPD &dictionary, const ScanTick &tick = {});

// Case rules over UTF-16 text; a letter counts as a capital when it is a Latin or Cyrillic
// capital of Windows-1251.
bool IsCapital(char16_t c);
std::u16string LowerText(std::u16string_view text);
std::u16string UpperText(std::u16string_view text);
// Trims characters up to the blank from both ends.
std::u16string TrimText(std::u16string_view text);

enum class CaseForm { Lower, AllCapitals, FirstCapital };
// First and second characters capitals: AllCapitals; the first only: FirstCapital.
CaseForm CaseFormOf(std::u16string_view word);
std::u16string ApplyCaseForm(std::u16string_view word, CaseForm form);

// What Replace puts over the selected word `found`: `typed` trimmed and in lower case, in the
// case form of `found`. Empty when there is nothing to replace with or the word is unchanged
// (the run then asks the user to correct it).
std::u16string ReplacementFor(std::u16string_view found, std::u16string_view typed);

// Whole-word, case-insensitive search from `from`; npos when there is none. The words are those
// the run reports (WordScanner), so a word found in quotes or before a comma is found again.
std::size_t FindWholeWord(std::u16string_view text, std::u16string_view word, std::size_t from);

struct Replacement {
    std::size_t position;
    std::size_t length;
    std::u16string text;
};

// Replace All: every whole-word occurrence of `old` in `text` becomes `replacement` (lower case)
// in the case form of that occurrence, searching on after each replacement, so a replacement
// that holds the old word is not replaced again. `apply` sees each change as it is made to
// `text` (positions in the text of that moment). Returns `caret` moved by the changes before it.
std::size_t ReplaceAllWords(std::u16string &text, std::u16string_view old,
                            std::u16string_view replacement, std::size_t caret,
                            const std::function<void(const Replacement &)> &apply = {});

} // namespace kelpa::spell
