#include "support/documents/Documents.h"

#include "platform/safefile/SafeFile.h"

#include "common/FileSizeLimit.h"
#include "common/TempDir.h"

#include <QFile>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

using namespace kelpa::documents;

namespace {

std::size_t entries(const std::filesystem::path &p)
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto &e : std::filesystem::directory_iterator(p))
        ++n;
    return n;
}

} // namespace

TEST(WriteFile, ReplacesContentAndKeepsPermissionBits)
{
    kelpa::test::TempDir dir;
    const std::string name = dir.file("doc.txt");
    kelpa::test::writeText(name, "old");
    ::chmod(name.c_str(), 0444);
    ASSERT_TRUE(writeTextFile(QString::fromStdString(name), "new text").ok());
    const auto bytes = kelpa::test::readBytes(name);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "new text");
    struct stat st {};
    ASSERT_EQ(::stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_TRUE(isReadOnlyFile(QString::fromStdString(name)));
    EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(WriteFile, FailedWriteLeavesTheOldFileByteIdentical)
{
    kelpa::test::TempDir dir;
    const std::string name = dir.file("doc.txt");
    kelpa::test::writeText(name, "precious");
    DocumentError error;
    {
        const kelpa::test::FileSizeLimit limit(16);
        error = writeTextFile(QString::fromStdString(name), QByteArray(4096, 'x'));
    }
    EXPECT_EQ(error.failure, Failure::Write);
    EXPECT_EQ(error.systemError, EFBIG);
    const auto bytes = kelpa::test::readBytes(name);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "precious");
    EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(WriteFile, WriterFailureReplacesNothing)
{
    kelpa::test::TempDir dir;
    const std::string name = dir.file("doc.eco");
    kelpa::test::writeText(name, "precious");
    {
        // Another writer fills the temporary file by its name, then fails: nothing is committed.
        kelpa::SafeFileWriter out(name);
        out.handOver();
        QFile f(QString::fromStdString(out.tempName()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("half");
    }
    const auto bytes = kelpa::test::readBytes(name);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "precious");
    EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(WriteFile, LinkIsFollowedAndKept)
{
    kelpa::test::TempDir dir;
    const std::string real = dir.file("real.txt");
    const std::string link = dir.file("link.txt");
    kelpa::test::writeText(real, "old");
    std::filesystem::create_symlink(real, link);
    ASSERT_TRUE(writeTextFile(QString::fromStdString(link), "new").ok());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    const auto bytes = kelpa::test::readBytes(real);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "new");
}
