// Any bytes handed to the icon reader either give an error or a sound image: sizes within the
// icon limits and planes of exactly width x height pixels; on every screen depth.
#include "widgets/IconFile.h"

#include <cstdlib>

using namespace kelpa::widgets;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        const IconReadResult r = ReadIconFile(data, size, bits);
        if (r.error != IconError::None) {
            if (!r.image.pixels.empty() || IconErrorText(r.error).empty())
                std::abort();
            continue;
        }
        if (r.image.width == 0)
            continue;   // not an image list: header only
        const std::size_t n = std::size_t(r.image.width) * r.image.height;
        if (r.image.width > kMaxIconSide || r.image.height > kMaxIconSide || r.image.height < 1
            || r.image.pixels.size() != n || r.image.andBits.size() != n
            || r.image.xorBits.size() != (r.image.monochrome ? n : 0) || r.chosen >= r.entries.size())
            std::abort();
    }
    return 0;
}
