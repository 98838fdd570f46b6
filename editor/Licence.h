#pragma once
// The licence text of the About box, kept as an OBRIN 3.0 document inside the program.
#include <QString>
#include <string>
#include <string_view>

namespace kelpa::editor {

// The stored document's bytes, header lines included.
std::string_view licenceDocument();
// The text after the five header lines, deciphered with the key; empty when it does not
// decipher.
std::string licenceText(std::string_view key);
// The same for any stored document (used for the one built into the program).
std::string licenceTextOf(std::string_view document, std::string_view key);

// Where the caption goes: the first § from the second character on, or -1.
qsizetype captionMarkPosition(const QString &text);

} // namespace kelpa::editor
