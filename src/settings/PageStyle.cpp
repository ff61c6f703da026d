#include "settings/PageStyle.h"

#include "base/AppPaths.h"
#include "widgets/Theme.h"

namespace PageStyle {

QString radioButtons()
{
    return QString("QRadioButton { color: white; }"
                   "QRadioButton::indicator { width: 18px; height: 18px; }"
                   "QRadioButton::indicator:unchecked { image: url(\"%1\"); }"
                   "QRadioButton::indicator:checked { image: url(\"%2\"); }")
        .arg(AppPaths::dataPath("/image/EditDlg/Edit_selections_no.png"),
             AppPaths::dataPath("/image/EditDlg/Edit_selections_yes.png"));
}

QString checkBoxes()
{
    return QString("QCheckBox { color: white; }"
                   "QCheckBox::indicator { width: 18px; height: 18px; }"
                   "QCheckBox::indicator:unchecked { image: url(\"%1\"); }"
                   "QCheckBox::indicator:checked { image: url(\"%2\"); }")
        .arg(AppPaths::dataPath("/image/Common_bg/btn_check_off.png"),
             AppPaths::dataPath("/image/Common_bg/btn_check_on.png"));
}

QString groupBoxes()
{
    return Theme::sheet(QStringLiteral(
        "QGroupBox { color: white; border: 1px solid @disabled; border-radius: 5px;"
        " margin-top: 8px; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; }"));
}

} // namespace PageStyle
