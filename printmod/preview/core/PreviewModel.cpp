#include "PreviewModel.h"

#include "platform/numbers/IntegerText.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kelpa::preview {

int roundEven(double v)
{
    return int(std::nearbyint(v)); // the default rounding mode rounds halves to even
}

std::string pageText(int n)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%4d", n);
    return buf;
}

std::string zoomText(double x)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%5.3f", x);
    return buf;
}

double parseZoomStep(const std::string &text)
{
    std::size_t b = text.find_first_not_of(' ');
    std::size_t e = text.find_last_not_of(' ');
    if (b == std::string::npos)
        return 0.1;
    const std::string t = text.substr(b, e - b + 1);
    // Only plain decimals: strtod would also take "inf", "nan" and hexadecimal floats.
    for (char c : t)
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+')
            return 0.1;
    char *end = nullptr;
    errno = 0;
    const double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || errno != 0 || !std::isfinite(v))
        return 0.1;
    return v;
}

std::optional<int> parsePageNumber(const std::string &text)
{
    return parseInteger(text, IntegerSyntax::PrefixedLeading);
}

namespace {

int imageWidthFor(int clientHeight, double ratioPage)
{
    return ratioPage != 0 ? roundEven((clientHeight * 0.98 - 87) / ratioPage)
                          : roundEven((clientHeight * 0.98 - 87) * 0.707);
}

void layoutClient(WindowGeometry &g, int panelGap)
{
    g.image.top = roundEven(g.clientHeight * 0.01) + 16;
    g.image.left = roundEven(g.clientWidth * 0.01) + 18;
    g.image.height = roundEven(g.clientHeight * 0.98) - 87;
    g.image.width = roundEven(g.clientWidth * 0.98) - 18;
    g.panel.top = g.image.top + g.image.height + panelGap;
    g.panel.left = 0;
    g.panel.width = g.image.width + 22;
    g.editTop = g.panel.top + 4;
    g.editLeft = g.panel.left + 79;
}

} // namespace

WindowGeometry previewGeometry(int screenWidth, int screenHeight, double ratioPage)
{
    WindowGeometry g;
    int wh = roundEven(screenHeight * 0.95);
    int iw = imageWidthFor(wh - 27, ratioPage);
    if (screenWidth < roundEven(iw * 1.0204) && iw != 0) {
        wh = roundEven(wh * (screenWidth / 1.0204) / iw);
        iw = roundEven(screenWidth * 0.98);
    }
    g.windowHeight = wh;
    g.clientHeight = wh - 27;
    g.imageWidthField = iw;
    g.windowWidth = roundEven(iw * 1.0204);
    g.clientWidth = g.windowWidth - 8;
    if (g.clientWidth < roundEven(g.clientWidth * 0.02) + 417) {
        if (g.clientWidth < roundEven(g.clientWidth * 0.02) + 310) {
            g.windowWidth = roundEven((g.clientWidth * 0.02 + 310) * 1.0204);
            g.clientWidth = g.windowWidth - 8;
        }
        g.zoomControlsVisible = false;
    }
    layoutClient(g, 3);
    return g;
}

WindowGeometry secondWindowGeometry(int screenWidth, int screenHeight, double ratioPage)
{
    WindowGeometry g;
    g.windowHeight = roundEven(screenHeight * 0.95);
    g.clientHeight = g.windowHeight - 27;
    int iw = imageWidthFor(g.clientHeight, ratioPage);
    if (screenWidth < roundEven(iw * 1.0204))
        iw = roundEven(screenWidth * 0.98);
    g.imageWidthField = iw;
    g.windowWidth = roundEven(iw * 1.0204);
    g.clientWidth = g.windowWidth - 8;
    if (g.clientWidth < roundEven(g.clientWidth * 0.02) + 417) {
        g.windowWidth = roundEven((g.clientWidth * 0.02 + 417) * 1.0204);
        g.clientWidth = g.windowWidth - 8;
    }
    layoutClient(g, 4);
    return g;
}

Placement placeWindows(int screenWidth, int windowWidth)
{
    Placement p;
    p.left = std::max(0, roundEven((screenWidth - 2 * windowWidth) * 0.5));
    if (screenWidth < p.left + 2 * windowWidth) {
        p.left = roundEven((screenWidth - windowWidth) * 0.5);
        return p;
    }
    p.secondWindow = true;
    return p;
}

std::vector<RulerTick> rulerTicks(double pageLength, bool inches, int pixels)
{
    std::vector<RulerTick> ticks;
    if (!(pageLength > 0) || !std::isfinite(pageLength) || pageLength > 1e6)
        return ticks;
    const int step = inches ? 1 : 10;
    int n = int(pageLength / step);
    if (n == 0)
        n = 1;
    const int u = roundEven(pageLength / n);
    const int d = roundEven(pixels * (n * u / pageLength) / n);
    for (int i = 0; i <= n + 1; ++i)
        ticks.push_back({i * d, i * u, i > 0 && (i % 2 == 0 || inches)});
    return ticks;
}

Rect quadrant(int slot, int width, int height)
{
    const int w = roundEven(width / 2.0), h = roundEven(height / 2.0);
    switch (slot) {
    case 0: return {0, 0, w, h};
    case 1: return {w, 0, width - w, h};
    case 2: return {0, h, w, height - h};
    default: return {w, h, width - w, height - h};
    }
}

// --- Navigation

std::vector<Step> Navigator::next()
{
    std::vector<Step> out;
    ViewState &s = s_;
    stopFollowing();
    s.reloadPage = true;
    const int v = s.viewPages();
    if (s.pageIndex + v > s.lastPageIndex) {
        refreshButtons(); // nothing follows: the view stays as it is
        return out;
    }
    if (s.compact) {
        s.pageIndex += v;
        if (s.pageIndex >= v)
            s.previousOn = true;
        else if (s.pageIndex <= 0)
            s.previousOn = false;
        s.nextOn = s.pageIndex + v - 1 < s.lastPageIndex;
        if (s.twoWindows) {
            if (s.pageIndex + 4 > s.lastPageIndex) {
                out.push_back(secondLabels(false));
                out.push_back(clearSecond());
            } else {
                out.push_back(secondLabels(true));
            }
        }
        out.push_back(paint(s.pageIndex));
        refreshButtons();
        return out;
    }
    if (s.twoWindows)
        out.push_back(secondLabels(true));
    s.pageIndex = std::min(s.pageIndex + v, s.lastPageIndex);
    if (s.pageIndex == s.lastPageIndex || (s.twoWindows && s.pageIndex + 1 >= s.lastPageIndex)) {
        s.previousOn = true;
        s.nextOn = false;
    } else {
        s.previousOn = s.nextOn = true;
    }
    out.push_back(paint(s.pageIndex));
    if (s.twoWindows) {
        if (s.pageIndex + 1 <= s.lastPageIndex) {
            out.push_back(paint(s.pageIndex + 1));
        } else {
            out.push_back(clearSecond());
            out.push_back(secondLabels(false));
        }
    }
    refreshButtons();
    return out;
}

std::vector<Step> Navigator::previous()
{
    std::vector<Step> out;
    ViewState &s = s_;
    stopFollowing();
    if (s.pageIndex > s.lastPageIndex)
        s.pageIndex = s.lastPageIndex;
    s.reloadPage = true;
    s.pageIndex = std::max(0, s.pageIndex - s.viewPages());
    s.previousOn = s.pageIndex != 0;
    s.nextOn = true;
    if (s.twoWindows && s.lastPageIndex > 3)
        out.push_back(secondLabels(true));
    if (s.twoWindows && !s.compact) {
        out.push_back(secondLabels(true));
        out.push_back(paint(s.pageIndex));
        if (s.pageIndex + 1 <= s.lastPageIndex)
            out.push_back(paint(s.pageIndex + 1));
    } else {
        out.push_back(paint(s.pageIndex));
    }
    refreshButtons();
    return out;
}

std::vector<Step> Navigator::home()
{
    std::vector<Step> out;
    ViewState &s = s_;
    s.pageIndex = 0;
    s.nextOn = true;
    s.previousOn = false;
    if (s.twoWindows && !s.compact) {
        out.push_back(secondLabels(true));
        out.push_back(paint(0));
        if (1 <= s.lastPageIndex)
            out.push_back(paint(1));
        else
            out.push_back(clearSecond());
        if (s.lastPageIndex <= 1)
            s.previousOn = s.nextOn = false;
    } else if (s.twoWindows) {
        if (s.lastPageIndex > 3)
            out.push_back(secondLabels(true));
        else
            s.previousOn = s.nextOn = false;
        if (s.lastPageIndex <= 7)
            s.previousOn = s.nextOn = false; // the one view there is already shows
        else
            out.push_back(paint(0));
    } else {
        if (s.lastPageIndex < s.viewPages())
            s.previousOn = s.nextOn = false;
        else
            s.nextOn = true;
        out.push_back(paint(0));
    }
    refreshButtons();
    return out;
}

std::vector<Step> Navigator::end()
{
    std::vector<Step> out;
    ViewState &s = s_;
    const int last = s.lastPageIndex;
    if (!s.compact)
        s.pageIndex = s.twoWindows ? (last % 2 == 0 ? last : last - 1) : last;
    else
        s.pageIndex = s.twoWindows ? last / 8 * 8 : last;
    s.pageIndex = std::max(0, s.pageIndex);
    s.nextOn = false;
    s.previousOn = true;
    if (s.twoWindows && !s.compact) {
        out.push_back(paint(s.pageIndex));
        if (s.pageIndex + 1 > last) {
            out.push_back(clearSecond());
            out.push_back(secondLabels(false));
        } else {
            out.push_back(paint(s.pageIndex + 1));
            out.push_back(secondLabels(true));
        }
        if (last <= 1)
            s.previousOn = s.nextOn = false;
    } else if (s.twoWindows) {
        if (last <= 3)
            out.push_back(secondLabels(false));
        if (last <= 7) {
            s.previousOn = s.nextOn = false;
        } else if (last < s.pageIndex + 4) {
            out.push_back(secondLabels(false));
            out.push_back(clearSecond());
        }
        out.push_back(paint(s.pageIndex));
    } else {
        out.push_back(paint(s.pageIndex));
    }
    refreshButtons();
    return out;
}

std::vector<Step> Navigator::key(Key k)
{
    stopFollowing();
    switch (k) {
    case Key::PageUp:
        return s_.nextOn ? next() : std::vector<Step>{};
    case Key::PageDown:
        return s_.previousOn ? previous() : std::vector<Step>{};
    case Key::Home:
        return home();
    case Key::End:
        return end();
    }
    return {};
}

std::vector<Step> Navigator::zoomRedraw()
{
    std::vector<Step> out;
    if (s_.twoWindows && !s_.compact) {
        s_.reloadPage = true;
        out.push_back(paint(s_.pageIndex));
        if (s_.pageIndex + 1 > s_.lastPageIndex)
            out.push_back(clearSecond());
        else
            out.push_back(paint(s_.pageIndex + 1));
    } else {
        out.push_back(paint(s_.pageIndex));
    }
    return out;
}

static std::string zoomHint(double zoom)
{
    return zoom > 1.0 ? "Click right mouse button for original size" : "";
}

std::vector<Step> Navigator::larger()
{
    stopFollowing();
    s_.reloadPage = s_.compact;
    s_.zoom += s_.zoomStep;
    s_.smallerOn = s_.zoom > 1.0;
    auto out = zoomRedraw();
    s_.imageHint = zoomHint(s_.zoom);
    return out;
}

std::vector<Step> Navigator::smaller()
{
    stopFollowing();
    s_.reloadPage = s_.compact;
    s_.zoom -= s_.zoomStep;
    if (s_.zoom < 1.0)
        s_.zoom = 1.0;
    s_.smallerOn = s_.zoom != 1.0;
    auto out = zoomRedraw();
    s_.imageHint = zoomHint(s_.zoom);
    return out;
}

std::vector<Step> Navigator::resetZoom(bool updateHint)
{
    s_.zoom = 1.0;
    s_.smallerOn = false;
    auto out = zoomRedraw();
    if (updateHint)
        s_.imageHint = zoomHint(s_.zoom);
    return out;
}

std::vector<Step> Navigator::setCompact(bool on)
{
    std::vector<Step> out;
    ViewState &s = s_;
    s.compact = on;
    s.pageIndex = 0;
    s.previousOn = false; // back on the first page, nothing comes before
    if (!on) {
        s.nextOn = true;
    } else if (s.twoWindows) {
        if (s.lastPageIndex <= 3) {
            out.push_back(secondLabels(false));
            out.push_back(clearSecond());
        }
        if (s.lastPageIndex > 7)
            s.nextOn = true;
        else
            s.previousOn = s.nextOn = false;
    }
    out.push_back(paint(0));
    if (s.twoWindows && !on)
        out.push_back(paint(1));
    refreshButtons();
    return out;
}

void Navigator::stopFollowing()
{
    if (!s_.followNewest)
        return;
    s_.followNewest = false;
    s_.pageIndex = std::max(0, std::min(s_.pageIndex - 1, s_.lastPageIndex));
}

void Navigator::refreshButtons()
{
    if (s_.followNewest) {
        // The newest page is shown: only earlier ones can be gone to.
        s_.previousOn = s_.pageIndex - 1 > 0;
        s_.nextOn = false;
        return;
    }
    s_.previousOn = s_.pageIndex > 0;
    s_.nextOn = s_.pageIndex + s_.viewPages() <= s_.lastPageIndex;
}

Navigator::Typed Navigator::typedPage(const std::string &text)
{
    Typed t;
    ViewState &s = s_;
    stopFollowing();
    const auto p = parsePageNumber(text);
    const int n = s.lastPageIndex + 1;
    if (!p || *p < 1 || *p > n) {
        t.editText = pageText(s.pageIndex + 1);
        refreshButtons();
        return t;
    }
    if (s.compact) {
        // The sheet (or the two sheets of both windows) that holds page p.
        const int v = s.viewPages();
        s.pageIndex = v * ((*p - 1) / v);
        t.steps.push_back(paint(s.pageIndex));
        if (s.twoWindows) {
            if (s.pageIndex + 4 > s.lastPageIndex) {
                t.steps.insert(t.steps.begin(), clearSecond());
                t.steps.insert(t.steps.begin(), secondLabels(false));
            } else {
                t.steps.insert(t.steps.begin(), secondLabels(true));
            }
        }
    } else if (!s.twoWindows) {
        s.pageIndex = *p - 1;
        t.steps.push_back(paint(s.pageIndex));
    } else {
        // The pair holds an odd page first: page p and its neighbour.
        s.pageIndex = (*p - 1) / 2 * 2;
        t.steps.push_back(paint(s.pageIndex));
        if (s.pageIndex + 1 > s.lastPageIndex) {
            t.steps.push_back(clearSecond());
            t.steps.push_back(secondLabels(false));
        } else {
            t.steps.push_back(secondLabels(true));
            t.steps.push_back(paint(s.pageIndex + 1));
        }
    }
    refreshButtons();
    return t;
}

std::vector<Step> Navigator::finishedSetup()
{
    ViewState &s = s_;
    s.pageIndex = 0;
    s.followNewest = false;
    s.reloadPage = true;
    s.previousOn = false;
    s.nextOn = true;
    std::vector<Step> out{paint(0)};
    if (s.twoWindows && !s.compact)
        out.push_back(paint(1));
    refreshButtons();
    return out;
}

std::vector<Step> Navigator::view() const
{
    std::vector<Step> out{paint(s_.pageIndex)};
    if (s_.twoWindows && !s_.compact) {
        if (s_.pageIndex + 1 <= s_.lastPageIndex)
            out.push_back(paint(s_.pageIndex + 1));
        else
            out.push_back(clearSecond());
    }
    return out;
}

// --- Printing

int printUnits(bool compact, int pageCount)
{
    return compact ? (pageCount + 3) / 4 : pageCount;
}

std::vector<PrintJob> printJobs(bool compact, int pageCount, int first, int last)
{
    std::vector<PrintJob> jobs;
    const int units = printUnits(compact, pageCount);
    for (int u = std::max(1, first); u <= std::min(last, units); ++u) {
        PrintJob job;
        if (!compact) {
            job.parts.push_back({u - 1, -1});
        } else {
            for (int i = 0; i < 4; ++i)
                job.parts.push_back({4 * (u - 1) + i, i});
        }
        jobs.push_back(std::move(job));
    }
    return jobs;
}

} // namespace kelpa::preview
