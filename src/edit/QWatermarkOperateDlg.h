#pragma once
// The Watermark page of the edit dialog (placeholder until the page is built).

#include <QWidget>

class QWatermarkOperateDlg : public QWidget
{
    Q_OBJECT
public:
    explicit QWatermarkOperateDlg(QWidget *parent = nullptr) : QWidget(parent) {}

};
