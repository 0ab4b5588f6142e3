#include "tool/tool_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string Why()
{
    return std::strerror(errno);
}

bool WriteAll(int fd, const char* data, std::size_t n)
{
    while (n > 0) {
        const ssize_t w = write(fd, data, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        data += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool CopyBytes(int from, int to)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return fsync(to) == 0;
        if (!WriteAll(to, buffer, static_cast<std::size_t>(n)))
            return false;
    }
}
} // namespace

bool MakeFolders(const std::string& path, std::string* error)
{
    for (std::size_t at = 1; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != '/')
            continue;
        const std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            *error = "cannot make the folder " + part + ": " + Why();
            return false;
        }
    }
    if (!IsFolder(path)) {
        *error = path + " is there but is not a folder";
        return false;
    }
    return true;
}

std::vector<std::string> ListFolder(const std::string& path)
{
    std::vector<std::string> names;
    DIR* dir = opendir(path.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool IsFolder(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

int MakeTemporary(const std::string& tempDir, std::string* path)
{
    std::string pattern = tempDir + ".tappy-content-XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd >= 0) {
        // mkstemp's file is private to its owner; the content is for any user of the desktop.
        fchmod(fd, 0644);
        *path = pattern;
    }
    return fd;
}

bool PlaceNoReplace(const std::string& temp, const std::string& target, std::string* error)
{
    // A hard link fails when the name is taken, which a plain rename would overwrite.
    const bool placed = link(temp.c_str(), target.c_str()) == 0;
    if (!placed)
        *error = errno == EEXIST ? target + " is already there; it is left as it is"
                                 : "cannot write " + target + ": " + Why();
    unlink(temp.c_str());
    return placed;
}

bool CopyNoReplace(const std::string& source, const std::string& target, const std::string& tempDir,
                   std::string* error)
{
    if (Exists(target)) {
        *error = target + " is already there; it is left as it is";
        return false;
    }
    // Non-blocking, so a named pipe cannot hang the copy before it is seen not to be a file.
    const int from = open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (from < 0 || fstat(from, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = source + ": " + (from < 0 ? Why() : "not a plain file");
        if (from >= 0)
            close(from);
        return false;
    }
    std::string temp;
    const int to = MakeTemporary(tempDir, &temp);
    if (to < 0) {
        *error = "cannot write in " + tempDir + ": " + Why();
        close(from);
        return false;
    }
    const bool copied = CopyBytes(from, to);
    const int saved = errno;
    close(from);
    if (close(to) != 0 || !copied) {
        errno = copied ? errno : saved;
        *error = "cannot copy " + source + ": " + Why();
        unlink(temp.c_str());
        return false;
    }
    return PlaceNoReplace(temp, target, error);
}
