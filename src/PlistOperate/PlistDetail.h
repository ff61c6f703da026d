#pragma once
// Internals shared by the two readers of the property-list module.

#include <cstddef>
#include <cstdint>
#include <vector>

#include <boost/any.hpp>

namespace Plist {
namespace detail {

// Deeper nesting than this is refused; no catalogue comes near it, and it keeps
// the recursive readers far from the end of the stack.
constexpr int kMaxDepth = 256;

// A copy of size bytes from start. The range must lie wholly inside the
// source, else "Out of bounds getRange".
std::vector<char> getRange(const std::vector<char> &bytes, std::uint64_t start,
                           std::uint64_t size);
std::vector<char> getRange(const char *bytes, std::uint64_t bytesSize, std::uint64_t start,
                           std::uint64_t size);

// The first element of a non-empty vector, else
// "Plist::vecData trying to get pointer to empty std::vector".
const char *vecData(const std::vector<char> &vec);

// The root value of an XML property list of length bytes.
boost::any readXml(const char *text, std::size_t length);

// The root value (object 0) of a binary property list of length bytes.
boost::any readBinary(const char *data, std::size_t length);

// Decodes Base64, skipping characters outside the alphabet; "=" ends the data.
std::vector<char> decodeBase64(const char *text, std::size_t length);

} // namespace detail
} // namespace Plist
