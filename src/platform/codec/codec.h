#pragma once
// Picture files to pixels, with no windowing library: every format is sized and decoded by the
// same library (libpng, libjpeg-turbo, giflib, libwebp, libtiff, libheif), QOI and BMP by small
// bounded readers of our own. Every file is hostile: a size is refused before anything is
// allocated for it, and a decoder fills rows into a reducer whose memory is bounded by its
// output, not by the picture.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace codec {
// The most pixels any one frame of any format may claim, and the longest side. A side longer
// than this is no picture a child could see (a 100,000,000 x 1 line), and it would make every
// decoder's row buffer huge.
constexpr std::uint64_t kMaxPixels = 100'000'000;
constexpr std::uint32_t kMaxSide = 65535;
// Decoders that need a whole frame in memory (interlaced PNG and GIF, progressive JPEG, RLE
// BMP, HEIF) also need at least one byte of file per this many pixels: no real picture is
// compressed further, and it stops a tiny file from claiming a frame of hundreds of megabytes.
constexpr std::uint64_t kMaxPixelsPerFileByte = 4096;

bool WithinBudget(std::uint64_t width, std::uint64_t height);
// WithinBudget and the file-size rule above, for decoders that hold a whole frame.
bool WholeFrameAllowed(std::uint64_t width, std::uint64_t height, std::uint64_t fileSize);

// Random access to a file's bytes. Read fails past the end.
class Source {
public:
    virtual ~Source() = default;
    virtual std::uint64_t Size() const = 0;
    virtual bool Read(std::uint64_t offset, void* out, std::size_t n) const = 0;
};

class MemorySource : public Source {
public:
    MemorySource(const void* data, std::size_t size)
        : m_data(static_cast<const unsigned char*>(data)), m_size(size)
    {
    }
    std::uint64_t Size() const override { return m_size; }
    bool Read(std::uint64_t offset, void* out, std::size_t n) const override;
    const unsigned char* data() const { return m_data; }

private:
    const unsigned char* m_data;
    std::size_t m_size;
};

// A regular file, read with pread; Open refuses anything else (a FIFO would block).
class FileSource : public Source {
public:
    static std::unique_ptr<FileSource> Open(const std::string& path);
    ~FileSource() override;
    std::uint64_t Size() const override { return m_size; }
    bool Read(std::uint64_t offset, void* out, std::size_t n) const override;

private:
    FileSource(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}
    int m_fd;
    std::uint64_t m_size;
};

// The size a picture is shown at: EXIF orientation already applied, so a photo taken with
// the phone on its side is as tall as it looks.
struct Size {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Sized from the file's header (and, for GIF, every frame's descriptor); nullopt when the
// format is unknown, the header is damaged or the size is outside the budget.
std::optional<Size> SizeOf(const Source& file);

// What a file's first bytes say it is ("PNG", "JPEG", ...; empty for no format read here) and
// the size its header stores before the budget is applied (nullopt when the header does not
// read): what the parents' content check tells a refused picture by.
struct FileHeader {
    std::string format;
    std::optional<Size> stored;
};
FileHeader ReadFileHeader(const Source& file);

// Premultiplied ARGB, one word per pixel (0xAARRGGBB), rows top to bottom without padding.
struct Picture {
    int width = 0;
    int height = 0;
    bool opaque = true;
    std::vector<std::uint32_t> pixels;
};

// Decodes the picture, reduced by area averaging when it is larger than fitW x fitH (keeping
// its aspect ratio), and turned upright. False when it does not decode, and when no pixel of it
// would show (wholly transparent).
bool Decode(const Source& file, int fitW, int fitH, Picture* out);

// Decode's verdict at the cheapest full pass each library allows: every byte of picture data is
// read and checked, but no picture is made (JPEG at 1/8 of its size, rows of the other formats
// decoded and thrown away; only a format that cannot decode without its whole frame, such as
// interlaced PNG or progressive JPEG, holds one). Fills the size it is shown at when it decodes.
bool Check(const Source& file, Size* size);
} // namespace codec
