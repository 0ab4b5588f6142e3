#include "tool/library.h"

#include "content/content_dir.h"
#include "platform/files.h"

ToolLibrary::ToolLibrary()
{
    const CString programDir = GetProgramDirectory();
    const CString chosen = FindContentDir(programDir);
    dir = chosen.str();
    own = !(chosen == programDir);
    LoadTopicLibrary(topics, chosen);
}

const CTopic* ToolLibrary::Find(const std::string& picture) const
{
    for (int i = 0; i < topics.GetCount(); ++i)
        if (topics.GetAt(i)->GetName().str() == picture)
            return topics.GetAt(i);
    return nullptr;
}
