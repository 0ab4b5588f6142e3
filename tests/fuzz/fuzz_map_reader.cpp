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

namespace {
void Check(bool ok)
{
    if (!ok)
        __builtin_trap();
}
} // namespace

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
    CTextList all;
    // Every list read whole consumes at least its two braces; more reads than bytes would mean a
    // loop that never ends.
    for (std::size_t reads = 0; reads <= size + 1; ++reads) {
        const bool read = list.Read(map);
        std::set<std::string> seen;
        for (int i = 0; i < list.GetCount(); ++i) {
            const CString item = list.GetAt(i);
            Check(item.GetLength() < kMapItemBufferSize);
            Check(std::strlen(item) == static_cast<std::size_t>(item.GetLength()));
            Check(seen.insert(item.str()).second);
        }
        all.AppendUnique(list);
        if (all.GetCount() > 0)
            all.RemoveAt(static_cast<int>(size % static_cast<std::size_t>(all.GetCount())));
        // The end of the input, or a stray byte where a list should begin: the loading stops.
        if (!read)
            return 0;
    }
    Check(false);
    return 0;
}
