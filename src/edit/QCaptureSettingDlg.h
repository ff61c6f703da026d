#pragma once
// Where the edit dialog's snapshots go and in which picture format: the
// folder and the format are stored in the settings file when confirmed.
// Opening the dialog creates a missing snapshot folder.

#include "widgets/QNinePointsImageDialog.h"

class QLabel;
class QLineEdit;
class QCustomComboBox;
class QImageButton;
class QTextImageButton;

class QCaptureSettingDlg : public QNinePointsImageDialog
{
    Q_OBJECT
public:
    explicit QCaptureSettingDlg(QWidget *parent = nullptr);

    // The picture formats offered, in the order of the format box.
    static QStringList formats();

    QString folder() const { return m_folder; }
    QString format() const;

public slots:
    void OnOkBtn();
    void OnOpenSaveBtn();

private:
    void setFolder(const QString &folder);

    QString m_folder;
    QLabel *m_labPath;
    QLineEdit *m_editPath;
    QImageButton *m_btnOpen;
    QLabel *m_labFormat;
    QCustomComboBox *m_cmbFormat;
    QTextImageButton *m_btnOk;
    QTextImageButton *m_btnCancel;
    QImageButton *m_btnClose;
};
