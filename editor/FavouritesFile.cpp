#include "editor/FavouritesFile.h"

#include "platform/codepage/CodePage.h"

namespace kelpa::editor {

std::vector<std::u16string> favouriteFileLines(std::string_view bytes)
{
    const std::u16string text = codepage::decodePlainText(bytes).text;
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    const std::size_t n = text.size();
    while (start < n) {
        std::size_t i = start;
        while (i < n && text[i] != u'\r' && text[i] != u'\n')
            ++i;
        lines.emplace_back(text, start, i - start);
        if (i < n && text[i] == u'\r')
            ++i;
        if (i < n && text[i] == u'\n')
            ++i;
        start = i;
    }
    return lines;
}

namespace {

bool blank(char16_t c) { return c <= u' ' || c == 0x85 || c == 0xA0 || c == 0x2028 || c == 0x2029 || c == 0x3000; }

} // namespace

std::vector<FavouriteLine> readFavourites(std::string_view bytes)
{
    std::vector<FavouriteLine> entries;
    for (std::u16string &line : favouriteFileLines(bytes)) {
        bool onlyBlanks = true;
        for (char16_t c : line)
            if (!blank(c)) {
                onlyBlanks = false;
                break;
            }
        if (onlyBlanks || line.front() == u';')
            continue;
        const bool separator = line == u"-";
        entries.push_back({separator, std::move(line)});
    }
    return entries;
}

} // namespace kelpa::editor
