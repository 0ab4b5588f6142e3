#pragma once
// How the byte strings that reach DrawText become the UTF-8 that the font renderer takes.
// Platform-internal; no SDL here, so the rules are tested on their own.
#include <cstddef>
#include <string>

// True when bytes[0 ... n) is well-formed UTF-8 (no overlongs, surrogates or values past
// U+10FFFF).
bool IsValidUtf8(const char* bytes, std::size_t n);

// The system code page, UTF-8 on Linux: each ill-formed sequence becomes one U+FFFD.
std::string Utf8FromSystemBytes(const char* bytes, std::size_t n);

// A Cyrillic font's text: code page 1251, unless the bytes are valid UTF-8, because content
// written on a Linux system is UTF-8 whatever font the scene asks for.
std::string Utf8FromCyrillicBytes(const char* bytes, std::size_t n);
