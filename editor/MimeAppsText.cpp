#include "editor/MimeAppsText.h"

#include <charconv>
#include <vector>

namespace kelpa::editor {

namespace {

constexpr std::string_view kMagic = "Kelpa plain-text default backup 2\n";
constexpr std::string_view kPlainText = "text/plain";
constexpr std::string_view kSections[] = {"[Default Applications]", "[Added Associations]"};

std::string_view trimmed(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string> splitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t end = text.find('\n', from);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(from));
            break;
        }
        lines.emplace_back(text.substr(from, end - from));
        from = end + 1;
    }
    return lines;
}

std::string_view keyOf(std::string_view line)
{
    const std::size_t eq = line.find('=');
    return eq == std::string_view::npos || eq == 0 ? std::string_view() : trimmed(line.substr(0, eq));
}

bool isHeader(std::string_view line) { return !trimmed(line).empty() && trimmed(line).front() == '['; }

// The plain-text line of the section, empty when there is none.
std::string lineIn(const std::vector<std::string> &lines, std::string_view section)
{
    bool in = false;
    for (const std::string &line : lines) {
        if (isHeader(line))
            in = trimmed(line) == section;
        else if (in && keyOf(trimmed(line)) == kPlainText)
            return line;
    }
    return {};
}

bool readNumber(std::string_view &s, char end, std::size_t &out)
{
    const std::size_t stop = s.find(end);
    if (stop == std::string_view::npos || stop == 0 || stop > 12)
        return false;
    const auto r = std::from_chars(s.data(), s.data() + stop, out);
    if (r.ec != std::errc() || r.ptr != s.data() + stop)
        return false;
    s.remove_prefix(stop + 1);
    return true;
}

} // namespace

std::string encodeNotepadBackup(const NotepadBackup &backup)
{
    std::string out(kMagic);
    out += backup.hadList ? "1 " : "0 ";
    out += std::to_string(backup.before.size()) + ' ' + std::to_string(backup.after.size()) + '\n';
    out += backup.before;
    out += backup.after;
    return out;
}

bool decodeNotepadBackup(std::string_view bytes, NotepadBackup &backup)
{
    if (bytes.substr(0, kMagic.size()) != kMagic)
        return false;
    bytes.remove_prefix(kMagic.size());
    std::size_t had = 0, before = 0, after = 0;
    if (!readNumber(bytes, ' ', had) || had > 1 || !readNumber(bytes, ' ', before) || !readNumber(bytes, '\n', after))
        return false;
    if (before > bytes.size() || after != bytes.size() - before || (had == 0 && before != 0))
        return false;
    backup.hadList = had == 1;
    backup.before = std::string(bytes.substr(0, before));
    backup.after = std::string(bytes.substr(before));
    return true;
}

std::string restorePlainTextKeys(std::string_view current, std::string_view before)
{
    const bool endsWithBreak = !current.empty() && current.back() == '\n';
    std::vector<std::string> lines = current.empty() ? std::vector<std::string>() : splitLines(current);
    if (endsWithBreak)
        lines.pop_back();
    const std::vector<std::string> old = splitLines(before);
    for (std::string_view section : kSections) {
        const std::string wanted = lineIn(old, section);
        long header = -1;
        long end = static_cast<long>(lines.size()); // the next header
        std::vector<long> keys;                     // the section's plain-text lines
        int sameName = 0;
        for (long i = 0; i < static_cast<long>(lines.size()); ++i) {
            const std::string_view t = trimmed(lines[static_cast<std::size_t>(i)]);
            if (isHeader(t)) {
                sameName += t == section;
                if (header >= 0 && end == static_cast<long>(lines.size()))
                    end = i;
                if (header < 0 && t == section)
                    header = i;
                continue;
            }
            if (header >= 0 && end == static_cast<long>(lines.size()) && keyOf(t) == kPlainText)
                keys.push_back(i);
        }
        if (!wanted.empty() && !keys.empty()) {
            // The first one takes the old line; any further ones go.
            lines[static_cast<std::size_t>(keys.front())] = wanted;
            for (auto k = keys.rbegin(); k + 1 != keys.rend(); ++k)
                lines.erase(lines.begin() + *k);
            continue;
        }
        if (!wanted.empty()) {
            if (header >= 0) {
                long last = end - 1;
                while (last > header && trimmed(lines[static_cast<std::size_t>(last)]).empty())
                    --last;
                lines.insert(lines.begin() + last + 1, wanted);
            } else {
                lines.emplace_back();
                lines.emplace_back(section);
                lines.push_back(wanted);
            }
            continue;
        }
        if (keys.empty())
            continue;
        for (auto k = keys.rbegin(); k != keys.rend(); ++k)
            lines.erase(lines.begin() + *k);
        end -= static_cast<long>(keys.size());
        // A section that held only those lines goes with it, and the blank line put before it
        // (not when a later section of that name would then take its place).
        if (end == header + 1 && sameName == 1) {
            lines.erase(lines.begin() + header);
            const bool atEnd = header == static_cast<long>(lines.size()) || isHeader(lines[static_cast<std::size_t>(header)]);
            if (header > 0 && atEnd && trimmed(lines[static_cast<std::size_t>(header - 1)]).empty())
                lines.erase(lines.begin() + header - 1);
        }
    }
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i)
            out += '\n';
        out += lines[i];
    }
    if (!lines.empty())
        out += '\n';
    return out;
}

} // namespace kelpa::editor
