#pragma once
// Runs a callable when the scope ends, on every path (return, exception), unless dismissed:
// the one way the program puts state back after a step that may fail.
#include <type_traits>
#include <utility>

namespace kelpa {

template <class F>
class ScopeGuard {
public:
    explicit ScopeGuard(F f) : f_(std::move(f)) {}
    ScopeGuard(ScopeGuard &&other) noexcept(std::is_nothrow_move_constructible_v<F>)
        : f_(std::move(other.f_)), active_(std::exchange(other.active_, false))
    {
    }
    ScopeGuard(const ScopeGuard &) = delete;
    ScopeGuard &operator=(const ScopeGuard &) = delete;
    ScopeGuard &operator=(ScopeGuard &&) = delete;
    ~ScopeGuard()
    {
        if (active_)
            f_();
    }
    // The state is to stay as it is now: the callable does not run.
    void dismiss() noexcept { active_ = false; }

private:
    F f_;
    bool active_ = true;
};

template <class F>
ScopeGuard(F) -> ScopeGuard<F>;

} // namespace kelpa
