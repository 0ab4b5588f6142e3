// Sound playing on SDL2_mixer: one device opened at start-up, one sound at a time, each call
// blocking until its sound has left the mixer.
#include "platform/sound.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <numbers>
#include <vector>

namespace {

constexpr int kFrequency = 44100;
constexpr int kChannels = 2;
constexpr int kChunkFrames = 1024;
constexpr int kPollMs = 5;

struct MixerState {
    // Held by every call that touches the mixer, so a play on the worker never meets a start-up
    // or shut-down on the main thread, and two plays never mix into each other.
    std::mutex lock;
    bool open = false;
    bool subsystem = false;
    int deviceFrequency = kFrequency;
    std::vector<Uint8> chimeBytes; // the chunk below points into it, it must outlive the chunk
    Mix_Chunk* chime = nullptr;
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

// Caller holds Mixer().lock.
void PlayToEnd(Mix_Chunk* chunk)
{
    const int channel = Mix_PlayChannel(-1, chunk, 0);
    if (channel < 0)
        return;
    while (Mix_Playing(channel))
        SDL_Delay(kPollMs);
    // The mixer has handed over the last samples, but one device buffer may still be on its way
    // to the speaker; the sound has ended only when that has drained too.
    SDL_Delay(static_cast<Uint32>(kChunkFrames * 1000 / Mixer().deviceFrequency + 1));
}

void CloseLocked()
{
    if (Mixer().open) {
        Mix_HaltChannel(-1);
        Mix_CloseAudio();
        Mix_Quit();
        Mixer().open = false;
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

} // namespace

bool SoundStartup()
{
    std::lock_guard<std::mutex> lock(Mixer().lock);
    if (Mixer().open)
        return true;
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
    int frequency = kFrequency;
    Uint16 format = AUDIO_S16SYS;
    int channels = kChannels;
    if (Mix_QuerySpec(&frequency, &format, &channels) != 0 && frequency > 0) {
        Mixer().deviceFrequency = frequency;
        BuildChime(frequency, format, channels);
    }
    return true;
}

void SoundShutdown()
{
    std::lock_guard<std::mutex> lock(Mixer().lock);
    CloseLocked();
}

BOOL PlaySoundA(const char* pszSound, HINSTANCE /*hmod*/, DWORD fdwSound)
{
    if (!pszSound || !*pszSound)
        return FALSE;
    std::lock_guard<std::mutex> lock(Mixer().lock);
    if (!Mixer().open)
        return FALSE;
    // Mix_LoadWAV tells the formats apart by their contents, not by the name's extension.
    if (Mix_Chunk* chunk = Mix_LoadWAV(pszSound)) {
        PlayToEnd(chunk);
        Mix_FreeChunk(chunk);
        return TRUE;
    }
    if ((fdwSound & SND_NODEFAULT) || !Mixer().chime)
        return FALSE;
    PlayToEnd(Mixer().chime);
    return TRUE;
}
