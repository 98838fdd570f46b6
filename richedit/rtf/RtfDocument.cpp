#include "richedit/rtf/RtfDocument.h"

namespace kelpa::rtf {

std::u16string Paragraph::text() const
{
    std::u16string t;
    for (const Run &r : runs)
        t += r.text;
    return t;
}

std::u16string Document::text() const
{
    std::u16string t;
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        if (i > 0)
            t += u'\n';
        t += paragraphs[i].text();
    }
    return t;
}

void appendText(Paragraph &paragraph, std::u16string_view text, const CharFormat &format)
{
    if (text.empty())
        return;
    if (!paragraph.runs.empty() && paragraph.runs.back().format == format)
        paragraph.runs.back().text += text;
    else
        paragraph.runs.push_back(Run{std::u16string(text), format});
}

} // namespace kelpa::rtf
