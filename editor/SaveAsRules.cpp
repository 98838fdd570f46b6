#include "editor/SaveAsRules.h"

namespace kelpa::editor {

QStringList saveAsFilterTexts()
{
    return {QStringLiteral("Encrypted and COmpressed File (*.ECO)"), QStringLiteral("Rich Text File (*.RTF)"),
            QStringLiteral("Plain Text File (*.TXT)"), QStringLiteral("Batch File (*.BAT)"),
            QStringLiteral("OBRIN 3.0 (*.ECO)")};
}

SaveAsStart saveAsStart(PageKind kind, const QString &fileName)
{
    SaveAsStart s;
    const bool untitled = isUntitledName(fileName);
    if (!untitled)
        s.initialFolder = folderPart(fileName);
    switch (kind) {
    case PageKind::Plain:
        s.filterIndex = 3;
        s.extensionWord = isBatchName(fileName) ? QStringLiteral("bat") : QStringLiteral("txt");
        break;
    case PageKind::Legacy:
        s.filterIndex = 5;
        s.extensionWord = QStringLiteral("eco");
        break;
    case PageKind::Encrypted:
        s.filterIndex = 1;
        s.extensionWord = QStringLiteral("eco");
        break;
    case PageKind::Rich:
        // A new "Encrypted Text" page stays rich until it is saved; offering the rich filter
        // would write the user's secret in the clear.
        if (untitled && extensionOf(fileName).toLower() == QLatin1String(".eco")) {
            s.filterIndex = 1;
            s.extensionWord = QStringLiteral("eco");
        } else {
            s.filterIndex = 2;
            s.extensionWord = QStringLiteral("rtf");
        }
        break;
    }
    s.initialName = untitled ? QStringLiteral("Untitled.") + s.extensionWord : fileNamePart(fileName);
    return s;
}

SaveAsTarget saveAsTarget(int filterIndex, const QString &extensionWord)
{
    switch (filterIndex) {
    case 1: return {PageKind::Encrypted, QStringLiteral(".eco")};
    case 3:
        return {PageKind::Plain,
                extensionWord == QLatin1String("bat") ? QStringLiteral(".bat") : QStringLiteral(".txt")};
    case 4: return {PageKind::Plain, QStringLiteral(".bat")};
    case 5: return {PageKind::Legacy, QStringLiteral(".eco")};
    case 2:
    default: return {PageKind::Rich, QStringLiteral(".rtf")};
    }
}

bool needsExtensionQuestion(const QString &chosenName, const QString &wantedExtension)
{
    return extensionOf(chosenName).toLower() != wantedExtension;
}

} // namespace kelpa::editor
