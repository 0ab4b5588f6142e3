#include "platform/sound_files.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

bool PathHasParentStep(std::string_view path)
{
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = path.find_first_of("/\\", start);
        const std::size_t stop = end == std::string_view::npos ? path.size() : end;
        if (path.substr(start, stop - start) == "..")
            return true;
        start = stop + 1;
    }
    return false;
}

bool IsSoundNameInsideFolder(std::string_view name)
{
    return !name.empty() && name != "." && !PathHasParentStep(name);
}

bool IsPlayableSoundFile(bool regularFile, std::uint64_t size)
{
    return regularFile && size <= kMaxSoundFileBytes;
}

std::uint64_t ConvertedSoundBytes(std::uint64_t bytes, int rate, int frameBytes, int deviceRate,
                                  int deviceFrameBytes)
{
    if (rate <= 0 || frameBytes <= 0 || deviceRate <= 0 || deviceFrameBytes <= 0)
        return UINT64_MAX;
    const std::uint64_t frames = bytes / static_cast<std::uint64_t>(frameBytes);
    // Frames below 2^32 times a rate below 2^31 cannot overflow.
    const std::uint64_t deviceFrames =
        frames * static_cast<std::uint64_t>(deviceRate) / static_cast<std::uint64_t>(rate) + 1;
    return deviceFrames * static_cast<std::uint64_t>(deviceFrameBytes);
}

bool SoundFileExists(std::string_view dir, std::string_view name)
{
    if (!IsSoundNameInsideFolder(name))
        return false;
    const std::string path = std::string(dir) + std::string(name);
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int OpenSoundFile(const char* path)
{
    if (!path || PathHasParentStep(path))
        return -1;
    // Judged before opening, so a device is never opened at all; and again on what was opened,
    // since the name may have been pointed elsewhere in between. O_NONBLOCK keeps the open of a
    // pipe that appeared meanwhile from waiting for a writer.
    struct stat st {};
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    int fd;
    do {
        fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    if (fstat(fd, &st) != 0 ||
        !IsPlayableSoundFile(S_ISREG(st.st_mode), static_cast<std::uint64_t>(st.st_size))) {
        close(fd);
        return -1;
    }
    return fd;
}
