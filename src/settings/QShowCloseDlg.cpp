#include "settings/QShowCloseDlg.h"
#include "ui_QShowCloseDlg.h"

#include "settings/PageStyle.h"
#include "settings/ParserXML.h"
#include "base/AppPaths.h"
#include "widgets/Theme.h"

#include <QLabel>
#include <QSystemTrayIcon>

QShowCloseDlg::QShowCloseDlg(QWidget *parent)
    : QNinePointsImageDialog(parent)
    , ui(new Ui::QShowCloseDlg)
{
    ui->setupUi(this);
    setBackgroundImage(AppPaths::dataPath("/image/Common_bg/bg_2.png"), true);
    setModal(true);

    ui->m_btnClose->loadImage(AppPaths::dataPath("/image/btn_close.png"));
    ui->m_btnClose->move(width() - ui->m_btnClose->width() - 10, 8);
    for (QTextImageButton *b : {ui->m_btnOk, ui->m_btnCancel}) {
        b->setImage(AppPaths::dataPath("/image/Common_bg/btn_common1.png"), b->text());
        b->setTextColor(Qt::white);
    }
    ui->m_btnOk->setText(tr("Ok"));
    ui->m_btnCancel->setText(tr("Cancel"));
    ui->m_btnCancel->move(width() - ui->m_btnCancel->width() - 20, height() - ui->m_btnCancel->height() - 20);
    ui->m_btnOk->move(ui->m_btnCancel->x() - ui->m_btnOk->width() - 11, ui->m_btnCancel->y());

    ui->m_radioMin->setText(tr("Minimize to Tray"));
    ui->m_radioClose->setText(tr("Exit"));
    ui->m_chkNote->setText(tr("Don't show this window again"));

    QFont font = Theme::font(12);
    const QString radio = PageStyle::radioButtons();
    const QString check = PageStyle::checkBoxes();
    for (QWidget *w : {static_cast<QWidget *>(ui->m_radioMin), static_cast<QWidget *>(ui->m_radioClose)}) {
        w->setFont(font);
        w->setStyleSheet(radio);
    }
    ui->m_chkNote->setFont(font);
    ui->m_chkNote->setStyleSheet(check);

    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        // Said where the choice is made: hidden with no tray to come back from
        // would lose the window, so the main window minimises it instead.
        const QString note = tr("This desktop has no system tray: the window is minimized instead.");
        ui->m_radioMin->setToolTip(note);
        auto *label = new QLabel(note, this);
        label->setObjectName("m_labNoTray");
        label->setFont(Theme::font(11));
        label->setStyleSheet(Theme::sheet("color: @muted;"));
        label->setWordWrap(true);
        const int left = ui->m_chkNote->x();
        label->setGeometry(left, ui->m_chkNote->geometry().bottom() + 8, width() - left - 20, 30);
    }

    const bool exit = ParserXML::readSetting("CLOSE_ITEM", "bIsCloseDlg", "Y") == "Y";
    ui->m_radioClose->setChecked(exit);
    ui->m_radioMin->setChecked(!exit);

    connect(ui->m_btnOk, &QPushButton::clicked, this, &QDialog::accept);
    ui->m_btnOk->setDefault(true);
    connect(ui->m_btnCancel, &QPushButton::clicked, this, &QDialog::close);
    connect(ui->m_btnClose, &QPushButton::clicked, this, &QDialog::close);
}

QShowCloseDlg::~QShowCloseDlg()
{
    delete ui;
}

bool QShowCloseDlg::isExit() const
{
    return ui->m_radioClose->isChecked();
}

bool QShowCloseDlg::dontAskAgain() const
{
    return ui->m_chkNote->isChecked();
}
