#include "editor/TRuler.h"

#include "editor/RulerGeometry.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace kelpa::editor {

namespace {

constexpr int kRulerHeight = 19;

} // namespace

TRulerMarker::TRulerMarker(Shape shape, QWidget *parent) : QWidget(parent), shape_(shape)
{
    setFixedSize(kMarkerWidth, shape == Shape::FirstLine ? 8 : 8);
    setCursor(Qt::SizeHorCursor);
}

void TRulerMarker::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    const qreal w = width();
    const qreal h = height();
    if (shape_ == Shape::FirstLine) {
        // Points down from the top edge.
        path.moveTo(0.5, 0.5);
        path.lineTo(w - 0.5, 0.5);
        path.lineTo(w / 2, h - 0.5);
    } else {
        // Points up from the bottom edge.
        path.moveTo(w / 2, 0.5);
        path.lineTo(w - 0.5, h - 0.5);
        path.lineTo(0.5, h - 0.5);
    }
    path.closeSubpath();
    const QColor fill = isEnabled() ? palette().color(QPalette::Button) : palette().color(QPalette::Window);
    p.fillPath(path, fill);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawPath(path);
}

void TRulerMarker::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit pressed(event->position().toPoint().x());
}

void TRulerMarker::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        emit moved(event->position().toPoint().x());
}

void TRulerMarker::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit released(event->position().toPoint().x());
}

TRuler::TRuler(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Ruler"));
    setFixedHeight(kRulerHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    FirstInd = new TRulerMarker(TRulerMarker::Shape::FirstLine, this);
    FirstInd->setObjectName(QStringLiteral("FirstInd"));
    FirstInd->setToolTip(QStringLiteral("First line indent"));
    FirstInd->move(-2, 0);
    LeftInd = new TRulerMarker(TRulerMarker::Shape::Left, this);
    LeftInd->setObjectName(QStringLiteral("LeftInd"));
    LeftInd->setToolTip(QStringLiteral("Left indent"));
    LeftInd->move(-2, kRulerHeight - LeftInd->height());
    RightInd = new TRulerMarker(TRulerMarker::Shape::Right, this);
    RightInd->setObjectName(QStringLiteral("RightInd"));
    RightInd->setToolTip(QStringLiteral("Right indent"));
    RightInd->move(500, kRulerHeight - RightInd->height());
}

QSize TRuler::sizeHint() const { return {400, kRulerHeight}; }

void TRuler::paintEvent(QPaintEvent *)
{
    // The scale: a white band with a tick every 9 points (1/8 inch) and the inches numbered.
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    const QRect band(0, 4, width(), height() - 8);
    p.fillRect(band, palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Base));
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    QFont small = font();
    small.setPixelSize(8);
    p.setFont(small);
    for (int step = 1;; ++step) {
        const int x = static_cast<int>(step * 9 * kRulerScale) + 2;
        if (x >= width())
            break;
        if (step % 8 == 0)
            p.drawText(QRect(x - 8, band.top(), 16, band.height()), Qt::AlignCenter, QString::number(step / 8));
        else if (step % 4 == 0)
            p.drawLine(x, band.top() + 2, x, band.bottom() - 2);
        else
            p.drawLine(x, band.center().y() - 1, x, band.center().y() + 1);
    }
}

} // namespace kelpa::editor
