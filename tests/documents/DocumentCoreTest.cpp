#include "support/documents/DocumentCore.h"

#include "engine/LegacyCipher.h"
#include "engine/TOBRINEngine.h"

#include <gtest/gtest.h>

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

TEST(DocumentCore, PlainFilesKeepTheirLineEnds)
{
    struct Case {
        std::string read;
        LineEnd lineEnd;
    };
    const Case cases[] = {
        {"", LineEnd::CrLf},          {"one line", LineEnd::CrLf},  {"a\r\nb\n", LineEnd::CrLf},
        {"a\nb\r\n", LineEnd::Lf}, {"\n", LineEnd::Lf},          {"a\rb\n", LineEnd::CrLf},
    };
    for (const Case &c : cases)
        EXPECT_EQ(lineEndOf(c.read), c.lineEnd) << c.read;
    const std::pair<std::string, std::string> written[] = {
        {"a\r\nb\r\n", "a\nb\n"},
        {"\r\n\r\n", "\n\n"},
        {"lone\r and \r\n", "lone\r and \n"},
        {"", ""},
        {"\r", "\r"},
        {"end\r", "end\r"},
        {"\r\r\n\r", "\r\n\r"},
        {"x\r\n\ry\r\nz", "x\n\ry\nz"},
    };
    for (const auto &[crLf, lf] : written) {
        EXPECT_EQ(withLineEnd(crLf, LineEnd::Lf), lf) << crLf;
        EXPECT_EQ(withLineEnd(crLf, LineEnd::CrLf), crLf) << crLf;
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
