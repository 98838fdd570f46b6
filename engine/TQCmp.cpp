#include "engine/TQCmp.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <limits>
#include <new>

namespace kelpa::engine {

namespace {

// The code words come in pairs (n = 0..127) running through groups g = 0, 1, ... and, inside a
// group, k = 0..g: the even word is 0 1^k 0 1^(g-k) 0, the odd one its complement.
constexpr int PairCount = 128;
constexpr int RunLimit = 16; // run lengths above 15 belong to no word

inline std::uint64_t load64be(const std::uint8_t *p)
{
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::little)
        v = __builtin_bswap64(v);
    return v;
}

inline void store32be(std::uint8_t *p, std::uint32_t v)
{
    if constexpr (std::endian::native == std::endian::little)
        v = __builtin_bswap32(v);
    std::memcpy(p, &v, 4);
}

inline std::uint32_t readLe32(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
        | std::uint32_t(p[3]) << 24;
}

// Decoding table: symbol for (first bit, first run, second run), -1 where no word or no symbol.
struct DecodeTable {
    std::int16_t symbol[2][RunLimit + 1][RunLimit + 1];
};

// One code word read from the top of a bit window: its symbol (or -1) and its length in bits.
// A valid word is decided by its first 18 bits, so bits beyond the real data never make an
// invalid word look valid.
inline int decodeWord(const DecodeTable &t, std::uint64_t w, int &bits)
{
    const unsigned first = unsigned(w >> 63);
    std::uint64_t x = (w ^ (std::uint64_t(0) - first)) << 1; // now 1^k 0 1^m 0 ...
    int k = std::countl_one(x);
    k = k > RunLimit ? RunLimit : k;
    int m = std::countl_one(x << (k + 1));
    m = m > RunLimit ? RunLimit : m;
    bits = k + m + 3;
    return t.symbol[first][k][m];
}

} // namespace

TQCmp::TQCmp()
{
    RankPairs.fill({-1, -1});
    // Nothing leaves the coder as an exception: without its words it refuses every operation.
    try {
        BuildCodeWords();
        ready_ = true;
    } catch (const std::exception &) {
        CodeWords.clear();
    }
}

void TQCmp::BuildCodeWords()
{
    // The words never change: generate them once, every coder takes a copy.
    struct Words {
        std::vector<std::string> text;
        std::array<std::uint32_t, 256> value{};
        std::array<std::uint8_t, 256> length{};
    };
    static const Words words = [] {
        Words w;
        w.text.reserve(SymbolCount);
        for (int g = 0; static_cast<int>(w.text.size()) < SymbolCount; ++g) {
            for (int k = 0; k <= g && static_cast<int>(w.text.size()) < SymbolCount; ++k) {
                // Appended, not joined with +: GCC 12 at -O3 warns falsely (-Wrestrict) about that.
                std::string even(1, '0');
                even.append(static_cast<std::size_t>(k), '1');
                even += '0';
                even.append(static_cast<std::size_t>(g - k), '1');
                even += '0';
                std::string odd = even;
                for (char &c : odd)
                    c = c == '0' ? '1' : '0';
                w.text.push_back(std::move(even));
                w.text.push_back(std::move(odd));
            }
        }
        for (int r = 0; r < SymbolCount; ++r) {
            w.value[r] = CodeWordValue(w.text[r]);
            w.length[r] = static_cast<std::uint8_t>(w.text[r].size());
        }
        return w;
    }();
    CodeWords = words.text;
    codeValue_ = words.value;
    codeLength_ = words.length;
}

std::uint32_t TQCmp::CodeWordValue(const std::string &text)
{
    std::uint32_t v = 0;
    for (char c : text)
        v = (v << 1) | (c == '1' ? 1u : 0u);
    return v;
}

void TQCmp::CountSymbols(const std::uint8_t *data, std::size_t length)
{
    // Four partial histograms keep consecutive equal bytes from serialising on one counter.
    std::uint32_t h[4][256] = {};
    std::size_t i = 0;
    for (; i + 4 <= length; i += 4) {
        ++h[0][data[i]];
        ++h[1][data[i + 1]];
        ++h[2][data[i + 2]];
        ++h[3][data[i + 3]];
    }
    for (; i < length; ++i)
        ++h[0][data[i]];
    for (int v = 0; v < 256; ++v)
        Counts[v] = static_cast<std::int32_t>(h[0][v] + h[1][v] + h[2][v] + h[3][v]);
}

int TQCmp::RankSymbols()
{
    // Most frequent first; equal counts go to the higher byte value.
    RankPairs.fill({-1, -1});
    std::array<int, 256> order;
    for (int v = 0; v < 256; ++v)
        order[v] = v;
    std::sort(order.begin(), order.end(), [this](int a, int b) {
        if (Counts[a] != Counts[b])
            return Counts[a] > Counts[b];
        return a > b;
    });
    int ranked = 0;
    for (int v : order) {
        if (Counts[v] <= 0)
            break;
        RankPairs[ranked].first = v;
        RankPairs[v].second = ranked;
        ++ranked;
    }
    return ranked;
}

void TQCmp::FreeOutput()
{
    Output.clear();
    Output.shrink_to_fit();
    OutputLength = 0;
}

bool TQCmp::AllocOutput(std::size_t size, std::size_t slack)
{
    try {
        Output.assign(size + 1 + slack, 0);
    } catch (const std::bad_alloc &) {
        FreeOutput();
        ErrorCode = ErrCompress;
        return false;
    }
    return true;
}

bool TQCmp::Compress(const std::uint8_t *data, std::size_t length, bool allowGrowth)
{
    FreeOutput();
    if (!ready_ || (length > 0 && data == nullptr)) {
        ErrorCode = ErrCompress;
        return false;
    }
    // Lengths and counts are 32-bit signed values in the block and in its reader.
    if (length > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        ErrorCode = ErrCompress;
        return false;
    }
    CountSymbols(data, length);
    const int symbols = RankSymbols();

    // The whole size is known from the counts, so the no-gain test needs no trial packing.
    std::uint64_t bits = 0;
    for (int v = 0; v < 256; ++v) {
        if (RankPairs[v].second >= 0)
            bits += std::uint64_t(Counts[v]) * codeLength_[RankPairs[v].second];
    }
    const std::uint64_t total = HeadSize + symbols + (bits + 7) / 8;
    if (!allowGrowth && total > length) {
        ErrorCode = ErrNoGain;
        return true;
    }
    if (total > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        ErrorCode = ErrCompress;
        return false;
    }
    if (!AllocOutput(total))
        return false;

    std::uint8_t *out = Output.data();
    out[0] = FormatByte;
    out[1] = static_cast<std::uint8_t>(symbols); // 256 symbols are marked by 0
    const auto len32 = static_cast<std::uint32_t>(length);
    out[2] = static_cast<std::uint8_t>(len32);
    out[3] = static_cast<std::uint8_t>(len32 >> 8);
    out[4] = static_cast<std::uint8_t>(len32 >> 16);
    out[5] = static_cast<std::uint8_t>(len32 >> 24);
    for (int r = 0; r < symbols; ++r)
        out[HeadSize + r] = static_cast<std::uint8_t>(RankPairs[r].first);

    // Per byte value: code value and length.
    std::uint32_t code[256] = {};
    std::uint32_t codeLen[256] = {};
    for (int v = 0; v < 256; ++v) {
        const int r = RankPairs[v].second;
        if (r >= 0) {
            code[v] = codeValue_[r];
            codeLen[v] = codeLength_[r];
        }
    }

    // Words are at most 18 bits, so fewer than 32 pending bits plus one word fit in 64.
    std::uint8_t *p = out + HeadSize + symbols;
    std::uint64_t acc = 0;
    unsigned pending = 0;
    std::size_t i = 0;
    for (; i + 2 <= length; i += 2) {
        const std::uint8_t a = data[i], b = data[i + 1];
        acc = (acc << codeLen[a]) | code[a];
        pending += codeLen[a];
        if (pending >= 32) {
            pending -= 32;
            store32be(p, static_cast<std::uint32_t>(acc >> pending));
            p += 4;
        }
        acc = (acc << codeLen[b]) | code[b];
        pending += codeLen[b];
        if (pending >= 32) {
            pending -= 32;
            store32be(p, static_cast<std::uint32_t>(acc >> pending));
            p += 4;
        }
    }
    for (; i < length; ++i) {
        const std::uint8_t a = data[i];
        acc = (acc << codeLen[a]) | code[a];
        pending += codeLen[a];
        if (pending >= 32) {
            pending -= 32;
            store32be(p, static_cast<std::uint32_t>(acc >> pending));
            p += 4;
        }
    }
    // Remaining bits left-aligned, the rest of the last byte 0.
    if (pending > 0) {
        const std::uint64_t tail = acc << (64 - pending);
        for (unsigned done = 0; done < pending; done += 8)
            *p++ = static_cast<std::uint8_t>(tail >> (56 - done));
    }
    OutputLength = static_cast<std::int32_t>(p - out);
    Output[OutputLength] = 0;
    return true;
}

bool TQCmp::Decompress(const std::uint8_t *block, std::size_t blockLength)
{
    FreeOutput();
    if (!ready_ || block == nullptr || blockLength == 0) {
        ErrorCode = ErrBadData;
        return false;
    }
    if (block[0] != FormatByte) {
        ErrorCode = ErrFormat;
        return false;
    }
    if (blockLength < HeadSize) {
        ErrorCode = ErrBadData;
        return false;
    }
    const std::uint32_t length = readLe32(block + 2);
    // A count byte of 0 stands for all 256 values (an empty input has no symbols at all).
    const std::size_t symbols = block[1] == 0 && length > 0 ? 256 : block[1];
    if (blockLength < HeadSize + symbols) {
        ErrorCode = ErrBadData;
        return false;
    }
    const std::uint8_t *code = block + HeadSize + symbols;
    const std::size_t codeBytes = blockLength - HeadSize - symbols;
    // Every word has at least 3 bits: a longer announced length cannot be in the block.
    if (length > codeBytes * 8 / 3
        || length > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
        ErrorCode = ErrBadData;
        return false;
    }

    DecodeTable table;
    std::memset(&table, 0xff, sizeof table);
    for (int g = 0, n = 0; n < PairCount; ++g) {
        for (int k = 0; k <= g && n < PairCount; ++k, ++n) {
            for (unsigned first = 0; first < 2; ++first) {
                const std::size_t rank = 2 * n + first;
                if (rank < symbols)
                    table.symbol[first][k][g - k] = block[HeadSize + rank];
            }
        }
    }

    // Room for the fast path's whole-word stores past the last byte; trimmed at the end.
    constexpr std::size_t Slack = 16;
    if (!AllocOutput(length, Slack))
        return false;

    // Prefix table: for each value of the next PrefixBits bits, the whole words in it (up to
    // three), their symbols and their total length. Longer words take the run-count path.
    constexpr int PrefixBits = 11;
    struct Prefix {
        std::uint8_t symbols[4];
        std::uint8_t count;
        std::uint8_t bits;
    };
    std::vector<Prefix> prefixes;
    try {
        prefixes.resize(std::size_t(1) << PrefixBits);
    } catch (const std::bad_alloc &) {
        FreeOutput();
        ErrorCode = ErrBadData;
        return false;
    }
    // First the single words: each covers every index that begins with it. Then each entry
    // takes up to two more words from the bits after the first; a word there counts only when
    // all of its bits lie inside the index.
    constexpr std::size_t PrefixCount = std::size_t(1) << PrefixBits;
    constexpr std::size_t PrefixMask = PrefixCount - 1;
    std::uint8_t singleSymbol[PrefixCount] = {};
    std::uint8_t singleBits[PrefixCount] = {}; // 0: no whole word with a symbol
    for (int g = 0, n = 0; g + 3 <= PrefixBits; ++g) {
        for (int k = 0; k <= g; ++k, ++n) {
            const int bits = g + 3;
            for (unsigned first = 0; first < 2; ++first) {
                const std::int16_t sym = table.symbol[first][k][g - k];
                if (sym < 0)
                    continue;
                const std::size_t from = std::size_t(codeValue_[2 * n + first]) << (PrefixBits - bits);
                const std::size_t to = from + (std::size_t(1) << (PrefixBits - bits));
                for (std::size_t idx = from; idx < to; ++idx) {
                    singleSymbol[idx] = static_cast<std::uint8_t>(sym);
                    singleBits[idx] = static_cast<std::uint8_t>(bits);
                }
            }
        }
    }
    for (std::size_t idx = 0; idx < PrefixCount; ++idx) {
        Prefix &e = prefixes[idx];
        e = {{0, 0, 0, 0}, 0, 0};
        while (e.count < 3) {
            const std::size_t rest = (idx << e.bits) & PrefixMask;
            const unsigned bits = singleBits[rest];
            if (bits == 0 || e.bits + bits > PrefixBits)
                break;
            e.symbols[e.count++] = singleSymbol[rest];
            e.bits = static_cast<std::uint8_t>(e.bits + bits);
        }
    }

    std::uint8_t *out = Output.data();
    std::size_t o = 0;
    const std::uint8_t *ptr = code;
    const std::uint8_t *const codeEnd = code + codeBytes;
    std::uint64_t w = 0;  // valid bits from the top, zeros below them
    unsigned avail = 0;

    // Fast path: after a refill at least 56 bits are valid, enough for three steps of at most
    // 18 bits each; each step writes at most three symbols.
    while (length - o >= 9 && codeEnd - ptr >= 8) {
        w |= load64be(ptr) >> avail;
        ptr += (63 - avail) >> 3;
        avail |= 56;
        for (int step = 0; step < 3; ++step) {
            const Prefix &e = prefixes[w >> (64 - PrefixBits)];
            if (e.count != 0) {
                std::memcpy(out + o, e.symbols, 4);
                o += e.count;
                w <<= e.bits;
                avail -= e.bits;
            } else {
                int bits;
                const int sym = decodeWord(table, w, bits);
                if (sym < 0) {
                    ErrorCode = ErrBadData;
                    FreeOutput();
                    return false;
                }
                out[o++] = static_cast<std::uint8_t>(sym);
                w <<= bits;
                avail -= unsigned(bits);
            }
        }
    }

    // Tail: bytes past the block read as 0, and every word must end inside the block.
    std::uint64_t bitPos = std::uint64_t(ptr - code) * 8 - avail;
    const std::uint64_t totalBits = std::uint64_t(codeBytes) * 8;
    while (o < length) {
        std::uint8_t buf[8] = {};
        const std::size_t at = bitPos >> 3;
        const std::size_t n = std::min<std::size_t>(8, at < codeBytes ? codeBytes - at : 0);
        if (n > 0)
            std::memcpy(buf, code + at, n);
        const std::uint64_t window = load64be(buf) << (bitPos & 7);
        int bits;
        const int sym = decodeWord(table, window, bits);
        if (sym < 0 || bitPos + unsigned(bits) > totalBits) {
            ErrorCode = ErrBadData;
            FreeOutput();
            return false;
        }
        out[o++] = static_cast<std::uint8_t>(sym);
        bitPos += unsigned(bits);
    }
    Output.resize(std::size_t(length) + 1);
    Output[length] = 0;
    OutputLength = static_cast<std::int32_t>(length);
    return true;
}

bool TQCmp::CopyOutput(std::vector<std::uint8_t> &out) const
{
    try {
        out.assign(Output.begin(), Output.begin() + OutputLength);
    } catch (const std::bad_alloc &) {
        ErrorCode = ErrCompress;
        return false;
    }
    return true;
}

} // namespace kelpa::engine
