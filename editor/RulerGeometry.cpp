#include "editor/RulerGeometry.h"

namespace kelpa::editor {

namespace {

int scaled(int points) { return static_cast<int>(points * kRulerScale); }
int unscaled(int pixels) { return static_cast<int>(pixels / kRulerScale); }

} // namespace

RulerMarkers markerPositions(int firstIndent, int leftIndent, int rightIndent, int clientWidth)
{
    return {scaled(firstIndent) - 2, scaled(leftIndent + firstIndent) - 2, clientWidth - scaled(rightIndent + 2) - 6};
}

MarkerDrop dropLeftMarker(int left, int right, int clientWidth, int dragOffset, int firstIndent)
{
    if (left > clientWidth - kMarkerWidth)
        left = clientWidth - kMarkerWidth;
    if (left < -4)
        left = -4;
    if (right < left + 5)
        left = right - 5;
    return {left, unscaled(left + dragOffset - 2) - firstIndent};
}

MarkerDrop dropFirstMarker(int first, int clientWidth, int dragOffset)
{
    if (first > clientWidth - 5)
        first = clientWidth - 5;
    if (first < -4)
        first = -4;
    return {first, unscaled(first + dragOffset - 2)};
}

MarkerDrop dropRightMarker(int right, int left, int clientWidth, int dragOffset)
{
    if (right > clientWidth - 7)
        right = clientWidth - 7;
    if (right <= 0)
        right = 1;
    if (right < left + 5)
        right = left + 5;
    return {right, unscaled(clientWidth + dragOffset - right - 2) - 4};
}

} // namespace kelpa::editor
