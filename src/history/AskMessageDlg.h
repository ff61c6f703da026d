#pragma once
// Asks how to remove entries from the converted list: from the list only
// ("Move files", result 1), from the disk too ("Delete files", result 2), or
// not at all ("Cancel" or the close button, result 0).

#include "widgets/QNinePointsImageDialog.h"

namespace Ui { class AskMessageDlg; }

class AskMessageDlg : public QNinePointsImageDialog
{
    Q_OBJECT
public:
    enum Answer { Cancelled = 0, MoveFiles = 1, DeleteFiles = 2 };

    explicit AskMessageDlg(QWidget *parent = nullptr);
    ~AskMessageDlg() override;

    void setMessage(const QString &text);
    QString message() const;

public slots:
    void OnBtnDeleted();

private:
    Ui::AskMessageDlg *ui;
};
