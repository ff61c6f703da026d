// Feeds arbitrary bytes through the stream entry point (mostly the XML reader).

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>

#include "FuzzWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::istringstream stream(std::string(reinterpret_cast<const char *>(data), size));
    Plist::dictionary_type dict;
    try {
        Plist::loadPlist(stream, dict);
    } catch (const std::runtime_error &) {
        return 0;
    } catch (const boost::bad_any_cast &) {
        return 0;
    }
    volatile std::size_t sink = fuzzWalk(dict);
    (void)sink;
    return 0;
}
