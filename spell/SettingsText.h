#pragma once
// "name=value" lines of a settings file.
#include <string>
#include <string_view>

namespace kelpa::spell {

// The value of the first line whose name (before its first '=', blanks trimmed) is `name`,
// compared without regard to ASCII case; the value is the rest of the line, blanks trimmed.
// Empty when no line names it. Lines end at LF, CR LF or CR.
std::string SettingValue(std::string_view text, std::string_view name);

} // namespace kelpa::spell
