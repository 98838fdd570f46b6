// Any bytes handed to the dictionary loader either load into a sound store or give an error
// code; a loaded store keeps its invariants and survives its own word list.
#include "spell/Cp1251.h"
#include "spell/TKPD.h"

#include <cstdlib>

using kelpa::spell::AnsiStrComp;
using kelpa::spell::IsStorableWord;
using kelpa::spell::LowerChar;
using kelpa::spell::TKPD;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    TKPD d;
    d.Add("before");
    d.Modified = false;
    if (!d.LoadFromBytes(data, size, "fuzz.kpd")) {
        if (d.Error == 0 || d.Count != 1 || d.Find("before") != 0 || d.Modified)
            std::abort();
        return 0;
    }
    if (d.Error != 0 || d.Modified || d.Version != 201)
        std::abort();
    for (int i = 0; i < d.Count; ++i) {
        const std::string_view w = d.WordAt(i);
        if (!IsStorableWord(w))
            std::abort();
        for (char c : w) {
            if (LowerChar(static_cast<unsigned char>(c)) != static_cast<unsigned char>(c))
                std::abort();
        }
        if (i > 0 && AnsiStrComp(d.WordAt(i - 1), w) >= 0)
            std::abort();
        if (d.Find(w) != i)
            std::abort();
    }
    TKPD copy;
    if (!copy.Merge(d.WordList()))
        std::abort();
    const int emptyWord = d.Count > 0 && d.WordAt(0).empty() ? 1 : 0; // Merge skips empty lines
    if (copy.Count != d.Count - emptyWord)
        std::abort();
    if (d.Count > 0) {
        std::vector<std::string> list;
        const std::string_view last = d.WordAt(d.Count - 1);
        d.Suggest(last.substr(last.empty() ? 0 : 1), list);
        if (list.empty())
            std::abort();
    }
    return 0;
}
