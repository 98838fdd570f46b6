#pragma once
// Texts kept in scrambled form in the programs and turned into text when needed.
#include <QString>
#include <string>
#include <string_view>

namespace kelpa {

// The plain text of a stored (scrambled) string; empty for an empty or malformed one. Never
// reads outside `stored`.
std::string UnscrambleStoredText(std::string_view stored);

// The three stored forms.
enum class ScrambleForm { Plain, Keyed, KeyedXor };

// The stored string that UnscrambleStoredText turns back into `plain`, using `key` (1 to 155
// bytes) and, for the keyed forms, `keyXor` (0 to 6). A first key byte that would read as the
// marker of another form is adjusted, so the key actually used may differ from `key`.
std::string ScrambleText(std::string_view plain, std::string_view key, ScrambleForm form,
                         unsigned char keyXor = 3);

// The programs' stored texts, scrambled at build time.
enum class StoredTextId {
    LaunchToken,            // the spell checker's command-line token
    PrintModuleDownload,    // address of the print module's download page
    SpellCheckerDownload,   // address of the spell checker's download page
    HomePage,
    UpdatePage,             // the print module's update page
    ProductTextA,           // About box lines
    ProductTextB,
    LicenceKey,             // key of the enciphered licence text
    SpellCheckerCaption,
    PrintModuleCaption,
    PrintModuleVersion,
};

// The stored (scrambled) bytes of a text.
std::string_view StoredTextBytes(StoredTextId id);
// The text, unscrambled, as 8-bit bytes.
std::string StoredTextValue(StoredTextId id);
// The text as a string (Windows-1252 bytes decoded).
QString StoredTextString(StoredTextId id);

} // namespace kelpa
