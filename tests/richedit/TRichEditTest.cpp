#include "richedit/TRichEdit.h"
#include "richedit/rtf/RtfDocument.h"
#include "richedit/rtf/RtfReader.h"
#include "richedit/rtf/RtfWriter.h"

#include "common/TempDir.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace kelpa::richedit;

using kelpa::codepage::TextEncoding;

namespace {

QByteArray bytes(const std::string &s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

std::string str(const QByteArray &b)
{
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

std::string fixture(const std::string &name)
{
    std::ifstream in(std::string(KELPA_SOURCE_DIR) + "/tests/richedit/fixtures/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void select(TRichEdit &e, int start, int length)
{
    e.SetSelStart(start);
    e.SetSelLength(length);
}

void key(TRichEdit &e, int k, const QString &text = {}, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, k, mods, text);
    QApplication::sendEvent(&e, &press);
    QKeyEvent release(QEvent::KeyRelease, k, mods, text);
    QApplication::sendEvent(&e, &release);
}

// ---------------------------------------------------------------- streams

struct StreamCase {
    const char *name;
    bool plainMode;
    std::string input;
    QString text;         // the control's text after loading
    TextEncoding encoding; // for plain text
    std::string saved;    // what saving in the same mode writes (empty: not checked)
};

TEST(TRichEditStream, LoadRuleAndSaveFormat)
{
    const StreamCase cases[] = {
        {"rtf in rich mode", false, "{\\rtf1 {\\b bold} text\\par}", "bold text", TextEncoding::Utf8, ""},
        {"plain text in rich mode", false, "one\r\ntwo\r\n", "one\ntwo", TextEncoding::Utf8, ""},
        {"rtf in plain mode stays code", true, "{\\rtf1 x}", "{\\rtf1 x}", TextEncoding::Utf8, "{\\rtf1 x}\r\n"},
        {"every line end", true, "a\r\nb\rc\nd", "a\nb\nc\nd", TextEncoding::Utf8, "a\r\nb\r\nc\r\nd\r\n"},
        {"last empty line survives", true, "a\r\n\r\n", "a\n", TextEncoding::Utf8, "a\r\n\r\n"},
        {"latin bytes", true, "caf\xe9\r\n", "caf\u00e9", TextEncoding::Windows1252, "caf\xe9\r\n"},
        {"utf-8", true, "caf\xc3\xa9", "caf\u00e9", TextEncoding::Utf8, "caf\xc3\xa9\r\n"},
        {"utf-8 with bom", true, "\xef\xbb\xbfx", "x", TextEncoding::Utf8Bom, "\xef\xbb\xbfx\r\n"},
        {"empty", true, "", "", TextEncoding::Utf8, ""},
        {"tabs and blanks", true, "\ta  b\t\r\n", "\ta  b\t", TextEncoding::Utf8, "\ta  b\t\r\n"},
    };
    for (const StreamCase &c : cases) {
        SCOPED_TRACE(c.name);
        TRichEdit e;
        e.SetPlainText(c.plainMode);
        e.LoadFromStream(bytes(c.input));
        EXPECT_EQ(e.Text(), c.text);
        EXPECT_FALSE(e.Modified());
        EXPECT_EQ(e.SelStart(), 0);
        if (c.plainMode) {
            EXPECT_EQ(e.Encoding(), c.encoding);
            EXPECT_EQ(str(e.SaveToStream()), c.saved);
        }
    }
}

TEST(TRichEditStream, RichModeSavesRtfThatReadsBack)
{
    TRichEdit e;
    e.SetText("first line\nsecond \u0416 line");
    const QByteArray rtf = e.SaveToStream();
    EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
    TRichEdit back;
    back.LoadFromStream(rtf);
    EXPECT_EQ(back.Text(), e.Text());
}

TEST(TRichEditStream, RtfStraightFromTheDocumentEqualsRtfOfTheModel)
{
    TRichEdit e;
    e.LoadFromStream(bytes(fixture("writer-sample.rtf")));
    e.SetSelStart(e.TextLength());
    e.SetSelText("\n\nafter two breaks"); // empty paragraphs take the format before them
    const std::pair<int, int> ranges[] = {{0, -1}, {0, 0}, {3, 40}, {17, e.LineIndex(6)}, {e.LineIndex(6) + 2, -1}};
    for (auto [start, end] : ranges) {
        kelpa::rtf::WriteOptions options;
        options.defaultFontName = e.document()->defaultFont().family().toStdU16String();
        const std::string viaModel = kelpa::rtf::writeRtf(e.ToDocument(start, end), options);
        e.SetSelStart(start);
        e.SetSelLength((end < 0 ? e.TextLength() : end) - start);
        if (start == 0 && end == -1) {
            EXPECT_EQ(str(e.SaveToStream()), viaModel);
        }
        if (e.SelLength() > 0) {
            e.CopyToClipboard();
            EXPECT_EQ(str(QApplication::clipboard()->mimeData()->data("text/rtf")), viaModel) << start << "," << end;
        }
    }
}

TEST(TRichEditStream, HiddenTextIsNotShownAndSavedHidden)
{
    TRichEdit e;
    e.LoadFromStream(QByteArray(R"({\rtf1{\colortbl;\red200\green0\blue0;}shown {\v\fs40\cf1 secret} end\par})"));
    ASSERT_EQ(e.Text(), "shown secret end");
    // Drawn with no ink: the paragraph looks as it does without the hidden word.
    auto ink = [](TRichEdit &edit) {
        edit.resize(400, 100);
        QImage image(edit.viewport()->size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        edit.viewport()->render(&image);
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                dark += qGray(image.pixel(x, y)) < 128;
        return dark;
    };
    TRichEdit visible;
    visible.LoadFromStream(QByteArray(R"({\rtf1 shown  end\par})"));
    const int withHidden = ink(e), without = ink(visible);
    EXPECT_GT(without, 0);
    EXPECT_NEAR(withHidden, without, without / 10);

    const kelpa::rtf::Document saved = kelpa::rtf::readRtf(str(e.SaveToStream()));
    ASSERT_EQ(saved.paragraphs.size(), 1u);
    bool found = false;
    for (const kelpa::rtf::Run &r : saved.paragraphs[0].runs) {
        EXPECT_EQ(r.format.hidden, r.text == u"secret") << str(e.SaveToStream());
        if (r.text == u"secret") {
            found = true;
            EXPECT_EQ(r.format.sizeHalfPoints, 40);
            EXPECT_EQ(r.format.color, kelpa::rtf::Color::rgb(200, 0, 0));
        }
    }
    EXPECT_TRUE(found);
}

TEST(TRichEditStream, TextWindows1252CannotHoldIsSavedAsUtf8)
{
    TRichEdit e;
    e.SetPlainText(true);
    e.LoadFromStream(bytes("caf\xe9"));
    ASSERT_EQ(e.Encoding(), TextEncoding::Windows1252);
    e.SetSelStart(e.TextLength());
    e.SetSelText("\u0416");
    EXPECT_EQ(str(e.SaveToStream()), "caf\xc3\xa9\xd0\x96\r\n");
    // Streaming changes nothing: the page is in UTF-8 once a file holds it.
    EXPECT_EQ(e.Encoding(), TextEncoding::Windows1252);
    kelpa::test::TempDir dir;
    ASSERT_TRUE(e.SaveToFile(QString::fromStdString(dir.file("page.txt"))));
    EXPECT_EQ(e.Encoding(), TextEncoding::Utf8);
}

TEST(TRichEditStream, PlainPageEncoding)
{
    struct Case {
        const char *name;
        const char16_t *lines;
        TextEncoding wanted;
        std::string bytes;
        TextEncoding written;
    };
    const Case cases[] = {
        {"latin stays latin", u"caf\u00e9\r\n", TextEncoding::Windows1252, "caf\xe9\r\n", TextEncoding::Windows1252},
        {"cyrillic moves to utf-8", u"\u0416\r\n", TextEncoding::Windows1252, "\xd0\x96\r\n", TextEncoding::Utf8},
        {"utf-8", u"caf\u00e9\r\n", TextEncoding::Utf8, "caf\xc3\xa9\r\n", TextEncoding::Utf8},
        {"byte-order mark kept", u"x\r\n", TextEncoding::Utf8Bom, "\xef\xbb\xbfx\r\n", TextEncoding::Utf8Bom},
        {"empty", u"", TextEncoding::Windows1252, "", TextEncoding::Windows1252},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const TRichEdit::PlainBytes out = TRichEdit::EncodePlainPage(QString::fromUtf16(c.lines), c.wanted);
        EXPECT_EQ(str(out.bytes), c.bytes);
        EXPECT_EQ(out.encoding, c.written);
    }
    // A rich editor's plain stream is its lines, not RTF.
    TRichEdit rich;
    rich.SetText("one\ntwo");
    EXPECT_EQ(str(rich.PlainStream().bytes), "one\r\ntwo\r\n");
    EXPECT_TRUE(rich.SaveToStream().startsWith("{\\rtf1"));
}

// Saving encodes the paragraphs directly; it must give what encoding the lines gives.
TEST(TRichEditStream, PlainStreamIsTheEncodedLines)
{
    QString many;
    for (int i = 0; i < 200; ++i)
        many += QStringLiteral("line %1 \u0436\n").arg(i);
    struct Case {
        const char *name;
        QString text;
        std::string utf8; // empty: only compared with the encoded lines
    };
    const Case cases[] = {
        {"one line", QStringLiteral("abc"), "abc\r\n"},
        {"cr lf lines", QStringLiteral("a\r\nb\r\n\r\nc"), "a\r\nb\r\n\r\nc\r\n"},
        {"line break inside a paragraph", QStringLiteral("a\vb"), "a\r\nb\r\n"},
        {"cyrillic", QString::fromUtf16(u"\u0416\u0436 x\n\u044f"), "\xd0\x96\xd0\xb6 x\r\n\xd1\x8f\r\n"},
        {"outside the basic plane", QString::fromUtf16(u"a\U0001F600b\n\U00010348"),
         "a\xf0\x9f\x98\x80" "b\r\n\xf0\x90\x8d\x88\r\n"},
        {"lone surrogates", QString::fromUtf16(u"a\xd800" "b\n\xdc00"), "a\xef\xbf\xbd" "b\r\n\xef\xbf\xbd\r\n"},
        {"three-byte and tab", QString::fromUtf16(u"\u20ac\t\uffff"), "\xe2\x82\xac\t\xef\xbf\xbf\r\n"},
        {"many lines held together", many, ""},
        {"many lines and a long one", many + QString(5000, QChar(u'q')) + QStringLiteral("\n") + many, ""},
    };
    for (const Case &c : cases) {
        for (bool plain : {true, false}) {
            for (TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Utf8Bom, TextEncoding::Windows1252}) {
                SCOPED_TRACE(std::string(c.name) + (plain ? " plain " : " rich ") +
                             std::to_string(static_cast<int>(encoding)));
                TRichEdit e;
                e.SetPlainText(plain);
                e.SetText(c.text);
                e.SetEncoding(encoding);
                const TRichEdit::PlainBytes out = e.PlainStream();
                const TRichEdit::PlainBytes lines = TRichEdit::EncodePlainPage(e.Lines().Text(), encoding);
                EXPECT_EQ(str(out.bytes), str(lines.bytes));
                EXPECT_EQ(out.encoding, lines.encoding);
                if (!c.utf8.empty() && encoding == TextEncoding::Utf8) {
                    EXPECT_EQ(str(out.bytes), c.utf8);
                }
            }
        }
    }
}

TEST(TRichEditStream, FilesAreReadAndReplacedWhole)
{
    kelpa::test::TempDir dir;
    const QString name = QString::fromStdString(dir.file("page.txt"));
    TRichEdit e;
    e.SetPlainText(true);
    EXPECT_FALSE(e.LoadFromFile(QString::fromStdString(dir.file("missing.txt"))));
    e.SetText("kept");
    EXPECT_TRUE(e.SaveToFile(name));
    EXPECT_EQ(kelpa::test::readBytes(name.toStdString()), (std::vector<std::uint8_t>{'k', 'e', 'p', 't', '\r', '\n'}));
    TRichEdit other;
    other.SetPlainText(true);
    EXPECT_TRUE(other.LoadFromFile(name));
    EXPECT_EQ(other.Text(), "kept");
    // A folder that does not exist: nothing written, failure reported.
    EXPECT_FALSE(e.SaveToFile(QString::fromStdString(dir.file("no/such/folder.txt"))));
}

// ---------------------------------------------------------------- attributes through RTF

struct AttributeCase {
    const char *name;
    std::function<void(TRichEdit &)> set;
    std::function<bool(TRichEdit &)> check;
};

TEST(TRichEditAttributes, EachAttributeSurvivesSavingAsRtf)
{
    const AttributeCase cases[] = {
        {"font name", [](TRichEdit &e) { e.SelAttributes().SetName("Courier New"); },
         [](TRichEdit &e) { return e.SelAttributes().Name() == "Courier New"; }},
        {"font size", [](TRichEdit &e) { e.SelAttributes().SetSize(19); },
         [](TRichEdit &e) { return e.SelAttributes().Size() == 19; }},
        {"colour", [](TRichEdit &e) { e.SelAttributes().SetColor(QColor(10, 120, 240)); },
         [](TRichEdit &e) { return e.SelAttributes().Color() == QColor(10, 120, 240); }},
        {"bold", [](TRichEdit &e) { e.SelAttributes().SetStyle(TFontStyle::Bold); },
         [](TRichEdit &e) { return e.SelAttributes().Style() == TFontStyles(TFontStyle::Bold); }},
        {"italic", [](TRichEdit &e) { e.SelAttributes().SetStyle(TFontStyle::Italic); },
         [](TRichEdit &e) { return e.SelAttributes().Style() == TFontStyles(TFontStyle::Italic); }},
        {"underline", [](TRichEdit &e) { e.SelAttributes().SetStyle(TFontStyle::Underline); },
         [](TRichEdit &e) { return e.SelAttributes().Style() == TFontStyles(TFontStyle::Underline); }},
        {"strike-out", [](TRichEdit &e) { e.SelAttributes().SetStyle(TFontStyle::StrikeOut); },
         [](TRichEdit &e) { return e.SelAttributes().Style() == TFontStyles(TFontStyle::StrikeOut); }},
        {"all styles", [](TRichEdit &e) { e.SelAttributes().SetStyle(TFontStyle::Bold | TFontStyle::Italic | TFontStyle::Underline | TFontStyle::StrikeOut); },
         [](TRichEdit &e) { return e.SelAttributes().Style() == (TFontStyle::Bold | TFontStyle::Italic | TFontStyle::Underline | TFontStyle::StrikeOut); }},
        {"centre", [](TRichEdit &e) { e.Paragraph().SetAlignment(TAlignment::Center); },
         [](TRichEdit &e) { return e.Paragraph().Alignment() == TAlignment::Center; }},
        {"right", [](TRichEdit &e) { e.Paragraph().SetAlignment(TAlignment::RightJustify); },
         [](TRichEdit &e) { return e.Paragraph().Alignment() == TAlignment::RightJustify; }},
        {"indents",
         [](TRichEdit &e) {
             e.Paragraph().SetFirstIndent(10);
             e.Paragraph().SetLeftIndent(25);
             e.Paragraph().SetRightIndent(7);
         },
         [](TRichEdit &e) {
             return e.Paragraph().FirstIndent() == 10 && e.Paragraph().LeftIndent() == 25 &&
                    e.Paragraph().RightIndent() == 7;
         }},
        {"hanging indent",
         [](TRichEdit &e) {
             e.Paragraph().SetFirstIndent(30);
             e.Paragraph().SetLeftIndent(-20);
         },
         [](TRichEdit &e) { return e.Paragraph().FirstIndent() == 30 && e.Paragraph().LeftIndent() == -20; }},
        {"bullets", [](TRichEdit &e) { e.Paragraph().SetNumbering(TNumberingStyle::Bullet); },
         [](TRichEdit &e) { return e.Paragraph().Numbering() == TNumberingStyle::Bullet; }},
    };
    for (const AttributeCase &c : cases) {
        SCOPED_TRACE(c.name);
        TRichEdit e;
        e.SetText("before\nmiddle part\nafter");
        select(e, 7, 6); // "middle"
        c.set(e);
        ASSERT_TRUE(c.check(e)) << "not set";
        TRichEdit back;
        back.LoadFromStream(e.SaveToStream());
        ASSERT_EQ(back.Text(), e.Text());
        select(back, 7, 6);
        EXPECT_TRUE(c.check(back)) << e.SaveToStream().toStdString();
        // The neighbours keep the defaults.
        select(back, 0, 6);
        EXPECT_EQ(back.SelAttributes().Style(), TFontStyles());
        EXPECT_EQ(back.Paragraph().Alignment(), TAlignment::LeftJustify);
        EXPECT_EQ(back.Paragraph().Numbering(), TNumberingStyle::None);
    }
}

TEST(TRichEditAttributes, TypingAttributesApplyToNewText)
{
    TRichEdit e;
    e.SetText("plain ");
    e.SetSelStart(e.TextLength());
    e.SelAttributes().SetStyle(TFontStyle::Bold);
    e.SelAttributes().SetColor(QColor(255, 0, 0));
    e.SetSelText("bold");
    select(e, 7, 1);
    EXPECT_EQ(e.SelAttributes().Style(), TFontStyles(TFontStyle::Bold));
    EXPECT_EQ(e.SelAttributes().Color(), QColor(255, 0, 0));
    // Back to the window text colour.
    select(e, 6, 4);
    e.SelAttributes().SetColor(QColor());
    EXPECT_FALSE(e.SelAttributes().Color().isValid());
    select(e, 0, 1);
    EXPECT_EQ(e.SelAttributes().Style(), TFontStyles());
}

TEST(TRichEditAttributes, ReplacedTextKeepsTheLookOfWhatItReplaces)
{
    // The word replaced starts a run of its own look, after text of another.
    struct Case {
        const char *rtf;
        TFontStyles style;
    } cases[] = {
        {R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\f0 one {\i wrod} two\par})", TFontStyle::Italic},
        {R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\f0 one {\b wrod} two\par})", TFontStyle::Bold},
        {R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\f0 {\b one }wrod two\par})", TFontStyles()},
        {R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\f0 {\b one\par}wrod two\par})", TFontStyles()},
    };
    for (const Case &c : cases) {
        TRichEdit e;
        e.LoadFromStream(bytes(c.rtf));
        const int at = static_cast<int>(e.Text().indexOf("wrod"));
        ASSERT_GE(at, 0) << c.rtf;
        select(e, at, 4);
        e.SetSelText("word");
        select(e, at, 4);
        EXPECT_EQ(e.SelText(), "word") << c.rtf;
        EXPECT_EQ(e.SelAttributes().Style(), c.style) << c.rtf;
    }
}

TEST(TRichEditAttributes, BulletsOffAndDefaults)
{
    TRichEdit e;
    e.SetText("a\nb\nc");
    e.SelectAll();
    e.Paragraph().SetNumbering(TNumberingStyle::Bullet);
    for (int line = 0; line < 3; ++line) {
        e.SetSelStart(e.LineIndex(line));
        EXPECT_EQ(e.Paragraph().Numbering(), TNumberingStyle::Bullet) << line;
    }
    select(e, 2, 1);
    e.Paragraph().SetNumbering(TNumberingStyle::None);
    EXPECT_EQ(e.Paragraph().Numbering(), TNumberingStyle::None);
    e.SetSelStart(0);
    EXPECT_EQ(e.Paragraph().Numbering(), TNumberingStyle::Bullet);

    e.DefAttributes().SetName("Courier New");
    e.DefAttributes().SetSize(9);
    EXPECT_EQ(e.DefAttributes().Name(), "Courier New");
    EXPECT_EQ(e.DefAttributes().Size(), 9);
    TRichEdit fresh;
    fresh.DefAttributes().SetName("Courier New");
    fresh.SetText("x");
    fresh.SelectAll();
    EXPECT_EQ(fresh.SelAttributes().Name(), "Courier New");
}

TEST(TRichEditAttributes, WriterFixtureLoadsWithItsFormatting)
{
    TRichEdit e;
    e.LoadFromStream(bytes(fixture("writer-sample.rtf")));
    EXPECT_EQ(e.Lines().Count(), 11);
    EXPECT_EQ(e.Lines()[6], "First bullet");
    e.SetSelStart(e.LineIndex(1));
    EXPECT_EQ(e.Paragraph().Alignment(), TAlignment::Center);
    e.SetSelStart(e.LineIndex(6));
    EXPECT_EQ(e.Paragraph().Numbering(), TNumberingStyle::Bullet);
    const int bold = e.FindText("bold", 0, e.TextLength(), TSearchType::WholeWord);
    select(e, bold, 4);
    EXPECT_EQ(e.SelAttributes().Style(), TFontStyles(TFontStyle::Bold));
    const int courier = e.FindText("Red Courier", 0, e.TextLength(), {});
    select(e, courier, 3);
    EXPECT_EQ(e.SelAttributes().Name(), "Courier New");
    EXPECT_EQ(e.SelAttributes().Size(), 16);
    EXPECT_EQ(e.SelAttributes().Color(), QColor(255, 0, 0));
}

// ---------------------------------------------------------------- selection and lines

struct LineCase {
    const char *name;
    QString text;
    std::vector<int> lineStarts;
};

TEST(TRichEditLines, LineMappingOnATableOfTexts)
{
    const LineCase cases[] = {
        {"empty", "", {0}},
        {"one line", "abc", {0}},
        {"two lines", "ab\ncd", {0, 3}},
        {"empty lines", "ab\n\n\ncd\n", {0, 3, 4, 5, 8}},
        {"line break inside a paragraph", "a\vb\nc", {0, 4}},
        {"long line", QString(5000, QChar(u'x')) + "\ny", {0, 5001}},
    };
    for (const LineCase &c : cases) {
        SCOPED_TRACE(c.name);
        TRichEdit e;
        e.SetText(c.text);
        ASSERT_EQ(e.Text(), c.text);
        ASSERT_EQ(e.TextLength(), c.text.size());
        for (std::size_t line = 0; line < c.lineStarts.size(); ++line)
            EXPECT_EQ(e.LineIndex(static_cast<int>(line)), c.lineStarts[line]) << line;
        EXPECT_EQ(e.LineIndex(static_cast<int>(c.lineStarts.size())), -1);
        EXPECT_EQ(e.LineLength(static_cast<int>(c.lineStarts.size())), -1);
        std::size_t line = 0;
        for (int pos = 0; pos <= e.TextLength(); ++pos) {
            while (line + 1 < c.lineStarts.size() && c.lineStarts[line + 1] <= pos)
                ++line;
            ASSERT_EQ(e.LineFromChar(pos), static_cast<int>(line)) << pos;
        }
        // The caret's line, as the status bar asks for it.
        e.SetSelStart(c.lineStarts.back());
        EXPECT_EQ(e.LineFromChar(-1), static_cast<int>(c.lineStarts.size()) - 1);
        EXPECT_EQ(e.LineIndex(-1), c.lineStarts.back());
    }
}

TEST(TRichEditLines, PlainPagesHoldLongTextsInFewParagraphs)
{
    // Lines of different lengths, some empty, so that offsets are not regular.
    std::vector<QString> lines;
    std::string file;
    for (int i = 0; i < 1000; ++i) {
        lines.push_back(i % 7 == 3 ? QString() : QString("line %1 %2").arg(i).arg(QString(i % 13, QChar(u'x'))));
        file += lines.back().toStdString() + "\r\n";
    }
    TRichEdit e;
    e.SetPlainText(true);
    e.LoadFromStream(bytes(file));
    EXPECT_LT(e.document()->blockCount(), 100); // the text engine sees few paragraphs
    ASSERT_EQ(e.Lines().Count(), 1000);
    int offset = 0;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(e.Lines()[i], lines[static_cast<std::size_t>(i)]) << i;
        ASSERT_EQ(e.LineIndex(i), offset) << i;
        ASSERT_EQ(e.LineLength(i), lines[static_cast<std::size_t>(i)].size()) << i;
        ASSERT_EQ(e.LineFromChar(offset), i) << i;
        ASSERT_EQ(e.LineFromChar(offset + static_cast<int>(lines[static_cast<std::size_t>(i)].size())), i) << i;
        offset += static_cast<int>(lines[static_cast<std::size_t>(i)].size()) + 1;
    }
    EXPECT_EQ(e.LineIndex(1000), -1);
    EXPECT_FALSE(e.Text().contains(QChar(u'\v')));
    EXPECT_EQ(e.Text().count(QChar(u'\n')), 999);
    EXPECT_EQ(str(e.SaveToStream()), file);

    // Editing keeps the lines counted: typing a break, deleting lines, inserting one.
    e.SetSelStart(e.LineIndex(501) + 4);
    key(e, Qt::Key_Return, "\r");
    lines.insert(lines.begin() + 502, lines[501].mid(4));
    lines[501] = lines[501].left(4);
    e.Lines().Delete(0);
    lines.erase(lines.begin());
    e.Lines().Delete(e.Lines().Count() - 1);
    lines.pop_back();
    e.Lines().Delete(700);
    lines.erase(lines.begin() + 700);
    e.Lines().Insert(300, "new line");
    lines.insert(lines.begin() + 300, "new line");
    ASSERT_EQ(e.Lines().Count(), static_cast<int>(lines.size()));
    for (std::size_t i = 0; i < lines.size(); ++i)
        ASSERT_EQ(e.Lines()[static_cast<int>(i)], lines[i]) << i;
    e.Undo();
    EXPECT_EQ(e.Lines().Count(), static_cast<int>(lines.size()) - 1);

    // A big paste is held together too; switching to rich mode makes paragraphs of the lines.
    TRichEdit pasted;
    pasted.SetPlainText(true);
    pasted.SetSelText(QString("a\n").repeated(300) + "end");
    EXPECT_LT(pasted.document()->blockCount(), 10);
    EXPECT_EQ(pasted.Lines().Count(), 301);
    EXPECT_EQ(pasted.LineFromChar(pasted.TextLength()), 300);
    pasted.SetPlainText(false);
    EXPECT_EQ(pasted.document()->blockCount(), 301);
    EXPECT_EQ(pasted.Lines().Count(), 301);
}

// Every line query against the lines of Text().
void expectLinesOf(const TRichEdit &e)
{
    const QString text = e.Text();
    const QStringList lines = text.split(QChar(u'\n'));
    ASSERT_EQ(e.Lines().Count(), text.isEmpty() ? 0 : lines.size());
    int start = 0;
    for (int i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(e.LineIndex(i), start) << i;
        ASSERT_EQ(e.LineLength(i), lines[i].size()) << i;
        ASSERT_EQ(e.Lines()[i], lines[i]) << i;
        for (int p = start; p <= start + lines[i].size(); ++p)
            ASSERT_EQ(e.LineFromChar(p), i) << p;
        start += static_cast<int>(lines[i].size()) + 1;
    }
    EXPECT_EQ(e.LineIndex(static_cast<int>(lines.size())), -1);
}

TEST(TRichEditLines, LinesStayCountedThroughEditsAnywhere)
{
    QString text;
    for (int i = 0; i < 400; ++i)
        text += QStringLiteral("line %1%2\n").arg(i).arg(QString(i % 11, QChar(u'y')));
    struct Edit {
        const char *name;
        double at; // of the text
        std::function<void(TRichEdit &)> apply;
    };
    const Edit edits[] = {
        {"a character at the top", 0.0, [](TRichEdit &e) { e.SetSelText("x"); }},
        {"a break at the top", 0.0, [](TRichEdit &e) { key(e, Qt::Key_Return, "\r"); }},
        {"a break at the end", 1.0, [](TRichEdit &e) { key(e, Qt::Key_Return, "\r"); }},
        {"lines pasted in the middle", 0.5, [](TRichEdit &e) { e.SetSelText(QString("p\n").repeated(150)); }},
        {"lines deleted across paragraphs", 0.3,
         [](TRichEdit &e) { e.SetSelLength(e.TextLength() / 3); e.SetSelText(QString()); }},
        {"a backspace joining lines", 0.6, [](TRichEdit &e) {
             e.SetSelStart(e.LineIndex(e.LineFromChar(e.SelStart())));
             key(e, Qt::Key_Backspace);
         }},
        {"an undo", 0.0, [](TRichEdit &e) { e.Undo(); }},
        {"a line deleted", 0.0, [](TRichEdit &e) { e.Lines().Delete(e.Lines().Count() / 2); }},
    };
    TRichEdit e;
    e.SetPlainText(true);
    e.LoadFromStream(text.toUtf8());
    for (const Edit &edit : edits) {
        SCOPED_TRACE(edit.name);
        e.SetSelStart(static_cast<int>(e.TextLength() * edit.at));
        // A query before the edit leaves the index counted only part of the way.
        EXPECT_GE(e.LineFromChar(-1), 0);
        edit.apply(e);
        EXPECT_EQ(e.LineIndex(0), 0);
        e.LineFromChar(e.TextLength() / 4);
        expectLinesOf(e);
    }
}

struct SelectionCase {
    int start;
    int length;
    int selStart;
    QString selected;
};

TEST(TRichEditLines, SelectionIsClampedToTheText)
{
    const SelectionCase cases[] = {
        {6, 5, 6, "world"},   {0, 0, 0, ""},   {3, 100, 3, "lo world"}, {50, 3, 11, ""},
        {-4, 2, 0, "he"},     {6, -2, 4, "o "}, {0, 11, 0, "hello world"},
    };
    TRichEdit e;
    e.SetText("hello world");
    for (const SelectionCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << "," << c.length);
        select(e, c.start, c.length);
        EXPECT_EQ(e.SelStart(), c.selStart);
        EXPECT_EQ(e.SelText(), c.selected);
        EXPECT_EQ(e.SelLength(), c.selected.size());
    }
}

TEST(TRichEditLines, SelTextTakesEveryKindOfLineEnd)
{
    for (const QString &input : {QString("a\r\nb"), QString("a\rb"), QString("a\nb")}) {
        TRichEdit e;
        e.SetSelText(input);
        EXPECT_EQ(e.Text(), "a\nb");
        EXPECT_EQ(e.Lines().Count(), 2);
        EXPECT_EQ(e.SelStart(), 3);
    }
    TRichEdit e;
    e.SetText("hello world");
    select(e, 0, 5);
    e.SetSelText("bye");
    EXPECT_EQ(e.Text(), "bye world");
    EXPECT_EQ(e.SelStart(), 3);
    EXPECT_EQ(e.SelLength(), 0);
    // A plain page keeps no line breaks inside paragraphs.
    TRichEdit plain;
    plain.SetPlainText(true);
    plain.SetSelText("a\vb");
    EXPECT_EQ(plain.Text(), "a\nb");
}

TEST(TRichEditLines, LinesListOperations)
{
    TRichEdit e;
    EXPECT_EQ(e.Lines().Count(), 0);
    e.Lines().Add("one");
    e.Lines().Add("two");
    e.Lines().Add("three");
    EXPECT_EQ(e.Text(), "one\ntwo\nthree");
    e.Lines().Insert(1, "inserted");
    EXPECT_EQ(e.Text(), "one\ninserted\ntwo\nthree");
    EXPECT_EQ(e.Lines()[1], "inserted");
    EXPECT_EQ(e.Lines()[9], "");
    EXPECT_EQ(e.Lines().Text(), "one\r\ninserted\r\ntwo\r\nthree\r\n");

    struct DeleteCase {
        QString text;
        int line;
        QString after;
    };
    const DeleteCase deletes[] = {
        {"a\nb\nc", 0, "b\nc"}, {"a\nb\nc", 1, "a\nc"}, {"a\nb\nc", 2, "a\nb"},
        {"only", 0, ""},        {"a\nb", 5, "a\nb"},    {"a\n\nb", 1, "a\nb"},
        {"a\nb", -1, "a\nb"},
    };
    for (const DeleteCase &d : deletes) {
        TRichEdit del;
        del.SetText(d.text);
        del.Lines().Delete(d.line);
        EXPECT_EQ(del.Text(), d.after) << d.text.toStdString() << " line " << d.line;
    }
    e.Lines().SetText("x\r\ny\r\n");
    EXPECT_EQ(e.Text(), "x\ny");
    e.Lines().Clear();
    EXPECT_EQ(e.Lines().Count(), 0);
    EXPECT_FALSE(e.Modified());
}

// ---------------------------------------------------------------- find

struct FindCase {
    QString what;
    int start;
    int length;
    TSearchTypes options;
    int found;
};

TEST(TRichEditFind, WordAndCaseOptions)
{
    TRichEdit e;
    e.SetText("The cat scattered cats.\nCat caf\u00e9 don't");
    const FindCase cases[] = {
        {"cat", 0, 100, {}, 4},
        {"cat", 5, 100, {}, 9},
        {"cat", 5, 100, TSearchType::WholeWord, 24},
        {"cat", 5, 100, TSearchType::WholeWord | TSearchType::MatchCase, -1},
        {"Cat", 0, 100, TSearchType::MatchCase, 24},
        {"cat", 5, 7, {}, 9},
        {"cat", 5, 6, {}, -1},            // the hit ends beyond the range
        {"cat", 5, 7, TSearchType::WholeWord, -1},
        {"CAF\u00c9", 0, 100, TSearchType::WholeWord, 28},
        {"don", 0, 100, TSearchType::WholeWord, 33}, // an apostrophe ends a word
        {"", 0, 100, {}, -1},
        {"cat", 90, 100, {}, -1},
    };
    for (const FindCase &c : cases)
        EXPECT_EQ(e.FindText(c.what, c.start, c.length, c.options), c.found)
            << c.what.toStdString() << " from " << c.start;
}

// ---------------------------------------------------------------- clipboard

TEST(TRichEditClipboard, CopyPutsRtfAndTextPastePrefersRtf)
{
    TRichEdit source;
    source.SetText("plain bold\nnext");
    select(source, 6, 4);
    source.SelAttributes().SetStyle(TFontStyle::Bold);
    select(source, 6, 9); // "bold\nnext"
    source.CopyToClipboard();
    const QMimeData *mime = QApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_TRUE(mime->hasFormat("text/rtf"));
    EXPECT_EQ(mime->text(), "bold\nnext");

    TRichEdit rich;
    rich.SetText("[]");
    rich.SetSelStart(1);
    rich.PasteFromClipboard();
    EXPECT_EQ(rich.Text(), "[bold\nnext]");
    select(rich, 1, 4);
    EXPECT_EQ(rich.SelAttributes().Style(), TFontStyles(TFontStyle::Bold));
    select(rich, 6, 4);
    EXPECT_EQ(rich.SelAttributes().Style(), TFontStyles());

    TRichEdit plain;
    plain.SetPlainText(true);
    plain.PasteFromClipboard();
    EXPECT_EQ(plain.Text(), "bold\nnext");
    plain.SelectAll();
    EXPECT_EQ(plain.SelAttributes().Style(), TFontStyles());
}

TEST(TRichEditClipboard, PlainPagesCopyTextOnlyAndCutRemoves)
{
    TRichEdit plain;
    plain.SetPlainText(true);
    plain.SetText("one two");
    select(plain, 0, 4);
    plain.CutToClipboard();
    EXPECT_EQ(plain.Text(), "two");
    const QMimeData *mime = QApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_FALSE(mime->hasFormat("text/rtf"));
    EXPECT_EQ(mime->text(), "one ");

    // Text from elsewhere, rich page: taken as text with CR LF line ends made paragraphs.
    auto *data = new QMimeData;
    data->setText("x\r\ny");
    QApplication::clipboard()->setMimeData(data);
    TRichEdit rich;
    rich.PasteFromClipboard();
    EXPECT_EQ(rich.Text(), "x\ny");
    // Read-only pages take nothing.
    rich.SetReadOnly(true);
    rich.PasteFromClipboard();
    EXPECT_EQ(rich.Text(), "x\ny");
}

TEST(TRichEditClipboard, BrokenRtfOnTheClipboardStillPastesItsText)
{
    auto *data = new QMimeData;
    data->setData("text/rtf", "{\\rtf1 {{{\\b salvaged");
    data->setText("fallback");
    QApplication::clipboard()->setMimeData(data);
    TRichEdit rich;
    rich.PasteFromClipboard();
    EXPECT_EQ(rich.Text(), "salvaged");
}

// ---------------------------------------------------------------- events and state

TEST(TRichEditEvents, KeyHandlersSeeTheKeyBeforeTheControl)
{
    TRichEdit e;
    std::vector<std::string> log;
    QObject::connect(&e, &TRichEdit::KeyDown, [&](int &k, Qt::KeyboardModifiers) {
        log.push_back("down " + std::to_string(k) + " len " + std::to_string(e.TextLength()));
        if (k == Qt::Key_F5)
            k = 0; // swallowed
    });
    QObject::connect(&e, &TRichEdit::KeyPress, [&](QChar &c) {
        log.push_back(std::string("press ") + c.toLatin1());
        if (c == u'x')
            c = QChar(u'y');
        if (c == u'q')
            c = QChar();
    });
    QObject::connect(&e, &TRichEdit::KeyUp,
                     [&](int &, Qt::KeyboardModifiers) { log.push_back("up len " + std::to_string(e.TextLength())); });
    key(e, Qt::Key_A, "a");
    key(e, Qt::Key_X, "x"); // changed into y
    key(e, Qt::Key_Q, "q"); // dropped
    key(e, Qt::Key_F5);
    EXPECT_EQ(e.Text(), "ay");
    const std::vector<std::string> expected = {
        "down 65 len 0", "press a", "up len 1", "down 88 len 1", "press x", "up len 2",
        "down 81 len 2", "press q", "up len 2", "down " + std::to_string(Qt::Key_F5) + " len 2", "up len 2"};
    EXPECT_EQ(log, expected);
}

TEST(TRichEditEvents, InsertKeyTogglesOverwriteAndReturnMakesParagraphs)
{
    QApplication::clipboard()->clear();
    TRichEdit e;
    e.SetText("abc");
    e.SetSelStart(0);
    key(e, Qt::Key_Insert);
    key(e, Qt::Key_X, "x");
    EXPECT_EQ(e.Text(), "xbc");
    key(e, Qt::Key_Insert, {}, Qt::ShiftModifier); // Shift+Insert is paste, not the toggle
    key(e, Qt::Key_Insert);
    key(e, Qt::Key_Y, "y");
    EXPECT_EQ(e.Text(), "xybc");

    TRichEdit plain;
    plain.SetPlainText(true);
    key(plain, Qt::Key_A, "a");
    key(plain, Qt::Key_Return, "\r", Qt::ShiftModifier);
    key(plain, Qt::Key_B, "b");
    EXPECT_EQ(plain.Text(), "a\nb");
    EXPECT_EQ(plain.Lines().Count(), 2);
}

TEST(TRichEditEvents, ChangeSelectionModifiedAndUndo)
{
    TRichEdit e;
    int changes = 0;
    int moves = 0;
    // Two listeners of each event: both hear it.
    int otherChanges = 0;
    int otherMoves = 0;
    auto changeConnection = QObject::connect(&e, &TRichEdit::Change, [&] { ++changes; });
    QObject::connect(&e, &TRichEdit::SelectionChange, [&] { ++moves; });
    QObject::connect(&e, &TRichEdit::Change, [&] { ++otherChanges; });
    QObject::connect(&e, &TRichEdit::SelectionChange, [&] { ++otherMoves; });
    e.LoadFromStream(QByteArray("some text"));
    EXPECT_FALSE(e.Modified());
    changes = moves = 0;
    otherChanges = otherMoves = 0;
    key(e, Qt::Key_Z, "z");
    EXPECT_GE(changes, 1);
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(otherChanges, changes);
    EXPECT_EQ(otherMoves, moves);
    EXPECT_TRUE(e.Modified());
    EXPECT_EQ(e.Text(), "zsome text");
    moves = 0;
    e.SetSelStart(4);
    e.SetSelStart(4);
    EXPECT_EQ(moves, 1);
    EXPECT_TRUE(e.CanUndo());
    e.Undo();
    EXPECT_EQ(e.Text(), "some text");
    e.SetModified(true);
    e.Clear();
    EXPECT_FALSE(e.Modified());
    EXPECT_EQ(e.TextLength(), 0);
    // A listener that disconnected hears nothing; the other one still does.
    QObject::disconnect(changeConnection);
    changes = otherChanges = 0;
    e.SetText("quiet");
    EXPECT_EQ(changes, 0);
    EXPECT_GE(otherChanges, 1);
}

TEST(TRichEditEvents, MouseDownReportsTheButtonAndPointOverText)
{
    TRichEdit e;
    e.resize(400, 200);
    e.show();
    QApplication::processEvents();
    e.SetRect(2, 0, e.ClientRect().width() - 2, e.ClientRect().height());
    e.SetText("first line\nsecond line");
    QTextCursor at(e.document());
    at.setPosition(14); // "second" + 3
    const QRect caret = e.cursorRect(at);
    const QPoint client = caret.center() + QPoint(2, 0); // viewport point to client point
    Qt::MouseButton button = Qt::NoButton;
    QPoint reported;
    QObject::connect(&e, &TRichEdit::MouseDown, [&](Qt::MouseButton b, Qt::KeyboardModifiers, QPoint p) {
        button = b;
        reported = p;
    });
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(caret.center()), QPointF(e.viewport()->mapToGlobal(caret.center())),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(e.viewport(), &press);
    EXPECT_EQ(button, Qt::RightButton);
    EXPECT_EQ(reported, client);
    EXPECT_EQ(e.CharFromPos(reported), 14);
}

TEST(TRichEditEvents, PropertiesAndMargins)
{
    TRichEdit e;
    e.resize(300, 200);
    e.show();
    QApplication::processEvents();
    e.SetWordWrap(false);
    EXPECT_FALSE(e.WordWrap());
    e.SetWantTabs(true);
    EXPECT_TRUE(e.WantTabs());
    key(e, Qt::Key_Tab, "\t");
    EXPECT_EQ(e.Text(), "\t");
    e.SetScrollBars(TScrollStyle::Vertical);
    EXPECT_EQ(e.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(e.verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    e.SetReadOnly(true);
    key(e, Qt::Key_A, "a");
    EXPECT_EQ(e.Text(), "\t");
    const QRect client = e.ClientRect();
    e.SetRect(2, 0, client.width() - 2, client.height());
    EXPECT_EQ(e.ClientRect(), client); // margins come out of the client area, not on top
    EXPECT_EQ(e.viewport()->width(), client.width() - 4);
    e.SetRect(2, 0, client.width() - 2, client.height()); // again, as every resize does
    EXPECT_EQ(e.viewport()->width(), client.width() - 4);
    e.SetHideSelection(false);
    EXPECT_EQ(e.palette().color(QPalette::Inactive, QPalette::Highlight),
              e.palette().color(QPalette::Active, QPalette::Highlight));
}

// Plain pages lay text out unshaped (long lines stay editable), through any font the editor
// sets; rich pages keep kerning and ligatures.
TEST(TRichEditEvents, PlainPagesLayOutUnshaped)
{
    TRichEdit e;
    const auto unshaped = [&e] { return (e.document()->defaultFont().styleStrategy() & QFont::PreferNoShaping) != 0; };
    EXPECT_FALSE(unshaped());
    e.SetPlainText(true);
    EXPECT_TRUE(unshaped());
    e.setFont(QFont(QStringLiteral("Liberation Mono"), 11));
    EXPECT_TRUE(unshaped());
    e.DefAttributes().SetSize(14);
    EXPECT_TRUE(unshaped());
    e.SetPlainText(false);
    EXPECT_FALSE(unshaped());
    e.setFont(QFont(QStringLiteral("Liberation Serif"), 12));
    EXPECT_FALSE(unshaped());
}

TEST(TRichEditEvents, MarginsLookLikeTheTextArea)
{
    TRichEdit e;
    QPalette p = e.palette();
    p.setColor(QPalette::Window, QColor(200, 0, 0));
    p.setColor(QPalette::Base, QColor(0, 0, 200));
    e.setPalette(p);
    e.resize(300, 200);
    e.show();
    QApplication::processEvents();
    const QRect client = e.ClientRect();
    e.SetRect(3, 4, client.width() - 5, client.height() - 2);
    QApplication::processEvents();
    const QImage shot = e.grab().toImage();
    const QRect view = e.viewport()->geometry();
    const QColor base = e.viewport()->palette().color(e.viewport()->backgroundRole());
    const int midX = view.center().x();
    const int midY = view.center().y();
    const QPoint inMargins[] = {{view.left() - 1, midY}, {view.left() - 3, midY}, {view.right() + 1, midY},
                                {view.right() + 5, midY}, {midX, view.top() - 1}, {midX, view.top() - 4},
                                {midX, view.bottom() + 2}};
    for (const QPoint &at : inMargins)
        EXPECT_EQ(shot.pixelColor(at), base) << at.x() << "," << at.y();
}

} // namespace
