// The format chooser and its custom parameters panel: the grid and category
// buttons, the start-up choice, the presets and "Customized", the dependent
// menus, audio-only formats, Ok/Cancel and what a new process restores.

#include "CatalogueXml.h"
#include "TestEnv.h"
#include "TestTools.h"

#include "profiles/FormatCategoryButton.h"
#include "profiles/FormatItem.h"
#include "profiles/FormatItemWidget.h"
#include "profiles/FormatWidget.h"
#include "profiles/OutputFormat.h"
#include "profiles/ProfileCatalog.h"
#include "profiles/QSettingDlg.h"
#include "settings/ParserXML.h"
#include "widgets/QCustomComboBox.h"
#include "widgets/QImageButton.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

// ---- A small catalogue of our own, for shapes the shipped one lacks -------

struct VideoEncoder {
    QString code;
    QStringList resolutions;
};

struct Fmt {
    QString id;
    QString title;
    QString ext;
    bool autoValues = false;
    QList<VideoEncoder> video; // empty: audio-only
    QStringList audio;         // audio codes
    QStringList channels;      // channel counts of every audio code
};

using namespace CatalogueXml;

QString formatXml(const Fmt &f)
{
    QString x = "<dict>" + baseInfo(f.title, f.id, f.ext, f.autoValues);
    if (!f.video.isEmpty()) {
        QStringList codes;
        QString params;
        for (const VideoEncoder &v : f.video) {
            codes << v.code;
            for (const QString &r : v.resolutions)
                params += videoParam(v.code, r, "25", "24,25,30",
                                     rates("videobitrate", "1500", "800", "2500", "800,1500,2500"));
        }
        x += QStringLiteral("<key>videoencoders</key><dict>%1%2</dict><key>resolution</key><dict>%3</dict>")
                 .arg(entry("default", codes.first()), entry("supports", codes.join(',')),
                      entry("default", f.video.first().resolutions.first()));
        x += "<key>videoparams</key><array>" + params + "</array>";
    }
    x += QStringLiteral("<key>audioencoders</key><dict>%1%2</dict><key>channels</key><dict>%3</dict>")
             .arg(entry("default", f.audio.first()), entry("supports", f.audio.join(',')), entry("default", "2"));
    x += "<key>audioparams</key><array>";
    for (const QString &a : f.audio)
        for (const QString &c : f.channels)
            x += audioParam(a, c, rates("audiobitrate", "128", "96", "192", "96,128,192"), "44100", "44100,48000");
    return x + "</array></dict>";
}

QString catalogueXml(const QList<QPair<QString, QList<Fmt>>> &categories)
{
    QString x = "<key>Categories</key><array>";
    for (const auto &c : categories)
        x += QStringLiteral("<string>%1</string>").arg(c.first);
    x += QStringLiteral("</array><key>Codecs</key><dict>%1%2%3</dict>")
             .arg(entry("AAA1", "Alpha Video"), entry("BBB2", "Beta Video"), entry("AAC ", "AAC"));
    for (const auto &c : categories) {
        x += QStringLiteral("<key>%1</key><array>").arg(c.first);
        for (const Fmt &f : c.second)
            x += formatXml(f);
        x += "</array>";
    }
    return plist(x);
}

// ---- Helpers ------------------------------------------------------------------

void clearSettings()
{
    for (const QString &p : {ParserXML::settingFilePath(), ParserXML::formatFilePath()})
        QFile::remove(p);
}

void storeSetting(const QString &item, const QString &key, const QString &value)
{
    ParserXML::readSetting(item, key, value);
    ParserXML::writeSetting(item, key, value);
}

QString setting(const char *item, const char *key)
{
    return ParserXML::readSetting(item, key, "<none>");
}

QCustomComboBox *combo(QWidget *w, const char *name)
{
    auto *c = w->findChild<QCustomComboBox *>(name);
    if (!c)
        qWarning("no combo %s", name);
    return c;
}

QStringList itemsOf(const QCustomComboBox *c)
{
    QStringList items;
    for (int i = 0; i < c->count(); ++i)
        items << c->itemText(i);
    return items;
}

// Picks an entry the way the user does: through the combo's menu.
void pick(QCustomComboBox *c, int index)
{
    c->ShowItemMenu();
    QVERIFY(c->itemMenu());
    const QList<QAction *> actions = c->itemMenu()->actions();
    QVERIFY(index >= 0 && index < actions.size());
    actions.at(index)->trigger();
    c->itemMenu()->close();
}

void pickText(QCustomComboBox *c, const QString &text)
{
    const int index = int(itemsOf(c).indexOf(text));
    QVERIFY2(index >= 0, qPrintable(text));
    pick(c, index);
}

// Opens the chooser as the program does, on the stored choice, and clicks a category.
void showCategory(FormatWidget &w, const QString &category)
{
    w.restoreStoredChoice();
    w.prepareToShow();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (FormatCategoryButton *b : w.categoryButtons())
        if (b->category() == category)
            b->click();
}

int leadingInt(const QString &text)
{
    return text.section(QLatin1Char(' '), 0, 0).toInt();
}

const char *const kComboNames[] = {"m_cmbVEncoder", "m_cmbVResolution", "m_cmbVFrame", "m_cmbVBitRate",
                                   "m_cmbAEncoder", "m_cmbAChannel",    "m_cmbASample", "m_cmbABitRate"};

} // namespace

class TestFormatChooser : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<ProfileCatalog> m_own; // our small catalogue

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QList<Fmt> devices;
        for (int i = 1; i <= 7; ++i)
            devices << Fmt{QString::number(9100 + i), QStringLiteral("Device %1").arg(i), "mp4", false,
                           {{"AAA1", {"640*480", "1280*720"}}}, {"AAC"}, {"2"}};
        const QList<Fmt> odd = {Fmt{"9901", "Odd One", "mkv", false, {{"AAA1", {"640*480"}}}, {"AAC"}, {"2"}}};
        const QList<Fmt> general = {
            Fmt{"9201", "Two Encoders", "mkv", true,
                {{"AAA1", {"320*240", "640*480"}}, {"BBB2", {"1280*720", "1920*1080", "3840*2160"}}}, {"AAC"},
                {"1", "2", "6"}},
            Fmt{"9202", "Two Encoders Again", "mkv", false,
                {{"AAA1", {"352*288"}}, {"BBB2", {"854*480", "2560*1440"}}}, {"AAC"}, {"2"}},
        };
        const QList<Fmt> audio = {Fmt{"9501", "Audio Only", "m4a", false, {}, {"AAC"}, {"1", "2"}}};
        const QString path = m_dir.filePath("own.plist");
        QVERIFY(TestTools::writeFile(path, catalogueXml({{"Devices", devices}, {"Odd Things", odd},
                                                        {"General Video", general}, {"General Audio", audio}})
                                               .toUtf8()));
        m_own = std::make_unique<ProfileCatalog>(path);
        QVERIFY2(m_own->isLoaded(), qPrintable(m_own->loadError()));
        QVERIFY2(ProfileCatalog::instance().isLoaded(), qPrintable(ProfileCatalog::instance().loadError()));
    }

    void init()
    {
        clearSettings();
        OutputFormat::instance() = OutputFormat();
    }

    // Every category button has an icon that exists, a category without an
    // icon of its own included; every shipped format has a tile icon of its own.
    void icons()
    {
        FormatWidget w(*m_own);
        QCOMPARE(w.categoryButtons().size(), m_own->categories().size());
        for (FormatCategoryButton *b : w.categoryButtons())
            QVERIFY2(QFile::exists(b->iconPath()), qPrintable(b->iconPath()));

        const ProfileCatalog &catalog = ProfileCatalog::instance();
        QHash<QByteArray, QString> seen; // pixels -> format id
        for (const QString &category : catalog.categories()) {
            for (const FormatRecord &record : catalog.formats(category)) {
                const FormatItem tile(record.category, record.id, record.title);
                QImage icon(tile.iconPath());
                QVERIFY2(!icon.isNull(), qPrintable(tile.iconPath()));
                icon = icon.convertToFormat(QImage::Format_ARGB32);
                const QByteArray pixels(reinterpret_cast<const char *>(icon.constBits()), icon.sizeInBytes());
                QVERIFY2(!seen.contains(pixels),
                         qPrintable(QString("%1 looks like %2").arg(record.id, seen.value(pixels))));
                seen.insert(pixels, record.id);
            }
        }
        QVERIFY(!seen.isEmpty());
    }

    void restoreStoredChoice_data()
    {
        QTest::addColumn<QStringList>("stored"); // category, id, quality; empty: no settings file
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("quality");
        QTest::newRow("first start") << QStringList{} << "Devices" << "1101" << 0;
        QTest::newRow("stored HD, high") << QStringList{"HD Video", "4016", "1"} << "HD Video" << "4016" << 1;
        QTest::newRow("id no longer in catalogue") << QStringList{"Devices", "9999", "1"} << "Devices" << "1101" << 1;
        QTest::newRow("quality out of range") << QStringList{"Web Video", "3001", "7"} << "Web Video" << "3001" << 0;
        QTest::newRow("quality not a number") << QStringList{"Web Video", "3002", "x"} << "Web Video" << "3002" << 0;
    }

    void restoreStoredChoice()
    {
        QFETCH(QStringList, stored);
        QFETCH(QString, category);
        QFETCH(QString, id);
        QFETCH(int, quality);
        if (!stored.isEmpty()) {
            storeSetting("FormatSet", "Format_cate", stored[0]);
            storeSetting("FormatSet", "Format_ID", stored[1]);
            storeSetting("VIDEO_QUALITY_ITEM", "quality_value", stored[2]);
        }
        const ProfileCatalog &catalog = ProfileCatalog::instance();
        FormatWidget w(catalog);
        QSignalSpy title(&w, &FormatWidget::sendDevFormatChange);
        QSignalSpy changed(&w, &FormatWidget::settingChangeForFormat);
        w.restoreStoredChoice();

        QCOMPARE(w.category(), category);
        QCOMPARE(w.formatId(), id);
        QCOMPARE(w.quality(), quality);
        QCOMPARE(w.presetText(), FormatWidget::presetName(quality));
        QCOMPARE(title.size(), 1);
        QCOMPARE(title.first().first().toString(), catalog.baseInfo(category, id, "title"));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(setting("FormatSet", "Format_ID"), id);
        QCOMPARE(setting("FormatSet", "Format_cate"), category);
        QVERIFY2(QFile::exists(w.currentFormatIcon()), qPrintable(w.currentFormatIcon()));

        // OutputFormat follows the preset's bit rate.
        const FormatParams p = catalog.params(category, id, "", "", "", "");
        const OutputFormat &f = OutputFormat::instance();
        QCOMPARE(f.ext, p.ext);
        QCOMPARE(f.videoCodec, p.videoEncoder);
        QCOMPARE(f.videoBitRate, leadingInt(quality == 0 ? p.videoBitRateLow : p.videoBitRateHigh));
    }

    // A press selects a tile and announces nothing; left and right go along a
    // row, up and down a column (five to a row), the edges hold; Return and a
    // double click are "Ok".
    void gridKeysAndOk()
    {
        FormatWidget w(*m_own);
        showCategory(w, "Devices");
        FormatItemWidget *grid = w.formatGrid();
        grid->fill("Odd Things"); // a refill drops the earlier tiles
        grid->fill("Nothing Here");
        QVERIFY(grid->items().isEmpty());
        grid->fill("Devices");
        const QList<FormatItem *> tiles = grid->items();
        QCOMPARE(tiles.size(), 7);
        const QString stored = setting("FormatSet", "Format_ID");
        QSignalSpy title(&w, &FormatWidget::sendDevFormatChange);
        QTest::mouseClick(tiles.at(1), Qt::LeftButton);
        QCOMPARE(w.formatId(), tiles.at(1)->id());
        QVERIFY(tiles.at(1)->settingsButton()->isVisibleTo(tiles.at(1)));
        QVERIFY(grid->hasFocus());
        QCOMPARE(title.size(), 0);
        QCOMPARE(setting("FormatSet", "Format_ID"), stored);

        const auto press = [&](Qt::Key key) { QTest::keyClick(grid, key); return w.formatId(); };
        QCOMPARE(press(Qt::Key_Down), tiles.at(6)->id());
        QCOMPARE(press(Qt::Key_Down), tiles.at(6)->id());
        QCOMPARE(press(Qt::Key_Left), tiles.at(5)->id());
        QCOMPARE(press(Qt::Key_Up), tiles.at(0)->id());
        QCOMPARE(press(Qt::Key_Left), tiles.at(0)->id());
        QCOMPARE(press(Qt::Key_Right), tiles.at(1)->id());
        QCOMPARE(press(Qt::Key_End), tiles.at(6)->id());
        QCOMPARE(tiles.at(6)->state(), FormatItemSelected);
        const auto selected = [](FormatItem *t) { return t->state() == FormatItemSelected; };
        QCOMPARE(std::count_if(tiles.begin(), tiles.end(), selected), 1);

        QTest::keyClick(grid, Qt::Key_Return);
        QVERIFY(!w.isVisible());
        QCOMPARE(title.size(), 1);
        QCOMPARE(setting("FormatSet", "Format_ID"), tiles.at(6)->id());

        const QString id = tiles.at(3)->id();
        w.prepareToShow();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(grid->itemById(id), Qt::LeftButton); // a user's double click starts with a press
        QTest::mouseDClick(grid->itemById(id), Qt::LeftButton);
        QVERIFY(!w.isVisible());
        QCOMPARE(title.size(), 2);
        QCOMPARE(title.last().first().toString(), m_own->baseInfo("Devices", id, "title"));
        QCOMPARE(setting("FormatSet", "Format_ID"), id);
        QCOMPARE(setting("FormatSet", "Format_cate"), QString("Devices"));
        QCOMPARE(OutputFormat::instance().ext, QString("mp4"));
    }

    void panelSlidesAndToggles()
    {
        FormatWidget w(ProfileCatalog::instance());
        w.restoreStoredChoice();
        w.prepareToShow(); // slides it out
        QVERIFY(!w.isPanelShown());
        QTRY_COMPARE_WITH_TIMEOUT(w.settingPanel()->height(), 0, 5000);

        // The selected tile's settings button toggles it; a press on the free grid hides it.
        FormatItem *tile = w.formatGrid()->currentItem();
        QVERIFY(tile);
        tile->settingsButton()->click();
        QVERIFY(w.isPanelShown());
        QTRY_VERIFY_WITH_TIMEOUT(w.settingPanel()->height() > 0, 5000);
        tile->settingsButton()->click();
        QVERIFY(!w.isPanelShown());
        tile->settingsButton()->click();
        QVERIFY(w.isPanelShown());
        QWidget *free = w.formatGrid()->findChild<QWidget *>("m_wgtItems");
        QVERIFY(free);
        QTest::mouseClick(free, Qt::LeftButton, {}, QPoint(free->width() - 3, free->height() - 3));
        QVERIFY(!w.isPanelShown());
    }

    void departingFromPresetShowsCustomized_data()
    {
        QTest::addColumn<int>("preset");
        QTest::addColumn<QString>("comboName");
        QTest::newRow("High Quality, video bit rate") << 1 << "m_cmbVBitRate";
        QTest::newRow("Small Size, video bit rate") << 0 << "m_cmbVBitRate";
        QTest::newRow("High Quality, audio bit rate") << 1 << "m_cmbABitRate";
        QTest::newRow("Small Size, sample rate") << 0 << "m_cmbASample";
    }

    void departingFromPresetShowsCustomized()
    {
        QFETCH(int, preset);
        QFETCH(QString, comboName);
        FormatWidget w(ProfileCatalog::instance());
        w.restoreStoredChoice();
        w.setPreset(preset);
        QCOMPARE(w.presetText(), FormatWidget::presetName(preset));
        QCustomComboBox *c = combo(w.settingPanel(), qPrintable(comboName));
        QVERIFY(c && c->count() > 1);
        const int original = c->currentIndex();

        pick(c, original == 0 ? 1 : 0);
        QCOMPARE(w.presetText(), QString("Customized"));
        QCOMPARE(w.settingPanel()->shownQuality(), 2);
        QCOMPARE(w.quality(), preset); // the box's entry stays until Ok

        pick(c, original);
        QCOMPARE(w.presetText(), FormatWidget::presetName(preset));
        QCOMPARE(w.settingPanel()->shownQuality(), preset);
    }

    // A choice refills the menus that depend on it, and the apply step takes
    // the refilled entries; channel menus show names and apply counts.
    void choiceRefillsDependentMenus()
    {
        FormatWidget w(*m_own);
        QSettingDlg *panel = w.settingPanel();
        QCustomComboBox *encoder = combo(panel, "m_cmbVEncoder");
        QCustomComboBox *resolution = combo(panel, "m_cmbVResolution");

        w.ItemPress("General Video", "9201");
        QCOMPARE(itemsOf(encoder), (QStringList{"Auto", "Alpha Video", "Beta Video"}));
        pickText(encoder, "Beta Video");
        QCOMPARE(itemsOf(resolution), m_own->params("General Video", "9201", "BBB2", "", "", "").resolutions);
        QVERIFY(!itemsOf(resolution).contains("320*240"));
        pickText(resolution, "1920*1080");
        pickText(encoder, "Alpha Video");
        QCOMPARE(itemsOf(resolution), m_own->params("General Video", "9201", "AAA1", "", "", "").resolutions);
        pickText(encoder, "Beta Video");

        // The encoder last chosen in one format, chosen in another, still refills its menus.
        w.ItemPress("General Video", "9202");
        QCOMPARE(encoder->currentText(), QString("Alpha Video"));
        pickText(encoder, "Beta Video");
        QCOMPARE(itemsOf(resolution), (QStringList{"854*480", "2560*1440"}));
        pickText(resolution, "2560*1440");
        w.applyOutputFormat();
        QCOMPARE(OutputFormat::instance().videoCodec, QString("BBB2"));
        QCOMPARE(OutputFormat::instance().width, 2560);
        QCOMPARE(OutputFormat::instance().height, 1440);

        w.ItemPress("General Video", "9201");
        QCustomComboBox *channel = combo(panel, "m_cmbAChannel");
        QCOMPARE(itemsOf(channel), (QStringList{"Auto", "Mono", "Stereo", "5.1 Surround"}));
        for (const auto &[name, count] :
             QList<QPair<QString, int>>{{"Mono", 1}, {"5.1 Surround", 6}, {"Stereo", 2}, {"Auto", 2}}) {
            pickText(channel, name);
            w.applyOutputFormat();
            QCOMPARE(OutputFormat::instance().channels, count);
        }
    }

    void audioOnlyFormat()
    {
        FormatWidget w(ProfileCatalog::instance());
        w.restoreStoredChoice();
        QWidget *videoButton = w.settingPanel()->findChild<QWidget *>("m_btnVideo");
        QVERIFY(videoButton && !videoButton->isHidden());

        w.ItemPress("General Audio", "5001");
        QVERIFY(w.settingPanel()->isAudioOnly());
        QVERIFY(videoButton->isHidden());
        QVERIFY(!w.settingPanel()->isVideoPageShown());
        QVERIFY(combo(w.settingPanel(), "m_cmbAEncoder")->isVisibleTo(w.settingPanel()));
        QCOMPARE(combo(w.settingPanel(), "m_cmbVEncoder")->count(), 0);
        w.applyOutputFormat(); // what an audio-only choice maps to: test_profile_catalog
        QVERIFY(OutputFormat::instance().audioOnly);

        // A video format brings the page back.
        w.ItemPress("Devices", "1101");
        QVERIFY(!videoButton->isHidden());
        w.applyOutputFormat();
        QVERIFY(!OutputFormat::instance().audioOnly);
        QVERIFY(OutputFormat::instance().width > 0);
    }

    void defaultOnAutoFormatShowsAuto()
    {
        const ProfileCatalog &catalog = ProfileCatalog::instance();
        QVERIFY(catalog.params("General Video", "2001", "", "", "", "").autoValues);
        FormatWidget w(catalog);
        w.restoreStoredChoice();
        w.ItemPress("General Video", "2001");
        QSettingDlg *panel = w.settingPanel();
        pickText(combo(panel, "m_cmbVEncoder"), catalog.codecName("MP4V"));
        pick(combo(panel, "m_cmbABitRate"), 2);
        QCOMPARE(w.presetText(), QString("Customized"));

        panel->findChild<QPushButton *>("m_btnDefault")->click();
        for (const char *name : kComboNames) {
            QCustomComboBox *c = combo(panel, name);
            QVERIFY2(c->count() > 0, name);
            QCOMPARE(c->currentText(), QString("Auto"));
        }
        QCOMPARE(w.presetText(), QString("High Quality"));
        // "Auto" resolves to the format's defaults with the high bit rate.
        w.applyOutputFormat();
        const FormatParams p = catalog.params("General Video", "2001", "", "", "", "");
        QCOMPARE(OutputFormat::instance().videoCodec, p.videoEncoder);
        QCOMPARE(OutputFormat::instance().videoBitRate, leadingInt(p.videoBitRateHigh));
        QCOMPARE(OutputFormat::instance().width, 0);
    }

    void leaveStoresOnOkOnlyAndNewProcessRestores_data()
    {
        QTest::addColumn<QString>("how");     // the button that closes the chooser, or Escape
        QTest::addColumn<int>("presetEntry"); // entry of the preset box: 0 High, 1 Small
        QTest::addColumn<bool>("custom");     // change the audio bit rate before closing
        QTest::addColumn<int>("storedQuality"); // what Ok stores
        QTest::newRow("Ok, Small Size") << "m_btnOk" << 1 << false << 0;
        QTest::newRow("Ok, High Quality") << "m_btnOk" << 0 << false << 1;
        QTest::newRow("Ok, Small Size, then a custom value") << "m_btnOk" << 1 << true << 2;
        QTest::newRow("Cancel after a custom value") << "m_btnCancel" << 1 << true << 2;
        QTest::newRow("close button after High Quality") << "m_btnClose" << 0 << false << 1;
        QTest::newRow("Escape after a custom value") << "Escape" << 0 << true << 2;
    }

    void leaveStoresOnOkOnlyAndNewProcessRestores()
    {
        QFETCH(QString, how);
        QFETCH(int, presetEntry);
        QFETCH(bool, custom);
        QFETCH(int, storedQuality);
        const ProfileCatalog &catalog = ProfileCatalog::instance();
        FormatWidget w(catalog);
        showCategory(w, "HD Video");
        FormatItem *tile = w.formatGrid()->itemById("4002");
        QVERIFY(tile);
        QTest::mouseClick(tile, Qt::LeftButton);
        auto *presets = w.findChild<QComboBox *>("m_cmbQuality");
        QVERIFY(presets);
        QCOMPARE(presets->count(), 2); // nothing stored for 4002 yet
        presets->setCurrentIndex(presetEntry);
        emit presets->activated(presetEntry);
        QCOMPARE(w.presetText(), FormatWidget::presetName(presetEntry == 0 ? 1 : 0));

        QCustomComboBox *audioRate = combo(w.settingPanel(), "m_cmbABitRate");
        if (custom)
            pick(audioRate, audioRate->currentIndex() == 0 ? 1 : 0);
        const OutputChoice chosen = w.settingPanel()->currentChoice();
        QSignalSpy title(&w, &FormatWidget::sendDevFormatChange);
        if (how == "Escape")
            QTest::keyClick(&w, Qt::Key_Escape);
        else
            w.findChild<QPushButton *>(how)->click();
        QVERIFY(!w.isVisible());
        if (how != "m_btnOk") {
            QCOMPARE(title.size(), 0);
            QCOMPARE(setting("FormatSet", "Format_ID"), QString("1101"));
            QCOMPARE(setting("VIDEO_QUALITY_ITEM", "quality_value"), QString("0"));
            QVERIFY(!ParserXML::formatCustom("4002"));
            // Showing again shows the choice in effect, not the cancelled one.
            QCOMPARE(w.formatId(), QString("1101"));
            w.prepareToShow();
            QVERIFY(w.formatGrid()->currentItem());
            QCOMPARE(w.formatGrid()->currentItem()->id(), QString("1101"));
            QCOMPARE(w.settingPanel()->formatId(), QString("1101"));
            return;
        }
        QCOMPARE(title.size(), 1);
        const QString expectedTitle = catalog.baseInfo("HD Video", "4002", "title");
        QCOMPARE(title.first().first().toString(), expectedTitle);
        QCOMPARE(setting("VIDEO_QUALITY_ITEM", "quality_value"), QString::number(storedQuality));
        QCOMPARE(setting("FormatSet", "Format_cate"), QString("HD Video"));
        QCOMPARE(setting("FormatSet", "Format_ID"), QString("4002"));
        const std::optional<FormatCustomSettings> r = ParserXML::formatCustom("4002");
        QVERIFY(r && !r->onlyAudio);
        QCOMPARE((QStringList{r->videoEncoder, r->videoResolution, r->videoBitRate, r->audioEncoder, r->audioChannel,
                              r->audioBitRate}),
                 (QStringList{chosen.videoEncoder, chosen.resolution, chosen.videoBitRate, chosen.audioEncoder,
                              chosen.channel, chosen.audioBitRate}));
        QCOMPARE(presets->count(), 3); // "Customized" is offered from now on
        QCOMPARE(OutputFormat::instance().audioBitRate, leadingInt(chosen.audioBitRate));

        // A new process restores the same choice.
        QProcess probe;
        probe.start(QCoreApplication::applicationDirPath() + "/format_restore_probe", {});
        QVERIFY(probe.waitForFinished(30000));
        QCOMPARE(probe.exitCode(), 0);
        QMap<QString, QString> restored;
        for (const QString &line : QString::fromUtf8(probe.readAllStandardOutput()).split('\n'))
            if (line.contains('='))
                restored.insert(line.section('=', 0, 0), line.section('=', 1));
        QCOMPARE(restored.value("category"), QString("HD Video"));
        QCOMPARE(restored.value("formatId"), QString("4002"));
        QCOMPARE(restored.value("title"), expectedTitle);
        QCOMPARE(restored.value("quality"), QString::number(storedQuality));
        QCOMPARE(restored.value("preset"), FormatWidget::presetName(storedQuality));
        QCOMPARE(restored.value("ext"), catalog.baseInfo("HD Video", "4002", "ext"));
        if (custom) {
            QCOMPARE(restored.value("audioBitRateEntry"), chosen.audioBitRate);
            QCOMPARE(restored.value("audioBitRate").toInt(), leadingInt(chosen.audioBitRate));
        } else {
            const FormatParams p = catalog.params("HD Video", "4002", "", "", "", "");
            QCOMPARE(restored.value("videoBitRate").toInt(),
                     leadingInt(storedQuality == 0 ? p.videoBitRateLow : p.videoBitRateHigh));
        }
    }
};

VELMORA_TEST_MAIN(TestFormatChooser)
#include "test_format_chooser.moc"
