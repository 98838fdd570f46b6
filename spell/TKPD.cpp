#include "spell/TKPD.h"

#include "spell/Cp1251.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace kelpa::spell {

namespace {

constexpr std::size_t IndexStep = 2048;
constexpr std::size_t TextStep = 10024;

// Grows a capacity geometrically, by at least the old step and never below what is needed.
std::size_t grownCapacity(std::size_t current, std::size_t needed, std::size_t step)
{
    std::size_t grown = current + std::max(step, current / 2);
    return std::max(grown, needed);
}

std::string rangeMessage(const char *where, int i, int count)
{
    return std::string(where) + "\nIndex " + std::to_string(i) + " out of range (" + std::to_string(count) + ")";
}

} // namespace

std::string NormaliseWord(std::string_view word) { return Trim(AnsiLowerCase(word)); }

bool IsStorableWord(std::string_view word)
{
    if (word.size() > TKPD::MaxWordLength)
        return false;
    return word.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

TKPD::TKPD()
{
    Clear();
    Modified = false;
}

void TKPD::Clear()
{
    Version = CurrentVersion;
    std::vector<char>(TextStep).swap(Text);
    std::vector<TKPDEntry>(IndexStep).swap(Index);
    std::vector<std::uint64_t>(IndexStep).swap(Keys);
    TextCapacity = static_cast<std::uint32_t>(Text.size());
    TextUsed = 0;
    IndexCapacity = static_cast<std::int32_t>(Index.size());
    Count = 0;
    Modified = true;
}

bool TKPD::Assign(const TKPD &other)
{
    if (&other != this) {
        std::vector<char> text(other.Text);
        std::vector<TKPDEntry> index(other.Index);
        std::vector<std::uint64_t> keys(other.Keys);
        Text.swap(text);
        Index.swap(index);
        Keys.swap(keys);
        TextCapacity = other.TextCapacity;
        TextUsed = other.TextUsed;
        IndexCapacity = other.IndexCapacity;
        Count = other.Count;
    }
    Modified = true;
    return true;
}

std::string_view TKPD::WordAt(int i) const
{
    const TKPDEntry &e = Index[static_cast<std::size_t>(i)];
    return {Text.data() + e.Offset, static_cast<std::size_t>(e.Length)};
}

std::string TKPD::GetWord(int i) const
{
    if (i < 0 || i >= Count)
        throw std::out_of_range(rangeMessage("TKPD::GetStr", i, Count));
    return std::string(WordAt(i));
}

int TKPD::CompareAt(int i, std::string_view w, std::uint64_t key) const
{
    const std::uint64_t k = Keys[static_cast<std::size_t>(i)];
    if (k != key)
        return k < key ? -1 : 1;
    const std::string_view word = WordAt(i);
    if (word.size() <= 8 && w.size() <= 8)
        return word.size() == w.size() ? 0 : (word.size() < w.size() ? -1 : 1);
    return AnsiStrComp(word.substr(std::min<std::size_t>(word.size(), 8)), w.substr(std::min<std::size_t>(w.size(), 8)));
}

int TKPD::LowerBound(std::string_view w, std::uint64_t key) const
{
    if (Count == 0)
        return 0;
    // First key not less than `key`, without branches, fetching both possible next probes.
    const std::uint64_t *keys = Keys.data();
    const std::uint64_t *base = keys;
    std::size_t n = static_cast<std::size_t>(Count);
    while (n > 1) {
        const std::size_t half = n / 2;
        __builtin_prefetch(base + half / 2);
        __builtin_prefetch(base + half + half / 2);
        base = base[half] < key ? base + half : base;
        n -= half;
    }
    std::size_t lo = static_cast<std::size_t>(base - keys) + (*base < key ? 1 : 0);
    if (w.size() < 8 || lo == static_cast<std::size_t>(Count) || keys[lo] != key)
        return static_cast<int>(lo);
    // Words sharing their first eight bytes: bound the run of equal keys, then search it whole.
    std::size_t step = 1;
    while (lo + step < static_cast<std::size_t>(Count) && keys[lo + step] == key)
        step *= 2;
    std::size_t hi = std::min<std::size_t>(lo + step, static_cast<std::size_t>(Count));
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (CompareAt(static_cast<int>(mid), w, key) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return static_cast<int>(lo);
}

int TKPD::FindNormalised(std::string_view w) const
{
    if (w.size() > MaxWordLength || Count == 0)
        return -1;
    const std::uint64_t key = WordKey(w);
    const int place = LowerBound(w, key);
    if (place >= Count || Keys[static_cast<std::size_t>(place)] != key)
        return -1;
    if (w.size() >= 8)
        return WordAt(place) == w ? place : -1;
    // Equal keys of short words are equal words, unless w holds NUL ("ab\0" has the key of "ab").
    return std::memchr(w.data(), 0, w.size()) == nullptr ? place : -1;
}

int TKPD::Find(std::string_view word) const
{
    if (word.size() > MaxWordLength || Count == 0)
        return -1;
    char lower[MaxWordLength];
    for (std::size_t i = 0; i < word.size(); ++i)
        lower[i] = static_cast<char>(LowerChar(static_cast<unsigned char>(word[i])));
    return FindNormalised(std::string_view(lower, word.size()));
}

void TKPD::Grow(std::size_t length)
{
    if (static_cast<std::size_t>(Count) + 1 >= Index.size()) {
        if (Index.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) / 2)
            throw std::bad_alloc();
        const std::size_t capacity = grownCapacity(Index.size(), static_cast<std::size_t>(Count) + 2, IndexStep);
        std::vector<TKPDEntry> index(capacity);
        std::vector<std::uint64_t> keys(capacity);
        std::copy_n(Index.begin(), Count, index.begin());
        std::copy_n(Keys.begin(), Count, keys.begin());
        Index.swap(index);
        Keys.swap(keys);
        IndexCapacity = static_cast<std::int32_t>(Index.size());
    }
    if (!(TextUsed + length < Text.size())) {
        const std::size_t needed = static_cast<std::size_t>(TextUsed) + length + 1;
        // Offsets are 32-bit: the text never grows past what they can reach.
        if (needed > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
            throw std::bad_alloc();
        std::size_t capacity = grownCapacity(Text.size(), needed, TextStep);
        capacity = std::min<std::size_t>(capacity, std::numeric_limits<std::int32_t>::max());
        Text.resize(capacity);
        TextCapacity = static_cast<std::uint32_t>(Text.size());
    }
}

void TKPD::InsertAt(int place, std::string_view w)
{
    const std::size_t moved = static_cast<std::size_t>(Count - place);
    TKPDEntry *index = Index.data();
    std::memmove(index + place + 1, index + place, sizeof(TKPDEntry) * moved);
    index[place] = {static_cast<std::int32_t>(TextUsed), static_cast<std::int16_t>(w.size())};
    std::uint64_t *keys = Keys.data();
    std::memmove(keys + place + 1, keys + place, sizeof(std::uint64_t) * moved);
    keys[place] = WordKey(w);
    if (!w.empty())
        std::memcpy(Text.data() + TextUsed, w.data(), w.size());
    TextUsed += static_cast<std::uint32_t>(w.size());
    ++Count;
}

bool TKPD::Add(std::string_view word)
{
    const std::string w = NormaliseWord(word);
    if (!IsStorableWord(w))
        return false;
    const int place = LowerBound(w);
    if (place < Count && WordAt(place) == w)
        return true;
    Grow(w.size());
    InsertAt(place, w);
    Modified = true;
    return true;
}

void TKPD::Delete(int i)
{
    if (i < 0 || i >= Count)
        throw std::out_of_range(rangeMessage("TKPD::Delete", i, Count));
    const TKPDEntry removed = Index[static_cast<std::size_t>(i)];
    const std::size_t length = static_cast<std::size_t>(removed.Length);
    const std::size_t after = static_cast<std::size_t>(removed.Offset) + length;
    std::memmove(Text.data() + removed.Offset, Text.data() + after, TextUsed - after);
    TextUsed -= static_cast<std::uint32_t>(length);
    const std::size_t moved = static_cast<std::size_t>(Count - i - 1);
    TKPDEntry *index = Index.data();
    std::memmove(index + i, index + i + 1, sizeof(TKPDEntry) * moved);
    std::memmove(Keys.data() + i, Keys.data() + i + 1, sizeof(std::uint64_t) * moved);
    --Count;
    for (int k = 0; k < Count; ++k) {
        if (index[k].Offset > removed.Offset)
            index[k].Offset -= static_cast<std::int32_t>(length);
    }
    Modified = true;
}

bool TKPD::Rename(int i, std::string_view newWord)
{
    const std::string w = NormaliseWord(newWord);
    if (!IsStorableWord(w) || FindNormalised(w) != -1)
        return false;
    if (i < 0 || i >= Count)
        throw std::out_of_range(rangeMessage("TKPD::Delete", i, Count));
    Grow(w.size()); // room first, so the old word is not lost when memory runs out
    Delete(i);
    InsertAt(LowerBound(w), w);
    Modified = true;
    return true;
}

std::string TKPD::WordList() const
{
    std::string list;
    list.reserve(static_cast<std::size_t>(TextUsed) + static_cast<std::size_t>(Count) + 1);
    for (int i = 0; i < Count; ++i) {
        list.append(WordAt(i));
        list.push_back('\r');
    }
    list.push_back('\0');
    return list;
}

bool TKPD::Merge(std::string_view data, const std::function<void(int)> &progress)
{
    return ApplyMerge(PrepareMerge(data, progress), progress);
}

TKPD::MergeList TKPD::PrepareMerge(std::string_view data, const std::function<void(int)> &progress)
{
    const std::size_t end = std::min(data.find('\0'), data.size());
    data = data.substr(0, end);
    const std::size_t total = data.size();
    MergeList out;
    try {
        std::string &fresh = out.fresh;
        using Piece = MergeList::Piece;
        std::vector<Piece> &pieces = out.pieces;
        std::size_t pos = 0;
        std::size_t lines = 0;
        while (pos < total) {
            std::size_t stop = data.find_first_of("\r\n", pos);
            if (stop == std::string_view::npos)
                stop = total;
            std::string_view line = data.substr(pos, stop - pos);
            pos = stop;
            while (pos < total && (data[pos] == '\r' || data[pos] == '\n'))
                ++pos;
            if (++lines % 4096 == 0 && progress)
                progress(static_cast<int>(static_cast<double>(pos) / static_cast<double>(total) * 50.0));
            const std::string w = NormaliseWord(line);
            if (w.empty() || !IsStorableWord(w))
                continue;
            if (fresh.size() + w.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
                throw std::bad_alloc();
            pieces.push_back({static_cast<std::uint32_t>(fresh.size()), static_cast<std::uint16_t>(w.size()), WordKey(w)});
            fresh.append(w);
        }
        auto view = [&fresh](const Piece &p) { return std::string_view(fresh.data() + p.offset, p.length); };
        auto less = [&view](const Piece &a, const Piece &b) {
            if (a.key != b.key)
                return a.key < b.key;
            return AnsiStrComp(view(a), view(b)) < 0;
        };
        std::sort(pieces.begin(), pieces.end(), less);
        pieces.erase(std::unique(pieces.begin(), pieces.end(),
                                 [&view](const Piece &a, const Piece &b) { return view(a) == view(b); }),
                     pieces.end());
        if (progress)
            progress(60);
    } catch (const std::bad_alloc &) {
        out = MergeList();
        out.outOfMemory = true;
    }
    return out;
}

bool TKPD::ApplyMerge(MergeList list, const std::function<void(int)> &progress)
{
    try {
        if (list.outOfMemory)
            throw std::bad_alloc();
        using Piece = MergeList::Piece;
        const std::string &fresh = list.fresh;
        auto view = [&fresh](const Piece &p) { return std::string_view(fresh.data() + p.offset, p.length); };
        std::vector<Piece> &pieces = list.pieces;

        // Drop the words already present (one pass over both sorted lists).
        std::size_t kept = 0;
        std::size_t newBytes = 0;
        {
            int i = 0;
            for (const Piece &p : pieces) {
                const std::string_view w = view(p);
                while (i < Count && CompareAt(i, w, p.key) < 0)
                    ++i;
                if (i < Count && WordAt(i) == w)
                    continue;
                pieces[kept++] = p;
                newBytes += p.length;
            }
            pieces.resize(kept);
        }
        if (kept == 0) {
            if (progress)
                progress(0);
            return true;
        }
        const std::size_t newCount = static_cast<std::size_t>(Count) + kept;
        const std::size_t newUsed = static_cast<std::size_t>(TextUsed) + newBytes;
        if (newCount >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) / 2 ||
            newUsed >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
            throw std::bad_alloc();

        // Everything that can fail is allocated before the store changes.
        const std::size_t capacity = grownCapacity(Index.size(), newCount + 1, IndexStep);
        std::vector<TKPDEntry> index(capacity);
        std::vector<std::uint64_t> keys(capacity);
        if (newUsed + 1 > Text.size()) {
            std::size_t capacity = grownCapacity(Text.size(), newUsed + 1, TextStep);
            Text.reserve(std::min<std::size_t>(capacity, std::numeric_limits<std::int32_t>::max()));
            Text.resize(Text.capacity());
        }
        if (progress)
            progress(70);

        std::size_t used = TextUsed;
        std::size_t out = 0;
        int i = 0;
        for (const Piece &p : pieces) {
            const std::string_view w = view(p);
            while (i < Count && CompareAt(i, w, p.key) < 0) {
                keys[out] = Keys[static_cast<std::size_t>(i)];
                index[out++] = Index[static_cast<std::size_t>(i++)];
            }
            keys[out] = p.key;
            index[out++] = {static_cast<std::int32_t>(used), static_cast<std::int16_t>(p.length)};
            std::memcpy(Text.data() + used, w.data(), w.size());
            used += w.size();
        }
        while (i < Count) {
            keys[out] = Keys[static_cast<std::size_t>(i)];
            index[out++] = Index[static_cast<std::size_t>(i++)];
        }
        Index.swap(index);
        Keys.swap(keys);
        IndexCapacity = static_cast<std::int32_t>(Index.size());
        TextCapacity = static_cast<std::uint32_t>(Text.size());
        TextUsed = static_cast<std::uint32_t>(used);
        Count = static_cast<std::int32_t>(newCount);
        Modified = true;
        if (progress)
            progress(0);
        return true;
    } catch (const std::bad_alloc &) {
        Error = kpdMAlloc;
        if (progress)
            progress(0);
        return false;
    }
}

std::string TKPD::VersionText() const
{
    return std::to_string(Version / 100) + "." + std::to_string(Version % 100);
}

std::string TKPD::ErrorText(std::int32_t code)
{
    switch (code) {
    case kpdAllOk: return "KPD:AllOk";
    case kpdMAlloc: return "KPD:MAlloc";
    case kpdV1Load: return "KPD:V1Load";
    case kpdFOpen: return "KPD:FOpen";
    case kpdFReadMagic: return "KPD:FRead";
    case kpdNotKPD: return "KPD:NotKPD";
    case kpdSupVer: return "KPD:Sup.Ver";
    case kpdFRead: return "KPD:FRead";
    case kpdFWrite: return "KPD:FWrite";
    case kpdMResize: return "KPD:MResize";
    default: return "KPD:ErrCode=" + std::to_string(code);
    }
}

std::string TKPD::ErrorText() const { return ErrorText(Error); }

} // namespace kelpa::spell
