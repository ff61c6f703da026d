// Writes a few small binary property lists into the folder given as argument,
// as the starting corpus of fuzz_plist_binary.

#include <cstdio>
#include <fstream>
#include <string>

#include "BinaryPlistBuilder.h"

namespace {

using B = BinaryPlistBuilder;

void write(const std::string &folder, const std::string &name, const std::string &bytes)
{
    std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
}

// One of every kind under a root dictionary.
std::string everyKind(int refWidth, int offsetWidth)
{
    B b;
    b.refWidth = refWidth;
    b.offsetWidth = offsetWidth;
    const int root = b.add("");
    const std::string keys[] = {"int1", "int8", "real", "single", "date", "data", "long", "t", "f", "list"};
    const std::string values[] = {
        std::string("\x10\x05", 2),
        B::integer(-1),
        B::real(29.97),
        std::string("\x22\x3F\xC0\x00\x00", 5),
        std::string("\x33", 1) + std::string(8, '\0'),
        B::data(std::string("\x00\x01\x02", 3)),
        B::ascii("a string longer than fifteen bytes"),
        B::boolean(true),
        B::boolean(false),
        "",
    };
    std::vector<int> k, v;
    for (int i = 0; i < 10; ++i) {
        k.push_back(b.add(B::ascii(keys[i])));
        v.push_back(b.add(values[i]));
    }
    b.set(v[9], b.array({v[0], v[6], v[6], b.add(b.array({}))}));
    b.set(root, b.dict(k, v));
    return b.build();
}

// The shape of a catalogue entry: nested dictionaries of strings.
std::string catalogueLike()
{
    B b;
    const int root = b.add("");
    const int cats = b.add("");
    const int devices = b.add(B::ascii("Devices"));
    b.set(cats, b.array({devices}));
    const int fmt = b.add("");
    const int base = b.add("");
    const int kTitle = b.add(B::ascii("title")), vTitle = b.add(B::ascii("Phone MP4"));
    const int kId = b.add(B::ascii("id")), vId = b.add(B::ascii("1101"));
    const int kExt = b.add(B::ascii("ext")), vExt = b.add(B::ascii("mp4"));
    b.set(base, b.dict({kTitle, kId, kExt}, {vTitle, vId, vExt}));
    const int kBase = b.add(B::ascii("baseinfo"));
    b.set(fmt, b.dict({kBase}, {base}));
    const int list = b.add(b.array({fmt}));
    const int kCats = b.add(B::ascii("Categories"));
    b.set(root, b.dict({kCats, devices}, {cats, list}));
    return b.build();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    write(folder, "every-kind-1-1.bplist", everyKind(1, 1));
    write(folder, "every-kind-2-2.bplist", everyKind(2, 2));
    write(folder, "every-kind-1-4.bplist", everyKind(1, 4));
    write(folder, "catalogue.bplist", catalogueLike());
    B empty;
    empty.add(empty.dict({}, {}));
    write(folder, "empty-dict.bplist", empty.build());
    return 0;
}
