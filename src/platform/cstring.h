#pragma once
// CString: the byte string every part of Tappy passes around (paths, names, words), with value
// semantics. Bytes are carried as they are; nothing here knows an encoding. Also the two
// comparisons the content rules name.
#include <string>
#include <string_view>

class CString {
public:
    CString() = default;
    CString(const char* psz) : m_str(psz ? psz : "") {}
    CString(const char* bytes, int length) : m_str(bytes, length > 0 ? length : 0) {}
    CString(std::string_view sv) : m_str(sv) {}

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    // The first n bytes (all of them when n exceeds the length, none when n <= 0).
    CString Left(int n) const;

    operator const char*() const { return m_str.c_str(); }
    const char* GetString() const { return m_str.c_str(); }
    const std::string& str() const { return m_str; }

    CString& operator=(const char* psz)
    {
        m_str = psz ? psz : "";
        return *this;
    }
    CString& operator+=(const CString& s)
    {
        m_str += s.m_str;
        return *this;
    }
    CString& operator+=(const char* psz)
    {
        m_str += psz ? psz : "";
        return *this;
    }
    CString& operator+=(char c)
    {
        m_str += c;
        return *this;
    }

    friend CString operator+(const CString& a, const CString& b)
    {
        return CString(a.m_str + b.m_str);
    }
    friend CString operator+(const CString& a, const char* b) { return a + CString(b); }
    friend CString operator+(const char* a, const CString& b) { return CString(a) + b; }
    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, const char* b) { return a.m_str == (b ? b : ""); }

private:
    std::string m_str;
};

// Byte-exact comparison: <0, 0 or >0 as the first differing byte (unsigned) decides.
int _mbscmp(const unsigned char* a, const unsigned char* b);
// As _mbscmp, but ASCII letters compare without regard to case; every other byte is exact,
// so names in other scripts are matched only as written.
int _mbsicmp(const unsigned char* a, const unsigned char* b);

inline int _mbscmp(const CString& a, const CString& b)
{
    return _mbscmp(reinterpret_cast<const unsigned char*>(a.GetString()),
                   reinterpret_cast<const unsigned char*>(b.GetString()));
}
inline int _mbsicmp(const CString& a, const CString& b)
{
    return _mbsicmp(reinterpret_cast<const unsigned char*>(a.GetString()),
                    reinterpret_cast<const unsigned char*>(b.GetString()));
}
