#include "editor/FlowLayout.h"

#include <QSpacerItem>
#include <QWidget>

#include <algorithm>

namespace kelpa::editor {

FlowLayout::FlowLayout(QWidget *parent) : QLayout(parent) {}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void FlowLayout::addSpacing(int width)
{
    addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum));
}

void FlowLayout::addItem(QLayoutItem *item) { items_.append(item); }
int FlowLayout::count() const { return int(items_.size()); }
QLayoutItem *FlowLayout::itemAt(int index) const { return items_.value(index); }

QLayoutItem *FlowLayout::takeAt(int index)
{
    if (index < 0 || index >= items_.size())
        return nullptr;
    return items_.takeAt(index);
}

Qt::Orientations FlowLayout::expandingDirections() const { return {}; }
bool FlowLayout::hasHeightForWidth() const { return true; }

int FlowLayout::heightForWidth(int width) const { return arrange(QRect(0, 0, width, 0), false); }

QSize FlowLayout::minimumSize() const
{
    // As narrow as the widest control: the others go onto rows of their own.
    QSize size;
    for (const QLayoutItem *item : items_)
        size = size.expandedTo(item->minimumSize().expandedTo(item->sizeHint()));
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

QSize FlowLayout::sizeHint() const
{
    int width = 0, height = 0;
    for (const QLayoutItem *item : items_) {
        width += item->sizeHint().width() + spacing();
        height = std::max(height, item->sizeHint().height());
    }
    const QMargins m = contentsMargins();
    return QSize(width + m.left() + m.right(), height + m.top() + m.bottom());
}

void FlowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int FlowLayout::arrange(const QRect &rect, bool move) const
{
    const QMargins m = contentsMargins();
    const QRect area = rect.marginsRemoved(m);
    const int gap = std::max(spacing(), 0);
    int x = area.x(), y = area.y(), rowHeight = 0;
    for (QLayoutItem *item : items_) {
        if (item->widget() && item->widget()->isHidden())
            continue;
        // Every control at its full size: one that does not fit starts the next row.
        const QSize size = item->sizeHint().expandedTo(item->minimumSize());
        if (x > area.x() && x + size.width() > area.right() + 1) {
            x = area.x();
            y += rowHeight + gap;
            rowHeight = 0;
        }
        if (move)
            item->setGeometry(QRect(QPoint(x, y), size));
        x += size.width() + gap;
        rowHeight = std::max(rowHeight, size.height());
    }
    return y + rowHeight - rect.y() + m.bottom();
}

} // namespace kelpa::editor
