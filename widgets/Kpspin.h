#pragma once
// A numeric edit field with a small up/down button on its right edge: the diagonal button
// (one square split by its bottom-left-to-top-right diagonal, painted from three prepared
// faces, repeating while held) or the standard up/down arrows.
#include "widgets/Graphics.h"
#include "widgets/Kpspinbutton.h"
#include "widgets/Kptimer.h"
#include "widgets/Kpupdown.h"

#include <QLineEdit>
#include <QWidget>
#include <cstdint>

namespace kelpa::widgets {

enum TSpinButtonKind { bkStandard, bkDiagonal };
enum TValueType { vtInt, vtFloat, vtHex };

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
