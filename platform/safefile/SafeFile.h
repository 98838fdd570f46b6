#pragma once
// Files a user cares about are never written in place: the new content goes to a temporary file
// beside the target, is flushed to disk and then renamed over the target. Until commit() succeeds
// the target is untouched; a writer that is not committed removes its temporary file.
//
// A symbolic link is followed, so the link stays and the file it names is replaced. An existing
// target keeps its permission bits (and, where the system allows it, its owner and group). A
// target that exists but is no regular file (a device, a pipe) is written directly.
//
// The temporary file is named "." + the target's name + ".~" + the writer's process id + "." +
// a random tag, and the writer holds a lock on it while it lives. A process that is killed
// mid-save leaves its temporary file behind; the next successful save of the same target
// removes such files once their writer's process is gone and nobody holds their lock, and never
// a file that a live writer is still filling.
#include <cstddef>
#include <string>

namespace kelpa {

enum class SafeFileError {
    None,
    Open,    // no temporary file could be made beside the target, or the target is a folder
    Write,   // a write was short
    Flush,   // the content could not be flushed to disk or closed
    Replace, // the temporary file could not be renamed over the target
};

class SafeFileWriter {
public:
    // Creates the temporary file at once; see error() for the outcome.
    explicit SafeFileWriter(const std::string &target);
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter &) = delete;
    SafeFileWriter &operator=(const SafeFileWriter &) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // The file that commit() replaces (the end of a chain of links).
    const std::string &target() const { return target_; }
    // The temporary file; empty when there is none.
    const std::string &tempName() const { return temp_; }

    // Appends bytes; false, with error() Write, on a short write.
    bool write(const void *data, std::size_t length);
    // Closes the temporary file so that another writer can fill it by its name; commit() then
    // flushes it by name.
    void handOver();
    // Flushes, gives the file the target's permission bits and renames it over the target.
    bool commit();

    SafeFileError error() const { return error_; }
    // errno of the failure, for a message.
    int systemError() const { return errno_; }

    // Removes what killed writers of target left beside it (see above); the number removed.
    static int removeAbandoned(const std::string &target);
    // Whether name is a temporary file of the safe writer for a target of that file name.
    static bool isTemporaryName(const std::string &name, const std::string &targetFileName);

private:
    bool fail(SafeFileError error, int err);
    void release();

    std::string target_;
    std::string temp_;
    int fd_ = -1;
    // Holds the lock on the temporary file, also while another writer fills it by name.
    int lockFd_ = -1;
    bool direct_ = false;
    bool handedOver_ = false;
    bool existed_ = false;
    unsigned mode_ = 0;
    unsigned owner_ = 0;
    unsigned group_ = 0;
    SafeFileError error_ = SafeFileError::None;
    int errno_ = 0;
};

} // namespace kelpa
