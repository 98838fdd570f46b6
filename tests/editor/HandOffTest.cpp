#include "editor/HandOff.h"

#include "common/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kelpa::editor;

TEST(HandOff, ArgumentsJoinedUpToTheFirstEmptyOne)
{
    struct Case { QStringList args; const char *joined; };
    const std::vector<Case> cases = {
        {{"a", "b", "c"}, "a b c"},
        {{"/p", "x"}, "x"},
        {{"x", "/P"}, "x"},
        {{"x", "", "y"}, "x"},
        {{}, ""},
        {{"/home/u/My", "Notes.txt"}, "/home/u/My Notes.txt"},
        {{"/Px"}, "/Px"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DocumentPathArgument(c.args), c.joined) << c.args.join('|').toStdString();
}

TEST(HandOff, OneDocumentPerArgumentOnlyWhenTheJoinedNameIsNone)
{
    kelpa::test::TempDir dir;
    const QString at = QString::fromStdString(dir.path().string());
    for (const char *f : {"a.txt", "b.txt", "My Notes.txt", "My", "x y", "report:v2.txt"})
        kelpa::test::writeText(dir.file(f), "x");
    QDir(at).mkdir(QStringLiteral("folder"));
    struct Case { QStringList args; QStringList documents; };
    const std::vector<Case> cases = {
        {{}, {}},
        {{"a.txt"}, {"a.txt"}},
        {{"a.txt", "b.txt"}, {"a.txt", "b.txt"}},
        {{"a.txt", "report:v2.txt"}, {"a.txt", "report:v2.txt"}},
        {{"/p", "a.txt", "b.txt"}, {"a.txt", "b.txt"}},
        {{"My", "Notes.txt"}, {"My Notes.txt"}},            // the joined name is a file
        {{"a.txt", "missing.txt"}, {"a.txt missing.txt"}},  // not every one: the joined name stays
        {{"a.txt", "folder"}, {"a.txt folder"}},
        {{"x", "y"}, {"x y"}},
        {{"a.txt", "", "b.txt"}, {"a.txt"}},
        {{at + "/a.txt", "b.txt"}, {"a.txt", "b.txt"}},
    };
    for (const auto &c : cases) {
        QStringList expected;
        for (const QString &d : c.documents)
            expected << at + '/' + d;
        EXPECT_EQ(DocumentPathArguments(c.args, at), expected) << c.args.join('|').toStdString();
    }
}

class LoadRequestTest : public ::testing::Test {
protected:
    kelpa::test::TempDir dir;
    QString folder = QString::fromStdString(dir.path().string()) + '/';
};

TEST_F(LoadRequestTest, EmptyPathWritesTheVoidCallWithoutLineEnd)
{
    ASSERT_TRUE(writeLoadRequest(folder, QString()));
    const auto bytes = kelpa::test::readBytes(dir.file("loadreq"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "<*VOID-CALL*>");
    const LoadRequest r = takeLoadRequest(folder);
    EXPECT_EQ(r.kind, LoadRequest::Kind::BringToFront);
    EXPECT_FALSE(QFile::exists(folder + "loadreq"));
}

TEST_F(LoadRequestTest, PathRoundTripsAndTheFileIsDeleted)
{
    ASSERT_TRUE(writeLoadRequest(folder, QStringLiteral("/tmp/My Notes \u00e9.txt")));
    const LoadRequest r = takeLoadRequest(folder);
    EXPECT_EQ(r.kind, LoadRequest::Kind::Open);
    EXPECT_EQ(r.path, QStringLiteral("/tmp/My Notes \u00e9.txt"));
    EXPECT_FALSE(QFile::exists(folder + "loadreq"));
    // A second Ctrl+J finds nothing.
    EXPECT_EQ(takeLoadRequest(folder).kind, LoadRequest::Kind::None);
}

TEST_F(LoadRequestTest, ReaderLimitsAndLineEnds)
{
    struct Case { std::string content; LoadRequest::Kind kind; std::string path; };
    const std::string longPath = "/" + std::string(1500, 'a');
    const std::vector<Case> cases = {
        {"", LoadRequest::Kind::None, ""},
        {longPath, LoadRequest::Kind::Open, longPath.substr(0, 1023)},
        {"/a.txt\nsecond", LoadRequest::Kind::Open, "/a.txt"},
        {"/a.txt\r\n", LoadRequest::Kind::Open, "/a.txt"},
        {"\n", LoadRequest::Kind::None, ""},
    };
    for (const auto &c : cases) {
        kelpa::test::writeText(dir.file("loadreq"), c.content);
        const LoadRequest r = takeLoadRequest(folder);
        EXPECT_EQ(r.kind, c.kind) << c.content.substr(0, 20);
        EXPECT_EQ(r.path.toStdString(), c.path);
        EXPECT_FALSE(QFile::exists(folder + "loadreq"));
    }
}

// A request is the running editor's or its writer's, never both, and leaves nothing behind.
TEST_F(LoadRequestTest, TakenOrWithdrawnNeverBoth)
{
    const kelpa::handoff::FileId first = writeLoadRequest(folder, QStringLiteral("/d/a.txt"));
    ASSERT_TRUE(first);
    EXPECT_TRUE(loadRequestPending(folder));
    EXPECT_TRUE(withdrawLoadRequest(folder, first));
    EXPECT_FALSE(loadRequestPending(folder));
    EXPECT_EQ(takeLoadRequest(folder).kind, LoadRequest::Kind::None) << "withdrawn, so not opened";

    const kelpa::handoff::FileId second = writeLoadRequest(folder, QStringLiteral("/d/b.txt"));
    ASSERT_TRUE(second);
    EXPECT_EQ(takeLoadRequest(folder).path, QStringLiteral("/d/b.txt"));
    EXPECT_FALSE(loadRequestPending(folder));
    EXPECT_FALSE(withdrawLoadRequest(folder, second)) << "taken, so the writer does not open it too";
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{}) << "nothing left behind";
}

// Only the editor's confirmation counts as taken: a request that vanished otherwise, or one the
// editor refused, comes back to its writer, who opens the document itself.
TEST_F(LoadRequestTest, GoneWithoutConfirmationIsNotTaken)
{
    const kelpa::handoff::FileId written = writeLoadRequest(folder, QStringLiteral("/d/a.txt"));
    ASSERT_TRUE(written);
    ASSERT_TRUE(QFile::remove(folder + "loadreq"));
    EXPECT_FALSE(loadRequestPending(folder));
    EXPECT_FALSE(loadRequestConfirmed(folder, written));
    EXPECT_TRUE(withdrawLoadRequest(folder, written));

    // A confirmation of an older request is no confirmation of this one.
    const kelpa::handoff::FileId older = writeLoadRequest(folder, QStringLiteral("/d/old.txt"));
    EXPECT_EQ(takeLoadRequest(folder).kind, LoadRequest::Kind::Open);
    const kelpa::handoff::FileId newer = writeLoadRequest(folder, QStringLiteral("/d/new.txt"));
    ASSERT_TRUE(older && newer);
    ASSERT_TRUE(QFile::remove(folder + "loadreq"));
    EXPECT_FALSE(loadRequestConfirmed(folder, newer));
    EXPECT_TRUE(withdrawLoadRequest(folder, newer));
}

// Whatever stands under the name but a regular file of the user's own is neither read, nor
// followed, nor waited on, and a later request is written beside it, not through it.
TEST_F(LoadRequestTest, TheReaderTakesOnlyARegularFileOfTheUsersOwn)
{
    kelpa::test::writeText(dir.file("victim.txt"), "/the/users/own/file");
    struct Case {
        const char *name;
        std::function<void()> plant;
    };
    const std::vector<Case> cases = {
        {"a link to a file of the user's", [&] { ASSERT_EQ(::symlink(dir.file("victim.txt").c_str(), dir.file("loadreq").c_str()), 0); }},
        {"a pipe", [&] { ASSERT_EQ(::mkfifo(dir.file("loadreq").c_str(), 0666), 0); }},
        {"another user's file", [&] {
             kelpa::test::writeText(dir.file("loadreq"), "/planted.txt");
             ASSERT_EQ(::chown(dir.file("loadreq").c_str(), 65534, 65534), 0);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (std::string(c.name) == "another user's file" && ::geteuid() != 0)
            continue; // only the superuser can give a file away
        c.plant();
        EXPECT_EQ(takeLoadRequest(folder).kind, LoadRequest::Kind::None);
        EXPECT_FALSE(QFileInfo::exists(folder + "loadreq.done")) << "refused, so not confirmed";
        c.plant();
        const kelpa::handoff::FileId written = writeLoadRequest(folder, QStringLiteral("/d/a.txt"));
        ASSERT_TRUE(written);
        EXPECT_EQ(kelpa::test::readText(dir.file("victim.txt")), "/the/users/own/file");
        const LoadRequest r = takeLoadRequest(folder);
        EXPECT_EQ(r.path, QStringLiteral("/d/a.txt"));
        EXPECT_FALSE(withdrawLoadRequest(folder, written));
        QFileInfo request(folder + "loadreq");
        EXPECT_FALSE(request.exists() || request.isSymLink());
    }
}

TEST_F(LoadRequestTest, MarkerFileDecidesMultipleWindows)
{
    EXPECT_FALSE(multipleWindowsAllowed(folder));
    kelpa::test::writeText(dir.file("multi.dat"), "");
    EXPECT_TRUE(multipleWindowsAllowed(folder));
    EXPECT_TRUE(setMultipleWindowsAllowed(folder, false));
    EXPECT_FALSE(multipleWindowsAllowed(folder));
    EXPECT_TRUE(setMultipleWindowsAllowed(folder, true));
    EXPECT_TRUE(multipleWindowsAllowed(folder));
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("multi.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    // A link or a pipe under the name is no marker; making one replaces it without writing through.
    ASSERT_TRUE(setMultipleWindowsAllowed(folder, false));
    kelpa::test::writeText(dir.file("victim.txt"), "kept");
    ASSERT_EQ(::symlink(dir.file("victim.txt").c_str(), dir.file("multi.dat").c_str()), 0);
    EXPECT_FALSE(multipleWindowsAllowed(folder));
    EXPECT_TRUE(setMultipleWindowsAllowed(folder, true));
    EXPECT_TRUE(multipleWindowsAllowed(folder));
    EXPECT_EQ(kelpa::test::readText(dir.file("victim.txt")), "kept");
    ASSERT_TRUE(setMultipleWindowsAllowed(folder, false));
    ASSERT_EQ(::mkfifo(dir.file("multi.dat").c_str(), 0600), 0);
    EXPECT_FALSE(multipleWindowsAllowed(folder));
}
