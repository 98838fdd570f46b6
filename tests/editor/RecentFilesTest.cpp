// The recent-file slots, their Reopen captions and the favourites file.
#include "editor/RecentFiles.h"

#include "common/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace kelpa::editor;

namespace {

RecentSlots slotsOf(std::initializer_list<const char *> names)
{
    RecentSlots s;
    s.fill(kEmptyRecent);
    int i = 0;
    for (const char *n : names)
        s[static_cast<std::size_t>(i++)] = QString::fromUtf8(n);
    return s;
}

} // namespace

TEST(RecentList, MovesAndDrops)
{
    struct Case {
        const char *what;
        RecentSlots before;
        const char *added;
        RecentSlots after;
    } cases[] = {
        {"new on empty", slotsOf({}), "/a", slotsOf({"/a"})},
        {"already newest", slotsOf({"/a", "/b", "/c"}), "/a", slotsOf({"/a", "/b", "/c"})},
        {"third moves up", slotsOf({"/a", "/b", "/c", "/d"}), "/c", slotsOf({"/c", "/a", "/b", "/d"})},
        {"other letter case is another file", slotsOf({"/a", "/B.txt"}), "/b.TXT", slotsOf({"/b.TXT", "/a", "/B.txt"})},
        {"last occurrence counts", slotsOf({"/a", "/x", "/b", "/x", "/c"}), "/x", slotsOf({"/x", "/a", "/x", "/b", "/c"})},
        {"thirteenth drops the oldest",
         slotsOf({"/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8", "/9", "/10", "/11", "/12"}), "/13",
         slotsOf({"/13", "/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8", "/9", "/10", "/11"})},
        {"oldest moves to the top",
         slotsOf({"/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8", "/9", "/10", "/11", "/12"}), "/12",
         slotsOf({"/12", "/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8", "/9", "/10", "/11"})},
    };
    for (Case &c : cases) {
        addToRecent(c.before, QString::fromUtf8(c.added));
        EXPECT_EQ(c.before, c.after) << c.what;
    }
}

TEST(RecentList, FilesAreToldApartAsTheFileSystemDoes)
{
    kelpa::test::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string()) + QLatin1Char('/');
    for (const char *name : {"Case.txt", "case.txt"}) {
        QFile f(folder + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QFile::link(folder + "Case.txt", folder + "link.txt"));
    RecentSlots s = slotsOf({});
    addToRecent(s, folder + "Case.txt");
    addToRecent(s, folder + "case.txt");
    EXPECT_EQ(s[0], folder + "case.txt");
    EXPECT_EQ(s[1], folder + "Case.txt") << "two files, two entries";
    // Another name of the same file moves its entry up.
    addToRecent(s, folder + "link.txt");
    EXPECT_EQ(s[0], folder + "link.txt");
    EXPECT_EQ(s[1], folder + "case.txt");
    EXPECT_EQ(s[2], kEmptyRecent);
}

TEST(RecentList, TidyAndCaptions)
{
    RecentSlots s = slotsOf({"/a", "", "*untitled.rtf", "/b"});
    tidyRecent(s);
    EXPECT_EQ(s, slotsOf({"/a", "*empty", "*empty", "/b"}));

    EXPECT_EQ(reopenCaption(0, "/home/u/notes & more.txt"), "&1 notes && more.txt");
    EXPECT_EQ(reopenCaption(8, "/x/nine"), "&9 nine");
    EXPECT_EQ(reopenCaption(9, "/x/ten"), "&A ten");
    EXPECT_EQ(reopenCaption(11, "/x/twelve"), "&C twelve");
    EXPECT_EQ(reopenCaption(2, "*empty"), "&3 *empty");
}

TEST(Favourites, DefaultFileIsByteExact)
{
    EXPECT_EQ(defaultFavourites({"/etc/hosts", "/etc/fstab"}, {"/etc/profile"}),
              QByteArray(";List of favourite files\r\n"
                         ";To add a separator bar, insert a minus sing (-) between two rows\r\n"
                         "/etc/hosts\r\n/etc/fstab\r\n-\r\n/etc/profile\r\n"));
}

TEST(Favourites, EntriesInFileOrder)
{
    const auto entries = parseFavourites(";comment\r\n\r\n   \r\n/a/one.txt\r\n-\r\n ;not a comment\r\n"
                                         "/b/two.rtf\n/c/three\r\nrelative.txt");
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries[0].path, "/a/one.txt");
    EXPECT_EQ(entries[0].caption, "one.txt");
    EXPECT_TRUE(entries[1].separator);
    EXPECT_EQ(entries[2].path, " ;not a comment");
    EXPECT_EQ(entries[3].caption, "two.rtf");
    EXPECT_EQ(entries[4].path, "/c/three");
    EXPECT_EQ(entries[5].caption, "relative.txt");
    EXPECT_TRUE(parseFavourites("").empty());
}

TEST(Favourites, AddingKeepsTheFileAndItsEncoding)
{
    EXPECT_EQ(withFavourite("/a\r\n", "/b"), QByteArray("/a\r\n/b\r\n"));
    EXPECT_EQ(withFavourite("/a", "/b"), QByteArray("/a\r\n/b\r\n"));
    EXPECT_EQ(withFavourite("", "/b"), QByteArray("/b\r\n"));
    // A Windows-1252 file stays so while it can hold the name, and moves to UTF-8 when not.
    EXPECT_EQ(withFavourite("/caf\xe9\r\n", "/b\xc3\xa4"), QByteArray("/caf\xe9\r\n/b\xe4\r\n"));
    EXPECT_EQ(withFavourite("/caf\xe9\r\n", QString::fromUtf8("/\xd0\x96")),
              QByteArray("/caf\xc3\xa9\r\n/\xd0\x96\r\n"));
}
