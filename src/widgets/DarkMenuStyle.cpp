#include "widgets/DarkMenuStyle.h"
#include "widgets/Theme.h"

namespace DarkMenuStyle {

QString styleSheet(int itemWidth)
{
    const QString width = itemWidth > 0 ? QStringLiteral(" width: %1px;").arg(itemWidth) : QString();
    return Theme::sheet(QStringLiteral("QMenu { background-color: @panel; border: 1px solid rgb(45,45,45); }"
                                       "QMenu::item { background-color: @panel; color: white;"
                                       " padding: 5px 20px 5px 20px;%1 }"
                                       "QMenu::item:selected { background-color: @selection; color: white; }"
                                       "QMenu::item:disabled { color: rgb(128,128,128); }"
                                       "QMenu::separator { height: 1px; background: rgb(80,80,80); margin: 2px 5px; }"))
        .arg(width);
}

} // namespace DarkMenuStyle
