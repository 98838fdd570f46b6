#pragma once
// One environment variable of this process (and of what it starts) set for the life of an
// object; the old value, or its absence, comes back afterwards, whatever the test did between.
#include <cstdlib>
#include <optional>
#include <string>

namespace kelpa::test {

class EnvironmentOverride {
public:
    EnvironmentOverride(const char *name, const std::string &value) : name_(name)
    {
        if (const char *old = std::getenv(name))
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~EnvironmentOverride()
    {
        if (old_)
            ::setenv(name_.c_str(), old_->c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }
    EnvironmentOverride(const EnvironmentOverride &) = delete;
    EnvironmentOverride &operator=(const EnvironmentOverride &) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

} // namespace kelpa::test
