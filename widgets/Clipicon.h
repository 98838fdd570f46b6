#pragma once
// Icons in their file form (".ico") through the clipboard, and real-size icon handles: built
// from the icon's own image at its own pixel size instead of the system icon size that
// TIcon::Handle() has. The menus measure and draw icon glyphs with CreateRealSizeIcon and
// GetIconSize.
#include "widgets/IconFile.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <memory>

class QPainter;

namespace kelpa::widgets {

// The system icon size (width and height).
constexpr int kSystemIconSize = 32;

// The clipboard format of icons in their file form; every program that exchanges icons this
// way uses the same name. Beside it goes a plain image for other programs.
inline constexpr char kIconClipboardFormat[] = "Kelpa Icon";

// An icon handle. Color is the colour plane with the icon's transparency; it is null for a
// monochrome icon, whose Mask holds its AND bits above its XOR bits (twice the icon's
// height). Otherwise Mask holds the AND bits (1 where the background shows through).
struct TIconHandle {
    QImage Color;
    QImage Mask;
    bool IsNull() const { return Color.isNull() && Mask.isNull(); }
    // What drawing the icon puts on the screen (ARGB, transparent where the mask says).
    QImage Image() const;
};

// An icon in its file form.
class TIcon {
public:
    // False (the icon unchanged) for data without an icon header.
    bool LoadFromData(const QByteArray &data);
    QByteArray SaveToData() const { return data_; }
    bool Empty() const { return data_.isEmpty(); }
    // The icon at the system icon size; null when its image cannot be read.
    TIconHandle Handle() const;
    int Width() const { return Empty() ? 0 : kSystemIconSize; }
    int Height() const { return Empty() ? 0 : kSystemIconSize; }

private:
    QByteArray data_;
};

// planes x bits per pixel of the primary screen.
int ScreenBitsPerPixel();
// The system's application icon, at the system icon size.
TIconHandle SystemApplicationIcon();

// Puts the icon on the clipboard as an image drawn on backColor and in its file form.
void CopyIconToClipboard(const TIcon &icon, const QColor &backColor);
// Loads the icon from the clipboard's icon format; false (the icon unchanged) when the
// clipboard holds none or its data is no icon.
bool AssignClipboardIcon(TIcon &icon);
// A new icon from the clipboard, or null when it holds none (or no readable one).
std::unique_ptr<TIcon> CreateIconFromClipboard();

// The pixel size of an icon handle; the system icon size for a null handle.
void GetIconSize(const TIconHandle &icon, int &w, int &h);
// A handle of the icon's own size. Type 0 gives the system application icon, type 1 the image
// of the file that fits the screen, any other type a copy of the icon's handle. A damaged
// image gives a null handle and the reason in `error`.
TIconHandle CreateRealSizeIcon(const TIcon &icon, IconError *error = nullptr);
TIconHandle CreateRealSizeIcon(const TIcon &icon, int screenBitsPerPixel, IconError *error);
// Draws the real-size icon with its top-left corner at (x, y).
void DrawRealSizeIcon(QPainter &painter, const TIcon &icon, int x, int y);

} // namespace kelpa::widgets
