#include "platform/richedit/rtf/RtfWriter.h"

#include "platform/codepage/CodePage.h"

#include <algorithm>
#include <charconv>

namespace kelpa::rtf {
namespace {

struct FontKey {
    std::u16string name;
    int charset;
    bool operator==(const FontKey &o) const = default;
};

class Writer {
public:
    Writer(const Document &doc, const WriteOptions &options) : doc_(doc), options_(options) {}

    std::string write()
    {
        collectTables();
        std::size_t estimate = 256;
        for (const Paragraph &p : doc_.paragraphs)
            for (const Run &r : p.runs)
                estimate += r.text.size() + 16;
        out_.reserve(estimate + estimate / 8);

        out_ += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033";
        writeFontTable();
        writeColorTable();
        out_ += "\\viewkind4\\uc1\n";
        for (const Paragraph &p : doc_.paragraphs)
            writeParagraph(p);
        out_ += "}\n";
        return std::move(out_);
    }

private:
    int fontIndex(const CharFormat &f)
    {
        return fontIndex(f.fontName.empty() ? options_.defaultFontName : f.fontName, f.charset);
    }

    int fontIndex(const std::u16string &name, int charset)
    {
        auto same = [&](const FontKey &k) { return k.charset == charset && k.name == name; };
        if (lastFont_ >= 0 && same(fonts_[static_cast<std::size_t>(lastFont_)]))
            return lastFont_;
        auto it = std::find_if(fonts_.begin(), fonts_.end(), same);
        if (it == fonts_.end()) {
            fonts_.push_back(FontKey{name, charset});
            it = fonts_.end() - 1;
        }
        lastFont_ = static_cast<int>(it - fonts_.begin());
        return lastFont_;
    }

    // Index in the colour table; 0 is "automatic".
    int colorIndex(const Color &c)
    {
        if (c.automatic)
            return 0;
        auto it = std::find(colors_.begin(), colors_.end(), c);
        if (it == colors_.end()) {
            colors_.push_back(c);
            it = colors_.end() - 1;
        }
        return static_cast<int>(it - colors_.begin()) + 1;
    }

    void collectTables()
    {
        fontIndex(options_.defaultFontName, 0);
        for (const Paragraph &p : doc_.paragraphs)
            for (const Run &r : p.runs) {
                fontIndex(r.format);
                colorIndex(r.format.color);
                colorIndex(r.format.highlight);
            }
    }

    void number(long long v)
    {
        char buf[24];
        auto res = std::to_chars(buf, buf + sizeof buf, v);
        out_.append(buf, res.ptr);
    }

    void word(const char *w, long long v)
    {
        out_ += w;
        number(v);
    }

    static bool plainAscii(char16_t c)
    {
        return c >= 0x20 && c < 0x7F && c != u'\\' && c != u'{' && c != u'}';
    }

    // Text of a font name or a run, through the code page of its charset.
    void text(std::u16string_view s, int codePage, bool inRun)
    {
        std::size_t i = 0;
        const std::size_t n = s.size();
        while (i < n) {
            // Fast path: stretches of plain ASCII go out as they are.
            std::size_t j = i;
            while (j < n && plainAscii(s[j]) && (inRun || s[j] != u';'))
                ++j;
            if (j > i) {
                if (pendingDelimiter_ && (isAsciiAlnum(s[i]) || s[i] == u' ' || s[i] == u'-'))
                    out_ += ' ';
                out_.reserve(out_.size() + (j - i));
                for (std::size_t k = i; k < j; ++k)
                    out_.push_back(static_cast<char>(s[k]));
                pendingDelimiter_ = false;
                i = j;
                if (i >= n)
                    break;
            }
            const char16_t c = s[i++];
            switch (c) {
            case u'\\': out_ += "\\\\"; pendingDelimiter_ = false; continue;
            case u'{': out_ += "\\{"; pendingDelimiter_ = false; continue;
            case u'}': out_ += "\\}"; pendingDelimiter_ = false; continue;
            case u';': hexByte(0x3B); continue; // only font names get here
            case u'\t':
                if (inRun) {
                    out_ += "\\tab";
                    pendingDelimiter_ = true;
                    continue;
                }
                break;
            case 0x2028:
                if (inRun) {
                    out_ += "\\line";
                    pendingDelimiter_ = true;
                    continue;
                }
                break;
            case 0x00A0: out_ += "\\~"; pendingDelimiter_ = false; continue;
            case 0x00AD: out_ += "\\-"; pendingDelimiter_ = false; continue;
            case 0x2011: out_ += "\\_"; pendingDelimiter_ = false; continue;
            default: break;
            }
            std::uint8_t byte;
            if (c >= 0x80 && codePage != 0 && codepage::encodeChar(codePage, c, byte)) {
                hexByte(byte);
                continue;
            }
            // Everything else, control characters included, as a Unicode value with a
            // fallback the code page can hold.
            word("\\u", c >= 0x8000 ? static_cast<int>(c) - 0x10000 : static_cast<int>(c));
            out_ += '?';
            pendingDelimiter_ = false;
        }
    }

    static bool isAsciiAlnum(char16_t c)
    {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    }

    void hexByte(std::uint8_t b)
    {
        static const char hex[] = "0123456789abcdef";
        out_ += "\\'";
        out_ += hex[b >> 4];
        out_ += hex[b & 15];
        pendingDelimiter_ = false;
    }

    // The code page a reader decodes this font's \'hh through; 0 for the double-byte ones,
    // whose text then goes out as \uN only.
    static int codePageOfFont(int charset)
    {
        const int cp = codepage::codePageOfCharset(charset);
        if (cp == 0)
            return codepage::Windows1252; // the document's \ansicpg1252
        return codepage::isKnown(cp) ? cp : 0;
    }

    void writeFontTable()
    {
        out_ += "{\\fonttbl";
        for (std::size_t i = 0; i < fonts_.size(); ++i) {
            word("{\\f", static_cast<long long>(i));
            out_ += "\\fnil";
            word("\\fcharset", fonts_[i].charset);
            out_ += ' ';
            pendingDelimiter_ = false;
            text(fonts_[i].name, codePageOfFont(fonts_[i].charset), false);
            out_ += ";}";
        }
        out_ += "}\n";
    }

    void writeColorTable()
    {
        if (colors_.empty())
            return;
        out_ += "{\\colortbl ;";
        for (const Color &c : colors_) {
            word("\\red", c.red);
            word("\\green", c.green);
            word("\\blue", c.blue);
            out_ += ';';
        }
        out_ += "}\n";
    }

    void writeParagraph(const Paragraph &p)
    {
        const ParagraphFormat &f = p.format;
        out_ += "\\pard";
        if (f.pageBreakBefore)
            out_ += "\\pagebb";
        switch (f.alignment) {
        case Alignment::Left: break;
        case Alignment::Right: out_ += "\\qr"; break;
        case Alignment::Center: out_ += "\\qc"; break;
        case Alignment::Justify: out_ += "\\qj"; break;
        }
        if (f.firstIndent != 0)
            word("\\fi", f.firstIndent);
        if (f.leftIndent != 0)
            word("\\li", f.leftIndent);
        if (f.rightIndent != 0)
            word("\\ri", f.rightIndent);
        if (f.spaceBefore != 0)
            word("\\sb", f.spaceBefore);
        if (f.spaceAfter != 0)
            word("\\sa", f.spaceAfter);
        pendingDelimiter_ = true;

        const CharFormat first = p.runs.empty() ? lastRun_ : p.runs.front().format;
        if (f.bullet) {
            // Readers that know lists take \pn; the others show the \pntext fallback.
            const int font = fontIndex(first);
            out_ += "{\\pntext";
            word("\\f", font);
            out_ += "\\'95\\tab}{\\*\\pn\\pnlvlblt";
            word("\\pnf", font);
            out_ += "\\pnindent0{\\pntxtb\\'95}}";
            pendingDelimiter_ = false;
        }
        for (const Run &r : p.runs) {
            formatChange(r.format);
            text(r.text, codePageOfFont(r.format.charset), true);
        }
        if (p.runs.empty())
            formatChange(first);
        out_ += "\\par\n";
        pendingDelimiter_ = false;
    }

    void formatChange(const CharFormat &f)
    {
        const std::size_t before = out_.size();
        const bool initial = !haveRun_;
        const CharFormat &o = lastRun_;
        const int font = fontIndex(f);
        if (initial || font != lastRunFont_)
            word("\\f", font);
        if (initial || f.sizeHalfPoints != o.sizeHalfPoints)
            word("\\fs", f.sizeHalfPoints);
        if (initial || !(f.color == o.color))
            word("\\cf", colorIndex(f.color));
        if (initial || !(f.highlight == o.highlight))
            word("\\highlight", colorIndex(f.highlight));
        if (initial ? f.bold : f.bold != o.bold)
            out_ += f.bold ? "\\b" : "\\b0";
        if (initial ? f.italic : f.italic != o.italic)
            out_ += f.italic ? "\\i" : "\\i0";
        if (initial ? f.underline : f.underline != o.underline)
            out_ += f.underline ? "\\ul" : "\\ulnone";
        if (initial ? f.strike : f.strike != o.strike)
            out_ += f.strike ? "\\strike" : "\\strike0";
        if (out_.size() != before)
            pendingDelimiter_ = true;
        lastRun_ = f;
        lastRunFont_ = font;
        haveRun_ = true;
    }

    const Document &doc_;
    const WriteOptions &options_;
    std::string out_;
    std::vector<FontKey> fonts_;
    std::vector<Color> colors_;
    int lastFont_ = -1;
    CharFormat lastRun_;
    int lastRunFont_ = -1;
    bool haveRun_ = false;
    // A control word was written last: the next letter, digit or blank needs a space first.
    bool pendingDelimiter_ = false;
};

} // namespace

std::string writeRtf(const Document &document, const WriteOptions &options)
{
    return Writer(document, options).write();
}

} // namespace kelpa::rtf
