#include "queue/QMainDlg.h"
#include "ui_QMainDlg.h"

#include "shell/AppPaths.h"

#include <QDebug>
#include <QPainter>
#include <QPixmap>

QMainDlg::QMainDlg(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::QMainDlg)
{
    ui->setupUi(this);
    ui->m_labDrag->setText(tr("Drag media files here to start"));
    QFont font("Tahoma");
    font.setPixelSize(14);
    ui->m_labDrag->setFont(font);
    ui->m_labDrag->setStyleSheet("color: rgb(172, 170, 171);");
    ui->m_listLayout->setSpacing(0);
    ui->scrollArea->hide(); // the list is empty
    setMouseTracking(true);
    setAutoFillBackground(false);
}

QMainDlg::~QMainDlg()
{
    delete ui;
}

void QMainDlg::openFiles()
{
    qDebug() << "QMainDlg::openFiles: adding files comes with the import worker";
}

void QMainDlg::convertAll()
{
    if (m_itemCount == 0)
        return;
}

void QMainDlg::mergeAll()
{
    convertAll();
}

void QMainDlg::stopConvert()
{
    emit emitIsStartConverter(false);
}

void QMainDlg::addDvdFolder(QString fileNames, bool bISO)
{
    qDebug() << "QMainDlg::addDvdFolder" << fileNames << bISO;
}

void QMainDlg::addDvdFolder(QString fileNames)
{
    addDvdFolder(fileNames, false);
}

void QMainDlg::addImportFile(QStringList fileNames)
{
    qDebug() << "QMainDlg::addImportFile" << fileNames;
}

void QMainDlg::OnLoadDvd()
{
    qDebug() << "QMainDlg::OnLoadDvd";
}

void QMainDlg::OnLoadISOFile()
{
    qDebug() << "QMainDlg::OnLoadISOFile";
}

void QMainDlg::layoutEmptyState()
{
    const QRect r = rect();
    ui->verticalLayoutWidget->setGeometry(r);
    const QPixmap pic(AppPaths::dataPath("/image/bg_noFile.png"));
    const int picBottom = r.height() / 2 - 20 + pic.height() / 2;
    ui->m_labDrag->adjustSize();
    const int w = qMax(ui->m_labDrag->width(), 330);
    ui->m_labDrag->setGeometry((r.width() - w) / 2, picBottom + 10, w, ui->m_labDrag->height());
}

void QMainDlg::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutEmptyState();
}

void QMainDlg::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(62, 63, 63));
    const QPixmap pic(AppPaths::dataPath("/image/bg_noFile.png"));
    if (!pic.isNull()) {
        const int x = (width() - pic.width()) / 2;
        const int y = height() / 2 - 20 - pic.height() / 2;
        painter.drawPixmap(x, y, pic);
    }
}
