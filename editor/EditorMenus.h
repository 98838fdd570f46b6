#pragma once
// The menus and bars the main window builds, in the order the user sees them, and hands to
// every group of commands to fill: no group looks a menu up by its name.
class QAction;
class QHBoxLayout;
class QMenu;
class QWidget;

namespace kelpa::widgets {
class TKpPopupMenu;
}

namespace kelpa::editor {

struct EditorMenus {
    // The menu bar, left to right.
    QMenu *File1 = nullptr;
    QMenu *Edit1 = nullptr;
    QMenu *Search1 = nullptr;
    QMenu *Preferences1 = nullptr;
    QMenu *View1 = nullptr;
    QMenu *Tools1 = nullptr;
    QMenu *Help1 = nullptr;
    // File's sub-menu of recent files and favourites (placed by the file commands).
    QMenu *Reopen1 = nullptr;
    // The page editor's context menu.
    widgets::TKpPopupMenu *PopupMenu1 = nullptr;
    // The tool-button panel and its row; the row ends in a stretch, buttons go before it.
    QWidget *toolBar = nullptr;
    QHBoxLayout *toolRow = nullptr;
    // Where later groups put their items: before File's Exit, and in the page menu before the
    // separators after its file items, after the clipboard items and before Cancel.
    QAction *exitItem = nullptr;
    QAction *pageFileEnd = nullptr;
    QAction *pageCheckPlace = nullptr;
    QAction *pageFormatEnd = nullptr;
};

} // namespace kelpa::editor
