// Makes a dictionary file from a word list: one word a line, in UTF-8 or Windows-1251.
//   kelpa_make_dictionary <word list> <dictionary.kpd>
// Words the dictionary cannot hold (letters outside Windows-1251, more than 99 bytes) are left
// out and counted.
#include "platform/codepage/CodePage.h"
#include "spell/Cp1251.h"
#include "spell/TKPD.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

using namespace kelpa;
using kelpa::spell::TKPD;

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <word list> <dictionary.kpd>\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const bool utf8 = codepage::isValidUtf8(bytes);
    std::string list;
    std::size_t leftOut = 0;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = bytes.size();
        const std::string_view line(bytes.data() + pos, end - pos);
        pos = end + 1;
        if (line.empty())
            continue;
        std::string word(line);
        if (utf8) {
            bool lossless = true;
            word = codepage::encode(codepage::utf8ToUtf16(line), codepage::Windows1251, &lossless);
            if (!lossless) {
                ++leftOut;
                continue;
            }
        }
        word = spell::NormaliseWord(word);
        if (word.empty())
            continue;
        if (!spell::IsStorableWord(word)) {
            ++leftOut;
            continue;
        }
        list += word;
        list += '\r';
    }
    TKPD dictionary;
    if (!dictionary.Merge(list)) {
        std::fprintf(stderr, "%s: out of memory\n", argv[0]);
        return 1;
    }
    if (!dictionary.SaveToFile(argv[2])) {
        std::fprintf(stderr, "%s: cannot write %s (%s)\n", argv[0], argv[2], dictionary.ErrorText().c_str());
        return 1;
    }
    std::printf("%s: %d words, %zu left out\n", argv[2], dictionary.Count, leftOut);
    return 0;
}
