// The ISO 639 language table: code lookup, and the shape of the table that
// the lookup and the track lines rely on.
#include "TestEnv.h"

#include "queue/LanguageTable.h"

#include <QApplication>
#include <QSet>
#include <QtTest>

namespace {

QString name(const LanguageTable::Record &r) { return QString::fromUtf16(r.englishName); }

bool isLowerAscii(const char *code, int length)
{
    for (int i = 0; i < length; ++i) {
        if (code[i] < 'a' || code[i] > 'z')
            return false;
    }
    return code[length] == '\0';
}

int indexOf(const QString &englishName)
{
    for (int i = 0; i < LanguageTable::count(); ++i) {
        if (name(LanguageTable::records()[i]) == englishName)
            return i;
    }
    return -1;
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void lookup_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QString>("expected");

        QTest::newRow("ger") << QByteArray("ger") << "German";
        QTest::newRow("deu") << QByteArray("deu") << "German";
        QTest::newRow("DEU") << QByteArray("DEU") << "German";
        QTest::newRow("de") << QByteArray("de") << "German";
        QTest::newRow("mixed case dE") << QByteArray("dE") << "German";
        QTest::newRow("fre") << QByteArray("fre") << "French";
        QTest::newRow("fra") << QByteArray("fra") << "French";
        QTest::newRow("fr") << QByteArray("fr") << "French";
        QTest::newRow("qaa") << QByteArray("qaa") << "Original audio";
        QTest::newRow("QAA") << QByteArray("QAA") << "Original audio";
        QTest::newRow("osd") << QByteArray("osd") << "On Screen Display";
        QTest::newRow("od") << QByteArray("od") << "On Screen Display";
        QTest::newRow("mol") << QByteArray("mol") << "Moldavian";
        QTest::newRow("mo") << QByteArray("mo") << "Moldavian";
        QTest::newRow("scc") << QByteArray("scc") << "Serbian";
        QTest::newRow("srp") << QByteArray("srp") << "Serbian";
        QTest::newRow("scr") << QByteArray("scr") << "Croatian";
        QTest::newRow("hr") << QByteArray("hr") << "Croatian";
        QTest::newRow("chi") << QByteArray("chi") << "Chinese";
        QTest::newRow("zh") << QByteArray("zh") << "Chinese";
        QTest::newRow("gl") << QByteArray("gl") << "Gallegan";
        QTest::newRow("ltz") << QByteArray("ltz") << "Letzeburgesch";
        QTest::newRow("ell") << QByteArray("ell") << "Greek, Modern ()";
        QTest::newRow("nob") << QByteArray("nob") << "Norwegian Bokmaal";
        QTest::newRow("no") << QByteArray("no") << "Norwegian";
        QTest::newRow("last row zul") << QByteArray("zul") << "Zulu";
        QTest::newRow("first row ab") << QByteArray("ab") << "Abkhazian";

        QTest::newRow("unknown xx") << QByteArray("xx") << QString();
        QTest::newRow("unknown xyz") << QByteArray("xyz") << QString();
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("one letter") << QByteArray("d") << QString();
        QTest::newRow("four letters") << QByteArray("deut") << QString();
        QTest::newRow("Ger") << QByteArray("Ger") << "German";
        QTest::newRow("trailing blank") << QByteArray("de ") << QString();
        QTest::newRow("2-letter code with 3 letters") << QByteArray("dex") << QString();
        QTest::newRow("3-letter code cut to 2") << QByteArray("ge") << QString();
        QTest::newRow("two NULs") << QByteArray(2, '\0') << QString();
        QTest::newRow("NUL after code") << QByteArray("de\0", 3) << QString();
    }

    void lookup()
    {
        QFETCH(QByteArray, code);
        QFETCH(QString, expected);
        QCOMPARE(LanguageTable::englishName(code), expected);
    }

    void tableShape()
    {
        const LanguageTable::Record *recs = LanguageTable::records();
        const int n = LanguageTable::count();
        QCOMPARE(n, 166);
        QVERIFY(recs[n].englishName && recs[n].englishName[0] == u'\0');

        QSet<QByteArray> codes;
        int natives = 0;
        for (int i = 0; i < n; ++i) {
            const LanguageTable::Record &r = recs[i];
            const QString en = name(r);
            QVERIFY2(!en.isEmpty(), qPrintable(QString("row %1 ends the table early").arg(i)));
            QVERIFY2(r.nativeName, qPrintable(en));
            if (r.nativeName[0] != u'\0')
                ++natives;

            const bool noCode1 = en == "Original audio";
            QVERIFY2(noCode1 ? r.code1[0] == '\0' : isLowerAscii(r.code1, 2), qPrintable(en));
            QVERIFY2(isLowerAscii(r.codeT, 3), qPrintable(en));
            QVERIFY2(isLowerAscii(r.codeB, 3), qPrintable(en));

            // One code space per length: a 3-letter code may be both the T and
            // the B code of one record, but never the code of two records.
            QByteArrayList own = {r.codeT};
            if (qstrcmp(r.codeT, r.codeB) != 0)
                own << r.codeB;
            if (!noCode1)
                own << r.code1;
            for (const QByteArray &c : own) {
                QVERIFY2(!codes.contains(c), qPrintable(en + " repeats code " + c));
                codes.insert(c);
                QCOMPARE(LanguageTable::englishName(c.toUpper()), en);
            }
        }
        QCOMPARE(natives, 39);
        QCOMPARE(QString::fromUtf16(recs[indexOf("German")].nativeName), QString("Deutsch"));
        QCOMPARE(QString::fromUtf16(recs[indexOf("On Screen Display")].nativeName),
                 QString("On Screen Display"));

        QVERIFY(indexOf("Serbian") >= 0 && indexOf("Gaelic (Scots)") >= 0 && indexOf("Gallegan") >= 0);
        QCOMPARE(indexOf("Croatian"), indexOf("Serbian") + 1);
        QCOMPARE(indexOf("Irish"), indexOf("Gaelic (Scots)") + 1);
        QCOMPARE(indexOf("Manx"), indexOf("Gallegan") + 1);

        // Apart from those three, the rows are in the order of their names.
        QString previous;
        for (int i = 0; i < n; ++i) {
            const QString en = name(recs[i]);
            if (en == "Croatian" || en == "Irish" || en == "Manx")
                continue;
            QVERIFY2(previous.compare(en, Qt::CaseInsensitive) < 0,
                     qPrintable(previous + " before " + en));
            previous = en;
        }
    }
};

VELMORA_TEST_MAIN(TestLanguage)
#include "tst_language.moc"
