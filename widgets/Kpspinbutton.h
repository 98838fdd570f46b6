#pragma once
// The diagonal spin button: one square split by its bottom-left-to-top-right diagonal, painted
// from three prepared faces, repeating while held.
#include "widgets/Graphics.h"
#include "widgets/Kptimer.h"

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

namespace kelpa::widgets {

enum TSpinButtonState { sbNotDown, sbTopDown, sbBottomDown };

using TNotifyEvent = std::function<void(QObject *sender)>;

// The 6 x 6 glyphs of the diagonal button (black on white; white is transparent).
TBitmap DefaultUpGlyph();
TBitmap DefaultDownGlyph();

class TKpSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit TKpSpinButton(QWidget *parent = nullptr);
    ~TKpSpinButton() override;

    TSpinButtonState Down() const { return FDown; }
    void SetDown(TSpinButtonState state);
    QWidget *FocusControl() const { return FFocusControl; }
    void SetFocusControl(QWidget *control);
    const TBitmap &UpGlyph() const { return FUpBitmap; }
    const TBitmap &DownGlyph() const { return FDownBitmap; }
    // Null puts the default glyph back; anything else is copied.
    void SetUpGlyph(const TBitmap *glyph);
    void SetDownGlyph(const TBitmap *glyph);

    TNotifyEvent OnTopClick;
    TNotifyEvent OnBottomClick;

    // The prepared face of a state (drawn when stale, at the button's size).
    const QImage &Face(TSpinButtonState state);
    // Renders one face into an image of the button's size.
    QImage DrawBitmap(TSpinButtonState state) const;
    TKpTimer *RepeatTimer() const { return FRepeatTimer.get(); }
    bool Dragging() const { return FDragging; }
    // True when (x, y) lies in the bottom half.
    bool InBottomHalf(double x, double y) const;

    void TopClick();
    void BottomClick();
    void TimerExpired();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void GlyphChanged();
    void DrawAllBitmap();
    bool Inside(const QPoint &p) const;

    TSpinButtonState FDown = sbNotDown;
    TBitmap FUpBitmap;
    TBitmap FDownBitmap;
    bool FDragging = false;
    bool FInvalidate = true;
    QImage FTopDownBtn;
    QImage FBottomDownBtn;
    std::unique_ptr<TKpTimer> FRepeatTimer;
    QImage FNotDownBtn;
    TSpinButtonState FLastDown = sbNotDown;
    QPointer<QWidget> FFocusControl;
    bool FCaptured = false;   // the left button went down here and is still held
};

} // namespace kelpa::widgets
