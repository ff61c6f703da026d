#pragma once
// Scroll bar of the same look as StyleScrollBar (plain arrow areas), with
// slots that step it one line up or down, for up and down buttons placed
// beside it.

#include <QScrollBar>

class ScrollBar : public QScrollBar
{
    Q_OBJECT
public:
    explicit ScrollBar(QWidget *parent = nullptr);

public slots:
    void UP();
    void DOWN();
};
