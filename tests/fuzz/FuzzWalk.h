#pragma once
// Touches every value of a tree, so the sanitizers see any bad memory in it.

#include <cstddef>

#include "PlistOperate/Plist.h"

inline std::size_t fuzzWalk(const boost::any &value, int depth = 0)
{
    if (depth > 1000)
        __builtin_trap(); // the reader promised to refuse such nesting
    std::size_t n = 1;
    if (const auto *d = boost::any_cast<Plist::dictionary_type>(&value)) {
        for (const auto &entry : *d)
            n += entry.first.size() + fuzzWalk(entry.second, depth + 1);
    } else if (const auto *a = boost::any_cast<Plist::array_type>(&value)) {
        for (const auto &item : *a)
            n += fuzzWalk(item, depth + 1);
    } else if (const auto *s = boost::any_cast<Plist::string_type>(&value)) {
        for (char c : *s)
            n += static_cast<unsigned char>(c);
    } else if (const auto *v = boost::any_cast<Plist::data_type>(&value)) {
        for (char c : *v)
            n += static_cast<unsigned char>(c);
    } else if (const auto *t = boost::any_cast<Plist::date_type>(&value)) {
        n += std::size_t(t->timeAsEpoch());
    } else if (!boost::any_cast<Plist::integer_type>(&value) && !boost::any_cast<Plist::real_type>(&value)
               && !boost::any_cast<Plist::boolean_type>(&value)) {
        __builtin_trap(); // a held type outside the documented set
    }
    return n;
}

inline std::size_t fuzzWalk(const Plist::dictionary_type &dict)
{
    return fuzzWalk(boost::any(dict));
}
