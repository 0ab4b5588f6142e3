// The bytes of a word or name on their way to the font renderer: whatever they are, the result is
// well-formed UTF-8 without NUL bytes, and text that is already well-formed passes unchanged.
#include "platform/text_bytes.h"

#include <cstdint>
#include <string>

#include "fuzz_check.h"

namespace {
void CheckRenderable(const std::string& text)
{
    Check(IsValidUtf8(text.data(), text.size()));
    Check(text.find('\0') == std::string::npos);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto* bytes = reinterpret_cast<const char*>(data);
    const bool valid = IsValidUtf8(bytes, size);
    const std::string system = Utf8FromSystemBytes(bytes, size);
    const std::string cyrillic = Utf8FromCyrillicBytes(bytes, size);
    CheckRenderable(system);
    CheckRenderable(cyrillic);
    std::string withoutNul(bytes, size);
    std::erase(withoutNul, '\0');
    if (valid) {
        Check(system == withoutNul);
        Check(cyrillic == withoutNul);
    } else {
        // Code page 1251 gives every byte but 0x98 a character of its own.
        Check(cyrillic.size() >= withoutNul.size());
    }
    return 0;
}
