#pragma once
// The stored-text scrambler and unscrambler, free of Qt so that the build-time tool can use
// them too.
#include <string>
#include <string_view>

namespace kelpa::scrambler {

enum class Form { Plain, Keyed, KeyedXor };

std::string unscramble(std::string_view stored);
std::string scramble(std::string_view plain, std::string_view key, Form form,
                     unsigned char keyXor);

} // namespace kelpa::scrambler
