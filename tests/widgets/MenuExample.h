#pragma once
// The menu the editor builds for its page: owner-drawn, a 16-pixel margin painted from lime to
// black with the word "Kelpa" written upwards, no check marks, Arial items, glyphs by tag.
#include "widgets/Kpmenus.h"

#include <QPainter>

namespace kelpa::test {

// A 16 x 16 glyph: a filled square of `colour` on a silver background (the bottom-left pixel,
// so silver is left out when drawn).
inline QImage Glyph(const QColor &colour)
{
    QImage g(16, 16, QImage::Format_RGB32);
    g.fill(QColor(192, 192, 192));
    QPainter p(&g);
    p.fillRect(3, 2, 10, 11, colour);
    p.fillRect(5, 4, 6, 7, Qt::black);
    return g;
}

inline void PaintEditorMargin(widgets::TKpPopupMenu *menu, QRect r)
{
    using namespace widgets;
    menu->DefaultDrawMargin(r, RGB(0, 255, 0), clBlack);
    QPainter *p = menu->Canvas();
    if (!p)
        return;
    p->save();
    const TRotatedFont font = CreateRotatedFont(QFont(QStringLiteral("Courier New"), 8), 90);
    p->setPen(Qt::white);
    p->setClipRect(r);
    font.DrawText(*p, r.left(), r.bottom() + 1 - 5, QStringLiteral("Kelpa"));
    p->restore();
}

inline widgets::TKpPopupMenu *EditorStyleMenu(QWidget *parent)
{
    using namespace widgets;
    auto *menu = new TKpPopupMenu(parent);
    menu->SetStyle(TKpMenuStyle::msOwnerDraw);
    menu->SetLeftMargin(16);
    menu->SetShowCheckMarks(false);
    menu->OnDrawMargin = [menu](QObject *, QRect r) { PaintEditorMargin(menu, r); };
    menu->OnGetItemParams = [](QObject *, QAction *item, TMenuOwnerDrawState, QFont &font,
                               TColor &, std::optional<TGraphic> &graphic, int &) {
        font.setFamily(QStringLiteral("Arial"));
        switch (item->data().toInt()) {
        case 1: graphic = TGraphic::Bitmap(Glyph(Qt::red)); break;
        case 2: graphic = TGraphic::Bitmap(Glyph(Qt::blue)); break;
        case 3: graphic = TGraphic::Bitmap(Glyph(Qt::darkGreen)); break;
        case 5: graphic = TGraphic::Bitmap(Glyph(Qt::darkYellow)); break;
        default: break;
        }
    };
    struct Item {
        const char *caption;
        const char *shortcut;
        int tag;
        bool enabled;
        bool checked;
    };
    const Item items[] = {
        {"&Undo", "Ctrl+Z", 0, true, false},   {"-", "", 0, true, false},
        {"Cu&t", "Ctrl+X", 1, true, false},    {"&Copy", "Ctrl+C", 2, true, false},
        {"&Paste", "Ctrl+V", 3, false, false}, {"-", "", 0, true, false},
        {"&Word wrap", "", 0, true, true},     {"Check &spelling", "F7", 5, true, false},
    };
    for (const Item &i : items) {
        if (QLatin1String(i.caption) == QLatin1String("-")) {
            menu->addSeparator();
            continue;
        }
        QAction *a = menu->addAction(QString::fromLatin1(i.caption));
        a->setShortcut(QKeySequence(QString::fromLatin1(i.shortcut)));
        a->setData(i.tag);
        a->setEnabled(i.enabled);
        a->setCheckable(i.checked);
        a->setChecked(i.checked);
    }
    return menu;
}

// The favourites menu: the entries of the favourites file, then the fixed items.
inline widgets::TKpPopupMenu *FavouritesStyleMenu(QWidget *parent, const QStringList &entries)
{
    using namespace widgets;
    auto *menu = new TKpPopupMenu(parent);
    menu->SetStyle(TKpMenuStyle::msOwnerDraw);
    menu->SetLeftMargin(16);
    menu->SetShowCheckMarks(false);
    menu->OnDrawMargin = [menu](QObject *, QRect r) { PaintEditorMargin(menu, r); };
    for (const QString &e : entries) {
        if (e == QLatin1String("-"))
            menu->addSeparator();
        else
            menu->addAction(e)->setStatusTip(e);
    }
    menu->addSeparator();
    menu->addAction(QStringLiteral("&Edit favourites..."));
    menu->addAction(QStringLiteral("&Add to favourites"));
    return menu;
}

} // namespace kelpa::test
