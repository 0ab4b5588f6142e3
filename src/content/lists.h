#pragma once
// The two owning lists that hold all of Tappy's content, and the one random-index rule that
// every random choice goes through.
#include "platform/cstring.h"

#include <istream>
#include <string_view>
#include <unordered_set>

class CTopic;

// Index for a draw r in 0 ... 32767 over n >= 1 items, grouped as r * (1/32767) * n.
int RandomIndexFromDraw(int r, int n);
// The same rule grouped as (r * n) * (1/32767), as the topic choice computes it.
int TopicIndexFromDraw(int r, int n);

class CTextList {
public:
    CTextList() = default;
    virtual ~CTextList();
    CTextList(const CTextList&) = delete;
    CTextList& operator=(const CTextList&) = delete;

    int GetCount() const { return m_nCount; }
    // A copy of the item; empty for an index outside 0 ... count-1.
    CString GetAt(int index) const;
    void AddUnique(const CString& s);
    void AppendUnique(const CTextList& other);
    // Swap-with-last removal; returns the count after the call.
    int RemoveAt(int index);
    void RemoveAll();
    // A random index by the rule above; -1, and no draw, for an empty list.
    int GetRandomIndex() const;
    // Empties the list and reads one brace list from the stream (see map_reader.h).
    bool Read(std::istream& stream);

private:
    CString** m_pItems = nullptr;
    int m_nCount = 0;
    int m_nCapacity = 0;
    // The items' texts as the comparison sees them (up to a NUL byte), viewing the owned
    // strings, so the duplicate test is one lookup rather than a scan of the whole list: a
    // hand-written map may hold tens of thousands of words in one list.
    std::unordered_set<std::string_view> m_index;
};

class CTopicList {
public:
    CTopicList() = default;
    virtual ~CTopicList();
    CTopicList(const CTopicList&) = delete;
    CTopicList& operator=(const CTopicList&) = delete;

    int GetCount() const { return m_nCount; }
    // Callers keep the index within 0 ... count-1.
    CTopic* GetAt(int index) const { return m_pItems[index]; }
    // Used to append: SetSize(count + 1, false), then SetAt(count - 1, topic).
    void SetSize(const int& newCount, bool deleteAll);
    void SetAt(int index, CTopic* topic) { m_pItems[index] = topic; }
    // Destroys the topic at index and moves the last one into its slot; out of range: nothing.
    void RemoveAt(int index);

private:
    CTopic** m_pItems = nullptr;
    int m_nCount = 0;
    int m_nCapacity = 0;
};
