#include "history/QConvertedDlg.h"
#include "ui_QConvertedDlg.h"

#include "history/AskMessageDlg.h"
#include "history/ConvertedItem.h"
#include "settings/ParserXML.h"
#include "base/AppPaths.h"
#include "widgets/StyleScrollBar.h"
#include "widgets/Theme.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

namespace {

QConvertedDlg::Asker &asker()
{
    static QConvertedDlg::Asker a;
    return a;
}

// Removes a file the user asked to delete; a failure leaves it in place.
void deleteFromDisk(const QString &path)
{
    if (QFileInfo::exists(path) && !QFile::remove(path))
        qDebug() << "QConvertedDlg: could not delete" << path;
}

} // namespace

QConvertedDlg::QConvertedDlg(QWidget *parent)
    : QNinePointsImageDialog(parent)
    , ui(new Ui::QConvertedDlg)
{
    ui->setupUi(this);
    setBackgroundImage(AppPaths::dataPath("/image/Common_bg/bg_1.png"), true);
    setModal(true);
    setWindowTitle(tr("Converted"));

    QFont titleFont = Theme::font(14, true);
    ui->m_labTitle->setText(tr("Converted"));
    ui->m_labTitle->setFont(titleFont);
    ui->m_labTitle->setStyleSheet("color: white;");
    ui->m_labTitle->move(20, 8);
    ui->m_labNothing->setText(tr("Nothing here yet!"));
    QFont font = Theme::font(14);
    ui->m_labNothing->setFont(font);
    ui->m_labNothing->setStyleSheet(Theme::sheet("color: @muted;"));

    ui->m_btnClose->loadImage(AppPaths::dataPath("/image/btn_close.png"));
    ui->m_btnClose->move(width() - ui->m_btnClose->width() - 10, 8);
    QFont buttonFont = Theme::font(12);
    for (QTextImageButton *b : {ui->m_btnDelete, ui->m_btnCancel}) {
        b->setImage(AppPaths::dataPath("/image/Common_bg/btn_common1.png"), b->text());
        b->setFont(buttonFont);
        b->setTextColor(Qt::white);
    }
    ui->m_btnDelete->setText(tr("Delete All"));
    ui->m_btnCancel->setText(tr("Cancel"));
    ui->m_btnCancel->move(width() - ui->m_btnCancel->width() - 20, height() - ui->m_btnCancel->height() - 16);
    ui->m_btnDelete->move(ui->m_btnCancel->x() - ui->m_btnDelete->width() - 10, ui->m_btnCancel->y());
    const int listTop = 40, listBottom = ui->m_btnCancel->y() - 12;
    ui->m_scrollArea->setGeometry(20, listTop, width() - 40, listBottom - listTop);
    ui->m_labNothing->setGeometry(ui->m_scrollArea->geometry());
    ui->m_scrollArea->setStyleSheet("QScrollArea, #m_scrollContents { background: rgb(50, 51, 51); }");

    auto *bar = new StyleScrollBar(ui->m_scrollArea);
    bar->setArrowImages(AppPaths::dataPath("/image/ScrollBar/btn_up2.png"),
                        AppPaths::dataPath("/image/ScrollBar/btn_up.png"),
                        AppPaths::dataPath("/image/ScrollBar/btn_down2.png"),
                        AppPaths::dataPath("/image/ScrollBar/btn_down.png"));
    ui->m_scrollArea->setVerticalScrollBar(bar);

    connect(ui->m_btnDelete, &QPushButton::clicked, this, &QConvertedDlg::OnBtnAllDelete);
    connect(ui->m_btnCancel, &QPushButton::clicked, this, &QDialog::close);
    connect(ui->m_btnClose, &QPushButton::clicked, this, &QDialog::close);

    loadList();
}

QConvertedDlg::~QConvertedDlg()
{
    delete ui;
}

void QConvertedDlg::setAsker(Asker a)
{
    asker() = std::move(a);
}

int QConvertedDlg::ask(const QString &question)
{
    if (asker())
        return asker()(question);
    AskMessageDlg dlg;
    dlg.setMessage(question);
    return dlg.exec();
}

void QConvertedDlg::loadList()
{
    // The history is read once; each row gets its own entry.
    const QList<ConvertedFileInfo> records = ParserXML::readConvertedFiles();
    for (const ConvertedFileInfo &record : records) {
        auto *row = new ConvertedItem(ui->m_scrollContents);
        row->setRecord(record);
        connect(row, &ConvertedItem::emitMousePress, this, &QConvertedDlg::respondMouseState);
        connect(row, &ConvertedItem::emitDelete, this, &QConvertedDlg::respondDelete);
        ui->m_listLayout->addWidget(row);
        m_rows.append(row);
    }
    updateEmptyState();
}

void QConvertedDlg::updateEmptyState()
{
    ui->m_scrollArea->setVisible(!m_rows.isEmpty());
    ui->m_labNothing->setVisible(m_rows.isEmpty());
}

void QConvertedDlg::respondMouseState()
{
    auto *row = qobject_cast<ConvertedItem *>(sender());
    if (!row)
        return;
    if (m_current && m_current != row)
        m_current->setSelected(false);
    m_current = row;
}

void QConvertedDlg::removeRow(ConvertedItem *row)
{
    ui->m_listLayout->removeWidget(row);
    m_rows.removeAll(row);
    if (m_current == row)
        m_current = nullptr;
    row->hide();
    row->deleteLater();
}

void QConvertedDlg::respondDelete()
{
    auto *row = qobject_cast<ConvertedItem *>(sender());
    if (!row || !m_rows.contains(row))
        return;
    const int answer = ask(tr("Do you want to delete the seleted files or just move the \nfiles from the list?"));
    if (answer == AskMessageDlg::Cancelled)
        return;
    const QString path = row->path();
    if (answer == AskMessageDlg::DeleteFiles)
        deleteFromDisk(path);
    ParserXML::removeConvertedFiles({path});
    removeRow(row);
    updateEmptyState();
}

void QConvertedDlg::OnBtnAllDelete()
{
    if (m_rows.isEmpty())
        return;
    const int answer = ask(tr("Do you want to delete the all files or just move the \nfiles from the list?"));
    if (answer == AskMessageDlg::Cancelled)
        return;
    QStringList paths;
    for (ConvertedItem *row : std::as_const(m_rows))
        paths << row->path();
    if (answer == AskMessageDlg::DeleteFiles)
        for (const QString &path : std::as_const(paths))
            deleteFromDisk(path);
    ParserXML::removeConvertedFiles(paths);
    const auto rows = m_rows;
    for (ConvertedItem *row : rows)
        removeRow(row);
    m_current = nullptr;
    updateEmptyState();
}
