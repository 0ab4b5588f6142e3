#include "content/content_dir.h"

#include "platform/files.h"

#include <cstdlib>

CString UserContentDir(const char* xdgDataHome, const char* home)
{
    if (xdgDataHome && xdgDataHome[0] == '/')
        return CString(xdgDataHome) + "/tappy/";
    if (home && home[0] == '/')
        return CString(home) + "/.local/share/tappy/";
    return CString();
}

CString ChooseContentDir(const CString& programDir, const CString& userDir, bool userHasPictures)
{
    return !userDir.IsEmpty() && userHasPictures ? userDir : programDir;
}

bool HasPictureFiles(const CString& dir)
{
    WIN32_FIND_DATAA entry;
    const HANDLE find = FindFirstFileA(dir + "images/*", &entry);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    bool found = false;
    do {
        found = !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    } while (!found && FindNextFileA(find, &entry));
    FindClose(find);
    return found;
}

CString FindContentDir(const CString& programDir)
{
    const CString userDir = UserContentDir(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    return ChooseContentDir(programDir, userDir, !userDir.IsEmpty() && HasPictureFiles(userDir));
}
