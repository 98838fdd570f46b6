// Any bytes as a text file for the merge, the splitter and the checking run, and as a settings
// file: nothing is read outside the input, a word reported is a word as the run takes it, the
// splitter loses nothing, the words taken for a merge are words the dictionary can hold.
#include "spell/CheckRun.h"
#include "spell/Cp1251.h"
#include "spell/TKPD.h"
#include "spell/WordFiles.h"
#include "support/settings/SettingsText.h"

#include <cstdlib>
#include <string>
#include <unordered_set>

using namespace kelpa::spell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);

    std::string joined;
    int slices = 0;
    const SplitOutcome split = SplitText(input, [&](int number, std::string_view slice) {
        if (number != ++slices || (slice.empty() && !input.empty()))
            std::abort();
        if (slice.size() > SliceByteLimit && slice.find_first_of("\r\n") < slice.size() - 2)
            std::abort();
        joined.append(slice);
        return true;
    });
    if (joined != input || split.written != slices || split.failed || split.cancelled || slices < 1)
        std::abort();

    const std::string text = TextFileToCheckBytes(input);
    for (bool ignore : {false, true}) {
        const ExtractedWords words = ExtractWords(text, ignore);
        if (words.list.empty() || words.list.back() != '\0')
            std::abort();
        std::unordered_set<std::string> seen;
        std::size_t pos = 0;
        while (words.list[pos] != '\0') {
            const std::size_t cr = words.list.find('\r', pos);
            if (cr == std::string::npos)
                std::abort();
            const std::string w = words.list.substr(pos, cr - pos);
            if (w.size() < 2 || w.size() >= MergeWordLimit || w.front() == '-' || w.back() == '-'
                || AnsiLowerCase(w) != w || !seen.insert(w).second || !IsStorableWord(w))
                std::abort();
            pos = cr + 1;
        }
        if (seen.size() != words.words)
            std::abort();
        TKPD d;
        if (!d.Merge(words.list) || d.Count != static_cast<int>(words.words))
            std::abort();
    }

    TKPD dict;
    for (const char *w : {"the", "well", "known", "isn't"})
        dict.Add(w);
    const ScanOutcome found = FindUnknownWord(text, dict);
    if (found.result == ScanResult::Found) {
        if (found.length < 2 || found.start + found.length > text.size())
            std::abort();
        // Word characters, the typographic apostrophe only between letters, no apostrophe or
        // hyphen at either end.
        for (std::size_t i = found.start; i < found.start + found.length; ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (!IsCheckWordChar(c)
                && (c != TypographicApostrophe || i == found.start || i + 1 == found.start + found.length))
                std::abort();
        }
        for (const char edge : {text[found.start], text[found.start + found.length - 1]})
            if (edge == '\'' || edge == '-')
                std::abort();
    }

    const std::string value =
        kelpa::SettingsText::parse(input, kelpa::kCheckerSettings).value("Dictionary").value_or(std::string());
    if (value.size() > size || value.find_first_of("\r\n") != std::string::npos)
        std::abort();
    return 0;
}
