// Any decrypted text taken as a password list renders or fails with a message, never reading
// outside its lines; a rendering is made of whole records of seven lines.
#include "printmod/PasswordList.h"

#include <cstdlib>

using namespace kelpa::printmod;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string text = "PWDLIST\r\n4\r\n";
    text.append(reinterpret_cast<const char *>(data), size);
    const std::vector<std::string> lines = SplitLines(text);
    if (!IsPasswordList(lines))
        std::abort();
    const PasswordListResult r = RenderPasswordList(lines);
    if (r.lines.size() % 7 != 0)
        std::abort();
    if ((r.kind == PasswordListResult::Kind::Rendered) != r.message.empty())
        std::abort();
    for (std::size_t i = 0; i < r.lines.size(); i += 7)
        if (r.lines[i].size() > 320 || r.lines[i + 6] != " ")
            std::abort();
    return 0;
}
