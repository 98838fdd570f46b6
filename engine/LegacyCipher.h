#pragma once
// Keyed text cipher of legacy documents: the plain length as seven (or more) decimal digits,
// then one or two bytes of 33..255 per plain byte, in lines of 70 characters separated by CR.
// Plain texts hold no 0 byte; passwords must not be empty.
#include <optional>
#include <string>
#include <string_view>

namespace kelpa::engine {

// Text returned for a password that is found to be wrong.
inline constexpr std::string_view DecipherFailureText =
    "Deciphering unsuccessful: please, check your password";

std::string EncipherText(std::string_view password, std::string_view plainText);

// The plain text, or DecipherFailureText for a detected wrong password. No value when the
// cipher text is damaged: its first seven characters are no number, or it ends before the
// announced length is read.
std::optional<std::string> DecipherText(std::string_view password, std::string_view cipherText);

} // namespace kelpa::engine
