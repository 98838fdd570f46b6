#pragma once
// A numeric edit field with a small up/down button on its right edge: the diagonal button
// (one square split by its bottom-left-to-top-right diagonal, painted from three prepared
// faces, repeating while held) or the standard up/down arrows.
#include "widgets/Graphics.h"

#include <QLineEdit>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QStyleOptionSpinBox;

namespace kelpa::widgets {

enum TSpinButtonState { sbNotDown, sbTopDown, sbBottomDown };
enum TSpinButtonKind { bkStandard, bkDiagonal };
enum TValueType { vtInt, vtFloat, vtHex };
enum TUDBtnType { btNext, btPrev };

using TNotifyEvent = std::function<void(QObject *sender)>;

// The repeat timer of the buttons. Setting the interval starts the count again, as the class
// library's timer does. Tests install a factory that hands out timers driven by a fake clock.
class TKpTimer {
public:
    virtual ~TKpTimer() = default;
    virtual void SetInterval(int msecs) = 0;
    virtual int Interval() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    std::function<void()> OnTimer;
};
using TKpTimerFactory = std::function<std::unique_ptr<TKpTimer>()>;
// Installs the factory (an empty one restores the real timer); returns the previous one.
TKpTimerFactory SetKpTimerFactory(TKpTimerFactory factory);
std::unique_ptr<TKpTimer> CreateKpTimer();

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

class TKpSpinEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TKpSpinEdit(QWidget *parent = nullptr);
    ~TKpSpinEdit() override;

    // ---- properties
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    bool ArrowKeys() const { return FArrowKeys; }
    void SetArrowKeys(bool value);
    TSpinButtonKind GetButtonKind() const;
    void SetButtonKind(TSpinButtonKind value);
    std::uint8_t Decimal() const { return FDecimal; }
    void SetDecimal(std::uint8_t value);
    bool EditorEnabled() const { return FEditorEnabled; }
    void SetEditorEnabled(bool value) { FEditorEnabled = value; }
    long double Increment() const { return FIncrement; }
    void SetIncrement(long double value) { FIncrement = value; }
    long double MaxValue() const { return FMaxValue; }
    void SetMaxValue(long double value) { FMaxValue = value; }
    long double MinValue() const { return FMinValue; }
    void SetMinValue(long double value) { FMinValue = value; }
    TValueType ValueType() const { return FValueType; }
    void SetValueType(TValueType value);
    long double GetValue() const;
    void SetValue(long double value);
    long double CheckValue(long double value) const;
    int GetAsInteger() const;
    void SetAsInteger(int value);
    bool AutoSelect() const { return FAutoSelect; }
    void SetAutoSelect(bool value) { FAutoSelect = value; }

    // The stored-default rules.
    bool IsIncrementStored() const { return FIncrement != 1.0L; }
    bool IsMaxStored() const { return FMaxValue != 0.0L; }
    bool IsMinStored() const { return FMinValue != 0.0L; }
    bool IsValueStored() const { return GetValue() != 0.0L; }

    TNotifyEvent OnTopClick;
    TNotifyEvent OnBottomClick;
    TNotifyEvent OnChange;

    // ---- operations
    virtual bool IsValidChar(QChar key) const;
    virtual void UpClick(QObject *sender);
    virtual void DownClick(QObject *sender);
    void UpDownClick(QObject *sender, TUDBtnType button);
    int GetButtonWidth() const;
    int GetMinHeight() const;
    void GetTextHeight(int &sysHeight, int &height) const;
    // The paste and cut requests: carried out only while the editor is enabled and writable.
    void Paste();
    void Cut();

    TKpSpinButton *Button() const { return FButton; }
    QWidget *ButtonWindow() const { return FBtnWindow; }
    TKpUpDown *UpDown() const { return FUpDown; }

protected:
    void Change();
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    bool EditingAllowed() const;
    void RecreateButton();
    void ResizeButton();
    void SetEditRect();
    void Step(long double delta, const TNotifyEvent &event);

    TAlignment FAlignment = taLeftJustify;
    long double FMinValue = 0;
    long double FMaxValue = 0;
    long double FIncrement = 1.0L;
    std::uint8_t FDecimal = 2;
    bool FChanging = false;
    bool FEditorEnabled = true;
    TValueType FValueType = vtInt;
    TKpSpinButton *FButton = nullptr;
    QWidget *FBtnWindow = nullptr;
    bool FArrowKeys = true;
    TSpinButtonKind FButtonKind = bkDiagonal;
    TKpUpDown *FUpDown = nullptr;
    bool FAutoSelect = true;
    bool FDestroying = false;
};

} // namespace kelpa::widgets
