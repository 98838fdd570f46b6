#include "spell/Cp1251.h"

namespace kelpa::spell {

std::string AnsiLowerCase(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(LowerChar(static_cast<unsigned char>(c)));
    return out;
}

std::string AnsiUpperCase(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(UpperChar(static_cast<unsigned char>(c)));
    return out;
}

std::string Trim(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
        --end;
    return std::string(text.substr(begin, end - begin));
}

int AnsiStrComp(std::string_view a, std::string_view b)
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] != b[i])
            return CollationRank(static_cast<unsigned char>(a[i])) < CollationRank(static_cast<unsigned char>(b[i])) ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

} // namespace kelpa::spell
