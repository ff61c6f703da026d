// Checks the painted skin against what the program's sources ask for: every
// image path named in src/ exists in the data folder beside the executables,
// every image there loads, and the four-state button strips split into frames.

#include "TestEnv.h"

#include <QApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QtTest>

namespace {

QString envDir(const char *name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

struct Ref {
    QString path; // "/image/..." or "/pic/...", relative to the data folder
    QString file;
    int line;
};

// The image files src/ names: "/image/..." or "/pic/..." paths with an image
// extension, outside comment lines. Paths completed at run time (placeholders,
// bare folder prefixes) and Qt resources (":/image/...") name no data file.
QList<Ref> imageRefs(const QString &root)
{
    static const QRegularExpression re(
        QStringLiteral("(?<!:)(/(?:image|pic)/[A-Za-z0-9_@.%{}$/\\-]*\\."
                       "(?:png|jpe?g|bmp|gif|svg|ico|webp))(?![A-Za-z0-9_])"),
        QRegularExpression::CaseInsensitiveOption);
    QList<Ref> refs;
    QDirIterator it(root, {"*.cpp", "*.h", "*.ui", "*.qss"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
        for (int l = 0; l < lines.size(); ++l) {
            QString code = lines[l].trimmed();
            if (code.startsWith("/*") || code.startsWith("*"))
                continue;
            // A line comment ends the code, unless it stands inside a string.
            for (int i = 0, quotes = 0; i + 1 < code.size(); ++i) {
                if (code[i] == '"' && (i == 0 || code[i - 1] != '\\'))
                    ++quotes;
                else if (quotes % 2 == 0 && code[i] == '/' && code[i + 1] == '/')
                    code.truncate(i);
            }
            for (auto m = re.globalMatch(code); m.hasNext();) {
                const QString path = m.next().captured(1);
                if (!path.contains('%') && !path.contains('{') && !path.contains('$'))
                    refs.append({path, file, l + 1});
            }
        }
    }
    return refs;
}

QImage frame(const QImage &strip, int index)
{
    const int w = strip.width() / 4;
    return strip.copy(index * w, 0, w, strip.height());
}

} // namespace

class TestSkin : public QObject
{
    Q_OBJECT

private slots:
    // Every image path named in src/ exists in the data folder (case matters:
    // it lives on a case-sensitive file system), and every image there loads.
    void skinIsComplete()
    {
        const QString sourceDir = envDir("VELMORA_SOURCE_DIR");
        const QString binDir = envDir("VELMORA_BIN_DIR");
        QVERIFY2(QFileInfo(sourceDir + "/src").isDir(), "VELMORA_SOURCE_DIR does not hold src/");
        QVERIFY2(QFileInfo(binDir + "/image").isDir(), "VELMORA_BIN_DIR has no image folder (skin not painted?)");

        QStringList problems;
        for (const Ref &ref : imageRefs(sourceDir + "/src")) {
            if (!QFileInfo::exists(binDir + ref.path))
                problems << QStringLiteral("named in the sources but missing: %1 (%2:%3)")
                                .arg(ref.path, QDir(sourceDir).relativeFilePath(ref.file))
                                .arg(ref.line);
        }
        int count = 0;
        for (const QString folder : {QStringLiteral("/image"), QStringLiteral("/pic")}) {
            for (QDirIterator it(binDir + folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext(); ++count) {
                const QString path = it.next();
                if (QImage(path).isNull())
                    problems << "does not load: " + QDir(binDir).relativeFilePath(path);
            }
        }
        QVERIFY2(count > 0, "no images in the data folder");
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    // Images drawn by the four-state buttons and the image-skinned combo box.
    void fourFrameButtons_data()
    {
        QTest::addColumn<QString>("path");
        const char *const strips[] = {
            "/image/btn_min.png", "/image/btn_max.png", "/image/btn_restore.png", "/image/btn_close.png",
            "/image/btn_meun.png", "/image/btn_add_files.png", "/image/btn_dvd.png", "/image/btn_converted.png",
            "/image/btn_open.png", "/image/button_Sel.png", "/image/btn_prefer.png", "/image/Common_bg/btn_common1.png",
            "/image/Common_bg/btn_common3.png", "/image/Common_bg/bg_combobox2.png", "/image/Format_Dlg/btn_Devices.png",
            "/image/Format_Dlg/btn_video.png", "/image/Format_Dlg/btn_audio.png", "/image/Format_Dlg/btn_Default.png",
            "/image/Format_Dlg/btn_quality.png", "/image/Format_Dlg/btn_settings.png", "/image/Format_Dlg/format_item.png",
            "/image/EditDlg/Edit_btn_folder.png", "/image/EditDlg/Edit_btn_start_slider.png",
            "/image/EditDlg/Edit_btn_end_slider.png", "/image/Player_Dlg/btn_max.png", "/image/Player_Dlg/btn_restore.png",
            "/pic/btn_close.png", "/pic/btn_common.png",
        };
        for (const char *p : strips)
            QTest::newRow(p) << QString::fromLatin1(p);
    }

    void fourFrameButtons()
    {
        QFETCH(QString, path);
        const QImage img(envDir("VELMORA_BIN_DIR") + path);
        QVERIFY2(!img.isNull(), "does not load");
        QVERIFY2(img.width() % 4 == 0, qPrintable(QStringLiteral("width %1 is not a multiple of 4").arg(img.width())));
        // A user must see the states: hover and disabled each look unlike normal.
        QVERIFY2(frame(img, 1) != frame(img, 0), "hover frame equals the normal frame");
        QVERIFY2(frame(img, 3) != frame(img, 0), "disabled frame equals the normal frame");
    }
};

VELMORA_TEST_MAIN(TestSkin)
#include "test_skin.moc"
