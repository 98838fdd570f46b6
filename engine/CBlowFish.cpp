#include "engine/CBlowFish.h"

#include "engine/BlowfishTables.h"

#include <cstring>

namespace kelpa::engine {

namespace {

inline std::uint32_t loadLe32(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
        | std::uint32_t(p[3]) << 24;
}

inline void storeLe32(std::uint8_t *p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

} // namespace

CBlowFish::CBlowFish() : P(18), S(4 * 256) {}

inline std::uint32_t CBlowFish::F(std::uint32_t x) const
{
    const std::uint32_t *s = S.data();
    return ((s[x >> 24] + s[256 + ((x >> 16) & 0xff)]) ^ s[512 + ((x >> 8) & 0xff)])
        + s[768 + (x & 0xff)];
}

void CBlowFish::SetKey(const std::uint8_t *key, int keyLength)
{
    std::memcpy(P.data(), blowfish_tables::InitialP, sizeof blowfish_tables::InitialP);
    std::memcpy(S.data(), blowfish_tables::InitialS, sizeof blowfish_tables::InitialS);
    if (keyLength > 0) {
        int k = 0;
        for (int j = 0; j < 18; ++j) {
            std::uint32_t word = 0;
            for (int n = 0; n < 4; ++n) {
                word = (word << 8) | key[k];
                k = (k + 1) % keyLength;
            }
            P[j] ^= word;
        }
    }
    std::uint32_t L = 0, R = 0;
    for (int j = 0; j < 18; j += 2) {
        EncryptBlock(L, R);
        P[j] = L;
        P[j + 1] = R;
    }
    for (int j = 0; j < 4 * 256; j += 2) {
        EncryptBlock(L, R);
        S[j] = L;
        S[j + 1] = R;
    }
}

void CBlowFish::EncryptBlock(std::uint32_t &L, std::uint32_t &R) const
{
    std::uint32_t l = L, r = R;
    for (int i = 0; i < 16; i += 2) {
        l ^= P[i];
        r ^= F(l);
        r ^= P[i + 1];
        l ^= F(r);
    }
    l ^= P[16];
    r ^= P[17];
    L = r;
    R = l;
}

void CBlowFish::DecryptBlock(std::uint32_t &L, std::uint32_t &R) const
{
    std::uint32_t l = L, r = R;
    for (int i = 17; i > 1; i -= 2) {
        l ^= P[i];
        r ^= F(l);
        r ^= P[i - 1];
        l ^= F(r);
    }
    l ^= P[1];
    r ^= P[0];
    L = r;
    R = l;
}

std::size_t CBlowFish::PaddedLength(std::size_t length)
{
    return (length + 7) / 8 * 8;
}

std::size_t CBlowFish::EncryptBuffer(const std::uint8_t *input, std::uint8_t *output,
    std::size_t length) const
{
    const std::size_t padded = PaddedLength(length);
    for (std::size_t at = 0; at < padded; at += 8) {
        std::uint8_t block[8] = {};
        std::memcpy(block, input + at, length - at < 8 ? length - at : 8);
        std::uint32_t L = loadLe32(block), R = loadLe32(block + 4);
        EncryptBlock(L, R);
        storeLe32(output + at, L);
        storeLe32(output + at + 4, R);
    }
    return padded;
}

void CBlowFish::DecryptBuffer(const std::uint8_t *input, std::uint8_t *output,
    std::size_t length) const
{
    std::size_t at = 0;
    for (; at + 8 <= length; at += 8) {
        std::uint32_t L = loadLe32(input + at), R = loadLe32(input + at + 4);
        DecryptBlock(L, R);
        storeLe32(output + at, L);
        storeLe32(output + at + 4, R);
    }
    if (at < length && input != output)
        std::memmove(output + at, input + at, length - at);
}

} // namespace kelpa::engine
