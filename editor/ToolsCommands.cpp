// The main window's hand-offs to the print module and the spell checker, the user's batches,
// and the tools that reach out to the desktop (shortcut, folder, character map, file types,
// the plain-text default).
#include "editor/ToolsCommands.h"

#include "editor/ActionHelpers.h"
#include "editor/Batches.h"
#include "editor/EditorMenus.h"
#include "editor/PageSet.h"
#include "editor/PageWords.h"
#include "editor/TForm1.h"
#include "editor/NotepadReplacement.h"

#include "engine/TOBRINEngine.h"
#include "platform/LastError.h"
#include "platform/ProgramFolder.h"
#include "richedit/TRichEdit.h"
#include "widgets/Kpmenus.h"
#include "support/Abort.h"
#include "support/CheckerHandOff.h"
#include "support/FileHelpers.h"
#include "support/MessageBoxes.h"
#include "support/Launch.h"
#include "support/StoredText.h"
#include "support/documents/Documents.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

#include <cerrno>
#include <memory>
#include <optional>
#include <utility>
#include <sys/stat.h>

namespace kelpa::editor {

namespace {

constexpr int kCheckerPollMs = 50;

}

bool ToolsCommands::pageHolds(const TRichEdit *editor) const
{
    for (const PageRecord &page : pages_.table().pages)
        if (!page.isFree() && page.Editor == editor)
            return true;
    return false;
}


// ---------------------------------------------------------------------------------------------
// Menus

ToolsCommands::ToolsCommands(TForm1 &form, PageSet &pages, const EditorMenus &menus, std::function<void()> saveAs)
    : QObject(&form), form_(form), saveAs_(std::move(saveAs)), pages_(pages)
{
    QAction *exitItem = menus.exitItem;
    // The window the spell checker's replies come to.
    messageWindow_ = new platform::Window(QStringLiteral("TForm1"), QStringLiteral("Kelpa"), &form, this);
    connect(messageWindow_, &platform::Window::messageReceived, this,
            [this](std::uint32_t message, platform::WPARAM, platform::LPARAM) {
                if (message == WM_CHECKTEXT)
                    RunGuarded([this] { WMCheckText(); });
                else if (message == WM_CLOSECHECKER)
                    RunGuarded([this] { WMCloseChecker(); });
            });

    // File: print
    Print1 = makeAction(this, "Print1", QStringLiteral("&Print..."), QKeySequence(Qt::CTRL | Qt::Key_P),
                            QStringLiteral("Print"));
    bind(Print1, [this] { PrintButtonClick(); });
    menus.File1->insertAction(exitItem, Print1);
    menus.File1->insertSeparator(exitItem);

    // Search: spell check
    QMenu *search = menus.Search1;
    Checkspelling1 = makeAction(this, "Checkspelling1", QStringLiteral("&Check Spelling"), QKeySequence(Qt::Key_F7),
                                    QStringLiteral("Checks the selected text (or all if nothing is selected)"));
    Checkwordatcorsor1 = makeAction(this, "Checkwordatcorsor1", QStringLiteral("Check &Word"),
                                        QKeySequence(Qt::CTRL | Qt::Key_F7), QStringLiteral("Checks the current word"));
    // The page context menu's item; its shortcut works wherever the window has the focus.
    Checkword1 = makeAction(this, "Checkword1", QStringLiteral("Check Word"), QKeySequence(Qt::SHIFT | Qt::Key_F7));
    bind(Checkspelling1, [this] { SpellCheckerButtonClick(); });
    bind(Checkwordatcorsor1, [this] { Checkwordatcorsor1Click(); });
    bind(Checkword1, [this] { Checkwordatcorsor1Click(); });
    form.addAction(Checkword1);
    if (widgets::TKpPopupMenu *PopupMenu1 = menus.PopupMenu1) {
        PopupMenu1->insertAction(menus.pageCheckPlace, Checkword1);
        Viewfilefolder1 = makeAction(this, "Viewfilefolder1", QStringLiteral("&View file folder"));
        bind(Viewfilefolder1, [this] { Viewfilefolder1Click(); });
        PopupMenu1->insertAction(menus.pageFileEnd, Viewfilefolder1);
        // After the menu's own preparation: the item names the word it would check.
        Checkword1->setData(5);
        connect(PopupMenu1, &QMenu::aboutToShow, this, [this] {
            RunGuarded([this] {
                const QString word = checkWord(form_.currentEditor());
                Checkword1->setText(checkWordCaption(word));
                Checkword1->setEnabled(!word.isEmpty());
                const PageTable &table = pages_.table();
                Viewfilefolder1->setEnabled(form_.currentEditor() && !table[table.CurrentPage].isUntitled());
            });
        });
        // Its shortcut works again once the menu has gone, as for any open page.
        connect(PopupMenu1, &QMenu::aboutToHide, this, [this] { Checkword1->setEnabled(pages_.table().openCount() > 0); });
    }
    if (!search->isEmpty())
        search->addSeparator();
    search->addAction(Checkspelling1);
    search->addAction(Checkwordatcorsor1);

    // View
    QMenu *view = menus.View1;
    Batchwindow1 = makeAction(this, "Batchwindow1", QStringLiteral("&Batch Window"), {},
                                  QStringLiteral("Shows/Hides the batch window"));
    Batchwindow1->setCheckable(true);
    Viewfilefolder2 = makeAction(this, "Viewfilefolder2", QStringLiteral("&View file folder"));
    bind(Viewfilefolder2, [this] { Viewfilefolder1Click(); });
    view->addAction(Batchwindow1);
    view->addAction(Viewfilefolder2);

    // Tools: the batches above the separator, then the fixed items
    Tools1 = menus.Tools1;
    Tools1->addSeparator();
    auto *chars = makeAction(this, "Specialcharacters1", QStringLiteral("Special Characters..."), {},
                                 QStringLiteral("Opens Charmap.exe"));
    bind(chars, [this] { Insertspecialcharacter1Click(); });
    auto *link = makeAction(this, "Createshortcutondesktop1", QStringLiteral("Create Shortcut on Desktop"), {},
                                QStringLiteral("Creates an icon on the Desktop"));
    bind(link, [this] { Linkondesktop1Click(); });
    Tools1->addAction(chars);
    Tools1->addAction(link);
    QMenu *types = Tools1->addMenu(QStringLiteral("Associated File Types..."));
    types->setObjectName(QStringLiteral("Associatefiletypes1"));
    types->menuAction()->setStatusTip(QStringLiteral("Associates .txt, .rtf, and .eco file extensions to Kelpa"));
    auto *txt = makeAction(this, "TXTfiles1", QStringLiteral(".TXT files"));
    auto *rtf = makeAction(this, "RTFfiles1", QStringLiteral(".RTF files"));
    auto *eco = makeAction(this, "ECOfiles1", QStringLiteral(".ECO files"));
    bind(txt, [this] { AssociateFileType(QStringLiteral("TXT"), QStringLiteral("Plain text file")); });
    bind(rtf, [this] { AssociateFileType(QStringLiteral("RTF"), QStringLiteral("Rich text file")); });
    bind(eco, [this] { AssociateFileType(QStringLiteral("ECO"), QStringLiteral("Encrypted and COmpressed file")); });
    types->addAction(txt);
    types->addAction(rtf);
    types->addAction(eco);
    QMenu *configure = Tools1->addMenu(QStringLiteral("Configure Tools"));
    configure->setObjectName(QStringLiteral("Configuretools1"));
    configure->menuAction()->setStatusTip(QStringLiteral("Configures this menu"));
    auto *add = makeAction(this, "Addnewbatch1", QStringLiteral("&Add New Batch"), {},
                               QStringLiteral("Creates a new batch"));
    auto *edit = makeAction(this, "Editbatch1", QStringLiteral("&Edit Batch..."), {},
                                QStringLiteral("Edits or deletes batches"));
    auto *folder = makeAction(this, "BatchFolder1", QStringLiteral("Batch &Folder..."), {},
                                  QStringLiteral("Shows the batch folder "));
    bind(add, [this] { form_.NewPage(NewPageKind::Batch); });
    bind(edit, [this] { EditbatchClick(); });
    bind(folder, [this] { BatchFolder1Click(); });
    configure->addAction(add);
    configure->addAction(edit);
    configure->addAction(folder);
    connect(Tools1, &QMenu::aboutToShow, this, [this] { RunGuarded([this] { Tools1Click(); }); });

    // Preferences: the plain-text default
    if (QMenu *prefs = menus.Preferences1) {
        ReplNotepad1 = makeAction(this, "ReplNotepad1", QStringLiteral("Replace Notepad"));
        ReplNotepad1->setCheckable(true);
        bind(ReplNotepad1, [this] { ReplNotepad1Click(); });
        prefs->addAction(ReplNotepad1);
        connect(prefs, &QMenu::aboutToShow, this, [this] { RunGuarded([this] { Preferences1Click(); }); });
    }

    // Tool buttons, before the row's closing stretch
    PrintButton = makeToolButton(menus.toolRow, menus.toolBar, "PrintButton",
                                 form.style()->standardIcon(QStyle::SP_FileDialogDetailedView), QStringLiteral("Print"),
                                 [this] { PrintButtonClick(); }, true);
    SpellCheckerButton = makeToolButton(menus.toolRow, menus.toolBar, "SpellCheckerButton",
                                        form.style()->standardIcon(QStyle::SP_DialogApplyButton),
                                        QStringLiteral("Check Spelling"), [this] { SpellCheckerButtonClick(); }, true);
    // The page menu's item shows the button's glyph.
    Checkword1->setIcon(SpellCheckerButton->icon());
}

ToolsCommands::~ToolsCommands()
{
    // Closing the editor does not end a batch it started: the process object outlives the
    // window (its destructor would kill the batch) and goes when the batch ends.
    static std::vector<QProcess *> outliving;
    for (const QPointer<QProcess> &process : batches_)
        if (process && process->state() != QProcess::NotRunning) {
            process->setParent(nullptr);
            outliving.push_back(process);
        }
}

bool ToolsCommands::batchWindow() const { return Batchwindow1->isChecked(); }

void ToolsCommands::setBatchWindow(bool on) { Batchwindow1->setChecked(on); }

void ToolsCommands::updateActionState()
{
    const bool open = pages_.table().openCount() > 0;
    for (QAction *a : {Print1, Checkspelling1, Checkwordatcorsor1, Checkword1, Viewfilefolder2})
        if (a)
            a->setEnabled(open);
    for (QToolButton *b : {PrintButton, SpellCheckerButton})
        if (b)
            b->setEnabled(open);
}

platform::WindowHandle ToolsCommands::messageWindow() const { return messageWindow_ ? messageWindow_->handle() : 0; }

// ---------------------------------------------------------------------------------------------
// Print and spell check

documents::DocumentError ToolsCommands::writeExchangeFile(int slot, bool dated)
{
    TRichEdit *editor = pages_.table()[slot].Editor;
    return documents::writeExchangeFile(pages_.engine(), form_.programFolder(),
                                        dated ? documents::ExchangePassword::Dated : documents::ExchangePassword::Key,
                                        editor->SaveToStream());
}

namespace {

// The engine's text for an engine failure, else the system's.
QString exchangeFailureText(const documents::DocumentError &e)
{
    return e.failure == documents::Failure::Engine ? e.engineText() : e.systemText();
}

} // namespace

void ToolsCommands::PrintButtonClick()
{
    TRichEdit *editor = form_.currentEditor();
    if (!editor)
        return;
    const int slot = pages_.table().CurrentPage;
    QString argument = pages_.table()[slot].FileName;
    if (editor->Modified() || pages_.table()[slot].isUntitled()) {
        if (const documents::DocumentError e = writeExchangeFile(slot, true); !e.ok()) {
            ShowErrorBox(QStringLiteral("Cannot print the document\n") + exchangeFailureText(e), e.systemError);
            return;
        }
        argument = documents::exchangeFilePath(form_.programFolder());
    }
    if (LaunchFile(QStringLiteral("kpp.exe"), argument, form_.programFolder(), false, SW_SHOW))
        return;
    if (ConfirmYesNo(QStringLiteral("Print module not found.\nDo you want to download it from Internet?"), &form_))
        OpenStoredAddress(StoredTextString(StoredTextId::PrintModuleDownload));
}

void ToolsCommands::waitForChecker(int ms)
{
    // The window goes on running while the checker's window is looked for.
    checkStarting_ = true;
    checkerWaited_.start();
    checkerWaitLimit_ = ms;
    if (!checkerPoll_) {
        checkerPoll_ = new QTimer(this);
        checkerPoll_->setInterval(kCheckerPollMs);
        connect(checkerPoll_, &QTimer::timeout, this, [this] { RunGuarded([this] { checkerPolled(); }); });
    }
    checkerPoll_->start();
}

void ToolsCommands::checkerPolled()
{
    const platform::WindowHandle checker = platform::FindWindow(SpellCheckerWindowClass);
    if (!checker && checkerWaited_.elapsed() < checkerWaitLimit_)
        return;
    checkerPoll_->stop();
    checkStarting_ = false;
    const bool wasStarted = std::exchange(SpellCheckStartPending, false);
    if (checker) {
        // The pages may have changed while waiting: start again from the page.
        SpellCheckerButtonClick();
        return;
    }
    if (wasStarted) {
        ShowMessageBox(QStringLiteral("$WSpell Checker"),
                       QStringLiteral("The spell checker was started but did not open its window."), &form_);
        return;
    }
    if (LaunchFile(QStringLiteral("kpsc.exe"), QString::fromStdString(LaunchToken()), form_.programFolder(), true,
                   SW_SHOW)) {
        SpellCheckStartPending = true;
        waitForChecker(checkerWaitMs_);
        return;
    }
    if (ConfirmYesNo(QStringLiteral("Spell checker module not found.\nDo you want to download it from Internet?"),
                     &form_))
        OpenStoredAddress(StoredTextString(StoredTextId::SpellCheckerDownload));
}

bool ToolsCommands::checkerAlreadyBusy()
{
    // Its window comes to the front when it opens.
    if (checkStarting_)
        return true;
    if (!openCheck_)
        return false;
    if (const platform::WindowHandle checker = platform::FindWindow(SpellCheckerWindowClass)) {
        platform::BringWindowToFront(checker);
        return true;
    }
    // The checker went away without an answer: that check is over. The page's selection is
    // left alone: it is what the user wants checked now.
    openCheck_.reset();
    restoreClipboard();
    return false;
}

void ToolsCommands::keepClipboard()
{
    keptClipboard_.reset();
    clipboardKept_ = true;
    const QMimeData *now = QApplication::clipboard()->mimeData();
    if (!now || now->formats().isEmpty())
        return;
    auto copy = std::make_unique<QMimeData>();
    for (const QString &format : now->formats())
        copy->setData(format, now->data(format));
    if (now->hasImage())
        copy->setImageData(now->imageData());
    keptClipboard_ = std::move(copy);
}

void ToolsCommands::restoreClipboard()
{
    if (!clipboardKept_)
        return;
    clipboardKept_ = false;
    if (keptClipboard_)
        QApplication::clipboard()->setMimeData(keptClipboard_.release());
    else
        QApplication::clipboard()->clear();
}

void ToolsCommands::SpellCheckerButtonClick()
{
    // One check at a time: a second hand-off would overwrite the first one's text.
    if (checkerAlreadyBusy())
        return;
    TRichEdit *editor = form_.currentEditor();
    if (!editor)
        return;
    if (editor->TextLength() == 0) {
        ShowMessageBox(QStringLiteral("$WSpell Checker"), QStringLiteral("Nothing to check"), &form_);
        return;
    }
    // A checker just started gets a while to open its window; one already running is found at
    // the first look, and one that is not running is started after a short look.
    const platform::WindowHandle checker = platform::FindWindow(SpellCheckerWindowClass);
    if (!checker) {
        waitForChecker(SpellCheckStartPending ? checkerWaitMs_ : kCheckerPollMs);
        return;
    }
    SpellCheckStartPending = false;
    const int slot = pages_.table().CurrentPage;
    OpenCheck check;
    check.page = editor;
    check.editor = editor;
    check.selStart = editor->SelStart();
    check.selLength = editor->SelLength();
    std::int64_t code = 0;
    if (editor->SelLength() != 0) {
        keepClipboard();
        editor->CopyToClipboard();
        code = TransferClipboard;
    } else {
        if (const documents::DocumentError e = writeExchangeFile(slot, false); !e.ok()) {
            ShowErrorBox(documents::failureMessage(e), e.systemError);
            return;
        }
        code = TransferExchangeFile;
    }
    check.mode = static_cast<int>(code);
    check.revision = editor->document()->revision();
    if (pages_.table()[slot].Kind == PageKind::Plain)
        code += TransferPlainText;
    openCheck_ = check;
    platform::BringWindowToFront(checker);
    platform::PostMessage(checker, WM_CHECKTEXT, messageWindow(), code);
}

void ToolsCommands::Checkwordatcorsor1Click()
{
    // The word is not selected for a check that cannot start.
    if (checkerAlreadyBusy())
        return;
    WordAtCaret(form_.currentEditor(), true);
    SpellCheckerButtonClick();
}

void ToolsCommands::WMCheckText()
{
    const std::optional<OpenCheck> check = std::exchange(openCheck_, std::nullopt);
    // A result nobody asked for (no check open) is no one's: the exchange file may be the
    // print module's.
    if (!check)
        return;
    const QString exchange = documents::exchangeFilePath(form_.programFolder());
    const bool pageGone = !check->page || !pageHolds(check->editor);
    const bool changed = !pageGone && check->editor->document()->revision() != check->revision;
    if (pageGone || changed) {
        // The result belongs to a page that is gone or was edited meanwhile: it lands nowhere.
        if (check->mode == TransferExchangeFile)
            QFile::remove(exchange);
        restoreClipboard();
        ShowMessageBox(QStringLiteral("$WSpell Checker"),
                       pageGone ? QStringLiteral("The checked page was closed: the corrected text is not applied.")
                                : QStringLiteral("The checked page was changed meanwhile: the corrected text is not applied."),
                       &form_);
        return;
    }
    TRichEdit *editor = check->editor;
    if (check->mode == TransferClipboard) {
        editor->SetSelStart(check->selStart);
        editor->SetSelLength(check->selLength);
        editor->PasteFromClipboard();
        restoreClipboard();
        return;
    }
    const documents::ReadResult reply =
        documents::readExchangeFile(pages_.engine(), form_.programFolder(), documents::ExchangePassword::Key,
                                    documents::AfterReading::Remove);
    if (!reply.ok()) {
        QString text = reply.error.failure == documents::Failure::Engine
                           ? QString::fromStdString(TOBRINEngine::ErrorText(reply.error.engineCode))
                           : reply.error.systemText();
        // The system's reason where a call of the system failed.
        if (reply.error.failure == documents::Failure::Engine && reply.error.systemError != 0)
            text += QStringLiteral(", ") + reply.error.systemText();
        ShowMessageBox(QStringLiteral("$ESpell Checker"),
                       QStringLiteral("Cannot read the corrected text: the page is left as it was.\n") + text, &form_);
        return;
    }
    editor->LoadFromStream(reply.bytes);
    editor->SetModified(true);
    editor->SetSelStart(0);
    emit form_.documentStateChanged();
}

void ToolsCommands::WMCloseChecker()
{
    const std::optional<OpenCheck> check = std::exchange(openCheck_, std::nullopt);
    if (check)
        restoreClipboard();
    TRichEdit *editor = check && check->page && pageHolds(check->editor) ? check->editor : form_.currentEditor();
    if (editor)
        editor->SetSelLength(0);
}

// ---------------------------------------------------------------------------------------------
// Batches

void ToolsCommands::Tools1Click()
{
    if (!form_.activated())
        return;
    while (!Tools1->actions().isEmpty() && !Tools1->actions().first()->isSeparator())
        delete Tools1->actions().first();
    QAction *first = Tools1->actions().isEmpty() ? nullptr : Tools1->actions().first();
    const bool open = pages_.table().openCount() > 0;
    for (const BatchFile &batch : listBatches(form_.programFolder() + QStringLiteral("Batches"))) {
        auto *item = new QAction(EscapeMenuCaption(batch.name), Tools1);
        item->setObjectName(QStringLiteral("runbatch"));
        item->setEnabled(open);
        // The file as it was listed: its suffix may be in any case.
        bind(item, [this, file = batch.file] { runbatch1Click(file); });
        Tools1->insertAction(first, item);
    }
}

namespace {

// A script is read whole to run it; a batch is a short text.
constexpr qint64 kMaxBatchSize = 16 * 1024 * 1024;
// What is kept of a hidden batch's error output, from its end.
constexpr qsizetype kKeptErrorOutput = 16 * 1024;
constexpr int kShownErrorLines = 10;

} // namespace

void ToolsCommands::runbatch1Click(const QString &file)
{
    if (!form_.currentEditor())
        return;
    auto needsSave = [this] {
        const PageRecord &page = pages_.table()[pages_.table().CurrentPage];
        return page.Editor->Modified() || page.isUntitled();
    };
    if (needsSave()) {
        if (!ConfirmYesNo(QStringLiteral("You must save this file, before to continue. Do you confirm?"), &form_))
            return;
        saveAs_();
        // The batch works on the file: only a page that is saved as it stands may go.
        if (!form_.currentEditor() || needsSave())
            return;
    }
    const QString batchFolder = form_.programFolder() + QStringLiteral("Batches");
    const QString caption = QStringLiteral("Cannot run the batch");
    const QString script = QDir(batchFolder).absoluteFilePath(file);
    // The reader gives the system's reason with its failure.
    documents::ReadResult read;
    if (QFileInfo(script).size() > kMaxBatchSize)
        read.error = {documents::Failure::Read, engine::EC_AllOk, EFBIG};
    else
        read = documents::readTextFile(script);
    if (!read.ok()) {
        ShowErrorBox(QStringLiteral("Cannot read the batch \"") + script + QStringLiteral("\""), read.error.systemError);
        return;
    }
    const QByteArray text = read.bytes;

    const bool inWindow = Batchwindow1->isChecked();
    std::optional<Terminal> terminal;
    if (inWindow) {
        terminal = findTerminal(qEnvironmentVariable("TERMINAL"),
                                [](const QString &name) { return QStandardPaths::findExecutable(name); });
        if (!terminal) {
            CurrentPrompter().message({caption,
                                       QStringLiteral("No terminal program was found for the Batch Window (tried the "
                                                      "TERMINAL variable, then ")
                                           + commonTerminals().join(QStringLiteral(", "))
                                           + QStringLiteral(").\nInstall one, for example the package \"xterm\", or "
                                                            "turn View > Batch Window off."),
                                       MessageIcon::Error, MessageButtons::Ok, &form_});
            return;
        }
    }
    const BatchLaunch launch = batchLaunch(batchFolder, file, pages_.table()[pages_.table().CurrentPage].FileName, text,
                                           terminal ? &*terminal : nullptr);
    if (!launch.error.isEmpty()) {
        CurrentPrompter().message({caption, launch.error, MessageIcon::Error, MessageButtons::Ok, &form_});
        return;
    }
    if (inWindow) {
        LaunchFile(launch.program, launch.arguments, launch.folder, true, SW_SHOWNORMAL);
        return;
    }
    runHiddenBatch(file, launch);
}

void ToolsCommands::runHiddenBatch(const QString &file, const BatchLaunch &launch)
{
    // Nobody sees a hidden batch: the editor waits for its end without blocking and tells the
    // user when it failed, with the end of what it wrote to its error output.
    auto *process = new QProcess(this);
    process->setObjectName(QStringLiteral("batchRun"));
    std::erase_if(batches_, [](const QPointer<QProcess> &p) { return !p; });
    batches_.emplace_back(process);
    process->setProgram(launch.program);
    process->setArguments(launch.arguments);
    process->setWorkingDirectory(launch.folder);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedOutputChannel);
    auto errors = std::make_shared<QByteArray>();
    connect(process, &QProcess::readyReadStandardError, process, [process, errors] {
        *errors += process->readAllStandardError();
        if (errors->size() > kKeptErrorOutput)
            errors->remove(0, errors->size() - kKeptErrorOutput);
    });
    auto report = [this, file, errors](const QString &what) {
        QString text = QStringLiteral("The batch \"") + file + QStringLiteral("\" ") + what;
        const QString tail = lastLines(*errors, kShownErrorLines);
        if (!tail.isEmpty())
            text += QStringLiteral("\n\nIts last error output:\n") + tail;
        CurrentPrompter().message({QStringLiteral("Batch"), text, MessageIcon::Error, MessageButtons::Ok, &form_});
    };
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    connect(process, &QProcess::finished, this, [process, errors, report](int code, QProcess::ExitStatus status) {
        *errors += process->readAllStandardError();
        if (status == QProcess::CrashExit)
            report(QStringLiteral("was ended by a signal."));
        else if (code != 0)
            report(QStringLiteral("ended with the status ") + QString::number(code) + QLatin1Char('.'));
    });
    connect(process, &QProcess::errorOccurred, this, [process, report](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        process->deleteLater();
        report(QStringLiteral("cannot start: ") + process->errorString());
    });
    process->start();
}

void ToolsCommands::EditbatchClick()
{
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.folder = form_.programFolder() + QStringLiteral("Batches");
    request.fileName = QStringLiteral("*.bat");
    request.filter = QStringLiteral("Batches (*.bat);;All files (*)");
    request.filterIndex = 1;
    request.owner = &form_;
    const FileDialogResult result = CurrentPrompter().file(request);
    if (result.accepted && !result.file().isEmpty())
        form_.OpenDocument(result.file(), true, QString());
}

void ToolsCommands::BatchFolder1Click()
{
    LaunchFile(form_.programFolder() + QStringLiteral("Batches"), QString(), QString(), true, SW_SHOWNORMAL);
}

// ---------------------------------------------------------------------------------------------
// Shell tools

void ToolsCommands::Linkondesktop1Click()
{
    const QString title = QStringLiteral("Kelpa"); // the application's title
    if (!QFileInfo::exists(ShortcutPath(title, CSIDL_DESKTOPDIRECTORY)))
        CreateShortcut(platform::programFilePath(), title, CSIDL_DESKTOPDIRECTORY);
}

void ToolsCommands::Viewfilefolder1Click()
{
    if (!form_.currentEditor())
        return;
    const PageRecord &page = pages_.table()[pages_.table().CurrentPage];
    // An untitled page has no folder of its own: the working folder stands for it.
    const QString folder = page.isUntitled() ? QString() : folderPart(page.FileName);
    LaunchFile(folder.isEmpty() ? form_.programFolder() : folder, QString(), QString(), true, SW_SHOWNORMAL);
}

void ToolsCommands::Insertspecialcharacter1Click()
{
    if (!LaunchFile(QStringLiteral("CHARMAP.EXE"), QString(), QString(), true, SW_SHOWNORMAL))
        ShowMessage(QStringLiteral("No character map found: install gucharmap, kcharselect or gnome-characters"));
}

void ToolsCommands::AssociateFileType(const QString &ext, const QString &description)
{
    if (!ConfirmYesNo(description + QStringLiteral(" (") + ext
                          + QStringLiteral("): do you want to associate this kind of file to Kelpa?"),
                      &form_))
        return;
    if (const platform::SystemResult registered = RegisterFileType(ext, description, platform::programFilePath(), 1);
        !registered) {
        ShowErrorBox(QStringLiteral("Cannot associate the ") + ext + QStringLiteral(" files"), registered.error);
        return;
    }
    form_.setPanel(3, ext + QStringLiteral(" Association completed."));
}

void ToolsCommands::Preferences1Click()
{
    if (ReplNotepad1)
        ReplNotepad1->setChecked(notepadReplaced(form_.programFolder()));
}

void ToolsCommands::ReplNotepad1Click()
{
    const QString backup = notepadBackupFile(form_.programFolder());
    const ReadOnlyQuestion askReadOnly = [this](const QString &file) {
        return ConfirmYesNo(readOnlyListQuestion(file), &form_);
    };
    if (notepadReplaced(form_.programFolder())) {
        const NotepadOutcome restored = restoreNotepad(form_.programFolder(), askReadOnly);
        switch (restored.result) {
        case NotepadResult::Done:
        case NotepadResult::Declined: break;
        case NotepadResult::BadBackup:
            ShowMessageBox(QStringLiteral("$EReplace Notepad"),
                           QStringLiteral("\"") + backup + QStringLiteral("\" is not a backup of the default applications"),
                           &form_);
            break;
        default:
            ShowErrorBox(QStringLiteral("Cannot write the file ") + mimeAppsListFile(), restored.systemError);
        }
    } else {
        const QString caller = platform::mapProgramName(QStringLiteral("caller.exe"));
        if (!QFileInfo(caller).isExecutable()) {
            ShowMessageBox(QStringLiteral("Can not copy file"),
                           QStringLiteral("\"") + caller + QStringLiteral("\" not found"), &form_);
        } else {
            // The caller reaches the editor through the desktop shortcut, so it comes first.
            Linkondesktop1Click();
            const NotepadOutcome replaced = replaceNotepad(form_.programFolder(), caller, askReadOnly);
            switch (replaced.result) {
            case NotepadResult::Done:
            case NotepadResult::Declined: break;
            case NotepadResult::BackupFailed:
                ShowErrorBox(QStringLiteral("Cannot write the file ") + backup, replaced.systemError);
                break;
            default: ShowErrorBox(QStringLiteral("Cannot write the file ") + mimeAppsListFile(), replaced.systemError);
            }
        }
    }
    ReplNotepad1->setChecked(notepadReplaced(form_.programFolder()));
}

} // namespace kelpa::editor
