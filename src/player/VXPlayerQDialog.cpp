#include "player/VXPlayerQDialog.h"

#include "player/AudioWaveWidget.h"
#include "player/PlayBtnWidget.h"
#include "player/PlayListWidget.h"
#include "player/VideoImageWindow.h"
#include "engine/ZxParamSet.h"
#include "base/AppPaths.h"
#include "widgets/NinePatch.h"
#include "widgets/QImageButton.h"
#include "widgets/Theme.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr qint64 kStepUs = 5000000;       // back and forward steps
constexpr qint64 kEndGuardUs = 1000000;   // no forward step into the last second
constexpr int kOpenParam = 50000;
constexpr int kTitleHeight = 32;

VXPlayerQDialog *g_player = nullptr;

void deleteSharedPlayer()
{
    delete g_player;
    g_player = nullptr;
}

QString hms(qint64 us)
{
    const qint64 s = qMax<qint64>(0, us / 1000000);
    return QString::asprintf("%02lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
}

// "Title3" (as the queue names DVD titles) or "3": the 1-based title number.
int titleIndex(const QString &titleName)
{
    const QRegularExpressionMatch m = QRegularExpression("(\\d+)").match(titleName);
    return m.hasMatch() ? qMax(0, m.captured(1).toInt() - 1) : 0;
}

} // namespace

VXPlayerQDialog *VXPlayerQDialog::instance()
{
    if (!g_player) {
        g_player = new VXPlayerQDialog;
        // Before the application object goes: the engine's threads are joined
        // while the window system still exists.
        qAddPostRoutine(deleteSharedPlayer);
    }
    return g_player;
}

VXPlayerQDialog::VXPlayerQDialog(QWidget *parent)
    : QDialog(parent)
    , m_player(PlayerCreate(-1))
    , m_timeTimer(new QTimer(this))
    , m_screenTimer(new QTimer(this))
    , m_audioTimer(new QTimer(this))
    , m_frame(this)
    , m_titleBar(new QWidget(this))
    , m_labTitle(new QLabel(m_titleBar))
    , m_btnMin(new QImageButton(m_titleBar))
    , m_btnMax(new QImageButton(m_titleBar))
    , m_btnClose(new QImageButton(m_titleBar))
    , m_video(new VideoImageWindow(this))
    , m_wave(new AudioWaveWidget(this))
    , m_list(new PlayListWidget(this))
    , m_bar(new PlayBtnWidget(this))
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(tr("Velmora Player"));
    setAcceptDrops(true);
    setMouseTracking(true);
    m_background.load(AppPaths::dataPath("/image/Player_Dlg/bg_player.png"));
    m_frame.setResizable(true);
    m_frame.watchChildren(true);
    m_frame.setTitleDragRegion(0, 0, 0, kTitleHeight);
    setMinimumSize(640, 400);
    resize(960, 600);

    // Title bar: logo, the file name, minimise, maximise, close.
    m_titleBar->setFixedHeight(kTitleHeight);
    auto *logo = new QLabel(m_titleBar);
    logo->setPixmap(QPixmap(AppPaths::dataPath("/image/Common_bg/no_title_logo.png"))
                        .scaled(20, 20, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_labTitle->setObjectName("m_labTitle");
    m_labTitle->setFont(Theme::font(13, true));
    m_labTitle->setStyleSheet("color: white;");
    m_labTitle->setText(tr("Velmora Player"));
    m_btnMin->setObjectName("m_btnMin");
    m_btnMax->setObjectName("m_btnMax");
    m_btnClose->setObjectName("m_btnClose");
    m_btnMin->loadImage(AppPaths::dataPath("/image/btn_min.png"));
    m_btnMax->loadImage(AppPaths::dataPath("/image/Player_Dlg/btn_max.png"));
    m_btnClose->loadImage(AppPaths::dataPath("/image/btn_close.png"));
    auto *title = new QHBoxLayout(m_titleBar);
    title->setContentsMargins(10, 0, 8, 0);
    title->setSpacing(6);
    title->addWidget(logo);
    title->addWidget(m_labTitle, 1);
    title->addWidget(m_btnMin);
    title->addWidget(m_btnMax);
    title->addWidget(m_btnClose);

    // The picture and the waveform share one place.
    auto *screen = new QGridLayout;
    screen->setContentsMargins(0, 0, 0, 0);
    screen->addWidget(m_video, 0, 0);
    screen->addWidget(m_wave, 0, 0);
    auto *screenHost = new QWidget(this);
    screenHost->setObjectName("m_screen");
    screenHost->setStyleSheet("#m_screen { background: black; }");
    screenHost->setAttribute(Qt::WA_StyledBackground);
    screenHost->setLayout(screen);
    m_video->hide();
    m_wave->hide();

    auto *body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    body->addWidget(screenHost, 1);
    body->addWidget(m_list);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(1, 1, 1, 1);
    column->setSpacing(0);
    column->addWidget(m_titleBar);
    column->addLayout(body, 1);
    column->addWidget(m_bar);

    connect(m_btnClose, &QPushButton::clicked, this, &VXPlayerQDialog::OnBtnClose);
    connect(m_btnMax, &QPushButton::clicked, this, &VXPlayerQDialog::OnBtnMax);
    connect(m_btnMin, &QPushButton::clicked, this, &VXPlayerQDialog::OnBtnMin);
    connect(m_bar, &PlayBtnWidget::emitBtnBack, this, &VXPlayerQDialog::OnBtnBack);
    connect(m_bar, &PlayBtnWidget::emitBtnFast, this, &VXPlayerQDialog::OnBtnFast);
    connect(m_bar, &PlayBtnWidget::emitBtnFullScreen, this, &VXPlayerQDialog::OnBtnFullScreen);
    connect(m_bar, &PlayBtnWidget::emitBtnListset, this, &VXPlayerQDialog::OnBtnListset);
    connect(m_bar, &PlayBtnWidget::emitBtnNextVideo, this, &VXPlayerQDialog::OnBtnNextVideo);
    connect(m_bar, &PlayBtnWidget::emitBtnPreVideo, this, &VXPlayerQDialog::OnBtnPreVideo);
    connect(m_bar, &PlayBtnWidget::emitBtnOpenFloder, this, &VXPlayerQDialog::OnBtnOpenFile);
    connect(m_bar, &PlayBtnWidget::emitBtnPause, this, &VXPlayerQDialog::OnBtnPause);
    connect(m_bar, &PlayBtnWidget::emitBtnPlay, this, &VXPlayerQDialog::OnBtnPlay);
    connect(m_bar, &PlayBtnWidget::emitBtnSnapSetting, this, &VXPlayerQDialog::OnBtnSnapSetting);
    connect(m_bar, &PlayBtnWidget::emitBtnSnapshoot, this, &VXPlayerQDialog::OnBtnSnapshoot);
    connect(m_bar, &PlayBtnWidget::emitBtnStop, this, &VXPlayerQDialog::OnBtnStop);
    connect(m_bar, &PlayBtnWidget::emitBtnVolume, this, &VXPlayerQDialog::OnBtnVolume);
    connect(m_bar, &PlayBtnWidget::sendVolumeValue, this, &VXPlayerQDialog::VolumeValueChange);
    connect(m_bar, &PlayBtnWidget::sendProgressValue, this, &VXPlayerQDialog::ProgressValueChange);
    connect(m_list, &PlayListWidget::emitPlayVideo, this, [this](const QString &path) { PlayVideoFile(path); });
    connect(m_list, &PlayListWidget::emitDeleteVideo, this, &VXPlayerQDialog::DeleteVideo);
    connect(m_video, &VideoImageWindow::emitFullScreen, this, &VXPlayerQDialog::repondFullScreen);
    connect(m_video, &VideoImageWindow::emitPlayOrPause, this, &VXPlayerQDialog::VideoWidgetPress);
    connect(m_video, &VideoImageWindow::emitShowBtn, this, &VXPlayerQDialog::ShowPlayBtn);
    connect(m_timeTimer, &QTimer::timeout, this, &VXPlayerQDialog::UpdateTime);
    connect(m_screenTimer, &QTimer::timeout, this, &VXPlayerQDialog::UpdataScreen);
    connect(m_audioTimer, &QTimer::timeout, this, &VXPlayerQDialog::OnAudioDataTime);

    if (m_player)
        PlayerSetFrameCallback(m_player.get(), ZX_FRAME_OUTPUT, ZX_PIXEL_RGB32, &VideoImageWindow::frameCallback,
                               m_video);
}

VXPlayerQDialog::~VXPlayerQDialog()
{
    // No picture may arrive for a window that is going.
    m_player.reset();
    if (g_player == this)
        g_player = nullptr;
}

// ---- Entry points ------------------------------------------------------------

void VXPlayerQDialog::openFile(const QString &path)
{
    m_list->addFiles({path});
    if (!isVisible())
        exec();
}

void VXPlayerQDialog::addFiles(const QStringList &paths)
{
    m_list->addFiles(paths);
}

void VXPlayerQDialog::playItem(const PlayItem &item, bool runModal)
{
    // The edits go as one set, mapped exactly as the conversion maps them,
    // and before the first picture (see afterOpen).
    m_pendingParams = item.params;
    m_hasPendingParams = true;
    bool ok;
    if (item.dvd) {
        ok = PlayDVDVideoFile(item.path, QString::number(item.dvdTitle + 1), uint32_t(qMax(0, item.width)),
                              uint32_t(qMax(0, item.height)), uint32_t(qMax(0, item.program)));
    } else {
        m_list->markCurrent(item.path);
        ok = PlayVideoFile(item.path, uint32_t(qMax(0, item.width)), uint32_t(qMax(0, item.height)));
    }
    m_hasPendingParams = false;
    if (ok) {
        setRange(item.rangeStart, item.rangeEnd);
        showTime(0);
        m_bar->setProgress(0);
        if (item.rangeStart > 0)
            seekTo(item.rangeStart);
    }
    relayout();
    if (QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    if (!runModal)
        show();
    else if (!isVisible())
        exec();
}

void VXPlayerQDialog::setRange(qint64 startUs, qint64 endUs)
{
    m_rangeStart = qMax<qint64>(0, startUs);
    m_rangeEnd = endUs > m_rangeStart ? endUs : 0;
}

qint64 VXPlayerQDialog::position() const { return PlayerPosition(m_player.get()); }
qint64 VXPlayerQDialog::duration() const { return PlayerDuration(m_player.get()); }
bool VXPlayerQDialog::isSeeking() const { return PlayerIsBusy(m_player.get()) == 1; }
QString VXPlayerQDialog::timeText() const { return m_bar->timeText(); }

void VXPlayerQDialog::applyParams(const ConvertParams &params)
{
    std::string refused;
    zxh::ParamsPtr set = createParamSet(buildParamPlan(params), &refused);
    if (!refused.empty())
        qDebug() << "VXPlayerQDialog: values refused:" << refused.c_str();
    if (set && PlayerSetParams(m_player.get(), set.get()) != 1)
        qDebug() << "VXPlayerQDialog: the edits were not taken";
}

// ---- Opening -------------------------------------------------------------------

void VXPlayerQDialog::beforeOpen(const QString &title)
{
    if (PlayerIsPlaying(m_player.get()) && !PlayerIsEnd(m_player.get()))
        PlayerStop(m_player.get());
    PlayerClose(m_player.get());
    stopTimers();
    m_video->clearPicture();
    m_wave->clear();
    m_bar->setPlayingLook(true);
    m_labTitle->setText(title);
    // A new file starts whole; a queue item sets its range after opening.
    m_rangeStart = 0;
    m_rangeEnd = 0;
    m_lastError.clear();
    m_restartedEarlyEnd = false;
}

bool VXPlayerQDialog::afterOpen(bool opened)
{
    ZxPlayer *p = m_player.get();
    if (opened) {
        // A plain file plays without edits; a queue item with its own.
        applyParams(m_hasPendingParams ? m_pendingParams : ConvertParams());
        m_noVideo = PlayerHasVideo(p) == 0;
        m_bar->setHasVideo(!m_noVideo);
        if (m_fullScreen)
            relayout();
    }
    if (opened && PlayerPlay(p) == 1) {
        PlayerSetVolume(p, m_muted ? 0 : m_volume);
        IsNoVideoSet();
        m_state = Playing;
        m_bar->setPlayingLook(true);
        showTime(0);
        m_timeTimer->start(50);
        if (m_noVideo)
            m_audioTimer->start(50);
        return true;
    }
    m_lastError = QString::fromUtf8(PlayerLastError(p));
    qDebug() << "VXPlayerQDialog: cannot play" << m_path << m_lastError;
    m_state = Failed;
    m_bar->resetLook();
    stopTimers();
    m_video->hide();
    m_wave->hide();
    return false;
}

bool VXPlayerQDialog::PlayVideoFile(QString fileName, uint32_t width, uint32_t height)
{
    const int slash = int(qMax(fileName.lastIndexOf('\\'), fileName.lastIndexOf('/')));
    beforeOpen(slash >= 0 ? fileName.mid(slash + 1) : fileName);
    m_path = fileName;
    const bool opened = PlayerOpenFile(m_player.get(), fileName.toUtf8().constData(), int(width), int(height),
                                       kOpenParam)
        == 1;
    return afterOpen(opened);
}

bool VXPlayerQDialog::PlayDVDVideoFile(QString dvdPath, QString titleName, uint32_t width, uint32_t height,
                                       uint32_t program)
{
    const int title = titleIndex(titleName);
    beforeOpen(QString("%1 - Title%2").arg(QFileInfo(dvdPath).fileName()).arg(title + 1));
    m_path = dvdPath;
    const bool opened = PlayerOpenDvd(m_player.get(), dvdPath.toUtf8().constData(), title, int(program), int(width),
                                      int(height), kOpenParam)
        == 1;
    return afterOpen(opened);
}

// ---- Buttons -------------------------------------------------------------------

void VXPlayerQDialog::OnBtnPlay()
{
    ZxPlayer *p = m_player.get();
    const bool fromStop = m_state == Stopped;
    if (PlayerPlay(p) != 1) {
        m_state = Failed;
        OnBtnStop();
        m_state = Failed;
        return;
    }
    if (fromStop && m_rangeStart > 0)
        seekTo(m_rangeStart);
    if (m_noVideo)
        m_audioTimer->start(50);
    IsNoVideoSet();
    m_state = Playing;
    m_bar->setPlayingLook(true);
    m_screenTimer->stop();
    m_timeTimer->start(500);
}

void VXPlayerQDialog::OnBtnPause()
{
    if (PlayerPause(m_player.get()) != 1)
        return;
    m_state = Paused;
    m_bar->setPlayingLook(false);
    m_screenTimer->start(50);
    m_timeTimer->stop();
    m_audioTimer->stop();
}

void VXPlayerQDialog::OnBtnStop()
{
    PlayerStop(m_player.get());
    m_state = Stopped;
    m_bar->resetLook();
    stopTimers();
    if (m_fullScreen)
        setFullScreen(false);
    m_video->hide();
    m_video->clearPicture();
    m_wave->clear();
    m_bar->setProgress(0);
}

void VXPlayerQDialog::VideoWidgetPress()
{
    ZxPlayer *p = m_player.get();
    if (m_state != Playing) {
        if (PlayerPlay(p) != 1) {
            m_state = Failed;
            return;
        }
        m_state = Playing;
        m_screenTimer->stop();
        m_timeTimer->start(500);
        m_bar->setPlayingLook(true);
    } else if (PlayerPause(p) == 1) {
        m_state = Paused;
        m_screenTimer->start(50);
        m_timeTimer->stop();
        m_bar->setPlayingLook(false);
    }
}

void VXPlayerQDialog::OnBtnBack()
{
    if (m_state != Playing && m_state != Paused)
        return;
    const qint64 pos = position();
    const qint64 target = pos <= kStepUs ? 0 : pos - kStepUs;
    // Never back out of a range that starts later than the file.
    if (m_rangeStart > 0 && target <= m_rangeStart)
        return;
    seekTo(target);
}

void VXPlayerQDialog::OnBtnFast()
{
    if (m_state != Playing && m_state != Paused)
        return;
    const qint64 target = position() + kStepUs;
    if (target > duration() - kEndGuardUs)
        return;
    if (m_rangeEnd > 0 && target >= m_rangeEnd)
        return;
    seekTo(target);
}

void VXPlayerQDialog::seekTo(qint64 us)
{
    PlayerSeek(m_player.get(), us);
    showTime(us - m_rangeStart);
}

qint64 VXPlayerQDialog::workingLength() const
{
    return m_rangeEnd > 0 ? m_rangeEnd - m_rangeStart : qMax<qint64>(0, duration() - m_rangeStart);
}

void VXPlayerQDialog::showTime(qint64 elapsedUs)
{
    const qint64 total = m_rangeEnd > 0 ? m_rangeEnd - m_rangeStart : duration();
    m_bar->setTimeText(hms(elapsedUs) + " / " + hms(total));
}

void VXPlayerQDialog::ProgressValueChange(double fraction)
{
    if (!PlayerIsReady(m_player.get()))
        return;
    const qint64 target = m_rangeStart + qint64(workingLength() * qBound(0.0, fraction, 1.0));
    seekTo(target);
}

void VXPlayerQDialog::VolumeValueChange(double fraction)
{
    m_volume = qBound(0, int(fraction * 100), 100);
    if (m_muted && m_volume > 0)
        m_muted = false;
    if (!m_muted)
        PlayerSetVolume(m_player.get(), m_volume);
}

void VXPlayerQDialog::OnBtnVolume(bool mute)
{
    m_muted = mute;
    PlayerSetVolume(m_player.get(), mute ? 0 : m_volume);
    m_bar->setVolume(mute ? 0.0 : m_volume / 100.0);
    m_bar->setMuteLook(mute);
}

void VXPlayerQDialog::OnBtnFullScreen()
{
    repondFullScreen();
}

void VXPlayerQDialog::repondFullScreen()
{
    if (m_noVideo && !m_fullScreen)
        return;
    setFullScreen(!m_fullScreen);
}

void VXPlayerQDialog::setFullScreen(bool on)
{
    m_fullScreen = on;
    m_video->setFullScreenMode(on);
    m_frame.setLocked(on);
    if (on) {
        showFullScreen();
    } else if (m_maximized) {
        showNormal();
        if (QScreen *s = screen())
            setGeometry(s->availableGeometry());
    } else {
        showNormal();
    }
    relayout();
}

void VXPlayerQDialog::ShowPlayBtn(bool show)
{
    if (m_fullScreen)
        m_bar->setVisible(show);
}

void VXPlayerQDialog::relayout()
{
    m_titleBar->setVisible(!m_fullScreen);
    m_bar->setVisible(!m_fullScreen);
    if (m_fullScreen)
        m_list->hide();
    if (QLayout *l = layout())
        l->setContentsMargins(m_fullScreen || m_maximized ? QMargins() : QMargins(1, 1, 1, 1));
    update();
}

void VXPlayerQDialog::OnBtnListset()
{
    if (m_fullScreen)
        return;
    m_list->setVisible(m_list->isHidden());
    relayout();
}

void VXPlayerQDialog::OnBtnMax()
{
    if (m_fullScreen)
        return;
    if (!m_maximized) {
        m_normalGeometry = geometry();
        if (QScreen *s = screen())
            setGeometry(s->availableGeometry());
        m_maximized = true;
        m_btnMax->loadImage(AppPaths::dataPath("/image/Player_Dlg/btn_restore.png"));
    } else {
        setGeometry(m_normalGeometry);
        m_maximized = false;
        m_btnMax->loadImage(AppPaths::dataPath("/image/Player_Dlg/btn_max.png"));
    }
    m_frame.setLocked(m_maximized);
    relayout();
}

void VXPlayerQDialog::OnBtnMin()
{
    showMinimized();
}

void VXPlayerQDialog::OnBtnNextVideo()
{
    m_list->playNext();
}

void VXPlayerQDialog::OnBtnPreVideo()
{
    m_list->playPrevious();
}

void VXPlayerQDialog::OnBtnOpenFile()
{
    const QStringList files = QFileDialog::getOpenFileNames(this, QString(), ".", "*.*");
    if (!files.isEmpty())
        m_list->addFiles(files);
}

void VXPlayerQDialog::OnBtnSnapSetting() {}

void VXPlayerQDialog::OnBtnSnapshoot() {}

void VXPlayerQDialog::DeleteVideo()
{
    OnBtnStop();
    PlayerClose(m_player.get());
    m_path.clear();
    m_labTitle->setText(tr("Velmora Player"));
}

void VXPlayerQDialog::OnBtnClose()
{
    OnBtnStop();
    PlayerClose(m_player.get());
    if (m_fullScreen)
        setFullScreen(false);
    hide();
}

// ---- Timers --------------------------------------------------------------------

void VXPlayerQDialog::stopTimers()
{
    m_timeTimer->stop();
    m_screenTimer->stop();
    m_audioTimer->stop();
}

void VXPlayerQDialog::UpdateTime()
{
    ZxPlayer *p = m_player.get();
    const qint64 pos = PlayerPosition(p);
    const bool ended = PlayerIsEnd(p);
    if (ended && m_noVideo && !m_restartedEarlyEnd && pos < duration() - kEndGuardUs) {
        // The engine can report the end of a sound-only file as its sound
        // starts, long before the end; playing again once gets it going.
        qDebug() << "VXPlayerQDialog: early end reported at" << pos << "- playing again";
        m_restartedEarlyEnd = true;
        PlayerPlay(p);
        return;
    }
    if ((m_rangeEnd > 0 && pos > m_rangeEnd) || ended) {
        OnBtnStop();
        return;
    }
    const qint64 length = workingLength();
    if (length > 0)
        m_bar->setProgress(double(pos - m_rangeStart) / double(length));
    showTime(pos - m_rangeStart);
}

void VXPlayerQDialog::UpdataScreen()
{
    ZxPlayer *p = m_player.get();
    // A redraw asked for while a seek is under way would only repeat the
    // picture the seek is about to replace.
    if (PlayerIsReady(p) && !PlayerIsEnd(p) && !PlayerIsBusy(p))
        PlayerRedraw(p);
}

void VXPlayerQDialog::IsNoVideoSet()
{
    m_video->setVisible(!m_noVideo);
    m_wave->setVisible(m_noVideo);
}

void VXPlayerQDialog::OnAudioDataTime()
{
    ZxPlayer *p = m_player.get();
    const int16_t *samples = nullptr;
    int bytes = 0;
    if (PlayerAudioBlock(p, &samples, &bytes) == 1 && samples)
        m_wave->setSamples(samples, bytes / 2);
    PlayerReleaseAudioBlock(p);
}

// ---- Window ----------------------------------------------------------------------

void VXPlayerQDialog::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (m_background.isNull() || m_fullScreen || m_maximized)
        p.fillRect(rect(), Theme::field());
    else
        NinePatch::draw(p, rect(), m_background, NinePatch::thirds(m_background.size()));
}

void VXPlayerQDialog::closeEvent(QCloseEvent *event)
{
    // The window is kept for the next play; closing it only hides it.
    event->ignore();
    OnBtnClose();
}

void VXPlayerQDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        if (m_fullScreen)
            setFullScreen(false);
        else
            OnBtnClose();
        return;
    }
    if (event->key() == Qt::Key_Space) {
        VideoWidgetPress();
        return;
    }
    QDialog::keyPressEvent(event);
}

void VXPlayerQDialog::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void VXPlayerQDialog::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (!url.isLocalFile())
            continue;
        QString path = url.toLocalFile();
        path.replace('\\', '/');
        if (QFileInfo(path).isFile())
            paths << path;
    }
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    m_list->addFiles(paths);
}
