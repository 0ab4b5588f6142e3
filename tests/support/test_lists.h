#pragma once
// A text list's items as plain strings, so a whole list is compared and printed at once.
#include "content/lists.h"

#include <string>
#include <vector>

using Strings = std::vector<std::string>;

inline Strings Items(const CTextList& list)
{
    Strings items;
    for (int i = 0; i < list.GetCount(); ++i)
        items.push_back(list.GetAt(i).str());
    return items;
}
