#include "queue/ImportJob.h"

#include "queue/ItemProbe.h"
#include <zentrix.hpp>

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace {

// Every extension followed by ";", as one text.
const char kSupportedExtensions[] =
    ".m4v; .m4a; .m4b; .m4p; .m4r; .avi; .amr; .mod; .tod; .mts; .ts; .m2ts; .m2t; .tp; .trp; "
    ".mp4; .mpg; .mpeg; .3gp; .3g2; .wmv; .asf; .rm; .rmvb; .dat; .mov; .flv; .f4v; .mkv; .dv; "
    ".dvr-ms; .h.264; .nsv; .vob; .mp3; .mp2; .mpa; .wma; .aac; .ac3; .mka; .ogg; .aif; .aiff; "
    ".ra; .ram; .tivo; .wav; .ape; .flac; .webm; .ogv; .mxf; .vro; .wtv;";

QString tr(const char *text) { return QCoreApplication::translate("QMainDlg", text); }

// What helper threads share. Never destroyed: a helper left behind may
// return after the program's static objects are gone.
struct Helpers {
    std::mutex mutex;
    std::condition_variable idle;
    int running = 0;
    QHash<QString, int> stuck; // folder -> helpers that hang in it
    std::chrono::milliseconds limit{30000}; // above the engine's own 15 s limit for opening a source
    ImportJob::Prober prober;
};

Helpers &helpers()
{
    static auto *h = new Helpers;
    return *h;
}

// One call on a helper thread: its result, and how far it got.
template <class T>
struct Call {
    std::mutex mutex;
    std::condition_variable returned;
    bool done = false;
    bool stuck = false;                // its folder was marked when it was left behind
    T value{};
    std::atomic<unsigned> progress{0}; // raised by the work while it advances
    std::atomic<bool> leftBehind{false};
};

QString folderOf(const QString &path)
{
    const int slash = path.lastIndexOf('/');
    return slash > 0 ? path.left(slash) : QStringLiteral("/");
}

bool hangsIn(const QString &folder)
{
    Helpers &h = helpers();
    std::lock_guard<std::mutex> lock(h.mutex);
    return h.stuck.value(folder) > 0;
}

// Runs work(call) on a helper thread and waits as ImportJob::setStallLimit
// says. Empty when the helper was left behind: stop was raised, or it made
// no progress within the limit, which marks its folder until it returns.
template <class T, class Work>
std::optional<T> guardedCall(const QString &folder, const std::atomic<bool> &stop, Work work)
{
    Helpers &h = helpers();
    auto call = std::make_shared<Call<T>>();
    std::chrono::milliseconds limit;
    {
        std::lock_guard<std::mutex> lock(h.mutex);
        ++h.running;
        limit = h.limit;
    }
    auto body = [call, folder, work]() {
        T value = work(*call);
        bool stuck;
        {
            std::lock_guard<std::mutex> lock(call->mutex);
            call->value = std::move(value);
            call->done = true;
            stuck = call->stuck;
            call->returned.notify_all();
        }
        Helpers &h = helpers();
        std::lock_guard<std::mutex> lock(h.mutex);
        if (stuck && --h.stuck[folder] <= 0)
            h.stuck.remove(folder);
        if (--h.running == 0)
            h.idle.notify_all();
    };
    try {
        std::thread(body).detach();
    } catch (const std::system_error &) {
        body(); // no thread to spare: on this one
    }

    std::unique_lock<std::mutex> lock(call->mutex);
    unsigned seen = call->progress;
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!call->done && !stop) {
        if (const unsigned now = call->progress; now != seen) {
            seen = now;
            deadline = std::chrono::steady_clock::now() + limit;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        call->returned.wait_for(lock, std::chrono::milliseconds(50));
    }
    if (call->done)
        return std::move(call->value);
    call->leftBehind = true;
    if (!stop) {
        qDebug() << "ImportJob: no answer in" << folder << "within" << limit.count() << "ms, left behind";
        call->stuck = true;
        std::lock_guard<std::mutex> helpersLock(h.mutex);
        ++h.stuck[folder];
    }
    return std::nullopt;
}

// A file's probe: its record, or none when it is no media file.
struct Probed {
    bool notMedia = false;
    std::unique_ptr<ConverItemInfo> info;
};

} // namespace

void ImportJob::setStallLimit(std::chrono::milliseconds limit)
{
    std::lock_guard<std::mutex> lock(helpers().mutex);
    helpers().limit = limit;
}

bool ImportJob::waitForHelpers(std::chrono::milliseconds limit)
{
    Helpers &h = helpers();
    std::unique_lock<std::mutex> lock(h.mutex);
    return h.idle.wait_for(lock, limit, [&h] { return h.running == 0; });
}

void ImportJob::setProber(Prober prober)
{
    std::lock_guard<std::mutex> lock(helpers().mutex);
    helpers().prober = std::move(prober);
}

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
    m_notResponding.clear();
    if (m_dvdMode)
        runDvd(sink);
    else
        runFiles(sink);
    m_stop = false;
}

void ImportJob::searchInput(const QString &input)
{
    const QString folder = folderOf(input);
    if (hangsIn(folder)) {
        m_notResponding << input;
        return;
    }
    auto found = guardedCall<QStringList>(folder, m_stop, [input](Call<QStringList> &call) {
        QStringList files;
        if (!QFileInfo(input).isDir()) {
            if (isSupportedFile(input))
                files << input;
            return files;
        }
        // Links are not followed: a link back up the tree would never end.
        // Folders count as progress too, so a long search is not taken for
        // a hanging one.
        QDirIterator it(input, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                        QDirIterator::Subdirectories);
        while (it.hasNext() && !call.leftBehind) {
            const QString file = it.next();
            ++call.progress;
            if (it.fileInfo().isFile() && isSupportedFile(file))
                files << file;
        }
        return files;
    });
    if (found)
        m_probeList << *found;
    else if (!m_stop)
        m_notResponding << input;
}

void ImportJob::runFiles(const Sink &sink)
{
    if (m_searching) {
        sink.path(tr("Searching..."));
        for (const QString &path : std::as_const(m_inputList)) {
            if (m_stop)
                break;
            searchInput(path);
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
    Prober prober;
    {
        std::lock_guard<std::mutex> lock(helpers().mutex);
        prober = helpers().prober;
    }
    const int base = m_progressBase;
    sink.progress(float(base));
    for (int i = 0; i < n && !m_stop; ++i) {
        const QString &path = m_probeList.at(i);
        sink.path(path);
        sink.count(QString("%1/%2").arg(i + 1).arg(n));
        sink.progress(float(base) + float(100 - base) * float(i + 1) / float(n));
        const QString folder = folderOf(path);
        if (hangsIn(folder)) {
            m_notResponding << path;
            continue;
        }
        auto probed = guardedCall<Probed>(folder, m_stop, [path, prober](Call<Probed> &) {
            Probed result;
            // A pipe, socket or device is no media file, and opening one
            // can block for good: it is left out unopened.
            const QFileInfo fi(path);
            if (fi.exists() && !fi.isFile())
                result.notMedia = true;
            else
                result.info = prober ? prober(path) : probeSource(path, 0, false);
            return result;
        });
        if (!probed) {
            if (!m_stop)
                m_notResponding << path;
        } else if (probed->notMedia) {
            m_leftOut << path;
        } else {
            sink.record(probed->info.release());
        }
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
    const QString folder = folderOf(path);
    if (hangsIn(folder)) {
        m_notResponding << path;
        sink.complete(false);
        return;
    }
    // The number of titles; -1 when it is no DVD.
    const std::optional<int> titles = guardedCall<int>(folder, m_stop, [path](Call<int> &) {
        zxh::SourcePtr src(SourceCreate(-1));
        const QByteArray utf8 = path.toUtf8();
        if (SourceOpenDvd(src.get(), utf8.constData()) == 0) {
            qDebug() << "ImportJob: not a DVD:" << path << SourceLastError(src.get());
            return -1;
        }
        if (QString::fromUtf8(SourceBrand(src.get())) != QLatin1String("DVD"))
            return -1;
        const unsigned entries = DvdTitleCount(src.get());
        // The count includes six entries that are not titles.
        return entries > 6 ? int(entries - 6) : 0;
    });
    if (!titles) {
        if (!m_stop)
            m_notResponding << path;
        sink.complete(false);
        return;
    }
    if (*titles < 0) {
        sink.complete(true);
        return;
    }
    for (int i = 1; i <= *titles && !m_stop && m_dvdMode; ++i) {
        sink.path(QString("Title%1").arg(i));
        sink.count(QString("%1/%2").arg(i).arg(*titles));
        sink.progress(100.0f * float(i) / float(*titles));
        auto probed = guardedCall<Probed>(folder, m_stop, [path, i](Call<Probed> &) {
            Probed result;
            result.info = probeSource(path, i - 1, true);
            return result;
        });
        if (!probed) {
            if (!m_stop)
                m_notResponding << path;
            break;
        }
        sink.record(probed->info.release());
    }
    sink.complete(false);
}
