#include "settings/QPreferencesDlg.h"
#include "ui_QPreferencesDlg.h"

#include "settings/ConvertWidget.h"
#include "settings/GeneralWidget.h"
#include "base/AppPaths.h"
#include "widgets/Theme.h"

#include <QLabel>

QPreferencesDlg::QPreferencesDlg(QWidget *parent)
    : QNinePointsImageDialog(parent)
    , ui(new Ui::QPreferencesDlg)
{
    ui->setupUi(this);
    setBackgroundImage(AppPaths::dataPath("/image/Common_bg/bg_1.png"), true);
    setModal(true);
    setWindowTitle(tr("Preferences"));

    addLogoAndCloseButton(ui->m_btnClose, AppPaths::dataPath("/image/Common_bg/dlg_logo.png"),
                          AppPaths::dataPath("/image/btn_close.png"));

    QFont font = Theme::font(12);
    const QString prefer = AppPaths::dataPath("/image/btn_prefer.png");
    int y = 40;
    for (QTextImageButton *b : {ui->m_btnGeneral, ui->m_btnConvert}) {
        b->setImage(prefer, b->text());
        b->setFont(font);
        b->setCheckable(true);
        b->move(10, y);
        y += b->height() + 4;
    }
    ui->m_btnGeneral->setText(tr("General"));
    ui->m_btnConvert->setText(tr("Convert"));

    const QString common = AppPaths::dataPath("/image/Common_bg/btn_common1.png");
    for (QTextImageButton *b : {ui->m_btnOk, ui->m_btnCancel}) {
        b->setImage(common, b->text());
        b->setFont(font);
        b->setTextColor(Qt::white);
    }
    ui->m_btnOk->setText(tr("Ok"));
    ui->m_btnCancel->setText(tr("Cancel"));
    ui->m_btnCancel->move(width() - ui->m_btnCancel->width() - 20, height() - ui->m_btnCancel->height() - 16);
    ui->m_btnOk->move(ui->m_btnCancel->x() - ui->m_btnOk->width() - 10, ui->m_btnCancel->y());

    // The two pages side by side at (135, 40), filling the rest.
    const QRect pageRect(135, 40, width() - 135 - 10, ui->m_btnCancel->y() - 10 - 40);
    ui->m_pageHost->setGeometry(pageRect);
    m_general = new GeneralWidget(ui->m_pageHost);
    m_convert = new ConvertWidget(ui->m_pageHost);
    m_general->setObjectName("m_generalPage");
    m_convert->setObjectName("m_convertPage");
    for (QWidget *page : {static_cast<QWidget *>(m_general), static_cast<QWidget *>(m_convert)})
        page->setGeometry(0, 0, pageRect.width(), pageRect.height());

    connect(m_general, &GeneralWidget::sendUpdate, this, &QPreferencesDlg::emitAutoUpdate);
    connect(m_general, &GeneralWidget::sendLanguageName, this, &QPreferencesDlg::setLanguge);
    connect(ui->m_btnGeneral, &QPushButton::clicked, this, &QPreferencesDlg::OnLeftBtn);
    connect(ui->m_btnConvert, &QPushButton::clicked, this, &QPreferencesDlg::OnLeftBtn);
    connect(ui->m_btnOk, &QPushButton::clicked, this, &QPreferencesDlg::OnBtnOk);
    ui->m_btnOk->setDefault(true);
    connect(ui->m_btnCancel, &QPushButton::clicked, this, &QDialog::close);
    connect(ui->m_btnClose, &QPushButton::clicked, this, &QDialog::close);

    showPage(0);
}

QPreferencesDlg::~QPreferencesDlg()
{
    delete ui;
}

void QPreferencesDlg::showPage(int index)
{
    m_current = index;
    m_general->setVisible(index == 0);
    m_convert->setVisible(index == 1);
    ui->m_btnGeneral->setChecked(index == 0);
    ui->m_btnConvert->setChecked(index == 1);
    // The highlighted page button keeps the accent colour in every state.
    const QColor accent(70, 180, 220), grey(190, 190, 190);
    for (QTextImageButton *b : {ui->m_btnGeneral, ui->m_btnConvert}) {
        const bool on = b->isChecked();
        b->setTextColors(on ? accent : grey, on ? accent : Qt::white, on ? accent : Qt::white,
                         Theme::disabledText());
        QFont f = b->font();
        f.setBold(on);
        b->setFont(f);
    }
}

void QPreferencesDlg::OnLeftBtn()
{
    const int index = sender() == ui->m_btnConvert ? 1 : 0;
    // Pressing the highlighted button does nothing; a checkable button would
    // otherwise uncheck itself.
    showPage(index);
}

void QPreferencesDlg::OnBtnOk()
{
    m_general->save();
    m_convert->save();
    accept();
}

bool QPreferencesDlg::setLanguge(QString qmFile)
{
    Q_UNUSED(qmFile);
    return true;
}
