#include "edit/QWatermarkOperateDlg.h"

#include "edit/EditPageStyle.h"
#include "base/AppPaths.h"
#include "history/VXMessage.h"
#include "widgets/QTextImageButton.h"
#include "widgets/Theme.h"
#include "widgets/qSliderCtrl.h"

#include <QButtonGroup>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QVBoxLayout>

#include <zentrix.hpp>

namespace {

// Whether the engine can draw the file as a watermark: one it cannot read
// would stop the edited preview and fail the conversion.
bool engineReadsImage(const QString &path)
{
    zxh::ParamsPtr set(ParamsCreate());
    double w = 0, h = 0;
    return set && SetWatermarkImage(set.get(), path.toUtf8().constData()) == 1
        && ParamsWatermarkImageBox(set.get(), 480, 480, &w, &h) == 1 && w > 0 && h > 0;
}

} // namespace

QWatermarkOperateDlg::QWatermarkOperateDlg(QWidget *parent)
    : QWidget(parent)
{
    setObjectName("QWatermarkOperateDlg");
    const QString radioSheet = QString("QRadioButton { color: white; spacing: 6px; }"
                                       "QRadioButton::indicator { width: 18px; height: 18px; }"
                                       "QRadioButton::indicator:unchecked { image: url(%1); }"
                                       "QRadioButton::indicator:checked { image: url(%2); }")
                                   .arg(AppPaths::dataPath("/image/EditDlg/Edit_selections_no.png"),
                                        AppPaths::dataPath("/image/EditDlg/Edit_selections_yes.png"));
    m_rdTextWater = new QRadioButton(tr("Text Watermark"), this);
    m_rdTextWater->setObjectName("m_rdTextWater");
    m_rdImageWater = new QRadioButton(tr("Image Watermark"), this);
    m_rdImageWater->setObjectName("m_rdImageWater");
    auto *group = new QButtonGroup(this);
    for (QRadioButton *r : {m_rdTextWater, m_rdImageWater}) {
        r->setFont(Theme::font(12));
        r->setStyleSheet(radioSheet);
        group->addButton(r);
    }
    m_rdTextWater->setChecked(true);

    const QString editSheet = Theme::sheet("QLineEdit { background: @field; color: white; border: 1px solid #555;"
                                           " padding: 2px 4px; }");
    auto button = [this](const char *name, const QString &text) { return EditPageStyle::button(text, name, this); };
    m_labText = EditPageStyle::caption(tr("Text:"), this);
    m_editText = new QLineEdit(this);
    m_editText->setObjectName("m_editText");
    m_editText->setStyleSheet(editSheet);
    m_editText->setFixedWidth(300);
    m_btnFont = button("m_btnFont", tr("Font"));
    m_btnTextColor = button("m_btnTextColor", tr("Color"));
    m_labImage = EditPageStyle::caption(tr("Image:"), this);
    m_editImage = new QLineEdit(this);
    m_editImage->setObjectName("m_editImage");
    m_editImage->setStyleSheet(editSheet);
    m_editImage->setReadOnly(true);
    m_editImage->setFixedWidth(300);
    m_btnAdd = button("m_btnAdd", tr("Add"));
    m_btnDel = button("m_btnDel", tr("Remove"));
    m_LabTransparency = EditPageStyle::caption(tr("Transparency:"), this);
    m_LabTransparency->setObjectName("m_LabTransparency");
    m_transparencySlider = new qSliderCtrl(this);
    m_transparencySlider->setObjectName("m_transparencySlider");
    m_transparencySlider->setImages(AppPaths::dataPath("/image/EditDlg/Edit_play_trake_slider.png"),
                                    AppPaths::dataPath("/image/EditDlg/Edit_play_trake_rate.png"));
    m_transparencySlider->setTrackColor(Theme::field());
    m_transparencySlider->setFixedSize(260, 16);
    m_transparencySlider->setValue(1.0);
    m_btnApply = button("m_btnApply", tr("Apply to all"));

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(8, 10, 8, 4);
    root->setSpacing(10);
    auto *modes = new QHBoxLayout;
    modes->setSpacing(24);
    modes->addWidget(m_rdTextWater);
    modes->addWidget(m_rdImageWater);
    modes->addStretch();
    root->addLayout(modes);
    auto *controls = new QHBoxLayout;
    controls->setSpacing(8);
    for (QWidget *w : std::initializer_list<QWidget *>{m_labText, m_editText, m_btnFont, m_btnTextColor, m_labImage,
                                                       m_editImage, m_btnAdd, m_btnDel})
        controls->addWidget(w);
    controls->addStretch();
    root->addLayout(controls);
    auto *opacity = new QHBoxLayout;
    opacity->setSpacing(8);
    opacity->addWidget(m_LabTransparency);
    opacity->addWidget(m_transparencySlider);
    opacity->addStretch();
    opacity->addWidget(m_btnApply);
    root->addLayout(opacity);
    root->addStretch();

    connect(m_rdTextWater, &QRadioButton::clicked, this, &QWatermarkOperateDlg::OnClickTextRd);
    connect(m_rdImageWater, &QRadioButton::clicked, this, &QWatermarkOperateDlg::OnClickImageRd);
    connect(m_btnAdd, &QPushButton::clicked, this, &QWatermarkOperateDlg::OnAddImage);
    connect(m_btnDel, &QPushButton::clicked, this, &QWatermarkOperateDlg::OnRemoveImage);
    connect(m_editText, &QLineEdit::textChanged, this, &QWatermarkOperateDlg::editTextChange);
    connect(m_btnFont, &QPushButton::clicked, this, &QWatermarkOperateDlg::OnFontBtn);
    connect(m_btnTextColor, &QPushButton::clicked, this, &QWatermarkOperateDlg::OnTextColorBtn);
    connect(m_transparencySlider, &qSliderCtrl::sendProgressValue, this,
            &QWatermarkOperateDlg::transparencyValueChange);
    connect(m_btnApply, &QPushButton::clicked, this, &QWatermarkOperateDlg::ApplyToAll);

    showColour(m_ownText.color);
    setMode(TextMode);
}

void QWatermarkOperateDlg::setRecordAccess(TextReader readText, TextWriter writeText, ImageReader readImage,
                                           ImageWriter writeImage)
{
    m_readText = std::move(readText);
    m_writeText = std::move(writeText);
    m_readImage = std::move(readImage);
    m_writeImage = std::move(writeImage);
}

WatermarkTextSettings QWatermarkOperateDlg::textRecord() const { return m_readText ? m_readText() : m_ownText; }
WatermarkImageSettings QWatermarkOperateDlg::imageRecord() const { return m_readImage ? m_readImage() : m_ownImage; }

void QWatermarkOperateDlg::writeText(const WatermarkTextSettings &text)
{
    m_ownText = text;
    if (m_writeText)
        m_writeText(text);
}

void QWatermarkOperateDlg::writeImage(const WatermarkImageSettings &image)
{
    m_ownImage = image;
    if (m_writeImage)
        m_writeImage(image);
}

void QWatermarkOperateDlg::showRecords(const WatermarkTextSettings &text, const WatermarkImageSettings &image)
{
    m_ownText = text;
    m_ownImage = image;
    m_textTransparency = text.opacity;
    m_imageTransparency = image.opacity;
    // Showing the text must not write it back.
    const bool blocked = m_editText->blockSignals(true);
    m_editText->setText(QString::fromStdString(text.text));
    m_editText->blockSignals(blocked);
    m_editImage->setText(QString::fromStdString(image.imagePath));
    showColour(text.color);
    m_transparencySlider->setValue(transparency(m_mode) / 255.0);
}

void QWatermarkOperateDlg::setMode(int mode)
{
    m_mode = mode == ImageMode ? ImageMode : TextMode;
    const bool text = m_mode == TextMode;
    m_rdTextWater->setChecked(text);
    m_rdImageWater->setChecked(!text);
    for (QWidget *w : std::initializer_list<QWidget *>{m_labText, m_editText, m_btnFont, m_btnTextColor})
        w->setVisible(text);
    for (QWidget *w : std::initializer_list<QWidget *>{m_labImage, m_editImage, m_btnAdd, m_btnDel})
        w->setVisible(!text);
    m_transparencySlider->setValue(transparency(m_mode) / 255.0);
    emit modeChanged(m_mode);
}

void QWatermarkOperateDlg::OnClickTextRd() { setMode(TextMode); }
void QWatermarkOperateDlg::OnClickImageRd() { setMode(ImageMode); }

void QWatermarkOperateDlg::OnAddImage()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open Image"), "/home",
                                                      tr("Images (*.jpg *.jpeg *.png *.gif *.bmp *.webp)"));
    if (!path.isEmpty() && !setImagePath(path))
        VXMessageBox(tr("The image cannot be read:\n%1").arg(path), QString(), VXMsg::KindError);
}

bool QWatermarkOperateDlg::setImagePath(const QString &path)
{
    if (!engineReadsImage(path))
        return false;
    WatermarkImageSettings image = imageRecord();
    image.imagePath = path.toStdString();
    image.opacity = int(m_imageTransparency);
    m_editImage->setText(path);
    writeImage(image);
    return true;
}

void QWatermarkOperateDlg::OnRemoveImage()
{
    WatermarkImageSettings image = imageRecord();
    image.imagePath.clear();
    m_editImage->clear();
    writeImage(image);
}

void QWatermarkOperateDlg::editTextChange(QString text)
{
    WatermarkTextSettings t = textRecord();
    t.text = text.toStdString();
    t.opacity = int(m_textTransparency);
    writeText(t);
}

void QWatermarkOperateDlg::OnFontBtn()
{
    WatermarkTextSettings t = textRecord();
    QFont font(QString::fromStdString(t.fontFamily));
    font.setWeight(t.bold ? QFont::Bold : QFont::Normal);
    font.setPointSize(t.pointSize > 0 ? t.pointSize : 28);
    font.setItalic(t.italic != 0);
    font.setUnderline(t.underline != 0);
    font.setStrikeOut(t.strikeOut != 0);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, this);
    if (!ok)
        return;
    t = textRecord();
    t.fontFamily = chosen.family().toStdString();
    t.bold = chosen.weight() > QFont::Normal ? 1 : 0;
    t.pointSize = chosen.pointSize() > 0 ? chosen.pointSize() : t.pointSize;
    t.italic = chosen.italic() ? 1 : 0;
    t.underline = chosen.underline() ? 1 : 0;
    t.strikeOut = chosen.strikeOut() ? 1 : 0;
    writeText(t);
}

void QWatermarkOperateDlg::OnTextColorBtn()
{
    WatermarkTextSettings t = textRecord();
    const QColor chosen = QColorDialog::getColor(QColor::fromRgba(t.color), this, QString(),
                                                 QColorDialog::ShowAlphaChannel | QColorDialog::DontUseNativeDialog);
    if (!chosen.isValid())
        return;
    t = textRecord();
    t.color = chosen.rgba();
    showColour(t.color);
    writeText(t);
}

void QWatermarkOperateDlg::showColour(uint32_t argb)
{
    QPixmap swatch(14, 14);
    swatch.fill(Qt::transparent);
    QPainter p(&swatch);
    p.setPen(QColor(200, 200, 200));
    p.setBrush(QColor::fromRgba(argb));
    p.drawRect(0, 0, 13, 13);
    p.end();
    m_btnTextColor->setIconPixmap(swatch);
    m_btnTextColor->setIconRect(8, (m_btnTextColor->height() - 14) / 2, 14, 14);
}

void QWatermarkOperateDlg::transparencyValueChange(double fraction)
{
    const double value = qBound(0.0, fraction, 1.0) * 255.0;
    if (m_mode == ImageMode) {
        m_imageTransparency = value;
        WatermarkImageSettings image = imageRecord();
        image.opacity = int(value);
        writeImage(image);
    } else {
        m_textTransparency = value;
        WatermarkTextSettings t = textRecord();
        t.opacity = int(value);
        writeText(t);
    }
}
