// The print module's file readers: "kpp.ini" (read cases, the written file byte for byte) and
// password-list documents.
#include "printmod/PasswordList.h"
#include "printmod/PrintSettingsFile.h"

#include "common/TempDir.h"

#include <gtest/gtest.h>

using namespace kelpa::printmod;

namespace {

// --- kpp.ini

const char kDefaults[] =
    "Version=Kelpa Print Module\r\n"
    " \r\n"
    "Header={$TITLE}\r\n"
    "Footer=Page {$PAGE}\r\n"
    "HF-Font:Name=Courier New\r\n"
    "HF-Font:Size=10\r\n"
    "HF-Font:Color=-2147483640\r\n"
    "HF-Font:Bold=N\r\n"
    "HF-Font:Italic=N\r\n"
    "HF-Font:Underline=N\r\n"
    "HF-Font:StrikeOut=N\r\n"
    " \r\n"
    "PortraitOrientation=Y\r\n"
    " \r\n"
    "Margin:Top=30\r\n"
    "Margin:Left=25\r\n"
    "Margin:Right=15\r\n"
    "Margin:Bottom=25\r\n";

// The file as the print module writes it, kept beside the tests: texts holding "=" and non-ASCII
// letters, every style, landscape, margins to truncate and one beyond 32 bits, an empty footer.
TEST(PrintSettingsFile, WritesTheStoredFileByteForByte)
{
    PrintSettingsValues v;
    v.version = "Kelpa Print Module";
    v.header = "a=b {$TITLE} \xc3\xa4";
    v.footer = "";
    v.fontName = "Liberation Serif";
    v.fontSize = 12;
    v.fontColor = 255;
    v.styles = StyleBold | StyleItalic | StyleUnderline | StyleStrikeOut;
    v.portrait = false;
    v.marginTop = -3.7;
    v.marginLeft = 0;
    v.marginRight = 19.99;
    v.marginBottom = 1e12;
    const std::string golden = kelpa::test::readText(KELPA_SOURCE_DIR "/tests/printmod/fixtures/kpp.ini");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(WritePrintSettings(v), golden);
    const PrintSettingsRead r = ReadPrintSettings(golden);
    EXPECT_EQ(r.header, v.header);
    EXPECT_EQ(r.footer, "");
    EXPECT_EQ(r.addStyles, v.styles);
    EXPECT_EQ(r.portrait, false);
    EXPECT_EQ(r.marginTop, -3);
    EXPECT_EQ(r.marginBottom, 0);
}

TEST(PrintSettingsFile, WritesTheGoldenFile)
{
    PrintSettingsValues v;
    v.version = "Kelpa Print Module";
    v.header = "{$TITLE}";
    v.footer = "Page {$PAGE}";
    v.fontName = "Courier New";
    v.fontSize = 10;
    v.fontColor = static_cast<std::int32_t>(0x80000008u);
    v.marginTop = 30;
    v.marginLeft = 25.9; // truncated, not rounded
    v.marginRight = 15;
    v.marginBottom = 25;
    std::string golden = kDefaults;
    golden.replace(golden.find("Margin:Left=25"), 14, "Margin:Left=25");
    EXPECT_EQ(WritePrintSettings(v), golden);

    // Empty texts write no line at all; styles and landscape as "Y"/"N".
    v.header.clear();
    v.styles = StyleBold | StyleStrikeOut;
    v.portrait = false;
    const std::string other = WritePrintSettings(v);
    EXPECT_EQ(other.find("Header="), std::string::npos);
    EXPECT_NE(other.find("HF-Font:Bold=Y\r\nHF-Font:Italic=N\r\nHF-Font:Underline=N\r\nHF-Font:StrikeOut=Y\r\n"),
              std::string::npos);
    EXPECT_NE(other.find("PortraitOrientation=N\r\n"), std::string::npos);
}

TEST(PrintSettingsFile, ReadsTheGoldenFileBack)
{
    const PrintSettingsRead r = ReadPrintSettings(kDefaults);
    EXPECT_EQ(r.header, "{$TITLE}");
    EXPECT_EQ(r.footer, "Page {$PAGE}");
    EXPECT_EQ(r.fontName, "Courier New");
    EXPECT_EQ(r.fontSize, 10);
    EXPECT_EQ(r.fontColor, static_cast<std::int32_t>(0x80000008u));
    EXPECT_EQ(r.addStyles, 0u);
    EXPECT_EQ(r.marginTop, 30);
    EXPECT_EQ(r.marginLeft, 25);
    EXPECT_EQ(r.marginRight, 15);
    EXPECT_EQ(r.marginBottom, 25);
    EXPECT_EQ(r.portrait, true);
}

TEST(PrintSettingsFile, BadValuesEndTheirGroupOnly)
{
    auto with = [](const std::string &name, const std::string &value) {
        std::string text = kDefaults;
        const std::size_t at = text.find(name + "=");
        const std::size_t end = text.find("\r\n", at);
        text.replace(at, end - at, name + "=" + value);
        return ReadPrintSettings(text);
    };
    {
        const auto r = with("HF-Font:Size", "abc");
        EXPECT_EQ(r.fontName, "Courier New");
        EXPECT_FALSE(r.fontSize);
        EXPECT_FALSE(r.fontColor);
        EXPECT_EQ(r.marginTop, 30);
        EXPECT_EQ(r.portrait, true);
    }
    {
        const auto r = with("HF-Font:Bold", "y");
        EXPECT_EQ(r.addStyles, unsigned(StyleBold));
    }
    {
        std::string text = kDefaults;
        text.replace(text.find("HF-Font:Italic=N"), 16, "HF-Font:Italic=Y");
        text.replace(text.find("HF-Font:Bold=N"), 14, "HF-Font:Bold=yes");
        const auto r = ReadPrintSettings(text);
        EXPECT_EQ(r.addStyles, 0u); // stopped at Bold: Italic is not read
        EXPECT_EQ(r.fontColor, static_cast<std::int32_t>(0x80000008u));
    }
    {
        const auto r = with("Margin:Top", "12.5");
        EXPECT_FALSE(r.marginTop);
        EXPECT_EQ(r.marginLeft, 25);
        EXPECT_EQ(r.marginBottom, 25);
    }
    {
        const auto r = with("PortraitOrientation", "n");
        EXPECT_EQ(r.portrait, false);
        EXPECT_FALSE(with("PortraitOrientation", "maybe").portrait);
    }
}

TEST(PrintSettingsFile, LookupAndMissingNames)
{
    const auto r = ReadPrintSettings("header=a=b\nHEADER=second\r\nfooter=\rMargin:top= 7\n");
    EXPECT_EQ(r.header, "a=b"); // the first line of the name, whatever the case
    EXPECT_EQ(r.footer, "");
    EXPECT_EQ(r.fontName, "");
    EXPECT_FALSE(r.fontSize);
    EXPECT_EQ(r.marginTop, 7);
    EXPECT_FALSE(r.marginLeft);
    EXPECT_FALSE(r.portrait);
    const auto empty = ReadPrintSettings("");
    EXPECT_EQ(empty.header, "");
}

TEST(PrintSettingsFile, StrToInt)
{
    struct Case {
        const char *text;
        std::optional<std::int32_t> value;
    } cases[] = {
        {"0", 0}, {"25", 25}, {"-13", -13}, {"+4", 4}, {"  9", 9}, {"$1F", 31}, {"0x10", 16},
        {"$FFFFFFFF", -1}, {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"2147483647", 2147483647}, {"2147483648", std::nullopt}, {"", std::nullopt},
        {"-", std::nullopt}, {"12.5", std::nullopt}, {"9 ", std::nullopt}, {"abc", std::nullopt},
        {"99999999999999999999", std::nullopt}, {"$", std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(StrToInt(c.text), c.value) << '"' << c.text << '"';
}

// --- Password lists

std::vector<std::string> record(const std::string &title, const std::string &entry1)
{
    return {"[\xA7REC]" + title, "url of " + title, entry1, "e2 " + title, "e3 " + title, "hidden",
            "notes " + title, "h7", "h8", "h9", "h10"};
}

std::vector<std::string> list(const std::vector<std::vector<std::string>> &records, bool marker = true)
{
    std::vector<std::string> lines = {"PWDLIST", "4", "x"};
    if (marker)
        lines.push_back("[\xA7" "BEGOFDATA]");
    for (const auto &r : records)
        lines.insert(lines.end(), r.begin(), r.end());
    return lines;
}

TEST(PasswordList, RendersRecordsAndSkipsEmptySlots)
{
    const auto result = RenderPasswordList(list({record("Bank", "alice"), record("Empty", ""), record("Mail", "bob")}));
    ASSERT_EQ(result.kind, PasswordListResult::Kind::Rendered) << result.message;
    const std::vector<std::string> expected = {
        "Bank", "  - URL: url of Bank", "  - ENTRY1: alice", "  - ENTRY2: e2 Bank", "  - ENTRY3: e3 Bank",
        "  - NOTES : notes Bank", " ",
        "Mail", "  - URL: url of Mail", "  - ENTRY1: bob", "  - ENTRY2: e2 Mail", "  - ENTRY3: e3 Mail",
        "  - NOTES : notes Mail", " "};
    EXPECT_EQ(result.lines, expected);
}

TEST(PasswordList, Cases)
{
    struct Case {
        const char *name;
        std::vector<std::string> lines;
        PasswordListResult::Kind kind;
        std::string message;
        std::size_t outputLines;
    };
    std::vector<std::string> longTitle = record(std::string(400, 'T'), "e");
    auto noMarker = list({record("Old", "e")}, false);
    auto lowerMarker = list({record("A", "e")});
    lowerMarker[3] = "[\xA7" "begofdata]";
    auto unsigned2 = list({record("A", "e"), record("B", "e")});
    unsigned2[4 + 11] = "no signature";
    auto shortList = list({record("A", "e")});
    shortList.resize(shortList.size() - 3);
    const std::vector<Case> cases = {
        {"no marker: inserted at line 3, record at 5", noMarker, PasswordListResult::Kind::Rendered, "", 7},
        {"marker compared without case", lowerMarker, PasswordListResult::Kind::Rendered, "", 7},
        {"all slots empty", list({record("A", ""), record("B", "")}), PasswordListResult::Kind::Rendered, "", 0},
        {"no records", list({}), PasswordListResult::Kind::Rendered, "", 0},
        {"only the two first lines", {"PWDLIST", "4"}, PasswordListResult::Kind::IndexError, "List index out of bounds (3)", 0},
        {"short record", shortList, PasswordListResult::Kind::Damaged, "15 rows required vs 12 present.", 0},
        {"missing signature", unsigned2, PasswordListResult::Kind::Damaged,
         "Record damaged at position 15: record signature ([\xA7REC]) not found", 7},
        {"title cut to 320", list({longTitle}), PasswordListResult::Kind::Rendered, "", 7},
    };
    for (const Case &c : cases) {
        const auto r = RenderPasswordList(c.lines);
        EXPECT_EQ(r.kind, c.kind) << c.name;
        EXPECT_EQ(r.message, c.message) << c.name;
        EXPECT_EQ(r.lines.size(), c.outputLines) << c.name;
    }
    EXPECT_EQ(RenderPasswordList(list({longTitle})).lines.front(), std::string(320, 'T'));
    EXPECT_EQ(RenderPasswordList(noMarker).lines.front(), "Old");
}

TEST(PasswordList, IsPasswordListAndLines)
{
    EXPECT_TRUE(IsPasswordList({"PWDLIST", "4"}));
    EXPECT_FALSE(IsPasswordList({"PWDLIST", "5"}));
    EXPECT_FALSE(IsPasswordList({"pwdlist", "4"}));
    EXPECT_FALSE(IsPasswordList({"PWDLIST"}));
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(JoinLines({"a", ""}), "a\r\n\r\n");
}

} // namespace
