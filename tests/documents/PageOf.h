#pragma once
// A file as a page holds it once read, for the tests and the fuzz target of the line ends.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelpa::test {

// Every line ended by CR LF (a CR, LF, CR LF, vertical tab, and in UTF-8 a line or paragraph
// separator break a line); a break after the last line starts no new one, and a page of one
// empty line writes nothing.
inline std::string pageOf(std::string_view file, bool utf8)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < file.size();) {
        std::size_t n = 0;
        if (file[i] == '\r')
            n = i + 1 < file.size() && file[i + 1] == '\n' ? 2 : 1;
        else if (file[i] == '\n' || file[i] == '\v')
            n = 1;
        else if (utf8 && file.substr(i, 2) == "\xE2\x80" && i + 2 < file.size()
                 && (file[i + 2] == '\xA8' || file[i + 2] == '\xA9'))
            n = 3;
        if (n == 0) {
            ++i;
            continue;
        }
        lines.push_back(file.substr(start, i - start));
        i += n;
        start = i;
    }
    if (start < file.size())
        lines.push_back(file.substr(start));
    if (lines.size() == 1 && lines[0].empty())
        return {};
    std::string page;
    for (std::string_view line : lines)
        page.append(line).append("\r\n");
    return page;
}

} // namespace kelpa::test
