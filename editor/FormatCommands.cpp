#include "editor/FormatCommands.h"

#include "editor/TForm1.h"

#include "editor/ActionHelpers.h"
#include "editor/AppIcon.h"
#include "editor/EditText.h"
#include "editor/PageTable.h"
#include "editor/FlowLayout.h"
#include "editor/RulerGeometry.h"
#include "editor/TRuler.h"

#include "platform/Colors.h"
#include "platform/Fonts.h"
#include "richedit/TRichEdit.h"
#include "support/MessageBoxes.h"
#include "support/Prompter.h"
#include "widgets/Kpmenus.h"
#include "widgets/Kpspin.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace kelpa::editor {

namespace {

void showFontColor(QToolButton *button, const QColor &color)
{
    // The invalid colour is the window text colour.
    button->setProperty("fontColor", color);
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, color.isValid() ? color : button->style()->standardPalette().color(QPalette::ButtonText));
    button->setPalette(palette);
}

QColor fontColor(const QToolButton *button) { return button->property("fontColor").value<QColor>(); }

} // namespace

FormatCommands::FormatCommands(TForm1 &form, const EditorMenus &menus, KelpaSettings &settings)
    : QObject(&form), form_(form), settings_(settings)
{
    setupPageMenu(menus);
    setupFontsPanel();
    setupRuler();
}

void FormatCommands::setupPageMenu(const EditorMenus &menus)
{
    // Hidden items: in no menu, their shortcuts live while the window has the focus.
    Left1 = makeAction(this, "Left1", QStringLiteral("Left"), QKeySequence(Qt::SHIFT | Qt::Key_F10));
    Center1 = makeAction(this, "Center1", QStringLiteral("Center"), QKeySequence(Qt::SHIFT | Qt::Key_F11));
    Right1 = makeAction(this, "Right1", QStringLiteral("Right"), QKeySequence(Qt::SHIFT | Qt::Key_F12));
    Bullets1 = makeAction(this, "Bullets1", QStringLiteral("Bullets"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B));
    bind(Left1, [this] { LeftAlignClick(0); });
    bind(Center1, [this] { LeftAlignClick(2); });
    bind(Right1, [this] { LeftAlignClick(1); });
    bind(Bullets1, [this] { Bullets1Click(); });
    for (QAction *a : {Left1, Center1, Right1, Bullets1}) {
        a->setShortcutContext(Qt::WindowShortcut);
        form_.addAction(a);
    }

    BoldPopup = makeAction(this, "BoldPopup", QStringLiteral("&Bold"), QKeySequence(Qt::CTRL | Qt::Key_B));
    ItalicPopup = makeAction(this, "ItalicPopup", QStringLiteral("&Italic"), QKeySequence(Qt::CTRL | Qt::Key_I));
    UnderlinePopup = makeAction(this, "UnderlinePopup", QStringLiteral("&Underline"), QKeySequence(Qt::CTRL | Qt::Key_U));
    LowerPopup = makeAction(this, "LowerPopup", QStringLiteral("&Lower case"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    UpperPopup = makeAction(this, "UpperPopup", QStringLiteral("Upper case"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K));
    DefaultFontPopup = makeAction(this, "DefaultFontPopup", QStringLiteral("Default font"),
                                  QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    DefaultColorPopup = makeAction(this, "DefaultColorPopup", QStringLiteral("Default color"),
                                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    bind(BoldPopup, [this] { Bold1Click(); });
    bind(ItalicPopup, [this] { Italic1Click(); });
    bind(UnderlinePopup, [this] { Underline1Click(); });
    bind(LowerPopup, [this] { Makelovercase1Click(); });
    bind(UpperPopup, [this] { Makeuppercase1Click(); });
    bind(DefaultFontPopup, [this] { DefaultFButtonClick(); });
    bind(DefaultColorPopup, [this] { DefaultFColButtonClick(); });
    QMenu *menu = menus.PopupMenu1;
    QAction *end = menus.pageFormatEnd;
    menu->insertActions(end, {BoldPopup, ItalicPopup, UnderlinePopup, LowerPopup, UpperPopup});
    DefaultSeparator = menu->insertSeparator(end);
    menu->insertActions(end, {DefaultFontPopup, DefaultColorPopup});
    pageItems_ = {BoldPopup, ItalicPopup, UnderlinePopup, LowerPopup, UpperPopup, DefaultSeparator, DefaultFontPopup,
                  DefaultColorPopup};
    // Shown only for a selection; a hidden action takes no keys, so they show again once the
    // menu closes and Ctrl+B and the others keep working on the page.
    connect(menu, &QMenu::aboutToShow, this, Guarded([this] {
        TRichEdit *editor = form_.currentEditor();
        showPageItems(editor && editor->SelLength() != 0 && editor->SelStart() != editor->TextLength());
    }));
    connect(menu, &QMenu::aboutToHide, this, [this] { showPageItems(true); });
    // The menu's shortcuts work while it is closed, too.
    for (QAction *a : pageItems_)
        if (!a->isSeparator()) {
            a->setShortcutContext(Qt::WindowShortcut);
            form_.addAction(a);
        }
}

void FormatCommands::showPageItems(bool shown)
{
    for (QAction *a : pageItems_)
        a->setVisible(shown);
}

void FormatCommands::enableStyleItems(bool enabled)
{
    for (QAction *a : {BoldPopup, ItalicPopup, UnderlinePopup, DefaultFontPopup, DefaultColorPopup})
        a->setEnabled(enabled);
}

void FormatCommands::updateActionState(bool open)
{
    for (QAction *a : {Left1, Center1, Right1, Bullets1, LowerPopup, UpperPopup})
        a->setEnabled(open);
    if (!open)
        enableStyleItems(false);
}

void FormatCommands::addPreferences(QMenu *prefs)
{
    QMenu *defaults = prefs->addMenu(QStringLiteral("Default &Font"));
    defaults->setObjectName(QStringLiteral("DefaultFont1"));
    Defaultfont1 = makeAction(this, "Defaultfont1", QStringLiteral("&Font and size..."), {},
                              QStringLiteral("Change default font"));
    DefaultColor1 = makeAction(this, "DefaultColor1", QStringLiteral("&Color..."), {},
                               QStringLiteral("Change default font color"));
    bind(Defaultfont1, [this] { Defaultfont1Click(); });
    bind(DefaultColor1, [this] { DefaultFColSetClick(); });
    defaults->addAction(Defaultfont1);
    defaults->addAction(DefaultColor1);
}

bool FormatCommands::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == FontSize && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // The size is taken; the arrow keys that follow belong to the page again.
            RunGuarded([this] {
                FontSizeChange();
                if (TRichEdit *editor = form_.currentEditor())
                    editor->setFocus();
            });
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void FormatCommands::applySettings() { setDefaultFontColor(platform::colorFromValue(settings_.defaultFontColor)); }

bool FormatCommands::isOn(const QWidget *sheet) const { return FontsPanel->parentWidget() == sheet; }

void FormatCommands::addFontNames(const QStringList &families) { FontName->addItems(families); }

bool FormatCommands::hasFont(const QString &family) const
{
    return FontName->findText(family, Qt::MatchFixedString) >= 0;
}

void FormatCommands::ensureDefaultFont()
{
    if (hasFont(settings_.defaultFontName))
        return;
    ShowMessage(QStringLiteral("Cannot get default font (") + settings_.defaultFontName
                + QStringLiteral(") from system. You must choose another one"));
    Defaultfont1Click();
}

void FormatCommands::setupFontsPanel()
{
    HiddenPanel = new QWidget(&form_);
    HiddenPanel->setObjectName(QStringLiteral("HiddenPanel"));
    HiddenPanel->setVisible(false);
    new QVBoxLayout(HiddenPanel);

    FontsPanel = new QWidget(HiddenPanel);
    FontsPanel->setObjectName(QStringLiteral("FontsPanel"));
    // The bar wraps onto a second row rather than squeeze its controls in a narrow window.
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    FontsPanel->setSizePolicy(policy);
    auto *row = new FlowLayout(FontsPanel);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(1);
    HiddenPanel->layout()->addWidget(FontsPanel);

    FontName = new QComboBox(FontsPanel);
    FontName->setObjectName(QStringLiteral("FontName"));
    FontName->setEditable(true);
    FontName->setInsertPolicy(QComboBox::NoInsert);
    FontName->setMinimumContentsLength(16);
    FontName->setToolTip(QStringLiteral("Font"));
    row->addWidget(FontName);
    connect(FontName, &QComboBox::currentIndexChanged, this, Guarded([this](int) { FontNameChange(); }));

    FontSize = new widgets::TKpSpinEdit(FontsPanel);
    FontSize->setObjectName(QStringLiteral("FontSize"));
    FontSize->SetMinValue(4);
    FontSize->SetMaxValue(200);
    FontSize->SetAsInteger(8);
    FontSize->setToolTip(QStringLiteral("Font size"));
    FontSize->setFixedWidth(FontSize->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + FontSize->GetButtonWidth() + 8);
    row->addWidget(FontSize);
    FontSize->OnChange = [this](QObject *) { RunGuarded([this] { FontSizeChange(); }); };
    FontSize->installEventFilter(this);

    auto button = [&](const char *name, const QString &caption, const QString &hint, auto command,
                      bool checkable = false) {
        auto *b = new QToolButton(FontsPanel);
        b->setObjectName(QLatin1String(name));
        b->setAutoRaise(true);
        b->setText(caption);
        b->setToolTip(hint);
        b->setStatusTip(hint);
        b->setCheckable(checkable);
        b->setMinimumWidth(22);
        connect(b, &QToolButton::clicked, this, [command](bool) { RunGuarded(command); });
        row->addWidget(b);
        return b;
    };
    auto styled = [](QToolButton *b, bool bold, bool italic, bool underline) {
        QFont f = b->font();
        f.setBold(bold);
        f.setItalic(italic);
        f.setUnderline(underline);
        b->setFont(f);
    };
    ColorButton = button("ColorButton", QStringLiteral("S"), QStringLiteral("Text color"), [this] { ColorButtonClick(); });
    styled(ColorButton, true, false, false);
    BoldButton = button("BoldButton", QStringLiteral("B"), QStringLiteral("Bold"), [this] { BoldButtonClick(); }, true);
    styled(BoldButton, true, false, false);
    ItalicButton = button("ItalicButton", QStringLiteral("I"), QStringLiteral("Italic"), [this] { ItalicButtonClick(); }, true);
    styled(ItalicButton, false, true, false);
    UnderlineButton = button("UnderlineButton", QStringLiteral("U"), QStringLiteral("Underline"),
                             [this] { UnderlineButtonClick(); }, true);
    styled(UnderlineButton, false, false, true);
    row->addSpacing(6);
    LeftAlign = button("LeftAlign", QString(), QStringLiteral("Align left"), [this] { LeftAlignClick(0); }, true);
    CenterAlign = button("CenterAlign", QString(), QStringLiteral("Center"), [this] { LeftAlignClick(2); }, true);
    RightAlign = button("RightAlign", QString(), QStringLiteral("Align right"), [this] { LeftAlignClick(1); }, true);
    LeftAlign->setIcon(editorIcon(EditorIcon::AlignLeft));
    CenterAlign->setIcon(editorIcon(EditorIcon::AlignCenter));
    RightAlign->setIcon(editorIcon(EditorIcon::AlignRight));
    BulletsButton = button("BulletsButton", QString(), QStringLiteral("Bullets (Shift+Ctrl+B)"),
                           [this] { BulletsButtonClick(); }, true);
    BulletsButton->setIcon(editorIcon(EditorIcon::Bullets));
    row->addSpacing(6);
    LowercaseButton = button("LowercaseButton", QStringLiteral("abc"), QStringLiteral("Lower case"),
                             [this] { Makelovercase1Click(); });
    UppercaseButton = button("UppercaseButton", QStringLiteral("ABC"), QStringLiteral("Upper case"),
                             [this] { Makeuppercase1Click(); });
    row->addSpacing(6);
    DefaultFButton = button("DefaultFButton", QStringLiteral("aA"), QStringLiteral("Use default font (Shift+Ctrl+F)"),
                            [this] { DefaultFButtonClick(); });
    DefaultFSet = button("DefaultFSet", QString(), QStringLiteral("Change default font"), [this] { Defaultfont1Click(); });
    DefaultFSet->setIcon(editorIcon(EditorIcon::DefaultFont));
    DefaultFColButton = button("DefaultFColButton", QStringLiteral("-"), QStringLiteral("Default font color (Shift+Ctrl+C)"),
                               [this] { DefaultFColButtonClick(); });
    styled(DefaultFColButton, true, false, false);
    DefaultFColSet = button("DefaultFColSet", QString(), QStringLiteral("Change default font color"),
                            [this] { DefaultFColSetClick(); });
    DefaultFColSet->setIcon(editorIcon(EditorIcon::DefaultColor));
    showFontColor(ColorButton, QColor());
    showFontColor(DefaultFColButton, QColor());
}

void FormatCommands::setupRuler()
{
    Ruler = new TRuler(HiddenPanel);
    Ruler->setEnabled(false);
    HiddenPanel->layout()->addWidget(Ruler);
    for (TRulerMarker *marker : {Ruler->FirstInd, Ruler->LeftInd, Ruler->RightInd}) {
        connect(marker, &TRulerMarker::pressed, this, Guarded([this, marker](int x) { LeftIndMouseDown(marker, x); }));
        connect(marker, &TRulerMarker::moved, this, Guarded([this, marker](int x) { LeftIndMouseMove(marker, x); }));
    }
    connect(Ruler->FirstInd, &TRulerMarker::released, this, Guarded([this](int) { FirstIndMouseUp(); }));
    connect(Ruler->LeftInd, &TRulerMarker::released, this, Guarded([this](int) { LeftIndMouseUp(); }));
    connect(Ruler->RightInd, &TRulerMarker::released, this, Guarded([this](int) { RightIndMouseUp(); }));
}

// The five formatting items of the page context menu follow the ruler.
void FormatCommands::SetRulerEnabled(bool enabled)
{
    rulerEnabled_ = enabled;
    Ruler->setEnabled(enabled);
    const PageTable &pages = form_.pages();
    QWidget *sheet = enabled && pages.CurrentPage >= 0 ? pages[pages.CurrentPage].Sheet : nullptr;
    auto *layout = static_cast<QVBoxLayout *>(sheet ? sheet->layout() : HiddenPanel->layout());
    if (FontsPanel->parentWidget() != (sheet ? sheet : HiddenPanel)) {
        layout->insertWidget(0, FontsPanel);
        layout->insertWidget(1, Ruler);
        FontsPanel->show();
        Ruler->show();
    }
    enableStyleItems(enabled);
}

void FormatCommands::parkFormatting()
{
    // Sheets are destroyed with their children; the bar and the ruler outlive them.
    if (FontsPanel && FontsPanel->parentWidget() != HiddenPanel) {
        HiddenPanel->layout()->addWidget(FontsPanel);
        HiddenPanel->layout()->addWidget(Ruler);
    }
}

// ---------------------------------------------------------------------------------------------
// Commands

void FormatCommands::FontNameChange()
{
    TRichEdit *editor = form_.editableEditor();
    const int index = FontName->currentIndex();
    if (editor && index >= 0)
        editor->SelAttributes().SetName(FontName->itemText(index));
}

void FormatCommands::FontSizeChange()
{
    TRichEdit *editor = form_.editableEditor();
    if (!editor)
        return;
    // Text that is no number yet changes nothing; a number is taken within the box's range,
    // so that a size typed wrong never lays the page out in giant letters.
    bool ok = false;
    const int size = FontSize->text().trimmed().toInt(&ok);
    if (ok)
        editor->SelAttributes().SetSize(std::clamp(size, 4, 200));
}

void FormatCommands::ColorButtonClick()
{
    TRichEdit *editor = form_.editableEditor();
    if (!editor)
        return;
    ColorRequest request;
    request.caption = QStringLiteral("Color");
    request.initial = fontColor(ColorButton);
    request.owner = &form_;
    if (const std::optional<QColor> color = CurrentPrompter().color(request)) {
        editor->SelAttributes().SetColor(*color);
        RichEdit1SelectionChange();
    }
}

void FormatCommands::styleButtonClick(QToolButton *button, TFontStyle bit)
{
    TRichEdit *editor = form_.editableEditor();
    if (!editor)
        return;
    // Only this style changes: each run of a mixed selection keeps its others.
    editor->SelAttributes().ChangeStyle(bit, button->isChecked());
    RichEdit1SelectionChange();
}

void FormatCommands::BoldButtonClick() { styleButtonClick(BoldButton, TFontStyle::Bold); }
void FormatCommands::ItalicButtonClick() { styleButtonClick(ItalicButton, TFontStyle::Italic); }
void FormatCommands::UnderlineButtonClick() { styleButtonClick(UnderlineButton, TFontStyle::Underline); }

void FormatCommands::Bold1Click()
{
    BoldButton->setChecked(!BoldButton->isChecked());
    BoldButtonClick();
}

void FormatCommands::Italic1Click()
{
    ItalicButton->setChecked(!ItalicButton->isChecked());
    ItalicButtonClick();
}

void FormatCommands::Underline1Click()
{
    UnderlineButton->setChecked(!UnderlineButton->isChecked());
    UnderlineButtonClick();
}

void FormatCommands::LeftAlignClick(int tag)
{
    // One group that may be all up: the pressed button is the only one down, or none.
    QToolButton *pressed = tag == 0 ? LeftAlign : tag == 1 ? RightAlign : CenterAlign;
    for (QToolButton *b : {LeftAlign, CenterAlign, RightAlign})
        if (b != pressed)
            b->setChecked(false);
    TRichEdit *editor = form_.editableEditor();
    if (!editor || form_.pages()[form_.pages().CurrentPage].Kind == PageKind::Plain)
        return;
    editor->Paragraph().SetAlignment(static_cast<TAlignment>(tag));
    RichEdit1SelectionChange();
}

void FormatCommands::BulletsButtonClick()
{
    TRichEdit *editor = form_.editableEditor();
    if (!editor || form_.pages()[form_.pages().CurrentPage].Kind == PageKind::Plain)
        return;
    editor->Paragraph().SetNumbering(BulletsButton->isChecked() ? TNumberingStyle::Bullet : TNumberingStyle::None);
    RichEdit1SelectionChange();
}

void FormatCommands::Bullets1Click()
{
    BulletsButton->setChecked(!BulletsButton->isChecked());
    BulletsButtonClick();
}

void FormatCommands::changeCase(bool upper)
{
    TRichEdit *editor = form_.editableEditor();
    if (!editor)
        return;
    const int start = editor->SelStart();
    const int length = editor->SelLength();
    if (length == 0)
        return;
    // Run by run, so that the selection keeps its formatting; the lengths stay, and with them
    // every position.
    struct Run {
        int from, to;
        QTextCharFormat format;
    };
    std::vector<Run> runs;
    QTextDocument *document = editor->document();
    for (QTextBlock block = document->findBlock(start); block.isValid() && block.position() < start + length;
         block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int from = std::max(fragment.position(), start);
            const int to = std::min(fragment.position() + fragment.length(), start + length);
            if (from < to)
                runs.push_back({from, to, fragment.charFormat()});
        }
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    for (const Run &run : runs) {
        cursor.setPosition(run.from);
        cursor.setPosition(run.to, QTextCursor::KeepAnchor);
        const QString text = cursor.selectedText();
        const QString converted = upper ? upperCaseKeepingLength(text) : lowerCaseKeepingLength(text);
        if (converted != text)
            cursor.insertText(converted, run.format);
    }
    cursor.endEditBlock();
    editor->SetSelStart(start);
    editor->SetSelLength(length);
}

void FormatCommands::Makelovercase1Click() { changeCase(false); }
void FormatCommands::Makeuppercase1Click() { changeCase(true); }

void FormatCommands::DefaultFButtonClick()
{
    TRichEdit *editor = form_.editableEditor();
    if (!editor)
        return;
    editor->SelAttributes().SetName(settings_.defaultFontName);
    editor->SelAttributes().SetSize(qBound(4, settings_.defaultFontSize, 200));
    editor->setFocus();
    RichEdit1SelectionChange();
}

void FormatCommands::DefaultFColButtonClick()
{
    TRichEdit *editor = form_.editableEditor();
    if (!editor)
        return;
    editor->SelAttributes().SetColor(defaultFontColor());
    RichEdit1SelectionChange();
}

void FormatCommands::Defaultfont1Click()
{
    FontRequest request;
    request.caption = QStringLiteral("Font");
    request.initial = QFont(settings_.defaultFontName, qBound(4, settings_.defaultFontSize, 200));
    // A stored family that is not installed would show as whatever stands in for it, as if
    // it were the default: the title names both.
    if (FontName->findText(settings_.defaultFontName, Qt::MatchFixedString) < 0)
        request.caption += QStringLiteral(" - \"") + settings_.defaultFontName
                         + QStringLiteral("\" is not installed; \"") + QFontInfo(request.initial).family()
                         + QStringLiteral("\" is used in its place");
    request.owner = &form_;
    if (const std::optional<QFont> font = CurrentPrompter().font(request)) {
        settings_.defaultFontName = font->family();
        const int size = font->pointSize() > 0 ? font->pointSize() : qRound(font->pointSizeF());
        if (size > 0)
            settings_.defaultFontSize = size;
    }
}

void FormatCommands::DefaultFColSetClick()
{
    ColorRequest request;
    request.caption = QStringLiteral("Color");
    request.initial = fontColor(ColorButton);
    request.owner = &form_;
    if (const std::optional<QColor> color = CurrentPrompter().color(request))
        setDefaultFontColor(*color);
}

QColor FormatCommands::defaultFontColor() const { return fontColor(DefaultFColButton); }

void FormatCommands::setDefaultFontColor(const QColor &color)
{
    showFontColor(DefaultFColButton, color);
    settings_.defaultFontColor = platform::valueFromColor(color);
}

// ---------------------------------------------------------------------------------------------
// The controls follow the selection

void FormatCommands::RichEdit1SelectionChange()
{
    TRichEdit *editor = form_.currentEditor();
    if (!editor)
        return;
    const int start = editor->SelStart();
    const int line = editor->LineFromChar(start);
    form_.setPanel(0, QString::number(line) + QStringLiteral(" , ") + QString::number(start - editor->LineIndex(line)));
    if (FontsPanel->parentWidget() != form_.pages()[form_.pages().CurrentPage].Sheet)
        return;
    const TForm1::UpdatingScope updating(form_);
    if (Ruler->isEnabled())
        placeMarkers();
    TTextAttributes &attributes = editor->SelAttributes();
    showFontColor(ColorButton, attributes.Color());
    const TFontStyles style = attributes.Style();
    BoldButton->setChecked(style.testFlag(TFontStyle::Bold));
    ItalicButton->setChecked(style.testFlag(TFontStyle::Italic));
    UnderlineButton->setChecked(style.testFlag(TFontStyle::Underline));
    BulletsButton->setChecked(editor->Paragraph().Numbering() != TNumberingStyle::None);
    FontSize->setText(QString::number(attributes.Size()));
    FontName->setCurrentIndex(FontName->findText(attributes.Name(), Qt::MatchFixedString));
    const TAlignment alignment = editor->Paragraph().Alignment();
    LeftAlign->setChecked(alignment == TAlignment::LeftJustify);
    RightAlign->setChecked(alignment == TAlignment::RightJustify);
    CenterAlign->setChecked(alignment == TAlignment::Center);
}

void FormatCommands::placeMarkers()
{
    TRichEdit *editor = form_.currentEditor();
    if (!editor)
        return;
    TParaAttributes &paragraph = editor->Paragraph();
    const RulerMarkers m = markerPositions(paragraph.FirstIndent(), paragraph.LeftIndent(), paragraph.RightIndent(),
                                           Ruler->width());
    Ruler->FirstInd->move(m.first, Ruler->FirstInd->y());
    Ruler->LeftInd->move(m.left, Ruler->LeftInd->y());
    Ruler->RightInd->move(m.right, Ruler->RightInd->y());
}

// ---------------------------------------------------------------------------------------------
// Ruler drag

void FormatCommands::LeftIndMouseDown(TRulerMarker *marker, int x)
{
    DragOffset = marker->width() / 2;
    marker->move(marker->x() + x - DragOffset, marker->y());
    RulerDragging = true;
}

void FormatCommands::LeftIndMouseMove(TRulerMarker *marker, int x)
{
    if (RulerDragging)
        marker->move(marker->x() + x - DragOffset, marker->y());
}

void FormatCommands::LeftIndMouseUp()
{
    RulerDragging = false;
    TRichEdit *editor = form_.editableEditor();
    if (!editor) {
        placeMarkers();
        return;
    }
    TRulerMarker *left = Ruler->LeftInd;
    const MarkerDrop drop = dropLeftMarker(left->x(), Ruler->RightInd->x(), Ruler->width(), DragOffset,
                                           editor->Paragraph().FirstIndent());
    left->move(drop.position, left->y());
    editor->Paragraph().SetLeftIndent(drop.indent);
    RichEdit1SelectionChange();
}

void FormatCommands::FirstIndMouseUp()
{
    RulerDragging = false;
    TRichEdit *editor = form_.editableEditor();
    if (!editor) {
        placeMarkers();
        return;
    }
    TRulerMarker *first = Ruler->FirstInd;
    const MarkerDrop drop = dropFirstMarker(first->x(), Ruler->width(), DragOffset);
    first->move(drop.position, first->y());
    editor->Paragraph().SetFirstIndent(drop.indent);
    // The left marker stays where it stands, against the new first-line indent.
    LeftIndMouseUp();
}

void FormatCommands::RightIndMouseUp()
{
    RulerDragging = false;
    TRichEdit *editor = form_.editableEditor();
    if (!editor) {
        placeMarkers();
        return;
    }
    TRulerMarker *right = Ruler->RightInd;
    const MarkerDrop drop = dropRightMarker(right->x(), Ruler->LeftInd->x(), Ruler->width(), DragOffset);
    right->move(drop.position, right->y());
    editor->Paragraph().SetRightIndent(drop.indent);
    RichEdit1SelectionChange();
}

} // namespace kelpa::editor
