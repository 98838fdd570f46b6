// A deciphered text on its way into a page (its lines, what it tells about the password), a plain
// file's line ends written back from its page, and a folder entry as the safe writer reads names
// beside its target. Stops on a broken promise.
#include "platform/safefile/SafeFile.h"
#include "support/documents/DocumentCore.h"
#include "documents/PageOf.h"

#include <cstdlib>
#include <string>
#include <string_view>

using namespace kelpa::documents;

namespace {

using kelpa::test::pageOf;

// An unedited page gives its file back; an edited one (its middle line dropped) writes without
// failing.
void lineEnds(std::string_view file, bool utf8)
{
    const LineForm form = lineFormOf(file);
    const std::string page = pageOf(file, utf8);
    if (mergeLineEnds(file, page, form, utf8) != file)
        std::abort();
    if (keepsBytes(file, form, utf8) && withLineForm(page, form) != file)
        std::abort();
    const std::size_t middle = page.find("\r\n", page.size() / 2);
    if (middle != std::string::npos)
        mergeLineEnds(file, page.substr(0, page.size() / 2) + page.substr(middle + 2), form, utf8);
}

} // namespace

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
    lineEnds(text, true);
    lineEnds(text, false);
    passwordCheck(DocumentKind::Legacy, 0, text);
    fitsLegacy(text);

    // The first line names a target; the rest is a folder entry beside it.
    const std::size_t cut = text.find('\n');
    if (cut != std::string_view::npos)
        kelpa::SafeFileWriter::isTemporaryName(std::string(text.substr(cut + 1)), std::string(text.substr(0, cut)));
    return 0;
}
