#pragma once
// Builds binary property lists byte by byte for tests and fuzz seeds, including
// deliberately broken ones: objects are raw byte strings, and every trailer
// field can be overridden.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class BinaryPlistBuilder
{
public:
    int refWidth = 1;
    int offsetWidth = 0; // 0: the smallest width that holds every offset

    // Appends one object's bytes; returns its object number.
    int add(const std::string &raw)
    {
        m_objects.push_back(raw);
        return int(m_objects.size()) - 1;
    }
    void set(int number, const std::string &raw) { m_objects[std::size_t(number)] = raw; }

    static std::string marker(unsigned kind, std::uint64_t count)
    {
        std::string s;
        if (count < 15) {
            s += char((kind << 4) | unsigned(count));
        } else {
            s += char((kind << 4) | 0x0F);
            s += char(0x13);
            s += bigEndian(count, 8);
        }
        return s;
    }
    static std::string bigEndian(std::uint64_t v, int width)
    {
        std::string s(std::size_t(width), '\0');
        for (int i = width - 1; i >= 0; --i) {
            s[std::size_t(i)] = char(v & 0xFF);
            v >>= 8;
        }
        return s;
    }
    static std::string ascii(const std::string &text) { return marker(0x5, text.size()) + text; }
    static std::string data(const std::string &bytes) { return marker(0x4, bytes.size()) + bytes; }
    static std::string integer(std::int64_t v) { return std::string(1, char(0x13)) + bigEndian(std::uint64_t(v), 8); }
    static std::string real(double d)
    {
        std::uint64_t raw;
        std::memcpy(&raw, &d, 8);
        return std::string(1, char(0x23)) + bigEndian(raw, 8);
    }
    static std::string boolean(bool b) { return std::string(1, char(b ? 0x09 : 0x08)); }
    std::string array(const std::vector<int> &refs) const
    {
        std::string s = marker(0xA, refs.size());
        for (int r : refs)
            s += bigEndian(std::uint64_t(r), refWidth);
        return s;
    }
    std::string dict(const std::vector<int> &keys, const std::vector<int> &values) const
    {
        std::string s = marker(0xD, keys.size());
        for (int r : keys)
            s += bigEndian(std::uint64_t(r), refWidth);
        for (int r : values)
            s += bigEndian(std::uint64_t(r), refWidth);
        return s;
    }

    // The whole file: header, objects, offset table, trailer.
    std::string build() const
    {
        std::string out = "bplist00";
        std::vector<std::uint64_t> offsets;
        for (const std::string &o : m_objects) {
            offsets.push_back(out.size());
            out += o;
        }
        const std::uint64_t tableStart = out.size();
        int width = offsetWidth;
        if (width == 0) {
            width = 1;
            while (width < 8 && (tableStart >> (8 * width)) != 0)
                ++width;
        }
        for (std::uint64_t off : offsets)
            out += bigEndian(off, width);
        std::string trailer(6, '\0');
        trailer += char(width);
        trailer += char(refWidth);
        trailer += bigEndian(m_objects.size(), 8);
        trailer += bigEndian(0, 8);
        trailer += bigEndian(tableStart, 8);
        return out + trailer;
    }

private:
    std::vector<std::string> m_objects;
};
