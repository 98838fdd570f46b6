#pragma once
// A named lock shared by all processes of one user, released by the system when the holder
// ends, however it ends: an flock()ed file in the user's runtime folder.
#include <QString>

namespace kelpa::platform {

class NamedMutex {
public:
    // Tries to take the lock `name` without waiting.
    explicit NamedMutex(const QString &name);
    // Waits up to `waitMs` for the lock; alreadyExists() tells when another holder kept it.
    NamedMutex(const QString &name, int waitMs);
    ~NamedMutex();
    NamedMutex(const NamedMutex &) = delete;
    NamedMutex &operator=(const NamedMutex &) = delete;

    // True when another holder (in this or another process) has the lock.
    bool alreadyExists() const { return exists_; }
    // True when this object holds the lock.
    bool owned() const { return fd_ >= 0; }
    // Gives the lock up early.
    void release();

private:
    int fd_ = -1;
    bool exists_ = false;
};

// The per-user runtime folder for locks and endpoints: $XDG_RUNTIME_DIR/kelpa, else a
// private folder in the temporary folder. Created with owner-only access.
QString runtimeFolder();

} // namespace kelpa::platform
