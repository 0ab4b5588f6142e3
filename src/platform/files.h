#pragma once
// File services for the content loading: the program's own directory, a directory listing in
// first/next/close form, and the existence test. Paths are byte strings as the file system
// stores them; the separator is '/'.
#include "platform/cstring.h"
#include "platform/win_types.h"

constexpr char kPathSeparator = '/';

using HANDLE = void*;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_NO_MORE_FILES = 18;

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes = 0;
    CString cFileName; // the entry's name, no directory
};

// pattern is a directory path followed by "*" (the only form Tappy uses).
HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE find);
DWORD GetLastError();
DWORD GetFileAttributesA(const char* path);

// The directory of the program's own file, ending in '/'; empty when it cannot be found.
CString GetProgramDirectory();
