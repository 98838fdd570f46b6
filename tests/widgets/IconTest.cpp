#include "IconBuilder.h"
#include "widgets/Clipicon.h"
#include "widgets/IconFile.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <gtest/gtest.h>
#include <string>

using namespace kelpa::widgets;
using kelpa::test::IconFileBytes;
using kelpa::test::IconPlan;
using kelpa::test::Put32;

namespace {

IconPlan Colours(int bitCount, std::uint8_t colorCount, int size = 16)
{
    IconPlan s;
    s.width = s.height = size;
    s.bitCount = bitCount;
    s.colorCount = colorCount;
    return s;
}

IconReadResult Read(const std::vector<std::uint8_t> &bytes, int screenBits = 8)
{
    return ReadIconFile(bytes.data(), bytes.size(), screenBits);
}

QByteArray Bytes(const std::vector<std::uint8_t> &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

} // namespace

TEST(IconFile, DeviceColourNumberFollowsTheScreenDepth)
{
    const std::pair<int, unsigned> cases[] = {{1, 2}, {4, 16}, {8, 256}, {16, 0}, {24, 0}, {32, 1}};
    for (auto [bits, colours] : cases)
        EXPECT_EQ(DeviceColorNumber(bits), colours) << bits;
}

TEST(IconFile, ImageChoiceOverTheDirectory)
{
    struct Case {
        const char *name;
        std::vector<IconPlan> images;
        int screenBits;
        std::size_t chosen;
    };
    const std::vector<Case> cases = {
        // A 256-colour image stores colour count 0: the 16-colour image wins in either order.
        {"16 then 256 on 256 colours", {Colours(4, 16), Colours(8, 0)}, 8, 0},
        {"256 then 16 on 256 colours", {Colours(8, 0), Colours(4, 16)}, 8, 1},
        {"exact match is taken at once", {Colours(1, 2), Colours(4, 16), Colours(8, 0)}, 4, 1},
        {"true colour takes the count-0 image", {Colours(4, 16), Colours(8, 0)}, 24, 1},
        {"nothing fits: the first", {Colours(4, 16), Colours(1, 2)}, 1, 1},
        {"nothing at or below: the first", {Colours(4, 16), Colours(4, 16)}, 32, 0},
        {"a later richer entry replaces the choice", {Colours(1, 2), Colours(4, 16)}, 8, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const IconReadResult r = Read(IconFileBytes(c.images), c.screenBits);
        ASSERT_EQ(r.error, IconError::None);
        EXPECT_EQ(r.chosen, c.chosen);
        EXPECT_EQ(r.image.bitCount, c.images[c.chosen].bitCount);
    }
}

TEST(IconFile, SplitsColourAndMaskTopRowFirst)
{
    struct Case {
        int bitCount;
        std::uint32_t colourOf1;   // the colour that pixel value 1 stands for
    };
    // Palette entry i holds red 3i, green 2i, blue i; entry 1 of a 2-colour palette is white.
    const Case cases[] = {{1, 0xFFFFFF}, {4, 0x030201}, {8, 0x030201}, {24, 0x000001},
                          {32, 0x000001}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bitCount);
        IconPlan s = Colours(c.bitCount, 0, 3);
        s.width = 5;   // rows need padding
        s.colour = [](int x, int y) { return std::uint32_t(x == 0 && y == 0); };
        s.transparent = [](int x, int y) { return x == 4 && y == 2; };
        const IconReadResult r = Read(IconFileBytes({s}));
        ASSERT_EQ(r.error, IconError::None);
        ASSERT_EQ(r.image.width, 5);
        ASSERT_EQ(r.image.height, 3);
        EXPECT_EQ(r.image.monochrome, c.bitCount == 1);
        EXPECT_EQ(r.image.pixels[0], 0xFF000000u | c.colourOf1);
        EXPECT_EQ(r.image.andBits[0], 0);
        EXPECT_EQ(r.image.andBits[2 * 5 + 4], 1);
        EXPECT_EQ(r.image.pixels[2 * 5 + 4] >> 24, 0u);
    }
}

TEST(IconFile, DamagedDataIsAnErrorNeverAReadOutside)
{
    const std::vector<std::uint8_t> good = IconFileBytes({Colours(4, 16)});
    const std::size_t image = 6 + 16;   // offset of the only image
    struct Case {
        const char *name;
        std::function<void(std::vector<std::uint8_t> &)> damage;
        IconError error;
    };
    auto put32 = [](std::vector<std::uint8_t> &v, std::size_t at, std::uint32_t x) {
        for (int k = 0; k < 4; ++k)
            v[at + k] = std::uint8_t(x >> (8 * k));
    };
    const std::vector<Case> cases = {
        {"too short", [](auto &v) { v.resize(5); }, IconError::TooShort},
        {"no images", [](auto &v) { v[4] = v[5] = 0; }, IconError::NoImages},
        {"directory past the end", [](auto &v) { v[4] = 0xFF; v[5] = 0xFF; }, IconError::DirectoryCut},
        {"offset past the end", [&](auto &v) { put32(v, 6 + 12, 0xFFFFFFF0u); }, IconError::ImageOutside},
        {"size past the end", [&](auto &v) { put32(v, 6 + 8, 0xFFFFFFFFu); }, IconError::ImageOutside},
        {"offset inside the directory", [&](auto &v) { put32(v, 6 + 12, 2); }, IconError::ImageOutside},
        {"image cut off", [](auto &v) { v.resize(v.size() - 1); }, IconError::ImageOutside},
        {"declared size too small", [&](auto &v) { put32(v, 6 + 8, 60); }, IconError::ImageCut},
        {"size below a header", [&](auto &v) { put32(v, 6 + 8, 39); }, IconError::NotBitmap},
        {"header size too small", [&](auto &v) { put32(v, image, 12); }, IconError::NotBitmap},
        {"header size beyond the image", [&](auto &v) { put32(v, image, 0x7FFFFFFF); }, IconError::NotBitmap},
        {"compressed image", [&](auto &v) { put32(v, image + 16, 1); }, IconError::NotBitmap},
        {"zero width", [&](auto &v) { put32(v, image + 4, 0); }, IconError::BadDimensions},
        {"negative width", [&](auto &v) { put32(v, image + 4, 0xFFFFFFF0u); }, IconError::BadDimensions},
        {"absurd width", [&](auto &v) { put32(v, image + 4, 100000); }, IconError::BadDimensions},
        {"height of one row", [&](auto &v) { put32(v, image + 8, 1); }, IconError::BadDimensions},
        {"top-down height", [&](auto &v) { put32(v, image + 8, 0xFFFFFFE0u); }, IconError::BadDimensions},
        {"absurd height", [&](auto &v) { put32(v, image + 8, 0x7FFFFFFE); }, IconError::BadDimensions},
        {"3 bits per pixel", [&](auto &v) { v[image + 14] = 3; }, IconError::BadBitCount},
        {"more bits than the data holds", [&](auto &v) { v[image + 14] = 32; }, IconError::ImageCut},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> bytes = good;
        c.damage(bytes);
        // A copy of exactly the data's size, so that the sanitizers see any read past it.
        const std::vector<std::uint8_t> exact(bytes.begin(), bytes.end());
        const IconReadResult r = Read(exact);
        EXPECT_EQ(r.error, c.error);
        EXPECT_TRUE(r.image.pixels.empty());
        EXPECT_NE(IconErrorText(r.error).find("damaged"), std::string::npos);
        TIcon icon;
        if (icon.LoadFromData(Bytes(exact))) {
            IconError error = IconError::None;
            EXPECT_TRUE(CreateRealSizeIcon(icon, 8, &error).IsNull());
            EXPECT_EQ(error, c.error);
        }
    }
}

TEST(IconFile, PngImagesAreNotBitmaps)
{
    std::vector<std::uint8_t> bytes = IconFileBytes({Colours(4, 16)});
    const std::uint8_t png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::copy(png, png + 8, bytes.begin() + 22);
    EXPECT_EQ(Read(bytes).error, IconError::NotBitmap);
}

TEST(RealSizeIcon, ByTypeOfTheFile)
{
    struct Case {
        const char *name;
        std::vector<std::uint8_t> bytes;
        int w, h;
    };
    const std::vector<Case> cases = {
        {"own size", IconFileBytes({Colours(4, 16, 48)}), 48, 48},
        {"small icon", IconFileBytes({Colours(8, 0, 16)}), 16, 16},
        {"type 0: the application icon", IconFileBytes({Colours(4, 16, 48)}, 0), 32, 32},
        {"cursor file: the system size handle", IconFileBytes({Colours(4, 16, 48)}, 2), 32, 32},
        // A 1-bit image makes a monochrome icon: only a mask of twice the height.
        {"monochrome", IconFileBytes({Colours(1, 2, 24)}), 24, 24},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TIcon icon;
        ASSERT_TRUE(icon.LoadFromData(Bytes(c.bytes)));
        IconError error = IconError::BadBitCount;
        const TIconHandle handle = CreateRealSizeIcon(icon, 8, &error);
        EXPECT_EQ(error, IconError::None);
        ASSERT_FALSE(handle.IsNull());
        int w = 0, h = 0;
        GetIconSize(handle, w, h);
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
        EXPECT_EQ(handle.Image().size(), QSize(c.w, c.h));
        EXPECT_EQ(icon.Width(), kSystemIconSize);
    }
}

TEST(RealSizeIcon, SizeOfHandles)
{
    TIconHandle maskOnly;
    maskOnly.Mask = QImage(20, 40, QImage::Format_Mono);
    TIconHandle colour;
    colour.Color = QImage(12, 10, QImage::Format_ARGB32);
    colour.Mask = QImage(12, 10, QImage::Format_Mono);
    const struct {
        const char *name;
        TIconHandle handle;
        int w, h;
    } cases[] = {{"mask only: half its height", maskOnly, 20, 20},
                 {"colour plane", colour, 12, 10},
                 {"no handle: the system size", TIconHandle{}, kSystemIconSize, kSystemIconSize}};
    for (const auto &c : cases) {
        int w = -1, h = -1;
        GetIconSize(c.handle, w, h);
        EXPECT_EQ(w, c.w) << c.name;
        EXPECT_EQ(h, c.h) << c.name;
    }
}

TEST(RealSizeIcon, DrawnWithItsTransparency)
{
    IconPlan s = Colours(24, 0, 4);
    s.colour = [](int, int) { return 0xFF0000u; };
    s.transparent = [](int x, int) { return x >= 2; };
    TIcon icon;
    ASSERT_TRUE(icon.LoadFromData(Bytes(IconFileBytes({s}))));
    QImage canvas(10, 10, QImage::Format_RGB32);
    canvas.fill(Qt::green);
    {
        QPainter p(&canvas);
        DrawRealSizeIcon(p, icon, 3, 4);
    }
    EXPECT_EQ(canvas.pixel(3, 4), qRgb(255, 0, 0));
    EXPECT_EQ(canvas.pixel(4, 7), qRgb(255, 0, 0));
    EXPECT_EQ(canvas.pixel(5, 4), qRgb(0, 255, 0));   // masked out
    EXPECT_EQ(canvas.pixel(2, 4), qRgb(0, 255, 0));   // left of the icon
}

TEST(IconClipboard, RoundTripInOneProcess)
{
    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(CreateIconFromClipboard(), nullptr);
    TIcon unchanged;
    EXPECT_FALSE(AssignClipboardIcon(unchanged));
    EXPECT_TRUE(unchanged.Empty());

    TIcon icon;
    ASSERT_TRUE(icon.LoadFromData(Bytes(IconFileBytes({Colours(4, 16, 48)}))));
    CopyIconToClipboard(icon, Qt::white);
    const std::unique_ptr<TIcon> back = CreateIconFromClipboard();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->SaveToData(), icon.SaveToData());
    const QImage bitmap = QGuiApplication::clipboard()->image();
    EXPECT_EQ(bitmap.size(), QSize(48, 48));
}

TEST(IconClipboard, DataWithoutAnIconHeaderLeavesTheIconAlone)
{
    auto *data = new QMimeData;
    data->setData(QString::fromLatin1(kIconClipboardFormat), QByteArray("\x01\x00\x01", 3));
    QGuiApplication::clipboard()->setMimeData(data);
    TIcon icon;
    ASSERT_TRUE(icon.LoadFromData(Bytes(IconFileBytes({Colours(4, 16)}))));
    const QByteArray before = icon.SaveToData();
    EXPECT_FALSE(AssignClipboardIcon(icon));
    EXPECT_EQ(icon.SaveToData(), before);
    EXPECT_EQ(CreateIconFromClipboard(), nullptr);
}
