#include "queue/ImportJob.h"

#include "queue/ItemProbe.h"
#include <zentrix.hpp>

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <memory>

namespace {

// Every extension followed by ";", as one text.
const char kSupportedExtensions[] =
    ".m4v; .m4a; .m4b; .m4p; .m4r; .avi; .amr; .mod; .tod; .mts; .ts; .m2ts; .m2t; .tp; .trp; "
    ".mp4; .mpg; .mpeg; .3gp; .3g2; .wmv; .asf; .rm; .rmvb; .dat; .mov; .flv; .f4v; .mkv; .dv; "
    ".dvr-ms; .h.264; .nsv; .vob; .mp3; .mp2; .mpa; .wma; .aac; .ac3; .mka; .ogg; .aif; .aiff; "
    ".ra; .ram; .tivo; .wav; .ape; .flac; .webm; .ogv; .mxf; .vro; .wtv;";

QString tr(const char *text) { return QCoreApplication::translate("QMainDlg", text); }

} // namespace

bool ImportJob::isSupportedFile(const QString &path)
{
    const int dot = path.lastIndexOf('.');
    if (dot < 0)
        return false;
    // Matched as text, so "x.h.264" passes through its tail ".264;".
    return QLatin1String(kSupportedExtensions).contains(path.mid(dot).toLower() + ';');
}

void ImportJob::setFiles(const QStringList &paths)
{
    m_dvdMode = false;
    m_isoImport = false;
    m_searching = false;
    m_progressBase = 0; // a search of an earlier import left its 20 % here
    m_probeList.clear();
    for (const QString &f : paths)
        m_probeList << QDir::fromNativeSeparators(f);
}

void ImportJob::setSearch(const QStringList &inputs)
{
    m_inputList = inputs;
    m_searching = !inputs.isEmpty();
    m_probeList.clear();
    m_progressBase = 0;
}

void ImportJob::startSearch()
{
    m_dvdMode = false;
    m_isoImport = false;
}

void ImportJob::setDvd(const QString &path, bool isoImage)
{
    m_dvdMode = true;
    m_isoImport = isoImage;
    m_searching = false;
    m_dvdPath = QDir::fromNativeSeparators(path);
}

int ImportJob::stepSearchProgress()
{
    if (m_progressBase > 20) {
        m_progressBase = 20;
        return -1;
    }
    return ++m_progressBase;
}

void ImportJob::run(const Sink &sink)
{
    m_leftOut.clear();
    if (m_dvdMode)
        runDvd(sink);
    else
        runFiles(sink);
    m_stop = false;
}

void ImportJob::searchFolder(const QString &folder)
{
    if (!QFileInfo(folder).isDir())
        return;
    // Links are not followed: a link back up the tree would never end.
    QDirIterator it(folder, QDir::Files | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext() && !m_stop) {
        const QString file = it.next();
        if (isSupportedFile(file))
            m_probeList.append(file);
    }
}

void ImportJob::runFiles(const Sink &sink)
{
    if (m_searching) {
        sink.path(tr("Searching..."));
        for (const QString &path : std::as_const(m_inputList)) {
            if (m_stop)
                break;
            if (QFileInfo(path).isDir())
                searchFolder(path);
            else if (isSupportedFile(path))
                m_probeList.append(path);
        }
        m_searching = false;
        sink.searchDone();
        m_progressBase = 20;
    }
    const int n = int(m_probeList.size());
    if (n == 0) {
        sink.complete(false);
        return;
    }
    const int base = m_progressBase;
    sink.progress(float(base));
    for (int i = 0; i < n && !m_stop; ++i) {
        const QString &path = m_probeList.at(i);
        sink.path(path);
        sink.count(QString("%1/%2").arg(i + 1).arg(n));
        sink.progress(float(base) + float(100 - base) * float(i + 1) / float(n));
        // A pipe, socket or device is no media file, and opening one can
        // block for good: it is left out, and the import goes on.
        const QFileInfo fi(path);
        if (fi.exists() && !fi.isFile()) {
            m_leftOut << path;
            continue;
        }
        std::unique_ptr<ConverItemInfo> info = probeSource(path, 0, false);
        sink.record(info.release());
    }
    sink.complete(false);
}

void ImportJob::runDvd(const Sink &sink)
{
    const QString path = m_dvdPath;
    if (path.isEmpty()) {
        sink.complete(false);
        return;
    }
    zxh::SourcePtr src(SourceCreate(-1));
    const QByteArray utf8 = path.toUtf8();
    if (SourceOpenDvd(src.get(), utf8.constData()) == 0) {
        qDebug() << "ImportJob: not a DVD:" << path << SourceLastError(src.get());
        sink.complete(true);
        return;
    }
    if (QString::fromUtf8(SourceBrand(src.get())) != QLatin1String("DVD")) {
        sink.complete(true);
        return;
    }
    const unsigned entries = DvdTitleCount(src.get());
    // The count includes six entries that are not titles.
    const int titles = entries > 6 ? int(entries - 6) : 0;
    src.reset();
    for (int i = 1; i <= titles && !m_stop && m_dvdMode; ++i) {
        sink.path(QString("Title%1").arg(i));
        sink.count(QString("%1/%2").arg(i).arg(titles));
        sink.progress(100.0f * float(i) / float(titles));
        std::unique_ptr<ConverItemInfo> info = probeSource(path, i - 1, true);
        sink.record(info.release());
    }
    sink.complete(false);
}
