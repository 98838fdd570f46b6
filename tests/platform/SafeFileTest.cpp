#include "platform/safefile/SafeFile.h"

#include "common/FileSizeLimit.h"
#include "common/TempDir.h"
#include "common/Unprivileged.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using kelpa::SafeFileError;
using kelpa::SafeFileWriter;
using kelpa::test::TempDir;

std::string textOf(const std::string &file)
{
    const auto bytes = kelpa::test::readBytes(file);
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> namesIn(const fs::path &dir)
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

unsigned modeOf(const std::string &file)
{
    struct stat st {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0) << file;
    return st.st_mode & 07777;
}

bool writeAndCommit(const std::string &target, const std::string &text)
{
    SafeFileWriter out(target);
    return out.write(text.data(), text.size()) && out.commit();
}

TEST(SafeFileWriter, ReplacesTheTargetKeepingItsPermissionBits)
{
    TempDir dir;
    const std::string file = dir.file("doc");
    for (unsigned mode : {0640u, 0444u, 0600u}) {
        SCOPED_TRACE(mode);
        kelpa::test::writeText(file, "old");
        ASSERT_EQ(::chmod(file.c_str(), mode), 0);
        ASSERT_TRUE(writeAndCommit(file, "new content"));
        EXPECT_EQ(textOf(file), "new content");
        EXPECT_EQ(modeOf(file), mode);
        EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"doc"});
        ::chmod(file.c_str(), 0644);
    }
}

TEST(SafeFileWriter, NewFileGetsTheModeOfNewFiles)
{
    TempDir dir;
    const std::string file = dir.file("new");
    const mode_t mask = ::umask(022);
    const bool ok = writeAndCommit(file, "");
    ::umask(mask);
    ASSERT_TRUE(ok);
    EXPECT_EQ(textOf(file), "");
    EXPECT_EQ(modeOf(file), 0644u);
}

TEST(SafeFileWriter, WithoutCommitTheTargetIsUntouched)
{
    TempDir dir;
    const std::string file = dir.file("doc");
    kelpa::test::writeText(file, "precious");
    {
        SafeFileWriter out(file);
        ASSERT_TRUE(out.isOpen());
        ASSERT_TRUE(out.write("half", 4));
        EXPECT_EQ(namesIn(dir.path()).size(), 2u);
        EXPECT_EQ(fs::path(out.tempName()).parent_path(), dir.path());
    }
    EXPECT_EQ(textOf(file), "precious");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"doc"});
}

TEST(SafeFileWriter, ShortWriteIsReportedAndReplacesNothing)
{
    TempDir dir;
    const std::string file = dir.file("doc");
    kelpa::test::writeText(file, "precious");
    bool written = true;
    SafeFileError error = SafeFileError::None;
    int err = 0;
    {
        const kelpa::test::FileSizeLimit limit(16);
        SafeFileWriter out(file);
        const std::string big(4096, 'x');
        written = out.write(big.data(), big.size());
        error = out.error();
        err = out.systemError();
    }

    EXPECT_FALSE(written);
    EXPECT_EQ(error, SafeFileError::Write);
    EXPECT_EQ(err, EFBIG);
    EXPECT_EQ(textOf(file), "precious");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"doc"});
}

TEST(SafeFileWriter, TargetsThatCannotBeOpened)
{
    TempDir dir;
    kelpa::test::writeText(dir.file("plain"), "x");
    fs::create_directory(dir.path() / "folder");
    fs::create_symlink("loop", dir.path() / "loop");
    struct Case {
        std::string target;
        int err;
    };
    const Case cases[] = {
        {dir.file("folder"), EISDIR},
        {dir.file("plain") + "/doc", ENOTDIR},
        {dir.file("missing/doc"), ENOENT},
        {"", ENOENT},
        {dir.file("loop"), ELOOP},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.target);
        SafeFileWriter out(tc.target);
        EXPECT_FALSE(out.isOpen());
        EXPECT_EQ(out.error(), SafeFileError::Open);
        EXPECT_EQ(out.systemError(), tc.err);
        EXPECT_FALSE(out.write("x", 1));
        EXPECT_FALSE(out.commit());
    }
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"folder", "loop", "plain"}));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "loop"));
}

TEST(SafeFileWriter, UnwritableFolder)
{
    TempDir dir;
    const std::string file = dir.file("doc");
    kelpa::test::writeText(file, "precious");
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    const int err = kelpa::test::runUnprivileged([&] {
        SafeFileWriter out(file);
        return out.isOpen() ? 0 : out.systemError();
    });
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(err, EACCES);
    EXPECT_EQ(textOf(file), "precious");
}

TEST(SafeFileWriter, LinksAreFollowedAndStay)
{
    TempDir dir;
    fs::create_directory(dir.path() / "sub");
    const std::string real = dir.file("sub/real");
    kelpa::test::writeText(real, "old");
    ::chmod(real.c_str(), 0640);
    // An absolute link to a relative one, which names the file.
    fs::create_symlink("sub/real", dir.path() / "relative");
    fs::create_symlink(dir.path() / "relative", dir.path() / "absolute");
    // A link to a file that does not exist yet.
    fs::create_symlink("sub/later", dir.path() / "dangling");

    ASSERT_TRUE(writeAndCommit(dir.file("absolute"), "through two links"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "absolute"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "relative"));
    EXPECT_EQ(textOf(real), "through two links");
    EXPECT_EQ(modeOf(real), 0640u);

    ASSERT_TRUE(writeAndCommit(dir.file("dangling"), "made"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "dangling"));
    EXPECT_EQ(textOf(dir.file("sub/later")), "made");
    EXPECT_EQ(namesIn(dir.path() / "sub"), (std::vector<std::string>{"later", "real"}));
}

TEST(SafeFileWriter, HandedOverFileIsFilledByName)
{
    TempDir dir;
    const std::string file = dir.file("doc");
    kelpa::test::writeText(file, "old");
    ::chmod(file.c_str(), 0640);
    struct Case {
        const char *name;
        bool replaceTheTemp; // the other writer renames a file of its own over the temporary one
    };
    for (const Case tc : {Case{"written in place", false}, Case{"renamed over", true}}) {
        SCOPED_TRACE(tc.name);
        SafeFileWriter out(file);
        out.handOver();
        ASSERT_FALSE(out.tempName().empty());
        const std::string other = tc.replaceTheTemp ? dir.file("other") : out.tempName();
        kelpa::test::writeText(other, tc.name);
        if (tc.replaceTheTemp) {
            ASSERT_EQ(std::rename(other.c_str(), out.tempName().c_str()), 0);
        }
        ASSERT_TRUE(out.commit());
        EXPECT_EQ(textOf(file), tc.name);
        EXPECT_EQ(modeOf(file), 0640u);
        EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"doc"});
    }
}

TEST(SafeFileWriter, FailuresOfTheCommit)
{
    TempDir dir;
    const std::string file = dir.file("doc");
    {
        // The handed-over file was taken away: nothing to flush.
        SafeFileWriter out(file);
        out.handOver();
        ::unlink(out.tempName().c_str());
        EXPECT_FALSE(out.commit());
        EXPECT_EQ(out.error(), SafeFileError::Flush);
    }
    {
        // The target became a folder: the rename fails and the temporary file goes.
        SafeFileWriter out(file);
        ASSERT_TRUE(out.write("x", 1));
        fs::create_directory(file);
        EXPECT_FALSE(out.commit());
        EXPECT_EQ(out.error(), SafeFileError::Replace);
        EXPECT_EQ(out.systemError(), EISDIR);
    }
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"doc"});
    EXPECT_TRUE(fs::is_directory(file));
}

TEST(SafeFileWriter, DevicesAreWrittenDirectly)
{
    if (::access("/dev/null", W_OK) != 0 || ::access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/null or /dev/full";
    {
        SafeFileWriter out("/dev/null");
        ASSERT_TRUE(out.isOpen());
        EXPECT_TRUE(out.tempName().empty());
        EXPECT_TRUE(out.write("x", 1));
        EXPECT_TRUE(out.commit());
    }
    struct stat st {};
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    SafeFileWriter full("/dev/full");
    EXPECT_FALSE(full.write("x", 1));
    EXPECT_EQ(full.error(), SafeFileError::Write);
    EXPECT_EQ(full.systemError(), ENOSPC);
}

} // namespace
