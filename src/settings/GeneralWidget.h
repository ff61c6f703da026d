#pragma once
// The "General" page of the preferences: automatic updates, what closing the
// main window means, and the language.

#include <QWidget>

namespace Ui { class GeneralWidget; }

class GeneralWidget : public QWidget
{
    Q_OBJECT
public:
    explicit GeneralWidget(QWidget *parent = nullptr);
    ~GeneralWidget() override;

    // Stores the choices that differ from what was loaded; a changed update
    // choice is also announced with sendUpdate.
    void save();

signals:
    void sendUpdate(bool bAutoUpdate);
    void sendLanguageName(QString qmFile);

public slots:
    void languageChange(int index);

private:
    void load();

    Ui::GeneralWidget *ui;
    bool m_loadedAutoUpdate = false; // "bIsAutoUpdate" was "Y" when the page opened
    bool m_loadedExit = true;        // "bIsCloseDlg" was "Y" when the page opened
};
