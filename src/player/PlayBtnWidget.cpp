#include "player/PlayBtnWidget.h"

#include "base/AppPaths.h"
#include "widgets/DarkMenuStyle.h"
#include "widgets/QImageButton.h"
#include "widgets/Theme.h"
#include "widgets/qSliderCtrl.h"

#include <QCursor>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QVBoxLayout>

PlayBtnWidget::PlayBtnWidget(QWidget *parent)
    : QWidget(parent)
    , m_progress(new qSliderCtrl(this))
    , m_volume(new qSliderCtrl(this))
    , m_labTime(new QLabel(this))
    , m_settingMenu(new QMenu(this))
{
    setFixedHeight(66);
    m_progress->setObjectName("m_sliderProgress");
    m_volume->setObjectName("m_sliderVolume");
    m_progress->setImages(AppPaths::dataPath("/image/Player_Dlg/play_trake_slider.png"),
                          AppPaths::dataPath("/image/Player_Dlg/play_trake_rate.png"));
    m_volume->setImages(AppPaths::dataPath("/image/Player_Dlg/sound_trake_slider.png"),
                        AppPaths::dataPath("/image/Player_Dlg/sound_trake_rate.png"));
    m_volume->setFixedWidth(80);
    m_volume->setValue(1.0);

    auto *stop = makeButton("m_btnStop", "/image/Player_Dlg/btn_stop.png", tr("Stop"));
    auto *pre = makeButton("m_btnPre", "/image/Player_Dlg/btn_pre.png", tr("Previous"));
    auto *back = makeButton("m_btnBack", "/image/Player_Dlg/btn_back.png", tr("Back 5 seconds"));
    m_btnPlay = makeButton("m_btnPlay", "/image/Player_Dlg/btn_play.png", tr("Play"));
    m_btnPause = makeButton("m_btnPause", "/image/Player_Dlg/btn_pause.png", tr("Pause"));
    auto *fast = makeButton("m_btnFast", "/image/Player_Dlg/btn_fast.png", tr("Forward 5 seconds"));
    auto *next = makeButton("m_btnNext", "/image/Player_Dlg/btn_next.png", tr("Next"));
    m_btnVolume = makeButton("m_btnVolume", "/image/Player_Dlg/btn_volume.png", tr("Mute"));
    m_btnMute = makeButton("m_btnMute", "/image/Player_Dlg/btn_mute.png", tr("Sound on"));
    auto *snap = makeButton("m_btnSnapshoot", "/image/Player_Dlg/btn_snapshot.png", tr("Snapshot"));
    auto *setting = makeButton("m_btnSetting", "/image/Player_Dlg/btn_setting.png", tr("Settings"));
    auto *list = makeButton("m_btnList", "/image/Player_Dlg/btn_list.png", tr("Play list"));
    m_btnFullScreen = makeButton("m_btnFullScreen", "/image/Player_Dlg/btn_fullscreen.png", tr("Full screen"));
    m_btnPause->hide();
    m_btnMute->hide();

    m_labTime->setObjectName("m_labTime");
    m_labTime->setFont(Theme::font(12));
    m_labTime->setStyleSheet(Theme::sheet("color: @muted;"));
    m_labTime->setText("00:00:00 / 00:00:00");

    auto *row = new QHBoxLayout;
    row->setContentsMargins(10, 0, 10, 0);
    row->setSpacing(6);
    for (QWidget *w : {static_cast<QWidget *>(stop), static_cast<QWidget *>(pre), static_cast<QWidget *>(back),
                       static_cast<QWidget *>(m_btnPlay), static_cast<QWidget *>(m_btnPause),
                       static_cast<QWidget *>(fast), static_cast<QWidget *>(next)})
        row->addWidget(w);
    row->addSpacing(10);
    row->addWidget(m_labTime);
    row->addStretch(1);
    row->addWidget(m_btnVolume);
    row->addWidget(m_btnMute);
    row->addWidget(m_volume);
    row->addSpacing(8);
    for (QWidget *w : {static_cast<QWidget *>(snap), static_cast<QWidget *>(setting), static_cast<QWidget *>(list),
                       static_cast<QWidget *>(m_btnFullScreen)})
        row->addWidget(w);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 4, 0, 6);
    column->setSpacing(4);
    auto *top = new QHBoxLayout;
    top->setContentsMargins(10, 0, 10, 0);
    top->addWidget(m_progress);
    column->addLayout(top);
    column->addLayout(row);

    m_settingMenu->setStyleSheet(DarkMenuStyle::styleSheet(120));
    m_settingMenu->addAction(tr("Open Floder"), this, &PlayBtnWidget::OnActOpenFolder);
    m_settingMenu->addAction(tr("Settings"), this, &PlayBtnWidget::OnActSetting);

    connect(stop, &QPushButton::clicked, this, &PlayBtnWidget::emitBtnStop);
    connect(pre, &QPushButton::clicked, this, &PlayBtnWidget::emitBtnPreVideo);
    connect(back, &QPushButton::clicked, this, &PlayBtnWidget::emitBtnBack);
    connect(m_btnPlay, &QPushButton::clicked, this, &PlayBtnWidget::OnBtnPalyOrPause);
    connect(m_btnPause, &QPushButton::clicked, this, &PlayBtnWidget::OnBtnPalyOrPause);
    connect(fast, &QPushButton::clicked, this, &PlayBtnWidget::emitBtnFast);
    connect(next, &QPushButton::clicked, this, &PlayBtnWidget::emitBtnNextVideo);
    connect(m_btnVolume, &QPushButton::clicked, this, &PlayBtnWidget::OnBtnMute);
    connect(m_btnMute, &QPushButton::clicked, this, &PlayBtnWidget::OnBtnMute);
    connect(snap, &QPushButton::clicked, this, &PlayBtnWidget::emitBtnSnapshoot);
    connect(setting, &QPushButton::clicked, this, &PlayBtnWidget::OnBtnSnapSetting);
    connect(list, &QPushButton::clicked, this, &PlayBtnWidget::OnListSet);
    connect(m_btnFullScreen, &QPushButton::clicked, this, &PlayBtnWidget::OnBtnFullScreen);
    connect(m_progress, &qSliderCtrl::sendProgressValue, this, &PlayBtnWidget::sendProgressValue);
    connect(m_volume, &qSliderCtrl::sendProgressValue, this, [this](double f) {
        // Moving the volume up from zero takes the mute off.
        if (m_muted && f > 0)
            setMuteLook(false);
        emit sendVolumeValue(f);
    });
}

QImageButton *PlayBtnWidget::makeButton(const char *name, const char *image, const QString &tip)
{
    auto *b = new QImageButton(this);
    b->setObjectName(name);
    b->loadImage(AppPaths::dataPath(image));
    b->setToolTip(tip);
    return b;
}

QImageButton *PlayBtnWidget::button(const QString &objectName) const
{
    return findChild<QImageButton *>(objectName);
}

void PlayBtnWidget::setPlayingLook(bool playing)
{
    m_btnPlay->setVisible(!playing);
    m_btnPause->setVisible(playing);
}

bool PlayBtnWidget::isPlayingLook() const
{
    return !m_btnPause->isHidden();
}

void PlayBtnWidget::resetLook()
{
    setPlayingLook(false);
    setProgress(0);
    setTimeText("00:00:00 / 00:00:00");
}

void PlayBtnWidget::setHasVideo(bool hasVideo)
{
    m_btnFullScreen->setEnabled(hasVideo);
}

void PlayBtnWidget::setProgress(double fraction) { m_progress->setValue(fraction); }
double PlayBtnWidget::progress() const { return m_progress->value(); }
void PlayBtnWidget::setVolume(double fraction) { m_volume->setValue(fraction); }
double PlayBtnWidget::volume() const { return m_volume->value(); }

void PlayBtnWidget::setMuteLook(bool muted)
{
    m_muted = muted;
    m_btnVolume->setVisible(!muted);
    m_btnMute->setVisible(muted);
}

void PlayBtnWidget::setTimeText(const QString &text) { m_labTime->setText(text); }
QString PlayBtnWidget::timeText() const { return m_labTime->text(); }

void PlayBtnWidget::OnBtnPalyOrPause()
{
    if (sender() == m_btnPause)
        emit emitBtnPause();
    else
        emit emitBtnPlay();
}

void PlayBtnWidget::OnBtnMute()
{
    setMuteLook(!m_muted);
    emit emitBtnVolume(m_muted);
}

void PlayBtnWidget::OnListSet() { emit emitBtnListset(); }

void PlayBtnWidget::OnBtnSnapSetting() { m_settingMenu->popup(QCursor::pos()); }

void PlayBtnWidget::OnActOpenFolder() { emit emitBtnOpenFloder(); }

void PlayBtnWidget::OnActSetting() { emit emitBtnSnapSetting(); }

void PlayBtnWidget::OnBtnFullScreen() { emit emitBtnFullScreen(); }

void PlayBtnWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QLinearGradient g(0, 0, 0, height());
    g.setColorAt(0, Theme::panel().darker(135));
    g.setColorAt(1, Theme::field());
    p.fillRect(rect(), g);
    p.setPen(QColor(0, 0, 0, 150));
    p.drawLine(0, 0, width(), 0);
}
