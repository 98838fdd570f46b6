#include "richedit/rtf/RtfWriter.h"

#include "platform/codepage/CodePage.h"

#include <algorithm>
#include <charconv>

namespace kelpa::rtf {
namespace {

bool plainAscii(char16_t c)
{
    return c >= 0x20 && c < 0x7F && c != u'\\' && c != u'{' && c != u'}';
}

bool isAsciiAlnum(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The code page a reader decodes a font's \\'hh through; 0 for the double-byte ones, whose
// text then goes out as \\uN only.
int codePageOfFont(int charset)
{
    const int cp = codepage::codePageOfCharset(charset);
    if (cp == 0)
        return codepage::Windows1252; // the document's \\ansicpg1252
    return codepage::isKnown(cp) ? cp : 0;
}

} // namespace

RtfStreamWriter::RtfStreamWriter(WriteOptions options) : options_(std::move(options))
{
    fontIndex(options_.defaultFontName, 0);
}

void RtfStreamWriter::declare(const CharFormat &f)
{
    fontIndex(f);
    colorIndex(f.color);
    colorIndex(f.highlight);
}

int RtfStreamWriter::fontIndex(const CharFormat &f)
{
    return fontIndex(f.fontName.empty() ? options_.defaultFontName : f.fontName, f.charset);
}

int RtfStreamWriter::fontIndex(const std::u16string &name, int charset)
{
    auto same = [&](const FontKey &k) { return k.charset == charset && k.name == name; };
    if (lastFont_ >= 0 && same(fonts_[static_cast<std::size_t>(lastFont_)]))
        return lastFont_;
    std::u16string key(1, static_cast<char16_t>(charset));
    key += name;
    const auto [it, added] = fontIndexOf_.try_emplace(std::move(key), static_cast<int>(fonts_.size()));
    if (added)
        fonts_.push_back(FontKey{name, charset});
    lastFont_ = it->second;
    return lastFont_;
}

int RtfStreamWriter::colorIndex(const Color &c)
{
    if (c.automatic)
        return 0;
    const std::uint32_t key = (std::uint32_t{c.red} << 16) | (std::uint32_t{c.green} << 8) | c.blue;
    const auto [it, added] = colorIndexOf_.try_emplace(key, static_cast<int>(colors_.size()) + 1);
    if (added)
        colors_.push_back(c);
    return it->second;
}

void RtfStreamWriter::number(long long v)
{
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    out_.append(buf, res.ptr);
}

void RtfStreamWriter::word(const char *w, long long v)
{
    out_ += w;
    number(v);
}

void RtfStreamWriter::hexByte(std::uint8_t b)
{
    static const char hex[] = "0123456789abcdef";
    out_ += "\\'";
    out_ += hex[b >> 4];
    out_ += hex[b & 15];
    pendingDelimiter_ = false;
}

void RtfStreamWriter::text(std::u16string_view s, int codePage, bool inRun)
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
            const std::size_t at = out_.size();
            out_.resize(at + (j - i));
            for (std::size_t k = i; k < j; ++k)
                out_[at + (k - i)] = static_cast<char>(s[k]);
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
        // Everything else, control characters included, as a Unicode value with a fallback
        // the code page can hold.
        word("\\u", c >= 0x8000 ? static_cast<int>(c) - 0x10000 : static_cast<int>(c));
        out_ += '?';
        pendingDelimiter_ = false;
    }
}

void RtfStreamWriter::begin(std::size_t sizeHint)
{
    out_.reserve(sizeHint + sizeHint / 8 + 256);
    out_ += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033";
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
    if (!colors_.empty()) {
        out_ += "{\\colortbl ;";
        for (const Color &c : colors_) {
            word("\\red", c.red);
            word("\\green", c.green);
            word("\\blue", c.blue);
            out_ += ';';
        }
        out_ += "}\n";
    }
    out_ += "\\viewkind4\\uc1\n";
}

void RtfStreamWriter::beginParagraph(const ParagraphFormat &f, const CharFormat *first)
{
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

    paragraphFirst_ = first ? *first : lastRun_;
    runsInParagraph_ = false;
    if (f.bullet) {
        // Readers that know lists take \\pn; the others show the \\pntext fallback.
        const int font = fontIndex(paragraphFirst_);
        out_ += "{\\pntext";
        word("\\f", font);
        out_ += "\\'95\\tab}{\\*\\pn\\pnlvlblt";
        word("\\pnf", font);
        out_ += "\\pnindent0{\\pntxtb\\'95}}";
        pendingDelimiter_ = false;
    }
}

void RtfStreamWriter::run(std::u16string_view runText, const CharFormat &format)
{
    formatChange(format);
    text(runText, codePageOfFont(format.charset), true);
    runsInParagraph_ = true;
}

void RtfStreamWriter::endParagraph()
{
    if (!runsInParagraph_)
        formatChange(paragraphFirst_);
    out_ += "\\par\n";
    pendingDelimiter_ = false;
}

std::string RtfStreamWriter::finish()
{
    out_ += "}\n";
    return std::move(out_);
}

void RtfStreamWriter::formatChange(const CharFormat &f)
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
    if (initial ? f.hidden : f.hidden != o.hidden)
        out_ += f.hidden ? "\\v" : "\\v0";
    if (out_.size() != before)
        pendingDelimiter_ = true;
    if (initial || !(f == o))
        lastRun_ = f;
    lastRunFont_ = font;
    haveRun_ = true;
}

std::string writeRtf(const Document &document, const WriteOptions &options)
{
    RtfStreamWriter writer(options);
    std::size_t size = 0;
    for (const Paragraph &p : document.paragraphs)
        for (const Run &r : p.runs) {
            writer.declare(r.format);
            size += r.text.size() + 16;
        }
    writer.begin(size);
    for (const Paragraph &p : document.paragraphs) {
        writer.beginParagraph(p.format, p.runs.empty() ? nullptr : &p.runs.front().format);
        for (const Run &r : p.runs)
            writer.run(r.text, r.format);
        writer.endParagraph();
    }
    return writer.finish();
}

} // namespace kelpa::rtf
