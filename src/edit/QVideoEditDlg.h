#pragma once
// The modal edit dialog a queue row opens for one item: the untouched
// picture ("Original Preview") beside the picture with the current edits
// ("Output Preivew"), a preview player with its controls, and five pages
// (Trim, Adjust, Effect, Watermark, Subtitle) that change one working copy of
// the item's edit records. Every change goes to the preview player at once,
// as one parameter set mapped exactly as the conversion maps it, so what the
// output pane shows is what the converted file shows.
//
// The row's calling order: construct, openVideo/openDvdTitle (false: destroy
// without showing), load the records with the setters, connect the relays,
// exec(), read the records back when accepted, destroy (closes the player).
//
// Every slot does nothing while no player is open.

#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <memory>
#include <zentrix.hpp>

#include "engine/ConvertParams.h"
#include "engine/EditRecordTypes.h"
#include "widgets/QImageDialog.h"

class QLabel;
class QMouseEvent;
class QPushButton;
class QTimer;
class QWidget;
class AudioWaveWidget;
class QImageBorderWgt;
class QImageButton;
class QDualSlider;
class QTrimOperatedlgDlg;
class QAdjustOperateDlg;
class QEffectOperateDlg;
class QWatermarkOperateDlg;
class QSubtitleOperateDlg;
class VideoImageWindow;
class qSliderCtrl;

class QVideoEditDlg : public QImageDialog
{
    Q_OBJECT
public:
    enum Page { TrimPage = 1, AdjustPage = 2, EffectPage = 3, WatermarkPage = 4, SubtitlePage = 5 };
    enum State { Closed, Stopped, Playing, Paused };

    explicit QVideoEditDlg(QWidget *parent = nullptr);
    ~QVideoEditDlg() override;

    // Opening for preview. width x height: the output frame (0 x 0 = the
    // source's own). base: the item's job (codec fields are not used by the
    // preview); its edit records and range are the starting records, which
    // the setters below replace.
    // False when the item cannot be opened: the dialog must then be destroyed
    // without being shown.
    bool openVideo(const QString &path, int width, int height, const ConvertParams &base = ConvertParams());
    bool openDvdTitle(const QString &dvdPath, int title, int width, int height,
                      const ConvertParams &base = ConvertParams());
    bool isOpen() const { return m_state != Closed; }
    State state() const { return m_state; }
    QString lastError() const { return m_lastError; }

    // The records. Each setter stores the record and sends the edits to the
    // preview player.
    void setCropSettings(const CropSettings &crop);
    void setWatermarkText(const WatermarkTextSettings &text);
    void setWatermarkImage(const WatermarkImageSettings &image);
    void setTrackSelection(const TrackSelection &tracks);
    void setSubtitleStyle(const SubtitleStyleSettings &style);
    void setEffectSettings(const EffectSettings &effects);
    // refreshPage: show the trim page as after a trim (handles at the ends,
    // time 0, the preview at the range's start).
    void setTrimRange(qint64 startUs, qint64 endUs, bool refreshPage = true);

    CropSettings cropSettings() const { return m_crop; }
    WatermarkTextSettings watermarkText() const { return m_textWatermark; }
    WatermarkImageSettings watermarkImage() const { return m_imageWatermark; }
    TrackSelection trackSelection() const;
    SubtitleStyleSettings subtitleStyle() const { return m_subtitleStyle; }
    EffectSettings effectSettings() const { return m_effects; }
    qint64 trimStart() const { return m_trimStart; }
    qint64 trimEnd() const { return m_trimEnd; }

    // The working length: the trimmed range, else the duration (microseconds).
    qint64 workingLength() const;
    qint64 duration() const;
    qint64 position() const;
    int currentPage() const { return m_page; }
    QString timeText() const;
    double progressValue() const; // the progress slider, 0..100
    double lastVolume() const { return m_lastVolume; }
    bool hasNoVideo() const { return m_noVideo; }
    ZxPlayer *player() const { return m_player.get(); }

    VideoImageWindow *originalPane() const { return m_videoOrignalWidget; }
    VideoImageWindow *outputPane() const { return m_videoPreviewWidget; }
    QTrimOperatedlgDlg *trimPage() const { return m_trimPage; }
    QAdjustOperateDlg *adjustPage() const { return m_adjustPage; }
    QEffectOperateDlg *effectPage() const { return m_effectPage; }
    QWatermarkOperateDlg *watermarkPage() const { return m_watermarkPage; }
    QSubtitleOperateDlg *subtitlePage() const { return m_subtitlePage; }
    QDualSlider *trimSlider() const { return m_TrimDSlider; }
    qSliderCtrl *playSlider() const { return m_playSlider; }
    qSliderCtrl *soundSlider() const { return m_soundSlider; }

signals:
    void seedApplyEditSetting(CropSettings cropSet);
    void seedApplyWaterSetting(WatermarkTextSettings textWater, WatermarkImageSettings imgWater);
    void emitAudioInfo(QStringList audioList, int index);
    void emitSubtlInfo(QStringList subtlList, int index);
    void emitSubtlInfo(QList<subltItemInfo *> *infoList, int index);
    void emitAddSubtlName(QString name, QString path);
    void emitRemoveSubtl(int index);
    void emitResetCropBorder();

public slots:
    void OnClose();
    void OnBtnEdit();
    void OnTrimBtn();
    void OnCropBtn();
    void OnEffectBtn();
    void OnWatermarkBtn();
    void OnSubtitleBtn();
    void OnShowMenu();
    void OpenImgPath();
    void OnScreenshots();
    void ShowPathSettingDlg();
    void OnBtnPlay();
    void OnBtnPause();
    void OnBtnStop();
    void OnBtnSoundOpen();
    void OnBtnSoundClose();
    void SoundValueChange(double value);
    void PlayProValueChange(double value);
    void VideoFinished();
    void UpdateTime();
    void UpdataScreen();
    void OnAudioDataTime();
    void InitPayerView();
    void ResizeVideoWindow();
    void ShowTime(uint64_t ms);
    void mouseMoveFormVideo(QMouseEvent *event);
    void mouseDownFormVideo(QMouseEvent *event);
    void mouseUpFormVideo(QMouseEvent *event);
    void OnRefreshWaterRes();
    void mouseCropMoveVideo(QMouseEvent *event);
    void mouseCropDownVideo(QMouseEvent *event);
    void mouseCropUpVideo(QMouseEvent *event);
    void ResetCropBorder();
    void OnSelChangeAudio(int index);
    void OnSelChangeSubtl(int index);
    void setTrimStartValue(double value);
    void setTrimEndValue(double value);
    void OnPreviousStep();
    void OnNextStep();
    void PlaySection();
    void OnTrimVideo();
    void ResetTrimTime();
    void OnClickeAspectRadio();
    void radRatioTypeChange();
    void FillModeChange();
    void CalcCropPanScan();
    void MoveCropPanScan();
    void ApplyEditSettingToAll();
    void ApplyWaterSettingToAll();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // ---- Core (QVideoEditDlg.cpp) ------------------------------------------------
    void buildWindow();
    bool beforeOpen();
    bool afterOpen(bool opened, const ConvertParams &base);
    // Sends the current records to the preview player as one set.
    void applyEdits();
    void showPage(int page);
    void resetOverlays();
    void stopToStart();          // OnBtnStop's look without the player call
    void setPlayingLook(bool playing);
    void setProgress(double percent);
    QString formatTime(qint64 ms) const;

    zxh::PlayerPtr m_player;
    State m_state = Closed;
    QString m_lastError;
    ConvertParams m_base;        // the item's job; its records are replaced by the ones below
    ParamPlan m_appliedPlan;     // the edits the player has; empty before the first set
    bool m_noVideo = false;
    bool m_restartedEarlyEnd = false; // see UpdateTime
    double m_lastVolume = 100.0;
    int m_page = 0;
    int m_frameWidth = 0;        // the output frame given at open (0 = the source's)
    int m_frameHeight = 0;

    CropSettings m_crop;
    EffectSettings m_effects;
    WatermarkTextSettings m_textWatermark;
    WatermarkImageSettings m_imageWatermark;
    SubtitleStyleSettings m_subtitleStyle;
    TrackSelection m_tracks;
    qint64 m_trimStart = 0;
    qint64 m_trimEnd = 0;

    QTimer *m_timeTimer;
    QTimer *m_screenTimer;
    QTimer *m_audioTimer;
    QTimer *m_cropTimer;         // keeps the crop frame on the effective rectangle
    QTimer *m_waterTimer;        // keeps the watermark frame on the rendered boxes

    QImageButton *m_btnClose;
    QLabel *m_labTitle;
    QLabel *m_labOriginal;
    QLabel *m_labOutput;
    VideoImageWindow *m_videoOrignalWidget;
    VideoImageWindow *m_videoPreviewWidget;
    AudioWaveWidget *m_wave;
    QImageButton *m_btnPlay;
    QImageButton *m_btnPause;
    QImageButton *m_btnStop;
    QImageButton *m_btnSoundOpen;
    QImageButton *m_btnSoundClose;
    qSliderCtrl *m_playSlider;
    qSliderCtrl *m_soundSlider;
    QLabel *m_labPlayTime;
    QImageButton *m_btnScreenshot;
    QImageButton *m_btnScreenshotMenu;
    QPushButton *m_pageButtons[5];
    QWidget *m_pageArea;
    QPushButton *m_btnOk;
    QPushButton *m_btnCancel;

    // ---- Trim (QVideoEditDlg_trim.cpp) ------------------------------------------
    void wireTrimPage();
    void refreshTrimPage();      // handles at the ends, time 0, preview at the range start
    void stepFrame(int direction);
    // trimStart + L x fraction, rounded to whole microseconds.
    qint64 rangePoint(double fraction) const;
    // Waits (blocking, bounded) until the picture of a seek or step is shown.
    bool waitForPicture(int timeoutMs = 5000) const;
    // Every seek of the dialog goes through here. coalesce (for drags): while
    // the player still works on a seek, only the latest target is kept and
    // sent when that one has shown its picture; otherwise a stream of seeks
    // would keep cancelling each other and nothing would show until the
    // drag ends. A plain seek drops a kept target.
    void seekPreview(qint64 us, bool coalesce = false);
    void sendPendingSeek();
    QTrimOperatedlgDlg *m_trimPage;
    QDualSlider *m_TrimDSlider;
    QTimer *m_seekTimer = nullptr;
    qint64 m_pendingSeekUs = -1;



    // ---- Adjust, Effect, Watermark (QVideoEditDlg_adjust.cpp) --------------------
    void wireAdjustPages();
    void resetAdjustOverlays();  // page switch: frames hidden, crop editing off
    void showAdjustOverlay(int page);
    // The records shown on their pages (the record setters call them).
    void fillAdjustPage();
    void fillEffectPage();
    void fillWatermarkPage();
    void placeCropFrame();       // the crop frame over the effective rectangle
    void recomputeRatio();       // the ratio of the current ratio type, from the crop
    void sendWatermarks();       // after a watermark record changed
    int watermarkUnder(QPoint pos, int *handle) const;
    QAdjustOperateDlg *m_adjustPage;
    QEffectOperateDlg *m_effectPage;
    QWatermarkOperateDlg *m_watermarkPage;
    QImageBorderWgt *m_cropFrame;
    QImageBorderWgt *m_waterFrame;
    struct AdjustState;
    struct AdjustStateDeleter { void operator()(AdjustState *state) const; };
    std::unique_ptr<AdjustState, AdjustStateDeleter> m_adjust;



    // ---- Subtitle page and snapshots (QVideoEditDlg_subtitle.cpp) ----------------
public:
    // The queue row's subtitle entries replace the ones read from the source:
    // the row's list is the one the conversion maps by index, and it holds
    // the files added earlier. The page selects the entry of the track
    // selection. An empty list is ignored.
    void setSubtitleList(const QList<subltItemInfo> &entries);
    // Where snapshots go and their format ("JPEG", "BMP" or "PNG").
    QString snapshotFolder() const;
    QString snapshotFormat() const;

private:
    void wireSubtitlePage();
    // After opening: the source handle, the audio and subtitle lists.
    void openStreamLists();
    // The page shows m_tracks; m_tracks takes the page's file and the
    // source's stream count.
    void showTrackSelection();
    void loadSnapshotSettings();
    QString m_streamPath;        // the item's file or DVD, as opened
    QSubtitleOperateDlg *m_subtitlePage;
    struct SubtitleState;
    struct SubtitleStateDeleter { void operator()(SubtitleState *state) const; };
    std::unique_ptr<SubtitleState, SubtitleStateDeleter> m_subtitle;
};
