#include "test_pictures.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace testpics {
namespace {
// 3 x 2 red pictures as a stock encoder writes them.
const char* const kJpeg =
    "ffd8ffe000104a46494600010100000100010000ffdb004300100b0c0e0c0a100e0d0e1211101318281a1816"
    "16183123251d283a333d3c3933383740485c4e404457453738506d51575f626768673e4d71797064785c6567"
    "63ffdb0043011112121815182f1a1a2f63423842636363636363636363636363636363636363636363636363"
    "6363636363636363636363636363636363636363636363636363ffc000110800020003030122000211010311"
    "01ffc4001500010100000000000000000000000000000005ffc4001410010000000000000000000000000000"
    "0000ffc4001501010100000000000000000000000000000506ffc40014110100000000000000000000000000"
    "000000ffda000c03010002110311003f008a00b5e3ffd9";
const char* const kGif =
    "47494638396103000200f00000ff000000000021f90400000000002c0000000003000200000202845f003b";
const char* const kWebpLossy =
    "524946463c000000574542505650382030000000d001009d012a0300020002003425a00274ba01f80003b000"
    "fef0c40bff20b96175c8d7ff203fe407fc80fff8f2000000";
const char* const kWebpLossless =
    "524946461c000000574542505650384c0f0000002f024000000710fd8ffe0722a2ff0100";
const char* const kWebpAlpha =
    "524946465e00000057454250565038580a00000010000000020000010000414c504807000000007f7f7f7f7f"
    "7f005650382030000000d001009d012a0300020002003425a00274ba01f80003b000fef0c40bff20b96175c8"
    "d7ff203fe407fc80fff8f2000000";
const char* const kTiffIntel =
    "49492a002c000000ffff00000000ffff00000000ffff00000000ffff00000000ffff00000000ffff00000000"
    "0f000001030001000000030000000101030001000000020000000201030003000000e6000000030103000100"
    "0000010000000601030001000000020000000a01030001000000010000001101040001000000080000001201"
    "0300010000000100000015010300010000000300000016010300010000000200000017010400010000002400"
    "00001c01030001000000010000002901030002000000000001003e010500020000001c0100003f0105000600"
    "0000ec0000000000000010001000100085eb510000008000c3f5a80000000002cdcc4c0000000001cdcc4c00"
    "00008000cdcc4c00000000028fc2f50000000010371aa000000000022b870a0000002000";
const char* const kTiffMotorola =
    "4d4d002a0000002cffff00000000ffff00000000ffff00000000ffff00000000ffff00000000ffff00000000"
    "000f0100000300000001000300000101000300000001000200000102000300000003000000e6010300030000"
    "000100010000010600030000000100020000010a000300000001000100000111000400000001000000080112"
    "0003000000010001000001150003000000010003000001160003000000010002000001170004000000010000"
    "0024011c00030000000100010000012900030000000200000001013e0005000000020000011c013f00050000"
    "0006000000ec000000000010001000100051eb850080000000a8f5c302000000004ccccd01000000004ccccd"
    "00800000004ccccd0200000000f5c28f1000000000a01a3702000000000a872b00200000";

std::string FromHex(const char* hex)
{
    std::string bytes;
    for (; hex[0] && hex[1]; hex += 2)
        bytes += static_cast<char>(std::stoi(std::string(hex, 2), nullptr, 16));
    return bytes;
}

void Put(std::string& s, std::uint32_t v, int bytes, bool bigEndian = false)
{
    for (int i = 0; i < bytes; ++i)
        s += static_cast<char>(v >> (8 * (bigEndian ? bytes - 1 - i : i)));
}

void Chunk(std::string& png, const char* type, const std::string& data)
{
    Put(png, static_cast<std::uint32_t>(data.size()), 4, true);
    const std::string body = type + data;
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : body) {
        crc ^= static_cast<unsigned char>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    png += body;
    Put(png, ~crc, 4, true);
}

std::string PngWith(std::uint32_t w, std::uint32_t h, const std::string& idat)
{
    std::string png("\x89PNG\r\n\x1A\n", 8), ihdr;
    Put(ihdr, w, 4, true);
    Put(ihdr, h, 4, true);
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
    std::string z("\x78\x01", 2); // zlib of stored blocks
    std::uint32_t a = 1, b = 0;
    for (std::size_t pos = 0; pos < raw.size() || pos == 0; pos += 65535) {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
        z += static_cast<char>(pos + n == raw.size());
        Put(z, static_cast<std::uint32_t>(n), 2);
        Put(z, static_cast<std::uint32_t>(~n), 2);
        z += raw.substr(pos, n);
    }
    for (const char c : raw) {
        a = (a + static_cast<unsigned char>(c)) % 65521;
        b = (b + a) % 65521;
    }
    Put(z, (b << 16) | a, 4, true);
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
    for (const std::uint32_t v : {54 + pixels, 0u, 54u, 40u, w, h})
        Put(bmp, v, 4);
    Put(bmp, 1, 2);  // planes
    Put(bmp, 24, 2); // bits per pixel
    for (const std::uint32_t v : {0u, pixels, 2835u, 2835u, 0u, 0u})
        Put(bmp, v, 4);
    std::string row;
    for (std::uint32_t x = 0; x < w; ++x)
        Put(row, rgb, 3); // blue, green, red
    row.resize(rowBytes, '\0');
    for (std::uint32_t y = 0; y < h; ++y)
        bmp += row;
    return bmp;
}

void PutInt(std::string& s, std::uint32_t v, int bytes, bool bigEndian)
{
    Put(s, v, bytes, bigEndian);
}

std::string Wav()
{
    return FromHex("524946462c00000057415645666d74201000000001000100401f0000401f0000010008006461"
                   "746108000000") +
           std::string(8, '\x80');
}

std::vector<Sample> Samples()
{
    return {
        {"rgb.png", Png(5, 4), 5, 4},
        {"rgb.bmp", Bmp(7, 3), 7, 3},
        {"red.jpg", FromHex(kJpeg), 3, 2},
        {"red.gif", FromHex(kGif), 3, 2},
        {"lossy.webp", FromHex(kWebpLossy), 3, 2},
        {"lossless.webp", FromHex(kWebpLossless), 3, 2},
        {"alpha.webp", FromHex(kWebpAlpha), 3, 2},
        {"intel.tiff", FromHex(kTiffIntel), 3, 2},
        {"motorola.tiff", FromHex(kTiffMotorola), 3, 2},
    };
}

std::string SampleBytes(const char* name)
{
    for (const auto& s : Samples())
        if (std::string(s.name) == name)
            return s.bytes;
    throw std::invalid_argument(name);
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        throw std::runtime_error("cannot write " + path.string());
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
