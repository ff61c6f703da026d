// The modal message box (kinds, buttons, results, layout) and the fading toast.

#include "history/QMessOpacityDlg.h"
#include "history/QVXMessageDlg.h"
#include "history/VXMessage.h"

#include "ModalHelper.h"
#include "TestEnv.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>


namespace {

// What a running box looked like when the test pressed its button.
struct Seen
{
    bool found = false;
    QString title;
    QString message;
    QString okText;
    bool cancelVisible = false;
    int icon = -1;
};

// Answers the next message box once it runs modally, recording what it showed
// ("escape" rejects it, anything else clicks the button of that name).
void actOnNextBox(const QByteArray &action, Seen *seen)
{
    ModalHelper::whenModal([action, seen](QWidget *w) {
        auto *dlg = qobject_cast<QVXMessageDlg *>(w);
        if (!dlg)
            return;
        seen->found = true;
        seen->title = dlg->title();
        seen->message = dlg->message();
        auto *cancel = dlg->findChild<QPushButton *>("m_btnCancel");
        seen->okText = dlg->findChild<QPushButton *>("m_btnOk")->text();
        seen->cancelVisible = cancel->isVisible();
        seen->icon = int(dlg->drawsKindIcon() ? dlg->kindIcon() : QVXMessageDlg::KindIcon::None);
        if (action == "escape")
            dlg->reject();
        else
            dlg->findChild<QPushButton *>(action)->click();
    });
}

QPoint screenCentre()
{
    return QGuiApplication::primaryScreen()->availableGeometry().center();
}

QEnterEvent enterEvent()
{
    return QEnterEvent(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
}

} // namespace

class TestMessageDlg : public QObject
{
    Q_OBJECT

private slots:
    void modalResults();
    void titleAndUtf8Overload();
    void restartStaysOpen();
    void layout();

    void toastHoldsThenFadesAndCloses();
    void toastHoverHolds();
    void toastCloseButton();
};

void TestMessageDlg::modalResults()
{
    using K = QVXMessageDlg::KindIcon;
    // Kind, what is pressed, the result, whether No shows, the Ok text, the icon.
    const struct { uint kind; const char *action; int result; bool cancelVisible; const char *okText; K icon; } rows[] = {
        {0x412, "m_btnOk", 0x4000, true, "Yes", K::Warning},
        {0x412, "m_btnCancel", 0x10000, true, "Yes", K::Warning},
        {0x412, "m_btnClose", 0x10000, true, "Yes", K::Warning},
        {0x412, "escape", 0x10000, true, "Yes", K::Warning},
        {50, "m_btnOk", 0x400, false, "Ok", K::Error},
        {50, "m_btnClose", 0x400000, false, "Ok", K::Error},
        {34, "m_btnOk", 0x400, false, "Ok", K::Success},
        {18, "escape", 0x400000, false, "Ok", K::Warning},
        {0, "m_btnOk", 0x400, false, "Ok", K::None},
        {2, "m_btnOk", 0x400, false, "Ok", K::None},            // the icon bit alone
        {0x400, "m_btnOk", 0x4000, true, "Yes", K::None},       // a plain question
        {0x432, "m_btnCancel", 0x10000, true, "Yes", K::Error}, // an error question
        {0x200, "m_btnCancel", 0x400000, true, "Restart", K::None}, // Restart Later
    };
    QStringList expected, got;
    for (const auto &row : rows) {
        Seen seen;
        actOnNextBox(row.action, &seen);
        const int result = VXMessageBox(QStringLiteral("Remove the selected files?"), QString(), row.kind);
        QVERIFY(seen.found);
        const QString line = QString("kind 0x%1 %2: result 0x%3, No %4, Ok \"%5\", icon %6")
                                 .arg(row.kind, 0, 16).arg(row.action);
        expected << line.arg(row.result, 0, 16).arg(row.cancelVisible).arg(row.okText).arg(int(row.icon));
        got << line.arg(result, 0, 16).arg(seen.cancelVisible).arg(seen.okText).arg(seen.icon);
    }
    QCOMPARE(got, expected);
}

void TestMessageDlg::titleAndUtf8Overload()
{
    const QString text = QString::fromUtf8("Größe: 日本語");
    // Through the QString or the UTF-8 call, the title given and the one shown.
    const struct { bool utf8; QString title, expectedTitle; } calls[] = {
        {false, QString(), "Video Converter"},
        {false, "Convert", "Convert"},
        {true, QString(), "Video Converter"},
        {true, QString::fromUtf8("Überblick"), QString::fromUtf8("Überblick")},
    };
    for (const auto &c : calls) {
        Seen seen;
        actOnNextBox("m_btnOk", &seen);
        int result;
        if (c.utf8) {
            const QByteArray t = text.toUtf8(), ti = c.title.toUtf8();
            result = VXMessageBox(t.constData(), c.title.isNull() ? nullptr : ti.constData(), 0x22);
        } else {
            result = VXMessageBox(text, c.title, 0x22);
        }
        QCOMPARE(result, int(VXMsg::Ok));
        QCOMPARE(seen.title, c.expectedTitle);
        QCOMPARE(seen.message, text);
    }
}

void TestMessageDlg::restartStaysOpen()
{
    QVXMessageDlg dlg("Restart now?", QString(), VXMsg::KindRestart);
    QSignalSpy restart(&dlg, &QVXMessageDlg::emitRestart);
    dlg.show();
    dlg.findChild<QPushButton *>("m_btnOk")->click();
    QCOMPARE(restart.count(), 1);
    QVERIFY(dlg.isVisible());
    dlg.findChild<QPushButton *>("m_btnCancel")->click();
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(VXMsg::Cancel));
}

void TestMessageDlg::layout()
{
    const QString longLine = QString("The output folder cannot be written; choose another one. ").repeated(2);
    // Short with one button; a long line with an icon; a very long text that wraps.
    const QList<QPair<uint, QString>> boxes{{0u, "Done."}, {50u, longLine}, {18u, QString("word ").repeated(400)}};
    for (const auto &[kind, text] : boxes) {
        QVXMessageDlg dlg(text, QString(), kind);
        dlg.show();
        const QRect g = dlg.geometry();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2((g.center() - screenCentre()).manhattanLength() <= 2, "box centred on the screen");
        QVERIFY(screen.contains(g));

        // The buttons sit inside the box, side by side, below the whole text.
        auto *ok = dlg.findChild<QPushButton *>("m_btnOk");
        auto *cancel = dlg.findChild<QPushButton *>("m_btnCancel");
        QVERIFY(dlg.rect().contains(ok->geometry()));
        if (cancel->isVisible()) {
            QVERIFY(dlg.rect().contains(cancel->geometry()));
            QVERIFY(ok->geometry().right() < cancel->x());
        }
        const QRect t = dlg.textRect();
        QVERIFY(t.height() > 0);
        QVERIFY(t.bottom() < ok->y());
        QVERIFY(t.right() < dlg.width());
        QVERIFY(t.left() >= 0);
    }
}

void TestMessageDlg::toastHoldsThenFadesAndCloses()
{
    // Only the order matters here: shown opaque, then fading without ever
    // brightening, then closed by itself.
    QMessOpacityDlg toast;
    toast.setText("Snapshot successfully!");
    toast.startFading();
    toast.show();
    QCOMPARE(toast.windowOpacity(), 1.0);
    double previous = 1.0, lowest = 1.0;
    bool fadedWhileShown = false;
    for (int polls = 0; toast.isVisible() && polls < 2000; ++polls) { // a hang guard, not a time limit
        const double now = toast.opacity();
        QVERIFY2(now <= previous, "opacity never rises while fading");
        fadedWhileShown |= now < 1.0;
        previous = lowest = now;
        QTest::qWait(10);
    }
    QVERIFY2(!toast.isVisible(), "toast closes by itself");
    QVERIFY(fadedWhileShown);
    QVERIFY(lowest <= 0.1);
}

void TestMessageDlg::toastHoverHolds()
{
    // The pointer enters during the hold, then while fading.
    for (const bool enterWhileFading : {false, true}) {
        QMessOpacityDlg toast;
        toast.setText("Snapshot failed!");
        toast.startFading();
        toast.show();
        if (enterWhileFading)
            QTRY_VERIFY_WITH_TIMEOUT(toast.opacity() < 1.0, 3000);
        else
            QTest::qWait(300);

        QEnterEvent enter = enterEvent();
        QCoreApplication::sendEvent(&toast, &enter);
        QCOMPARE(toast.opacity(), 1.0);
        QCOMPARE(toast.windowOpacity(), 1.0);
        QVERIFY(!toast.isCountingDown());

        QTest::qWait(2000); // well past the time the toast would have closed
        QVERIFY(toast.isVisible());
        QCOMPARE(toast.opacity(), 1.0);

        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&toast, &leave);
        QVERIFY(toast.isCountingDown());
        QTRY_VERIFY_WITH_TIMEOUT(!toast.isVisible(), 10000);
    }
}

void TestMessageDlg::toastCloseButton()
{
    QMessOpacityDlg toast;
    toast.setText("Snapshot successfully!");
    toast.startFading();
    toast.show();
    QTRY_VERIFY_WITH_TIMEOUT(toast.opacity() < 1.0, 3000);
    toast.findChild<QPushButton *>("m_btnClose")->click();
    QVERIFY(!toast.isVisible());
    QVERIFY(!toast.isCountingDown());
    QCOMPARE(toast.opacity(), 1.0);
}

VELMORA_TEST_MAIN(TestMessageDlg)
#include "tst_messagedlg.moc"
