#include "base/AppGlobals.h"

namespace {
bool g_converting = false;
bool g_merge = false;
QString g_outputFolder;
QString g_lastOpenFolder = QStringLiteral(".");
}

namespace AppGlobals {
bool isConverting() { return g_converting; }
void setConverting(bool on) { g_converting = on; }
bool isMerge() { return g_merge; }
void setMerge(bool on) { g_merge = on; }
QString outputFolder() { return g_outputFolder; }
void setOutputFolder(const QString &folder) { g_outputFolder = folder; }
QString lastOpenFolder() { return g_lastOpenFolder; }
void setLastOpenFolder(const QString &folder) { g_lastOpenFolder = folder; }
}
