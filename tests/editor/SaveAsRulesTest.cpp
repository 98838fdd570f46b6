#include "editor/SaveAsRules.h"

#include <gtest/gtest.h>

using namespace kelpa::editor;

TEST(SaveAsRules, DialogStartByKind)
{
    struct Case { PageKind kind; const char *file; int filter; const char *word; const char *name; const char *folder; };
    for (const Case c : {Case{PageKind::Plain, "*untitled(2).txt", 3, "txt", "Untitled.txt", ""},
                         Case{PageKind::Plain, "*untitled(3).bat", 3, "bat", "Untitled.bat", ""},
                         Case{PageKind::Plain, "/d/run.BAT", 3, "bat", "run.BAT", "/d/"},
                         Case{PageKind::Rich, "*untitled.rtf", 2, "rtf", "Untitled.rtf", ""},
                         Case{PageKind::Rich, "*untitled(4).eco", 1, "eco", "Untitled.eco", ""},
                         Case{PageKind::Rich, "/d/letter.eco.rtf", 2, "rtf", "letter.eco.rtf", "/d/"},
                         Case{PageKind::Encrypted, "/d/s.eco", 1, "eco", "s.eco", "/d/"},
                         Case{PageKind::Legacy, "/d/old.eco", 5, "eco", "old.eco", "/d/"}})
    {
        const SaveAsStart s = saveAsStart(c.kind, QString::fromUtf8(c.file));
        EXPECT_EQ(s.filterIndex, c.filter) << c.file;
        EXPECT_EQ(s.extensionWord, c.word) << c.file;
        EXPECT_EQ(s.initialName, c.name) << c.file;
        EXPECT_EQ(s.initialFolder, c.folder) << c.file;
    }
}

TEST(SaveAsRules, FilterGivesKindAndWantedExtension)
{
    struct Case { int filter; const char *word; PageKind kind; const char *ext; };
    for (const Case c : {Case{1, "rtf", PageKind::Encrypted, ".eco"}, Case{2, "txt", PageKind::Rich, ".rtf"},
                         Case{3, "txt", PageKind::Plain, ".txt"}, Case{3, "bat", PageKind::Plain, ".bat"},
                         Case{3, "eco", PageKind::Plain, ".txt"}, Case{4, "txt", PageKind::Plain, ".bat"},
                         Case{5, "rtf", PageKind::Legacy, ".eco"}})
    {
        const SaveAsTarget t = saveAsTarget(c.filter, QString::fromUtf8(c.word));
        EXPECT_EQ(t.kind, c.kind) << c.filter << c.word;
        EXPECT_EQ(t.wantedExtension, c.ext) << c.filter << c.word;
    }
    EXPECT_EQ(saveAsFilterTexts().size(), kSaveAsFilterCount);
}

TEST(SaveAsRules, ExtensionQuestionWhenTheNameEndsOtherwise)
{
    struct Case { const char *name; const char *wanted; bool ask; };
    for (const Case c : {Case{"/d/a.rtf", ".rtf", false}, Case{"/d/a.RTF", ".rtf", false}, Case{"/d/a", ".txt", true},
                         Case{"/d/a.rtf", ".txt", true}, Case{"/d/a.eco.txt", ".eco", true}})
        EXPECT_EQ(needsExtensionQuestion(QString::fromUtf8(c.name), QString::fromUtf8(c.wanted)), c.ask) << c.name;
}
