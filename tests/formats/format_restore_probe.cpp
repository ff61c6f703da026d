// Restores the stored format choice as the program does at start-up and
// prints the result, one "key=value" per line, for test_format_chooser.

#include "profiles/FormatWidget.h"
#include "profiles/OutputFormat.h"
#include "profiles/QSettingDlg.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    FormatWidget *chooser = FormatWidget::instance();
    QString announced;
    QObject::connect(chooser, &FormatWidget::sendDevFormatChange, [&](const QString &t) { announced = t; });
    chooser->restoreStoredChoice();

    const OutputFormat &f = OutputFormat::instance();
    const OutputChoice c = chooser->settingPanel()->currentChoice();
    QTextStream out(stdout);
    out << "category=" << chooser->category() << '\n'
        << "formatId=" << chooser->formatId() << '\n'
        << "quality=" << chooser->quality() << '\n'
        << "preset=" << chooser->presetText() << '\n'
        << "title=" << announced << '\n'
        << "audioBitRateEntry=" << c.audioBitRate << '\n'
        << "ext=" << f.ext << '\n'
        << "videoBitRate=" << f.videoBitRate << '\n'
        << "audioBitRate=" << f.audioBitRate << '\n';
    return 0;
}
