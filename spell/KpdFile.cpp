// The dictionary file: version 201 (header, then one byte-coder block of the word list) and the
// older version 1 (comma codes), which is read and converted.
#include "spell/Cp1251.h"
#include "spell/TKPD.h"

#include "platform/safefile/SafeFile.h"
#include "engine/TQCmp.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <sys/stat.h>

namespace kelpa::spell {

using engine::TQCmp;

namespace {

constexpr char Magic[] = "VOKAT.KPD";
constexpr std::size_t MagicLength = 9;
constexpr std::size_t CoderHeadLength = 12;
// The shortest comma code has three bits.
constexpr std::size_t ShortestCodeBits = 3;
// Whole files above this are not read: the word list of a larger one could not be indexed.
constexpr std::size_t LargestFile = std::size_t(1) << 31;

std::uint32_t readU32(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void writeU32(std::uint8_t *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Version-1 word lists: symbol k has the comma code k (the binary forms of 1, 2, 3, ... without
// "00", each followed by "00").
class CommaDecoder {
public:
    CommaDecoder()
    {
        rank_.fill(-1);
        int produced = 0;
        for (std::uint32_t k = 1; produced < 256; ++k) {
            bool twoZeros = false;
            for (std::uint32_t v = k; v > 1; v >>= 1) {
                if ((v & 3) == 0) {
                    twoZeros = true;
                    break;
                }
            }
            if (twoZeros)
                continue;
            rank_[k << 2] = static_cast<std::int16_t>(produced++);
        }
    }

    // Decodes up to `length` bytes from the bit stream into `out`; false when the stream is
    // malformed or runs out first, `out` then holding the bytes decoded before that point.
    bool decode(const std::uint8_t *symbols, std::size_t symbolCount, const std::uint8_t *stream,
                std::size_t streamBytes, std::size_t length, std::string &out) const
    {
        out.clear();
        out.reserve(length);
        const std::size_t bits = streamBytes * 8;
        std::size_t at = 0;
        auto bit = [stream](std::size_t i) { return (stream[i >> 3] >> (7 - (i & 7))) & 1; };
        for (std::size_t produced = 0; produced < length; ++produced) {
            if (at >= bits || bit(at) != 1)
                return false; // every code starts with a 1
            std::uint32_t value = 0;
            int zeros = 0;
            for (;;) {
                if (at >= bits)
                    break; // the stream may end right after a code's "00"
                const int b = bit(at);
                if (b == 1 && zeros >= 2)
                    break; // the next code begins
                if (b == 0 && zeros == 2 && produced + 1 == length && endsWithLineFeed(value, symbols, symbolCount))
                    break; // the last code, followed by zero padding: see endsWithLineFeed
                ++at;
                value = value << 1 | static_cast<std::uint32_t>(b);
                zeros = b ? 0 : zeros + 1;
                if (zeros == 3 || value >= rank_.size())
                    break;
            }
            if (zeros < 2 || value >= rank_.size())
                return false;
            const int k = rank_[value];
            if (k < 0 || static_cast<std::size_t>(k) >= symbolCount)
                return false;
            out.push_back(static_cast<char>(symbols[k]));
        }
        return true;
    }

private:
    // After the last code of the stream, "x00" then a padding 0 reads as the code "x00" or as
    // "x000"; a word list ends with its line end, so the reading that gives LF is taken.
    bool endsWithLineFeed(std::uint32_t value, const std::uint8_t *symbols, std::size_t symbolCount) const
    {
        const int k = rank_[value];
        return k >= 0 && static_cast<std::size_t>(k) < symbolCount && symbols[k] == '\n';
    }

    // Code value (the code read as a binary number) to code number; the 256th code has 13 bits.
    std::array<std::int16_t, 1 << 14> rank_{};
};

} // namespace

// Builds the store from a decoded word list, trusting nothing in it.
class TKPDLoader {
public:
    static void build(TKPD &store, std::string_view list)
    {
        list = list.substr(0, std::min(list.find('\0'), list.size()));
        // Offsets into the text are 32-bit.
        if (list.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
            throw std::bad_alloc();
        std::vector<char> text(list.size() + 1);
        std::vector<TKPDEntry> index;
        std::vector<std::uint64_t> keys;
        std::size_t lines = static_cast<std::size_t>(std::count(list.begin(), list.end(), '\r')) + 1;
        index.reserve(lines + 1);
        keys.reserve(lines + 1);
        std::size_t used = 0;
        std::size_t pos = 0;
        bool first = true;
        while (pos < list.size()) {
            std::size_t stop = list.find('\r', pos);
            if (stop == std::string_view::npos)
                stop = list.size();
            std::string_view piece = list.substr(pos, stop - pos);
            pos = stop;
            while (pos < list.size() && list[pos] == '\r')
                ++pos;
            const bool atStart = first;
            first = false;
            // Words as Add would store them; only a CR at the very start stands for the empty word.
            while (!piece.empty() && static_cast<unsigned char>(piece.front()) <= ' ')
                piece.remove_prefix(1);
            while (!piece.empty() && static_cast<unsigned char>(piece.back()) <= ' ')
                piece.remove_suffix(1);
            if ((piece.empty() && !(atStart && stop == 0)) || !IsStorableWord(piece))
                continue;
            char *dest = text.data() + used;
            for (std::size_t i = 0; i < piece.size(); ++i)
                dest[i] = static_cast<char>(LowerChar(static_cast<unsigned char>(piece[i])));
            const std::string_view w(dest, piece.size());
            index.push_back({static_cast<std::int32_t>(used), static_cast<std::int16_t>(piece.size())});
            keys.push_back(WordKey(w));
            used += piece.size();
        }

        auto view = [&text](const TKPDEntry &e) {
            return std::string_view(text.data() + e.Offset, static_cast<std::size_t>(e.Length));
        };
        // Files are written sorted and unique; anything else is put right here.
        bool ordered = true;
        for (std::size_t i = 1; i < index.size() && ordered; ++i)
            ordered = keys[i - 1] < keys[i] || (keys[i - 1] == keys[i] && AnsiStrComp(view(index[i - 1]), view(index[i])) < 0);
        if (!ordered) {
            struct Item {
                std::uint64_t key;
                TKPDEntry entry;
            };
            std::vector<Item> items(index.size());
            for (std::size_t i = 0; i < index.size(); ++i)
                items[i] = {keys[i], index[i]};
            std::sort(items.begin(), items.end(), [&view](const Item &a, const Item &b) {
                if (a.key != b.key)
                    return a.key < b.key;
                return AnsiStrComp(view(a.entry), view(b.entry)) < 0;
            });
            items.erase(std::unique(items.begin(), items.end(),
                                    [&view](const Item &a, const Item &b) { return view(a.entry) == view(b.entry); }),
                        items.end());
            index.resize(items.size());
            keys.resize(items.size());
            for (std::size_t i = 0; i < items.size(); ++i) {
                keys[i] = items[i].key;
                index[i] = items[i].entry;
            }
        }
        // Room for Grow's "Count + 1" rule.
        index.resize(index.size() + 1);
        keys.resize(keys.size() + 1);

        store.Text.swap(text);
        store.Index.swap(index);
        store.Keys.swap(keys);
        store.TextUsed = static_cast<std::uint32_t>(used);
        store.TextCapacity = static_cast<std::uint32_t>(store.Text.size());
        store.Count = static_cast<std::int32_t>(store.Index.size() - 1);
        store.IndexCapacity = static_cast<std::int32_t>(store.Index.size());
    }
};

bool TKPD::LoadFromBytes(const std::uint8_t *data, std::size_t size, const std::string &path)
{
    Error = kpdAllOk;
    if (size < MagicLength) {
        Error = kpdFReadMagic;
        return false;
    }
    const bool current = std::memcmp(data, Magic, MagicLength) == 0;
    if (!current && data[0] != 1) {
        Error = kpdNotKPD;
        return false;
    }
    try {
        TQCmp coder;
        std::string legacy;
        std::string_view list;
        std::int32_t fileVersion = 1;
        if (current) {
            if (size < 13) {
                Error = kpdFRead;
                return false;
            }
            fileVersion = static_cast<std::int32_t>(readU32(data + 9));
            if (fileVersion > CurrentVersion) {
                Error = kpdSupVer;
                return false;
            }
            if (size < 17) {
                Error = kpdFRead;
                return false;
            }
            const std::int32_t offset = static_cast<std::int32_t>(readU32(data + 13));
            if (offset < 0 || static_cast<std::size_t>(offset) > size || size - static_cast<std::size_t>(offset) < 6) {
                Error = kpdFRead;
                return false;
            }
            const std::uint8_t *block = data + offset;
            const std::size_t blockLength = size - static_cast<std::size_t>(offset);
            // The coder checks the declared length against the block before it allocates.
            if (!coder.Decompress(block, blockLength)) {
                Error = kpdCoderBase + coder.ErrorCode;
                return false;
            }
            list = std::string_view(reinterpret_cast<const char *>(coder.Output.data()),
                                    static_cast<std::size_t>(coder.OutputLength));
        } else {
            static const CommaDecoder decoder;
            const std::size_t symbolCount = data[1];
            const std::uint64_t declared = size >= 6 ? readU32(data + 2) : 0;
            // The stream runs from after the symbols to one byte before the end of the file.
            if (size < 6 || size < CoderHeadLength + symbolCount + 1) {
                Error = kpdV1Load;
                return false;
            }
            const std::size_t streamBytes = size - 1 - (CoderHeadLength + symbolCount);
            // A stream cannot hold more symbols than it has room for; a larger length is a cut
            // file, read as far as it goes.
            const std::size_t length =
                static_cast<std::size_t>(std::min<std::uint64_t>(declared, streamBytes * 8 / ShortestCodeBits));
            if (!decoder.decode(data + CoderHeadLength, symbolCount, data + CoderHeadLength + symbolCount, streamBytes,
                                length, legacy) ||
                length < declared) {
                // Files of this version may end in padding the decoder cannot read as a code:
                // every word ended by its line end is kept, a last one cut short is not.
                const std::size_t lineEnd = legacy.find_last_of("\r\n");
                if (lineEnd == std::string::npos) {
                    Error = kpdV1Load;
                    return false;
                }
                legacy.resize(lineEnd + 1);
            }
            legacy.erase(std::remove(legacy.begin(), legacy.end(), '\n'), legacy.end());
            list = legacy;
        }

        TKPD loaded;
        TKPDLoader::build(loaded, list);
        if (!current) {
            std::filesystem::path converted(path);
            converted.replace_extension();
            Name = converted.string() + "_v" + std::to_string(fileVersion / 100) + "." +
                   std::to_string(fileVersion % 100) + ".kpd";
        }
        Text.swap(loaded.Text);
        Index.swap(loaded.Index);
        Keys.swap(loaded.Keys);
        TextUsed = loaded.TextUsed;
        TextCapacity = loaded.TextCapacity;
        Count = loaded.Count;
        IndexCapacity = loaded.IndexCapacity;
        Version = CurrentVersion;
        Modified = false;
        return true;
    } catch (const std::bad_alloc &) {
        Error = kpdMAlloc;
        return false;
    }
}

bool TKPD::LoadFromFile(const std::string &path)
{
    Error = kpdAllOk;
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        Error = kpdFOpen;
        return false;
    }
    std::vector<std::uint8_t> bytes;
    bool readFailed = false;
    try {
        struct stat st {};
        if (::fstat(::fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
            static_cast<std::uint64_t>(st.st_size) < LargestFile)
            bytes.reserve(static_cast<std::size_t>(st.st_size));
        std::uint8_t chunk[65536];
        for (;;) {
            const std::size_t got = std::fread(chunk, 1, sizeof chunk, f);
            if (bytes.size() + got > LargestFile) {
                std::fclose(f);
                Error = kpdMAlloc;
                return false;
            }
            bytes.insert(bytes.end(), chunk, chunk + got);
            if (got < sizeof chunk) {
                readFailed = std::ferror(f) != 0;
                break;
            }
        }
    } catch (const std::bad_alloc &) {
        std::fclose(f);
        Error = kpdMAlloc;
        return false;
    }
    std::fclose(f);
    if (readFailed) {
        Error = bytes.size() < MagicLength ? kpdFReadMagic : kpdFRead;
        return false;
    }
    // The file is read: whatever is wrong with it now is its content, not the system, and a
    // system error left from earlier must not be reported beside it.
    errno = 0;
    return LoadFromBytes(bytes.data(), bytes.size(), path);
}

bool TKPD::SaveToFile(const std::string &path)
{
    Error = kpdAllOk;
    std::vector<std::uint8_t> head(DataOffset, 0);
    std::string list;
    TQCmp coder;
    try {
        list = WordList();
        std::memcpy(head.data(), Magic, MagicLength);
        writeU32(head.data() + 9, static_cast<std::uint32_t>(CurrentVersion));
        writeU32(head.data() + 13, static_cast<std::uint32_t>(DataOffset));
        // A full block even without gain, so that the file always reads back.
        if (!coder.Compress(reinterpret_cast<const std::uint8_t *>(list.data()), list.size(), true)) {
            Error = kpdCoderBase + coder.ErrorCode;
            return false;
        }
    } catch (const std::bad_alloc &) {
        Error = kpdMAlloc;
        return false;
    }

    kelpa::SafeFileWriter out(path);
    if (!out.isOpen()) {
        Error = kpdFOpen;
        return false;
    }
    if (!out.write(head.data(), head.size())) {
        Error = kpdFWrite;
        return false;
    }
    if (!out.write(coder.Output.data(), static_cast<std::size_t>(coder.OutputLength))) {
        Error = kpdCoderBase + 4;
        return false;
    }
    if (!out.commit()) {
        Error = out.error() == kelpa::SafeFileError::Replace ? kpdFWrite : kpdCoderBase + 4;
        return false;
    }
    Version = CurrentVersion;
    Modified = false;
    return true;
}

} // namespace kelpa::spell
