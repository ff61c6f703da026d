#include "zentrix.h"

extern "C" {
#include <libavutil/log.h>
}

#include <atomic>
#include <mutex>
#include <string>

namespace {
std::mutex g_settingsMutex;          // guards g_dataFolder and g_option
std::string g_dataFolder;
int g_option = 0;
std::once_flag g_startOnce;
}

extern "C" int ZxStartup(int /*flags*/, int /*reserved*/)
{
    std::call_once(g_startOnce, [] { av_log_set_level(AV_LOG_ERROR); });
    return 1;
}

extern "C" int ZxSetDataFolder(const char *path_utf8)
{
    if (!path_utf8)
        return 0;
    std::lock_guard<std::mutex> lock(g_settingsMutex);
    g_dataFolder = path_utf8;
    return 1;
}

extern "C" int ZxSetOption(const int *value, int enable)
{
    if (!value)
        return 0;
    std::lock_guard<std::mutex> lock(g_settingsMutex);
    g_option = enable ? *value : 0;
    return 1;
}

extern "C" int LibraryInit(int /*flags*/)
{
    return ZxStartup(1, 1);
}
