// Times opening the converted-files list over a large history.
//
//   bench_converted [COUNT [WORKDIR]]      (default 5000 entries in ./bench-converted)
//
// Makes COUNT small output files, each with its own thumbnail (a 120x90 JPEG
// made once, then hard links), records them in a history file under WORKDIR
// (the program's data folder is pointed there), then times opening the list
// dialog (reading the history, the rows in view, shown once) three times and
// prints each time and the fastest, then scrolls through the whole list a page
// at a time and prints the slowest page.
#include "history/ConvertedItem.h"
#include "history/QConvertedDlg.h"
#include "settings/ParserXML.h"

#include <QApplication>
#include <QDir>
#include <QDomDocument>
#include <QDomElement>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

#include <cstdio>

namespace {

void linkOrCopy(const QString &from, const QString &to)
{
    if (QFileInfo::exists(to))
        return;
    if (!QFile::link(from, to) && !QFile::copy(from, to))
        std::fprintf(stderr, "cannot make %s\n", qPrintable(to));
}

} // namespace

int main(int argc, char **argv)
{
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 5000;
    const QString work = QDir(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("bench-converted")).absolutePath();
    QDir().mkpath(work + "/home");
    QDir().mkpath(work + "/out");
    qputenv("HOME", (work + "/home").toUtf8());
    qputenv("XDG_DATA_HOME", (work + "/data").toUtf8());
    QApplication app(argc, argv);

    QImage picture(120, 90, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QPainter(&picture).drawText(picture.rect(), Qt::AlignCenter, "clip");
    const QString thumb = work + "/thumb.jpg";
    picture.save(thumb, "JPG");
    QFile media(work + "/out/clip.mp4");
    if (media.open(QIODevice::WriteOnly))
        media.write(QByteArray(4096, 'm'));
    media.close();

    // One entry as the program records it, then copies of it with their own
    // paths, written in one go (adding 5000 one by one rewrites the file 5000 times).
    QFile::remove(ParserXML::convertedFilePath());
    QElapsedTimer clock;
    clock.start();
    ConvertedFileInfo info;
    info.resolution = "640*480";
    info.time = "00:10";
    info.size = "1.20 MB";
    info.extend = "mp4";
    info.convertedPath = work + "/out/clip 0.mp4";
    info.imgPath = work + "/out/thumb 0.jpg";
    ParserXML::addConvertedFile(info);
    QFile history(ParserXML::convertedFilePath());
    QDomDocument doc;
    if (!history.open(QIODevice::ReadOnly) || !doc.setContent(&history)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(history.fileName()));
        return 1;
    }
    history.close();
    QDomElement root = doc.documentElement();
    const QDomElement first = root.firstChildElement();
    for (int i = 0; i < count; ++i) {
        const QString out = work + QString("/out/clip %1.mp4").arg(i);
        const QString img = work + QString("/out/thumb %1.jpg").arg(i);
        linkOrCopy(work + "/out/clip.mp4", out);
        linkOrCopy(thumb, img);
        if (i == 0)
            continue;
        QDomElement item = first.cloneNode(true).toElement();
        item.setAttribute(first.attributes().item(0).nodeName(), out);
        item.firstChildElement().setAttribute("Img_path_", img);
        root.appendChild(item);
    }
    if (!history.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(history.fileName()));
        return 1;
    }
    history.write(doc.toByteArray());
    history.close();
    std::printf("history of %d entries written in %lld ms\n", count, static_cast<long long>(clock.elapsed()));

    // The part that grows with the history: reading it.
    clock.restart();
    const QList<ConvertedFileInfo> records = ParserXML::readConvertedFiles();
    std::printf("history read: %lld entries in %lld ms\n", static_cast<long long>(records.size()),
                static_cast<long long>(clock.elapsed()));

    qint64 best = -1;
    for (int round = 1; round <= 3; ++round) {
        clock.restart();
        int listed = 0, made = 0;
        {
            QConvertedDlg dlg;
            dlg.show(); // laid out and painted, as the user sees it
            QApplication::processEvents();
            listed = int(dlg.paths().size());
            made = int(dlg.findChildren<ConvertedItem *>().size());
        }
        const qint64 ms = clock.elapsed();
        best = best < 0 ? ms : qMin(best, ms);
        std::printf("round %d: list of %d entries (%d rows made) opened (and closed) in %lld ms\n", round, listed,
                    made, static_cast<long long>(ms));
    }

    // Through the whole list a page at a time, each page painted: the
    // slowest page is the longest wait while scrolling.
    {
        QConvertedDlg dlg;
        dlg.show();
        QApplication::processEvents();
        QScrollBar *bar = dlg.findChild<QScrollArea *>("m_scrollArea")->verticalScrollBar();
        QElapsedTimer page;
        qint64 slowest = 0;
        int pages = 0;
        clock.restart();
        while (bar->value() < bar->maximum()) {
            page.start();
            bar->setValue(bar->value() + bar->pageStep());
            dlg.repaint();
            QApplication::processEvents();
            slowest = qMax(slowest, page.elapsed());
            ++pages;
        }
        std::printf("scrolled through %d pages in %lld ms, slowest page %lld ms, %lld rows made\n", pages,
                    static_cast<long long>(clock.elapsed()), static_cast<long long>(slowest),
                    static_cast<long long>(dlg.findChildren<ConvertedItem *>().size()));
    }
    std::printf("fastest: %lld ms for %d entries\n", static_cast<long long>(best), count);
    return 0;
}
