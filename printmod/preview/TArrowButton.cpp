#include "printmod/preview/TArrowButton.h"

#include <QMouseEvent>
#include <QPainter>

namespace kelpa::preview {

TArrowButton::TArrowButton(QWidget *parent) : QWidget(parent)
{
    resize(33, 33);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TArrowButton::SetDirection(TButtonDirection value)
{
    if (value == direction_)
        return;
    direction_ = value;
    update();
}

void TArrowButton::SetButtonColor(const QColor &value)
{
    if (value == color_)
        return;
    color_ = value;
    update();
}

void TArrowButton::paintEvent(QPaintEvent *)
{
    const int w = width(), h = height();
    QPoint p0, p1, p2;
    switch (direction_) {
    case TButtonDirection::arwUP: p0 = {w / 2, 3}; p1 = {w - 3, h - 3}; p2 = {3, h - 3}; break;
    case TButtonDirection::arwRIGHT: p0 = {3, 3}; p1 = {w - 3, h / 2}; p2 = {3, h - 3}; break;
    case TButtonDirection::arwDOWN: p0 = {w - 3, 3}; p1 = {w / 2, h - 3}; p2 = {3, 3}; break;
    case TButtonDirection::arwLEFT: p0 = {w - 3, 3}; p1 = {w - 3, h - 3}; p2 = {3, h / 2}; break;
    }
    region_ = QRegion(QPolygon({p0, p1, p2}), Qt::OddEvenFill);
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolygon(QPolygon({p0, p1, p2}));
    // The inner corners, where the fill and the edge go.
    switch (direction_) {
    case TButtonDirection::arwUP: p0 += {0, 3}; p1 += {-4, -2}; p2 += {3, -2}; break;
    case TButtonDirection::arwRIGHT: p0 += {2, 3}; p1 += {-3, 0}; p2 += {2, -3}; break;
    case TButtonDirection::arwDOWN: p0 += {-3, 2}; p1 += {0, -3}; p2 += {2, 2}; break;
    case TButtonDirection::arwLEFT: p0 += {-2, 3}; p1 += {-2, -2}; p2 += {3, 0}; break;
    }
    points_ = QPolygon({p0, p1, p2});
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(color_);
    painter.drawPolygon(points_);
    MoveButton(painter);
}

void TArrowButton::MoveButton(QPainter &painter)
{
    if (points_.size() != 3)
        return;
    const QPoint p0 = points_[0], p1 = points_[1], p2 = points_[2];
    if (!pressed_) {
        painter.setPen(QPen(Qt::black, 1));
        painter.drawLine(p0, p1);
        painter.drawLine(p1, p2);
        painter.setPen(QPen(Qt::white, 1));
        painter.drawLine(p0, p2);
    } else {
        painter.setPen(QPen(Qt::black, 1));
        painter.drawLine(p0, p2);
        painter.setPen(QPen(color_, 1));
        painter.drawLine(p0, p1);
        painter.drawLine(p1, p2);
    }
}

void TArrowButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !region_.contains(event->position().toPoint())) {
        event->ignore();
        return;
    }
    pressed_ = true;
    update();
}

void TArrowButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !pressed_) {
        event->ignore();
        return;
    }
    pressed_ = false;
    update();
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}

} // namespace kelpa::preview
