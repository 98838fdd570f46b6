// Settings applied at start and written at close, the first run, the single-instance request
// and the About box.
#include "EditorFixture.h"

#include "editor/AboutBox.h"
#include "editor/HandOff.h"
#include "platform/ShellExecute.h"
#include "richedit/TRichEdit.h"
#include "support/StoredText.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QStatusTipEvent>

using namespace kelpa::editor;
using namespace kelpa::editor::test;
using kelpa::MessageAnswer;

namespace {

QString iniValue(const QString &file, const QString &key)
{
    const auto v = kelpa::NameValueLines::parse(fileBytes(file)).value(key);
    return v ? *v : QStringLiteral("<missing>");
}

// Closes the next modal dialog that appears (the About box).
void closeNextModal(int *closed)
{
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, closed] {
        if (auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            ++*closed;
            modal->reject();
            timer->deleteLater();
        }
    });
    timer->start();
}

} // namespace

TEST_F(EditorTest, SettingsAreAppliedAndWrittenBackAtClose)
{
    writeFile(path("Kelpa.ini"), "CommonPWD=N\r\nEncEC4=N\r\nShowToolbar=N\r\nAutoWrap=maybe\r\nSeparator=-5\r\n"
                                 "DateFormatOption=7\r\nUnknownKey=1\r\nPrevLoaded0=/x/y.txt\r\nNormalWidth=-40\r\n");
    start();
    EXPECT_FALSE(actionOf(*form, "Usecommonpassword1")->isChecked());
    EXPECT_TRUE(actionOf(*form, "Blowfish1")->isChecked());
    EXPECT_FALSE(actionOf(*form, "EC41")->isChecked());
    EXPECT_FALSE(actionOf(*form, "ShowToolbar1")->isChecked());
    EXPECT_FALSE(form->findChild<QWidget *>("EditPanel")->isVisible());
    EXPECT_TRUE(actionOf(*form, "Automatic1")->isChecked());
    EXPECT_EQ(form->clientSize().width(), 530) << "an unusable width is not applied";
    form->resize(700, 500);
    const int clientHeight = form->clientSize().height();
    EXPECT_LT(clientHeight, 500) << "the stored size is the client area, without the menu bar";
    ASSERT_TRUE(form->close());
    const QString ini = path("Kelpa.ini");
    EXPECT_EQ(iniValue(ini, "CommonPWD"), "N");
    EXPECT_EQ(iniValue(ini, "EncEC4"), "N");
    EXPECT_EQ(iniValue(ini, "ShowToolbar"), "N");
    EXPECT_EQ(iniValue(ini, "AutoWrap"), "Y");
    EXPECT_EQ(iniValue(ini, "Separator"), "-5") << "stored as read";
    EXPECT_EQ(iniValue(ini, "DateFormatOption"), "7");
    EXPECT_EQ(iniValue(ini, "UnknownKey"), "<missing>");
    EXPECT_EQ(iniValue(ini, "PrevLoaded0"), "/x/y.txt");
    EXPECT_EQ(iniValue(ini, "NormalWidth"), "700");
    EXPECT_EQ(iniValue(ini, "NormalHeight"), QString::number(clientHeight));
    EXPECT_EQ(iniValue(ini, "Maximized"), "N");
}

TEST_F(EditorTest, EveryKeyReadIsWrittenBackInItsOrder)
{
    // Every key away from its default, in a jumbled order and case, with a key of no one.
    writeFile(path("Kelpa.ini"), "PrevLoaded1=/d/b.eco\r\nencec4=n\r\nDefaultFontColor=255\r\nSeparator=60\r\n"
                                 "Batchscope=y\r\nFindCapture=n\r\nNormalHeight=480\r\nOther=kept?\r\n"
                                 "DefaultFontName=DejaVu Sans Mono\r\nAutoWrap=N\r\nDateFormatOption=3\r\n"
                                 "CommonPWD=N\r\nDefaultFontSize=11\r\nShowToolbar=N\r\nNormalWidth=640\r\n"
                                 "Maximized=N\r\nPrevLoaded0=/d/a.txt\r\n");
    start();
    ASSERT_TRUE(form->close());
    const QByteArray golden = "NormalWidth=640\r\n"
                              "NormalHeight=480\r\n"
                              "Maximized=N\r\n"
                              "DateFormatOption=3\r\n"
                              "Separator=60\r\n"
                              "FindCapture=N\r\n"
                              "Batchscope=Y\r\n"
                              "AutoWrap=N\r\n"
                              "CommonPWD=N\r\n"
                              "ShowToolbar=N\r\n"
                              "EncEC4=N\r\n"
                              "DefaultFontName=DejaVu Sans Mono\r\n"
                              "DefaultFontSize=11\r\n"
                              "DefaultFontColor=255\r\n"
                              "PrevLoaded0=/d/a.txt\r\n"
                              "PrevLoaded1=/d/b.eco\r\n"
                              "PrevLoaded2=*empty\r\n"
                              "PrevLoaded3=*empty\r\n"
                              "PrevLoaded4=*empty\r\n"
                              "PrevLoaded5=*empty\r\n"
                              "PrevLoaded6=*empty\r\n"
                              "PrevLoaded7=*empty\r\n"
                              "PrevLoaded8=*empty\r\n"
                              "PrevLoaded9=*empty\r\n"
                              "PrevLoaded10=*empty\r\n"
                              "PrevLoaded11=*empty\r\n";
    EXPECT_EQ(fileBytes(path("Kelpa.ini")).toStdString(), golden.toStdString());
}

TEST_F(EditorTest, MaximizedWindowWritesTheSizeRememberedAtStart)
{
    struct Case { const char *ini; bool resizeThenMaximize; QSize startSize; };
    for (const Case c : {Case{"Maximized=y\r\n", false, QSize(530, 414)},
                         Case{"NormalWidth=600\r\nNormalHeight=450\r\n", true, QSize(600, 450)}}) {
        writeFile(path("Kelpa.ini"), c.ini);
        start();
        if (c.resizeThenMaximize) {
            EXPECT_EQ(form->clientSize(), c.startSize);
            form->resize(720, 540);
            form->showMaximized();
            pump();
        }
        EXPECT_TRUE(form->isMaximized()) << c.ini;
        ASSERT_TRUE(form->close());
        EXPECT_EQ(iniValue(path("Kelpa.ini"), "Maximized"), "Y") << c.ini;
        EXPECT_EQ(iniValue(path("Kelpa.ini"), "NormalWidth"), QString::number(c.startSize.width())) << c.ini;
        EXPECT_EQ(iniValue(path("Kelpa.ini"), "NormalHeight"), QString::number(c.startSize.height())) << c.ini;
        TearDown();
    }
}

TEST_F(EditorTest, RecentFilesFollowOpensAndSaves)
{
    start();
    for (const char *n : {"1.txt", "2.txt", "3.txt"})
        writeFile(path(n), n);
    for (const char *n : {"1.txt", "2.txt", "3.txt"})
        form->OpenDocument(path(n), true, {});
    form->ClosePage(form->pages().findLoaded(path("1.txt")));
    form->OpenDocument(path("1.txt"), true, {});
    const auto &recent = form->settings().prevLoaded;
    EXPECT_EQ(recent[0], path("1.txt"));
    EXPECT_EQ(recent[1], path("3.txt"));
    EXPECT_EQ(recent[2], path("2.txt"));
    EXPECT_EQ(recent[3], "*empty");
}

TEST_F(EditorTest, FirstRunShowsAboutAndWelcome)
{
    int closed = 0;
    closeNextModal(&closed);
    start(false);
    EXPECT_EQ(closed, 1);
    const auto messages = prompter.messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().caption, "Kelpa");
    EXPECT_EQ(messages.back().text, "Welcome!");
    prompter.clear();
    form->FormActivate();
    EXPECT_TRUE(prompter.messages().empty()) << "a second activation shows nothing";
    EXPECT_EQ(openCount(), 1);
}

TEST_F(EditorTest, SettingsFileThatCannotBeWrittenIsReported)
{
    start();
    QFile::remove(path("Kelpa.ini"));
    QDir(folder).mkdir("Kelpa.ini");
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(shownMessageStarting("Cannot save the file " + folder + "Kelpa.ini.\n"));
}

TEST_F(EditorTest, BatchFolderIsCreatedOrTheFailureShown)
{
    // A file in the folder's place cannot be entered and blocks the folder.
    writeFile(path("Batches"), "not a folder");
    start();
    const auto messages = prompter.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, "Folder creation");
    EXPECT_EQ(messages[0].icon, kelpa::MessageIcon::Warning);
    EXPECT_EQ(messages[0].text, "Cannot create the folder \"" + folder + "Batches\"");
    EXPECT_EQ(openCount(), 1) << "start-up goes on";
    TearDown();
    QFile::remove(path("Batches"));
    prompter.clear();
    start();
    EXPECT_TRUE(QFileInfo(path("Batches")).isDir());
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(EditorTest, CommandLinePathOpensAtFirstShow)
{
    writeFile(path("cmd.txt"), "from the command line");
    start(true, [&] { return std::make_unique<TForm1>(path("cmd.txt")); });
    EXPECT_EQ(openCount(), 1);
    EXPECT_EQ(page(0).FileName, path("cmd.txt"));
}

TEST_F(EditorTest, EachDocumentOfTheCommandLineOpens)
{
    writeFile(path("one.txt"), "1");
    writeFile(path("two.rtf"), "{\\rtf1 2}");
    start(true, [&] { return std::make_unique<TForm1>(path("one.txt"), QStringList{path("two.rtf")}); });
    EXPECT_EQ(openCount(), 2);
    EXPECT_EQ(page(0).FileName, path("one.txt"));
    EXPECT_EQ(page(1).FileName, path("two.rtf"));
}

TEST_F(EditorTest, HandedOverPathOpensAndTheRequestIsDeleted)
{
    start();
    writeFile(path("handed.txt"), "handed");
    ASSERT_TRUE(writeLoadRequest(folder, path("handed.txt")));
    actionOf(*form, "externappcmd3")->trigger();
    EXPECT_GE(form->pages().findLoaded(path("handed.txt")), 0);
    EXPECT_FALSE(QFile::exists(path("loadreq")));
    // Again, while it is open: the "already loaded" box.
    ASSERT_TRUE(writeLoadRequest(folder, path("handed.txt")));
    form->MIRTOL1Click();
    EXPECT_TRUE(shownMessage("\"" + path("handed.txt") + "\"\nFile already loaded"));
    // The void call and a missing request open nothing.
    const int pages = openCount();
    ASSERT_TRUE(writeLoadRequest(folder, QString()));
    form->MIRTOL1Click();
    form->MIRTOL1Click();
    EXPECT_EQ(openCount(), pages);
    // With every page in use the handed path gets the page-limit message.
    while (openCount() < kPageCount)
        form->NewPage(NewPageKind::Plain);
    writeFile(path("late.txt"), "late");
    ASSERT_TRUE(writeLoadRequest(folder, path("late.txt")));
    prompter.clear();
    form->MIRTOL1Click();
    EXPECT_TRUE(shownMessage("No more pages available (max.= 16)"));
    EXPECT_EQ(form->pages().findLoaded(path("late.txt")), -1);
    EXPECT_FALSE(QFile::exists(path("loadreq")));
}

TEST_F(EditorTest, AllowMultipleWindowsTogglesTheMarker)
{
    start();
    QAction *item = actionOf(*form, "Allowmultipleinstances1");
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    EXPECT_TRUE(item->isChecked());
    EXPECT_TRUE(QFile::exists(path("multi.dat")));
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(QFile::exists(path("multi.dat")));
    EXPECT_TRUE(prompter.messages().empty());

    // Only the user's own regular file is a marker: a folder under the name is none, and while it
    // stands there no marker can be made; the check shows what is there.
    QDir(folder).mkpath("multi.dat/held");
    dialog.reset();
    form.reset();
    start();
    item = actionOf(*form, "Allowmultipleinstances1");
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_TRUE(QFileInfo(path("multi.dat/held")).isDir());
}

// The home page is the README installed beside the programs, opened as a document: an address
// that exists, in the build as in an installed copy.
TEST_F(EditorTest, HomePageOpensTheReadmeInstalledBesideThePrograms)
{
    EXPECT_TRUE(QFileInfo(QStringLiteral(KELPA_PROGRAM_DIR "/../share/doc/kelpa/README.md")).isFile());
    ASSERT_TRUE(QDir().mkpath(path("bin")));
    ASSERT_TRUE(QDir().mkpath(path("share/doc/kelpa")));
    writeFile(path("share/doc/kelpa/README.md"), "# Kelpa\n");
    writeFile(path("bin/Kelpa.ini"), "Maximized=N\r\n");
    kelpa::test::setProgramFolder(path("bin"));
    start();
    QList<QUrl> opened;
    kelpa::platform::setUrlOpener([&](const QUrl &url) {
        opened << url;
        return true;
    });
    actionOf(*form, "HomePage1")->trigger();
    kelpa::platform::setUrlOpener({});
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(path("share/doc/kelpa/README.md")));
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(EditorTest, AboutBoxShowsTheLicenceWithTheCaption)
{
    start();
    for (int round = 0; round < 2; ++round) { // built anew from the stored texts each time
        TAboutBox box(form->windowTitle(), form->windowIcon(), form.get());
        EXPECT_EQ(box.windowTitle(), "Information");
        EXPECT_EQ(box.size(), QSize(350, 300));
        EXPECT_EQ(box.Label->text(), "\n" + form->windowTitle() + "\n" + kelpa::StoredTextString(kelpa::StoredTextId::ProductTextA)
                                         + "\nSource Code: " + kelpa::StoredTextString(kelpa::StoredTextId::ProductTextB) + "\n");
        // The text after "Source Code: " says where the source is.
        EXPECT_TRUE(box.Label->text().endsWith(
            "\nSource Code: included with every copy; Help > Home Page opens the README installed with it\n"))
            << box.Label->text().toStdString();
        EXPECT_EQ(box.Image->pos(), QPoint(2, 2));
        // The text's area keeps clear of the icon.
        box.show();
        EXPECT_FALSE(box.Label->contentsRect().translated(box.Label->pos()).intersects(box.Image->geometry()));
        box.hide();
        const QString licence = box.LicenceText->Text();
        EXPECT_TRUE(licence.contains(form->windowTitle() + " is free software")) << licence.toStdString();
        EXPECT_FALSE(licence.contains(QChar(0xA7)));
        EXPECT_TRUE(box.LicenceText->ReadOnly());
        EXPECT_FALSE(box.LicenceText->Modified());
    }
}

TEST_F(EditorTest, MenuItemsCarryTheirCaptionsShortcutsAndHints)
{
    start();
    struct Case { const char *name; const char *caption; QKeySequence shortcut; const char *hint; };
    const std::vector<Case> cases = {
        {"New1", "&New...", QKeySequence("Ctrl+N"), nullptr},
        {"Open1", "&Open...", QKeySequence("Ctrl+O"), nullptr},
        {"Save1", "&Save", QKeySequence("Ctrl+S"), nullptr},
        {"Saveas1", "Sa&ve As...", QKeySequence("Ctrl+Shift+S"), nullptr},
        {"SaveAll1", "Save &All", QKeySequence("Ctrl+Shift+V"), nullptr},
        {"Close1", "&Close", QKeySequence("Ctrl+F4"), nullptr},
        {"Closeall1", "C&lose All", QKeySequence(), nullptr},
        {"Exit1", "E&xit", QKeySequence(), nullptr},
        {"externappcmd3", "extern app cmd", QKeySequence("Ctrl+J"), nullptr},
        {"Allowmultipleinstances1", "Allow &Multiple Windows", QKeySequence(),
         "Open files with a single or multiple windows"},
        {"EC41", "EC4", QKeySequence(), "256 bit - polymorphic"},
        {"Blowfish1", "Blowfish", QKeySequence(), nullptr},
        {"Usecommonpassword1", "Common password", QKeySequence(), nullptr},
        {"Changepassword1", "&Change...", QKeySequence(), nullptr},
        {"Wraptext1", "&Word Wrap", QKeySequence("Ctrl+W"), nullptr},
        {"Automatic1", "&Automatic", QKeySequence(), nullptr},
        {"ShowToolbar1", "&Toolbar", QKeySequence("Ctrl+Shift+T"), nullptr},
        {"PlainText1", "Plain Text", QKeySequence(), nullptr},
        {"RichText1", "Rich Text", QKeySequence(), nullptr},
        {"EncryptedText1", "Encrypted Text", QKeySequence(), nullptr},
        {"HomePage1", "Home Page", QKeySequence(), nullptr},
        {"About1", "About", QKeySequence(), nullptr},
        {"Print1", "&Print...", QKeySequence("Ctrl+P"), "Print"},
        {"Checkspelling1", "&Check Spelling", QKeySequence("F7"), "Checks the selected text (or all if nothing is selected)"},
        {"Checkwordatcorsor1", "Check &Word", QKeySequence("Ctrl+F7"), "Checks the current word"},
        {"Checkword1", "Check Word", QKeySequence("Shift+F7"), nullptr},
        {"Batchwindow1", "&Batch Window", QKeySequence(), "Shows/Hides the batch window"},
        {"Viewfilefolder2", "&View file folder", QKeySequence(), nullptr},
        {"Specialcharacters1", "Special Characters...", QKeySequence(), "Opens Charmap.exe"},
        {"Createshortcutondesktop1", "Create Shortcut on Desktop", QKeySequence(), "Creates an icon on the Desktop"},
        {"TXTfiles1", ".TXT files", QKeySequence(), nullptr},
        {"RTFfiles1", ".RTF files", QKeySequence(), nullptr},
        {"ECOfiles1", ".ECO files", QKeySequence(), nullptr},
        {"Addnewbatch1", "&Add New Batch", QKeySequence(), "Creates a new batch"},
        {"Editbatch1", "&Edit Batch...", QKeySequence(), "Edits or deletes batches"},
        {"BatchFolder1", "Batch &Folder...", QKeySequence(), "Shows the batch folder "},
        {"ReplNotepad1", "Replace Notepad", QKeySequence(), nullptr},
    };
    for (const auto &c : cases) {
        QAction *a = actionOf(*form, c.name);
        ASSERT_TRUE(a) << c.name;
        EXPECT_EQ(a->text(), c.caption) << c.name;
        EXPECT_EQ(a->shortcut(), c.shortcut) << c.name;
        if (c.hint) {
            EXPECT_EQ(a->statusTip(), c.hint) << c.name;
        }
    }
    EXPECT_FALSE(form->findChild<QMenu *>("File1")->actions().contains(actionOf(*form, "externappcmd3")))
        << "the hand-off command is in no menu";
    // Hints go to the message panel, and leaving the item clears them.
    for (const QString &tip : {QStringLiteral("Open files with a single or multiple windows"), QString()}) {
        QStatusTipEvent hint(tip);
        QApplication::sendEvent(form.get(), &hint);
        EXPECT_EQ(form->statusPanel(3), tip);
    }
    // Menus of commands that are not built yet are not shown empty.
    QStringList menus;
    for (QAction *m : form->menuBar()->actions())
        menus << m->text();
    EXPECT_EQ(menus, QStringList({"&File", "&Edit", "&Search", "&Preferences", "&View", "&Tools", "&Help"}));
}

namespace {

// A menu's items as the user meets them: each item's object name, "-" for a separator, a
// sub-menu as its name with its items in brackets.
QString menuLayout(const QMenu *menu)
{
    QStringList items;
    for (QAction *a : menu->actions()) {
        if (a->isSeparator())
            items << QStringLiteral("-");
        else if (a->menu())
            items << a->menu()->objectName() + QLatin1Char('[') + menuLayout(a->menu()) + QLatin1Char(']');
        else
            items << (a->objectName().isEmpty() ? a->text() : a->objectName());
    }
    return items.join(QLatin1Char(' '));
}

} // namespace

TEST_F(EditorTest, MenusAndToolRowKeepTheirOrder)
{
    start();
    const struct {
        const char *menu;
        const char *items;
    } cases[] = {
        {"File1", "New1 Open1 - Reopen1[Favourite1 - PrevLoaded0 PrevLoaded1 PrevLoaded2 PrevLoaded3 PrevLoaded4 PrevLoaded5 "
                   "PrevLoaded6 PrevLoaded7 PrevLoaded8 PrevLoaded9 PrevLoaded10 PrevLoaded11] - Save1 Saveas1 SaveAll1 - "
                   "Close1 Closeall1 - Print1 - Exit1"},
        {"Edit1", "Undo1 - Cut1 Copy1 Paste1 - Selectall1 Insert1[Insertcurrentdate1 Insertcurrenttime1 Insertseparatorline1 "
                   "Insertheader1] Deleteline1"},
        {"Search1", "Find1 Replace1 Findnext1 - SetBookmark1[SetBookmark0 SetBookmark1 SetBookmark2 SetBookmark3 SetBookmark4 "
                     "SetBookmark5 SetBookmark6 SetBookmark7 SetBookmark8 SetBookmark9] GoToBookmark1[GoToBookmark0 "
                     "GoToBookmark1 GoToBookmark2 GoToBookmark3 GoToBookmark4 GoToBookmark5 GoToBookmark6 GoToBookmark7 "
                     "GoToBookmark8 GoToBookmark9] - Checkspelling1 Checkwordatcorsor1"},
        {"Preferences1", "Allowmultipleinstances1 Encryption1[EC41 Blowfish1 - Usecommonpassword1 Changepassword1] "
                          "WordWrap1[Wraptext1 Automatic1] PlainCopyPaste1 Separatorlinelength1 DateFormat1[DateFormat0 "
                          "DateFormat1 DateFormat2 DateFormat3] FindCapture1 ShowToolbar1 DefaultFont1[Defaultfont1 "
                          "DefaultColor1] ReplNotepad1"},
        {"View1", "Batchwindow1 Viewfilefolder2"},
        {"Tools1", "- Specialcharacters1 Createshortcutondesktop1 Associatefiletypes1[TXTfiles1 RTFfiles1 ECOfiles1] "
                   "Configuretools1[Addnewbatch1 Editbatch1 BatchFolder1]"},
        {"Help1", "HomePage1 About1"},
        {"PopupMenu1", "Closepage1 Viewfilefolder1 - CutPopup CopyPopup PastePopup Checkword1 - BoldPopup ItalicPopup "
                        "UnderlinePopup LowerPopup UpperPopup - DefaultFontPopup DefaultColorPopup - CancelPopup"},
    };
    for (const auto &c : cases) {
        const QMenu *menu = form->findChild<QMenu *>(c.menu);
        ASSERT_TRUE(menu) << c.menu;
        EXPECT_EQ(menuLayout(menu).toStdString(), c.items) << c.menu;
    }
    // The tool row left to right; "|" for a gap between groups.
    QStringList row;
    const QLayout *layout = form->findChild<QWidget *>("EditPanel")->layout();
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (item->widget())
            row << item->widget()->objectName();
        else if (item->spacerItem() && item->spacerItem()->sizeHint().width() > 0)
            row << QStringLiteral("|");
    }
    EXPECT_EQ(row.join(QLatin1Char(' ')).toStdString(),
              "NewButton OpenButton SaveButton PasswordButton | UndoButton CutButton CopyButton PasteButton | FindButton "
              "ReplaceButton | SysEditButton PrintButton SpellCheckerButton");
}
