#pragma once
// The table that the build generates from stored_texts.txt with the scrambler.
#include <string_view>

namespace kelpa::storedtexts {

struct Entry {
    const char *name;
    std::string_view bytes;
};

extern const Entry table[];
extern const int tableSize;

} // namespace kelpa::storedtexts
