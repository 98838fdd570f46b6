#pragma once
// The editor's main window: the frame with its menus, tool row and status bar, the page control
// with up to 16 pages, the start-up and close life cycle and the single-instance hand-off. The
// commands are in objects beside it, each filling the menus the window hands it: documents
// (DocumentCommands), editing (EditCommands), the formatting bar and ruler (FormatCommands),
// find and bookmarks (SearchCommands), recent files (RecentCommands), tools (ToolsCommands).
#include "editor/EditorMenus.h"
#include "editor/HandOff.h"
#include "editor/Names.h"
#include "editor/PageSet.h"
#include "editor/PageTable.h"
#include "editor/Settings.h"

#include <QMainWindow>
#include <array>
#include <deque>

class QAction;
class QLabel;
class QMenu;

namespace kelpa::widgets {
class TKpPopupMenu;
}
class QTabWidget;
class QTimer;
class QWidget;

namespace kelpa::editor {

class DocumentCommands;
class EditCommands;
class FormatCommands;
class RecentCommands;
class SearchCommands;
class ToolsCommands;
enum class CloseResult;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // documentPath: what the first show opens (empty: a new page); moreDocuments: further
    // documents of the command line, opened after it.
    explicit TForm1(const QString &documentPath = QString(), const QStringList &moreDocuments = {},
                    QWidget *parent = nullptr);
    ~TForm1() override;

    // --- open, save and close (editor/DocumentCommands.h); the window's life cycle and the
    // hand-off open and close pages through these.
    DocumentCommands &documents() const { return *documents_; }
    int OpenDocument(const QString &path, bool addToRecent, const QString &password);
    CloseResult ClosePage(int slot);
    void NewPage(NewPageKind kind);

    // --- the window's own commands
    void Exit1Click();
    void MIRTOL1Click();
    void Allowmultipleinstances1Click();
    void ShowToolbar1Click();
    void HomePage1Click();
    void About1Click();
    void PageControl1Change();

    // --- pages' widgets, for the document commands
    // Makes the slot's sheet and editor anew, and makes it the current page.
    void AllocatePage(int slot);
    // The page control shows once a page is open; with none the page's panels clear.
    void EnableDocumentCommands();
    void DisableDocumentCommands();
    void SetEditorMargins();
    // The current page's text changed.
    void RichEdit1Change();
    QFont defaultFont() const;

    // --- print, spell check, batches and shell tools (editor/ToolsCommands.h)
    ToolsCommands &tools() const { return *tools_; }
    // --- editing (EditCommands)
    EditCommands &edit() const { return *edit_; }
    // The current editor when a command that changes text or format may act: a page is open,
    // the controls are not being refreshed and the page is not read-only.
    TRichEdit *editableEditor() const;
    void setPanel(int index, const QString &text);

    // --- formatting bar and ruler (FormatCommands)
    FormatCommands &format() const { return *format_; }

    // --- find, replace and bookmarks (editor/SearchCommands.h)
    SearchCommands &search() const { return *search_; }

    // --- recent files and favourites (editor/RecentCommands.h)
    RecentCommands &recent() const { return *recent_; }
    widgets::TKpPopupMenu *pageMenu() const { return menus_.PopupMenu1; }
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

signals:
    // A page was opened, closed, saved or changed its modified state.
    void documentStateChanged();

protected:
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

    void Panel1Resize();
    // The margin of the page and favourites menus.
    void PopupMenu1DrawMargin(widgets::TKpPopupMenu *menu, QRect rect);
    void destroyPages();
    void InitializeKPTxt(int slot);
    void showCurrentTab();

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
    int operations_ = 0;
    std::deque<LoadRequest> handOffQueue_;
    QTimer *handOffTimer_ = nullptr;
    // The size applied at start-up, written back while the window is maximised.
    QSize normalSize_;

    QWidget *Panel1 = nullptr;
    QTabWidget *PageControl1 = nullptr;
    QWidget *EditPanel = nullptr;
    EditorMenus menus_;
    DocumentCommands *documents_ = nullptr;
    EditCommands *edit_ = nullptr;
    FormatCommands *format_ = nullptr;
    SearchCommands *search_ = nullptr;
    RecentCommands *recent_ = nullptr;
    ToolsCommands *tools_ = nullptr;
    std::array<QLabel *, 4> panels_{};
    // The message panel's whole text; the panel may show it with its file name shortened.
    QString note_;
    void fitNote();

    QAction *Exit1 = nullptr;
    QAction *externappcmd3 = nullptr;
    QAction *Allowmultipleinstances1 = nullptr;
    QAction *ShowToolbar1 = nullptr;
    QAction *HomePage1 = nullptr;
    QAction *About1 = nullptr;
};

} // namespace kelpa::editor
