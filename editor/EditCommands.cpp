#include "editor/EditCommands.h"

#include "editor/TForm1.h"

#include "editor/ActionHelpers.h"
#include "editor/AppIcon.h"

#include "richedit/TRichEdit.h"
#include "support/MessageBoxes.h"
#include "support/Prompter.h"
#include "widgets/Drawutils.h"
#include "widgets/Kpmenus.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QTime>
#include <QToolButton>

namespace kelpa::editor {

namespace {

constexpr int kSmallPageLimit = 65000;

// The clipboard's text with line breaks as the page editor's text has them.
QString clipboardText()
{
    QString text = QGuiApplication::clipboard()->text();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

QString asPositionsText(QString text)
{
    for (QChar &ch : text)
        if (ch.unicode() == 0x2029 || ch.unicode() == 0x2028 || ch == QLatin1Char('\r'))
            ch = QLatin1Char('\n');
    return text;
}

} // namespace

EditCommands::EditCommands(TForm1 &form, const EditorMenus &menus, KelpaSettings &settings)
    : QObject(&form), form_(form), menus_(menus), settings_(settings)
{
    setupEditActions();
    setupPageMenu();
}

void EditCommands::setupEditActions()
{
    QMenu *Edit1 = menus_.Edit1;
    Undo1 = makeAction(this, "Undo1", QStringLiteral("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z),
                       QStringLiteral("Undoes the last change"));
    Cut1 = makeAction(this, "Cut1", QStringLiteral("&Cut"), QKeySequence(Qt::CTRL | Qt::Key_X),
                      QStringLiteral("Moves the selection to the clipboard"));
    Copy1 = makeAction(this, "Copy1", QStringLiteral("Co&py"), QKeySequence(Qt::CTRL | Qt::Key_C),
                       QStringLiteral("Copies the selection to the clipboard"));
    Paste1 = makeAction(this, "Paste1", QStringLiteral("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V),
                        QStringLiteral("Inserts the clipboard's content"));
    Selectall1 = makeAction(this, "Selectall1", QStringLiteral("&Select All"), QKeySequence(Qt::CTRL | Qt::Key_A),
                            QStringLiteral("Selects the whole text"));
    Insertcurrentdate1 = makeAction(this, "Insertcurrentdate1", QStringLiteral("Current &Date"),
                                    QKeySequence(Qt::CTRL | Qt::Key_D), QStringLiteral("Inserts today's date"));
    Insertcurrenttime1 = makeAction(this, "Insertcurrenttime1", QStringLiteral("Current &Time"),
                                    QKeySequence(Qt::CTRL | Qt::Key_T), QStringLiteral("Inserts the time"));
    Insertseparatorline1 = makeAction(this, "Insertseparatorline1", QStringLiteral("Separator Line"),
                                      QKeySequence(Qt::CTRL | Qt::Key_H), QStringLiteral("Inserts a separator line"));
    Insertheader1 = makeAction(this, "Insertheader1", QStringLiteral("&Header"),
                               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H), QStringLiteral("Inserts a header"));
    Deleteline1 = makeAction(this, "Deleteline1", QStringLiteral("D&elete Line"), QKeySequence(Qt::CTRL | Qt::Key_Y),
                             QStringLiteral("Deletes the line of the caret"));
    Undo1->setIcon(editorIcon(EditorIcon::Undo));
    Cut1->setIcon(editorIcon(EditorIcon::Cut));
    Copy1->setIcon(editorIcon(EditorIcon::Copy));
    Paste1->setIcon(editorIcon(EditorIcon::Paste));
    bind(Undo1, [this] { UndoButtonClick(); });
    bind(Cut1, [this] { CutButtonClick(); });
    bind(Copy1, [this] { CopyButtonClick(); });
    bind(Paste1, [this] { PasteButtonClick(); });
    bind(Selectall1, [this] { Selectall1Click(); });
    bind(Insertcurrentdate1, [this] { Insertcurrentdate1Click(); });
    bind(Insertcurrenttime1, [this] { Insertcurrenttime1Click(); });
    bind(Insertseparatorline1, [this] { Insertseparatorline1Click(false); });
    bind(Insertheader1, [this] { Insertseparatorline1Click(true); });
    bind(Deleteline1, [this] { Deleteline1Click(); });
    Edit1->addAction(Undo1);
    Edit1->addSeparator();
    Edit1->addAction(Cut1);
    Edit1->addAction(Copy1);
    Edit1->addAction(Paste1);
    Edit1->addSeparator();
    Edit1->addAction(Selectall1);
    QMenu *insert = Edit1->addMenu(QStringLiteral("&Insert"));
    insert->setObjectName(QStringLiteral("Insert1"));
    insert->addAction(Insertcurrentdate1);
    insert->addAction(Insertcurrenttime1);
    insert->addAction(Insertseparatorline1);
    insert->addAction(Insertheader1);
    Edit1->addAction(Deleteline1);
}

void EditCommands::addPreferences(QMenu *prefs)
{
    PlainCopyPaste1 = makeAction(this, "PlainCopyPaste1", QStringLiteral("&Plain Copy && Paste"), QKeySequence(Qt::Key_F8),
                                 QStringLiteral("For some programs (e.g. Netscape Composer 4.x)"));
    PlainCopyPaste1->setCheckable(true);
    prefs->addAction(PlainCopyPaste1);
    Separatorlinelength1 = makeAction(this, "Separatorlinelength1", QStringLiteral("&Separator Line &Length..."), {},
                                      QStringLiteral("Sets the width of separator lines and headers"));
    bind(Separatorlinelength1, [this] { Separatorlinelength1Click(); });
    prefs->addAction(Separatorlinelength1);
    QMenu *dates = prefs->addMenu(QStringLiteral("&Date Format"));
    dates->setObjectName(QStringLiteral("DateFormat1"));
    auto *dateGroup = new QActionGroup(this);
    const char *dateCaptions[4] = {"dd/mm/yyyy", "mm/dd/yyyy", "dd/monthname/yyyy", "monthname/dd/yyyy"};
    for (int i = 0; i < 4; ++i) {
        QAction *a = makeAction(this, "", QLatin1String(dateCaptions[i]), {}, QStringLiteral("Format of the inserted date"));
        a->setObjectName(QStringLiteral("DateFormat%1").arg(i));
        a->setCheckable(true);
        dateGroup->addAction(a);
        dates->addAction(a);
        bind(a, [this, i] { ddmmyyyy1Click(i); });
        dateFormats_.at(static_cast<std::size_t>(i)) = a;
    }
    dateFormats_[0]->setChecked(true);
}

void EditCommands::addToolButtons(QHBoxLayout *row)
{
    QWidget *bar = menus_.toolBar;
    UndoButton = makeToolButton(row, bar, "UndoButton", editorIcon(EditorIcon::Undo), QStringLiteral("Undo"),
                                [this] { UndoButtonClick(); });
    CutButton = makeToolButton(row, bar, "CutButton", editorIcon(EditorIcon::Cut), QStringLiteral("Cut"),
                               [this] { CutButtonClick(); });
    CopyButton = makeToolButton(row, bar, "CopyButton", editorIcon(EditorIcon::Copy), QStringLiteral("Copy"),
                                [this] { CopyButtonClick(); });
    PasteButton = makeToolButton(row, bar, "PasteButton", editorIcon(EditorIcon::Paste), QStringLiteral("Paste"),
                                 [this] { PasteButtonClick(); });
}

void EditCommands::applySettings()
{
    const int option = settings_.dateFormatOption;
    dateFormats_.at(option >= 1 && option <= 3 ? static_cast<std::size_t>(option) : 0)->setChecked(true);
}

void EditCommands::updateActionState(bool open)
{
    menus_.Edit1->setEnabled(open);
    for (QAction *a : {Undo1, Cut1, Copy1, Paste1, Selectall1, Insertcurrentdate1, Insertcurrenttime1, Insertseparatorline1,
                       Insertheader1, Deleteline1})
        a->setEnabled(open);
    for (QToolButton *b : {UndoButton, CutButton, CopyButton, PasteButton})
        b->setEnabled(open);
    for (QAction *a : {CopyPopup, PastePopup})
        a->setEnabled(open);
}

void EditCommands::setupPageMenu()
{
    widgets::TKpPopupMenu *PopupMenu1 = menus_.PopupMenu1;
    // Every item in Arial; the items with Tag 1, 2 and 3 show the glyphs of the Cut, Copy and
    // Paste buttons, the one with Tag 5 its own icon (the spelling button's).
    PopupMenu1->OnGetItemParams = [this](QObject *, QAction *item, widgets::TMenuOwnerDrawState, QFont &font,
                                         widgets::TColor &, std::optional<widgets::TGraphic> &graphic, int &) {
        font.setFamily(QStringLiteral("Arial"));
        const int tag = item->data().toInt();
        if (tag >= 1 && tag <= 3) {
            const EditorIcon glyphs[] = {EditorIcon::Cut, EditorIcon::Copy, EditorIcon::Paste};
            graphic = widgets::TGraphic::Picture(editorIcon(glyphs[tag - 1]).pixmap(16, 16).toImage());
        } else if (tag == 5 && !item->icon().isNull()) {
            graphic = widgets::TGraphic::Picture(item->icon().pixmap(16, 16).toImage());
        }
    };
    CutPopup = makeAction(this, "CutPopup", QStringLiteral("&Cut"));
    CopyPopup = makeAction(this, "CopyPopup", QStringLiteral("Cop&y"), QKeySequence(Qt::CTRL | Qt::Key_Insert));
    PastePopup = makeAction(this, "PastePopup", QStringLiteral("&Paste"), QKeySequence(Qt::SHIFT | Qt::Key_Insert));
    QAction *cancel = makeAction(this, "CancelPopup", QStringLiteral("Cancel"));
    CutPopup->setData(1);
    CopyPopup->setData(2);
    PastePopup->setData(3);
    bind(CutPopup, [this] { CutButtonClick(); });
    bind(CopyPopup, [this] { CopyButtonClick(); });
    bind(PastePopup, [this] { PasteButtonClick(); });
    // After the file items the document and tools commands put first.
    FileSeparator = PopupMenu1->addSeparator();
    PopupMenu1->addAction(CutPopup);
    PopupMenu1->addAction(CopyPopup);
    PopupMenu1->addAction(PastePopup);
    CheckSeparator = PopupMenu1->addSeparator();
    // The formatting commands' items go here.
    FormatSeparator = PopupMenu1->addSeparator();
    PopupMenu1->addAction(cancel);
    connect(PopupMenu1, &QMenu::aboutToShow, this, Guarded([this] { PopupMenu1Popup(); }));
    // A hidden action takes no keys: what the menu hid for want of a selection shows again
    // once it closes, so that Ctrl+B and the others keep working on the page.
    connect(PopupMenu1, &QMenu::aboutToHide, this, [this] {
        for (QAction *a : {CutPopup, CopyPopup, CheckSeparator})
            a->setVisible(true);
    });
    // The menu's shortcuts work while it is closed, too.
    for (QAction *a : {CopyPopup, PastePopup}) {
        a->setShortcutContext(Qt::WindowShortcut);
        form_.addAction(a);
    }
}

void EditCommands::attachEditor(TRichEdit *editor)
{
    // Only the current page's keys and clicks count. Connected directly, so that a handler
    // could change the key.
    connect(editor, &TRichEdit::KeyDown, this, [this, editor](int &key, Qt::KeyboardModifiers shift) {
        if (editor == form_.currentEditor())
            RunGuarded([&] { RichEdit1KeyDown(key, shift); });
    });
    connect(editor, &TRichEdit::KeyPress, this, [this, editor](QChar &key) {
        if (editor == form_.currentEditor())
            RunGuarded([&] { RichEdit1KeyPress(key); });
    });
    connect(editor, &TRichEdit::KeyUp, this, [this, editor](int &key, Qt::KeyboardModifiers shift) {
        if (editor == form_.currentEditor())
            RunGuarded([&] { RichEdit1KeyUp(key, shift); });
    });
    connect(editor, &TRichEdit::MouseDown, this, [this, editor](Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos) {
        if (editor == form_.currentEditor())
            RunGuarded([&] { RichEdit1MouseDown(button, shift, pos); });
    });
    editor->SetPopupMenu(menus_.PopupMenu1);
}

bool EditCommands::editorClaimsShortcut(QKeyEvent *event) const
{
    // The editor takes the clipboard keys for itself unless told otherwise; the window's
    // commands for them (plain-text clipboard mode, the checks of cut and paste) come first.
    const QKeySequence pressed(event->keyCombination());
    for (const QAction *a : {Undo1, Cut1, Copy1, Paste1, Selectall1, CopyPopup, PastePopup})
        if (a->isEnabled() && a->shortcut() == pressed)
            return false;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Undo and the clipboard

void EditCommands::UndoButtonClick()
{
    TRichEdit *editor = form_.editableEditor();
    if (!editor)
        return;
    editor->Undo();
    // An undone format leaves the selection where it was, so nothing else tells the
    // formatting bar and the ruler that the text under them changed.
    emit formatMayHaveChanged();
}

void EditCommands::CopyButtonClick()
{
    TRichEdit *editor = form_.currentEditor();
    if (!editor)
        return;
    editor->CopyToClipboard();
    if (!PlainCopyPaste1->isChecked())
        return;
    // Plain-text clipboard mode: the clipboard keeps the text only.
    try {
        const QString text = QGuiApplication::clipboard()->text();
        auto *mime = new QMimeData;
        mime->setText(text);
        QGuiApplication::clipboard()->setMimeData(mime);
    } catch (const std::exception &) {
        ShowMessage(QStringLiteral("Text too long (mini clipboard mode)"));
    }
}

void EditCommands::CutButtonClick()
{
    TRichEdit *editor = form_.editableEditor();
    if (!editor || editor->SelLength() == 0)
        return;
    const QString selected = asPositionsText(editor->SelText());
    CopyButtonClick();
    // The selection goes only when the clipboard holds it.
    if (asPositionsText(clipboardText()) != selected) {
        ShowMessage(QStringLiteral("The clipboard did not take the selection; nothing was cut"));
        return;
    }
    editor->SetSelText(QString());
}

void EditCommands::PasteButtonClick()
{
    TRichEdit *editor = form_.editableEditor();
    if (!editor)
        return;
    const PageRecord &page = form_.pages()[form_.pages().CurrentPage];
    const bool small = editor->TextLength() <= kSmallPageLimit;
    try {
        if (small && page.Kind != PageKind::Plain)
            editor->PasteFromClipboard();
        else
            // Plain pages take the text only; a large page takes it as one insertion, which
            // one undo takes back.
            editor->SetSelText(clipboardText());
    } catch (const std::exception &e) {
        ShowMessage(QString::fromLocal8Bit(e.what()) + QStringLiteral(" while pasting to page ")
                    + QString::number(form_.pages().CurrentPage) + (small ? QStringLiteral(" (<64K)") : QStringLiteral(" (>64K)")));
    }
}

void EditCommands::Selectall1Click()
{
    if (TRichEdit *editor = form_.currentEditor()) {
        editor->SetSelStart(0);
        editor->SetSelLength(editor->TextLength());
    }
}

// ---------------------------------------------------------------------------------------------
// Inserted texts

void EditCommands::Insertcurrentdate1Click()
{
    if (TRichEdit *editor = form_.editableEditor())
        editor->SetSelText(dateText(settings_.dateFormatOption, QDate::currentDate(), localeDateSeparator(),
                                    localeMonthNames()));
}

void EditCommands::Insertcurrenttime1Click()
{
    TRichEdit *editor = form_.editableEditor();
    if (!editor)
        return;
    // The long time format without its time zone.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    editor->SetSelText(QLocale::system().toString(QTime::currentTime(), format.trimmed()));
}

void EditCommands::Insertseparatorline1Click(bool header)
{
    TRichEdit *editor = form_.editableEditor();
    if (!editor)
        return;
    const bool rich = form_.pages()[form_.pages().CurrentPage].Kind != PageKind::Plain;
    TTextAttributes &attributes = editor->SelAttributes();
    const QString name = attributes.Name();
    const int size = attributes.Size();
    QColor color;
    if (rich) {
        editor->Paragraph().SetNumbering(TNumberingStyle::None);
        color = attributes.Color();
        attributes.SetColor(QColor());
        attributes.SetName(QStringLiteral("Courier New"));
        attributes.SetSize(9);
        attributes.SetStyle({});
    }
    if (settings_.separatorLength < 1)
        settings_.separatorLength = 72;
    const QString text = separatorText(header, settings_.separatorLength);
    if (rich)
        emit defaultFontWanted();
    editor->SetSelText(text);
    if (rich) {
        attributes.SetName(name);
        attributes.SetSize(size);
        attributes.SetColor(color);
    }
}

void EditCommands::Deleteline1Click()
{
    TRichEdit *editor = form_.editableEditor();
    if (!editor || editor->TextLength() == 0)
        return;
    editor->Lines().Delete(editor->LineFromChar(editor->SelStart()));
}

void EditCommands::Separatorlinelength1Click()
{
    InputRequest request;
    request.caption = MenuCaptionText(Separatorlinelength1->text());
    request.prompt = QStringLiteral("Please enter the width of the separator line (characters)");
    request.initial = QString::number(settings_.separatorLength);
    request.owner = &form_;
    const std::optional<QString> answer = CurrentPrompter().input(request);
    if (!answer)
        return;
    const std::optional<int> length = parseDecimal(answer->trimmed());
    if (!length) {
        ShowMessage(QStringLiteral("'") + *answer + QStringLiteral("' is not a valid integer value"));
        return;
    }
    settings_.separatorLength = *length;
}

void EditCommands::ddmmyyyy1Click(int option)
{
    dateFormats_.at(static_cast<std::size_t>(option))->setChecked(true);
    settings_.dateFormatOption = option;
}

// ---------------------------------------------------------------------------------------------
// Key and mouse events of the page editor

void EditCommands::RichEdit1KeyDown(int &key, Qt::KeyboardModifiers shift)
{
    TRichEdit *editor = form_.currentEditor();
    if (!editor)
        return;
    const Qt::KeyboardModifiers held = shift & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier);
    if (key == Qt::Key_Insert && held == Qt::NoModifier) {
        PageRecord &page = form_.pages()[form_.pages().CurrentPage];
        page.InsertMode = page.InsertMode == 1 ? 0 : 1;
        // The key goes on to the editor, which switches its own mode.
        form_.setPanel(1, page.InsertMode == 1 ? QStringLiteral("Ins") : QStringLiteral("Ovr"));
        return;
    }
    keystrokes_.keyDown(editor->TextLength(), editor->SelStart());
}

void EditCommands::RichEdit1KeyPress(QChar &key) { keystrokes_.keyPress(key); }

void EditCommands::RichEdit1KeyUp(int &, Qt::KeyboardModifiers shift)
{
    TRichEdit *editor = form_.currentEditor();
    if (!editor)
        return;
    const QString lost = keystrokes_.keyUp(editor->TextLength(), editor->SelStart(), editor->ReadOnly(),
                                           (shift & (Qt::AltModifier | Qt::ControlModifier)) != 0);
    if (!lost.isEmpty())
        editor->SetSelText(lost);
}

void EditCommands::RichEdit1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, QPoint pos)
{
    // A right click without a selection first puts the caret under the pointer.
    TRichEdit *editor = form_.currentEditor();
    if (editor && button == Qt::RightButton && editor->SelLength() == 0)
        editor->SetSelStart(editor->CharFromPos(pos));
}

// ---------------------------------------------------------------------------------------------
// Page context menu

void EditCommands::PopupMenu1Popup()
{
    TRichEdit *editor = form_.currentEditor();
    const bool selection = editor && editor->SelLength() != 0 && editor->SelStart() != editor->TextLength();
    for (QAction *a : {CutPopup, CopyPopup, CheckSeparator})
        a->setVisible(selection);
}


} // namespace kelpa::editor
