// Decoding a picture under the pixel budget, reduced to a small screen, whether or not its
// header would have been accepted at load; and the background check's cheaper pass over it.
#include "platform/codec/codec.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const codec::MemorySource file(data, size);
    codec::Picture picture;
    if (codec::Decode(file, 320, 240, &picture) &&
        (picture.width > 320 || picture.height > 240 ||
         picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height))
        __builtin_trap(); // a decoded picture is always within the box it was fitted to
    codec::Size shown;
    if (codec::Check(file, &shown) && !codec::WithinBudget(shown.width, shown.height))
        __builtin_trap();
    return 0;
}
