#pragma once
// The standard spin button: up and down arrows drawn by the style.
#include "widgets/Kptimer.h"

#include <QWidget>
#include <functional>
#include <memory>

class QStyleOptionSpinBox;

namespace kelpa::widgets {

enum TUDBtnType { btNext, btPrev };

// The standard kind: up and down arrows drawn by the style, repeating while held.
class TKpUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TKpUpDown(QWidget *parent = nullptr);
    ~TKpUpDown() override;

    int Min() const { return FMin; }
    int Max() const { return FMax; }
    int Position() const { return FPosition; }
    void SetPosition(int position);

    std::function<void(QObject *sender, TUDBtnType button)> OnClick;

    // The control's scroll notification: with SB_THUMBPOSITION a position above 0 clicks the
    // up button, below 0 the down button, and the position goes back to 0.
    static constexpr int SB_THUMBPOSITION = 4;
    void ScrollNotification(int code, int position);
    TKpTimer *RepeatTimer() const { return FRepeatTimer.get(); }
    // The arrow under a point: 1 up, -1 down, 0 none.
    int ArrowAt(const QPoint &p) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void initOption(QStyleOptionSpinBox &option) const;
    void Step();

    bool FChanging = false;
    int FMin = -1;
    int FMax = 1;
    int FPosition = 0;
    int FPressed = 0;   // arrow held: 1 up, -1 down
    std::unique_ptr<TKpTimer> FRepeatTimer;
};

// SM_CXVSCROLL of the style, at most 15.
int DefaultButtonWidth();

} // namespace kelpa::widgets
