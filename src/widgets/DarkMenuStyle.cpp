#include "widgets/DarkMenuStyle.h"

namespace DarkMenuStyle {

QString styleSheet(int itemWidth)
{
    const QString width = itemWidth > 0 ? QStringLiteral(" width: %1px;").arg(itemWidth) : QString();
    return QStringLiteral("QMenu { background-color: rgb(62,63,63); border: 1px solid rgb(45,45,45); }"
                          "QMenu::item { background-color: rgb(62,63,63); color: white;"
                          " padding: 5px 20px 5px 20px;%1 }"
                          "QMenu::item:selected { background-color: rgb(37,118,150); color: white; }"
                          "QMenu::item:disabled { color: rgb(128,128,128); }"
                          "QMenu::separator { height: 1px; background: rgb(80,80,80); margin: 2px 5px; }")
        .arg(width);
}

} // namespace DarkMenuStyle
