// The spell checker window's widgets: the checking pane, the text pane, the dictionary pane
// and the status line, and what their buttons and lists are wired to.
#include "spell/TKelpaSpellChecker.h"

#include "richedit/TRichEdit.h"
#include "support/Abort.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kelpa::spell {

using richedit::TRichEdit;

namespace {

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

} // namespace

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

} // namespace kelpa::spell
