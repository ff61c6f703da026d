// Drives the player on a real display (Xvfb) for a look at it: the main
// window's queue gets the files given on the command line, the first row's
// picture is clicked (the player opens modally on that row, the other files
// in its play list), and everything quits after SECONDS. Prints
// "STAGE <name>" lines so that a script can take screenshots.
//
//   player_xvfb_demo SECONDS FILE...
#include "player/PlayListWidget.h"
#include "player/VXPlayerQDialog.h"
#include "queue/QMainDlg.h"
#include "queue/RowPicture.h"
#include "queue/VideoConvertBar.h"
#include "shell/MainWindow.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: player_xvfb_demo SECONDS FILE...\n");
        return 2;
    }
    const int seconds = atoi(argv[1]);
    QStringList files;
    for (int i = 2; i < argc; ++i)
        files << QString::fromLocal8Bit(argv[i]);
    MainWindow window;
    window.show();
    QMainDlg *queue = window.findChild<QMainDlg *>();
    for (const QString &f : files)
        queue->addNewItemBar(f);
    QTimer::singleShot(3000, [&] {
        VXPlayerQDialog *player = VXPlayerQDialog::instance();
        // The other files first, so the list holds them when the row plays.
        player->addFiles(files.mid(1));
        QTimer::singleShot(1000, [] {
            std::printf("STAGE playing\n");
            std::fflush(stdout);
        });
        QTimer::singleShot(seconds * 1000, [player] { player->OnBtnClose(); });
        QTest::mouseClick(queue->rows().first()->findChild<RowPicture *>("m_videoIconWidget"), Qt::LeftButton);
        app.quit();
    });
    return app.exec();
}
