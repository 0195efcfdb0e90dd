#pragma once
// A StringList's texts as standard strings, for comparisons in tests.

#include <string>
#include <vector>

#include "patchinfo/StringList.h"

inline std::vector<std::string> Items(const StringList& list) {
    std::vector<std::string> items;
    for (int i = 0; i < list.Count(); ++i) {
        items.push_back(list[i].c_str());
    }
    return items;
}
