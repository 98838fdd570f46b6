#pragma once
// The silent abort: an operation that has already told the user (or that falls back to a
// default) ends by throwing Abort; the nearest handler boundary swallows it without a word.
// Every event handler is run through Guarded() (or inside KelpaApplication::notify), so
// that no exception crosses Qt's event loop.
#include <exception>
#include <type_traits>
#include <utility>

namespace kelpa {

class Abort : public std::exception {
public:
    const char *what() const noexcept override { return "Operation aborted"; }
};

// Shows an exception that reached a handler boundary: a box with the application's title as
// caption, an error icon and the exception's text.
void ShowException(const std::exception &e);

// Runs `f`; Abort ends it silently, any other exception is shown with ShowException.
// Returns false when `f` did not run to its end.
template <class F>
bool RunGuarded(F &&f) noexcept
{
    try {
        std::forward<F>(f)();
        return true;
    } catch (const Abort &) {
    } catch (const std::exception &e) {
        ShowException(e);
    } catch (...) {
        ShowException(std::exception());
    }
    return false;
}

// Wraps a handler for connect(): Guarded([this] { ... }).
template <class F>
auto Guarded(F f)
{
    // Signal arguments the handler does not take are dropped, as connect() would.
    return [f = std::move(f)](auto &&...args) mutable {
        RunGuarded([&] {
            if constexpr (std::is_invocable_v<F &, decltype(args)...>)
                f(std::forward<decltype(args)>(args)...);
            else
                f();
        });
    };
}

} // namespace kelpa
