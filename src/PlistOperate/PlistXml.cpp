// The XML form: a "plist" element around one value.

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

#include <locale.h>
#include <stdlib.h>

#include <pugixml.hpp>

#include "PlistOperate/Plist.h"
#include "PlistOperate/PlistDetail.h"

namespace Plist {
namespace detail {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Leading blanks, an optional sign, digits up to the first other character;
// no digits give 0. Values beyond 64 bits saturate instead of wrapping.
std::int64_t parseInteger(const char *s)
{
    while (isBlank(*s))
        ++s;
    bool negative = false;
    if (*s == '+' || *s == '-')
        negative = *s++ == '-';
    std::uint64_t magnitude = 0;
    const std::uint64_t limit = negative ? std::uint64_t(1) << 63
                                         : std::uint64_t(std::numeric_limits<std::int64_t>::max());
    for (; *s >= '0' && *s <= '9'; ++s) {
        const unsigned digit = unsigned(*s - '0');
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (negative)
        return magnitude == (std::uint64_t(1) << 63) ? std::numeric_limits<std::int64_t>::min()
                                                     : -std::int64_t(magnitude);
    return std::int64_t(magnitude);
}

// The longest number at the start (after blanks), as the C library reads it;
// none gives 0. The "C" locale keeps "." the decimal point whatever the
// process locale, which a GUI program takes from the environment.
double parseReal(const char *s)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return strtod_l(s, nullptr, cLocale);
}

const char *firstChildText(const pugi::xml_node &node)
{
    return node.first_child().value();
}

boost::any readNode(const pugi::xml_node &node, int depth);

boost::any readDict(const pugi::xml_node &node, int depth)
{
    dictionary_type dict;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (std::strcmp(child.name(), "key") != 0)
            throw std::runtime_error("Plist: XML dictionary key expected but not found");
        const std::string key = firstChildText(child);
        child = child.next_sibling();
        if (!child)
            throw std::runtime_error("Plist: XML dictionary value expected for key " + key
                                     + "but not found");
        if (std::strcmp(child.name(), "key") == 0)
            throw std::runtime_error("Plist: XML dictionary value expected for key " + key
                                     + "but found another key node");
        dict[key] = readNode(child, depth + 1);
    }
    return dict;
}

boost::any readNode(const pugi::xml_node &node, int depth)
{
    if (depth > kMaxDepth)
        throw std::runtime_error("Plist: nesting too deep");
    const char *name = node.name();
    if (std::strcmp(name, "dict") == 0)
        return readDict(node, depth);
    if (std::strcmp(name, "array") == 0) {
        array_type array;
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
            array.push_back(readNode(child, depth + 1));
        return array;
    }
    if (std::strcmp(name, "string") == 0)
        return std::string(firstChildText(node));
    if (std::strcmp(name, "integer") == 0)
        return integer_type(parseInteger(firstChildText(node)));
    if (std::strcmp(name, "real") == 0)
        return real_type(parseReal(firstChildText(node)));
    if (std::strcmp(name, "true") == 0)
        return true;
    if (std::strcmp(name, "false") == 0)
        return false;
    if (std::strcmp(name, "data") == 0) {
        const char *text = firstChildText(node);
        return decodeBase64(text, std::strlen(text));
    }
    if (std::strcmp(name, "date") == 0) {
        PlistDate date;
        date.set(firstChildText(node));
        return date;
    }
    throw std::runtime_error(std::string("Plist: XML unknown node type ") + name);
}

} // namespace

std::vector<char> decodeBase64(const char *text, std::size_t length)
{
    std::vector<char> out;
    out.reserve(length / 4 * 3 + 3);
    std::uint32_t bits = 0;
    int count = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = text[i];
        int v;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+')
            v = 62;
        else if (c == '/')
            v = 63;
        else if (c == '=')
            break;
        else
            continue;
        bits = (bits << 6) | std::uint32_t(v);
        if (++count == 4) {
            out.push_back(char((bits >> 16) & 0xFF));
            out.push_back(char((bits >> 8) & 0xFF));
            out.push_back(char(bits & 0xFF));
            bits = 0;
            count = 0;
        }
    }
    // A short last group carries one or two whole bytes; a lone sixth of a byte
    // carries none.
    if (count == 2) {
        out.push_back(char((bits >> 4) & 0xFF));
    } else if (count == 3) {
        out.push_back(char((bits >> 10) & 0xFF));
        out.push_back(char((bits >> 2) & 0xFF));
    }
    return out;
}

boost::any readXml(const char *text, std::size_t length)
{
    pugi::xml_document doc;
    const pugi::xml_parse_result result =
        doc.load_buffer(text, length, pugi::parse_default, pugi::encoding_auto);
    if (!result)
        throw std::runtime_error(std::string("Plist: XML parsed with error ")
                                 + result.description());
    return readNode(doc.child("plist").first_child(), 0);
}

} // namespace detail
} // namespace Plist
