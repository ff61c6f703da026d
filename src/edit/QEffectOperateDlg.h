#pragma once
// The Effect page of the edit dialog (placeholder until the page is built).

#include <QWidget>

class QEffectOperateDlg : public QWidget
{
    Q_OBJECT
public:
    explicit QEffectOperateDlg(QWidget *parent = nullptr) : QWidget(parent) {}

};
