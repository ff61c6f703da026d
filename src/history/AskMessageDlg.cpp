#include "history/AskMessageDlg.h"
#include "ui_AskMessageDlg.h"

#include "base/AppPaths.h"
#include "widgets/Theme.h"

AskMessageDlg::AskMessageDlg(QWidget *parent)
    : QNinePointsImageDialog(parent)
    , ui(new Ui::AskMessageDlg)
{
    ui->setupUi(this);
    setBackgroundImage(AppPaths::dataPath("/image/Common_bg/bg_2.png"), true);
    setModal(true);

    ui->m_btnClose->loadImage(AppPaths::dataPath("/image/btn_close.png"));
    ui->m_btnClose->move(width() - ui->m_btnClose->width() - 10, 8);

    QFont font = Theme::font(12);
    ui->m_labMsg->setFont(font);
    ui->m_labMsg->setStyleSheet("color: rgb(255, 255, 224);");
    ui->m_labMsg->setText(tr("Do you want to delete the seleted files or just move \nthe files from the list?"));

    const QString common = AppPaths::dataPath("/image/Common_bg/btn_common1.png");
    const struct { QTextImageButton *button; const char *text; } buttons[] = {
        {ui->m_btnMove, QT_TR_NOOP("Move files")},
        {ui->m_btnDelete, QT_TR_NOOP("Delete files")},
        {ui->m_btnCancel, QT_TR_NOOP("Cancel")},
    };
    int x = width() - 20;
    for (int i = 2; i >= 0; --i) {
        QTextImageButton *b = buttons[i].button;
        b->setImage(common, tr(buttons[i].text));
        b->setFont(font);
        b->setTextColor(Qt::white);
        x -= b->width();
        b->move(x, height() - b->height() - 20);
        x -= 10;
    }

    connect(ui->m_btnMove, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->m_btnDelete, &QPushButton::clicked, this, &AskMessageDlg::OnBtnDeleted);
    connect(ui->m_btnCancel, &QPushButton::clicked, this, &QDialog::close);
    connect(ui->m_btnClose, &QPushButton::clicked, this, &QDialog::close);
}

AskMessageDlg::~AskMessageDlg()
{
    delete ui;
}

void AskMessageDlg::setMessage(const QString &text)
{
    ui->m_labMsg->setText(text);
}

QString AskMessageDlg::message() const
{
    return ui->m_labMsg->text();
}

void AskMessageDlg::OnBtnDeleted()
{
    done(DeleteFiles);
}
