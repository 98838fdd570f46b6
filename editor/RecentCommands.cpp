// The Reopen menu of the twelve recent files and the favourites menu with its file
// "qckload.ini".
#include "editor/RecentCommands.h"

#include "editor/EditorMenus.h"
#include "editor/PageSet.h"
#include "editor/TForm1.h"

#include "editor/ActionHelpers.h"
#include "editor/AppIcon.h"
#include "editor/RecentFiles.h"

#include "platform/Desktop.h"
#include "support/MessageBoxes.h"
#include "support/documents/Documents.h"
#include "widgets/Kpmenus.h"

#include <QCursor>
#include <QFile>
#include <QMenu>
#include <QToolButton>

namespace kelpa::editor {

RecentCommands::RecentCommands(TForm1 &form, PageSet &pages, const EditorMenus &menus,
                               std::array<QString, kRecentCount> &prevLoaded)
    : QObject(&form), form_(form), pages_(pages), prevLoaded_(prevLoaded)
{
    QMenu *file = menus.File1;
    QMenu *Reopen1 = menus.Reopen1;
    Favourite1 = makeAction(this, "Favourite1", QStringLiteral("&Favourite..."), {}, QStringLiteral("Favourite Files"));
    Favourite1->setIcon(editorIcon(EditorIcon::Favourites));
    bind(Favourite1, [this] { SysEditButtonClick(); });
    Reopen1->addAction(Favourite1);
    Reopen1->addSeparator();
    for (int i = 0; i < kRecentCount; ++i) {
        QAction *item = makeAction(this, "", QString());
        item->setObjectName(QStringLiteral("PrevLoaded%1").arg(i));
        bind(item, [this, i] { PrevLoaded0Click(i); });
        Reopen1->addAction(item);
        reopenItems_.at(static_cast<std::size_t>(i)) = item;
    }
    connect(file, &QMenu::aboutToShow, this, Guarded([this] { File1Click(); }));

    PopupMenu3 = form.makePaintedMenu(QStringLiteral("PopupMenu3"));
    PopupMenu3->setToolTipsVisible(true);
    Editfavourites1 = makeAction(this, "Editfavourites1", QStringLiteral("&Edit favourites..."), {},
                                 QStringLiteral("Edits the list of  favourite documents"));
    Addtofavourites1 = makeAction(this, "Addtofavourites1", QStringLiteral("&Add to favourites"), {},
                                  QStringLiteral("Adds the current document to the list of  favourites"));
    bind(Editfavourites1, [this] { Editfavourites1Click(); });
    bind(Addtofavourites1, [this] { Addtofavourites1Click(); });
    PopupMenu3->addSeparator();
    PopupMenu3->addAction(Editfavourites1);
    PopupMenu3->addAction(Addtofavourites1);

    menus.toolRow->insertSpacing(menus.toolRow->count() - 1, 8);
    SysEditButton = makeToolButton(menus.toolRow, menus.toolBar, "SysEditButton", editorIcon(EditorIcon::Favourites),
                                   QStringLiteral("Favourite Files"), [this] { SysEditButtonClick(); }, true);
}

void RecentCommands::AddToRecent(const QString &path)
{
    addToRecent(prevLoaded_, path);
    RebuildReopenMenu();
}

void RecentCommands::RebuildReopenMenu()
{
    try {
        for (int k = 0; k < kRecentCount; ++k) {
            const QString &slot = prevLoaded_.at(static_cast<std::size_t>(k));
            QAction *item = reopenItems_.at(static_cast<std::size_t>(k));
            // Only what changed: a menu whose items change as it opens lays the window out anew.
            const QString caption = reopenCaption(k, slot);
            if (item->text() != caption)
                item->setText(caption);
            if (item->statusTip() != slot)
                item->setStatusTip(slot);
            item->setEnabled(slot != kEmptyRecent);
        }
    } catch (const std::exception &e) {
        ShowErrorBox(QStringLiteral("Cannot reassign menu items (") + QString::fromLocal8Bit(e.what()) + QLatin1Char(')'),
                     0);
    }
}

void RecentCommands::PrevLoaded0Click(int slot)
{
    const QString path = reopenItems_.at(static_cast<std::size_t>(slot))->statusTip();
    if (path != kEmptyRecent)
        form_.OpenDocument(path, true, QString());
}

void RecentCommands::File1Click()
{
    if (!form_.activated())
        return;
    tidyRecent(prevLoaded_);
    RebuildReopenMenu();
}

QString RecentCommands::favouritesPath() const { return form_.programFolder() + kFavouritesFileName; }

void RecentCommands::EnsureFavouritesFile()
{
    const QString path = favouritesPath();
    if (QFile::exists(path))
        return;
    const documents::DocumentError error = documents::writeTextFile(
        path, defaultFavourites(platform::systemSettingsFiles(), platform::systemStartupFiles()));
    if (!error.ok()) {
        ShowErrorBox(QStringLiteral("Cannot save the file ") + path, error.systemError);
        throw Abort();
    }
}

void RecentCommands::SysEditButtonClick()
{
    EnsureFavouritesFile();
    const QList<QAction *> items = PopupMenu3->actions();
    for (qsizetype i = 0; i + 3 < items.size(); ++i) {
        PopupMenu3->removeAction(items[i]);
        delete items[i];
    }
    QFile file(favouritesPath());
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    QAction *before = PopupMenu3->actions().value(0);
    for (const FavouriteEntry &entry : parseFavourites(bytes)) {
        auto *item = new QAction(PopupMenu3);
        if (entry.separator) {
            item->setSeparator(true);
        } else {
            item->setText(EscapeMenuCaption(entry.caption));
            item->setStatusTip(entry.path);
            item->setToolTip(entry.path);
            const QString path = entry.path;
            bind(item, [this, path] { PopupMenuItemsClick(path); });
        }
        PopupMenu3->insertAction(before, item);
    }
    const QPoint at = SysEditButton && SysEditButton->isVisible() ? SysEditButton->mapToGlobal(QPoint(0, 0)) : QCursor::pos();
    PopupMenu3->Popup(at.x(), at.y());
}

void RecentCommands::PopupMenuItemsClick(const QString &path) { form_.OpenDocument(path, false, QString()); }

void RecentCommands::Editfavourites1Click()
{
    EnsureFavouritesFile();
    form_.OpenDocument(favouritesPath(), false, QString());
}

void RecentCommands::Addtofavourites1Click()
{
    TRichEdit *editor = form_.currentEditor();
    // An untitled page has no file to come back to.
    if (!editor || pages_.table()[pages_.table().CurrentPage].isUntitled())
        return;
    EnsureFavouritesFile();
    const QString path = favouritesPath();
    const documents::ReadResult read = documents::readTextFile(path);
    if (!read.ok()) {
        ShowErrorBox(path, read.error.systemError);
        return;
    }
    const documents::DocumentError error =
        documents::writeTextFile(path, withFavourite(read.bytes, pages_.table()[pages_.table().CurrentPage].FileName));
    if (!error.ok())
        ShowErrorBox(QStringLiteral("Cannot save the file ") + path, error.systemError);
}

} // namespace kelpa::editor
