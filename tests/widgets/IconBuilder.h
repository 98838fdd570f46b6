#pragma once
// Builds icon files in their file form for the tests: each image is described by its size,
// bits per pixel and a pixel function; the directory and bitmap headers follow the format.
#include <cstdint>
#include <functional>
#include <vector>

namespace kelpa::test {

struct IconPlan {
    int width = 16;
    int height = 16;
    int bitCount = 4;
    std::uint8_t colorCount = 16;   // as the directory entry states it
    // Colour (palette index for 1, 4 and 8 bits, 0xAARRGGBB otherwise) and mask bit per pixel,
    // (0, 0) being the top-left pixel.
    std::function<std::uint32_t(int x, int y)> colour = [](int, int) { return 1u; };
    std::function<bool(int x, int y)> transparent = [](int, int) { return false; };
};

inline void Put16(std::vector<std::uint8_t> &v, unsigned x)
{
    v.push_back(std::uint8_t(x));
    v.push_back(std::uint8_t(x >> 8));
}

inline void Put32(std::vector<std::uint8_t> &v, std::uint32_t x)
{
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

inline std::size_t RowBytes(int bits)
{
    return std::size_t((bits + 31) / 32 * 4);
}

// One bitmap image: header, palette, colour plane and mask plane, rows bottom-up.
inline std::vector<std::uint8_t> IconImageBytes(const IconPlan &s)
{
    std::vector<std::uint8_t> v;
    Put32(v, 40);
    Put32(v, std::uint32_t(s.width));
    Put32(v, std::uint32_t(2 * s.height));
    Put16(v, 1);
    Put16(v, unsigned(s.bitCount));
    for (int i = 0; i < 6; ++i)
        Put32(v, 0);
    const int entries = s.bitCount == 1 ? 2 : s.bitCount == 4 ? 16 : s.bitCount == 8 ? 256 : 0;
    // Palette entry i: blue i, green 2i, red 3i (entry 1 of a 2-colour palette is white).
    for (int i = 0; i < entries; ++i) {
        const bool white = s.bitCount == 1 && i == 1;
        v.push_back(white ? 255 : std::uint8_t(i));
        v.push_back(white ? 255 : std::uint8_t(2 * i));
        v.push_back(white ? 255 : std::uint8_t(3 * i));
        v.push_back(0);
    }
    const std::size_t colourRow = RowBytes(s.width * s.bitCount);
    for (int y = s.height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(colourRow, 0);
        for (int x = 0; x < s.width; ++x) {
            const std::uint32_t c = s.colour(x, y);
            switch (s.bitCount) {
            case 1: row[x / 8] |= std::uint8_t((c & 1) << (7 - x % 8)); break;
            case 4: row[x / 2] |= std::uint8_t((c & 15) << (x % 2 ? 0 : 4)); break;
            case 8: row[x] = std::uint8_t(c); break;
            case 24:
                row[3 * x] = std::uint8_t(c);
                row[3 * x + 1] = std::uint8_t(c >> 8);
                row[3 * x + 2] = std::uint8_t(c >> 16);
                break;
            case 32:
                for (int k = 0; k < 4; ++k)
                    row[4 * x + k] = std::uint8_t(c >> (8 * k));
                break;
            }
        }
        v.insert(v.end(), row.begin(), row.end());
    }
    const std::size_t maskRow = RowBytes(s.width);
    for (int y = s.height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(maskRow, 0);
        for (int x = 0; x < s.width; ++x)
            if (s.transparent(x, y))
                row[x / 8] |= std::uint8_t(1 << (7 - x % 8));
        v.insert(v.end(), row.begin(), row.end());
    }
    return v;
}

inline std::vector<std::uint8_t> IconFileBytes(const std::vector<IconPlan> &images, unsigned type = 1)
{
    std::vector<std::uint8_t> v;
    Put16(v, 0);
    Put16(v, type);
    Put16(v, unsigned(images.size()));
    std::vector<std::vector<std::uint8_t>> bodies;
    for (const IconPlan &s : images)
        bodies.push_back(IconImageBytes(s));
    std::uint32_t offset = std::uint32_t(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const IconPlan &s = images[i];
        v.push_back(std::uint8_t(s.width));
        v.push_back(std::uint8_t(s.height));
        v.push_back(s.colorCount);
        v.push_back(0);
        Put16(v, 1);
        Put16(v, unsigned(s.bitCount));
        Put32(v, std::uint32_t(bodies[i].size()));
        Put32(v, offset);
        offset += std::uint32_t(bodies[i].size());
    }
    for (const auto &b : bodies)
        v.insert(v.end(), b.begin(), b.end());
    return v;
}

} // namespace kelpa::test
