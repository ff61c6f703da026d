#pragma once
// Shows files and folders in the desktop's file manager: the
// org.freedesktop.FileManager1 interface over D-Bus, asked without blocking
// the GUI thread; without a file manager on the bus the folder is handed to
// the desktop's default handler. No shell is involved, so any name is safe.

#include <QString>

namespace FileManager {

// The file's folder with the file selected.
void showItem(const QString &filePath);
// The folder itself.
void showFolder(const QString &folder);

} // namespace FileManager
