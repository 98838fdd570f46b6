#include "widgets/IconFile.h"

#include <cstring>

namespace kelpa::widgets {

namespace {

constexpr std::size_t kHeaderSize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kBitmapHeaderSize = 40;

std::uint16_t U16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t U32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
           | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int32_t I32(const std::uint8_t *p)
{
    return static_cast<std::int32_t>(U32(p));
}

// Bytes in one bitmap row of `bits` bits: rows are padded to 32 bits.
std::uint64_t RowSize(std::uint64_t bits)
{
    return (bits + 31) / 32 * 4;
}

unsigned ColorTableEntries(int bitCount)
{
    switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

bool Bit(const std::uint8_t *row, int x)
{
    return (row[x / 8] >> (7 - x % 8)) & 1;
}

std::uint32_t Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
}

// Splits a validated image: `colour` and `mask` point at the bottom-up planes.
void Split(const std::uint8_t *table, const std::uint8_t *colour, const std::uint8_t *mask,
           IconImage &image)
{
    const int w = image.width, h = image.height, bpp = image.bitCount;
    const std::size_t colourRow = RowSize(std::uint64_t(w) * bpp);
    const std::size_t maskRow = RowSize(std::uint64_t(w));
    const std::size_t n = std::size_t(w) * h;
    image.pixels.assign(n, 0);
    image.andBits.assign(n, 0);
    if (image.monochrome)
        image.xorBits.assign(n, 0);
    bool anyAlpha = false;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t *c = colour + std::size_t(h - 1 - y) * colourRow;
        const std::uint8_t *m = mask + std::size_t(h - 1 - y) * maskRow;
        for (int x = 0; x < w; ++x) {
            const std::size_t at = std::size_t(y) * w + x;
            std::uint32_t argb = 0;
            unsigned index = 0;
            switch (bpp) {
            case 1: index = Bit(c, x); break;
            case 4: index = (c[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F; break;
            case 8: index = c[x]; break;
            case 16: {
                const unsigned v = U16(c + 2 * x);
                const auto five = [](unsigned f) { return std::uint8_t((f << 3) | (f >> 2)); };
                argb = Rgb(five((v >> 10) & 31), five((v >> 5) & 31), five(v & 31));
                break;
            }
            case 24: argb = Rgb(c[3 * x + 2], c[3 * x + 1], c[3 * x]); break;
            case 32:
                argb = Rgb(c[4 * x + 2], c[4 * x + 1], c[4 * x]) | (std::uint32_t{c[4 * x + 3]} << 24);
                anyAlpha = anyAlpha || c[4 * x + 3] != 0;
                break;
            }
            if (bpp <= 8) {
                const std::uint8_t *e = table + 4 * index;
                argb = Rgb(e[2], e[1], e[0]);
            }
            image.pixels[at] = argb;
            image.andBits[at] = Bit(m, x);
            if (image.monochrome)
                image.xorBits[at] = static_cast<std::uint8_t>(index);
        }
    }
    // An image with an alpha channel of its own keeps it; the others take the mask.
    for (std::size_t i = 0; i < n; ++i) {
        if (anyAlpha)
            continue;
        image.pixels[i] = (image.pixels[i] & 0x00FFFFFFu) | (image.andBits[i] ? 0u : 0xFF000000u);
    }
}

IconReadResult Fail(IconReadResult &r, IconError error)
{
    r.error = error;
    r.image = {};
    return r;
}

} // namespace

std::string IconErrorText(IconError error)
{
    const char *why = "";
    switch (error) {
    case IconError::None: return {};
    case IconError::TooShort: why = "it is too short for an icon header"; break;
    case IconError::NoImages: why = "it holds no image"; break;
    case IconError::DirectoryCut: why = "its image directory runs past the end of the data"; break;
    case IconError::ImageOutside: why = "its image lies outside the data"; break;
    case IconError::NotBitmap: why = "its image is not an uncompressed bitmap"; break;
    case IconError::BadDimensions: why = "its image has an impossible size"; break;
    case IconError::BadBitCount: why = "its image has an unknown number of bits per pixel"; break;
    case IconError::ImageCut: why = "its image is shorter than its planes"; break;
    }
    return std::string("The icon data is damaged: ") + why;
}

unsigned DeviceColorNumber(int bitsPerPixel)
{
    if (bitsPerPixel == 24)
        return 0;
    // 16-bit arithmetic with the shift count taken modulo 32: 16 gives 0, 32 gives 1.
    const unsigned shift = static_cast<unsigned>(bitsPerPixel) % 32;
    return static_cast<std::uint16_t>(1u << shift);
}

std::size_t ChooseIconImage(const std::vector<IconDirEntry> &entries, unsigned deviceColors)
{
    bool chosen = false;
    std::size_t choice = 0;
    unsigned remembered = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const unsigned word = entries[i].ColorWord();
        if (word == deviceColors)
            return i;
        if (!chosen) {
            if (word <= deviceColors) {
                chosen = true;
                choice = i;
                remembered = word;
            }
        } else if (word > remembered) {
            choice = i;
        }
    }
    return chosen ? choice : 0;
}

IconError ReadIconHeader(const std::uint8_t *data, std::size_t size, IconHeader &header)
{
    if (!data || size < kHeaderSize)
        return IconError::TooShort;
    header.reserved = U16(data);
    header.type = U16(data + 2);
    header.count = U16(data + 4);
    return IconError::None;
}

IconReadResult ReadIconFile(const std::uint8_t *data, std::size_t size, int screenBitsPerPixel)
{
    IconReadResult r;
    r.error = ReadIconHeader(data, size, r.header);
    if (r.error != IconError::None || (r.header.type != 1 && r.header.type != 2))
        return r;
    const std::size_t count = r.header.count;
    if (count == 0)
        return Fail(r, IconError::NoImages);
    const std::size_t directoryEnd = kHeaderSize + kEntrySize * count;
    if (directoryEnd > size)
        return Fail(r, IconError::DirectoryCut);
    r.entries.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t *p = data + kHeaderSize + kEntrySize * i;
        IconDirEntry &e = r.entries[i];
        e.width = p[0];
        e.height = p[1];
        e.colorCount = p[2];
        e.reserved = p[3];
        e.planes = U16(p + 4);
        e.bitCount = U16(p + 6);
        e.imageSize = U32(p + 8);
        e.imageOffset = U32(p + 12);
    }
    r.chosen = ChooseIconImage(r.entries, DeviceColorNumber(screenBitsPerPixel));
    const IconDirEntry &e = r.entries[r.chosen];
    // The image follows the directory and ends inside the data.
    if (e.imageOffset < directoryEnd || std::uint64_t(e.imageOffset) + e.imageSize > size)
        return Fail(r, IconError::ImageOutside);
    const std::uint8_t *image = data + e.imageOffset;
    const std::uint64_t imageSize = e.imageSize;
    if (imageSize < kBitmapHeaderSize || U32(image) < kBitmapHeaderSize
        || U32(image) > imageSize || U32(image + 16) != 0)
        return Fail(r, IconError::NotBitmap);
    const std::int32_t width = I32(image + 4);
    const std::int32_t fullHeight = I32(image + 8);
    // The height counts both planes.
    const std::int32_t height = fullHeight / 2;
    if (width < 1 || width > kMaxIconSide || height < 1 || height > kMaxIconSide)
        return Fail(r, IconError::BadDimensions);
    const int bitCount = U16(image + 14);
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24
        && bitCount != 32)
        return Fail(r, IconError::BadBitCount);
    const std::uint64_t tableStart = U32(image);
    const std::uint64_t colourStart = tableStart + 4ull * ColorTableEntries(bitCount);
    const std::uint64_t colourSize = RowSize(std::uint64_t(width) * bitCount) * height;
    const std::uint64_t maskStart = colourStart + colourSize;
    const std::uint64_t maskSize = RowSize(std::uint64_t(width)) * height;
    if (maskStart + maskSize > imageSize)
        return Fail(r, IconError::ImageCut);
    r.image.width = width;
    r.image.height = height;
    r.image.bitCount = bitCount;
    r.image.monochrome = bitCount == 1;
    Split(image + tableStart, image + colourStart, image + maskStart, r.image);
    return r;
}

} // namespace kelpa::widgets
