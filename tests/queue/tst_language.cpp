// Language code lookup as the track lines use it: the disc and file codes
// come as ISO 639 terminology (T) or bibliographic (B) codes, two-letter
// codes, in any case; anything else has no name.
#include "TestEnv.h"

#include "tracks/LanguageTable.h"

#include <QApplication>
#include <QtTest>

class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void lookup_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QString>("expected");

        QTest::newRow("B code ger") << QByteArray("ger") << "German";
        QTest::newRow("T code deu") << QByteArray("deu") << "German";
        QTest::newRow("two-letter de") << QByteArray("de") << "German";
        QTest::newRow("mixed case dE") << QByteArray("dE") << "German";
        // Neighbours that share a B code prefix must not be confused.
        QTest::newRow("scc") << QByteArray("scc") << "Serbian";
        QTest::newRow("scr") << QByteArray("scr") << "Croatian";
        QTest::newRow("no two-letter code: qaa") << QByteArray("qaa") << "Original audio";
        QTest::newRow("first row ab") << QByteArray("ab") << "Abkhazian";
        QTest::newRow("last row zul") << QByteArray("zul") << "Zulu";

        QTest::newRow("unknown xx") << QByteArray("xx") << QString();
        QTest::newRow("unknown xyz") << QByteArray("xyz") << QString();
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("one letter") << QByteArray("d") << QString();
        QTest::newRow("four letters") << QByteArray("deut") << QString();
        QTest::newRow("trailing blank") << QByteArray("de ") << QString();
        QTest::newRow("3-letter code cut to 2") << QByteArray("ge") << QString();
        QTest::newRow("NUL after code") << QByteArray("de\0", 3) << QString();
    }

    void lookup()
    {
        QFETCH(QByteArray, code);
        QTEST(LanguageTable::englishName(code), "expected");
    }
};

VELMORA_TEST_MAIN(TestLanguage)
#include "tst_language.moc"
