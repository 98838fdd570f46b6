// Saves killed part way: the document stays whole and what the killed writers leave behind is
// removed by a later save, never a file that a live writer is still filling.
#include "platform/safefile/SafeFile.h"

#include "common/EnvironmentOverride.h"
#include "common/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using kelpa::SafeFileWriter;
using kelpa::test::TempDir;

constexpr std::size_t kDocumentSize = 1 << 20;

std::vector<std::string> namesIn(const fs::path &dir)
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int temporariesOf(const fs::path &dir, const std::string &target)
{
    int n = 0;
    for (const std::string &name : namesIn(dir))
        n += SafeFileWriter::isTemporaryName(name, target);
    return n;
}

bool save(const std::string &target, char fill, std::size_t size = kDocumentSize)
{
    const std::string text(size, fill);
    SafeFileWriter out(target);
    return out.write(text.data(), text.size()) && out.commit();
}

// Whole: the size of a document and one byte value throughout.
bool isWhole(const std::string &file)
{
    const auto bytes = kelpa::test::readBytes(file);
    return bytes.size() == kDocumentSize
        && std::all_of(bytes.begin(), bytes.end(), [&](std::uint8_t b) { return b == bytes.front(); });
}

// A child process that runs `body` and ends without the test's clean-up; `ready` is written
// to the pipe by the body when it wants the parent to go on.
struct Child {
    pid_t pid = -1;
    int readyFd = -1;

    template <class Body>
    explicit Child(Body body)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            body(fds[1]);
            ::_exit(0);
        }
        ::close(fds[1]);
        readyFd = fds[0];
    }
    ~Child()
    {
        kill();
        if (readyFd >= 0)
            ::close(readyFd);
    }
    bool waitReady() const
    {
        char c = 0;
        return ::read(readyFd, &c, 1) == 1;
    }
    void kill()
    {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }
};

void signalReady(int fd)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &c, 1);
}

// The id of a process that has ended.
pid_t goneProcess()
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

std::string temporaryName(const TempDir &dir, const std::string &target, long pid)
{
    return dir.file("." + target + ".~" + std::to_string(pid) + ".0badf00d");
}

} // namespace

TEST(SafeFileCrash, KilledSavesLeaveTheDocumentWholeAndALaterSaveRemovesTheirFiles)
{
    TempDir dir;
    const std::string target = dir.file("doc.eco");
    ASSERT_TRUE(save(target, 'a'));
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> moment(0, 30000); // microseconds after the start
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        Child saver([&](int ready) {
            signalReady(ready);
            for (char fill = 'b';; fill = fill == 'z' ? 'b' : static_cast<char>(fill + 1))
                save(target, fill);
        });
        ASSERT_TRUE(saver.waitReady());
        ::usleep(static_cast<useconds_t>(moment(random)));
        saver.kill();
        ASSERT_TRUE(isWhole(target));
    }
    // One more kill in the middle of a write, for certain.
    Child halfway([&](int ready) {
        SafeFileWriter out(target);
        const std::string half(kDocumentSize / 2, 'h');
        out.write(half.data(), half.size());
        signalReady(ready);
        ::pause();
    });
    ASSERT_TRUE(halfway.waitReady());
    halfway.kill();
    ASSERT_TRUE(isWhole(target));
    EXPECT_GE(temporariesOf(dir.path(), "doc.eco"), 1);

    ASSERT_TRUE(save(target, 'Z'));
    EXPECT_TRUE(isWhole(target));
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"doc.eco"});
}

TEST(SafeFileCrash, ALiveWritersTemporaryFileIsNotRemoved)
{
    TempDir dir;
    const std::string target = dir.file("doc.txt");
    // Another writer of this process.
    SafeFileWriter first(target);
    ASSERT_TRUE(first.write("first", 5));
    ASSERT_TRUE(save(target, 's', 6));
    ASSERT_TRUE(fs::exists(first.tempName()));
    ASSERT_TRUE(first.commit());
    EXPECT_EQ(kelpa::test::readText(target), "first");

    // A writer of another process, alive.
    Child other([&](int ready) {
        SafeFileWriter out(target);
        out.write("other", 5);
        signalReady(ready);
        ::pause();
    });
    ASSERT_TRUE(other.waitReady());
    ASSERT_EQ(temporariesOf(dir.path(), "doc.txt"), 1);
    ASSERT_TRUE(save(target, 't', 3));
    EXPECT_EQ(temporariesOf(dir.path(), "doc.txt"), 1) << "the live writer's file stays";
    other.kill();
    ASSERT_TRUE(save(target, 'u', 3));
    EXPECT_EQ(temporariesOf(dir.path(), "doc.txt"), 0);

    // A file whose named process is gone but whose lock is held (a writer in another process
    // numbering) stays too.
    const std::string locked = temporaryName(dir, "doc.txt", goneProcess());
    kelpa::test::writeText(locked, "partial");
    Child holder([&](int ready) {
        const int fd = ::open(locked.c_str(), O_RDONLY);
        ::flock(fd, LOCK_EX);
        signalReady(ready);
        ::pause();
    });
    ASSERT_TRUE(holder.waitReady());
    ASSERT_TRUE(save(target, 'v', 3));
    EXPECT_TRUE(fs::exists(locked));
    holder.kill();
    ASSERT_TRUE(save(target, 'w', 3));
    EXPECT_FALSE(fs::exists(locked));
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"doc.txt"});
}

TEST(SafeFileCrash, OnlyTheTargetsOwnAbandonedFilesAreRemoved)
{
    TempDir dir;
    const pid_t gone = goneProcess();
    const std::string living = std::to_string(::getpid());
    struct Case {
        std::string name;
        bool temporary; // a name of the writer for "doc.eco"
        bool removed;   // by a save of doc.eco
    };
    const std::string g = std::to_string(gone);
    const Case cases[] = {
        {".doc.eco.~" + g + ".0badf00d", true, true},
        {".~kelpa.~" + g + ".12345678", true, true},  // the name a very long target gets
        {".doc.eco.~" + living + ".0badf00d", true, false}, // its process lives
        {".doc.eco.~1e6c457f", false, false},          // no process id in it
        {".doc.eco.~" + g + ".0BADF00D", false, false},
        {".doc.eco.~" + g + ".0badf00", false, false},
        {".doc.eco.~.0badf00d", false, false},
        {".doc.eco.~" + g + "x.0badf00d", false, false},
        {".other.eco.~" + g + ".0badf00d", false, false}, // another target's
        {"doc.eco.~" + g + ".0badf00d", false, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(SafeFileWriter::isTemporaryName(c.name, "doc.eco"), c.temporary) << c.name;
        kelpa::test::writeText(dir.file(c.name), "left");
    }
    // A folder of such a name is no file to remove.
    fs::create_directory(dir.file(".doc.eco.~" + g + ".deadbeef"));
    ASSERT_TRUE(save(dir.file("doc.eco"), 'x', 4));
    for (const Case &c : cases)
        EXPECT_EQ(fs::exists(dir.file(c.name)), !c.removed) << c.name;
    EXPECT_TRUE(fs::is_directory(dir.file(".doc.eco.~" + g + ".deadbeef")));
}

TEST(SafeFileCrash, AWriterKilledBetweenTheCopyAndTheWriteLeavesTheCopy)
{
    TempDir dir;
    const kelpa::test::EnvironmentOverride data("XDG_DATA_HOME", dir.file("data"));
    const std::string target = dir.file("doc.txt");
    // A second link: the file is written in place.
    kelpa::test::writeText(target, "old content");
    ASSERT_EQ(::link(target.c_str(), dir.file("other-name").c_str()), 0);

    const pid_t child = ::fork();
    if (child == 0) {
        SafeFileWriter out(target);
        const std::string text(kDocumentSize, 'n');
        if (!out.inPlace() || !out.write(text.data(), text.size()))
            ::_exit(1);
        // Room for the copy of the old content, not for the new one: the system stops the
        // process part way through writing the file.
        ::signal(SIGXFSZ, SIG_DFL);
        rlimit limit{64, 64};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        out.commit();
        ::_exit(2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);

    const std::vector<kelpa::LeftCopy> left = SafeFileWriter::leftCopies();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].original, target);
    EXPECT_EQ(kelpa::test::readText(left[0].copy), "old content");
    EXPECT_EQ(fs::path(left[0].copy).parent_path(), fs::path(SafeFileWriter::copyFolder()));
    // The copy and the name it belongs to; the dead writer's staged text is gone.
    EXPECT_EQ(namesIn(SafeFileWriter::copyFolder()).size(), 2u);

    // A later save of the file works and leaves the copy for the user.
    ASSERT_TRUE(save(target, 'w', 5));
    EXPECT_EQ(kelpa::test::readText(dir.file("other-name")), "wwwww");
    EXPECT_EQ(SafeFileWriter::leftCopies().size(), 1u);

    // What a live writer keeps in the copy folder is neither reported nor removed.
    SafeFileWriter live(target);
    ASSERT_TRUE(live.inPlace());
    EXPECT_EQ(SafeFileWriter::leftCopies().size(), 1u);
    EXPECT_TRUE(fs::exists(live.tempName()));
}
