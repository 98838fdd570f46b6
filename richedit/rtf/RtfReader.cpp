#include "richedit/rtf/RtfReader.h"

#include "platform/codepage/CodePage.h"

#include <algorithm>
#include <climits>
#include <string>
#include <unordered_map>
#include <vector>

namespace kelpa::rtf {

bool looksLikeRtf(std::string_view bytes)
{
    return bytes.starts_with("{\\rtf");
}

namespace {

// Groups deeper than this share the state of the deepest one; braces are still counted.
constexpr int kMaxDepth = 1000;
// Lengths beyond this (22 inches in twips) are nonsense; they are clamped.
constexpr int kMaxTwips = 31680;

enum class Dest {
    Body,        // document text
    Skip,        // everything up to the group's end is dropped
    FontTable,
    ColorTable,
    ListTable,
    OverrideTable,
    Pn,          // old-style paragraph numbering description
    Fallback,    // \pntext / \listtext: list marker text for readers without lists
    Drawing,     // a shape or drawing object: its text box is read, nothing else
};

enum class ListKind { None, Bullet, Other };

struct ParaState {
    ParagraphFormat format;
    ListKind pn = ListKind::None;
    int ls = 0;
    int level = 0;
};

struct State {
    Dest dest = Dest::Body;
    CharFormat chr;
    int font = -1; // -1: the default font
    ParaState para;
    int uc = 1;
    ListKind pnKind = ListKind::None; // inside a \pn group
    bool fontEntryOpen = false;       // the font table entry begun in this group
    bool textBox = false;             // this group holds a text box's text
};

struct FontInfo {
    std::u16string name;
    int charset = 0;
    int codePage = 0; // from \cpg, 0 when not given
    bool hasCharset = false; // without \fcharset the document's code page applies
};

struct ListInfo {
    int id = 0;
    std::vector<int> levelFormats; // \levelnfc of each level; 23 is a bullet
};

enum Word : int {
    W_Unknown,
    // destinations
    W_Rtf, W_FontTbl, W_ColorTbl, W_ListTable, W_ListOverrideTable, W_Pn, W_PnText, W_ListText,
    W_SkipDest, W_ResultDest, W_DrawingDest, W_TextBox, W_Header, W_Footer, W_Footnote,
    W_Comment,
    // document
    W_Ansi, W_Mac, W_Pc, W_Pca, W_AnsiCpg, W_Deff, W_Uc, W_U, W_Bin,
    // font and colour tables
    W_F, W_FCharset, W_Cpg, W_Red, W_Green, W_Blue,
    // lists
    W_List, W_ListLevel, W_LevelNfc, W_ListId, W_ListOverride, W_Ls, W_Ilvl, W_PnLvlBlt,
    W_PnNumbered,
    // characters
    W_Plain, W_B, W_I, W_V, W_Ul, W_UlNone, W_Strike, W_Fs, W_Cf, W_Highlight, W_Cb,
    // paragraphs
    W_Pard, W_Ql, W_Qc, W_Qr, W_Qj, W_Li, W_Ri, W_Fi, W_Sb, W_Sa, W_PageBB,
    // special characters and breaks
    W_Par, W_Line, W_Tab, W_Page, W_Sect, W_Cell, W_Row, W_Char,
};

struct WordInfo {
    Word word;
    char16_t ch = 0; // for W_Char
};

const std::unordered_map<std::string_view, WordInfo> &wordTable()
{
    static const std::unordered_map<std::string_view, WordInfo> table = [] {
        std::unordered_map<std::string_view, WordInfo> t;
        auto add = [&](std::string_view name, Word w, char16_t ch = 0) { t[name] = {w, ch}; };
        add("rtf", W_Rtf);
        add("fonttbl", W_FontTbl);
        add("colortbl", W_ColorTbl);
        add("listtable", W_ListTable);
        add("listoverridetable", W_ListOverrideTable);
        add("pn", W_Pn);
        add("pntext", W_PnText);
        add("listtext", W_ListText);
        for (std::string_view d :
             {"stylesheet", "info", "pict", "fldinst", "xe", "tc", "txe", "rxe", "objdata",
              "filetbl", "revtbl", "template", "pntxta", "pntxtb", "themedata",
              "colorschememapping", "latentstyles", "datastore", "xmlnstbl", "rsidtbl",
              "generator", "listpicture", "nonshppict", "userprops", "docvar", "bkmkstart",
              "bkmkend", "private", "fchars", "lchars", "pgdsctbl", "atnid", "atnauthor",
              "atrfstart", "atrfend", "mmathPr", "background", "comment", "title", "author",
              "operator", "keywords", "subject", "doccomm",
              // shape properties, the picture standing in for a shape, the flat copy of
              // nested tables for readers that know none
              "sp", "sn", "sv", "shprslt", "nonesttables"})
            add(d, W_SkipDest);
        for (std::string_view d : {"header", "headerl", "headerr", "headerf"})
            add(d, W_Header);
        for (std::string_view d : {"footer", "footerl", "footerr", "footerf"})
            add(d, W_Footer);
        add("footnote", W_Footnote);
        add("annotation", W_Comment);
        for (std::string_view d : {"fldrslt", "result", "field", "object"})
            add(d, W_ResultDest);
        for (std::string_view d : {"shp", "shpgrp", "shpinst", "do"})
            add(d, W_DrawingDest);
        add("shptxt", W_TextBox);
        add("dptxbxtext", W_TextBox);
        add("ansi", W_Ansi);
        add("mac", W_Mac);
        add("pc", W_Pc);
        add("pca", W_Pca);
        add("ansicpg", W_AnsiCpg);
        add("deff", W_Deff);
        add("uc", W_Uc);
        add("u", W_U);
        add("bin", W_Bin);
        add("f", W_F);
        add("fcharset", W_FCharset);
        add("cpg", W_Cpg);
        add("red", W_Red);
        add("green", W_Green);
        add("blue", W_Blue);
        add("list", W_List);
        add("listlevel", W_ListLevel);
        add("levelnfc", W_LevelNfc);
        add("levelnfcn", W_LevelNfc);
        add("listid", W_ListId);
        add("listoverride", W_ListOverride);
        add("ls", W_Ls);
        add("ilvl", W_Ilvl);
        add("pnlvlblt", W_PnLvlBlt);
        for (std::string_view d : {"pnlvlbody", "pnlvlcont", "pnlvl", "pndec", "pnucltr",
                                   "pnucrm", "pnlcltr", "pnlcrm", "pnord", "pncard"})
            add(d, W_PnNumbered);
        add("plain", W_Plain);
        add("b", W_B);
        add("i", W_I);
        add("v", W_V);
        for (std::string_view d :
             {"ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave", "ulldash", "ulth",
              "ulthd", "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave", "ulw",
              "ulwave"})
            add(d, W_Ul);
        add("ulnone", W_UlNone);
        add("strike", W_Strike);
        add("striked", W_Strike);
        add("fs", W_Fs);
        add("cf", W_Cf);
        add("highlight", W_Highlight);
        add("cb", W_Cb);
        add("chcbpat", W_Cb);
        add("pard", W_Pard);
        add("ql", W_Ql);
        add("qc", W_Qc);
        add("qr", W_Qr);
        add("qj", W_Qj);
        add("qd", W_Qj);
        add("li", W_Li);
        add("lin", W_Li);
        add("ri", W_Ri);
        add("rin", W_Ri);
        add("fi", W_Fi);
        add("sb", W_Sb);
        add("sa", W_Sa);
        add("pagebb", W_PageBB);
        add("par", W_Par);
        add("line", W_Line);
        add("lbr", W_Line);
        add("tab", W_Tab);
        add("page", W_Page);
        add("sect", W_Sect);
        add("cell", W_Cell);
        add("nestcell", W_Cell);
        add("row", W_Row);
        add("nestrow", W_Row);
        add("emdash", W_Char, 0x2014);
        add("endash", W_Char, 0x2013);
        add("emspace", W_Char, 0x2003);
        add("enspace", W_Char, 0x2002);
        add("qmspace", W_Char, 0x2005);
        add("bullet", W_Char, 0x2022);
        add("lquote", W_Char, 0x2018);
        add("rquote", W_Char, 0x2019);
        add("ldblquote", W_Char, 0x201C);
        add("rdblquote", W_Char, 0x201D);
        add("zwj", W_Char, 0x200D);
        add("zwnj", W_Char, 0x200C);
        add("ltrmark", W_Char, 0x200E);
        add("rtlmark", W_Char, 0x200F);
        return t;
    }();
    return table;
}

int clampInt(long long v, int lo, int hi)
{
    return static_cast<int>(std::clamp<long long>(v, lo, hi));
}

class Reader {
public:
    explicit Reader(std::string_view data)
        : p_(reinterpret_cast<const unsigned char *>(data.data())), n_(data.size())
    {
        stack_.emplace_back();
        stack_.back().dest = Dest::Body;
    }

    Document read()
    {
        bool started = false;
        while (pos_ < n_ && !done_) {
            const unsigned char c = p_[pos_];
            if (c == '{') {
                ++pos_;
                if (!started) {
                    started = true; // the document's own group
                    continue;
                }
                openGroup();
            } else if (c == '}') {
                ++pos_;
                closeGroup();
            } else if (c == '\\') {
                controlWord();
            } else if (c == '\r' || c == '\n') {
                ++pos_;
            } else {
                textBytes();
            }
        }
        finishDocument();
        return std::move(doc_);
    }

private:
    State &top() { return stack_.back(); }

    // ---- groups

    void openGroup()
    {
        skipFallback_ = 0;
        if (overflow_ > 0 || static_cast<int>(stack_.size()) >= kMaxDepth) {
            ++overflow_;
            return;
        }
        State copy = top();
        copy.fontEntryOpen = false;
        copy.textBox = false;
        stack_.push_back(std::move(copy));
        starPending_ = false;
        formatDirty_ = true;
    }

    void closeGroup()
    {
        skipFallback_ = 0;
        starPending_ = false;
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        if (stack_.size() <= 1) {
            done_ = true; // the document's group ends here
            return;
        }
        // A text box's text stands in paragraphs of its own.
        if (stack_.back().textBox && !paragraphEmpty()) {
            finishParagraph();
            afterTextBox_ = true;
        }
        if (leadByte_ != 0) {
            leadByte_ = 0; // the pair's second byte never came
            character(0xFFFD);
        }
        State closing = std::move(stack_.back());
        stack_.pop_back();
        if (closing.dest == Dest::FontTable && closing.fontEntryOpen)
            commitFont();
        if (closing.dest == Dest::Pn && top().dest != Dest::Pn)
            top().para.pn = closing.pnKind == ListKind::None ? ListKind::Other : closing.pnKind;
        formatDirty_ = true;
    }

    // ---- control words

    void controlWord()
    {
        ++pos_; // the backslash
        if (pos_ >= n_)
            return;
        const unsigned char c = p_[pos_];
        if (!isAlpha(c)) {
            ++pos_;
            controlSymbol(c);
            return;
        }
        const std::size_t start = pos_;
        while (pos_ < n_ && isAlpha(p_[pos_]))
            ++pos_;
        const std::string_view name(reinterpret_cast<const char *>(p_ + start), pos_ - start);
        bool hasParam = false;
        long long param = 0;
        bool negative = false;
        if (pos_ + 1 < n_ && p_[pos_] == '-' && isDigit(p_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        while (pos_ < n_ && isDigit(p_[pos_])) {
            hasParam = true;
            if (param < 100000000000LL)
                param = param * 10 + (p_[pos_] - '0');
            ++pos_;
        }
        if (negative)
            param = -param;
        if (pos_ < n_ && p_[pos_] == ' ')
            ++pos_;

        const auto &table = wordTable();
        const auto it = table.find(name);
        const WordInfo info = it == table.end() ? WordInfo{W_Unknown} : it->second;

        if (info.word == W_Bin) {
            // Raw data, whatever the state; it counts as one fallback character.
            const std::size_t len = hasParam && param > 0 ? static_cast<std::size_t>(param) : 0;
            pos_ += std::min(len, n_ - pos_);
            if (skipFallback_ > 0)
                --skipFallback_;
            return;
        }
        if (skipFallback_ > 0) {
            --skipFallback_;
            return;
        }
        if (starPending_) {
            starPending_ = false;
            if (info.word != W_ListTable && info.word != W_ListOverrideTable &&
                info.word != W_Pn && info.word != W_DrawingDest && info.word != W_TextBox &&
                info.word != W_Header && info.word != W_Footer && info.word != W_Footnote &&
                info.word != W_Comment) {
                top().dest = Dest::Skip;
                return;
            }
        }
        if (top().dest == Dest::Skip)
            return;
        apply(info, hasParam, param);
    }

    void controlSymbol(unsigned char c)
    {
        if (c == '\'') {
            int value = 0;
            int digits = 0;
            while (digits < 2 && pos_ < n_ && hexValue(p_[pos_]) >= 0) {
                value = value * 16 + hexValue(p_[pos_]);
                ++pos_;
                ++digits;
            }
            if (digits == 0)
                return;
            if (skipFallback_ > 0) {
                --skipFallback_;
                return;
            }
            // An escaped ';' in a font name is part of the name, not its end.
            if (top().dest == Dest::FontTable)
                character(codepage::decodeByte(entryCodePage(), static_cast<std::uint8_t>(value)));
            else if (top().dest != Dest::Skip)
                byte(static_cast<unsigned char>(value));
            return;
        }
        if (c == '*') {
            if (skipFallback_ > 0) {
                --skipFallback_;
                return;
            }
            starPending_ = true;
            return;
        }
        if (skipFallback_ > 0) {
            --skipFallback_;
            return;
        }
        if (top().dest == Dest::Skip)
            return;
        switch (c) {
        case '\\':
        case '{':
        case '}':
            character(c);
            break;
        case '~': character(0x00A0); break;
        case '-': character(0x00AD); break;
        case '_': character(0x2011); break;
        case '\r':
        case '\n': apply({W_Par}, false, 0); break;
        case '\t': character(u'\t'); break;
        default: break; // \: \| and the like: nothing we show
        }
    }

    void apply(const WordInfo &info, bool hasParam, long long param)
    {
        State &s = top();
        // Destinations, the document, the tables and lists: wherever the word stands.
        if (applyDestination(s, info.word) || applyDocument(s, info.word, hasParam, param) ||
            applyTableEntry(s, info.word, param) || applyList(s, info.word, param))
            return;
        // Formatting and text below: only where text goes.
        if (s.dest != Dest::Body && s.dest != Dest::Fallback)
            return;
        if (!applyCharacterFormat(s, info.word, hasParam, param) &&
            !applyParagraphFormat(s, info.word, hasParam, param))
            applyBreakOrCharacter(s, info);
        formatDirty_ = true;
    }

    // The groups of control words: each returns whether the word is one of its own.

    // Words that start a destination: the rest of their group goes to a table, is dropped or
    // is read as text.
    bool applyDestination(State &s, Word word)
    {
        switch (word) {
        case W_FontTbl:
            s.dest = Dest::FontTable;
            return true;
        case W_ColorTbl:
            s.dest = Dest::ColorTable;
            return true;
        case W_ListTable:
            s.dest = Dest::ListTable;
            return true;
        case W_ListOverrideTable:
            s.dest = Dest::OverrideTable;
            return true;
        case W_Pn:
            s.dest = Dest::Pn;
            s.pnKind = ListKind::None;
            return true;
        case W_PnText:
        case W_ListText:
            if (s.dest == Dest::Body) {
                s.dest = Dest::Fallback;
                if (!fallbackPending_)
                    fallbackAt_ = currentLength();
                fallbackPending_ = true;
            }
            return true;
        case W_SkipDest:
            s.dest = Dest::Skip;
            return true;
        case W_Header:
        case W_Footer:
        case W_Footnote:
        case W_Comment:
            doc_.omitted |= word == W_Header   ? Omitted::Headers
                            : word == W_Footer ? Omitted::Footers
                            : word == W_Footnote ? Omitted::Footnotes
                                                 : Omitted::Comments;
            s.dest = Dest::Skip;
            return true;
        case W_DrawingDest:
            if (s.dest == Dest::Body || s.dest == Dest::Fallback)
                s.dest = Dest::Drawing;
            return true;
        case W_TextBox:
            if (s.dest == Dest::Drawing || s.dest == Dest::Body) {
                if (!paragraphEmpty())
                    finishParagraph();
                s.dest = Dest::Body;
                s.textBox = true;
            }
            return true;
        case W_ResultDest:
            return true;
        default:
            return false;
        }
    }

    // The document's character set and default font, Unicode characters and their fallbacks;
    // unknown words change nothing.
    bool applyDocument(State &s, Word word, bool hasParam, long long param)
    {
        switch (word) {
        case W_Unknown:
        case W_Rtf:
        case W_Bin: // its data is skipped where it is read
            return true;
        case W_Ansi: docCodePage_ = 1252; return true;
        case W_Mac: docCodePage_ = 10000; return true;
        case W_Pc: docCodePage_ = 437; return true;
        case W_Pca: docCodePage_ = 850; return true;
        case W_AnsiCpg:
            // \ansicpg0 is written by some tools: it means no particular code page.
            docCodePage_ = hasParam && param > 0 && param < 100000 ? static_cast<int>(param) : 1252;
            formatDirty_ = true;
            return true;
        case W_Deff:
            defaultFont_ = clampInt(param, INT_MIN, INT_MAX);
            formatDirty_ = true;
            return true;
        case W_Uc:
            s.uc = clampInt(param, 0, 255);
            return true;
        case W_U: {
            long long v = param;
            if (v < 0)
                v += 65536;
            skipFallback_ = s.uc;
            character(v >= 0 && v <= 0xFFFF ? static_cast<char16_t>(v) : char16_t(0xFFFD));
            return true;
        }
        default:
            return false;
        }
    }

    // Entries of the font and colour tables; \f outside the font table picks the text's font.
    bool applyTableEntry(State &s, Word word, long long param)
    {
        switch (word) {
        case W_F:
            if (s.dest == Dest::FontTable) {
                if (s.fontEntryOpen || entryOpen_)
                    commitFont();
                entry_ = FontInfo{};
                entryNumber_ = clampInt(param, INT_MIN, INT_MAX);
                entryOpen_ = true;
                s.fontEntryOpen = true;
            } else {
                s.font = clampInt(param, INT_MIN, INT_MAX);
                formatDirty_ = true;
            }
            return true;
        case W_FCharset:
            if (s.dest == Dest::FontTable) {
                entry_.charset = clampInt(param, 0, 255);
                entry_.hasCharset = true;
            }
            return true;
        case W_Cpg:
            if (s.dest == Dest::FontTable)
                entry_.codePage = clampInt(param, 0, 100000);
            return true;
        case W_Red:
        case W_Green:
        case W_Blue:
            if (s.dest == Dest::ColorTable) {
                const auto v = static_cast<std::uint8_t>(clampInt(param, 0, 255));
                (word == W_Red ? colorEntry_.red : word == W_Green ? colorEntry_.green : colorEntry_.blue) = v;
                colorEntry_.automatic = false;
            }
            return true;
        default:
            return false;
        }
    }

    // The list and override tables, a paragraph's list and level, old-style numbering.
    bool applyList(State &s, Word word, long long param)
    {
        switch (word) {
        case W_List:
            if (s.dest == Dest::ListTable)
                lists_.emplace_back();
            return true;
        case W_ListLevel:
            if (s.dest == Dest::ListTable && !lists_.empty())
                lists_.back().levelFormats.push_back(0);
            return true;
        case W_LevelNfc:
            if (s.dest == Dest::ListTable && !lists_.empty() && !lists_.back().levelFormats.empty())
                lists_.back().levelFormats.back() = clampInt(param, 0, 255);
            return true;
        case W_ListId:
            if (s.dest == Dest::ListTable && !lists_.empty()) {
                lists_.back().id = clampInt(param, INT_MIN, INT_MAX);
                listById_.emplace(lists_.back().id, lists_.size() - 1);
            }
            else if (s.dest == Dest::OverrideTable)
                overrideListId_ = clampInt(param, INT_MIN, INT_MAX);
            return true;
        case W_ListOverride:
            if (s.dest == Dest::OverrideTable)
                overrideListId_ = 0;
            return true;
        case W_Ls:
            if (s.dest == Dest::OverrideTable) {
                overrides_[clampInt(param, INT_MIN, INT_MAX)] = overrideListId_;
            } else {
                s.para.ls = clampInt(param, INT_MIN, INT_MAX);
            }
            return true;
        case W_Ilvl:
            s.para.level = clampInt(param, 0, 8);
            return true;
        case W_PnLvlBlt:
            if (s.dest == Dest::Pn)
                s.pnKind = ListKind::Bullet;
            return true;
        case W_PnNumbered:
            if (s.dest == Dest::Pn && s.pnKind == ListKind::None)
                s.pnKind = ListKind::Other;
            return true;
        default:
            return false;
        }
    }

    bool applyCharacterFormat(State &s, Word word, bool hasParam, long long param)
    {
        CharFormat &chr = s.chr;
        const bool on = !hasParam || param != 0;
        switch (word) {
        case W_Plain:
            chr = CharFormat{};
            s.font = -1;
            return true;
        case W_B: chr.bold = on; return true;
        case W_I: chr.italic = on; return true;
        case W_V: chr.hidden = on; return true;
        case W_Ul: chr.underline = on; return true;
        case W_UlNone: chr.underline = false; return true;
        case W_Strike: chr.strike = on; return true;
        case W_Fs:
            chr.sizeHalfPoints = hasParam && param > 0 ? clampInt(param, 2, 3276) : 24;
            return true;
        case W_Cf: chr.color = colorAt(param); return true;
        case W_Highlight:
        case W_Cb: chr.highlight = hasParam && param > 0 ? colorAt(param) : Color{}; return true;
        default:
            return false;
        }
    }

    bool applyParagraphFormat(State &s, Word word, bool hasParam, long long param)
    {
        ParagraphFormat &para = s.para.format;
        const bool on = !hasParam || param != 0;
        switch (word) {
        case W_Pard:
            if (s.dest == Dest::Body)
                s.para = ParaState{};
            return true;
        case W_Ql: para.alignment = Alignment::Left; return true;
        case W_Qc: para.alignment = Alignment::Center; return true;
        case W_Qr: para.alignment = Alignment::Right; return true;
        case W_Qj: para.alignment = Alignment::Justify; return true;
        case W_Li: para.leftIndent = clampInt(param, -kMaxTwips, kMaxTwips); return true;
        case W_Ri: para.rightIndent = clampInt(param, -kMaxTwips, kMaxTwips); return true;
        case W_Fi: para.firstIndent = clampInt(param, -kMaxTwips, kMaxTwips); return true;
        case W_Sb: para.spaceBefore = clampInt(param, 0, kMaxTwips); return true;
        case W_Sa: para.spaceAfter = clampInt(param, 0, kMaxTwips); return true;
        case W_PageBB: para.pageBreakBefore = on; return true;
        default:
            return false;
        }
    }

    // Paragraph, section and page breaks, and the words that stand for a character.
    void applyBreakOrCharacter(State &s, const WordInfo &info)
    {
        switch (info.word) {
        case W_Par:
        case W_Row:
            // The paragraph a text box ended is not followed by an empty one.
            if (s.dest == Dest::Body && !(afterTextBox_ && paragraphEmpty()))
                finishParagraph();
            afterTextBox_ = false;
            break;
        case W_Sect:
            if (s.dest == Dest::Body && !paragraphEmpty())
                finishParagraph();
            break;
        case W_Page:
            if (s.dest == Dest::Body) {
                if (!paragraphEmpty())
                    finishParagraph();
                pageBreakPending_ = true;
            }
            break;
        case W_Line: character(0x2028); break;
        case W_Tab:
        case W_Cell: character(u'\t'); break;
        case W_Char: character(info.ch); break;
        default: break;
        }
    }

    // Entry of the colour table; entry 0 is normally the empty "automatic" one.
    Color colorAt(long long index) const
    {
        if (index < 0 || index >= static_cast<long long>(colors_.size()))
            return Color{};
        return colors_[static_cast<std::size_t>(index)];
    }

    // ---- text

    void textBytes()
    {
        State &s = top();
        if (s.dest == Dest::Body && skipFallback_ == 0 && leadByte_ == 0) {
            // Plain ASCII goes straight into the pending text.
            const std::size_t start = pos_;
            while (pos_ < n_) {
                const unsigned char c = p_[pos_];
                if (c < 0x20 || c >= 0x80 || c == '\\' || c == '{' || c == '}')
                    break;
                ++pos_;
            }
            if (pos_ > start) {
                starPending_ = false;
                prepareText();
                pending_.append(p_ + start, p_ + pos_);
                return;
            }
        }
        const unsigned char c = p_[pos_++];
        starPending_ = false;
        if (skipFallback_ > 0) {
            --skipFallback_;
            return;
        }
        if (c == '\t') {
            character(u'\t');
            return;
        }
        if (c < 0x20)
            return; // stray control bytes are not text
        byte(c);
    }

    void byte(unsigned char b)
    {
        State &s = top();
        switch (s.dest) {
        case Dest::FontTable:
            if (b == ';') {
                commitFont();
                return;
            }
            if (!entryOpen_) {
                entry_ = FontInfo{};
                entryNumber_ = INT_MIN;
                entryOpen_ = true;
                s.fontEntryOpen = true;
            }
            entry_.name += codepage::decodeByte(entryCodePage(), b);
            return;
        case Dest::ColorTable:
            if (b == ';') {
                colors_.push_back(colorEntry_);
                colorEntry_ = Color{};
            }
            return;
        case Dest::Body:
        case Dest::Fallback:
            break;
        default:
            return;
        }
        const int cp = textCodePage();
        if (codepage::isDoubleByte(cp)) {
            // A pair comes as two bytes, often two \'hh; it is one character.
            char pair[2] = {static_cast<char>(leadByte_), static_cast<char>(b)};
            std::string_view bytes(pair, 2);
            if (leadByte_ != 0) {
                leadByte_ = 0;
            } else if (codepage::isLeadByte(cp, b)) {
                leadByte_ = b;
                return;
            } else {
                bytes.remove_prefix(1);
            }
            for (const char16_t c : codepage::decode(bytes, cp))
                character(c);
            return;
        }
        character(codepage::decodeByte(cp, b));
    }

    void character(char16_t c)
    {
        State &s = top();
        if (s.dest == Dest::FontTable) {
            if (!entryOpen_) {
                entry_ = FontInfo{};
                entryNumber_ = INT_MIN;
                entryOpen_ = true;
                s.fontEntryOpen = true;
            }
            entry_.name += c;
            return;
        }
        if (s.dest != Dest::Body && s.dest != Dest::Fallback)
            return;
        // The model's only special characters are tab and line break; other controls and
        // the separators the text engine reserves carry nothing a reader could show.
        if (c < 0x20 && c != u'\t')
            return;
        if (c == 0x2029)
            c = 0x2028;
        else if (c == 0xFDD0 || c == 0xFDD1)
            c = 0xFFFD;
        prepareText();
        pending_ += c;
    }

    int entryCodePage() const
    {
        return codePageOf(entry_);
    }

    const FontInfo *fontInfo(int number) const
    {
        const auto it = fonts_.find(number == -1 ? defaultFont_ : number);
        return it == fonts_.end() ? nullptr : &it->second;
    }

    int textCodePage() const
    {
        const FontInfo *f = fontInfo(stack_.back().font);
        return f ? codePageOf(*f) : docCodePage_;
    }

    int codePageOf(const FontInfo &f) const
    {
        if (f.codePage > 0)
            return f.codePage;
        const int cp = f.hasCharset ? codepage::codePageOfCharset(f.charset) : 0;
        return cp != 0 ? cp : docCodePage_;
    }

    // Makes pending_ collect text in the current format and destination.
    void prepareText()
    {
        afterTextBox_ = false;
        const State &s = stack_.back();
        const bool fallback = s.dest == Dest::Fallback;
        if (!formatDirty_ && fallback == pendingFallback_)
            return;
        CharFormat f = s.chr;
        if (const FontInfo *info = fontInfo(s.font)) {
            f.fontName = info->name;
            f.charset = info->charset;
        }
        formatDirty_ = false;
        if (f == pendingFormat_ && fallback == pendingFallback_)
            return;
        flushPending();
        pendingFormat_ = std::move(f);
        pendingFallback_ = fallback;
    }

    void flushPending()
    {
        if (pending_.empty())
            return;
        appendText(pendingFallback_ ? fallback_ : current_, pending_, pendingFormat_);
        pending_.clear();
    }

    void commitFont()
    {
        if (entryOpen_) {
            // Names end at ';', often after a blank; tools also leave trailing blanks.
            std::u16string &name = entry_.name;
            while (!name.empty() && (name.back() == u' ' || name.back() == u'\t'))
                name.pop_back();
            std::size_t lead = 0;
            while (lead < name.size() && name[lead] == u' ')
                ++lead;
            name.erase(0, lead);
            if (entryNumber_ != INT_MIN)
                fonts_[entryNumber_] = entry_;
        }
        entryOpen_ = false;
        entry_ = FontInfo{};
        formatDirty_ = true;
    }

    std::size_t currentLength()
    {
        flushPending();
        std::size_t n = 0;
        for (const Run &r : current_.runs)
            n += r.text.size();
        return n;
    }

    bool paragraphEmpty()
    {
        flushPending();
        return current_.runs.empty() && fallback_.runs.empty();
    }

    bool listIsBullet(const ParaState &p) const
    {
        if (p.ls <= 0)
            return false;
        const auto o = overrides_.find(p.ls);
        if (o == overrides_.end())
            return false;
        const auto found = listById_.find(o->second);
        if (found == listById_.end())
            return false;
        const ListInfo &l = lists_[found->second];
        if (l.levelFormats.empty())
            return false;
        const std::size_t level =
            std::min<std::size_t>(static_cast<std::size_t>(p.level), l.levelFormats.size() - 1);
        return l.levelFormats[level] == 23;
    }

    void finishParagraph()
    {
        flushPending();
        const ParaState &ps = stack_.back().para;
        Paragraph p;
        p.format = ps.format;
        const bool bullet = ps.pn == ListKind::Bullet || (ps.pn == ListKind::None && listIsBullet(ps));
        p.format.bullet = bullet;
        if (pageBreakPending_) {
            p.format.pageBreakBefore = true;
            pageBreakPending_ = false;
        }
        p.runs = std::move(current_.runs);
        if (!bullet && !fallback_.runs.empty()) {
            // The list was not understood: its marker text stays, where it stood.
            Paragraph merged;
            std::size_t seen = 0;
            bool inserted = false;
            auto insertFallback = [&] {
                for (const Run &r : fallback_.runs)
                    appendText(merged, r.text, r.format);
                inserted = true;
            };
            for (const Run &r : p.runs) {
                if (!inserted && seen + r.text.size() > fallbackAt_) {
                    const std::size_t cut = fallbackAt_ - seen;
                    appendText(merged, std::u16string_view(r.text).substr(0, cut), r.format);
                    insertFallback();
                    appendText(merged, std::u16string_view(r.text).substr(cut), r.format);
                } else {
                    if (!inserted && seen == fallbackAt_)
                        insertFallback();
                    appendText(merged, r.text, r.format);
                }
                seen += r.text.size();
            }
            if (!inserted)
                insertFallback();
            p.runs = std::move(merged.runs);
        }
        doc_.paragraphs.push_back(std::move(p));
        current_ = Paragraph{};
        fallback_ = Paragraph{};
        fallbackAt_ = 0;
        fallbackPending_ = false;
    }

    void finishDocument()
    {
        if (!paragraphEmpty())
            finishParagraph();
    }

    static bool isAlpha(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
    static int hexValue(unsigned char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    const unsigned char *p_;
    std::size_t n_;
    std::size_t pos_ = 0;
    bool done_ = false;
    std::vector<State> stack_;
    int overflow_ = 0;
    bool starPending_ = false;
    int skipFallback_ = 0;
    unsigned char leadByte_ = 0; // first byte of a double-byte pair, 0 when none

    int docCodePage_ = 1252;
    int defaultFont_ = 0;
    std::unordered_map<int, FontInfo> fonts_;
    FontInfo entry_;
    int entryNumber_ = INT_MIN;
    bool entryOpen_ = false;
    std::vector<Color> colors_;
    Color colorEntry_;
    std::vector<ListInfo> lists_;
    std::unordered_map<int, std::size_t> listById_; // first list of each id
    std::unordered_map<int, int> overrides_;
    int overrideListId_ = 0;

    Document doc_;
    Paragraph current_;
    Paragraph fallback_;
    std::size_t fallbackAt_ = 0;
    bool fallbackPending_ = false;
    bool pageBreakPending_ = false;
    bool afterTextBox_ = false; // a text box's paragraph was the last one finished
    std::u16string pending_;
    CharFormat pendingFormat_;
    bool pendingFallback_ = false;
    bool formatDirty_ = true;
};

} // namespace

Document readRtf(std::string_view bytes)
{
    return Reader(bytes).read();
}

} // namespace kelpa::rtf
