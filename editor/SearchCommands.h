#pragma once
// The Search menu: find, find next with the wrap-around question, replace and Replace All, and
// the ten bookmarks of a page. Owns its actions, both dialogs and whether F3 searches what the
// replace dialog shows (ReplaceMode).
#include "editor/Names.h"
#include <QObject>
#include <QString>

class QAction;
class QBoxLayout;
class QMenu;
class QToolButton;

namespace kelpa::editor {

struct EditorMenus;
struct KelpaSettings;
class PageSet;
class TFindDialog;
class TForm1;

class SearchCommands : public QObject {
    Q_OBJECT
public:
    // Fills the Search menu.
    SearchCommands(TForm1 &form, PageSet &pages, const EditorMenus &menus);
    // The preference that fills a dialog with the word at the caret, where the window places it.
    void addPreferences(QMenu *prefs);
    // Find and Replace on the tool row.
    void addToolButtons(QBoxLayout *row);
    void applySettings(const KelpaSettings &settings);
    void collectSettings(KelpaSettings &settings) const;

    void FindButtonClick();
    void Replace1Click();
    void Findnext1Click();
    void ReplaceDialog1Replace();
    void N01Click(int n);
    void N02Click(int n);
    // Keeps the slot's bookmarks on their text as it is edited.
    void trackBookmarks(int slot);

    TFindDialog *findDialog() const { return FindDialog1; }
    TFindDialog *replaceDialog() const { return ReplaceDialog1; }
    bool replaceMode() const { return ReplaceMode; }
    // Enables the commands while a page is open.
    void updateActionState();

signals:
    // What the message panel should show.
    void message(const QString &text);

private:
    void findNext(bool replaceAllRequested);
    // Replaces the hits from `from` on (starting before `limit`, -1: to the end) as one step of
    // undo, joined to the previous step when asked; gives the number replaced and where the
    // last replacement ends.
    struct Replaced {
        int count = 0;
        int endOfLast = 0;
    };
    Replaced replaceAllHits(TRichEdit *editor, const QString &what, const QString &with, int from, int limit,
                            bool joinPrevious);

    TForm1 &form_;
    PageSet &pages_;
    QMenu *Search1 = nullptr;
    QWidget *toolBar_ = nullptr;
    QAction *FindCapture1 = nullptr;
    QAction *Find1 = nullptr;
    QAction *Replace1 = nullptr;
    QAction *Findnext1 = nullptr;
    TFindDialog *FindDialog1 = nullptr;
    TFindDialog *ReplaceDialog1 = nullptr;
    QToolButton *FindButton = nullptr;
    QToolButton *ReplaceButton = nullptr;
    bool ReplaceMode = false;
};

} // namespace kelpa::editor
