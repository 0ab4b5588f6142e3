// Placeholder until the file services land.
#include "platform/files.h"

HANDLE FindFirstFileA(const char*, WIN32_FIND_DATAA*) { return INVALID_HANDLE_VALUE; }
BOOL FindNextFileA(HANDLE, WIN32_FIND_DATAA*) { return FALSE; }
BOOL FindClose(HANDLE) { return FALSE; }
DWORD GetLastError() { return ERROR_NO_MORE_FILES; }
DWORD GetFileAttributesA(const char*) { return INVALID_FILE_ATTRIBUTES; }
CString GetProgramDirectory() { return CString(); }
