#pragma once
// Small real pictures and wave files, and a temporary folder for the loading tests. The bytes are
// written by hand (PNG with stored deflate blocks, uncompressed BMP) or embedded from tiny encoder
// output, so the tests need no image library of their own.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testpics {
// A complete PNG of w x h RGB pixels.
std::string Png(std::uint32_t w, std::uint32_t h);
// A PNG whose header claims w x h, followed by payload bytes of image data: cheap to write,
// however large the claim.
std::string PngClaiming(std::uint32_t w, std::uint32_t h, std::size_t payload);
// A complete 24-bit uncompressed BMP.
std::string Bmp(std::uint32_t w, std::uint32_t h);

// A complete mono 8-bit wave file of a few samples.
std::string Wav();

struct Sample {
    const char* name; // file name with the usual extension
    std::string bytes;
    unsigned width;
    unsigned height;
};
// One small picture of each format the loader sizes from its header, in both TIFF byte orders
// and the three WebP flavours.
std::vector<Sample> Samples();

void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// A fresh folder under the system's temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    // The folder as a byte string ending in '/'.
    std::string dir() const { return m_path.string() + "/"; }

private:
    std::filesystem::path m_path;
};
} // namespace testpics
