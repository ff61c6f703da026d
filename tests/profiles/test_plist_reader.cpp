// The property-list reader: values of both forms, every error message, and the
// malformed inputs that must stop with an error instead of looping or reading
// outside the data.

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>
#include <unistd.h>

#include "BinaryPlistBuilder.h"
#include "PlistOperate/Plist.h"

namespace {

using Plist::dictionary_type;

// The error text the call throws, "bad_any_cast", or "" when it succeeds.
template <typename Call>
std::string caught(Call &&call)
{
    try {
        call();
    } catch (const boost::bad_any_cast &) {
        return "bad_any_cast";
    } catch (const std::runtime_error &e) {
        return e.what();
    }
    return "";
}

std::string errorOf(const std::string &bytes, dictionary_type &dict)
{
    return caught([&] { Plist::loadPlist(bytes.data(), std::int64_t(bytes.size()), dict); });
}

std::string errorOf(const std::string &bytes)
{
    dictionary_type dict;
    return errorOf(bytes, dict);
}

dictionary_type load(const std::string &bytes)
{
    dictionary_type dict;
    EXPECT_EQ(errorOf(bytes, dict), "") << "reading failed";
    return dict;
}

std::string xml(const std::string &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">"
           + body + "</plist>\n";
}

// A binary list whose root dictionary holds one key "k" with the given object.
std::string binaryWithValue(const std::string &valueObject)
{
    BinaryPlistBuilder b;
    b.add(b.dict({1}, {2}));
    b.add(BinaryPlistBuilder::ascii("k"));
    b.add(valueObject);
    return b.build();
}

// A value as typed text, so that whole tables of values compare at once.
std::string show(const boost::any &v)
{
    std::ostringstream out;
    if (const auto *s = boost::any_cast<std::string>(&v))
        out << "s:" << *s;
    else if (const auto *i = boost::any_cast<std::int64_t>(&v))
        out << "i:" << *i;
    else if (const auto *r = boost::any_cast<double>(&v))
        out << "r:" << *r;
    else if (const auto *b = boost::any_cast<bool>(&v))
        out << (*b ? "true" : "false");
    else if (const auto *d = boost::any_cast<std::vector<char>>(&v))
        out << "d:" << std::string(d->begin(), d->end());
    else if (const auto *t = boost::any_cast<PlistDate>(&v))
        out << "t:" << t->timeAsEpoch();
    else if (const auto *a = boost::any_cast<std::vector<boost::any>>(&v)) {
        out << '[';
        for (std::size_t i = 0; i < a->size(); ++i)
            out << (i ? "," : "") << show((*a)[i]);
        out << ']';
    }
    return out.str();
}

using Expected = std::vector<std::pair<std::string, std::string>>; // key, shown value

void expectValues(const dictionary_type &d, const Expected &expected)
{
    for (const auto &[key, value] : expected)
        EXPECT_EQ(show(d.at(key)), value) << key;
}

std::string tempPath(const std::string &name)
{
    return ::testing::TempDir() + "plist-" + std::to_string(::getpid()) + "-" + name;
}

struct ErrorCase
{
    const char *name;
    std::string bytes;
    std::string message;
};

} // namespace

// Every error has its message; malformed inputs stop with an error instead of
// looping (which meets the test's timeout) or reading outside the data.
TEST(PlistReader, MalformedInputStopsWithItsMessage)
{
    std::string shortTrailer = binaryWithValue(BinaryPlistBuilder::integer(1));
    shortTrailer.resize(20);

    // Offset table whose one entry lacks a byte: the table starts a byte later.
    BinaryPlistBuilder wide;
    wide.offsetWidth = 2;
    wide.add(wide.dict({}, {}));
    std::string incompleteEntry = wide.build();
    const std::size_t tableStart = incompleteEntry.size() - 32 - 2;
    incompleteEntry.replace(incompleteEntry.size() - 8, 8, BinaryPlistBuilder::bigEndian(tableStart + 1, 8));

    BinaryPlistBuilder intKey;
    intKey.add(intKey.dict({1}, {2}));
    intKey.add(BinaryPlistBuilder::integer(3));
    intKey.add(BinaryPlistBuilder::ascii("v"));

    BinaryPlistBuilder utf16Key;
    utf16Key.add(utf16Key.dict({1}, {2}));
    utf16Key.add(std::string("\x61\x00\x6B", 3));
    utf16Key.add(BinaryPlistBuilder::ascii("v"));

    BinaryPlistBuilder rootArray;
    rootArray.add(rootArray.array({1}));
    rootArray.add(BinaryPlistBuilder::boolean(true));

    std::vector<ErrorCase> cases = {
        {"empty buffer", "", "Plist: Empty plist data"},
        {"no plist element", "<dict/>", "Plist: XML unknown node type "},
        {"unknown node", xml("<dict><key>a</key><float>1</float></dict>"),
         "Plist: XML unknown node type float"},
        {"value where key expected", xml("<dict><string>a</string><string>b</string></dict>"),
         "Plist: XML dictionary key expected but not found"},
        {"last key without value", xml("<dict><key>a</key><true/><key>last</key></dict>"),
         "Plist: XML dictionary value expected for key lastbut not found"},
        {"key after key", xml("<dict><key>a</key><key>b</key></dict>"),
         "Plist: XML dictionary value expected for key abut found another key node"},
        {"mismatched tags", xml("<dict><key>a</key><string>b</dict>"),
         "Plist: XML parsed with error Start-end tags mismatch"},
        {"text is only a zero byte", std::string(1, '\0'),
         "Plist: XML parsed with error No document element found"},
        {"date before 1969-12-31T23:59:59", xml("<dict><key>d</key><date>1969-12-31T23:59:58Z</date></dict>"),
         "PlistDate::set() date invalid"},
        {"root array (xml)", xml("<array><true/></array>"), "bad_any_cast"},
        {"root array (binary)", rootArray.build(), "bad_any_cast"},
        {"binary null", binaryWithValue(std::string(1, '\x00')),
         "Plist: null byte encountered, unsure how to parse"},
        {"binary fill", binaryWithValue("\x0F"), "Plist: fill byte encountered, unsure how to parse"},
        {"binary unknown header", binaryWithValue("\x05"), "Plist: unknown header \x05"},
        {"binary utf-16 string", binaryWithValue(std::string("\x61\x00\x41", 3)),
         "This type is not supported"},
        {"binary uid", binaryWithValue(std::string("\x80\x01", 2)), "This type is not supported"},
        {"binary set", binaryWithValue(std::string("\xC0", 1)), "This type is not supported"},
        {"binary utf-16 key", utf16Key.build(), "This type is not supported"},
        {"binary integer key", intKey.build(),
         "Error parsing dictionary.  Key can't be parsed as a string"},
        {"binary empty string", binaryWithValue("\x50"),
         "Plist::vecData trying to get pointer to empty std::vector"},
        {"binary shorter than a trailer", shortTrailer, "Out of bounds getRange"},
        {"binary incomplete offset entry", incompleteEntry, "Out of bounds getRange"},
        {"binary string past the end", binaryWithValue("\x58" "abc"), "Out of bounds getRange"},
        {"binary integer past the end", binaryWithValue("\x13\x01\x02"), "Out of bounds getRange"},
        {"binary real past the end", binaryWithValue("\x23\x01"), "Out of bounds getRange"},
        {"binary date past the end", binaryWithValue("\x33\x01"), "Out of bounds getRange"},
        {"binary count integer past the end", binaryWithValue("\x5F\x13\x00"), "Out of bounds getRange"},
        {"binary references past the end", binaryWithValue("\xA9\x00"), "Out of bounds getRange"},
    };
    {
        BinaryPlistBuilder b;
        b.offsetWidth = 1;
        b.add(b.dict({}, {}));
        std::string s = b.build();
        s[s.size() - 32 + 6] = 0; // offset width 0 would never advance through the table
        cases.push_back({"zero offset width", s, "Plist: offset table entry width is zero"});
    }
    {
        BinaryPlistBuilder b;
        b.add(b.dict({1}, {2}));
        b.add(BinaryPlistBuilder::ascii("k"));
        b.add(b.array({3}));
        b.add(b.array({2})); // 2 -> 3 -> 2
        cases.push_back({"reference cycle", b.build(), "Plist: reference cycle in object graph"});
    }
    {
        BinaryPlistBuilder b;
        b.add(b.dict({1}, {0})); // the root holds itself
        b.add(BinaryPlistBuilder::ascii("k"));
        cases.push_back({"root in itself", b.build(), "Plist: reference cycle in object graph"});
    }
    {
        BinaryPlistBuilder b;
        b.add(b.dict({1}, {7}));
        b.add(BinaryPlistBuilder::ascii("k"));
        cases.push_back({"object number out of range", b.build(), "Plist: object number out of range"});
    }
    {
        BinaryPlistBuilder b;
        b.offsetWidth = 2;
        b.add(b.dict({1}, {2}));
        b.add(BinaryPlistBuilder::ascii("k"));
        b.add(BinaryPlistBuilder::boolean(true));
        std::string s = b.build();
        // The last offset entry points at the offset table itself.
        const std::size_t entry = s.size() - 32 - 2;
        s.replace(entry, 2, BinaryPlistBuilder::bigEndian(0x7FFF, 2));
        cases.push_back({"offset out of range", s, "Plist: object offset out of range"});
    }
    {
        BinaryPlistBuilder b;
        b.refWidth = 2;
        b.add(b.dict({1}, {2}));
        b.add(BinaryPlistBuilder::ascii("k"));
        for (int i = 0; i < 2000; ++i)
            b.add(b.array({i + 3}));
        b.add(BinaryPlistBuilder::boolean(false));
        cases.push_back({"deep nesting", b.build(), "Plist: nesting too deep"});
    }
    {
        // Every level references the next one twice: 2^60 leaves from a few
        // hundred bytes.
        BinaryPlistBuilder b;
        b.add(b.dict({1}, {2}));
        b.add(BinaryPlistBuilder::ascii("k"));
        for (int i = 0; i < 60; ++i)
            b.add(b.array({i + 3, i + 3}));
        b.add(BinaryPlistBuilder::ascii("leaf"));
        cases.push_back({"shared subtrees", b.build(), "Plist: object graph too large"});
    }
    {
        BinaryPlistBuilder b;
        b.refWidth = 0; // every reference reads as object 0
        b.add(b.marker(0xA, 0xFFFFFFFF));
        cases.push_back({"zero reference width", b.build(), "Plist: reference cycle in object graph"});
    }
    cases.push_back({"count not an integer", binaryWithValue("\x5F\x50"), "Plist: object count is not an integer"});
    cases.push_back({"real of 2 bytes", binaryWithValue("\x21\x01\x02"), "Plist: real of unsupported size"});
    cases.push_back({"date not a number", binaryWithValue(std::string("\x33\x7F\xF8\x00\x00\x00\x00\x00\x00", 9)),
                     "Plist: date out of range"});
    cases.push_back({"date beyond 64 bits", binaryWithValue(std::string("\x33\x7F\xE0\x00\x00\x00\x00\x00\x00", 9)),
                     "Plist: date out of range"});

    std::string deepXml;
    for (int i = 0; i < 5000; ++i)
        deepXml = "<array>" + deepXml + "</array>";
    cases.push_back({"deep xml", xml("<dict><key>a</key>" + deepXml + "</dict>"), "Plist: nesting too deep"});

    for (const ErrorCase &c : cases)
        EXPECT_EQ(errorOf(c.bytes), c.message) << c.name;
}

TEST(PlistReader, XmlValues)
{
    const dictionary_type d = load(xml(
        "<dict>\n"
        "  <!-- comments between entries are skipped -->\n"
        "  <key>s</key><string>Caf\xC3\xA9 \xE2\x80\x93 \xE2\x82\xAC</string>\n"
        "  <key>empty</key><string/>\n"
        "  <key>cdata</key><string><![CDATA[a<b]]></string>\n"
        "  <key>escaped</key><string>a &amp; b &lt;c&gt;</string>\n"
        "  <key>i1</key><integer>12abc</integer>\n"
        "  <key>i2</key><integer>abc</integer>\n"
        "  <key>i3</key><integer>  -42</integer>\n"
        "  <key>i4</key><integer>+7</integer>\n"
        "  <key>i5</key><integer>99999999999999999999</integer>\n"
        "  <key>i6</key><integer>-4294967296</integer>\n"
        "  <key>r1</key><real>2.5e3x</real>\n"
        "  <key>r2</key><real>-.5</real>\n"
        "  <key>r3</key><real>none</real>\n"
        "  <key>t</key><true/>\n"
        "  <key>f</key><false/>\n"
        "  <key>data</key><data>\n  SGVs\n  bG8s IHdv\tcmxk\n</data>\n"
        "  <key>data2</key><data>SGk=IGlnbm9yZWQ=</data>\n"
        "  <key>data3</key><data>SGk*h</data>\n"
        "  <key>date</key><date>2001-01-01T00:00:00Z</date>\n"
        "  <key>date2</key><date>1969-12-31T23:59:59Z</date>\n"
        "  <key>date3</key><date>2024-02-29T12:30:15Z</date>\n"
        "  <key>date4</key><date>junk</date>\n"
        "  <key>arr</key><array><integer>1</integer><!-- c --><string>x</string><array/></array>\n"
        "  <key>dup</key><string>first</string>\n"
        "  <key>dup</key><string>second</string>\n"
        "  <key></key><string>empty key</string>\n"
        "</dict>"));

    expectValues(d, {{"s", "s:Caf\xC3\xA9 \xE2\x80\x93 \xE2\x82\xAC"}, {"empty", "s:"}, {"cdata", "s:a<b"},
                     {"escaped", "s:a & b <c>"}, {"i1", "i:12"}, {"i2", "i:0"}, {"i3", "i:-42"}, {"i4", "i:7"},
                     {"i5", "i:9223372036854775807"}, {"i6", "i:-4294967296"}, {"r1", "r:2500"}, {"r2", "r:-0.5"},
                     {"r3", "r:0"}, {"t", "true"}, {"f", "false"}, {"data", "d:Hello, world"}, {"data2", "d:Hi"},
                     {"data3", "d:Hi!"}, {"date", "t:978307200"}, {"date2", "t:-1"}, {"date3", "t:1709209815"},
                     {"date4", "t:0"}, {"arr", "[i:1,s:x,[]]"}, {"dup", "s:second"}, {"", "s:empty key"}});

    // Text after a zero byte is not part of the list.
    const dictionary_type cut = load(xml("<dict><key>a</key><true/></dict>") + std::string(1, '\0') + "<<garbage");
    EXPECT_EQ(cut.size(), 1u);
}

TEST(PlistReader, BinaryValues)
{
    BinaryPlistBuilder b;
    b.refWidth = 2;
    b.offsetWidth = 2;
    const std::vector<std::pair<std::string, std::string>> entries = {
        {"one byte", std::string("\x10\x05", 2)},
        {"two bytes", std::string("\x11\x01\x00", 3)},
        {"all ones", std::string("\x13\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 9)},
        {"sixteen bytes", std::string("\x14", 1) + std::string(8, '\x7F') + BinaryPlistBuilder::bigEndian(9, 8)},
        {"single", std::string("\x22\x3F\xC0\x00\x00", 5)},
        {"double", BinaryPlistBuilder::real(-2.25)},
        {"date zero", std::string("\x33", 1) + std::string(8, '\0')},
        {"date before", std::string("\x33\xBF\xF8\x00\x00\x00\x00\x00\x00", 9)},
        {"empty data", std::string("\x40", 1)},
        {"data", BinaryPlistBuilder::data(std::string("a\0b", 3))},
        {"long string", BinaryPlistBuilder::ascii("twenty characters..")},
        {"true", BinaryPlistBuilder::boolean(true)},
        {"false", BinaryPlistBuilder::boolean(false)},
    };
    std::vector<int> keys, values;
    const int root = b.add(""); // filled in below, once the references are known
    for (const auto &[key, object] : entries) {
        keys.push_back(b.add(BinaryPlistBuilder::ascii(key)));
        values.push_back(b.add(object));
    }
    // A shared string, and a repeated key whose later value wins.
    const int shared = b.add(BinaryPlistBuilder::ascii("shared"));
    keys.push_back(b.add(BinaryPlistBuilder::ascii("list")));
    values.push_back(b.add(b.array({shared, shared, values[0]})));
    const int dup = b.add(BinaryPlistBuilder::ascii("dup"));
    keys.insert(keys.end(), {dup, dup});
    values.insert(values.end(), {values[11], shared});
    b.set(root, b.dict(keys, values));
    std::string bytes = b.build();
    // Object 0 is the root whatever the trailer names as top object.
    bytes.replace(bytes.size() - 16, 8, BinaryPlistBuilder::bigEndian(5, 8));

    const dictionary_type d = load(bytes);
    expectValues(d, {{"one byte", "i:5"}, {"two bytes", "i:256"}, {"all ones", "i:-1"}, {"sixteen bytes", "i:9"},
                     {"single", "r:1.5"}, {"double", "r:-2.25"}, {"date zero", "t:978307200"},
                     {"date before", "t:978307198"}, {"empty data", "d:"}, {"data", std::string("d:a\0b", 5)},
                     {"long string", "s:twenty characters.."}, {"true", "true"}, {"false", "false"},
                     {"list", "[s:shared,s:shared,i:5]"}, {"dup", "s:shared"}});

    // Through a file: a binary list holds zero bytes and is still read whole.
    const std::string path = tempPath("binary.plist");
    std::ofstream(path, std::ios::binary) << bytes;
    dictionary_type fromFile;
    Plist::loadPlist(path, fromFile);
    std::remove(path.c_str());
    EXPECT_EQ(fromFile.size(), d.size());
    EXPECT_EQ(boost::any_cast<std::int64_t>(fromFile.at("all ones")), -1);
}

TEST(PlistReader, FilesAndStreams)
{
    const std::string good = xml("<dict><key>new</key><string>v</string></dict>");
    const dictionary_type before = {{"old", std::string("kept")}};
    dictionary_type dict = before;
    Plist::loadPlist(std::string(), dict); // an empty path reads nothing
    EXPECT_EQ(dict.count("old"), 1u);

    const std::string missing = tempPath("missing.plist");
    EXPECT_EQ(caught([&] { Plist::loadPlist(missing, dict); }), "Can't open file: " + missing);
    const std::string folder = ::testing::TempDir();
    EXPECT_EQ(caught([&] { Plist::loadPlist(folder, dict); }), "Can't open file: " + folder);

    const std::string empty = tempPath("empty.plist");
    std::ofstream(empty).close();
    EXPECT_EQ(caught([&] { Plist::loadPlist(empty, dict); }), "Can't read zero length data");
    std::remove(empty.c_str());

    // A failed read leaves the caller's dictionary as it was.
    std::istringstream broken(xml("<dict><key>new</key></dict>"));
    EXPECT_NE(caught([&] { Plist::loadPlist(broken, dict); }), "");
    EXPECT_EQ(dict.size(), 1u);
    EXPECT_EQ(dict.count("old"), 1u);

    // A successful one replaces it; the stream is read from where it stands.
    std::istringstream stream("junk" + good);
    stream.seekg(4);
    Plist::loadPlist(stream, dict);
    EXPECT_EQ(dict.size(), 1u);
    EXPECT_EQ(boost::any_cast<std::string>(dict.at("new")), "v");

    std::istringstream atEnd(good);
    atEnd.seekg(0, std::ios::end);
    EXPECT_EQ(caught([&] { Plist::loadPlist(atEnd, dict); }), "Can't read zero length data");

    const std::string file = tempPath("good.plist");
    std::ofstream(file, std::ios::binary) << good;
    dict = before;
    Plist::loadPlist(file.c_str(), dict);
    std::remove(file.c_str());
    EXPECT_EQ(dict.count("new"), 1u);
    EXPECT_EQ(dict.count("old"), 0u);
}
