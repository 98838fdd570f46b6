#include "support/settings/SettingsText.h"

namespace kelpa {

namespace {

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

} // namespace

bool sameAsciiName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

SettingsText SettingsText::parse(std::string_view bytes, const SettingsSyntax &syntax)
{
    SettingsText text(syntax);
    const bool lfOnly = syntax.lineEnds == SettingsSyntax::LineEnds::Lf;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = lfOnly ? bytes.find('\n', pos) : bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = bytes.size();
        std::string_view line = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (lfOnly && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            if (syntax.bareLineIsName)
                text.lines_.push_back({std::string(syntax.trimBlanks ? trimmed(line) : line), std::string()});
            else
                text.lines_.push_back({std::string(line), std::nullopt});
            continue;
        }
        std::string_view name = line.substr(0, eq);
        std::string_view value = line.substr(eq + 1);
        if (syntax.trimBlanks) {
            name = trimmed(name);
            value = trimmed(value);
        }
        text.lines_.push_back({std::string(name), std::string(value)});
    }
    return text;
}

std::optional<std::string> SettingsText::value(std::string_view name) const
{
    for (const Line &line : lines_)
        if (line.value && syntax_.sameName(line.name, name))
            return line.value;
    return std::nullopt;
}

void SettingsText::set(std::string_view name, std::string_view value)
{
    for (Line &line : lines_)
        if (line.value && syntax_.sameName(line.name, name)) {
            line.value = std::string(value);
            return;
        }
    lines_.push_back({std::string(name), std::string(value)});
}

void SettingsText::add(std::string_view name, std::string_view value)
{
    if (!value.empty())
        lines_.push_back({std::string(name), std::string(value)});
}

void SettingsText::addGroupBreak() { lines_.push_back({" ", std::nullopt}); }

std::string SettingsText::toBytes() const
{
    std::string out;
    for (const Line &line : lines_) {
        out += line.name;
        if (line.value)
            out += '=' + *line.value;
        out += "\r\n";
    }
    return out;
}

} // namespace kelpa
