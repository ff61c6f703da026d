#include "edit/QEffectOperateDlg.h"

#include "base/AppPaths.h"
#include "widgets/Theme.h"
#include "widgets/qSliderCtrl.h"

#include <QGridLayout>
#include <QLabel>

using namespace AdjustGeometry;

QEffectOperateDlg::QEffectOperateDlg(QWidget *parent)
    : QWidget(parent)
{
    setObjectName("QEffectOperateDlg");
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(8, 12, 8, 4);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(14);

    auto makeRow = [&](const QString &text, const char *captionName, const char *sliderName,
                       const char *valueName, QLabel *&captionLabel, qSliderCtrl *&slider, QLabel *&value,
                       int row, int column) {
        captionLabel = new QLabel(text, this);
        captionLabel->setObjectName(captionName);
        captionLabel->setFont(Theme::font(12));
        captionLabel->setStyleSheet(Theme::sheet("color: @muted;"));
        captionLabel->setMinimumWidth(80);
        slider = new qSliderCtrl(this);
        slider->setObjectName(sliderName);
        slider->setImages(AppPaths::dataPath("/image/EditDlg/Edit_play_trake_slider.png"),
                          AppPaths::dataPath("/image/EditDlg/Edit_play_trake_rate.png"));
        slider->setTrackColor(Theme::field());
        slider->setFixedSize(260, 16);
        value = new QLabel(this);
        value->setObjectName(valueName);
        value->setFont(Theme::font(12));
        value->setStyleSheet("color: white;");
        value->setMinimumWidth(36);
        grid->addWidget(captionLabel, row, column * 4);
        grid->addWidget(slider, row, column * 4 + 1);
        grid->addWidget(value, row, column * 4 + 2);
    };
    makeRow(tr("Brightness:"), "m_labBrightness", "m_SliderBright", "m_labBrightValue", m_labBrightness,
            m_SliderBright, m_labBrightValue, 0, 0);
    makeRow(tr("Contrast:"), "m_labContrast", "m_SliderContrast", "m_labContrastValue", m_labContrast,
            m_SliderContrast, m_labContrastValue, 1, 0);
    makeRow(tr("Saturation:"), "m_labSaturation", "m_SliderSaturation", "m_labSaturationValue", m_labSaturation,
            m_SliderSaturation, m_labSaturationValue, 2, 0);
    makeRow(tr("Hue:"), "m_labHue", "m_SliderHue", "m_labHueValue", m_labHue, m_SliderHue, m_labHueValue, 0, 1);
    makeRow(tr("Volume:"), "m_labVolume", "m_SliderVolume", "m_labVolumeValue", m_labVolume, m_SliderVolume,
            m_labVolumeValue, 1, 1);
    grid->setColumnMinimumWidth(3, 40);
    grid->setColumnStretch(7, 1);
    grid->setRowStretch(3, 1);

    connect(m_SliderVolume, &qSliderCtrl::sendProgressValue, this, &QEffectOperateDlg::VolumeValueChange);
    connect(m_SliderBright, &qSliderCtrl::sendProgressValue, this, &QEffectOperateDlg::BrightValueChange);
    connect(m_SliderContrast, &qSliderCtrl::sendProgressValue, this, &QEffectOperateDlg::ContrastValueChange);
    connect(m_SliderSaturation, &qSliderCtrl::sendProgressValue, this, &QEffectOperateDlg::SaturationValueChange);
    connect(m_SliderHue, &qSliderCtrl::sendProgressValue, this, &QEffectOperateDlg::HueValueChange);

    showValue(Volume, 100);
    for (Effect e : {Brightness, Contrast, Saturation, Hue})
        showValue(e, 0);
}

void QEffectOperateDlg::setRecordAccess(Reader read, Writer write)
{
    m_read = std::move(read);
    m_write = std::move(write);
}

EffectSettings QEffectOperateDlg::record() const { return m_read ? m_read() : m_own; }

qSliderCtrl *QEffectOperateDlg::slider(Effect e) const
{
    switch (e) {
    case Volume: return m_SliderVolume;
    case Brightness: return m_SliderBright;
    case Contrast: return m_SliderContrast;
    case Saturation: return m_SliderSaturation;
    case Hue: return m_SliderHue;
    }
    return nullptr;
}

static QLabel *valueLabel(Effect e, QLabel *v, QLabel *b, QLabel *c, QLabel *s, QLabel *h)
{
    switch (e) {
    case Volume: return v;
    case Brightness: return b;
    case Contrast: return c;
    case Saturation: return s;
    case Hue: return h;
    }
    return v;
}

int QEffectOperateDlg::shownValue(Effect e) const
{
    return valueLabel(e, m_labVolumeValue, m_labBrightValue, m_labContrastValue, m_labSaturationValue,
                      m_labHueValue)
        ->text()
        .toInt();
}

void QEffectOperateDlg::showValue(Effect e, int value)
{
    valueLabel(e, m_labVolumeValue, m_labBrightValue, m_labContrastValue, m_labSaturationValue, m_labHueValue)
        ->setText(QString::number(value));
    slider(e)->setValue(sliderFraction(e, value));
}

void QEffectOperateDlg::setVolumeValue(int stored) { showValue(Volume, AdjustGeometry::shownValue(Volume, stored)); }
void QEffectOperateDlg::setBrightValue(int stored) { showValue(Brightness, AdjustGeometry::shownValue(Brightness, stored)); }
void QEffectOperateDlg::setContrastValue(int stored) { showValue(Contrast, AdjustGeometry::shownValue(Contrast, stored)); }
void QEffectOperateDlg::setSaturationValue(int stored)
{
    showValue(Saturation, AdjustGeometry::shownValue(Saturation, stored));
}
void QEffectOperateDlg::setHueValue(int stored) { showValue(Hue, AdjustGeometry::shownValue(Hue, stored)); }

void QEffectOperateDlg::showRecord(const EffectSettings &effects)
{
    m_own = effects;
    setVolumeValue(effects.volume);
    setBrightValue(effects.brightness);
    setContrastValue(effects.contrast);
    setSaturationValue(effects.saturation);
    setHueValue(effects.hue);
}

void QEffectOperateDlg::changed(Effect e, double fraction)
{
    const int v = sliderValue(e, fraction);
    valueLabel(e, m_labVolumeValue, m_labBrightValue, m_labContrastValue, m_labSaturationValue, m_labHueValue)
        ->setText(QString::number(v));
    EffectSettings s = record();
    storeEffect(s, e, storedValue(e, v));
    m_own = s;
    if (m_write)
        m_write(s);
}

void QEffectOperateDlg::VolumeValueChange(double fraction) { changed(Volume, fraction); }
void QEffectOperateDlg::BrightValueChange(double fraction) { changed(Brightness, fraction); }
void QEffectOperateDlg::ContrastValueChange(double fraction) { changed(Contrast, fraction); }
void QEffectOperateDlg::SaturationValueChange(double fraction) { changed(Saturation, fraction); }
void QEffectOperateDlg::HueValueChange(double fraction) { changed(Hue, fraction); }
