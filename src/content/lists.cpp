#include "content/lists.h"

#include "content/topic.h"
#include "platform/runtime.h"

#include <climits>
#include <cstdlib>
#include <memory>
#include <new>

namespace {
// The double nearest to 1/32767; both groupings multiply by it rather than divide.
constexpr double kInverseRandMax = 1.0 / crt::RAND_MAX_15;

// What _mbscmp compares: the bytes before the first NUL.
std::string_view ComparedText(const CString& s)
{
    return std::string_view(s.GetString());
}

int ClampIndex(double scaled, int n)
{
    const int index = static_cast<int>(scaled);
    if (index >= n)
        return n - 1;
    return index < 0 ? 0 : index;
}

// Exact-size storage: every change reallocates to the new count. Growth that cannot be met
// throws, leaving the list as it was.
template <typename T> T** Reallocate(T** items, int slots)
{
    if (slots == 0) {
        std::free(items);
        return nullptr;
    }
    void* grown = std::realloc(items, static_cast<std::size_t>(slots) * sizeof(T*));
    if (!grown)
        throw std::bad_alloc();
    return static_cast<T**>(grown);
}
} // namespace

int RandomIndexFromDraw(int r, int n)
{
    if (n <= 0)
        return -1;
    return ClampIndex(static_cast<double>(r) * kInverseRandMax * n, n);
}

int TopicIndexFromDraw(int r, int n)
{
    if (n <= 0)
        return -1;
    return ClampIndex(static_cast<double>(r) * n * kInverseRandMax, n);
}

CTextList::~CTextList()
{
    RemoveAll();
}

CString CTextList::GetAt(int index) const
{
    if (index < 0 || index >= m_nCount)
        return CString();
    return *m_pItems[index];
}

void CTextList::AddUnique(const CString& s)
{
    if (m_index.contains(ComparedText(s)))
        return;
    if (m_nCount == INT_MAX)
        throw std::bad_alloc();
    auto copy = std::make_unique<CString>(s);
    const auto entry = m_index.insert(ComparedText(*copy)).first;
    try {
        m_pItems = Reallocate(m_pItems, m_nCount + 1);
    } catch (...) {
        m_index.erase(entry);
        throw;
    }
    m_nCapacity = m_nCount + 1;
    m_pItems[m_nCount++] = copy.release();
}

void CTextList::AppendUnique(const CTextList& other)
{
    if (&other == this)
        return;
    for (int i = 0; i < other.m_nCount; ++i)
        AddUnique(*other.m_pItems[i]);
}

int CTextList::RemoveAt(int index)
{
    if (index < 0 || index >= m_nCount)
        return m_nCount;
    m_index.erase(ComparedText(*m_pItems[index]));
    delete m_pItems[index];
    m_pItems[index] = nullptr;
    const int last = m_nCount - 1;
    if (index != last) {
        m_pItems[index] = m_pItems[last];
        m_pItems[last] = nullptr;
    }
    m_nCount = last;
    if (m_nCount == 0) {
        std::free(m_pItems);
        m_pItems = nullptr;
        m_nCapacity = 0;
    } else if (void* shrunk = std::realloc(m_pItems, m_nCount * sizeof(CString*))) {
        // A shrink that fails keeps the larger block; its spare slot is already null.
        m_pItems = static_cast<CString**>(shrunk);
        m_nCapacity = m_nCount;
    }
    return m_nCount;
}

void CTextList::RemoveAll()
{
    m_index.clear();
    for (int i = 0; i < m_nCount; ++i)
        delete m_pItems[i];
    std::free(m_pItems);
    m_pItems = nullptr;
    m_nCount = 0;
    m_nCapacity = 0;
}

int CTextList::GetRandomIndex() const
{
    if (m_nCount <= 0)
        return -1;
    return RandomIndexFromDraw(crt::rand(), m_nCount);
}

CTopicList::~CTopicList()
{
    for (int i = 0; i < m_nCount; ++i)
        delete m_pItems[i];
    std::free(m_pItems);
}

void CTopicList::RemoveAt(int index)
{
    if (index < 0 || index >= m_nCount)
        return;
    delete m_pItems[index];
    m_pItems[index] = m_pItems[m_nCount - 1];
    m_pItems[--m_nCount] = nullptr;
}

void CTopicList::SetSize(const int& newCount, bool deleteAll)
{
    const int count = newCount < 0 ? 0 : newCount;
    if (count > m_nCapacity) {
        m_pItems = Reallocate(m_pItems, count);
        for (int i = m_nCapacity; i < count; ++i)
            m_pItems[i] = nullptr;
        m_nCapacity = count;
    } else if (count < m_nCapacity) {
        for (int i = count; i < m_nCapacity; ++i) {
            delete m_pItems[i];
            m_pItems[i] = nullptr;
        }
    }
    m_nCount = count;
    if (deleteAll) {
        for (int i = 0; i < m_nCount; ++i) {
            delete m_pItems[i];
            m_pItems[i] = nullptr;
        }
    }
}
