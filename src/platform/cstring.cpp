#include "platform/cstring.h"

CString CString::Left(int n) const
{
    if (n <= 0)
        return CString();
    return CString(std::string_view(m_str).substr(0, static_cast<size_t>(n)));
}

int _mbscmp(const unsigned char* a, const unsigned char* b)
{
    for (;; ++a, ++b) {
        if (*a != *b)
            return *a < *b ? -1 : 1;
        if (*a == 0)
            return 0;
    }
}

namespace {
unsigned char FoldAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}
} // namespace

int _mbsicmp(const unsigned char* a, const unsigned char* b)
{
    for (;; ++a, ++b) {
        const unsigned char ca = FoldAscii(*a);
        const unsigned char cb = FoldAscii(*b);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
}
