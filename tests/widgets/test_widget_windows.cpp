// Frameless window bases of the widget kit: the main-window base with its
// maximise toggle, drag, resize bands and animated close, and the skinned
// dialogs.

#include <QCloseEvent>
#include <QPropertyAnimation>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include "TestEnv.h"
#include "WidgetTestUtil.h"
#include "widgets/FramelessController.h"
#include "widgets/QImageDialog.h"
#include "widgets/QImageWidget.h"
#include "widgets/QNinePointsImageDialog.h"
#include "widgets/QVariableSizeWidget.h"

using namespace WidgetTestUtil;

namespace {

const QRect kNormal(100, 80, 400, 300);

// Presses at `from` (window coordinates), moves by `delta` and releases.
void drag(QWidget *w, const QPoint &from, const QPoint &delta)
{
    const QPoint global = w->mapToGlobal(from);
    sendMouse(w, QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton, global);
    sendMouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, global);
    sendMouse(w, QEvent::MouseMove, from + delta, Qt::NoButton, Qt::LeftButton, global + delta);
    sendMouse(w, QEvent::MouseButtonRelease, from + delta, Qt::LeftButton, Qt::NoButton, global + delta);
}

class RefusingWindow : public QVariableSizeWidget
{
protected:
    void closeEvent(QCloseEvent *event) override { event->ignore(); }
};

} // namespace

class TestWidgetWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void doubleClickToggles();
    void dragRegion_data();
    void dragRegion();
    void resizeBands_data();
    void resizeBands();
    void centralWidgetForwardsHover();
    void animatedCloseEndsClosed();
    void refusedCloseRestoresGeometry();
    void ninePointsDialog();
    void ninePointsDialogDrag_data();
    void ninePointsDialogDrag();
    void imageDialogAndWidgetDragAnywhere();

private:
    QTemporaryDir m_dir;
};

void TestWidgetWindows::doubleClickToggles()
{
    QVariableSizeWidget w;
    w.setGeometry(kNormal);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QSignalSpy toggled(&w, &QVariableSizeWidget::maximizeToggled);
    const QPoint at(200, 40);

    sendMouse(&w, QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    QVERIFY(w.isMaxSize());
    QTRY_VERIFY(w.geometry() != kNormal);
    sendMouse(&w, QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    QVERIFY(!w.isMaxSize());
    QTRY_COMPARE(w.geometry(), kNormal);
    QCOMPARE(toggled.count(), 2);
}

void TestWidgetWindows::dragRegion_data()
{
    QTest::addColumn<bool>("maximised");
    QTest::addColumn<bool>("titleRegion");
    QTest::addColumn<QPoint>("pressAt");
    QTest::addColumn<bool>("moves");
    QTest::newRow("top band") << false << false << QPoint(200, 50) << true;
    QTest::newRow("below the top 100 px") << false << false << QPoint(200, 150) << false;
    QTest::newRow("maximised, top band") << true << false << QPoint(200, 50) << false;
    QTest::newRow("title region inside") << false << true << QPoint(200, 50) << true;
    QTest::newRow("title region, left inset") << false << true << QPoint(12, 50) << false;
    QTest::newRow("title region, right inset") << false << true << QPoint(390, 50) << false;
}

void TestWidgetWindows::dragRegion()
{
    QFETCH(bool, maximised);
    QFETCH(bool, titleRegion);
    QFETCH(QPoint, pressAt);
    QFETCH(bool, moves);
    QVariableSizeWidget w;
    w.setGeometry(kNormal);
    if (titleRegion)
        w.setTitleDragRegion(20, 0, 19, -1);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    if (maximised)
        w.toggleMaximize(10);
    QTest::qWait(20);
    const QRect before = w.geometry();

    const QPoint delta(37, 23);
    drag(&w, pressAt, delta);
    if (moves)
        QTRY_COMPARE(w.geometry(), before.translated(delta));
    else {
        QTest::qWait(50);
        QCOMPARE(w.geometry(), before);
    }
}

void TestWidgetWindows::resizeBands_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QRect>("expected");
    const QRect n = kNormal;
    QTest::newRow("right band") << QPoint(397, 150) << int(Qt::SizeHorCursor) << QPoint(40, 0)
                                << n.adjusted(0, 0, 40, 0);
    QTest::newRow("left band") << QPoint(2, 150) << int(Qt::SizeHorCursor) << QPoint(30, 0)
                               << n.adjusted(30, 0, 0, 0);
    QTest::newRow("bottom band") << QPoint(200, 296) << int(Qt::SizeVerCursor) << QPoint(0, -20)
                                 << n.adjusted(0, 0, 0, -20);
    QTest::newRow("top band beats dragging") << QPoint(200, 1) << int(Qt::SizeVerCursor) << QPoint(0, 10)
                                             << n.adjusted(0, 10, 0, 0);
    QTest::newRow("top-left corner") << QPoint(1, 1) << int(Qt::SizeFDiagCursor) << QPoint(-10, -10)
                                     << n.adjusted(-10, -10, 0, 0);
    QTest::newRow("top-right corner") << QPoint(398, 2) << int(Qt::SizeBDiagCursor) << QPoint(10, 5)
                                      << n.adjusted(0, 5, 10, 0);
    QTest::newRow("minimum kept") << QPoint(397, 150) << int(Qt::SizeHorCursor) << QPoint(-390, 0)
                                  << QRect(n.topLeft(), QSize(250, 300));
    QTest::newRow("inside: no band") << QPoint(200, 200) << int(Qt::ArrowCursor) << QPoint(30, 30) << n;
}

void TestWidgetWindows::resizeBands()
{
    QFETCH(QPoint, at);
    QFETCH(int, cursor);
    QFETCH(QPoint, delta);
    QFETCH(QRect, expected);
    QVariableSizeWidget w;
    w.setMinimumSize(250, 200);
    w.setGeometry(kNormal);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    sendMouse(&w, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    QCOMPARE(int(w.cursor().shape()), cursor);
    drag(&w, at, delta);
    QTRY_COMPARE(w.geometry(), expected);

    // Maximised windows show no size cursors.
    w.toggleMaximize(10);
    sendMouse(&w, QEvent::MouseMove, QPoint(w.width() - 2, 150), Qt::NoButton, Qt::NoButton);
    QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
}

void TestWidgetWindows::centralWidgetForwardsHover()
{
    QVariableSizeWidget w;
    auto *central = new QWidget;
    w.setCentralWidget(central);
    w.setGeometry(kNormal);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // A plain child of the central widget, under the right band; it does not
    // track the mouse, so Qt gives its plain moves to nobody else.
    auto *child = new QWidget(central);
    child->setGeometry(central->width() - 30, 100, 30, 50);
    child->show();
    const QPoint inChild(child->width() - 2, 10);
    sendMouse(child, QEvent::MouseMove, inChild, Qt::NoButton, Qt::NoButton);
    QCOMPARE(w.cursor().shape(), Qt::SizeHorCursor);
    sendMouse(child, QEvent::MouseMove, QPoint(5, 10), Qt::NoButton, Qt::NoButton);
    QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);

    // A press on the central widget's top band drags the window.
    const QRect before = w.geometry();
    const QPoint from(150, 30);
    const QPoint global = central->mapToGlobal(from);
    sendMouse(central, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, global);
    sendMouse(central, QEvent::MouseMove, from + QPoint(15, 5), Qt::NoButton, Qt::LeftButton,
              global + QPoint(15, 5));
    sendMouse(central, QEvent::MouseButtonRelease, from + QPoint(15, 5), Qt::LeftButton, Qt::NoButton,
              global + QPoint(15, 5));
    QTRY_COMPARE(w.geometry(), before.translated(15, 5));
}

void TestWidgetWindows::animatedCloseEndsClosed()
{
    QVariableSizeWidget w;
    w.setMinimumSize(200, 200);
    w.setGeometry(kNormal);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QList<QRect> frames;
    w.animatedClose();
    w.animatedClose(); // a second request while closing is ignored
    QVERIFY(w.isVisible());
    QCOMPARE(w.findChildren<QPropertyAnimation *>().size(), 1);
    for (int polls = 0; w.isVisible() && polls < 600; ++polls) { // a hang guard, not a time limit
        frames << w.geometry();
        QTest::qWait(5);
    }
    QVERIFY(!w.isVisible());
    // It folds towards its vertical middle, keeping its width.
    const int middle = kNormal.top() + kNormal.height() / 2;
    for (const QRect &r : frames) {
        QCOMPARE(r.width(), kNormal.width());
        QVERIFY(qAbs(r.top() + r.height() / 2 - middle) <= 1);
    }
    // Shown again (from the tray, say), it is whole.
    QCOMPARE(w.geometry(), kNormal);
    QCOMPARE(w.minimumSize(), QSize(200, 200));
}

void TestWidgetWindows::refusedCloseRestoresGeometry()
{
    RefusingWindow w;
    w.setMinimumSize(200, 200);
    w.setGeometry(kNormal);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.animatedClose();
    QTest::qWait(400);
    QVERIFY(w.isVisible());
    QTRY_COMPARE(w.geometry(), kNormal);
    QCOMPARE(w.minimumSize(), QSize(200, 200));
}

void TestWidgetWindows::ninePointsDialog()
{
    QNinePointsImageDialog dlg;
    QVERIFY(dlg.setBackgroundImage(writeSolid(m_dir, "bg90.png", QSize(90, 60), Qt::gray)));
    QCOMPARE(dlg.size(), QSize(90, 60));

    // A second, larger image refits the dialog.
    QVERIFY(dlg.setBackgroundImage(writeNineGrid(m_dir, "grid.png", 40)));
    QCOMPARE(dlg.size(), QSize(120, 120));
    QCOMPARE(pixel(&dlg, QPoint(39, 39)), QColor(Qt::red));

    QVERIFY(!dlg.setBackgroundImage(m_dir.filePath("missing.png")));
    dlg.grab(); // paints the flat fallback without crashing
    QVERIFY(dlg.setBackgroundImage(writeNineGrid(m_dir, "grid.png", 40)));

    // Double click: neither closes nor resizes.
    dlg.move(200, 200);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    const QRect before = dlg.geometry();
    sendMouse(&dlg, QEvent::MouseButtonDblClick, QPoint(50, 10), Qt::LeftButton, Qt::LeftButton);
    QTest::qWait(30);
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.geometry(), before);

    // Resizable: the corners are the floor.
    dlg.setResizable(true);
    drag(&dlg, QPoint(118, 118), QPoint(-100, 30));
    QTRY_COMPARE(dlg.size(), QSize(80, 150));
    QCOMPARE(pixel(&dlg, QPoint(79, 149)), QColor(Qt::red));
}

void TestWidgetWindows::ninePointsDialogDrag_data()
{
    QTest::addColumn<bool>("draggable");
    QTest::addColumn<QPoint>("pressAt");
    QTest::addColumn<bool>("moves");
    QTest::newRow("draggable, top") << true << QPoint(60, 50) << true;
    QTest::newRow("draggable, below 100 px") << true << QPoint(60, 130) << false;
    QTest::newRow("not draggable") << false << QPoint(60, 50) << false;
}

void TestWidgetWindows::ninePointsDialogDrag()
{
    QFETCH(bool, draggable);
    QFETCH(QPoint, pressAt);
    QFETCH(bool, moves);
    QNinePointsImageDialog dlg;
    QVERIFY(dlg.setBackgroundImage(writeSolid(m_dir, "bg.png", QSize(150, 150), Qt::gray), draggable));
    dlg.move(150, 150);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    const QRect before = dlg.geometry();
    drag(&dlg, pressAt, QPoint(-20, 35));
    if (moves)
        QTRY_COMPARE(dlg.geometry(), before.translated(-20, 35));
    else {
        QTest::qWait(50);
        QCOMPARE(dlg.geometry(), before);
    }
}

void TestWidgetWindows::imageDialogAndWidgetDragAnywhere()
{
    QImageDialog dlg;
    QVERIFY(dlg.setBackgroundImage(writeSolid(m_dir, "dlg.png", QSize(100, 200), QColor(10, 20, 30))));
    QCOMPARE(dlg.size(), QSize(100, 200));
    QVERIFY(!dlg.setBackgroundImage(m_dir.filePath("missing.png")));
    dlg.move(100, 100);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QRect before = dlg.geometry();
    drag(&dlg, QPoint(50, 180), QPoint(25, -15));
    QTRY_COMPARE(dlg.geometry(), before.translated(25, -15));

    // An image widget inside a window drags that window.
    QWidget top;
    top.setGeometry(300, 300, 200, 200);
    auto *panel = new QImageWidget(&top);
    panel->setGeometry(20, 120, 100, 50);
    QVERIFY(panel->setBackgroundImage(writeSolid(m_dir, "panel.png", QSize(10, 10), QColor(40, 50, 60))));
    top.show();
    QVERIFY(QTest::qWaitForWindowExposed(&top));
    QCOMPARE(pixel(panel, QPoint(99, 49)), QColor(40, 50, 60));
    before = top.geometry();
    const QPoint panelBefore = panel->pos();
    drag(panel, QPoint(10, 10), QPoint(-30, 12));
    QTRY_COMPARE(top.geometry(), before.translated(-30, 12));
    QCOMPARE(panel->pos(), panelBefore);
}

VELMORA_TEST_MAIN(TestWidgetWindows)
#include "test_widget_windows.moc"
