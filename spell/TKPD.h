#pragma once
// The spell checker's word list: every word in one text buffer with a sorted index over it,
// kept in dictionary files (".kpd").
//
// Words are lower-case Windows-1251 byte strings of at most MaxWordLength bytes, without NUL,
// CR or LF; each occurs once, and the index is in AnsiStrComp order.
//
// Failures of the file operations are numeric codes in `Error` (ErrorText gives "KPD:..." texts);
// nothing here shows anything. Out-of-range word indexes throw std::out_of_range carrying the
// range message for the caller to show; running out of memory throws std::bad_alloc, except in
// Merge and the file operations, which turn it into a false result.
#include "spell/Cp1251.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelpa::spell {

// Error codes of TKPD; a failure of the byte coder gives kpdCoderBase + its own code.
enum : std::int32_t {
    kpdAllOk = 0,
    kpdMAlloc = 1,
    kpdV1Load = 2,
    kpdFOpen = 3,
    kpdFReadMagic = 4,
    kpdNotKPD = 5,
    kpdSupVer = 6,
    kpdFRead = 7,
    kpdFWrite = 8,
    kpdMResize = 9,
    kpdCoderBase = 1000,
};

struct TKPDEntry {
    std::int32_t Offset; // start of the word in Text
    std::int16_t Length; // its byte count
};

// Lower-cased and trimmed, as the store keeps words.
std::string NormaliseWord(std::string_view word);
// A normalised word the store can hold.
bool IsStorableWord(std::string_view word);
// The first eight bytes of a word as collating ranks, most significant first, 0 past its end:
// keys are in the order of their words, and equal keys of words shorter than eight bytes mean
// equal words (no word holds NUL, the only byte of rank 0).
inline std::uint64_t WordKey(std::string_view word)
{
    std::uint64_t key = 0;
    const std::size_t n = word.size() < 8 ? word.size() : 8;
    for (std::size_t i = 0; i < n; ++i)
        key |= std::uint64_t(CollationRank(static_cast<unsigned char>(word[i]))) << (56 - 8 * i);
    return key;
}

class TKPD {
public:
    static constexpr std::size_t MaxWordLength = 99;
    static constexpr std::int32_t CurrentVersion = 201;
    static constexpr std::int32_t DataOffset = 256;

    TKPD();
    TKPD(const TKPD &) = delete;
    TKPD &operator=(const TKPD &) = delete;

    // Empties the store (Version 201) and marks it modified.
    void Clear();
    // Copies the words of `other`; marks this store modified.
    bool Assign(const TKPD &other);

    // Index of the word (lower-cased, not trimmed) or -1.
    int Find(std::string_view word) const;
    // Word i; out of range throws std::out_of_range("TKPD::GetStr\nIndex i out of range (Count)").
    std::string GetWord(int i) const;
    std::string_view WordAt(int i) const; // unchecked view into the store

    // Adds the word lower-cased and trimmed at its sorted place; true also when it is already
    // there. False (nothing changes) for a word that cannot be stored: longer than
    // MaxWordLength or holding NUL, CR or LF.
    bool Add(std::string_view word);
    // Out of range throws std::out_of_range("TKPD::Delete\nIndex i out of range (Count)").
    void Delete(int i);
    // Replaces word i by newWord (lower-cased and trimmed) unless that word is already present
    // or cannot be stored; true when the word was replaced.
    bool Rename(int i, std::string_view newWord);

    // Adds every line of `data` (up to its first NUL; lines end at CR or LF), lower-cased and
    // trimmed, skipping empty lines, words already present and words that cannot be stored.
    // `progress` (may be empty) gets a percentage of the data consumed now and then, and 0 at the
    // end. Out of memory: Error kpdMAlloc, false, and the store is as it was.
    bool Merge(std::string_view data, const std::function<void(int)> &progress = {});

    // Merge in two halves. The first reads the list without the store (so on any thread): the
    // words normalised, sorted and each once, with progress up to 60. The second adds them.
    struct MergeList {
        struct Piece {
            std::uint32_t offset;
            std::uint16_t length;
            std::uint64_t key;
        };
        std::string fresh; // the words one after another
        std::vector<Piece> pieces;
        bool outOfMemory = false;
    };
    static MergeList PrepareMerge(std::string_view data, const std::function<void(int)> &progress = {});
    bool ApplyMerge(MergeList list, const std::function<void(int)> &progress = {});

    // Every word followed by CR, then one NUL: the text saved in a dictionary file.
    std::string WordList() const;

    // Writes a temporary file beside `path` and renames it over `path`: a failed save leaves the
    // old file as it was.
    bool SaveToFile(const std::string &path);
    // Loading trusts nothing: a damaged file gives an error code and leaves the store as it was;
    // words are taken as Add would store them (words it would refuse are left out) and put in
    // order without duplicates.
    bool LoadFromFile(const std::string &path);
    // Loads the bytes of a whole dictionary file; `path` names the file (a version-1 file's
    // converted Name is made from it).
    bool LoadFromBytes(const std::uint8_t *data, std::size_t size, const std::string &path);

    // Version / 100, ".", Version % 100: "2.1" for 201, "0.1" for 1.
    std::string VersionText() const;
    std::string ErrorText() const;
    static std::string ErrorText(std::int32_t code);

    // Dictionary words one edit away from `word`, sorted, or a single note: "> Single words only",
    // "> Correct spelling" or "> No suggestions".
    void Suggest(std::string_view word, std::vector<std::string> &list) const;

    // Empty; a loaded version-1 file sets it to the name the converted file gets.
    std::string Name;
    std::int32_t Version = CurrentVersion;
    std::int32_t Error = kpdAllOk;
    // Maintained by the store; read them, don't write them.
    std::uint32_t TextCapacity = 0;
    std::uint32_t TextUsed = 0;
    std::int32_t IndexCapacity = 0;
    std::int32_t Count = 0;
    // The word list differs from the file it came from.
    bool Modified = false;

private:
    friend class TKPDLoader;

    // Makes room for one more entry and `length` more text bytes; throws std::bad_alloc.
    void Grow(std::size_t length);
    // First index whose word is not less than w (w already normalised, key its WordKey).
    int LowerBound(std::string_view w, std::uint64_t key) const;
    int LowerBound(std::string_view w) const { return LowerBound(w, WordKey(w)); }
    int FindNormalised(std::string_view w) const;
    void InsertAt(int place, std::string_view w);
    // AnsiStrComp of word i against w.
    int CompareAt(int i, std::string_view w, std::uint64_t key) const;

    std::vector<char> Text;
    std::vector<TKPDEntry> Index;
    // Beside each entry, the WordKey of its word: a search runs over these alone and reads Text
    // only among words that share their first eight bytes.
    std::vector<std::uint64_t> Keys;
};

} // namespace kelpa::spell
