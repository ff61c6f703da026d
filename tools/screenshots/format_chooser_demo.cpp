// A scripted walk through the format chooser from the main window, for
// looking at it (screenshots under Xvfb); not a test. Opens the chooser from
// the format button, shows "HD Video" with a tile and the settings panel,
// presses Ok and quits. DEMO_CATEGORY and DEMO_FORMAT choose another
// category and tile.

#include "profiles/FormatItem.h"
#include "profiles/FormatItemWidget.h"
#include "profiles/FormatCategoryButton.h"
#include "profiles/FormatWidget.h"
#include "shell/MainWindow.h"
#include "widgets/QImageButton.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    MainWindow window;
    window.move(20, 20);
    window.show();
    const int step = qEnvironmentVariableIntValue("DEMO_STEP_MS") > 0 ? qEnvironmentVariableIntValue("DEMO_STEP_MS")
                                                                       : 1500;

    QTimer::singleShot(step / 2, [&] {
        if (auto *b = window.findChild<QPushButton *>("m_btnFromt"))
            b->click(); // runs the chooser modally
    });
    const QString category = qEnvironmentVariable("DEMO_CATEGORY", QStringLiteral("HD Video"));
    const QString format = qEnvironmentVariable("DEMO_FORMAT", QStringLiteral("4016"));
    QTimer::singleShot(step * 2, [&] {
        FormatWidget *chooser = FormatWidget::instance();
        for (FormatCategoryButton *b : chooser->categoryButtons())
            if (b->category() == category)
                b->click();
        if (FormatItem *tile = chooser->formatGrid()->itemById(format)) {
            tile->BtnPress();
            tile->settingsButton()->click();
        }
    });
    QTimer::singleShot(step * 4, [] {
        if (auto *ok = FormatWidget::instance()->findChild<QPushButton *>("m_btnOk"))
            ok->click();
    });
    QTimer::singleShot(step * 6, &app, &QApplication::quit);
    return app.exec();
}
