#pragma once
// Playing a sound file, on SDL2_mixer:
//  [X] PlaySoundA(path, NULL, SND_FILENAME): blocks until the sound has ended; WAV, and what
//      SDL2_mixer streams besides (OGG, FLAC, MP3); streamed from the file, never decoded whole
//  [X] a missing or unreadable file plays a short chime made in code; so does anything but a
//      regular file, a file over kMaxSoundFileBytes (sound_files.h) and a path with a ".." part;
//      an empty path plays nothing
//  [X] PlaySoundA(NULL, ...): stops the sound that is playing (from any thread); its call returns
//  [X] no audio device: every call returns at once, its sound dropped
//  [X] a device that goes away (the sound server restarts) or is not there yet (the server
//      starts after Tappy): the audio subsystem is closed and reopened, off the UI thread, with
//      a back-off, for as long as it takes; the chime is rebuilt in the new device's format
//  [ ] SND_ASYNC, SND_LOOP, resources and aliases
// The framework's start-up only asks for the audio device (SoundStartLater), which the sound
// worker then opens; PlaySoundA and SoundKeepDevice may then be called from one other thread at a
// time.
#include "platform/win_types.h"

constexpr DWORD SND_SYNC = 0x0000;
constexpr DWORD SND_NODEFAULT = 0x0002;
constexpr DWORD SND_FILENAME = 0x00020000;

BOOL PlaySoundA(const char* pszSound, HINSTANCE hmod, DWORD fdwSound);

// The default chime: a struck bell at this pitch (Hz), with a softer octave, this long (ms).
constexpr int kDefaultChimeHz = 880;
constexpr int kDefaultChimeMs = 350;

// Opens the audio device; false (and silent play calls) when there is none for now. Until
// SoundShutdown, a missing or lost device is looked for again by every play call and, with the
// back-off below, by SoundKeepDevice.
bool SoundStartup();
// The same without waiting for the device: the next play call or SoundKeepDevice opens it, so
// a sound server that takes connections but never opens a device cannot hold the caller.
void SoundStartLater();
// False, with nothing closed, when a play or an open on another thread still holds the device
// after kSoundShutdownWaitMs: SDL's open may block for half a minute on such a server, and the
// audio subsystem must not be torn down under it.
constexpr unsigned kSoundShutdownWaitMs = 200;
bool SoundShutdown();
// Between sounds: notices a device that has gone and opens one when the back-off allows.
// Returns at once when nothing is due.
void SoundKeepDevice();

// How long after the given number of failed opens in a row the next one is tried (ms). Short at
// first, since a restarting server is back within moments, and capped so that a server that
// comes back after any time is found again within about a second.
constexpr unsigned kSoundReopenFirstDelayMs = 250;
constexpr unsigned kSoundReopenMaxDelayMs = 1000;
constexpr unsigned SoundReopenDelayMs(unsigned failedOpens)
{
    if (failedOpens == 0)
        return 0;
    unsigned delay = kSoundReopenFirstDelayMs;
    for (unsigned i = 1; i < failedOpens && delay < kSoundReopenMaxDelayMs; ++i)
        delay *= 2;
    return delay < kSoundReopenMaxDelayMs ? delay : kSoundReopenMaxDelayMs;
}
