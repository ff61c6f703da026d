#pragma once
// Process-wide state shared by the main window, the queue and the converter.
// Written and read on the GUI thread only.

#include <QString>

namespace AppGlobals {

// A conversion run is in progress (set by the main window).
bool isConverting();
void setConverting(bool on);

// The "Merge all into one file" box is ticked (set by the main window).
bool isMerge();
void setMerge(bool on);

// The folder the converter writes into (set by the main window).
QString outputFolder();
void setOutputFolder(const QString &folder);

// Last folder of the open dialogs; starts as ".".
QString lastOpenFolder();
void setLastOpenFolder(const QString &folder);

} // namespace AppGlobals
