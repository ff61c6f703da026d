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
    void dragRegion();
    void resizeBands();
    void centralWidgetForwardsHover();
    void animatedCloseEndsClosed();
    void ninePointsDialog();
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

void TestWidgetWindows::dragRegion()
{
    // Maximised or not, with a title region or not, where the press lands,
    // and whether the window follows.
    const struct { const char *what; bool maximised, titleRegion; QPoint pressAt; bool moves; } cases[] = {
        {"top band", false, false, {200, 50}, true},
        {"below the top 100 px", false, false, {200, 150}, false},
        {"maximised, top band", true, false, {200, 50}, false},
        {"title region inside", false, true, {200, 50}, true},
        {"title region, left inset", false, true, {12, 50}, false},
        {"title region, right inset", false, true, {390, 50}, false},
    };
    for (const auto &c : cases) {
        QVariableSizeWidget w;
        w.setGeometry(kNormal);
        if (c.titleRegion)
            w.setTitleDragRegion(20, 0, 19, -1);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        if (c.maximised)
            w.toggleMaximize(10);
        QTest::qWait(20);
        const QRect before = w.geometry();
        const QPoint delta(37, 23);
        drag(&w, c.pressAt, delta);
        QTest::qWait(50);
        QTRY_VERIFY2(w.geometry() == (c.moves ? before.translated(delta) : before), c.what);
    }
}

void TestWidgetWindows::resizeBands()
{
    // Where the pointer rests, the cursor it gets, the drag and the geometry after.
    const QRect n = kNormal;
    const struct { const char *what; QPoint at; Qt::CursorShape cursor; QPoint delta; QRect expected; } bands[] = {
        {"right band", {397, 150}, Qt::SizeHorCursor, {40, 0}, n.adjusted(0, 0, 40, 0)},
        {"left band", {2, 150}, Qt::SizeHorCursor, {30, 0}, n.adjusted(30, 0, 0, 0)},
        {"bottom band", {200, 296}, Qt::SizeVerCursor, {0, -20}, n.adjusted(0, 0, 0, -20)},
        {"top band beats dragging", {200, 1}, Qt::SizeVerCursor, {0, 10}, n.adjusted(0, 10, 0, 0)},
        {"top-left corner", {1, 1}, Qt::SizeFDiagCursor, {-10, -10}, n.adjusted(-10, -10, 0, 0)},
        {"top-right corner", {398, 2}, Qt::SizeBDiagCursor, {10, 5}, n.adjusted(0, 5, 10, 0)},
        {"minimum kept", {397, 150}, Qt::SizeHorCursor, {-390, 0}, QRect(n.topLeft(), QSize(250, 300))},
        {"inside: no band", {200, 200}, Qt::ArrowCursor, {30, 30}, n},
    };
    for (const auto &b : bands) {
        QVariableSizeWidget w;
        w.setMinimumSize(250, 200);
        w.setGeometry(kNormal);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        sendMouse(&w, QEvent::MouseMove, b.at, Qt::NoButton, Qt::NoButton);
        QVERIFY2(w.cursor().shape() == b.cursor, b.what);
        drag(&w, b.at, b.delta);
        QTRY_VERIFY2(w.geometry() == b.expected, b.what);

        // Maximised windows show no size cursors.
        w.toggleMaximize(10);
        sendMouse(&w, QEvent::MouseMove, QPoint(w.width() - 2, 150), Qt::NoButton, Qt::NoButton);
        QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
    }
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

    // A window that refuses the close stays, whole again.
    RefusingWindow refusing;
    refusing.setMinimumSize(200, 200);
    refusing.setGeometry(kNormal);
    refusing.show();
    QVERIFY(QTest::qWaitForWindowExposed(&refusing));
    refusing.animatedClose();
    QTest::qWait(400);
    QVERIFY(refusing.isVisible());
    QTRY_COMPARE(refusing.geometry(), kNormal);
    QCOMPARE(refusing.minimumSize(), QSize(200, 200));
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

    // Dragged by its top 100 px only, and only when asked to be.
    const struct { bool draggable; QPoint pressAt; bool moves; } drags[] = {
        {true, {60, 50}, true}, {true, {60, 130}, false}, {false, {60, 50}, false}};
    for (const auto &d : drags) {
        QNinePointsImageDialog plain;
        QVERIFY(plain.setBackgroundImage(writeSolid(m_dir, "bg.png", QSize(150, 150), Qt::gray), d.draggable));
        plain.move(150, 150);
        plain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain));
        const QRect start = plain.geometry();
        drag(&plain, d.pressAt, QPoint(-20, 35));
        QTest::qWait(50);
        QTRY_COMPARE(plain.geometry(), d.moves ? start.translated(-20, 35) : start);
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
