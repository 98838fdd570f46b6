#include "PageFile.h"

#include <cmath>
#include <cstring>

namespace kelpa::preview {

namespace {

constexpr char kMagic[4] = {'K', 'P', 'P', 'G'};
constexpr std::uint16_t kVersion = 1;
constexpr std::size_t kHeaderSize = 4 + 2 + 2 + 4 * 5;

class Writer {
public:
    void u8(std::uint8_t v) { out.push_back(v); }
    void u16(std::uint16_t v)
    {
        out.push_back(std::uint8_t(v));
        out.push_back(std::uint8_t(v >> 8));
    }
    void u32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            out.push_back(std::uint8_t(v >> (8 * i)));
    }
    void f32(float f)
    {
        std::uint32_t v;
        std::memcpy(&v, &f, 4);
        u32(v);
    }
    void text(const std::u16string &s)
    {
        u32(std::uint32_t(s.size()));
        for (char16_t c : s)
            u16(std::uint16_t(c));
    }
    void points(const std::vector<float> &p, std::size_t from, std::size_t pairs)
    {
        for (std::size_t i = 0; i < pairs * 2; ++i)
            f32(p[from + i]);
    }
    std::vector<std::uint8_t> out;
};

class Reader {
public:
    Reader(const std::uint8_t *d, std::size_t n) : data(d), size(n) {}
    bool has(std::size_t n) const { return size - pos >= n; }
    std::size_t left() const { return size - pos; }
    std::uint8_t u8() { return data[pos++]; }
    std::uint16_t u16()
    {
        std::uint16_t v = std::uint16_t(data[pos] | (data[pos + 1] << 8));
        pos += 2;
        return v;
    }
    std::uint32_t u32()
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t(data[pos + i]) << (8 * i);
        pos += 4;
        return v;
    }
    float f32()
    {
        std::uint32_t v = u32();
        float f;
        std::memcpy(&f, &v, 4);
        return f;
    }
    const std::uint8_t *data;
    std::size_t size;
    std::size_t pos = 0;
};

bool coordinate(float f)
{
    return std::isfinite(f) && std::fabs(f) <= kMaxCoordinate;
}

void writeOp(Writer &w, const Op &op)
{
    Writer p;
    switch (op.type) {
    case OpType::Pen:
        p.u32(op.color);
        p.f32(op.size);
        p.u8(op.style);
        p.u8(op.flag);
        break;
    case OpType::Brush:
        p.u32(op.color);
        p.u8(op.style);
        break;
    case OpType::Font:
        p.f32(op.size);
        p.u16(op.weight);
        p.u8(op.flag);
        p.text(op.text);
        break;
    case OpType::Text:
        for (float f : {op.v[0], op.v[1], op.v[2]})
            p.f32(f);
        p.text(op.text);
        break;
    case OpType::Line:
    case OpType::Rect:
        for (float f : op.v)
            p.f32(f);
        break;
    case OpType::Polygon:
        p.u8(op.style);
        p.u32(std::uint32_t(op.points.size() / 2));
        p.points(op.points, 0, op.points.size() / 2);
        break;
    case OpType::Path: {
        p.u8(op.style);
        p.u32(std::uint32_t(op.subpaths.size()));
        std::size_t from = 0;
        for (std::uint32_t n : op.subpaths) {
            p.u32(n);
            p.points(op.points, from, n);
            from += std::size_t(n) * 2;
        }
        break;
    }
    case OpType::Image:
        for (float f : op.v)
            p.f32(f);
        p.u32(op.imageWidth);
        p.u32(op.imageHeight);
        for (std::uint32_t px : op.pixels)
            p.u32(px);
        break;
    case OpType::Clip:
        p.u8(op.flag);
        for (float f : op.v)
            p.f32(f);
        break;
    }
    w.u8(std::uint8_t(op.type));
    w.u32(std::uint32_t(p.out.size()));
    w.out.insert(w.out.end(), p.out.begin(), p.out.end());
}

// Reads `pairs` points; false when the payload is short or a number is out of range.
bool readPoints(Reader &r, std::uint32_t pairs, std::vector<float> &out)
{
    if (std::uint64_t(pairs) * 8 > r.left())
        return false;
    for (std::uint32_t i = 0; i < pairs * 2; ++i) {
        float f = r.f32();
        if (!coordinate(f))
            return false;
        out.push_back(f);
    }
    return true;
}

bool readText(Reader &r, std::u16string &out)
{
    if (!r.has(4))
        return false;
    std::uint32_t n = r.u32();
    if (std::uint64_t(n) * 2 > r.left())
        return false;
    out.resize(n);
    for (std::uint32_t i = 0; i < n; ++i)
        out[i] = char16_t(r.u16());
    return true;
}

// Reads one payload; the caller checks that it used up exactly the payload's bytes.
bool readOp(Reader &r, Op &op)
{
    switch (op.type) {
    case OpType::Pen:
        if (!r.has(10))
            return false;
        op.color = r.u32();
        op.size = r.f32();
        op.style = r.u8();
        op.flag = r.u8();
        return coordinate(op.size) && op.size >= 0 && op.style <= 5 && op.flag <= 1;
    case OpType::Brush:
        if (!r.has(5))
            return false;
        op.color = r.u32();
        op.style = r.u8();
        return op.style <= 1;
    case OpType::Font:
        if (!r.has(7))
            return false;
        op.size = r.f32();
        op.weight = r.u16();
        op.flag = r.u8();
        return std::isfinite(op.size) && op.size > 0 && op.size <= 100000 && op.weight >= 1
            && op.weight <= 1000 && op.flag <= 1 && readText(r, op.text);
    case OpType::Text:
        if (!r.has(12))
            return false;
        for (int i = 0; i < 3; ++i)
            if (!coordinate(op.v[i] = r.f32()))
                return false;
        return readText(r, op.text);
    case OpType::Line:
    case OpType::Rect:
        if (!r.has(16))
            return false;
        for (float &f : op.v)
            if (!coordinate(f = r.f32()))
                return false;
        return true;
    case OpType::Polygon: {
        if (!r.has(5))
            return false;
        op.style = r.u8();
        std::uint32_t n = r.u32();
        return op.style <= 2 && readPoints(r, n, op.points);
    }
    case OpType::Path: {
        if (!r.has(5))
            return false;
        op.style = r.u8();
        std::uint32_t count = r.u32();
        if (op.style > 1 || std::uint64_t(count) * 4 > r.left())
            return false;
        for (std::uint32_t i = 0; i < count; ++i) {
            if (!r.has(4))
                return false;
            std::uint32_t n = r.u32();
            if (!readPoints(r, n, op.points))
                return false;
            op.subpaths.push_back(n);
        }
        return true;
    }
    case OpType::Image: {
        if (!r.has(24))
            return false;
        for (float &f : op.v)
            if (!coordinate(f = r.f32()))
                return false;
        op.imageWidth = r.u32();
        op.imageHeight = r.u32();
        const std::uint64_t pixels = std::uint64_t(op.imageWidth) * op.imageHeight;
        if (op.imageWidth == 0 || op.imageHeight == 0 || op.imageWidth > kMaxPageSide
            || op.imageHeight > kMaxPageSide || pixels * 4 != r.left())
            return false;
        op.pixels.resize(pixels);
        for (auto &px : op.pixels)
            px = r.u32();
        return true;
    }
    case OpType::Clip:
        if (!r.has(17))
            return false;
        op.flag = r.u8();
        for (float &f : op.v)
            if (!coordinate(f = r.f32()))
                return false;
        return op.flag <= 1;
    }
    return false;
}

DecodedPage fail(std::string why)
{
    DecodedPage d;
    d.error = std::move(why);
    return d;
}

} // namespace

std::vector<std::uint8_t> encodePage(const Page &page)
{
    Writer w;
    for (char c : kMagic)
        w.u8(std::uint8_t(c));
    w.u16(kVersion);
    w.u16(0);
    w.u32(page.width);
    w.u32(page.height);
    w.u32(page.dpiX);
    w.u32(page.dpiY);
    w.u32(std::uint32_t(page.ops.size()));
    for (const Op &op : page.ops)
        writeOp(w, op);
    return std::move(w.out);
}

DecodedPage decodePage(const std::uint8_t *data, std::size_t size)
{
    if (size < kHeaderSize || std::memcmp(data, kMagic, 4) != 0)
        return fail("not a page file");
    Reader r(data, size);
    r.pos = 4;
    if (r.u16() != kVersion || r.u16() != 0)
        return fail("unknown page file version");
    DecodedPage d;
    Page &page = d.page;
    page.width = r.u32();
    page.height = r.u32();
    page.dpiX = r.u32();
    page.dpiY = r.u32();
    if (page.width == 0 || page.height == 0 || page.width > kMaxPageSide
        || page.height > kMaxPageSide || page.dpiX == 0 || page.dpiY == 0 || page.dpiX > kMaxDpi
        || page.dpiY > kMaxDpi)
        return fail("bad page size");
    const std::uint32_t count = r.u32();
    // Every op takes at least its five head bytes, so a count beyond that is a lie.
    if (std::uint64_t(count) * 5 > r.left())
        return fail("page file is truncated");
    page.ops.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!r.has(5))
            return fail("page file is truncated");
        Op op;
        const std::uint8_t type = r.u8();
        const std::uint32_t length = r.u32();
        if (type < std::uint8_t(OpType::Pen) || type > std::uint8_t(OpType::Clip))
            return fail("unknown drawing operation");
        if (length > r.left())
            return fail("page file is truncated");
        op.type = OpType(type);
        Reader payload(r.data + r.pos, length);
        if (!readOp(payload, op) || payload.left() != 0)
            return fail("damaged drawing operation");
        r.pos += length;
        page.ops.push_back(std::move(op));
    }
    if (r.left() != 0)
        return fail("data after the last drawing operation");
    d.ok = true;
    return d;
}

} // namespace kelpa::preview
