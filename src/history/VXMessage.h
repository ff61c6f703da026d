#pragma once
// The program's modal message box (QVXMessageDlg) as one call:
//
//   if (VXMessageBox(tr("Delete the file?"), QString(), VXMsg::KindWarningQuestion) == VXMsg::Yes)
//       ...
//
// The box runs modally with no parent, centred on the screen, and returns the
// button that closed it. An empty title keeps "Video Converter".

#include <QString>

namespace VXMsg {

// Kinds (the `kind` argument). Bit 0x02 asks for an icon; the icon bits are
// tested warning, success, error in that order, the last match winning, so
// KindError (0x32) shows the error icon.
enum Kind : unsigned {
    KindPlain = 0x00,          // no icon, "Ok" only
    KindIcon = 0x02,
    KindWarning = 0x12,        // "/pic/warning.png"
    KindSuccess = 0x22,        // "/pic/Success.png"
    KindError = 0x32,          // "/pic/error.png"
    KindQuestion = 0x400,      // "Yes" and "No"
    KindRestart = 0x200,       // "Restart" and "Restart Later"
    KindWarningQuestion = KindWarning | KindQuestion, // 0x412
    KindButtonsMask = 0x700,   // none of these bits: "Ok" alone
};

// Results.
enum Result : int {
    Ok = 0x400,          // "Ok" of a box without KindQuestion
    Yes = 0x4000,        // "Yes" of a KindQuestion box
    No = 0x10000,        // "No", the close button or Escape of a KindQuestion box
    Cancel = 0x400000,   // "Cancel", "Restart Later", the close button or Escape otherwise
};

} // namespace VXMsg

// Runs the box and returns one of VXMsg::Result.
int VXMessageBox(const QString &text, const QString &title = QString(), unsigned kind = 0);

// The same with UTF-8 texts; a null title keeps the default.
int VXMessageBox(const char *text, const char *title, unsigned kind);
