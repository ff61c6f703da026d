#pragma once
// The built-in player, "Velmora Player": one frameless window for the whole
// run (instance()), created hidden on first use; closing hides it. It plays a
// file or a DVD title with the item's edits, shows the picture (or a waveform
// for sound-only files), a control bar and a side play list.
//
// States: 1 playing, 2 paused, 4 stopped, 5 failed to start.

#include "player/PlayItem.h"

#include <QDialog>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QStringList>

#include <zentrix.hpp>

#include "widgets/FramelessController.h"

class AudioWaveWidget;
class PlayBtnWidget;
class PlayListWidget;
class QImageButton;
class QLabel;
class QTimer;
class VideoImageWindow;

class VXPlayerQDialog : public QDialog
{
    Q_OBJECT
public:
    enum State { Playing = 1, Paused = 2, Stopped = 4, Failed = 5 };

    // The one shared window, created on first use and deleted when the
    // application ends.
    static VXPlayerQDialog *instance();
    ~VXPlayerQDialog() override;

    // Adds path to the play list, plays it and runs the window modally.
    void openFile(const QString &path);
    // Plays a queue item with its edits and range, then runs the window
    // modally (exec()); with runModal false it is only shown.
    void playItem(const PlayItem &item, bool runModal = true);
    // Appends files to the play list and plays the first.
    void addFiles(const QStringList &paths);

    int state() const { return m_state; }
    QString currentPath() const { return m_path; }
    bool hasNoVideo() const { return m_noVideo; }
    int volume() const { return m_volume; }
    bool isMuted() const { return m_muted; }
    qint64 rangeStart() const { return m_rangeStart; }
    qint64 rangeEnd() const { return m_rangeEnd; }
    void setRange(qint64 startUs, qint64 endUs);
    // The position and length the engine reports (microseconds).
    qint64 position() const;
    qint64 duration() const;
    // True while a seek has been asked for and its picture is not shown yet.
    bool isSeeking() const;
    // Why the last open failed, from the engine.
    QString lastError() const { return m_lastError; }
    QString timeText() const;

    PlayListWidget *playList() const { return m_list; }
    PlayBtnWidget *controlBar() const { return m_bar; }
    VideoImageWindow *videoWindow() const { return m_video; }
    AudioWaveWidget *waveWidget() const { return m_wave; }

public slots:
    void OnBtnClose();
    void OnBtnBack();
    void OnBtnFast();
    void OnBtnFullScreen();
    void OnBtnListset();
    void OnBtnMax();
    void OnBtnMin();
    void OnBtnNextVideo();
    void OnBtnPreVideo();
    void OnBtnOpenFile();
    void OnBtnSnapSetting();
    void OnBtnSnapshoot();
    void OnBtnPause();
    void OnBtnPlay();
    void OnBtnStop();
    void OnBtnVolume(bool mute);
    void ProgressValueChange(double fraction);
    void VolumeValueChange(double fraction);
    void UpdateTime();
    void UpdataScreen();
    bool PlayVideoFile(QString fileName, uint32_t width = 0, uint32_t height = 0);
    bool PlayDVDVideoFile(QString dvdPath, QString titleName = QString(), uint32_t width = 0, uint32_t height = 0,
                          uint32_t program = 0);
    void DeleteVideo();
    void ShowPlayBtn(bool show);
    void repondFullScreen();
    void VideoWidgetPress();
    void IsNoVideoSet();
    void OnAudioDataTime();

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    explicit VXPlayerQDialog(QWidget *parent = nullptr);

    // The steps PlayVideoFile and PlayDVDVideoFile share around the open.
    void beforeOpen(const QString &title);
    bool afterOpen(bool opened);
    void applyParams(const ConvertParams &params);
    void stopTimers();
    void seekTo(qint64 us);
    void showTime(qint64 elapsedUs);
    qint64 workingLength() const;
    void setFullScreen(bool on);
    void relayout();

    zxh::PlayerPtr m_player;
    int m_state = Stopped;
    QString m_path;
    bool m_noVideo = false;
    bool m_restartedEarlyEnd = false;
    ConvertParams m_pendingParams; // the edits of the queue item being opened
    bool m_hasPendingParams = false;
    int m_volume = 100;
    bool m_muted = false;
    qint64 m_rangeStart = 0;
    qint64 m_rangeEnd = 0;
    QString m_lastError;
    bool m_fullScreen = false;
    bool m_maximized = false;
    QRect m_normalGeometry;

    QTimer *m_timeTimer;
    QTimer *m_screenTimer;
    QTimer *m_audioTimer;

    FramelessController m_frame;
    QWidget *m_titleBar;
    QLabel *m_labTitle;
    QImageButton *m_btnMin;
    QImageButton *m_btnMax;
    QImageButton *m_btnClose;
    VideoImageWindow *m_video;
    AudioWaveWidget *m_wave;
    PlayListWidget *m_list;
    PlayBtnWidget *m_bar;
    QPixmap m_background;
};
