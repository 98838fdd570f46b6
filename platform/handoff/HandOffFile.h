#pragma once
// Files that one of the user's programs leaves for another: the exchange file "~t.dat", the
// request "loadreq" and the marker "multi.dat". They live in a folder only the user can write,
// yet neither side trusts the name: the writer never writes through a link or into a pipe that
// stands there, and the reader takes nothing but a regular file of the user's own, without
// following a link and without waiting on a pipe.
#include <cstddef>
#include <string>
#include <string_view>

namespace kelpa::handoff {

// Which file a name stood for, to tell the file written from one put there later.
struct FileId {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    bool operator==(const FileId &) const = default;
    bool valid() const { return inode != 0; }
    explicit operator bool() const { return valid(); }
};

struct WriteResult {
    int error = 0; // errno of the failing call; 0 on success
    FileId id;     // the file now under the name
    bool ok() const { return error == 0; }
};

// Writes `bytes` to a new file of the user's alone (mode 0600), made by an exclusive open that
// follows no link, and moves it to `path`: whatever stood there (a link, a pipe, an old file)
// is replaced, never written through, and a reader sees the whole file or none.
WriteResult write(const std::string &path, std::string_view bytes);

// What a reader refuses, as errno values: a link (ELOOP), anything but a regular file or a file
// of another user (EPERM).
// Opens `path` for reading on those terms; the descriptor (close-on-exec), or -1 with *error set.
int openForReading(const std::string &path, int *error, FileId *id = nullptr);

struct ReadResult {
    std::string bytes;
    int error = 0;
    FileId id;
    bool ok() const { return error == 0; }
};
// Reads at most `limit` bytes of the file on those terms.
ReadResult read(const std::string &path, std::size_t limit);

// True when `path` names a regular file of the user's own (a link is not looked through).
bool exists(const std::string &path);
// The file `path` names itself (not through a link); invalid when there is none.
FileId idOf(const std::string &path);

} // namespace kelpa::handoff
