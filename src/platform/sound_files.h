#pragma once
// Which files may be played as sounds. A parent's sounds folder can hold anything: a named pipe
// (opening it would block), a link to a device that never ends, a huge or sparse file, and the
// map can name a path that climbs out of the folder. Platform-internal; no SDL here.
#include <cstdint>
#include <string_view>

// The largest sound file played: 64 MiB, about six minutes of CD-quality WAV or an hour of MP3.
// Anything bigger is refused like an unreadable file.
constexpr std::uint64_t kMaxSoundFileBytes = std::uint64_t{64} << 20;

// Sounds the stream cannot take (ADPCM-coded WAV) are decoded whole instead, but only from files
// up to this size, and only when the decoded sound in the device's format stays within
// kMaxDecodedSoundBytes: a tiny sample rate in a header would otherwise multiply its size.
constexpr std::uint64_t kMaxWholeDecodeFileBytes = std::uint64_t{4} << 20;
constexpr std::uint64_t kMaxDecodedSoundBytes = std::uint64_t{64} << 20;

// Bytes that `bytes` of decoded samples (rate, frameBytes per frame) take once converted to the
// device's rate and frame size; UINT64_MAX for a rate or frame size that is not positive.
std::uint64_t ConvertedSoundBytes(std::uint64_t bytes, int rate, int frameBytes, int deviceRate,
                                  int deviceFrameBytes);

// A sound name from the map or from a picture's name stays inside the sounds folder: it is not
// empty, ".", or "..", and no part between '/' or '\' separators is "..".
bool IsSoundNameInsideFolder(std::string_view name);

// True when a path has a ".." part between '/' or '\' separators.
bool PathHasParentStep(std::string_view path);

// The rule on what stat reports: only a regular file within the cap.
bool IsPlayableSoundFile(bool regularFile, std::uint64_t size);

// A sound that the loading may keep: the name stays inside the folder and dir + name is a regular
// file (links followed). The size is judged when it is played.
bool SoundFileExists(std::string_view dir, std::string_view name);

// Opens a sound file for reading without ever blocking: a path with a ".." part, anything but a
// regular file (judged before and after opening) or a file over the cap gives -1. The caller
// closes the descriptor.
int OpenSoundFile(const char* path);
