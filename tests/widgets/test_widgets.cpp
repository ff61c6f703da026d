// Controls of the widget kit: four-state image controls, text buttons, the
// counter badge, nine-patch painting, the eliding label with rename, the
// image combo box and the scroll bars.

#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include "TestEnv.h"
#include "WidgetTestUtil.h"
#include "widgets/NinePatch.h"
#include "widgets/QCustomComboBox.h"
#include "widgets/QCustomImageWidget.h"
#include "widgets/QImageButton.h"
#include "widgets/QImageButtonEx.h"
#include "widgets/QTextImageButton.h"
#include "widgets/RetractLabel.h"
#include "widgets/StyleScrollBar.h"

using namespace WidgetTestUtil;

namespace {

enum Kind { ImageButton, TextImageButton, CustomImageWidget };

// One of the three four-state controls, with a uniform face for the tests.
struct FourStateControl
{
    QWidget *widget = nullptr;
    Kind kind;

    FourStateControl(Kind k, QWidget *parent) : kind(k)
    {
        switch (k) {
        case ImageButton: widget = new QImageButton(parent); break;
        case TextImageButton: widget = new QTextImageButton(parent); break;
        case CustomImageWidget: widget = new QCustomImageWidget(parent); break;
        }
    }
    bool load(const QString &path)
    {
        switch (kind) {
        case ImageButton: return static_cast<QImageButton *>(widget)->loadImage(path);
        case TextImageButton: return static_cast<QTextImageButton *>(widget)->setImage(path);
        case CustomImageWidget:
        default: {
            auto *w = static_cast<QCustomImageWidget *>(widget);
            const bool ok = w->loadImage(path);
            w->resize(QPixmap(path).width() / 4, QPixmap(path).height());
            return ok;
        }
        }
    }
    int state() const
    {
        switch (kind) {
        case ImageButton: return static_cast<QImageButton *>(widget)->state();
        case TextImageButton: return static_cast<QTextImageButton *>(widget)->state();
        case CustomImageWidget:
        default: return static_cast<QCustomImageWidget *>(widget)->state();
        }
    }
};

void typeInto(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestWidgets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void fourStateTransitions_data();
    void fourStateTransitions();
    void missingImageIsHarmless();
    void textColourFollowsState();
    void badgeCounting();
    void ninePatchKeepsCorners();
    void labelElides();
    void renameValidation();
    void comboIndexAndSignals();
    void comboClickShowsMenu();
    void styleScrollBarPaintsArrowImages();

private:
    void checkComboChoice(int chosen, bool indexChanges);
    void checkElision(const QString &text, const QSize &size, bool elided);
    QTemporaryDir m_dir;
};

void TestWidgets::fourStateTransitions_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::newRow("QImageButton") << ImageButton;
    QTest::newRow("QTextImageButton") << TextImageButton;
    QTest::newRow("QCustomImageWidget") << CustomImageWidget;
}

void TestWidgets::fourStateTransitions()
{
    QFETCH(Kind, kind);
    QWidget top;
    FourStateControl control(kind, &top);
    QWidget *w = control.widget;
    QVERIFY(control.load(writeFourFrames(m_dir, "four.png", 160, 30)));
    // Away from where the offscreen cursor rests, so no real Enter interferes.
    w->move(120, 60);
    top.setGeometry(300, 300, 200, 100);
    top.show();
    QVERIFY(QTest::qWaitForWindowExposed(&top));
    const QPoint centre = w->rect().center();

    struct Step { const char *what; std::function<void()> act; int state; };
    const std::vector<Step> steps = {
        {"initial", [] {}, 0},
        {"enter", [&] { sendEnter(w); }, 1},
        {"press", [&] { QTest::mousePress(w, Qt::LeftButton, {}, centre); }, 2},
        {"release", [&] { QTest::mouseRelease(w, Qt::LeftButton, {}, centre); }, 0},
        {"enter again", [&] { sendEnter(w); }, 1},
        {"leave", [&] { sendLeave(w); }, 0},
        {"disable", [&] { w->setEnabled(false); }, 3},
        {"enter while disabled", [&] { sendEnter(w); }, 3},
        {"press while disabled", [&] { sendMouse(w, QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton); }, 3},
        {"release while disabled", [&] { sendMouse(w, QEvent::MouseButtonRelease, centre, Qt::LeftButton, {}); }, 3},
        {"enable", [&] { w->setEnabled(true); }, 0},
        {"enter enabled", [&] { sendEnter(w); }, 1},
        {"parent disabled", [&] { top.setEnabled(false); }, 3},
        {"parent enabled", [&] { top.setEnabled(true); }, 0},
    };
    for (const Step &step : steps) {
        step.act();
        QVERIFY2(control.state() == step.state,
                 qPrintable(QString("%1: state %2").arg(step.what).arg(control.state())));
        QCOMPARE(pixel(w, centre), kFrameColors[step.state]);
    }
    sendEnter(w);
    QCOMPARE(w->cursor().shape(), Qt::PointingHandCursor);
}

void TestWidgets::missingImageIsHarmless()
{
    // A missing file for each control, and an image too narrow for four frames.
    const QList<QPair<Kind, bool>> cases{
        {ImageButton, false}, {ImageButton, true}, {TextImageButton, false}, {CustomImageWidget, false}};
    for (const auto &[kind, tooNarrow] : cases) {
        FourStateControl control(kind, nullptr);
        std::unique_ptr<QWidget> owner(control.widget);
        QVERIFY(control.load(writeFourFrames(m_dir, "ok.png", 80, 20)));
        const QString bad = tooNarrow ? writeFourFrames(m_dir, "narrow.png", 3, 20) : m_dir.filePath("nothing.png");
        QVERIFY(!control.load(bad));
        control.widget->resize(20, 20);
        // The earlier image must not linger: the face is the flat fallback now.
        const QImage shot = grabImage(control.widget);
        for (const QColor &c : kFrameColors)
            QVERIFY2(!containsColor(shot, c), qPrintable(QString("kind %1, narrow %2").arg(int(kind)).arg(tooNarrow)));
    }
}

void TestWidgets::textColourFollowsState()
{
    const QColor colors[4] = {QColor(250, 0, 0), QColor(0, 250, 0), QColor(0, 0, 250), QColor(250, 250, 0)};
    const QString black = writeSolid(m_dir, "black.png", QSize(4 * 200, 60), Qt::black);
    for (int state = 0; state < 4; ++state) {
        QTextImageButton button;
        QVERIFY(button.setImage(black, "MMMM"));
        QCOMPARE(button.text(), QString("MMMM"));
        QFont f = button.font();
        f.setPixelSize(40);
        f.setBold(true);
        button.setFont(f);
        button.setTextColors(colors[0], colors[1], colors[2], colors[3]);
        if (state == 1 || state == 2)
            sendEnter(&button);
        if (state == 2)
            QTest::mousePress(&button, Qt::LeftButton, {}, button.rect().center());
        if (state == 3)
            button.setEnabled(false);
        QCOMPARE(button.state(), state);
        const QImage shot = grabImage(&button);
        for (int i = 0; i < 4; ++i)
            QVERIFY2(containsColor(shot, colors[i]) == (i == state), qPrintable(QString("state %1, colour %2").arg(state).arg(i)));
    }
}

void TestWidgets::badgeCounting()
{
    QCOMPARE(QImageButtonEx::badgeText(0), QString());
    QCOMPARE(QImageButtonEx::badgeText(99), QString("99"));
    QCOMPARE(QImageButtonEx::badgeText(100), QString("99+"));
    QImageButtonEx button;
    QVERIFY(button.setImage(writeSolid(m_dir, "black.png", QSize(4 * 120, 40), Qt::black), "Converted"));
    const QColor badgeColor(0, 200, 200);
    button.setBadgeImage(writeSolid(m_dir, "badge.png", QSize(18, 18), badgeColor));

    QVERIFY(!containsColor(grabImage(&button), badgeColor));

    // The badge counts through the slot, as the queue list's signal drives it.
    QObject source;
    connect(&source, &QObject::objectNameChanged, &button, &QImageButtonEx::addItemCount);
    for (int i = 0; i < 100; ++i)
        source.setObjectName(QString::number(i));
    QCOMPARE(button.count(), 100);
    QImage shot = grabImage(&button);
    QVERIFY(containsColor(shot, badgeColor));

    button.resetCount();
    QCOMPARE(button.count(), 0);
    QVERIFY(!containsColor(grabImage(&button), badgeColor));

    // Without the badge image a flat badge still shows the count.
    button.setBadgeImage(m_dir.filePath("no-badge.png"));
    button.addItemCount();
    shot = grabImage(&button);
    QVERIFY(containsColor(shot.copy(button.badgeRect()), QColor(255, 120, 0)));
}

void TestWidgets::ninePatchKeepsCorners()
{
    const QPixmap source(writeNineGrid(m_dir, "grid.png", 10));
    const QColor red(Qt::red), green(Qt::green), blue(Qt::blue);
    const struct { QSize target; QPoint at; QColor expected; } probes[] = {
        {{200, 120}, {9, 9}, red},      // corner, inner pixel
        {{200, 120}, {190, 110}, red},  // opposite corner
        {{200, 120}, {100, 5}, green},  // edge stretched
        {{200, 120}, {100, 60}, blue},  // centre
        {{16, 12}, {7, 5}, red},        // small target: corners shrink
    };
    for (const auto &probe : probes) {
        QImage canvas(probe.target, QImage::Format_ARGB32);
        canvas.fill(Qt::black);
        QPainter painter(&canvas);
        NinePatch::draw(painter, canvas.rect(), source, NinePatch::thirds(source.size()));
        painter.end();
        QCOMPARE(canvas.pixelColor(probe.at), probe.expected);
    }
}

void TestWidgets::labelElides()
{
    const QString longName = "A very long holiday video recorded on the beach in summer.mp4";
    const struct { const char *what; QString text; QSize size; bool elided; } cases[] = {
        {"short fits", "clip.mp4", {200, 20}, false},
        {"long, one line", longName, {150, 18}, true},
        {"long, two lines", longName, {150, 36}, true},
        {"long, room for all", longName, {200, 200}, false},
        {"one long word", QString(60, QLatin1Char('w')) + ".mkv", {150, 60}, true},
    };
    for (const auto &c : cases) {
        checkElision(c.text, c.size, c.elided);
        QVERIFY2(!QTest::currentTestFailed(), c.what);
    }
}

void TestWidgets::checkElision(const QString &text, const QSize &size, bool elided)
{
    RetractLabel label;
    label.setFixedSize(size);
    label.setFullText(text);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QCOMPARE(label.fullText(), text);

    const auto fits = [&label](const QString &t) {
        const QRect r = label.fontMetrics().boundingRect(QRect(0, 0, label.width(), 100000),
                                                         Qt::TextWordWrap | int(label.alignment()), t);
        return r.height() <= label.height() && r.width() <= label.width();
    };
    const QString shown = label.text();
    QVERIFY(fits(shown));
    if (!elided) {
        QCOMPARE(shown, text);
        return;
    }
    QVERIFY(shown.endsWith("..."));
    const QString kept = shown.chopped(3);
    QVERIFY(text.startsWith(kept));
    // The longest prefix that fits: one more character would not.
    QVERIFY(!fits(text.left(kept.size() + 1) + "..."));

    // Growing the label shows the whole text again.
    label.setFixedSize(1200, 200);
    QCOMPARE(label.text(), text);
}

void TestWidgets::renameValidation()
{
    const QString name = "holiday.mp4";
    // Each row: the label's text, what is typed, what the editor then holds,
    // Escape instead of Return, the name afterwards and the change signals.
    const struct { const char *what; QString fullText, typed, editorText; bool escape; QString result; int emitted; } rows[] = {
        {"colon, star, backslash refused", name, "a:*\\b", "ab", false, "ab.mp4", 1},
        // The refused first key had replaced the selection: back to the full base.
        {"slash refused", name, "/x", "holidayx", false, "holidayx.mp4", 1},
        {"quote and brackets refused", name, "q\"<>|", "q", false, "q.mp4", 1},
        {"question mark allowed", name, "what?", "what?", false, "what?.mp4", 1},
        {"non-ASCII", name, "视频 été", "视频 été", false, "视频 été.mp4", 1},
        {"unchanged", name, "holiday", "holiday", false, name, 0},
        {"first character refused", name, ":", "holiday", false, name, 0},
        {"blank is no change", name, "   ", "   ", false, name, 0},
        {"several dots", "my.clip.v2.mkv", "new", "new", false, "new.mkv", 1},
        {"no extension", "README", "DOC", "DOC", false, "DOC", 1},
        {"escape cancels", name, "other", "other", true, name, 0},
    };
    QStringList expected, got;
    for (const auto &row : rows) {
        RetractLabel label;
        label.resize(300, 24);
        label.setFullText(row.fullText);
        QSignalSpy changed(&label, &RetractLabel::emitChangeName);
        label.startRename();
        QLineEdit *editor = label.renameEditor();
        QVERIFY2(editor, row.what);
        QCOMPARE(editor->text(), RetractLabel::baseName(row.fullText));
        QCOMPARE(editor->selectedText(), editor->text());
        typeInto(editor, row.typed);
        const QString typedText = editor->text();
        QTest::keyClick(editor, row.escape ? Qt::Key_Escape : Qt::Key_Return);
        QVERIFY2(!label.isRenaming() && editor->isHidden(), row.what);
        // A second end of the same rename (focus leaving) changes nothing more.
        label.RenameOK();
        const QString line = QString("%1: typed %2, named %3, %4 signal(s)").arg(row.what);
        expected << line.arg(row.editorText, row.result).arg(row.emitted);
        got << line.arg(typedText, label.fullText()).arg(changed.count());
    }
    QCOMPARE(got, expected);
}

void TestWidgets::comboIndexAndSignals()
{
    // Another item, then the current item again.
    for (const int chosen : {2, 0}) {
        checkComboChoice(chosen, chosen != 0);
        QVERIFY2(!QTest::currentTestFailed(), qPrintable(QString("item %1").arg(chosen)));
    }
}

void TestWidgets::checkComboChoice(int chosen, bool indexChanges)
{
    QCustomComboBox combo;
    combo.resize(150, 24);
    combo.addItems({"English", "French", "German"});
    QCOMPARE(combo.currentIndex(), 0);
    combo.setCurrentIndex(7); // out of range: ignored
    QCOMPARE(combo.currentIndex(), 0);
    QSignalSpy changed(&combo, &QCustomComboBox::currentIndexChanged);
    QSignalSpy activated(&combo, &QCustomComboBox::activated);

    combo.ShowItemMenu();
    QMenu *menu = combo.itemMenu();
    QVERIFY(menu);
    QVERIFY(menu->actions().at(0)->isChecked());
    menu->actions().at(chosen)->trigger();
    QCOMPARE(activated.count(), 1);
    QCOMPARE(activated.at(0).at(0).toInt(), chosen);
    QCOMPARE(changed.count(), indexChanges ? 1 : 0);
    QCOMPARE(combo.currentText(), combo.itemText(chosen));
    menu->close();

    combo.clear();
    QCOMPARE(combo.currentIndex(), -1);
}

void TestWidgets::comboClickShowsMenu()
{
    QWidget top;
    auto *combo = new QCustomComboBox(&top);
    combo->setGeometry(10, 10, 150, 24);
    QVERIFY(combo->loadImage(writeFourFrames(m_dir, "combo.png", 600, 24)));
    combo->addItems({"Auto", "1280x720"});
    top.show();
    QVERIFY(QTest::qWaitForWindowExposed(&top));
    QSignalSpy shown(combo, &QCustomComboBox::emitShowItemMenu);

    QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(20, 12));
    QCOMPARE(shown.count(), 1);
    QVERIFY(combo->itemMenu());
    QTRY_VERIFY_WITH_TIMEOUT(combo->itemMenu()->isVisible(), 2000);
    combo->itemMenu()->close();

    combo->setEnabled(false);
    QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(20, 12));
    QCOMPARE(shown.count(), 1);
}

void TestWidgets::styleScrollBarPaintsArrowImages()
{
    // A folder with a space, as user folders often have.
    QDir(m_dir.path()).mkpath("arrow images");
    QTemporaryDir &dir = m_dir;
    const QColor up(10, 220, 220), down(220, 10, 220);
    const QString upPath = writeSolid(dir, "arrow images/up.png", QSize(8, 9), up);
    const QString downPath = writeSolid(dir, "arrow images/down.png", QSize(8, 9), down);

    StyleScrollBar bar;
    bar.setArrowImages(upPath, upPath, downPath, downPath);
    bar.setRange(0, 100);
    bar.resize(8, 200);
    const QImage shot = grabImage(&bar);
    QCOMPARE(shot.pixelColor(4, 4), up);
    QCOMPARE(shot.pixelColor(4, 195), down);
    QVERIFY(!containsColor(shot.copy(0, 20, 8, 160), up));
}

VELMORA_TEST_MAIN(TestWidgets)
#include "test_widgets.moc"
