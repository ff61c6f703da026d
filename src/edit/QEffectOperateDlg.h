#pragma once
// The Effect page of the edit dialog: volume, brightness, contrast,
// saturation and hue, each a slider with its value. A move stores the one
// changed value in the dialog's EffectSettings (through the access functions
// the dialog installs; without them, a record of its own) and the dialog
// sends the whole record to the preview at once.

#include "edit/AdjustGeometry.h"
#include "engine/EditRecords.h"

#include <QWidget>

#include <functional>

class QLabel;
class qSliderCtrl;

class QEffectOperateDlg : public QWidget
{
    Q_OBJECT
public:
    explicit QEffectOperateDlg(QWidget *parent = nullptr);

    using Reader = std::function<EffectSettings()>;
    using Writer = std::function<void(const EffectSettings &)>;
    void setRecordAccess(Reader read, Writer write);
    EffectSettings record() const;

    // Filling the page from a record: each takes the stored field and shows
    // its page value on the label and the slider.
    void setVolumeValue(int stored);
    void setBrightValue(int stored);
    void setContrastValue(int stored);
    void setSaturationValue(int stored);
    void setHueValue(int stored);
    void showRecord(const EffectSettings &effects);

    // The value a label shows, and the slider of an effect.
    int shownValue(AdjustGeometry::Effect e) const;
    qSliderCtrl *slider(AdjustGeometry::Effect e) const;

public slots:
    void VolumeValueChange(double fraction);
    void BrightValueChange(double fraction);
    void ContrastValueChange(double fraction);
    void SaturationValueChange(double fraction);
    void HueValueChange(double fraction);

private:
    void showValue(AdjustGeometry::Effect e, int value);
    void changed(AdjustGeometry::Effect e, double fraction);

    Reader m_read;
    Writer m_write;
    EffectSettings m_own;

    qSliderCtrl *m_SliderVolume;
    qSliderCtrl *m_SliderBright;
    qSliderCtrl *m_SliderContrast;
    qSliderCtrl *m_SliderSaturation;
    qSliderCtrl *m_SliderHue;
    QLabel *m_labVolumeValue;
    QLabel *m_labBrightValue;
    QLabel *m_labContrastValue;
    QLabel *m_labSaturationValue;
    QLabel *m_labHueValue;
    QLabel *m_labVolume;
    QLabel *m_labBrightness;
    QLabel *m_labContrast;
    QLabel *m_labSaturation;
    QLabel *m_labHue;
};
