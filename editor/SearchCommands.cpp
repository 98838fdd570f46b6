// The search commands: the word at the caret, find, find next with the wrap-around question,
// replace and Replace All, and the ten bookmarks of a page.
#include "editor/SearchCommands.h"

#include "editor/EditText.h"
#include "editor/EditorMenus.h"
#include "editor/PageSet.h"
#include "editor/PageWords.h"
#include "editor/Settings.h"
#include "editor/TForm1.h"

#include "editor/ActionHelpers.h"
#include "editor/AppIcon.h"
#include "editor/FindDialogs.h"

#include "richedit/TRichEdit.h"
#include "support/MessageBoxes.h"

#include <QMenu>
#include <QToolButton>
#include <QScopeGuard>
#include <QTextCursor>
#include <QTextDocument>

#include <vector>

namespace kelpa::editor {

SearchCommands::SearchCommands(TForm1 &form, PageSet &pages, const EditorMenus &menus)
    : QObject(&form), form_(form), pages_(pages), Search1(menus.Search1), toolBar_(menus.toolBar)
{
    Find1 = makeAction(this, "Find1", QStringLiteral("&Find..."), QKeySequence(Qt::CTRL | Qt::Key_F),
                       QStringLiteral("Find Text"));
    Replace1 = makeAction(this, "Replace1", QStringLiteral("&Replace..."), QKeySequence(Qt::CTRL | Qt::Key_R),
                          QStringLiteral("Replace Text"));
    Findnext1 = makeAction(this, "Findnext1", QStringLiteral("Find &Next"), QKeySequence(Qt::Key_F3),
                           QStringLiteral("Finds the next occurrence"));
    Find1->setIcon(editorIcon(EditorIcon::Find));
    Replace1->setIcon(editorIcon(EditorIcon::Replace));
    bind(Find1, [this] { FindButtonClick(); });
    bind(Replace1, [this] { Replace1Click(); });
    bind(Findnext1, [this] { Findnext1Click(); });
    Search1->addAction(Find1);
    Search1->addAction(Replace1);
    Search1->addAction(Findnext1);
    Search1->addSeparator();
    QMenu *set = Search1->addMenu(QStringLiteral("&Set Bookmark"));
    set->setObjectName(QStringLiteral("SetBookmark1"));
    QMenu *go = Search1->addMenu(QStringLiteral("&Go To Bookmark"));
    go->setObjectName(QStringLiteral("GoToBookmark1"));
    for (int n = 0; n < kBookmarkCount; ++n) {
        const auto digit = static_cast<Qt::Key>(Qt::Key_0 + n);
        QAction *s = makeAction(this, "", QStringLiteral("&%1").arg(n), QKeySequence(Qt::CTRL | Qt::SHIFT | digit));
        s->setObjectName(QStringLiteral("SetBookmark%1").arg(n));
        QAction *g = makeAction(this, "", QStringLiteral("&%1").arg(n), QKeySequence(Qt::CTRL | digit));
        g->setObjectName(QStringLiteral("GoToBookmark%1").arg(n));
        bind(s, [this, n] { N01Click(n); });
        bind(g, [this, n] { N02Click(n); });
        set->addAction(s);
        go->addAction(g);
    }

    FindDialog1 = new TFindDialog(false, &form);
    ReplaceDialog1 = new TFindDialog(true, &form);
    // A search started from the find dialog is no longer the replace dialog's.
    connect(FindDialog1, &TFindDialog::find, this, Guarded([this] {
        ReplaceMode = false;
        Findnext1Click();
    }));
    connect(ReplaceDialog1, &TFindDialog::find, this, Guarded([this] { Findnext1Click(); }));
    connect(ReplaceDialog1, &TFindDialog::replace, this, Guarded([this] { ReplaceDialog1Replace(); }));
    connect(ReplaceDialog1, &TFindDialog::opened, this, [this] { ReplaceMode = true; });
}

void SearchCommands::addPreferences(QMenu *prefs)
{
    FindCapture1 = makeAction(this, "FindCapture1", QStringLiteral("Find Dialog-Box: &Auto-Fill"), {},
                              QStringLiteral("The find and replace dialogs start with the word at the caret"));
    FindCapture1->setCheckable(true);
    FindCapture1->setChecked(true);
    prefs->addAction(FindCapture1);
}

void SearchCommands::addToolButtons(QBoxLayout *row)
{
    FindButton = makeToolButton(row, toolBar_, "FindButton", editorIcon(EditorIcon::Find), QStringLiteral("Find Text"),
                                [this] { FindButtonClick(); });
    ReplaceButton = makeToolButton(row, toolBar_, "ReplaceButton", editorIcon(EditorIcon::Replace),
                                   QStringLiteral("Replace Text"), [this] { Replace1Click(); });
}

void SearchCommands::applySettings(const KelpaSettings &settings) { FindCapture1->setChecked(settings.findCapture); }

void SearchCommands::collectSettings(KelpaSettings &settings) const { settings.findCapture = FindCapture1->isChecked(); }

void SearchCommands::updateActionState()
{
    const bool open = pages_.table().openCount() > 0;
    for (QAction *a : {Find1, Replace1, Findnext1})
        a->setEnabled(open);
    Search1->setEnabled(open);
    for (QToolButton *b : {FindButton, ReplaceButton})
        b->setEnabled(open);
}

void SearchCommands::trackBookmarks(int slot)
{
    // Bookmarks move with the text inserted or deleted before them.
    TRichEdit *editor = pages_.table()[slot].Editor;
    connect(editor->document(), &QTextDocument::contentsChange, editor, [this, slot, editor](int from, int removed, int added) {
        PageRecord &page = pages_.table()[slot];
        if (page.Editor != editor)
            return;
        for (int &mark : page.Bookmarks)
            mark = shiftedPosition(mark, from, removed, added);
    });
}

void SearchCommands::FindButtonClick()
{
    if (!form_.currentEditor())
        return;
    // From now on F3 searches what this dialog shows, not the replace dialog's text.
    ReplaceMode = false;
    if (FindCapture1->isChecked())
        FindDialog1->SetFindText(WordAtCaret(form_.currentEditor(), true));
    FindDialog1->Execute();
}

void SearchCommands::Replace1Click()
{
    TRichEdit *editor = form_.currentEditor();
    if (!editor)
        return;
    if (FindCapture1->isChecked()) {
        ReplaceDialog1->SetFindText(WordAtCaret(form_.currentEditor(), true));
        editor->SetSelLength(0);
    } else {
        ReplaceDialog1->SetFindText(FindDialog1->FindText());
    }
    ReplaceDialog1->Execute();
    ReplaceMode = true;
}

namespace {

TSearchTypes searchOptions(const TFindDialog *dialog)
{
    TSearchTypes options;
    if (dialog->WholeWord())
        options |= TSearchType::WholeWord;
    if (dialog->MatchCase())
        options |= TSearchType::MatchCase;
    return options;
}

// The selection is a hit of the search text.
bool selectionIsHit(TRichEdit *editor, const QString &what, TSearchTypes options)
{
    return editor->SelLength() == what.size()
        && editor->FindText(what, editor->SelStart(), editor->SelLength(), options) == editor->SelStart();
}

} // namespace

void SearchCommands::ReplaceDialog1Replace()
{
    TRichEdit *editor = form_.editableEditor();
    if (!editor)
        return;
    // Only a hit is replaced: a selection made for another reason stays.
    if (editor->SelLength() > 0 && selectionIsHit(editor, ReplaceDialog1->FindText(), searchOptions(ReplaceDialog1)))
        editor->SetSelText(ReplaceDialog1->ReplaceText());
    findNext(ReplaceDialog1->ReplaceAll());
}

void SearchCommands::Findnext1Click() { findNext(false); }

void SearchCommands::findNext(bool replaceAllRequested)
{
    TRichEdit *editor = form_.currentEditor();
    if (!editor)
        return;
    if (ReplaceMode)
        FindDialog1->SetFindText(ReplaceDialog1->FindText());
    const QString what = FindDialog1->FindText();
    if (what.isEmpty()) {
        FindDialog1->Execute();
        return;
    }
    const TSearchTypes options = searchOptions(ReplaceMode ? ReplaceDialog1 : FindDialog1);
    bool replaceAll = false;
    if (ReplaceMode && replaceAllRequested) {
        replaceAll = true;
        ReplaceDialog1->CloseDialog();
    }
    if (!ReplaceMode)
        FindDialog1->CloseDialog();
    if (replaceAll) {
        // The caret stays at the starting point: all that changed lies after it, and the page
        // need not be laid out to its end at once to show it.
        const int caret = editor->SelStart();
        const int from = editor->SelLength() > 0 ? caret + 1 : caret;
        const bool replaced = replaceAllHits(editor, what, ReplaceDialog1->ReplaceText(), from, -1, false).count > 0;
        editor->SetSelStart(caret);
        if (!ConfirmYesNo(QStringLiteral("End of document reached. Do you want to continue through the rest of the document?"))) {
            ReplaceMode = false;
            return;
        }
        // Up to where the first run began, once: what was put in is not searched again.
        if (const Replaced rest = replaceAllHits(editor, what, ReplaceDialog1->ReplaceText(), 0, from, replaced);
            rest.count > 0)
            editor->SetSelStart(rest.endOfLast);
        ShowMessage(QStringLiteral("Searched through the entire document:\nthere are no more \"") + what
                    + QLatin1Char('"'));
        ReplaceMode = false;
        return;
    }

    const int startMark = editor->SelStart() + 1;
    bool wrapped = false;
    for (;;) {
        const int caret = editor->SelStart();
        const int from = editor->SelLength() > 0 ? caret + 1 : caret;
        const int p = editor->FindText(what, from, editor->TextLength() - caret, options);
        if (p >= 0 && !(wrapped && p >= startMark)) {
            editor->SetSelStart(p);
            editor->SetSelLength(static_cast<int>(what.size()));
            editor->ScrollCaret();
            if (!ReplaceMode)
                editor->setFocus();
            return;
        }
        // The question's own event loop paints the page without the dialog.
        if (ReplaceMode)
            ReplaceDialog1->CloseDialog();
        if (wrapped) {
            ShowMessage(QStringLiteral("Searched through the entire document:\nthere are no more \"") + what
                        + QLatin1Char('"'));
            ReplaceMode = false;
            return;
        }
        if (!ConfirmYesNo(QStringLiteral("End of document reached. Do you want to continue through the rest of the document?"))) {
            ReplaceMode = false;
            return;
        }
        editor->SetSelStart(0);
        wrapped = true;
        if (ReplaceMode) {
            Replace1Click();
            // The search goes on from the very start with the text being replaced, and the
            // dialog keeps showing it rather than the word it found there.
            ReplaceDialog1->SetFindText(what);
            editor->SetSelStart(0);
        }
    }
}

SearchCommands::Replaced SearchCommands::replaceAllHits(TRichEdit *editor, const QString &what, const QString &with,
                                                        int from, int limit, bool joinPrevious)
{
    if (editor->ReadOnly())
        return {};
    const int length = static_cast<int>(what.size());
    // Every hit of the text as it stands, then all replaced at once (last first, so that the
    // positions hold) as one step of undo.
    const std::vector<int> hits = findHits(editor->Text(), what, from, limit, ReplaceDialog1->WholeWord(),
                                           ReplaceDialog1->MatchCase());
    if (hits.empty())
        return {};
    QTextDocument *document = editor->document();
    // The page is laid out again afterwards in steps, as after loading, not at once at the end
    // of the edit: the replacements may touch every line of a long page.
    const QSizeF pageSize = document->pageSize();
    document->setPageSize(QSizeF());
    const auto layout = qScopeGuard([&] { document->setPageSize(pageSize); });
    QTextCursor cursor(document);
    if (joinPrevious)
        cursor.joinPreviousEditBlock();
    else
        cursor.beginEditBlock();
    for (auto it = hits.rbegin(); it != hits.rend(); ++it) {
        cursor.setPosition(*it);
        cursor.setPosition(*it + length, QTextCursor::KeepAnchor);
        cursor.insertText(with);
    }
    cursor.endEditBlock();
    return {static_cast<int>(hits.size()), hits.back() + static_cast<int>(hits.size() - 1) * (static_cast<int>(with.size()) - length)
                                               + static_cast<int>(with.size())};
}

void SearchCommands::N01Click(int n)
{
    TRichEdit *editor = form_.currentEditor();
    if (!editor)
        return;
    pages_.table()[pages_.table().CurrentPage].Bookmarks.at(static_cast<std::size_t>(n)) = editor->SelStart();
    emit message(QStringLiteral("Bookmark %1 ready.").arg(n));
}

void SearchCommands::N02Click(int n)
{
    TRichEdit *editor = form_.currentEditor();
    if (!editor)
        return;
    // A mark beyond the end of the text goes to the end.
    if (const int mark = pages_.table()[pages_.table().CurrentPage].Bookmarks.at(static_cast<std::size_t>(n)); mark != -1)
        editor->SetSelStart(mark);
    emit message(QStringLiteral("Jumped to bookmark %1").arg(n));
}

} // namespace kelpa::editor
