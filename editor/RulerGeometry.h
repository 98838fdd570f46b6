#pragma once
// The ruler's arithmetic: where the three indent markers stand for a paragraph's indents, and
// which indents a dropped marker gives. Indents are in points, marker positions in pixels.
namespace kelpa::editor {

// Pixels per point, as the single-precision 1.3333334 holds it; products and quotients are
// formed in double precision from it and truncated toward zero, so a drop at 4 pixels gives 2
// points, not 3.
inline constexpr double kRulerScale = static_cast<double>(1.3333334f);
inline constexpr int kMarkerWidth = 9;

struct RulerMarkers {
    int first = 0; // left edge of the first-line marker
    int left = 0;  // of the left-indent marker
    int right = 0; // of the right-indent marker
};

// firstIndent from the left edge; leftIndent relative to the first line; rightIndent from the
// right edge; clientWidth of the ruler.
RulerMarkers markerPositions(int firstIndent, int leftIndent, int rightIndent, int clientWidth);

struct MarkerDrop {
    int position = 0; // the marker's left edge after clamping
    int indent = 0;   // the indent it sets, in points
};

// The left-indent marker dropped at `left` (the right marker at `right`): its indent relative
// to `firstIndent`.
MarkerDrop dropLeftMarker(int left, int right, int clientWidth, int dragOffset, int firstIndent);
// The first-line marker dropped at `first`: the first-line indent. (The left marker is then
// dropped again where it stands, against the new first-line indent.)
MarkerDrop dropFirstMarker(int first, int clientWidth, int dragOffset);
// The right-indent marker dropped at `right` (the left marker at `left`).
MarkerDrop dropRightMarker(int right, int left, int clientWidth, int dragOffset);

} // namespace kelpa::editor
