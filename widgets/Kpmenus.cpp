#include "widgets/Kpmenus.h"
#include "widgets/RectEdges.h"

#include <QActionEvent>
#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionFrame>
#include <QStyleOptionMenuItem>

namespace kelpa::widgets {

namespace {

using edges::Bottom;
using edges::FromEdges;
using edges::Right;

QColor Q(TColor c)
{
    return ToQColor(c);
}

// The owner that paints a menu widget's items, when it paints them now.
TKpMenuOwner *PaintingOwner(const QWidget *widget)
{
    TKpMenuOwner *owner = nullptr;
    if (auto *menu = qobject_cast<const TKpMenuWidget *>(widget))
        owner = menu->OwnerMenu();
    else if (auto *bar = qobject_cast<const TKpMainMenu *>(widget))
        owner = const_cast<TKpMainMenu *>(bar);
    return owner && owner->OwnerDrawn() ? owner : nullptr;
}

// The style that lets owner-drawn menus give their own item sizes.
class OwnerDrawStyle : public QProxyStyle {
public:
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override
    {
        if (type == CT_MenuItem || type == CT_MenuBarItem) {
            auto *item = qobject_cast<QAction *>(option->styleObject);
            if (TKpMenuOwner *owner = PaintingOwner(widget); owner && item) {
                const QSize s = owner->WMMeasureItem(widget, item);
                return QSize(std::max(1, s.width()), std::max(1, s.height()));
            }
        }
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }

    int pixelMetric(PixelMetric metric, const QStyleOption *option,
                    const QWidget *widget) const override
    {
        // Owner-drawn items start at the menu's inner left edge, where the margin is.
        if ((metric == PM_MenuHMargin || metric == PM_MenuBarItemSpacing) && PaintingOwner(widget))
            return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

QStyle *OwnerDrawStyleInstance()
{
    static QPointer<QStyle> style;
    if (!style) {
        style = new OwnerDrawStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style.data();
}

QPointer<TPopupList> gPopupList;

} // namespace

QChar AcceleratorOf(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&')
            continue;
        if (caption[i + 1] == u'&') {
            ++i;   // "&&" is a plain ampersand
            continue;
        }
        return caption[i + 1];
    }
    return {};
}

TMenuCharResult MenuChar(const QList<QAction *> &items, QChar typed, const QAction *highlighted)
{
    int first = -1, highlight = -1, next = -1, code = 0;
    const QChar key = typed.toUpper();
    auto match = [&](int i, bool enabled) {
        if (!enabled) {
            if (first < 0)
                first = -2;
            return;
        }
        if (first < 0) {
            first = i;
            code = 2;
        } else {
            code = 3;
        }
        if (items[i] == highlighted)
            highlight = i;
        else if (highlight >= 0 && next < 0)
            next = i;
    };
    for (int i = 0; i < items.size(); ++i) {
        const QChar accel = AcceleratorOf(items[i]->text());
        if (!IsSeparator(items[i]) && !accel.isNull() && accel.toUpper() == key)
            match(i, items[i]->isEnabled());
    }
    if (first == -2)
        return {1, 0};
    if (first == -1) {
        for (int i = 0; i < items.size(); ++i) {
            const QString caption = items[i]->text();
            if (IsSeparator(items[i]) || caption.isEmpty() || caption[0].toUpper() != key)
                continue;
            if (!items[i]->isEnabled())
                return {1, 0};
            match(i, true);
        }
    }
    if (code == 2)
        return {2, first};
    if (code == 3)
        return {3, next < 0 ? first : next};
    return {0, 0};
}

// ---- TKpMenuWidget ----

TKpMenuWidget::TKpMenuWidget(TKpMenuOwner *owner, QWidget *parent) : QMenu(parent), owner_(owner)
{
    setStyle(OwnerDrawStyleInstance());
    connect(this, &QMenu::hovered, this, [this](QAction *item) {
        if (owner_)
            owner_->MenuSelect(this, item, true);
    });
}

TKpMenuWidget *TKpMenuWidget::AddKpMenu(const QString &title)
{
    auto *sub = new TKpMenuWidget(owner_, this);
    sub->setTitle(title);
    addMenu(sub);
    return sub;
}

void TKpMenuWidget::actionEvent(QActionEvent *event)
{
    // An item added to an owner-drawn menu leaves its shortcut to the painter's column too.
    if (event->type() == QEvent::ActionAdded && owner_ && owner_->OwnerDrawn() && event->action())
        event->action()->setShortcutVisibleInContextMenu(false);
    QMenu::actionEvent(event);
}

void TKpMenuWidget::initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const
{
    QMenu::initStyleOption(option, action);
    // The measure request needs the item itself.
    if (owner_ && owner_->OwnerDrawn())
        option->styleObject = const_cast<QAction *>(action);
}

namespace {

TMenuOwnerDrawState ItemState(const QAction *item, const QAction *active, const QAction *byDefault)
{
    TMenuOwnerDrawState state = 0;
    if (item == active && !item->isSeparator())
        state |= mdSelected;
    if (!item->isEnabled())
        state |= mdGrayed | mdDisabled;
    if (item->isCheckable() && item->isChecked())
        state |= mdChecked;
    if (item == byDefault)
        state |= mdDefault;
    return state;
}

} // namespace

void TKpMenuWidget::paintEvent(QPaintEvent *event)
{
    if (!owner_ || !owner_->OwnerDrawn()) {
        QMenu::paintEvent(event);
        return;
    }
    QPainter p(this);
    p.fillRect(event->rect(), Q(MenuColors(this).menu));
    if (event->region().intersects(owner_->MarginRect(this)))
        owner_->PaintMargin(p, this);
    for (QAction *item : actions()) {
        const QRect r = actionGeometry(item);
        if (!r.isEmpty() && event->region().intersects(r))
            owner_->WMDrawItem(p, this, item, r, ItemState(item, activeAction(), defaultAction()));
    }
    // The frame last: items reach the menu's edges and would paint over it, leaving a menu
    // without an outline over a bar of the same colour. Only the panel's own width is the
    // frame's; what a style paints inside it belongs to the items and the margin.
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.state = QStyle::State_None;
    frame.lineWidth = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
    frame.midLineWidth = 0;
    const int fw = std::max(frame.lineWidth, 1);
    p.save();
    p.setClipRegion(QRegion(rect()) - QRegion(rect().adjusted(fw, fw, -fw, -fw)));
    style()->drawPrimitive(QStyle::PE_FrameMenu, &frame, &p, this);
    p.restore();
}

void TKpMenuWidget::keyPressEvent(QKeyEvent *event)
{
    const QString text = event->text();
    const bool plainKey = !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
    if (!owner_ || !owner_->OwnerDrawn() || !plainKey || text.size() != 1 || !text[0].isPrint()
        || text[0].isSpace()) {
        QMenu::keyPressEvent(event);
        return;
    }
    const QList<QAction *> items = VisibleItems(this);
    const TMenuCharResult r = MenuChar(items, text[0], activeAction());
    event->accept();
    switch (r.code) {
    case 1:
        close();
        break;
    case 2: {
        setActiveAction(items[r.position]);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QMenu::keyPressEvent(&enter);
        break;
    }
    case 3:
        setActiveAction(items[r.position]);
        break;
    default:
        break;
    }
}

// ---- TKpMenuOwner ----

bool TKpMenuOwner::IsOwnerDrawMenu() const
{
    return style_ != TKpMenuStyle::msStandard || (images_ && !images_->Images.isEmpty());
}

void TKpMenuOwner::SetStyle(TKpMenuStyle value)
{
    if (value == style_)
        return;
    style_ = value;
    RefreshMenu(IsOwnerDrawMenu());
}

void TKpMenuOwner::SetShowCheckMarks(bool value)
{
    showCheckMarks_ = value;
    Refresh();
}

void TKpMenuOwner::SetMinTextOffset(unsigned value)
{
    minTextOffset_ = value;
    Refresh();
}

void TKpMenuOwner::SetImages(std::shared_ptr<const TImageList> value)
{
    const bool was = IsOwnerDrawMenu();
    images_ = std::move(value);
    if (IsOwnerDrawMenu() != was)
        RefreshMenu(IsOwnerDrawMenu());
}

void TKpMenuOwner::ImageListChange()
{
    RefreshMenu(IsOwnerDrawMenu());
}

void TKpMenuOwner::Refresh()
{
    RefreshMenu(IsOwnerDrawMenu());
}

std::vector<QWidget *> TKpMenuOwner::MenuWidgets()
{
    return {};
}

void TKpMenuOwner::RefreshMenu(bool ownerDraw)
{
    ownerDrawn_ = ownerDraw;
    // Every menu of this owner lays its items out again with the new sizes.
    std::vector<QWidget *> menus = MenuWidgets();
    for (std::size_t i = 0; i < menus.size(); ++i) {
        for (QAction *a : menus[i]->actions()) {
            // The painter draws shortcuts in its own column.
            a->setShortcutVisibleInContextMenu(!ownerDraw);
            if (a->menu())
                menus.push_back(a->menu());
        }
        QActionEvent relayout(QEvent::ActionChanged, new QAction(menus[i]));
        QCoreApplication::sendEvent(menus[i], &relayout);
        delete relayout.action();
        menus[i]->updateGeometry();
        menus[i]->update();
    }
}

int TKpMenuOwner::ExtraWidth(const QWidget *, const QAction *) const
{
    return 0;
}

QRect TKpMenuOwner::ItemRect(const QWidget *, const QAction *, QRect rect) const
{
    return rect;
}

QRect TKpMenuOwner::MarginRect(const QWidget *) const
{
    return {};
}

void TKpMenuOwner::PaintMargin(QPainter &, const QWidget *) {}

TMenuItemLook TKpMenuOwner::Look(const QAction *item) const
{
    TMenuItemLook look;
    look.item = item;
    look.images = images_.get();
    look.minTextOffset = int(minTextOffset_);
    look.showCheckMarks = showCheckMarks_;
    return look;
}

TMenuButtonStyle TKpMenuOwner::ButtonStyle() const
{
    return style_ == TKpMenuStyle::msBtnLowered ? TMenuButtonStyle::Lowered
           : style_ == TKpMenuStyle::msBtnRaised ? TMenuButtonStyle::Raised
                                                 : TMenuButtonStyle::None;
}

namespace {

// A request is served only for a live item of the menu it names.
bool IsItemOf(const QWidget *menu, const QAction *item)
{
    return item && menu && menu->actions().contains(const_cast<QAction *>(item));
}

} // namespace

QSize TKpMenuOwner::WMMeasureItem(const QWidget *menu, QAction *item)
{
    if (!IsItemOf(menu, item))
        return {};
    // A request may come while another is being served (a layout during a paint).
    const TMenuCanvas outer = canvas_;
    canvas_ = {};
    canvas_.menu = menu;
    SetDefaultMenuFont(canvas_.font);
    const TMenuColors colors = MenuColors(menu);
    canvas_.fontColor = colors.menuText;
    canvas_.brushColor = colors.menu;
    auto *asMenu = qobject_cast<const QMenu *>(menu);
    if (asMenu && asMenu->defaultAction() == item)
        canvas_.font.setBold(true);
    TMenuItemLook look = Look(item);
    TColor color = canvas_.brushColor;
    GetItemParams(item, 0, canvas_.font, color, look.graphic, look.numGlyphs);
    GetImageIndex(item, 0, look.imageIndex);
    const QSize s = MeasureMenuItem(look, canvas_);
    int width = s.width(), height = s.height();
    MeasureItem(item, width, height);
    width += ExtraWidth(menu, item);
    canvas_ = outer;
    return QSize(width, height);
}

void TKpMenuOwner::WMDrawItem(QPainter &painter, const QWidget *menu, QAction *item, QRect rect,
                              TMenuOwnerDrawState state)
{
    if (!IsItemOf(menu, item))
        return;
    painter.save();
    const TMenuCanvas outer = canvas_;
    canvas_ = {};
    canvas_.painter = &painter;
    canvas_.menu = menu;
    SetDefaultMenuFont(canvas_.font);
    const TMenuColors colors = MenuColors(menu);
    canvas_.fontColor = colors.menuText;
    canvas_.brushColor = colors.menu;
    if (state & mdDefault)
        canvas_.font.setBold(true);
    if ((state & mdSelected)
        && (style_ == TKpMenuStyle::msStandard || style_ == TKpMenuStyle::msOwnerDraw)) {
        canvas_.brushColor = colors.highlight;
        canvas_.fontColor = colors.highlightText;
    }
    rect = ItemRect(menu, item, rect);
    painter.setClipRect(rect, Qt::IntersectClip);
    DrawItem(item, rect, state);
    canvas_ = outer;
    painter.restore();
}

void TKpMenuOwner::DrawItem(QAction *item, QRect rect, TMenuOwnerDrawState state)
{
    if (!canvas_.painter)
        return;
    TMenuItemLook look = Look(item);
    TColor color = canvas_.brushColor;
    GetItemParams(item, state, canvas_.font, color, look.graphic, look.numGlyphs);
    if (color != clNone) {
        const QColor fill = ToQColor(color, canvas_.menu ? canvas_.menu->palette() : QPalette());
        canvas_.brushColor = FromQColor(fill);
        canvas_.painter->fillRect(rect, fill);
    }
    if (OnDrawItem) {
        OnDrawItem(Sender(), item, rect, state);
        return;
    }
    GetImageIndex(item, state, look.imageIndex);
    PaintMenuItem(look, canvas_, rect, state, ButtonStyle());
}

void TKpMenuOwner::DefaultDrawItem(QAction *item, QRect rect, TMenuOwnerDrawState state)
{
    if (!canvas_.painter)
        return;
    TMenuItemLook look = Look(item);
    TColor color = canvas_.brushColor;
    GetItemParams(item, state, canvas_.font, color, look.graphic, look.numGlyphs);
    GetImageIndex(item, state, look.imageIndex);
    PaintMenuItem(look, canvas_, rect, state, ButtonStyle());
}

void TKpMenuOwner::GetImageIndex(QAction *item, TMenuOwnerDrawState state, int &imageIndex)
{
    if (images_ && item && !IsSeparator(item) && OnGetImageIndex)
        OnGetImageIndex(Sender(), item, state, imageIndex);
}

void TKpMenuOwner::GetItemParams(QAction *item, TMenuOwnerDrawState state, QFont &font,
                                 TColor &color, std::optional<TGraphic> &graphic, int &numGlyphs)
{
    if (OnGetItemParams)
        OnGetItemParams(Sender(), item, state, font, color, graphic, numGlyphs);
    if (IsSeparator(item))
        graphic.reset();
}

void TKpMenuOwner::MeasureItem(QAction *item, int &width, int &height)
{
    if (OnMeasureItem)
        OnMeasureItem(Sender(), item, width, height);
}

void TKpMenuOwner::MenuSelect(QWidget *menuWidget, QAction *item, bool highlighted)
{
    // The item's status text reaches the window through the menu itself; the cursor is ours.
    if (!Cursor || !menuWidget)
        return;
    if (item && highlighted)
        menuWidget->setCursor(*Cursor);
    else
        menuWidget->unsetCursor();
}

// ---- TKpPopupMenu ----

TKpPopupMenu::TKpPopupMenu(QWidget *parent) : TKpMenuWidget(nullptr, parent)
{
    owner_ = this;
    TPopupList::Get()->Add(this);
}

TKpPopupMenu::~TKpPopupMenu()
{
    SetStyle(TKpMenuStyle::msStandard);
    if (TPopupList *list = TPopupList::Instance())
        list->Remove(this);
}

void TKpPopupMenu::SetLeftMargin(unsigned value)
{
    leftMargin_ = value;
    Refresh();
}

std::vector<QWidget *> TKpPopupMenu::MenuWidgets()
{
    return {this};
}

void TKpPopupMenu::showEvent(QShowEvent *event)
{
    if (IsOwnerDrawMenu() && !OwnerDrawn())
        RefreshMenu(true);
    TKpMenuWidget::showEvent(event);
}

void TKpPopupMenu::Popup(int x, int y)
{
    if (OnPopup)
        OnPopup(this);
    if (IsOwnerDrawMenu())
        RefreshMenu(true);
    const QSize size = sizeHint();
    QPoint at(x, y);
    if (Alignment == TPopupAlignment::paRight)
        at.rx() -= size.width();
    else if (Alignment == TPopupAlignment::paCenter)
        at.rx() -= size.width() / 2;
    popup(at);
}

bool TKpPopupMenu::IsTopLevelItem(const QAction *item) const
{
    return item && actions().contains(const_cast<QAction *>(item));
}

int TKpPopupMenu::ExtraWidth(const QWidget *menu, const QAction *item) const
{
    return menu == this && IsTopLevelItem(item) ? int(leftMargin_) + 1 : 0;
}

QRect TKpPopupMenu::ItemRect(const QWidget *menu, const QAction *item, QRect rect) const
{
    if (menu == this && IsTopLevelItem(item))
        rect.setLeft(rect.left() + int(leftMargin_) + 1);
    return rect;
}

QRect TKpPopupMenu::MarginRect(const QWidget *menu) const
{
    if (leftMargin_ == 0 || menu != this)
        return {};
    const int fw = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
    const QMargins cm = contentsMargins();
    return QRect(fw + cm.left(), fw, int(leftMargin_), menu->height() - 2 * fw);
}

void TKpPopupMenu::PaintMargin(QPainter &painter, const QWidget *menu)
{
    const QRect margin = MarginRect(menu);
    if (margin.isEmpty())
        return;
    painter.save();
    painter.setClipRect(margin);
    const TMenuCanvas outer = canvas_;
    canvas_ = {};
    canvas_.painter = &painter;
    canvas_.menu = menu;
    SetDefaultMenuFont(canvas_.font);
    DrawMargin(margin);
    canvas_ = outer;
    painter.restore();
}

void TKpPopupMenu::DrawMargin(QRect rect)
{
    if (OnDrawMargin) {
        OnDrawMargin(this, rect);
        return;
    }
    // The default margin colour and a quarter of each of its channels.
    const TColor blue = RGB(0, 0, 255);
    DefaultDrawMargin(rect, blue,
                      RGB((blue & 0xFF) / 4, ((blue >> 8) & 0xFF) / 4, ((blue >> 16) & 0xFF) / 4));
}

void TKpPopupMenu::DefaultDrawMargin(QRect rect, TColor startColor, TColor endColor)
{
    if (!canvas_.painter)
        return;
    QPainter &p = *canvas_.painter;
    p.save();
    const QRect fill = FromEdges(rect.x(), rect.y(), Right(rect) - 3, Bottom(rect));
    GradientFillRect(p, fill, startColor, endColor, fdTopToBottom, 32);
    const TMenuColors colors = MenuColors(this);
    p.setPen(QPen(Q(colors.btnShadow), 1));
    p.drawLine(Right(rect) - 2, rect.y(), Right(rect) - 2, Bottom(rect) - 1);
    p.setPen(QPen(Q(colors.btnHighlight), 1));
    p.drawLine(Right(rect) - 1, rect.y(), Right(rect) - 1, Bottom(rect) - 1);
    p.restore();
}

// ---- TKpMainMenu ----

TKpMainMenu::TKpMainMenu(QWidget *parent) : QMenuBar(parent), hook_(new TKpWindowHook(this))
{
    setStyle(OwnerDrawStyleInstance());
    hook_->AfterMessage = [this](QObject *sender, TMessage &message, bool &handled) {
        WndMessage(sender, message, handled);
    };
    connect(this, &QMenuBar::hovered, this, [this](QAction *item) { MenuSelect(this, item, true); });
}

TKpMainMenu::~TKpMainMenu()
{
    hook_->AfterMessage = nullptr;
    style_ = TKpMenuStyle::msStandard;
}

TKpMenuWidget *TKpMainMenu::AddKpMenu(const QString &title)
{
    auto *menu = new TKpMenuWidget(this, this);
    menu->setTitle(title);
    addMenu(menu);
    return menu;
}

QWidget *TKpMainMenu::FindForm() const
{
    if (QWidget *form = window(); form && form != this)
        return form;
    return qobject_cast<QWidget *>(parent());
}

void TKpMainMenu::FollowForm()
{
    hook_->SetWinControl(IsOwnerDrawMenu() ? FindForm() : nullptr);
}

void TKpMainMenu::RefreshMenu(bool ownerDraw)
{
    FollowForm();
    // Owner-drawing needs the window the menu belongs to.
    if (ownerDraw && !hook_->GetWinControl())
        return;
    TKpMenuOwner::RefreshMenu(ownerDraw);
    updateGeometry();
    adjustSize();
}

std::vector<QWidget *> TKpMainMenu::MenuWidgets()
{
    return {this};
}

void TKpMainMenu::initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const
{
    QMenuBar::initStyleOption(option, action);
    if (OwnerDrawn())
        option->styleObject = const_cast<QAction *>(action);
}

void TKpMainMenu::paintEvent(QPaintEvent *event)
{
    if (!OwnerDrawn()) {
        QMenuBar::paintEvent(event);
        return;
    }
    QPainter p(this);
    p.fillRect(event->rect(), Q(MenuColors(this).menu));
    for (QAction *item : actions()) {
        const QRect r = actionGeometry(item);
        if (!r.isEmpty() && event->region().intersects(r))
            WMDrawItem(p, this, item, r, ItemState(item, activeAction(), nullptr));
    }
}

void TKpMainMenu::MenuSelect(QWidget *menuWidget, QAction *item, bool highlighted)
{
    // An item on the bar with a drop-down keeps the default cursor.
    const bool barItemWithDropDown = item && !IsItemPopup(item) && HasSubItems(item);
    TKpMenuOwner::MenuSelect(menuWidget, item, highlighted && !barItemWithDropDown);
}

void TKpMainMenu::WndMessage(QObject *, TMessage &message, bool &)
{
    if (message.Msg == msg::CM_MENUCHANGED && IsOwnerDrawMenu())
        RefreshMenu(true);
}

// ---- TPopupList ----

TPopupList::TPopupList(QObject *parent) : QObject(parent) {}

TPopupList *TPopupList::Instance()
{
    return gPopupList.data();
}

TPopupList *TPopupList::Get()
{
    if (!gPopupList)
        gPopupList = new TPopupList(QCoreApplication::instance());
    return gPopupList.data();
}

void TPopupList::Add(TKpPopupMenu *menu)
{
    if (menus_.isEmpty() && !window_)
        window_ = new QObject(this);
    menus_.append(menu);
}

void TPopupList::Remove(TKpPopupMenu *menu)
{
    menus_.removeAll(menu);
    if (menus_.isEmpty()) {
        delete window_;
        window_ = nullptr;
    }
}

TKpPopupMenu *TPopupList::MenuOf(const QAction *item) const
{
    if (!item)
        return nullptr;
    for (TKpPopupMenu *menu : menus_) {
        std::vector<const QMenu *> pending{menu};
        while (!pending.empty()) {
            const QMenu *m = pending.back();
            pending.pop_back();
            for (QAction *a : m->actions()) {
                if (a == item)
                    return menu;
                if (a->menu())
                    pending.push_back(a->menu());
            }
        }
    }
    return nullptr;
}

} // namespace kelpa::widgets
