#pragma once
// Blowfish block cipher (64-bit blocks, 16 rounds) in ECB mode over byte buffers.
// A block is two 32-bit words, L from bytes 0-3 and R from bytes 4-7, each little-endian.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelpa::engine {

class CBlowFish {
public:
    CBlowFish();

    // Loads the initial state and mixes in the key (bytes taken cyclically, first byte most
    // significant in each word).
    void SetKey(const std::uint8_t *key, int keyLength);

    void EncryptBlock(std::uint32_t &L, std::uint32_t &R) const;
    void DecryptBlock(std::uint32_t &L, std::uint32_t &R) const;

    // length rounded up to a multiple of 8.
    static std::size_t PaddedLength(std::size_t length);
    // ECB over PaddedLength(length) bytes, the last block padded with 0 bytes; output must hold
    // the padded length (it may be the input). Returns the padded length.
    std::size_t EncryptBuffer(const std::uint8_t *input, std::uint8_t *output, std::size_t length) const;
    // ECB over the whole blocks of length; bytes of a last partial block are copied unchanged.
    void DecryptBuffer(const std::uint8_t *input, std::uint8_t *output, std::size_t length) const;

private:
    std::uint32_t F(std::uint32_t x) const;

    std::vector<std::uint32_t> P;  // 18 words
    std::vector<std::uint32_t> S;  // 4 x 256 words
};

} // namespace kelpa::engine
