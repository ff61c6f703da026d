#pragma once
// The one dark style sheet every pop-up menu of the program uses: items on
// rgb(62,63,63), the selected item on rgb(37,118,150), white text.

#include <QString>

namespace DarkMenuStyle {

// `itemWidth` in px fixes the width of the items; 0 leaves it to the menu.
QString styleSheet(int itemWidth = 0);

} // namespace DarkMenuStyle
