// The edit dialog's Subtitle page (audio track, subtitle, subtitle files and
// font) and the snapshots of the output preview.
#include "edit/QVideoEditDlg.h"

#include "base/AppPaths.h"
#include "edit/QCaptureSettingDlg.h"
#include "edit/QSubtitleOperateDlg.h"
#include "history/FileManager.h"
#include "history/QMessOpacityDlg.h"
#include "history/VXMessage.h"
#include "settings/ParserXML.h"
#include "tracks/TrackLines.h"
#include "widgets/DarkMenuStyle.h"

#include <QCursor>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMenu>

struct QVideoEditDlg::SubtitleState {
    // The second engine handle on the item: it lists the streams and checks
    // a track choice before the preview is switched to it.
    zxh::SourcePtr source;
    QString snapshotFolder;
    QString snapshotFormat;
    QMenu *menu = nullptr;
};

void QVideoEditDlg::SubtitleStateDeleter::operator()(SubtitleState *state) const { delete state; }

namespace {

// A BMP file larger than this is a corrupt size field, not a picture.
constexpr quint32 kMaxBitmapBytes = 512u * 1024u * 1024u;

QImage decodeBitmap(const unsigned char *bmp, int bytes)
{
    if (!bmp || bytes < 54 || bmp[0] != 'B' || bmp[1] != 'M')
        return QImage();
    const quint32 size = quint32(bmp[2]) | quint32(bmp[3]) << 8 | quint32(bmp[4]) << 16 | quint32(bmp[5]) << 24;
    if (size < 54 || size > quint32(bytes) || size > kMaxBitmapBytes)
        return QImage();
    QImage image;
    image.loadFromData(bmp, int(size), "BMP");
    return image;
}

} // namespace

void QVideoEditDlg::wireSubtitlePage()
{
    m_subtitle.reset(new SubtitleState);
    connect(m_subtitlePage, &QSubtitleOperateDlg::AudioSelChange, this, &QVideoEditDlg::OnSelChangeAudio);
    connect(m_subtitlePage, &QSubtitleOperateDlg::SubtlSelChange, this, &QVideoEditDlg::OnSelChangeSubtl);
    connect(m_subtitlePage, &QSubtitleOperateDlg::emitAddSubtl, this, &QVideoEditDlg::emitAddSubtlName);
    connect(m_subtitlePage, &QSubtitleOperateDlg::removeSubtl, this, &QVideoEditDlg::emitRemoveSubtl);
    m_subtitlePage->setStyleSource([this] { return m_subtitleStyle; });
    connect(m_subtitlePage, &QSubtitleOperateDlg::emitSubtlStyle, this, [this](SubtitleStyleSettings style) {
        m_subtitleStyle = style;
        applyEdits();
    });
    loadSnapshotSettings();
}

// ---- Audio and subtitle lists ----------------------------------------------------------

void QVideoEditDlg::openStreamLists()
{
    SubtitleState &st = *m_subtitle;
    st.source.reset(SourceCreate(-1));
    ZxSource *s = st.source.get();
    const QByteArray utf8 = m_streamPath.toUtf8();
    const bool opened = s
        && (m_base.fromDvd ? SourceOpenDvd(s, utf8.constData()) == 1 && SourceSelectTitle(s, m_base.dvdTitle) == 1
                           : SourceOpenFile(s, utf8.constData()) == 1);
    if (!opened) {
        qDebug() << "QVideoEditDlg: the streams of" << m_streamPath << "cannot be listed:"
                 << (s ? SourceLastError(s) : "");
        st.source.reset();
        m_subtitlePage->setAudioList({}, 0);
        m_subtitlePage->setSubtitleList({}, 0);
        return;
    }
    const QStringList audio = TrackLines::audioLines(s);
    const int streams = SourceSubtitleCount(s);
    const QList<subltItemInfo> subtitles =
        TrackLines::subtitleEntries(s, QDir::fromNativeSeparators(m_streamPath), streams);
    m_tracks.subtitleStreamCount = streams;
    // The choice the item was opened with, where these lists have it (the
    // row's own list, with its added files, comes through setSubtitleList).
    const int audioIndex = m_tracks.audioIndex < audio.size() ? qMax(0, m_tracks.audioIndex) : 0;
    const int subtitleIndex = m_tracks.subtitleIndex < subtitles.size() ? qMax(0, m_tracks.subtitleIndex) : 0;
    m_subtitlePage->setAudioList(audio, audioIndex);
    m_subtitlePage->setSubtitleList(subtitles, subtitleIndex);
    m_subtitlePage->setPath(subtitleIndex > streams + 1 ? QString::fromStdString(subtitles.at(subtitleIndex).path)
                                                        : QString());

    QStringList names;
    QList<subltItemInfo *> entries;
    QList<subltItemInfo> copies = subtitles;
    for (subltItemInfo &e : copies) {
        names << QString::fromStdString(e.name);
        entries << &e;
    }
    emit emitAudioInfo(audio, 0);
    emit emitSubtlInfo(names, 0);
    emit emitSubtlInfo(&entries, 0);
}

void QVideoEditDlg::setSubtitleList(const QList<subltItemInfo> &entries)
{
    if (entries.isEmpty())
        return;
    m_subtitlePage->setSubtitleList(entries, m_tracks.subtitleIndex < entries.size() ? m_tracks.subtitleIndex : 0);
    showTrackSelection();
    applyEdits();
}

void QVideoEditDlg::showTrackSelection()
{
    // What the page shows is what the preview shows and the row converts.
    if (ZxSource *s = m_subtitle->source.get())
        m_tracks.subtitleStreamCount = SourceSubtitleCount(s);
    // Empty lists (nothing open yet) leave the record as it is.
    const int audioCount = int(m_subtitlePage->audioList().size());
    if (audioCount > 0) {
        if (m_tracks.audioIndex >= 0 && m_tracks.audioIndex < audioCount)
            m_subtitlePage->selectAudio(m_tracks.audioIndex);
        m_tracks.audioIndex = m_subtitlePage->audioIndex();
    }
    const int subtitleCount = int(m_subtitlePage->subtitleList().size());
    if (subtitleCount > 0) {
        if (m_tracks.subtitleIndex >= 0 && m_tracks.subtitleIndex < subtitleCount)
            m_subtitlePage->selectSubtitle(m_tracks.subtitleIndex);
        m_tracks.subtitleIndex = m_subtitlePage->subtitleIndex();
        const QString file = m_subtitlePage->subtitleFilePath();
        m_tracks.subtitleFile = file.toStdString();
        m_subtitlePage->setPath(file);
    }
}

void QVideoEditDlg::OnSelChangeAudio(int index)
{
    ZxSource *s = m_subtitle->source.get();
    if (!isOpen() || !s)
        return;
    if (SourceSelectAudio(s, index) != 1) {
        qDebug() << "QVideoEditDlg: no audio stream" << index;
        m_subtitlePage->selectAudio(m_tracks.audioIndex);
        return;
    }
    m_tracks.audioIndex = index;
    applyEdits();
}

void QVideoEditDlg::OnSelChangeSubtl(int index)
{
    const QList<subltItemInfo> entries = m_subtitlePage->subtitleList();
    if (!isOpen() || index < 0 || index >= entries.size())
        return;
    const int streams = m_tracks.subtitleStreamCount;
    std::string file;
    if (index <= streams) {
        // "[None]" or a stream of the source.
        ZxSource *s = m_subtitle->source.get();
        if (index > 0 && (!s || SourceSelectSubtitle(s, index - 1) != 1)) {
            qDebug() << "QVideoEditDlg: no subtitle stream" << index - 1;
            m_subtitlePage->selectSubtitle(m_tracks.subtitleIndex);
            return;
        }
    } else if (index > streams + 1) {
        file = entries.at(index).path;
        // A file gone since it was listed would only stop the output picture.
        const QString path = QString::fromStdString(file);
        if (!file.empty() && !QFileInfo(path).isReadable()) {
            m_subtitlePage->selectSubtitle(m_tracks.subtitleIndex);
            VXMessageBox(QString("\"%1\"%2").arg(path, tr("is no exists")), QString(), VXMsg::KindWarning);
            return;
        }
    }
    m_tracks.subtitleIndex = index;
    m_tracks.subtitleFile = file;
    m_subtitlePage->setPath(QString::fromStdString(file));
    applyEdits();
}

// ---- Snapshots -------------------------------------------------------------------------

void QVideoEditDlg::loadSnapshotSettings()
{
    m_subtitle->snapshotFolder = ParserXML::readSnapshotFolder();
    // The format ends up in the file name: only the offered ones are taken.
    const QString format = ParserXML::readSnapshotFormat().toUpper();
    m_subtitle->snapshotFormat = QCaptureSettingDlg::formats().contains(format) ? format : QString("JPEG");
}

QString QVideoEditDlg::snapshotFolder() const { return m_subtitle->snapshotFolder; }
QString QVideoEditDlg::snapshotFormat() const { return m_subtitle->snapshotFormat; }

void QVideoEditDlg::OnScreenshots()
{
    if (!isOpen())
        return;
    const QString folder = m_subtitle->snapshotFolder;
    if (!QFileInfo(folder).isDir()) {
        VXMessageBox(QString("\"%1\"%2").arg(folder, tr("is no exists")), QString(), VXMsg::KindWarning);
        return;
    }
    const QString format = m_subtitle->snapshotFormat.toLower();
    const QString name = QDateTime::currentDateTime().toString("dd-MM-yyyy hh-mm-ss.zzz") + "_lumeris." + format;
    const QString path = QString("%1/%2").arg(folder, name);

    ZxPlayer *p = m_player.get();
    int bytes = 0;
    const unsigned char *bmp = PlayerGrabFrame(p, &bytes);
    if (!bmp)
        return;
    const QImage image = decodeBitmap(bmp, bytes);
    const bool saved = !image.isNull() && image.save(path, format.toLatin1().constData());
    if (!saved)
        qDebug() << "QVideoEditDlg: snapshot not saved" << path;
    QMessOpacityDlg::showToast(this, saved ? tr("Snapshot successfully!") : tr("Snapshot failed!"),
                               AppPaths::dataPath("/image/msg_small_opacity.png"));
    PlayerReleaseFrame(p, bmp);
}

void QVideoEditDlg::OnShowMenu()
{
    if (!isOpen())
        return;
    if (!m_subtitle->menu) {
        QMenu *menu = new QMenu(this);
        menu->setObjectName("m_snapshotMenu");
        menu->setStyleSheet(DarkMenuStyle::styleSheet(120));
        menu->addAction(tr("Open Folder"), this, &QVideoEditDlg::OpenImgPath);
        menu->addAction(tr("Settings"), this, &QVideoEditDlg::ShowPathSettingDlg);
        m_subtitle->menu = menu;
    }
    m_subtitle->menu->popup(QCursor::pos());
}

void QVideoEditDlg::OpenImgPath()
{
    if (isOpen())
        FileManager::showFolder(m_subtitle->snapshotFolder);
}

void QVideoEditDlg::ShowPathSettingDlg()
{
    if (!isOpen())
        return;
    QCaptureSettingDlg dlg(this);
    if (dlg.exec() == QDialog::Accepted)
        loadSnapshotSettings();
}
