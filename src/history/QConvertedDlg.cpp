#include "history/QConvertedDlg.h"
#include "ui_QConvertedDlg.h"

#include "history/AskMessageDlg.h"
#include "history/ConvertedItem.h"
#include "settings/ParserXML.h"
#include "base/AppPaths.h"
#include "widgets/StyleScrollBar.h"
#include "widgets/Theme.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QSpacerItem>

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
    connect(bar, &QScrollBar::valueChanged, this, &QConvertedDlg::fillView);
    ui->m_scrollArea->viewport()->installEventFilter(this);
    m_above = new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    m_below = new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    const int listAt = ui->m_contentsLayout->indexOf(ui->m_listLayout);
    ui->m_contentsLayout->insertItem(listAt + 1, m_below);
    ui->m_contentsLayout->insertItem(listAt, m_above);

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

ConvertedItem *QConvertedDlg::currentRow() const
{
    for (auto it = m_shown.begin(); it != m_shown.end(); ++it)
        if (it.value() == m_current)
            return it.key();
    return nullptr;
}

QStringList QConvertedDlg::paths() const
{
    QStringList list;
    list.reserve(m_entries.size());
    for (const ConvertedFileInfo &entry : m_entries)
        list << entry.convertedPath;
    return list;
}

void QConvertedDlg::loadList()
{
    // The history is read once; rows are given their entries from it.
    m_entries = ParserXML::readConvertedFiles();
    fillView();
    updateEmptyState();
}

bool QConvertedDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->m_scrollArea->viewport() && event->type() == QEvent::Resize)
        fillView();
    return QNinePointsImageDialog::eventFilter(watched, event);
}

ConvertedItem *QConvertedDlg::takeSpareRow()
{
    if (!m_spare.isEmpty())
        return m_spare.takeLast();
    auto *row = new ConvertedItem(ui->m_scrollContents);
    connect(row, &ConvertedItem::emitMousePress, this, &QConvertedDlg::respondMouseState);
    connect(row, &ConvertedItem::emitDelete, this, &QConvertedDlg::respondDelete);
    return row;
}

void QConvertedDlg::fillView()
{
    const int count = int(m_entries.size());
    const int height = ConvertedItem::Height;
    // The viewport's own size is only set once the window is shown; the
    // area's is known from the start.
    const int top = ui->m_scrollArea->verticalScrollBar()->value();
    const int seen = ui->m_scrollArea->maximumViewportSize().height();
    const int first = count ? qBound(0, top / height, count - 1) : 0;
    const int last = count ? qMin(count - 1, (top + seen - 1) / height) : -1;

    // Rows that still show an entry in view keep it; the others take the
    // entries that came into view.
    QHash<int, ConvertedItem *> kept;
    QList<ConvertedItem *> freed;
    for (ConvertedItem *row : std::as_const(m_rows)) {
        const int index = m_shown.value(row, -1);
        if (index >= first && index <= last && !kept.contains(index))
            kept.insert(index, row);
        else
            freed << row;
    }
    QList<ConvertedItem *> rows;
    for (int index = first; index <= last; ++index) {
        ConvertedItem *row = kept.value(index);
        if (!row) {
            row = freed.isEmpty() ? takeSpareRow() : freed.takeLast();
            row->setRecord(m_entries.at(index));
            row->setSelected(index == m_current);
            m_shown.insert(row, index);
        }
        rows << row;
    }
    for (ConvertedItem *row : std::as_const(freed)) {
        ui->m_listLayout->removeWidget(row);
        row->hide();
        m_shown.remove(row);
        m_spare << row;
    }
    if (rows != m_rows) {
        for (ConvertedItem *row : std::as_const(m_rows))
            ui->m_listLayout->removeWidget(row);
        for (ConvertedItem *row : std::as_const(rows)) {
            ui->m_listLayout->addWidget(row);
            row->show();
        }
        m_rows = rows;
    }
    m_above->changeSize(0, first * height, QSizePolicy::Minimum, QSizePolicy::Fixed);
    m_below->changeSize(0, (count - 1 - last) * height, QSizePolicy::Minimum, QSizePolicy::Fixed);
    // Placed now, not on the next pass of the event loop: the rows must be
    // where the scrolled contents show them.
    ui->m_contentsLayout->invalidate();
    ui->m_contentsLayout->activate();
    if (count != m_laidOutCount) {
        // The list grew or shrank: the scroll range follows now, so that a
        // view past the new end never shows an empty band. A changed range
        // may move the view, which fills it again.
        m_laidOutCount = count;
        QEvent request(QEvent::LayoutRequest);
        QCoreApplication::sendEvent(ui->m_scrollArea, &request);
    }
}

void QConvertedDlg::updateEmptyState()
{
    ui->m_scrollArea->setVisible(!m_entries.isEmpty());
    ui->m_labNothing->setVisible(m_entries.isEmpty());
}

void QConvertedDlg::respondMouseState()
{
    auto *row = qobject_cast<ConvertedItem *>(sender());
    const int index = m_shown.value(row, -1);
    if (index < 0)
        return;
    if (m_current != index)
        if (ConvertedItem *previous = currentRow())
            previous->setSelected(false);
    m_current = index;
}

void QConvertedDlg::removeEntry(int index)
{
    m_entries.removeAt(index);
    if (m_current == index)
        m_current = -1;
    else if (m_current > index)
        --m_current;
    // The rows below show the same entries one place up.
    for (auto it = m_shown.begin(); it != m_shown.end(); ++it)
        if (it.value() > index)
            --it.value();
        else if (it.value() == index)
            it.value() = -1; // its entry went: the row is free
}

void QConvertedDlg::respondDelete()
{
    auto *row = qobject_cast<ConvertedItem *>(sender());
    if (m_shown.value(row, -1) < 0)
        return;
    const int answer = ask(tr("Do you want to delete the seleted files or just move the \nfiles from the list?"));
    // Looked up after the question: the row may show another entry by now.
    const int index = m_shown.value(row, -1);
    if (answer == AskMessageDlg::Cancelled || index < 0)
        return;
    const QString path = m_entries.at(index).convertedPath;
    if (answer == AskMessageDlg::DeleteFiles)
        deleteFromDisk(path);
    ParserXML::removeConvertedFiles({path});
    removeEntry(index);
    fillView();
    updateEmptyState();
}

void QConvertedDlg::OnBtnAllDelete()
{
    if (m_entries.isEmpty())
        return;
    const int answer = ask(tr("Do you want to delete the all files or just move the \nfiles from the list?"));
    if (answer == AskMessageDlg::Cancelled)
        return;
    const QStringList all = paths();
    if (answer == AskMessageDlg::DeleteFiles)
        for (const QString &path : all)
            deleteFromDisk(path);
    ParserXML::removeConvertedFiles(all);
    m_entries.clear();
    m_current = -1;
    fillView();
    updateEmptyState();
}
