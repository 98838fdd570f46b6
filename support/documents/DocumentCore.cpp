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
    if (lineEnd == LineEnd::CrLf)
        return std::string(crLfText);
    std::string out;
    out.reserve(crLfText.size());
    for (std::size_t i = 0; i < crLfText.size(); ++i) {
        if (crLfText[i] == '\r' && i + 1 < crLfText.size() && crLfText[i + 1] == '\n')
            continue;
        out.push_back(crLfText[i]);
    }
    return out;
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
