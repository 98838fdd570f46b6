#pragma once
// Word lists from text files for merging into a dictionary, and the file splitter.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace kelpa::spell {

// Progress in percent; returning false cancels the work.
using Progress = std::function<bool(int percent)>;

// Longest word taken from a text, plus one.
inline constexpr std::size_t MergeWordLimit = 64;

struct ExtractedWords {
    bool cancelled = false;
    // Each word once, lower case, followed by CR; a NUL ends the list (what TKPD::Merge takes).
    std::string list;
    std::size_t words = 0; // distinct words in the list
};

// The words of a Windows-1251 text worth adding to a dictionary: runs of word characters of 2
// to 63 bytes that neither begin nor end with a hyphen and, when `ignoreProperNouns`, do not
// begin with a capital letter. A run holding a letter the code page lacks (ForeignLetter) is
// left out.
ExtractedWords ExtractWords(std::string_view text, bool ignoreProperNouns, const Progress &progress = {});

// ExtractWords a piece at a time, for work done in steps. The text must outlive it.
class WordExtractor {
public:
    WordExtractor(std::string_view text, bool ignoreProperNouns);
    // Looks at up to a hundred more runs of word characters; false once the text is done.
    bool step();
    // How far it got.
    int percent() const;
    // The words found (the whole list once step has returned false).
    ExtractedWords take();

private:
    std::string_view text_;
    bool ignoreProperNouns_;
    std::size_t pos_ = 0;
    ExtractedWords out_;
    std::unordered_set<std::string> seen_;
};

// The bytes of a text file as the merge scans them: a file of valid UTF-8 that is not plain
// ASCII is turned into Windows-1251 (letters it lacks become ForeignLetter); anything else is
// taken as Windows-1251 bytes already.
std::string TextFileToCheckBytes(std::string_view bytes);

// Limits of one slice of the file splitter.
inline constexpr std::size_t SliceLineLimit = 1000;
inline constexpr std::size_t SliceByteLimit = 65536;

// Cuts a text into slices of at most SliceLineLimit lines and SliceByteLimit bytes, keeping
// every line whole with its own line end, so the slices joined give the text back. A line
// longer than the byte limit makes a slice of its own. An empty text gives one empty slice.
// `slice` gets each slice in order (numbered from 1) and returns false to end the splitting;
// `progress` may cancel between lines. Returns the number of slices handed to `slice` that it
// accepted.
struct SplitOutcome {
    int written = 0;
    bool failed = false;    // `slice` returned false
    bool cancelled = false;
};
using SliceWriter = std::function<bool(int number, std::string_view slice)>;
SplitOutcome SplitText(std::string_view text, const SliceWriter &slice, const Progress &progress = {});

// SplitText a piece at a time, for work done in steps. The text must outlive it.
class TextSplitter {
public:
    TextSplitter(std::string_view text, SliceWriter slice) : text_(text), slice_(std::move(slice)) {}
    // Takes up to a thousand more lines; false once the text is done or a slice failed.
    bool step();
    int percent() const;
    const SplitOutcome &outcome() const { return out_; }

private:
    bool emitSlice(std::size_t end);
    std::string_view text_;
    SliceWriter slice_;
    std::size_t sliceStart_ = 0;
    std::size_t lines_ = 0;
    std::size_t pos_ = 0;
    SplitOutcome out_;
};

// The name of slice `number` of the file `fileName` (folder kept): "(SL<number>)" in front of
// the name.
std::string SliceFileName(const std::string &fileName, int number);

} // namespace kelpa::spell
