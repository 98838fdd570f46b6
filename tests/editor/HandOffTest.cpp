#include "editor/HandOff.h"

#include "common/TempDir.h"

#include <QDir>
#include <QFile>
#include <QDir>
#include <gtest/gtest.h>

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
    ASSERT_TRUE(writeLoadRequest(folder, QStringLiteral("/d/a.txt")));
    EXPECT_TRUE(loadRequestPending(folder));
    EXPECT_TRUE(withdrawLoadRequest(folder));
    EXPECT_FALSE(loadRequestPending(folder));
    EXPECT_EQ(takeLoadRequest(folder).kind, LoadRequest::Kind::None) << "withdrawn, so not opened";

    ASSERT_TRUE(writeLoadRequest(folder, QStringLiteral("/d/b.txt")));
    EXPECT_EQ(takeLoadRequest(folder).path, QStringLiteral("/d/b.txt"));
    EXPECT_FALSE(loadRequestPending(folder));
    EXPECT_FALSE(withdrawLoadRequest(folder)) << "taken, so the writer does not open it too";
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{}) << "nothing left behind";
}

TEST_F(LoadRequestTest, MarkerFileDecidesMultipleWindows)
{
    EXPECT_FALSE(multipleWindowsAllowed(folder));
    kelpa::test::writeText(dir.file("multi.dat"), "");
    EXPECT_TRUE(multipleWindowsAllowed(folder));
}
