#pragma once
// Playing a sound file, on SDL2_mixer:
//  [X] PlaySoundA(path, NULL, SND_FILENAME): blocks until the sound has ended; WAV, and what
//      SDL2_mixer streams besides (OGG, FLAC, MP3); streamed from the file, never decoded whole
//  [X] a missing or unreadable file plays a short chime made in code; so does anything but a
//      regular file, a file over kMaxSoundFileBytes (sound_files.h) and a path with a ".." part;
//      an empty path plays nothing
//  [X] PlaySoundA(NULL, ...): stops the sound that is playing (from any thread); its call returns
//  [X] no audio device: every call returns at once
//  [ ] SND_ASYNC, SND_LOOP, resources and aliases
// The audio device is opened on the main thread by the framework's start-up (SoundStartup);
// PlaySoundA may then be called from one other thread at a time.
#include "platform/win_types.h"

constexpr DWORD SND_SYNC = 0x0000;
constexpr DWORD SND_NODEFAULT = 0x0002;
constexpr DWORD SND_FILENAME = 0x00020000;

BOOL PlaySoundA(const char* pszSound, HINSTANCE hmod, DWORD fdwSound);

// The default chime: a struck bell at this pitch (Hz), with a softer octave, this long (ms).
constexpr int kDefaultChimeHz = 880;
constexpr int kDefaultChimeMs = 350;

// Opens the audio device; false (and silent play calls) when there is none.
bool SoundStartup();
void SoundShutdown();
