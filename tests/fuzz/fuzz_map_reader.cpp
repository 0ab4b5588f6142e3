// A whole map file through the text-mode stream: the record loop as the loading runs it, then the
// lists again one by one, checking what every list read must satisfy.
#include "content/lists.h"
#include "content/map_reader.h"
#include "content/topic.h"

#include <cstdint>
#include <cstring>
#include <set>
#include <sstream>
#include <string>

#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // Sound names are looked up in a folder that does not exist, so no input touches real files.
    SetMediaDirs("/nonexistent-tappy-fuzz/");
    {
        std::stringbuf source(bytes);
        TextModeStreamBuf text(&source);
        std::istream map(&text);
        CTopicList topics;
        ApplyMapRecords(topics, map);
    }

    std::stringbuf source(bytes);
    TextModeStreamBuf text(&source);
    std::istream map(&text);
    CTextList list;
    CTextList all; // gathers and drops items, so the duplicate index meets removals too
    // A list read whole consumes at least its two braces, so more reads than bytes would mean a
    // loop without end. A failed read (the end, or a stray byte) ends the loading too.
    for (std::size_t reads = 0; reads <= size; ++reads) {
        const bool read = list.Read(map);
        std::set<std::string> seen;
        for (int i = 0; i < list.GetCount(); ++i) {
            const CString item = list.GetAt(i);
            Check(item.GetLength() < kMapItemBufferSize && seen.insert(item.str()).second);
            Check(std::strlen(item) == static_cast<std::size_t>(item.GetLength()));
        }
        all.AppendUnique(list);
        all.RemoveAt(static_cast<int>(reads % 7));
        if (!read)
            return 0;
    }
    Check(false);
    return 0;
}
