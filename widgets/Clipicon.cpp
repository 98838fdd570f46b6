#include "widgets/Clipicon.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QIcon>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QStyle>

namespace kelpa::widgets {

namespace {

const std::uint8_t *Bytes(const QByteArray &data)
{
    return reinterpret_cast<const std::uint8_t *>(data.constData());
}

TIconHandle HandleFromImage(const IconImage &image)
{
    TIconHandle h;
    const int w = image.width, ht = image.height;
    if (image.monochrome) {
        h.Mask = QImage(w, 2 * ht, QImage::Format_Mono);
        h.Mask.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        for (int y = 0; y < ht; ++y)
            for (int x = 0; x < w; ++x) {
                h.Mask.setPixel(x, y, image.andBits[std::size_t(y) * w + x]);
                h.Mask.setPixel(x, y + ht, image.xorBits[std::size_t(y) * w + x]);
            }
        return h;
    }
    h.Color = QImage(w, ht, QImage::Format_ARGB32);
    h.Mask = QImage(w, ht, QImage::Format_Mono);
    h.Mask.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < ht; ++y) {
        auto *line = reinterpret_cast<QRgb *>(h.Color.scanLine(y));
        for (int x = 0; x < w; ++x) {
            line[x] = image.pixels[std::size_t(y) * w + x];
            h.Mask.setPixel(x, y, image.andBits[std::size_t(y) * w + x]);
        }
    }
    return h;
}

TIconHandle HandleFromPixmapImage(QImage image)
{
    TIconHandle h;
    h.Color = image.convertToFormat(QImage::Format_ARGB32);
    h.Mask = h.Color.createAlphaMask().convertToFormat(QImage::Format_Mono);
    h.Mask.invertPixels();   // 1 where the background shows through
    return h;
}

} // namespace

QImage TIconHandle::Image() const
{
    if (!Color.isNull())
        return Color;
    if (Mask.isNull())
        return {};
    // Monochrome: AND 0 paints the XOR colour; AND 1 keeps the background (XOR 1 would
    // invert it, shown as black).
    const int w = Mask.width(), h = Mask.height() / 2;
    QImage out(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool andBit = Mask.pixelIndex(x, y) != 0;
            const bool xorBit = Mask.pixelIndex(x, y + h) != 0;
            out.setPixel(x, y, andBit ? (xorBit ? qRgba(0, 0, 0, 255) : qRgba(0, 0, 0, 0))
                                      : (xorBit ? qRgb(255, 255, 255) : qRgb(0, 0, 0)));
        }
    return out;
}

bool TIcon::LoadFromData(const QByteArray &data)
{
    IconHeader header;
    if (ReadIconHeader(Bytes(data), std::size_t(data.size()), header) != IconError::None
        || header.reserved != 0)
        return false;
    data_ = data;
    return true;
}

TIconHandle TIcon::Handle() const
{
    IconHeader header;
    if (ReadIconHeader(Bytes(data_), std::size_t(data_.size()), header) != IconError::None)
        return {};
    if (header.type == 0)
        return SystemApplicationIcon();
    const IconReadResult r = ReadIconFile(Bytes(data_), std::size_t(data_.size()), ScreenBitsPerPixel());
    if (r.error != IconError::None || r.image.width == 0)
        return {};
    const QImage image = HandleFromImage(r.image).Image();
    return HandleFromPixmapImage(image.scaled(kSystemIconSize, kSystemIconSize,
                                              Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

int ScreenBitsPerPixel()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 32;
}

TIconHandle SystemApplicationIcon()
{
    QIcon icon = QGuiApplication::windowIcon();
    if (icon.isNull() && qobject_cast<QApplication *>(QCoreApplication::instance()))
        icon = QApplication::style()->standardIcon(QStyle::SP_TitleBarMenuButton);
    QImage image = icon.pixmap(kSystemIconSize, kSystemIconSize).toImage();
    if (image.size() != QSize(kSystemIconSize, kSystemIconSize)) {
        // No theme icon: a plain window glyph of the system icon size.
        QImage plain(kSystemIconSize, kSystemIconSize, QImage::Format_ARGB32);
        plain.fill(Qt::transparent);
        QPainter p(&plain);
        if (!image.isNull())
            p.drawImage(QRect(0, 0, kSystemIconSize, kSystemIconSize), image);
        else {
            p.fillRect(2, 4, 28, 24, Qt::white);
            p.fillRect(2, 4, 28, 6, QColor(0, 0, 128));
            p.setPen(Qt::black);
            p.drawRect(2, 4, 27, 23);
        }
        p.end();
        image = plain;
    }
    return HandleFromPixmapImage(image);
}

void GetIconSize(const TIconHandle &icon, int &w, int &h)
{
    if (!icon.Color.isNull()) {
        w = icon.Color.width();
        h = icon.Color.height();
    } else if (!icon.Mask.isNull()) {
        w = icon.Mask.width();
        h = icon.Mask.height() / 2;
    } else {
        w = kSystemIconSize;
        h = kSystemIconSize;
    }
}

TIconHandle CreateRealSizeIcon(const TIcon &icon, IconError *error)
{
    return CreateRealSizeIcon(icon, ScreenBitsPerPixel(), error);
}

TIconHandle CreateRealSizeIcon(const TIcon &icon, int screenBitsPerPixel, IconError *error)
{
    if (error)
        *error = IconError::None;
    const QByteArray data = icon.SaveToData();
    IconHeader header;
    const IconError headerError = ReadIconHeader(Bytes(data), std::size_t(data.size()), header);
    if (headerError != IconError::None) {
        if (error)
            *error = headerError;
        return {};
    }
    if (header.type == 0)
        return SystemApplicationIcon();
    if (header.type != 1)
        return icon.Handle();
    const IconReadResult r = ReadIconFile(Bytes(data), std::size_t(data.size()), screenBitsPerPixel);
    if (r.error != IconError::None) {
        if (error)
            *error = r.error;
        return {};
    }
    return HandleFromImage(r.image);
}

void DrawRealSizeIcon(QPainter &painter, const TIcon &icon, int x, int y)
{
    const TIconHandle handle = CreateRealSizeIcon(icon);
    if (!handle.IsNull())
        painter.drawImage(x, y, handle.Image());
}

void CopyIconToClipboard(const TIcon &icon, const QColor &backColor)
{
    const TIconHandle handle = CreateRealSizeIcon(icon);
    int w = 0, h = 0;
    GetIconSize(handle, w, h);
    QImage bitmap(w, h, QImage::Format_RGB32);
    bitmap.fill(backColor);
    {
        QPainter p(&bitmap);
        p.drawImage(0, 0, handle.Image());
    }
    auto *data = new QMimeData;
    data->setImageData(bitmap);
    data->setData(QString::fromLatin1(kIconClipboardFormat), icon.SaveToData());
    QGuiApplication::clipboard()->setMimeData(data);
}

bool AssignClipboardIcon(TIcon &icon)
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    const QString format = QString::fromLatin1(kIconClipboardFormat);
    if (!data || !data->hasFormat(format))
        return false;
    return icon.LoadFromData(data->data(format));
}

std::unique_ptr<TIcon> CreateIconFromClipboard()
{
    auto icon = std::make_unique<TIcon>();
    if (!AssignClipboardIcon(*icon))
        return nullptr;
    return icon;
}

} // namespace kelpa::widgets
