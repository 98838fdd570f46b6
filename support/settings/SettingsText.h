#pragma once
// The text of a settings file ("Kelpa.ini", "kpp.ini", "kpsc.ini"): lines of a name, "=" and a
// value, read as bytes. Each file keeps the rules its program has always read it by (where lines
// end, how names compare, blanks, lines without "="); all files are written the same way, every
// line followed by CR LF.
//
//   SettingsText text = SettingsText::parse(bytes, kCheckerSettings);
//   std::string dictionary = text.value("Dictionary").value_or("");
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelpa {

// ASCII letters equal without regard to case, every other byte only to itself.
bool sameAsciiName(std::string_view a, std::string_view b);

struct SettingsSyntax {
    enum class LineEnds {
        Lf,      // a line ends at LF; one CR before it is dropped, any other CR is text
        CrOrLf,  // a line ends at CR, LF or CR LF
    };
    LineEnds lineEnds = LineEnds::CrOrLf;
    // Bytes up to the space around names and values are dropped.
    bool trimBlanks = false;
    // A line without "=" names a value that is empty; otherwise it names nothing.
    bool bareLineIsName = false;
    bool (*sameName)(std::string_view, std::string_view) = sameAsciiName;
};

// "kpp.ini": lines end anywhere, names without regard to ASCII case, values as they stand.
inline constexpr SettingsSyntax kPrintSettings{};
// "kpsc.ini": as "kpp.ini", blanks around names and values dropped.
inline constexpr SettingsSyntax kCheckerSettings{SettingsSyntax::LineEnds::CrOrLf, true, false, sameAsciiName};

class SettingsText {
public:
    explicit SettingsText(const SettingsSyntax &syntax = kPrintSettings) : syntax_(syntax) {}
    // Empty lines are dropped; every other line is kept in its order.
    static SettingsText parse(std::string_view bytes, const SettingsSyntax &syntax);

    // The value of the first line that names `name`; nothing when none does.
    std::optional<std::string> value(std::string_view name) const;
    // The first line that names `name` takes the value; without one, a line is appended.
    void set(std::string_view name, std::string_view value);
    // Appends "name=value"; an empty value appends nothing, so it reads as a missing name.
    void add(std::string_view name, std::string_view value);
    // Appends a line holding one blank, which names nothing and starts a group.
    void addGroupBreak();
    bool isEmpty() const { return lines_.empty(); }
    std::string toBytes() const;

private:
    struct Line {
        std::string name;                 // the whole line when it names nothing
        std::optional<std::string> value; // nothing: the line names nothing
    };
    SettingsSyntax syntax_;
    std::vector<Line> lines_;
};

} // namespace kelpa
