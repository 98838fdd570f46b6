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

WordExtractor::WordExtractor(std::string_view text, bool ignoreProperNouns)
    : text_(text), ignoreProperNouns_(ignoreProperNouns)
{
}

bool WordExtractor::step()
{
    const std::string_view text = text_;
    const std::size_t n = text.size();
    std::size_t &pos = pos_;
    std::string lower;
    for (std::size_t runs = 0; runs < WordsPerProgress;) {
        while (pos < n && !IsCheckWordChar(static_cast<unsigned char>(text[pos])))
            ++pos;
        if (pos >= n)
            return false;
        const std::size_t start = pos;
        bool foreign = false;
        while (pos < n && IsCheckWordChar(static_cast<unsigned char>(text[pos]))) {
            foreign = foreign || static_cast<unsigned char>(text[pos]) == ForeignLetter;
            ++pos;
        }
        ++runs;
        const std::string_view word = text.substr(start, pos - start);
        if (foreign || word.size() < 2 || word.size() >= MergeWordLimit)
            continue;
        if (word.front() == '-' || word.back() == '-')
            continue;
        if (ignoreProperNouns_ && IsCapitalLetter(static_cast<unsigned char>(word.front())))
            continue;
        lower = AnsiLowerCase(word);
        if (!seen_.insert(lower).second)
            continue;
        out_.list.append(lower);
        out_.list.push_back('\r');
        ++out_.words;
    }
    return true;
}

int WordExtractor::percent() const
{
    return percentOf(pos_, text_.size());
}

ExtractedWords WordExtractor::take()
{
    ExtractedWords out = std::move(out_);
    out_ = {};
    out.list.push_back('\0');
    return out;
}

ExtractedWords ExtractWords(std::string_view text, bool ignoreProperNouns, const Progress &progress)
{
    WordExtractor extractor(text, ignoreProperNouns);
    while (extractor.step())
        if (progress && !progress(extractor.percent())) {
            ExtractedWords out;
            out.cancelled = true;
            return out;
        }
    return extractor.take();
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

bool TextSplitter::emitSlice(std::size_t end)
{
    if (!slice_(out_.written + 1, text_.substr(sliceStart_, end - sliceStart_))) {
        out_.failed = true;
        return false;
    }
    ++out_.written;
    sliceStart_ = end;
    lines_ = 0;
    return true;
}

bool TextSplitter::step()
{
    const std::string_view text = text_;
    const std::size_t n = text.size();
    if (out_.failed)
        return false;
    for (int count = 0; count < 1000; ++count) {
        if (pos_ >= n) {
            if (lines_ > 0 || out_.written == 0)
                emitSlice(n);
            return false;
        }
        // One line with its line end (CR LF, LF or CR).
        std::size_t end = text.find_first_of("\r\n", pos_);
        if (end == std::string_view::npos)
            end = n;
        else if (text[end] == '\r' && end + 1 < n && text[end + 1] == '\n')
            end += 2;
        else
            end += 1;
        const bool full = lines_ >= SliceLineLimit || end - sliceStart_ > SliceByteLimit;
        // A slice is only ever cut after at least one line, so an over-long line never leaves
        // an empty slice behind.
        if (full && lines_ > 0 && !emitSlice(pos_))
            return false;
        ++lines_;
        pos_ = end;
    }
    return true;
}

int TextSplitter::percent() const
{
    return percentOf(pos_, text_.size());
}

SplitOutcome SplitText(std::string_view text, const SliceWriter &slice, const Progress &progress)
{
    TextSplitter splitter(text, slice);
    while (splitter.step())
        if (progress && !progress(splitter.percent())) {
            SplitOutcome out = splitter.outcome();
            out.cancelled = true;
            return out;
        }
    return splitter.outcome();
}

std::string SliceFileName(const std::string &fileName, int number)
{
    const std::size_t slash = fileName.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return fileName.substr(0, nameStart) + "(SL" + std::to_string(number) + ")" + fileName.substr(nameStart);
}

} // namespace kelpa::spell
