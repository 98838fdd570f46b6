#pragma once
// Files a user cares about are written whole or not at all. Until commit() the target is
// untouched; a writer that is not committed removes what it made.
//
// Where renaming keeps the file the same (the user's own file with one link and no extended
// attributes, in a folder the user may write), the new content goes to a temporary file beside
// the target, is flushed and renamed over it; the file keeps its permission bits and group.
// Otherwise (another user's file, a second hard link, ACLs or extended attributes, a folder
// the user may not write) the file is written in place, so that it keeps its inode, owner,
// mode, ACLs and attributes: the new content is first staged in the copy folder, commit() then
// keeps a flushed copy of the old content there, writes the file, flushes it and drops the
// copy. A writer that dies in between leaves the copy, which leftCopies() finds.
//
// A symbolic link is followed only when the user owns it or its folder is writable by nobody
// else (the user or the superuser owns it, no group or other write); the link stays and the
// file it names gets the content. Any other link is refused (Link), as is a name that is no
// regular file (a pipe, a device, a socket: NotAFile), without opening it.
//
// The temporary file is named "." + the target's name + ".~" + the writer's process id + "." +
// a random tag, and the writer holds a lock on it while it lives. A process that is killed
// mid-save leaves its temporary file behind; the next successful save of the same target
// removes such files once their writer's process is gone and nobody holds their lock, and never
// a file that a live writer is still filling.
#include <cstddef>
#include <string>
#include <vector>

namespace kelpa {

enum class SafeFileError {
    None,
    Open,    // no temporary file could be made beside the target, or the target is a folder
    Write,   // a write was short
    Flush,   // the content could not be flushed to disk or closed
    Replace, // the temporary file could not be renamed over the target
    Link,     // the target is a link that another user may have put there (EACCES)
    NotAFile, // the target is a pipe, a device or a socket (EINVAL)
    Copy,     // no copy of the old content could be kept, so the file was not written
};

// A copy of a file's old content that a save which did not finish left in the copy folder.
struct LeftCopy {
    std::string copy;     // the copy itself
    std::string original; // the file it was taken from, as the save named it
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
    // Whether the target is written in place (see above).
    bool inPlace() const { return inPlace_; }
    // The temporary file (beside the target, or in the copy folder when the target is written
    // in place); empty when there is none.
    const std::string &tempName() const { return temp_; }

    // Appends bytes; false, with error() Write, on a short write.
    bool write(const void *data, std::size_t length);
    // Closes the temporary file so that another writer can fill it by its name; commit() then
    // flushes it by name.
    void handOver();
    // Flushes, gives the file the target's permission bits and renames it over the target; or
    // writes the target in place as described above.
    bool commit();

    SafeFileError error() const { return error_; }
    // errno of the failure, for a message.
    int systemError() const { return errno_; }

    // Removes what killed writers of target left beside it (see above); the number removed.
    static int removeAbandoned(const std::string &target);
    // Whether name is a temporary file of the safe writer for a target of that file name.
    static bool isTemporaryName(const std::string &name, const std::string &targetFileName);

    // Why a writer for target would refuse it before writing anything: Link, NotAFile, or None.
    static SafeFileError refusal(const std::string &target);

    // The user's own folder for staged content and copies of old content:
    // $XDG_DATA_HOME/kelpa/save-copies (~/.local/share/kelpa/save-copies); empty when there is
    // no home folder.
    static std::string copyFolder();
    // Copies that writers which did not finish left in the copy folder (none that a live
    // writer holds). Staged content of such writers is removed on the way.
    static std::vector<LeftCopy> leftCopies();

private:
    bool fail(SafeFileError error, int err);
    void release();
    void openInPlace(unsigned long long device, unsigned long long inode);
    bool commitInPlace(int staged);

    std::string target_;
    std::string temp_;
    int fd_ = -1;
    // Holds the lock on the temporary file, also while another writer fills it by name.
    int lockFd_ = -1;
    bool handedOver_ = false;
    bool existed_ = false;
    bool inPlace_ = false;
    // In place: the target, open for reading and writing while the writer lives.
    int targetFd_ = -1;
    unsigned mode_ = 0;
    unsigned group_ = 0;
    SafeFileError error_ = SafeFileError::None;
    int errno_ = 0;
};

} // namespace kelpa
