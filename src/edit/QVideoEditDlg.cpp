#include "edit/QVideoEditDlg.h"

#include "edit/EditPageStyle.h"
#include "base/AppPaths.h"
#include "edit/QAdjustOperateDlg.h"
#include "edit/QDualSlider.h"
#include "edit/QEffectOperateDlg.h"
#include "edit/QImageBorderWgt.h"
#include "edit/QSubtitleOperateDlg.h"
#include "edit/QTrimOperatedlgDlg.h"
#include "edit/QWatermarkOperateDlg.h"
#include "engine/ZxParamSet.h"
#include "player/AudioWaveWidget.h"
#include "player/VideoImageWindow.h"
#include "widgets/QImageButton.h"
#include "widgets/QTextImageButton.h"
#include "widgets/Theme.h"
#include "widgets/qSliderCtrl.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {

// Decoded sound kept queued ahead of the device, microseconds: bounds the
// delay between an effect change and hearing it.
constexpr int kOpenParam = 50000;

// The boxes the two panes are fitted into (the panes take the picture's shape).
constexpr int kPaneBoxWidth = 448;
constexpr int kPaneBoxHeight = 252;

QSize fitInto(QSize picture, QSize box)
{
    if (picture.width() <= 0 || picture.height() <= 0)
        return box;
    return picture.scaled(box, Qt::KeepAspectRatio);
}

} // namespace

QVideoEditDlg::QVideoEditDlg(QWidget *parent)
    : QImageDialog(parent)
    , m_player(PlayerCreate(-1))
    , m_timeTimer(new QTimer(this))
    , m_screenTimer(new QTimer(this))
    , m_audioTimer(new QTimer(this))
    , m_cropTimer(new QTimer(this))
    , m_waterTimer(new QTimer(this))
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowTitle("Velmora Video Converter");
    setBackgroundImage(AppPaths::dataPath("/image/EditDlg/Edit_bg_edit.png"));
    buildWindow();

    connect(m_timeTimer, &QTimer::timeout, this, &QVideoEditDlg::UpdateTime);
    connect(m_screenTimer, &QTimer::timeout, this, &QVideoEditDlg::UpdataScreen);
    connect(m_audioTimer, &QTimer::timeout, this, &QVideoEditDlg::OnAudioDataTime);
    connect(m_btnPlay, &QPushButton::clicked, this, &QVideoEditDlg::OnBtnPlay);
    connect(m_btnPause, &QPushButton::clicked, this, &QVideoEditDlg::OnBtnPause);
    connect(m_btnStop, &QPushButton::clicked, this, &QVideoEditDlg::OnBtnStop);
    connect(m_btnSoundOpen, &QPushButton::clicked, this, &QVideoEditDlg::OnBtnSoundClose);
    connect(m_btnSoundClose, &QPushButton::clicked, this, &QVideoEditDlg::OnBtnSoundOpen);
    connect(m_soundSlider, &qSliderCtrl::sendProgressValue, this, &QVideoEditDlg::SoundValueChange);
    connect(m_playSlider, &qSliderCtrl::sendProgressValue, this, &QVideoEditDlg::PlayProValueChange);
    connect(m_btnScreenshot, &QPushButton::clicked, this, &QVideoEditDlg::OnScreenshots);
    connect(m_btnScreenshotMenu, &QPushButton::clicked, this, &QVideoEditDlg::OnShowMenu);
    connect(m_pageButtons[0], &QPushButton::clicked, this, &QVideoEditDlg::OnTrimBtn);
    connect(m_pageButtons[1], &QPushButton::clicked, this, &QVideoEditDlg::OnCropBtn);
    connect(m_pageButtons[2], &QPushButton::clicked, this, &QVideoEditDlg::OnEffectBtn);
    connect(m_pageButtons[3], &QPushButton::clicked, this, &QVideoEditDlg::OnWatermarkBtn);
    connect(m_pageButtons[4], &QPushButton::clicked, this, &QVideoEditDlg::OnSubtitleBtn);
    connect(m_btnClose, &QPushButton::clicked, this, &QVideoEditDlg::OnClose);
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_btnOk, &QPushButton::clicked, this, &QDialog::accept);

    wireTrimPage();
    wireAdjustPages();
    wireSubtitlePage();

    for (QPushButton *b : m_pageButtons)
        b->setEnabled(false);
    showPage(TrimPage);
}

QVideoEditDlg::~QVideoEditDlg()
{
    // No picture may arrive for panes that are going: closing joins the
    // engine's threads.
    m_state = Closed;
    m_player.reset();
}

// ---- Window ----------------------------------------------------------------------

void QVideoEditDlg::buildWindow()
{
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(16, 8, 16, 14);
    root->setSpacing(6);

    // Title: logo, title, close.
    auto *title = new QHBoxLayout;
    auto *logo = new QLabel(this);
    logo->setPixmap(QPixmap(AppPaths::dataPath("/image/Common_bg/no_title_logo.png"))
                        .scaled(20, 20, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_labTitle = new QLabel(windowTitle(), this);
    m_labTitle->setFont(Theme::font(13, true));
    m_labTitle->setStyleSheet("color: white;");
    m_btnClose = new QImageButton(this);
    m_btnClose->setObjectName("m_btnClose");
    m_btnClose->loadImage(AppPaths::dataPath("/image/btn_close.png"));
    title->addWidget(logo);
    title->addWidget(m_labTitle);
    title->addStretch();
    title->addWidget(m_btnClose);
    root->addLayout(title);
    root->addSpacing(4);

    // The two previews with their captions. Each pane sits in a black box and
    // takes the picture's shape inside it (ResizeVideoWindow), so overlays
    // laid over the output pane map fractions of the picture onto pixels.
    auto *panes = new QHBoxLayout;
    panes->setSpacing(16);
    auto makeBox = [this](QVBoxLayout *column, const QString &text, QLabel *&label) {
        label = EditPageStyle::caption(text, this);
        column->addWidget(label);
        auto *box = new QWidget(this);
        box->setFixedSize(kPaneBoxWidth, kPaneBoxHeight);
        box->setAutoFillBackground(true);
        QPalette pal = box->palette();
        pal.setColor(QPalette::Window, Qt::black);
        box->setPalette(pal);
        column->addWidget(box);
        return box;
    };
    auto *left = new QVBoxLayout;
    auto *right = new QVBoxLayout;
    QWidget *origBox = makeBox(left, tr("Original Preview"), m_labOriginal);
    QWidget *outBox = makeBox(right, tr("Output Preivew"), m_labOutput);
    m_videoOrignalWidget = new VideoImageWindow(origBox);
    m_videoOrignalWidget->setObjectName("m_videoOrignalWidget");
    // ResizeVideoWindow gives the pane the picture's display shape.
    m_videoOrignalWidget->setFillWindow(true);
    m_videoPreviewWidget = new VideoImageWindow(outBox);
    m_videoPreviewWidget->setObjectName("m_videoPreviewWidget");
    m_videoPreviewWidget->setMouseTracking(true);
    m_wave = new AudioWaveWidget(outBox);
    m_wave->setGeometry(0, 0, kPaneBoxWidth, kPaneBoxHeight);
    m_wave->hide();
    panes->addLayout(left);
    panes->addLayout(right);
    root->addLayout(panes);

    // Playback controls.
    auto *controls = new QHBoxLayout;
    controls->setSpacing(6);
    auto makeButton = [this](const QString &image, const char *name, const QString &tip) {
        auto *b = new QImageButton(this);
        b->setObjectName(name);
        b->loadImage(AppPaths::dataPath(image));
        b->setToolTip(tip);
        return b;
    };
    m_btnPlay = makeButton("/image/Player_Dlg/btn_play.png", "m_btnPlay", tr("Play"));
    m_btnPause = makeButton("/image/Player_Dlg/btn_pause.png", "m_btnPause", tr("Pause"));
    m_btnStop = makeButton("/image/Player_Dlg/btn_stop.png", "m_btnStop", tr("Stop"));
    m_playSlider = new qSliderCtrl(this);
    m_playSlider->setObjectName("m_playSlider");
    m_playSlider->setImages(AppPaths::dataPath("/image/EditDlg/Edit_play_trake_slider.png"),
                            AppPaths::dataPath("/image/EditDlg/Edit_play_trake_rate.png"));
    m_playSlider->setTrackColor(Theme::field());
    m_playSlider->setFixedHeight(16);
    m_labPlayTime = new QLabel(this);
    m_labPlayTime->setObjectName("m_labPlayTime");
    m_labPlayTime->setFont(Theme::font(12));
    m_labPlayTime->setStyleSheet("color: white;");
    m_labPlayTime->setMinimumWidth(130);
    m_btnSoundOpen = makeButton("/image/Player_Dlg/btn_volume.png", "m_btnSoundOpen", tr("Mute"));
    m_btnSoundClose = makeButton("/image/Player_Dlg/btn_mute.png", "m_btnSoundClose", tr("Sound"));
    m_soundSlider = new qSliderCtrl(this);
    m_soundSlider->setObjectName("m_soundSlider");
    m_soundSlider->setImages(AppPaths::dataPath("/image/EditDlg/Edit_sound_trake_slider.png"),
                             AppPaths::dataPath("/image/EditDlg/Edit_sound_trake_rate"));
    m_soundSlider->setTrackColor(Theme::field());
    m_soundSlider->setFixedSize(90, 14);
    m_soundSlider->setValue(1.0);
    m_btnScreenshot = makeButton("/image/Player_Dlg/btn_snapshot.png", "m_btnScreenshot", tr("Snapshot"));
    m_btnScreenshotMenu = makeButton("/image/Player_Dlg/btn_setting.png", "m_btnScreenshotMenu", tr("Snapshot"));
    controls->addWidget(m_btnPlay);
    controls->addWidget(m_btnPause);
    controls->addWidget(m_btnStop);
    controls->addWidget(m_playSlider, 1);
    controls->addWidget(m_labPlayTime);
    controls->addWidget(m_btnSoundOpen);
    controls->addWidget(m_btnSoundClose);
    controls->addWidget(m_soundSlider);
    controls->addSpacing(8);
    controls->addWidget(m_btnScreenshot);
    controls->addWidget(m_btnScreenshotMenu);
    root->addLayout(controls);
    m_btnPause->hide();
    m_btnSoundClose->hide();

    // The trim range under the progress slider (trim page only).
    m_TrimDSlider = new QDualSlider(this);
    m_TrimDSlider->setObjectName("m_TrimDSlider");
    root->addWidget(m_TrimDSlider);

    // Page buttons and the page area.
    auto *tabs = new QHBoxLayout;
    tabs->setSpacing(4);
    const QString tabNames[5] = {tr("Trim"), tr("Adjust"), tr("Effect"), tr("Watermark"), tr("Subtitle")};
    for (int i = 0; i < 5; ++i) {
        auto *b = new QTextImageButton(this);
        b->setImage(AppPaths::dataPath("/image/Common_bg/btn_common1.png"), tabNames[i]);
        b->setFont(Theme::font(12));
        m_pageButtons[i] = b;
        tabs->addWidget(b);
    }
    tabs->addStretch();
    root->addLayout(tabs);

    m_pageArea = new QWidget(this);
    m_pageArea->setObjectName("m_pageArea");
    m_pageArea->setMinimumHeight(150);
    auto *pages = new QVBoxLayout(m_pageArea);
    pages->setContentsMargins(0, 0, 0, 0);
    m_trimPage = new QTrimOperatedlgDlg(m_pageArea);
    m_adjustPage = new QAdjustOperateDlg(m_pageArea);
    m_effectPage = new QEffectOperateDlg(m_pageArea);
    m_watermarkPage = new QWatermarkOperateDlg(m_pageArea);
    m_subtitlePage = new QSubtitleOperateDlg(m_pageArea);
    for (QWidget *w : std::initializer_list<QWidget *>{m_trimPage, m_adjustPage, m_effectPage, m_watermarkPage,
                                                      m_subtitlePage})
        pages->addWidget(w);
    root->addWidget(m_pageArea, 1);

    // The overlays of the output pane (crop frame, watermark frame).
    m_cropFrame = new QImageBorderWgt(m_videoPreviewWidget);
    m_cropFrame->setObjectName("m_cropFrame");
    m_cropFrame->hide();
    m_waterFrame = new QImageBorderWgt(m_videoPreviewWidget);
    m_waterFrame->setObjectName("m_waterFrame");
    m_waterFrame->hide();

    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    auto *ok = new QTextImageButton(this);
    ok->setObjectName("m_btnOk");
    ok->setImage(AppPaths::dataPath("/image/Common_bg/btn_common1.png"), tr("Ok"));
    ok->setDefault(true);
    auto *cancel = new QTextImageButton(this);
    cancel->setObjectName("m_btnCancel");
    cancel->setImage(AppPaths::dataPath("/image/Common_bg/btn_common1.png"), tr("Cancel"));
    m_btnOk = ok;
    m_btnCancel = cancel;
    bottom->addWidget(ok);
    bottom->addWidget(cancel);
    root->addLayout(bottom);

    ResizeVideoWindow();
    ShowTime(0);
}

void QVideoEditDlg::resizeEvent(QResizeEvent *event)
{
    QImageDialog::resizeEvent(event);
    ResizeVideoWindow();
}

void QVideoEditDlg::keyPressEvent(QKeyEvent *event)
{
    // Space plays and pauses; the rest is the dialog's (Escape rejects).
    if (event->key() == Qt::Key_Space && isOpen()) {
        if (m_state == Playing)
            OnBtnPause();
        else
            OnBtnPlay();
        return;
    }
    QImageDialog::keyPressEvent(event);
}

void QVideoEditDlg::OnClose() { reject(); }

// ---- Opening ---------------------------------------------------------------------

bool QVideoEditDlg::beforeOpen()
{
    if (!m_player)
        return false;
    if (PlayerIsPlaying(m_player.get()))
        PlayerStop(m_player.get());
    PlayerClose(m_player.get());
    m_state = Closed;
    m_appliedPlan.clear();
    m_timeTimer->stop();
    m_audioTimer->stop();
    m_videoOrignalWidget->clearPicture();
    m_videoPreviewWidget->clearPicture();
    m_wave->clear();
    m_lastError.clear();
    m_restartedEarlyEnd = false;
    m_pendingSeekUs = -1;
    m_seekTimer->stop();
    setPlayingLook(false);
    m_trimPage->setPlayState(false);
    for (QPushButton *b : m_pageButtons)
        b->setEnabled(false);
    InitPayerView();
    return true;
}

bool QVideoEditDlg::openVideo(const QString &path, int width, int height, const ConvertParams &base)
{
    if (!beforeOpen())
        return false;
    m_streamPath = path;
    m_frameWidth = qMax(0, width);
    m_frameHeight = qMax(0, height);
    const bool opened = PlayerOpenFile(m_player.get(), path.toUtf8().constData(), m_frameWidth, m_frameHeight,
                                       kOpenParam)
        == 1;
    if (!opened)
        m_lastError = QString::fromUtf8(PlayerLastError(m_player.get()));
    ConvertParams job = base;
    job.fromDvd = false;
    return afterOpen(opened, job);
}

bool QVideoEditDlg::openDvdTitle(const QString &dvdPath, int title, int width, int height,
                                 const ConvertParams &base)
{
    if (!beforeOpen())
        return false;
    m_streamPath = dvdPath;
    m_frameWidth = qMax(0, width);
    m_frameHeight = qMax(0, height);
    const bool opened = PlayerOpenDvd(m_player.get(), dvdPath.toUtf8().constData(), title, 0, m_frameWidth,
                                      m_frameHeight, kOpenParam)
        == 1;
    if (!opened)
        m_lastError = QString::fromUtf8(PlayerLastError(m_player.get()));
    ConvertParams job = base;
    job.fromDvd = true;
    job.dvdTitle = title;
    return afterOpen(opened, job);
}

bool QVideoEditDlg::afterOpen(bool opened, const ConvertParams &base)
{
    if (!opened) {
        qDebug() << "QVideoEditDlg: cannot open the item for preview:" << m_lastError;
        m_screenTimer->stop();
        m_timeTimer->stop();
        m_audioTimer->stop();
        ShowTime(0);
        setProgress(0);
        return false;
    }
    m_base = base;
    // The item's records as the job carries them, so the first picture is
    // already the edited one; the row's setters then store the same values.
    m_crop = base.crop;
    m_effects = base.effects;
    m_textWatermark = base.textWatermark;
    m_imageWatermark = base.imageWatermark;
    m_subtitleStyle = base.subtitleStyle;
    m_tracks.dvdTitle = base.dvdTitle;
    m_tracks.audioIndex = base.audioIndex;
    m_tracks.subtitleIndex = base.subtitleIndex;
    m_tracks.subtitleStreamCount = base.subtitleStreamCount;
    m_tracks.subtitleFile = base.subtitleFile;
    setTrimRange(base.trimStart, base.trimLength > 0 ? base.trimStart + base.trimLength : 0, false);
    m_state = Stopped;
    m_noVideo = PlayerHasVideo(m_player.get()) == 0;
    m_wave->setVisible(m_noVideo);
    applyEdits();
    ResizeVideoWindow();
    ShowTime(0);
    m_screenTimer->start(50);
    openStreamLists();
    for (QPushButton *b : m_pageButtons)
        b->setEnabled(true);
    showPage(TrimPage);
    OnBtnPlay();
    return true;
}

void QVideoEditDlg::InitPayerView()
{
    if (!m_player)
        return;
    PlayerSetFrameCallback(m_player.get(), ZX_FRAME_SOURCE, ZX_PIXEL_RGB32, &VideoImageWindow::frameCallback,
                           m_videoOrignalWidget);
    PlayerSetFrameCallback(m_player.get(), ZX_FRAME_OUTPUT, ZX_PIXEL_RGB32, &VideoImageWindow::frameCallback,
                           m_videoPreviewWidget);
    m_videoOrignalWidget->update();
    m_videoPreviewWidget->update();
}

void QVideoEditDlg::ResizeVideoWindow()
{
    const QSize box(kPaneBoxWidth, kPaneBoxHeight);
    QSize source = box;
    QSize output = box;
    if (isOpen() && !m_noVideo) {
        ZxPlayer *p = m_player.get();
        const int w = PlayerSourceWidth(p);
        const int h = PlayerSourceHeight(p);
        int num = 0, den = 0;
        // The picture as shown: a known display aspect decides the shape.
        if (w > 0 && h > 0 && PlayerDisplayAspect(p, &num, &den) == 1 && num > 0 && den > 0)
            source = QSize(int(std::lround(double(h) * num / den)), h);
        else if (w > 0 && h > 0)
            source = QSize(w, h);
        source = fitInto(source, box);
        const int ow = PlayerOutputWidth(p);
        const int oh = PlayerOutputHeight(p);
        output = fitInto(QSize(ow, oh), box);
    }
    m_videoOrignalWidget->setGeometry((box.width() - source.width()) / 2, (box.height() - source.height()) / 2,
                                      source.width(), source.height());
    m_videoPreviewWidget->setGeometry((box.width() - output.width()) / 2, (box.height() - output.height()) / 2,
                                      output.width(), output.height());
}

// ---- Records ---------------------------------------------------------------------

void QVideoEditDlg::applyEdits()
{
    if (!isOpen())
        return;
    ConvertParams p = m_base;
    p.width = m_frameWidth;
    p.height = m_frameHeight;
    p.crop = m_crop;
    p.effects = m_effects;
    p.textWatermark = m_textWatermark;
    p.imageWatermark = m_imageWatermark;
    p.subtitleStyle = m_subtitleStyle;
    p.audioIndex = m_tracks.audioIndex;
    p.subtitleIndex = m_tracks.subtitleIndex;
    p.subtitleStreamCount = m_tracks.subtitleStreamCount;
    p.subtitleFile = m_tracks.subtitleFile;
    // The row hands over records the dialog already started from; a set
    // equal to the one the player has would only redraw the same picture.
    ParamPlan plan = buildParamPlan(p);
    if (!m_appliedPlan.empty() && plan == m_appliedPlan)
        return;
    std::string refused;
    zxh::ParamsPtr set = createParamSet(plan, &refused);
    if (!refused.empty())
        qDebug() << "QVideoEditDlg: values refused:" << refused.c_str();
    if (set && PlayerSetParams(m_player.get(), set.get()) == 1)
        m_appliedPlan = std::move(plan);
    else
        qDebug() << "QVideoEditDlg: the edits were not taken";
    // A new crop or ratio may change the output picture's shape.
    ResizeVideoWindow();
    if (m_state != Playing)
        PlayerRedraw(m_player.get());
}

void QVideoEditDlg::setCropSettings(const CropSettings &crop)
{
    m_crop = crop;
    applyEdits();
    fillAdjustPage();
}

void QVideoEditDlg::setWatermarkText(const WatermarkTextSettings &text)
{
    m_textWatermark = text;
    applyEdits();
    fillWatermarkPage();
}

void QVideoEditDlg::setWatermarkImage(const WatermarkImageSettings &image)
{
    m_imageWatermark = image;
    applyEdits();
    fillWatermarkPage();
}

void QVideoEditDlg::setTrackSelection(const TrackSelection &tracks)
{
    m_tracks = tracks;
    showTrackSelection();
    applyEdits();
}

TrackSelection QVideoEditDlg::trackSelection() const { return m_tracks; }

void QVideoEditDlg::setSubtitleStyle(const SubtitleStyleSettings &style)
{
    m_subtitleStyle = style;
    applyEdits();
}

void QVideoEditDlg::setEffectSettings(const EffectSettings &effects)
{
    m_effects = effects;
    applyEdits();
    fillEffectPage();
}

void QVideoEditDlg::setTrimRange(qint64 startUs, qint64 endUs, bool refreshPage)
{
    m_trimStart = qMax<qint64>(0, startUs);
    m_trimEnd = endUs > m_trimStart ? endUs : 0;
    if (m_trimEnd == 0)
        m_trimStart = 0;
    if (refreshPage)
        refreshTrimPage();
}

qint64 QVideoEditDlg::duration() const { return isOpen() ? PlayerDuration(m_player.get()) : 0; }
qint64 QVideoEditDlg::position() const { return isOpen() ? PlayerPosition(m_player.get()) : 0; }

qint64 QVideoEditDlg::workingLength() const
{
    return m_trimEnd > 0 ? m_trimEnd - m_trimStart : duration();
}

// ---- Pages -----------------------------------------------------------------------

void QVideoEditDlg::OnBtnEdit()
{
    for (QPushButton *b : m_pageButtons)
        b->show();
    showPage(TrimPage);
}

void QVideoEditDlg::OnTrimBtn() { showPage(TrimPage); }
void QVideoEditDlg::OnCropBtn() { showPage(AdjustPage); }
void QVideoEditDlg::OnEffectBtn() { showPage(EffectPage); }
void QVideoEditDlg::OnWatermarkBtn() { showPage(WatermarkPage); }
void QVideoEditDlg::OnSubtitleBtn() { showPage(SubtitlePage); }

void QVideoEditDlg::resetOverlays()
{
    resetAdjustOverlays();
    m_trimPage->hide();
    m_adjustPage->hide();
    m_effectPage->hide();
    m_watermarkPage->hide();
    m_subtitlePage->hide();
    m_TrimDSlider->hide();
    m_cropTimer->stop();
    m_waterTimer->stop();
}

void QVideoEditDlg::showPage(int page)
{
    if (page < TrimPage || page > SubtitlePage)
        return;
    // The shown page's button is the disabled one.
    if (m_page >= TrimPage && m_page <= SubtitlePage && isOpen())
        m_pageButtons[m_page - 1]->setEnabled(true);
    if (isOpen())
        m_pageButtons[page - 1]->setEnabled(false);
    m_page = page;
    resetOverlays();
    switch (page) {
    case TrimPage:
        m_trimPage->show();
        m_TrimDSlider->show();
        break;
    case AdjustPage:
        m_adjustPage->show();
        showAdjustOverlay(page);
        break;
    case EffectPage:
        m_effectPage->show();
        break;
    case WatermarkPage:
        m_watermarkPage->show();
        showAdjustOverlay(page);
        break;
    case SubtitlePage:
        m_subtitlePage->show();
        break;
    }
}

// ---- Playback --------------------------------------------------------------------

void QVideoEditDlg::setPlayingLook(bool playing)
{
    m_btnPlay->setVisible(!playing);
    m_btnPause->setVisible(playing);
}

void QVideoEditDlg::setProgress(double percent)
{
    m_playSlider->setValue(qBound(0.0, percent / 100.0, 1.0));
}

double QVideoEditDlg::progressValue() const { return m_playSlider->value() * 100.0; }

QString QVideoEditDlg::timeText() const { return m_labPlayTime->text(); }

void QVideoEditDlg::OnBtnPlay()
{
    if (!isOpen())
        return;
    ZxPlayer *p = m_player.get();
    if (PlayerIsReady(p) != 1 && PlayerStart(p) != 1) {
        setPlayingLook(false);
        ShowTime(0);
        return;
    }
    // A trimmed item plays inside its range: from its start when the
    // position is outside it.
    if (m_trimEnd > 0) {
        const qint64 pos = PlayerPosition(p);
        if (pos < m_trimStart || pos >= m_trimEnd || PlayerIsEnd(p) == 1)
            seekPreview(m_trimStart);
    }
    if (PlayerPlay(p) != 1)
        return;
    if (m_noVideo) {
        m_audioTimer->start(50);
        m_wave->show();
    } else {
        m_videoPreviewWidget->show();
    }
    m_state = Playing;
    setPlayingLook(true);
    m_screenTimer->stop();
    m_timeTimer->start(100);
    m_trimPage->setPlayState(true);
}

void QVideoEditDlg::OnBtnPause()
{
    if (!isOpen())
        return;
    if (PlayerPause(m_player.get()) != 1)
        return;
    m_state = Paused;
    m_screenTimer->start(50);
    m_timeTimer->stop();
    m_audioTimer->stop();
    m_wave->clear();
    setPlayingLook(false);
}

void QVideoEditDlg::stopToStart()
{
    m_state = Stopped;
    m_screenTimer->start(50);
    m_timeTimer->stop();
    m_audioTimer->stop();
    m_wave->clear();
    setPlayingLook(false);
    ShowTime(0);
    setProgress(0);
}

void QVideoEditDlg::OnBtnStop()
{
    if (!isOpen())
        return;
    PlayerStop(m_player.get());
    // Stopping returns to the start of the working range.
    seekPreview(m_trimStart);
    stopToStart();
}

void QVideoEditDlg::VideoFinished()
{
    if (!isOpen())
        return;
    stopToStart();
}

void QVideoEditDlg::UpdataScreen()
{
    // A seek under way (or one waiting behind it) brings new pictures anyway;
    // a redraw then would only take time from it.
    if (isOpen() && PlayerIsEnd(m_player.get()) != 1 && PlayerIsBusy(m_player.get()) != 1 && m_pendingSeekUs < 0)
        PlayerRedraw(m_player.get());
}

void QVideoEditDlg::UpdateTime()
{
    if (!isOpen())
        return;
    ZxPlayer *p = m_player.get();
    const qint64 pos = PlayerPosition(p);
    const bool ended = PlayerIsEnd(p) == 1;
    if (ended && m_noVideo && !m_restartedEarlyEnd && pos < duration() - 1000000) {
        // The engine can report the end of a sound-only file as its sound
        // starts (seen when a player is opened again); playing again once
        // gets it going.
        qDebug() << "QVideoEditDlg: early end reported at" << pos << "- playing again";
        m_restartedEarlyEnd = true;
        PlayerPlay(p);
        return;
    }
    if ((m_trimEnd > 0 && pos > m_trimEnd) || ended) {
        OnBtnStop();
        return;
    }
    const qint64 shownMs = qMax<qint64>(0, (pos - m_trimStart) / 1000);
    const qint64 lengthMs = workingLength() / 1000;
    if (lengthMs > 0)
        setProgress(double(shownMs) * 100.0 / double(lengthMs));
    ShowTime(uint64_t(shownMs));
    m_videoPreviewWidget->update();
}

void QVideoEditDlg::OnAudioDataTime()
{
    if (!isOpen())
        return;
    const int16_t *samples = nullptr;
    int bytes = 0;
    if (PlayerAudioBlock(m_player.get(), &samples, &bytes) == 1 && samples && bytes > 0)
        m_wave->setSamples(samples, bytes / 2);
    PlayerReleaseAudioBlock(m_player.get());
}

void QVideoEditDlg::PlayProValueChange(double value)
{
    if (!isOpen())
        return;
    const qint64 end = m_trimEnd > 0 ? m_trimEnd : duration();
    const qint64 target = m_trimStart + qint64(double(end - m_trimStart) * qBound(0.0, value, 1.0));
    seekPreview(target, true);
    // The label counts from the start of the working range, as while playing.
    ShowTime(uint64_t(qMax<qint64>(0, (target - m_trimStart) / 1000)));
}

QString QVideoEditDlg::formatTime(qint64 ms) const
{
    const qint64 s = qMax<qint64>(0, ms) / 1000;
    return QString("%1:%2:%3")
        .arg(s / 3600, 2, 10, QChar('0'))
        .arg((s % 3600) / 60, 2, 10, QChar('0'))
        .arg(s % 60, 2, 10, QChar('0'));
}

void QVideoEditDlg::ShowTime(uint64_t ms)
{
    m_labPlayTime->setText(formatTime(qint64(ms)) + " / " + formatTime(workingLength() / 1000));
}

// ---- Sound -----------------------------------------------------------------------

void QVideoEditDlg::OnBtnSoundClose()
{
    if (!isOpen())
        return;
    m_btnSoundOpen->hide();
    m_btnSoundClose->show();
    m_lastVolume = m_soundSlider->value() * 100.0;
    if (m_lastVolume <= 0.0)
        m_lastVolume = 100.0;
    m_soundSlider->setValue(0.0);
    PlayerSetVolume(m_player.get(), 0);
}

void QVideoEditDlg::OnBtnSoundOpen()
{
    if (!isOpen())
        return;
    m_btnSoundClose->hide();
    m_btnSoundOpen->show();
    if (m_lastVolume <= 0.0)
        m_lastVolume = 100.0;
    m_soundSlider->setValue(m_lastVolume / 100.0);
    PlayerSetVolume(m_player.get(), int(m_lastVolume));
}

void QVideoEditDlg::SoundValueChange(double value)
{
    if (!isOpen())
        return;
    m_lastVolume = 100.0 * qBound(0.0, value, 1.0);
    m_btnSoundOpen->setVisible(value > 0.0);
    m_btnSoundClose->setVisible(value <= 0.0);
    PlayerSetVolume(m_player.get(), int(m_lastVolume));
}

// ---- Apply to all ----------------------------------------------------------------

void QVideoEditDlg::ApplyEditSettingToAll() { emit seedApplyEditSetting(m_crop); }

void QVideoEditDlg::ApplyWaterSettingToAll() { emit seedApplyWaterSetting(m_textWatermark, m_imageWatermark); }
