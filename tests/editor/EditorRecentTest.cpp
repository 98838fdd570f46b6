// The Reopen menu of recent files and the favourites menu with "qckload.ini".
#include "EditorFixture.h"

#include "editor/RecentCommands.h"

#include <QAction>
#include "widgets/Kpmenus.h"

#include <QMenu>

using namespace kelpa::editor;
using namespace kelpa::editor::test;

namespace {

const QByteArray kDefaultFavourites = ";List of favourite files\r\n"
                                      ";To add a separator bar, insert a minus sing (-) between two rows\r\n"
                                      "/etc/hosts\r\n/etc/fstab\r\n-\r\n/etc/profile\r\n/etc/environment\r\n/etc/os-release\r\n";

// Captions of the favourites menu, "-" for a separator.
QStringList captions(QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

} // namespace

TEST_F(EditorTest, ReopenMenuShowsTheRecentFiles)
{
    writeFile(path("Kelpa.ini"), "PrevLoaded2=*untitled.rtf\r\n");
    start();
    writeFile(path("a & b.txt"), "x");
    writeFile(path("second.txt"), "y");
    form->OpenDocument(path("second.txt"), true, {});
    form->OpenDocument(path("a & b.txt"), true, {});
    form->recent().File1Click();
    QAction *first = actionOf(*form, "PrevLoaded0");
    EXPECT_EQ(first->text(), "&1 a && b.txt");
    EXPECT_EQ(first->statusTip(), path("a & b.txt"));
    EXPECT_TRUE(first->isEnabled());
    EXPECT_EQ(actionOf(*form, "PrevLoaded1")->text(), "&2 second.txt");
    EXPECT_EQ(actionOf(*form, "PrevLoaded3")->statusTip(), "*empty") << "slots starting with '*' are tidied";
    EXPECT_FALSE(actionOf(*form, "PrevLoaded3")->isEnabled());
    EXPECT_EQ(actionOf(*form, "PrevLoaded11")->text(), "&C *empty");
    // Reopening a closed file puts it back at the top.
    form->ClosePage(form->CurrentPage());
    form->ClosePage(form->CurrentPage());
    actionOf(*form, "PrevLoaded1")->trigger();
    EXPECT_EQ(page(form->CurrentPage()).FileName, path("second.txt"));
    EXPECT_EQ(actionOf(*form, "PrevLoaded0")->text(), "&1 second.txt");
    EXPECT_EQ(actionOf(*form, "PrevLoaded1")->text(), "&2 a && b.txt");
    QMenu *reopen = form->findChild<QMenu *>("Reopen1");
    ASSERT_TRUE(reopen);
    EXPECT_EQ(reopen->actions().size(), 14);
    EXPECT_EQ(reopen->actions().at(0)->text(), "&Favourite...");
    EXPECT_TRUE(reopen->actions().at(1)->isSeparator());
}

TEST_F(EditorTest, FavouritesFileIsWrittenWhenMissingAndFillsTheMenu)
{
    start();
    ASSERT_FALSE(QFile::exists(path("qckload.ini")));
    form->recent().SysEditButtonClick();
    EXPECT_EQ(fileBytes(path("qckload.ini")), kDefaultFavourites);
    EXPECT_EQ(captions(form->recent().favouritesMenu()),
              QStringList({"hosts", "fstab", "-", "profile", "environment", "os-release", "-", "&Edit favourites...",
                           "&Add to favourites"}));
    form->recent().favouritesMenu()->hide();
    EXPECT_EQ(form->recent().favouritesMenu()->actions().at(0)->statusTip(), "/etc/hosts");
    EXPECT_EQ(actionOf(*form, "Editfavourites1")->statusTip(), "Edits the list of  favourite documents");
    EXPECT_EQ(actionOf(*form, "Addtofavourites1")->statusTip(), "Adds the current document to the list of  favourites");

    // The user's own lines: comments and blank lines are no entries; the menu is built anew.
    writeFile(path("qckload.ini"), ";mine\r\n\r\n   \r\n" + path("one.txt").toUtf8() + "\r\n ;spaced\r\n-\r\n");
    writeFile(path("one.txt"), "favourite");
    form->recent().SysEditButtonClick();
    form->recent().favouritesMenu()->hide();
    EXPECT_EQ(captions(form->recent().favouritesMenu()),
              QStringList({"one.txt", " ;spaced", "-", "-", "&Edit favourites...", "&Add to favourites"}));
    form->recent().favouritesMenu()->actions().at(0)->trigger();
    EXPECT_EQ(page(form->CurrentPage()).FileName, path("one.txt"));
    EXPECT_NE(form->settings().prevLoaded[0], path("one.txt")) << "favourites are no recent files";
}

TEST_F(EditorTest, AddAndEditFavourites)
{
    start();
    writeFile(path("doc.txt"), "x");
    form->OpenDocument(path("doc.txt"), true, {});
    form->recent().Addtofavourites1Click();
    EXPECT_EQ(fileBytes(path("qckload.ini")), kDefaultFavourites + path("doc.txt").toUtf8() + "\r\n");
    // An untitled page has no file to add.
    form->NewPage(NewPageKind::Plain);
    form->recent().Addtofavourites1Click();
    EXPECT_EQ(fileBytes(path("qckload.ini")), kDefaultFavourites + path("doc.txt").toUtf8() + "\r\n");
    form->recent().Editfavourites1Click();
    const PageRecord &list = page(form->CurrentPage());
    EXPECT_EQ(list.FileName, path("qckload.ini"));
    EXPECT_EQ(list.Kind, PageKind::Plain);
    EXPECT_TRUE(list.Editor->Text().startsWith(";List of favourite files\n"));
}
