// The binary form: "bplist00", objects, an offset table and a 32-byte trailer.

#include <cstring>
#include <stdexcept>
#include <string>

#include "PlistOperate/Plist.h"
#include "PlistOperate/PlistDetail.h"

namespace Plist {
namespace detail {

namespace {

// The working record of one read.
struct BinaryPlistState
{
    std::vector<char> objectBytes;           // every byte before the offset table
    std::vector<std::uint32_t> objectOffsets; // position of each object in objectBytes
    std::uint32_t offsetWidth = 0;           // bytes per offset-table entry
    std::uint32_t refWidth = 0;              // bytes per object reference
    std::uint64_t offsetsStart = 0;          // position of the offset table in the data
};

// Big-endian unsigned number of any width; only the low 64 bits survive.
std::uint64_t readBigEndian(const char *p, std::size_t width)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < width; ++i)
        v = (v << 8) | static_cast<unsigned char>(p[i]);
    return v;
}

class BinaryReader
{
public:
    BinaryReader(const char *data, std::size_t length);
    boost::any readObject(std::uint32_t number, int depth);

private:
    struct Extent
    {
        std::uint64_t count;
        std::uint64_t start; // position of the contents in objectBytes
    };
    Extent extent(std::uint64_t offset, unsigned lowNibble) const;
    std::uint32_t reference(const std::vector<char> &refs, std::uint64_t index) const;
    void charge(std::uint64_t bytes);

    BinaryPlistState m_state;
    // Objects whose contents are being read right now: meeting one again is a cycle.
    std::vector<bool> m_open;
    // Shared objects are read once per reference, so a small file can describe
    // a huge tree; these caps keep the work proportional to the input.
    std::uint64_t m_valuesLeft;
    std::uint64_t m_bytesLeft;
};

BinaryReader::BinaryReader(const char *data, std::size_t length)
{
    if (length < 32)
        throw std::runtime_error("Out of bounds getRange");
    const std::vector<char> trailer = getRange(data, length, length - 32, 32);
    m_state.offsetWidth = static_cast<unsigned char>(trailer[6]);
    m_state.refWidth = static_cast<unsigned char>(trailer[7]);
    m_state.offsetsStart = readBigEndian(trailer.data() + 24, 8);

    m_state.objectBytes = getRange(data, length, 0, m_state.offsetsStart);
    const std::uint64_t tableEnd = length - 32;
    if (m_state.offsetsStart > tableEnd)
        throw std::runtime_error("Out of bounds getRange");
    if (m_state.offsetWidth == 0)
        throw std::runtime_error("Plist: offset table entry width is zero");

    for (std::uint64_t pos = m_state.offsetsStart; pos < tableEnd; pos += m_state.offsetWidth) {
        const std::vector<char> entry = getRange(data, tableEnd, pos, m_state.offsetWidth);
        m_state.objectOffsets.push_back(
            static_cast<std::uint32_t>(readBigEndian(entry.data(), entry.size())));
    }
    m_open.assign(m_state.objectOffsets.size(), false);
    m_valuesLeft = 16 * std::uint64_t(length) + 4096;
    m_bytesLeft = 64 * std::uint64_t(length) + (1u << 20);
}

void BinaryReader::charge(std::uint64_t bytes)
{
    if (m_valuesLeft == 0 || bytes > m_bytesLeft)
        throw std::runtime_error("Plist: object graph too large");
    --m_valuesLeft;
    m_bytesLeft -= bytes;
}

BinaryReader::Extent BinaryReader::extent(std::uint64_t offset, unsigned lowNibble) const
{
    if (lowNibble < 15)
        return {lowNibble, offset + 1};
    const std::vector<char> marker = getRange(m_state.objectBytes, offset + 1, 1);
    const unsigned char m = static_cast<unsigned char>(marker[0]);
    if ((m >> 4) != 0x1)
        throw std::runtime_error("Plist: object count is not an integer");
    const std::uint64_t width = std::uint64_t(1) << (m & 0x0F);
    const std::vector<char> count = getRange(m_state.objectBytes, offset + 2, width);
    return {static_cast<std::uint32_t>(readBigEndian(count.data(), count.size())),
            offset + 2 + width};
}

std::uint32_t BinaryReader::reference(const std::vector<char> &refs, std::uint64_t index) const
{
    return static_cast<std::uint32_t>(
        readBigEndian(refs.data() + index * m_state.refWidth, m_state.refWidth));
}

boost::any BinaryReader::readObject(std::uint32_t number, int depth)
{
    if (depth > kMaxDepth)
        throw std::runtime_error("Plist: nesting too deep");
    if (number >= m_state.objectOffsets.size())
        throw std::runtime_error("Plist: object number out of range");
    const std::uint64_t offset = m_state.objectOffsets[number];
    if (offset >= m_state.objectBytes.size())
        throw std::runtime_error("Plist: object offset out of range");
    if (m_open[number])
        throw std::runtime_error("Plist: reference cycle in object graph");

    const unsigned char marker = static_cast<unsigned char>(m_state.objectBytes[offset]);
    const unsigned kind = marker >> 4;
    const unsigned low = marker & 0x0F;
    const std::vector<char> &bytes = m_state.objectBytes;

    switch (kind) {
    case 0x0:
        charge(0);
        if (marker == 0x08)
            return false;
        if (marker == 0x09)
            return true;
        if (marker == 0x00)
            throw std::runtime_error("Plist: null byte encountered, unsure how to parse");
        if (marker == 0x0F)
            throw std::runtime_error("Plist: fill byte encountered, unsure how to parse");
        throw std::runtime_error(std::string("Plist: unknown header ") + char(marker));
    case 0x1: {
        charge(0);
        const std::vector<char> v = getRange(bytes, offset + 1, std::uint64_t(1) << low);
        // Two's complement: an 8-byte all-ones integer is -1.
        return static_cast<integer_type>(readBigEndian(v.data(), v.size()));
    }
    case 0x2: {
        charge(0);
        const std::vector<char> v = getRange(bytes, offset + 1, std::uint64_t(1) << low);
        if (v.size() == 4) {
            const std::uint32_t raw = static_cast<std::uint32_t>(readBigEndian(v.data(), 4));
            float f;
            std::memcpy(&f, &raw, 4);
            return real_type(f);
        }
        if (v.size() == 8) {
            const std::uint64_t raw = readBigEndian(v.data(), 8);
            double d;
            std::memcpy(&d, &raw, 8);
            return real_type(d);
        }
        throw std::runtime_error("Plist: real of unsupported size");
    }
    case 0x3: {
        charge(0);
        const std::vector<char> v = getRange(bytes, offset + 1, 8);
        const std::uint64_t raw = readBigEndian(v.data(), 8);
        double d;
        std::memcpy(&d, &raw, 8);
        PlistDate date;
        date.setFromAppleTime(d);
        return date;
    }
    case 0x4: {
        const Extent e = extent(offset, low);
        charge(e.count);
        return data_type(getRange(bytes, e.start, e.count));
    }
    case 0x5: {
        const Extent e = extent(offset, low);
        charge(e.count);
        const std::vector<char> v = getRange(bytes, e.start, e.count);
        return std::string(vecData(v), v.size());
    }
    case 0xA: {
        const Extent e = extent(offset, low);
        charge(0);
        const std::vector<char> refs = getRange(bytes, e.start, e.count * m_state.refWidth);
        array_type array;
        m_open[number] = true;
        for (std::uint64_t i = 0; i < e.count; ++i)
            array.push_back(readObject(reference(refs, i), depth + 1));
        m_open[number] = false;
        return array;
    }
    case 0xD: {
        const Extent e = extent(offset, low);
        charge(0);
        const std::vector<char> refs = getRange(bytes, e.start, 2 * e.count * m_state.refWidth);
        dictionary_type dict;
        m_open[number] = true;
        for (std::uint64_t i = 0; i < e.count; ++i) {
            boost::any key = readObject(reference(refs, i), depth + 1);
            const std::string *text = boost::any_cast<std::string>(&key);
            if (!text)
                throw std::runtime_error(
                    "Error parsing dictionary.  Key can't be parsed as a string");
            dict[*text] = readObject(reference(refs, e.count + i), depth + 1);
        }
        m_open[number] = false;
        return dict;
    }
    default:
        throw std::runtime_error("This type is not supported");
    }
}

} // namespace

boost::any readBinary(const char *data, std::size_t length)
{
    BinaryReader reader(data, length);
    return reader.readObject(0, 0);
}

} // namespace detail
} // namespace Plist
