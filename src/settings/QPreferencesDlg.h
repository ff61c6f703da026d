#pragma once
// The preferences: a "General" and a "Convert" page chosen by the buttons on
// the left; "Ok" stores both pages, "Cancel" stores nothing.

#include "widgets/QNinePointsImageDialog.h"

namespace Ui { class QPreferencesDlg; }
class ConvertWidget;
class GeneralWidget;
class QTextImageButton;

class QPreferencesDlg : public QNinePointsImageDialog
{
    Q_OBJECT
public:
    explicit QPreferencesDlg(QWidget *parent = nullptr);
    ~QPreferencesDlg() override;

    int currentPage() const { return m_current; }

signals:
    void emitAutoUpdate(bool);
    void emitLangugeChangeSet(bool bChange);

public slots:
    void OnBtnOk();
    void OnLeftBtn();
    bool setLanguge(QString qmFile);

private:
    void showPage(int index);

    Ui::QPreferencesDlg *ui;
    GeneralWidget *m_general = nullptr;
    ConvertWidget *m_convert = nullptr;
    int m_current = 0; // 0 "General", 1 "Convert"
};
