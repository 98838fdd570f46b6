#include "editor/PageWords.h"

#include "editor/EditText.h"
#include "richedit/TRichEdit.h"

namespace kelpa::editor {

QString WordAtCaret(TRichEdit *editor, bool select)
{
    if (!editor)
        return {};
    const QString text = editor->Text();
    if (text.isEmpty())
        return {};
    const int caret = editor->SelStart();
    const WordSpan span = wordAtCaret(text, caret);
    const QString word = text.mid(span.start, span.length);
    if (select) {
        if (!word.isEmpty()) {
            editor->SetSelStart(span.start);
            editor->SetSelLength(span.length);
        }
    } else {
        editor->SetSelStart(caret);
    }
    return word;
}

QString checkWord(TRichEdit *editor)
{
    if (!editor)
        return {};
    if (editor->SelLength() != 0 && editor->SelStart() != editor->TextLength())
        return firstWordOf(editor->SelText());
    return WordAtCaret(editor, false);
}

QString checkWordCaption(const QString &word) { return QStringLiteral("Chec&k \"") + word + QLatin1Char('"'); }

} // namespace kelpa::editor
