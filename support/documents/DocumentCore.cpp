#include "support/documents/DocumentCore.h"

#include "engine/LegacyCipher.h"
#include "engine/TOBRINEngine.h"

#include <cstring>

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

LineEnd lineEndOf(std::string_view bytes)
{
    const std::size_t end = bytes.find_first_of("\r\n");
    return end != std::string_view::npos && bytes[end] == '\n' ? LineEnd::Lf : LineEnd::CrLf;
}

std::string withLineEnd(std::string_view crLfText, LineEnd lineEnd)
{
    std::string out(crLfText);
    if (lineEnd == LineEnd::Lf)
        out.resize(toLfInPlace(out.data(), out.size()));
    return out;
}

std::size_t toLfInPlace(char *text, std::size_t size)
{
    // Runs between the CRs that end lines move down as wholes.
    std::size_t to = 0;
    std::size_t from = 0;
    while (from < size) {
        const void *cr = std::memchr(text + from, '\r', size - from);
        std::size_t end = cr ? static_cast<std::size_t>(static_cast<const char *>(cr) - text) : size;
        const bool lineEnd = end + 1 < size && text[end + 1] == '\n';
        if (cr && !lineEnd)
            ++end; // a lone CR stays
        if (to != from)
            std::memmove(text + to, text + from, end - from);
        to += end - from;
        from = lineEnd ? end + 1 : end;
    }
    return to;
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
