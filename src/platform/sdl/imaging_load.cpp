// The loading half of the imaging stand-in. A picture is accepted from its header alone: the
// size is read from the few bytes that carry it and the file's structure is checked as far as
// that costs a handful of reads, so a folder of large photos loads in milliseconds. Formats
// sized here: PNG, JPEG, GIF, BMP, WebP, TIFF, QOI; anything else does not load.
#include "platform/sdl/imaging_internal.h"

#include <SDL_image.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
struct Size {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
};

// Reads through pread so header checks can jump around the file without a stream.
class HeaderFile {
public:
    explicit HeaderFile(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}
    std::uint64_t size() const { return m_size; }

    bool Read(std::uint64_t offset, void* out, std::size_t n) const
    {
        if (offset > m_size || n > m_size - offset)
            return false;
        auto* p = static_cast<unsigned char*>(out);
        while (n > 0) {
            const ssize_t got = pread(m_fd, p, n, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            p += got;
            n -= static_cast<std::size_t>(got);
            offset += static_cast<std::uint64_t>(got);
        }
        return true;
    }

private:
    int m_fd;
    std::uint64_t m_size;
};

std::uint32_t Be16(const unsigned char* p)
{
    return (std::uint32_t{p[0]} << 8) | p[1];
}
std::uint32_t Be32(const unsigned char* p)
{
    return (Be16(p) << 16) | Be16(p + 2);
}
std::uint32_t Le16(const unsigned char* p)
{
    return (std::uint32_t{p[1]} << 8) | p[0];
}
std::uint32_t Le24(const unsigned char* p)
{
    return (std::uint32_t{p[2]} << 16) | Le16(p);
}
std::uint32_t Le32(const unsigned char* p)
{
    return (Le16(p + 2) << 16) | Le16(p);
}

std::optional<Size> PngSize(const HeaderFile& f)
{
    unsigned char h[24];
    if (!f.Read(0, h, sizeof h) || std::memcmp(h + 12, "IHDR", 4) != 0 || Be32(h + 8) != 13)
        return std::nullopt;
    const Size size{Be32(h + 16), Be32(h + 20)};
    // Walking the chunk headers up to the first image data catches a file cut off early.
    std::uint64_t pos = 8;
    for (;;) {
        unsigned char c[8];
        if (!f.Read(pos, c, sizeof c))
            return std::nullopt;
        if (std::memcmp(c + 4, "IDAT", 4) == 0)
            return size;
        if (std::memcmp(c + 4, "IEND", 4) == 0)
            return std::nullopt;
        pos += 12 + std::uint64_t{Be32(c)};
    }
}

std::optional<Size> JpegSize(const HeaderFile& f)
{
    std::optional<Size> size;
    std::uint64_t pos = 2;
    // Real headers hold a few dozen segments; the bound keeps a file of fill bytes from
    // costing one read per byte.
    for (int step = 0; step < 4096; ++step) {
        unsigned char m[2];
        if (!f.Read(pos, m, sizeof m) || m[0] != 0xFF)
            return std::nullopt;
        if (m[1] == 0xFF) { // fill byte before a marker
            ++pos;
            continue;
        }
        pos += 2;
        const unsigned char marker = m[1];
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // markers without a segment
        if (marker == 0xD9)
            return std::nullopt; // end of image before any scan
        unsigned char seg[7];
        if (!f.Read(pos, seg, 2))
            return std::nullopt;
        const std::uint32_t length = Be16(seg);
        if (length < 2)
            return std::nullopt;
        if (marker == 0xDA) // first scan: the header is complete
            return size;
        const bool isFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (isFrame) {
            if (length < 8 || !f.Read(pos, seg, sizeof seg))
                return std::nullopt;
            size = Size{Be16(seg + 5), Be16(seg + 3)};
        }
        pos += length;
    }
    return std::nullopt;
}

std::optional<Size> GifSize(const HeaderFile& f)
{
    // The decoder delivers the first frame at its own size, which can differ from the logical
    // screen; that frame is found within the first few kilobytes of any ordinary GIF.
    std::array<unsigned char, 8192> buf{};
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), f.size()));
    if (n < 13 || !f.Read(0, buf.data(), n))
        return std::nullopt;
    const Size screen{Le16(&buf[6]), Le16(&buf[8])};
    std::size_t pos = 13;
    if (buf[10] & 0x80)
        pos += 3u * (2u << (buf[10] & 7));
    while (pos < n) {
        if (buf[pos] == 0x2C) {
            if (pos + 9 > n)
                break;
            return Size{Le16(&buf[pos + 5]), Le16(&buf[pos + 7])};
        }
        if (buf[pos] != 0x21)
            return std::nullopt; // a trailer or garbage before any frame
        pos += 2;
        while (pos < n && buf[pos] != 0)
            pos += 1u + buf[pos];
        ++pos;
    }
    // Ran past the bytes read: a whole file without a frame is not a picture; a long run of
    // extensions in a larger file leaves the logical screen as the best size known.
    if (n == f.size())
        return std::nullopt;
    return screen;
}

std::optional<Size> BmpSize(const HeaderFile& f)
{
    unsigned char h[34];
    if (!f.Read(0, h, 26))
        return std::nullopt;
    const std::uint32_t offBits = Le32(h + 10);
    const std::uint32_t dibSize = Le32(h + 14);
    if (dibSize == 12)
        return Size{Le16(h + 18), Le16(h + 20)};
    if (dibSize < 40 || !f.Read(0, h, sizeof h))
        return std::nullopt;
    const auto width = static_cast<std::int32_t>(Le32(h + 18));
    const auto height = static_cast<std::int32_t>(Le32(h + 22));
    const std::uint32_t bpp = Le16(h + 28);
    const std::uint32_t compression = Le32(h + 30);
    if (width <= 0 || height == 0)
        return std::nullopt;
    const std::uint64_t rows = height < 0 ? -std::int64_t{height} : std::int64_t{height};
    const Size size{static_cast<std::uint64_t>(width), rows};
    if (size.width * size.height > kMaxPicturePixels)
        return std::nullopt;
    // Uncompressed pixel rows have a known extent, so a cut-off file is refused here.
    if (compression == 0 || compression == 3) {
        const std::uint64_t stride = (size.width * bpp + 31) / 32 * 4;
        if (bpp == 0 || std::uint64_t{offBits} + stride * rows > f.size())
            return std::nullopt;
    }
    return size;
}

std::optional<Size> WebpSize(const HeaderFile& f)
{
    unsigned char h[30];
    if (!f.Read(0, h, sizeof h) || std::uint64_t{Le32(h + 4)} + 8 > f.size())
        return std::nullopt;
    if (std::memcmp(h + 12, "VP8 ", 4) == 0) {
        if (h[23] != 0x9D || h[24] != 0x01 || h[25] != 0x2A)
            return std::nullopt;
        return Size{Le16(h + 26) & 0x3FFFu, Le16(h + 28) & 0x3FFFu};
    }
    if (std::memcmp(h + 12, "VP8L", 4) == 0) {
        if (h[20] != 0x2F)
            return std::nullopt;
        const std::uint32_t bits = Le32(h + 21);
        return Size{(bits & 0x3FFFu) + 1, ((bits >> 14) & 0x3FFFu) + 1};
    }
    if (std::memcmp(h + 12, "VP8X", 4) == 0)
        return Size{Le24(h + 24) + 1u, Le24(h + 27) + 1u};
    return std::nullopt;
}

std::optional<Size> TiffSize(const HeaderFile& f)
{
    unsigned char h[8];
    if (!f.Read(0, h, sizeof h))
        return std::nullopt;
    const bool le = h[0] == 'I';
    auto u16 = [le](const unsigned char* p) { return le ? Le16(p) : Be16(p); };
    auto u32 = [le](const unsigned char* p) { return le ? Le32(p) : Be32(p); };
    const std::uint32_t ifd = u32(h + 4);
    unsigned char cnt[2];
    if (!f.Read(ifd, cnt, sizeof cnt))
        return std::nullopt;
    const std::uint32_t count = u16(cnt);
    Size size;
    for (std::uint32_t i = 0; i < count; ++i) {
        unsigned char e[12];
        if (!f.Read(std::uint64_t{ifd} + 2 + 12ull * i, e, sizeof e))
            return std::nullopt;
        const std::uint32_t tag = u16(e);
        const std::uint32_t type = u16(e + 2);
        if (tag != 256 && tag != 257)
            continue;
        const std::uint32_t value = type == 3 ? u16(e + 8) : type == 4 ? u32(e + 8) : 0;
        (tag == 256 ? size.width : size.height) = value;
        if (size.width && size.height)
            return size;
    }
    return std::nullopt;
}

std::optional<Size> QoiSize(const HeaderFile& f)
{
    unsigned char h[14];
    if (!f.Read(0, h, sizeof h))
        return std::nullopt;
    return Size{Be32(h + 4), Be32(h + 8)};
}

std::optional<Size> PictureSize(const HeaderFile& f)
{
    unsigned char magic[16]{};
    if (!f.Read(0, magic, std::min<std::uint64_t>(sizeof magic, f.size())))
        return std::nullopt;
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (std::memcmp(magic, kPng, 8) == 0)
        return PngSize(f);
    if (magic[0] == 0xFF && magic[1] == 0xD8)
        return JpegSize(f);
    if (std::memcmp(magic, "GIF87a", 6) == 0 || std::memcmp(magic, "GIF89a", 6) == 0)
        return GifSize(f);
    if (magic[0] == 'B' && magic[1] == 'M')
        return BmpSize(f);
    if (std::memcmp(magic, "RIFF", 4) == 0 && std::memcmp(magic + 8, "WEBP", 4) == 0)
        return WebpSize(f);
    if (std::memcmp(magic, "II*\0", 4) == 0 || std::memcmp(magic, "MM\0*", 4) == 0)
        return TiffSize(f);
    if (std::memcmp(magic, "qoif", 4) == 0)
        return QoiSize(f);
    return std::nullopt;
}

// The file's bytes from the wide path: each code unit carries one byte, the way the content
// loading widened it. A unit above 0xFF cannot have come from a byte path.
std::optional<std::string> NarrowPath(const WCHAR* filename)
{
    std::string path;
    for (const WCHAR* p = filename; *p; ++p) {
        if (*p > 0xFF)
            return std::nullopt;
        path += static_cast<char>(static_cast<unsigned char>(*p));
    }
    return path;
}
} // namespace

namespace Gdiplus {
Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput*, void*)
{
    // The decoders are loaded once here rather than on the first draw, so the first picture
    // does not pay for it while the child waits.
    IMG_Init(IMG_INIT_JPG | IMG_INIT_PNG | IMG_INIT_TIF | IMG_INIT_WEBP);
    if (token)
        *token = 1;
    return Ok;
}

void GdiplusShutdown(ULONG_PTR)
{
    IMG_Quit();
}

Image::Image(const WCHAR* filename)
{
    lastResult = GdipLoadImageFromFile(filename, &nativeImage);
}

Image::~Image()
{
    if (nativeImage)
        GdipDisposeImage(nativeImage);
}

Status Image::GetLastStatus()
{
    const Status s = lastResult;
    lastResult = Ok;
    return s;
}
} // namespace Gdiplus

GpStatus GdipLoadImageFromFile(const WCHAR* filename, GpImage** image)
{
    if (!image)
        return Gdiplus::InvalidParameter;
    *image = nullptr;
    if (!filename)
        return Gdiplus::InvalidParameter;
    const auto path = NarrowPath(filename);
    if (!path)
        return Gdiplus::InvalidParameter;

    // Non-blocking so a FIFO among the pictures cannot stall the loading.
    const int fd = open(path->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? Gdiplus::FileNotFound : Gdiplus::GenericError;
    struct stat st {};
    std::optional<Size> size;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        size = PictureSize(HeaderFile(fd, static_cast<std::uint64_t>(st.st_size)));
    close(fd);

    // Zero or absurd sizes are refused as not decoding: the later decode would allocate
    // width * height pixels whatever the file's own size.
    if (!size || size->width == 0 || size->height == 0 || size->width > 0x7FFFFFFF ||
        size->height > 0x7FFFFFFF || size->width * size->height > kMaxPicturePixels)
        return Gdiplus::UnknownImageFormat;

    auto* loaded = new GpImage;
    loaded->path = *path;
    loaded->width = static_cast<UINT>(size->width);
    loaded->height = static_cast<UINT>(size->height);
    *image = loaded;
    return Gdiplus::Ok;
}

GpStatus GdipDisposeImage(GpImage* image)
{
    if (!image)
        return Gdiplus::InvalidParameter;
    ImagingForget(image);
    delete image;
    return Gdiplus::Ok;
}

GpStatus GdipGetImageWidth(GpImage* image, UINT* width)
{
    if (!image || !width)
        return Gdiplus::InvalidParameter;
    *width = image->width;
    return Gdiplus::Ok;
}

GpStatus GdipGetImageHeight(GpImage* image, UINT* height)
{
    if (!image || !height)
        return Gdiplus::InvalidParameter;
    *height = image->height;
    return Gdiplus::Ok;
}
