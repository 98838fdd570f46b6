#pragma once
// What the preview windows do, without the windows: their geometry, the ruler ticks, the zoom,
// and the navigation commands as changes of the view state plus the list of paints and
// second-window changes the window then carries out in order.
#include <optional>
#include <string>
#include <vector>

namespace kelpa::preview {

// Rounding of the preview's geometry: to the nearest integer, halves to even.
int roundEven(double v);
// Str(n, 4): right-aligned in at least 4 characters.
std::string pageText(int n);
// Str(x, 5, 3): 3 decimals, right-aligned in at least 5 characters.
std::string zoomText(double x);
// The zoom step typed in the step box; 0.1 for anything that is not a number.
double parseZoomStep(const std::string &text);
// A typed page number: leading blanks, a sign, "$" or "0x" for hexadecimal; reading stops at
// the first character that does not belong to the number. Nothing when no digit was read or
// the value does not fit.
std::optional<int> parsePageNumber(const std::string &text);

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Rect &) const = default;
};

// Window geometry worked out at creation; sizes of the window include its frame (8 wide,
// 27 high), the client area does not.
struct WindowGeometry {
    int windowWidth = 0, windowHeight = 0;
    int clientWidth = 0, clientHeight = 0;
    int imageWidthField = 0; // ImageWidth
    Rect image;              // Image1 and ScrollBox1
    Rect panel;              // Panel1 (height is the window's business)
    bool zoomControlsVisible = true;
    int editTop = 0, editLeft = 0;
};
// ratioPage: page height / width, 0 when unknown.
WindowGeometry previewGeometry(int screenWidth, int screenHeight, double ratioPage);
WindowGeometry secondWindowGeometry(int screenWidth, int screenHeight, double ratioPage);

// Where the preview window goes at its first set-up, and whether the second window fits.
struct Placement {
    int left = 0;
    bool secondWindow = false;
};
Placement placeWindows(int screenWidth, int windowWidth);

struct RulerTick {
    int position = 0;  // pixels from the ruler's start
    int value = 0;     // in the measure unit
    bool labelled = false;
};
// pageLength in millimetres or inches; ticks every 10 mm or 1 inch, labelled every second
// one in millimetres and each one in inches. Empty for a length that is not positive.
std::vector<RulerTick> rulerTicks(double pageLength, bool inches, int pixels);

// Quadrant `slot` (0 top left, 1 top right, 2 bottom left, 3 bottom right) of a W x H area.
Rect quadrant(int slot, int width, int height);

enum class StepKind { Paint, ClearSecond, SecondLabels };
struct Step {
    StepKind kind = StepKind::Paint;
    int pageIndex = 0; // Paint: the index the paint runs with
    bool visible = false; // SecondLabels
    bool operator==(const Step &) const = default;
};
inline Step paint(int i) { return {StepKind::Paint, i, false}; }
inline Step clearSecond() { return {StepKind::ClearSecond, 0, false}; }
inline Step secondLabels(bool v) { return {StepKind::SecondLabels, 0, v}; }

struct ViewState {
    int pageIndex = 0;
    int lastPageIndex = -1;
    bool followNewest = true;
    bool reloadPage = true;
    bool compact = false;
    bool twoWindows = false;
    double zoom = 1.0;
    double zoomStep = 0.25;
    bool previousOn = true; // the previous group (ArrowButton1 and its labels)
    bool nextOn = true;     // the next group (ArrowButton2 and its labels)
    bool smallerOn = false; // "&Smaller"
    std::string imageHint;  // hint of the page image
    // Pages one view holds: 1, 2 (two windows), 4 (compact), 8 (compact, two windows).
    int viewPages() const { return (compact ? 4 : 1) * (twoWindows ? 2 : 1); }
};

enum class Key { PageUp, PageDown, Home, End };

// The commands; each changes `s` and returns what to draw, in order.
class Navigator {
public:
    explicit Navigator(ViewState &s) : s_(s) {}
    std::vector<Step> next();
    std::vector<Step> previous();
    // PgUp and PgDn act only while their button is enabled.
    std::vector<Step> key(Key k);
    std::vector<Step> larger();
    std::vector<Step> smaller();
    std::vector<Step> resetZoom(bool updateHint);
    void setZoomStep(const std::string &text) { s_.zoomStep = parseZoomStep(text); }
    std::vector<Step> setCompact(bool on);
    struct Typed {
        std::vector<Step> steps;
        std::optional<std::string> editText; // the page box is set to this
    };
    // A number typed whole into the page box: the view that holds that page. Anything that
    // is not a page of the document puts the page shown back into the box.
    Typed typedPage(const std::string &text);
    // Leaves the page shown while formatting (one before PageIndex) as the view's page.
    void stopFollowing();
    // Previous and next on exactly when there is a page before or after the view.
    void refreshButtons();
    // The set-up of the finished preview on activation (the second window already decided).
    std::vector<Step> finishedSetup();
    // The current view drawn again (after printing, which shows each page as it goes).
    std::vector<Step> view() const;

private:
    std::vector<Step> home();
    std::vector<Step> end();
    std::vector<Step> zoomRedraw();
    ViewState &s_;
};

// Printing from the cache: one job per page, or per sheet of four pages in the compact view.
struct PrintSlot {
    int pageIndex = 0;
    int quadrant = -1; // -1: the whole page
    bool operator==(const PrintSlot &) const = default;
};
struct PrintJob {
    std::vector<PrintSlot> parts;
    bool operator==(const PrintJob &) const = default;
};
// Pages, or sheets in the compact view, that the print dialog offers: 1 .. the result.
int printUnits(bool compact, int pageCount);
// Jobs for units first .. last (1-based); units outside 1 .. printUnits are left out.
std::vector<PrintJob> printJobs(bool compact, int pageCount, int first, int last);

} // namespace kelpa::preview
