#include "spell/TKelpaSpellChecker.h"

#include "platform/codepage/CodePage.h"
#include "richedit/TRichEdit.h"
#include "spell/CheckRun.h"
#include "spell/ClipboardKeeper.h"
#include "spell/CheckerFiles.h"
#include "spell/Cp1251.h"
#include "spell/TForm_Merge.h"
#include "spell/WordFiles.h"
#include "support/Abort.h"
#include "support/CheckerHandOff.h"
#include "support/MessageBoxes.h"
#include "support/Prompter.h"
#include "support/Shell.h"
#include "support/StoredText.h"
#include "platform/safefile/SafeFile.h"

#include <cerrno>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusTipEvent>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kelpa::spell {

namespace {

using codepage::Windows1251;

QString fromBytes(std::string_view bytes)
{
    const std::u16string text = codepage::decode(bytes, Windows1251);
    return QString::fromStdU16String(text);
}

// The word as the dictionary keeps it; false when a character has no Windows-1251 byte.
bool toBytes(const QString &text, std::string &out)
{
    bool lossless = true;
    out = codepage::encode(text.toStdU16String(), Windows1251, &lossless);
    return lossless;
}

// The typographic apostrophe is kept as the dictionary's own.
QString withPlainApostrophes(QString text)
{
    return text.replace(QChar(0x2019), QLatin1Char('\''));
}

QString dictionaryText(const QString &text)
{
    return withPlainApostrophes(QString::fromStdU16String(LowerText(TrimText(text.toStdU16String()))));
}

// What went wrong with a dictionary file, in words.
QString loadFailureText(std::int32_t code)
{
    switch (code) {
    case kpdFOpen: return QStringLiteral("the file cannot be opened");
    case kpdFReadMagic: return QStringLiteral("the file is empty or too short to be a dictionary");
    case kpdNotKPD: return QStringLiteral("the file is not a dictionary");
    case kpdSupVer: return QStringLiteral("the dictionary's version is not supported");
    case kpdFRead: return QStringLiteral("the file is damaged or cut short");
    case kpdMAlloc:
    case kpdMResize: return QStringLiteral("there is not enough memory for it");
    case kpdV1Load: return QStringLiteral("the dictionary of the old format cannot be converted");
    default: break;
    }
    return code >= kpdCoderBase ? QStringLiteral("its word list is damaged") : QStringLiteral("it cannot be read");
}

QToolButton *speedButton(QWidget *parent, const QString &caption, const QString &hint)
{
    auto *b = new QToolButton(parent);
    b->setText(caption);
    b->setToolTip(hint);
    b->setStatusTip(hint);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return b;
}

void setHint(QWidget *w, const QString &hint)
{
    w->setToolTip(hint);
    w->setStatusTip(hint);
}

// The slice file is new: written through a temporary file all the same, so a failed write
// leaves nothing half-written under its name.
bool writeWholeFile(const std::string &name, std::string_view bytes)
{
    SafeFileWriter writer(name);
    return writer.isOpen() && writer.write(bytes.data(), bytes.size()) && writer.commit();
}

constexpr int PageSize = 10;

} // namespace

TKelpaSpellChecker::TKelpaSpellChecker(TForm_Merge *merge, QWidget *parent)
    : QDialog(parent), merge_(merge)
{
    if (!merge_) {
        ownMerge_ = std::make_unique<TForm_Merge>();
        merge_ = ownMerge_.get();
    }
    setupComponents();
    setupCheckActions();
    setupDictionaryActions();
    FormCreate();
    window_ = std::make_unique<platform::Window>(SpellCheckerWindowClass, windowTitle(), this);
    connect(window_.get(), &platform::Window::messageReceived, this,
            Guarded([this](std::uint32_t message, platform::WPARAM wParam, platform::LPARAM lParam) {
                Dispatch(message, wParam, lParam);
            }));
}

TKelpaSpellChecker::~TKelpaSpellChecker() = default;

platform::WindowHandle TKelpaSpellChecker::windowHandle() const
{
    return window_ ? window_->handle() : 0;
}

void TKelpaSpellChecker::Dispatch(std::uint32_t message, platform::WPARAM wParam, platform::LPARAM lParam)
{
    if (message == WM_CHECKTEXT)
        WMCheckText(wParam, lParam);
    else if (message == WM_CLOSECHECKER)
        WMCloseChecker();
}

// ---------------------------------------------------------------------------------------------
// Window

void TKelpaSpellChecker::setupComponents()
{
    setObjectName(QStringLiteral("KelpaSpellChecker"));
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(2, 2, 2, 2);
    outer->setSpacing(2);
    auto *row = new QHBoxLayout;
    outer->addLayout(row, 1);

    Panel_Check = new QWidget(this);
    Panel_Check->setFixedWidth(150);
    auto *check = new QVBoxLayout(Panel_Check);
    check->setContentsMargins(0, 0, 0, 0);
    auto *wordRow = new QHBoxLayout;
    Edit1 = new QLineEdit(Panel_Check);
    setHint(Edit1, QStringLiteral("Enter correct word here"));
    Btn_CHKAdd = speedButton(Panel_Check, QStringLiteral("&Add"), QStringLiteral("Add to dictionary"));
    Btn_CHKAdd->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    wordRow->addWidget(Edit1);
    wordRow->addWidget(Btn_CHKAdd);
    check->addLayout(wordRow);
    Label1 = new QLabel(QStringLiteral("Possible corrections:"), Panel_Check);
    check->addWidget(Label1);
    ListBox1 = new QListWidget(Panel_Check);
    // Kept in the dictionary's order, as the suggestions come.
    ListBox1->setSortingEnabled(false);
    setHint(ListBox1, QStringLiteral("Clickable hints"));
    check->addWidget(ListBox1, 1);
    auto *grid = new QHBoxLayout;
    auto *left = new QVBoxLayout;
    auto *right = new QVBoxLayout;
    Btn_CHKIgnore = speedButton(Panel_Check, QStringLiteral("&Ignore"), QStringLiteral("Ignores the word"));
    Btn_CHKReplace = speedButton(Panel_Check, QStringLiteral("&Replace"), QStringLiteral("Replaces the word"));
    Btn_CHKIgnoreAll = speedButton(Panel_Check, QStringLiteral("Ig&nore All"),
                                   QStringLiteral("Ignores all the occurrences of the word"));
    Btn_CHKReplaceAll = speedButton(Panel_Check, QStringLiteral("Replace &All"),
                                    QStringLiteral("Replaces  all the occurrences of the word"));
    Btn_CHKStart = speedButton(Panel_Check, QStringLiteral("&Start"), QStringLiteral("Starts checking"));
    Btn_CHKStop = speedButton(Panel_Check, QStringLiteral("St&op"), QStringLiteral("Terminates checking"));
    left->addWidget(Btn_CHKIgnore);
    left->addWidget(Btn_CHKIgnoreAll);
    left->addWidget(Btn_CHKStart);
    right->addWidget(Btn_CHKReplace);
    right->addWidget(Btn_CHKReplaceAll);
    right->addWidget(Btn_CHKStop);
    grid->addLayout(left);
    grid->addLayout(right);
    check->addLayout(grid);
    for (QToolButton *b : {Btn_CHKIgnore, Btn_CHKReplace, Btn_CHKIgnoreAll, Btn_CHKReplaceAll, Btn_CHKStop})
        b->setEnabled(false);
    row->addWidget(Panel_Check);

    Panel_Text = new QWidget(this);
    auto *text = new QVBoxLayout(Panel_Text);
    text->setContentsMargins(0, 0, 0, 0);
    auto *dictRow = new QHBoxLayout;
    DictioSelection = new QComboBox(Panel_Text);
    DictioSelection->setEditable(false);
    DictioSelection->setPlaceholderText(QStringLiteral("No dictionary found"));
    setHint(DictioSelection, QStringLiteral("Dictionary selection"));
    Btn_DictioEdit = speedButton(Panel_Text, QStringLiteral("&Edit"), QString());
    Btn_DictioEdit->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    dictRow->addWidget(DictioSelection, 1);
    dictRow->addWidget(Btn_DictioEdit);
    text->addLayout(dictRow);
    RichEdit2 = new TRichEdit(Panel_Text);
    RichEdit2->SetHideSelection(false);
    // A small inset on every side, set once: indenting every paragraph on each stop would cost
    // a second on a long text.
    RichEdit2->document()->setDocumentMargin(RichEdit2->document()->documentMargin() + 1);
    // The display copy: corrections go through the run, so typing here would be lost.
    RichEdit2->setReadOnly(true);
    RichEdit2->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    setHint(RichEdit2, QStringLiteral("Text to check"));
    text->addWidget(RichEdit2, 1);
    ProgressBar1 = new QProgressBar(Panel_Text);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setMaximumHeight(12);
    ProgressBar1->setTextVisible(false);
    text->addWidget(ProgressBar1);
    auto *buttons = new QHBoxLayout;
    PositionLabel = new QLabel(Panel_Text);
    Button1 = new QPushButton(QStringLiteral("&OK"), Panel_Text);
    setHint(Button1, QStringLiteral("Closes and accepts changes"));
    Button2 = new QPushButton(QStringLiteral("&Cancel"), Panel_Text);
    setHint(Button2, QStringLiteral("Closes and cancels changes [Esc]"));
    Button1->setAutoDefault(false);
    Button2->setAutoDefault(false);
    buttons->addWidget(PositionLabel, 1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    text->addLayout(buttons);
    row->addWidget(Panel_Text, 1);

    RichEdit1 = new TRichEdit(this);
    RichEdit1->hide();

    Panel_DM = new QWidget(this);
    Panel_DM->setFixedWidth(248);
    auto *dm = new QVBoxLayout(Panel_DM);
    dm->setContentsMargins(0, 0, 0, 0);
    Edit2 = new QLineEdit(Panel_DM);
    setHint(Edit2, QStringLiteral("Word finder"));
    dm->addWidget(Edit2);
    auto *listRow = new QHBoxLayout;
    ListBox2 = new QListWidget(Panel_DM);
    ListBox2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox2->setContextMenuPolicy(Qt::CustomContextMenu);
    ScrollBar1 = new QScrollBar(Qt::Vertical, Panel_DM);
    ScrollBar1->setPageStep(PageSize);
    ScrollBar1->setRange(0, 0);
    listRow->addWidget(ListBox2, 1);
    listRow->addWidget(ScrollBar1);
    auto *tools = new QVBoxLayout;
    Btn_LemmaAdd = speedButton(Panel_DM, QStringLiteral("&Add"), QStringLiteral("Adds a word"));
    Btn_LemmaDel = speedButton(Panel_DM, QStringLiteral("&Remove"), QStringLiteral("Removes the selected word"));
    Btn_LemmaRen = speedButton(Panel_DM, QStringLiteral("&Modify"), QStringLiteral("Modifies the selected word"));
    Btn_NewDictionary = speedButton(Panel_DM, QStringLiteral("Create &New"), QStringLiteral("Creates a blank dictionary"));
    Btn_SaveDictionary = speedButton(Panel_DM, QStringLiteral("&Save"), QStringLiteral("Saves modifications"));
    Btn_MergeFile = speedButton(Panel_DM, QStringLiteral("&Merge File"), QStringLiteral("Add words from a file"));
    Btn_FileSplitter = speedButton(Panel_DM, QStringLiteral("&File Splitter"),
                                   QStringLiteral("...leaving the original file untouched"));
    for (QToolButton *b : {Btn_LemmaAdd, Btn_LemmaDel, Btn_LemmaRen, Btn_NewDictionary, Btn_SaveDictionary,
                           Btn_MergeFile, Btn_FileSplitter})
        tools->addWidget(b);
    tools->addStretch(1);
    listRow->addLayout(tools);
    dm->addLayout(listRow, 1);
    auto *dmButtons = new QHBoxLayout;
    Btn_OkDM = new QPushButton(QStringLiteral("&OK"), Panel_DM);
    setHint(Btn_OkDM, QStringLiteral("Confirms changes"));
    Btn_CancelDM = new QPushButton(QStringLiteral("&Cancel"), Panel_DM);
    setHint(Btn_CancelDM, QStringLiteral("Cancels changes [Esc]"));
    Btn_OkDM->setAutoDefault(false);
    Btn_CancelDM->setAutoDefault(false);
    dmButtons->addStretch(1);
    dmButtons->addWidget(Btn_OkDM);
    dmButtons->addWidget(Btn_CancelDM);
    dm->addLayout(dmButtons);
    Panel_DM->hide();
    Panel_DM->setEnabled(false);
    row->addWidget(Panel_DM);

    PopupMenu1 = new QMenu(this);

    auto *status = new QHBoxLayout;
    StatusPanel0 = new QLabel(this);
    // Wide enough for its longest texts ("Loading dictionary...", "Saving slice 9999...").
    StatusPanel0->setFixedWidth(std::max(100, StatusPanel0->fontMetrics().horizontalAdvance(
                                                  QStringLiteral("Loading dictionary... ")) + 8));
    StatusPanel0->setFrameShape(QFrame::Panel);
    StatusPanel0->setFrameShadow(QFrame::Sunken);
    StatusPanel1 = new QLabel(this);
    // Long hints are cut, not allowed to widen the window.
    StatusPanel1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    StatusPanel1->setFrameShape(QFrame::Panel);
    StatusPanel1->setFrameShadow(QFrame::Sunken);
    status->addWidget(StatusPanel0);
    status->addWidget(StatusPanel1, 1);
    outer->addLayout(status);
}

void TKelpaSpellChecker::setupCheckActions()
{
    connect(Btn_CHKStart, &QToolButton::clicked, this, Guarded([this] { Btn_CHKStartClick(); }));
    connect(Btn_CHKStop, &QToolButton::clicked, this, Guarded([this] { Btn_CHKStopClick(); }));
    connect(Btn_CHKIgnore, &QToolButton::clicked, this, Guarded([this] { Btn_CHKIgnoreClick(); }));
    connect(Btn_CHKIgnoreAll, &QToolButton::clicked, this, Guarded([this] { Btn_CHKIgnoreAllClick(); }));
    connect(Btn_CHKAdd, &QToolButton::clicked, this, Guarded([this] { Btn_CHKAddClick(); }));
    connect(Btn_CHKReplace, &QToolButton::clicked, this, Guarded([this] { Btn_CHKReplaceClick(); }));
    connect(Btn_CHKReplaceAll, &QToolButton::clicked, this, Guarded([this] { Btn_CHKReplaceAllClick(); }));
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, Guarded([this] { Btn_CHKReplaceClick(); }));
    connect(ListBox1, &QListWidget::itemClicked, this, Guarded([this] { ListBox1Click(); }));
    connect(Edit1, &QLineEdit::textChanged, this, Guarded([this] { Edit1Change(); }));
    // Button1 and Button2 act on the checking pane or the dictionary pane, whichever is up.
    connect(Button1, &QPushButton::clicked, this, Guarded([this] { inPane_ ? Btn_OkDMClick() : Btn_OkClick(); }));
    connect(Button2, &QPushButton::clicked, this,
            Guarded([this] { inPane_ ? Btn_CancelDMClick() : Btn_CancelClick(); }));
    // Moving the caret in the display pane moves the working caret.
    connect(RichEdit2, &TRichEdit::SelectionChange, this, [this] {
        if (syncingSelection_)
            return;
        RichEdit1->SetSelStart(RichEdit2->SelStart());
        RichEdit1->SetSelLength(RichEdit2->SelLength());
    });
}

void TKelpaSpellChecker::setupDictionaryActions()
{
    connect(DictioSelection, &QComboBox::currentIndexChanged, this, Guarded([this] { DictioSelectionChange(); }));
    connect(Btn_DictioEdit, &QToolButton::clicked, this, Guarded([this] { Btn_DictioEditClick(); }));
    connect(Btn_OkDM, &QPushButton::clicked, this, Guarded([this] { Btn_OkDMClick(); }));
    connect(Btn_CancelDM, &QPushButton::clicked, this, Guarded([this] { Btn_CancelDMClick(); }));
    connect(ScrollBar1, &QScrollBar::valueChanged, this, Guarded([this] { ScrollBar1Change(); }));
    connect(ListBox2, &QListWidget::currentRowChanged, this, Guarded([this] { ListBox2Click(); }));
    connect(ListBox2, &QListWidget::itemDoubleClicked, this, Guarded([this] { Btn_LemmaRenClick(); }));
    connect(Edit2, &QLineEdit::textChanged, this, Guarded([this] { Edit2Change(); }));
    connect(Btn_LemmaAdd, &QToolButton::clicked, this, Guarded([this] { Btn_LemmaAddClick(); }));
    connect(Btn_LemmaDel, &QToolButton::clicked, this, Guarded([this] { Btn_LemmaDelClick(); }));
    connect(Btn_LemmaRen, &QToolButton::clicked, this, Guarded([this] { Btn_LemmaRenClick(); }));
    connect(Btn_NewDictionary, &QToolButton::clicked, this, Guarded([this] { Btn_NewDictionaryClick(); }));
    connect(Btn_SaveDictionary, &QToolButton::clicked, this, Guarded([this] { Btn_SaveDictionaryClick(); }));
    connect(Btn_MergeFile, &QToolButton::clicked, this, Guarded([this] { Btn_MergeFileClick(); }));
    connect(Btn_FileSplitter, &QToolButton::clicked, this, Guarded([this] { Btn_FileSplitterClick(); }));

    QAction *add = PopupMenu1->addAction(QStringLiteral("Add"));
    add->setShortcut(Qt::Key_Insert);
    QAction *remove = PopupMenu1->addAction(QStringLiteral("Remove"));
    remove->setShortcut(Qt::Key_Delete);
    QAction *modify = PopupMenu1->addAction(QStringLiteral("Modify"));
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(QStringLiteral("Cancel"));
    for (QAction *a : {add, remove})
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    ListBox2->addAction(add);
    ListBox2->addAction(remove);
    connect(add, &QAction::triggered, this, Guarded([this] { Btn_LemmaAddClick(); }));
    connect(remove, &QAction::triggered, this, Guarded([this] { Btn_LemmaDelClick(); }));
    connect(modify, &QAction::triggered, this, Guarded([this] { Btn_LemmaRenClick(); }));
    connect(ListBox2, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &p) { PopupMenu1->popup(ListBox2->viewport()->mapToGlobal(p)); });
    ListBox2->installEventFilter(this);
}

void TKelpaSpellChecker::FormCreate()
{
    BaseCaption = StoredTextString(StoredTextId::SpellCheckerCaption) + QStringLiteral(" 3.0r1");
    setWindowTitle(BaseCaption);
    QCoreApplication::setApplicationName(QStringLiteral("Kelpa Spell Checker"));
    HomeFolder = KeptFilesFolder();
    SettingsHome = SettingsFolder();
    resize(400, 260);
    refreshDictionaryList(ReadDictionarySetting(SettingsHome));
}

// The dictionaries of the program folder into the selection; `select` is chosen when listed,
// otherwise the first. No load happens here.
QString TKelpaSpellChecker::dictionaryFolder(const QString &file) const
{
    return QFileInfo::exists(HomeFolder + file) ? HomeFolder : ProgramFolder();
}

void TKelpaSpellChecker::refreshDictionaryList(const QString &select)
{
    // The user's own dictionaries and those installed with the program, one entry per name.
    QStringList files = QDir(HomeFolder).entryList({QStringLiteral("*.kpd")}, QDir::Files, QDir::Name);
    if (ProgramFolder() != HomeFolder) {
        for (const QString &f : QDir(ProgramFolder()).entryList({QStringLiteral("*.kpd")}, QDir::Files, QDir::Name))
            if (!files.contains(f))
                files << f;
        files.sort();
    }
    const QSignalBlocker block(DictioSelection);
    DictioSelection->clear();
    DictioSelection->addItems(files);
    int i = files.indexOf(select);
    if (i < 0 && !files.isEmpty())
        i = 0;
    DictioSelection->setCurrentIndex(i);
    selectedDictionary_ = i;
}

bool TKelpaSpellChecker::event(QEvent *event)
{
    if (event->type() == QEvent::StatusTip) {
        StatusPanel1->setText(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QDialog::event(event);
}

void TKelpaSpellChecker::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (FormShown)
        return;
    FormShown = true;
    if (QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
    RunGuarded([this] {
        DictioSelectionChange();
        if (CheckPending) {
            CheckPending = false;
            WMCheckText(PendingCheckMessage.wParam, PendingCheckMessage.lParam);
        }
    });
}

void TKelpaSpellChecker::reject()
{
    // Esc: Cancel of whichever pane is up.
    RunGuarded([this] { inPane_ ? Btn_CancelDMClick() : Btn_CancelClick(); });
}

bool TKelpaSpellChecker::FormCloseQuery()
{
    if (!MainDictionary.Modified || (DictioSelection->currentIndex() < 0 && MainDictionary.Count == 0))
        return true;
    const MessageAnswer a = CurrentPrompter().message(
        {QStringLiteral("Spell Checker"),
         QStringLiteral("The dictionary \"%1\" was modified.\nDo you want to save it now?").arg(DictionaryName),
         MessageIcon::Question, MessageButtons::YesNoCancel, this});
    if (a == MessageAnswer::Cancel)
        return false;
    if (a == MessageAnswer::Yes) {
        bool saved = false;
        RunGuarded([&] { saved = Btn_SaveDictionaryClick(); });
        return saved;
    }
    return true;
}

void TKelpaSpellChecker::closeEvent(QCloseEvent *event)
{
    if (!closeConfirmed_ && !FormCloseQuery()) {
        event->ignore();
        return;
    }
    closeConfirmed_ = false;
    event->accept();
    FormClose();
}

void TKelpaSpellChecker::FormClose()
{
    closing_ = true;
    ++runGeneration_;
    WriteDictionarySetting(SettingsHome, rememberedDictionary());
    if (EditorWindow) {
        platform::PostMessage(EditorWindow, WM_CLOSECHECKER, 0, 0);
        EditorWindow = 0;
    }
    emit closed();
}

QString TKelpaSpellChecker::rememberedDictionary() const
{
    const QString selected = DictioSelection->currentIndex() >= 0 ? DictioSelection->currentText() : QString();
    if (selected.isEmpty() || selected == DictionaryName)
        return selected;
    // The selection did not load: the last one that did, else one not yet tried.
    if (!goodDictionary_.isEmpty())
        return goodDictionary_;
    for (int i = 0; i < DictioSelection->count(); ++i)
        if (!failedDictionaries_.contains(DictioSelection->itemText(i)))
            return DictioSelection->itemText(i);
    return {};
}

void TKelpaSpellChecker::closeWithoutAsking()
{
    closeConfirmed_ = true;
    close();
    closeConfirmed_ = false;
}

void TKelpaSpellChecker::SetupRichEdit(TRichEdit *edit)
{
    edit->SelectAll();
    edit->Paragraph().SetNumbering(TNumberingStyle::None);
    edit->SelAttributes().SetStyle({});
    QFont font(QStringLiteral("Courier New"), 8);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    edit->setFont(font);
    edit->SelAttributes().SetColor(QColor());
}

void TKelpaSpellChecker::ShowWorkingText()
{
    syncingSelection_ = true;
    RichEdit2->setEnabled(false);
    RichEdit2->SetPlainText(RichEdit1->PlainText());
    RichEdit2->LoadFromStream(RichEdit1->SaveToStream());
    RichEdit2->SetSelStart(RichEdit1->SelStart());
    RichEdit2->SetSelLength(RichEdit1->SelLength());
    RichEdit2->ScrollCaret();
    RichEdit2->setEnabled(true);
    RichEdit2->setFocus();
    syncingSelection_ = false;
}

// ---------------------------------------------------------------------------------------------
// Protocol with the editor

void TKelpaSpellChecker::WMCheckText(platform::WPARAM wParam, platform::LPARAM lParam)
{
    if (!FormShown) {
        PendingCheckMessage = {WM_CHECKTEXT, wParam, lParam};
        CheckPending = true;
        return;
    }
    ++runGeneration_;
    closing_ = false;
    // The text is checked in the checking pane; the dictionary pane's changes are kept.
    if (inPane_)
        Btn_OkDMClick();
    EditorWindow = wParam;
    // A new text ends whatever run was going on. Nothing may pump messages before the text is
    // in: a later hand-off handled in between would be overwritten by this older one.
    setCorrectionEnabled(false);
    Btn_CHKStart->setEnabled(true);
    Btn_CHKStop->setEnabled(false);
    foundWord_.reset();
    RichEdit1->Clear();
    RichEdit2->Clear();
    textReady_ = false;
    Button1->setEnabled(false);
    TransferMode = static_cast<int>(lParam);
    const bool plain = lParam >= TransferPlainText;
    if (plain)
        TransferMode -= static_cast<int>(TransferPlainText);
    RichEdit1->SetPlainText(plain);
    RichEdit2->SetPlainText(plain);
    SetupRichEdit(RichEdit1);
    SetupRichEdit(RichEdit2);
    if (TransferMode == TransferExchangeFile) {
        const ExchangeText in = ReadExchangeFile(HomeFolder);
        if (!in.ok) {
            // Nothing to check and nothing to hand back: only Cancel is left.
            show();
            ShowMessageBox(QStringLiteral("$ESpell Checker"),
                           QStringLiteral("Cannot read the text to check (%1)").arg(in.error), this);
            return;
        }
        RichEdit1->LoadFromStream(std::string_view(in.text));
    } else if (TransferMode == TransferClipboard) {
        RichEdit1->PasteFromClipboard();
        RichEdit1->SetSelStart(0);
        QGuiApplication::clipboard()->clear();
    } else {
        show();
        ShowMessageBox(QStringLiteral("$ESpell Checker"),
                       QStringLiteral("Unknown transfer code %1").arg(lParam), this);
        return;
    }
    textReady_ = true;
    Button1->setEnabled(true);
    ShowWorkingText();
    show();
    raise();
    activateWindow();
    Btn_CHKStartClick();
}

void TKelpaSpellChecker::WMCloseChecker()
{
    // Already on its way out (OK or Cancel is closing the window): nothing more to do.
    if (closing_)
        return;
    close();
}

void TKelpaSpellChecker::Btn_OkClick()
{
    if (!textReady_)
        return;
    if (!FormCloseQuery())
        return;
    if (TransferMode == TransferExchangeFile) {
        QString error;
        if (!WriteExchangeFile(HomeFolder, std::string_view(RichEdit1->SaveToStream().toStdString()), &error)) {
            ShowErrorBox(QStringLiteral("Cannot hand the text back to the editor (%1)").arg(error), 0);
            return;
        }
    } else {
        RichEdit1->SelectAll();
        RichEdit1->CopyToClipboard();
        // Before the editor is told: it pastes as soon as it hears.
        ServeClipboardContent();
    }
    ++runGeneration_;
    closing_ = true;
    const platform::WindowHandle editor = EditorWindow;
    if (editor)
        platform::PostMessage(editor, WM_CHECKTEXT, 0, 0);
    if (TransferMode != TransferExchangeFile)
        emit textLeftOnClipboard(editor);
    hide();
    if (editor)
        platform::BringWindowToFront(editor);
    closeWithoutAsking();
}

void TKelpaSpellChecker::Btn_CancelClick()
{
    if (!FormCloseQuery())
        return;
    ++runGeneration_;
    closing_ = true;
    const platform::WindowHandle editor = EditorWindow;
    if (editor)
        platform::PostMessage(editor, WM_CLOSECHECKER, 0, 0);
    hide();
    if (editor)
        platform::BringWindowToFront(editor);
    closeWithoutAsking();
}

// ---------------------------------------------------------------------------------------------
// Checking run

bool TKelpaSpellChecker::runInProgress() const
{
    return Btn_CHKStop->isEnabled();
}

void TKelpaSpellChecker::EnableCorrection(bool on)
{
    setCorrectionEnabled(on);
    QApplication::processEvents();
}

void TKelpaSpellChecker::setCorrectionEnabled(bool on)
{
    for (QToolButton *b : {Btn_CHKIgnore, Btn_CHKIgnoreAll, Btn_CHKReplace, Btn_CHKReplaceAll})
        b->setEnabled(on);
    DictioSelection->setEnabled(!on);
    Btn_DictioEdit->setEnabled(!on);
    RichEdit2->setEnabled(!on);
    Edit1->setEnabled(!on);
}

void TKelpaSpellChecker::setProgress(long long done, long long total)
{
    ProgressBar1->setValue(total > 0 ? static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * 100.0) : 0);
}

void TKelpaSpellChecker::Btn_CHKStartClick()
{
    if (!textReady_)
        return;
    ++runGeneration_;
    Btn_CHKStart->setEnabled(false);
    Btn_CHKStop->setEnabled(true);
    RunDictionary.Assign(MainDictionary);
    foundWord_.reset();
    RichEdit1->SetSelStart(0);
    MisspellingMet = false;
    Btn_CHKIgnoreClick();
}

void TKelpaSpellChecker::Btn_CHKIgnoreClick()
{
    if (!runInProgress())
        return;
    // Ignore goes on after the word the run stopped on, wherever the pane's caret is now.
    selectFoundWord();
    foundWord_.reset();
    const unsigned generation = runGeneration_;
    EnableCorrection(false);
    // Pumping may have brought a new text, a stop or a close: that run is over.
    if (generation != runGeneration_ || !runInProgress())
        return;
    if (RichEdit1->SelLength() > 0)
        RichEdit1->SetSelStart(RichEdit1->SelStart() + RichEdit1->SelLength());
    const long long start = RichEdit1->SelStart();
    const QString all = RichEdit1->Text();
    const long long total = all.size();
    const std::string rest = ToCheckBytes(QStringView(all).mid(start).toString().toStdU16String());
    const ScanOutcome outcome = FindUnknownWord(rest, RunDictionary, [&](std::size_t position) {
        setProgress(start + static_cast<long long>(position), total);
        QApplication::processEvents();
        return generation == runGeneration_ && runInProgress();
    });
    if (generation != runGeneration_)
        return;
    switch (outcome.result) {
    case ScanResult::Found: {
        MisspellingMet = true;
        const long long at = start + static_cast<long long>(outcome.start);
        RichEdit1->SetSelStart(static_cast<int>(at));
        RichEdit1->SetSelLength(static_cast<int>(outcome.length));
        foundWord_ = FoundWord{static_cast<int>(at), static_cast<int>(outcome.length)};
        Edit1->setText(all.mid(at, static_cast<qsizetype>(outcome.length)).toLower());
        EnableCorrection(true);
        if (generation != runGeneration_)
            return;
        Edit1->setEnabled(true);
        ShowWorkingText();
        setProgress(at, total);
        break;
    }
    case ScanResult::End:
        if (!runInProgress())
            break;
        Btn_CHKStopClick();
        ShowMessage(MisspellingMet ? QStringLiteral("Done") : QStringLiteral("It's ok"));
        break;
    case ScanResult::Stopped:
        break;
    }
}

void TKelpaSpellChecker::selectFoundWord()
{
    if (!foundWord_)
        return;
    RichEdit1->SetSelStart(foundWord_->start);
    RichEdit1->SetSelLength(foundWord_->length);
}

void TKelpaSpellChecker::Btn_CHKStopClick()
{
    ++runGeneration_;
    foundWord_.reset();
    EnableCorrection(false);
    Btn_CHKStart->setEnabled(textReady_);
    Btn_CHKStop->setEnabled(false);
    RichEdit1->SetSelStart(0);
    ProgressBar1->setValue(0);
    Edit1->clear();
    ListBox1->clear();
    ShowWorkingText();
    QApplication::processEvents();
}

void TKelpaSpellChecker::Btn_CHKIgnoreAllClick()
{
    // The word found is ignored, whatever has been typed over it in the correction field.
    selectFoundWord();
    const std::string found = LookupForm(ToCheckBytes(RichEdit1->SelText().toStdU16String()));
    RunDictionary.Add(found);
    Btn_CHKIgnoreClick();
}

void TKelpaSpellChecker::Btn_CHKAddClick()
{
    std::string word;
    if (dictionaryText(Edit1->text()).isEmpty())
        return;
    if (!toBytes(dictionaryText(Edit1->text()), word) || !MainDictionary.Add(word)) {
        ShowMessage(QStringLiteral("\"%1\" cannot be stored in the dictionary").arg(Edit1->text().trimmed()));
        return;
    }
    StatusPanel0->setText(QStringLiteral("%1 words").arg(MainDictionary.Count));
    if (runInProgress()) {
        RunDictionary.Add(word);
        Btn_CHKIgnoreClick();
    }
}

void TKelpaSpellChecker::Btn_CHKReplaceClick()
{
    selectFoundWord();
    const std::u16string replacement = ReplacementFor(RichEdit1->SelText().toStdU16String(), Edit1->text().toStdU16String());
    if (replacement.empty()) {
        ShowMessage(QStringLiteral("Please correct the word or click on the list"));
        return;
    }
    RichEdit1->SetSelText(QString::fromStdU16String(replacement));
    foundWord_.reset();
    Btn_CHKIgnoreClick();
}

void TKelpaSpellChecker::Btn_CHKReplaceAllClick()
{
    selectFoundWord();
    const QString old = RichEdit1->SelText();
    const std::u16string replacement = LowerText(TrimText(Edit1->text().toStdU16String()));
    if (old.isEmpty() || LowerText(TrimText(old.toStdU16String())) == replacement) {
        ShowMessage(QStringLiteral("Please correct the word or click on the list"));
        return;
    }
    EnableCorrection(false);
    std::u16string text = RichEdit1->Text().toStdU16String();
    const std::size_t caret = ReplaceAllWords(text, old.toStdU16String(), replacement,
                                              static_cast<std::size_t>(RichEdit1->SelStart()),
                                              [this](const Replacement &r) {
                                                  RichEdit1->SetSelStart(static_cast<int>(r.position));
                                                  RichEdit1->SetSelLength(static_cast<int>(r.length));
                                                  RichEdit1->SetSelText(QString::fromStdU16String(r.text));
                                              });
    RichEdit1->SetSelStart(static_cast<int>(caret));
    foundWord_.reset();
    Btn_CHKIgnoreClick();
}

void TKelpaSpellChecker::Edit1Change()
{
    std::vector<std::string> list;
    std::string word;
    toBytes(withPlainApostrophes(Edit1->text()), word);
    MainDictionary.Suggest(word, list);
    ListBox1->clear();
    for (const std::string &s : list)
        ListBox1->addItem(fromBytes(s));
}

void TKelpaSpellChecker::ListBox1Click()
{
    QListWidgetItem *item = ListBox1->currentItem();
    if (!item)
        return;
    if (item->text().startsWith(QLatin1Char('>'))) {
        Edit1->setText(item->text());
        return;
    }
    const QSignalBlocker block(Edit1);
    Edit1->setText(item->text());
}

// ---------------------------------------------------------------------------------------------
// Dictionaries

bool TKelpaSpellChecker::offerSave(const QString &caption)
{
    if (!MainDictionary.Modified || (DictionaryName.isEmpty() && MainDictionary.Count == 0))
        return true;
    const MessageAnswer a = CurrentPrompter().message(
        {caption,
         QStringLiteral("The dictionary \"%1\" was modified.\nDo you want to save it now?").arg(DictionaryName),
         MessageIcon::Question, MessageButtons::YesNoCancel, this});
    if (a == MessageAnswer::Cancel)
        return false;
    if (a == MessageAnswer::Yes) {
        bool saved = false;
        RunGuarded([&] { saved = Btn_SaveDictionaryClick(); });
        return saved;
    }
    return true;
}

void TKelpaSpellChecker::DictioSelectionChange()
{
    const int index = DictioSelection->currentIndex();
    if (index < 0)
        return;
    // A switch away from unsaved changes asks first; keeping them puts the selection back.
    if (index != selectedDictionary_ && !offerSave(QStringLiteral("Spell Checker"))) {
        const QSignalBlocker block(DictioSelection);
        DictioSelection->setCurrentIndex(selectedDictionary_);
        return;
    }
    selectedDictionary_ = index;
    const QString file = DictioSelection->itemText(index);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    StatusPanel0->setText(QStringLiteral("Loading dictionary..."));
    DictionaryName = QStringLiteral("*New");
    errno = 0;
    const bool loaded = MainDictionary.LoadFromFile((dictionaryFolder(file) + file).toStdString());
    const int loadError = errno;
    QApplication::restoreOverrideCursor();
    if (loaded) {
        DictionaryName = file;
        goodDictionary_ = file;
        failedDictionaries_.removeAll(file);
    } else {
        failedDictionaries_.append(file);
        ShowErrorBox(QStringLiteral("Cannot load %1: %2 (%3)")
                         .arg(file, loadFailureText(MainDictionary.Error),
                              QString::fromStdString(MainDictionary.ErrorText())),
                     loadError);
    }
    StatusPanel0->setText(QStringLiteral("%1 words").arg(MainDictionary.Count));
}

void TKelpaSpellChecker::setPaneShown(bool pane)
{
    inPane_ = pane;
    Panel_Check->setVisible(!pane);
    Panel_Check->setEnabled(!pane);
    Panel_Text->setVisible(!pane);
    Panel_Text->setEnabled(!pane);
    Panel_DM->setVisible(pane);
    Panel_DM->setEnabled(pane);
    const int width = pane ? Panel_DM->width() + 8 : 400;
    // The layout learns of the hidden panels first, or the old minimum width holds the window.
    layout()->activate();
    resize(width, height());
    if (QScreen *s = screen())
        move(s->availableGeometry().center().x() - width / 2, y());
}

void TKelpaSpellChecker::Btn_DictioEditClick()
{
    setPaneShown(true);
    StatusPanel1->setText(QStringLiteral("Allocating data..."));
    SavedModified = MainDictionary.Modified;
    RunDictionary.Assign(MainDictionary);
    UpdateWordList();
}

void TKelpaSpellChecker::Btn_OkDMClick()
{
    setPaneShown(false);
}

void TKelpaSpellChecker::Btn_CancelDMClick()
{
    StatusPanel0->setText(QStringLiteral("Reseting changes..."));
    MainDictionary.Assign(RunDictionary);
    MainDictionary.Modified = SavedModified;
    StatusPanel0->setText(QStringLiteral("%1 words").arg(MainDictionary.Count));
    Btn_OkDMClick();
}

QString TKelpaSpellChecker::wordAt(int i) const
{
    return fromBytes(MainDictionary.GetWord(i));
}

void TKelpaSpellChecker::UpdateWordList()
{
    const QSignalBlocker block(ScrollBar1);
    ScrollBar1->setMaximum(std::max(0, MainDictionary.Count - PageSize));
    ScrollBar1Change();
}

void TKelpaSpellChecker::ScrollBar1Change()
{
    const int keep = ListBox2->currentRow();
    const QSignalBlocker block(ListBox2);
    ListBox2->clear();
    const int first = ScrollBar1->value();
    for (int i = first; i < first + PageSize && i < MainDictionary.Count; ++i)
        ListBox2->addItem(wordAt(i));
    if (keep >= 0 && keep < ListBox2->count())
        ListBox2->setCurrentRow(keep);
    StatusPanel0->setText(QStringLiteral("%1 words").arg(MainDictionary.Count));
    ListBox2Click();
}

void TKelpaSpellChecker::ListBox2Click()
{
    const int row = ListBox2->currentRow();
    if (row >= 0)
        StatusPanel1->setText(QStringLiteral("Word %1/%2").arg(row + ScrollBar1->value() + 1).arg(MainDictionary.Count));
}

bool TKelpaSpellChecker::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListBox2 && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const int row = ListBox2->currentRow();
        const int k = key->key();
        const bool ctrl = key->modifiers() & Qt::ControlModifier;
        bool handled = true;
        if (k == Qt::Key_Down && row == ListBox2->count() - 1)
            ScrollBar1->setValue(ScrollBar1->value() + 1);
        else if (k == Qt::Key_Up && row == 0)
            ScrollBar1->setValue(ScrollBar1->value() - 1);
        else if (k == Qt::Key_PageDown)
            ScrollBar1->setValue(ScrollBar1->value() + PageSize);
        else if (k == Qt::Key_PageUp)
            ScrollBar1->setValue(ScrollBar1->value() - PageSize);
        else if (k == Qt::Key_Home && ctrl)
            ScrollBar1->setValue(0);
        else if (k == Qt::Key_End && ctrl)
            ScrollBar1->setValue(ScrollBar1->maximum());
        else
            handled = false;
        if (handled)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TKelpaSpellChecker::Edit2Change()
{
    if (!Edit2->hasFocus() || MainDictionary.Count == 0 || Edit2->text().isEmpty())
        return;
    std::string typed;
    toBytes(Edit2->text(), typed);
    int lo = 0;
    int hi = MainDictionary.Count;
    while (hi - lo > 1) {
        const int mid = (lo + hi) / 2;
        const int c = AnsiStrComp(MainDictionary.WordAt(mid), typed);
        if (c == 0) {
            ScrollBar1->setValue(mid);
            ListBox2->setCurrentRow(0);
            return;
        }
        if (c < 0)
            lo = mid;
        else
            hi = mid;
    }
    // No hit: the page starts at the first word after the text.
    if (AnsiStrComp(MainDictionary.WordAt(lo), typed) >= 0)
        hi = lo;
    ScrollBar1->setValue(std::min(hi, ScrollBar1->maximum()));
    ListBox2->setCurrentRow(std::min(hi, MainDictionary.Count - 1) - ScrollBar1->value());
}

QString TKelpaSpellChecker::AskNewWord(const QString &caption, const QString &prompt, const QString &initial)
{
    QString last = initial;
    for (;;) {
        const std::optional<QString> answer = CurrentPrompter().input({caption, prompt, last, false, this});
        // Cancel ends the question, whatever was typed before.
        if (!answer)
            return {};
        const QString text = answer->trimmed();
        if (text == initial || text.isEmpty())
            return {};
        std::string bytes;
        if (!toBytes(dictionaryText(text), bytes) || !IsStorableWord(NormaliseWord(bytes))) {
            ShowMessage(QStringLiteral("\"%1\" cannot be stored in the dictionary").arg(text));
        } else if (MainDictionary.Find(bytes) != -1) {
            ShowMessage(QStringLiteral("\"%1\" already exists in the dictionary").arg(text));
        } else {
            return text;
        }
        last = text;
    }
}

void TKelpaSpellChecker::Btn_LemmaAddClick()
{
    const QString w = AskNewWord(QStringLiteral("New word"), QStringLiteral("Please, enter a new word"), QString());
    if (w.isEmpty())
        return;
    std::string bytes;
    toBytes(w, bytes);
    MainDictionary.Add(bytes);
    UpdateWordList();
}

void TKelpaSpellChecker::Btn_LemmaDelClick()
{
    const int row = ListBox2->currentRow();
    if (row < 0)
        return;
    const int i = row + ScrollBar1->value();
    if (!ConfirmYesNo(QStringLiteral("Do you really want to remove \"%1\"?").arg(wordAt(i)), this))
        return;
    MainDictionary.Delete(i);
    UpdateWordList();
}

void TKelpaSpellChecker::Btn_LemmaRenClick()
{
    const int row = ListBox2->currentRow();
    if (row < 0)
        return;
    const int i = row + ScrollBar1->value();
    const QString w = AskNewWord(QStringLiteral("Rename"), QStringLiteral("Word to change:"), wordAt(i));
    if (w.isEmpty())
        return;
    std::string bytes;
    toBytes(w, bytes);
    MainDictionary.Rename(i, bytes);
    UpdateWordList();
}

void TKelpaSpellChecker::Btn_NewDictionaryClick()
{
    if (!offerSave(QStringLiteral("Saving before to reset")))
        return;
    MainDictionary.Clear();
    RunDictionary.Clear();
    SavedModified = true;
    DictionaryName = QStringLiteral("*New");
    RunGuarded([this] { Btn_SaveDictionaryClick(); });
    refreshDictionaryList(DictionaryName);
    // The new dictionary stays loaded, listed or not.
    selectedDictionary_ = DictioSelection->findText(DictionaryName);
    {
        const QSignalBlocker block(DictioSelection);
        DictioSelection->setCurrentIndex(selectedDictionary_);
    }
    UpdateWordList();
}

QString TKelpaSpellChecker::askDictionaryName()
{
    QString initial = QStringLiteral("New.kpd");
    for (;;) {
        FileDialogRequest request;
        request.kind = FileDialogKind::Save;
        request.folder = HomeFolder;
        request.fileName = initial;
        request.filter = QStringLiteral("Dictionary Files (*.kpd)");
        // Asked below, about the file that is really written.
        request.confirmOverwrite = false;
        request.owner = this;
        const FileDialogResult chosen = CurrentPrompter().file(request);
        if (!chosen.accepted || chosen.file().isEmpty())
            return {};
        const QFileInfo info(chosen.file());
        QString name = info.fileName();
        if (!name.toLower().contains(QLatin1String(".kpd")))
            name += QStringLiteral(".kpd");
        initial = name;
        // Dictionaries are listed from one folder: one saved anywhere else would not be found.
        const QString folder = QDir(HomeFolder).absolutePath();
        const QString chosenFolder = info.isRelative() ? folder : QDir(info.absolutePath()).absolutePath();
        if (chosenFolder != folder
            && !ConfirmYesNo(QStringLiteral("Dictionaries are kept in \"%1\".\nDo you want to save \"%2\" there?")
                                 .arg(QDir::toNativeSeparators(folder), name),
                             this))
            continue;
        if (QFileInfo::exists(dictionaryFolder(name) + name)
            && !ConfirmYesNo(QStringLiteral("The dictionary \"%1\" already exists.\nDo you want to replace it?").arg(name),
                             this))
            continue;
        return name;
    }
}

bool TKelpaSpellChecker::Btn_SaveDictionaryClick()
{
    QString name = DictionaryName;
    bool replaceAgreed = false;
    if (name == QLatin1String("*New") || name.isEmpty()) {
        name = askDictionaryName();
        if (name.isEmpty())
            throw Abort();
        replaceAgreed = true;
    }
    // A file that holds more words than are about to replace them is not emptied unasked.
    const QString existing = dictionaryFolder(name) + name;
    if (!replaceAgreed && QFileInfo::exists(existing)) {
        TKPD onDisk;
        if (onDisk.LoadFromFile(existing.toStdString()) && onDisk.Count > MainDictionary.Count
            && !ConfirmYesNo(QStringLiteral("\"%1\" holds %2 words; saving replaces them with %3.\nDo you want to save it?")
                                 .arg(name)
                                 .arg(onDisk.Count)
                                 .arg(MainDictionary.Count),
                             this))
            return false;
    }
    // Dictionaries live in the program's own folder, whatever folder the dialog was in.
    errno = 0;
    if (!MainDictionary.SaveToFile((HomeFolder + name).toStdString())) {
        ShowErrorBox(QStringLiteral("Cannot save \"%1\" (%2)").arg(name, QString::fromStdString(MainDictionary.ErrorText())),
                     errno);
        return false;
    }
    DictionaryName = name;
    goodDictionary_ = name;
    StatusPanel0->setText(QStringLiteral("Saved"));
    // What is saved is what the pane's Cancel goes back to.
    if (inPane_) {
        RunDictionary.Assign(MainDictionary);
        SavedModified = false;
    }
    // A dictionary saved under a new name joins the selection.
    if (DictioSelection->findText(name) < 0) {
        refreshDictionaryList(name);
        selectedDictionary_ = DictioSelection->currentIndex();
    }
    return true;
}

void TKelpaSpellChecker::Btn_MergeFileClick()
{
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.caption = QStringLiteral("Merge - Please choose a file");
    request.filter = QStringLiteral("Text Files (*.txt *.TXT);;Kelpa Dictionary Files (*.kpd *.KPD);;All files (*)");
    request.owner = this;
    const FileDialogResult chosen = CurrentPrompter().file(request);
    if (!chosen.accepted || chosen.file().isEmpty())
        return;
    const QString file = chosen.file();
    ExtractedWords words;
    bool haveList = false;
    setEnabled(false);
    merge_->begin(windowTitle(), QStringLiteral("Extracting words..."));
    struct Restore {
        TKelpaSpellChecker *form;
        ~Restore()
        {
            form->merge_->hide();
            form->setEnabled(true);
            form->UpdateWordList();
        }
    } restore{this};
    if (file.toLower().endsWith(QLatin1String(".kpd"))) {
        merge_->show();
        merge_->raise();
        TKPD other;
        if (other.LoadFromFile(file.toStdString())) {
            words.list = other.WordList();
            haveList = true;
        } else {
            ShowMessage(QString::fromStdString(other.ErrorText()));
        }
    } else {
        const bool ignoreProperNouns = ConfirmYesNo(
            QStringLiteral("Do you want to ignore proper nouns and any words beginning with uppercase character?"), this);
        merge_->show();
        merge_->raise();
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly)) {
            ShowErrorBox(QStringLiteral("Cannot open %1").arg(file), errno);
            return;
        }
        const QByteArray bytes = in.readAll();
        words = ExtractWords(TextFileToCheckBytes(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))),
                             ignoreProperNouns, [this](int percent) { return merge_->step(percent); });
        haveList = !words.cancelled;
    }
    if (!haveList)
        return;
    const int n0 = MainDictionary.Count;
    merge_->Label1->setText(QStringLiteral("Merging and sorting..."));
    merge_->ProgressBar1->setValue(0);
    QApplication::processEvents();
    if (merge_->cancelled())
        return;
    if (!MainDictionary.Merge(words.list, [this](int percent) {
            merge_->ProgressBar1->setValue(percent);
            QApplication::processEvents();
        })) {
        ShowMessage(QStringLiteral("DataIndex %1/%2 unavailable: %3")
                        .arg(MainDictionary.Count)
                        .arg(MainDictionary.IndexCapacity)
                        .arg(QString::fromStdString(MainDictionary.Name)));
        return;
    }
    ShowMessage(QStringLiteral("%1 new words found").arg(MainDictionary.Count - n0));
}

void TKelpaSpellChecker::Btn_FileSplitterClick()
{
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.caption = QStringLiteral("Please choose a file to split");
    request.filter = QStringLiteral("Text Files (*.txt *.TXT)");
    request.owner = this;
    const FileDialogResult chosen = CurrentPrompter().file(request);
    if (!chosen.accepted || chosen.file().isEmpty())
        return;
    const QString file = chosen.file();
    StatusPanel0->setText(QStringLiteral("Loading..."));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        const int error = errno;
        QApplication::restoreOverrideCursor();
        ShowErrorBox(file, error);
        return;
    }
    const QByteArray bytes = in.readAll();
    in.close();
    setEnabled(false);
    merge_->begin(windowTitle(), QStringLiteral("Splitting..."));
    merge_->show();
    const std::string source = file.toStdString();
    QString failedSlice;
    int failure = 0;
    const SplitOutcome outcome = SplitText(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
        [&](int number, std::string_view slice) {
            StatusPanel0->setText(QStringLiteral("Saving slice %1...").arg(number - 1));
            QApplication::processEvents();
            const std::string name = SliceFileName(source, number);
            errno = 0;
            if (writeWholeFile(name, slice))
                return true;
            failure = errno;
            failedSlice = QString::fromStdString(name);
            return false;
        },
        [this](int percent) { return merge_->step(percent); });
    merge_->hide();
    setEnabled(true);
    QApplication::restoreOverrideCursor();
    if (outcome.failed)
        ShowErrorBox(QStringLiteral("Cannot Save \"%1\"").arg(QDir::toNativeSeparators(failedSlice)), failure);
    ShowMessage(QStringLiteral("%1 file(s) have been created.").arg(outcome.written));
}

} // namespace kelpa::spell
