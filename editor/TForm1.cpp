#include "editor/TForm1.h"

#include "editor/AboutBox.h"
#include "editor/AppIcon.h"
#include "editor/HandOff.h"
#include "editor/SafeFile.h"
#include "editor/SaveAsRules.h"

#include "engine/LegacyCipher.h"
#include "engine/TOBRINEngine.h"
#include "platform/WindowMessages.h"
#include "platform/codepage/CodePage.h"
#include "platform/richedit/TRichEdit.h"
#include "support/Abort.h"
#include "support/MessageBoxes.h"
#include "support/PasswordDialog.h"
#include "support/Prompter.h"
#include "support/Shell.h"
#include "support/StoredText.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScopeGuard>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <cerrno>

namespace kelpa::editor {

QString DocumentPathArgumentText;

namespace {

constexpr std::uint32_t WM_CLOSECHECKER = platform::WM_USER + 110;
constexpr int kAutoWrapLineLimit = 200;
constexpr int kAutoWrapLineLength = 110;

// Passwords and document bytes travel as Windows-1252, the engine's form.
std::string passwordBytes(const QString &password)
{
    return codepage::encode(std::u16string_view(reinterpret_cast<const char16_t *>(password.utf16()),
                                                static_cast<std::size_t>(password.size())),
                            codepage::Windows1252);
}

std::string engineFileName(const QString &path) { return QFile::encodeName(path).toStdString(); }

// The text split into lines and joined again with CR LF after every line, as a string list
// hands it on.
QByteArray asLines(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + 2);
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    while (start < n) {
        qsizetype i = start;
        while (i < n && bytes[i] != '\r' && bytes[i] != '\n')
            ++i;
        out.append(bytes.constData() + start, i - start);
        out.append("\r\n");
        if (i < n && bytes[i] == '\r')
            ++i;
        if (i < n && bytes[i] == '\n')
            ++i;
        start = i;
    }
    return out;
}

// Runs a command when its action fires; an exception ends there (Abort silently).
template <class F>
void bind(QAction *action, F f)
{
    QObject::connect(action, &QAction::triggered, action, [f](bool) { RunGuarded(f); });
}

QAction *makeAction(QObject *owner, const char *objectName, const QString &caption, const QKeySequence &shortcut = {},
                    const QString &hint = {})
{
    auto *a = new QAction(caption, owner);
    a->setObjectName(QLatin1String(objectName));
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    if (!hint.isEmpty())
        a->setStatusTip(hint);
    return a;
}

} // namespace

TForm1::TForm1(QWidget *parent)
    : QMainWindow(parent), engine_(std::make_unique<TOBRINEngine>())
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kelpa 5.0"));
    setAcceptDrops(true);
    engine_->ApplicationTitle = "Kelpa";

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto *layout = new QVBoxLayout(Panel1);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    EditPanel = new QWidget(Panel1);
    EditPanel->setObjectName(QStringLiteral("EditPanel"));
    EditPanel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    layout->addWidget(EditPanel);
    PageControl1 = new QTabWidget(Panel1);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setDocumentMode(true);
    PageControl1->setVisible(false);
    layout->addWidget(PageControl1, 1);
    layout->addStretch(0);
    setCentralWidget(Panel1);

    setupFileActions();
    setupPreferencesActions();
    setupHelpActions();
    setupToolbar();
    setupStatusBar();
    connect(this, &TForm1::documentStateChanged, this, &TForm1::updateActionState);

    FormCreate();
    Allowmultipleinstances1->setChecked(multipleWindowsAllowed(programFolder_));
    updateActionState();
}

TForm1::~TForm1()
{
    for (auto &page : table_.pages) {
        delete page.Sheet;
        page.Sheet = nullptr;
        page.Editor = nullptr;
    }
}

// ---------------------------------------------------------------------------------------------
// Actions and menus

void TForm1::setupFileActions()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));

    New1 = makeAction(this, "New1", QStringLiteral("&New..."), QKeySequence(Qt::CTRL | Qt::Key_N),
                      QStringLiteral("Creates a new document"));
    Open1 = makeAction(this, "Open1", QStringLiteral("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O),
                       QStringLiteral("Opens an existing document"));
    Save1 = makeAction(this, "Save1", QStringLiteral("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S),
                       QStringLiteral("Saves the current document"));
    Saveas1 = makeAction(this, "Saveas1", QStringLiteral("Sa&ve As..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
                         QStringLiteral("Saves the current document with a new name or kind"));
    SaveAll1 = makeAction(this, "SaveAll1", QStringLiteral("Save &All"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V),
                          QStringLiteral("Saves every modified document"));
    Close1 = makeAction(this, "Close1", QStringLiteral("&Close"), QKeySequence(Qt::CTRL | Qt::Key_F4),
                        QStringLiteral("Closes the current document"));
    Closeall1 = makeAction(this, "Closeall1", QStringLiteral("C&lose All"), {}, QStringLiteral("Closes every document"));
    Exit1 = makeAction(this, "Exit1", QStringLiteral("E&xit"), {}, QStringLiteral("Closes the program"));

    bind(New1, [this] { NewButtonClick(); });
    bind(Open1, [this] { OpenButtonClick(); });
    bind(Save1, [this] { SaveButtonClick(); });
    bind(Saveas1, [this] { Saveas1Click(); });
    bind(SaveAll1, [this] { SaveAll1Click(); });
    bind(Close1, [this] { Close1Click(); });
    bind(Closeall1, [this] { Closeall1Click(); });
    bind(Exit1, [this] { Exit1Click(); });

    file->addAction(New1);
    file->addAction(Open1);
    file->addSeparator();
    file->addAction(Save1);
    file->addAction(Saveas1);
    file->addAction(SaveAll1);
    file->addSeparator();
    file->addAction(Close1);
    file->addAction(Closeall1);
    file->addSeparator();
    file->addAction(Exit1);

    // Hidden command through which a second start hands over its path: in no menu, but its
    // shortcut is live while the window has the focus.
    externappcmd3 = makeAction(this, "externappcmd3", QStringLiteral("extern app cmd"), QKeySequence(Qt::CTRL | Qt::Key_J));
    externappcmd3->setShortcutContext(Qt::WindowShortcut);
    bind(externappcmd3, [this] { MIRTOL1Click(); });
    addAction(externappcmd3);

    // The pop-up of "New...": one item per kind of untitled page.
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    PlainText1 = makeAction(this, "PlainText1", QStringLiteral("Plain Text"));
    RichText1 = makeAction(this, "RichText1", QStringLiteral("Rich Text"));
    EncryptedText1 = makeAction(this, "EncryptedText1", QStringLiteral("Encrypted Text"));
    bind(PlainText1, [this] { NewPage(NewPageKind::Plain); });
    bind(RichText1, [this] { NewPage(NewPageKind::Rich); });
    bind(EncryptedText1, [this] { NewPage(NewPageKind::Encrypted); });
    PopupMenu2->addAction(PlainText1);
    PopupMenu2->addAction(RichText1);
    PopupMenu2->addAction(EncryptedText1);
}

void TForm1::setupPreferencesActions()
{
    QMenu *prefs = menuBar()->addMenu(QStringLiteral("&Preferences"));
    prefs->setObjectName(QStringLiteral("Preferences1"));

    Allowmultipleinstances1 = makeAction(this, "Allowmultipleinstances1", QStringLiteral("Allow &Multiple Windows"), {},
                                         QStringLiteral("Open files with a single or multiple windows"));
    Allowmultipleinstances1->setCheckable(true);
    bind(Allowmultipleinstances1, [this] { Allowmultipleinstances1Click(); });
    prefs->addAction(Allowmultipleinstances1);

    QMenu *encryption = prefs->addMenu(QStringLiteral("&Encryption"));
    encryption->setObjectName(QStringLiteral("Encryption1"));
    EC41 = makeAction(this, "EC41", QStringLiteral("EC4"), {}, QStringLiteral("256 bit - polymorphic"));
    Blowfish1 = makeAction(this, "Blowfish1", QStringLiteral("Blowfish"), {},
                           QStringLiteral("Encrypted documents are saved with Blowfish"));
    EC41->setCheckable(true);
    Blowfish1->setCheckable(true);
    auto *ciphers = new QActionGroup(this);
    ciphers->addAction(EC41);
    ciphers->addAction(Blowfish1);
    Blowfish1->setChecked(true);
    Usecommonpassword1 = makeAction(this, "Usecommonpassword1", QStringLiteral("Common password"), {},
                                    QStringLiteral("One password for every encrypted document of this session"));
    Usecommonpassword1->setCheckable(true);
    Usecommonpassword1->setChecked(true);
    Changepassword1 = makeAction(this, "Changepassword1", QStringLiteral("&Change..."), {},
                                 QStringLiteral("Sets a new password for the current document"));
    bind(Usecommonpassword1, [this] {
                // The item's own toggle already ran; the handler toggles it again itself.
                Usecommonpassword1->setChecked(!Usecommonpassword1->isChecked());
                Usecommonpassword1Click();
            });
    bind(Changepassword1, [this] { Changepassword1Click(); });
    encryption->addAction(EC41);
    encryption->addAction(Blowfish1);
    encryption->addSeparator();
    encryption->addAction(Usecommonpassword1);
    encryption->addAction(Changepassword1);

    QMenu *wrap = prefs->addMenu(QStringLiteral("&Word Wrap"));
    wrap->setObjectName(QStringLiteral("WordWrap1"));
    Wraptext1 = makeAction(this, "Wraptext1", QStringLiteral("&Word Wrap"), QKeySequence(Qt::CTRL | Qt::Key_W),
                           QStringLiteral("Wraps the lines of the current document"));
    Wraptext1->setCheckable(true);
    bind(Wraptext1, [this] { Wraptext1Click(); });
    Automatic1 = makeAction(this, "Automatic1", QStringLiteral("&Automatic"), {},
                            QStringLiteral("Wraps plain documents with long lines when they are opened"));
    Automatic1->setCheckable(true);
    Automatic1->setChecked(true);
    wrap->addAction(Wraptext1);
    wrap->addAction(Automatic1);

    ShowToolbar1 = makeAction(this, "ShowToolbar1", QStringLiteral("&Toolbar"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T),
                              QStringLiteral("Shows or hides the toolbar"));
    ShowToolbar1->setCheckable(true);
    ShowToolbar1->setChecked(true);
    bind(ShowToolbar1, [this] {
                ShowToolbar1->setChecked(!ShowToolbar1->isChecked());
                ShowToolbar1Click();
            });
    prefs->addAction(ShowToolbar1);
}

void TForm1::setupHelpActions()
{
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    HomePage1 = makeAction(this, "HomePage1", QStringLiteral("Home Page"), {}, QStringLiteral("Opens the home page"));
    About1 = makeAction(this, "About1", QStringLiteral("About"), {}, QStringLiteral("About this program"));
    bind(HomePage1, [this] { HomePage1Click(); });
    bind(About1, [this] { About1Click(); });
    help->addAction(HomePage1);
    help->addAction(About1);
}

void TForm1::setupToolbar()
{
    auto *row = new QHBoxLayout(EditPanel);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(1);
    auto button = [&](const char *name, const QIcon &icon, const QString &hint, auto command) {
        auto *b = new QToolButton(EditPanel);
        b->setObjectName(QLatin1String(name));
        b->setAutoRaise(true);
        b->setIcon(icon);
        b->setToolTip(hint);
        b->setStatusTip(hint);
        // The handler itself, not the menu item: a button follows its own enabled state.
        connect(b, &QToolButton::clicked, this, [command](bool) { RunGuarded(command); });
        row->addWidget(b);
        return b;
    };
    button("NewButton", style()->standardIcon(QStyle::SP_FileIcon), QStringLiteral("New document"),
           [this] { NewButtonClick(); });
    button("OpenButton", style()->standardIcon(QStyle::SP_DialogOpenButton), QStringLiteral("Open document"),
           [this] { OpenButtonClick(); });
    SaveButton = button("SaveButton", style()->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("Save document"),
                        [this] { SaveButtonClick(); });
    PasswordButton = button("PasswordButton", passwordIcon(), QStringLiteral("Change password"),
                            [this] { Changepassword1Click(); });
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
        }
        panels_[static_cast<std::size_t>(i)] = label;
    }
    setPanel(1, QStringLiteral("Ins"));
    setPanel(3, QStringLiteral("Ready to create a new file or to load an old one"));
}

void TForm1::updateActionState()
{
    const bool open = table_.openCount() > 0;
    for (QAction *a : {Wraptext1, Save1, Saveas1, SaveAll1, Close1, Closeall1})
        a->setEnabled(open);
    Changepassword1->setEnabled(open && changePasswordAllowed_);
    PasswordButton->setEnabled(open);
    TRichEdit *editor = currentEditor();
    SaveButton->setEnabled(editor && editor->Modified() && isVisible());
}

QAction *TForm1::action(const QString &objectName) const { return findChild<QAction *>(objectName); }

void TForm1::setPanel(int index, const QString &text) { panels_.at(static_cast<std::size_t>(index))->setText(text); }

QString TForm1::statusPanel(int index) const { return panels_.at(static_cast<std::size_t>(index))->text(); }

TRichEdit *TForm1::currentEditor() const
{
    if (table_.CurrentPage < 0 || table_.CurrentPage >= kPageCount)
        return nullptr;
    const PageRecord &page = table_[table_.CurrentPage];
    return page.isFree() ? nullptr : page.Editor;
}

// ---------------------------------------------------------------------------------------------
// Lifecycle

void TForm1::FormCreate()
{
    setWindowIcon(appIcon());
    programFolder_ = kelpa::ProgramFolder();
    QDir::setCurrent(programFolder_);
    // A file of that name cannot be entered either.
    if (!QFileInfo(programFolder_ + QStringLiteral("Batches")).isDir() && !QDir(programFolder_).mkdir(QStringLiteral("Batches")))
        ShowMessageBox(QStringLiteral("$WFolder creation"),
                       QStringLiteral("Cannot create the folder \"") + programFolder_ + QStringLiteral("Batches\""), this);
    for (auto &page : table_.pages)
        page = PageRecord();
    settings_ = loadSettings(programFolder_ + QStringLiteral("Kelpa.ini"));
    applySettings();
}

void TForm1::applySettings()
{
    const QSize screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableSize() : QSize();
    const int width = usableClientExtent(settings_.normalWidth, 530, screen.width());
    const int height = usableClientExtent(settings_.normalHeight, 414, screen.height());
    resize(width, height);
    normalSize_ = QSize(width, height);
    if (settings_.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    Automatic1->setChecked(settings_.autoWrap);
    (settings_.encEC4 ? EC41 : Blowfish1)->setChecked(true);
    ShowToolbar1->setChecked(settings_.showToolbar);
    EditPanel->setVisible(settings_.showToolbar);
    if (!settings_.commonPassword)
        Usecommonpassword1Click();
}

void TForm1::collectSettings()
{
    const bool maximized = isMaximized();
    settings_.maximized = maximized;
    const QSize size = maximized ? normalSize_ : this->size();
    settings_.normalWidth = size.width();
    settings_.normalHeight = size.height();
    settings_.autoWrap = Automatic1->isChecked();
    settings_.commonPassword = Usecommonpassword1->isChecked();
    settings_.showToolbar = ShowToolbar1->isChecked();
    settings_.encEC4 = EC41->isChecked();
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
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
    if (!DocumentPathArgumentText.isEmpty())
        OpenDocument(DocumentPathArgumentText, true, QString());
    else
        NewPage(NewPageKind::Rich);
    QCoreApplication::processEvents();
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
        PageControl1->setVisible(table_.openCount() > 0);
        connect(PageControl1, &QTabWidget::currentChanged, this, Guarded([this](int) { PageControl1Change(); }));
        for (int i = 0; i < kPageCount; ++i)
            if (table_[i].InUse && !table_[i].isFree()) {
                attachChangeHandler(i);
                table_[i].Editor->SetModified(false);
            }
        if (TRichEdit *editor = currentEditor()) {
            editor->setFocus();
            QCoreApplication::processEvents();
            PageControl1Change();
        }
        if (!QFile::exists(programFolder_ + QStringLiteral("Kelpa.ini"))) {
            About1Click();
            ShowMessageBox(QStringLiteral("Kelpa"), QStringLiteral("Welcome!"), this);
        }
        emit documentStateChanged();
    }
    if (TRichEdit *editor = currentEditor(); editor && !Updating) {
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
    CloseAllowed = true;
    PageControl1->setVisible(false);
    Closeall1Click();
    if (!CloseAllowed)
        PageControl1->setVisible(table_.openCount() > 0);
    return CloseAllowed;
}

void TForm1::FormClose()
{
    if (const auto checker = platform::FindWindow(QStringLiteral("TKelpaSpellChecker")))
        platform::PostMessage(checker, WM_CLOSECHECKER, 0, 0);
    QDir::setCurrent(programFolder_);
    QFile::remove(programFolder_ + QStringLiteral("NULL.htm"));
    collectSettings();
    QString error;
    if (!saveSettings(programFolder_ + QStringLiteral("Kelpa.ini"), settings_, &error))
        ShowErrorBox(QStringLiteral("Cannot save the file ") + programFolder_ + QStringLiteral("Kelpa.ini"));
    for (auto &page : table_.pages) {
        delete page.Sheet;
        page.Sheet = nullptr;
        page.Editor = nullptr;
    }
}

void TForm1::Exit1Click() { close(); }

bool TForm1::event(QEvent *event)
{
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent *>(event)->tip();
        if (!tip.isEmpty())
            setPanel(3, tip);
        return true;
    }
    return QMainWindow::event(event);
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
    const LoadRequest request = takeLoadRequest(programFolder_);
    switch (request.kind) {
    case LoadRequest::Kind::None:
        return;
    case LoadRequest::Kind::BringToFront:
        break;
    case LoadRequest::Kind::Open:
        OpenDocument(request.path, true, QString());
        break;
    }
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void TForm1::Allowmultipleinstances1Click()
{
    const QString marker = multiMarkerFile(programFolder_);
    if (QFile::exists(marker)) {
        if (!QFile::remove(marker))
            ShowErrorBox(QStringLiteral("Cannot remove the file multi.dat"));
    } else {
        QFile f(marker);
        if (f.open(QIODevice::WriteOnly))
            f.close();
    }
    Allowmultipleinstances1->setChecked(QFile::exists(marker));
}

// ---------------------------------------------------------------------------------------------
// Page table

void TForm1::AllocatePage(int slot)
{
    PageRecord &page = table_[slot];
    if (page.InUse) {
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
    QFont font(settings_.defaultFontName);
    font.setPointSize(qBound(4, settings_.defaultFontSize, 200));
    editor->setFont(font);
    editor->SetWantTabs(true);
    editor->SetScrollBars(TScrollStyle::Both);
    editor->SetHideSelection(false);
    editor->SetWordWrap(false);
    editor->setFrameStyle(QFrame::NoFrame);
    if (Activated)
        attachChangeHandler(slot);
}

void TForm1::attachChangeHandler(int slot)
{
    TRichEdit *editor = table_[slot].Editor;
    editor->OnChange = [this, editor] {
        if (editor == currentEditor())
            RichEdit1Change();
    };
}

bool TForm1::CheckNotAlreadyLoaded(const QString &path)
{
    const int slot = table_.findLoaded(path);
    if (slot < 0)
        return true;
    PageControl1->setCurrentWidget(table_[slot].Sheet);
    table_.CurrentPage = slot;
    ShowMessage(QStringLiteral("\"") + path + QStringLiteral("\"\nFile already loaded"));
    return false;
}

void TForm1::CloseEmptyUntitledPage(const QString &path)
{
    TRichEdit *editor = currentEditor();
    if (editor && editor->TextLength() == 0 && table_[table_.CurrentPage].isUntitled() && !isUntitledName(path))
        ClosePage(table_.CurrentPage);
}

void TForm1::NewPage(NewPageKind kind) { OpenDocument(table_.nextUntitledName(kind), false, QString()); }

void TForm1::NewButtonClick()
{
    const QPoint at = QCursor::pos();
    PopupMenu2->popup(at);
}

void TForm1::Close1Click()
{
    if (table_.CurrentPage >= 0)
        ClosePage(table_.CurrentPage);
}

void TForm1::SetRulerEnabled(bool enabled) { rulerEnabled_ = enabled; }

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
    if (table_.openCount() == 1)
        changePasswordAllowed_ = true;
    if (Activated)
        PageControl1->setVisible(true);
    emit documentStateChanged();
}

void TForm1::DisableDocumentCommands()
{
    PageControl1->setVisible(false);
    SetRulerEnabled(false);
    setPanel(3, QStringLiteral("All files have been closed"));
    emit documentStateChanged();
}

void TForm1::PageControl1Change()
{
    if (Updating)
        return;
    QWidget *active = PageControl1->currentWidget();
    for (int i = 0; i < kPageCount; ++i) {
        PageRecord &page = table_[i];
        if (page.isFree() || !page.Editor || page.Sheet != active)
            continue;
        table_.CurrentPage = i;
        SetRulerEnabled(page.Kind != PageKind::Plain);
        Wraptext1->setChecked(page.Editor->WordWrap());
        setPanel(1, page.InsertMode == 1 ? QStringLiteral("Ins") : QStringLiteral("Ovr"));
        setPanel(3, QString::number(page.Editor->TextLength()) + QStringLiteral(" bytes"));
        setPanel(2, Wraptext1->isChecked() ? QStringLiteral("W") : QString());
        SetEditorMargins();
        RichEdit1SelectionChange();
        emit documentStateChanged();
        return;
    }
    if (table_.openCount() > 0)
        ShowMessage(QStringLiteral("CRITICAL WARNING:\n cannot point to the selected page!"));
}

void TForm1::RichEdit1Change()
{
    TRichEdit *editor = currentEditor();
    if (!editor || !editor->Modified())
        return;
    setPanel(3, QString::number(editor->TextLength()) + QStringLiteral(" bytes"));
    emit documentStateChanged();
}

void TForm1::RichEdit1SelectionChange()
{
    TRichEdit *editor = currentEditor();
    if (!editor)
        return;
    const int start = editor->SelStart();
    const int line = editor->LineFromChar(start);
    setPanel(0, QString::number(line) + QStringLiteral(" , ") + QString::number(start - editor->LineIndex(line)));
}

void TForm1::Usecommonpassword1Click()
{
    changePasswordAllowed_ = Usecommonpassword1->isChecked();
    Usecommonpassword1->setChecked(!Usecommonpassword1->isChecked());
    updateActionState();
}

void TForm1::Wraptext1Click()
{
    TRichEdit *editor = currentEditor();
    if (!editor)
        return;
    const int caret = editor->SelStart();
    const bool wrap = !editor->WordWrap();
    editor->SetWordWrap(wrap);
    Wraptext1->setChecked(wrap);
    editor->SetScrollBars(wrap ? TScrollStyle::Vertical : TScrollStyle::Both);
    setPanel(2, wrap ? QStringLiteral("W") : QString());
    SetEditorMargins();
    editor->SetSelStart(caret);
}

void TForm1::AddToRecent(const QString &path)
{
    auto &recent = settings_.prevLoaded;
    int found = -1;
    for (int i = 0; i < kRecentCount; ++i)
        if (recent[static_cast<std::size_t>(i)].compare(path, Qt::CaseInsensitive) == 0)
            found = i;
    const int last = found < 0 ? kRecentCount - 1 : found;
    for (int i = last; i > 0; --i)
        recent[static_cast<std::size_t>(i)] = recent[static_cast<std::size_t>(i - 1)];
    recent[0] = path;
}

// ---------------------------------------------------------------------------------------------
// Opening

int TForm1::OpenDocument(const QString &path, bool addToRecent, const QString &password)
{
    if (path.isEmpty())
        return -1;
    if (!CheckNotAlreadyLoaded(path))
        return -1;
    const int slot = table_.FindFreePage();
    if (slot < 0) {
        ShowMessage(QStringLiteral("No more pages available (max.= 16)"));
        return -1;
    }
    QPointer<QWidget> previousSheet = currentEditor() ? table_[table_.CurrentPage].Sheet : nullptr;
    CloseEmptyUntitledPage(path);
    AllocatePage(slot);
    ConfigurePageEditor(slot, path);
    PageRecord &page = table_[slot];
    TRichEdit *editor = page.Editor;

    bool ok = false;
    bool unconfirmed = false;
    bool knownWrong = false;
    QByteArray content;
    if (isUntitledName(path)) {
        if (isBatchName(path))
            editor->SetText(QStringLiteral("REM Standard .BAT ready. Please read the help for more info"));
        page.Password.clear();
        ok = true;
    } else if (!isEncryptedName(path)) {
        editor->SetReadOnly(false);
        QFile f(path);
        errno = 0;
        if (f.open(QIODevice::ReadOnly)) {
            content = f.readAll();
            ok = f.error() == QFileDevice::NoError;
        }
        if (!ok) {
            if (errno == 0)
                errno = EIO;
            ShowErrorBox(path);
        } else {
            page.Password.clear();
            editor->LoadFromStream(content);
        }
    } else {
        editor->SetReadOnly(false);
        QString pwd = password;
        if (pwd.isEmpty())
            pwd = AskPassword();
        if (!pwd.isEmpty()) {
            if (engine_->LoadFromFile(passwordBytes(pwd), engineFileName(path))) {
                page.Password = pwd;
                const QByteArray version = QByteArray::fromStdString(engine_->Version);
                page.Kind = encryptedKindForVersion(version);
                const auto *bytes = reinterpret_cast<const char *>(engine_->Result.data());
                content = QByteArray(bytes, engine_->ResultLength);
                // Neither the legacy cipher nor a block stored without compression can tell a
                // wrong password; the page waits for the user's word that the text is right.
                unconfirmed = page.Kind == PageKind::Legacy || engine_->HeadCompressionId == TOBRINEngine::CompressionStored;
                knownWrong = page.Kind == PageKind::Legacy && content == QByteArray(DecipherFailureText.data(),
                                                                                     static_cast<qsizetype>(DecipherFailureText.size()));
                editor->LoadFromStream(asLines(content));
                ok = true;
            } else {
                ShowErrorBox(QStringLiteral("File ") + path + QStringLiteral(" (E") + QString::number(engine_->ErrorCode)
                             + QStringLiteral(") ") + QString::fromStdString(engine_->ErrorText()));
            }
        }
    }

    if (!ok) {
        // Nothing half open stays behind: the slot is released at once.
        editor->SetModified(false);
        page.FileName = QStringLiteral("*failed");
        ClosePage(slot);
        if (previousSheet && PageControl1->indexOf(previousSheet) >= 0) {
            PageControl1->setCurrentWidget(previousSheet);
            PageControl1Change();
        }
        return -1;
    }

    if (!isUntitledName(path) && !isEncryptedName(path))
        CheckAutoWrap(slot);

    Updating = true;
    page.FileName = path;
    PageControl1->addTab(page.Sheet, EscapeMenuCaption(fileNamePart(path)));
    PageControl1->setTabToolTip(PageControl1->indexOf(page.Sheet), path);
    PageControl1->setCurrentWidget(page.Sheet);
    table_.CurrentPage = slot;
    Updating = false;
    editor->SetModified(false);
    editor->OnSelectionChange = [this, editor] {
        if (editor == currentEditor())
            RichEdit1SelectionChange();
    };
    EnableDocumentCommands();
    if (!isUntitledName(path) && addToRecent)
        AddToRecent(path);
    if (Activated && PageControl1->isEnabled()) {
        setPanel(1, page.InsertMode == 1 ? QStringLiteral("Ins") : QStringLiteral("Ovr"));
        editor->setFocus();
    }
    SetEditorMargins();
    if (Activated) {
        PageControl1Change();
        setPanel(3, QStringLiteral("\"") + page.FileName + QStringLiteral("\" has been loaded"));
        RichEdit1SelectionChange();
    }
    if (unconfirmed)
        markPasswordUnconfirmed(slot, knownWrong);
    emit documentStateChanged();
    return slot;
}

void TForm1::markPasswordUnconfirmed(int slot, bool knownWrong)
{
    PageRecord &page = table_[slot];
    page.PasswordUnconfirmed = true;
    page.Editor->SetReadOnly(true);
    if (!knownWrong
        && ConfirmYesNo(QStringLiteral("\"") + page.FileName
                            + QStringLiteral("\": the password of this document cannot be checked.\n"
                                             "If the text shown is wrong, so was the password, and saving would "
                                             "destroy the document.\nIs the text correct?"),
                        this)) {
        page.PasswordUnconfirmed = false;
        page.Editor->SetReadOnly(false);
        return;
    }
    setPanel(3, QStringLiteral("Read-only: enter the password again with Preferences > Encryption > Change..."));
}

void TForm1::ConfigurePageEditor(int slot, const QString &path)
{
    Updating = true;
    PageRecord &page = table_[slot];
    TRichEdit *editor = page.Editor;
    editor->Clear();
    editor->SetSelStart(0);
    if (opensAsRich(path)) {
        editor->SetWordWrap(true);
        editor->SetScrollBars(TScrollStyle::Vertical);
        if (Activated)
            setPanel(2, QStringLiteral("W"));
        Wraptext1->setChecked(true);
        editor->SetPlainText(false);
        page.Kind = PageKind::Rich;
        SetRulerEnabled(true);
        QFont font(settings_.defaultFontName);
        font.setPointSize(qBound(4, settings_.defaultFontSize, 200));
        editor->setFont(font);
        editor->DefAttributes().SetName(settings_.defaultFontName);
        editor->DefAttributes().SetSize(qBound(4, settings_.defaultFontSize, 200));
    } else {
        editor->SetWordWrap(false);
        editor->SetScrollBars(TScrollStyle::Both);
        if (Activated)
            setPanel(2, QString());
        Wraptext1->setChecked(false);
        QFont font(settings_.defaultFontName);
        font.setPointSize(qBound(4, settings_.defaultFontSize, 200));
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
        editor->setFont(font);
        page.Kind = PageKind::Plain;
        editor->SetPlainText(true);
        SetRulerEnabled(false);
    }
    editor->SetSelLength(0);
    Updating = false;
}

void TForm1::CheckAutoWrap(int slot)
{
    TRichEdit *editor = table_[slot].Editor;
    if (!editor || table_[slot].Kind != PageKind::Plain || !Automatic1->isChecked())
        return;
    const int count = editor->Lines().Count();
    if (count >= kAutoWrapLineLimit)
        return;
    // The progress would advance every 300 lines; fewer than 200 never get past the first step.
    setPanel(3, QStringLiteral("AutoWrap checking: 0%"));
    for (int i = 0; i < count; ++i) {
        if (editor->LineLength(i) > kAutoWrapLineLength) {
            editor->SetWordWrap(true);
            editor->SetScrollBars(TScrollStyle::Vertical);
            if (Activated)
                setPanel(2, QStringLiteral("W"));
            Wraptext1->setChecked(true);
            editor->SetModified(false);
            break;
        }
    }
    setPanel(3, QString());
}

QString TForm1::AskPassword()
{
    TOBRINPasswordDlg *dlg = TOBRINPasswordDlg::instance();
    if (!dlg)
        return {};
    dlg->setDecodeMode();
    dlg->setClearOnShow(!Usecommonpassword1->isChecked());
    const int result = dlg->ShowModal();
    dlg->setEncodeMode();
    return result == 1 ? dlg->password() : QString();
}

void TForm1::OpenButtonClick()
{
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.caption = QStringLiteral("Open");
    const QString recent = settings_.prevLoaded[0];
    request.folder = recent == kEmptyRecent ? QString() : folderPart(recent);
    request.filter = QStringLiteral("Text files (*.txt *.TXT *.rtf *.RTF *.eco *.ECO *.doc *.DOC *.wri *.WRI *.bat *.BAT);;"
                                    "Encrypted and COmpressed text files (*.eco) (*.eco *.ECO);;"
                                    "Rich Text Files (*.rtf,*.doc,*.wri,*...) (*.rtf *.RTF *.doc *.DOC *.wri *.WRI);;"
                                    "Plain text files (*.txt) (*.txt *.TXT);;"
                                    "Batch files (*.bat) (*.bat *.BAT);;"
                                    "All files (*.*) (*)");
    request.owner = this;
    const FileDialogResult result = CurrentPrompter().file(request);
    if (result.accepted && !result.file().isEmpty())
        OpenDocument(result.file(), true, QString());
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
    WMDropFiles(files);
}

void TForm1::WMDropFiles(const QStringList &files)
{
    // Each file in turn; a failure of one does not stop the others.
    for (const QString &file : files)
        RunGuarded([&] { OpenDocument(file, true, QString()); });
}

void TForm1::Changepassword1Click()
{
    if (table_.CurrentPage < 0 || table_[table_.CurrentPage].isFree())
        return;
    const int slot = table_.CurrentPage;
    PageRecord &page = table_[slot];
    TOBRINPasswordDlg *dlg = TOBRINPasswordDlg::instance();
    if (!dlg)
        return;
    if (page.PasswordUnconfirmed) {
        // The page is read again with the password now given.
        const QString pwd = AskPassword();
        if (pwd.isEmpty())
            return;
        if (!engine_->LoadFromFile(passwordBytes(pwd), engineFileName(page.FileName))) {
            ShowErrorBox(QStringLiteral("File ") + page.FileName + QStringLiteral(" (E")
                         + QString::number(engine_->ErrorCode) + QStringLiteral(") ")
                         + QString::fromStdString(engine_->ErrorText()));
            return;
        }
        const QByteArray content(reinterpret_cast<const char *>(engine_->Result.data()), engine_->ResultLength);
        page.Password = pwd;
        page.Editor->SetReadOnly(false);
        page.Editor->LoadFromStream(asLines(content));
        page.Editor->SetModified(false);
        const bool stillUnchecked = page.Kind == PageKind::Legacy
                                 || engine_->HeadCompressionId == TOBRINEngine::CompressionStored;
        if (stillUnchecked)
            markPasswordUnconfirmed(slot, page.Kind == PageKind::Legacy
                                              && content == QByteArray(DecipherFailureText.data(),
                                                                       static_cast<qsizetype>(DecipherFailureText.size())));
        else
            page.PasswordUnconfirmed = false;
        emit documentStateChanged();
        return;
    }
    dlg->setEncodeMode();
    dlg->Password->setText(page.Password);
    dlg->PasswordChk->setText(page.Password);
    dlg->setClearOnShow(!Usecommonpassword1->isChecked());
    if (dlg->ShowModal() == 1) {
        page.Password = dlg->password();
        page.Editor->SetModified(true);
        RichEdit1Change();
    }
}

// ---------------------------------------------------------------------------------------------
// Saving and closing

bool TForm1::writePage(int slot, QString &error)
{
    PageRecord &page = table_[slot];
    TRichEdit *editor = page.Editor;
    if (page.Kind == PageKind::Plain) {
        const QString text = editor->Lines().Text();
        const auto encoded = codepage::encodePlainText(
            std::u16string_view(reinterpret_cast<const char16_t *>(text.utf16()), static_cast<std::size_t>(text.size())),
            editor->Encoding());
        editor->SetEncoding(encoded.encoding);
        return writeFileReplacing(page.FileName, QByteArray::fromStdString(encoded.bytes), &error);
    }
    return writeFileReplacing(page.FileName, editor->SaveToStream(), &error);
}

bool TForm1::SavePage(int slot)
{
    PageRecord &page = table_[slot];
    if (page.isFree() || !page.Editor || page.Editor->ReadOnly())
        return false;
    const QString path = page.FileName;
    if (isReadOnlyFile(path)
        && !ConfirmYesNo(QStringLiteral("\"") + path
                             + QStringLiteral("\" is a read-only file.\nThis program can save it all the same (by "
                                              "removing temporaneously the read-only attribute). Proceed?"),
                         this))
        throw Abort();
    // The new file takes the old one's permission bits, so the read-only attribute is kept
    // whatever happens below.
    if (page.Kind == PageKind::Encrypted || page.Kind == PageKind::Legacy) {
        if (page.Password.isEmpty()) {
            TOBRINPasswordDlg *dlg = TOBRINPasswordDlg::instance();
            if (!dlg)
                throw Abort();
            dlg->setEncodeMode();
            // With the common password the last one typed is offered again.
            dlg->setClearOnShow(!Usecommonpassword1->isChecked());
            if (dlg->ShowModal() != 1)
                throw Abort();
            page.Password = dlg->password();
        }
        const QByteArray data = asLines(page.Editor->SaveToStream());
        if (page.Kind == PageKind::Legacy)
            engine_->CipherId = TOBRINEngine::CipherLegacy;
        else
            engine_->CipherId = EC41->isChecked() ? TOBRINEngine::CipherEC4 : TOBRINEngine::CipherBlowfish;
        const std::string pwd = passwordBytes(page.Password);
        bool engineFailed = false;
        QString error;
        const bool saved = replaceFileThrough(
            path,
            [&](const QString &temp) {
                engineFailed = !engine_->SaveToFile(pwd, engineFileName(temp),
                                                    reinterpret_cast<const std::uint8_t *>(data.constData()),
                                                    static_cast<std::size_t>(data.size()));
                return !engineFailed;
            },
            &error);
        if (!saved) {
            if (engineFailed)
                ShowErrorBox(QStringLiteral("E") + QString::number(engine_->ErrorCode) + QStringLiteral(": ")
                             + QString::fromStdString(engine_->ErrorText()));
            else
                ShowErrorBox(QStringLiteral("Cannot save the file \"") + path + QStringLiteral("\""));
            throw Abort();
        }
    } else {
        for (;;) {
            QString error;
            if (writePage(slot, error))
                break;
            ShowErrorBox(QStringLiteral("Warning"));
            if (!ConfirmYesNo(QStringLiteral("Cannot save the file \"") + path + QStringLiteral("\"\nTry again?"), this))
                throw Abort();
        }
    }
    PageControl1->setTabText(PageControl1->indexOf(page.Sheet), EscapeMenuCaption(fileNamePart(path)));
    PageControl1->setTabToolTip(PageControl1->indexOf(page.Sheet), path);
    page.Editor->SetModified(false);
    page.FileName = path;
    AddToRecent(path);
    setPanel(3, QStringLiteral("\"") + path + QStringLiteral("\" has been saved"));
    emit documentStateChanged();
    QCoreApplication::processEvents();
    return true;
}

int TForm1::SaveButtonClick()
{
    if (table_.CurrentPage < 0)
        return -1;
    const int slot = table_.CurrentPage;
    const PageRecord &page = table_[slot];
    if (page.isFree())
        return -1;
    if (page.isUntitled())
        return Saveas1Click();
    if (!SavePage(slot))
        throw Abort();
    return slot;
}

int TForm1::Saveas1Click()
{
    if (table_.CurrentPage < 0 || table_[table_.CurrentPage].isFree())
        return -1;
    const int slot = table_.CurrentPage;
    PageRecord &page = table_[slot];
    if (page.Editor->ReadOnly())
        throw Abort();
    const SaveAsStart start = saveAsStart(page.Kind, page.FileName);
    QStringList filters;
    const QStringList texts = saveAsFilterTexts();
    const char *patterns[kSaveAsFilterCount] = {"*.ECO *.eco", "*.RTF *.rtf", "*.TXT *.txt", "*.BAT *.bat", "*.ECO *.eco"};
    for (int i = 0; i < kSaveAsFilterCount; ++i)
        filters << texts[i] + QStringLiteral(" (") + QLatin1String(patterns[i]) + QLatin1Char(')');
    FileDialogRequest request;
    request.kind = FileDialogKind::Save;
    request.caption = QStringLiteral("Save As - File extension is not required");
    request.folder = start.initialFolder;
    request.fileName = start.initialName;
    request.filter = filters.join(QStringLiteral(";;"));
    request.filterIndex = start.filterIndex;
    request.confirmOverwrite = true;
    request.owner = this;
    const FileDialogResult result = CurrentPrompter().file(request);
    if (!result.accepted || result.file().isEmpty())
        throw Abort();
    const SaveAsTarget target = saveAsTarget(result.filterIndex, start.extensionWord);
    QString chosen = result.file();
    if (needsExtensionQuestion(chosen, target.wantedExtension)) {
        MessageRequest question;
        question.caption = EscapeMenuCaption(Saveas1->text());
        question.text = QStringLiteral("Do you want to add the ") + target.wantedExtension + QStringLiteral(" file extension?");
        question.icon = MessageIcon::Question;
        question.buttons = MessageButtons::YesNoCancel;
        question.owner = this;
        const MessageAnswer answer = CurrentPrompter().message(question);
        if (answer == MessageAnswer::Cancel)
            throw Abort();
        if (answer == MessageAnswer::Yes)
            chosen += target.wantedExtension;
    }
    // Saving over a document that another page holds would leave two pages for one file.
    if (const int other = table_.findLoaded(chosen); other >= 0 && other != slot) {
        CheckNotAlreadyLoaded(chosen);
        throw Abort();
    }
    const QString oldName = page.FileName;
    const PageKind oldKind = page.Kind;
    page.Kind = target.kind;
    page.FileName = chosen;
    const int caret = page.Editor->SelStart();
    bool saved = false;
    try {
        saved = SavePage(slot);
    } catch (...) {
        page.FileName = oldName;
        page.Kind = oldKind;
        throw;
    }
    if (!saved) {
        page.FileName = oldName;
        page.Kind = oldKind;
        throw Abort();
    }
    const QString password = page.Password;
    ClosePage(slot);
    const int reopened = OpenDocument(chosen, true, password);
    if (reopened >= 0)
        table_[reopened].Editor->SetSelStart(caret);
    return reopened;
}

void TForm1::SaveAll1Click()
{
    // Each page is saved as the current one; the user's page is current again afterwards.
    const QPointer<QWidget> userPage = currentEditor() ? table_[table_.CurrentPage].Sheet : nullptr;
    const auto restore = qScopeGuard([&] {
        if (userPage && PageControl1->indexOf(userPage) >= 0) {
            PageControl1->setCurrentWidget(userPage);
            PageControl1Change();
        }
    });
    for (int i = 0; i < kPageCount; ++i) {
        PageRecord &page = table_[i];
        if (page.isFree() || !page.Editor || !page.Editor->Modified())
            continue;
        PageControl1->setCurrentWidget(page.Sheet);
        table_.CurrentPage = i;
        SaveButtonClick();
    }
}

void TForm1::ClosePage(int slot)
{
    if (slot < 0 || slot >= kPageCount)
        return;
    PageRecord &page = table_[slot];
    if (page.isFree())
        return;
    try {
        if (page.Editor && page.Editor->Modified()) {
            PageControl1->setVisible(true);
            MessageRequest question;
            question.caption = QStringLiteral("Confimation");
            question.text = QStringLiteral("\"") + page.FileName + QStringLiteral("\"\n not saved. Save Changes?");
            question.icon = MessageIcon::Question;
            question.buttons = MessageButtons::YesNoCancel;
            question.owner = this;
            const MessageAnswer answer = CurrentPrompter().message(question);
            if (answer == MessageAnswer::Cancel) {
                CloseAllowed = false;
                return;
            }
            if (answer == MessageAnswer::Yes) {
                PageControl1->setCurrentWidget(page.Sheet);
                table_.CurrentPage = slot;
                const int saved = SaveButtonClick();
                // Save As closes and reopens the page itself; the saved page is what closes.
                if (saved >= 0 && saved != slot) {
                    ClosePage(saved);
                    return;
                }
            }
        }
        Updating = true;
        page.FileName.clear();
        page.PasswordUnconfirmed = false;
        if (page.Editor) {
            page.Editor->SetReadOnly(false);
            page.Editor->Clear();
            page.Editor->OnChange = {};
            page.Editor->OnSelectionChange = {};
        }
        if (const int index = PageControl1->indexOf(page.Sheet); index >= 0)
            PageControl1->removeTab(index);
        table_.CurrentPage = -1;
    } catch (const std::exception &e) {
        Updating = false;
        ShowMessage(QString::fromLocal8Bit(e.what()) + QStringLiteral(" while closing page ") + QString::number(slot));
        CloseAllowed = false;
        return;
    }
    const int first = table_.firstOpenPage();
    if (first >= 0) {
        try {
            Updating = false;
            PageControl1->setCurrentWidget(table_[first].Sheet);
            table_.CurrentPage = first;
            PageControl1Change();
        } catch (const std::exception &e) {
            ShowMessage(QString::fromLocal8Bit(e.what()) + QStringLiteral(" while activating page ")
                        + QString::number(first));
        }
    }
    Updating = false;
    if (table_.CurrentPage < 0)
        DisableDocumentCommands();
    emit documentStateChanged();
}

void TForm1::Closeall1Click()
{
    PageControl1->setEnabled(false);
    CloseAllowed = true;
    for (int i = 0; i < kPageCount; ++i) {
        ClosePage(i);
        if (!CloseAllowed)
            break;
    }
    PageControl1->setEnabled(true);
}

// ---------------------------------------------------------------------------------------------
// Help

void TForm1::HomePage1Click() { OpenWebPage(StoredTextString(StoredTextId::HomePage)); }

void TForm1::About1Click()
{
    TAboutBox box(windowTitle(), windowIcon(), this);
    box.exec();
}

} // namespace kelpa::editor
