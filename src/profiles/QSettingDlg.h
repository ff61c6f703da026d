#pragma once
// The custom parameters panel under the format grid: four video and four
// audio combo boxes filled from the catalogue's menus of the chosen format.
// It follows the preset the chooser tells it, reports when the user departs
// from that preset, keeps the user's values per format in
// "VideoDefaultFormatSetting.xml" and fills OutputFormat (the apply step).

#include <QPixmap>
#include <QStringList>
#include <QWidget>

#include <array>

#include "profiles/OutputFormat.h"
#include "profiles/ProfileCatalog.h"
#include "profiles/OutputFormat.h"

class QCustomComboBox;
class QLabel;
class QTextImageButton;
namespace Ui { class QSettingDlg; }

class QSettingDlg : public QWidget
{
    Q_OBJECT
public:
    explicit QSettingDlg(const ProfileCatalog &catalog, QWidget *parent = nullptr);
    ~QSettingDlg() override;

    // Refills every combo from the menus of a format.
    void setParams(const FormatParams &params);
    // Applies a preset: "Customized" restores the stored values, the others
    // take the format's defaults with the preset's bit rate.
    void setQuality(int quality);
    // Restores the stored custom values of the current format, if any.
    void loadCustom();
    // apply(), then stores the current values as the format's custom values.
    void save();
    // Fills OutputFormat from the current entries.
    void apply();

    // The entries as the apply step reads them.
    OutputChoice currentChoice() const;

    int quality() const { return m_quality; }
    int shownQuality() const { return m_shownQuality; }
    bool isAudioOnly() const { return m_audioOnly; }
    QString category() const { return m_category; }
    QString formatId() const { return m_formatId; }
    bool isVideoPageShown() const { return m_videoPage; }

signals:
    void emitIsCustomized(bool);
    void emitChangeText(VideoQuality q);

public slots:
    void OnClickVideo();
    void OnClickAudio();
    void OnClickDefault();
    void CmbItemChange(int);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    enum Combo { VEncoder, VResolution, VFrame, VBitRate, AEncoder, AChannel, ASample, ABitRate, ComboCount };
    using Indices = std::array<int, ComboCount>;

    QCustomComboBox *combo(Combo which) const { return m_combos[which]; }
    // The raw value of an entry: the code or channel count for the encoder and
    // channel combos, the text for the others.
    QString rawValue(Combo which) const;
    // Selects the first entry whose raw value equals value; keeps the entry
    // otherwise. Returns whether one matched.
    bool selectRaw(Combo which, const QString &value);
    bool selectText(Combo which, const QString &text);
    void fillCombo(Combo which, const QStringList &list, const QString &current);
    Indices currentIndices() const;
    FormatParams askParams() const;
    void rememberChoices();
    void setPageButtonLook(QTextImageButton *button, bool highlighted);

    Ui::QSettingDlg *ui;
    const ProfileCatalog &m_catalog;
    std::array<QCustomComboBox *, ComboCount> m_combos{};
    std::array<QStringList, ComboCount> m_raw; // raw values, filled for encoders and channels
    QPixmap m_background;

    bool m_audioOnly = false;
    QString m_category;
    QString m_formatId;
    int m_quality = VideoQualityHigh;
    int m_shownQuality = VideoQualityHigh;
    // The entries of the eight combos when the preset was last applied. Kept
    // per combo rather than packed into one word, where a list of more than 16
    // entries would alias a neighbouring combo.
    Indices m_presetState{};
    // The texts of the four choice combos as last shown, to tell a real change
    // of choice from picking the same entry again.
    QString m_lastVEncoder;
    QString m_lastResolution;
    QString m_lastAEncoder;
    QString m_lastChannel;
    bool m_videoPage = true;
};
