#include "printmod/PrintSettingsFile.h"

#include "platform/numbers/IntegerText.h"

#include <cctype>
#include <cmath>
#include <limits>

namespace kelpa::printmod {

namespace {

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// "Y"/"N" after upper-casing; anything else ends the group.
std::optional<bool> yesNo(const std::string &text)
{
    if (text == "Y" || text == "y")
        return true;
    if (text == "N" || text == "n")
        return false;
    return std::nullopt;
}

std::string truncated(double value)
{
    if (!std::isfinite(value))
        return "0";
    const double t = std::trunc(value);
    if (t >= double(std::numeric_limits<std::int32_t>::max()) || t <= double(std::numeric_limits<std::int32_t>::min()))
        return "0";
    return std::to_string(static_cast<std::int32_t>(t));
}

} // namespace

NameValueList NameValueList::Parse(std::string_view bytes)
{
    NameValueList list;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            list.lines_.emplace_back(bytes.substr(start, i - start));
            i += (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < bytes.size())
        list.lines_.emplace_back(bytes.substr(start));
    return list;
}

std::string NameValueList::Value(std::string_view name) const
{
    for (const std::string &line : lines_) {
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos && sameName(std::string_view(line).substr(0, eq), name))
            return line.substr(eq + 1);
    }
    return {};
}

void NameValueList::Add(const std::string &name, const std::string &value)
{
    if (!value.empty())
        lines_.push_back(name + "=" + value);
}

std::string NameValueList::ToBytes() const
{
    std::string out;
    for (const std::string &line : lines_)
        out += line + "\r\n";
    return out;
}

std::optional<std::int32_t> StrToInt(std::string_view text)
{
    return parseInteger(text, IntegerSyntax::PrefixedSigned);
}

PrintSettingsRead ReadPrintSettings(std::string_view bytes)
{
    const NameValueList list = NameValueList::Parse(bytes);
    PrintSettingsRead r;
    r.header = list.Value("Header");
    r.footer = list.Value("Footer");

    r.fontName = list.Value("HF-Font:Name");
    [&] {
        r.fontSize = StrToInt(list.Value("HF-Font:Size"));
        if (!r.fontSize)
            return;
        r.fontColor = StrToInt(list.Value("HF-Font:Color"));
        if (!r.fontColor)
            return;
        const std::pair<const char *, unsigned> styles[] = {{"HF-Font:Bold", StyleBold},
                                                            {"HF-Font:Italic", StyleItalic},
                                                            {"HF-Font:Underline", StyleUnderline},
                                                            {"HF-Font:StrikeOut", StyleStrikeOut}};
        for (const auto &[name, style] : styles) {
            const auto yes = yesNo(list.Value(name));
            if (!yes)
                return;
            if (*yes)
                r.addStyles |= style;
        }
    }();

    r.marginTop = StrToInt(list.Value("Margin:Top"));
    r.marginLeft = StrToInt(list.Value("Margin:Left"));
    r.marginRight = StrToInt(list.Value("Margin:Right"));
    r.marginBottom = StrToInt(list.Value("Margin:Bottom"));
    r.portrait = yesNo(list.Value("PortraitOrientation"));
    return r;
}

std::string WritePrintSettings(const PrintSettingsValues &v)
{
    NameValueList list;
    const auto yn = [](bool b) { return std::string(b ? "Y" : "N"); };
    list.Add("Version", v.version);
    list.AddSeparator();
    list.Add("Header", v.header);
    list.Add("Footer", v.footer);
    list.Add("HF-Font:Name", v.fontName);
    list.Add("HF-Font:Size", std::to_string(v.fontSize));
    list.Add("HF-Font:Color", std::to_string(v.fontColor));
    list.Add("HF-Font:Bold", yn(v.styles & StyleBold));
    list.Add("HF-Font:Italic", yn(v.styles & StyleItalic));
    list.Add("HF-Font:Underline", yn(v.styles & StyleUnderline));
    list.Add("HF-Font:StrikeOut", yn(v.styles & StyleStrikeOut));
    list.AddSeparator();
    list.Add("PortraitOrientation", yn(v.portrait));
    list.AddSeparator();
    list.Add("Margin:Top", truncated(v.marginTop));
    list.Add("Margin:Left", truncated(v.marginLeft));
    list.Add("Margin:Right", truncated(v.marginRight));
    list.Add("Margin:Bottom", truncated(v.marginBottom));
    return list.ToBytes();
}

} // namespace kelpa::printmod
