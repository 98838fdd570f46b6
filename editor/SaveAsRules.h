#pragma once
// "Save As": the five filters, what each one makes of the page and which extension it wants.
#include "editor/PageTable.h"

#include <QString>
#include <QStringList>

namespace kelpa::editor {

inline constexpr int kSaveAsFilterCount = 5;

// Dialog texts of the five filters, index 1..5 in this order.
QStringList saveAsFilterTexts();

// How the dialog starts for a page.
struct SaveAsStart {
    int filterIndex = 2;
    QString extensionWord; // "txt", "bat", "rtf", "eco"
    QString initialFolder;
    QString initialName;
};
SaveAsStart saveAsStart(PageKind kind, const QString &fileName);

// What the chosen filter makes of the page.
struct SaveAsTarget {
    PageKind kind = PageKind::Rich;
    QString wantedExtension; // with the dot
};
SaveAsTarget saveAsTarget(int filterIndex, const QString &extensionWord);

// True when the chosen name does not end in the wanted extension (compared in lower case), so
// the user is asked whether to add it.
bool needsExtensionQuestion(const QString &chosenName, const QString &wantedExtension);

} // namespace kelpa::editor
