#include "editor/SafeFile.h"

#include "common/FileSizeLimit.h"
#include "common/TempDir.h"

#include <QFile>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace kelpa::editor;

namespace {

std::size_t entries(const std::filesystem::path &p)
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto &e : std::filesystem::directory_iterator(p))
        ++n;
    return n;
}

} // namespace

TEST(SafeFile, ReplacesContentAndKeepsPermissionBits)
{
    kelpa::test::TempDir dir;
    const std::string name = dir.file("doc.txt");
    kelpa::test::writeText(name, "old");
    ::chmod(name.c_str(), 0444);
    ASSERT_TRUE(writeFileReplacing(QString::fromStdString(name), "new text"));
    const auto bytes = kelpa::test::readBytes(name);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "new text");
    struct stat st {};
    ASSERT_EQ(::stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_TRUE(isReadOnlyFile(QString::fromStdString(name)));
    EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(SafeFile, FailedWriteLeavesTheOldFileByteIdentical)
{
    kelpa::test::TempDir dir;
    const std::string name = dir.file("doc.txt");
    kelpa::test::writeText(name, "precious");
    QString error;
    {
        const kelpa::test::FileSizeLimit limit(16);
        EXPECT_FALSE(writeFileReplacing(QString::fromStdString(name), QByteArray(4096, 'x'), &error));
    }
    EXPECT_FALSE(error.isEmpty());
    const auto bytes = kelpa::test::readBytes(name);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "precious");
    EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(SafeFile, WriterFailureReplacesNothing)
{
    kelpa::test::TempDir dir;
    const std::string name = dir.file("doc.eco");
    kelpa::test::writeText(name, "precious");
    EXPECT_FALSE(replaceFileThrough(QString::fromStdString(name), [](const QString &temp) {
        QFile f(temp);
        f.open(QIODevice::WriteOnly);
        f.write("half");
        return false;
    }));
    const auto bytes = kelpa::test::readBytes(name);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "precious");
    EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(SafeFile, LinkIsFollowedAndKept)
{
    kelpa::test::TempDir dir;
    const std::string real = dir.file("real.txt");
    const std::string link = dir.file("link.txt");
    kelpa::test::writeText(real, "old");
    std::filesystem::create_symlink(real, link);
    ASSERT_TRUE(writeFileReplacing(QString::fromStdString(link), "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    const auto bytes = kelpa::test::readBytes(real);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "new");
}
