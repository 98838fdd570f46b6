#pragma once
// The editing commands of the main window: undo and the clipboard, inserted date, time,
// separator and header, deleting a line, the separator length and date format, the page
// editor's key and mouse events, and the page context menu.
#include "editor/Names.h"
#include "editor/EditText.h"
#include "editor/EditorMenus.h"

#include <QObject>
#include <QPoint>
#include <QString>
#include <array>

class QAction;
class QHBoxLayout;
class QKeyEvent;
class QMenu;
class QToolButton;

namespace kelpa::editor {

struct KelpaSettings;
class TForm1;

class EditCommands : public QObject {
    Q_OBJECT
public:
    // Fills the Edit menu and the page context menu of `menus`; the dated and separator
    // settings are the window's `settings`.
    EditCommands(TForm1 &form, const EditorMenus &menus, KelpaSettings &settings);

    // The clipboard and date items of the Preferences menu, at its end.
    void addPreferences(QMenu *preferences);
    // The undo and clipboard buttons, at the end of the tool row.
    void addToolButtons(QHBoxLayout *row);
    // Shows the stored settings in the items.
    void applySettings();
    void updateActionState(bool open);
    // Routes a page editor's keys, clicks and context menu here.
    void attachEditor(TRichEdit *editor);
    // False for a key the edit commands take before the page editor.
    bool editorClaimsShortcut(QKeyEvent *event) const;
    // The context menu's places for other groups' items: its separators after the file items,
    // after the clipboard (for the spelling items) and before Cancel (for the formatting items).
    QAction *fileItemsEnd() const { return FileSeparator; }
    QAction *checkPlace() const { return CheckSeparator; }
    QAction *formatItemsEnd() const { return FormatSeparator; }

    void UndoButtonClick();
    void CutButtonClick();
    void CopyButtonClick();
    void PasteButtonClick();
    void Selectall1Click();
    void Insertcurrentdate1Click();
    void Insertcurrenttime1Click();
    void Insertseparatorline1Click(bool header);
    void Deleteline1Click();
    void Separatorlinelength1Click();
    void ddmmyyyy1Click(int option);
    void PopupMenu1Popup();
    // The check word of the context menu: the selection's first word, else the word at the
    // caret; and the caption of its item.
    void RichEdit1KeyDown(int &key, Qt::KeyboardModifiers shift);
    void RichEdit1KeyPress(QChar &key);
    void RichEdit1KeyUp(int &key, Qt::KeyboardModifiers shift);
    void RichEdit1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);

signals:
    // An undo may have changed the format under the selection without moving it.
    void formatMayHaveChanged();
    // The selection takes the default font (a separator line on a rich page is written in it).
    void defaultFontWanted();

private:
    void setupEditActions();
    void setupPageMenu();

    TForm1 &form_;
    const EditorMenus &menus_;
    KelpaSettings &settings_;
    KeystrokeRepair keystrokes_;

    QAction *Undo1 = nullptr;
    QAction *Cut1 = nullptr;
    QAction *Copy1 = nullptr;
    QAction *Paste1 = nullptr;
    QAction *Selectall1 = nullptr;
    QAction *Insertcurrentdate1 = nullptr;
    QAction *Insertcurrenttime1 = nullptr;
    QAction *Insertseparatorline1 = nullptr;
    QAction *Insertheader1 = nullptr;
    QAction *Deleteline1 = nullptr;
    // Preferences
    QAction *PlainCopyPaste1 = nullptr;
    QAction *Separatorlinelength1 = nullptr;
    std::array<QAction *, 4> dateFormats_{};
    // Page context menu
    QAction *FileSeparator = nullptr;
    QAction *CutPopup = nullptr;
    QAction *CopyPopup = nullptr;
    QAction *PastePopup = nullptr;
    QAction *CheckSeparator = nullptr;
    QAction *FormatSeparator = nullptr;
    QToolButton *UndoButton = nullptr;
    QToolButton *CutButton = nullptr;
    QToolButton *CopyButton = nullptr;
    QToolButton *PasteButton = nullptr;
};

} // namespace kelpa::editor
