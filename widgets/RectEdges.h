#pragma once
// Rectangle edges as the menu code hands them over: right and bottom exclusive.
#include <QRect>

namespace kelpa::widgets::edges {

inline int Right(const QRect &r)
{
    return r.x() + r.width();
}

inline int Bottom(const QRect &r)
{
    return r.y() + r.height();
}

inline QRect FromEdges(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

} // namespace kelpa::widgets::edges
