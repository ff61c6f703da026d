#pragma once
// The player's control bar: the progress slider across the top, then stop,
// previous, back 5 s, play/pause, forward 5 s, next and the time label on the
// left, and mute, volume, snapshot, settings, play list and full screen on
// the right. It only reports clicks and slider moves; the player decides.

#include <QWidget>

class QImageButton;
class QLabel;
class QMenu;
class qSliderCtrl;

class PlayBtnWidget : public QWidget
{
    Q_OBJECT
public:
    explicit PlayBtnWidget(QWidget *parent = nullptr);

    // Playing look: the pause button instead of the play button.
    void setPlayingLook(bool playing);
    bool isPlayingLook() const;
    // Stopped look: play button, progress 0 and the time label at zero.
    void resetLook();
    // Whether the file has a picture (full screen makes sense only then).
    void setHasVideo(bool hasVideo);

    void setProgress(double fraction);   // does not report back
    double progress() const;
    void setVolume(double fraction);     // does not report back
    double volume() const;
    void setMuteLook(bool muted);
    bool isMuteLook() const { return m_muted; }
    void setTimeText(const QString &text);
    QString timeText() const;

    qSliderCtrl *progressSlider() const { return m_progress; }
    qSliderCtrl *volumeSlider() const { return m_volume; }
    QImageButton *button(const QString &objectName) const;

signals:
    void emitBtnBack();
    void emitBtnFast();
    void emitBtnFullScreen();
    void emitBtnListset();
    void emitBtnNextVideo();
    void emitBtnOpenFloder();
    void emitBtnPause();
    void emitBtnPlay();
    void emitBtnSnapSetting();
    void emitBtnSnapshoot();
    void emitBtnStop();
    void emitBtnVolume(bool mute);
    void emitBtnPreVideo();
    void sendVolumeValue(double fraction);
    void sendProgressValue(double fraction);

public slots:
    void OnBtnPalyOrPause();
    void OnBtnMute();
    void OnListSet();
    void OnBtnSnapSetting();
    void OnActOpenFolder();
    void OnActSetting();
    void OnBtnFullScreen();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImageButton *makeButton(const char *name, const char *image, const QString &tip);

    qSliderCtrl *m_progress;
    qSliderCtrl *m_volume;
    QLabel *m_labTime;
    QImageButton *m_btnPlay;
    QImageButton *m_btnPause;
    QImageButton *m_btnVolume;
    QImageButton *m_btnMute;
    QImageButton *m_btnFullScreen;
    QMenu *m_settingMenu;
    bool m_muted = false;
};
