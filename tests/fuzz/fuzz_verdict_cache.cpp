// Reading the verdict cache, which any program of the user's may have written over; what it
// accepts must come back the same when written again.
#include "platform/codec/verdict_cache.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto entries = codec::VerdictCache::Parse(data, size);
    if (entries) {
        const std::string again = codec::VerdictCache::Serialize(*entries);
        if (again.size() != size)
            std::abort();
    }
    return 0;
}
