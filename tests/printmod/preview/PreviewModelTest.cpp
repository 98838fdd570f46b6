#include "printmod/preview/core/PreviewModel.h"

#include <functional>
#include <gtest/gtest.h>

using namespace kelpa::preview;

TEST(PreviewText, NumbersAndZoomTexts)
{
    EXPECT_EQ(pageText(3), "   3");
    EXPECT_EQ(pageText(12345), "12345");
    EXPECT_EQ(zoomText(1.0), "1.000");
    EXPECT_EQ(zoomText(0.25), "0.250");
    EXPECT_EQ(zoomText(12.5), "12.500");
    EXPECT_EQ(roundEven(2.5), 2);
    EXPECT_EQ(roundEven(3.5), 4);
    EXPECT_EQ(roundEven(-2.5), -2);
}

TEST(PreviewText, ZoomStepTexts)
{
    const std::pair<const char *, double> cases[] = {
        {"0.250", 0.25}, {"1.000", 1.0}, {"0.000", 0.0}, {"_.___", 0.1}, {"1.2__", 0.1},
        {"", 0.1},       {"inf", 0.1},   {"nan", 0.1},   {" 2.5 ", 2.5}, {"0x1p3", 0.1},
    };
    for (const auto &[text, value] : cases)
        EXPECT_DOUBLE_EQ(parseZoomStep(text), value) << text;
}

TEST(PreviewText, TypedPageNumbers)
{
    const std::pair<const char *, std::optional<int>> cases[] = {
        {"12", 12},  {"12a", 12},          {"  7", 7},         {"-3", -3},    {"+4", 4},
        {"$1F", 31}, {"0x10", 16},         {"", std::nullopt}, {"a1", std::nullopt},
        {"0", 0},    {"99999999999", std::nullopt},            {"   ", std::nullopt},
    };
    for (const auto &[text, value] : cases)
        EXPECT_EQ(parsePageNumber(text), value) << text;
}

TEST(PreviewGeometry, SeveralScreens)
{
    struct Case {
        int sw, sh;
        double ratio;
        int windowWidth, windowHeight, imageWidth, imageHeight;
        bool zoomControls;
    };
    // Worked by hand from the creation rules (A4 ratio 297/210, halves to even).
    const Case cases[] = {
        // 1280 x 1024: height 973, client 946; image field round((927.08-87)/1.4142857) = 594.
        {1280, 1024, 297.0 / 210.0, 606, 973, 568, 840, true},
        // 1920 x 1080: height 1026, client 999; image field round(891.02/1.4142857) = 630.
        {1920, 1080, 297.0 / 210.0, 644, 1026, 605, 892, true},
        // Unknown ratio: 0.707 of the image height, which is about A4.
        {1280, 1024, 0, 606, 973, 568, 840, true},
        // A screen too narrow for the page: the page is fitted to 98% of the width and the
        // height shrinks with it.
        {400, 1024, 297.0 / 210.0, 400, 642, 366, 516, false},
        // Very narrow: the window widens to hold the bottom bar, the zoom controls go.
        {250, 1024, 297.0 / 210.0, 321, 401, 289, 280, false},
    };
    for (const Case &c : cases) {
        const WindowGeometry g = previewGeometry(c.sw, c.sh, c.ratio);
        EXPECT_EQ(g.windowWidth, c.windowWidth) << c.sw << "x" << c.sh;
        EXPECT_EQ(g.windowHeight, c.windowHeight) << c.sw << "x" << c.sh;
        EXPECT_EQ(g.clientWidth, g.windowWidth - 8);
        EXPECT_EQ(g.clientHeight, g.windowHeight - 27);
        EXPECT_EQ(g.image.width, c.imageWidth) << c.sw << "x" << c.sh;
        EXPECT_EQ(g.image.height, c.imageHeight) << c.sw << "x" << c.sh;
        EXPECT_EQ(g.zoomControlsVisible, c.zoomControls) << c.sw << "x" << c.sh;
        EXPECT_EQ(g.panel.top, g.image.top + g.image.height + 3);
        EXPECT_EQ(g.panel.width, g.image.width + 22);
        EXPECT_EQ(g.editTop, g.panel.top + 4);
        EXPECT_EQ(g.editLeft, 79);
        // The image and its frame stay inside the client area.
        EXPECT_LE(g.image.left + g.image.width, g.clientWidth);
        EXPECT_LE(g.panel.top, g.clientHeight);
    }
}

TEST(PreviewGeometry, SecondWindowAndPlacement)
{
    const WindowGeometry g = secondWindowGeometry(1280, 1024, 297.0 / 210.0);
    EXPECT_EQ(g.windowWidth, 606);
    EXPECT_EQ(g.panel.top, g.image.top + g.image.height + 4);
    // Narrow: widened to hold its 417-pixel bar.
    EXPECT_EQ(secondWindowGeometry(250, 1024, 297.0 / 210.0).windowWidth, 430);

    struct Case {
        int screen, window, left;
        bool second;
    } cases[] = {
        {1280, 614, 26, true},  // two fit side by side
        {1228, 614, 0, true},   // exactly
        {1227, 614, 306, false}, // one pixel short: centred alone
        {500, 614, -57, false},
    };
    for (const Case &c : cases) {
        const Placement p = placeWindows(c.screen, c.window);
        EXPECT_EQ(p.left, c.left) << c.screen;
        EXPECT_EQ(p.secondWindow, c.second) << c.screen;
    }
}

TEST(PreviewRulers, Ticks)
{
    // A4 width in mm: 21 ticks of 10 mm, every second labelled, plus one past the end.
    auto t = rulerTicks(210, false, 568);
    ASSERT_EQ(t.size(), 23u);
    EXPECT_EQ(t[1].position, 27);
    EXPECT_FALSE(t[1].labelled);
    EXPECT_TRUE(t[2].labelled);
    EXPECT_EQ(t[2].value, 20);
    EXPECT_EQ(t[21].position, 21 * 27);
    // 8.5 inches: 8 ticks of 1 inch (rounded), each labelled.
    t = rulerTicks(8.5, true, 600);
    ASSERT_EQ(t.size(), 10u);
    EXPECT_EQ(t[1].value, 1);
    EXPECT_TRUE(t[1].labelled);
    EXPECT_EQ(t[1].position, 71); // 600 * (8 / 8.5) / 8
    EXPECT_FALSE(t[0].labelled);
    // A page shorter than one step still gets one tick; none for no page.
    t = rulerTicks(5, false, 100);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[1].value, 5);
    EXPECT_TRUE(rulerTicks(0, false, 100).empty());
    EXPECT_TRUE(rulerTicks(-1, true, 100).empty());
}

TEST(PreviewGeometry, Quadrants)
{
    EXPECT_EQ(quadrant(0, 101, 51), (Rect{0, 0, 50, 26}));
    EXPECT_EQ(quadrant(1, 101, 51), (Rect{50, 0, 51, 26}));
    EXPECT_EQ(quadrant(2, 101, 51), (Rect{0, 26, 50, 25}));
    EXPECT_EQ(quadrant(3, 101, 51), (Rect{50, 26, 51, 25}));
}

// --- Navigation

namespace {

struct View {
    bool compact = false, two = false;
    int pages = 10;
    int index = 0;
};

ViewState viewOf(const View &v)
{
    ViewState s;
    s.compact = v.compact;
    s.twoWindows = v.two;
    s.lastPageIndex = v.pages - 1;
    s.pageIndex = v.index;
    s.followNewest = false;
    return s;
}

} // namespace

TEST(PreviewNavigation, NextAndPrevious)
{
    struct Case {
        const char *what;
        View view;
        bool next; // else previous
        int index;
        bool previousOn, nextOn;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"single: next", {false, false, 3, 0}, true, 1, true, true, {paint(1)}},
        {"single: next to the last", {false, false, 3, 1}, true, 2, true, false, {paint(2)}},
        {"two windows: next pair", {false, true, 6, 0}, true, 2, true, true,
         {secondLabels(true), paint(2), paint(3)}},
        {"two windows: last pair", {false, true, 6, 2}, true, 4, true, false,
         {secondLabels(true), paint(4), paint(5)}},
        {"two windows: odd page count ends alone", {false, true, 5, 2}, true, 4, true, false,
         {secondLabels(true), paint(4), clearSecond(), secondLabels(false)}},
        {"compact: next sheet", {true, false, 10, 0}, true, 4, true, true, {paint(4)}},
        {"compact: last sheet", {true, false, 10, 4}, true, 8, true, false, {paint(8)}},
        {"compact two: last view half full", {true, true, 12, 0}, true, 8, true, false,
         {secondLabels(false), clearSecond(), paint(8)}},
        {"compact two: full next view", {true, true, 20, 0}, true, 8, true, true,
         {secondLabels(true), paint(8)}},
        {"single: previous", {false, false, 3, 2}, false, 1, true, true, {paint(1)}},
        {"single: previous to the first", {false, false, 3, 1}, false, 0, false, true, {paint(0)}},
        {"two windows: previous", {false, true, 6, 4}, false, 2, true, true,
         {secondLabels(true), secondLabels(true), paint(2), paint(3)}},
        {"compact: previous never below 0", {true, false, 10, 2}, false, 0, false, true, {paint(0)}},
        {"previous from past the end", {false, false, 3, 7}, false, 1, true, true, {paint(1)}},
    };
    for (const Case &c : cases) {
        ViewState s = viewOf(c.view);
        Navigator nav(s);
        const auto steps = c.next ? nav.next() : nav.previous();
        EXPECT_EQ(s.pageIndex, c.index) << c.what;
        EXPECT_EQ(s.previousOn, c.previousOn) << c.what;
        EXPECT_EQ(s.nextOn, c.nextOn) << c.what;
        EXPECT_EQ(steps, c.steps) << c.what;
        EXPECT_TRUE(s.reloadPage) << c.what;
        EXPECT_FALSE(s.followNewest) << c.what;
    }
}

TEST(PreviewNavigation, HomeAndEnd)
{
    struct Case {
        const char *what;
        View view;
        Key key;
        int index;
        bool previousOn, nextOn;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"home, single, 3 pages", {false, false, 3, 2}, Key::Home, 0, false, true, {paint(0)}},
        {"home, single, 1 page", {false, false, 1, 0}, Key::Home, 0, false, false, {paint(0)}},
        {"home, two windows", {false, true, 6, 4}, Key::Home, 0, false, true,
         {secondLabels(true), paint(0), paint(1)}},
        {"home, two windows, 2 pages", {false, true, 2, 0}, Key::Home, 0, false, false,
         {secondLabels(true), paint(0), paint(1)}},
        {"home, compact two, 8 pages: one view, no redraw", {true, true, 8, 0}, Key::Home, 0,
         false, false, {secondLabels(true)}},
        {"home, compact two, 20 pages", {true, true, 20, 16}, Key::Home, 0, false, true,
         {secondLabels(true), paint(0)}},
        {"home, compact, 4 pages", {true, false, 4, 0}, Key::Home, 0, false, false, {paint(0)}},
        {"end, single", {false, false, 10, 0}, Key::End, 9, true, false, {paint(9)}},
        {"end, two windows, even count", {false, true, 10, 0}, Key::End, 8, true, false,
         {paint(8), paint(9), secondLabels(true)}},
        {"end, two windows, odd count", {false, true, 9, 0}, Key::End, 8, true, false,
         {paint(8), clearSecond(), secondLabels(false)}},
        {"end, compact, 10 pages: page 10 alone", {true, false, 10, 0}, Key::End, 9, true, false,
         {paint(9)}},
        {"end, compact two, 20 pages", {true, true, 20, 0}, Key::End, 16, true, false,
         {secondLabels(false), clearSecond(), paint(16)}},
        {"end, compact two, 4 pages", {true, true, 4, 0}, Key::End, 0, false, false,
         {secondLabels(false), paint(0)}},
    };
    for (const Case &c : cases) {
        ViewState s = viewOf(c.view);
        const auto steps = Navigator(s).key(c.key);
        EXPECT_EQ(s.pageIndex, c.index) << c.what;
        EXPECT_EQ(s.previousOn, c.previousOn) << c.what;
        EXPECT_EQ(s.nextOn, c.nextOn) << c.what;
        EXPECT_EQ(steps, c.steps) << c.what;
    }
}

TEST(PreviewNavigation, PageKeysOnlyWhileTheirButtonIsEnabled)
{
    for (Key k : {Key::PageUp, Key::PageDown}) {
        ViewState s = viewOf({false, false, 5, 2});
        s.nextOn = s.previousOn = false;
        EXPECT_TRUE(Navigator(s).key(k).empty());
        EXPECT_EQ(s.pageIndex, 2);
        EXPECT_FALSE(s.followNewest);
        s.nextOn = s.previousOn = true;
        EXPECT_FALSE(Navigator(s).key(k).empty());
        EXPECT_EQ(s.pageIndex, k == Key::PageUp ? 3 : 1);
    }
}

TEST(PreviewNavigation, TypedPageNumbers)
{
    struct Case {
        const char *what;
        View view;
        const char *text;
        int index;
        std::vector<Step> steps;
        std::optional<std::string> edit;
    };
    const Case cases[] = {
        {"single", {false, false, 20, 0}, "12", 11, {paint(11)}, {}},
        {"single, trailing letter", {false, false, 20, 0}, "12a", 11, {paint(11)}, {}},
        // Anything that is not a page leaves the view and puts its page back into the box.
        {"zero ignored", {false, false, 20, 3}, "0", 3, {}, std::string("   4")},
        {"beyond the count ignored", {false, false, 20, 3}, "21", 3, {}, std::string("   4")},
        {"negative ignored", {false, true, 20, 2}, "-1", 2, {}, std::string("   3")},
        {"far beyond ignored", {false, true, 20, 2}, "99999", 2, {}, std::string("   3")},
        {"letters ignored", {true, false, 20, 4}, "abc", 4, {}, std::string("   5")},
        {"compact one window: the sheet of page 9", {true, false, 20, 4}, "9", 8, {paint(8)}, {}},
        {"compact one window: the sheet of page 20", {true, false, 20, 0}, "20", 16, {paint(16)}, {}},
        {"compact two: 12 shows 9-16", {true, true, 20, 0}, "12", 8, {secondLabels(true), paint(8)}, {}},
        {"compact two: 20 shows 17-20", {true, true, 20, 0}, "20", 16,
         {secondLabels(false), clearSecond(), paint(16)}, {}},
        {"two windows, odd", {false, true, 20, 0}, "5", 4, {paint(4), secondLabels(true), paint(5)}, {}},
        {"two windows, odd last", {false, true, 5, 0}, "5", 4,
         {paint(4), clearSecond(), secondLabels(false)}, {}},
        {"two windows, even", {false, true, 20, 0}, "6", 4, {paint(4), secondLabels(true), paint(5)}, {}},
        {"two windows, 24 shows 23-24", {false, true, 30, 0}, "24", 22,
         {paint(22), secondLabels(true), paint(23)}, {}},
    };
    for (const Case &c : cases) {
        ViewState s = viewOf(c.view);
        const auto t = Navigator(s).typedPage(c.text);
        EXPECT_EQ(s.pageIndex, c.index) << c.what;
        EXPECT_EQ(t.steps, c.steps) << c.what;
        EXPECT_EQ(t.editText, c.edit) << c.what;
    }
    ViewState s = viewOf({false, false, 20, 0});
    Navigator(s).typedPage("20");
    EXPECT_TRUE(s.previousOn);
    EXPECT_FALSE(s.nextOn);
}

// Previous and next are on exactly when there is a page before or after the view, and a
// next with nothing after the view changes nothing.
TEST(PreviewNavigation, ButtonsOnExactlyWhenThereIsAPageToGoTo)
{
    struct Case {
        const char *what;
        View view;
        std::function<std::vector<Step>(Navigator &)> act;
        int index;
        bool previousOn, nextOn;
    };
    const Case cases[] = {
        {"one page: the finished set-up", {false, false, 1, 0}, [](Navigator &n) { return n.finishedSetup(); },
         0, false, false},
        {"two pages, compact on and off", {false, true, 2, 0},
         [](Navigator &n) {
             n.setCompact(true);
             return n.setCompact(false);
         },
         0, false, false},
        {"four pages, two windows, typed 3", {false, true, 4, 0},
         [](Navigator &n) { return n.typedPage("3").steps; }, 2, true, false},
        {"four pages, two windows, typed 2", {false, true, 4, 2},
         [](Navigator &n) { return n.typedPage("2").steps; }, 0, false, true},
        {"three pages, one window, set-up", {false, false, 3, 0}, [](Navigator &n) { return n.finishedSetup(); },
         0, false, true},
        {"five pages, compact one window, set-up", {true, false, 5, 0},
         [](Navigator &n) { return n.finishedSetup(); }, 0, false, true},
        {"four pages, compact one window, set-up", {true, false, 4, 0},
         [](Navigator &n) { return n.finishedSetup(); }, 0, false, false},
        {"three pages, compact on", {false, false, 3, 2}, [](Navigator &n) { return n.setCompact(true); }, 0,
         false, false},
        {"ten pages, compact two windows, compact off", {true, true, 10, 8},
         [](Navigator &n) { return n.setCompact(false); }, 0, false, true},
        {"single, previous to the first page", {false, false, 4, 1}, [](Navigator &n) { return n.previous(); }, 0,
         false, true},
        {"two windows, next to the last pair", {false, true, 4, 0}, [](Navigator &n) { return n.next(); }, 2, true,
         false},
    };
    for (const Case &c : cases) {
        ViewState s = viewOf(c.view);
        Navigator nav(s);
        c.act(nav);
        EXPECT_EQ(s.pageIndex, c.index) << c.what;
        EXPECT_EQ(s.previousOn, c.previousOn) << c.what;
        EXPECT_EQ(s.nextOn, c.nextOn) << c.what;
    }

    struct Stay {
        const char *what;
        View view;
    };
    const Stay stays[] = {
        {"single, last page", {false, false, 3, 2}},
        {"two windows, last page alone", {false, true, 5, 4}},
        {"two windows, last pair", {false, true, 4, 2}},
        {"compact, last sheet", {true, false, 10, 8}},
        {"compact two windows, last view", {true, true, 12, 8}},
        {"one page", {false, false, 1, 0}},
    };
    for (const Stay &c : stays) {
        ViewState s = viewOf(c.view);
        EXPECT_TRUE(Navigator(s).next().empty()) << c.what;
        EXPECT_EQ(s.pageIndex, c.view.index) << c.what;
        EXPECT_FALSE(s.nextOn) << c.what;
    }
}

// While pages are still coming, the page shown (the newest) becomes the view's page as soon as
// the user moves: nothing goes blank.
TEST(PreviewNavigation, MovingWhileFormattingStartsFromThePageShown)
{
    ViewState s = viewOf({false, false, 5, 5});
    s.followNewest = true; // page 5 (index 4) on screen
    Navigator nav(s);
    EXPECT_EQ(nav.previous(), std::vector<Step>{paint(3)});
    EXPECT_FALSE(s.followNewest);

    ViewState z = viewOf({false, false, 5, 5});
    z.followNewest = true;
    EXPECT_EQ(Navigator(z).larger(), std::vector<Step>{paint(4)});
}

TEST(PreviewNavigation, Zoom)
{
    ViewState s = viewOf({false, false, 3, 0});
    Navigator nav(s);
    nav.larger();
    EXPECT_EQ(zoomText(s.zoom), "1.250");
    EXPECT_TRUE(s.smallerOn);
    EXPECT_EQ(s.imageHint, "Click right mouse button for original size");
    EXPECT_FALSE(s.reloadPage); // the single view draws the cached page
    s.zoom = 1.1;
    nav.smaller();
    EXPECT_EQ(zoomText(s.zoom), "1.000");
    EXPECT_FALSE(s.smallerOn);
    EXPECT_EQ(s.imageHint, "");

    nav.setZoomStep("0.000");
    nav.larger();
    nav.smaller();
    EXPECT_EQ(s.zoom, 1.0);
    nav.setZoomStep("_.___");
    EXPECT_DOUBLE_EQ(s.zoomStep, 0.1);

    nav.setZoomStep("2.000");
    nav.larger();
    EXPECT_EQ(s.zoom, 3.0);
    s.imageHint = "kept";
    EXPECT_EQ(nav.resetZoom(false), std::vector<Step>{paint(0)});
    EXPECT_EQ(s.zoom, 1.0);
    EXPECT_EQ(s.imageHint, "kept"); // the double click leaves the hint
    nav.larger();
    nav.resetZoom(true);
    EXPECT_EQ(s.imageHint, "");

    // Two windows in the single view reload and draw both pages, or clear the second.
    ViewState t = viewOf({false, true, 3, 2});
    EXPECT_EQ(Navigator(t).larger(), (std::vector<Step>{paint(2), clearSecond()}));
    EXPECT_TRUE(t.reloadPage);
    ViewState c = viewOf({true, false, 9, 0});
    Navigator(c).larger();
    EXPECT_TRUE(c.reloadPage);
}

TEST(PreviewNavigation, CompactSwitch)
{
    ViewState s = viewOf({false, true, 3, 2});
    EXPECT_EQ(Navigator(s).setCompact(true),
              (std::vector<Step>{secondLabels(false), clearSecond(), paint(0)}));
    EXPECT_EQ(s.pageIndex, 0);
    EXPECT_FALSE(s.nextOn);
    EXPECT_EQ(Navigator(s).setCompact(false), (std::vector<Step>{paint(0), paint(1)}));
    EXPECT_TRUE(s.nextOn);
    ViewState big = viewOf({false, true, 9, 4});
    Navigator(big).setCompact(true);
    EXPECT_TRUE(big.nextOn);
    EXPECT_FALSE(big.previousOn); // from page 5 back to page 1
    ViewState one = viewOf({true, false, 9, 4});
    Navigator(one).setCompact(false);
    EXPECT_FALSE(one.previousOn);
    EXPECT_TRUE(one.nextOn);
}

TEST(PreviewNavigation, FinishedSetup)
{
    ViewState s = viewOf({false, true, 2, 1});
    s.followNewest = true;
    EXPECT_EQ(Navigator(s).finishedSetup(), (std::vector<Step>{paint(0), paint(1)}));
    EXPECT_EQ(s.pageIndex, 0);
    EXPECT_FALSE(s.followNewest);
    EXPECT_FALSE(s.nextOn); // two pages, both shown
    ViewState one = viewOf({false, false, 5, 4});
    EXPECT_EQ(Navigator(one).finishedSetup(), std::vector<Step>{paint(0)});
    EXPECT_TRUE(one.nextOn);
}

TEST(PreviewPrinting, JobsPerPageOrSheet)
{
    EXPECT_EQ(printUnits(true, 4), 1);
    EXPECT_EQ(printUnits(true, 5), 2);
    EXPECT_EQ(printUnits(true, 8), 2);
    EXPECT_EQ(printUnits(true, 9), 3);
    EXPECT_EQ(printUnits(false, 9), 9);

    const auto single = printJobs(false, 5, 2, 3);
    ASSERT_EQ(single.size(), 2u);
    EXPECT_EQ(single[0].parts, (std::vector<PrintSlot>{{1, -1}}));
    EXPECT_EQ(single[1].parts, (std::vector<PrintSlot>{{2, -1}}));

    const auto sheets = printJobs(true, 5, 1, 2);
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets[1].parts, (std::vector<PrintSlot>{{4, 0}, {5, 1}, {6, 2}, {7, 3}}));
    // A range beyond what there is prints what there is.
    EXPECT_EQ(printJobs(false, 3, 2, 99).size(), 2u);
    EXPECT_TRUE(printJobs(false, 3, 4, 5).empty());
}
