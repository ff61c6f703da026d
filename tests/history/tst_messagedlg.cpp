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
    void modalResults_data();
    void modalResults();
    void titleAndUtf8Overload_data();
    void titleAndUtf8Overload();
    void restartStaysOpen();
    void layout_data();
    void layout();
    void missingImagesAreLoggedWithoutBlocking();

    void toastHoldsThenFadesAndCloses();
    void toastHoverHolds_data();
    void toastHoverHolds();
    void toastCloseButton();
};

void TestMessageDlg::modalResults_data()
{
    using K = QVXMessageDlg::KindIcon;
    QTest::addColumn<uint>("kind");
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("cancelVisible");
    QTest::addColumn<QString>("okText");
    QTest::addColumn<int>("icon");

    QTest::newRow("0x412 Yes") << 0x412u << QByteArray("m_btnOk") << 0x4000 << true << "Yes" << int(K::Warning);
    QTest::newRow("0x412 No") << 0x412u << QByteArray("m_btnCancel") << 0x10000 << true << "Yes" << int(K::Warning);
    QTest::newRow("0x412 close") << 0x412u << QByteArray("m_btnClose") << 0x10000 << true << "Yes" << int(K::Warning);
    QTest::newRow("0x412 escape") << 0x412u << QByteArray("escape") << 0x10000 << true << "Yes" << int(K::Warning);
    QTest::newRow("50 Ok") << 50u << QByteArray("m_btnOk") << 0x400 << false << "Ok" << int(K::Error);
    QTest::newRow("50 close") << 50u << QByteArray("m_btnClose") << 0x400000 << false << "Ok" << int(K::Error);
    QTest::newRow("34 Ok") << 34u << QByteArray("m_btnOk") << 0x400 << false << "Ok" << int(K::Success);
    QTest::newRow("18 escape") << 18u << QByteArray("escape") << 0x400000 << false << "Ok" << int(K::Warning);
    QTest::newRow("0 Ok") << 0u << QByteArray("m_btnOk") << 0x400 << false << "Ok" << int(K::None);
    QTest::newRow("icon bit alone") << 2u << QByteArray("m_btnOk") << 0x400 << false << "Ok" << int(K::None);
    QTest::newRow("0x400 plain question") << 0x400u << QByteArray("m_btnOk") << 0x4000 << true << "Yes" << int(K::None);
    QTest::newRow("0x432 error question No") << 0x432u << QByteArray("m_btnCancel") << 0x10000 << true << "Yes" << int(K::Error);
    QTest::newRow("0x200 Restart Later") << 0x200u << QByteArray("m_btnCancel") << 0x400000 << true << "Restart" << int(K::None);
}

void TestMessageDlg::modalResults()
{
    QFETCH(uint, kind);
    QFETCH(QByteArray, action);
    QFETCH(int, result);
    QFETCH(bool, cancelVisible);
    QFETCH(QString, okText);
    QFETCH(int, icon);

    Seen seen;
    actOnNextBox(action, &seen);
    QCOMPARE(VXMessageBox(QStringLiteral("Remove the selected files?"), QString(), kind), result);
    QVERIFY(seen.found);
    QCOMPARE(seen.cancelVisible, cancelVisible);
    QCOMPARE(seen.okText, okText);
    QCOMPARE(seen.icon, icon);
}

void TestMessageDlg::titleAndUtf8Overload_data()
{
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("expectedTitle");

    QTest::newRow("QString, empty title") << false << QString() << "Video Converter";
    QTest::newRow("QString, own title") << false << "Convert" << "Convert";
    QTest::newRow("UTF-8, null title") << true << QString() << "Video Converter";
    QTest::newRow("UTF-8, non-ASCII title") << true << QString::fromUtf8("Überblick") << QString::fromUtf8("Überblick");
}

void TestMessageDlg::titleAndUtf8Overload()
{
    QFETCH(bool, utf8);
    QFETCH(QString, title);
    QFETCH(QString, expectedTitle);

    const QString text = QString::fromUtf8("Größe: 日本語");
    Seen seen;
    actOnNextBox("m_btnOk", &seen);
    int result;
    if (utf8) {
        const QByteArray t = text.toUtf8(), ti = title.toUtf8();
        result = VXMessageBox(t.constData(), title.isNull() ? nullptr : ti.constData(), 0x22);
    } else {
        result = VXMessageBox(text, title, 0x22);
    }
    QCOMPARE(result, int(VXMsg::Ok));
    QCOMPARE(seen.title, expectedTitle);
    QCOMPARE(seen.message, text);
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

void TestMessageDlg::layout_data()
{
    QTest::addColumn<uint>("kind");
    QTest::addColumn<QString>("text");

    const QString longLine = QString("The output folder cannot be written; choose another one. ").repeated(2);
    QTest::newRow("short, one button") << 0u << "Done.";
    QTest::newRow("long line, icon") << 50u << longLine;
    QTest::newRow("very long text wraps") << 18u << QString("word ").repeated(400);
}

void TestMessageDlg::layout()
{
    QFETCH(uint, kind);
    QFETCH(QString, text);

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

void TestMessageDlg::missingImagesAreLoggedWithoutBlocking()
{
    const struct { const char *file; const char *line; } images[] = {
        {"/btn_close.png", "QVXMessageDlg::InitButton fail"},
        {"/btn_common.png", "QVXMessageDlg::InitButton Load Yes Image fail"},
        {"/msg_title_icon.png", "QVXMessageDlg::LoadTitleIconImg fail"},
    };
    int missing = 0;
    for (const auto &image : images) {
        if (!QFile::exists(QVXMessageDlg::imageFolder() + image.file)) {
            QTest::ignoreMessage(QtWarningMsg, image.line);
            ++missing;
        }
    }
    if (missing == 0)
        QSKIP("every message box image is present");

    QVXMessageDlg dlg("Images are missing.", QString(), VXMsg::KindWarningQuestion);
    QVERIFY(!QApplication::activeModalWidget()); // no other box popped up on the way
    dlg.show();
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.findChild<QPushButton *>("m_btnOk")->text(), QString("Yes"));
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

void TestMessageDlg::toastHoverHolds_data()
{
    QTest::addColumn<bool>("enterWhileFading");
    QTest::newRow("enter during the hold") << false;
    QTest::newRow("enter while fading") << true;
}

void TestMessageDlg::toastHoverHolds()
{
    QFETCH(bool, enterWhileFading);

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
