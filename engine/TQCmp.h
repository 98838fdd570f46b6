#pragma once
// Lossless byte coder: byte values ranked by frequency, each coded with one of 256 fixed
// prefix-free code words. Used for document bodies and dictionary word lists.
//
// Block: format byte 2, symbol count, uncompressed length (uint32 LE), six reserved bytes,
// the symbols in rank order, then the code words packed most significant bit first.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kelpa::engine {

class TQCmp {
public:
    // Values of ErrorCode.
    static constexpr std::int32_t ErrNone = 0;
    static constexpr std::int32_t ErrCompress = 1; // allocation or any other failure while compressing
    static constexpr std::int32_t ErrFormat = 2;   // format byte is not 2
    static constexpr std::int32_t ErrBadData = 6;  // damaged block
    static constexpr std::int32_t ErrNoGain = 7;   // the output would not be shorter than the input

    static constexpr std::uint8_t FormatByte = 2;
    static constexpr std::size_t HeadSize = 12;
    static constexpr int SymbolCount = 256;

    TQCmp();

    // allowGrowth=false: stops with ErrorCode 7 (and returns true) when the block would be longer
    // than the input. allowGrowth=true: always produces a full, decodable block.
    // Returns false only on a failure (code 1).
    bool Compress(const std::uint8_t *data, std::size_t length, bool allowGrowth = false);
    // Returns false with code 1 (allocation), 2 (format byte) or 6 (bad data).
    bool Decompress(const std::uint8_t *block, std::size_t blockLength);
    // out = the OutputLength bytes of Output; false with code 1 when the copy cannot be made.
    bool CopyOutput(std::vector<std::uint8_t> &out) const;

    // Code word of rank r as '0'/'1' text, first character = first bit sent.
    std::vector<std::string> CodeWords;
    // Occurrences of each byte value in the last input.
    std::array<std::int32_t, 256> Counts{};
    // Pair r.first: byte value at rank r (or -1); pair v.second: rank of byte value v (or -1).
    std::array<std::pair<std::int32_t, std::int32_t>, 256> RankPairs{};
    std::string VersionText = "2.3r1";
    // Set by a failing operation (or 7 on no gain); cleared only by the constructor.
    mutable std::int32_t ErrorCode = 0;
    std::int32_t OutputLength = 0;
    // Output.data() holds OutputLength bytes, then a 0 byte.
    std::vector<std::uint8_t> Output;

    // Binary value of a '0'/'1' text, first character highest.
    static std::uint32_t CodeWordValue(const std::string &text);

private:
    void BuildCodeWords();
    void CountSymbols(const std::uint8_t *data, std::size_t length);
    int RankSymbols();
    void FreeOutput();
    bool AllocOutput(std::size_t size, std::size_t slack = 0);

    // Code value and length of each rank, derived from CodeWords.
    std::array<std::uint32_t, 256> codeValue_{};
    std::array<std::uint8_t, 256> codeLength_{};
    bool ready_ = false;
};

} // namespace kelpa::engine
