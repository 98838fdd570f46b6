// Any bytes read as "kpp.ini" give settings without crashing; what the reader gives, written
// and read again, gives the same settings.
#include "printmod/PrintSettingsFile.h"

#include <cstdlib>

using namespace kelpa::printmod;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const PrintSettingsRead r = ReadPrintSettings(std::string_view(reinterpret_cast<const char *>(data), size));
    if (r.addStyles > 15)
        std::abort();
    // Texts with line ends cannot come from one line; the others survive a round trip.
    const auto oneLine = [](const std::string &s) { return s.find_first_of("\r\n") == std::string::npos; };
    if (!oneLine(r.header) || !oneLine(r.footer) || !oneLine(r.fontName))
        std::abort();
    PrintSettingsValues v;
    v.header = r.header;
    v.footer = r.footer;
    v.fontName = r.fontName;
    v.fontSize = r.fontSize.value_or(10);
    v.fontColor = r.fontColor.value_or(0);
    v.styles = r.addStyles;
    v.portrait = r.portrait.value_or(true);
    v.marginTop = r.marginTop.value_or(1);
    v.marginLeft = r.marginLeft.value_or(2);
    v.marginRight = r.marginRight.value_or(3);
    v.marginBottom = r.marginBottom.value_or(4);
    const std::string written = WritePrintSettings(v);
    const PrintSettingsRead back = ReadPrintSettings(written);
    // A text that starts with a blank or holds "=" in a name position reads back the same.
    if (back.fontSize != v.fontSize || back.fontColor != v.fontColor || back.addStyles != v.styles ||
        back.marginTop != int(v.marginTop) || back.marginBottom != int(v.marginBottom) || back.portrait != v.portrait)
        std::abort();
    if (back.header != v.header || back.footer != v.footer || back.fontName != v.fontName)
        std::abort();
    return 0;
}
