#include "widgets/ScrollBar.h"

#include "widgets/StyleScrollBar.h"

ScrollBar::ScrollBar(QWidget *parent) : QScrollBar(Qt::Vertical, parent)
{
    setStyleSheet(StyleScrollBar::styleSheetFor(QString(), QString(), QString(), QString()));
}

void ScrollBar::UP()
{
    triggerAction(QAbstractSlider::SliderSingleStepSub);
}

void ScrollBar::DOWN()
{
    triggerAction(QAbstractSlider::SliderSingleStepAdd);
}
