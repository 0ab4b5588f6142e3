#pragma once
// Real small pictures and wave files written without an image library (PNG with stored deflate
// blocks by zlib, plain BMP), the sample pictures of every format, and a temporary folder.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testpics {
std::string Png(std::uint32_t w, std::uint32_t h);
// A PNG header claiming w x h, then `payload` bytes of image data: cheap however large the claim.
std::string PngClaiming(std::uint32_t w, std::uint32_t h, std::size_t payload);
std::string Bmp(std::uint32_t w, std::uint32_t h, std::uint32_t rgb = 0x606060); // one colour
std::string Wav();
// Appends v as `bytes` bytes.
void PutInt(std::string& s, std::uint32_t v, int bytes, bool bigEndian = false);

struct Sample {
    const char* name;
    std::string bytes;
    unsigned width;
    unsigned height;
};
// One picture of every format the codec reads, both TIFF byte orders, all three WebP kinds, a
// baseline, a progressive and a sideways (EXIF orientation 6) JPEG of a left half red and a right
// half blue, at their sizes as shown. They are the picture fuzzers' committed seeds, read from
// tests/fuzz/corpus/fuzz_picture_decode (where tests/fuzz/corpus/README says how they were made).
std::vector<Sample> Samples();
std::string SampleBytes(const char* name);

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path); // empty when it cannot be read

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::string dir() const { return m_path.string() + "/"; } // ends in '/'

private:
    std::filesystem::path m_path;
};
} // namespace testpics
