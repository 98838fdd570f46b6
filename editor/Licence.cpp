#include "editor/Licence.h"
#include "editor/Names.h"

#include "engine/LegacyCipher.h"

#include <vector>

extern const unsigned char kLicenceDocument[];
extern const unsigned long kLicenceDocumentSize;

namespace kelpa::editor {

std::string_view licenceDocument()
{
    return {reinterpret_cast<const char *>(kLicenceDocument), kLicenceDocumentSize};
}

std::string licenceTextOf(std::string_view document, std::string_view key)
{
    // Lines as a string list reads them: CR LF, CR or LF end a line.
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < document.size()) {
        std::size_t i = start;
        while (i < document.size() && document[i] != '\r' && document[i] != '\n')
            ++i;
        lines.push_back(document.substr(start, i - start));
        if (i < document.size() && document[i] == '\r')
            ++i;
        if (i < document.size() && document[i] == '\n')
            ++i;
        start = i;
    }
    if (lines.size() <= 5)
        return {};
    std::string body;
    for (std::size_t i = 5; i < lines.size(); ++i) {
        body += lines[i];
        body += "\r\n";
    }
    const auto text = DecipherText(key, body);
    return text ? *text : std::string();
}

qsizetype captionMarkPosition(const QString &text) { return text.indexOf(QChar(0xA7), 1); }

std::string licenceText(std::string_view key) { return licenceTextOf(licenceDocument(), key); }

} // namespace kelpa::editor
