#pragma once
// Style sheets shared by the preferences pages and the close-choice dialog:
// skinned radio and check indicators, grey-bordered group boxes.

#include <QString>

namespace PageStyle {

QString radioButtons();
QString checkBoxes();
QString groupBoxes();

} // namespace PageStyle
