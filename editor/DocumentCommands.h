#pragma once
// The documents' commands: File's New (with its pop-up of kinds), Open, Save, Save As, Save All,
// Close and Close All with their tool buttons; opening a page in its kind, saving it, closing it
// with the question about unsaved changes; Preferences' Encryption (cipher, common password,
// Change...) and Word Wrap menus. Owns their actions and the state of their prompts; the
// documents themselves are the page set's (editor/PageSet.h), the pages' widgets the window's.
#include "editor/Names.h"
#include "editor/PageTable.h"
#include "support/Prompter.h"

#include <QDir>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QAction;
class QBoxLayout;
class QMenu;
class QTabWidget;
class QToolButton;
class QWidget;

namespace kelpa::documents {
enum class PasswordCheck;
}

namespace kelpa::editor {

struct EditorMenus;
struct KelpaSettings;
class PageSet;
class TForm1;

// How closing a page ended: closed, or kept open (the user cancelled, or saving failed).
enum class CloseResult { Closed, Kept };

class DocumentCommands : public QObject {
    Q_OBJECT
public:
    // Fills File from New to Close All; the window adds what follows.
    DocumentCommands(TForm1 &form, PageSet &pages, const EditorMenus &menus, KelpaSettings &settings);

    // Preferences' Encryption and Word Wrap menus, where the window places them.
    void addPreferences(QMenu *prefs);
    // New, Open, Save and the password button, at the start of the tool row.
    void addToolButtons(QBoxLayout *row);
    void applySettings();
    void collectSettings();
    // Enables the commands while a page is open.
    void updateActionState(bool open);
    // The page now in view: its word-wrap mark, and the folder Save As starts in.
    void pageShown(const PageRecord &page);

    // Gives the slot opened, or -1.
    int OpenDocument(const QString &path, bool addToRecent, const QString &password);
    CloseResult ClosePage(int slot);
    bool SavePage(int slot);
    bool CheckNotAlreadyLoaded(const QString &path);
    void NewPage(NewPageKind kind);
    void NewButtonClick();
    void OpenButtonClick();
    // Both give the slot that holds the saved page; a declined or failed save throws Abort.
    int SaveButtonClick();
    int Saveas1Click();
    void SaveAll1Click();
    void Close1Click();
    void Closeall1Click();
    CloseResult closeAll();
    void WMDropFiles(const QStringList &files);
    void Changepassword1Click();
    void Usecommonpassword1Click();
    void Wraptext1Click();

    // Tells where saves that did not finish left copies of old content.
    void reportLeftCopies();
    // Asks about the pages opened before the window showed, once it is on screen.
    void askPendingTextChecksLater();
    // What the message panel shows for a page whose password is unconfirmed.
    static QString readOnlyPageText();
    // Why a legacy page too long for its kind is not saved.
    static QString legacyTooLongText(const QString &path);
    // The length of a line as the word-wrap check at open sees it.
    void setAutoWrapLineLength(std::function<int(TRichEdit *, int)> length) { lineLength_ = std::move(length); }

signals:
    // A document opened or saved under this name, for the recent files.
    void recentFile(const QString &path);
    // A page is set up as rich (the formatting bar and ruler go on it, and the default font
    // must be one that is installed) or plain (they go away).
    void pageKindChosen(bool rich);
    // An opened page is in view: the formatting bar shows what is under its caret.
    void formatMayHaveChanged();

private:
    // What reading a document into a page gave.
    enum class ReadOutcome { Read, Failed, PasswordUnchecked, PasswordWrong };

    void CloseEmptyUntitledPage(const QString &path);
    void ConfigurePageEditor(int slot, const QString &path);
    void CheckAutoWrap(int slot);
    QString AskPassword();
    ReadOutcome readTextFile(int slot, const QString &path);
    ReadOutcome readEncryptedDocument(int slot, const QString &path, const QString &password);
    static ReadOutcome passwordOutcome(documents::PasswordCheck check);
    void releaseFailedPage(int slot, const QPointer<QWidget> &previousSheet);
    void showOpenedPage(int slot, const QString &path, bool addToRecent);
    // `justWritten`: Save As reopens what it wrote with the password it used, so a password
    // that cannot be checked needs no confirmation.
    int openDocument(const QString &path, bool addToRecent, const QString &password, bool justWritten);
    void markPasswordUnconfirmed(int slot, bool knownWrong);
    // "Is the text correct?", with the page in view and the box beside its text.
    void askTextCorrect(int slot);
    void askPendingTextChecks();
    void reenterPassword(int slot);
    void writeEncryptedPage(int slot);
    // True when the file had to move to UTF-8 to hold the page's text.
    bool writeTextPage(int slot);
    // What a save did: whether it wrote the page, and whether the file moved to UTF-8 to hold
    // its text.
    struct SaveOutcome {
        bool saved = false;
        bool movedToUtf8 = false;
    };
    SaveOutcome savePage(int slot);
    // Stops the save (Abort) of a name that is no file to write, or whose file another program
    // changed or replaced since the page had it, unless the user wants it written all the same.
    void checkSaveTarget(int slot);
    // The message panel's text after a file has been opened.
    static QString loadedText(const QString &path, unsigned omitted);
    // The message panel's text after a save.
    static QString savedText(const QString &path, bool movedToUtf8);
    // The name chosen in the Save As dialog and the kind its filter gives; throws Abort when
    // the user cancels.
    QString askSaveAsName(const PageRecord &page, PageKind &kind);
    MessageAnswer askSaveChanges(int slot);
    void releasePage(int slot);
    void activateFirstOpenPage();
    // Where Save As of a new page starts: the folder of the last page shown that has a file,
    // else the folder the editor was started in, else the home folder.
    QString newFileFolder() const;

    TForm1 &form_;
    PageSet &pageSet_;
    PageTable &table_;
    KelpaSettings &settings_;
    QTabWidget *const PageControl1;
    QWidget *const toolBar_;
    std::function<int(TRichEdit *, int)> lineLength_;

    QString shownFolder_;
    const QString startFolder_ = QDir::currentPath();
    // Pages opened before the window showed whose text the user has yet to confirm.
    std::vector<QPointer<QWidget>> textChecksPending_;
    // "&Change..." as the common-password item last left it.
    bool changePasswordAllowed_ = true;

    QAction *New1 = nullptr;
    QAction *Open1 = nullptr;
    QAction *Save1 = nullptr;
    QAction *Saveas1 = nullptr;
    QAction *SaveAll1 = nullptr;
    QAction *Close1 = nullptr;
    QAction *Closeall1 = nullptr;
    QAction *Closepage1 = nullptr;
    QMenu *PopupMenu2 = nullptr;
    QAction *PlainText1 = nullptr;
    QAction *RichText1 = nullptr;
    QAction *EncryptedText1 = nullptr;
    QAction *EC41 = nullptr;
    QAction *Blowfish1 = nullptr;
    QAction *Usecommonpassword1 = nullptr;
    QAction *Changepassword1 = nullptr;
    QAction *Wraptext1 = nullptr;
    QAction *Automatic1 = nullptr;
    QToolButton *SaveButton = nullptr;
    QToolButton *PasswordButton = nullptr;
};

} // namespace kelpa::editor
