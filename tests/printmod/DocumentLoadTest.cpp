// Reading the document to print: the kinds of document, the exchange file and its dated
// password, password lists, and what the user is told when reading fails.
#include "common/QtFixtures.h"
#include "common/TempDir.h"

#include "engine/TOBRINEngine.h"
#include "richedit/TRichEdit.h"
#include "printmod/DocumentLoad.h"
#include "support/documents/Documents.h"
#include "support/MessageBoxes.h"
#include "common/ScriptedPrompter.h"

#include <QFile>

#include <cerrno>
#include <functional>
#include <new>
#include <stdexcept>
#include <gtest/gtest.h>

using kelpa::engine::TOBRINEngine;
using kelpa::richedit::TRichEdit;

using namespace kelpa::printmod;
using kelpa::test::q;

namespace {

class DocumentLoad : public ::testing::Test {
protected:
    void SetUp() override { kelpa::SetCaptionRules(kelpa::CaptionRules::Extended); }

    QString dir() const { return q(tmp.path().string()) + "/"; }
    QString save(const QString &name, const std::string &text, const QString &password)
    {
        TOBRINEngine engine;
        const QString path = dir() + name;
        const QByteArray bytes = kelpa::documents::passwordBytes(password);
        EXPECT_TRUE(engine.SaveToFile(bytes.toStdString(), path.toStdString(),
                                      reinterpret_cast<const std::uint8_t *>(text.data()), text.size()))
            << engine.ErrorText();
        return path;
    }
    LoadResult load(const QString &path, std::optional<QString> password = std::nullopt,
                    const QDate &today = QDate::currentDate())
    {
        asked = 0;
        return LoadDocumentForPrint(path, dir(), engine, edit, [&]() -> std::optional<QString> {
            ++asked;
            return password;
        }, today);
    }
    QString text() const { return edit.Text(); }

    kelpa::test::TempDir tmp;
    kelpa::ScriptedPrompter prompter;
    kelpa::ScopedPrompter scoped{prompter};
    TOBRINEngine engine;
    TRichEdit edit;
    int asked = 0;
};

TEST(DocumentPath, ArgumentsJoinUpToTheFirstEmptyOne)
{
    EXPECT_EQ(DocumentPathArgument({"C:\\My", "Docs\\a.txt"}), "C:\\My Docs\\a.txt");
    EXPECT_EQ(DocumentPathArgument({"/tmp/a", "", "b"}), "/tmp/a");
    EXPECT_EQ(DocumentPathArgument({}), "");
    EXPECT_EQ(DocumentPathArgument({"/P", "x"}), "/P x");
}

TEST_F(DocumentLoad, PlainAndRichFiles)
{
    kelpa::test::writeText(tmp.file("a.txt"), "first\r\nsecond\r\n");
    EXPECT_EQ(load(dir() + "a.txt"), LoadResult::Loaded);
    EXPECT_EQ(text(), "first\nsecond");
    kelpa::test::writeText(tmp.file("b.rtf"), "{\\rtf1\\ansi {\\b bold} words\\par}");
    EXPECT_EQ(load(dir() + "b.rtf"), LoadResult::Loaded);
    EXPECT_TRUE(text().startsWith("bold words")) << text().toStdString();
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(DocumentLoad, MissingFileIsALoadFailure)
{
    // An encrypted document that is not there is said so before any password is asked for.
    for (const char *name : {"gone.txt", "gone.eco"}) {
        prompter.clear();
        EXPECT_EQ(load(dir() + name, QString("pw")), LoadResult::Failed) << name;
        EXPECT_EQ(asked, 0) << name;
        ASSERT_EQ(prompter.messages().size(), 1u) << name;
        EXPECT_EQ(prompter.messages()[0].caption, "Error");
        EXPECT_TRUE(prompter.messages()[0].text.startsWith("Cannot load the file to print (Cannot open file \"" + dir() + name +
                                                           "\").\nNo such file or directory"))
            << prompter.messages()[0].text.toStdString();
    }
}

// Whatever goes wrong while the document is read (memory running out on a huge file, an error
// of a reader) ends in the load-failure message, not in a program that vanishes.
TEST_F(DocumentLoad, AnExceptionWhileLoadingIsALoadFailure)
{
    const QString path = save("big.eco", "text\r\n", "pw");
    struct Case {
        const char *what;
        std::function<void()> fault;
        QString shown;
    } cases[] = {
        {"out of memory", [] { throw std::bad_alloc(); }, "Cannot load the file to print (Out of memory)"},
        {"a reader error", [] { throw std::runtime_error("stream read error"); },
         "Cannot load the file to print (stream read error)"},
    };
    for (const Case &c : cases) {
        prompter.clear();
        const LoadResult result = LoadDocumentForPrint(path, dir(), engine, edit, [&]() -> std::optional<QString> {
            c.fault();
            return QString("pw");
        });
        EXPECT_EQ(result, LoadResult::Failed) << c.what;
        ASSERT_EQ(prompter.messages().size(), 1u) << c.what;
        EXPECT_EQ(prompter.messages()[0].caption, "Error") << c.what;
        EXPECT_TRUE(prompter.messages()[0].text.startsWith(c.shown)) << prompter.messages()[0].text.toStdString();
    }
}

TEST_F(DocumentLoad, EncryptedDocumentsAskForThePassword)
{
    for (const char *name : {"a.eco", "b.Eco", "C.ECO"}) {
        const QString path = save(name, "secret text\r\n", "pw");
        EXPECT_EQ(load(path, QString("pw")), LoadResult::Loaded) << name;
        EXPECT_EQ(asked, 1) << name;
        EXPECT_EQ(text(), "secret text") << name;
    }
    const QString path = save("d.eco", std::string(2000, 'x') + "some text that the coder packs", "pw");
    EXPECT_EQ(load(path, std::nullopt), LoadResult::Cancelled);
    EXPECT_EQ(load(path, QString()), LoadResult::Cancelled);
    EXPECT_TRUE(prompter.messages().empty());
    EXPECT_EQ(load(path, QString("wrong")), LoadResult::Failed);
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_TRUE(prompter.messages()[0].text.startsWith("Please check you password (EC:")) << prompter.messages()[0].text.toStdString();
}

TEST_F(DocumentLoad, ExchangeFileUsesTheDatedPassword)
{
    const QDate today(2026, 12, 10);
    save("~t.dat", "handed over\r\n" + std::string(3000, '-') + "\r\n", kelpa::documents::exchangePassword(kelpa::documents::ExchangePassword::Dated, today));
    EXPECT_EQ(load(dir() + "~t.dat", std::nullopt, today), LoadResult::Loaded);
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(text().startsWith("handed over\n---"));
    EXPECT_TRUE(QFile::exists(dir() + "~t.dat")); // left in place

    // The same file through "..", a link, and another day.
    QDir().mkpath(dir() + "sub");
    EXPECT_EQ(load(dir() + "sub/../~t.dat", std::nullopt, today), LoadResult::Loaded);
    ASSERT_TRUE(QFile::link(dir() + "~t.dat", dir() + "sub/link.dat"));
    EXPECT_TRUE(IsExchangeFile(dir() + "sub/link.dat", dir()));
    EXPECT_EQ(load(dir() + "~t.dat", std::nullopt, today.addDays(1)), LoadResult::Failed);
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_TRUE(prompter.messages()[0].text.startsWith("Please check you password (EC:"));

    // Another case is another file: read as a plain file, no password.
    QFile::copy(dir() + "~t.dat", dir() + "~T.DAT");
    EXPECT_FALSE(IsExchangeFile(dir() + "~T.DAT", dir()));
    EXPECT_EQ(load(dir() + "~T.DAT", QString("x"), today), LoadResult::Loaded);
    EXPECT_EQ(asked, 0);

}

TEST_F(DocumentLoad, DecryptedTextCases)
{
    struct Case {
        const char *name;
        std::string text;
        LoadResult result;
        QString shown;      // start of the message, empty for none
        QString loaded;     // the control's text afterwards
    };
    const std::string rec = "[\xA7REC]Bank\r\nurl\r\nalice\r\ne2\r\ne3\r\nh\r\nnotes\r\nh\r\nh\r\nh\r\nh\r\n";
    const std::vector<Case> cases = {
        {"text up to its first 0 byte", std::string("abc\0def", 7), LoadResult::Loaded, "", "abc"},
        {"second line not 4", "PWDLIST\r\n5\r\nrest\r\n", LoadResult::Loaded, "", "PWDLIST\n5\nrest"},
        {"password list", "PWDLIST\r\n4\r\nx\r\n[\xA7" "BEGOFDATA]\r\n" + rec, LoadResult::Loaded, "",
         "Bank\n  - URL: url\n  - ENTRY1: alice\n  - ENTRY2: e2\n  - ENTRY3: e3\n  - NOTES : notes\n "},
        {"empty text", "", LoadResult::Failed, "Cannot load the file to print (List index out of bounds (0))", ""},
        {"one line PWDLIST", "PWDLIST", LoadResult::Failed, "Cannot load the file to print (List index out of bounds (1))", ""},
        {"list without room for markers", "PWDLIST\r\n4\r\n", LoadResult::Failed,
         "Cannot load the file to print (List index out of bounds (3))", ""},
        {"damaged record", "PWDLIST\r\n4\r\nx\r\n[\xA7" "BEGOFDATA]\r\n" + rec + "nothing\r\n", LoadResult::Failed,
         "26 rows required vs 16 present.", ""},
    };
    for (const Case &c : cases) {
        prompter.clear();
        edit.Clear();
        const QString path = save("c.eco", c.text, "pw");
        EXPECT_EQ(load(path, QString("pw")), c.result) << c.name;
        if (c.shown.isEmpty()) {
            EXPECT_TRUE(prompter.messages().empty()) << c.name;
        } else {
            ASSERT_EQ(prompter.messages().size(), 1u) << c.name;
            EXPECT_EQ(prompter.messages()[0].caption, "Error") << c.name;
            EXPECT_TRUE(prompter.messages()[0].text.contains(c.shown)) << c.name << ": " << prompter.messages()[0].text.toStdString();
        }
        if (c.result == LoadResult::Loaded) {
            EXPECT_EQ(text(), c.loaded) << c.name;
        }
    }
}

TEST_F(DocumentLoad, NoStaleSystemTextInTheMessages)
{
    const QString path = save("e.eco", "", "pw");
    errno = ENOENT; // left by some earlier call
    EXPECT_EQ(load(path, QString("pw")), LoadResult::Failed);
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0].text, "Cannot load the file to print (List index out of bounds (0)).\n");
}

TEST_F(DocumentLoad, DamagedListKeepsWhatWasRenderedAndSaysWhere)
{
    std::string text = "PWDLIST\r\n4\r\n[\xA7" "BEGOFDATA]\r\n";
    for (const char *title : {"One", "Two"})
        text += std::string("[\xA7REC]") + title + "\r\nu\r\ne1\r\ne2\r\ne3\r\nh\r\nn\r\nh\r\nh\r\nh\r\nh\r\n";
    text.replace(text.find("[\xA7REC]Two"), 9, "Two");
    EXPECT_EQ(load(save("p.eco", text, "pw"), QString("pw")), LoadResult::Failed);
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0].text, QString::fromUtf8("Record damaged at position 14: record signature ([§REC]) not found"));
    EXPECT_TRUE(edit.Text().startsWith("One\n  - URL: u")) << edit.Text().toStdString();
}

} // namespace
