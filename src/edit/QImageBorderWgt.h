#pragma once
// The frame laid over the output preview (placeholder until it is built).

#include <QWidget>

class QImageBorderWgt : public QWidget
{
    Q_OBJECT
public:
    explicit QImageBorderWgt(QWidget *parent = nullptr) : QWidget(parent) {}

};
