#pragma once
// The Trim page of the edit dialog (placeholder until the page is built).

#include <QWidget>

class QTrimOperatedlgDlg : public QWidget
{
    Q_OBJECT
public:
    explicit QTrimOperatedlgDlg(QWidget *parent = nullptr) : QWidget(parent) {}

signals:
    void OnPreviousBtn();
    void OnNextBtn();
    void OnPlayBtn();
    void OnTrimBtn();
    void OnResetTrim();
};
