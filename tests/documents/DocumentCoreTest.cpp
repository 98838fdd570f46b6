#include "support/documents/DocumentCore.h"

#include "PageOf.h"

#include "engine/LegacyCipher.h"
#include "engine/TOBRINEngine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using kelpa::engine::DecipherFailureText;
using kelpa::engine::TOBRINEngine;

using namespace kelpa::documents;

TEST(DocumentCore, LinesEndInCrLf)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"a", "a\r\n"},
        {"a\r\n", "a\r\n"},
        {"a\nb\rc\r\nd", "a\r\nb\r\nc\r\nd\r\n"},
        {"\n\n", "\r\n\r\n"},
        {"\r\r\n", "\r\n\r\n"},
        {std::string("x\0y", 3), std::string("x\0y\r\n", 5)},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(asLines(in), out) << in;
}

TEST(DocumentCore, LineFormOfAFile)
{
    using F = FinalLineEnd;
    struct Case {
        std::string read;
        LineForm form;
    };
    const Case cases[] = {
        {"", {LineEnd::Lf, F::AfterText}},
        {"one line", {LineEnd::Lf, F::Absent}},
        {"\n", {LineEnd::Lf, F::Present}},
        {"a\nb\r\n", {LineEnd::Lf, F::Present}},
        {"a\r\nb\r\nc\n", {LineEnd::CrLf, F::Present}},
        {"a\rb\r", {LineEnd::Cr, F::Present}},
        {"a\rb\n", {LineEnd::Lf, F::Present}},
        {"a\r\nb", {LineEnd::CrLf, F::Absent}},
        {"\r", {LineEnd::Cr, F::Present}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(lineFormOf(c.read), c.form) << c.read;
}

TEST(DocumentCore, PageLinesWrittenInALineForm)
{
    using F = FinalLineEnd;
    struct Case {
        std::string crLf;
        LineForm form;
        std::string written;
    };
    const Case cases[] = {
        {"a\r\nb\r\n", {LineEnd::Lf, F::Present}, "a\nb\n"},
        {"a\r\nb\r\n", {LineEnd::CrLf, F::Present}, "a\r\nb\r\n"},
        {"a\r\nb\r\n", {LineEnd::Cr, F::Present}, "a\rb\r"},
        {"a\r\nb\r\n", {LineEnd::Lf, F::Absent}, "a\nb"},
        {"a\r\nb\r\n", {LineEnd::CrLf, F::Absent}, "a\r\nb"},
        {"a\r\nb\r\n", {LineEnd::Cr, F::AfterText}, "a\rb\r"},
        {"\r\n\r\n", {LineEnd::Lf, F::Present}, "\n\n"},
        // An empty page: nothing, or the one line end of its file.
        {"", {LineEnd::Lf, F::AfterText}, ""},
        {"", {LineEnd::Lf, F::Absent}, ""},
        {"", {LineEnd::CrLf, F::Present}, "\r\n"},
        {"\xEF\xBB\xBF", {LineEnd::Lf, F::Present}, "\xEF\xBB\xBF\n"},
        // A CR that ends no line stays.
        {"lone\r and \r\n", {LineEnd::Lf, F::Present}, "lone\r and \n"},
        {"\r\r\n\r", {LineEnd::Lf, F::AfterText}, "\r\n\r"},
        {"x\r\n\ry\r\nz", {LineEnd::Cr, F::AfterText}, "x\r\ry\rz"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(withLineForm(c.crLf, c.form), c.written) << c.crLf;
}

using kelpa::test::pageOf;

TEST(DocumentCore, UneditedPagesGiveTheFileBack)
{
    const std::string files[] = {
        "",
        "\n",
        "\r\n",
        "a\nb",
        "a\nb\n",
        "a\r\nb\r\n",
        "cr\ronly\r",
        "lf\nwith a lone\rcr\n",
        "mixed\r\nline\nends\r\n\n",
        "json \"\xE2\x80\xA8\" and \"\xE2\x80\xA9\"\n",
        "tab\vbed\n",
        "\xEF\xBB\xBF" "marked\r\n",
        "no end\r\nat\r",
    };
    for (const std::string &file : files) {
        const LineForm form = lineFormOf(file);
        const std::string page = pageOf(file, true);
        if (keepsBytes(file, form, true)) {
            EXPECT_EQ(withLineForm(page, form), file) << file;
        }
        EXPECT_EQ(mergeLineEnds(file, page, form, true), file) << file;
    }
    // Only text in UTF-8 holds U+2028: in Windows-1252 its three bytes are characters.
    const std::string bytes = "a\xE2\x80\xA8z\n";
    EXPECT_FALSE(keepsBytes(bytes, lineFormOf(bytes), true));
    EXPECT_TRUE(keepsBytes(bytes, lineFormOf(bytes), false));
    EXPECT_EQ(withLineForm(pageOf(bytes, false), lineFormOf(bytes)), bytes);
}

TEST(DocumentCore, EditsChangeOnlyTheLinesEdited)
{
    struct Case {
        const char *what;
        std::string file;
        std::string page; // the edited page's lines
        std::string written;
    };
    const Case cases[] = {
        {"a line added in the middle", "one\r\ntwo\nthree\r\n", "one\r\nnew\r\ntwo\r\nthree\r\n",
         "one\r\nnew\r\ntwo\nthree\r\n"},
        {"the first line changed", "one\ntwo\r\nthree\n", "ONE\r\ntwo\r\nthree\r\n", "ONE\ntwo\r\nthree\n"},
        {"a lone CR kept by an edit elsewhere", "a\rb\nc\n", "a\r\nb\r\nC\r\n", "a\rb\nC\n"},
        {"U+2028 kept by an edit elsewhere", "x\xE2\x80\xA8y\nz\n", "x\r\ny\r\nz!\r\n", "x\xE2\x80\xA8y\nz!\n"},
        {"a line added at an open end", "a\r\nb\nc", "a\r\nb\r\nc\r\nd\r\n", "a\r\nb\nc\nd"},
        {"the open last line deleted", "a\nb\r\nc", "a\r\nb\r\n", "a\nb"},
        {"every line deleted", "\r\n\n\n", "", "\r\n"},
    };
    for (const Case &c : cases) {
        const LineForm form = lineFormOf(c.file);
        EXPECT_EQ(mergeLineEnds(c.file, c.page, form, true), c.written) << c.what;
    }
}

TEST(DocumentCore, WhatTheTextTellsAboutThePassword)
{
    struct Case {
        DocumentKind kind;
        std::uint8_t compression;
        std::string_view text;
        PasswordCheck expected;
    };
    const Case cases[] = {
        {DocumentKind::Encrypted, TOBRINEngine::CompressionCoder, "text", PasswordCheck::Confirmed},
        {DocumentKind::Encrypted, TOBRINEngine::CompressionStored, "text", PasswordCheck::Unchecked},
        {DocumentKind::Legacy, TOBRINEngine::CompressionCoder, "text", PasswordCheck::Unchecked},
        {DocumentKind::Legacy, 0, DecipherFailureText, PasswordCheck::Wrong},
        // Only the legacy cipher gives that text for a wrong password.
        {DocumentKind::Encrypted, TOBRINEngine::CompressionCoder, DecipherFailureText, PasswordCheck::Confirmed},
    };
    for (const Case &c : cases)
        EXPECT_EQ(passwordCheck(c.kind, c.compression, c.text), c.expected) << c.text;
}

TEST(DocumentCore, LegacyLengthLimit)
{
    EXPECT_TRUE(fitsLegacy(std::string(LegacyTextLimit, 'a')));
    EXPECT_FALSE(fitsLegacy(std::string(LegacyTextLimit + 1, 'a')));
    // The engine takes the text up to its first 0 byte.
    std::string cut(LegacyTextLimit + 10, 'a');
    cut[5] = '\0';
    EXPECT_TRUE(fitsLegacy(cut));
    EXPECT_TRUE(fitsLegacy(""));
}
