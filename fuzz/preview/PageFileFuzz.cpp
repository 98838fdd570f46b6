// Page files as the preview reads them back: inflated when compressed, then decoded. Neither
// step may crash, hang or read out of bounds, whatever the bytes.
#include "printmod/preview/core/PageCache.h"
#include "printmod/preview/core/PageFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace kelpa::preview;
    const DecodedPage plain = decodePage(data, size);
    if (plain.ok) {
        // What decodes also encodes back to the same bytes.
        const auto again = encodePage(plain.page);
        if (again.size() != size || !std::equal(again.begin(), again.end(), data))
            __builtin_trap();
    }
    std::vector<std::uint8_t> inflated;
    if (inflatePageFile(data, size, inflated, std::size_t(16) << 20))
        decodePage(inflated);
    return 0;
}
