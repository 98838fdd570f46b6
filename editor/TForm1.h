#pragma once
// The editor's main window: the menus it builds and hands to its command groups (editing in
// EditCommands, the formatting bar and ruler in FormatCommands), tool buttons, the page control
// with up to 16 pages, the four-panel status bar, and the prompts of opening, saving and closing
// documents in their four kinds (the documents themselves are the page set's, editor/PageSet.h).
#include "editor/EditText.h"
#include "editor/EditorMenus.h"
#include "editor/HandOff.h"
#include "editor/PageSet.h"
#include "editor/PageTable.h"
#include "editor/Settings.h"
#include "platform/WindowMessages.h"
#include "support/Prompter.h"

#include <QMainWindow>
#include <QDir>
#include <QMimeData>
#include <QPointer>
#include <array>
#include <deque>
#include <vector>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QMenu;

namespace kelpa::widgets {
class TKpPopupMenu;
}
class QTabWidget;
class QTimer;
class QToolButton;
class QWidget;

namespace kelpa::editor {

class EditCommands;
class FormatCommands;
class RecentCommands;
class SearchCommands;
class ToolsCommands;
struct BatchLaunch;

// How closing a page ended: closed, or kept open (the user cancelled, or saving failed).
enum class CloseResult { Closed, Kept };

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // documentPath: what the first show opens (empty: a new page); moreDocuments: further
    // documents of the command line, opened after it.
    explicit TForm1(const QString &documentPath = QString(), const QStringList &moreDocuments = {},
                    QWidget *parent = nullptr);
    ~TForm1() override;

    // --- pages (public so that tests and the hand-off can drive them) ---
    int OpenDocument(const QString &path, bool addToRecent, const QString &password);
    CloseResult ClosePage(int slot);
    bool SavePage(int slot);
    int FindFreePage() const { return table_.FindFreePage(); }
    bool CheckNotAlreadyLoaded(const QString &path);
    void NewPage(NewPageKind kind);

    // --- commands ---
    void NewButtonClick();
    void OpenButtonClick();
    // Both give the slot that holds the saved page; a declined or failed save throws Abort.
    int SaveButtonClick();
    int Saveas1Click();
    void SaveAll1Click();
    void Close1Click();
    void Closeall1Click();
    void Exit1Click();
    void MIRTOL1Click();
    void Allowmultipleinstances1Click();
    void Changepassword1Click();
    void Usecommonpassword1Click();
    void Wraptext1Click();
    void ShowToolbar1Click();
    void HomePage1Click();
    void About1Click();
    void PageControl1Change();
    void WMDropFiles(const QStringList &files);

    // --- print, spell check, batches and shell tools (editor/ToolsCommands.h)
    ToolsCommands &tools() const { return *tools_; }
    void Viewfilefolder1Click();
    // --- editing (EditCommands)
    EditCommands &edit() const { return *edit_; }
    QString checkWord();
    static QString checkWordCaption(const QString &word);
    // The current editor when a command that changes text or format may act: a page is open,
    // the controls are not being refreshed and the page is not read-only.
    TRichEdit *editableEditor() const;
    void setPanel(int index, const QString &text);
    // The spell checker button's glyph, which its context-menu item shows too.
    QIcon spellCheckerIcon() const;

    // --- formatting bar and ruler (FormatCommands)
    FormatCommands &format() const { return *format_; }
    void Panel1Resize();

    // --- find, replace and bookmarks (editor/SearchCommands.h)
    SearchCommands &search() const { return *search_; }
    QString WordAtCaret(bool select);

    // --- recent files and favourites (editor/RecentCommands.h)
    RecentCommands &recent() const { return *recent_; }
    widgets::TKpPopupMenu *pageMenu() const { return PopupMenu1; }
    // The margin of the page and favourites menus.
    void PopupMenu1DrawMargin(widgets::TKpPopupMenu *menu, QRect rect);
    // A context menu painted as the page and favourites menus are.
    widgets::TKpPopupMenu *makePaintedMenu(const QString &name);

    // --- lifecycle steps (called from the window's events) ---
    void FormCreate();
    void FormShow();
    void FormActivate();
    bool FormCloseQuery();
    void FormClose();

    // --- state for callers and tests ---
    const PageTable &pages() const { return table_; }
    PageTable &pages() { return table_; }
    int CurrentPage() const { return table_.CurrentPage; }
    TRichEdit *currentEditor() const;
    QTabWidget *pageControl() const { return PageControl1; }
    QString statusPanel(int index) const;
    const KelpaSettings &settings() const { return settings_; }
    // The folder of the editor's own files (see platform::keptFilesFolder).
    QString programFolder() const { return programFolder_; }
    bool activated() const { return Activated; }
    // The size that NormalWidth and NormalHeight hold: the window without its menu bar.
    QSize clientSize() const;
    // Handed-over requests that wait for the window to be idle.
    int pendingHandOffs() const { return static_cast<int>(handOffQueue_.size()); }
    TOBRINEngine &engine() { return pageSet_.engine(); }
    PageSet &pageSet() { return pageSet_; }
    // Why a legacy page too long for its kind is not saved.
    static QString legacyTooLongText(const QString &path);

    // Set while the window changes pages itself: tab and activation handlers then do nothing.
    class UpdatingScope {
    public:
        explicit UpdatingScope(TForm1 &form) : form_(form) { ++form_.updating_; }
        ~UpdatingScope() { --form_.updating_; }
        UpdatingScope(const UpdatingScope &) = delete;
        UpdatingScope &operator=(const UpdatingScope &) = delete;

    private:
        TForm1 &form_;
    };

signals:
    // A page was opened, closed, saved or changed its modified state.
    void documentStateChanged();

protected:
    // The length of a line as the word-wrap check at open sees it.
    virtual int autoWrapLineLength(TRichEdit *editor, int line);
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // Makes the menu bar's menus in the order the user sees them, the page context menu and
    // the tool-button row, for the command groups to fill.
    void buildMenus();
    void setupFileActions();
    void setupPreferencesActions();
    void setupHelpActions();
    void setupToolbar();
    void setupStatusBar();
    void applySettings();
    void collectSettings();
    int menuBarHeight() const;
    void updateActionState();

    // What reading a document into a page gave.
    enum class ReadOutcome { Read, Failed, PasswordUnchecked, PasswordWrong };

    void destroyPages();
    QFont defaultFont() const;
    void AllocatePage(int slot);
    void InitializeKPTxt(int slot);
    void ConfigurePageEditor(int slot, const QString &path);
    void CloseEmptyUntitledPage(const QString &path);
    void CheckAutoWrap(int slot);
    QString AskPassword();
    void SetEditorMargins();
    void EnableDocumentCommands();
    void DisableDocumentCommands();
    void AddToRecent(const QString &path);
    void RichEdit1Change();
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
    // What the message panel shows for such a page.
    static QString readOnlyPageText();
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
    // Tells where saves that did not finish left copies of old content.
    void reportLeftCopies();
    CloseResult closeAll();
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
    void showCurrentTab();

    // Marks a document operation (open, save, close and the prompts inside them) for its
    // lifetime; a hand-off that arrives meanwhile waits for the last one to end.
    class Operation {
    public:
        explicit Operation(TForm1 &form);
        ~Operation();
        Operation(const Operation &) = delete;
        Operation &operator=(const Operation &) = delete;

    private:
        TForm1 &form_;
    };
    bool busy() const;
    void handlePendingHandOffs();
    void bringForward();

    // The open documents; table_ is its page table, under the name the window's code uses.
    PageSet pageSet_;
    PageTable &table_ = pageSet_.table();
    KelpaSettings settings_;
    QString programFolder_;
    const QString documentPathArgument_;
    const QStringList moreDocumentArguments_;

    bool Updating() const { return updating_ > 0; }
    int updating_ = 0;
    bool Activated = false;
    bool shown_ = false;
    bool closed_ = false;
    // Where Save As of a new page starts: the folder of the last page shown that has a file,
    // else the folder the editor was started in, else the home folder.
    QString shownFolder_;
    const QString startFolder_ = QDir::currentPath();
    QString newFileFolder() const;
    // Pages opened before the window showed whose text the user has yet to confirm.
    std::vector<QPointer<QWidget>> textChecksPending_;
    int operations_ = 0;
    std::deque<LoadRequest> handOffQueue_;
    QTimer *handOffTimer_ = nullptr;
    // "&Change..." as the common-password item last left it.
    bool changePasswordAllowed_ = true;
    // The size applied at start-up, written back while the window is maximised.
    QSize normalSize_;

    QWidget *Panel1 = nullptr;
    QTabWidget *PageControl1 = nullptr;
    QWidget *EditPanel = nullptr;
    QMenu *PopupMenu2 = nullptr;
    EditorMenus menus_;
    EditCommands *edit_ = nullptr;
    FormatCommands *format_ = nullptr;
    std::array<QLabel *, 4> panels_{};
    // The message panel's whole text; the panel may show it with its file name shortened.
    QString note_;
    void fitNote();
    QMenu *&Edit1 = menus_.Edit1;
    QMenu *&Search1 = menus_.Search1;
    SearchCommands *search_ = nullptr;
    RecentCommands *recent_ = nullptr;
    ToolsCommands *tools_ = nullptr;
    QMenu *&Reopen1 = menus_.Reopen1;
    widgets::TKpPopupMenu *&PopupMenu1 = menus_.PopupMenu1;

    // File
    QAction *New1 = nullptr;
    QAction *Open1 = nullptr;
    QAction *Save1 = nullptr;
    QAction *Saveas1 = nullptr;
    QAction *SaveAll1 = nullptr;
    QAction *Close1 = nullptr;
    QAction *Closeall1 = nullptr;
    QAction *Exit1 = nullptr;
    QAction *externappcmd3 = nullptr;
    QAction *PlainText1 = nullptr;
    QAction *RichText1 = nullptr;
    QAction *EncryptedText1 = nullptr;
    // Preferences
    QAction *Allowmultipleinstances1 = nullptr;
    QAction *EC41 = nullptr;
    QAction *Blowfish1 = nullptr;
    QAction *Usecommonpassword1 = nullptr;
    QAction *Changepassword1 = nullptr;
    QAction *Wraptext1 = nullptr;
    QAction *Automatic1 = nullptr;
    QAction *ShowToolbar1 = nullptr;
    // Help
    QAction *HomePage1 = nullptr;
    QAction *About1 = nullptr;
    // Preferences
    QAction *FindCapture1 = nullptr;
    // Tool buttons whose state differs from their menu item
    QToolButton *SaveButton = nullptr;
    QToolButton *PasswordButton = nullptr;

    QToolButton *FindButton = nullptr;
    QToolButton *ReplaceButton = nullptr;
};

} // namespace kelpa::editor
