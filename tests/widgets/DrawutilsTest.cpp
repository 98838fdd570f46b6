#include "support/Abort.h"
#include "common/ScriptedPrompter.h"
#include "widgets/Drawutils.h"

#include <QApplication>
#include <QPainter>
#include <QPicture>
#include <QScreen>
#include <QSysInfo>
#include <QWidget>
#include <cerrno>
#include <cstring>
#include <map>
#include <gtest/gtest.h>
#include <vector>

using namespace kelpa::widgets;

namespace {

QImage canvas(int w, int h, QRgb fill)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(fill);
    return img;
}

// Each row of `rows` is one pixel row; every character names a colour of `legend`.
QImage picture(const std::vector<const char *> &rows, const std::map<char, QRgb> &legend)
{
    QImage img(static_cast<int>(std::strlen(rows[0])), static_cast<int>(rows.size()),
               QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, legend.at(rows[static_cast<std::size_t>(y)][x]));
    return img;
}

void expectImage(const QImage &got, const QImage &expected, const char *what)
{
    ASSERT_EQ(got.size(), expected.size()) << what;
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x)
            EXPECT_EQ(got.pixel(x, y) & 0xFFFFFF, expected.pixel(x, y) & 0xFFFFFF)
                << what << " at " << x << "," << y;
}

const QRgb R = qRgb(255, 0, 0), G = qRgb(0, 255, 0), B = qRgb(0, 0, 255), K = qRgb(0, 0, 0),
           W = qRgb(255, 255, 255), S = qRgb(0xC0, 0xC0, 0xC0), D = qRgb(0x80, 0x80, 0x80),
           E = qRgb(0x7F, 0x7F, 0x7F);
const std::map<char, QRgb> legend{{'r', R}, {'g', G}, {'b', B}, {'k', K},
                                  {'w', W}, {'s', S}, {'d', D}, {'e', E}};

TColor tc(QRgb c)
{
    return RGB(qRed(c), qGreen(c), qBlue(c));
}

} // namespace

TEST(Drawutils, MulDivRoundsHalvesAwayFromZero)
{
    struct Case {
        int a, b, c, expected;
    };
    for (const Case &t : {Case{1, 255, 2, 128}, Case{1, -255, 2, -128}, Case{2, 255, 3, 170},
                          Case{1, 1, 3, 0}, Case{5, 7, 0, -1}, Case{INT_MAX, 2, 2, INT_MAX},
                          Case{-3, 3, -2, 5}})
        EXPECT_EQ(MulDiv(t.a, t.b, t.c), t.expected) << t.a << "*" << t.b << "/" << t.c;
}

TEST(Drawutils, GradientBands)
{
    struct Case {
        const char *name;
        QSize size;
        TFillDirection direction;
        std::uint8_t colors;
        std::vector<const char *> rows;
    };
    // Black to white; "d" is grey 128 (MulDiv takes 127.5 up).
    const std::vector<Case> cases{
        {"top to bottom, 3 colours", {1, 10}, fdTopToBottom, 3,
         {"k", "k", "k", "d", "d", "d", "w", "w", "w", "w"}},
        // From white down: the middle band is 255 + MulDiv(1, -255, 2) = 127.
        {"bottom to top, 3 colours", {1, 10}, fdBottomToTop, 3,
         {"w", "w", "w", "e", "e", "e", "k", "k", "k", "k"}},
        {"left to right", {5, 1}, fdLeftToRight, 2, {"kkwww"}},
        {"right to left", {5, 1}, fdRightToLeft, 2, {"wwkkk"}},
        {"one colour is the start colour", {2, 3}, fdTopToBottom, 1, {"kk", "kk", "kk"}},
        {"more colours than pixels", {1, 3}, fdTopToBottom, 200, {"k", "d", "w"}},
    };
    for (const Case &c : cases) {
        QImage img = canvas(c.size.width(), c.size.height(), R);
        {
            QPainter p(&img);
            GradientFillRect(p, QRect(QPoint(0, 0), c.size), clBlack, clWhite, c.direction,
                             c.colors);
        }
        expectImage(img, picture(c.rows, legend), c.name);
    }

    // An empty rectangle draws nothing; an offset rectangle stays inside itself.
    QImage img = canvas(4, 4, R);
    {
        QPainter p(&img);
        GradientFillRect(p, QRect(1, 1, 0, 3), clBlack, clWhite, fdTopToBottom, 3);
        GradientFillRect(p, QRect(1, 1, 2, 2), clBlack, clWhite, fdTopToBottom, 2);
    }
    expectImage(img, picture({"rrrr", "rkkr", "rwwr", "rrrr"}, legend), "offset rectangle");
}

TEST(Drawutils, TwoColourPattern)
{
    const TBitmap b = CreateTwoColorsBrushPattern(tc(R), tc(G));
    expectImage(b.Image,
                picture({"grgrgrgr", "rgrgrgrg", "grgrgrgr", "rgrgrgrg", "grgrgrgr", "rgrgrgrg",
                         "grgrgrgr", "rgrgrgrg"},
                        legend),
                "pattern");
}

TEST(Drawutils, BitmapCells)
{
    TBitmap strip;
    strip.Image = QImage(64, 16, QImage::Format_RGB32);
    for (int x = 0; x < 64; ++x)
        for (int y = 0; y < 16; ++y)
            strip.Image.setPixel(x, y, qRgb(x, y, 7));
    strip.TransparentColor = tc(G);
    strip.Transparent = true;

    struct Case {
        int cols, rows, index;
        QSize size;
        QPoint origin;
    };
    // An index past the last cell wraps around the grid instead of reading outside the source.
    for (const Case &c : {Case{4, 1, 5, {16, 16}, {16, 0}}, Case{4, 1, 0, {16, 16}, {0, 0}},
                          Case{2, 2, 6, {32, 8}, {0, 8}},
                          Case{0, 0, 0, {64, 16}, {0, 0}}, Case{4, 1, -3, {16, 16}, {0, 0}},
                          Case{2, 2, 3, {32, 8}, {32, 8}}}) {
        TBitmap cell;
        AssignBitmapCell(&strip, &cell, c.cols, c.rows, c.index);
        ASSERT_EQ(cell.Image.size(), c.size) << c.cols << "x" << c.rows << " #" << c.index;
        EXPECT_EQ(cell.Image.pixel(0, 0), strip.Image.pixel(c.origin.x(), c.origin.y()))
            << c.cols << "x" << c.rows << " #" << c.index;
        EXPECT_EQ(cell.TransparentColor, tc(G));
        EXPECT_TRUE(cell.Transparent);
    }
    TBitmap untouched;
    AssignBitmapCell(static_cast<const TBitmap *>(nullptr), &untouched, 1, 1, 0);
    EXPECT_TRUE(untouched.Empty());
    AssignBitmapCell(&strip, nullptr, 1, 1, 0);

    // A recorded picture lands on silver.
    QPicture pic;
    {
        QPainter p(&pic);
        p.fillRect(QRect(0, 0, 4, 2), QColor(R));
        p.fillRect(QRect(4, 0, 2, 2), QColor(B));
        p.fillRect(QRect(6, 0, 2, 1), QColor(G));
    }
    TBitmap cell;
    AssignBitmapCell(&pic, false, &cell, 2, 1, 1);
    expectImage(cell.Image, picture({"bbgg", "bbss"}, legend), "picture cell");
}

TEST(Drawutils, TransparentDrawing)
{
    TBitmap bmp;
    bmp.Image = picture({"rgb", "grb"}, legend);   // bottom-left pixel green
    struct Case {
        const char *name;
        TColor transparent;
        std::vector<const char *> rows;
    };
    for (const Case &c : {Case{"red left out", tc(R), {"kkkkk", "kkgbk", "kgkbk"}},
                          Case{"default is the bottom-left colour", clDefault,
                               {"kkkkk", "krkbk", "kkrbk"}},
                          Case{"no colour copies everything", clNone,
                               {"kkkkk", "krgbk", "kgrbk"}}}) {
        QImage img = canvas(5, 3, K);
        {
            QPainter p(&img);
            DrawBitmapTransparent(p, 1, 1, bmp, c.transparent);
        }
        expectImage(img, picture(c.rows, legend), c.name);
    }

    // A monochrome bitmap leaves out white whatever colour is asked for.
    TBitmap mono;
    mono.Image = QImage(2, 1, QImage::Format_Mono);
    mono.Image.setColorCount(2);
    mono.Image.setColor(0, K);
    mono.Image.setColor(1, W);
    mono.Image.setPixel(0, 0, 0);
    mono.Image.setPixel(1, 0, 1);
    QImage img = canvas(2, 1, R);
    {
        QPainter p(&img);
        DrawBitmapTransparent(p, 0, 0, mono, tc(K));
    }
    expectImage(img, picture({"kr"}, legend), "monochrome");

    // Stretched twice the size, nearest neighbour, part of the source.
    img = canvas(4, 2, B);
    {
        QPainter p(&img);
        StretchBitmapRectTransparent(p, 0, 0, 4, 2, QRect(0, 0, 2, 1), bmp, tc(G));
    }
    expectImage(img, picture({"rrbb", "rrbb"}, legend), "stretched");
}

TEST(Drawutils, DisabledImages)
{
    TBitmap glyph;
    glyph.Image = picture({"wwww", "wkww", "wwkw", "wwww"}, legend);
    struct Case {
        const char *name;
        bool highlight;
        std::vector<const char *> rows;
    };
    for (const Case &c : {Case{"embossed", true, {"ssss", "sdss", "ssds", "sssw"}},
                          Case{"shadow only", false, {"ssss", "sdss", "ssds", "ssss"}}}) {
        const TBitmap out =
            CreateDisabledBitmapEx(glyph, clBlack, tc(S), clWhite, tc(D), c.highlight);
        expectImage(out.Image, picture(c.rows, legend), c.name);
    }

    TImageList list;
    list.Width = 3;
    list.Height = 3;
    QImage icon(3, 3, QImage::Format_ARGB32);
    icon.fill(0u);
    icon.setPixel(0, 0, qRgba(10, 20, 30, 255));
    icon.setPixel(1, 1, qRgba(10, 20, 30, 200));
    icon.setPixel(2, 0, qRgba(10, 20, 30, 100));   // mostly transparent
    list.Images << icon;
    QImage img = canvas(4, 4, B);
    {
        QPainter p(&img);
        ImageListDrawDisabled(list, p, 0, 0, 0, clWhite, tc(D), true);
        ImageListDrawDisabled(list, p, 0, 0, 1, tc(R), tc(R), true);   // no such image
    }
    expectImage(img, picture({"dbbb", "bdbb", "bbwb", "bbbb"}, legend), "image list");
}

TEST(Drawutils, ShadeRectHatch)
{
    QImage img = canvas(8, 5, W);
    ShadeRect(img, QRect(0, 0, 8, 4));
    ShadeRect(img, QRect(20, 20, 4, 4));   // outside: nothing
    expectImage(img, picture({"wwwkwwwk", "wwkwwwkw", "wkwwwkww", "kwwwkwww", "wwwwwwww"}, legend),
                "hatch");
}

TEST(Drawutils, RotatedFont)
{
    QFont f(QStringLiteral("Sans Serif"));
    f.setPixelSize(20);
    f.setBold(true);
    f.setItalic(true);
    const TRotatedFont r = CreateRotatedFont(f, 90);
    EXPECT_EQ(r.lfEscapement, 900);
    EXPECT_EQ(r.lfOrientation, 0);
    EXPECT_EQ(r.lfHeight, -20);
    EXPECT_EQ(r.lfWeight, 700);
    EXPECT_EQ(r.lfItalic, 1);
    EXPECT_EQ(r.lfUnderline, 0);
    EXPECT_EQ(r.lfPitchAndFamily, 0);
    EXPECT_EQ(r.lfFaceName, QStringLiteral("Sans Serif"));
    EXPECT_TRUE(r.Font.bold());

    for (const char *name : {"Default", "DEFAULT", "default"}) {
        QFont d{QString::fromLatin1(name)};
        EXPECT_EQ(CreateRotatedFont(d, 0).lfFaceName, QGuiApplication::font().family()) << name;
    }
    QFont fixed(QStringLiteral("Monospace"));
    fixed.setFixedPitch(true);
    EXPECT_EQ(CreateRotatedFont(fixed, 0).lfPitchAndFamily, 1);
    fixed.setFixedPitch(false);
    EXPECT_EQ(CreateRotatedFont(fixed, 0).lfPitchAndFamily, 2);

    // Text at 90 degrees runs upwards from its point, the glyphs to the right of it.
    QImage img = canvas(100, 200, W);
    {
        QPainter p(&img);
        p.setPen(Qt::black);
        r.DrawText(p, 40, 150, QStringLiteral("WWWW"));
    }
    QRect ink;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != W)
                ink |= QRect(x, y, 1, 1);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GT(ink.height(), ink.width());
    EXPECT_GE(ink.left(), 40);
    EXPECT_LE(ink.bottom(), 150);
}

TEST(Drawutils, SystemColoursComeFromThePalette)
{
    QPalette pal;
    pal.setColor(QPalette::Button, QColor(1, 2, 3));
    pal.setColor(QPalette::Dark, QColor(4, 5, 6));
    pal.setColor(QPalette::Light, QColor(7, 8, 9));
    pal.setColor(QPalette::Base, QColor(10, 11, 12));
    struct Case {
        TColor in, out;
    };
    for (const Case &c : {Case{clBtnFace, RGB(1, 2, 3)}, Case{clBtnShadow, RGB(4, 5, 6)},
                          Case{clBtnHighlight, RGB(7, 8, 9)}, Case{clWindow, RGB(10, 11, 12)},
                          Case{SystemColor(25), clBlack}, Case{SystemColor(0x1234), clBlack},
                          Case{RGB(1, 2, 3), RGB(1, 2, 3)}, Case{clNone, 0xFFFFFF}})
        EXPECT_EQ(ColorToRGB(c.in, pal), c.out) << std::hex << c.in;
    EXPECT_EQ(ToQColor(RGB(0x12, 0x34, 0x56), pal), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(PaletteColor(RGB(1, 2, 3)), 0x02030201u);

    TBitmap b;
    b.Image = picture({"rg", "bw"}, legend);
    EXPECT_EQ(b.EffectiveTransparentColor(), tc(B));
    b.TransparentColor = tc(G);
    EXPECT_EQ(b.EffectiveTransparentColor(), tc(G));
    EXPECT_EQ(ChangeBitmapColor(b, tc(B), tc(R)).Image.pixel(0, 1), R);
}

TEST(Drawutils, Geometry)
{
    const QRect r(10, 20, 5, 5);   // right 15, bottom 25
    struct Case {
        QPoint p;
        bool in;
    };
    for (const Case &c : {Case{{10, 20}, true}, Case{{15, 25}, true}, Case{{16, 25}, false},
                          Case{{9, 22}, false}, Case{{12, 26}, false}})
        EXPECT_EQ(PointInRect(c.p, r), c.in) << c.p.x() << "," << c.p.y();
    const QPolygon triangle({QPoint(0, 0), QPoint(10, 0), QPoint(0, 10)});
    EXPECT_TRUE(PointInPolyRgn(QPoint(2, 2), triangle));
    EXPECT_FALSE(PointInPolyRgn(QPoint(8, 8), triangle));
    EXPECT_EQ(WidthOf(r), 5);
    EXPECT_EQ(HeightOf(QRect(QPoint(0, 3), QPoint(4, 9))), 7);
}

TEST(Drawutils, SplitCommandLine)
{
    struct Case {
        QString line, exe, params;
    };
    const QString longItem(300, QLatin1Char('x'));
    for (const Case &c : {
             Case{"prog.exe a b", "prog.exe", "a b"},
             Case{"  \"C:\\Program Files\\p.exe\"\t one  two ", "C:\\Program Files\\p.exe",
                  "one two"},
             Case{"p \"with blank\" x\"y z\"w", "p", "\"with blank\" \"xy zw\""},
             Case{"p \"\" q", "p", "q"},
             Case{"", "", ""},
             Case{" \t\n", "", ""},
             Case{"p \"open", "p", "open"},
             Case{"p " + longItem, "p", longItem},
         }) {
        QString exe = QStringLiteral("old"), params = QStringLiteral("old");
        SplitCommandLine(c.line, exe, params);
        EXPECT_EQ(exe, c.exe) << c.line.toStdString();
        EXPECT_EQ(params, c.params) << c.line.toStdString();
    }
}

TEST(Drawutils, MinimizeText)
{
    QFont f(QStringLiteral("Sans Serif"));
    f.setPixelSize(12);
    const QFontMetrics fm(f);
    const QString text = QStringLiteral("A rather long caption");
    EXPECT_EQ(MinimizeText(text, fm, fm.horizontalAdvance(text)), text);
    const QString cut = MinimizeText(text, fm, fm.horizontalAdvance(QStringLiteral("A rather...")));
    EXPECT_TRUE(cut.endsWith(QStringLiteral("..."))) << cut.toStdString();
    EXPECT_LE(fm.horizontalAdvance(cut), fm.horizontalAdvance(QStringLiteral("A rather...")));
    EXPECT_TRUE(text.startsWith(cut.chopped(3)));
    // Narrower than the ellipsis: the ellipsis alone, and it ends.
    EXPECT_EQ(MinimizeText(text, fm, 1), QStringLiteral("..."));
    EXPECT_EQ(MinimizeText(text, fm, -50), QStringLiteral("..."));
    EXPECT_EQ(MinimizeText(QStringLiteral("x"), fm, 0), QStringLiteral("..."));
    EXPECT_EQ(MinimizeText(QString(), fm, 0), QString());

    const QPoint ave = GetAveCharSize(fm);
    EXPECT_EQ(ave.x(), fm.horizontalAdvance(QStringLiteral(
                           "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52);
    EXPECT_EQ(ave.y(), fm.height());

    const QPoint base = GetAveCharSize(QFontMetrics(QGuiApplication::font()));
    EXPECT_EQ(DialogUnitsToPixelsX(4), base.x());
    EXPECT_EQ(DialogUnitsToPixelsY(8), base.y());
    EXPECT_EQ(PixelsToDialogUnitsX(base.x() * 3), 12);
    EXPECT_EQ(PixelsToDialogUnitsY(base.y() * 2), 16);
}

TEST(Drawutils, MemoryBlocks)
{
    EXPECT_EQ(AllocMemo(0), nullptr);
    EXPECT_EQ(AllocMemo(SIZE_MAX), nullptr);
    void *p = AllocMemo(16);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(GetMemoSize(p), 16u);
    const std::vector<unsigned char> zeros(64, 0);
    EXPECT_TRUE(CompareMem(p, zeros.data(), 16));
    std::memset(p, 0xAB, 16);
    p = ReallocMemo(p, 64);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(GetMemoSize(p), 64u);
    EXPECT_EQ(static_cast<unsigned char *>(p)[15], 0xAB);
    EXPECT_TRUE(CompareMem(static_cast<unsigned char *>(p) + 16, zeros.data(), 48));
    EXPECT_EQ(ReallocMemo(p, SIZE_MAX), nullptr);   // refused; the block stays
    EXPECT_EQ(GetMemoSize(p), 64u);
    FreeMemo(p);
    EXPECT_EQ(p, nullptr);
    FreeMemo(p);
    EXPECT_EQ(GetMemoSize(nullptr), 0u);
    void *q = ReallocMemo(nullptr, 8);
    EXPECT_EQ(GetMemoSize(q), 8u);
    EXPECT_EQ(ReallocMemo(q, 0), nullptr);

    std::uint32_t items[5] = {1, 2, 3, 4, 5};
    HugeMove(items, 1, 0, 4);
    EXPECT_EQ(std::vector<std::uint32_t>(items, items + 5), (std::vector<std::uint32_t>{1, 1, 2, 3, 4}));
    HugeMove(items, 0, 2, 3);
    EXPECT_EQ(std::vector<std::uint32_t>(items, items + 5), (std::vector<std::uint32_t>{2, 3, 4, 3, 4}));
    EXPECT_THROW(HugeMove(items, 0, 0, SIZE_MAX / 2), std::length_error);
    char bytes[4] = {1, 2, 3, 4};
    EXPECT_EQ(HugeInc(bytes, 3), bytes + 3);
    EXPECT_EQ(HugeDec(bytes + 3, 2), bytes + 1);
    EXPECT_EQ(HugeOffset(bytes + 2, -2), bytes);
    char copy[4] = {};
    HMemCpy(copy, bytes, 4);
    EXPECT_TRUE(CompareMem(copy, bytes, 4));
    copy[3] = 9;
    EXPECT_FALSE(CompareMem(copy, bytes, 4));
    EXPECT_TRUE(CompareMem(copy, bytes, 0));

    int *obj = new int(5);
    FreeAndNil(obj);
    EXPECT_EQ(obj, nullptr);
    const auto z = StrPAlloc("abc");
    EXPECT_STREQ(z.get(), "abc");
}

TEST(Drawutils, TextHelpers)
{
    struct Case {
        QString in, upperFirst, dropT;
    };
    for (const Case &c : {Case{"tFORM", "Tform", "FORM"}, Case{"T", "T", "T"},
                          Case{"", "", ""}, Case{"\u00e9T\u00c9", "\u00c9t\u00e9", "\u00e9T\u00c9"},
                          Case{"Tt", "Tt", "t"}}) {
        EXPECT_EQ(AnsiUpperFirstChar(c.in), c.upperFirst) << c.in.toStdString();
        EXPECT_EQ(DropT(c.in), c.dropT) << c.in.toStdString();
    }
    EXPECT_EQ(ResStr(QStringLiteral("same")), QStringLiteral("same"));

    const QString longValue(5000, QLatin1Char('v'));
    qputenv("KELPA_TEST_LONG_VALUE", longValue.toLatin1());
    EXPECT_EQ(GetEnvVar(QStringLiteral("KELPA_TEST_LONG_VALUE")), longValue);
    qunsetenv("KELPA_TEST_LONG_VALUE");
    EXPECT_EQ(GetEnvVar(QStringLiteral("KELPA_TEST_LONG_VALUE")), QString());

    EXPECT_TRUE(MakeVariant({}).isNull());
    EXPECT_EQ(MakeVariant({QVariant(3)}), QVariant(3));
    EXPECT_EQ(MakeVariant({QVariant(3), QVariant(4)}).toList().size(), 2);
}

TEST(Drawutils, ErrorsAndMessages)
{
    try {
        ResourceNotFound(QStringLiteral("KPSPINUP"));
        FAIL();
    } catch (const EResNotFound &e) {
        EXPECT_STREQ(e.what(), "Resource KPSPINUP not found");
    }
    try {
        ResourceNotFound(101);
        FAIL();
    } catch (const EResNotFound &e) {
        EXPECT_STREQ(e.what(), "Resource 101 not found");
    }
    EXPECT_NO_THROW(RaiseWin32Error(0));
    try {
        RaiseWin32Error(ENOENT);
        FAIL();
    } catch (const EWin32Error &e) {
        EXPECT_EQ(e.ErrorCode(), ENOENT);
        EXPECT_EQ(std::string(e.what()),
                  "Win32 Error.  Code: " + std::to_string(ENOENT) + ".\n" + std::strerror(ENOENT));
    }
    EXPECT_NO_THROW(CheckWin32(true));
    errno = 0;
    EXPECT_THROW(CheckWin32(false), EWin32Error);   // failure without a code still fails
    errno = EACCES;
    try {
        CheckWin32(false);
        FAIL();
    } catch (const EWin32Error &e) {
        EXPECT_EQ(e.ErrorCode(), EACCES);
    }

    kelpa::ScriptedPrompter prompter;
    kelpa::ScopedPrompter scope(prompter);
    StartWait();
    EXPECT_THROW(NotImplemented(), kelpa::Abort);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    StopWait();   // the counter must not go below 0 again
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.last().text, QStringLiteral("Function not yet implemented"));
    EXPECT_EQ(prompter.last().icon, kelpa::MessageIcon::Information);

    prompter.answer(kelpa::MessageAnswer::No);
    EXPECT_EQ(MsgBox(QStringLiteral("Cap"), QStringLiteral("Text?"), MB_YESNO | MB_ICONQUESTION),
              IDNO);
    EXPECT_EQ(prompter.last().caption, QStringLiteral("Cap"));
    EXPECT_EQ(prompter.last().buttons, kelpa::MessageButtons::YesNo);
    EXPECT_EQ(prompter.last().icon, kelpa::MessageIcon::Question);
    // Each set of buttons is offered as it is and each answer comes back as its own code.
    struct Case {
        int flags;
        kelpa::MessageButtons buttons;
        kelpa::MessageAnswer answer;
        int result;
    } cases[] = {
        {MB_OK, kelpa::MessageButtons::Ok, kelpa::MessageAnswer::Ok, IDOK},
        {MB_OKCANCEL, kelpa::MessageButtons::OkCancel, kelpa::MessageAnswer::Cancel, IDCANCEL},
        {MB_RETRYCANCEL, kelpa::MessageButtons::RetryCancel, kelpa::MessageAnswer::Retry, IDRETRY},
        {MB_RETRYCANCEL, kelpa::MessageButtons::RetryCancel, kelpa::MessageAnswer::Cancel, IDCANCEL},
        {MB_ABORTRETRYIGNORE, kelpa::MessageButtons::AbortRetryIgnore, kelpa::MessageAnswer::Abort, IDABORT},
        {MB_ABORTRETRYIGNORE, kelpa::MessageButtons::AbortRetryIgnore, kelpa::MessageAnswer::Retry, IDRETRY},
        {MB_ABORTRETRYIGNORE, kelpa::MessageButtons::AbortRetryIgnore, kelpa::MessageAnswer::Ignore, IDIGNORE},
        {MB_YESNOCANCEL, kelpa::MessageButtons::YesNoCancel, kelpa::MessageAnswer::Yes, IDYES},
    };
    for (const Case &c : cases) {
        prompter.answer(c.answer);
        EXPECT_EQ(MsgBox(QStringLiteral("Cap"), QStringLiteral("Again"), c.flags), c.result) << c.flags;
        EXPECT_EQ(prompter.last().buttons, c.buttons) << c.flags;
    }
    // Unanswered, Abort/Retry/Ignore stops (it has no Cancel).
    EXPECT_EQ(MsgBox(QStringLiteral("Cap"), QStringLiteral("Again"), MB_ABORTRETRYIGNORE), IDABORT);
    prompter.answer(kelpa::MessageAnswer::Yes);
    EXPECT_EQ(MsgDlg(QStringLiteral("Sure?"), mtConfirmation, mbYes | mbNo | mbCancel, 0), mrYes);
    EXPECT_EQ(prompter.last().caption, QStringLiteral("Confirm"));
    EXPECT_EQ(prompter.last().buttons, kelpa::MessageButtons::YesNoCancel);
}

TEST(Drawutils, LoadDLLLoadsALibraryOrSaysWhyNot)
{
    const std::unique_ptr<QLibrary> zlib = LoadDLL(QStringLiteral("z"));
    ASSERT_TRUE(zlib && zlib->isLoaded());
    EXPECT_NE(zlib->resolve("zlibVersion"), nullptr);
    zlib->unload();
    try {
        LoadDLL(QStringLiteral("/nonexistent/libnothing.so"));
        FAIL() << "no library there";
    } catch (const EWin32Error &e) {
        EXPECT_EQ(e.ErrorCode(), 2);
        const QString text = QString::fromStdString(e.what());
        EXPECT_TRUE(text.startsWith(QStringLiteral("Win32 Error.  Code: 2.\n"))) << e.what();
        EXPECT_TRUE(text.contains(QStringLiteral("libnothing"))) << e.what();
    }
}

TEST(Drawutils, KillMessageRemovesPendingEventsButNeverAQuit)
{
    struct Counter : QObject {
        int user = 0, other = 0, quit = 0;
        bool event(QEvent *e) override
        {
            if (e->type() == QEvent::Quit) {
                ++quit;
                return true;
            }
            if (e->type() == QEvent::User)
                ++user;
            else if (e->type() == QEvent::Type(QEvent::User + 1))
                ++other;
            return QObject::event(e);
        }
    } receiver, bystander;
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::Type(QEvent::User + 1)));
    QCoreApplication::postEvent(&bystander, new QEvent(QEvent::User));
    KillMessage(&receiver, QEvent::User);
    KillMessage(nullptr, QEvent::User);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(receiver.user, 0);
    EXPECT_EQ(receiver.other, 1);
    EXPECT_EQ(bystander.user, 1) << "another receiver keeps its events";
    // A quit request stays.
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::Quit));
    KillMessage(&receiver, QEvent::Quit);
    QCoreApplication::sendPostedEvents(&receiver, QEvent::Quit);
    EXPECT_EQ(receiver.quit, 1);
}

TEST(Drawutils, GetWindowsVersionNamesTheRunningSystem)
{
    const QString version = GetWindowsVersion();
    EXPECT_EQ(version, version.trimmed());
    EXPECT_TRUE(version.contains(QSysInfo::kernelVersion())) << version.toStdString();
    EXPECT_TRUE(version.contains(QSysInfo::prettyProductName())) << version.toStdString();
    EXPECT_TRUE(version.startsWith(QStringLiteral("Linux "))) << version.toStdString();
}

TEST(Drawutils, WaitCursorNests)
{
    StopWait();   // unmatched: ignored
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    StartWait();
    StartWait();
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    StopWait();
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    StopWait();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Drawutils, Windows)
{
    QWidget parent;
    parent.resize(200, 100);
    struct Case {
        QSize size;
        QPoint pos;
    };
    for (const Case &c : {Case{{50, 20}, {75, 40}}, Case{{300, 300}, {0, 0}}}) {
        QWidget child(&parent);
        child.resize(c.size);
        CenterControl(&child);
        EXPECT_EQ(child.pos(), c.pos) << c.size.width();
    }
    EXPECT_EQ(WindowClassName(&parent), QStringLiteral("QWidget"));
    EXPECT_EQ(FindPrevInstance(QString(), QString()), 0u);
    EXPECT_FALSE(ActivatePrevInstance(QStringLiteral("TNoSuchClassHere"), QString()));

    // A window goes to the middle of the work area and stays on it.
    QWidget top;
    top.resize(100, 50);
    CenterWindow(&top);
    const QRect work = top.screen()->availableGeometry();
    EXPECT_EQ(top.pos(), QPoint(work.left() + (work.width() - 100) / 2,
                                work.top() + (work.height() - 50) / 2));
    QWidget huge;
    huge.resize(work.width() + 400, 50);
    CenterWindow(&huge);
    EXPECT_EQ(huge.pos().x(), work.left());
    EXPECT_EQ(ScreenWorkArea(), QGuiApplication::primaryScreen()->availableGeometry());

    ShowWinNoAnimate(&top, SW_SHOW);
    EXPECT_TRUE(top.isVisible());
    ShowWinNoAnimate(&top, SW_HIDE);
    EXPECT_FALSE(top.isVisible());
    ShowWinNoAnimate(&top, SW_SHOWMAXIMIZED);
    EXPECT_TRUE(top.isMaximized());
    top.setWindowState(top.windowState() | Qt::WindowMinimized);
    SwitchToWindow(&top, true);
    EXPECT_FALSE(top.isMinimized());
    EXPECT_TRUE(top.isMaximized());

    QWidget host;
    host.resize(120, 80);
    auto *form = new QWidget;
    MergeForm(&host, form, true, true);
    EXPECT_EQ(form->parentWidget(), &host);
    EXPECT_FALSE(form->isWindow());
    EXPECT_FALSE(form->isHidden());
}

TEST(Drawutils, CopyParentImageShowsWhatLiesBelow)
{
    QWidget parent;
    parent.resize(40, 20);
    parent.setAutoFillBackground(true);
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, QColor(R));
    parent.setPalette(pal);
    QWidget below(&parent);
    below.setGeometry(15, 0, 20, 20);
    below.setAutoFillBackground(true);
    pal.setColor(QPalette::Window, QColor(B));
    below.setPalette(pal);
    QWidget control(&parent);
    control.setGeometry(10, 5, 10, 4);
    QWidget above(&parent);   // over the control: not part of what lies below it
    above.setGeometry(10, 5, 2, 2);
    above.setAutoFillBackground(true);
    pal.setColor(QPalette::Window, QColor(G));
    above.setPalette(pal);

    QImage img = canvas(10, 4, K);
    {
        QPainter p(&img);
        CopyParentImage(&control, p);
    }
    expectImage(img, picture({"rrrrrbbbbb", "rrrrrbbbbb", "rrrrrbbbbb", "rrrrrbbbbb"}, legend),
                "parent and sibling");
}

TEST(Drawutils, IconsTextAndCells)
{
    EXPECT_FALSE(MakeBitmap(QStringLiteral("NO_SUCH_BITMAP")).has_value());
    EXPECT_FALSE(MakeBitmapID(4711).has_value());
    EXPECT_FALSE(MakeIcon(QStringLiteral("NO_SUCH_ICON")).has_value());

    TBitmap bmp;
    bmp.Image = picture({"rg", "gb"}, legend);
    const QIcon icon = CreateIconFromBitmap(bmp, tc(G));
    const QImage back = icon.pixmap(QSize(2, 2)).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(back.pixel(1, 0)), 0);
    EXPECT_EQ(back.pixel(0, 0), R);
    EXPECT_EQ(back.pixel(1, 1), B);
    const QIcon ownColour = CreateIconFromBitmap(bmp, clDefault);   // bottom-left: green
    EXPECT_EQ(qAlpha(ownColour.pixmap(QSize(2, 2)).toImage().convertToFormat(QImage::Format_ARGB32).pixel(0, 1)), 0);

    const TBitmap fromIcon = CreateBitmapFromIcon(icon, tc(S), QSize(2, 2));
    EXPECT_EQ(fromIcon.Image.pixel(1, 0), S);
    EXPECT_EQ(fromIcon.Image.pixel(0, 0), R);
    EXPECT_EQ(fromIcon.TransparentColor, tc(S));
    EXPECT_TRUE(fromIcon.Transparent);

    // Cell text: right-aligned text ends three pixels before the right edge.
    QImage img = canvas(60, 20, W);
    {
        QPainter p(&img);
        QFont f(QStringLiteral("Sans Serif"));
        f.setPixelSize(12);
        p.setFont(f);
        p.setPen(Qt::black);
        WriteText(p, QRect(0, 0, 60, 20), 2, 2, QStringLiteral("88"), taRightJustify, false);
    }
    int right = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != W)
                right = std::max(right, x);
    EXPECT_GT(right, 40);
    EXPECT_LE(right, 60 - 3);

    QImage cell = canvas(10, 10, W);
    {
        QPainter p(&cell);
        DrawCellBitmap(p, picture({"kk", "kk"}, legend), QRect(0, 0, 10, 10));
    }
    EXPECT_EQ(cell.pixel(4, 4), K);
    EXPECT_EQ(cell.pixel(5, 5), K);
    EXPECT_EQ(cell.pixel(3, 3), W);
    EXPECT_EQ(cell.pixel(6, 6), W);

    Delay(0);   // returns at once
    Delay(-5);
}
