#pragma once
// While it lives, the process may write at most `limit` bytes into any file: a write past the
// limit fails (EFBIG) instead of stopping the process, so tests can make a save fail part way.
#include <csignal>
#include <sys/resource.h>

namespace kelpa::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit l = saved_;
        l.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, handler_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit saved_{};
    void (*handler_)(int) = SIG_DFL;
};

} // namespace kelpa::test
