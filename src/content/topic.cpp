#include "content/topic.h"

#include "content/map_reader.h"
#include "platform/files.h"
#include "platform/sound_files.h"

#include <memory>
#include <string>

namespace {
CString g_strImagesDir;
CString g_strSoundsDir;

// Where the loading asks whether anything exists at a sound's path, only a regular file inside
// the sounds folder counts: a name like "", "." or "../images" would otherwise pass as a
// directory, and a pipe or a device would be handed to the player.
bool SoundExists(const CString& name)
{
    return SoundFileExists(g_strSoundsDir.GetString(), name.GetString());
}

// The imaging call takes wide characters; each byte becomes one code unit and is narrowed back
// the same way, so names in any encoding reach the file system unchanged.
std::u16string Widen(const CString& bytes)
{
    std::u16string wide;
    wide.reserve(static_cast<std::size_t>(bytes.GetLength()));
    for (const char c : bytes.str())
        wide += static_cast<char16_t>(static_cast<unsigned char>(c));
    return wide;
}

CString DefaultSoundName(const CString& pictureName)
{
    return pictureName.Left(pictureName.GetLength() - 3) + "wav";
}

void ScanImages(CTopicList& topics)
{
    WIN32_FIND_DATAA entry;
    const HANDLE find = FindFirstFileA(g_strImagesDir + "*", &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    // Any failure of the listing ends the scan, not just the end of the entries: a listing
    // that keeps failing would otherwise hand out the same entry forever.
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        auto topic = std::make_unique<CTopic>(entry.cFileName);
        if (topic->GetPicture()->GetLastStatus() != Gdiplus::Ok)
            continue;
        const CString defaultSound = DefaultSoundName(topic->GetName());
        if (SoundExists(defaultSound))
            topic->GetSounds().AddUnique(defaultSound);
        topics.SetSize(topics.GetCount() + 1, false);
        topics.SetAt(topics.GetCount() - 1, topic.release());
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

void ApplyRecord(CTopicList& topics, const CTextList& words, const CTextList& names,
                 CTextList& sounds)
{
    for (int i = 0; i < sounds.GetCount();) {
        if (!SoundExists(sounds.GetAt(i)))
            sounds.RemoveAt(i); // the last item moved into slot i; look at it next
        else
            ++i;
    }
    if (names.GetCount() == 0 || (words.GetCount() == 0 && sounds.GetCount() == 0))
        return;
    for (int n = 0; n < names.GetCount(); ++n) {
        const CString name = names.GetAt(n);
        for (int t = 0; t < topics.GetCount(); ++t) {
            CTopic* topic = topics.GetAt(t);
            if (_mbsicmp(name, topic->GetName()) == 0) {
                topic->GetSounds().AppendUnique(sounds);
                topic->GetWords().AppendUnique(words);
            }
        }
    }
}
} // namespace

void SetMediaDirs(const CString& dir)
{
    g_strImagesDir = dir + "images" + CString(std::string_view(&kPathSeparator, 1));
    g_strSoundsDir = dir + "sounds" + CString(std::string_view(&kPathSeparator, 1));
}

const CString& GetImagesDir()
{
    return g_strImagesDir;
}
const CString& GetSoundsDir()
{
    return g_strSoundsDir;
}

CTopic::CTopic(const CString& fileName) : m_strName(fileName)
{
    const std::u16string path = Widen(g_strImagesDir + m_strName);
    m_pPicture = new Gdiplus::Image(path.c_str());
}

CTopic::~CTopic()
{
    delete m_pPicture;
}

void ApplyMapRecords(CTopicList& topics, std::istream& map)
{
    CTextList words;
    CTextList names;
    CTextList sounds;
    while (!map.fail()) {
        bool stray = false;
        for (CTextList* list : {&words, &names, &sounds}) {
            if (!list->Read(map) && map.good())
                stray = true;
        }
        ApplyRecord(topics, words, names, sounds);
        // A byte where a list should begin is never consumed, so reading on would meet it
        // forever. The map ends there: what came before it stands, nothing after it is guessed.
        if (stray)
            break;
    }
}

void LoadTopicLibrary(CTopicList& topics, const CString& programDir)
{
    SetMediaDirs(programDir);
    ScanImages(topics);
    MapFileStream map(programDir + "Tappy.map");
    ApplyMapRecords(topics, map);
}
