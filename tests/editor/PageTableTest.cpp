#include "editor/PageTable.h"

#include "common/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace kelpa::editor;
using kelpa::test::TempDir;
using kelpa::test::writeText;

TEST(PageTable, FreeSlotIsTheLowestEmptyName)
{
    PageTable t;
    EXPECT_EQ(t.FindFreePage(), 0);
    for (int i = 0; i < 6; ++i)
        t[i].FileName = QStringLiteral("/d/%1.txt").arg(i);
    EXPECT_EQ(t.FindFreePage(), 6);
    t[3].FileName.clear();
    EXPECT_EQ(t.FindFreePage(), 3);
    for (int i = 0; i < kPageCount; ++i)
        t[i].FileName = QStringLiteral("/d/%1.txt").arg(i);
    EXPECT_EQ(t.FindFreePage(), -1);
    EXPECT_EQ(t.openCount(), 16);
}

// "Already loaded" means the same file, however its path is written; another file whose name
// differs only in case is another file.
TEST(PageTable, AlreadyLoadedMeansTheSameFile)
{
    TempDir dir;
    namespace fs = std::filesystem;
    const fs::path d = dir.path();
    fs::create_directory(d / "sub");
    writeText(dir.file("Notes.txt"), "open\r\n");
    writeText(dir.file("NOTES.TXT"), "another file\r\n");
    fs::create_symlink(d / "Notes.txt", d / "alias.txt");
    fs::create_hard_link(d / "Notes.txt", d / "hard.txt");
    fs::create_directory_symlink(d, d / "sub" / "up");
    auto at = [&dir](const std::string &name) { return QString::fromStdString(dir.file(name)); };

    PageTable t;
    t[2].FileName = at("Notes.txt");
    t[4].FileName = at("gone.txt"); // deleted since it was opened
    t[5].FileName = QStringLiteral("*untitled.rtf");
    struct Case { std::string path; int slot; };
    for (const Case &c : {Case{"Notes.txt", 2}, Case{"./Notes.txt", 2}, Case{"sub/../Notes.txt", 2},
                          Case{"alias.txt", 2}, Case{"hard.txt", 2}, Case{"sub/up/Notes.txt", 2},
                          Case{"NOTES.TXT", -1}, Case{"notes.txt", -1}, Case{"Notes.txt ", -1},
                          Case{"gone.txt", 4}, Case{"sub/../gone.txt", 4}, Case{"sub/up/gone.txt", 4},
                          Case{"GONE.txt", -1}})
        EXPECT_EQ(t.findLoaded(at(c.path)), c.slot) << c.path;
    for (const char *name : {"*untitled.rtf", ""})
        EXPECT_EQ(t.findLoaded(QString::fromUtf8(name)), -1) << name;
}

TEST(PageTable, UntitledNamesCountUpAndAreNotReused)
{
    PageTable t;
    EXPECT_EQ(t.nextUntitledName(NewPageKind::Rich), "*untitled.rtf");
    EXPECT_EQ(t.nextUntitledName(NewPageKind::Plain), "*untitled(2).txt");
    EXPECT_EQ(t.nextUntitledName(NewPageKind::Encrypted), "*untitled(3).eco");
    EXPECT_EQ(t.nextUntitledName(NewPageKind::Batch), "*untitled(4).bat");
    EXPECT_EQ(t.UntitledCounter, 5);
}

TEST(PageTable, KindsByExtension)
{
    struct Case { const char *path; bool rich; bool encrypted; };
    for (const Case c : {Case{"/d/notes.TXT", false, false}, Case{"/d/letter.Doc", true, false},
                         Case{"/d/a.rtf", true, false}, Case{"/d/a.wri", true, false},
                         Case{"/d/secret.eco", true, true}, Case{"/d/SECRET.ECO", true, true},
                         Case{"/d/README", false, false}, Case{"/d.rtf/README", false, false},
                         Case{"/d/archive.rtf.bak", false, false}, Case{"/d/.eco", true, true},
                         Case{"*untitled(3).eco", true, true}})
    {
        EXPECT_EQ(opensAsRich(QString::fromUtf8(c.path)), c.rich) << c.path;
        EXPECT_EQ(isEncryptedName(QString::fromUtf8(c.path)), c.encrypted) << c.path;
    }
}

TEST(PageTable, LegacyKindByVersionText)
{
    struct Case { const char *version; PageKind kind; };
    for (const Case c : {Case{"3.0", PageKind::Legacy}, Case{"2.3", PageKind::Legacy}, Case{"3", PageKind::Legacy},
                         Case{"10.0", PageKind::Legacy}, Case{"3.01", PageKind::Encrypted},
                         Case{"3.1", PageKind::Encrypted}, Case{"5.0", PageKind::Encrypted}})
        EXPECT_EQ(encryptedKindForVersion(c.version), c.kind) << c.version;
}

TEST(PageTable, NameParts)
{
    EXPECT_EQ(fileNamePart("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(fileNamePart("*untitled(2).txt"), "*untitled(2).txt");
    EXPECT_EQ(folderPart("/a/b/c.txt"), "/a/b/");
    EXPECT_EQ(folderPart("*untitled.rtf"), "");
    EXPECT_EQ(extensionOf("/a/b.x/c"), "");
    EXPECT_EQ(extensionOf("/a/c.tar.GZ"), ".GZ");
}

TEST(PageTable, EscapeMenuCaptionDoublesAmpersands)
{
    EXPECT_EQ(EscapeMenuCaption("Tom & Jerry&&.txt"), "Tom && Jerry&&&&.txt");
    EXPECT_EQ(EscapeMenuCaption("plain"), "plain");
}

TEST(PageTable, MenuCaptionTextIsWhatTheMenuShows)
{
    struct Case {
        const char *caption, *shown;
    } cases[] = {{"&Separator Line &Length...", "Separator Line Length..."},
                 {"Tom && Jerry", "Tom & Jerry"},
                 {"&&&Save", "&Save"},
                 {"end&", "end"},
                 {"plain", "plain"}};
    for (const Case &c : cases)
        EXPECT_EQ(MenuCaptionText(c.caption), c.shown) << c.caption;
}

TEST(PageTable, FreshRecordHasNoBookmarksAndInsertMode)
{
    const PageRecord r;
    for (int b : r.Bookmarks)
        EXPECT_EQ(b, -1);
    EXPECT_EQ(r.InsertMode, 1);
    EXPECT_TRUE(r.isFree());
    EXPECT_FALSE(r.InUse);
}
