#pragma once
// Measuring and painting one item of an owner-drawn menu: a glyph or an image-list image beside
// the caption, the shortcut in a column of its own, a checked item as a check mark or as a
// pressed glyph button. The menu classes (Kpmenus.h) hand every item to these two functions.
#include "widgets/Clipicon.h"
#include "widgets/Drawutils.h"
#include "widgets/Graphics.h"

#include <QAction>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

class QPainter;
class QWidget;

namespace kelpa::widgets {

// The state of an item being drawn: element n is bit n, the same bits as the platform's
// owner-draw item state, so a draw request passes that byte unchanged.
enum TMenuOwnerDrawStateBit : std::uint8_t {
    mdSelected = 0x01,
    mdGrayed = 0x02,
    mdDisabled = 0x04,
    mdChecked = 0x08,
    mdFocused = 0x10,
    mdDefault = 0x20,
};
using TMenuOwnerDrawState = std::uint8_t;

// How a checked or selected item is framed when it is drawn as a button.
enum class TMenuButtonStyle { None, Lowered, Raised };

// An item's glyph: a bitmap (a row of NumGlyphs cells when the item says so), an icon drawn at
// its own size, or any other picture drawn as it is.
struct TGraphic {
    enum class Kind { Bitmap, Icon, Picture };
    Kind kind = Kind::Bitmap;
    TBitmap bitmap;                      // Bitmap
    QImage picture;                      // Picture
    std::shared_ptr<const TIcon> icon;   // Icon

    // A bitmap drawn without its transparent colour (clDefault: its bottom-left pixel's); an
    // image with an alpha channel is drawn with it.
    static TGraphic Bitmap(const QImage &image, TColor transparent = clDefault);
    static TGraphic Icon(std::shared_ptr<const TIcon> icon);
    static TGraphic Picture(const QImage &image);
    bool Empty() const;
    int Width() const;
    int Height() const;
};

// What measuring and painting draw with: the painter (none while measuring), the font, its
// colour and the brush colour; `menu` is the menu the item is in (its palette, its other items).
struct TMenuCanvas {
    QPainter *painter = nullptr;
    QFont font;
    TColor fontColor = clBlack;
    TColor brushColor = clWhite;
    const QWidget *menu = nullptr;
};

// Sizes derived from the screen, recomputed on every use.
struct TMenuMetrics {
    QSize checkMark;          // the check mark's width and height
    int glyphGap = 0;         // Round(0.3 x check-mark width)
    int standardHeight = 0;   // the standard item height
};
TMenuMetrics MenuMetrics(const QWidget *widget = nullptr);
// The gap beside glyphs for a check mark of this width.
int GlyphGap(int checkMarkWidth);

// The system colours menus are painted with, as RGB values of the widget's palette (the menu
// palette without one).
struct TMenuColors {
    TColor menu, menuText, highlight, highlightText, grayText, btnShadow, btnHighlight;
};
TMenuColors MenuColors(const QWidget *widget = nullptr);

// False only for an item on a menu bar.
bool IsItemPopup(const QAction *item);
// The desktop's menu font; its colour is left alone.
void SetDefaultMenuFont(QFont &font);

// The width the item measurer gives a text: tabs count as two average characters each.
int MenuTextWidth(const QFontMetrics &metrics, const QString &text);
// The caption without its accelerator markers ("&").
QString CaptionWithoutAccelerators(const QString &caption);

// A separator: a separator action, or an item whose caption is "-".
bool IsSeparator(const QAction *item);
// An item that opens a sub-menu holding items.
bool HasSubItems(const QAction *item);
// The visible items of a menu, in order.
QList<QAction *> VisibleItems(const QWidget *menu);

// One item as the measurer and painter see it: its glyph (a graphic, or image `imageIndex` of
// the image list, which takes the place of graphics), the least width of the glyph column and
// whether the menu keeps a column for check marks.
struct TMenuItemLook {
    const QAction *item = nullptr;
    std::optional<TGraphic> graphic;
    int numGlyphs = 1;                    // cells in a bitmap graphic (2 to 5 count)
    const TImageList *images = nullptr;
    int imageIndex = -1;
    int minTextOffset = 0;
    bool showCheckMarks = true;
};

// The item measurer: width and height of one item.
QSize MeasureMenuItem(const TMenuItemLook &look, const TMenuCanvas &canvas);

// The item painter: paints the item into r on the canvas, whose brush and font are set; it does
// not fill the background.
void PaintMenuItem(const TMenuItemLook &look, TMenuCanvas &canvas, QRect r,
                   TMenuOwnerDrawState state, TMenuButtonStyle buttonStyle);

} // namespace kelpa::widgets
