// Through the real mixer, with SDL's disk audio driver writing the device's output to a file.
#include "platform/sound.h"

#include "platform/sound_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <numbers>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "support/test_pictures.h"
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The device format the platform opens: 44100 Hz, signed 16-bit, stereo.
constexpr int kRate = 44100;
constexpr int kChannels = 2;

std::vector<std::int16_t> Pattern(unsigned seed, int frames)
{
    std::vector<std::int16_t> samples(static_cast<size_t>(frames * kChannels));
    for (auto& s : samples) {
        seed = seed * 1103515245u + 12345u;
        // Never zero, so any overlap with another sound changes every sample it touches.
        s = static_cast<std::int16_t>(((seed >> 16) % 20000) + 1000);
    }
    return samples;
}

// A wave file of the samples whose header claims `bytes` of sample data, silent past the samples.
void WriteWave(const fs::path& path, const std::vector<std::int16_t>& samples,
               std::uint32_t bytes = 0)
{
    bytes = std::max(bytes, static_cast<std::uint32_t>(samples.size() * 2));
    // "RIFF", "WAVE", "fmt ", "data", little-endian
    // clang-format off
    const std::uint32_t head[] = {0x46464952, 36 + bytes, 0x45564157, 0x20746d66, 16,
                                  1u | (kChannels << 16), kRate, kRate * kChannels * 2,
                                  (kChannels * 2) | (16u << 16), 0x61746164, bytes};
    // clang-format on
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(head), sizeof head);
    out.write(reinterpret_cast<const char*>(samples.data()),
              static_cast<std::streamsize>(samples.size() * 2));
    out.close();
    fs::resize_file(path, sizeof head + bytes); // sparse past the samples
}

std::vector<std::int16_t> ReadSamples(const fs::path& path)
{
    std::vector<std::int16_t> samples(fs::file_size(path) / 2);
    std::ifstream(path, std::ios::binary)
        .read(reinterpret_cast<char*>(samples.data()),
              static_cast<std::streamsize>(samples.size() * 2));
    return samples;
}

// Power of one frequency in the left channel (Goertzel).
double Power(const std::vector<std::int16_t>& samples, double hz)
{
    const double k = 2.0 * std::cos(2.0 * std::numbers::pi * hz / kRate);
    double s1 = 0, s2 = 0;
    for (size_t i = 0; i < samples.size(); i += kChannels) {
        const double s0 = samples[i] + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - k * s1 * s2;
}

class SoundDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", m_output.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "2", 1); // faster than real time; the content is the same
    }
    void TearDown() override
    {
        SoundShutdown();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }

    testpics::TempDir m_tmp;
    const fs::path& m_dir = m_tmp.path();
    const fs::path m_output = m_dir / "out.raw";
};

} // namespace

TEST(SoundFiles, NamesStayInTheFolderAndOnlyRegularFilesWithinTheCapPlay)
{
    for (const char* name : {"", ".", "..", "../images", "../../../../dev/zero", "a/../../x.wav",
                             "..\\x.wav", "sub/.."})
        EXPECT_FALSE(IsSoundNameInsideFolder(name)) << name;
    // "/dev/zero" is appended to the folder's path, so it stays inside.
    for (const char* name : {"cat.wav", "sub/cat.wav", "..cat.wav", "...", "/dev/zero"})
        EXPECT_TRUE(IsSoundNameInsideFolder(name)) << name;
    EXPECT_TRUE(IsPlayableSoundFile(true, kMaxSoundFileBytes));
    EXPECT_FALSE(IsPlayableSoundFile(true, kMaxSoundFileBytes + 1));
    EXPECT_FALSE(IsPlayableSoundFile(false, 0));
    // One second of 8 kHz mono 8-bit becomes one second of the device's 44.1 kHz stereo 16-bit.
    EXPECT_EQ(ConvertedSoundBytes(8000, 8000, 1, 44100, 4), 44101u * 4);
    EXPECT_GT(ConvertedSoundBytes(kMaxWholeDecodeFileBytes, 1, 1, 44100, 4), kMaxDecodedSoundBytes);
    EXPECT_EQ(ConvertedSoundBytes(100, 0, 1, 44100, 4), UINT64_MAX);
}

// Each of these plays the chime, and returns: a pipe or a device must not be read at all.
TEST_F(SoundDisk, MissingUnreadableOrHostileFilePlaysTheChime)
{
    std::ofstream(m_dir / "broken.wav") << "RIFF but not really a wave";
    ASSERT_EQ(mkfifo((m_dir / "pipe.wav").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", m_dir / "zero.wav");
    fs::create_directory(m_dir / "sub");
    WriteWave(m_dir / "sound.wav", Pattern(4, kRate / 5));
    WriteWave(m_dir / "sparse.wav", {}, 0x7FFFFF00u); // two gigabytes
    for (const char* name : {"missing.wav", "broken.wav", "pipe.wav", "zero.wav", "sub",
                             "sparse.wav", "sub/../sound.wav"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(SoundStartup()); // the device's output file starts empty each time
        EXPECT_TRUE(PlaySoundA((m_dir / name).c_str(), nullptr, SND_FILENAME));
        SoundShutdown();

        const auto samples = ReadSamples(m_output);
        const auto loud = std::ranges::count_if(samples, [](auto s) { return std::abs(s) > 1000; });
        EXPECT_GT(loud, kRate * kChannels * kDefaultChimeMs / 1000 / 10);
        EXPECT_GT(Power(samples, kDefaultChimeHz), 100 * Power(samples, kDefaultChimeHz * 1.5));
    }
}

// A long sound (sparse, under the cap) is streamed, and a stop from another thread ends it: the
// device gets far less than the whole sound.
TEST_F(SoundDisk, LongSoundStopsWhenAskedFromAnotherThread)
{
    const std::uint32_t sixtyMegabytes = 60u << 20;
    WriteWave(m_dir / "long.wav", Pattern(5, kRate / 10), sixtyMegabytes);
    ASSERT_TRUE(SoundStartup());
    auto played = std::async(std::launch::async, [&] {
        return PlaySoundA((m_dir / "long.wav").c_str(), nullptr, SND_FILENAME);
    });
    // A stop sent before the play has begun finds nothing to stop, so it is repeated.
    while (played.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        PlaySoundA(nullptr, nullptr, 0);
    EXPECT_TRUE(played.get());
    SoundShutdown();
    EXPECT_LT(fs::file_size(m_output), sixtyMegabytes / 4);
}

// Without a device nothing plays and the call returns; reopening it backs off from a quarter
// of a second to a second, and stays there.
TEST(Sound, NoDeviceOrNoPathPlaysNothingAndReopeningBacksOff)
{
    const unsigned rows[][2] = {{0, 0},    {1, 250},   {2, 500},        {3, 1000},
                                {4, 1000}, {40, 1000}, {UINT_MAX, 1000}};
    for (const auto& [failedOpens, delayMs] : rows)
        EXPECT_EQ(SoundReopenDelayMs(failedOpens), delayMs) << failedOpens << " failed";

    EXPECT_FALSE(PlaySoundA("", nullptr, SND_FILENAME));

    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_FALSE(SoundStartup());
    EXPECT_FALSE(PlaySoundA("/nonexistent/x.wav", nullptr, SND_FILENAME));
    SoundShutdown();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}
