#include "richedit/rtf/RtfReader.h"
#include "richedit/rtf/RtfWriter.h"

#include <gtest/gtest.h>

#include <random>

using namespace kelpa::rtf;

namespace {

std::string utf8(const std::u16string &s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

Paragraph para(std::u16string text, CharFormat f = {}, ParagraphFormat pf = {})
{
    Paragraph p;
    p.format = pf;
    if (!text.empty())
        p.runs.push_back(Run{std::move(text), std::move(f)});
    return p;
}

CharFormat font(std::u16string name, int charset = 0)
{
    CharFormat f;
    f.fontName = std::move(name);
    f.charset = charset;
    return f;
}

struct RoundTripCase {
    const char *name;
    Document doc;
};

std::vector<RoundTripCase> roundTripCases()
{
    std::vector<RoundTripCase> cases;
    auto add = [&](const char *name, Document d) { cases.push_back({name, std::move(d)}); };
    const CharFormat base = font(u"Arial");
    auto with = [&](auto change) {
        CharFormat f = base;
        change(f);
        return f;
    };
    add("bold", {{para(u"bold", with([](CharFormat &f) { f.bold = true; }))}});
    add("italic", {{para(u"italic", with([](CharFormat &f) { f.italic = true; }))}});
    add("underline", {{para(u"under", with([](CharFormat &f) { f.underline = true; }))}});
    add("strike", {{para(u"strike", with([](CharFormat &f) { f.strike = true; }))}});
    add("hidden", {{para(u"hidden", with([](CharFormat &f) { f.hidden = true; }))}});
    add("font name", {{para(u"courier", font(u"Courier New"))}});
    add("font size", {{para(u"big", with([](CharFormat &f) { f.sizeHalfPoints = 57; }))}});
    add("colour", {{para(u"red", with([](CharFormat &f) { f.color = Color::rgb(200, 10, 30); }))}});
    add("black is not automatic",
        {{para(u"black", with([](CharFormat &f) { f.color = Color::rgb(0, 0, 0); }))}});
    add("highlight", {{para(u"marked", with([](CharFormat &f) { f.highlight = Color::rgb(255, 255, 0); }))}});
    add("cyrillic font", {{para(u"\u0416\u0443\u043a", font(u"Arial Cyr", 204))}});
    add("font name with ; and accents", {{para(u"x", font(u"Caf\u00e9; Sans"))}});
    add("double-byte font", {{para(u"a\u2022\u00e9\u3042", font(u"MS Mincho", 128))}});
    for (auto [name, a] : {std::pair{"left", Alignment::Left}, std::pair{"right", Alignment::Right},
                           std::pair{"centre", Alignment::Center}, std::pair{"justify", Alignment::Justify}}) {
        ParagraphFormat pf;
        pf.alignment = a;
        add(name, {{para(u"aligned", base, pf)}});
    }
    ParagraphFormat indents;
    indents.leftIndent = 720;
    indents.rightIndent = 360;
    indents.firstIndent = -360;
    add("indents", {{para(u"indented", base, indents)}});
    ParagraphFormat spacing;
    spacing.spaceBefore = 240;
    spacing.spaceAfter = 120;
    add("spacing", {{para(u"spaced", base, spacing)}});
    ParagraphFormat bullet;
    bullet.bullet = true;
    bullet.leftIndent = 720;
    bullet.firstIndent = -360;
    add("bullets", {{para(u"one", base, bullet), para(u"two", base, bullet), para(u"after", base)}});
    ParagraphFormat pageBreak;
    pageBreak.pageBreakBefore = true;
    add("page break", {{para(u"first", base), para(u"second", base, pageBreak)}});
    add("tab and line break", {{para(u"a\tb\u2028c", base)}});
    add("special characters",
        {{para(u"\\ { } \u00a0nbsp soft\u00adhyphen non\u2011breaking", base)}});
    add("code page and beyond",
        {{para(u"\u00e9\u20ac\u2019 \u0416 \u4e2d \U0001F600 \uFFFD", base)}});
    add("controls that look like words", {{para(u"x", with([](CharFormat &f) { f.bold = true; })),
                                           para(u"1 2 -3 abc", base)}});
    add("runs in a paragraph", [&] {
        Paragraph p;
        appendText(p, u"plain ", base);
        appendText(p, u"bold", with([](CharFormat &f) { f.bold = true; }));
        appendText(p, u" -5 ", with([](CharFormat &f) { f.italic = true; f.sizeHalfPoints = 20; }));
        appendText(p, u"back", base);
        return Document{{p}};
    }());
    add("empty paragraphs", {{para(u"", base), para(u"mid", base), para(u"", base), para(u"", base)}});
    add("leading blanks", {{para(u"  two blanks", with([](CharFormat &f) { f.underline = true; }))}});
    add("empty document", {});
    return cases;
}

TEST(Rtf, WriteThenReadKeepsEveryAttribute)
{
    for (const RoundTripCase &c : roundTripCases()) {
        SCOPED_TRACE(c.name);
        const std::string rtf = writeRtf(c.doc);
        EXPECT_TRUE(looksLikeRtf(rtf));
        const Document back = readRtf(rtf);
        ASSERT_EQ(back.paragraphs.size(), c.doc.paragraphs.size()) << rtf;
        for (std::size_t i = 0; i < back.paragraphs.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(back.paragraphs[i].format, c.doc.paragraphs[i].format) << rtf;
            EXPECT_EQ(utf8(back.paragraphs[i].text()), utf8(c.doc.paragraphs[i].text())) << rtf;
            EXPECT_EQ(back.paragraphs[i].runs, c.doc.paragraphs[i].runs) << rtf;
        }
    }
}

TEST(Rtf, WriterEncodesWindows1252AsBytesAndTheRestAsUnicode)
{
    const Document d{{para(u"\u00e9\u20ac\u0416\uFFFD", font(u"Arial"))}};
    const std::string rtf = writeRtf(d);
    EXPECT_NE(rtf.find("\\'e9\\'80"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\u1046?"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\u-3?"), std::string::npos) << rtf;
    // In a Cyrillic font the same letter is a byte of its code page.
    const std::string cyr = writeRtf(Document{{para(u"\u0416", font(u"Arial Cyr", 204))}});
    EXPECT_NE(cyr.find("\\'c6"), std::string::npos) << cyr;
}

struct ReadCase {
    const char *name;
    std::string rtf;
    std::u16string text; // paragraphs joined with '\n'
};

TEST(Rtf, ReaderHandlesTheTrapsOfRealFiles)
{
    const ReadCase cases[] = {
        {"\\uc defaults to one fallback", "{\\rtf1 a\\u233?b}", u"a\u00e9b"},
        {"\\uc0 has no fallback", "{\\rtf1\\uc0 \\u233 b}", u"\u00e9b"},
        {"\\uc2 skips two", "{\\rtf1\\uc2 \\u8364 EUb}", u"\u20acb"},
        {"\\uc is scoped to its group", "{\\rtf1 {\\uc2 \\u233 xx}\\u233 yz}", u"\u00e9\u00e9z"},
        {"negative \\u is above 32767", "{\\rtf1 \\u-10179?\\u-8704?}", u"\U0001F600"},
        {"\\u beyond 16 bits", "{\\rtf1 \\u70000?x}", u"\uFFFDx"},
        {"a hex byte is one fallback", "{\\rtf1 \\u233\\'e9 x}", u"\u00e9 x"},
        {"a control word is one fallback", "{\\rtf1 \\u233\\bullet x}", u"\u00e9x"},
        {"\\bin is one fallback", "{\\rtf1 \\u233\\bin3 abcz}", u"\u00e9z"},
        {"fallback stops at a brace", "{\\rtf1\\uc3 \\u233{x}y}", u"\u00e9xy"},
        {"hex through the font charset",
         "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fcharset0 Arial;}{\\f1\\fcharset204 Arial Cyr;}}"
         "\\f1 \\'c0\\f0 \\'c0}",
         u"\u0410\u00c0"},
        {"hex through \\cpg", "{\\rtf1{\\fonttbl{\\f0\\cpg1251 X;}}\\f0\\'c0}", u"\u0410"},
        {"default charset uses \\ansicpg", "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset1 X;}}\\f0\\'c0}",
         u"\u0410"},
        {"\\ansicpg0", "{\\rtf1\\ansi\\ansicpg0 \\'e9}", u"\u00e9"},
        {"8-bit bytes without escape", "{\\rtf1\\ansi \xe9t\xe9}", u"\u00e9t\u00e9"},
        {"double-byte pair is one character", "{\\rtf1{\\fonttbl{\\f0\\fcharset128 MS Mincho;}}\\f0 a\\'82\\'a0b}",
         u"a\u3042b"},
        {"\\bin data is raw", "{\\rtf1 a\\bin4 {}}{b}", u"ab"},
        {"starred groups go whole", "{\\rtf1 a{\\*\\foo x{y}z}b}", u"ab"},
        {"unknown groups keep their text", "{\\rtf1 a{\\foo x}b}", u"axb"},
        {"skipped destinations",
         "{\\rtf1{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}{\\author A}}{\\pict\\wmetafile8 0102ff}a"
         "{\\header H}{\\footnote F}b}",
         u"ab"},
        {"fields keep their result",
         "{\\rtf1 see {\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt here}} now}", u"see here now"},
        {"breaks", "{\\rtf1 a\\par b\\line c\\tab d\\par}", u"a\nb\u2028c\td"},
        {"backslash-newline is a paragraph", "{\\rtf1 a\\\nb}", u"a\nb"},
        {"raw line ends are not text", "{\\rtf1 a\r\nb\nc}", u"abc"},
        {"symbols", "{\\rtf1 \\~\\-\\_\\emdash\\endash\\lquote\\rquote\\ldblquote\\rdblquote\\bullet\\{\\}\\\\}",
         u"\u00a0\u00ad\u2011\u2014\u2013\u2018\u2019\u201c\u201d\u2022{}\\"},
        {"table cells", "{\\rtf1\\trowd\\cellx1000\\cellx2000\\pard\\intbl a\\cell b\\cell\\row after\\par}",
         u"a\tb\t\nafter"},
        {"a parameter's blank is no text", "{\\rtf1\\fs20 x\\b  y}", u"x y"},
        {"hyphen after a control word", "{\\rtf1\\b -x}", u"-x"},
    };
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(utf8(readRtf(c.rtf).text()), utf8(c.text)) << c.rtf;
    }
}

TEST(Rtf, ReaderReadsAttributes)
{
    const Document d = readRtf(
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern\\fcharset0 Courier New;}}"
        "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
        "\\pard\\qc\\li720\\ri360\\fi-360\\sb120\\sa240 \\f1\\fs28\\cf1\\highlight2\\b\\i\\ul\\strike x"
        "\\plain y\\b0\\ulnone\\par"
        "\\pard\\qr{\\b z}\\ul0 w\\strike0\\i0\\par}");
    ASSERT_EQ(d.paragraphs.size(), 2u);
    const Paragraph &p = d.paragraphs[0];
    EXPECT_EQ(p.format.alignment, Alignment::Center);
    EXPECT_EQ(p.format.leftIndent, 720);
    EXPECT_EQ(p.format.rightIndent, 360);
    EXPECT_EQ(p.format.firstIndent, -360);
    EXPECT_EQ(p.format.spaceBefore, 120);
    EXPECT_EQ(p.format.spaceAfter, 240);
    ASSERT_EQ(p.runs.size(), 2u);
    const CharFormat &x = p.runs[0].format;
    EXPECT_EQ(x.fontName, u"Courier New");
    EXPECT_EQ(x.sizeHalfPoints, 28);
    EXPECT_EQ(x.color, Color::rgb(255, 0, 0));
    EXPECT_EQ(x.highlight, Color::rgb(0, 0, 255));
    EXPECT_TRUE(x.bold && x.italic && x.underline && x.strike);
    const CharFormat &y = p.runs[1].format; // \plain: default font, size and nothing else
    EXPECT_EQ(y.fontName, u"Arial");
    EXPECT_EQ(y.sizeHalfPoints, 24);
    EXPECT_TRUE(y.color.automatic && y.highlight.automatic);
    EXPECT_FALSE(y.bold || y.italic || y.underline || y.strike);
    const Paragraph &q = d.paragraphs[1];
    EXPECT_EQ(q.format.alignment, Alignment::Right);
    EXPECT_EQ(q.format.leftIndent, 0); // \pard reset
    ASSERT_EQ(q.runs.size(), 2u);
    EXPECT_TRUE(q.runs[0].format.bold);
    EXPECT_FALSE(q.runs[1].format.bold); // the group ended
}

TEST(Rtf, ListMarkersAreDroppedOnlyWhenTheListIsUnderstood)
{
    struct ListCase {
        const char *name;
        std::string body;
        std::u16string text;
        bool bullet;
    };
    const std::string lists =
        "{\\*\\listtable{\\list\\listtemplateid1{\\listlevel\\levelnfc23{\\leveltext\\'01\\u8226 ?;}}\\listid10}"
        "{\\list\\listtemplateid2{\\listlevel\\levelnfc0{\\leveltext\\'02\\'00.;}}\\listid20}}"
        "{\\*\\listoverridetable{\\listoverride\\listid10\\listoverridecount0\\ls1}"
        "{\\listoverride\\listid20\\listoverridecount0\\ls2}}";
    const ListCase cases[] = {
        {"old-style bullet", "{\\pntext\\f0\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf0\\pnindent0{\\pntxtb\\'b7}}Item\\par",
         u"Item", true},
        {"old-style numbering is kept as text",
         "{\\pntext\\f0 1.\\tab}{\\*\\pn\\pnlvlbody\\pndec\\pnstart1{\\pntxta .}}Item\\par", u"1.\tItem", false},
        {"bullet list paragraph", "{\\listtext\\pard\\plain \\u8226\\'95\\tab}\\ls1\\ilvl0 Item\\par", u"Item", true},
        {"numbered list paragraph", "{\\listtext\\pard\\plain 1.\\tab}\\ls2\\ilvl0 Item\\par", u"1.\tItem", false},
        {"list marker of an unknown list", "{\\listtext \\'95\\tab}\\ls7 Item\\par", u"\u2022\tItem", false},
        {"bullet carried by the paragraph state",
         "\\pard{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}}{\\pntext\\'b7\\tab}One\\par{\\pntext\\'b7\\tab}Two\\par\\pard Three\\par",
         u"One\nTwo\nThree", true},
    };
    for (const ListCase &c : cases) {
        SCOPED_TRACE(c.name);
        const Document d = readRtf("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}" + lists + c.body + "}");
        EXPECT_EQ(utf8(d.text()), utf8(c.text));
        ASSERT_FALSE(d.paragraphs.empty());
        EXPECT_EQ(d.paragraphs[0].format.bullet, c.bullet);
        if (d.paragraphs.size() == 3) {
            EXPECT_FALSE(d.paragraphs[2].format.bullet);
        }
    }
}

TEST(Rtf, PageBreaksMarkTheNextParagraph)
{
    const Document d = readRtf("{\\rtf1 one\\page two\\par\\page three\\par four\\pagebb\\par}");
    ASSERT_EQ(d.paragraphs.size(), 4u);
    EXPECT_EQ(utf8(d.text()), "one\ntwo\nthree\nfour");
    EXPECT_FALSE(d.paragraphs[0].format.pageBreakBefore);
    EXPECT_TRUE(d.paragraphs[1].format.pageBreakBefore);
    EXPECT_TRUE(d.paragraphs[2].format.pageBreakBefore);
    EXPECT_TRUE(d.paragraphs[3].format.pageBreakBefore);
}

TEST(Rtf, BadInputNeverCrashesAndKeepsTheText)
{
    const ReadCase cases[] = {
        {"unclosed groups", "{\\rtf1 {{{\\b text", u"text"},
        {"extra closing braces end the document", "{\\rtf1 text}}}more", u"text"},
        {"truncated font table", "{\\rtf1{\\fonttbl{\\f0 Ari", u""},
        {"truncated hex", "{\\rtf1 ab\\'", u"ab"},
        {"truncated hex digit", "{\\rtf1 ab\\'4", u"ab"},
        {"backslash at the end", "{\\rtf1 ab\\", u"ab"},
        {"\\u at the end", "{\\rtf1 ab\\u", u"ab"},
        {"huge \\bin", "{\\rtf1 ab\\bin99999999999999 cd}", u"ab"},
        {"negative \\bin", "{\\rtf1 ab\\bin-5 cd}", u"abcd"},
        {"huge parameters", "{\\rtf1\\fs99999999999999999\\li-99999999999\\cf99999999 x\\par}", u"x"},
        {"huge \\uc", "{\\rtf1\\uc99999999 \\u233 abc{d}}", u"\u00e9d"},
        {"control word of many letters", "{\\rtf1 \\" + std::string(5000, 'a') + "1 x}", u"x"},
        {"references to missing fonts and colours", "{\\rtf1\\f99\\cf12\\highlight5\\'e9}", u"\u00e9"},
        {"stray control bytes", std::string("{\\rtf1 a\0\x01\x1f" "b}", 13), u"ab"},
        {"no rtf at all", "just text", u"just text"},
    };
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(utf8(readRtf(c.rtf).text()), utf8(c.text));
    }
    const Document clamped = readRtf("{\\rtf1\\fs99999999999999999\\li-99999999999 x\\par}");
    ASSERT_EQ(clamped.paragraphs.size(), 1u);
    EXPECT_LE(clamped.paragraphs[0].runs[0].format.sizeHalfPoints, 3276);
    EXPECT_GE(clamped.paragraphs[0].format.leftIndent, -31680);

    // Nesting far beyond any real file: the text inside still arrives.
    const std::string deep = "{\\rtf1 " + std::string(200000, '{') + "deep" + std::string(200000, '}') + " end}";
    EXPECT_EQ(utf8(readRtf(deep).text()), "deep end");
    const std::string deepOpen = "{\\rtf1 " + std::string(200000, '{') + "\\b open";
    EXPECT_EQ(utf8(readRtf(deepOpen).text()), "open");
}

TEST(Rtf, RandomBytesAfterTheHeaderAreSurvived)
{
    std::mt19937 rng(7);
    const std::string alphabet = "{}\\'*abcdefuinpar0123456789- ;\r\n\xe9\x80";
    for (int round = 0; round < 300; ++round) {
        std::string s = "{\\rtf1";
        const int len = static_cast<int>(rng() % 400);
        for (int i = 0; i < len; ++i)
            s += (rng() % 3 == 0) ? static_cast<char>(rng() % 256) : alphabet[rng() % alphabet.size()];
        const Document d = readRtf(s);
        // Whatever came out must survive another trip unchanged.
        const Document again = readRtf(writeRtf(d));
        EXPECT_EQ(utf8(again.text()), utf8(d.text())) << testing::PrintToString(s);
    }
}

} // namespace

namespace {

struct TextCase {
    const char *name;
    const char *rtf;
    std::u16string text; // paragraphs joined with '\n'
};

const TextCase kKeptTextCases[] = {
    {"Shift-JIS pairs", R"({\rtf1\ansi\ansicpg932{\fonttbl{\f0\fcharset128 MS Gothic;}}\f0 \'93\'fa\'96\'7b})",
     u"\u65e5\u672c"},
    {"Shift-JIS half-width kana and a pair as raw bytes",
     "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fcharset128 MS Gothic;}}\\f0 \\'b1\x93\xfa}", u"\uff71\u65e5"},
    {"GBK", R"({\rtf1\ansi\ansicpg936{\fonttbl{\f0\fcharset134 SimSun;}}\f0 \'d6\'d0\'ce\'c4})", u"\u4e2d\u6587"},
    {"Korean", R"({\rtf1\ansi\ansicpg949{\fonttbl{\f0\fcharset129 Gulim;}}\f0 \'c7\'d1\'b1\'b9})", u"\ud55c\uad6d"},
    {"Big5", R"({\rtf1\ansi\ansicpg950{\fonttbl{\f0\fcharset136 MingLiU;}}\f0 \'a4\'a4\'a4\'e5})", u"\u4e2d\u6587"},
    {"double-byte code page of the document, font without charset",
     R"({\rtf1\ansi\ansicpg932{\fonttbl{\f0 Gothic;}}\f0 a\'93\'fab})", u"a\u65e5b"},
    {"a pair cut by the group's end", R"({\rtf1\ansi{\fonttbl{\f0\fcharset128 G;}}{\f0 \'93}x})", u"\ufffdx"},
    {"font without charset takes \\ansicpg",
     R"({\rtf1\ansi\ansicpg1251{\fonttbl{\f0 Times New Roman;}}\f0 \'cf\'f0\'e8\'e2\'e5\'f2})",
     u"\u041f\u0440\u0438\u0432\u0435\u0442"},
    {"a charset still wins over \\ansicpg",
     R"({\rtf1\ansi\ansicpg1251{\fonttbl{\f0\fcharset0 Arial;}}\f0 caf\'e9})", u"caf\u00e9"},
    {"greek by \\ansicpg", R"({\rtf1\ansi\ansicpg1253{\fonttbl{\f0 Arial;}}\f0 \'c1})", u"\u0391"},
    {"\\pc", R"({\rtf1\pc{\fonttbl{\f0 Courier;}}\f0 \'b3})", u"\u2502"},
    {"\\pca", R"({\rtf1\pca{\fonttbl{\f0 Courier;}}\f0 \'9b})", u"\u00f8"},
    {"\\mac", R"({\rtf1\mac{\fonttbl{\f0 Geneva;}}\f0 \'8e})", u"\u00e9"},
    {"text box of a shape",
     R"({\rtf1 Before {\shp{\*\shpinst\shpleft0{\sp{\sn shapeType}{\sv 202}}{\shptxt \pard Inside\par box}}{\shprslt{\*\do\dobxcolumn{\dptxbxtext Inside box}}}} after\par})",
     u"Before \nInside\nbox\n after"},
    {"shape properties outside \\shpinst",
     R"({\rtf1 A{\shp{\sp{\sn fFilled}{\sv 0}}{\sp{\sn lineColor}{\sv 255}}{\shptxt Boxed}}B\par})", u"A\nBoxed\nB"},
    {"shape in a field result",
     R"({\rtf1 {\field{\*\fldinst SHAPE}{\fldrslt {\shp{\*\shpinst{\shptxt In field}}}}}\par})", u"In field"},
    {"group of shapes",
     R"({\rtf1 {\shpgrp{\*\shpinst{\shp{\*\shpinst{\shptxt one}}}{\shp{\*\shpinst{\shptxt two}}}}}\par})",
     u"one\ntwo"},
    {"older drawing object", R"({\rtf1 x{\*\do\dobxpage\dptxbx{\dptxbxtext \pard Old box\par}\dpx100}y\par})",
     u"x\nOld box\ny"},
    {"shape without text leaves nothing", R"({\rtf1 a{\shp{\*\shpinst{\sp{\sn f}{\sv 1}}}{\shprslt pic}}b\par})",
     u"ab"},
    {"nested table fallback is not shown twice",
     R"({\rtf1 \intbl cell\nestcell{\*\nesttableprops\nestrow}{\nonesttables \par cell\par}\cell\row})",
     u"cell\t\t"},
};

} // namespace

TEST(Rtf, TextOfWordProcessorFilesIsKept)
{
    for (const TextCase &c : kKeptTextCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(utf8(readRtf(c.rtf).text()), utf8(c.text));
    }
}

TEST(Rtf, HiddenTextStaysHidden)
{
    const Document d = readRtf(R"({\rtf1 shown {\v secret} again\v  gone\v0  back\par})");
    ASSERT_EQ(d.paragraphs.size(), 1u);
    std::u16string hidden, visible;
    for (const kelpa::rtf::Run &r : d.paragraphs[0].runs)
        (r.format.hidden ? hidden : visible) += r.text;
    EXPECT_EQ(utf8(hidden), "secret gone");
    EXPECT_EQ(utf8(visible), "shown  again back");
    const std::string written = writeRtf(d);
    const Document back = readRtf(written);
    ASSERT_EQ(back.paragraphs.size(), 1u);
    ASSERT_EQ(back.paragraphs[0].runs.size(), d.paragraphs[0].runs.size()) << written;
    for (std::size_t i = 0; i < back.paragraphs[0].runs.size(); ++i) {
        EXPECT_EQ(back.paragraphs[0].runs[i].text, d.paragraphs[0].runs[i].text);
        EXPECT_EQ(back.paragraphs[0].runs[i].format.hidden, d.paragraphs[0].runs[i].format.hidden);
    }
}

TEST(Rtf, PartsAPageCannotHoldAreNamed)
{
    struct Case {
        const char *rtf;
        unsigned omitted;
    };
    const Case cases[] = {
        {R"({\rtf1 plain\par})", 0},
        {R"({\rtf1 {\header Head}{\footerl Foot}text\par})", Omitted::Headers | Omitted::Footers},
        {R"({\rtf1 text{\super\chftn{\footnote \pard Note}}\par})", Omitted::Footnotes},
        {R"({\rtf1 text{\*\atnid JS}{\*\annotation Remark}\par})", Omitted::Comments},
        {R"({\rtf1 {\*\fldinst x}{\info{\comment not a remark}}text\par})", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rtf);
        const Document d = readRtf(c.rtf);
        EXPECT_EQ(d.omitted, c.omitted);
        EXPECT_EQ(d.text().find(u"Head"), std::u16string::npos);
        EXPECT_EQ(d.text().find(u"Note"), std::u16string::npos);
    }
}
