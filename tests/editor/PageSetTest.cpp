// The open documents without the window: reading into a page, writing it back, the signals.
#include "editor/PageSet.h"

#include "common/TempDir.h"
#include "common/QtFiles.h"
#include "richedit/TRichEdit.h"

#include <QFile>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

using namespace kelpa::editor;
using kelpa::engine::EC_FOpen;
using kelpa::codepage::TextEncoding;

namespace {

using kelpa::test::fileBytes;
using kelpa::test::writeFile;

struct Fixture {
    kelpa::test::TempDir dir;
    PageSet set;
    std::unique_ptr<TRichEdit> editor = std::make_unique<TRichEdit>();
    QString path(const char *name) const { return QString::fromStdString(dir.file(name)); }
    PageRecord &page() { return set.table()[0]; }
    Fixture()
    {
        page().Editor = editor.get();
        page().InUse = true;
    }
};

} // namespace

TEST(PageSet, EachKindIsReadIntoThePageAndWrittenBack)
{
    Fixture f;
    struct Case {
        const char *name;
        PageKind kind;
        bool plainMode;
        QByteArray text;
    };
    const Case cases[] = {
        // A page that no file was read into writes LF, the line end of new files.
        {"plain.txt", PageKind::Plain, true, "caf\xe9\nline two\n"},
        {"rich.rtf", PageKind::Rich, false, "{\\rtf1 rich\\par}"},
        {"doc.eco", PageKind::Encrypted, false, QByteArray("{\\rtf1 secret\\par}\r\n").repeated(30)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        f.editor->SetPlainText(c.plainMode);
        f.page().Kind = c.kind;
        f.page().Password = QStringLiteral("pw");
        f.set.opened(0, f.path(c.name));
        f.editor->LoadFromStream(c.text);
        ASSERT_TRUE(f.set.write(0, TOBRINEngine::CipherBlowfish).error.ok());
        f.editor->Clear();
        const kelpa::documents::ReadResult back = f.set.read(0, f.path(c.name), QStringLiteral("pw"));
        ASSERT_TRUE(back.ok()) << back.error.engineCode;
        EXPECT_TRUE(back.bytes.isEmpty()) << "the text is in the page, not kept twice";
        EXPECT_FALSE(f.editor->Text().isEmpty());
        if (c.kind == PageKind::Plain) {
            EXPECT_EQ(fileBytes(f.path(c.name)), c.text);
            EXPECT_EQ(f.editor->Encoding(), TextEncoding::Windows1252);
        }
        if (c.kind == PageKind::Encrypted) {
            EXPECT_EQ(f.page().Kind, PageKind::Encrypted);
        }
    }
}

TEST(PageSet, APlainFileMovesToUtf8OnlyWhenItsTextNeedsIt)
{
    Fixture f;
    writeFile(f.path("a.txt"), "caf\xe9");
    f.editor->SetPlainText(true);
    f.page().Kind = PageKind::Plain;
    f.set.opened(0, f.path("a.txt"));
    ASSERT_TRUE(f.set.read(0, f.path("a.txt"), QString()).ok());
    EXPECT_FALSE(f.set.write(0, 0).movedToUtf8);
    f.editor->SetSelStart(f.editor->TextLength());
    f.editor->SetSelText(QStringLiteral("\u0416"));
    EXPECT_TRUE(f.set.write(0, 0).movedToUtf8);
    EXPECT_EQ(f.editor->Encoding(), TextEncoding::Utf8);
    EXPECT_FALSE(f.set.write(0, 0).movedToUtf8) << "said once";
}

TEST(PageSet, FailuresLeaveThePageAndReportAsValues)
{
    Fixture f;
    f.editor->SetText(QStringLiteral("kept"));
    const kelpa::documents::ReadResult missing = f.set.read(0, f.path("missing.txt"), QString());
    EXPECT_EQ(missing.error.systemError, ENOENT);
    const kelpa::documents::ReadResult wrong = f.set.read(0, f.path("missing.eco"), QStringLiteral("pw"));
    EXPECT_EQ(wrong.error.engineCode, EC_FOpen);
    EXPECT_EQ(f.editor->Text(), "kept");

    f.page().Kind = PageKind::Plain;
    f.set.opened(0, f.path("none/x.txt"));
    EXPECT_EQ(f.set.write(0, 0).error.systemError, ENOENT);
}

TEST(PageSet, SignalsTellWhatBecameOfAPage)
{
    Fixture f;
    QSignalSpy added(&f.set, &PageSet::pageAdded);
    QSignalSpy changed(&f.set, &PageSet::pageChanged);
    QSignalSpy closing(&f.set, &PageSet::pageClosing);
    f.set.opened(0, f.path("a.txt"));
    EXPECT_EQ(f.page().FileName, f.path("a.txt"));
    f.editor->SetModified(true);
    f.set.saved(0);
    EXPECT_FALSE(f.editor->Modified());
    f.set.closing(0);
    ASSERT_EQ(added.count(), 1);
    EXPECT_EQ(added.at(0).at(0).toInt(), 0);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(closing.count(), 1);
}
