#pragma once
// Reading the favourites file "qckload.ini" (plain text, one entry a line), Qt-free: its text
// is decoded by the plain-text rule (UTF-8 when valid, else Windows-1252).
#include <string>
#include <string_view>
#include <vector>

namespace kelpa::editor {

struct FavouriteLine {
    bool separator = false;
    std::u16string path; // the whole line
};

// The entries in file order: lines that are empty or only blanks, and comment lines (';'
// first), are skipped; a line "-" is a separator; any other line is a path.
std::vector<FavouriteLine> readFavourites(std::string_view bytes);
// The file's lines, decoded, without their ends (CR LF, CR or LF); no line after a last end.
std::vector<std::u16string> favouriteFileLines(std::string_view bytes);

} // namespace kelpa::editor
