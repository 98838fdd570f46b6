// The main window: the menus and tool row it hands to the command objects, the status bar, its
// lifecycle and settings, the single-instance hand-off, the pages' widgets and help.
#include "editor/TForm1.h"

#include "editor/AboutBox.h"
#include "editor/DocumentCommands.h"
#include "editor/ActionHelpers.h"
#include "editor/AppIcon.h"
#include "editor/EditCommands.h"
#include "editor/FormatCommands.h"
#include "editor/RecentCommands.h"
#include "editor/SearchCommands.h"
#include "editor/ToolsCommands.h"
#include "editor/HandOff.h"

#include "engine/TOBRINEngine.h"
#include "platform/Fonts.h"
#include "platform/Screens.h"
#include "platform/WindowMessages.h"
#include "richedit/TRichEdit.h"
#include "support/Abort.h"
#include "support/MessageBoxes.h"
#include "platform/ProgramFolder.h"
#include "support/Launch.h"
#include "support/StoredText.h"
#include "widgets/Drawutils.h"
#include "widgets/Kpmenus.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>


namespace kelpa::editor {


namespace {

constexpr std::uint32_t WM_CLOSECHECKER = platform::WM_USER + 110;

} // namespace

TForm1::TForm1(const QString &documentPath, const QStringList &moreDocuments, QWidget *parent)
    : QMainWindow(parent), documentPathArgument_(documentPath), moreDocumentArguments_(moreDocuments)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kelpa 5.0"));
    setAcceptDrops(true);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto *layout = new QVBoxLayout(Panel1);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    EditPanel = new QWidget(Panel1);
    EditPanel->setObjectName(QStringLiteral("EditPanel"));
    // The buttons do not hold the window wider than its stored size.
    EditPanel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    layout->addWidget(EditPanel);
    PageControl1 = new QTabWidget(Panel1);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setDocumentMode(true);
    // A very long file name takes a tab of bounded width, shortened in its middle; the tab's
    // hint shows the whole path. Many tabs keep a readable width and the bar scrolls.
    PageControl1->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { min-width: 7em; max-width: 24em; }"));
    PageControl1->tabBar()->setElideMode(Qt::ElideMiddle);
    PageControl1->tabBar()->setUsesScrollButtons(true);
    PageControl1->setVisible(false);
    layout->addWidget(PageControl1, 1);
    layout->addStretch(0);
    setCentralWidget(Panel1);

    buildMenus();
    documents_ = new DocumentCommands(*this, pageSet_, menus_, settings_);
    setupFileActions();
    edit_ = new EditCommands(*this, menus_, settings_);
    menus_.pageFileEnd = edit_->fileItemsEnd();
    menus_.pageCheckPlace = edit_->checkPlace();
    search_ = new SearchCommands(*this, pageSet_, menus_);
    connect(search_, &SearchCommands::message, this, [this](const QString &text) { setPanel(3, text); });
    menus_.pageFormatEnd = edit_->formatItemsEnd();
    format_ = new FormatCommands(*this, menus_, settings_);
    connect(edit_, &EditCommands::formatMayHaveChanged, format_, &FormatCommands::RichEdit1SelectionChange);
    connect(edit_, &EditCommands::defaultFontWanted, format_, &FormatCommands::DefaultFButtonClick);
    connect(documents_, &DocumentCommands::formatMayHaveChanged, format_, &FormatCommands::RichEdit1SelectionChange);
    connect(documents_, &DocumentCommands::pageKindChosen, format_, [this](bool rich) {
        format_->SetRulerEnabled(rich);
        if (rich)
            format_->ensureDefaultFont();
    });
    setupPreferencesActions();
    setupHelpActions();
    setupToolbar();
    recent_ = new RecentCommands(*this, pageSet_, menus_, settings_.prevLoaded);
    connect(documents_, &DocumentCommands::recentFile, recent_, &RecentCommands::AddToRecent);
    tools_ = new ToolsCommands(*this, pageSet_, menus_, [this] { documents_->Saveas1Click(); });
    setupStatusBar();
    Panel1->installEventFilter(this);
    connect(this, &TForm1::documentStateChanged, this, &TForm1::updateActionState);
    for (auto pageSignal : {&PageSet::pageAdded, &PageSet::pageChanged, &PageSet::pageClosing})
        connect(&pageSet_, pageSignal, this, &TForm1::documentStateChanged);
    handOffTimer_ = new QTimer(this);
    handOffTimer_->setInterval(100);
    connect(handOffTimer_, &QTimer::timeout, this, [this] { handlePendingHandOffs(); });

    // A failure here is shown, and the window is still made.
    RunGuarded([this] { FormCreate(); });
    tools_->setBatchWindow(settings_.batchScope);
    Allowmultipleinstances1->setChecked(multipleWindowsAllowed(programFolder_));
    updateActionState();
}

TForm1::~TForm1()
{
    // Tabs that go with the window report no page changes to a half-destroyed window.
    PageControl1->disconnect(this);
    destroyPages();
}

void TForm1::destroyPages()
{
    format_->parkFormatting();
    for (auto &page : table_.pages) {
        delete page.Sheet; // and its editor
        page.Sheet = nullptr;
        page.Editor = nullptr;
    }
}

// ---------------------------------------------------------------------------------------------
// Actions and menus

void TForm1::buildMenus()
{
    auto menu = [this](const char *name, const QString &caption) {
        QMenu *m = menuBar()->addMenu(caption);
        m->setObjectName(QLatin1String(name));
        return m;
    };
    menus_.File1 = menu("File1", QStringLiteral("&File"));
    menus_.Edit1 = menu("Edit1", QStringLiteral("&Edit"));
    menus_.Search1 = menu("Search1", QStringLiteral("&Search"));
    menus_.Preferences1 = menu("Preferences1", QStringLiteral("&Preferences"));
    menus_.View1 = menu("View1", QStringLiteral("&View"));
    menus_.Tools1 = menu("Tools1", QStringLiteral("&Tools"));
    menus_.Help1 = menu("Help1", QStringLiteral("&Help"));
    menus_.Reopen1 = new QMenu(QStringLiteral("&Reopen"), menus_.File1);
    menus_.Reopen1->setObjectName(QStringLiteral("Reopen1"));
    menus_.PopupMenu1 = makePaintedMenu(QStringLiteral("PopupMenu1"));
    menus_.toolBar = EditPanel;
    menus_.toolRow = new QHBoxLayout(EditPanel);
}

void TForm1::setupFileActions()
{
    QMenu *file = menus_.File1;
    Exit1 = makeAction(this, "Exit1", QStringLiteral("E&xit"), {}, QStringLiteral("Closes the program"));
    bind(Exit1, [this] { Exit1Click(); });
    file->addSeparator();
    file->addAction(Exit1);
    menus_.exitItem = Exit1;

    // Hidden command through which a second start hands over its path: in no menu, but its
    // shortcut is live while the window has the focus.
    externappcmd3 = makeAction(this, "externappcmd3", QStringLiteral("extern app cmd"), QKeySequence(Qt::CTRL | Qt::Key_J));
    externappcmd3->setShortcutContext(Qt::WindowShortcut);
    bind(externappcmd3, [this] { MIRTOL1Click(); });
    addAction(externappcmd3);
}

void TForm1::setupPreferencesActions()
{
    QMenu *prefs = menus_.Preferences1;

    Allowmultipleinstances1 = makeAction(this, "Allowmultipleinstances1", QStringLiteral("Allow &Multiple Windows"), {},
                                         QStringLiteral("Open files with a single or multiple windows"));
    Allowmultipleinstances1->setCheckable(true);
    bind(Allowmultipleinstances1, [this] { Allowmultipleinstances1Click(); });
    prefs->addAction(Allowmultipleinstances1);

    documents_->addPreferences(prefs);
    edit_->addPreferences(prefs);
    search_->addPreferences(prefs);

    ShowToolbar1 = makeAction(this, "ShowToolbar1", QStringLiteral("&Toolbar"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T),
                              QStringLiteral("Shows or hides the toolbar"));
    ShowToolbar1->setCheckable(true);
    ShowToolbar1->setChecked(true);
    bind(ShowToolbar1, [this] {
                ShowToolbar1->setChecked(!ShowToolbar1->isChecked());
                ShowToolbar1Click();
            });
    prefs->addAction(ShowToolbar1);
    format_->addPreferences(prefs);
}

void TForm1::setupHelpActions()
{
    QMenu *help = menus_.Help1;
    HomePage1 = makeAction(this, "HomePage1", QStringLiteral("Home Page"), {}, QStringLiteral("Opens the home page"));
    About1 = makeAction(this, "About1", QStringLiteral("About"), {}, QStringLiteral("About this program"));
    bind(HomePage1, [this] { HomePage1Click(); });
    bind(About1, [this] { About1Click(); });
    help->addAction(HomePage1);
    help->addAction(About1);
}

void TForm1::setupToolbar()
{
    QHBoxLayout *row = menus_.toolRow;
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(1);
    documents_->addToolButtons(row);
    row->addSpacing(8);
    edit_->addToolButtons(row);
    row->addSpacing(8);
    search_->addToolButtons(row);
    row->addStretch(1);
}

void TForm1::setupStatusBar()
{
    auto *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    const int widths[3] = {54, 32, 20};
    for (int i = 0; i < 4; ++i) {
        auto *label = new QLabel(bar);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (i < 3) {
            label->setAlignment(Qt::AlignCenter);
            label->setFixedWidth(widths[i]);
            bar->addWidget(label);
        } else {
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            label->setMinimumWidth(300);
            bar->addWidget(label, 1);
            label->installEventFilter(this);
        }
        panels_[static_cast<std::size_t>(i)] = label;
    }
    setPanel(1, QStringLiteral("Ins"));
    setPanel(3, QStringLiteral("Ready to create a new file or to load an old one"));
}

void TForm1::updateActionState()
{
    const bool open = table_.openCount() > 0;
    documents_->updateActionState(open);
    edit_->updateActionState(open);
    format_->updateActionState(open);
    search_->updateActionState();
    if (tools_)
        tools_->updateActionState();
}


widgets::TKpPopupMenu *TForm1::makePaintedMenu(const QString &name)
{
    auto *menu = new widgets::TKpPopupMenu(this);
    menu->setObjectName(name);
    menu->SetStyle(widgets::TKpMenuStyle::msOwnerDraw);
    menu->SetLeftMargin(16);
    menu->SetShowCheckMarks(false);
    menu->OnDrawMargin = [this, menu](QObject *, QRect rect) { PopupMenu1DrawMargin(menu, rect); };
    return menu;
}

void TForm1::PopupMenu1DrawMargin(widgets::TKpPopupMenu *menu, QRect rect)
{
    // From lime at the top to black, with the program's name written upwards at the bottom.
    menu->DefaultDrawMargin(rect, widgets::RGB(0, 255, 0), widgets::clBlack);
    QPainter *painter = menu->Canvas();
    if (!painter)
        return;
    painter->save();
    const widgets::TRotatedFont font = widgets::CreateRotatedFont(QFont(QStringLiteral("Courier New"), 8), 90);
    painter->setPen(QColor(255, 255, 255));
    painter->setClipRect(rect);
    font.DrawText(*painter, rect.left(), rect.bottom() + 1 - 5, QStringLiteral("Kelpa"));
    painter->restore();
}

TRichEdit *TForm1::editableEditor() const
{
    TRichEdit *editor = currentEditor();
    return editor && !Updating() && !editor->ReadOnly() ? editor : nullptr;
}

void TForm1::Panel1Resize()
{
    TRichEdit *editor = currentEditor();
    if (!editor)
        return;
    SetEditorMargins();
    const bool modified = editor->Modified();
    format_->RichEdit1SelectionChange();
    editor->SetModified(modified);
    updateActionState();
}

void TForm1::setPanel(int index, const QString &text)
{
    if (index == 3) {
        note_ = text;
        fitNote();
        return;
    }
    QLabel *panel = panels_.at(static_cast<std::size_t>(index));
    panel->setText(text);
    // A fixed panel widens for a text that would be cut off (a caret far down a long page);
    // it never narrows again, so the panels beside it stay put while the caret moves.
    if (index < 3) {
        const int needed = panel->fontMetrics().horizontalAdvance(text) + panel->width() - panel->contentsRect().width()
                         + 2 * panel->margin() + 4;
        if (needed > panel->width())
            panel->setFixedWidth(needed);
    }
}

QString TForm1::statusPanel(int index) const
{
    return index == 3 ? note_ : panels_.at(static_cast<std::size_t>(index))->text();
}

void TForm1::fitNote()
{
    // A note that names a file first keeps what it says of the file in view: the path gives
    // way, shortened in its middle, and the whole note is the panel's hint.
    QLabel *panel = panels_[3];
    const QFontMetrics metrics = panel->fontMetrics();
    const int room = panel->contentsRect().width() - 2 * panel->margin() - 4;
    QString shown = note_;
    const qsizetype close = note_.startsWith(QLatin1Char('"')) ? note_.indexOf(QLatin1String("\" "), 1) : -1;
    if (close > 0 && metrics.horizontalAdvance(note_) > room) {
        const QString rest = note_.mid(close);
        const int pathRoom = room - metrics.horizontalAdvance(QLatin1Char('"')) - metrics.horizontalAdvance(rest);
        shown = QLatin1Char('"')
              + metrics.elidedText(note_.mid(1, close - 1), Qt::ElideMiddle,
                                   std::max(pathRoom, 4 * metrics.horizontalAdvance(QLatin1Char('W'))))
              + rest;
    }
    panel->setText(shown);
    panel->setToolTip(shown == note_ ? QString() : note_);
}

TRichEdit *TForm1::currentEditor() const
{
    if (table_.CurrentPage < 0 || table_.CurrentPage >= kPageCount)
        return nullptr;
    const PageRecord &page = table_[table_.CurrentPage];
    return page.isFree() ? nullptr : page.Editor;
}

// ---------------------------------------------------------------------------------------------
// Lifecycle

namespace {
QString settingsFile() { return platform::settingsFolder() + QStringLiteral("Kelpa.ini"); }
} // namespace

void TForm1::FormCreate()
{
    setWindowIcon(appIcon());
    // The files the editor keeps beside itself; a folder of the user's own when the program
    // folder cannot be written.
    programFolder_ = platform::keptFilesFolder();
    QDir::setCurrent(programFolder_);
    // A file of that name cannot be entered either.
    if (!QFileInfo(programFolder_ + QStringLiteral("Batches")).isDir() && !QDir(programFolder_).mkdir(QStringLiteral("Batches")))
        ShowMessageBox(QStringLiteral("$WFolder creation"),
                       QStringLiteral("Cannot create the folder \"") + programFolder_ + QStringLiteral("Batches\""), this);
    // The Windows core fonts that documents and settings name draw in their metric twins.
    platform::installFontSubstitutions();
    format_->addFontNames(platform::installedFontFamilies());
    for (auto &page : table_.pages)
        page = PageRecord();
    settings_ = loadSettings(settingsFile());
    applySettings();
}

void TForm1::applySettings()
{
    const QSize screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableSize() : QSize();
    const int width = usableClientExtent(settings_.normalWidth, 530, screen.width());
    const int height = usableClientExtent(settings_.normalHeight, 414, screen.height());
    // The stored size is the client area, without the menu bar.
    resize(width, height + menuBarHeight());
    normalSize_ = QSize(width, height);
    if (settings_.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    documents_->applySettings();
    ShowToolbar1->setChecked(settings_.showToolbar);
    EditPanel->setVisible(settings_.showToolbar);
    edit_->applySettings();
    search_->applySettings(settings_);
    format_->applySettings();
    recent_->RebuildReopenMenu();
}

int TForm1::menuBarHeight() const { return menuBar()->sizeHint().height(); }

QSize TForm1::clientSize() const { return {width(), height() - menuBarHeight()}; }

void TForm1::collectSettings()
{
    const bool maximized = isMaximized();
    settings_.maximized = maximized;
    const QSize size = maximized ? normalSize_ : clientSize();
    settings_.normalWidth = size.width();
    settings_.normalHeight = size.height();
    documents_->collectSettings();
    settings_.showToolbar = ShowToolbar1->isChecked();
    settings_.batchScope = tools_->batchWindow();
    search_->collectSettings(settings_);
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        // Opens centred on the screen the user works on; the position is not kept.
        if (!isMaximized())
            platform::centreOnCursorScreen(this);
        RunGuarded([this] { FormShow(); });
        // Without a window manager the window may never be activated; the first activation's
        // work must not wait for it.
        QTimer::singleShot(0, this, [this] {
            if (!Activated)
                RunGuarded([this] { FormActivate(); });
        });
    }
}

void TForm1::FormShow()
{
    if (Activated)
        return;
    if (!documentPathArgument_.isEmpty()) {
        OpenDocument(documentPathArgument_, true, QString());
        for (const QString &more : moreDocumentArguments_)
            OpenDocument(more, true, QString());
    } else
        NewPage(NewPageKind::Rich);
}

void TForm1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        RunGuarded([this] { FormActivate(); });
}

void TForm1::FormActivate()
{
    if (!Activated) {
        Activated = true;
        PageControl1->setVisible(true);
        connect(PageControl1, &QTabWidget::currentChanged, this, Guarded([this](int) { PageControl1Change(); }));
        for (int i = 0; i < kPageCount; ++i)
            if (table_[i].InUse && !table_[i].isFree())
                table_[i].Editor->SetModified(false);
        if (TRichEdit *editor = currentEditor()) {
            editor->setFocus();
            PageControl1Change();
        }
        if (!QFile::exists(settingsFile())) {
            About1Click();
            ShowMessageBox(QStringLiteral("Kelpa"), QStringLiteral("Welcome!"), this);
        }
        documents_->reportLeftCopies();
        emit documentStateChanged();
        documents_->askPendingTextChecksLater();
    }
    if (TRichEdit *editor = currentEditor(); editor && !Updating()) {
        editor->setFocus();
        PageControl1Change();
    }
}

void TForm1::closeEvent(QCloseEvent *event)
{
    bool allowed = false;
    RunGuarded([&] { allowed = FormCloseQuery(); });
    if (!allowed) {
        event->ignore();
        return;
    }
    RunGuarded([this] { FormClose(); });
    event->accept();
}

bool TForm1::FormCloseQuery()
{
    const Operation operation(*this);
    PageControl1->setVisible(false);
    const bool allowed = documents_->closeAll() == CloseResult::Closed;
    if (!allowed) {
        PageControl1->setVisible(table_.openCount() > 0);
        showCurrentTab();
    }
    return allowed;
}

void TForm1::showCurrentTab()
{
    // A tab bar that lost tabs while it was hidden keeps a scroll position from before, which
    // may leave the current tab out of view; selecting the page anew scrolls to its tab.
    const int index = PageControl1->currentIndex();
    if (index < 0 || PageControl1->count() < 2)
        return;
    {
        const UpdatingScope updating(*this);
        PageControl1->setCurrentIndex(index == 0 ? 1 : 0);
        PageControl1->setCurrentIndex(index);
    }
    if (TRichEdit *editor = currentEditor())
        editor->setFocus();
}

void TForm1::FormClose()
{
    closed_ = true;
    if (const auto checker = platform::FindWindow(QStringLiteral("TKelpaSpellChecker")))
        platform::PostMessage(checker, WM_CLOSECHECKER, 0, 0);
    QDir::setCurrent(programFolder_);
    QFile::remove(programFolder_ + QStringLiteral("NULL.htm"));
    collectSettings();
    if (const int error = saveSettings(settingsFile(), settings_))
        ShowErrorBox(QStringLiteral("Cannot save the file ") + settingsFile(), error);
    destroyPages();
}

void TForm1::Exit1Click() { close(); }

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Panel1 && event->type() == QEvent::Resize)
        RunGuarded([this] { Panel1Resize(); });
    if (watched == panels_[3] && event->type() == QEvent::Resize)
        fitNote();
    if (event->type() == QEvent::ShortcutOverride && qobject_cast<TRichEdit *>(watched)
        && !edit_->editorClaimsShortcut(static_cast<QKeyEvent *>(event))) {
        event->ignore();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TForm1::event(QEvent *event)
{
    if (event->type() == QEvent::StatusTip) {
        // The current hint, empty ones included (leaving a hinted item clears it), goes to the
        // message panel instead of covering the whole status bar.
        setPanel(3, static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TForm1::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent *event)
{
    QStringList files;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    event->acceptProposedAction();
    documents_->WMDropFiles(files);
}

void TForm1::ShowToolbar1Click()
{
    ShowToolbar1->setChecked(!ShowToolbar1->isChecked());
    EditPanel->setVisible(ShowToolbar1->isChecked());
}

// ---------------------------------------------------------------------------------------------
// Single instance

void TForm1::MIRTOL1Click()
{
    // The request is taken at once, as a later start writes the same file, and handled only
    // when no dialog is up and no document operation runs: an open nested in another one's
    // password prompt would take over the slot being filled.
    const LoadRequest request = takeLoadRequest(programFolder_);
    if (request.kind == LoadRequest::Kind::None)
        return;
    handOffQueue_.push_back(request);
    handlePendingHandOffs();
}

bool TForm1::busy() const { return operations_ > 0 || QApplication::activeModalWidget() != nullptr; }

void TForm1::handlePendingHandOffs()
{
    while (!handOffQueue_.empty() && !closed_) {
        if (busy()) {
            handOffTimer_->start();
            return;
        }
        const LoadRequest request = handOffQueue_.front();
        handOffQueue_.pop_front();
        if (request.kind == LoadRequest::Kind::Open)
            RunGuarded([&] { OpenDocument(request.path, true, QString()); });
        bringForward();
    }
    handOffTimer_->stop();
}

void TForm1::bringForward()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

TForm1::Operation::Operation(TForm1 &form) : form_(form) { ++form_.operations_; }

TForm1::Operation::~Operation()
{
    if (--form_.operations_ == 0 && !form_.handOffQueue_.empty())
        form_.handOffTimer_->start();
}

void TForm1::Allowmultipleinstances1Click()
{
    if (multipleWindowsAllowed(programFolder_)) {
        if (const platform::SystemResult removed = setMultipleWindowsAllowed(programFolder_, false); !removed)
            ShowErrorBox(QStringLiteral("Cannot remove the file multi.dat"), removed.error);
    } else {
        // A failure to make it shows in the check mark.
        setMultipleWindowsAllowed(programFolder_, true);
    }
    Allowmultipleinstances1->setChecked(multipleWindowsAllowed(programFolder_));
}

// ---------------------------------------------------------------------------------------------
// Page table

void TForm1::AllocatePage(int slot)
{
    PageRecord &page = table_[slot];
    if (page.InUse) {
        if (format_->isOn(page.Sheet))
            format_->parkFormatting();
        delete page.Sheet;
        page.Sheet = nullptr;
        page.Editor = nullptr;
    }
    page.Sheet = new QWidget();
    page.Sheet->setObjectName(QStringLiteral("TabSheet%1").arg(slot));
    auto *layout = new QVBoxLayout(page.Sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    InitializeKPTxt(slot);
    page.FileName.clear();
    page.InsertMode = 1;
    page.InUse = true;
    page.Bookmarks.fill(-1);
    page.PasswordUnconfirmed = false;
    table_.CurrentPage = slot;
}

void TForm1::InitializeKPTxt(int slot)
{
    PageRecord &page = table_[slot];
    auto *editor = new TRichEdit(page.Sheet);
    editor->setObjectName(QStringLiteral("RichEdit%1").arg(slot));
    page.Editor = editor;
    page.Sheet->layout()->addWidget(editor);
    editor->SetTextLimit(0x7FFFFFFF);
    editor->setFont(defaultFont());
    editor->SetWantTabs(true);
    editor->SetScrollBars(TScrollStyle::Both);
    editor->SetHideSelection(false);
    editor->SetWordWrap(false);
    editor->setFrameStyle(QFrame::NoFrame);
    // Only the current page's events count, and changes only once the window is up: the
    // pages of the command line are read before.
    connect(editor, &TRichEdit::Change, this, [this, editor] {
        if (Activated && editor == currentEditor())
            RichEdit1Change();
    });
    connect(editor, &TRichEdit::SelectionChange, this, [this, editor] {
        if (editor == currentEditor())
            format_->RichEdit1SelectionChange();
    });
    edit_->attachEditor(editor);
    editor->installEventFilter(this);
    search_->trackBookmarks(slot);
}

int TForm1::OpenDocument(const QString &path, bool addToRecent, const QString &password)
{
    return documents_->OpenDocument(path, addToRecent, password);
}

CloseResult TForm1::ClosePage(int slot) { return documents_->ClosePage(slot); }

void TForm1::NewPage(NewPageKind kind) { documents_->NewPage(kind); }

QFont TForm1::defaultFont() const
{
    // The size is stored as read; the font takes only what the size box allows.
    QFont font(settings_.defaultFontName);
    font.setPointSize(qBound(4, settings_.defaultFontSize, 200));
    return font;
}


void TForm1::SetEditorMargins()
{
    if (TRichEdit *editor = currentEditor()) {
        // The whole client area, margins included: the viewport alone shrinks with each call.
        const QRect client = editor->ClientRect();
        editor->SetRect(2, 0, client.width() - 2, client.height());
    }
}

void TForm1::EnableDocumentCommands()
{
    if (Activated)
        PageControl1->setVisible(true);
    emit documentStateChanged();
}

void TForm1::DisableDocumentCommands()
{
    PageControl1->setVisible(false);
    format_->SetRulerEnabled(false);
    // Caret, mode and wrap belong to a page.
    for (int panel : {0, 1, 2})
        setPanel(panel, QString());
    setPanel(3, QStringLiteral("All files have been closed"));
    emit documentStateChanged();
}

void TForm1::PageControl1Change()
{
    if (Updating())
        return;
    QWidget *active = PageControl1->currentWidget();
    for (int i = 0; i < kPageCount; ++i) {
        PageRecord &page = table_[i];
        if (page.isFree() || !page.Editor || page.Sheet != active)
            continue;
        table_.CurrentPage = i;
        format_->SetRulerEnabled(page.Kind != PageKind::Plain);
        documents_->pageShown(page);
        setPanel(1, page.InsertMode == 1 ? QStringLiteral("Ins") : QStringLiteral("Ovr"));
        // A page whose password is unconfirmed keeps saying why it is read-only.
        setPanel(3, page.PasswordUnconfirmed ? DocumentCommands::readOnlyPageText()
                                             : QString::number(page.Editor->TextLength()) + QStringLiteral(" bytes"));
        setPanel(2, page.Editor->WordWrap() ? QStringLiteral("W") : QString());
        SetEditorMargins();
        format_->RichEdit1SelectionChange();
        emit documentStateChanged();
        return;
    }
    if (table_.openCount() > 0)
        ShowMessage(QStringLiteral("CRITICAL WARNING:\n cannot point to the selected page!"));
}

void TForm1::RichEdit1Change()
{
    TRichEdit *editor = currentEditor();
    // An undo back to the saved text leaves the page unmodified: a count on show is kept true.
    if (!editor || (!editor->Modified() && !statusPanel(3).endsWith(QStringLiteral(" bytes"))))
        return;
    setPanel(3, QString::number(editor->TextLength()) + QStringLiteral(" bytes"));
    emit documentStateChanged();
}

// ---------------------------------------------------------------------------------------------
// Help

void TForm1::HomePage1Click() { OpenStoredAddress(StoredTextString(StoredTextId::HomePage)); }

void TForm1::About1Click()
{
    TAboutBox box(windowTitle(), windowIcon(), this);
    platform::centreOnCursorScreen(&box);
    box.exec();
}

} // namespace kelpa::editor
