#pragma once
// What every benchmark with windows does before its application is made.
#include <cstdlib>

namespace kelpa::bench {

// Offscreen, unless the caller named a display platform.
inline void offscreenUnlessNamed()
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

} // namespace kelpa::bench
