// File operations with the semantics the programs expect.
#include "common/QtFixtures.h"
#include "common/TempDir.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QString>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace kelpa::platform;
using kelpa::test::TempDir;
using kelpa::test::q;
using kelpa::test::writeText;
using kelpa::test::readText;

TEST(FileSystem, Attributes)
{
    TempDir dir;
    writeText(dir.file("plain.txt"), "x");
    writeText(dir.file(".hidden"), "x");
    writeText(dir.file("locked.txt"), "x");
    ASSERT_TRUE(setReadOnly(q(dir.file("locked.txt")), true));

    EXPECT_EQ(fileAttributes(q(dir.file("missing"))), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(fileAttributes(QString()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(fileAttributes(q(dir.file("plain.txt"))) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY), 0u);
    EXPECT_NE(fileAttributes(q(dir.file("locked.txt"))) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_NE(fileAttributes(q(dir.file(".hidden"))) & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_NE(fileAttributes(q(dir.path().string())) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_TRUE(setReadOnly(q(dir.file("locked.txt")), false));
    EXPECT_EQ(fileAttributes(q(dir.file("locked.txt"))) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_FALSE(fileExists(q(dir.path().string())));
}

TEST(FileSystem, MoveNeverReplacesAnExistingTarget)
{
    TempDir dir;
    writeText(dir.file("a"), "source");
    writeText(dir.file("b"), "target");
    errno = 0;
    EXPECT_FALSE(moveFile(q(dir.file("a")), q(dir.file("b"))));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(readText(dir.file("a")), "source");
    EXPECT_EQ(readText(dir.file("b")), "target");

    EXPECT_TRUE(moveFile(q(dir.file("a")), q(dir.file("c"))));
    EXPECT_FALSE(QFile::exists(q(dir.file("a"))));
    EXPECT_EQ(readText(dir.file("c")), "source");
    EXPECT_FALSE(moveFile(q(dir.file("c")), q(dir.file("no/such/folder/c"))));
    EXPECT_FALSE(moveFile(q(dir.file("missing")), q(dir.file("d"))));
}

TEST(FileSystem, MoveAcrossFileSystems)
{
    // /dev/shm is a file system of its own on Linux; skip where it is not.
    struct stat shm {}, tmp {};
    TempDir dir;
    if (::stat("/dev/shm", &shm) != 0 || ::stat(dir.path().c_str(), &tmp) != 0 || shm.st_dev == tmp.st_dev)
        GTEST_SKIP() << "no second file system";
    const std::string target = "/dev/shm/kelpa-move-" + std::to_string(::getpid());
    writeText(dir.file("a"), "across");
    ASSERT_TRUE(moveFile(q(dir.file("a")), q(target)));
    EXPECT_FALSE(QFile::exists(q(dir.file("a"))));
    EXPECT_EQ(readText(target), "across");
    writeText(dir.file("b"), "second");
    EXPECT_FALSE(moveFile(q(dir.file("b")), q(target)));
    EXPECT_EQ(readText(target), "across");
    QFile::remove(q(target));
}

TEST(FileSystem, CopyReplacesOnlyWhenAllowedAndKeepsPermissions)
{
    TempDir dir;
    writeText(dir.file("src"), "new");
    ::chmod(dir.file("src").c_str(), 0750);
    writeText(dir.file("dst"), "old");
    EXPECT_FALSE(copyFile(q(dir.file("src")), q(dir.file("dst")), false));
    EXPECT_EQ(readText(dir.file("dst")), "old");
    EXPECT_TRUE(copyFile(q(dir.file("src")), q(dir.file("dst")), true));
    EXPECT_EQ(readText(dir.file("dst")), "new");
    struct stat st {};
    ::stat(dir.file("dst").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0750u);
    // A read-only target is not replaced, allowed or not.
    ASSERT_TRUE(setReadOnly(q(dir.file("dst")), true));
    errno = 0;
    EXPECT_FALSE(copyFile(q(dir.file("src")), q(dir.file("dst")), true));
    EXPECT_EQ(errno, EACCES);
    ASSERT_TRUE(setReadOnly(q(dir.file("dst")), false));
    EXPECT_FALSE(copyFile(q(dir.file("missing")), q(dir.file("x")), true));
    EXPECT_FALSE(copyFile(q(dir.file("src")), q(dir.file("no/such/x")), true));
    // No temporary files stay behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()), 2);
}

TEST(FileSystem, DeleteAndCreateFolder)
{
    TempDir dir;
    writeText(dir.file("f"), "x");
    EXPECT_TRUE(deleteFile(q(dir.file("f"))));
    EXPECT_FALSE(deleteFile(q(dir.file("f"))));
    EXPECT_FALSE(deleteFile(q(dir.path().string())));
    EXPECT_TRUE(createDirectory(q(dir.file("one"))));
    EXPECT_FALSE(createDirectory(q(dir.file("two/levels"))));
}
