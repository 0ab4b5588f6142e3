// Sound playing on SDL2_mixer: one device opened at start-up, one sound at a time, each call
// blocking until its sound has left the mixer or has been stopped. A device that goes away is
// noticed by its status (SDL keeps calling the mixer for a device it has lost, at the device's
// pace, and throws the sound away) or by the mixer's callback no longer running, and the whole
// audio subsystem is reopened: the driver's connection to a sound server does not survive the
// server's restart. Files are streamed from disk as they play (the mixer's music stream), never
// decoded whole, so a long sound costs no more memory than a short one.
#include "platform/sound.h"

#include "platform/sound_files.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <numbers>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFrequency = 44100;
constexpr int kChannels = 2;
constexpr int kChunkFrames = 1024;
constexpr int kPollMs = 5;
// The mixer is fed every kChunkFrames (23 ms); this long without feeding is a device gone.
constexpr auto kStalledAfter = std::chrono::milliseconds(750);

// SDL's own limit on open devices; their ids count from 1.
constexpr SDL_AudioDeviceID kMaxDeviceIds = 16;

using Clock = std::chrono::steady_clock;

struct MixerState {
    // Held by every call that touches the mixer, so a play on the worker never meets a start-up
    // or shut-down on the main thread, and two plays never mix into each other.
    // The shut-down waits for it only so long: a server that takes connections but never makes a
    // device keeps SDL's open (and this lock) for half a minute.
    std::mutex lock;
    bool open = false;
    bool subsystem = false;
    int deviceFrequency = kFrequency;
    int deviceFrameBytes = kChannels * 2;
    std::vector<Uint8> chimeBytes; // the chunk below points into it, it must outlive the chunk
    Mix_Chunk* chime = nullptr;
    // Counts the requests to stop the playing sound. A play compares it with its value at the
    // start, so a stop never needs the mixer lock that the playing call holds.
    std::atomic<unsigned> stopRequests{0};
    // Between SoundStartup and SoundShutdown: a missing or lost device is opened again.
    bool wanted = false;
    unsigned failedOpens = 0;
    Clock::time_point nextOpen{};
    // When the audio thread last fed the mixer, in Clock ticks.
    std::atomic<Clock::rep> lastFed{0};
    // The mixer's device, found by its status since the mixer does not tell it.
    SDL_AudioDeviceID device = 0;
};

// Made on first use and never destroyed: the sound worker starts during static construction and
// may still be stopping during static destruction, before and after the platform's own state.
MixerState& Mixer()
{
    static MixerState* state = new MixerState();
    return *state;
}

// Built in the device's own format so that playing it needs no conversion and no file: the
// default sound must work exactly when files do not.
void BuildChime(int frequency, Uint16 format, int channels)
{
    const int frames = frequency * kDefaultChimeMs / 1000;
    std::vector<float> mono(static_cast<size_t>(frames));
    const double attackFrames = frequency * 0.005;
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / frequency;
        const double envelope =
            std::min(1.0, i / attackFrames) * std::exp(-t * 9.0); // a struck bell, no click
        const double fundamental = std::sin(2.0 * std::numbers::pi * kDefaultChimeHz * t);
        const double octave = std::sin(2.0 * std::numbers::pi * 2.0 * kDefaultChimeHz * t);
        mono[static_cast<size_t>(i)] =
            static_cast<float>(0.45 * envelope * (fundamental + 0.3 * octave));
    }

    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, AUDIO_F32SYS, 1, frequency, format, static_cast<Uint8>(channels),
                          frequency) < 0)
        return;
    const int bytes = frames * static_cast<int>(sizeof(float));
    std::vector<Uint8> buffer(static_cast<size_t>(bytes) * static_cast<size_t>(cvt.len_mult));
    SDL_memcpy(buffer.data(), mono.data(), static_cast<size_t>(bytes));
    cvt.buf = buffer.data();
    cvt.len = bytes;
    if (cvt.needed && SDL_ConvertAudio(&cvt) < 0)
        return;
    buffer.resize(static_cast<size_t>(cvt.needed ? cvt.len_cvt : bytes));
    Mixer().chimeBytes = std::move(buffer);
    Mixer().chime = Mix_QuickLoad_RAW(Mixer().chimeBytes.data(),
                                      static_cast<Uint32>(Mixer().chimeBytes.size()));
}

// Runs on the audio thread after each mix; a driver whose stream has stopped stops calling it.
void NoteFed(void* /*udata*/, Uint8* /*stream*/, int /*len*/)
{
    Mixer().lastFed = Clock::now().time_since_epoch().count();
}

// The mixer's device is the only one open, and it plays from the moment it is open: none
// playing is a device lost already.
SDL_AudioDeviceID FindPlayingDevice()
{
    for (SDL_AudioDeviceID id = 1; id <= kMaxDeviceIds; ++id)
        if (SDL_GetAudioDeviceStatus(id) == SDL_AUDIO_PLAYING)
            return id;
    return 0;
}

bool Lost()
{
    if (!Mixer().open)
        return false;
    if (SDL_GetAudioDeviceStatus(Mixer().device) != SDL_AUDIO_PLAYING)
        return true;
    const Clock::time_point fed{Clock::duration(Mixer().lastFed.load())};
    return Clock::now() - fed > kStalledAfter;
}

// Waits until the sound has ended, a stop has been asked for since `stops` was read or the
// device has gone (its sound would never end); the caller holds Mixer().lock. Returns false
// when it was stopped.
template <typename Playing> bool WaitForEnd(Playing playing, unsigned stops)
{
    while (playing()) {
        if (Mixer().stopRequests.load() != stops || Lost())
            return false;
        SDL_Delay(kPollMs);
    }
    // The mixer has handed over the last samples, but one device buffer may still be on its way
    // to the speaker; the sound has ended only when that has drained too.
    SDL_Delay(static_cast<Uint32>(kChunkFrames * 1000 / Mixer().deviceFrequency + 1));
    return true;
}

// Caller holds Mixer().lock.
void PlayToEnd(Mix_Chunk* chunk, unsigned stops)
{
    const int channel = Mix_PlayChannel(-1, chunk, 0);
    if (channel >= 0 && !WaitForEnd([channel] { return Mix_Playing(channel) != 0; }, stops))
        Mix_HaltChannel(channel);
}

// The way for a small WAV the stream does not take (ADPCM): decoded once in its own format to
// learn what it would become in the device's, and only then for playing. Caller holds
// Mixer().lock.
bool DecodeWholeToEnd(SDL_RWops* source, unsigned stops)
{
    const Sint64 size = SDL_RWsize(source);
    if (size < 0 || static_cast<std::uint64_t>(size) > kMaxWholeDecodeFileBytes ||
        SDL_RWseek(source, 0, RW_SEEK_SET) != 0)
        return false;
    SDL_AudioSpec wave;
    Uint8* samples = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV_RW(source, 0, &wave, &samples, &length))
        return false;
    SDL_FreeWAV(samples);
    const int frameBytes = static_cast<int>(SDL_AUDIO_BITSIZE(wave.format) / 8) * wave.channels;
    if (ConvertedSoundBytes(length, wave.freq, frameBytes, Mixer().deviceFrequency,
                            Mixer().deviceFrameBytes) > kMaxDecodedSoundBytes ||
        SDL_RWseek(source, 0, RW_SEEK_SET) != 0)
        return false;
    Mix_Chunk* chunk = Mix_LoadWAV_RW(source, 0);
    if (!chunk)
        return false;
    PlayToEnd(chunk, stops);
    Mix_FreeChunk(chunk);
    return true;
}

// Streams a file the size rules allow through the mixer's music stream; false when it cannot
// be opened or decoded. Caller holds Mixer().lock.
bool StreamToEnd(const char* path, unsigned stops)
{
    const int fd = OpenSoundFile(path);
    if (fd < 0)
        return false;
    FILE* file = fdopen(fd, "rb");
    if (!file) {
        close(fd);
        return false;
    }
    SDL_RWops* source = SDL_RWFromFP(file, SDL_TRUE);
    if (!source) {
        std::fclose(file);
        return false;
    }
    // The type is told by the contents, not by the name's extension.
    Mix_Music* music = Mix_LoadMUS_RW(source, 0);
    bool played = false;
    if (music && Mix_PlayMusic(music, 0) == 0) {
        played = true;
        if (!WaitForEnd([] { return Mix_PlayingMusic() != 0; }, stops))
            Mix_HaltMusic();
    }
    if (music)
        Mix_FreeMusic(music);
    else
        played = DecodeWholeToEnd(source, stops);
    SDL_RWclose(source);
    return played;
}

void CloseLocked()
{
    if (Mixer().open) {
        Mix_HaltChannel(-1);
        Mix_HaltMusic();
        Mix_CloseAudio();
        Mix_Quit();
        Mixer().open = false;
        Mixer().device = 0;
    }
    if (Mixer().chime) {
        Mix_FreeChunk(Mixer().chime);
        Mixer().chime = nullptr;
    }
    Mixer().chimeBytes.clear();
    if (Mixer().subsystem) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        Mixer().subsystem = false;
    }
}

// Caller holds Mixer().lock, with everything closed.
bool OpenLocked()
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    Mixer().subsystem = true;
    // Only for the formats beyond WAV; a codec that is not installed simply stays unavailable.
    Mix_Init(MIX_INIT_OGG | MIX_INIT_FLAC | MIX_INIT_MP3);
    if (Mix_OpenAudio(kFrequency, AUDIO_S16SYS, kChannels, kChunkFrames) != 0) {
        Mix_Quit();
        CloseLocked();
        return false;
    }
    Mixer().open = true;
    Mixer().lastFed = Clock::now().time_since_epoch().count();
    Mix_SetPostMix(&NoteFed, nullptr);
    Mixer().device = FindPlayingDevice();
    if (!Mixer().device) {
        CloseLocked();
        return false;
    }
    int frequency = kFrequency;
    Uint16 format = AUDIO_S16SYS;
    int channels = kChannels;
    if (Mix_QuerySpec(&frequency, &format, &channels) != 0 && frequency > 0) {
        Mixer().deviceFrequency = frequency;
        Mixer().deviceFrameBytes = static_cast<int>(SDL_AUDIO_BITSIZE(format) / 8) * channels;
        BuildChime(frequency, format, channels);
    }
    return true;
}

// True when a device is open and fed. A lost one is closed at once, and one is opened when the
// back-off allows or, for a sound asked for, at once: the first key after the server is back is
// heard. Caller holds Mixer().lock.
bool KeepDeviceLocked(bool forSound)
{
    if (!Mixer().wanted)
        return false;
    if (Mixer().open && !Lost())
        return true;
    const Clock::time_point now = Clock::now();
    if (Mixer().open) {
        CloseLocked();
        Mixer().failedOpens = 0;
        Mixer().nextOpen = now;
    }
    if (!forSound && now < Mixer().nextOpen)
        return false;
    if (OpenLocked()) {
        Mixer().failedOpens = 0;
        return true;
    }
    Mixer().nextOpen = now + std::chrono::milliseconds(SoundReopenDelayMs(++Mixer().failedOpens));
    return false;
}

} // namespace

bool SoundStartup()
{
    std::lock_guard<std::mutex> lock(Mixer().lock);
    Mixer().wanted = true;
    return KeepDeviceLocked(true);
}

void SoundStartLater()
{
    std::lock_guard<std::mutex> lock(Mixer().lock);
    Mixer().wanted = true;
    Mixer().nextOpen = Clock::now();
}

bool SoundShutdown()
{
    // Polled with try_lock rather than a timed lock: libstdc++'s timed lock goes through a
    // pthread call ThreadSanitizer does not follow, and it then reports every unlock.
    std::unique_lock<std::mutex> lock(Mixer().lock, std::defer_lock);
    for (unsigned waited = 0; !lock.try_lock(); waited += 10) {
        if (waited >= kSoundShutdownWaitMs)
            return false;
        SDL_Delay(10);
    }
    Mixer().wanted = false;
    Mixer().failedOpens = 0;
    CloseLocked();
    return true;
}

void SoundKeepDevice()
{
    std::lock_guard<std::mutex> lock(Mixer().lock);
    KeepDeviceLocked(false);
}

BOOL PlaySoundA(const char* pszSound, HINSTANCE /*hmod*/, DWORD fdwSound)
{
    if (!pszSound) {
        // No sound named: stop the one that is playing, from any thread.
        ++Mixer().stopRequests;
        return TRUE;
    }
    if (!*pszSound)
        return FALSE;
    std::lock_guard<std::mutex> lock(Mixer().lock);
    if (!KeepDeviceLocked(true))
        return FALSE;
    const unsigned stops = Mixer().stopRequests.load();
    if (StreamToEnd(pszSound, stops))
        return TRUE;
    if ((fdwSound & SND_NODEFAULT) || !Mixer().chime)
        return FALSE;
    PlayToEnd(Mixer().chime, stops);
    return TRUE;
}
