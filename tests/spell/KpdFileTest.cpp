#include "spell/TKPD.h"
#include "spell/Words.h"

#include "common/FileSizeLimit.h"
#include "common/TempDir.h"
#include "engine/TQCmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using kelpa::engine::TQCmp;

using namespace kelpa::spell;
using kelpa::spell::test::cp;
using kelpa::test::readBytes;
using kelpa::test::TempDir;
using kelpa::test::writeBytes;
using Bytes = std::vector<std::uint8_t>;

namespace {

std::vector<std::string> wordsOf(const TKPD &d)
{
    std::vector<std::string> out;
    for (int i = 0; i < d.Count; ++i)
        out.push_back(d.GetWord(i));
    return out;
}

Bytes header(std::uint32_t version = 201, std::uint32_t offset = 256)
{
    Bytes h(256, 0);
    const std::string magic = "VOKAT.KPD";
    std::copy(magic.begin(), magic.end(), h.begin());
    for (int i = 0; i < 4; ++i) {
        h[9 + i] = static_cast<std::uint8_t>(version >> (8 * i));
        h[13 + i] = static_cast<std::uint8_t>(offset >> (8 * i));
    }
    return h;
}

// A file holding the given word list as it stands (not necessarily sorted or valid).
Bytes fileOf(const std::string &list, std::uint32_t version = 201)
{
    TQCmp coder;
    EXPECT_TRUE(coder.Compress(reinterpret_cast<const std::uint8_t *>(list.data()), list.size(), true));
    Bytes file = header(version);
    file.insert(file.end(), coder.Output.begin(), coder.Output.begin() + coder.OutputLength);
    return file;
}

bool load(TKPD &d, const Bytes &file) { return d.LoadFromBytes(file.data(), file.size(), "dict.kpd"); }

void setU32(Bytes &b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

TEST(KpdFile, GoldenBytes)
{
    TempDir dir;
    const struct {
        std::vector<std::string> words;
        Bytes block;
    } cases[] = {
        // The list "\0": one symbol coded 000.
        {{}, {0x02, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x00}},
        // "ab\rba\r\0": b 000, a 111, CR 0010, NUL 1101 (equal counts: higher byte first).
        {{"ba", "ab"}, {0x02, 0x04, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x62, 0x61, 0x0D, 0x00, 0xE0, 0x87, 0x2D}},
    };
    for (const auto &c : cases) {
        TKPD d;
        for (const auto &w : c.words)
            d.Add(w);
        const std::string path = dir.file("golden.kpd");
        ASSERT_TRUE(d.SaveToFile(path)) << d.ErrorText();
        Bytes expected = header();
        expected.insert(expected.end(), c.block.begin(), c.block.end());
        EXPECT_EQ(readBytes(path), expected);
    }
}

TEST(KpdFile, RoundTrips)
{
    TempDir dir;
    for (int n : {0, 1, 2, 1000}) {
        TKPD d;
        for (int i = 0; i < n; ++i)
            d.Add((i % 2 ? "word" : cp("слово")) + std::to_string(i * 37 % 1009) + (i % 3 ? cp("ёжчю") : "-'"));
        ASSERT_EQ(d.Count, n);
        const std::string path = dir.file("round.kpd");
        ASSERT_TRUE(d.SaveToFile(path)) << d.ErrorText();
        EXPECT_EQ(d.Error, 0);
        EXPECT_FALSE(d.Modified);

        TKPD back;
        back.Add("previous");
        ASSERT_TRUE(back.LoadFromFile(path)) << back.ErrorText();
        EXPECT_EQ(back.Error, 0);
        EXPECT_EQ(wordsOf(back), wordsOf(d)) << n;
        EXPECT_FALSE(back.Modified);
        EXPECT_EQ(back.Version, 201);
        EXPECT_EQ(back.Name, "");
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(back.Find(d.GetWord(i)), i);
        // Loaded stores grow like any other.
        ASSERT_TRUE(back.Add("zz-new"));
        EXPECT_GE(back.Find("zz-new"), 0);
    }
}

TEST(KpdFile, SaveReplacesTheFileAndLeavesNothingBehind)
{
    TempDir dir;
    const std::string path = dir.file("main.kpd");
    kelpa::test::writeText(path, "old contents");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    TKPD d;
    d.Add("fresh");
    ASSERT_TRUE(d.SaveToFile(path)) << d.ErrorText();
    TKPD back;
    ASSERT_TRUE(back.LoadFromFile(path));
    EXPECT_EQ(wordsOf(back), std::vector<std::string>{"fresh"});
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    int entries = 0;
    for ([[maybe_unused]] const auto &e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(KpdFile, SaveThroughALinkKeepsTheLink)
{
    TempDir dir;
    const std::string target = dir.file("real.kpd");
    const std::string link = dir.file("link.kpd");
    std::filesystem::create_symlink(target, link);
    TKPD d;
    d.Add("linked");
    ASSERT_TRUE(d.SaveToFile(link)) << d.ErrorText();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    TKPD back;
    ASSERT_TRUE(back.LoadFromFile(target));
    EXPECT_EQ(wordsOf(back), std::vector<std::string>{"linked"});
}

TEST(KpdFile, FailedSaveLeavesTheOldFile)
{
    TempDir dir;
    TKPD d;
    d.Add("word");
    EXPECT_FALSE(d.SaveToFile(dir.file("missing/folder.kpd")));
    EXPECT_EQ(d.Error, 3);
    EXPECT_EQ(d.ErrorText(), "KPD:FOpen");
    EXPECT_TRUE(d.Modified);

    // A folder in the way cannot be opened for writing; it stays as it was, with its file.
    const std::string blocked = dir.file("blocked.kpd");
    std::filesystem::create_directory(blocked);
    kelpa::test::writeText(blocked + "/inside", "kept");
    EXPECT_FALSE(d.SaveToFile(blocked));
    EXPECT_EQ(d.Error, 3);
    EXPECT_TRUE(d.Modified);
    EXPECT_EQ(readBytes(blocked + "/inside"), (Bytes{'k', 'e', 'p', 't'}));
    int entries = 0;
    for ([[maybe_unused]] const auto &e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(KpdFile, ShortWritesLeaveTheOldFile)
{
    TempDir dir;
    const std::string path = dir.file("main.kpd");
    TKPD old;
    old.Add("old");
    ASSERT_TRUE(old.SaveToFile(path));
    const Bytes oldBytes = readBytes(path);

    TKPD d;
    for (int i = 0; i < 500; ++i)
        d.Add("word" + std::to_string(i));
    struct Case {
        const char *name;
        rlim_t limit;
        std::int32_t code;
    };
    // Files may grow only to the limit: the header, or the block after it, is written short.
    const Case cases[] = {{"header", 100, 8}, {"block", 300, 1004}};
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.name);
        bool ok = true;
        {
            const kelpa::test::FileSizeLimit limit(tc.limit);
            ok = d.SaveToFile(path);
        }
        EXPECT_FALSE(ok);
        EXPECT_EQ(d.Error, tc.code);
        EXPECT_TRUE(d.Modified);
        EXPECT_EQ(readBytes(path), oldBytes);
        int entries = 0;
        for ([[maybe_unused]] const auto &e : std::filesystem::directory_iterator(dir.path()))
            ++entries;
        EXPECT_EQ(entries, 1);
    }
}

TEST(KpdFile, OlderVersionsLoadNewerAreRefused)
{
    TKPD d;
    ASSERT_TRUE(load(d, fileOf("a\rb\r", 150)));
    EXPECT_EQ(wordsOf(d), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(d.Version, 201);

    EXPECT_FALSE(load(d, fileOf("x\r", 202)));
    EXPECT_EQ(d.Error, 6);
    EXPECT_EQ(d.ErrorText(), "KPD:Sup.Ver");
    EXPECT_EQ(wordsOf(d), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(d.Version, 201);
}

TEST(KpdFile, UntidyWordListsArePutRight)
{
    const struct {
        std::string list;
        std::vector<std::string> words;
    } cases[] = {
        {"b\ra\rc\r", {"a", "b", "c"}},
        {"b\ra\rb\ra\r", {"a", "b"}},
        {"Big\rbig\rSMALL\r", {"big", "small"}},
        {"keep\r" + std::string(100, 'x') + "\rok\r", {"keep", "ok"}},
        {"one\r\r\rtwo", {"one", "two"}},           // runs of CR; no CR at the end
        {"\rlead\r", {"", "lead"}},                 // a CR first stands for the empty word
        {std::string("a\rb\r\0c\r", 7), {"a", "b"}}, // the list ends at its NUL
        {"", {}},
        {"line\nfeed\r", {}}, // a word with LF cannot be stored
        {" pad \r\t\rpad\r", {"pad"}},
        {"  \rx\r", {"x"}},
    };
    for (const auto &c : cases) {
        TKPD d;
        ASSERT_TRUE(load(d, fileOf(c.list))) << d.ErrorText();
        EXPECT_EQ(wordsOf(d), c.words) << c.list;
        EXPECT_FALSE(d.Modified);
    }
}

TEST(KpdFile, DamagedFilesGiveErrorCodes)
{
    const Bytes good = fileOf("alpha\rbeta\rgamma\r" + std::string(1, '\0'));
    const std::size_t block = 256;
    auto cut = [&good](std::size_t n) { return Bytes(good.begin(), good.begin() + static_cast<long>(n)); };
    auto with = [&good](auto change) {
        Bytes b = good;
        change(b);
        return b;
    };
    const struct {
        const char *what;
        Bytes file;
        std::int32_t error;
    } cases[] = {
        {"empty", {}, 4},
        {"magic cut", cut(5), 4},
        {"other magic", with([](Bytes &b) { b[8] = 'X'; }), 5},
        {"text file", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}, 5},
        {"version missing", cut(9), 7},
        {"version cut", cut(12), 7},
        {"offset missing", cut(13), 7},
        {"offset cut", cut(16), 7},
        {"version 202, offset missing", with([](Bytes &b) { setU32(b, 9, 202); b.resize(13); }), 6},
        {"negative version is older", with([](Bytes &b) { setU32(b, 9, 0xFFFFFFFF); }), 0},
        {"negative offset", with([](Bytes &b) { setU32(b, 13, 0x80000000); }), 7},
        {"offset past the end", with([&b = good](Bytes &x) { setU32(x, 13, static_cast<std::uint32_t>(b.size() + 1)); }), 7},
        {"offset leaves no length", with([&b = good](Bytes &x) { setU32(x, 13, static_cast<std::uint32_t>(b.size() - 4)); }), 7},
        {"no block", cut(block), 7},
        {"block head cut", cut(block + 8), 1006},
        {"block format byte", with([](Bytes &b) { b[block] = 1; }), 1002},
        {"offset into the header", with([](Bytes &b) { setU32(b, 13, 0); }), 1002},
        {"declared length huge", with([](Bytes &b) { setU32(b, block + 2, 0xFFFFFFF0); }), 1006},
        {"declared length too long", with([](Bytes &b) { setU32(b, block + 2, 100); }), 1006},
        {"symbols past the block", with([](Bytes &b) { b[block + 1] = 200; }), 1006},
        {"code bytes cut", with([](Bytes &b) { b.resize(b.size() - 3); }), 1006},
        {"rank without a symbol", with([](Bytes &b) { b[block + 1] = 1; }), 1006},
        {"version 1 cut", Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}, 2},
        {"version 1 symbols past the end", Bytes{1, 200, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'a'}, 2},
        {"version 1 length too long", Bytes{1, 1, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0, 0, 0, 'a', 0x92, 0x49, 0}, 2},
        {"version 1 code without symbol", Bytes{1, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'a', 0x88, 0}, 2},
        {"version 1 code not ended", Bytes{1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'a', 0xFF, 0}, 2},
        {"version 1 stream starts with 0", Bytes{1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'a', 0x00, 0}, 2},
        {"version 1 stream runs out", Bytes{1, 4, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'a', 'b', 'c', 'd', 0x94, 0}, 2},
    };
    for (const auto &c : cases) {
        TKPD d;
        d.Add("previous");
        d.Modified = false;
        const bool ok = load(d, c.file);
        EXPECT_EQ(d.Error, c.error) << c.what;
        EXPECT_EQ(ok, c.error == 0) << c.what;
        if (!ok) {
            EXPECT_EQ(wordsOf(d), std::vector<std::string>{"previous"}) << c.what;
            EXPECT_FALSE(d.Modified) << c.what;
        }
    }
}

TEST(KpdFile, DamagedFilesFromDisk)
{
    TempDir dir;
    TKPD d;
    d.Add("previous");
    EXPECT_FALSE(d.LoadFromFile(dir.file("absent.kpd")));
    EXPECT_EQ(d.Error, 3);
    EXPECT_EQ(d.ErrorText(), "KPD:FOpen");
    EXPECT_FALSE(d.LoadFromFile(dir.path().string())); // a folder
    EXPECT_EQ(d.Error, 4);
    const std::string short_ = dir.file("short.kpd");
    writeBytes(short_, fileOf("x\r", 202));
    EXPECT_FALSE(d.LoadFromFile(short_));
    EXPECT_EQ(d.Error, 6);
    EXPECT_EQ(wordsOf(d), std::vector<std::string>{"previous"});
}

// Version 1 of the format: "ab\r\nba\r\n" with the symbols a b CR LF and comma codes
// a 100, b 1000, CR 1100, LF 10100:
// 100 1000 1100 10100 1000 100 1100 10100 = 10010001 10010100 10001001 10010100.
const Bytes VersionOne = {0x01, 0x04, 0x08, 0x00, 0x00, 0x00, 0, 0, 0, 0, 0, 0,
                          'a',  'b',  0x0D, 0x0A, 0x91, 0x94, 0x89, 0x94, 0xFF};

TEST(KpdFileVersionOne, HandMadeFile)
{
    TempDir dir;
    const std::string path = dir.file("old.kpd");
    writeBytes(path, VersionOne);
    TKPD d;
    ASSERT_TRUE(d.LoadFromFile(path)) << d.ErrorText();
    EXPECT_EQ(wordsOf(d), (std::vector<std::string>{"ab", "ba"}));
    EXPECT_EQ(d.Name, dir.file("old_v0.1.kpd"));
    EXPECT_FALSE(d.Modified);
    EXPECT_EQ(d.Version, 201);
    EXPECT_EQ(d.VersionText(), "2.1");

    // Saved again, it is a current file.
    ASSERT_TRUE(d.SaveToFile(d.Name));
    TKPD again;
    ASSERT_TRUE(again.LoadFromFile(d.Name));
    EXPECT_EQ(wordsOf(again), wordsOf(d));
    EXPECT_EQ(again.Name, "");
}

// Writes a version-1 file of `text` with its own comma-code table, symbols in first-use order.
Bytes versionOneOf(const std::string &text)
{
    std::vector<std::string> codes;
    for (unsigned k = 1; codes.size() < 256; ++k) {
        std::string bits;
        for (unsigned v = k; v; v >>= 1)
            bits.insert(bits.begin(), char('0' + (v & 1)));
        if (bits.find("00") == std::string::npos)
            codes.push_back(bits + "00");
    }
    std::vector<unsigned char> symbols;
    std::string stream;
    for (unsigned char c : text) {
        auto at = std::find(symbols.begin(), symbols.end(), c);
        if (at == symbols.end())
            at = symbols.insert(symbols.end(), c);
        stream += codes[static_cast<std::size_t>(at - symbols.begin())];
    }
    Bytes file = {1, static_cast<std::uint8_t>(symbols.size()), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    setU32(file, 2, static_cast<std::uint32_t>(text.size()));
    file.insert(file.end(), symbols.begin(), symbols.end());
    stream.resize((stream.size() + 7) / 8 * 8, '0');
    for (std::size_t i = 0; i < stream.size(); i += 8)
        file.push_back(static_cast<std::uint8_t>(std::stoi(stream.substr(i, 8), nullptr, 2)));
    file.push_back(0);
    return file;
}

TEST(KpdFileVersionOne, ManySymbols)
{
    // More than a hundred distinct bytes, so that long codes occur.
    std::string text;
    std::vector<std::string> expected;
    for (int i = 0; i < 150; ++i) {
        const std::string w = std::string(1, static_cast<char>(0xC0 + i % 64)) + "x" +
                              std::string(1, static_cast<char>('!' + i % 90)) + std::to_string(i);
        text += w + "\r\n";
    }
    TKPD d;
    const Bytes file = versionOneOf(text);
    ASSERT_TRUE(d.LoadFromBytes(file.data(), file.size(), "/x/big.dic")) << d.ErrorText();
    EXPECT_EQ(d.Count, 150);
    EXPECT_EQ(d.Name, "/x/big_v0.1.kpd");
    for (int i = 0; i < d.Count; ++i)
        EXPECT_EQ(d.GetWord(i).find('\n'), std::string::npos);
    TKPD check;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find("\r\n", start);
        check.Add(text.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(wordsOf(d), wordsOf(check));
}

} // namespace

namespace {

TEST(KpdFileVersionOne, PaddingAfterTheLastCode)
{
    const struct {
        std::string text;
        std::vector<std::string> words;
    } cases[] = {
        {"b\r\n", {"b"}},             // LF coded 1100, then padding zeros
        {"ab\r\nb\r\n", {"ab", "b"}}, // ends on a byte boundary
        {"ab", {"ab"}},               // no line end: b coded 1000, then a padding zero
        {"x\r\nyy\r\nzzz\r\n", {"x", "yy", "zzz"}},
    };
    for (const auto &c : cases) {
        TKPD d;
        const Bytes file = versionOneOf(c.text);
        ASSERT_TRUE(d.LoadFromBytes(file.data(), file.size(), "p.kpd")) << c.text;
        EXPECT_EQ(wordsOf(d), c.words) << c.text;
    }
}

} // namespace

namespace {

// A stream whose end does not decode (zero padding read as a longer code, a length that runs
// past the stream) keeps every word ended by its line end; with none, the file is refused.
TEST(KpdFileVersionOne, UndecodableEndKeepsTheCompleteWords)
{
    auto longer = [](Bytes file, std::uint32_t extra) {
        setU32(file, 2, static_cast<std::uint32_t>(file[2] | file[3] << 8) + extra);
        return file;
    };
    const struct {
        const char *what;
        Bytes file;
        std::vector<std::string> words;
    } cases[] = {
        {"NUL after the list, zero padded",
         {0x01, 0x06, 0x06, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'a', 'b', 'c', 0x0D, 0x0A, 0x00, 0x91, 0x94, 0xC7, 0x00, 0x00},
         {"abc"}},
        {"length past the stream after whole words", longer(versionOneOf("ab\r\ncd\r\n"), 4), {"ab", "cd"}},
        {"length past the stream in a word", longer(versionOneOf("ab\r\ncd"), 3), {"ab"}},
    };
    for (const auto &c : cases) {
        TKPD d;
        ASSERT_TRUE(d.LoadFromBytes(c.file.data(), c.file.size(), "old.kpd")) << c.what << ": " << d.ErrorText();
        EXPECT_EQ(wordsOf(d), c.words) << c.what;
        EXPECT_EQ(d.Name, "old_v0.1.kpd") << c.what;
        EXPECT_FALSE(d.Modified) << c.what;
    }
    // Nothing but a word cut short: no word to keep.
    TKPD d;
    d.Add("previous");
    const Bytes cut = longer(versionOneOf("abc"), 2);
    EXPECT_FALSE(d.LoadFromBytes(cut.data(), cut.size(), "old.kpd"));
    EXPECT_EQ(d.ErrorText(), "KPD:V1Load");
    EXPECT_EQ(wordsOf(d), std::vector<std::string>{"previous"});
}

} // namespace
