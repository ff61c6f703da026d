#pragma once
// The Adjust page of the edit dialog (placeholder until the page is built).

#include <QWidget>

class QAdjustOperateDlg : public QWidget
{
    Q_OBJECT
public:
    explicit QAdjustOperateDlg(QWidget *parent = nullptr) : QWidget(parent) {}

};
