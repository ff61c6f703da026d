#include "shell/QAboutDlg.h"
#include "ui_QAboutDlg.h"

#include "base/AppPaths.h"
#include "widgets/Theme.h"

#include <QPainter>

QString QAboutDlg::productPage()
{
    return QStringLiteral("https://velmora.example.com/");
}

QAboutDlg::QAboutDlg(QWidget *parent)
    : QNinePointsImageDialog(parent)
    , ui(new Ui::QAboutDlg)
{
    ui->setupUi(this);
    setWindowTitle(tr("About"));
    setBackgroundImage(AppPaths::dataPath("/image/Common_bg/bg_2.png"), true);
    ui->m_btnClose->loadImage(AppPaths::dataPath("/image/btn_close.png"));
    ui->m_btnClose->move(width() - ui->m_btnClose->width() - 10, 8);
    ui->m_labLogo->setPixmap(QPixmap(AppPaths::dataPath("/image/Common_bg/dlg_logo.png")));
    ui->m_labLogo->adjustSize();

    QFont big = Theme::font(16, true);
    QFont normal = Theme::font(12);
    const QString white = "color: rgb(255, 255, 255);";
    const QString grey = Theme::sheet("color: @muted;");

    ui->m_labProject->setText(tr("Velmora Video Converter"));
    ui->m_labProject->setFont(big);
    ui->m_labProject->setStyleSheet(white);
    ui->m_labVersion->setText(QString("%1 %2").arg(tr("Version"), QStringLiteral("1.0.0")));
    ui->m_labProjectVersion->setText(QStringLiteral("1.0.0"));
    ui->m_labProjectVersion->hide();
    ui->m_labCopyright->setText(tr("Copyright (C) 2026 Velmora. All rights reserved.\n"
                                   "This program is built on Qt and FFmpeg."));
    ui->m_labCopyright->setWordWrap(true);
    ui->m_labVisit->setText(tr("Visit:"));
    ui->m_labHome->setText(QString("<a style=\"color: rgb(37,160,200);\" href=\"%1\">%1</a>")
                               .arg(productPage().toHtmlEscaped()));
    ui->m_labHome->setTextFormat(Qt::RichText);
    ui->m_labHome->setOpenExternalLinks(true);
    for (QLabel *l : {ui->m_labVersion, ui->m_labCopyright, ui->m_labVisit, ui->m_labHome}) {
        l->setFont(normal);
        l->setStyleSheet(grey);
    }
    connect(ui->m_btnClose, &QPushButton::clicked, this, &QDialog::close);
}

QAboutDlg::~QAboutDlg()
{
    delete ui;
}

void QAboutDlg::paintEvent(QPaintEvent *event)
{
    QNinePointsImageDialog::paintEvent(event);
}
