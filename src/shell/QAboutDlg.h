#pragma once
// The About box: product name, version, legal notice and the product page.

#include "widgets/QNinePointsImageDialog.h"

namespace Ui { class QAboutDlg; }

class QAboutDlg : public QNinePointsImageDialog
{
    Q_OBJECT
public:
    explicit QAboutDlg(QWidget *parent = nullptr);
    ~QAboutDlg() override;

    // The product web page opened by the link, Home and Help.
    static QString productPage();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Ui::QAboutDlg *ui;
};
