#pragma once
// The one dark style sheet every pop-up menu of the program uses: items on
// the skin's panel grey, the selected item on its selection blue, white text.

#include <QString>

namespace DarkMenuStyle {

// `itemWidth` in px fixes the width of the items; 0 leaves it to the menu.
QString styleSheet(int itemWidth = 0);

} // namespace DarkMenuStyle
