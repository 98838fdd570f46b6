#include "support/settings/NameValueFile.h"

#include "common/TempDir.h"
#include "common/Unprivileged.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

using namespace kelpa;

TEST(NameValueFile, LinesValuesAndNumbers)
{
    const NameValueLines lines = NameValueLines::parse("Dictionary=english.kpd\r\nnoequals\nA=b=c\r\n\r\nDICTIONARY=later\n");
    EXPECT_EQ(lines.value("dictionary"), QString("english.kpd")) << "the first line of the name, any case";
    EXPECT_EQ(lines.value("noequals"), QString());
    EXPECT_EQ(lines.value("a"), QString("b=c"));
    EXPECT_FALSE(lines.value("missing").has_value());
    NameValueLines set = lines;
    set.set("dictionary", "other.kpd");
    set.set("New", "1");
    EXPECT_EQ(set.toBytes(), "Dictionary=other.kpd\r\nnoequals=\r\nA=b=c\r\nDICTIONARY=later\r\nNew=1\r\n");

    const std::pair<const char *, std::optional<int>> numbers[] = {
        {"12", 12}, {" -7 ", -7}, {"+3", 3}, {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1},
        {"2147483648", std::nullopt}, {"1x", std::nullopt}, {"", std::nullopt}, {"-", std::nullopt},
    };
    for (const auto &[text, value] : numbers)
        EXPECT_EQ(parseDecimal(QString::fromLatin1(text)), value) << text;
    EXPECT_EQ(parseYN(QString("y")), true);
    EXPECT_EQ(parseYN(QString("N")), false);
    EXPECT_EQ(parseYN(QString("yes")), std::nullopt);
    EXPECT_EQ(parseYN(std::nullopt), std::nullopt);
    EXPECT_EQ(yn(true), "Y");
}

TEST(NameValueFile, ReadAndWriteWhole)
{
    kelpa::test::TempDir dir;
    const QString name = QString::fromStdString(dir.file("kpsc.ini"));
    int error = -1;
    EXPECT_TRUE(readNameValueFile(name, &error).isEmpty());
    EXPECT_EQ(error, 0) << "a missing file is no error: every value keeps its default";

    NameValueLines lines;
    lines.set("Dictionary", "russian.kpd");
    ASSERT_EQ(writeNameValueFile(name, lines), 0);
    EXPECT_EQ(readNameValueFile(name, &error).value("Dictionary"), QString("russian.kpd"));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    // A folder by that name, a folder that is not there.
    EXPECT_TRUE(readNameValueFile(QString::fromStdString(dir.path().string()), &error).isEmpty());
    EXPECT_EQ(error, EISDIR);
    EXPECT_EQ(writeNameValueFile(QString::fromStdString(dir.file("none/kpsc.ini")), lines), ENOENT);
    EXPECT_EQ(writeNameValueFile(QString::fromStdString(dir.path().string()), lines), EISDIR);

    // A file its reader may not read.
    ::chmod(dir.file("kpsc.ini").c_str(), 0);
    EXPECT_EQ(kelpa::test::runUnprivileged([&] {
                  int e = 0;
                  return readNameValueFile(name, &e).isEmpty() && e == EACCES ? 0 : 1;
              }),
              0);
}
