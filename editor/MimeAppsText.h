#pragma once
// The texts behind "Replace Notepad", without Qt: the backup file's form and putting the
// plain-text lines of a default-applications list back as they were.
#include <string>
#include <string_view>

namespace kelpa::editor {

// The list's bytes before replacing (hadList false: there was no list) and as replacing left it.
struct NotepadBackup {
    bool hadList = false;
    std::string before;
    std::string after;
};

std::string encodeNotepadBackup(const NotepadBackup &backup);
// False for anything that is not a whole backup of ours.
bool decodeNotepadBackup(std::string_view bytes, NotepadBackup &backup);

// `current` with the plain-text keys of the two association sections set as in `before`
// (removed where `before` has none; a section left empty by that goes, with the blank line
// before it). Every other line stays as it is.
std::string restorePlainTextKeys(std::string_view current, std::string_view before);

} // namespace kelpa::editor
