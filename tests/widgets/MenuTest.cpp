#include "IconBuilder.h"
#include "MenuExample.h"
#include "widgets/Kpmenus.h"

#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionFrame>
#include <gtest/gtest.h>
#include <set>

using namespace kelpa::widgets;

namespace {

// Distinct colours for every role, so that a pixel tells which role painted it.
const QColor kMenu(240, 240, 240), kMenuText(0, 0, 0), kHighlight(0, 0, 128),
    kHighlightText(255, 255, 255), kGrayText(128, 128, 128), kShadow(100, 100, 100),
    kLight(255, 255, 254);

void UseTestPalette(QWidget &w)
{
    QPalette pal = w.palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Window, kMenu);
        pal.setColor(group, QPalette::WindowText, kMenuText);
        pal.setColor(group, QPalette::Highlight, kHighlight);
        pal.setColor(group, QPalette::HighlightedText, kHighlightText);
        pal.setColor(group, QPalette::Dark, kShadow);
        pal.setColor(group, QPalette::Light, kLight);
    }
    pal.setColor(QPalette::Disabled, QPalette::Text, kGrayText);
    w.setPalette(pal);
}

// Text without smoothing, so that ink pixels have exactly the pen's colour.
QFont PlainFont(int points = 9)
{
    QFont f(QStringLiteral("DejaVu Sans"), points);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

QImage SolidGlyph(int w, int h, const QColor &c)
{
    QImage g(w, h, QImage::Format_RGB32);
    g.fill(c);
    return g;
}

// An item painted on a menu-coloured image of the given size.
struct Painted {
    QImage image;
    QMenu menu;
    TMenuCanvas canvas;

    explicit Painted(QSize size = QSize(240, 24)) : image(size, QImage::Format_RGB32)
    {
        image.fill(kMenu);
        UseTestPalette(menu);
        canvas.font = PlainFont();
        canvas.fontColor = FromQColor(kMenuText);
        canvas.brushColor = FromQColor(kMenu);
        canvas.menu = &menu;
    }
    void Paint(const QAction *item, const std::optional<TGraphic> &graphic, QRect r,
               TMenuOwnerDrawState state, bool showCheckMarks = false,
               TMenuButtonStyle button = TMenuButtonStyle::None, int minTextOffset = 0,
               int numGlyphs = 1, const TImageList *images = nullptr, int imageIndex = -1)
    {
        QPainter p(&image);
        canvas.painter = &p;
        PaintMenuItem({item, graphic, numGlyphs, images, imageIndex, minTextOffset, showCheckMarks},
                      canvas, r, state, button);
        canvas.painter = nullptr;
    }
    QColor At(int x, int y) const { return image.pixelColor(x, y); }
    // The leftmost column (within rows y0..y1) holding a pixel of colour c, or -1.
    int FirstColumnOf(const QColor &c, int y0 = 0, int y1 = -1) const
    {
        if (y1 < 0)
            y1 = image.height() - 1;
        for (int x = 0; x < image.width(); ++x)
            for (int y = y0; y <= y1; ++y)
                if (At(x, y) == c)
                    return x;
        return -1;
    }
    std::set<QRgb> ColoursIn(QRect r) const
    {
        std::set<QRgb> colours;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                colours.insert(image.pixel(x, y) & 0xFFFFFF);
        return colours;
    }
};

QRgb Rgb(const QColor &c)
{
    return c.rgb() & 0xFFFFFF;
}

} // namespace

TEST(MenuMetrics, GlyphGapRoundsHalvesToEven)
{
    const std::pair<int, int> cases[] = {{13, 4}, {10, 3}, {15, 4}, {25, 8}, {0, 0}};
    for (auto [check, gap] : cases)
        EXPECT_EQ(GlyphGap(check), gap) << check;
    const TMenuMetrics m = MenuMetrics(nullptr);
    EXPECT_EQ(m.checkMark, QSize(13, 13));
    EXPECT_EQ(m.glyphGap, 4);
    EXPECT_EQ(m.standardHeight, 17);
}

TEST(MenuMeasure, ItemSizesFollowCaptionsFontsGlyphsAndSeparators)
{
    QMenu menu;
    QAction *open = menu.addAction(QStringLiteral("&Open"));
    QAction *saveAll = menu.addAction(QStringLiteral("Save &all documents"));
    saveAll->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    QAction *close = menu.addAction(QStringLiteral("&Close"));
    close->setShortcut(QKeySequence(QStringLiteral("Ctrl+W")));
    QAction *separator = menu.addSeparator();
    QMenu *recent = menu.addMenu(QStringLiteral("&Recent"));
    recent->addAction(QStringLiteral("a.txt"));
    QAction *recentItem = recent->menuAction();

    const TMenuMetrics m = MenuMetrics(nullptr);
    const int gap = m.glyphGap;
    auto tw = [](const QFont &f, const QString &s) { return MenuTextWidth(QFontMetrics(f), s); };
    const QString tabs = QStringLiteral("\t\t");
    TImageList images;
    images.Width = images.Height = 20;
    images.Images << SolidGlyph(20, 20, Qt::red);
    auto icon = std::make_shared<TIcon>();
    {
        kelpa::test::IconPlan s;
        s.width = s.height = 48;
        const auto bytes = kelpa::test::IconFileBytes({s});
        ASSERT_TRUE(icon->LoadFromData(QByteArray(reinterpret_cast<const char *>(bytes.data()),
                                                  qsizetype(bytes.size()))));
    }

    struct Case {
        const char *name;
        QAction *item;
        QFont font;
        std::optional<TGraphic> graphic;
        int numGlyphs;
        const TImageList *images;
        int imageIndex;
        int minTextOffset;
        bool showCheckMarks;
        std::function<QSize(const QFont &)> expected;
    };
    const QFont small = PlainFont(8), big = PlainFont(30);
    auto textHeight = [](const QFont &f) { return QFontMetrics(f).height(); };
    auto plain = [&](const QFont &f, const QString &caption, int extra) {
        return 2 * gap + tw(f, caption + tabs) + tw(f, QStringLiteral(" ")) + extra;
    };
    // Items with a shortcut share the widest caption and shortcut columns of their menu.
    auto shared = [&](const QFont &f) {
        return 2 * gap + tw(f, QStringLiteral("Save all documents") + tabs)
               + tw(f, saveAll->shortcut().toString(QKeySequence::NativeText) + QLatin1Char(' '));
    };
    const std::vector<Case> cases = {
        {"caption without shortcut", open, small, {}, 1, nullptr, -1, 0, false,
         [&](const QFont &f) {
             return QSize(plain(f, QStringLiteral("Open"), 0), std::max(m.standardHeight, textHeight(f)));
         }},
        {"big font: taller", open, big, {}, 1, nullptr, -1, 0, false,
         [&](const QFont &f) { return QSize(plain(f, QStringLiteral("Open"), 0), textHeight(f)); }},
        {"shortcut: widest columns of the menu", close, small, {}, 1, nullptr, -1, 0, false,
         [&](const QFont &f) { return QSize(shared(f), std::max(m.standardHeight, textHeight(f))); }},
        {"check marks shown", open, small, {}, 1, nullptr, -1, 0, true,
         [&](const QFont &f) {
             return QSize(plain(f, QStringLiteral("Open"), m.checkMark.width()),
                          std::max(m.standardHeight, textHeight(f)));
         }},
        {"sub-items: a tab gap more", recentItem, small, {}, 1, nullptr, -1, 0, false,
         [&](const QFont &f) {
             return QSize(plain(f, QStringLiteral("Recent"), tw(f, tabs)),
                          std::max(m.standardHeight, textHeight(f)));
         }},
        {"separator, small font", separator, small, {}, 1, nullptr, -1, 0, false,
         [&](const QFont &f) { return QSize(-1, std::max(textHeight(f) / 2, 9)); }},
        {"separator, big font", separator, big, {}, 1, nullptr, -1, 0, false,
         [&](const QFont &f) { return QSize(-1, std::max(textHeight(f) / 2, 9)); }},
        {"16-pixel glyph", open, small, TGraphic::Bitmap(SolidGlyph(16, 16, Qt::red)), 1, nullptr, -1,
         0, false,
         [&](const QFont &f) {
             return QSize(plain(f, QStringLiteral("Open"), 18),
                          std::max({m.standardHeight, textHeight(f), 20}));
         }},
        // A picture for a screen of twice the density covers 16 of the menu's pixels.
        {"16-pixel picture at ratio 2", open, small, TGraphic::Picture([] {
             QImage image = SolidGlyph(32, 32, Qt::red);
             image.setDevicePixelRatio(2);
             return image;
         }()),
         1, nullptr, -1, 0, false,
         [&](const QFont &f) {
             return QSize(plain(f, QStringLiteral("Open"), 18),
                          std::max({m.standardHeight, textHeight(f), 20}));
         }},
        {"glyph narrower than the offset", open, small, TGraphic::Bitmap(SolidGlyph(16, 16, Qt::red)),
         1, nullptr, -1, 30, false,
         [&](const QFont &f) {
             return QSize(plain(f, QStringLiteral("Open"), 30),
                          std::max({m.standardHeight, textHeight(f), 20}));
         }},
        {"four glyph cells", open, small, TGraphic::Bitmap(SolidGlyph(64, 30, Qt::red)), 4, nullptr,
         -1, 0, false,
         [&](const QFont &f) { return QSize(plain(f, QStringLiteral("Open"), 18), 34); }},
        {"six cells count as one", open, small, TGraphic::Bitmap(SolidGlyph(60, 16, Qt::red)), 6,
         nullptr, -1, 0, false,
         [&](const QFont &f) {
             return QSize(plain(f, QStringLiteral("Open"), 62),
                          std::max({m.standardHeight, textHeight(f), 20}));
         }},
        {"icon at its own size", open, small, TGraphic::Icon(icon), 1, nullptr, -1, 0, false,
         [&](const QFont &f) { return QSize(plain(f, QStringLiteral("Open"), 50), 52); }},
        {"image list image", open, small, {}, 1, &images, 0, 0, false,
         [&](const QFont &f) { return QSize(plain(f, QStringLiteral("Open"), 22), 24); }},
        {"image list, no image: the column stays", open, small, {}, 1, &images, 5, 0, false,
         [&](const QFont &f) {
             return QSize(plain(f, QStringLiteral("Open"), 22),
                          std::max(m.standardHeight, textHeight(f)));
         }},
        {"empty glyph column of the least width", open, small, {}, 1, nullptr, -1, 25, false,
         [&](const QFont &f) {
             return QSize(plain(f, QStringLiteral("Open"), 25),
                          std::max(m.standardHeight, textHeight(f)));
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TMenuCanvas canvas;
        canvas.font = c.font;
        canvas.menu = c.item == recentItem ? &menu : &menu;
        const QSize got = MeasureMenuItem(
            {c.item, c.graphic, c.numGlyphs, c.images, c.imageIndex, c.minTextOffset, c.showCheckMarks},
            canvas);
        const QSize want = c.expected(c.font);
        if (want.width() >= 0) {
            EXPECT_EQ(got.width(), want.width());
        }
        EXPECT_EQ(got.height(), want.height());
    }
}

TEST(MenuMeasure, MenuBarItemsMeasureTheirCaptionOnly)
{
    QMenuBar bar;
    QAction *file = bar.addAction(QStringLiteral("&File"));
    EXPECT_FALSE(IsItemPopup(file));
    QMenu drop;
    QAction *inDrop = drop.addAction(QStringLiteral("x"));
    EXPECT_TRUE(IsItemPopup(inDrop));
    TMenuCanvas canvas;
    canvas.font = PlainFont();
    const QFontMetrics fm(canvas.font);
    const int gap = MenuMetrics(nullptr).glyphGap;
    EXPECT_EQ(MeasureMenuItem({file, {}, 1, nullptr, -1, 40, true}, canvas).width(),
              fm.horizontalAdvance(QStringLiteral("File")));
    EXPECT_EQ(MeasureMenuItem({file, TGraphic::Bitmap(SolidGlyph(16, 16, Qt::red)), 1, nullptr, -1, 0, true},
                              canvas)
                  .width(),
              fm.horizontalAdvance(QStringLiteral("File")) + 18 + gap);
}

TEST(MenuPaint, PlacesGlyphCellAndCaptionAsTheMarginLeavesThem)
{
    // The item rectangle of a popup with LeftMargin 16 starts 17 pixels right.
    const QRect r(17, 0, 200, 22);
    struct Case {
        const char *name;
        bool glyph;
        bool checked;
        int glyphLeft;     // -1: no glyph
        int cellLeft;      // -1: no pressed cell
        int captionLeft;
    };
    const Case cases[] = {
        {"no glyph", false, false, -1, -1, 17 + 10},
        {"16-pixel glyph", true, false, 17 + 5, -1, 17 + 26},
        {"checked glyph: pressed cell", true, true, 17 + 5, 17 + 3, 17 + 26},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Painted p;
        QAction *item = p.menu.addAction(QStringLiteral("Iiii"));
        item->setCheckable(c.checked);
        item->setChecked(c.checked);
        const std::optional<TGraphic> glyph =
            c.glyph ? std::optional(TGraphic::Bitmap(SolidGlyph(16, 16, Qt::red), clWhite))
                    : std::nullopt;
        p.Paint(item, glyph, r, c.checked ? mdChecked : 0);
        EXPECT_EQ(p.FirstColumnOf(Qt::red), c.glyphLeft);
        if (c.cellLeft >= 0) {
            // Sunken cell, 20 wide, one pixel short at top and bottom.
            EXPECT_EQ(p.At(c.cellLeft, 10), kShadow);
            EXPECT_EQ(p.At(c.cellLeft + 19, 10), kLight);
            EXPECT_EQ(p.At(c.cellLeft + 8, 1), kShadow);
            EXPECT_EQ(p.At(c.cellLeft + 8, 20), kLight);
            EXPECT_EQ(p.At(c.cellLeft + 8, 0), kMenu);
        }
        const int ink = p.FirstColumnOf(kMenuText);
        EXPECT_GE(ink, c.captionLeft);
        EXPECT_LE(ink, c.captionLeft + 2);
    }
}

TEST(MenuPaint, CheckedItemWithoutCheckMarksIsAPressedButton)
{
    struct Case {
        const char *name;
        TMenuOwnerDrawState state;
        int minTextOffset;
        std::set<QRgb> cellInside;   // the colours inside the cell's frame
        QColor frameTopLeft;
    };
    const Case cases[] = {
        {"not selected: dithered", mdChecked, 20, {Rgb(kMenu), Rgb(kLight), Rgb(kMenuText)}, kShadow},
        {"selected: flat menu colour", mdChecked | mdSelected, 20, {Rgb(kMenu), Rgb(kMenuText)},
         kGrayText},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Painted p;
        QAction *item = p.menu.addAction(QStringLiteral("Wrap"));
        item->setCheckable(true);
        item->setChecked(true);
        p.Paint(item, {}, QRect(0, 0, 200, 22), c.state, false, TMenuButtonStyle::None,
                c.minTextOffset);
        // Empty column: cell at X - 1 = 3, width offset + 2, with a check mark on it.
        const QRect cell(3, 1, c.minTextOffset + 2, 20);
        EXPECT_EQ(p.At(cell.left(), 10), c.frameTopLeft);
        EXPECT_EQ(p.At(cell.right(), 10), kLight);
        const std::set<QRgb> inside = p.ColoursIn(cell.adjusted(1, 1, -1, -1));
        EXPECT_EQ(inside, c.cellInside);
        if (!(c.state & mdSelected)) {
            EXPECT_NE(p.At(cell.left() + 1, 2), p.At(cell.left() + 2, 2));   // the dither
        }
    }
}

TEST(MenuPaint, ButtonStylesFrameTheSelectedItem)
{
    struct Case {
        TMenuButtonStyle style;
        QColor topLeft, bottomRight;
    };
    const Case cases[] = {{TMenuButtonStyle::Lowered, kShadow, kLight},
                          {TMenuButtonStyle::Raised, kLight, kShadow}};
    for (const Case &c : cases) {
        Painted p;
        QAction *item = p.menu.addAction(QStringLiteral("Go"));
        p.Paint(item, {}, QRect(0, 0, 200, 22), mdSelected, false, c.style);
        EXPECT_EQ(p.At(0, 10), c.topLeft);
        EXPECT_EQ(p.At(100, 0), c.topLeft);
        EXPECT_EQ(p.At(199, 10), c.bottomRight);
        EXPECT_EQ(p.At(100, 21), c.bottomRight);
        Painted unselected;
        unselected.Paint(unselected.menu.addAction(QStringLiteral("Go")), {}, QRect(0, 0, 200, 22), 0,
                         false, c.style);
        EXPECT_EQ(unselected.At(0, 10), kMenu);
    }
}

TEST(MenuPaint, DisabledItemsAreEmbossedInTheDisabledColour)
{
    struct Case {
        const char *name;
        TMenuOwnerDrawState state;
        std::set<QRgb> ink;
    };
    const Case cases[] = {
        {"not selected: shadow over highlight", mdDisabled | mdGrayed,
         {Rgb(kMenu), Rgb(kShadow), Rgb(kLight)}},
        {"selected: grey text, not embossed", mdDisabled | mdGrayed | mdSelected,
         {Rgb(kMenu), Rgb(kGrayText)}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Painted p;
        QAction *item = p.menu.addAction(QStringLiteral("Paste"));
        item->setShortcut(QKeySequence(QStringLiteral("Ctrl+V")));
        item->setEnabled(false);
        // A glyph whose black part shows embossed, its other colours not at all.
        QImage glyph = SolidGlyph(16, 16, Qt::yellow);
        QPainter(&glyph).fillRect(4, 4, 8, 8, Qt::black);
        p.Paint(item, TGraphic::Bitmap(glyph), QRect(0, 0, 220, 22), c.state);
        EXPECT_EQ(p.ColoursIn(p.image.rect()), c.ink);
        // The glyph's black square sits at (glyph left + 4, top + 4); the glyph is 3 pixels in.
        EXPECT_EQ(p.At(4 + 1 + 4 + 1, 3 + 4 + 1), c.state & mdSelected ? kGrayText : kShadow);
    }
}

TEST(MenuPaint, GlyphCellsFollowTheItemState)
{
    const QColor cells[] = {Qt::red, Qt::green, Qt::blue, Qt::magenta};
    QImage strip(64, 16, QImage::Format_RGB32);
    for (int i = 0; i < 4; ++i)
        QPainter(&strip).fillRect(16 * i, 0, 16, 16, cells[i]);
    struct Case {
        const char *name;
        int numGlyphs;
        bool checked;
        TMenuOwnerDrawState state;
        QColor shown;
    };
    const Case cases[] = {
        {"normal", 4, false, 0, cells[0]},
        {"disabled: second", 4, false, mdDisabled, cells[1]},
        {"selected: third", 4, false, mdSelected, cells[2]},
        {"checked: fourth", 4, true, mdChecked, cells[3]},
        {"two cells, checked: first", 2, true, mdChecked, cells[0]},
        {"two cells, selected: first", 2, false, mdSelected, cells[0]},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Painted p;
        QAction *item = p.menu.addAction(QStringLiteral("Cells"));
        item->setCheckable(c.checked);
        item->setChecked(c.checked);
        item->setEnabled(!(c.state & mdDisabled));
        p.Paint(item, TGraphic::Bitmap(strip.copy(0, 0, 16 * c.numGlyphs, 16), clWhite),
                QRect(0, 0, 200, 22), c.state, true, TMenuButtonStyle::None, 0, c.numGlyphs);
        const int x = p.FirstColumnOf(c.shown);
        EXPECT_GE(x, 0);
        for (const QColor &other : cells) {
            if (other != c.shown) {
                EXPECT_EQ(p.FirstColumnOf(other), -1);
            }
        }
    }
}

TEST(MenuPaint, EveryKindOfGlyphIsDrawnInTheGlyphColumn)
{
    // A 20-pixel glyph, centred in a cell of 22 at X = glyph gap (4): its left edge at 5.
    QImage alpha(20, 20, QImage::Format_ARGB32);
    alpha.fill(Qt::transparent);
    QPainter(&alpha).fillRect(0, 0, 10, 20, Qt::red);
    QImage mono(20, 20, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mono.fill(1);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 10; ++x)
            mono.setPixel(x, y, 0);
    auto icon = std::make_shared<TIcon>();
    {
        kelpa::test::IconPlan spec;
        spec.width = spec.height = 20;
        spec.bitCount = 24;
        spec.colour = [](int, int) { return 0xFF0000u; };
        spec.transparent = [](int x, int) { return x >= 10; };
        const auto bytes = kelpa::test::IconFileBytes({spec});
        ASSERT_TRUE(icon->LoadFromData(QByteArray(reinterpret_cast<const char *>(bytes.data()),
                                                  qsizetype(bytes.size()))));
    }
    TImageList images;
    images.Width = images.Height = 20;
    images.Images << alpha;
    struct Case {
        const char *name;
        std::optional<TGraphic> graphic;
        bool useImages;
        TMenuOwnerDrawState state;
        QColor left;    // the colour of the glyph's left half
        QColor right;   // and of its right half
    };
    const std::vector<Case> cases = {
        {"bitmap with an alpha channel", TGraphic::Bitmap(alpha), false, 0, Qt::red, kMenu},
        {"bitmap without its transparent colour", TGraphic::Bitmap(SolidGlyph(20, 20, Qt::red)), false,
         0, kMenu, kMenu},
        {"monochrome: font colour on brush colour", TGraphic::Bitmap(mono), false, 0, kMenuText, kMenu},
        {"monochrome disabled: embossed shadow", TGraphic::Bitmap(mono), false, mdDisabled, kShadow,
         kMenu},
        {"icon at its own size", TGraphic::Icon(icon), false, 0, Qt::red, kMenu},
        {"picture as it is", TGraphic::Picture(SolidGlyph(20, 20, Qt::red)), false, 0, Qt::red,
         Qt::red},
        {"image list", std::nullopt, true, 0, Qt::red, kMenu},
        {"image list, disabled: embossed", std::nullopt, true, mdDisabled, kShadow, kMenu},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Painted p(QSize(200, 26));
        QAction *item = p.menu.addAction(QStringLiteral("Glyph"));
        item->setEnabled(!(c.state & mdDisabled));
        p.Paint(item, c.graphic, QRect(0, 0, 200, 26), c.state, false, TMenuButtonStyle::None, 0, 1,
                c.useImages ? &images : nullptr, c.useImages ? 0 : -1);
        EXPECT_EQ(p.At(5 + 2, 3 + 10), c.left);
        EXPECT_EQ(p.At(5 + 15, 3 + 10), c.right);
        EXPECT_EQ(p.At(4, 3 + 10), kMenu);   // left of the glyph
    }
}

TEST(MenuPaint, SeparatorIsAShadowAndAHighlightLine)
{
    Painted p;
    QAction *separator = p.menu.addSeparator();
    p.Paint(separator, TGraphic::Bitmap(SolidGlyph(16, 16, Qt::red)), QRect(17, 0, 200, 9), 0);
    const int y = (0 + 9) / 2 - 1;
    EXPECT_EQ(p.At(17, y), kShadow);
    EXPECT_EQ(p.At(216, y), kShadow);
    EXPECT_EQ(p.At(17, y + 1), kLight);
    EXPECT_EQ(p.At(16, y), kMenu);
    EXPECT_EQ(p.FirstColumnOf(Qt::red), -1);
}

TEST(MenuPaint, ShortcutsOfOneMenuStartInOneColumn)
{
    Painted p(QSize(260, 44));
    QAction *undo = p.menu.addAction(QStringLiteral("&Undo"));
    undo->setShortcut(QKeySequence(QStringLiteral("Ctrl+Z")));
    QAction *cut = p.menu.addAction(QStringLiteral("Cu&t"));
    cut->setShortcut(QKeySequence(QStringLiteral("Ctrl+X")));
    p.Paint(undo, {}, QRect(0, 0, 260, 22), 0);
    p.Paint(cut, TGraphic::Bitmap(SolidGlyph(16, 16, Qt::red), clWhite), QRect(0, 22, 260, 22), 0);
    // "Ctrl+" is the same ink in both rows: the columns agree.
    auto lastInk = [&](int y0, int y1) {
        for (int x = p.image.width() - 1; x >= 0; --x)
            for (int y = y0; y <= y1; ++y)
                if (p.At(x, y) == kMenuText)
                    return x;
        return -1;
    };
    auto shortcutStart = [&](int y0, int y1) {
        // The first ink right of the widest caption's end.
        const int from = 150;
        for (int x = from; x < p.image.width(); ++x)
            for (int y = y0; y <= y1; ++y)
                if (p.At(x, y) == kMenuText)
                    return x;
        return -1;
    };
    EXPECT_GT(lastInk(0, 21), 150);
    EXPECT_EQ(shortcutStart(0, 21), shortcutStart(22, 43));
}

TEST(PopupMenu, MarginWidensTopLevelItemsAndIsPaintedOverTheWholeHeight)
{
    QWidget window;
    TKpPopupMenu menu(&window);
    UseTestPalette(menu);
    QAction *open = menu.addAction(QStringLiteral("&Open"));
    TKpMenuWidget *sub = menu.AddKpMenu(QStringLiteral("&More"));
    QAction *inner = sub->addAction(QStringLiteral("&Inner"));
    menu.SetStyle(TKpMenuStyle::msOwnerDraw);
    ASSERT_TRUE(menu.OwnerDrawn());
    const QSize without = menu.WMMeasureItem(&menu, open);
    const QSize innerWithout = menu.WMMeasureItem(sub, inner);
    // The one pixel beside the margin is there with no margin too.
    menu.SetLeftMargin(16);
    EXPECT_EQ(menu.WMMeasureItem(&menu, open).width(), without.width() + 16);
    EXPECT_EQ(menu.WMMeasureItem(sub, inner).width(), innerWithout.width());

    // No margin handler: blue at the top to a quarter of it at the bottom, then the gap, the
    // shadow line and the highlight line.
    menu.Popup(10, 10);
    QCoreApplication::processEvents();
    const QImage shot = menu.grab().toImage();
    const QRect m = menu.MarginRect(&menu);
    ASSERT_EQ(m.width(), 16);
    EXPECT_EQ(m.height(), menu.height() - 2 * (m.top()));
    // (The menu's outline lies over the margin's outermost pixels.)
    EXPECT_EQ(shot.pixelColor(m.left() + 1, m.top() + 1).rgb() & 0xFFFF00u, 0u);
    EXPECT_GE(shot.pixelColor(m.left() + 1, m.top() + 1).blue(), 240);
    EXPECT_EQ(shot.pixelColor(m.left() + 5, m.bottom() - 1), QColor(0, 0, 63));
    EXPECT_EQ(shot.pixelColor(m.left() + 13, m.top() + 2), kMenu);
    EXPECT_EQ(shot.pixelColor(m.left() + 14, m.top() + 2), kShadow);
    EXPECT_EQ(shot.pixelColor(m.left() + 15, m.top() + 2), kLight);
    // A selected item is highlighted from one pixel right of the margin on.
    menu.setActiveAction(open);
    const QImage selected = menu.grab().toImage();
    const QRect item = menu.actionGeometry(open);
    EXPECT_EQ(selected.pixelColor(m.right() + 1, item.center().y()), kMenu);
    EXPECT_EQ(selected.pixelColor(m.right() + 2, item.center().y()), kHighlight);
    EXPECT_EQ(selected.pixelColor(m.left() + 1, m.top() + 1), shot.pixelColor(m.left() + 1, m.top() + 1));
    menu.close();
}

TEST(PopupMenu, OutlineIsDrawnOverTheItemsOnEveryEdge)
{
    QWidget window;
    TKpPopupMenu menu(&window);
    UseTestPalette(menu);
    menu.addAction(QStringLiteral("&Open a rather long caption"));
    menu.addAction(QStringLiteral("&Close"));
    menu.SetStyle(TKpMenuStyle::msOwnerDraw);
    menu.SetLeftMargin(16);
    // Items as wide and tall as the menu itself, as a style may lay them out.
    menu.OnMeasureItem = [](QObject *, QAction *, int &width, int &height) {
        width += 40;
        height += 4;
    };
    menu.Popup(10, 10);
    QCoreApplication::processEvents();
    const QImage shot = menu.grab().toImage();
    QStyleOptionFrame frame;
    frame.initFrom(&menu);
    frame.lineWidth = menu.style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, &menu);
    QImage outline(shot.size(), shot.format());
    outline.fill(kMenu);
    {
        QPainter p(&outline);
        menu.style()->drawPrimitive(QStyle::PE_FrameMenu, &frame, &p, &menu);
    }
    const int w = shot.width(), h = shot.height();
    struct Edge {
        const char *name;
        QPoint at;
    } edges[] = {{"top", {w / 2, 0}}, {"right", {w - 1, h / 2}}, {"bottom", {w / 2, h - 1}}};
    for (const Edge &e : edges) {
        ASSERT_NE(outline.pixelColor(e.at), kMenu) << e.name << ": the style draws a frame there";
        EXPECT_EQ(shot.pixelColor(e.at), outline.pixelColor(e.at)) << e.name;
    }
    menu.close();
}

TEST(PopupMenu, EditorStyleMarginHandlerPaintsThroughTheCanvas)
{
    QWidget window;
    TKpPopupMenu *menu = kelpa::test::EditorStyleMenu(&window);
    UseTestPalette(*menu);
    EXPECT_EQ(menu->Canvas(), nullptr);
    QRect handed;
    bool hadCanvas = false;
    menu->OnDrawMargin = [&](QObject *sender, QRect r) {
        handed = r;
        hadCanvas = menu->Canvas() != nullptr;
        kelpa::test::PaintEditorMargin(static_cast<TKpPopupMenu *>(sender), r);
    };
    menu->Popup(0, 0);
    QCoreApplication::processEvents();
    const QImage shot = menu->grab().toImage();
    EXPECT_TRUE(hadCanvas);
    EXPECT_EQ(handed, menu->MarginRect(menu));
    EXPECT_EQ(shot.pixelColor(handed.left() + 12, handed.top() + 1), QColor(0, 255, 0));
    // The word is written in white inside the margin.
    bool white = false;
    for (int y = handed.top(); y <= handed.bottom(); ++y)
        for (int x = handed.left(); x < handed.left() + 13; ++x)
            white = white || shot.pixelColor(x, y) == QColor(Qt::white);
    EXPECT_TRUE(white);
    EXPECT_EQ(menu->Canvas(), nullptr);
    menu->close();
}

TEST(PopupMenu, ItemParamsAndDrawHandlers)
{
    QWidget window;
    TKpPopupMenu menu(&window);
    UseTestPalette(menu);
    QAction *a = menu.addAction(QStringLiteral("Own colour"));
    QAction *sep = menu.addSeparator();
    QAction *b = menu.addAction(QStringLiteral("Own drawing"));
    menu.SetStyle(TKpMenuStyle::msOwnerDraw);
    bool separatorGotGraphic = false;
    menu.OnGetItemParams = [&](QObject *, QAction *item, TMenuOwnerDrawState, QFont &font,
                               TColor &color, std::optional<TGraphic> &graphic, int &) {
        if (item == a)
            color = RGB(255, 200, 0);
        if (item == b)
            color = clNone;   // no fill
        font.setPointSize(20);
        graphic = TGraphic::Bitmap(SolidGlyph(16, 16, Qt::red));
        separatorGotGraphic = separatorGotGraphic || item == sep;
    };
    std::vector<QAction *> drawn;
    menu.OnDrawItem = [&](QObject *, QAction *item, QRect, TMenuOwnerDrawState) {
        drawn.push_back(item);
    };
    // The font the handler set is what the item is measured with.
    QFont twenty = QApplication::font("QMenu");
    twenty.setPointSize(20);
    const int h = QFontMetrics(twenty).height();
    EXPECT_EQ(menu.WMMeasureItem(&menu, a).height(), std::max({17, h, 20}));
    EXPECT_EQ(menu.WMMeasureItem(&menu, sep).height(), std::max(h / 2, 9));
    menu.Popup(0, 0);
    QCoreApplication::processEvents();
    const QImage shot = menu.grab().toImage();
    EXPECT_TRUE(separatorGotGraphic);
    EXPECT_EQ(shot.pixelColor(menu.actionGeometry(a).center()), QColor(255, 200, 0));
    EXPECT_EQ(shot.pixelColor(menu.actionGeometry(b).center()), kMenu);
    // OnDrawItem replaces the painting: no glyph anywhere.
    bool red = false;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            red = red || shot.pixelColor(x, y) == QColor(Qt::red);
    EXPECT_FALSE(red);
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), a), drawn.end());
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), b), drawn.end());
    menu.close();
}

TEST(PopupMenu, ItemsAreAsWideAsTheWidestMeasuredOne)
{
    QWidget window;
    TKpPopupMenu menu(&window);
    menu.SetStyle(TKpMenuStyle::msOwnerDraw);
    menu.SetLeftMargin(16);
    menu.addAction(QStringLiteral("&Open"));
    // Added after the switch, shown without Popup: Qt adds no shortcut column of its own.
    QAction *late = menu.addAction(QStringLiteral("Save &all"));
    late->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+Alt+F12")));
    menu.popup(QPoint(0, 0));
    QCoreApplication::processEvents();
    int widest = 0;
    for (QAction *a : menu.actions())
        widest = std::max(widest, menu.WMMeasureItem(&menu, a).width());
    for (QAction *a : menu.actions())
        EXPECT_EQ(menu.actionGeometry(a).width(), widest) << a->text().toStdString();
    menu.close();
}

TEST(PopupMenu, RequestsForItemsNotInTheMenuAreIgnored)
{
    QWidget window;
    TKpPopupMenu menu(&window);
    menu.SetStyle(TKpMenuStyle::msOwnerDraw);
    QAction *mine = menu.addAction(QStringLiteral("mine"));
    QAction stranger(QStringLiteral("stranger"));
    QAction *gone = menu.addAction(QStringLiteral("gone"));
    menu.removeAction(gone);
    int asked = 0;
    menu.OnGetItemParams = [&](QObject *, QAction *, TMenuOwnerDrawState, QFont &, TColor &,
                               std::optional<TGraphic> &, int &) { ++asked; };
    EXPECT_FALSE(menu.WMMeasureItem(&menu, mine).isEmpty());
    EXPECT_EQ(asked, 1);
    QImage image(100, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    for (QAction *item : {&stranger, gone, static_cast<QAction *>(nullptr)}) {
        EXPECT_TRUE(menu.WMMeasureItem(&menu, item).isEmpty());
        menu.WMDrawItem(p, &menu, item, QRect(0, 0, 100, 30), 0);
    }
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(image.pixelColor(50, 15), QColor(Qt::white));
}

TEST(PopupMenu, OwnerDrawnOnlyWithAStyleOrImages)
{
    QWidget window;
    TKpPopupMenu menu(&window);
    menu.addAction(QStringLiteral("x"));
    EXPECT_FALSE(menu.IsOwnerDrawMenu());
    auto images = std::make_shared<TImageList>();
    menu.SetImages(images);
    EXPECT_FALSE(menu.OwnerDrawn());   // an empty list draws nothing
    images->Images << SolidGlyph(16, 16, Qt::red);
    menu.ImageListChange();
    EXPECT_TRUE(menu.OwnerDrawn());
    menu.SetImages(nullptr);
    EXPECT_FALSE(menu.OwnerDrawn());
    menu.SetStyle(TKpMenuStyle::msBtnRaised);
    EXPECT_TRUE(menu.OwnerDrawn());
    menu.SetStyle(TKpMenuStyle::msStandard);
    EXPECT_FALSE(menu.OwnerDrawn());
}

TEST(PopupList, HoldsEveryLiveMenuAndItsWindowWhileAnyLives)
{
    const qsizetype before = TPopupList::Instance() ? TPopupList::Instance()->Menus().size() : 0;
    QAction *item = nullptr;
    {
        TKpPopupMenu first;
        auto *second = new TKpPopupMenu;
        ASSERT_NE(TPopupList::Instance(), nullptr);
        EXPECT_EQ(TPopupList::Instance()->Menus().size(), before + 2);
        EXPECT_TRUE(TPopupList::Instance()->HasWindow());
        item = second->AddKpMenu(QStringLiteral("sub"))->addAction(QStringLiteral("deep"));
        EXPECT_EQ(TPopupList::Instance()->MenuOf(item), second);
        delete second;
        EXPECT_EQ(TPopupList::Instance()->Menus().size(), before + 1);
    }
    EXPECT_EQ(TPopupList::Instance()->Menus().size(), before);
    EXPECT_EQ(TPopupList::Instance()->HasWindow(), before > 0);
}

TEST(MenuChar, KeysExecuteSelectOrCloseAsTheCaptionsSay)
{
    QMenu menu;
    QAction *copy = menu.addAction(QStringLiteral("&Copy"));
    QAction *cut = menu.addAction(QStringLiteral("&Cut"));
    menu.addSeparator();
    QAction *close = menu.addAction(QStringLiteral("C&lose"));
    QAction *paste = menu.addAction(QStringLiteral("&Paste"));
    paste->setEnabled(false);
    QAction *amp = menu.addAction(QStringLiteral("Fish && &Chips"));
    QAction *noAccel = menu.addAction(QStringLiteral("Open"));
    QAction *grey = menu.addAction(QStringLiteral("Zoom"));
    grey->setEnabled(false);
    const QList<QAction *> items = menu.actions();
    const int posAmp = int(items.indexOf(amp)),
              posClose = int(items.indexOf(close)), posOpen = int(items.indexOf(noAccel));
    (void)copy;
    struct Case {
        const char *name;
        QChar key;
        QAction *highlighted;
        TMenuCharResult expected;
    };
    const Case cases[] = {
        {"one enabled match executes", u'l', nullptr, {2, posClose}},
        {"upper case is the same key", u'L', nullptr, {2, posClose}},
        {"several: the first when nothing is highlighted", u'c', nullptr, {3, 0}},
        {"several: the next after the highlighted one", u'c', cut, {3, posAmp}},
        {"several: after the last, the first", u'c', amp, {3, 0}},
        {"only a disabled match closes", u'p', nullptr, {1, 0}},
        {"no accelerator: the initial letter", u'o', nullptr, {2, posOpen}},
        {"initial letter of a disabled item closes", u'z', nullptr, {1, 0}},
        {"no match is ignored", u'q', nullptr, {0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MenuChar(items, c.key, c.highlighted), c.expected);
    }
    EXPECT_EQ(AcceleratorOf(QStringLiteral("Fish && &Chips")), QChar(u'C'));
    EXPECT_TRUE(AcceleratorOf(QStringLiteral("a && b")).isNull());
}

TEST(PopupMenu, TypedAcceleratorExecutesTheItem)
{
    QWidget window;
    TKpPopupMenu *menu = kelpa::test::EditorStyleMenu(&window);
    QAction *copy = nullptr;
    for (QAction *a : menu->actions())
        if (a->text() == QLatin1String("&Copy"))
            copy = a;
    ASSERT_NE(copy, nullptr);
    QSignalSpy triggered(copy, &QAction::triggered);
    menu->Popup(0, 0);
    QCoreApplication::processEvents();
    QKeyEvent key(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, QStringLiteral("c"));
    QCoreApplication::sendEvent(menu, &key);
    QCoreApplication::processEvents();
    EXPECT_EQ(triggered.count(), 1);
    EXPECT_FALSE(menu->isVisible());
}

namespace {

class CountingMainMenu : public TKpMainMenu {
public:
    using TKpMainMenu::TKpMainMenu;
    int refreshes = 0;
    void RefreshMenu(bool ownerDraw) override
    {
        ++refreshes;
        TKpMainMenu::RefreshMenu(ownerDraw);
    }
};

} // namespace

TEST(MainMenu, PaintsTheBarAndItsDropDownsThroughTheHookedWindow)
{
    QMainWindow form;
    auto *bar = new CountingMainMenu;
    form.setMenuBar(bar);
    UseTestPalette(*bar);
    TKpMenuWidget *file = bar->AddKpMenu(QStringLiteral("&File"));
    UseTestPalette(*file);
    QAction *open = file->addAction(QStringLiteral("&Open"));
    open->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    QAction *fileItem = file->menuAction();
    EXPECT_FALSE(IsItemPopup(fileItem));

    bar->SetStyle(TKpMenuStyle::msOwnerDraw);
    ASSERT_TRUE(bar->OwnerDrawn());
    EXPECT_EQ(bar->Hook()->GetWinControl(), &form);
    // A bar item is its caption; a drop-down item has no margin to add.
    const QFontMetrics fm(QApplication::font("QMenu"));
    EXPECT_EQ(bar->WMMeasureItem(bar, fileItem).width(), fm.horizontalAdvance(QStringLiteral("File")));
    TMenuCanvas canvas;
    SetDefaultMenuFont(canvas.font);
    canvas.menu = file;
    EXPECT_EQ(bar->WMMeasureItem(file, open),
              MeasureMenuItem({open, {}, 1, nullptr, -1, 0, true}, canvas));

    form.resize(300, 200);
    form.show();
    QCoreApplication::processEvents();
    bar->setActiveAction(fileItem);
    const QImage shot = bar->grab().toImage();
    EXPECT_EQ(shot.pixelColor(bar->actionGeometry(fileItem).topLeft() + QPoint(1, 1)), kHighlight);

    // The window's own changes reach the menu through the hook.
    const int before = bar->refreshes;
    form.addAction(new QAction(QStringLiteral("x"), &form));
    EXPECT_EQ(bar->refreshes, before + 1);

    bar->SetStyle(TKpMenuStyle::msStandard);
    EXPECT_FALSE(bar->OwnerDrawn());
    EXPECT_EQ(bar->Hook()->GetWinControl(), nullptr);
}

TEST(MainMenu, WithoutAWindowNothingIsOwnerDrawn)
{
    TKpMainMenu bar;
    bar.AddKpMenu(QStringLiteral("&Edit"))->addAction(QStringLiteral("x"));
    bar.SetStyle(TKpMenuStyle::msOwnerDraw);
    EXPECT_EQ(bar.FindForm(), nullptr);
    EXPECT_FALSE(bar.OwnerDrawn());
}
