#pragma once
// A triangular button pointing up, right, left or down. Only the triangle takes a press; a
// press inside it and a release anywhere inside the square clicks.
#include <QColor>
#include <QPolygon>
#include <QRegion>
#include <QWidget>

namespace kelpa::preview {

enum class TButtonDirection : unsigned char { arwUP = 0, arwRIGHT = 1, arwLEFT = 2, arwDOWN = 3 };

class TArrowButton : public QWidget {
    Q_OBJECT
public:
    explicit TArrowButton(QWidget *parent = nullptr);

    TButtonDirection Direction() const { return direction_; }
    void SetDirection(TButtonDirection value);
    QColor ButtonColor() const { return color_; }
    void SetButtonColor(const QColor &value);
    bool isPressed() const { return pressed_; }
    // The triangle of the last paint (empty before the first paint: no press is taken).
    const QRegion &ArrowRegion() const { return region_; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    // The edge over the inner corners: raised or pressed.
    virtual void MoveButton(QPainter &painter);

private:
    TButtonDirection direction_ = TButtonDirection::arwUP;
    QColor color_ = QColor(0, 128, 128); // teal
    bool pressed_ = false;
    QPolygon points_;
    QRegion region_;
};

} // namespace kelpa::preview
