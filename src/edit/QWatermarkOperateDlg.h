#pragma once
// The Watermark page of the edit dialog: a text watermark (text, font,
// colour) and an image watermark (a picture file), one of them edited at a
// time (mode 0 text, 1 image), each with its own transparency. Every change
// goes into the dialog's WatermarkTextSettings or WatermarkImageSettings
// through the access functions the dialog installs (without them, records
// of its own); placing and sizing happen on the output preview (the dialog's
// mouse slots).

#include "engine/EditRecords.h"

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QRadioButton;
class QTextImageButton;
class qSliderCtrl;

class QWatermarkOperateDlg : public QWidget
{
    Q_OBJECT
public:
    explicit QWatermarkOperateDlg(QWidget *parent = nullptr);

    using TextReader = std::function<WatermarkTextSettings()>;
    using TextWriter = std::function<void(const WatermarkTextSettings &)>;
    using ImageReader = std::function<WatermarkImageSettings()>;
    using ImageWriter = std::function<void(const WatermarkImageSettings &)>;
    void setRecordAccess(TextReader readText, TextWriter writeText, ImageReader readImage, ImageWriter writeImage);
    WatermarkTextSettings textRecord() const;
    WatermarkImageSettings imageRecord() const;

    // Filling the page: each mode takes its record's transparency, the text
    // and the image path; the slider shows the current mode's.
    void showRecords(const WatermarkTextSettings &text, const WatermarkImageSettings &image);

    enum Mode { TextMode = 0, ImageMode = 1 };
    int mode() const { return m_mode; }
    void setMode(int mode);
    double transparency(int mode) const { return mode == ImageMode ? m_imageTransparency : m_textTransparency; }
    qSliderCtrl *transparencySlider() const { return m_transparencySlider; }
    // The chosen picture, as if it came from the "Open Image" dialog; false
    // (nothing changes) for a file the engine cannot read as a picture.
    bool setImagePath(const QString &path);

signals:
    void ApplyToAll();
    void modeChanged(int mode);

public slots:
    void OnClickTextRd();
    void OnClickImageRd();
    void OnAddImage();
    void OnRemoveImage();
    void editTextChange(QString text);
    void OnFontBtn();
    void OnTextColorBtn();
    void transparencyValueChange(double fraction);

private:
    void writeText(const WatermarkTextSettings &text);
    void writeImage(const WatermarkImageSettings &image);
    void showColour(uint32_t argb);

    TextReader m_readText;
    TextWriter m_writeText;
    ImageReader m_readImage;
    ImageWriter m_writeImage;
    WatermarkTextSettings m_ownText;
    WatermarkImageSettings m_ownImage;
    int m_mode = TextMode;
    double m_textTransparency = 255.0;
    double m_imageTransparency = 255.0;

    QRadioButton *m_rdTextWater;
    QRadioButton *m_rdImageWater;
    QLabel *m_labText;
    QLineEdit *m_editText;
    QTextImageButton *m_btnFont;
    QTextImageButton *m_btnTextColor;
    QLabel *m_labImage;
    QLineEdit *m_editImage;
    QTextImageButton *m_btnAdd;
    QTextImageButton *m_btnDel;
    QLabel *m_LabTransparency;
    qSliderCtrl *m_transparencySlider;
    QTextImageButton *m_btnApply;
};
