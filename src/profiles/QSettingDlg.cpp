#include "profiles/QSettingDlg.h"
#include "ui_QSettingDlg.h"

#include "settings/ParserXML.h"
#include "base/AppPaths.h"
#include "widgets/NinePatch.h"
#include "widgets/Theme.h"

#include <QPainter>

namespace {

QString channelText(const QString &entry)
{
    if (entry == QLatin1String("Auto") || entry == QLatin1String("0"))
        return QObject::tr("Auto");
    if (entry == QLatin1String("1"))
        return QObject::tr("Mono");
    if (entry == QLatin1String("2"))
        return QObject::tr("Stereo");
    if (entry == QLatin1String("6"))
        return QObject::tr("5.1 Surround");
    return entry;
}

} // namespace

QSettingDlg::QSettingDlg(const ProfileCatalog &catalog, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::QSettingDlg)
    , m_catalog(catalog)
{
    qRegisterMetaType<VideoQuality>("VideoQuality");
    ui->setupUi(this);
    m_background.load(AppPaths::dataPath("/image/Format_Dlg/bg_setting.png"));

    m_combos = {ui->m_cmbVEncoder, ui->m_cmbVResolution, ui->m_cmbVFrame, ui->m_cmbVBitRate,
                ui->m_cmbAEncoder, ui->m_cmbAChannel,    ui->m_cmbASample, ui->m_cmbABitRate};
    for (QCustomComboBox *c : m_combos) {
        c->loadImage(AppPaths::dataPath("/image/Common_bg/bg_combobox2.png"));
        connect(c, &QCustomComboBox::activated, this, &QSettingDlg::CmbItemChange);
    }

    QFont font = Theme::font(12);
    for (QLabel *l : {ui->m_labCodec, ui->m_labReslution, ui->m_labFrame, ui->m_labBitRate, ui->m_labACodec,
                      ui->m_labSampleRate, ui->m_labChannel, ui->m_labABitRate}) {
        l->setFont(font);
        l->setStyleSheet(Theme::sheet(QStringLiteral("color: @muted; background: transparent;")));
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    ui->m_labCodec->setText(tr("Codec:"));
    ui->m_labReslution->setText(tr("Reslution:"));
    ui->m_labFrame->setText(tr("Frame Rate:"));
    ui->m_labBitRate->setText(tr("Bit Rate:"));
    ui->m_labACodec->setText(tr("Codec:"));
    ui->m_labSampleRate->setText(tr("SampleRete:"));
    ui->m_labChannel->setText(tr("Channel:"));
    ui->m_labABitRate->setText(tr("Bit Rate:"));

    ui->m_btnVideo->setImage(AppPaths::dataPath("/image/Format_Dlg/btn_video.png"), tr("Video"));
    ui->m_btnAudio->setImage(AppPaths::dataPath("/image/Format_Dlg/btn_audio.png"), tr("Audio"));
    ui->m_btnDefault->setImage(AppPaths::dataPath("/image/Format_Dlg/btn_Default.png"), tr("Default"));
    for (QTextImageButton *b : {ui->m_btnVideo, ui->m_btnAudio, ui->m_btnDefault})
        b->setFont(font);
    ui->m_btnDefault->setTextColors(QColor(230, 230, 230), Qt::white, QColor(200, 200, 200),
                                    Theme::disabledText());
    ui->m_btnDefault->move(width() - ui->m_btnDefault->width() - 12, 8);

    connect(ui->m_btnVideo, &QPushButton::clicked, this, &QSettingDlg::OnClickVideo);
    connect(ui->m_btnAudio, &QPushButton::clicked, this, &QSettingDlg::OnClickAudio);
    connect(ui->m_btnDefault, &QPushButton::clicked, this, &QSettingDlg::OnClickDefault);
    OnClickVideo();
}

QSettingDlg::~QSettingDlg()
{
    delete ui;
}

void QSettingDlg::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (m_background.isNull())
        p.fillRect(rect(), QColor(48, 49, 50));
    else
        NinePatch::draw(p, rect(), m_background, QMargins(8, 8, 8, 8));
}

void QSettingDlg::setPageButtonLook(QTextImageButton *button, bool highlighted)
{
    if (highlighted)
        button->setTextColor(QColor(86, 178, 214));
    else
        button->setTextColors(Theme::mutedText(), Qt::white, QColor(200, 200, 200), QColor(110, 110, 110));
}

void QSettingDlg::OnClickVideo()
{
    m_videoPage = true;
    setPageButtonLook(ui->m_btnVideo, true);
    setPageButtonLook(ui->m_btnAudio, false);
    for (QWidget *w : std::initializer_list<QWidget *>{ui->m_labCodec, ui->m_labReslution, ui->m_labFrame,
                                                       ui->m_labBitRate, ui->m_cmbVEncoder, ui->m_cmbVResolution,
                                                       ui->m_cmbVFrame, ui->m_cmbVBitRate})
        w->show();
    for (QWidget *w : std::initializer_list<QWidget *>{ui->m_labACodec, ui->m_labSampleRate, ui->m_labChannel,
                                                       ui->m_labABitRate, ui->m_cmbAEncoder, ui->m_cmbASample,
                                                       ui->m_cmbAChannel, ui->m_cmbABitRate})
        w->hide();
}

void QSettingDlg::OnClickAudio()
{
    m_videoPage = false;
    setPageButtonLook(ui->m_btnVideo, false);
    setPageButtonLook(ui->m_btnAudio, true);
    for (QWidget *w : std::initializer_list<QWidget *>{ui->m_labCodec, ui->m_labReslution, ui->m_labFrame,
                                                       ui->m_labBitRate, ui->m_cmbVEncoder, ui->m_cmbVResolution,
                                                       ui->m_cmbVFrame, ui->m_cmbVBitRate})
        w->hide();
    for (QWidget *w : std::initializer_list<QWidget *>{ui->m_labACodec, ui->m_labSampleRate, ui->m_labChannel,
                                                       ui->m_labABitRate, ui->m_cmbAEncoder, ui->m_cmbASample,
                                                       ui->m_cmbAChannel, ui->m_cmbABitRate})
        w->show();
}

void QSettingDlg::OnClickDefault()
{
    setQuality(VideoQualityHigh);
    // The chooser's preset box follows, as it does for any other change.
    emit emitChangeText(VideoQualityHigh);
}

QString QSettingDlg::rawValue(Combo which) const
{
    const int i = m_combos[which]->currentIndex();
    return i >= 0 && i < m_raw[which].size() ? m_raw[which].at(i) : QString();
}

bool QSettingDlg::selectRaw(Combo which, const QString &value)
{
    const int i = int(m_raw[which].indexOf(value));
    if (i < 0)
        return false;
    m_combos[which]->setCurrentIndex(i);
    return true;
}

bool QSettingDlg::selectText(Combo which, const QString &text)
{
    QCustomComboBox *c = m_combos[which];
    for (int i = 0; i < c->count(); ++i) {
        if (c->itemText(i) == text) {
            c->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

void QSettingDlg::fillCombo(Combo which, const QStringList &list, const QString &current)
{
    QCustomComboBox *c = m_combos[which];
    c->clear();
    m_raw[which] = list;
    for (const QString &entry : list) {
        switch (which) {
        case VEncoder:
        case AEncoder: c->addItem(m_catalog.codecName(entry)); break;
        case AChannel: c->addItem(channelText(entry)); break;
        default: c->addItem(entry); break;
        }
    }
    selectRaw(which, current);
}

void QSettingDlg::setParams(const FormatParams &params)
{
    m_audioOnly = params.audioOnly;
    ui->m_btnVideo->setVisible(!m_audioOnly);
    if (m_audioOnly)
        OnClickAudio();
    m_category = params.category;
    m_formatId = params.formatId;

    fillCombo(VEncoder, params.videoEncoders, params.videoEncoder);
    fillCombo(VResolution, params.resolutions, params.resolution);
    fillCombo(VFrame, params.frameRates, params.frameRateDefault);
    fillCombo(VBitRate, params.videoBitRates, params.videoBitRateHigh);
    fillCombo(AEncoder, params.audioEncoders, params.audioEncoder);
    fillCombo(AChannel, params.channels, params.channel);
    fillCombo(ASample, params.sampleRates, params.sampleRateDefault);
    fillCombo(ABitRate, params.audioBitRates, params.audioBitRateHigh);
    rememberChoices();
}

FormatParams QSettingDlg::askParams() const
{
    return m_catalog.params(m_category, m_formatId, rawValue(VEncoder), m_combos[VResolution]->currentText(),
                            rawValue(AEncoder), rawValue(AChannel));
}

QSettingDlg::Indices QSettingDlg::currentIndices() const
{
    Indices indices{};
    for (int c = 0; c < ComboCount; ++c)
        indices[c] = m_combos[c]->currentIndex();
    return indices;
}

void QSettingDlg::rememberChoices()
{
    m_lastVEncoder = m_combos[VEncoder]->currentText();
    m_lastResolution = m_combos[VResolution]->currentText();
    m_lastAEncoder = m_combos[AEncoder]->currentText();
    m_lastChannel = m_combos[AChannel]->currentText();
}

void QSettingDlg::setQuality(int quality)
{
    m_quality = quality;
    m_shownQuality = quality;
    if (quality == VideoQualityCustomized) {
        loadCustom();
        return;
    }
    const FormatParams params = askParams();
    setParams(params);
    if (params.autoValues) {
        for (QCustomComboBox *c : m_combos)
            if (c->count() > 0)
                c->setCurrentIndex(0);
    } else if (quality == VideoQualitySmallSize) {
        selectText(VBitRate, params.videoBitRateLow);
    } else if (quality == VideoQualityHigh) {
        selectText(VBitRate, params.videoBitRateHigh);
    }
    rememberChoices();
    m_presetState = currentIndices();
}

void QSettingDlg::loadCustom()
{
    const std::optional<FormatCustomSettings> stored = ParserXML::formatCustom(m_formatId);
    if (!stored)
        return;
    setParams(m_catalog.params(m_category, m_formatId, stored->videoEncoder, stored->videoResolution,
                               stored->audioEncoder, stored->audioChannel));
    selectText(VFrame, stored->videoFrameRate);
    selectText(VBitRate, stored->videoBitRate);
    selectText(ASample, stored->audioSampleRate);
    selectText(ABitRate, stored->audioBitRate);
}

void QSettingDlg::CmbItemChange(int)
{
    const auto source = std::find(m_combos.begin(), m_combos.end(), sender());
    const int which = source == m_combos.end() ? -1 : int(source - m_combos.begin());

    QString *last = nullptr;
    switch (which) {
    case VEncoder: last = &m_lastVEncoder; break;
    case VResolution: last = &m_lastResolution; break;
    case AEncoder: last = &m_lastAEncoder; break;
    case AChannel: last = &m_lastChannel; break;
    default: break;
    }
    if (last && m_combos[which]->currentText() != *last) {
        // A new choice changes which menus apply: ask again and keep every
        // value the new menus still offer.
        std::array<QString, ComboCount> kept;
        for (int c = 0; c < ComboCount; ++c)
            kept[c] = rawValue(Combo(c));
        setParams(askParams());
        for (int c = 0; c < ComboCount; ++c)
            selectRaw(Combo(c), kept[c]);
        rememberChoices();
    }

    // Compared after any refill, so that the entries compared are the ones shown.
    if (m_quality != VideoQualityCustomized) {
        if (currentIndices() == m_presetState)
            m_shownQuality = m_quality == VideoQualityHigh ? VideoQualityHigh : VideoQualitySmallSize;
        else
            m_shownQuality = VideoQualityCustomized;
        emit emitChangeText(VideoQuality(m_shownQuality));
    }
}

OutputChoice QSettingDlg::currentChoice() const
{
    OutputChoice choice;
    choice.category = m_category;
    choice.formatId = m_formatId;
    choice.quality = m_quality;
    choice.audioOnly = m_audioOnly;
    choice.videoEncoder = rawValue(VEncoder);
    choice.resolution = m_combos[VResolution]->currentText();
    choice.frameRate = m_combos[VFrame]->currentText();
    choice.videoBitRate = m_combos[VBitRate]->currentText();
    choice.audioEncoder = rawValue(AEncoder);
    choice.channel = rawValue(AChannel);
    choice.sampleRate = m_combos[ASample]->currentText();
    choice.audioBitRate = m_combos[ABitRate]->currentText();
    return choice;
}

void QSettingDlg::apply()
{
    OutputFormat::apply(m_catalog, currentChoice());
}

void QSettingDlg::save()
{
    apply();
    const OutputChoice choice = currentChoice();
    FormatCustomSettings custom;
    custom.onlyAudio = m_audioOnly;
    custom.videoEncoder = choice.videoEncoder;
    custom.videoResolution = choice.resolution;
    custom.videoFrameRate = choice.frameRate;
    custom.videoBitRate = choice.videoBitRate;
    custom.audioEncoder = choice.audioEncoder;
    custom.audioChannel = choice.channel;
    custom.audioSampleRate = choice.sampleRate;
    custom.audioBitRate = choice.audioBitRate;
    ParserXML::writeFormatCustom(m_formatId, custom);
    emit emitIsCustomized(true);
}
