#pragma once
// The ruler of rich pages: a scale in points (4/3 pixels each) with three indent markers that
// the user drags; the window places them and sets the paragraph when one is dropped.
#include <QWidget>

namespace kelpa::editor {

class TRulerMarker : public QWidget {
    Q_OBJECT
public:
    enum class Shape { FirstLine, Left, Right };
    TRulerMarker(Shape shape, QWidget *parent);
    Shape shape() const { return shape_; }

signals:
    // x relative to the marker's left edge.
    void pressed(int x);
    void moved(int x);
    void released(int x);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    Shape shape_;
};

class TRuler : public QWidget {
    Q_OBJECT
public:
    explicit TRuler(QWidget *parent = nullptr);
    QSize sizeHint() const override;

    TRulerMarker *FirstInd = nullptr;
    TRulerMarker *LeftInd = nullptr;
    TRulerMarker *RightInd = nullptr;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace kelpa::editor
