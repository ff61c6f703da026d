#include "queue/VideoConvertBar.h"

#include "edit/QVideoEditDlg.h"
#include "ui_VideoConvertBar.h"

#include "profiles/OutputFormat.h"
#include "profiles/OutputParams.h"
#include "queue/ItemProbe.h"
#include "queue/RowOutput.h"
#include "history/ThumbnailFile.h"
#include "player/VXPlayerQDialog.h"
#include "base/AppGlobals.h"
#include "base/AppPaths.h"
#include "widgets/Theme.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <sys/stat.h>

namespace {

const QColor kRowBackground = Theme::panel();
const QColor kRowHover(72, 73, 75);
const QColor kRowSelected = Theme::selection();
const QColor kRowLine(45, 45, 46);
const QColor kTextColor(210, 210, 210);
const QColor kFactColor(160, 160, 160);
const QColor kFailedColor(232, 90, 80);

} // namespace

VideoConvertBar::VideoConvertBar(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::VideoConvertBar)
{
    registerItemRecordTypes();
    ui->setupUi(this);
    setFixedHeight(84);
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover, true);

    QFont font = Theme::font(12);
    for (QLabel *l : {ui->m_labTime, ui->m_labSize, ui->m_labResolution, ui->m_labFormat}) {
        l->setFont(font);
        l->setStyleSheet(QString("color: %1;").arg(kFactColor.name()));
    }
    ui->m_labVideoName->setStyleSheet(QString("color: %1;").arg(kTextColor.name()));
    ui->m_labAudioIcon->setPixmap(QPixmap(AppPaths::dataPath("/image/videodisplay/main_icon_audio@2x.png"))
                                      .scaled(22, 20, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    ui->m_labSubtlIcon->setPixmap(QPixmap(AppPaths::dataPath("/image/videodisplay/main_icon_subtitle@2x.png"))
                                      .scaled(22, 20, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    ui->m_cmbAudio->loadImage(AppPaths::dataPath("/image/Common_bg/bg_combobox2.png"));
    ui->m_cmbSubtitle->loadImage(AppPaths::dataPath("/image/Common_bg/bg_combobox2.png"));
    ui->m_btnEdit->setImage(AppPaths::dataPath("/image/videodisplay/btn_edit.png"), tr("Edit"));
    ui->m_btnEdit->setTextColors(Qt::white, Qt::white, Qt::white, Theme::disabledText());
    ui->m_btnEditName->loadImage(AppPaths::dataPath("/image/videodisplay/btn_rename.png"));
    ui->m_btnClose->loadImage(AppPaths::dataPath("/image/btn_close.png"));
    ui->m_btnEditName->setToolTip(tr("Rename"));
    ui->m_btnClose->setToolTip(tr("Delete"));
    ui->m_videoIconWidget->setPicture(QImage());

    connect(ui->m_videoIconWidget, &RowPicture::emitMouseRelease, this, &VideoConvertBar::VideoStartPlay);
    connect(ui->m_labVideoName, &RetractLabel::emitChangeName, this, &VideoConvertBar::ChangeName);
    connect(ui->m_cmbAudio, &QCustomComboBox::currentIndexChanged, this, &VideoConvertBar::AudioSelChange);
    connect(ui->m_cmbSubtitle, &QCustomComboBox::currentIndexChanged, this, &VideoConvertBar::SubtlSelChange);
    // Emitted on the converter's thread.
    connect(this, &VideoConvertBar::seedConvertPro, this, &VideoConvertBar::UpdataConverPro, Qt::QueuedConnection);
    connect(ui->m_btnClose, &QPushButton::clicked, this, &VideoConvertBar::OnBtnDelete);
    connect(ui->m_btnEdit, &QPushButton::clicked, this, &VideoConvertBar::OnEditVideo);
    connect(ui->m_btnEditName, &QPushButton::clicked, this, &VideoConvertBar::OnBtnEdit);

    refreshControls();
}

VideoConvertBar::~VideoConvertBar()
{
    m_conversion.leaveMerge(m_rowState == RowConverting);
    delete ui;
}

// ---- Item ------------------------------------------------------------------

void VideoConvertBar::setItemInfo(ConverItemInfo *info, bool fromDvd)
{
    if (!info)
        return;
    std::unique_ptr<ConverItemInfo> owned(info);
    takeOver(*owned, fromDvd);
}

bool VideoConvertBar::setUpFromPath(const QString &path, int titleIndex)
{
    const bool dvd = titleIndex >= 0;
    std::unique_ptr<ConverItemInfo> info = dvd ? probeSource(path, titleIndex, true) : probeMediaFile(path);
    if (!info)
        return false;
    // A title the disc does not have reads as nothing at all.
    if (dvd && !info->hasVideo && !info->hasAudio) {
        qDebug() << "VideoConvertBar: no such DVD title" << path << titleIndex;
        return false;
    }
    takeOver(*info, dvd);
    return true;
}

void VideoConvertBar::takeOver(const ConverItemInfo &info, bool fromDvd)
{
    m_sourcePath = info.filePath;
    m_fromDvd = fromDvd;
    if (fromDvd)
        m_displayName = QString("Title%1.").arg(info.dvdTitle + 1);
    else
        m_displayName = m_sourcePath.mid(m_sourcePath.lastIndexOf('/') + 1);
    m_duration = info.duration;
    m_width = info.width;
    m_height = info.height;
    m_displayWidth = info.displayWidth > 0 ? info.displayWidth : info.width;
    m_hasVideo = info.hasVideo;
    m_hasAudio = info.hasAudio;
    m_audioCodecs = info.audioCodecs;
    m_audioBitRates = info.audioBitRates;
    settingChange();

    // A fresh set of edit records: the values a new edit dialog starts with.
    m_crop = CropSettings();
    m_effects = EffectSettings();
    m_textWatermark = WatermarkTextSettings();
    m_imageWatermark = WatermarkImageSettings();
    m_subtitleStyle = SubtitleStyleSettings();

    m_tracks = TrackSelection();
    m_tracks.dvdTitle = info.dvdTitle;
    m_tracks.subtitleStreamCount = info.subtitleStreamCount;
    setThumbnail(info.thumbnail);
    setAudioCmb(info.audioTracks, info.audioIndex);
    setSubtlCmb(info.subtitles, info.subtitleIndex);
}

void VideoConvertBar::setThumbnail(const QImage &image)
{
    m_thumbnail = QImage();
    m_thumbnailFile.clear();
    if (!image.isNull()) {
        m_thumbnail = image.scaled(120, 120, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        // Every title of a disc shares the disc's path.
        const QString file = RowOutput::thumbnailCachePath(m_fromDvd ? m_sourcePath + QString("#title%1").arg(m_tracks.dvdTitle)
                                                          : m_sourcePath);
        // A regular file there is the picture of an earlier import; anything
        // else under the name is replaced, never written through.
        const QFileInfo cached(file);
        if (file.isEmpty())
            qDebug() << "VideoConvertBar: no private thumbnail folder";
        else if ((cached.isFile() && !cached.isSymLink()) || ThumbnailFile::write(m_thumbnail, file))
            m_thumbnailFile = file;
        else
            qDebug() << "VideoConvertBar: cannot write the thumbnail" << file;
    }
    ui->m_videoIconWidget->setPicture(image); // the larger picture: sharp at any device pixel ratio
}

// ---- Output facts ------------------------------------------------------------

qint64 VideoConvertBar::convertedLength() const
{
    const qint64 trimmed = m_trimEnd - m_trimStart;
    return m_trimEnd != 0 && trimmed != 0 ? trimmed : m_duration;
}

QString VideoConvertBar::durationShown() const { return AppPaths::durationText(convertedLength()); }

QString VideoConvertBar::sizeShown() const
{
    const OutputFormat &format = OutputFormat::instance();
    // A copied picture keeps the source's bit rate, and so its share of the
    // file; an extracted sound track is far smaller than a file with video.
    if (format.sameQuality && !m_fromDvd && format.audioOnly && m_hasVideo)
        return AppPaths::sizeText(RowOutput::extractedSize(convertedLength(), m_audioBitRates.value(m_tracks.audioIndex)));
    if (format.sameQuality && !m_fromDvd)
        return AppPaths::sizeText(RowOutput::copiedSize(convertedLength(), QFileInfo(m_sourcePath).size(), m_duration));
    return AppPaths::sizeText(RowOutput::estimatedSize(convertedLength(), m_hasVideo, m_hasAudio, format));
}

QString VideoConvertBar::resolutionShown() const
{
    const OutputFormat &f = OutputFormat::instance();
    if (f.audioOnly)
        return "0*0";
    if (m_hasVideo && f.width > 0 && f.height > 0)
        return QString("%1*%2").arg(f.width).arg(f.height);
    return QString("%1*%2").arg(m_displayWidth).arg(m_height);
}

QString VideoConvertBar::formatShown() const { return outputExtension(); }

QString VideoConvertBar::sourceAudioCodec() const { return m_audioCodecs.value(m_tracks.audioIndex); }

QString VideoConvertBar::outputExtension() const
{
    return ::outputExtension(OutputFormat::instance(), sourceAudioCodec());
}

void VideoConvertBar::formatChanged()
{
    const QString ext = outputExtension();
    if (!ext.isEmpty()) {
        const int dot = m_displayName.lastIndexOf('.');
        // A name without an extension keeps all of itself.
        m_displayName = (dot >= 0 ? m_displayName.left(dot + 1) : m_displayName + '.') + ext;
    }
    ui->m_labVideoName->setFullText(m_displayName);
    // The whole name, however the label cuts it, and where it comes from.
    ui->m_labVideoName->setToolTip(m_displayName + "\n" + m_sourcePath);
    ui->m_labFormat->setText(ext);
}

void VideoConvertBar::settingChange()
{
    formatChanged();
    ui->m_labTime->setText(durationShown());
    ui->m_labSize->setText(sizeShown());
    ui->m_labResolution->setText(resolutionShown());
}

void VideoConvertBar::setTrimRange(qint64 startUs, qint64 endUs)
{
    m_trimStart = startUs;
    m_trimEnd = endUs;
    settingChange();
}

ConvertParams VideoConvertBar::convertParams() const
{
    // A format that keeps the source's size gets the picture as it is
    // shown, so non-square samples come out in their own shape.
    ConvertParams p = outputParams(OutputFormat::instance(), m_displayWidth, m_height, sourceAudioCodec());
    p.crop = m_crop;
    p.dvdTitle = m_tracks.dvdTitle;
    p.audioIndex = m_tracks.audioIndex;
    p.subtitleIndex = m_tracks.subtitleIndex;
    p.subtitleStreamCount = m_tracks.subtitleStreamCount;
    p.subtitleFile = m_tracks.subtitleFile;
    p.subtitleStyle = m_subtitleStyle;
    p.textWatermark = m_textWatermark;
    p.imageWatermark = m_imageWatermark;
    p.trimStart = m_trimStart;
    p.trimLength = m_trimEnd != 0 ? m_trimEnd - m_trimStart : 0;
    p.effects = m_effects;
    p.fromDvd = m_fromDvd;
    return p;
}

ConvertedFileInfo VideoConvertBar::convertedFileInfo() const
{
    ConvertedFileInfo info;
    info.imgPath = m_thumbnailFile;
    info.convertedPath = m_outputPath;
    info.resolution = resolutionShown();
    info.time = durationShown();
    info.size = AppPaths::sizeText(QFileInfo(m_outputPath).size());
    info.extend = formatShown();
    return info;
}

// ---- Conversion ----------------------------------------------------------------


void VideoConvertBar::convertCallback(int percent, void *owner, convertState state)
{
    emit static_cast<VideoConvertBar *>(owner)->seedConvertPro(uint(qMax(0, percent)), state);
}

bool VideoConvertBar::startConvert(bool merge)
{
    m_failureReason.clear();
    // The start is attempted: the row no longer waits, so a row finishing
    // before this failure is reported never starts it a second time.
    if (m_rowState == RowWaiting)
        m_rowState = RowIdle;
    if (AppGlobals::outputFolder().trimmed().isEmpty() || outputExtension().isEmpty()) {
        // Never guess a folder or a format to write into.
        m_outputPath.clear();
        m_failureReason = tr("No output folder or format is chosen.");
        QTimer::singleShot(0, this, [this] { emit emitConvertedFinish(false); });
        refreshControls();
        return false;
    }
    m_outputPath = RowOutput::uniqueOutputPath(AppGlobals::outputFolder(), m_displayName, outputExtension());
    // A name whose hidden part file exists is being written by another row
    // (or was left by a crash): it is taken too.
    const int dot = m_displayName.lastIndexOf('.');
    const QString base = dot >= 0 ? m_displayName.left(dot) : m_displayName;
    for (int n = 1; n < 1000 && QFileInfo::exists(RowConversion::partPath(m_outputPath)); ++n)
        m_outputPath = RowOutput::uniqueOutputPath(AppGlobals::outputFolder(),
                                                   QString("%1(%2).%3").arg(base).arg(n).arg(outputExtension()),
                                                   outputExtension());
    if (!m_conversion.start(m_sourcePath, m_outputPath, convertParams(), merge, this, &convertCallback)) {
        m_failureReason = m_conversion.failure();
        qDebug() << "VideoConvertBar: start failed:" << m_sourcePath << m_failureReason;
        QTimer::singleShot(0, this, [this] { emit emitConvertedFinish(false); });
        refreshControls();
        return false;
    }
    // The engine has created the file by now: remember which one it is, so
    // a file put under the same name later is never taken for ours.
    struct stat st;
    m_writtenKnown = ::stat(QFile::encodeName(RowConversion::partPath(m_outputPath)).constData(), &st) == 0;
    m_writtenDev = m_writtenKnown ? quint64(st.st_dev) : 0;
    m_writtenIno = m_writtenKnown ? quint64(st.st_ino) : 0;
    m_progress = 0;
    m_rowState = RowConverting;
    refreshControls();
    return true;
}

QString VideoConvertBar::outputMissing(bool &ours) const
{
    ours = false;
    struct stat st;
    if (::lstat(QFile::encodeName(RowConversion::partPath(m_outputPath)).constData(), &st) != 0)
        return tr("The output file is gone (was its folder deleted?).");
    if (!S_ISREG(st.st_mode)
        || (m_writtenKnown && (quint64(st.st_dev) != m_writtenDev || quint64(st.st_ino) != m_writtenIno)))
        return tr("The output file was replaced by another file.");
    ours = true;
    // A merged output keeps growing with its next sources.
    if (st.st_size == 0 && !m_conversion.isMerging())
        return tr("The output file is empty.");
    return QString();
}

void VideoConvertBar::UpdataConverPro(uint nPro, convertState state)
{
    // Reports that arrive after a cancel belong to a conversion nobody waits for.
    if (m_rowState != RowConverting)
        return;
    switch (state) {
    case ConvertProgress:
        m_progress = int(qMin(nPro, 100u));
        update(progressRect().adjusted(-2, -12, 40, 12));
        break;
    case ConvertFinished: {
        // Only a file that is really there counts as converted.
        bool ours = false;
        m_failureReason = outputMissing(ours);
        if (!m_failureReason.isEmpty()) {
            if (!ours)
                m_rowState = RowFailed; // nothing under the name is ours to remove
            m_progress = 0;
            update();
            emit emitConvertedFinish(false);
            break;
        }
        // Closed and complete: now it may have its name (a merged output
        // gets it when it is closed).
        if (!m_conversion.isMerging()) {
            const QString named = RowConversion::publish(m_outputPath);
            if (named.isEmpty()) {
                m_failureReason = tr("The output file could not be given its name.");
                m_progress = 0;
                update();
                emit emitConvertedFinish(false);
                break;
            }
            m_outputPath = named;
        }
        m_progress = 0;
        m_rowState = RowConverted;
        refreshControls();
        emit emitConvertedVideo(m_outputPath);
        emit emitConvertedFinish(true);
        break;
    }
    case ConvertFailed: {
        m_failureReason = m_conversion.converterError();
        if (m_failureReason.isEmpty())
            m_failureReason = tr("The conversion failed.");
        m_progress = 0;
        update();
        emit emitConvertedFinish(false);
        break;
    }
    case ConvertStopped:
        m_progress = 0;
        update();
        break;
    }
}

void VideoConvertBar::OnCancelConvert()
{
    const bool ownJobRan = m_rowState == RowConverting && !m_conversion.isMerging();
    m_conversion.cancel();
    // A stop keeps what was converted, closed so that it plays, under its
    // name (a merged output is named when the stop closes it).
    if (ownJobRan) {
        const QString named = RowConversion::publish(m_outputPath);
        if (!named.isEmpty())
            m_outputPath = named;
    }
    m_progress = 0;
    m_rowState = RowIdle;
    refreshControls();
}

void VideoConvertBar::finishMergedOutput()
{
    m_conversion.finishMerged();
    m_rowState = RowConverted;
    refreshControls();
}

void VideoConvertBar::setWaiting()
{
    m_rowState = RowWaiting;
    refreshControls();
}

void VideoConvertBar::markFailed(const QString &reason)
{
    if (!reason.isEmpty())
        m_failureReason = reason;
    m_conversion.clearMerging();
    m_rowState = RowFailed;
    m_progress = 0;
    refreshControls();
}

// ---- Controls --------------------------------------------------------------------

void VideoConvertBar::refreshControls()
{
    ui->m_cmbAudio->setEnabled(true);
    ui->m_cmbSubtitle->setEnabled(true);
    // A source already in the merged output stays locked until the merged
    // file is closed or the run is stopped.
    const bool busy = m_rowState == RowConverting || m_rowState == RowWaiting
                      || (m_rowState == RowConverted && m_conversion.isMerging());
    for (QWidget *w : {static_cast<QWidget *>(ui->m_btnEdit), static_cast<QWidget *>(ui->m_btnEditName),
                       static_cast<QWidget *>(ui->m_btnClose), static_cast<QWidget *>(ui->m_videoIconWidget)})
        w->setEnabled(!busy);
    if (busy) {
        ui->m_cmbAudio->setEnabled(false);
        ui->m_cmbSubtitle->setEnabled(false);
    }
    m_progressVisible = m_rowState == RowConverting;
    ui->m_btnClose->setToolTip(m_rowState == RowFailed && !m_failureReason.isEmpty()
                                   ? tr("Delete") + "\n" + m_failureReason
                                   : tr("Delete"));
    update();
}

void VideoConvertBar::StartConvertSet(bool start)
{
    ui->m_btnEdit->setEnabled(!start);
    if (start && RowConversion::mergeFlag()) {
        ui->m_btnEditName->setEnabled(false);
        ui->m_btnClose->setEnabled(false);
        ui->m_videoIconWidget->setEnabled(false);
    }
}

// ---- Streams ---------------------------------------------------------------------

void VideoConvertBar::setAudioCmb(QStringList audioList, int index)
{
    m_fillingCombos = true;
    ui->m_cmbAudio->clear();
    ui->m_cmbAudio->addItems(audioList);
    ui->m_cmbAudio->setCurrentIndex(index);
    m_fillingCombos = false;
    m_tracks.audioIndex = qMax(0, ui->m_cmbAudio->currentIndex());
}

void VideoConvertBar::setSubtlCmb(QStringList subtlList, int index)
{
    QList<subltItemInfo> list;
    for (const QString &name : subtlList)
        list.append({name.toStdString(), std::string()});
    setSubtlCmb(list, index);
}

void VideoConvertBar::setSubtlCmb(QList<subltItemInfo> infoList, int index)
{
    m_subtitleList = infoList;
    rebuildSubtitleCombo(index);
}

void VideoConvertBar::rebuildSubtitleCombo(int current)
{
    m_fillingCombos = true;
    ui->m_cmbSubtitle->clear();
    for (const subltItemInfo &s : m_subtitleList)
        ui->m_cmbSubtitle->addItem(QString::fromStdString(s.name));
    ui->m_cmbSubtitle->setCurrentIndex(current);
    m_fillingCombos = false;
    SubtlSelChange(qMax(0, ui->m_cmbSubtitle->currentIndex()));
}

void VideoConvertBar::AudioSelChange(int index)
{
    if (m_fillingCombos || index < 0)
        return;
    m_tracks.audioIndex = index;
    settingChange(); // an extract's file type and size follow the track
}

void VideoConvertBar::SubtlSelChange(int index)
{
    if (m_fillingCombos || index < 0)
        return;
    m_tracks.subtitleIndex = index;
    m_tracks.subtitleFile = index < m_subtitleList.size() ? m_subtitleList.at(index).path : std::string();
}

void VideoConvertBar::setAudioSubtlIndex()
{
    ui->m_cmbAudio->setCurrentIndex(m_tracks.audioIndex);
    ui->m_cmbSubtitle->setCurrentIndex(m_tracks.subtitleIndex);
}

void VideoConvertBar::removerSubtlItem(int index)
{
    if (index < 0 || index >= m_subtitleList.size())
        return;
    m_subtitleList.removeAt(index);
    int current = m_tracks.subtitleIndex;
    if (current == index)
        current = 0;
    else if (current > index)
        --current;
    rebuildSubtitleCombo(current);
}

void VideoConvertBar::addAddSubtl(QString Name, QString path)
{
    m_subtitleList.append({Name.toStdString(), path.toStdString()});
    rebuildSubtitleCombo(int(m_subtitleList.size()) - 1);
}

// ---- Buttons and windows -----------------------------------------------------------

void VideoConvertBar::OnBtnDelete() { emit emitDelete(); }

void VideoConvertBar::OnBtnEdit() { ui->m_labVideoName->startRename(); }

void VideoConvertBar::ChangeName()
{
    const QString name = ui->m_labVideoName->fullText();
    if (!name.trimmed().isEmpty() && RetractLabel::isValidName(name))
        m_displayName = name;
    ui->m_labVideoName->setFullText(m_displayName);
    ui->m_labVideoName->setToolTip(m_displayName + "\n" + m_sourcePath);
}

void VideoConvertBar::OnEditVideo()
{
    if (runEditDialog()) {
        setAudioSubtlIndex();
        settingChange();
    }
}

void VideoConvertBar::VideoStartPlay()
{
    if (QFileInfo::exists(m_sourcePath))
        runPlayer();
}

bool VideoConvertBar::runEditDialog()
{
    const ConvertParams params = convertParams();
    QVideoEditDlg dlg(window());
    const bool opened = m_fromDvd
        ? dlg.openDvdTitle(m_sourcePath, m_tracks.dvdTitle, params.width, params.height, params)
        : dlg.openVideo(m_sourcePath, params.width, params.height, params);
    if (!opened) {
        qDebug() << "VideoConvertBar: cannot open for editing" << m_sourcePath << dlg.lastError();
        return false;
    }
    dlg.setCropSettings(m_crop);
    dlg.setWatermarkText(m_textWatermark);
    dlg.setWatermarkImage(m_imageWatermark);
    dlg.setSubtitleList(m_subtitleList);
    dlg.setTrackSelection(m_tracks);
    dlg.setSubtitleStyle(m_subtitleStyle);
    dlg.setEffectSettings(m_effects);
    dlg.setTrimRange(m_trimStart, m_trimEnd, true);
    connect(&dlg, &QVideoEditDlg::seedApplyEditSetting, this, &VideoConvertBar::seedEditSetting);
    connect(&dlg, &QVideoEditDlg::seedApplyWaterSetting, this, &VideoConvertBar::seedWaterSetting);
    connect(&dlg, &QVideoEditDlg::emitAddSubtlName, this, &VideoConvertBar::addAddSubtl);
    connect(&dlg, &QVideoEditDlg::emitRemoveSubtl, this, &VideoConvertBar::removerSubtlItem);
    if (QWidget *top = window(); top && top != this && top->isVisible()) {
        const QPoint origin = top->mapToGlobal(QPoint(0, 0));
        dlg.move(qMax(50, origin.x() + (top->width() - dlg.width()) / 2),
                 qMax(50, origin.y() + (top->height() - dlg.height()) / 2));
    }
    if (dlg.exec() != QDialog::Accepted)
        return false;
    m_crop = dlg.cropSettings();
    m_textWatermark = dlg.watermarkText();
    m_imageWatermark = dlg.watermarkImage();
    m_subtitleStyle = dlg.subtitleStyle();
    m_effects = dlg.effectSettings();
    const TrackSelection tracks = dlg.trackSelection();
    m_tracks.audioIndex = tracks.audioIndex;
    settingChange();
    m_tracks.subtitleIndex = tracks.subtitleIndex;
    m_tracks.subtitleFile = tracks.subtitleFile;
    m_tracks.subtitleStreamCount = tracks.subtitleStreamCount;
    m_trimStart = dlg.trimStart();
    m_trimEnd = dlg.trimEnd();
    return true;
}

void VideoConvertBar::runPlayer()
{
    const ConvertParams params = convertParams();
    PlayItem item;
    item.path = m_sourcePath;
    item.dvd = m_fromDvd;
    item.dvdTitle = m_tracks.dvdTitle;
    item.width = params.width;
    item.height = params.height;
    item.params = params;
    item.rangeStart = m_trimStart;
    item.rangeEnd = m_trimEnd;
    VXPlayerQDialog::instance()->playItem(item);
}

void VideoConvertBar::setEditSetting(CropSettings cropSet) { m_crop = cropSet; }

void VideoConvertBar::setWaterSetting(WatermarkTextSettings textWater, WatermarkImageSettings imgWater)
{
    m_textWatermark = textWater;
    m_imageWatermark = imgWater;
}

// ---- Mouse and painting ----------------------------------------------------------

void VideoConvertBar::setSelectionState(int state)
{
    m_selectionState = state;
    update();
}

void VideoConvertBar::mousePressEvent(QMouseEvent *event)
{
    // Modifiers are compared as a whole: Shift+Ctrl is a plain click.
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (event->button() == Qt::LeftButton) {
        if (mods == Qt::ShiftModifier) {
            emit emitMouseShiftPress();
        } else if (mods == Qt::ControlModifier) {
            setSelectionState(m_selectionState == RowSelected ? RowNotSelected : RowSelected);
            emit emitMouseCtrlPress();
        } else {
            setSelectionState(RowSelected);
            emit emitMousePress();
        }
    } else if (event->button() == Qt::RightButton) {
        if (m_selectionState != RowSelected) {
            setSelectionState(RowSelected);
            emit emitMousePress();
        }
        emit emitshowTreeMenu();
    }
    event->accept();
}

void VideoConvertBar::contextMenuEvent(QContextMenuEvent *event)
{
    // The right press has already asked for the list's menu.
    event->accept();
}

void VideoConvertBar::enterEvent(QEnterEvent *)
{
    m_hover = true;
    update();
}

void VideoConvertBar::leaveEvent(QEvent *)
{
    m_hover = false;
    update();
}

void VideoConvertBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The stream choice and the buttons keep to the right edge.
    const int w = width();
    ui->m_btnClose->move(w - ui->m_btnClose->width() - 8, 6);
    ui->m_btnEdit->move(w - ui->m_btnEdit->width() - 36, (height() - ui->m_btnEdit->height()) / 2);
    const int comboX = ui->m_btnEdit->x() - ui->m_cmbAudio->width() - 16;
    ui->m_cmbAudio->move(comboX, 10);
    ui->m_cmbSubtitle->move(comboX, 46);
    ui->m_labAudioIcon->move(comboX - 26, 12);
    ui->m_labSubtlIcon->move(comboX - 26, 48);
    const int textRight = comboX - 40;
    const int nameWidth = qMax(80, textRight - ui->m_labVideoName->x() - 26);
    ui->m_labVideoName->resize(nameWidth, ui->m_labVideoName->height());
    ui->m_btnEditName->move(ui->m_labVideoName->x() + nameWidth + 4, ui->m_btnEditName->y());
}

QRect VideoConvertBar::progressRect() const
{
    const int left = ui->m_labVideoName->x();
    const int right = ui->m_labAudioIcon->x() - 60;
    return QRect(left, 64, qMax(40, right - left), 8);
}

void VideoConvertBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QColor back = kRowBackground;
    if (m_selectionState == RowSelected)
        back = kRowSelected.darker(160);
    else if (m_hover)
        back = kRowHover;
    p.fillRect(rect(), back);
    p.fillRect(QRect(0, height() - 1, width(), 1), kRowLine);

    QFont font = Theme::font(11);
    p.setFont(font);
    const QRect bar = progressRect();
    if (m_progressVisible) {
        const QPixmap track(AppPaths::dataPath("/image/videodisplay/loading_trake.png"));
        const QPixmap fill(AppPaths::dataPath("/image/videodisplay/loading_trake2.png"));
        if (!track.isNull())
            p.drawPixmap(bar, track);
        else
            p.fillRect(bar, QColor(30, 30, 31));
        const int done = bar.width() * m_progress / 100;
        if (done > 0) {
            const QRect part(bar.left(), bar.top(), done, bar.height());
            if (!fill.isNull())
                p.drawPixmap(part, fill);
            else
                p.fillRect(part, kRowSelected);
        }
        p.setPen(kFactColor);
        p.drawText(QRect(bar.right() + 6, bar.top() - 4, 40, bar.height() + 8), Qt::AlignLeft | Qt::AlignVCenter,
                   QString("%1%").arg(m_progress));
    } else if (m_rowState == RowWaiting || (m_rowState == RowConverted && m_conversion.isMerging())) {
        p.setPen(kFactColor);
        p.drawText(QRect(bar.left(), bar.top() - 4, bar.width(), bar.height() + 8), Qt::AlignLeft | Qt::AlignVCenter,
                   m_rowState == RowWaiting ? tr("Waiting...") : tr("Merged"));
    } else if (m_rowState == RowFailed) {
        p.setPen(kFailedColor);
        const QString text = m_failureReason.isEmpty() ? tr("Failed") : tr("Failed: %1").arg(m_failureReason);
        p.drawText(QRect(bar.left(), bar.top() - 4, bar.width() + 50, bar.height() + 8),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(text, Qt::ElideRight, bar.width() + 50));
    }
}
