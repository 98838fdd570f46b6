// A deciphered text on its way into a page (its lines, what it tells about the password) and a
// folder entry as the safe writer reads names beside its target. Stops on a broken promise.
#include "platform/safefile/SafeFile.h"
#include "support/documents/DocumentCore.h"

#include <cstdlib>
#include <string>
#include <string_view>

using namespace kelpa::documents;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const std::string lines = asLines(text);
    // Every line ends in CR LF, and no CR or LF stands alone.
    if (!lines.empty() && (lines.size() < 2 || lines.compare(lines.size() - 2, 2, "\r\n") != 0))
        std::abort();
    for (std::size_t i = 0; i < lines.size(); ++i)
        if ((lines[i] == '\r' && (i + 1 >= lines.size() || lines[i + 1] != '\n'))
            || (lines[i] == '\n' && (i == 0 || lines[i - 1] != '\r')))
            std::abort();
    if (asLines(lines) != lines)
        std::abort();
    passwordCheck(DocumentKind::Legacy, 0, text);
    fitsLegacy(text);

    // The first line names a target; the rest is a folder entry beside it.
    const std::size_t cut = text.find('\n');
    if (cut != std::string_view::npos)
        kelpa::SafeFileWriter::isTemporaryName(std::string(text.substr(cut + 1)), std::string(text.substr(0, cut)));
    return 0;
}
