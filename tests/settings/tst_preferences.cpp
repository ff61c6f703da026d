// The preferences pages and the close-choice dialog against the settings file.

#include "ModalHelper.h"
#include "TestEnv.h"
#include "TestTools.h"

#include "settings/ParserXML.h"
#include "settings/QPreferencesDlg.h"
#include "settings/QShowCloseDlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

template <typename T>
T *child(QObject *parent, const char *name)
{
    T *c = parent->findChild<T *>(name);
    if (!c)
        qFatal("missing %s", name);
    return c;
}

QByteArray settingsText() { return TestTools::readFile(ParserXML::settingFilePath()); }

} // namespace

class TestPreferences : public QObject
{
    Q_OBJECT

private slots:
    void init() { QFile::remove(ParserXML::settingFilePath()); }

    void okWritesOnlyWhatChanged_data()
    {
        QTest::addColumn<bool>("pickAutoUpdate");
        QTest::addColumn<bool>("pickTray");
        QTest::addColumn<bool>("turnOff");
        // First start: automatic updates off, the close button exits, no turning off.
        QTest::newRow("nothing changed") << false << false << false;
        QTest::newRow("auto update on") << true << false << false;
        QTest::newRow("tray and turn off") << false << true << true;
    }

    void okWritesOnlyWhatChanged()
    {
        QFETCH(bool, pickAutoUpdate);
        QFETCH(bool, pickTray);
        QFETCH(bool, turnOff);
        const auto yesNo = [](bool b) { return QString(b ? "Y" : "N"); };

        QPreferencesDlg dlg;
        QSignalSpy update(&dlg, &QPreferencesDlg::emitAutoUpdate);
        if (pickAutoUpdate)
            child<QRadioButton>(&dlg, "m_radAutoUpdate")->setChecked(true);
        if (pickTray)
            child<QRadioButton>(&dlg, "m_radMin")->setChecked(true);
        child<QCheckBox>(&dlg, "m_chkShowDown")->setChecked(turnOff);
        const QByteArray before = settingsText();
        dlg.OnBtnOk();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(update.count(), int(pickAutoUpdate));
        if (pickAutoUpdate)
            QCOMPARE(update.first().first().toBool(), true);
        QCOMPARE(ParserXML::readSetting("UPDATES_ITEM", "bIsAutoUpdate", "?"), yesNo(pickAutoUpdate));
        QCOMPARE(ParserXML::readSetting("CLOSE_ITEM", "bIsCloseDlg", "?"), yesNo(!pickTray));
        QCOMPARE(ParserXML::readSetting("SHOWDOWN_ITEM", "bIsShowDownComputer", "?"), yesNo(turnOff));
        if (!pickAutoUpdate && !pickTray && !turnOff)
            QCOMPARE(settingsText(), before); // the choices as loaded are not rewritten
        // The close question starts on the choice made here.
        QShowCloseDlg close;
        QCOMPARE(child<QRadioButton>(&close, "m_radioMin")->isChecked(), pickTray);
        QCOMPARE(close.isExit(), !pickTray);
        QVERIFY(!close.dontAskAgain());
    }

    void cancelStoresNothing()
    {
        QPreferencesDlg dlg;
        const QByteArray before = settingsText();
        QSignalSpy update(&dlg, &QPreferencesDlg::emitAutoUpdate);
        child<QRadioButton>(&dlg, "m_radAutoUpdate")->setChecked(true);
        child<QCheckBox>(&dlg, "m_chkShowDown")->setChecked(true);
        child<QAbstractButton>(&dlg, "m_btnCancel")->click();
        QCOMPARE(update.count(), 0);
        QCOMPARE(settingsText(), before);
    }

    void pagesSwitch()
    {
        QPreferencesDlg dlg;
        dlg.show();
        auto *general = child<QWidget>(&dlg, "m_generalPage");
        auto *convert = child<QWidget>(&dlg, "m_convertPage");
        QVERIFY(general->isVisible());
        QVERIFY(!convert->isVisible());
        child<QAbstractButton>(&dlg, "m_btnConvert")->click();
        child<QAbstractButton>(&dlg, "m_btnConvert")->click(); // the highlighted one again: no change
        QVERIFY(!general->isVisible());
        QVERIFY(convert->isVisible());
        child<QAbstractButton>(&dlg, "m_btnGeneral")->click();
        QVERIFY(general->isVisible());
        QVERIFY(!convert->isVisible());
    }

    void languageComboComesFromTheTable()
    {
        QPreferencesDlg dlg;
        auto *combo = child<QComboBox>(&dlg, "m_cmbLan");
        QCOMPARE(combo->itemText(0), QString("English"));
        auto *general = child<QWidget>(&dlg, "m_generalPage");
        QSignalSpy spy(general, SIGNAL(sendLanguageName(QString)));
        QMetaObject::invokeMethod(general, "languageChange", Q_ARG(int, 0));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().first().toString(),
                 QCoreApplication::applicationDirPath() + "/Language/English.qm");
    }
};

VELMORA_TEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
