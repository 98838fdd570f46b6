// The name=value text of the settings files: how each file's syntax finds a value, and the bytes
// every file is written as.
#include "support/settings/SettingsText.h"

#include <gtest/gtest.h>

using namespace kelpa;

namespace {

constexpr auto none = std::nullopt;

TEST(SettingsText, ValuesInEachSyntax)
{
    // Print settings keep blanks; checker settings drop them. Both end lines at CR or LF, take
    // the first line of the name and compare names without regard to ASCII case only.
    struct Case {
        std::string text;
        const char *name;
        std::optional<std::string> print, checker;
    } cases[] = {
        {"Dictionary=English.kpd\r\n", "Dictionary", "English.kpd", "English.kpd"},
        {"dictionary = My Words.kpd \n", "Dictionary", none, "My Words.kpd"},
        {"dictionary= My Words.kpd \n", "Dictionary", " My Words.kpd ", "My Words.kpd"},
        {"Other=1\rDictionary=b.kpd", "Dictionary", "b.kpd", "b.kpd"},
        {"Dictionary=a.kpd\nDictionary=b.kpd\n", "Dictionary", "a.kpd", "a.kpd"},
        {"Dictionary\n=x\n", "Dictionary", none, none},
        {"Dictionary\nDictionary=x\n", "Dictionary", "x", "x"},
        {"Dictionaryx=a.kpd\n", "Dictionary", none, none},
        {"", "Dictionary", none, none},
        {"Dictionary=", "Dictionary", "", ""},
        {"Dictionary=a=b", "Dictionary", "a=b", "a=b"},
        {"Dictionary=a\tb\r\r\n", "Dictionary", "a\tb", "a\tb"},
        {"\tDictionary\t=\x01x\x7f", "Dictionary", none, "x\x7f"},
        {"HEADER=a\nheader=b", "header", "a", "a"},
        {"D\xc3\x84=x", "d\xc3\xa4", none, none},
        {"D\xc3\x84=x", "d\xc3\x84", "x", "x"},
        {std::string("Dictionary=a\0b", 14), "Dictionary", std::string("a\0b", 3), std::string("a\0b", 3)},
        {" \r\nMargin:Top=7", "Margin:Top", "7", "7"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(SettingsText::parse(c.text, kPrintSettings).value(c.name), c.print) << c.text;
        EXPECT_EQ(SettingsText::parse(c.text, kCheckerSettings).value(c.name), c.checker) << c.text;
    }
}

TEST(SettingsText, LineFeedLinesAndBareNames)
{
    const SettingsSyntax lf{SettingsSyntax::LineEnds::Lf, false, true, sameAsciiName};
    const struct {
        const char *text, *name;
        std::optional<std::string> value;
    } cases[] = {
        {"A=1\r\nB=2\r\n", "B", "2"},
        {"A=1\rB=2\n", "A", "1\rB=2"},
        {"A=1\r\r\n", "A", "1\r"},
        {"A\nA=1\n", "A", ""},
        {"=\nA=1", "", ""},
        {" A=1", "A", none},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SettingsText::parse(c.text, lf).value(c.name), c.value) << c.text;
}

TEST(SettingsText, Writing)
{
    SettingsText text(kPrintSettings);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(text.toBytes(), "");
    text.add("Version", "1");
    text.add("Footer", ""); // reads as missing, so it is not written
    text.addGroupBreak();
    text.add("Header", "a=b \xc3\xa4");
    text.set("header", "c");
    text.set("New", "");
    EXPECT_EQ(text.toBytes(), "Version=1\r\n \r\nHeader=c\r\nNew=\r\n");
    EXPECT_EQ(text.value("Footer"), none);
    EXPECT_EQ(SettingsText::parse(text.toBytes(), kPrintSettings).value("HEADER"), "c");

    // Read lines go out again as they came, one CR LF each; empty lines do not survive.
    EXPECT_EQ(SettingsText::parse("b=1\n\n junk \rc=2", kPrintSettings).toBytes(), "b=1\r\n junk \r\nc=2\r\n");
}

} // namespace
