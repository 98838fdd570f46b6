#pragma once
// Pseudo-random bytes that are the same on every run for the same seed.
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace kelpa::test {

inline std::vector<std::uint8_t> randomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> out(n);
    for (auto &b : out)
        b = static_cast<std::uint8_t>(rng());
    return out;
}

} // namespace kelpa::test
