#include "support/ScopeGuard.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>

namespace {

TEST(ScopeGuard, RestoresOnEveryExitUnlessDismissed)
{
    int restored = 0;
    {
        kelpa::ScopeGuard guard([&] { ++restored; });
    }
    EXPECT_EQ(restored, 1);
    try {
        kelpa::ScopeGuard guard([&] { ++restored; });
        throw std::runtime_error("step failed");
    } catch (const std::runtime_error &) {
    }
    EXPECT_EQ(restored, 2);
    {
        kelpa::ScopeGuard guard([&] { ++restored; });
        guard.dismiss();
    }
    EXPECT_EQ(restored, 2);
    // A guard handed on runs once, from its new owner.
    {
        auto make = [&] { return kelpa::ScopeGuard([&] { ++restored; }); };
        kelpa::ScopeGuard outer = make();
        kelpa::ScopeGuard inner(std::move(outer));
    }
    EXPECT_EQ(restored, 3);
}

} // namespace
