// Sizing a picture from its header, as loading does for every file in images/.
#include "platform/codec/codec.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    codec::SizeOf(codec::MemorySource(data, size));
    return 0;
}
