#include "printmod/PrintSettingsFile.h"

#include "platform/numbers/IntegerText.h"
#include "support/settings/SettingsText.h"

#include <cmath>
#include <limits>

namespace kelpa::printmod {

namespace {

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

std::optional<std::int32_t> StrToInt(std::string_view text)
{
    return parseInteger(text, IntegerSyntax::PrefixedSigned);
}

PrintSettingsRead ReadPrintSettings(std::string_view bytes)
{
    const SettingsText text = SettingsText::parse(bytes, kPrintSettings);
    // A missing name reads as an empty value.
    const auto value = [&](std::string_view name) { return text.value(name).value_or(std::string()); };
    PrintSettingsRead r;
    r.header = value("Header");
    r.footer = value("Footer");

    r.fontName = value("HF-Font:Name");
    [&] {
        r.fontSize = StrToInt(value("HF-Font:Size"));
        if (!r.fontSize)
            return;
        r.fontColor = StrToInt(value("HF-Font:Color"));
        if (!r.fontColor)
            return;
        const std::pair<const char *, unsigned> styles[] = {{"HF-Font:Bold", StyleBold},
                                                            {"HF-Font:Italic", StyleItalic},
                                                            {"HF-Font:Underline", StyleUnderline},
                                                            {"HF-Font:StrikeOut", StyleStrikeOut}};
        for (const auto &[name, style] : styles) {
            const auto yes = yesNo(value(name));
            if (!yes)
                return;
            if (*yes)
                r.addStyles |= style;
        }
    }();

    r.marginTop = StrToInt(value("Margin:Top"));
    r.marginLeft = StrToInt(value("Margin:Left"));
    r.marginRight = StrToInt(value("Margin:Right"));
    r.marginBottom = StrToInt(value("Margin:Bottom"));
    r.portrait = yesNo(value("PortraitOrientation"));
    return r;
}

std::string WritePrintSettings(const PrintSettingsValues &v)
{
    SettingsText list(kPrintSettings);
    const auto yn = [](bool b) { return std::string(b ? "Y" : "N"); };
    list.add("Version", v.version);
    list.addGroupBreak();
    list.add("Header", v.header);
    list.add("Footer", v.footer);
    list.add("HF-Font:Name", v.fontName);
    list.add("HF-Font:Size", std::to_string(v.fontSize));
    list.add("HF-Font:Color", std::to_string(v.fontColor));
    list.add("HF-Font:Bold", yn(v.styles & StyleBold));
    list.add("HF-Font:Italic", yn(v.styles & StyleItalic));
    list.add("HF-Font:Underline", yn(v.styles & StyleUnderline));
    list.add("HF-Font:StrikeOut", yn(v.styles & StyleStrikeOut));
    list.addGroupBreak();
    list.add("PortraitOrientation", yn(v.portrait));
    list.addGroupBreak();
    list.add("Margin:Top", truncated(v.marginTop));
    list.add("Margin:Left", truncated(v.marginLeft));
    list.add("Margin:Right", truncated(v.marginRight));
    list.add("Margin:Bottom", truncated(v.marginBottom));
    return list.toBytes();
}

} // namespace kelpa::printmod
