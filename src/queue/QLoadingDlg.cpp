#include "queue/QLoadingDlg.h"
#include "ui_QLoadingDlg.h"

#include "base/AppPaths.h"
#include "widgets/Theme.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPainter>

QLoadingProgressBar::QLoadingProgressBar(QWidget *parent)
    : QWidget(parent)
    , m_track(AppPaths::dataPath("/image/videodisplay/loading_trake.png"))
    , m_filled(AppPaths::dataPath("/image/videodisplay/loading_trake2.png"))
{
}

void QLoadingProgressBar::setValue(float percent)
{
    const float v = qBound(0.0f, percent, 100.0f);
    if (v == m_value)
        return;
    m_value = v;
    update();
}

void QLoadingProgressBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect all = rect();
    if (m_track.isNull())
        p.fillRect(all, Theme::field());
    else
        p.drawPixmap(all, m_track);
    const int filledWidth = int(all.width() * m_value / 100.0f);
    if (filledWidth <= 0)
        return;
    const QRect part(0, 0, filledWidth, all.height());
    if (m_filled.isNull())
        p.fillRect(part, Theme::selection());
    else
        p.drawPixmap(part, m_filled);
}

QLoadingDlg::QLoadingDlg(QWidget *parent)
    : QNinePointsImageDialog(parent)
    , ui(new Ui::QLoadingDlg)
{
    ui->setupUi(this);
    setBackgroundImage(AppPaths::dataPath("/image/Common_bg/bg_2.png"), true);
    setModal(true);

    addLogoAndCloseButton(ui->m_btnClose, AppPaths::dataPath("/image/Common_bg/dlg_logo.png"),
                          AppPaths::dataPath("/image/btn_close.png"));

    QFont font = Theme::font(12);
    for (QLabel *l : {ui->m_labAddingPath, ui->m_labAddingPath_2, ui->m_labAdded, ui->m_labAdded_2}) {
        l->setFont(font);
        l->setStyleSheet("color: rgb(255, 255, 224);");
    }
    ui->m_labAddingPath->setText(tr("Adding File(s):"));
    ui->m_labAdded->setText(tr("Added:"));
    ui->m_labAddingPath_2->setText(tr("UnKown"));
    m_path = ui->m_labAddingPath_2->text();
    ui->m_labAdded_2->setText("0/0");

    ui->m_btnCancel->setImage(AppPaths::dataPath("/image/Common_bg/btn_common1.png"), tr("Cancel"));
    ui->m_btnCancel->setFont(font);
    ui->m_btnCancel->setTextColor(Qt::white);
    ui->m_btnCancel->move(width() - ui->m_btnCancel->width() - 20, height() - ui->m_btnCancel->height() - 20);

    connect(ui->m_btnCancel, &QPushButton::clicked, this, &QLoadingDlg::OnCloseStop);
    connect(ui->m_btnClose, &QPushButton::clicked, this, &QLoadingDlg::OnCloseStop);
}

QLoadingDlg::~QLoadingDlg()
{
    delete ui;
}

void QLoadingDlg::setAddingPath(const QString &path)
{
    m_path = path;
    // Long paths lose their middle, so the file name stays readable.
    QLabel *l = ui->m_labAddingPath_2;
    l->setText(QFontMetrics(l->font()).elidedText(path, Qt::ElideMiddle, l->width()));
    l->setToolTip(path);
}

void QLoadingDlg::setAddedCount(const QString &count) { ui->m_labAdded_2->setText(count); }

void QLoadingDlg::setProgress(float percent) { ui->m_progressBar->setValue(percent); }

QString QLoadingDlg::addingPath() const { return m_path; }

QString QLoadingDlg::addedCount() const { return ui->m_labAdded_2->text(); }

float QLoadingDlg::progress() const { return ui->m_progressBar->value(); }

void QLoadingDlg::OnCloseStop()
{
    close();
    askStop();
}

void QLoadingDlg::reject()
{
    QNinePointsImageDialog::reject();
    askStop();
}

void QLoadingDlg::askStop()
{
    // close() passes through reject(): one request per dialog is enough.
    if (m_stopAsked)
        return;
    m_stopAsked = true;
    emit seedStopAddFile();
}
