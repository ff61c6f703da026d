#pragma once
// Reader for property lists in the XML form and the binary "bplist00" form.
//
// A value is a boost::any holding exactly one of the types below; read it back
// with boost::any_cast of that exact type. Every failure is a std::runtime_error
// with a fixed message (or boost::bad_any_cast when the root is not a
// dictionary); the caller's dictionary is replaced only after the whole tree
// was read.

#include <cstdint>
#include <istream>
#include <map>
#include <string>
#include <vector>

#include <boost/any.hpp>

#include "PlistOperate/PlistDate.h"

namespace Plist {

using dictionary_type = std::map<std::string, boost::any>; // dict (byte-wise key order)
using array_type = std::vector<boost::any>;                // array
using string_type = std::string;                           // string (bytes as stored, UTF-8 here)
using integer_type = std::int64_t;                         // integer
using real_type = double;                                  // real
using boolean_type = bool;                                 // true / false
using date_type = PlistDate;                               // date
using data_type = std::vector<char>;                       // data

// Reads the file at path (UTF-8). An empty path reads nothing and leaves dict
// as it was. Throws "Can't open file: " + path when the file cannot be opened.
void loadPlist(const std::string &path, dictionary_type &dict);
void loadPlist(const char *path, dictionary_type &dict);

// Reads the stream from its current position to its end; nothing left to read
// throws "Can't read zero length data".
void loadPlist(std::istream &stream, dictionary_type &dict);

// Reads size bytes at bytes. A size below 1 throws "Plist: Empty plist data".
void loadPlist(const char *bytes, std::int64_t size, dictionary_type &dict);

} // namespace Plist
