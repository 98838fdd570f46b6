#pragma once
// File's Reopen menu of the twelve recent files, and the favourites menu with its file
// "qckload.ini" and its tool button. Owns their actions; the recent list itself is the
// window's settings'.
#include "editor/RecentFiles.h"

#include <QObject>
#include <QString>

#include <array>

class QAction;
class QToolButton;

namespace kelpa::widgets {
class TKpPopupMenu;
}

namespace kelpa::editor {

struct EditorMenus;
class PageSet;
class TForm1;

class RecentCommands : public QObject {
    Q_OBJECT
public:
    // Fills File's Reopen menu and puts the favourites button on the tool row; `prevLoaded` is
    // the list the Reopen menu shows.
    RecentCommands(TForm1 &form, PageSet &pages, const EditorMenus &menus, std::array<QString, kRecentCount> &prevLoaded);

    void AddToRecent(const QString &path);
    void RebuildReopenMenu();
    void PrevLoaded0Click(int slot);
    void File1Click();
    void SysEditButtonClick();
    void PopupMenuItemsClick(const QString &path);
    void Editfavourites1Click();
    void Addtofavourites1Click();
    void EnsureFavouritesFile();
    widgets::TKpPopupMenu *favouritesMenu() const { return PopupMenu3; }

private:
    QString favouritesPath() const;

    TForm1 &form_;
    PageSet &pages_;
    std::array<QString, kRecentCount> &prevLoaded_;
    QAction *Favourite1 = nullptr;
    std::array<QAction *, kRecentCount> reopenItems_{};
    widgets::TKpPopupMenu *PopupMenu3 = nullptr;
    QAction *Editfavourites1 = nullptr;
    QAction *Addtofavourites1 = nullptr;
    QToolButton *SysEditButton = nullptr;
};

} // namespace kelpa::editor
