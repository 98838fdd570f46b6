#include "platform/safefile/SafeFile.h"

#include "common/EnvironmentOverride.h"
#include "common/FileSizeLimit.h"
#include "common/TempDir.h"
#include "common/Unprivileged.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <filesystem>
#include <string>
#include <vector>

#include <cerrno>
#include <sys/stat.h>
#include <sys/xattr.h>
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

TEST(SafeFileWriter, NamesThatAreNoFileAreRefusedUnopened)
{
    TempDir dir;
    const std::string fifo = dir.file("pipe.txt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    // A link of the user's own to the pipe is followed to it and refused there.
    fs::create_symlink("pipe.txt", dir.path() / "link.txt");
    for (const std::string &target : {fifo, dir.file("link.txt"), std::string("/dev/null")}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(SafeFileWriter::refusal(target), SafeFileError::NotAFile);
        // Opening a pipe that nobody reads would wait for ever.
        SafeFileWriter out(target);
        EXPECT_FALSE(out.isOpen());
        EXPECT_EQ(out.error(), SafeFileError::NotAFile);
        EXPECT_EQ(out.systemError(), EINVAL);
        EXPECT_FALSE(out.write("x", 1));
        EXPECT_FALSE(out.commit());
    }
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(SafeFileWriter::refusal(dir.file("plain-to-be")), SafeFileError::None);
}

// The writer's copy folder, inside a test's own folder while the object lives.
struct CopyFolderIn : kelpa::test::EnvironmentOverride {
    explicit CopyFolderIn(const fs::path &data) : EnvironmentOverride("XDG_DATA_HOME", data.string()) {}
};

std::vector<std::string> copiesIn(const std::string &folder)
{
    return fs::exists(folder) ? namesIn(folder) : std::vector<std::string>{};
}

struct stat statOf(const std::string &file)
{
    struct stat st {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0) << file;
    return st;
}

constexpr uid_t kOtherUser = 65534;

TEST(SafeFileWriter, OtherUsersLinksInSharedFoldersAreNotFollowed)
{
    TempDir dir;
    const std::string victim = dir.file("victim");
    kelpa::test::writeText(victim, "the user's own file\n");
    fs::create_directory(dir.path() / "shared");
    fs::create_directory(dir.path() / "private");
    ASSERT_EQ(::chmod(dir.file("shared").c_str(), 01777), 0);
    ASSERT_EQ(::chmod(dir.file("private").c_str(), 0755), 0);
    struct Case {
        const char *link;
        uid_t owner;
        bool followed;
    };
    const uid_t me = ::geteuid();
    const Case cases[] = {
        {"shared/others", kOtherUser, false}, // anybody could have put it there
        {"shared/mine", me, true},
        {"private/others", kOtherUser, true}, // a folder nobody else may write
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.link);
        const fs::path link = dir.path() / c.link;
        fs::create_symlink(victim, link);
        if (c.owner != me && ::lchown(link.c_str(), c.owner, c.owner) != 0)
            GTEST_SKIP() << "links cannot be given to another user here";
        kelpa::test::writeText(victim, "the user's own file\n");
        EXPECT_EQ(SafeFileWriter::refusal(link.string()), c.followed ? SafeFileError::None : SafeFileError::Link);
        SafeFileWriter out(link.string());
        if (c.followed) {
            ASSERT_TRUE(out.write("document", 8));
            EXPECT_TRUE(out.commit());
            EXPECT_EQ(textOf(victim), "document");
        } else {
            EXPECT_FALSE(out.isOpen());
            EXPECT_EQ(out.error(), SafeFileError::Link);
            EXPECT_EQ(out.systemError(), EACCES);
            EXPECT_FALSE(out.commit());
            EXPECT_EQ(textOf(victim), "the user's own file\n");
        }
        EXPECT_TRUE(fs::is_symlink(link));
        for (const std::string &name : namesIn(link.parent_path()))
            EXPECT_NE(name[0], '.') << "nothing made beside the link: " << name;
    }
}

TEST(SafeFileWriter, FilesThatARenameWouldChangeAreWrittenInPlace)
{
    TempDir dir;
    const std::string copies = dir.file("data/kelpa/save-copies");
    const CopyFolderIn data(dir.path() / "data");
    fs::create_directory(dir.path() / "docs");
    struct Case {
        const char *name;
        std::function<bool(const std::string &)> prepare; // false: not possible here
        uid_t owner;
    };
    const uid_t me = ::geteuid();
    const Case cases[] = {
        {"two hard links",
         [&](const std::string &file) { return ::link(file.c_str(), dir.file("docs/second").c_str()) == 0; }, me},
        {"another user's file", [](const std::string &file) { return ::chown(file.c_str(), kOtherUser, kOtherUser) == 0; },
         kOtherUser},
        {"extended attributes",
         [](const std::string &file) { return ::setxattr(file.c_str(), "user.kept", "yes", 3, 0) == 0; }, me},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir.file("docs/doc.txt");
        kelpa::test::writeText(file, "old text that is longer than the new one\n");
        ASSERT_EQ(::chmod(file.c_str(), 0664), 0);
        if (!c.prepare(file)) {
            std::cout << "skipped here: " << c.name << "\n";
            fs::remove(file);
            continue;
        }
        const struct stat before = statOf(file);
        SafeFileWriter out(file);
        ASSERT_TRUE(out.isOpen());
        EXPECT_TRUE(out.inPlace());
        ASSERT_TRUE(out.write("new text\n", 9));
        EXPECT_EQ(textOf(file), "old text that is longer than the new one\n") << "untouched until the commit";
        ASSERT_TRUE(out.commit());
        const struct stat after = statOf(file);
        EXPECT_EQ(textOf(file), "new text\n");
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_uid, c.owner);
        EXPECT_EQ(after.st_mode & 07777, 0664u);
        EXPECT_EQ(after.st_nlink, before.st_nlink);
        if (before.st_nlink > 1) {
            EXPECT_EQ(textOf(dir.file("docs/second")), "new text\n") << "the other name shows the text too";
        }
        char value[8] = {};
        if (std::string(c.name) == "extended attributes") {
            EXPECT_EQ(::getxattr(file.c_str(), "user.kept", value, sizeof value), 3);
        }
        EXPECT_EQ(copiesIn(copies), std::vector<std::string>{}) << "the copy goes once the file is written";
        EXPECT_EQ(namesIn(dir.path() / "docs").size(), before.st_nlink) << "nothing left beside it";
        fs::remove(file);
        fs::remove(dir.file("docs/second"));
    }
    EXPECT_EQ(SafeFileWriter::leftCopies().size(), 0u);
}

TEST(SafeFileWriter, WritableFileInAFolderTheUserCannotWrite)
{
    TempDir dir;
    fs::create_directory(dir.path() / "handed-out");
    fs::create_directory(dir.path() / "data");
    const std::string file = dir.file("handed-out/doc.txt");
    kelpa::test::writeText(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(dir.file("handed-out").c_str(), 0555), 0);
    ASSERT_EQ(::chown(dir.file("data").c_str(), kOtherUser, kOtherUser), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const CopyFolderIn data(dir.path() / "data");
    const struct stat before = statOf(file);
    const int err = kelpa::test::runUnprivileged([&] {
        SafeFileWriter out(file);
        if (!out.isOpen())
            return out.systemError();
        return out.write("saved by the user", 17) && out.commit() ? 0 : 100 + out.systemError();
    });
    ::chmod(dir.file("handed-out").c_str(), 0755);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(textOf(file), "saved by the user");
    const struct stat after = statOf(file);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_mode & 07777, 0666u);
}

TEST(SafeFileWriter, FailedInPlaceWriteGetsTheOldContentBack)
{
    TempDir dir;
    const CopyFolderIn data(dir.path() / "data");
    const std::string file = dir.file("doc");
    kelpa::test::writeText(file, "precious");
    ASSERT_EQ(::link(file.c_str(), dir.file("second").c_str()), 0);
    SafeFileWriter out(file);
    ASSERT_TRUE(out.inPlace());
    const std::string big(4096, 'x');
    ASSERT_TRUE(out.write(big.data(), big.size()));
    bool committed = true;
    {
        // The copy of the eight old bytes (and the name it belongs to) fits; the new text does not.
        const kelpa::test::FileSizeLimit limit(1024);
        committed = out.commit();
    }
    EXPECT_FALSE(committed);
    EXPECT_EQ(out.error(), SafeFileError::Write);
    EXPECT_EQ(out.systemError(), EFBIG);
    EXPECT_EQ(textOf(file), "precious");
    EXPECT_EQ(textOf(dir.file("second")), "precious");
    EXPECT_EQ(SafeFileWriter::leftCopies().size(), 0u);
}

} // namespace
