#pragma once
// Asks what the close button means: hide to the tray or exit. The caller reads
// the answer after exec(): accepted, isExit(), dontAskAgain().

#include "widgets/QNinePointsImageDialog.h"

namespace Ui { class QShowCloseDlg; }

class QShowCloseDlg : public QNinePointsImageDialog
{
    Q_OBJECT
public:
    explicit QShowCloseDlg(QWidget *parent = nullptr);
    ~QShowCloseDlg() override;

    bool isExit() const;        // "Exit" is checked
    bool dontAskAgain() const;  // "Don't show this window again" is checked

private:
    Ui::QShowCloseDlg *ui;
};
