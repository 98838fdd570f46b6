#pragma once
// The hand-offs to the print module and the spell checker, the user's batches, and the tools
// that reach out to the desktop (shortcut, folder, character map, file types, the plain-text
// default). Owns their actions and buttons, the spell check in progress with the clipboard it
// borrowed, and the hidden batches still running.
#include "editor/Names.h"
#include "platform/WindowMessages.h"
#include "support/documents/Documents.h"

#include <QElapsedTimer>
#include <QMimeData>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QIcon;
class QMenu;
class QProcess;
class QTimer;
class QToolButton;

namespace kelpa::editor {

struct BatchLaunch;
struct EditorMenus;
class PageSet;
class TForm1;

class ToolsCommands : public QObject {
    Q_OBJECT
public:
    // Print goes before File's Exit; in the page menu View file folder goes after the file
    // items and Check Word after the clipboard items.
    // `saveAs`: the document commands' Save As of the current page (a declined or failed save
    // throws Abort), which a batch needs before it runs on the page's file.
    ToolsCommands(TForm1 &form, PageSet &pages, const EditorMenus &menus, std::function<void()> saveAs);
    // A batch still running goes on after the editor has gone.
    ~ToolsCommands() override;

    void PrintButtonClick();
    void SpellCheckerButtonClick();
    // A spell check is open or its checker is being started.
    bool checkOpen() const { return openCheck_.has_value() || checkStarting_; }
    void Checkwordatcorsor1Click();
    void WMCheckText();
    void WMCloseChecker();
    void Tools1Click();
    // Runs the batch file (as listed in the batch folder) on the current page's file.
    void runbatch1Click(const QString &file);
    void EditbatchClick();
    void BatchFolder1Click();
    void Linkondesktop1Click();
    void Viewfilefolder1Click();
    void Insertspecialcharacter1Click();
    void AssociateFileType(const QString &ext, const QString &description);
    void Preferences1Click();
    void ReplNotepad1Click();
    // The window the spell checker answers to.
    platform::WindowHandle messageWindow() const;
    // How long a spell checker just started may take to open its window.
    void setCheckerWait(int ms) { checkerWaitMs_ = ms; }
    QMenu *toolsMenu() const { return Tools1; }

    // Whether batches run in a terminal window.
    bool batchWindow() const;
    void setBatchWindow(bool on);
    // Enables the commands while a page is open.
    void updateActionState();

private:
    void runHiddenBatch(const QString &file, const BatchLaunch &launch);
    documents::DocumentError writeExchangeFile(int slot, bool dated);
    // True while an open page is edited by that editor.
    bool pageHolds(const TRichEdit *editor) const;
    // Looks for the checker's window every 50 ms for up to `ms`, the window running meanwhile;
    // then goes on with the check, starts the checker, or tells that it did not come.
    void waitForChecker(int ms);
    void checkerPolled();
    // A check is open or being started: brings its window to the front. False when there is
    // none (a check whose checker has gone is ended here).
    bool checkerAlreadyBusy();
    void keepClipboard();
    void restoreClipboard();

    TForm1 &form_;
    const std::function<void()> saveAs_;
    PageSet &pages_;
    QMenu *Tools1 = nullptr;
    QAction *Print1 = nullptr;
    QAction *Checkspelling1 = nullptr;
    QAction *Checkwordatcorsor1 = nullptr;
    QAction *Checkword1 = nullptr;
    QAction *Batchwindow1 = nullptr;
    QAction *Viewfilefolder1 = nullptr;
    QAction *Viewfilefolder2 = nullptr;
    QAction *ReplNotepad1 = nullptr;
    QToolButton *PrintButton = nullptr;
    QToolButton *SpellCheckerButton = nullptr;
    platform::Window *messageWindow_ = nullptr;
    bool SpellCheckStartPending = false;
    // The check in progress: the page sent, how, and its state then, so that a late reply
    // never lands on another page or over later edits.
    struct OpenCheck {
        QPointer<QObject> page; // the page's editor; null once the page is closed
        TRichEdit *editor = nullptr;
        int mode = 0;          // 1 exchange file, 2 clipboard
        int revision = 0;      // the page's edit count when sent
        int selStart = 0;
        int selLength = 0;
    };
    std::optional<OpenCheck> openCheck_;
    // A checker is being started and its window waited for.
    bool checkStarting_ = false;
    int checkerWaitMs_ = 10000;
    QTimer *checkerPoll_ = nullptr;
    QElapsedTimer checkerWaited_;
    int checkerWaitLimit_ = 0;
    // What the clipboard held before a selection went through it to the checker; put back once
    // the check has ended.
    std::unique_ptr<QMimeData> keptClipboard_;
    bool clipboardKept_ = false;
    // The hidden batches started and not yet ended.
    std::vector<QPointer<QProcess>> batches_;
};

} // namespace kelpa::editor
