#pragma once
// The small rich-text document model that the RTF reader fills and the writer writes:
// paragraphs of runs, each run one stretch of text with one character format.
//
// Text is UTF-16. Inside a run, '\t' is a tab and U+2028 a line break within the paragraph;
// paragraphs themselves carry no separator character. Lengths are in twips (1/1440 inch),
// font sizes in half points, as RTF counts them.
#include <cstdint>
#include <string>
#include <vector>

namespace kelpa::rtf {

struct Color {
    bool automatic = true; // the reader's default: window text, or no highlight
    std::uint8_t red = 0, green = 0, blue = 0;

    static Color rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return {false, r, g, b}; }
    bool operator==(const Color &o) const
    {
        return automatic == o.automatic &&
               (automatic || (red == o.red && green == o.green && blue == o.blue));
    }
};

struct CharFormat {
    std::u16string fontName; // empty: the document's default font
    int charset = 0;         // RTF font charset of fontName
    int sizeHalfPoints = 24;
    Color color;             // automatic: the window's text colour
    Color highlight;         // automatic: no background
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;     // kept in the document, not shown

    bool operator==(const CharFormat &o) const = default;
};

enum class Alignment { Left, Right, Center, Justify };

struct ParagraphFormat {
    Alignment alignment = Alignment::Left;
    int leftIndent = 0;  // every line
    int rightIndent = 0;
    int firstIndent = 0; // first line, relative to leftIndent (negative: hanging)
    int spaceBefore = 0;
    int spaceAfter = 0;
    bool bullet = false;
    bool pageBreakBefore = false;

    bool operator==(const ParagraphFormat &o) const = default;
};

struct Run {
    std::u16string text;
    CharFormat format;

    bool operator==(const Run &o) const = default;
};

struct Paragraph {
    ParagraphFormat format;
    std::vector<Run> runs;

    std::u16string text() const;
    bool operator==(const Paragraph &o) const = default;
};

// Parts of a file a rich page cannot hold; the reader leaves them out and says which.
namespace Omitted {
enum : unsigned { Footnotes = 1, Headers = 2, Footers = 4, Comments = 8 };
}

struct Document {
    std::vector<Paragraph> paragraphs;
    unsigned omitted = 0; // Omitted flags

    // All paragraphs' text, joined with '\n'.
    std::u16string text() const;
    bool operator==(const Document &o) const = default;
};

// Appends text in a format to a paragraph, joining it to the last run when the format is the same.
void appendText(Paragraph &paragraph, std::u16string_view text, const CharFormat &format);

} // namespace kelpa::rtf
