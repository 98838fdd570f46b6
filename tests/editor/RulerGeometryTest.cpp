// Marker positions for indents and the indents that dropped markers give.
#include "editor/RulerGeometry.h"

#include <gtest/gtest.h>

using namespace kelpa::editor;

TEST(Ruler, MarkersForIndents)
{
    struct Case {
        int first, left, right, width;
        RulerMarkers markers;
    } cases[] = {
        {0, 0, 0, 600, {-2, -2, 592}},
        {30, 0, 0, 600, {38, 38, 592}},       // 30 x 1.3333334 = 40.000001: 40
        {30, 15, 10, 600, {38, 58, 578}},
        {3, 0, 0, 600, {2, 2, 592}},
        {-9, 9, 0, 600, {-14, -2, 592}},      // negative products truncate toward zero
        {0, 0, 373, 500, {-2, -2, -6}},
    };
    for (const Case &c : cases) {
        const RulerMarkers m = markerPositions(c.first, c.left, c.right, c.width);
        EXPECT_EQ(m.first, c.markers.first) << c.first << " " << c.left << " " << c.right;
        EXPECT_EQ(m.left, c.markers.left) << c.first << " " << c.left << " " << c.right;
        EXPECT_EQ(m.right, c.markers.right) << c.first << " " << c.left << " " << c.right;
    }
}

TEST(Ruler, DroppedMarkers)
{
    // Quotients by the single-precision scale fall just short of whole numbers: a marker
    // dropped at 38 (40 pixels in) gives 29 points, where 4/3 would give 30.
    struct Left {
        int at, right, first;
        MarkerDrop drop;
    } lefts[] = {
        {38, 500, 0, {38, 29}},
        {2, 500, 0, {2, 2}},
        {38, 500, 30, {38, -1}},
        {-50, 500, 0, {-4, -1}},
        {700, 590, 0, {585, 440}},  // width - 9, then 5 left of the right marker
        {589, 590, 0, {585, 440}},  // onto the right marker: 5 left of it
        {300, 590, 0, {300, 226}},
    };
    for (const Left &c : lefts) {
        const MarkerDrop d = dropLeftMarker(c.at, c.right, 600, 4, c.first);
        EXPECT_EQ(d.position, c.drop.position) << c.at;
        EXPECT_EQ(d.indent, c.drop.indent) << c.at;
    }
    struct First {
        int at;
        MarkerDrop drop;
    } firsts[] = {{38, {38, 29}}, {-10, {-4, -1}}, {700, {595, 447}}, {2, {2, 2}}};
    for (const First &c : firsts) {
        const MarkerDrop d = dropFirstMarker(c.at, 600, 4);
        EXPECT_EQ(d.position, c.drop.position) << c.at;
        EXPECT_EQ(d.indent, c.drop.indent) << c.at;
    }
    struct Right {
        int at, left;
        MarkerDrop drop;
    } rights[] = {
        {592, -2, {592, 3}},
        {700, -2, {593, 2}},
        {-30, -2, {3, 445}},  // far left: 5 right of the left marker
        {0, -10, {1, 446}},   // 0 or less becomes 1
        {100, 200, {205, 293}},
    };
    for (const Right &c : rights) {
        const MarkerDrop d = dropRightMarker(c.at, c.left, 600, 4);
        EXPECT_EQ(d.position, c.drop.position) << c.at;
        EXPECT_EQ(d.indent, c.drop.indent) << c.at;
    }
}
