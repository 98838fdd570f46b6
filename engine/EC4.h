#pragma once
// EC4 stream cipher: a 256-byte key array and a 10240-byte table derived from the password and a
// fixed salt, then byte-wise enciphering with feedback from the previous plain byte.
// Passwords are byte strings of 1 to 256 bytes (the engine checks both bounds).
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kelpa::engine {

constexpr std::size_t EC4TableSize = 10240;

// Fills T (EC4TableSize bytes). An empty password leaves T all zeros.
void EC4SetKey(std::string_view password, std::uint8_t *T);

// Returns the length bytes of cipher text. errorCell is set to 0, or to 1 (with an empty
// result) when an allocation fails.
std::vector<std::uint8_t> EC4Encrypt(std::int32_t &errorCell, std::string_view password,
    const std::uint8_t *data, std::size_t length);

// Returns length + 1 bytes: the plain text and a 0 byte. errorCell as above.
std::vector<std::uint8_t> EC4Decrypt(std::int32_t &errorCell, std::string_view password,
    const std::uint8_t *data, std::size_t length);

} // namespace kelpa::engine
