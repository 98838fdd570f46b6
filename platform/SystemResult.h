#pragma once
// What a step on files gave: 0 when done, else the system error (an errno value) of the call
// that failed. It tests as true when done.
namespace kelpa::platform {

struct SystemResult {
    int error = 0;
    bool ok() const { return error == 0; }
    explicit operator bool() const { return ok(); }
    // For a run of steps that goes on after a failure: the first failure is the one told.
    void keep(const SystemResult &step)
    {
        if (ok())
            error = step.error;
    }
};

} // namespace kelpa::platform
