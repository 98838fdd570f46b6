#include "printmod/preview/core/PageFile.h"

#include "common/TempDir.h"

#include <cstring>
#include <functional>
#include <limits>
#include <gtest/gtest.h>

using namespace kelpa::preview;

namespace {

Page samplePage()
{
    Page p;
    p.width = 4960;
    p.height = 7016;
    p.dpiX = p.dpiY = 600;
    Op pen;
    pen.type = OpType::Pen;
    pen.color = 0xff102030;
    pen.size = 2;
    pen.style = 1;
    Op brush;
    brush.type = OpType::Brush;
    brush.color = 0xff00ff00;
    brush.style = 1;
    Op font;
    font.type = OpType::Font;
    font.text = u"DejaVu Sans";
    font.size = 83.3f;
    font.weight = 700;
    font.flag = 1;
    Op text;
    text.type = OpType::Text;
    text.v[0] = 300;
    text.v[1] = 400.5f;
    text.v[2] = 1234;
    text.text = u"Grüße \u20ac";
    Op line;
    line.type = OpType::Line;
    line.v[0] = 1, line.v[1] = 2, line.v[2] = 3, line.v[3] = 4;
    Op rect = line;
    rect.type = OpType::Rect;
    Op poly;
    poly.type = OpType::Polygon;
    poly.style = 2;
    poly.points = {0, 0, 10, 10, 20, 0};
    Op path;
    path.type = OpType::Path;
    path.style = 1;
    path.subpaths = {3, 2};
    path.points = {0, 0, 1, 1, 2, 0, 5, 5, 6, 6};
    Op image;
    image.type = OpType::Image;
    image.v[0] = 10, image.v[1] = 10, image.v[2] = 200, image.v[3] = 100;
    image.imageWidth = 2;
    image.imageHeight = 1;
    image.pixels = {0xffff0000, 0x8000ff00};
    Op clip;
    clip.type = OpType::Clip;
    clip.flag = 1;
    clip.v[2] = clip.v[3] = 50;
    p.ops = {pen, brush, font, text, line, rect, poly, path, image, clip};
    return p;
}

void expectSame(const Page &a, const Page &b)
{
    ASSERT_EQ(a.ops.size(), b.ops.size());
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.dpiX, b.dpiX);
    for (std::size_t i = 0; i < a.ops.size(); ++i) {
        const Op &x = a.ops[i], &y = b.ops[i];
        EXPECT_EQ(x.type, y.type) << i;
        EXPECT_EQ(x.color, y.color) << i;
        EXPECT_EQ(x.size, y.size) << i;
        EXPECT_EQ(x.style, y.style) << i;
        EXPECT_EQ(x.flag, y.flag) << i;
        EXPECT_EQ(x.text, y.text) << i;
        EXPECT_EQ(x.points, y.points) << i;
        EXPECT_EQ(x.subpaths, y.subpaths) << i;
        EXPECT_EQ(x.pixels, y.pixels) << i;
    }
}

void putU32(std::vector<std::uint8_t> &b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = std::uint8_t(v >> (8 * i));
}

void putF32(std::vector<std::uint8_t> &b, std::size_t at, float f)
{
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    putU32(b, at, v);
}

} // namespace

TEST(PageFile, RoundTripKeepsEveryOperation)
{
    const Page p = samplePage();
    const DecodedPage d = decodePage(encodePage(p));
    ASSERT_TRUE(d.ok) << d.error;
    expectSame(p, d.page);
}

TEST(PageFile, EveryTruncationIsAnError)
{
    const auto bytes = encodePage(samplePage());
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
        EXPECT_FALSE(decodePage(cut).ok) << "cut at " << n;
    }
}

TEST(PageFile, DamagedHeadsAndOperationsAreErrors)
{
    const auto good = encodePage(samplePage());
    // First op (the pen) starts after the 28-byte head: type at 28, length at 29, payload at 33.
    struct Case {
        const char *what;
        std::function<void(std::vector<std::uint8_t> &)> damage;
    } cases[] = {
        {"magic", [](auto &b) { b[0] = 'X'; }},
        {"version", [](auto &b) { b[4] = 2; }},
        {"zero width", [](auto &b) { putU32(b, 8, 0); }},
        {"huge height", [](auto &b) { putU32(b, 12, kMaxPageSide + 1); }},
        {"zero dpi", [](auto &b) { putU32(b, 16, 0); }},
        {"op count too high", [](auto &b) { putU32(b, 24, 11); }},
        {"op count too low", [](auto &b) { putU32(b, 24, 9); }},
        {"op count absurd", [](auto &b) { putU32(b, 24, 0xffffffffu); }},
        {"unknown op", [](auto &b) { b[28] = 99; }},
        {"payload length beyond end", [](auto &b) { putU32(b, 29, 0x7fffffff); }},
        {"payload length short", [](auto &b) { putU32(b, 29, 9); }},
        {"pen width NaN", [](auto &b) { putF32(b, 37, std::numeric_limits<float>::quiet_NaN()); }},
        {"pen style", [](auto &b) { b[41] = 9; }},
        {"trailing byte", [](auto &b) { b.push_back(0); }},
    };
    for (const Case &c : cases) {
        auto b = good;
        c.damage(b);
        EXPECT_FALSE(decodePage(b).ok) << c.what;
    }
}

TEST(PageFile, CountsThatDisagreeWithTheirPayloadAreErrors)
{
    // A polygon and an image whose counts claim more than their payload holds.
    for (OpType t : {OpType::Polygon, OpType::Image, OpType::Path, OpType::Text}) {
        Page p;
        p.width = p.height = 10;
        p.dpiX = p.dpiY = 96;
        Op op;
        op.type = t;
        op.points = {1, 1, 2, 2};
        op.subpaths = {2};
        op.text = u"ab";
        op.imageWidth = op.imageHeight = 1;
        op.pixels = {0};
        p.ops = {op};
        auto b = encodePage(p);
        ASSERT_TRUE(decodePage(b).ok);
        // The first count of each payload sits right after its fixed part.
        const std::size_t payload = 33;
        const std::size_t countAt = t == OpType::Polygon ? payload + 1
                                    : t == OpType::Path   ? payload + 5
                                    : t == OpType::Text   ? payload + 12
                                                          : payload + 16;
        putU32(b, countAt, 1000);
        EXPECT_FALSE(decodePage(b).ok) << int(t);
    }
}

TEST(PageFile, EmptyPageIsValid)
{
    Page p;
    p.width = p.height = 1;
    p.dpiX = p.dpiY = 1;
    EXPECT_TRUE(decodePage(encodePage(p)).ok);
}

TEST(PageFile, HandWrittenFileOfEveryOperationReads)
{
    // Written byte by byte from the layout described with the format (also a fuzzing seed).
    const auto bytes = kelpa::test::readBytes(KELPA_SOURCE_DIR "/fuzz/preview/seeds/page");
    const DecodedPage d = decodePage(bytes);
    ASSERT_TRUE(d.ok) << d.error;
    ASSERT_EQ(d.page.ops.size(), 10u);
    EXPECT_EQ(d.page.width, 620u);
    EXPECT_EQ(d.page.ops[3].text, u"Kelpa");
    EXPECT_EQ(d.page.ops[8].pixels, std::vector<std::uint32_t>{0xffff0000});
    EXPECT_EQ(encodePage(d.page), bytes);
}
