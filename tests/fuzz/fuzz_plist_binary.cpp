// Feeds arbitrary bytes to the binary reader: the header is added when missing.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <memory>

#include "FuzzWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const bool hasHeader = size >= 8 && std::memcmp(data, "bplist00", 8) == 0;
    const std::size_t length = size + (hasHeader ? 0 : 8);
    // An exact-size heap copy, so ASan notices a read one byte past the end.
    std::unique_ptr<char[]> bytes(new char[length]);
    if (!hasHeader)
        std::memcpy(bytes.get(), "bplist00", 8);
    if (size)
        std::memcpy(bytes.get() + (length - size), data, size);
    Plist::dictionary_type dict;
    try {
        Plist::loadPlist(bytes.get(), std::int64_t(length), dict);
    } catch (const std::runtime_error &) {
        return 0;
    } catch (const boost::bad_any_cast &) {
        return 0;
    }
    volatile std::size_t sink = fuzzWalk(dict);
    (void)sink;
    return 0;
}
