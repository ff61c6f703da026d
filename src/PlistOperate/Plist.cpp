#include "PlistOperate/Plist.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "PlistOperate/PlistDetail.h"

namespace Plist {

namespace detail {

std::vector<char> getRange(const char *bytes, std::uint64_t bytesSize, std::uint64_t start,
                           std::uint64_t size)
{
    // Written so that no sum can wrap: start + size > bytesSize, rearranged.
    if (start > bytesSize || size > bytesSize - start)
        throw std::runtime_error("Out of bounds getRange");
    return std::vector<char>(bytes + start, bytes + start + size);
}

std::vector<char> getRange(const std::vector<char> &bytes, std::uint64_t start, std::uint64_t size)
{
    return getRange(bytes.data(), bytes.size(), start, size);
}

const char *vecData(const std::vector<char> &vec)
{
    if (vec.empty())
        throw std::runtime_error("Plist::vecData trying to get pointer to empty std::vector");
    return vec.data();
}

} // namespace detail

void loadPlist(const std::string &path, dictionary_type &dict)
{
    if (path.empty())
        return;
    std::error_code ec;
    // A directory opens as a stream on Linux but has no content to read.
    if (std::filesystem::is_directory(std::filesystem::u8path(path), ec))
        throw std::runtime_error("Can't open file: " + path);
    std::ifstream stream(std::filesystem::u8path(path), std::ios::in | std::ios::binary);
    if (!stream.is_open())
        throw std::runtime_error("Can't open file: " + path);
    loadPlist(stream, dict);
}

void loadPlist(const char *path, dictionary_type &dict)
{
    loadPlist(std::string(path ? path : ""), dict);
}

void loadPlist(std::istream &stream, dictionary_type &dict)
{
    const std::istream::pos_type here = stream.tellg();
    stream.seekg(0, std::ios::end);
    const std::istream::pos_type end = stream.tellg();
    std::int64_t length = 0;
    if (here != std::istream::pos_type(-1) && end != std::istream::pos_type(-1))
        length = std::int64_t(end - here);
    if (length < 1)
        throw std::runtime_error("Can't read zero length data");

    // Read what was measured: from where the stream stood to its end.
    stream.clear();
    stream.seekg(here);
    // Zero-filled, so a stream that delivers less than it measured reads as
    // data followed by zero bytes.
    std::vector<char> buffer(static_cast<std::size_t>(length), '\0');
    stream.read(buffer.data(), length);
    loadPlist(buffer.data(), length, dict);
}

void loadPlist(const char *bytes, std::int64_t size, dictionary_type &dict)
{
    if (size < 1 || bytes == nullptr)
        throw std::runtime_error("Plist: Empty plist data");
    const std::size_t length = static_cast<std::size_t>(size);

    boost::any root;
    if (length >= 8 && std::memcmp(bytes, "bplist00", 8) == 0) {
        // A binary list is read whole: cutting it at its first zero byte, as a
        // text conversion would, leaves it without its trailer.
        root = detail::readBinary(bytes, length);
    } else {
        // Text ends at the first zero byte. Other bytes pass unchanged, so
        // ASCII and UTF-8 text reach the parser exactly as stored.
        const void *zero = std::memchr(bytes, 0, length);
        const std::size_t textLength =
            zero ? std::size_t(static_cast<const char *>(zero) - bytes) : length;
        root = detail::readXml(bytes, textLength);
    }
    dict = std::move(boost::any_cast<dictionary_type &>(root));
}

} // namespace Plist
