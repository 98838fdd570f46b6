#pragma once
// Word lists from text files for merging into a dictionary, and the file splitter.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

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
SplitOutcome SplitText(std::string_view text,
                       const std::function<bool(int number, std::string_view slice)> &slice,
                       const Progress &progress = {});

// The name of slice `number` of the file `fileName` (folder kept): "(SL<number>)" in front of
// the name.
std::string SliceFileName(const std::string &fileName, int number);

} // namespace kelpa::spell
