#include "widgets/Kpupdown.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <algorithm>

namespace kelpa::widgets {

// ---- Standard up/down ------------------------------------------------------------------------------

int DefaultButtonWidth()
{
    return std::min(15, QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

TKpUpDown::TKpUpDown(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    FMin = -1;
    FMax = 1;
    FPosition = 0;
}

TKpUpDown::~TKpUpDown()
{
    OnClick = nullptr;
}

void TKpUpDown::SetPosition(int position)
{
    FPosition = std::clamp(position, FMin, FMax);
}

void TKpUpDown::ScrollNotification(int code, int position)
{
    if (code != SB_THUMBPOSITION || FChanging)
        return;
    FChanging = true;
    try {
        if (position > 0 && OnClick)
            OnClick(this, btNext);
        else if (position < 0 && OnClick)
            OnClick(this, btPrev);
        FPosition = 0;
    } catch (...) {
        FChanging = false;
        throw;
    }
    FChanging = false;
}

int TKpUpDown::ArrowAt(const QPoint &p) const
{
    if (!rect().contains(p))
        return 0;
    return p.y() < height() / 2 ? 1 : -1;
}

void TKpUpDown::Step()
{
    SetPosition(FPosition + FPressed);
    ScrollNotification(SB_THUMBPOSITION, FPosition);
}

void TKpUpDown::initOption(QStyleOptionSpinBox &option) const
{
    option.initFrom(this);
    option.frame = false;
    option.buttonSymbols = QAbstractSpinBox::UpDownArrows;
    option.stepEnabled = isEnabled() ? (QAbstractSpinBox::StepUpEnabled |
                                        QAbstractSpinBox::StepDownEnabled)
                                     : QAbstractSpinBox::StepNone;
}

void TKpUpDown::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const int half = height() / 2;
    const QRect halves[2] = {QRect(0, 0, width(), half), QRect(0, half, width(), height() - half)};
    for (int i = 0; i < 2; ++i) {
        const bool pressed = FPressed == (i == 0 ? 1 : -1);
        QStyleOptionButton bevel;
        bevel.initFrom(this);
        bevel.rect = halves[i];
        bevel.state |= pressed ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &bevel, &p, this);
        QStyleOptionSpinBox arrow;
        initOption(arrow);
        arrow.rect = halves[i].adjusted(1, 1, -1, -1);
        if (pressed)
            arrow.state |= QStyle::State_Sunken;
        style()->drawPrimitive(i == 0 ? QStyle::PE_IndicatorSpinUp : QStyle::PE_IndicatorSpinDown,
                               &arrow, &p, this);
    }
}

void TKpUpDown::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (width() != DefaultButtonWidth())
        resize(DefaultButtonWidth(), height());
}

void TKpUpDown::mousePressEvent(QMouseEvent *event)
{
    QWidget::mousePressEvent(event);
    event->accept();   // the field under the button never sees it
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    FPressed = ArrowAt(event->position().toPoint());
    if (FPressed == 0)
        return;
    update();
    if (!FRepeatTimer)
        FRepeatTimer = CreateKpTimer();
    FRepeatTimer->OnTimer = [this] {
        FRepeatTimer->SetInterval(style()->styleHint(QStyle::SH_SpinBox_ClickAutoRepeatRate));
        if (FPressed != 0)
            Step();
    };
    FRepeatTimer->SetInterval(style()->styleHint(QStyle::SH_SpinBox_ClickAutoRepeatThreshold));
    FRepeatTimer->SetEnabled(true);
    Step();
}

void TKpUpDown::mouseMoveEvent(QMouseEvent *event)
{
    QWidget::mouseMoveEvent(event);
    event->accept();
}

void TKpUpDown::mouseReleaseEvent(QMouseEvent *event)
{
    QWidget::mouseReleaseEvent(event);
    event->accept();   // the field under the button never sees it
    if (event->button() != Qt::LeftButton)
        return;
    FPressed = 0;
    if (FRepeatTimer)
        FRepeatTimer->SetEnabled(false);
    update();
}
} // namespace kelpa::widgets
