// Reads the input as a whole document file (by name, and as the hand-off reader opens it) and
// as a bare block. Seeds use the password "pw".
#include "engine/TOBRINEngine.h"
#include "platform/handoff/HandOffFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

using namespace kelpa::engine;

namespace {

// One file per process, rewritten for every input; kept in memory-backed storage when there is.
struct ScratchFile {
    std::string name;
    ScratchFile()
    {
        const char *dir = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        name = std::string(dir) + "/kelpa-fuzz-" + std::to_string(::getpid()) + ".eco";
    }
    ~ScratchFile() { std::remove(name.c_str()); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static ScratchFile scratch;
    if (std::FILE *f = std::fopen(scratch.name.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    TOBRINEngine engine;
    const bool byName = engine.LoadFromFile("pw", scratch.name);
    if (byName) {
        if (engine.Result.size() != static_cast<std::size_t>(engine.ResultLength) + 1
            || engine.Result.back() != 0)
            std::abort();
    }
    // The hand-off reader's way: the same document, the same result.
    int error = 0;
    const int fd = kelpa::handoff::openForReading(scratch.name, &error);
    if (std::FILE *f = fd >= 0 ? ::fdopen(fd, "rb") : nullptr) {
        TOBRINEngine opened;
        const bool read = opened.LoadFromOpenFile("pw", f);
        std::fclose(f);
        if (read != byName || opened.ErrorCode != engine.ErrorCode || opened.Result != engine.Result)
            std::abort();
    } else if (fd >= 0) {
        ::close(fd);
    }
    engine.Decrypt("pw", data, size);
    return 0;
}
