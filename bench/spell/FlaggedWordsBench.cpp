// How many distinct words the checking run flags in real English prose, beside
// `hunspell -d en_US -l` on the same texts, and which common misspellings it still catches.
//   bench_spell_flagged [dictionary.kpd] [text...]
// Without arguments: the English dictionary of the program folder and the licence texts of
// /usr/share/common-licenses. Words are counted once each, in lower case, for both checkers.
#include "platform/codepage/CodePage.h"
#include "spell/CheckRun.h"
#include "spell/TKPD.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

using namespace kelpa;
using namespace kelpa::spell;

namespace {

// Misspellings users make; each must be flagged.
const char *const Misspellings[] = {
    "teh",        "recieve",    "seperate",   "definately", "occured",   "accomodate", "acheive",
    "adress",     "begining",   "beleive",    "accross",   "commitee",  "concious",   "embarass",
    "enviroment", "existance",  "foriegn",    "goverment",  "grammer",   "harrass",    "independant",
    "knowlege",   "liason",     "millenium",  "neccessary", "noticable", "occurence",  "persistant",
    "posession",  "prefered",   "publically", "realy",      "recomend",  "refered",    "relevent",
    "religous",   "sieze",      "succesful",  "suprise",    "tommorow",  "tounge",     "truely",
    "untill",     "wierd",      "wich",       "thier",      "becuase",   "alot",       "arguement",
    "buisness",   "cemetary",   "collegue",   "comming",    "completly", "concensus",  "dissapoint",
    "finaly",     "freind",     "garantee",   "happend",    "immediatly", "incidently", "interupt",
    "lenght",     "libary",     "mispell",    "occassion",  "paralel",   "peice",      "posible",
    "reccomend",  "rythm",      "calander",      "shedule",    "similiar",   "sucess",    "threshhold", "writting",
};

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The distinct words the run reports, as the dictionary is asked for them.
std::set<std::string> kelpaFlags(const std::string &utf8, const TKPD &dictionary)
{
    const std::u16string text = codepage::isValidUtf8(utf8) ? codepage::utf8ToUtf16(utf8)
                                                            : codepage::decode(utf8, codepage::Windows1251);
    const std::string bytes = ToCheckBytes(text);
    std::set<std::string> out;
    std::size_t from = 0;
    for (;;) {
        const ScanOutcome o = FindUnknownWord(std::string_view(bytes).substr(from), dictionary);
        if (o.result != ScanResult::Found)
            break;
        const std::string word = LookupForm(bytes.substr(from + o.start, o.length));
        out.insert(codepage::utf16ToUtf8(codepage::decode(word, codepage::Windows1251)));
        from += o.start + o.length;
    }
    return out;
}

// The distinct words hunspell lists, in lower case; nothing when it cannot run.
bool hunspellFlags(const std::string &path, std::set<std::string> &out)
{
    FILE *p = ::popen(("hunspell -d en_US -i utf-8 -l < '" + path + "' 2>/dev/null").c_str(), "r");
    if (!p)
        return false;
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
        std::string w(line);
        while (!w.empty() && (w.back() == '\n' || w.back() == '\r'))
            w.pop_back();
        for (char &c : w)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        if (!w.empty())
            out.insert(w);
    }
    return ::pclose(p) == 0;
}

std::string joined(const std::set<std::string> &words)
{
    std::string out;
    for (const std::string &w : words)
        out += (out.empty() ? "" : " ") + w;
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string dictionaryPath = argc > 1 ? argv[1] : KELPA_PROGRAM_DIR "/English.kpd";
    std::vector<std::string> texts;
    for (int i = 2; i < argc; ++i)
        texts.emplace_back(argv[i]);
    if (texts.empty())
        for (const char *name : {"GPL-3", "GPL-2", "LGPL-2.1", "Apache-2.0", "MPL-2.0", "Artistic", "GFDL-1.3"})
            texts.push_back(std::string("/usr/share/common-licenses/") + name);
    TKPD dictionary;
    if (!dictionary.LoadFromFile(dictionaryPath)) {
        std::fprintf(stderr, "cannot load %s (%s)\n", dictionaryPath.c_str(), dictionary.ErrorText().c_str());
        return 1;
    }
    std::printf("dictionary %s: %d words\n\n", dictionaryPath.c_str(), dictionary.Count);
    std::printf("%-44s %8s %9s\n", "text", "Kelpa", "hunspell");
    bool worse = false;
    for (const std::string &path : texts) {
        const std::string bytes = readFile(path);
        if (bytes.empty()) {
            std::printf("%-44s (cannot read)\n", path.c_str());
            continue;
        }
        const std::set<std::string> ours = kelpaFlags(bytes, dictionary);
        std::set<std::string> theirs;
        const bool ran = hunspellFlags(path, theirs);
        std::printf("%-44s %8zu %9s\n", path.c_str(), ours.size(), ran ? std::to_string(theirs.size()).c_str() : "-");
        std::printf("    Kelpa:    %s\n", joined(ours).c_str());
        if (ran)
            std::printf("    hunspell: %s\n", joined(theirs).c_str());
        worse = worse || (ran && ours.size() > theirs.size());
    }
    std::string misspelt;
    for (const char *w : Misspellings)
        misspelt += std::string(w) + ' ';
    const std::set<std::string> caught = kelpaFlags(misspelt, dictionary);
    std::string missed;
    for (const char *w : Misspellings)
        if (!caught.count(w))
            missed += std::string(" ") + w;
    std::printf("\ncommon misspellings: %zu of %zu caught: %s\n", caught.size(), std::size(Misspellings),
                joined(caught).c_str());
    if (!missed.empty())
        std::printf("not caught:%s\n", missed.c_str());
    return worse || !missed.empty() ? 3 : 0;
}
