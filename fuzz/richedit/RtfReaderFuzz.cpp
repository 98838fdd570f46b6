// Any bytes into the RTF reader: no crash, no hang; the text it reads survives writing and
// reading again, and from then on a document reads back exactly as written.
#include "richedit/rtf/RtfReader.h"
#include "richedit/rtf/RtfWriter.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const kelpa::rtf::Document first = kelpa::rtf::readRtf(bytes);
    const kelpa::rtf::Document second = kelpa::rtf::readRtf(kelpa::rtf::writeRtf(first));
    if (second.text() != first.text())
        std::abort();
    // The first trip fills in what the input left open (the default font); after it, nothing moves.
    const kelpa::rtf::Document third = kelpa::rtf::readRtf(kelpa::rtf::writeRtf(second));
    if (!(third == second))
        std::abort();
    return 0;
}
