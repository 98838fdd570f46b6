#include "support/documents/DocumentCore.h"

#include "engine/LegacyCipher.h"
#include "engine/TOBRINEngine.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kelpa::documents {

std::string asLines(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + 2);
    std::size_t start = 0;
    const std::size_t n = bytes.size();
    while (start < n) {
        std::size_t i = start;
        while (i < n && bytes[i] != '\r' && bytes[i] != '\n')
            ++i;
        out.append(bytes.data() + start, i - start);
        out.append("\r\n");
        if (i < n && bytes[i] == '\r')
            ++i;
        if (i < n && bytes[i] == '\n')
            ++i;
        start = i;
    }
    return out;
}

namespace {

std::string_view bytesOf(LineEnd lineEnd)
{
    switch (lineEnd) {
    case LineEnd::CrLf:
        return "\r\n";
    case LineEnd::Cr:
        return "\r";
    case LineEnd::Lf:
        break;
    }
    return "\n";
}

// The length of the line break at text[i] as a page reads it (CR LF, CR, LF, a vertical tab,
// and in UTF-8 U+2028 and U+2029), 0 for none.
std::size_t breakAt(std::string_view text, std::size_t i, bool utf8)
{
    const char c = text[i];
    if (c == '\r')
        return i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
    if (c == '\n' || c == '\v')
        return 1;
    if (utf8 && c == '\xE2' && i + 2 < text.size() && text[i + 1] == '\x80'
        && (text[i + 2] == '\xA8' || text[i + 2] == '\xA9'))
        return 3;
    return 0;
}

struct Line {
    std::string_view text;
    std::string_view end; // empty for a last line without a line end
};

// Lines as a page holds them: a break after the last line starts no new one; an empty text is
// one empty line.
std::vector<Line> fileLines(std::string_view bytes, bool utf8)
{
    std::vector<Line> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = breakAt(bytes, i, utf8);
        if (n == 0) {
            ++i;
            continue;
        }
        lines.push_back({bytes.substr(start, i - start), bytes.substr(i, n)});
        i += n;
        start = i;
    }
    if (start < bytes.size() || lines.empty())
        lines.push_back({bytes.substr(start), {}});
    return lines;
}

std::vector<Line> pageLines(std::string_view crLfText)
{
    std::vector<Line> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = crLfText.find("\r\n", start)) != std::string_view::npos; start = end + 2)
        lines.push_back({crLfText.substr(start, end - start), crLfText.substr(end, 2)});
    if (start < crLfText.size() || lines.empty())
        lines.push_back({crLfText.substr(start), {}});
    return lines;
}

} // namespace

LineForm lineFormOf(std::string_view bytes)
{
    std::size_t crLf = 0;
    std::size_t lf = 0;
    std::size_t cr = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ++lf;
        } else if (bytes[i] == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++crLf;
                ++i;
            } else {
                ++cr;
            }
        }
    }
    LineForm form;
    if (crLf > lf && crLf >= cr)
        form.lineEnd = LineEnd::CrLf;
    else if (cr > lf && cr > crLf)
        form.lineEnd = LineEnd::Cr;
    // An empty file is as a new page.
    if (!bytes.empty())
        form.finalLineEnd = bytes.back() == '\n' || bytes.back() == '\r' ? FinalLineEnd::Present : FinalLineEnd::Absent;
    return form;
}

bool keepsBytes(std::string_view bytes, const LineForm &form, bool utf8)
{
    const std::string_view wanted = bytesOf(form.lineEnd);
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = breakAt(bytes, i, utf8);
        if (n == 0) {
            ++i;
            continue;
        }
        if (bytes.substr(i, n) != wanted)
            return false;
        i += n;
    }
    return true;
}

std::string withLineForm(std::string_view crLfText, const LineForm &form)
{
    std::string out(crLfText);
    std::string_view append;
    out.resize(toLineFormInPlace(out.data(), out.size(), form, append));
    out += append;
    return out;
}

std::size_t toLineFormInPlace(char *text, std::size_t size, const LineForm &form, std::string_view &append)
{
    append = {};
    const bool endsInBreak = size >= 2 && text[size - 2] == '\r' && text[size - 1] == '\n';
    if (form.lineEnd != LineEnd::CrLf) {
        // Runs between the line ends move down as wholes; CR LF gives its CR (LF) or its LF (CR).
        const bool keepCr = form.lineEnd == LineEnd::Cr;
        std::size_t to = 0;
        std::size_t from = 0;
        while (from < size) {
            const void *cr = std::memchr(text + from, '\r', size - from);
            std::size_t end = cr ? static_cast<std::size_t>(static_cast<const char *>(cr) - text) : size;
            const bool lineEnd = end + 1 < size && text[end + 1] == '\n';
            if (cr && (!lineEnd || keepCr))
                ++end; // a lone CR stays, and the CR of CR as a line end
            if (to != from)
                std::memmove(text + to, text + from, end - from);
            to += end - from;
            from = lineEnd ? end + 1 : end;
        }
        size = to;
    }
    const std::string_view lineEnd = bytesOf(form.lineEnd);
    if (form.finalLineEnd == FinalLineEnd::Absent && endsInBreak)
        size -= lineEnd.size();
    else if (form.finalLineEnd == FinalLineEnd::Present && !endsInBreak)
        append = lineEnd;
    return size;
}

std::string mergeLineEnds(std::string_view fileBytes, std::string_view crLfText, const LineForm &form, bool utf8)
{
    const std::vector<Line> before = fileLines(fileBytes, utf8);
    const std::vector<Line> after = pageLines(crLfText);
    const std::size_t most = std::min(before.size(), after.size());
    std::size_t head = 0;
    while (head < most && before[head].text == after[head].text)
        ++head;
    std::size_t tail = 0;
    while (head + tail < most && before[before.size() - 1 - tail].text == after[after.size() - 1 - tail].text)
        ++tail;
    std::vector<Line> out(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(head));
    for (std::size_t i = head; i < after.size() - tail; ++i)
        out.push_back({after[i].text, bytesOf(form.lineEnd)});
    out.insert(out.end(), before.end() - static_cast<std::ptrdiff_t>(tail), before.end());
    // The file's last line may be followed by others now; the new last line ends as the file's
    // last one did.
    for (Line &line : out)
        if (line.end.empty())
            line.end = bytesOf(form.lineEnd);
    if (before.back().end.empty())
        out.back().end = {};
    std::string merged;
    merged.reserve(crLfText.size() + crLfText.size() / 16 + 4);
    for (const Line &line : out) {
        merged += line.text;
        merged += line.end;
    }
    return merged;
}

PasswordCheck passwordCheck(DocumentKind kind, std::uint8_t compressionId, std::string_view text)
{
    if (kind == DocumentKind::Legacy)
        return text == DecipherFailureText ? PasswordCheck::Wrong : PasswordCheck::Unchecked;
    return compressionId == TOBRINEngine::CompressionStored ? PasswordCheck::Unchecked : PasswordCheck::Confirmed;
}

bool fitsLegacy(std::string_view text)
{
    const void *zero = text.empty() ? nullptr : std::memchr(text.data(), 0, text.size());
    const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char *>(zero) - text.data()) : text.size();
    return length <= LegacyTextLimit;
}

} // namespace kelpa::documents
