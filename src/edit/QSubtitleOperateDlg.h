#pragma once
// The Subtitle page of the edit dialog (placeholder until the page is built).

#include <QWidget>

class QSubtitleOperateDlg : public QWidget
{
    Q_OBJECT
public:
    explicit QSubtitleOperateDlg(QWidget *parent = nullptr) : QWidget(parent) {}

};
