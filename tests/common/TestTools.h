#pragma once
// Helpers of the Qt tests: the generated media, files, outside programs, and
// ffprobe, which checks outputs independently of our engine.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace TestTools {

// A file made by tools/make_test_media.sh (the "media" fixture).
inline QString media(const QString &name) { return qEnvironmentVariable("VELMORA_TEST_MEDIA") + "/" + name; }

// Runs a program to its end; false when it cannot start, crashes or fails.
inline bool run(const QString &program, const QStringList &args, int timeoutMs = 60000)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

inline bool ffmpeg(const QStringList &args)
{
    return run("ffmpeg", QStringList{"-nostdin", "-hide_banner", "-loglevel", "error", "-y"} + args);
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// An ISO 9660 image with a volume label, made from the files of a folder.
inline bool makeIsoImage(const QString &label, const QString &contentDir, const QString &image)
{
    return run("genisoimage", {"-quiet", "-V", label, "-o", image, contentDir}, 30000);
}

// What ffprobe sees in a file: the first video and audio stream, the stream
// counts and the container's length in seconds.
struct Streams
{
    bool ok = false;
    QString error;
    QJsonObject video; // empty when there is none
    QJsonObject audio;
    int videoCount = 0;
    int audioCount = 0;
    double duration = -1;

    int width() const { return video.value("width").toInt(); }
    int height() const { return video.value("height").toInt(); }
};

inline Streams ffprobe(const QString &path)
{
    Streams s;
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-show_entries",
                        "stream=codec_type,codec_name,pix_fmt,width,height,r_frame_rate,sample_rate,channels:format=duration",
                        "-of", "json", path});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        s.error = QString::fromUtf8(p.readAllStandardError()).trimmed();
        return s;
    }
    const QJsonObject root = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    for (const QJsonValue &v : root.value("streams").toArray()) {
        const QJsonObject stream = v.toObject();
        const QString type = stream.value("codec_type").toString();
        if (type == "video" && s.videoCount++ == 0)
            s.video = stream;
        if (type == "audio" && s.audioCount++ == 0)
            s.audio = stream;
    }
    s.duration = root.value("format").toObject().value("duration").toString("-1").toDouble();
    s.ok = true;
    return s;
}

// "30000/1001" as a number; 0 when it is not a rate.
inline double rate(const QString &fraction)
{
    const QStringList parts = fraction.split('/');
    const double den = parts.value(1, "1").toDouble();
    return den > 0 ? parts.value(0).toDouble() / den : 0;
}

} // namespace TestTools

// Helpers of the widget tests: mouse input and single pictures of a file.
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

namespace TestTools {

// A left-button mouse event at a screen position, mapped into w when it is
// sent (a dragged handle moves away under the pointer).
inline void mouseAt(QWidget *w, QEvent::Type type, QPoint global)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(w->mapFromGlobal(global)), QPointF(global), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// Presses at from, moves to `to` in `steps` moves and releases there (w's
// coordinates when the drag begins); from == to is a click.
inline void dragMouse(QWidget *w, QPoint from, QPoint to, int steps = 2)
{
    const QPoint start = w->mapToGlobal(from), end = w->mapToGlobal(to);
    mouseAt(w, QEvent::MouseButtonPress, start);
    for (int i = 1; i <= steps && from != to; ++i)
        mouseAt(w, QEvent::MouseMove, start + (end - start) * i / steps);
    mouseAt(w, QEvent::MouseButtonRelease, end);
}

// The picture of a file at `seconds` as the ffmpeg tool decodes it (null on failure).
inline QImage decodedFrame(const QString &path, double seconds)
{
    QProcess p;
    p.start("ffmpeg", {"-v", "error", "-ss", QString::number(seconds), "-i", path, "-frames:v", "1", "-f",
                       "image2pipe", "-c:v", "png", "-"});
    return p.waitForFinished(60000) ? QImage::fromData(p.readAllStandardOutput(), "PNG") : QImage();
}

} // namespace TestTools

#include <QElapsedTimer>

namespace TestTools {

// Waits until a process has printed `text` on its error output or has ended;
// what it printed is kept in `seen`.
inline bool waitForStderr(QProcess &p, const char *text, QByteArray &seen, int timeoutMs = 30000)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        p.waitForReadyRead(100);
        seen += p.readAllStandardError();
        if (seen.contains(text))
            return true;
        if (p.state() == QProcess::NotRunning)
            return (seen += p.readAllStandardError()).contains(text);
    }
    return false;
}

} // namespace TestTools
