#pragma once
// RTF writer: our document model -> RTF that word processors and our reader open with the same
// text and formatting. Characters of the run font's code page go out as \'hh, all others as
// \uN with a '?' fallback.
#include "richedit/rtf/RtfDocument.h"

#include <string>
#include <unordered_map>
#include <string_view>
#include <vector>

namespace kelpa::rtf {

struct WriteOptions {
    // Font written for runs whose fontName is empty.
    std::u16string defaultFontName = u"Arial";
};

std::string writeRtf(const Document &document, const WriteOptions &options = {});

// The same RTF written piece by piece, for callers that hold the text elsewhere:
// declare() every character format first, then begin(), and for each paragraph
// beginParagraph(), run() for each run, endParagraph(); finish() gives the RTF.
class RtfStreamWriter {
public:
    explicit RtfStreamWriter(WriteOptions options = {});
    void declare(const CharFormat &format);
    void begin(std::size_t sizeHint = 0);
    // first: the format of the paragraph's first run, or of its mark when it has none
    // (nullptr: the format before it).
    void beginParagraph(const ParagraphFormat &format, const CharFormat *first);
    void run(std::u16string_view text, const CharFormat &format);
    void endParagraph();
    std::string finish();

private:
    struct FontKey {
        std::u16string name;
        int charset;
    };
    int fontIndex(const CharFormat &f);
    int fontIndex(const std::u16string &name, int charset);
    int colorIndex(const Color &c); // 0 is "automatic"
    void number(long long v);
    void word(const char *w, long long v);
    void hexByte(std::uint8_t b);
    void text(std::u16string_view s, int codePage, bool inRun);
    void formatChange(const CharFormat &f);

    WriteOptions options_;
    std::string out_;
    std::vector<FontKey> fonts_;
    std::unordered_map<std::u16string, int> fontIndexOf_; // charset and name -> index
    std::vector<Color> colors_;
    std::unordered_map<std::uint32_t, int> colorIndexOf_; // 0xRRGGBB -> index
    int lastFont_ = -1;
    CharFormat lastRun_;
    int lastRunFont_ = -1;
    bool haveRun_ = false;
    CharFormat paragraphFirst_;
    bool runsInParagraph_ = false;
    // A control word was written last: the next letter, digit, blank or '-' needs a blank first.
    bool pendingDelimiter_ = false;
};

} // namespace kelpa::rtf
