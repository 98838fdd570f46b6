#pragma once
// One preview page as the paint calls that drew it, in printer pixels. The layout draws a page
// once onto a recording device; the preview and the printing from the cache replay the same
// calls, so both show exactly what the printer would have drawn.
//
// File layout (little-endian): "KPPG", u16 version 1, u16 0, u32 width, u32 height, u32 dpiX,
// u32 dpiY, u32 op count, then each op as u8 type, u32 payload length, payload.
// The reader trusts nothing: every length, count, number and the end of the data are checked,
// and anything that does not add up is an error, never a shorter page.
#include <cstdint>
#include <string>
#include <vector>

namespace kelpa::preview {

enum class OpType : std::uint8_t {
    Pen = 1,     // colour, width, style (0 none, 1 solid, 2 dash, 3 dot, 4 dash-dot, 5 dash-dot-dot), cosmetic
    Brush = 2,   // colour, style (0 none, 1 solid)
    Font = 3,    // family, pixel size, weight, italic
    Text = 4,    // baseline origin, recorded width, UTF-16 text, drawn with the pen's colour
    Line = 5,    // x1, y1, x2, y2
    Rect = 6,    // x, y, w, h
    Polygon = 7, // mode (0 odd-even, 1 winding, 2 open polyline), points
    Path = 8,    // fill rule (0 odd-even, 1 winding), closed subpaths of points
    Image = 9,   // target rectangle, w x h pixels of 32-bit ARGB
    Clip = 10,   // enabled, rectangle
};

struct Op {
    OpType type = OpType::Line;
    float v[4] = {0, 0, 0, 0};          // coordinates, rectangles, text origin and width
    std::uint32_t color = 0;             // ARGB
    float size = 0;                      // pen width, font pixel size
    std::uint8_t style = 0;              // pen or brush style, polygon mode, fill rule
    std::uint8_t flag = 0;               // cosmetic pen, italic font, clip enabled
    std::uint16_t weight = 0;            // font weight (1..1000)
    std::u16string text;                 // text, font family
    std::vector<float> points;           // x, y pairs
    std::vector<std::uint32_t> subpaths; // point counts of the path's subpaths
    std::uint32_t imageWidth = 0, imageHeight = 0;
    std::vector<std::uint32_t> pixels;   // ARGB, row by row
};

struct Page {
    std::uint32_t width = 0, height = 0; // device pixels
    std::uint32_t dpiX = 0, dpiY = 0;
    std::vector<Op> ops;
};

std::vector<std::uint8_t> encodePage(const Page &page);

struct DecodedPage {
    bool ok = false;
    std::string error; // what did not add up, for the message shown
    Page page;
};
DecodedPage decodePage(const std::uint8_t *data, std::size_t size);
inline DecodedPage decodePage(const std::vector<std::uint8_t> &bytes)
{
    return decodePage(bytes.data(), bytes.size());
}

// Bounds the reader holds a page to (the writer's pages stay far inside them).
inline constexpr std::uint32_t kMaxPageSide = 1000000;
inline constexpr std::uint32_t kMaxDpi = 100000;
inline constexpr float kMaxCoordinate = 1e7f;

} // namespace kelpa::preview
