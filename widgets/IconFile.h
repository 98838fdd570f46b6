#pragma once
// The icon file form (".ico"): reading its header and directory, choosing the image that fits
// the screen's colour depth, and splitting that image into its colour and mask planes.
// Plain C++: every count, size and offset is checked against the data before it is used.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelpa::widgets {

struct IconDirEntry {
    std::uint8_t width = 0;
    std::uint8_t height = 0;
    std::uint8_t colorCount = 0;
    std::uint8_t reserved = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t imageSize = 0;
    std::uint32_t imageOffset = 0;
    // Colour count byte plus 256 x reserved byte, as images are compared.
    unsigned ColorWord() const { return colorCount + 256u * reserved; }
};

struct IconHeader {
    std::uint16_t reserved = 0;
    std::uint16_t type = 0;    // 1 icon, 2 cursor, anything else is not an image list
    std::uint16_t count = 0;
};

enum class IconError {
    None,
    TooShort,          // shorter than the 6-byte header
    NoImages,          // an image count of 0
    DirectoryCut,      // the directory runs past the end of the data
    ImageOutside,      // the image's offset or size reaches past the end of the data
    NotBitmap,         // no 40-byte bitmap header (a compressed or unknown image)
    BadDimensions,     // zero, negative or larger than an icon can be
    BadBitCount,       // bits per pixel other than 1, 4, 8, 16, 24, 32
    ImageCut,          // the image's declared size is too small for its planes
};

// A text for the user, e.g. "The icon data is damaged: its image lies outside the data".
std::string IconErrorText(IconError error);

// The device colour number of a screen with `bitsPerPixel` (planes x bits per pixel).
unsigned DeviceColorNumber(int bitsPerPixel);

// The index of the image to use on a screen whose device colour number is `deviceColors`.
// `entries` must not be empty.
std::size_t ChooseIconImage(const std::vector<IconDirEntry> &entries, unsigned deviceColors);

// The chosen image, split: colour pixels as 0xAARRGGBB, top row first, with the icon's
// transparency applied (mask or alpha); mask bits per pixel, 1 where the screen shows through.
// A 1-bit image is monochrome: `monochrome` is set and `xorBits` holds its colour bit per pixel.
struct IconImage {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    bool monochrome = false;
    std::vector<std::uint32_t> pixels;
    std::vector<std::uint8_t> andBits;
    std::vector<std::uint8_t> xorBits;
};

struct IconReadResult {
    IconError error = IconError::None;
    IconHeader header;
    std::vector<IconDirEntry> entries;
    std::size_t chosen = 0;
    IconImage image;
};

// Reads the header only (TooShort when there is none).
IconError ReadIconHeader(const std::uint8_t *data, std::size_t size, IconHeader &header);

// Reads an icon or cursor file and splits the image that suits `screenBitsPerPixel`.
// A type other than 1 and 2 stops after the header with error None and no image.
IconReadResult ReadIconFile(const std::uint8_t *data, std::size_t size, int screenBitsPerPixel);

// The largest width and height an icon image can have (the directory's 8-bit size, 0 = 256).
constexpr int kMaxIconSide = 256;

} // namespace kelpa::widgets
