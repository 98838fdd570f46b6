// The favourites file reader on any bytes: no crash, and every entry is a separator or a line
// that is neither blank nor a comment and holds no line end.
#include "editor/FavouritesFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    for (const auto &entry : kelpa::editor::readFavourites(bytes)) {
        if (entry.path.empty() || entry.path.front() == u';')
            std::abort();
        if (entry.separator != (entry.path == u"-"))
            std::abort();
        for (char16_t c : entry.path)
            if (c == u'\r' || c == u'\n')
                std::abort();
    }
    return 0;
}
