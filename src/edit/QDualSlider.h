#pragma once
// The two-handled trim slider (placeholder until it is built).

#include <QWidget>

class QDualSlider : public QWidget
{
    Q_OBJECT
public:
    explicit QDualSlider(QWidget *parent = nullptr) : QWidget(parent) {}

signals:
    void sendProgressValue(double fraction);
    void sendEndProgressValue(double fraction);
};
