#include "editor/Settings.h"

#include "common/TempDir.h"

#include <QFile>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

#include <cerrno>

using namespace kelpa::editor;

namespace {

KelpaSettings read(const char *text) { return KelpaSettings::fromBytes(QByteArray(text)); }

struct ValueCase {
    const char *file;
    std::function<bool(const KelpaSettings &)> holds;
    const char *what;
};

} // namespace

TEST(Settings, MissingFileGivesEveryDefault)
{
    kelpa::test::TempDir dir;
    const KelpaSettings s = loadSettings(QString::fromStdString(dir.file("Kelpa.ini")));
    EXPECT_EQ(s.normalWidth, 530);
    EXPECT_EQ(s.normalHeight, 414);
    EXPECT_FALSE(s.maximized);
    EXPECT_EQ(s.dateFormatOption, 0);
    EXPECT_EQ(s.separatorLength, 79);
    EXPECT_TRUE(s.findCapture);
    EXPECT_FALSE(s.batchScope);
    EXPECT_TRUE(s.autoWrap);
    EXPECT_TRUE(s.commonPassword);
    EXPECT_TRUE(s.showToolbar);
    EXPECT_TRUE(s.encEC4);
    EXPECT_EQ(s.defaultFontName, "Courier New");
    EXPECT_EQ(s.defaultFontSize, 8);
    EXPECT_EQ(s.defaultFontColor, -2147483640);
    for (const QString &r : s.prevLoaded)
        EXPECT_EQ(r, "*empty");
}

TEST(Settings, EachValueReadOrDefaulted)
{
    const std::vector<ValueCase> cases = {
        {"Maximized=y", [](auto &s) { return s.maximized && s.normalWidth == 530 && s.normalHeight == 414; },
         "lower-case y maximises, size stays default"},
        {"Maximized=N", [](auto &s) { return !s.maximized; }, "N is normal"},
        {"Maximized=yes", [](auto &s) { return !s.maximized; }, "not Y/N keeps normal"},
        {"NormalWidth=800\r\nNormalHeight=600", [](auto &s) { return s.normalWidth == 800 && s.normalHeight == 600; },
         "sizes read"},
        {"NormalWidth=wide", [](auto &s) { return s.normalWidth == 530; }, "non-number width"},
        {"NormalHeight=", [](auto &s) { return s.normalHeight == 414; }, "empty height"},
        {"NormalWidth=99999999999", [](auto &s) { return s.normalWidth == 530; }, "out of int range"},
        {"NormalWidth=-40", [](auto &s) { return s.normalWidth == -40; }, "negative stored as read"},
        {"DateFormatOption=7", [](auto &s) { return s.dateFormatOption == 7; }, "no range test"},
        {"DateFormatOption=x", [](auto &s) { return s.dateFormatOption == 0; }, "bad date option"},
        {"Separator=-5", [](auto &s) { return s.separatorLength == -5; }, "negative separator stored"},
        {"Separator=12a", [](auto &s) { return s.separatorLength == 79; }, "trailing junk"},
        {"AutoWrap=maybe", [](auto &s) { return s.autoWrap; }, "bad AutoWrap keeps checked"},
        {"AutoWrap=n", [](auto &s) { return !s.autoWrap; }, "AutoWrap off"},
        {"FindCapture=maybe", [](auto &s) { return s.findCapture; }, "bad FindCapture keeps form state"},
        {"FindCapture=N", [](auto &s) { return !s.findCapture; }, "FindCapture off"},
        {"Batchscope=Y", [](auto &s) { return s.batchScope; }, "batch window on"},
        {"Batchscope=1", [](auto &s) { return !s.batchScope; }, "bad Batchscope keeps it off"},
        {"CommonPWD=N", [](auto &s) { return !s.commonPassword; }, "common password off"},
        {"CommonPWD=Y", [](auto &s) { return s.commonPassword; }, "Y keeps it on"},
        {"CommonPWD=q", [](auto &s) { return s.commonPassword; }, "bad keeps it on"},
        {"ShowToolbar=N", [](auto &s) { return !s.showToolbar; }, "toolbar hidden"},
        {"ShowToolbar=?", [](auto &s) { return s.showToolbar; }, "bad toolbar value shows it"},
        {"EncEC4=N", [](auto &s) { return !s.encEC4; }, "Blowfish chosen"},
        {"EncEC4=", [](auto &s) { return s.encEC4; }, "empty keeps EC4"},
        {"EncEC4=n\r\nEncEC4=Y", [](auto &s) { return !s.encEC4; }, "first EncEC4 line counts"},
        {"DefaultFontName=", [](auto &s) { return s.defaultFontName == "Courier New"; }, "empty font name"},
        {"DefaultFontName=DejaVu Sans", [](auto &s) { return s.defaultFontName == "DejaVu Sans"; }, "font name"},
        {"DefaultFontSize=x", [](auto &s) { return s.defaultFontSize == 8; }, "bad font size"},
        {"DefaultFontSize=12", [](auto &s) { return s.defaultFontSize == 12; }, "font size"},
        {"DefaultFontColor=red", [](auto &s) { return s.defaultFontColor == kWindowTextColor; }, "bad colour"},
        {"DefaultFontColor=255", [](auto &s) { return s.defaultFontColor == 255; }, "red"},
        {"DefaultFontColor=-2147483643", [](auto &s) { return s.defaultFontColor == -2147483643; },
         "system colour, signed"},
        {"PrevLoaded3=/a/b.txt\r\nPrevLoaded4=", [](auto &s) {
             return s.prevLoaded[3] == "/a/b.txt" && s.prevLoaded[4] == "*empty";
         }, "recent slot and empty slot"},
        {"maximized=Y", [](auto &s) { return s.maximized; }, "names without regard to case"},
        {"Separator=10\r\nSeparator=20", [](auto &s) { return s.separatorLength == 10; }, "first line wins"},
        {"Separator=10=3", [](auto &s) { return s.separatorLength == 79; }, "value after first ="},
        {"junk line\r\n=\r\nSeparator=33", [](auto &s) { return s.separatorLength == 33; }, "junk lines skipped"},
        {"Separator=44\n", [](auto &s) { return s.separatorLength == 44; }, "LF line ends"},
    };
    for (const auto &c : cases)
        EXPECT_TRUE(c.holds(read(c.file))) << c.what << ": " << c.file;
}

TEST(Settings, GoldenFileInKeyOrder)
{
    KelpaSettings s;
    s.normalWidth = 640;
    s.normalHeight = 480;
    s.maximized = true;
    s.dateFormatOption = 2;
    s.separatorLength = 60;
    s.findCapture = false;
    s.batchScope = true;
    s.autoWrap = false;
    s.commonPassword = false;
    s.showToolbar = true;
    s.encEC4 = false;
    s.defaultFontName = QStringLiteral("Liberation Mono");
    s.defaultFontSize = 11;
    s.defaultFontColor = 255;
    s.prevLoaded[0] = QStringLiteral("/home/u/notes & more.txt");
    s.prevLoaded[1] = QStringLiteral("/home/u/Brief\u00e4.eco");
    const QByteArray golden = "NormalWidth=640\r\n"
                              "NormalHeight=480\r\n"
                              "Maximized=Y\r\n"
                              "DateFormatOption=2\r\n"
                              "Separator=60\r\n"
                              "FindCapture=N\r\n"
                              "Batchscope=Y\r\n"
                              "AutoWrap=N\r\n"
                              "CommonPWD=N\r\n"
                              "ShowToolbar=Y\r\n"
                              "EncEC4=N\r\n"
                              "DefaultFontName=Liberation Mono\r\n"
                              "DefaultFontSize=11\r\n"
                              "DefaultFontColor=255\r\n"
                              "PrevLoaded0=/home/u/notes & more.txt\r\n"
                              "PrevLoaded1=/home/u/Brief\xc3\xa4.eco\r\n"
                              "PrevLoaded2=*empty\r\n"
                              "PrevLoaded3=*empty\r\n"
                              "PrevLoaded4=*empty\r\n"
                              "PrevLoaded5=*empty\r\n"
                              "PrevLoaded6=*empty\r\n"
                              "PrevLoaded7=*empty\r\n"
                              "PrevLoaded8=*empty\r\n"
                              "PrevLoaded9=*empty\r\n"
                              "PrevLoaded10=*empty\r\n"
                              "PrevLoaded11=*empty\r\n";
    EXPECT_EQ(s.toBytes().toStdString(), golden.toStdString());
    // Read back, the same settings come out.
    EXPECT_EQ(KelpaSettings::fromBytes(golden).toBytes(), golden);
}

// The file as the editor writes it, kept beside the tests: a recent file whose name holds "=" and
// non-ASCII letters, negative and largest numbers.
TEST(Settings, WritesTheStoredFileByteForByte)
{
    KelpaSettings s;
    s.normalWidth = -20;
    s.separatorLength = 2147483647;
    s.defaultFontColor = -2147483647 - 1;
    s.prevLoaded[0] = QStringLiteral("/home/u/a=b \u00e4\u0436.txt");
    s.prevLoaded[11] = QStringLiteral("/tmp/last.eco");
    const std::string golden = kelpa::test::readText(KELPA_SOURCE_DIR "/tests/editor/fixtures/Kelpa.ini");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(s.toBytes().toStdString(), golden);
    EXPECT_EQ(KelpaSettings::fromBytes(QByteArray::fromStdString(golden)).toBytes().toStdString(), golden);
}

// A file edited by hand (names in other cases, blanks, CR-only and bare lines, a repeated name,
// bytes that are not UTF-8) is read and saved again as the editor always has.
TEST(Settings, HandEditedFileSavedAsBefore)
{
    const std::string edited = kelpa::test::readText(KELPA_SOURCE_DIR "/tests/editor/fixtures/Kelpa-edited.ini");
    ASSERT_FALSE(edited.empty());
    const std::string saved = kelpa::test::readText(KELPA_SOURCE_DIR "/tests/editor/fixtures/Kelpa-edited-saved.ini");
    const std::string now = KelpaSettings::fromBytes(QByteArray::fromStdString(edited)).toBytes().toStdString();
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(now, saved);
}

TEST(Settings, DefaultColourWrittenSigned)
{
    EXPECT_TRUE(KelpaSettings().toBytes().contains("DefaultFontColor=-2147483640\r\n"));
}

TEST(Settings, SaveReplacesWholeFileAndDropsUnknownKeys)
{
    kelpa::test::TempDir dir;
    const std::string name = dir.file("Kelpa.ini");
    kelpa::test::writeText(name, "Unknown=1\r\nSeparator=5\r\n");
    KelpaSettings s = loadSettings(QString::fromStdString(name));
    EXPECT_EQ(s.separatorLength, 5);
    ASSERT_EQ(saveSettings(QString::fromStdString(name), s), 0);
    const auto bytes = kelpa::test::readBytes(name);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.find("Unknown"), std::string::npos);
    EXPECT_NE(text.find("Separator=5\r\n"), std::string::npos);
    // No temporary file is left beside it.
    int files = 0;
    for ([[maybe_unused]] const auto &e : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1);
}

TEST(Settings, FailedSaveLeavesOldFile)
{
    kelpa::test::TempDir dir;
    // The folder to write into does not exist: nothing can be created, nothing is reported done.
    const QString name = QString::fromStdString(dir.file("missing/Kelpa.ini"));
    EXPECT_EQ(saveSettings(name, KelpaSettings()), ENOENT);
}

TEST(Settings, UnsafeValuesClampedWhereUsed)
{
    struct Case { int stored, fallback, screen, expected; };
    for (const Case c : {Case{530, 530, 1280, 530}, Case{-40, 530, 1280, 530}, Case{0, 414, 1024, 414},
                         Case{99999, 530, 1280, 1280}, Case{700, 530, 0, 700}})
        EXPECT_EQ(usableClientExtent(c.stored, c.fallback, c.screen), c.expected) << c.stored;
}
