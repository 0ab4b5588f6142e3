#pragma once
// A topic (one picture, its sounds and its words), the media directories, and the loading of
// the whole library from a program directory.
#include "content/lists.h"
#include "platform/cstring.h"
#include "platform/imaging.h"

#include <istream>

void SetMediaDirs(const CString& dir);
const CString& GetImagesDir();
const CString& GetSoundsDir();

class CTopic {
public:
    explicit CTopic(const CString& fileName);
    ~CTopic();
    CTopic(const CTopic&) = delete;
    CTopic& operator=(const CTopic&) = delete;

    Gdiplus::Image* GetPicture() const { return m_pPicture; }
    const CString& GetName() const { return m_strName; }
    CTextList& GetSounds() { return m_sounds; }
    CTextList& GetWords() { return m_words; }
    const CTextList& GetSounds() const { return m_sounds; }
    const CTextList& GetWords() const { return m_words; }

private:
    Gdiplus::Image* m_pPicture = nullptr;
    CString m_strName;
    CTextList m_sounds;
    CTextList m_words;
};

// Reads the map's records from the stream and gives each record's existing sounds and its words
// to the topics it names (names matched without regard to case). Reading ends at the end of the
// input, or at a byte where a list should begin, after applying the record in hand.
void ApplyMapRecords(CTopicList& topics, std::istream& map);

// Sets the media directories from programDir (which ends in a separator), then appends a
// topic for every picture and applies the map file. The play window's LoadTopics calls it.
void LoadTopicLibrary(CTopicList& topics, const CString& programDir);
