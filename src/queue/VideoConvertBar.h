#pragma once
// One row of the queue list: a custom-painted, 84-pixel strip for one source
// item. It shows the thumbnail and the output facts (name, length, estimated
// size, resolution, format), offers the audio and subtitle choice, rename,
// edit and delete, owns the item's edit records and drives the conversion of
// its item, alone or as one source of a merged output.
//
// GUI thread only, except convertCallback(), which runs on the converter's
// worker thread and only emits the queued seedConvertPro.

#include "engine/IAVConverter.h"
#include "queue/ItemRecords.h"
#include "queue/RowConversion.h"
#include "queue/RunScheduler.h"
#include "settings/SettingsRecords.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

namespace Ui { class VideoConvertBar; }
struct OutputFormat;

class VideoConvertBar : public QWidget, public RunRow
{
    Q_OBJECT
public:
    enum RowState {
        RowIdle = 0,
        RowConverting = 1,
        RowWaiting = 2,   // its turn in a run has not come yet
        RowConverted = 4, // also after finishing a merged run
        RowFailed = 5
    };

    explicit VideoConvertBar(QWidget *parent = nullptr);
    // Stops a conversion of this row that still runs (the converter's worker
    // must not call back into a deleted row).
    ~VideoConvertBar() override;

    // Takes the item over (and deletes it). fromDvd marks a DVD title.
    void setItemInfo(ConverItemInfo *info, bool fromDvd);
    // Probes path itself: a file, or with titleIndex >= 0 that title
    // (0-based) of the DVD folder or image at path. False when it cannot be
    // read; the row then stays empty.
    bool setUpFromPath(const QString &path, int titleIndex = -1);

    // Builds the output path, fills the job and starts it, alone or appended
    // to the shared merged output. On failure returns false, keeps the reason
    // (failureReason()) and reports emitConvertedFinish(false) once control
    // is back in the event loop, so the caller's bookkeeping is done first.
    bool startConvert(bool merge) override;
    void setWaiting() override;
    bool isWaitingToRun() const override { return m_rowState == RowWaiting; }
    // reason replaces the kept failure reason when given.
    void markFailed(const QString &reason = QString());
    // Closes the merged output after its last source; the row counts as converted.
    void finishMergedOutput();

    // trimEnd - trimStart when trimmed, else the item's duration (microseconds).
    qint64 convertedLength() const;
    // The history entry of the converted output.
    ConvertedFileInfo convertedFileInfo() const;

    // Selection by the mouse; the list reads RowSelected as selected.
    enum SelectionState { RowNotSelected = 0, RowSelected = 2 };
    int selectionState() const { return m_selectionState; }
    void setSelectionState(int state);
    QString outputPath() const { return m_outputPath; }
    QString sourcePath() const { return m_sourcePath; }
    QString displayName() const { return m_displayName; }
    int rowState() const { return m_rowState; }
    bool fromDvd() const { return m_fromDvd; }
    QString thumbnailFile() const { return m_thumbnailFile; }
    // Why the last start or conversion failed; empty when it did not.
    QString failureReason() const { return m_failureReason; }

    // What the row shows.
    QString durationShown() const;
    QString sizeShown() const;
    QString resolutionShown() const;
    QString formatShown() const;
    // The chosen audio track's codec ("aac"), "" when unknown.
    QString sourceAudioCodec() const;
    // The output file's extension: an extract's follows the sound's codec.
    QString outputExtension() const;
    bool isProgressVisible() const { return m_progressVisible; }
    int progressValue() const { return m_progress; }

    // Edit records.
    CropSettings cropSettings() const { return m_crop; }
    WatermarkTextSettings textWatermark() const { return m_textWatermark; }
    WatermarkImageSettings imageWatermark() const { return m_imageWatermark; }
    TrackSelection trackSelection() const { return m_tracks; }
    QList<subltItemInfo> subtitleList() const { return m_subtitleList; }
    void setTrimRange(qint64 startUs, qint64 endUs);

    // The job as it would be started now.
    ConvertParams convertParams() const;

    // The converter's progress callback (worker thread).
    static void convertCallback(int percent, void *owner, convertState state);

signals:
    void emitMousePress();
    void emitMouseShiftPress();
    void emitMouseCtrlPress();
    void emitDelete();
    void emitVideoPlay(QString);
    void emitshowTreeMenu();
    void seedEditSetting(CropSettings cropSet);
    void seedWaterSetting(WatermarkTextSettings textWater, WatermarkImageSettings imgWater);
    void emitMergerNext();
    void emitConvertedFinish(bool bSucceed);
    void seedConvertPro(uint pro, convertState state);
    void emitConvertedVideo(QString filePath);

public slots:
    void OnBtnDelete();
    void VideoStartPlay();
    void OnEditVideo();
    void OnBtnEdit();
    void ChangeName();
    void OnCancelConvert() override;
    void setEditSetting(CropSettings cropSet);
    void setWaterSetting(WatermarkTextSettings textWater, WatermarkImageSettings imgWater);
    void UpdataConverPro(uint nPro, convertState state);
    void StartConvertSet(bool start);
    void setAudioCmb(QStringList audioList, int index = 0);
    void setSubtlCmb(QStringList subtlList, int index);
    void setSubtlCmb(QList<subltItemInfo> infoList, int index = 0);
    void AudioSelChange(int index);
    void SubtlSelChange(int index);
    void setAudioSubtlIndex();
    void removerSubtlItem(int index);
    void addAddSubtl(QString Name, QString path);
    void formatChanged();
    void settingChange();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

    // Entry points of the windows opened from a row. The edit dialog runs
    // modally on the item and returns whether its records were accepted;
    // the player plays the source. Both are filled in with those windows.
    virtual bool runEditDialog();
    virtual void runPlayer();

private:
    void takeOver(const ConverItemInfo &info, bool fromDvd);
    void setThumbnail(const QImage &image);
    void refreshControls();
    void rebuildSubtitleCombo(int current);
    QRect progressRect() const;
    // Why the finished output cannot be recorded; empty when it is the
    // regular, non-empty file this row wrote. ours: the file under the name
    // is the one written.
    QString outputMissing(bool &ours) const;

    Ui::VideoConvertBar *ui;

    QString m_sourcePath;
    QString m_displayName;
    QString m_outputPath;
    int m_width = 0;
    int m_height = 0;
    int m_displayWidth = 0; // m_width with non-square samples applied
    qint64 m_duration = 0;
    bool m_hasVideo = false;
    bool m_hasAudio = false;
    QImage m_thumbnail;
    QString m_thumbnailFile;
    int m_selectionState = RowNotSelected;
    bool m_fromDvd = false;
    int m_rowState = RowIdle;
    qint64 m_trimStart = 0;
    qint64 m_trimEnd = 0;
    CropSettings m_crop;
    EffectSettings m_effects;
    WatermarkTextSettings m_textWatermark;
    WatermarkImageSettings m_imageWatermark;
    SubtitleStyleSettings m_subtitleStyle;
    TrackSelection m_tracks;
    QStringList m_audioCodecs;      // per audio track, from the probe
    QList<qint64> m_audioBitRates;
    QList<subltItemInfo> m_subtitleList;
    RowConversion m_conversion;

    bool m_fillingCombos = false; // combo rebuilds are not user choices
    bool m_hover = false;
    bool m_progressVisible = false;
    int m_progress = 0;
    QString m_failureReason;
    // The file the engine created for this row (device and inode).
    bool m_writtenKnown = false;
    quint64 m_writtenDev = 0;
    quint64 m_writtenIno = 0;
};
