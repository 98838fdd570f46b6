#include "spell/WordFiles.h"

#include "platform/codepage/CodePage.h"
#include "spell/CheckRun.h"
#include "spell/Cp1251.h"

#include <unordered_set>

namespace kelpa::spell {

namespace {

int percentOf(std::size_t done, std::size_t total)
{
    return total ? static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * 100.0) : 100;
}

constexpr std::size_t WordsPerProgress = 100;

} // namespace

ExtractedWords ExtractWords(std::string_view text, bool ignoreProperNouns, const Progress &progress)
{
    ExtractedWords out;
    std::unordered_set<std::string> seen;
    const std::size_t n = text.size();
    std::size_t pos = 0;
    std::size_t runs = 0;
    std::string lower;
    while (pos < n) {
        while (pos < n && !IsCheckWordChar(static_cast<unsigned char>(text[pos])))
            ++pos;
        if (pos >= n)
            break;
        const std::size_t start = pos;
        bool foreign = false;
        while (pos < n && IsCheckWordChar(static_cast<unsigned char>(text[pos]))) {
            foreign = foreign || static_cast<unsigned char>(text[pos]) == ForeignLetter;
            ++pos;
        }
        if (++runs % WordsPerProgress == 0 && progress && !progress(percentOf(pos, n))) {
            out.cancelled = true;
            out.list.clear();
            out.words = 0;
            return out;
        }
        const std::string_view word = text.substr(start, pos - start);
        if (foreign || word.size() < 2 || word.size() >= MergeWordLimit)
            continue;
        if (word.front() == '-' || word.back() == '-')
            continue;
        if (ignoreProperNouns && IsCapitalLetter(static_cast<unsigned char>(word.front())))
            continue;
        lower = AnsiLowerCase(word);
        if (!seen.insert(lower).second)
            continue;
        out.list.append(lower);
        out.list.push_back('\r');
        ++out.words;
    }
    out.list.push_back('\0');
    return out;
}

std::string TextFileToCheckBytes(std::string_view bytes)
{
    bool ascii = true;
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii || !codepage::isValidUtf8(bytes))
        return std::string(bytes);
    return ToCheckBytes(codepage::utf8ToUtf16(bytes));
}

SplitOutcome SplitText(std::string_view text,
                       const std::function<bool(int number, std::string_view slice)> &slice,
                       const Progress &progress)
{
    SplitOutcome out;
    const std::size_t n = text.size();
    std::size_t sliceStart = 0;
    std::size_t lines = 0;
    std::size_t pos = 0;
    auto emit = [&](std::size_t end) {
        if (!slice(out.written + 1, text.substr(sliceStart, end - sliceStart))) {
            out.failed = true;
            return false;
        }
        ++out.written;
        sliceStart = end;
        lines = 0;
        return true;
    };
    std::size_t count = 0;
    while (pos < n) {
        // One line with its line end (CR LF, LF or CR).
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = n;
        else if (text[end] == '\r' && end + 1 < n && text[end + 1] == '\n')
            end += 2;
        else
            end += 1;
        const bool full = lines >= SliceLineLimit || end - sliceStart > SliceByteLimit;
        // A slice is only ever cut after at least one line, so an over-long line never leaves
        // an empty slice behind.
        if (full && lines > 0 && !emit(pos))
            return out;
        ++lines;
        pos = end;
        if (++count % 1000 == 0 && progress && !progress(percentOf(pos, n))) {
            out.cancelled = true;
            return out;
        }
    }
    if (lines > 0 || out.written == 0)
        emit(n);
    return out;
}

std::string SliceFileName(const std::string &fileName, int number)
{
    const std::size_t slash = fileName.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return fileName.substr(0, nameStart) + "(SL" + std::to_string(number) + ")" + fileName.substr(nameStart);
}

} // namespace kelpa::spell
