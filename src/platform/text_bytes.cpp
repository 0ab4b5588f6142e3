#include "platform/text_bytes.h"

#include <cstdint>

namespace {
constexpr char32_t kReplacement = 0xFFFD;

// Code page 1251, bytes 0x80 ... 0xFF; 0x98 has no character.
constexpr char16_t kCp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Length of the well-formed sequence at p (at most n bytes), or 0 when it is ill-formed; in
// that case *skip is the length of its maximal valid prefix (at least 1), so one replacement
// mark stands for it, as the Unicode standard recommends.
std::size_t SequenceAt(const unsigned char* p, std::size_t n, std::size_t* skip)
{
    *skip = 1;
    const unsigned char b = p[0];
    if (b < 0x80)
        return 1;
    std::size_t len;
    unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        if (b == 0xE0)
            lo = 0xA0; // overlong
        if (b == 0xED)
            hi = 0x9F; // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        if (b == 0xF0)
            lo = 0x90; // overlong
        if (b == 0xF4)
            hi = 0x8F; // past U+10FFFF
    } else {
        return 0;
    }
    for (std::size_t i = 1; i < len; ++i) {
        if (i >= n)
            return 0;
        const unsigned char c = p[i];
        const bool ok = i == 1 ? (c >= lo && c <= hi) : (c >= 0x80 && c <= 0xBF);
        if (!ok)
            return 0;
        *skip = i + 1;
    }
    return len;
}
} // namespace

bool IsValidUtf8(const char* bytes, std::size_t n)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    std::size_t i = 0;
    while (i < n) {
        std::size_t skip;
        const std::size_t len = SequenceAt(p + i, n - i, &skip);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

std::string Utf8FromSystemBytes(const char* bytes, std::size_t n)
{
    std::string out;
    out.reserve(n);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    std::size_t i = 0;
    while (i < n) {
        std::size_t skip;
        const std::size_t len = SequenceAt(p + i, n - i, &skip);
        if (len == 0) {
            AppendUtf8(out, kReplacement);
            i += skip;
            continue;
        }
        // The renderer takes NUL-terminated strings; an embedded NUL would cut the text.
        if (p[i] != 0)
            out.append(bytes + i, len);
        i += len;
    }
    return out;
}

std::string Utf8FromCyrillicBytes(const char* bytes, std::size_t n)
{
    if (IsValidUtf8(bytes, n))
        return Utf8FromSystemBytes(bytes, n);
    std::string out;
    out.reserve(n * 2);
    for (std::size_t i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == 0)
            continue;
        AppendUtf8(out, b < 0x80 ? char32_t{b} : char32_t{kCp1251High[b - 0x80]});
    }
    return out;
}
