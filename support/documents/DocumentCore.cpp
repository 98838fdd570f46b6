#include "support/documents/DocumentCore.h"

#include "engine/LegacyCipher.h"
#include "engine/TOBRINEngine.h"

#include <algorithm>
#include <cstring>

namespace kelpa::documents {

using engine::DecipherFailureText;
using engine::TOBRINEngine;

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

// The lines of a file (breaks as a page reads them) or of a page's text (CR LF only), walked
// from either end without a table of them: pages run to hundreds of megabytes. A break after
// the last line starts no new one; an empty text is one empty line.
class Lines {
public:
    Lines(std::string_view text, bool page, bool utf8) : text_(text), page_(page), utf8_(utf8) {}

    struct Line {
        std::size_t start, end, next; // text [start, end), its break [end, next)
    };

    // The line from `at` (a line's start) on.
    Line from(std::size_t at) const
    {
        for (std::size_t i = at; i < text_.size(); ++i)
            if (const std::size_t n = breakLength(i))
                return {at, i, i + n};
        return {at, text_.size(), text_.size()};
    }
    // The line that ends at `to` (the start of the line after it, or the text's end).
    Line before(std::size_t to) const
    {
        std::size_t end = to;
        if (to < text_.size() || endsInBreak())
            end -= breakEndingAt(to);
        std::size_t start = end;
        while (start > 0 && breakEndingAt(start) == 0)
            --start;
        return {start, end, to};
    }
    std::size_t count() const
    {
        std::size_t n = 1;
        for (std::size_t next = from(0).next; next < text_.size(); next = from(next).next)
            ++n;
        return n;
    }
    bool endsInBreak() const { return breakEndingAt(text_.size()) != 0; }
    std::string_view text(const Line &line) const { return text_.substr(line.start, line.end - line.start); }

private:
    std::size_t breakLength(std::size_t i) const
    {
        if (page_)
            return text_.compare(i, 2, "\r\n") == 0 ? 2 : 0;
        return breakAt(text_, i, utf8_);
    }
    // The length of the break whose last byte is just before `to`, 0 for none.
    std::size_t breakEndingAt(std::size_t to) const
    {
        if (to == 0)
            return 0;
        const char c = text_[to - 1];
        if (page_)
            return c == '\n' && to >= 2 && text_[to - 2] == '\r' ? 2 : 0;
        if (c == '\n')
            return to >= 2 && text_[to - 2] == '\r' ? 2 : 1;
        if (c == '\r' || c == '\v')
            return 1;
        if (utf8_ && (c == '\xA8' || c == '\xA9') && to >= 3 && text_[to - 3] == '\xE2' && text_[to - 2] == '\x80')
            return 3;
        return 0;
    }

    std::string_view text_;
    bool page_;
    bool utf8_;
};

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
    const Lines before(fileBytes, false, utf8);
    const Lines after(crLfText, true, false);
    const std::size_t beforeCount = before.count();
    const std::size_t afterCount = after.count();
    const std::size_t most = std::min(beforeCount, afterCount);
    // The lines the edit left alone at the start, and at the end.
    std::size_t head = 0;
    std::size_t headEnd = 0;     // in the file, after the head's last line and its break
    std::size_t headTextEnd = 0; // in the file, before that break
    std::size_t pageFrom = 0;    // in the page, after the head
    while (head < most) {
        const Lines::Line a = before.from(headEnd);
        const Lines::Line b = after.from(pageFrom);
        if (before.text(a) != after.text(b))
            break;
        ++head;
        headTextEnd = a.end;
        headEnd = a.next;
        pageFrom = b.next;
    }
    std::size_t tail = 0;
    std::size_t tailStart = fileBytes.size(); // in the file, where the tail begins
    std::size_t pageTo = crLfText.size();     // in the page, before the tail
    while (head + tail < most) {
        const Lines::Line a = before.before(tailStart);
        const Lines::Line b = after.before(pageTo);
        if (before.text(a) != after.text(b))
            break;
        ++tail;
        tailStart = a.start;
        pageTo = b.start;
    }
    const std::string_view lineEnd = bytesOf(form.lineEnd);
    const bool openEnd = !before.endsInBreak() && !fileBytes.empty();
    const std::size_t middle = afterCount - head - tail;
    std::string merged;
    merged.reserve(crLfText.size() + crLfText.size() / 16 + 4);
    // The head; its last line loses its break when it is the last line now and the file's last
    // line had none, and gains one when it was the file's open last line and lines follow now.
    if (tail == 0 && middle == 0 && openEnd)
        merged.append(fileBytes.substr(0, headTextEnd));
    else
        merged.append(fileBytes.substr(0, headEnd));
    if (head == beforeCount && openEnd && middle > 0)
        merged += lineEnd;
    std::size_t at = pageFrom;
    for (std::size_t i = 0; i < middle; ++i) {
        const Lines::Line b = after.from(at);
        merged += after.text(b);
        // The new last line ends as the file's last one did.
        if (!(tail == 0 && i + 1 == middle && openEnd))
            merged += lineEnd;
        at = b.next;
    }
    merged.append(fileBytes.substr(tailStart));
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
