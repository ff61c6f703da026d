#include "edit/QCaptureSettingDlg.h"

#include "base/AppPaths.h"
#include "settings/ParserXML.h"
#include "widgets/QCustomComboBox.h"
#include "widgets/QImageButton.h"
#include "widgets/QTextImageButton.h"
#include "widgets/Theme.h"

#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>

QCaptureSettingDlg::QCaptureSettingDlg(QWidget *parent)
    : QNinePointsImageDialog(parent)
    , m_labPath(new QLabel(tr("Save to:"), this))
    , m_editPath(new QLineEdit(this))
    , m_btnOpen(new QImageButton(this))
    , m_labFormat(new QLabel(tr("Format:"), this))
    , m_cmbFormat(new QCustomComboBox(this))
    , m_btnOk(new QTextImageButton(this))
    , m_btnCancel(new QTextImageButton(this))
    , m_btnClose(new QImageButton(this))
{
    setBackgroundImage(AppPaths::dataPath("/image/Common_bg/bg_2.png"), true);
    setModal(true);
    setWindowTitle(tr("Settings"));
    m_labPath->setObjectName("m_labPath");
    m_editPath->setObjectName("m_editPath");
    m_btnOpen->setObjectName("m_btnOpen");
    m_labFormat->setObjectName("m_labFormat");
    m_cmbFormat->setObjectName("m_cmbFormat");
    m_btnOk->setObjectName("m_btnOk");
    m_btnCancel->setObjectName("m_btnCancel");
    m_btnClose->setObjectName("m_btnClose");
    addLogoAndCloseButton(m_btnClose, AppPaths::dataPath("/image/Common_bg/dlg_logo.png"),
                          AppPaths::dataPath("/image/btn_close.png"));

    for (QLabel *l : {m_labPath, m_labFormat}) {
        l->setFont(Theme::font(12));
        l->setStyleSheet("color: white;");
        l->setFixedSize(70, 24);
    }
    m_labPath->move(30, 72);
    // The folder comes from the chooser, so it always names a real directory.
    m_editPath->setReadOnly(true);
    m_editPath->setFont(Theme::font(12));
    m_editPath->setStyleSheet(Theme::sheet("QLineEdit { background: @field; color: white; border: 1px solid rgb(80,80,80); }"));
    m_editPath->setGeometry(100, 72, width() - 100 - 70, 24);
    m_btnOpen->loadImage(AppPaths::dataPath("/image/EditDlg/Edit_btn_folder.png"));
    m_btnOpen->move(m_editPath->geometry().right() + 8, 72 + (24 - m_btnOpen->height()) / 2);
    m_btnOpen->setToolTip(tr("Save to"));
    m_labFormat->move(30, 116);
    m_cmbFormat->loadImage(AppPaths::dataPath("/image/Common_bg/bg_combobox2.png"));
    m_cmbFormat->setGeometry(100, 115, 140, 26);
    m_cmbFormat->addItems(formats());

    m_btnOk->setImage(AppPaths::dataPath("/image/Common_bg/btn_common1.png"), tr("Ok"));
    m_btnCancel->setImage(AppPaths::dataPath("/image/Common_bg/btn_common1.png"), tr("Cancel"));
    for (QTextImageButton *b : {m_btnOk, m_btnCancel}) {
        b->setFont(Theme::font(12));
        b->setTextColor(Qt::white);
    }
    m_btnCancel->move(width() - m_btnCancel->width() - 20, height() - m_btnCancel->height() - 20);
    m_btnOk->move(m_btnCancel->x() - m_btnOk->width() - 11, m_btnCancel->y());
    m_btnOk->setDefault(true);

    // A folder deleted since it was chosen is made again, so snapshots can
    // be saved once the dialog is confirmed.
    QString folder = ParserXML::readSnapshotFolder();
    if (!QDir().mkpath(folder))
        qDebug() << "QCaptureSettingDlg: cannot create the snapshot folder" << folder;
    setFolder(folder);
    const int stored = formats().indexOf(ParserXML::readSnapshotFormat().toUpper());
    m_cmbFormat->setCurrentIndex(qMax(0, stored));

    connect(m_btnOpen, &QPushButton::clicked, this, &QCaptureSettingDlg::OnOpenSaveBtn);
    connect(m_btnOk, &QPushButton::clicked, this, &QCaptureSettingDlg::OnOkBtn);
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_btnClose, &QPushButton::clicked, this, &QDialog::reject);
}

QStringList QCaptureSettingDlg::formats() { return {"JPEG", "BMP", "PNG"}; }

QString QCaptureSettingDlg::format() const { return m_cmbFormat->currentText(); }

void QCaptureSettingDlg::setFolder(const QString &folder)
{
    m_folder = folder;
    m_editPath->setText(QDir::toNativeSeparators(folder));
    m_editPath->setCursorPosition(0);
    m_editPath->setToolTip(folder);
}

void QCaptureSettingDlg::OnOpenSaveBtn()
{
    const QString dir = QFileDialog::getExistingDirectory(this, tr("Save to"), m_folder);
    if (!dir.isEmpty())
        setFolder(dir);
}

void QCaptureSettingDlg::OnOkBtn()
{
    ParserXML::writeSnapshotFormat(format());
    ParserXML::writeSnapshotFolder(m_folder);
    accept();
}
