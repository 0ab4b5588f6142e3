#include "test_pictures.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <zlib.h>

namespace testpics {
void PutInt(std::string& s, std::uint32_t v, int bytes, bool bigEndian)
{
    for (int i = 0; i < bytes; ++i)
        s += static_cast<char>(v >> (8 * (bigEndian ? bytes - 1 - i : i)));
}

namespace {

void Chunk(std::string& png, const char* type, const std::string& data)
{
    PutInt(png, static_cast<std::uint32_t>(data.size()), 4, true);
    const std::string body = type + data;
    png += body;
    PutInt(png, crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size()), 4, true);
}

std::string PngWith(std::uint32_t w, std::uint32_t h, const std::string& idat)
{
    std::string png("\x89PNG\r\n\x1A\n", 8), ihdr;
    PutInt(ihdr, w, 4, true);
    PutInt(ihdr, h, 4, true);
    Chunk(png, "IHDR", ihdr + std::string("\x08\x02\0\0\0", 5)); // 8-bit RGB
    Chunk(png, "IDAT", idat);
    Chunk(png, "IEND", "");
    return png;
}
} // namespace

std::string Png(std::uint32_t w, std::uint32_t h)
{
    std::string raw;
    for (std::uint32_t y = 0; y < h; ++y) {
        raw += '\0'; // no filter
        for (std::uint32_t x = 0; x < w * 3; ++x)
            raw += static_cast<char>(x * 20 + y * 40);
    }
    // Stored, not compressed: the decoder reads every byte of every row.
    uLongf size = compressBound(raw.size());
    std::string z(size, '\0');
    compress2(reinterpret_cast<Bytef*>(z.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
              raw.size(), Z_NO_COMPRESSION);
    z.resize(size);
    return PngWith(w, h, z);
}

std::string PngClaiming(std::uint32_t w, std::uint32_t h, std::size_t payload)
{
    return PngWith(w, h, "\x78\x01" + std::string(payload, '\0'));
}

std::string Bmp(std::uint32_t w, std::uint32_t h, std::uint32_t rgb)
{
    const std::uint32_t rowBytes = (w * 3 + 3) / 4 * 4, pixels = rowBytes * h;
    std::string bmp = "BM";
    // One plane of 24 bits per pixel, uncompressed.
    for (const std::uint32_t v :
         {54 + pixels, 0u, 54u, 40u, w, h, 1u | 24u << 16, 0u, pixels, 2835u, 2835u, 0u, 0u})
        PutInt(bmp, v, 4);
    std::string row;
    for (std::uint32_t x = 0; x < w; ++x)
        PutInt(row, rgb, 3); // blue, green, red
    row.resize(rowBytes, '\0');
    for (std::uint32_t y = 0; y < h; ++y)
        bmp += row;
    return bmp;
}

std::string Wav()
{
    // 8 kHz mono 8-bit PCM, eight samples of silence.
    return std::string(
        "RIFF,\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1F\0\0\x40\x1F\0\0\x01\0\x08\0"
        "data\x08\0\0\0\x80\x80\x80\x80\x80\x80\x80\x80",
        52);
}

std::vector<Sample> Samples()
{
    std::vector<Sample> samples = {
        {"rgb.png", {}, 5, 4},       {"big.png", {}, 90, 70},         {"rgb.bmp", {}, 7, 3},
        {"big.bmp", {}, 33, 17},     {"runs.bmp", {}, 4, 2},          {"red.jpg", {}, 3, 2},
        {"photo.jpg", {}, 64, 48},   {"progressive.jpg", {}, 64, 48}, {"sideways.jpg", {}, 48, 64},
        {"restart.jpg", {}, 64, 48}, {"red.gif", {}, 3, 2},           {"interlaced.gif", {}, 3, 2},
        {"lossy.webp", {}, 3, 2},    {"lossless.webp", {}, 3, 2},     {"alpha.webp", {}, 3, 2},
        {"intel.tiff", {}, 3, 2},    {"motorola.tiff", {}, 3, 2},     {"tiny.qoi", {}, 70, 9},
        {"phone.heic", {}, 64, 48},  {"phone.avif", {}, 64, 48},
    };
    for (Sample& s : samples)
        s.bytes = SampleBytes(s.name);
    return samples;
}

std::string SampleBytes(const char* name)
{
    // Beside this file's folder (the build names sources by their full path).
    const auto dir = std::filesystem::path(__FILE__).parent_path().parent_path();
    const auto path = dir / "fuzz" / "corpus" / "fuzz_picture_decode" / name;
    if (!std::filesystem::is_regular_file(path))
        throw std::invalid_argument(name);
    return ReadFile(path);
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TempDir::TempDir()
{
    std::string templ = (std::filesystem::temp_directory_path() / "tappy-test-XXXXXX").string();
    if (!mkdtemp(templ.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = templ;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}
} // namespace testpics
