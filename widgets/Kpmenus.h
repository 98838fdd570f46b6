#pragma once
// Owner-drawn menus with a painted margin. The program paints every item itself: a glyph or an
// image-list image beside the caption, a font and background colour of the item's own, a
// checked item as a pressed glyph button, and, in a popup menu, a strip on the left of the
// items (the margin) that an OnDrawMargin handler paints.
//
// Qt's menu keeps the geometry, hover, keyboard navigation and commands; the item measurer
// and painter (Kpmenuitem.h) size and paint each item, reached through the menu's measure and
// draw requests (WMMeasureItem, WMDrawItem) with the same parameters as the platform's
// owner-draw requests.
//
// A short example, the editor's page menu:
//     auto *menu = new TKpPopupMenu(window);
//     menu->SetStyle(TKpMenuStyle::msOwnerDraw);
//     menu->SetLeftMargin(16);
//     menu->SetShowCheckMarks(false);
//     menu->OnDrawMargin = [menu](QObject *, QRect r) {
//         menu->DefaultDrawMargin(r, RGB(0, 255, 0), clBlack);
//         QPainter *p = menu->Canvas();   // then write a rotated caption over it
//     };
//     menu->OnGetItemParams = [](QObject *, QAction *item, TMenuOwnerDrawState, QFont &font,
//                                TColor &, std::optional<TGraphic> &graphic, int &) {
//         font.setFamily("Arial");
//         if (item->data().toInt() == 1) graphic = TGraphic::Bitmap(cutGlyph);
//     };
//     menu->addAction(cut);  ...  menu->Popup(x, y);
#include "widgets/Graphics.h"
#include "widgets/Kphook.h"
#include "widgets/Kpmenuitem.h"

#include <QAction>
#include <QColor>
#include <QCursor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QMenu>
#include <QMenuBar>
#include <QObject>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QPainter;

namespace kelpa::widgets {

enum class TKpMenuStyle { msStandard, msOwnerDraw, msBtnLowered, msBtnRaised };

// Where Popup puts the menu relative to the point it is given.
enum class TPopupAlignment { paLeft, paRight, paCenter };

// A key typed in an owner-drawn menu: code 0 ignore, 1 close, 2 execute, 3 select, with the
// position (among `items`) of the item to execute or select; `highlighted` is the item under
// the menu's highlight, or null.
struct TMenuCharResult {
    int code = 0;
    int position = 0;
    bool operator==(const TMenuCharResult &) const = default;
};
TMenuCharResult MenuChar(const QList<QAction *> &items, QChar typed, const QAction *highlighted);
// The accelerator letter of a caption (the character after a single "&"), or a null QChar.
QChar AcceleratorOf(const QString &caption);

using TDrawMenuItemEvent =
    std::function<void(QObject *sender, QAction *item, QRect rect, TMenuOwnerDrawState state)>;
using TMeasureMenuItemEvent =
    std::function<void(QObject *sender, QAction *item, int &width, int &height)>;
using TDrawMarginEvent = std::function<void(QObject *sender, QRect rect)>;
using TItemParamsEvent = std::function<void(QObject *sender, QAction *item,
                                            TMenuOwnerDrawState state, QFont &font, TColor &color,
                                            std::optional<TGraphic> &graphic, int &numGlyphs)>;
using TItemImageEvent = std::function<void(QObject *sender, QAction *item,
                                           TMenuOwnerDrawState state, int &imageIndex)>;

class TKpMenuOwner;

// A drop-down or sub-menu whose items its owner (a TKpPopupMenu or TKpMainMenu) measures and
// paints. The popup menu is one itself; the others are made with AddKpMenu.
class TKpMenuWidget : public QMenu {
    Q_OBJECT
public:
    TKpMenuWidget(TKpMenuOwner *owner, QWidget *parent);
    TKpMenuOwner *OwnerMenu() const { return owner_; }
    // A sub-menu painted like this menu.
    TKpMenuWidget *AddKpMenu(const QString &title);

protected:
    void actionEvent(QActionEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const override;

private:
    TKpMenuOwner *owner_;
    friend class TKpPopupMenu;
};

// What the two menu components share: the options, the events and the measure and draw
// requests that call the item measurer and painter.
class TKpMenuOwner {
public:
    virtual ~TKpMenuOwner() = default;

    TKpMenuStyle Style() const { return style_; }
    void SetStyle(TKpMenuStyle value);
    bool ShowCheckMarks() const { return showCheckMarks_; }
    void SetShowCheckMarks(bool value);
    unsigned MinTextOffset() const { return minTextOffset_; }
    void SetMinTextOffset(unsigned value);
    // The cursor over highlighted items; none keeps the default cursor.
    std::optional<QCursor> Cursor;
    // The image list; the menu shares it. Call ImageListChange after changing its images.
    std::shared_ptr<const TImageList> Images() const { return images_; }
    void SetImages(std::shared_ptr<const TImageList> value);
    void ImageListChange();

    TDrawMenuItemEvent OnDrawItem;
    TMeasureMenuItemEvent OnMeasureItem;
    TItemParamsEvent OnGetItemParams;
    TItemImageEvent OnGetImageIndex;

    bool IsOwnerDrawMenu() const;
    bool OwnerDrawn() const { return ownerDrawn_; }
    void Refresh();
    // Switches every item (and every item below it) to owner-drawn or back.
    virtual void RefreshMenu(bool ownerDraw);

    // The painter of the request being served (margin or item); null between requests.
    QPainter *Canvas() const { return canvas_.painter; }
    // The font, font colour and brush colour of the request being served.
    TMenuCanvas &CanvasState() { return canvas_; }
    // The item painting that DrawItem does without OnDrawItem, without the background fill.
    void DefaultDrawItem(QAction *item, QRect rect, TMenuOwnerDrawState state);

    // The measure request of one item of `menu` (this menu, a drop-down or a sub-menu).
    QSize WMMeasureItem(const QWidget *menu, QAction *item);
    // The draw request of one item: `rect` is the item's rectangle in the menu it is in.
    void WMDrawItem(QPainter &painter, const QWidget *menu, QAction *item, QRect rect,
                    TMenuOwnerDrawState state);
    // The margin strip of a menu widget of this owner (empty where there is none).
    virtual QRect MarginRect(const QWidget *menu) const;
    virtual void PaintMargin(QPainter &painter, const QWidget *menu);

protected:
    virtual QObject *Sender() = 0;
    // The widgets whose items this owner paints, for RefreshMenu to lay out again.
    virtual std::vector<QWidget *> MenuWidgets();
    // Popup: top-level items grow by the margin; the main menu leaves them as they are.
    virtual int ExtraWidth(const QWidget *menu, const QAction *item) const;
    virtual QRect ItemRect(const QWidget *menu, const QAction *item, QRect rect) const;
    virtual void DrawItem(QAction *item, QRect rect, TMenuOwnerDrawState state);
    virtual void GetImageIndex(QAction *item, TMenuOwnerDrawState state, int &imageIndex);
    virtual void GetItemParams(QAction *item, TMenuOwnerDrawState state, QFont &font,
                               TColor &color, std::optional<TGraphic> &graphic, int &numGlyphs);
    virtual void MeasureItem(QAction *item, int &width, int &height);
    // The item under the highlight (or none) of one of this owner's menus.
    virtual void MenuSelect(QWidget *menuWidget, QAction *item, bool highlighted);
    TMenuButtonStyle ButtonStyle() const;
    // The item with this menu's options and no glyph yet.
    TMenuItemLook Look(const QAction *item) const;

    TMenuCanvas canvas_;

private:
    TKpMenuStyle style_ = TKpMenuStyle::msStandard;
    bool showCheckMarks_ = true;
    unsigned minTextOffset_ = 0;
    std::shared_ptr<const TImageList> images_;
    bool ownerDrawn_ = false;
    friend class TKpMenuWidget;
    friend class TKpMainMenu;
};

class TKpPopupMenu : public TKpMenuWidget, public TKpMenuOwner {
    Q_OBJECT
public:
    explicit TKpPopupMenu(QWidget *parent = nullptr);
    ~TKpPopupMenu() override;

    unsigned LeftMargin() const { return leftMargin_; }
    void SetLeftMargin(unsigned value);
    TPopupAlignment Alignment = TPopupAlignment::paLeft;
    TDrawMarginEvent OnDrawMargin;
    std::function<void(QObject *sender)> OnPopup;

    // Shows the menu at the screen point (x, y), placed by Alignment.
    virtual void Popup(int x, int y);
    void DefaultDrawMargin(QRect rect, TColor startColor, TColor endColor);
    QRect MarginRect(const QWidget *menu) const override;
    void PaintMargin(QPainter &painter, const QWidget *menu) override;
    // Whether the item is a top-level item of this popup.
    bool IsTopLevelItem(const QAction *item) const;

protected:
    virtual void DrawMargin(QRect rect);
    QObject *Sender() override { return this; }
    std::vector<QWidget *> MenuWidgets() override;
    int ExtraWidth(const QWidget *menu, const QAction *item) const override;
    QRect ItemRect(const QWidget *menu, const QAction *item, QRect rect) const override;
    void showEvent(QShowEvent *event) override;

private:
    unsigned leftMargin_ = 0;
};

// The same painting for a window's menu bar and its drop-down menus (made with AddKpMenu).
// The menu watches its window through a window hook.
class TKpMainMenu : public QMenuBar, public TKpMenuOwner {
    Q_OBJECT
public:
    explicit TKpMainMenu(QWidget *parent = nullptr);
    ~TKpMainMenu() override;

    TKpMenuWidget *AddKpMenu(const QString &title);
    // The window the menu bar belongs to, or null.
    QWidget *FindForm() const;
    TKpWindowHook *Hook() const { return hook_; }
    void RefreshMenu(bool ownerDraw) override;

protected:
    QObject *Sender() override { return this; }
    std::vector<QWidget *> MenuWidgets() override;
    void paintEvent(QPaintEvent *event) override;
    void initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const override;
    void MenuSelect(QWidget *menuWidget, QAction *item, bool highlighted) override;
    // The window's messages, after its own handling.
    void WndMessage(QObject *sender, TMessage &message, bool &handled);

private:
    void FollowForm();
    TKpWindowHook *hook_;
};

// Every live TKpPopupMenu of the process, in the order they were made. The list exists from
// the first popup menu on; its dispatcher exists while the list holds a menu.
class TPopupList : public QObject {
    Q_OBJECT
public:
    static TPopupList *Instance();   // null before the first popup menu
    const QList<TKpPopupMenu *> &Menus() const { return menus_; }
    bool HasWindow() const { return window_ != nullptr; }
    // The first menu that holds the item (also in a sub-menu), or null.
    TKpPopupMenu *MenuOf(const QAction *item) const;

private:
    explicit TPopupList(QObject *parent);
    static TPopupList *Get();
    void Add(TKpPopupMenu *menu);
    void Remove(TKpPopupMenu *menu);

    QList<TKpPopupMenu *> menus_;
    QObject *window_ = nullptr;
    friend class TKpPopupMenu;
};

} // namespace kelpa::widgets
