#include "engine/EC4.h"

#include <array>
#include <new>

namespace kelpa::engine {

namespace {

const std::int8_t Salt[32] = {
    0x7e, 0x2a, static_cast<std::int8_t>(0x91), static_cast<std::int8_t>(0xc4),
    static_cast<std::int8_t>(0xd0), 0x5b, 0x38, static_cast<std::int8_t>(0xf6),
    static_cast<std::int8_t>(0xa1), 0x7c, 0x2e, static_cast<std::int8_t>(0x90),
    static_cast<std::int8_t>(0xb4), static_cast<std::int8_t>(0xd8), 0x63,
    static_cast<std::int8_t>(0xf1), 0x5a, 0x0c, 0x7e, 0x29, static_cast<std::int8_t>(0xd4),
    static_cast<std::int8_t>(0xb1), static_cast<std::int8_t>(0x86),
    static_cast<std::int8_t>(0xe3), static_cast<std::int8_t>(0xf0), 0x5a,
    static_cast<std::int8_t>(0x9c), 0x27, static_cast<std::int8_t>(0xe1),
    static_cast<std::int8_t>(0xd4), 0x6b, static_cast<std::int8_t>(0x83),
};

inline std::uint8_t low(int x) { return static_cast<std::uint8_t>(x); }
inline int sbyte(std::uint8_t x) { return static_cast<std::int8_t>(x); }
// Shift counts are taken modulo 32 after the remainder, so -1 shifts by 31.
inline int shiftCount(int x) { return x & 31; }

int passwordSum(std::string_view password)
{
    int s = 0;
    for (char p : password)
        s = (s + static_cast<signed char>(p)) % 256;
    return s;
}

void makeKeyArray(std::string_view password, int S, std::uint8_t K[256])
{
    const int L = static_cast<int>(password.size());
    const auto pw = [&](int i) { return static_cast<int>(static_cast<unsigned char>(password[i])); };

    // The key array lies directly before the salt. For passwords longer than 32 bytes the
    // t3 term reads key places that are not computed yet; they count as 0 (the array starts
    // zeroed), so the same password always gives the same key.
    std::array<std::int8_t, 288> KS{};
    for (int i = 0; i < 32; ++i)
        KS[256 + i] = Salt[i];

    // The c term depends on k rem 32 only.
    int cOf[32];
    for (int off = 0; off < 32; ++off) {
        int c = 0;
        for (int i = 0; i < 32; ++i) {
            if (i != off)
                c = (c + Salt[i]) % 256;
            c = (c * Salt[31 - i]) % 256;
        }
        cOf[off] = c;
    }

    int d = L;
    for (int k = 0; k < 256; ++k) {
        const int pos = k % L;
        const int off = k % 32;
        const int c = cOf[off];
        const int t1 = d >> shiftCount((Salt[off] + k) % 7);
        const int t2 = d >> shiftCount((k + d) % 3);
        const int t3 = (KS[287 - pos] * d) % ((k % 3) + 1);
        const int sum = k + d + c + S + pw(pos) + (pw(L - 1 - pos) & (d & 0xff)) + t1 + t2 + t3;
        KS[k] = static_cast<std::int8_t>(low(sum));
        d = KS[k];
    }
    for (int k = 0; k < 256; ++k)
        K[k] = static_cast<std::uint8_t>(KS[k]);
}

// Mixing byte M of a table.
std::uint8_t mixingByte(const std::uint8_t *T)
{
    unsigned m = 0;
    for (std::size_t i = 0; i < EC4TableSize; ++i) {
        m = (m + T[i]) & 0xff;
        m = (m * T[EC4TableSize - 1 - i]) & 0xff;
    }
    return static_cast<std::uint8_t>(m);
}

// One run over the data; Decipher selects the direction. Every step acts on the low byte only.
template <bool Decipher>
void run(const std::uint8_t *T, const std::uint8_t *in, std::uint8_t *out, std::size_t length)
{
    const std::uint8_t M = mixingByte(T);
    const unsigned m1 = T[9] + 5u;
    const unsigned m2 = T[134] + 4u;

    // XOR of the six table bytes 110 + j + (i mod 256), j = 0..5.
    std::uint8_t x6[256];
    for (int n = 0; n < 256; ++n) {
        std::uint8_t v = 0;
        for (int j = 0; j < 6; ++j)
            v ^= T[110 + j + n];
        x6[n] = v;
    }
    // Masks for the conditional terms: b rem 3 = 1 adds, b rem 7 = 0 subtracts.
    std::uint8_t add3[256], sub7[256];
    for (int b = 0; b < 256; ++b) {
        add3[b] = b % 3 == 1 ? 0xff : 0;
        sub7[b] = b % 7 == 0 ? 0xff : 0;
    }

    std::uint8_t prev = 3;
    std::size_t kp = 1;
    unsigned r2 = 0;      // i rem m2
    unsigned r1base = 0;  // (i with its low three bits cleared) rem m1
    std::size_t i = 0;
    while (i < length) {
        // (i XOR 7) rem m1 for the eight positions of this aligned group, counting down.
        unsigned r1 = r1base + 7;
        while (r1 >= m1)
            r1 -= m1;
        const std::size_t end = length - i < 8 ? length : i + 8;
        for (; i < end; ++i) {
            const std::uint8_t b = T[kp];
            if constexpr (!Decipher) {
                const std::uint8_t p = in[i];
                std::uint8_t x = static_cast<std::uint8_t>((b + prev) ^ p ^ x6[i & 255]);
                x = static_cast<std::uint8_t>(x + (T[r1] & add3[b]));
                x = static_cast<std::uint8_t>(x - (T[r2] & sub7[b]));
                out[i] = static_cast<std::uint8_t>(x + M);
                prev = p;
            } else {
                std::uint8_t y = static_cast<std::uint8_t>(in[i] - M);
                y = static_cast<std::uint8_t>(y + (T[r2] & sub7[b]));
                y = static_cast<std::uint8_t>(y - (T[r1] & add3[b]));
                const std::uint8_t p = static_cast<std::uint8_t>((prev + b) ^ y ^ x6[i & 255]);
                out[i] = p;
                prev = p;
            }
            if (++kp == EC4TableSize)
                kp = 0;
            if (++r2 == m2)
                r2 = 0;
            r1 = r1 == 0 ? m1 - 1 : r1 - 1;
        }
        r1base += 8;
        while (r1base >= m1)
            r1base -= m1;
    }
}

template <bool Decipher>
std::vector<std::uint8_t> cipher(std::int32_t &errorCell, std::string_view password,
    const std::uint8_t *data, std::size_t length)
{
    errorCell = 0;
    std::vector<std::uint8_t> T, out;
    try {
        T.resize(EC4TableSize);
        out.resize(Decipher ? length + 1 : length);
    } catch (const std::bad_alloc &) {
        errorCell = 1;
        return {};
    }
    EC4SetKey(password, T.data());
    run<Decipher>(T.data(), data, out.data(), length);
    return out;
}

} // namespace

void EC4SetKey(std::string_view password, std::uint8_t *T)
{
    for (std::size_t i = 0; i < EC4TableSize; ++i)
        T[i] = 0;
    if (password.empty())
        return;
    const int L = static_cast<int>(password.size());
    const int S = passwordSum(password);
    const std::uint8_t bS = low(S);
    std::uint8_t K[256];
    makeKeyArray(password, S, K);

    unsigned g = low((S + 24) * L);
    unsigned e = low((g ^ bS) + 207);
    unsigned q = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < static_cast<int>(EC4TableSize); ++i) {
            const int d = sbyte(K[q]);
            int h = ((static_cast<int>(e << (i % 7)) ^ static_cast<int>(g + i + i * i)) % 643) ^ d;
            switch ((d ^ i) % 8) {
            case 0: h += d >> (e % 7); break;
            case 1: h += low(bS + e) >> (g % 7); break;
            case 2: h += static_cast<int>(g >> shiftCount((static_cast<int>(e) + d) % 7)); break;
            case 3: h += static_cast<int>(e) * L + (L & 1); break;
            case 4: h += static_cast<int>((g ^ i) >> (e % 3)); break;
            case 5: h += (bS * i) % static_cast<int>(e + 1); break;
            case 6: h += sbyte(K[255 - q]) ^ static_cast<int>(g); break;
            case 7: h += T[(e * g) % EC4TableSize] ^ i; break;
            default: break; // negative remainders select no case
            }
            h ^= static_cast<int>(e + g) ^ i;
            T[i] = low(h);
            e = g;
            g = T[i];
            q = (q + 1) & 0xff;
        }
    }
}

std::vector<std::uint8_t> EC4Encrypt(std::int32_t &errorCell, std::string_view password,
    const std::uint8_t *data, std::size_t length)
{
    return cipher<false>(errorCell, password, data, length);
}

std::vector<std::uint8_t> EC4Decrypt(std::int32_t &errorCell, std::string_view password,
    const std::uint8_t *data, std::size_t length)
{
    return cipher<true>(errorCell, password, data, length);
}

} // namespace kelpa::engine
