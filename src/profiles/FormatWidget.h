#pragma once
// The format chooser: the category buttons, the grid of format tiles of the
// chosen category, the preset box and the custom parameters panel that
// slides in under the grid. One per process (instance()); the main window
// restores the stored choice at start-up and shows the dialog from its format
// button. Ok stores the choice, fills OutputFormat and announces the title.

#include <QList>
#include <QPointer>

#include "widgets/QNinePointsImageDialog.h"
#include "profiles/OutputFormat.h"

class FormatCategoryButton;
class FormatItemWidget;
class ProfileCatalog;
class QParallelAnimationGroup;
class QPropertyAnimation;
class QSettingDlg;
namespace Ui { class FormatWidget; }

class FormatWidget : public QNinePointsImageDialog
{
    Q_OBJECT
public:
    // The dialog of the process, built on first use over ProfileCatalog::instance().
    static FormatWidget *instance();

    // A dialog over its own catalogue (tests build several).
    explicit FormatWidget(const ProfileCatalog &catalog, QWidget *parent = nullptr);
    ~FormatWidget() override;

    QString category() const { return m_category; }
    QString formatId() const { return m_formatId; }
    QString deviceFormatName() const { return m_deviceFormatName; }
    int quality() const { return m_quality; }
    bool isPanelShown() const { return m_panelShown; }

    // Makes a format the chosen one: stores it ("FormatSet"), refills the
    // panel for it and announces its title (sendDevFormatChange, then
    // settingChangeForFormat).
    void selectFormat(const QString &category, const QString &id);
    // Sets and applies a preset (0 "Small Size", 1 "High Quality", 2 "Customized").
    void setPreset(int quality);
    // Runs the panel's apply step: OutputFormat follows the current choice.
    void applyOutputFormat();
    // Start-up: the stored format ("FormatSet", default "Devices"/"1101") and
    // preset ("VIDEO_QUALITY_ITEM"), then OutputFormat. A stored format that
    // the catalogue no longer holds falls back to the default one.
    void restoreStoredChoice();
    // Before showing: panel slid out, the current category shown with its tile.
    void prepareToShow();
    // The icon file of the chosen format (image/Format/icon_<id>.png).
    QString currentFormatIcon() const;

    // Slides the panel in or out (150 ms); a request for the current state does nothing.
    void showPanel(bool show);

    // Parts for tests and the main window.
    FormatItemWidget *formatGrid() const { return m_formatItemDlg; }
    QSettingDlg *settingPanel() const { return m_settingDlg; }
    QList<FormatCategoryButton *> categoryButtons() const { return m_categoryButtons; }
    // The preset box's text as shown.
    QString presetText() const;
    QString presetLinkText() const;

    static QString presetName(int quality);

signals:
    void sendDevFormatChange(QString DevFormat);
    void settingChangeForFormat();

public slots:
    // Cancel, the close button and Escape: nothing is stored, and the choice
    // in effect stays the one shown next time.
    void reject() override;
    void setDevFormat(QString DevName);
    void ItemPress(QString categories, QString itemID);

private slots:
    void OnBtnCancel();
    void OnClickBtnSet(QString);
    void OnTypeBtn();
    void OnClickFormatWgt();
    void OnBtnOk();
    void ItemChange(int);
    void isSelCustomized(bool);
    void valueChangeText(VideoQuality q);

private:
    void applyPreset();
    void adjustCustomizedEntry();
    void setPresetLink(const QString &name);
    void fillPanelForFormat();

    Ui::FormatWidget *ui;
    const ProfileCatalog &m_catalog;
    QString m_category;
    QString m_formatId;
    // The selection last stored by Ok or selectFormat; Cancel returns to it.
    QString m_storedCategory;
    QString m_storedFormatId;
    QString m_deviceFormatName;
    int m_quality = VideoQualityHigh;
    bool m_panelShown = false;
    QList<FormatCategoryButton *> m_categoryButtons;
    QPointer<FormatCategoryButton> m_highlighted;
    FormatItemWidget *m_formatItemDlg = nullptr;
    QSettingDlg *m_settingDlg = nullptr;
    QParallelAnimationGroup *m_slide = nullptr;
    QPropertyAnimation *m_panelAnimation = nullptr;
    QPropertyAnimation *m_gridAnimation = nullptr;
};
