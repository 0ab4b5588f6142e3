// Directory listing, existence test and the program's directory on POSIX.
#include "platform/files.h"

#include <cerrno>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_READ_FAULT = 30;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;

thread_local DWORD t_lastError = ERROR_SUCCESS;

struct FindState {
    DIR* dir = nullptr;
    std::string dirPath; // ends in '/' unless empty (the current directory)
};

DWORD ErrorFromErrno(int err)
{
    switch (err) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    default:
        return ERROR_READ_FAULT;
    }
}

// Returns false at the end of the listing or when it fails; t_lastError tells which.
bool NextEntry(FindState& state, WIN32_FIND_DATAA* data)
{
    errno = 0;
    const dirent* entry = readdir(state.dir);
    if (!entry) {
        // readdir signals the end by leaving errno alone; anything else is a failing listing,
        // which must end the scan rather than hand out the same entry again.
        t_lastError = errno == 0 ? ERROR_NO_MORE_FILES : ErrorFromErrno(errno);
        return false;
    }
    // The type follows symbolic links so a linked folder is skipped like a folder; a dangling or
    // looping link cannot be resolved and is offered as a file that will then fail to load.
    const std::string full = state.dirPath + entry->d_name;
    struct stat st {};
    const bool isDir = stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    data->cFileName = entry->d_name;
    data->dwFileAttributes = isDir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    t_lastError = ERROR_SUCCESS;
    return true;
}
} // namespace

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data)
{
    if (!pattern || !data) {
        t_lastError = ERROR_INVALID_HANDLE;
        return INVALID_HANDLE_VALUE;
    }
    std::string dirPath(pattern);
    if (!dirPath.empty() && dirPath.back() == '*')
        dirPath.pop_back();
    DIR* dir = opendir(dirPath.empty() ? "." : dirPath.c_str());
    if (!dir) {
        t_lastError = ErrorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
    auto* state = new FindState{dir, dirPath};
    if (!state->dirPath.empty() && state->dirPath.back() != kPathSeparator)
        state->dirPath += kPathSeparator;
    if (!NextEntry(*state, data)) {
        const DWORD err = t_lastError;
        closedir(state->dir);
        delete state;
        t_lastError = err == ERROR_NO_MORE_FILES ? ERROR_FILE_NOT_FOUND : err;
        return INVALID_HANDLE_VALUE;
    }
    return state;
}

BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data)
{
    if (!find || find == INVALID_HANDLE_VALUE || !data) {
        t_lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    return NextEntry(*static_cast<FindState*>(find), data) ? TRUE : FALSE;
}

BOOL FindClose(HANDLE find)
{
    if (!find || find == INVALID_HANDLE_VALUE) {
        t_lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    auto* state = static_cast<FindState*>(find);
    closedir(state->dir);
    delete state;
    return TRUE;
}

DWORD GetLastError()
{
    return t_lastError;
}

DWORD GetFileAttributesA(const char* path)
{
    struct stat st {};
    if (!path || stat(path, &st) != 0) {
        t_lastError = path ? ErrorFromErrno(errno) : ERROR_FILE_NOT_FOUND;
        return INVALID_FILE_ATTRIBUTES;
    }
    return S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

CString GetProgramDirectory()
{
    // The link's length is not known in advance (paths have no useful upper bound), so the
    // buffer grows until the whole target fits.
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return CString();
        if (static_cast<std::size_t>(n) < buffer.size()) {
            const std::string target(buffer.data(), static_cast<std::size_t>(n));
            const auto slash = target.rfind(kPathSeparator);
            if (slash == std::string::npos)
                return CString();
            return CString(std::string_view(target).substr(0, slash + 1));
        }
        buffer.resize(buffer.size() * 2);
    }
}
