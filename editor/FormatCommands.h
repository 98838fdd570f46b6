#pragma once
// The formatting bar and the ruler of rich pages: font, size, colour, styles, alignment,
// bullets, case, the default font and colour, the controls following the selection, and the
// indent markers.
#include "editor/Names.h"
#include "editor/EditorMenus.h"

#include <QColor>
#include <QList>
#include <QObject>

class QAction;
class QComboBox;
class QEvent;
class QMenu;
class QToolButton;
class QWidget;

namespace kelpa::widgets {
class TKpSpinEdit;
}

namespace kelpa::editor {

struct KelpaSettings;
class TForm1;
class TRuler;
class TRulerMarker;

class FormatCommands : public QObject {
    Q_OBJECT
public:
    // The bar and the ruler wait, hidden, until a rich page shows them; the default font and
    // colour are the window's `settings`.
    // Puts the formatting items in the page menu and the alignment keys on the window.
    FormatCommands(TForm1 &form, const EditorMenus &menus, KelpaSettings &settings);
    // Preferences' Default Font menu, where the window places it.
    void addPreferences(QMenu *prefs);

    // Shows the stored default colour.
    void applySettings();
    void updateActionState(bool open);
    // Puts the bar and the ruler on the current page (enabled) or away; the formatting items
    // of the context menu follow.
    void SetRulerEnabled(bool enabled);
    bool rulerEnabled() const { return rulerEnabled_; }
    // Takes the bar and the ruler off the pages, which may then be destroyed.
    void parkFormatting();
    // True while the bar stands on that page.
    bool isOn(const QWidget *sheet) const;
    // The font box's choice: the installed families.
    void addFontNames(const QStringList &families);
    bool hasFont(const QString &family) const;
    // A default font that is not installed is told, and the user chooses another.
    void ensureDefaultFont();
    TRuler *ruler() const { return Ruler; }
    QColor defaultFontColor() const;

    void FontNameChange();
    void FontSizeChange();
    void ColorButtonClick();
    void BoldButtonClick();
    void ItalicButtonClick();
    void UnderlineButtonClick();
    void Bold1Click();
    void Italic1Click();
    void Underline1Click();
    void LeftAlignClick(int tag);
    void BulletsButtonClick();
    void Bullets1Click();
    void Makelovercase1Click();
    void Makeuppercase1Click();
    void DefaultFButtonClick();
    void DefaultFColButtonClick();
    void Defaultfont1Click();
    void DefaultFColSetClick();
    void RichEdit1SelectionChange();
    void LeftIndMouseDown(TRulerMarker *marker, int x);
    void LeftIndMouseMove(TRulerMarker *marker, int x);
    void FirstIndMouseUp();
    void LeftIndMouseUp();
    void RightIndMouseUp();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setupPageMenu(const EditorMenus &menus);
    // The page menu's items, shown only for a selection.
    void showPageItems(bool shown);
    // Its items that change the style, which follow the ruler.
    void enableStyleItems(bool enabled);
    void setupFontsPanel();
    void setupRuler();
    void styleButtonClick(QToolButton *button, TFontStyle bit);
    void changeCase(bool upper);
    void placeMarkers();
    void setDefaultFontColor(const QColor &color);

    TForm1 &form_;
    KelpaSettings &settings_;
    bool rulerEnabled_ = false;
    // In no menu: alignment and bullets by key
    QAction *Left1 = nullptr;
    QAction *Center1 = nullptr;
    QAction *Right1 = nullptr;
    QAction *Bullets1 = nullptr;
    // The page menu's items, shown when there is a selection
    QAction *BoldPopup = nullptr;
    QAction *ItalicPopup = nullptr;
    QAction *UnderlinePopup = nullptr;
    QAction *LowerPopup = nullptr;
    QAction *UpperPopup = nullptr;
    QAction *DefaultSeparator = nullptr;
    QAction *DefaultFontPopup = nullptr;
    QAction *DefaultColorPopup = nullptr;
    QList<QAction *> pageItems_;
    int DragOffset = 0;
    bool RulerDragging = false;

    QWidget *HiddenPanel = nullptr;
    QWidget *FontsPanel = nullptr;
    TRuler *Ruler = nullptr;
    QComboBox *FontName = nullptr;
    widgets::TKpSpinEdit *FontSize = nullptr;
    QAction *Defaultfont1 = nullptr;
    QAction *DefaultColor1 = nullptr;
    QToolButton *ColorButton = nullptr;
    QToolButton *BoldButton = nullptr;
    QToolButton *ItalicButton = nullptr;
    QToolButton *UnderlineButton = nullptr;
    QToolButton *LeftAlign = nullptr;
    QToolButton *CenterAlign = nullptr;
    QToolButton *RightAlign = nullptr;
    QToolButton *BulletsButton = nullptr;
    QToolButton *LowercaseButton = nullptr;
    QToolButton *UppercaseButton = nullptr;
    QToolButton *DefaultFButton = nullptr;
    QToolButton *DefaultFSet = nullptr;
    QToolButton *DefaultFColButton = nullptr;
    QToolButton *DefaultFColSet = nullptr;
};

} // namespace kelpa::editor
