#pragma once
// The editor's main window: menus, tool buttons, the page control with up to 16 pages, the
// four-panel status bar, and opening, saving and closing documents in their four kinds.
#include "editor/HandOff.h"
#include "editor/PageTable.h"
#include "editor/Settings.h"
#include "support/Prompter.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <deque>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QTabWidget;
class QTimer;
class QToolButton;
class QWidget;
class TOBRINEngine;

namespace kelpa::editor {

// The command-line path that the first show opens (empty: a new page).
extern QString DocumentPathArgumentText;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // --- pages (public so that tests and the hand-off can drive them) ---
    int OpenDocument(const QString &path, bool addToRecent, const QString &password);
    void ClosePage(int slot);
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
    // The folder of the editor's own files (see KeptFilesFolder).
    QString programFolder() const { return programFolder_; }
    bool activated() const { return Activated; }
    bool rulerEnabled() const { return rulerEnabled_; }
    // Handed-over requests that wait for the window to be idle.
    int pendingHandOffs() const { return static_cast<int>(handOffQueue_.size()); }
    QAction *action(const QString &objectName) const;
    TOBRINEngine &engine() { return *engine_; }

signals:
    // A page was opened, closed, saved or changed its modified state.
    void documentStateChanged();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void setupFileActions();
    void setupPreferencesActions();
    void setupHelpActions();
    void setupToolbar();
    void setupStatusBar();
    void applySettings();
    void collectSettings();
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
    void SetRulerEnabled(bool enabled);
    void SetEditorMargins();
    void EnableDocumentCommands();
    void DisableDocumentCommands();
    void AddToRecent(const QString &path);
    void setPanel(int index, const QString &text);
    void RichEdit1Change();
    void RichEdit1SelectionChange();
    ReadOutcome readTextFile(int slot, const QString &path);
    ReadOutcome readEncryptedDocument(int slot, const QString &path, const QString &password);
    ReadOutcome passwordOutcome(PageKind kind, const QByteArray &content) const;
    void releaseFailedPage(int slot, const QPointer<QWidget> &previousSheet);
    void showOpenedPage(int slot, const QString &path, bool addToRecent);
    // `justWritten`: Save As reopens what it wrote with the password it used, so a password
    // that cannot be checked needs no confirmation.
    int openDocument(const QString &path, bool addToRecent, const QString &password, bool justWritten);
    void markPasswordUnconfirmed(int slot, bool knownWrong);
    // What the message panel shows for such a page.
    static QString readOnlyPageText();
    void reenterPassword(int slot);
    void writeEncryptedPage(int slot);
    // True when the file had to move to UTF-8 to hold the page's text.
    bool writeTextPage(int slot);
    // The message panel's text after a file has been opened.
    static QString loadedText(const QString &path, unsigned omitted);
    // The message panel's text after a save.
    QString savedText(const QString &path) const;
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

    PageTable table_;
    KelpaSettings settings_;
    std::unique_ptr<TOBRINEngine> engine_;
    QString programFolder_;

    bool Updating = false;
    bool Activated = false;
    bool CloseAllowed = true;
    bool rulerEnabled_ = false;
    bool shown_ = false;
    bool closed_ = false;
    // The last save moved a plain file to UTF-8.
    bool encodingSwitched_ = false;
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
    std::array<QLabel *, 4> panels_{};

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
    // Tool buttons whose state differs from their menu item
    QToolButton *SaveButton = nullptr;
    QToolButton *PasswordButton = nullptr;
};

} // namespace kelpa::editor
