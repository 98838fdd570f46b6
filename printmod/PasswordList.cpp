#include "printmod/PasswordList.h"

#include <algorithm>
#include <cctype>

namespace kelpa::printmod {

namespace {

const std::string kRecordSignature = "[\xA7REC]";
const std::string kDataMarker = "[\xA7" "BEGOFDATA]";
const std::string kIgnoreMarker = "[\xA7" "BEGOFIGNR]";

bool sameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

std::string JoinLines(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::string ListIndexError(long long index)
{
    return "List index out of bounds (" + std::to_string(index) + ")";
}

bool IsPasswordList(const std::vector<std::string> &lines)
{
    return lines.size() >= 2 && lines[0] == "PWDLIST" && lines[1] == "4";
}

PasswordListResult RenderPasswordList(std::vector<std::string> lines)
{
    PasswordListResult result;
    std::size_t first = 0;
    const auto marker = std::find_if(lines.begin(), lines.end(), [](const std::string &l) { return sameText(l, kDataMarker); });
    if (marker != lines.end()) {
        first = static_cast<std::size_t>(marker - lines.begin()) + 1;
    } else {
        // Older lists have no markers: they go in at line 3, the records follow them.
        if (lines.size() < 3) {
            result.kind = PasswordListResult::Kind::IndexError;
            result.message = ListIndexError(3);
            return result;
        }
        lines.insert(lines.begin() + 3, kDataMarker);
        lines.insert(lines.begin() + 3, kIgnoreMarker);
        first = 5;
    }
    const std::size_t count = lines.size();
    for (std::size_t i = first; i < count; i += 11) {
        if (count < i + 11) {
            result.kind = PasswordListResult::Kind::Damaged;
            result.message = std::to_string(i + 11) + " rows required vs " + std::to_string(count) + " present.";
            return result;
        }
        if (lines[i].find(kRecordSignature) == std::string::npos) {
            result.kind = PasswordListResult::Kind::Damaged;
            result.message = "Record damaged at position " + std::to_string(i) +
                             ": record signature ([\xA7REC]) not found";
            return result;
        }
        if (lines[i + 2].empty())
            continue;
        result.lines.push_back(lines[i].size() > 6 ? lines[i].substr(6, 320) : std::string());
        result.lines.push_back("  - URL: " + lines[i + 1]);
        result.lines.push_back("  - ENTRY1: " + lines[i + 2]);
        result.lines.push_back("  - ENTRY2: " + lines[i + 3]);
        result.lines.push_back("  - ENTRY3: " + lines[i + 4]);
        result.lines.push_back("  - NOTES : " + lines[i + 6]);
        result.lines.push_back(" ");
    }
    return result;
}

} // namespace kelpa::printmod
