#include "widgets/StyleScrollBar.h"

namespace {

QString arrowImage(const QString &path)
{
    if (path.isEmpty())
        return QStringLiteral("background: rgba(0,0,0,10%);");
    // Quoted so that folders with spaces or parentheses still resolve.
    return QStringLiteral("border-image:url(\"%1\");").arg(path);
}

} // namespace

StyleScrollBar::StyleScrollBar(QWidget *parent) : StyleScrollBar(Qt::Vertical, parent) {}

StyleScrollBar::StyleScrollBar(Qt::Orientation orientation, QWidget *parent) : QScrollBar(orientation, parent)
{
    setStyleSheet(styleSheetFor(QString(), QString(), QString(), QString()));
}

void StyleScrollBar::setArrowImages(const QString &upNormal, const QString &upHover, const QString &downNormal,
                                    const QString &downHover)
{
    setStyleSheet(styleSheetFor(upNormal, upHover, downNormal, downHover));
}

QString StyleScrollBar::styleSheetFor(const QString &upNormal, const QString &upHover, const QString &downNormal,
                                      const QString &downHover)
{
    return QStringLiteral(
               "QScrollBar:vertical { width: 8px; background: transparent; margin: 9px 0px 9px 0px; border: none; }"
               "QScrollBar::handle:vertical { background: rgba(47,47,47,100%); border-radius: 4px; min-height: 20px; }"
               "QScrollBar::handle:vertical:hover { background: rgba(31,32,32,100%); }"
               "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: rgba(0,0,0,10%); }"
               "QScrollBar::sub-line:vertical { width: 8px; height: 9px; subcontrol-position: top;"
               " subcontrol-origin: margin; %1 }"
               "QScrollBar::sub-line:vertical:hover { %2 }"
               "QScrollBar::add-line:vertical { width: 8px; height: 9px; subcontrol-position: bottom;"
               " subcontrol-origin: margin; %3 }"
               "QScrollBar::add-line:vertical:hover { %4 }"
               "QScrollBar::up-arrow:vertical, QScrollBar::down-arrow:vertical { background: none; }")
        .arg(arrowImage(upNormal), arrowImage(upHover), arrowImage(downNormal), arrowImage(downHover));
}
