#pragma once
// The word a command takes from a page: Find's auto-fill, Check Word and its menu caption.
#include "editor/Names.h"

#include <QString>

namespace kelpa::editor {

// The word at the caret (see wordAtCaret); with `select` it becomes the selection, else the
// caret stays where it was. "" without a page or text.
QString WordAtCaret(TRichEdit *editor, bool select);
// What Check Word checks: the first word of the selection, else the word at the caret.
QString checkWord(TRichEdit *editor);
// The page menu's item for that word.
QString checkWordCaption(const QString &word);

} // namespace kelpa::editor
