// Decodes the input as a coder block; whatever decodes must survive a round trip.
#include "engine/TQCmp.h"

#include <cstdlib>
#include <cstring>

using namespace kelpa::engine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    TQCmp decoder;
    if (!decoder.Decompress(data, size))
        return 0;
    if (decoder.Output.size() != static_cast<std::size_t>(decoder.OutputLength) + 1
        || decoder.Output.back() != 0)
        std::abort();
    TQCmp encoder;
    if (!encoder.Compress(decoder.Output.data(), static_cast<std::size_t>(decoder.OutputLength), true))
        std::abort();
    TQCmp again;
    if (!again.Decompress(encoder.Output.data(), static_cast<std::size_t>(encoder.OutputLength))
        || again.OutputLength != decoder.OutputLength
        || std::memcmp(again.Output.data(), decoder.Output.data(), static_cast<std::size_t>(decoder.OutputLength)) != 0)
        std::abort();
    return 0;
}
