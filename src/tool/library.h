#pragma once
// The content folder Tappy would use and its topics, loaded by the toy's own loading code, so
// that the tool pairs sounds and reads Tappy.map exactly as the toy does.
#include "content/lists.h"
#include "content/topic.h"

#include <string>

struct ToolLibrary {
    std::string dir;  // ends in '/'
    bool own = false; // the parent's folder rather than the one beside the program
    CTopicList topics;

    ToolLibrary();
    const CTopic* Find(const std::string& picture) const;
};
