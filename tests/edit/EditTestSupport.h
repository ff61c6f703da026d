#pragma once
// Shared pieces of the edit dialog tests: the preview's picture as the engine
// hands it out, answering the dialogs they open, and converting a row.

#include "../queue/QueueTestSupport.h"
#include "ModalHelper.h"

#include "edit/QVideoEditDlg.h"
#include "history/QVXMessageDlg.h"
#include "queue/VideoConvertBar.h"

#include <QSignalSpy>
#include <QtTest>

namespace EditTest {

// The edited picture the preview shows now (null when there is none).
inline QImage grab(QVideoEditDlg &d)
{
    int bytes = 0;
    const unsigned char *bmp = PlayerGrabFrame(d.player(), &bytes);
    QImage image;
    if (bmp)
        image.loadFromData(bmp, bytes, "BMP");
    else
        qWarning() << "no picture to grab:" << PlayerLastError(d.player());
    PlayerReleaseFrame(d.player(), bmp);
    return image;
}

// The paused preview's picture at ms.
inline QImage grabAt(QVideoEditDlg &d, int ms)
{
    PlayerSeek(d.player(), qint64(ms) * 1000);
    return QTest::qWaitFor([&d] { return PlayerIsBusy(d.player()) == 0; }, 5000) ? grab(d) : QImage();
}

// Calls act(dialog) when the next modal widget is a T; any other is closed.
template <class T, class Act>
void whenModalOf(Act act, int timeoutMs = 5000)
{
    ModalHelper::whenModal([act](QWidget *w) {
        if (auto *t = qobject_cast<T *>(w))
            act(t);
        else
            w->close();
    }, timeoutMs);
}

// Stores the text of the next message box and closes it.
inline void catchMessage(QString &text)
{
    whenModalOf<QVXMessageDlg>([&text](QVXMessageDlg *box) {
        text = box->message();
        box->close();
    });
}

// Converts the row alone; true when it finished well.
inline bool convertRow(VideoConvertBar &row, int timeoutMs = 180000)
{
    QSignalSpy done(&row, &VideoConvertBar::emitConvertedFinish);
    return row.startConvert(false) && done.wait(timeoutMs) && done.first().first().toBool();
}

} // namespace EditTest
