// The Notepad backup reader and the putting back of plain-text defaults: any backup file and
// any default-applications list.
#include "editor/MimeAppsText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    kelpa::editor::NotepadBackup backup;
    if (kelpa::editor::decodeNotepadBackup(bytes, backup)) {
        // What reads back is what was stored.
        kelpa::editor::NotepadBackup again;
        if (!kelpa::editor::decodeNotepadBackup(kelpa::editor::encodeNotepadBackup(backup), again)
            || again.before != backup.before || again.after != backup.after || again.hadList != backup.hadList)
            std::abort();
        kelpa::editor::restorePlainTextKeys(backup.after, backup.before);
    }
    // The input split in two: a current list and the list before.
    const std::size_t half = size / 2;
    const std::string restored = kelpa::editor::restorePlainTextKeys(bytes.substr(0, half), bytes.substr(half));
    // Putting the same keys back a second time changes nothing.
    if (kelpa::editor::restorePlainTextKeys(restored, bytes.substr(half)) != restored)
        std::abort();
    return 0;
}
