#pragma once
// Password-list documents: an encrypted document whose text starts with the lines "PWDLIST"
// and "4", followed by records of 11 lines each, every record opened by a line holding
// "[\xA7REC]" (the section sign is byte 0xA7 of the Windows code page). They are printed as a
// short listing. Bytes in, bytes out.
#include <string>
#include <string_view>
#include <vector>

namespace kelpa::printmod {

// The lines of a text as a string list takes them: split at CR LF, LF or CR; a final line end
// makes no empty last line.
std::vector<std::string> SplitLines(std::string_view text);
// Every line followed by CR LF.
std::string JoinLines(const std::vector<std::string> &lines);

struct PasswordListResult {
    enum class Kind {
        Rendered,     // lines holds the listing
        Damaged,      // a record is short or unsigned: message is for a box captioned "Error"
        IndexError,   // the text is too short to have the markers: message is the load error
    } kind = Kind::Rendered;
    std::vector<std::string> lines; // the listing so far (also after a failure)
    std::string message;
};

// "PWDLIST" and "4" as its first two lines. The caller has checked that it has a line 0; a text
// of one line "PWDLIST" gives IndexError through RenderPasswordList's check.
bool IsPasswordList(const std::vector<std::string> &lines);

// The listing: per record whose ENTRY1 is not empty, its title (at most 320 characters),
// URL, ENTRY1 to ENTRY3, NOTES and a line holding one blank.
PasswordListResult RenderPasswordList(std::vector<std::string> lines);

// The text of the list-index error the class library's string list gives.
std::string ListIndexError(long long index);

} // namespace kelpa::printmod
