// Sources, the budget, the dispatch by the file's first bytes, and the reducer every format
// decodes into.
#include "platform/codec/codec_internal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace codec {
using namespace detail;

bool WithinBudget(std::uint64_t width, std::uint64_t height)
{
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           width * height <= kMaxPixels;
}

bool WholeFrameAllowed(std::uint64_t width, std::uint64_t height, std::uint64_t fileSize)
{
    return WithinBudget(width, height) && width * height <= fileSize * kMaxPixelsPerFileByte;
}

bool MemorySource::Read(std::uint64_t offset, void* out, std::size_t n) const
{
    if (offset > m_size || n > m_size - offset)
        return false;
    if (n)
        std::memcpy(out, m_data + offset, n);
    return true;
}

std::unique_ptr<FileSource> FileSource::Open(const std::string& path)
{
    // Non-blocking so a FIFO among the pictures cannot stall the opening.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileSource>(new FileSource(fd, static_cast<std::uint64_t>(st.st_size)));
}

FileSource::~FileSource()
{
    close(m_fd);
}

bool FileSource::Read(std::uint64_t offset, void* out, std::size_t n) const
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

namespace detail {
bool ReadAll(const Source& f, std::vector<unsigned char>* out, std::uint64_t limit)
{
    if (f.Size() > limit)
        return false;
    out->resize(static_cast<std::size_t>(f.Size()));
    return f.Read(0, out->data(), out->size());
}

int ExifOrientation(const unsigned char* t, std::size_t n)
{
    if (n < 8)
        return 1;
    const bool le = t[0] == 'I' && t[1] == 'I';
    if (!le && !(t[0] == 'M' && t[1] == 'M'))
        return 1;
    auto u16 = [&](std::size_t at) { return le ? Le16(t + at) : Be16(t + at); };
    auto u32 = [&](std::size_t at) { return le ? Le32(t + at) : Be32(t + at); };
    const std::uint64_t ifd = u32(4);
    if (ifd + 2 > n)
        return 1;
    const std::uint32_t count = u16(static_cast<std::size_t>(ifd));
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t e = ifd + 2 + 12ull * i;
        if (e + 12 > n)
            return 1;
        if (u16(static_cast<std::size_t>(e)) == 0x0112 &&
            u16(static_cast<std::size_t>(e + 2)) == 3) {
            const std::uint32_t v = u16(static_cast<std::size_t>(e + 8));
            return v >= 1 && v <= 8 ? static_cast<int>(v) : 1;
        }
    }
    return 1;
}

bool Reducer::Begin(const RawSize& size, bool bottomUp, bool premultiplied)
{
    if (!WithinBudget(size.width, size.height) || m_fitW <= 0 || m_fitH <= 0)
        return false;
    m_w = size.width;
    m_h = size.height;
    m_orientation = size.orientation >= 1 && size.orientation <= 8 ? size.orientation : 1;
    m_bottomUp = bottomUp;
    m_premultiplied = premultiplied;
    m_pushed = 0;
    m_visible = false;
    if (m_checkOnly) {
        m_tw = m_th = 1;
        m_row.assign(m_w, 0);
        return true;
    }
    const bool turned = m_orientation >= 5;
    const double ow = turned ? m_h : m_w, oh = turned ? m_w : m_h;
    const double scale = std::min(m_fitW / ow, m_fitH / oh);
    int outW = static_cast<int>(ow), outH = static_cast<int>(oh);
    if (scale < 1.0) {
        outW = std::max(1, static_cast<int>(ow * scale + 0.5));
        outH = std::max(1, static_cast<int>(oh * scale + 0.5));
    }
    m_tw = std::min<int>(turned ? outH : outW, static_cast<int>(m_w));
    m_th = std::min<int>(turned ? outW : outH, static_cast<int>(m_h));
    m_row.assign(m_w, 0);
    m_out.assign(static_cast<std::size_t>(m_tw) * m_th, 0);
    m_line.assign(static_cast<std::size_t>(m_tw) * 4, 0);
    m_acc[0].assign(m_line.size(), 0);
    m_acc[1].assign(m_line.size(), 0);
    m_accRow = 0;
    m_opaque = true;
    return true;
}

void Reducer::PushRow(const std::uint32_t* row)
{
    if (static_cast<std::uint32_t>(m_pushed) >= m_h)
        return;
    if (m_checkOnly) {
        for (std::uint32_t x = 0; !m_visible && x < m_w; ++x)
            m_visible = (row[x] >> 24) != 0;
        ++m_pushed;
        return;
    }
    // Across: output column x covers source [x*w, (x+1)*w) in units of 1/tw source pixels.
    const std::uint64_t w = m_w, tw = static_cast<std::uint64_t>(m_tw);
    std::uint64_t* line = m_line.data();
    for (std::uint64_t x = 0; x < tw; ++x) {
        const std::uint64_t a = x * w, b = a + w;
        std::uint64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        for (std::uint64_t s = a / tw; s * tw < b; ++s) {
            const std::uint64_t wt = std::min(b, (s + 1) * tw) - std::max(a, s * tw);
            std::uint32_t p = row[s];
            const std::uint32_t alpha = p >> 24;
            if (alpha != 255) {
                m_opaque = false;
                if (!m_premultiplied) {
                    const std::uint32_t rb = (((p & 0xFF00FF) * alpha + 0x800080) >> 8) & 0xFF00FF;
                    const std::uint32_t g = (((p & 0x00FF00) * alpha + 0x008000) >> 8) & 0x00FF00;
                    p = alpha << 24 | rb | g;
                }
            }
            s0 += (p & 0xFF) * wt;
            s1 += (p >> 8 & 0xFF) * wt;
            s2 += (p >> 16 & 0xFF) * wt;
            s3 += alpha * wt;
        }
        line[x * 4] = s0;
        line[x * 4 + 1] = s1;
        line[x * 4 + 2] = s2;
        line[x * 4 + 3] = s3;
    }
    // Down: source row i covers [i*th, (i+1)*th) and so touches at most two output rows.
    const std::uint64_t h = m_h, th = static_cast<std::uint64_t>(m_th),
                        i = static_cast<std::uint64_t>(m_pushed);
    const std::uint64_t top = i * th, bottom = top + th;
    const auto k0 = static_cast<int>(top / h), k1 = static_cast<int>((bottom - 1) / h);
    while (k0 > m_accRow) {
        EmitRow(m_accRow);
        std::swap(m_acc[0], m_acc[1]);
        std::fill(m_acc[1].begin(), m_acc[1].end(), 0);
        ++m_accRow;
    }
    const std::uint64_t w0 = std::min(bottom, (static_cast<std::uint64_t>(k0) + 1) * h) - top;
    for (std::size_t j = 0; j < m_line.size(); ++j)
        m_acc[0][j] += line[j] * w0;
    if (k1 != k0) {
        const std::uint64_t w1 = bottom - static_cast<std::uint64_t>(k1) * h;
        for (std::size_t j = 0; j < m_line.size(); ++j)
            m_acc[1][j] += line[j] * w1;
    }
    ++m_pushed;
}

void Reducer::EmitRow(int outY)
{
    if (outY < 0 || outY >= m_th)
        return;
    const std::uint64_t total = std::uint64_t{m_w} * m_h;
    const int y = m_bottomUp ? m_th - 1 - outY : outY;
    std::uint32_t* out = &m_out[static_cast<std::size_t>(y) * m_tw];
    const std::uint64_t* acc = m_acc[0].data();
    for (int x = 0; x < m_tw; ++x) {
        std::uint32_t c[4];
        for (int k = 0; k < 4; ++k)
            c[k] = static_cast<std::uint32_t>(
                std::min<std::uint64_t>((acc[x * 4 + k] + total / 2) / total, 255));
        out[x] = c[3] << 24 | c[2] << 16 | c[1] << 8 | c[0];
    }
}

bool Reducer::Finish(Picture* out)
{
    if (m_tw <= 0 || static_cast<std::uint32_t>(m_pushed) != m_h)
        return false;
    if (m_checkOnly) {
        out->width = out->height = 1;
        out->pixels.assign(1, m_visible ? 0xFF000000u : 0u);
        return true;
    }
    for (; m_accRow < m_th; ++m_accRow) {
        EmitRow(m_accRow);
        std::swap(m_acc[0], m_acc[1]);
        std::fill(m_acc[1].begin(), m_acc[1].end(), 0);
    }
    const int W = m_tw, H = m_th, o = m_orientation;
    out->opaque = m_opaque;
    if (o == 1) {
        out->width = W;
        out->height = H;
        out->pixels = std::move(m_out);
        return true;
    }
    const bool turned = o >= 5;
    out->width = turned ? H : W;
    out->height = turned ? W : H;
    out->pixels.assign(m_out.size(), 0);
    for (int y = 0; y < out->height; ++y) {
        for (int x = 0; x < out->width; ++x) {
            int sx = x, sy = y;
            switch (o) {
            case 2:
                sx = W - 1 - x;
                break;
            case 3:
                sx = W - 1 - x;
                sy = H - 1 - y;
                break;
            case 4:
                sy = H - 1 - y;
                break;
            case 5:
                sx = y;
                sy = x;
                break;
            case 6:
                sx = y;
                sy = H - 1 - x;
                break;
            case 7:
                sx = W - 1 - y;
                sy = H - 1 - x;
                break;
            case 8:
                sx = W - 1 - y;
                sy = x;
                break;
            default:
                break;
            }
            out->pixels[static_cast<std::size_t>(y) * out->width + x] =
                m_out[static_cast<std::size_t>(sy) * W + sx];
        }
    }
    return true;
}
} // namespace detail

namespace {
enum class Format { Unknown, Png, Jpeg, Gif, Bmp, Webp, Tiff, Qoi, Heif };

Format Sniff(const Source& f)
{
    unsigned char m[16]{};
    if (!f.Read(0, m, static_cast<std::size_t>(std::min<std::uint64_t>(sizeof m, f.Size()))))
        return Format::Unknown;
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (std::memcmp(m, kPng, 8) == 0)
        return Format::Png;
    if (m[0] == 0xFF && m[1] == 0xD8 && m[2] == 0xFF)
        return Format::Jpeg;
    if (std::memcmp(m, "GIF87a", 6) == 0 || std::memcmp(m, "GIF89a", 6) == 0)
        return Format::Gif;
    if (m[0] == 'B' && m[1] == 'M')
        return Format::Bmp;
    if (std::memcmp(m, "RIFF", 4) == 0 && std::memcmp(m + 8, "WEBP", 4) == 0)
        return Format::Webp;
    if (std::memcmp(m, "II*\0", 4) == 0 || std::memcmp(m, "MM\0*", 4) == 0)
        return Format::Tiff;
    if (std::memcmp(m, "qoif", 4) == 0)
        return Format::Qoi;
    if (std::memcmp(m + 4, "ftyp", 4) == 0) {
        for (const char* brand :
             {"heic", "heix", "hevc", "heim", "heis", "mif1", "msf1", "avif", "avis"})
            if (std::memcmp(m + 8, brand, 4) == 0)
                return Format::Heif;
    }
    return Format::Unknown;
}

std::optional<RawSize> RawSizeOf(Format format, const Source& f)
{
    switch (format) {
    case Format::Png:
        return PngSize(f);
    case Format::Jpeg:
        return JpegSize(f);
    case Format::Gif:
        return GifSize(f);
    case Format::Bmp:
        return BmpSize(f);
    case Format::Webp:
        return WebpSize(f);
    case Format::Tiff:
        return TiffSize(f);
    case Format::Qoi:
        return QoiSize(f);
    case Format::Heif:
        return HeifSize(f);
    case Format::Unknown:
        break;
    }
    return std::nullopt;
}
} // namespace

std::optional<Size> SizeOf(const Source& file)
{
    const auto raw = RawSizeOf(Sniff(file), file);
    if (!raw || !WithinBudget(raw->width, raw->height))
        return std::nullopt;
    if (raw->orientation >= 5)
        return Size{raw->height, raw->width};
    return Size{raw->width, raw->height};
}

FileHeader ReadFileHeader(const Source& file)
{
    static const char* const kNames[] = {"",     "PNG",  "JPEG", "GIF", "BMP",
                                         "WebP", "TIFF", "QOI",  "HEIF"};
    const Format format = Sniff(file);
    FileHeader header{kNames[static_cast<int>(format)], std::nullopt};
    if (const auto raw = RawSizeOf(format, file))
        header.stored = Size{raw->width, raw->height};
    return header;
}

namespace {
bool DecodeInto(const Source& file, Reducer& r, int fitW, int fitH, Picture* out)
{
    bool ok = false;
    switch (Sniff(file)) {
    case Format::Png:
        ok = PngDecode(file, r);
        break;
    case Format::Jpeg:
        ok = JpegDecode(file, r, fitW, fitH);
        break;
    case Format::Gif:
        ok = GifDecode(file, r);
        break;
    case Format::Bmp:
        ok = BmpDecode(file, r);
        break;
    case Format::Webp:
        ok = WebpDecode(file, r, fitW, fitH);
        break;
    case Format::Tiff:
        ok = TiffDecode(file, r);
        break;
    case Format::Qoi:
        ok = QoiDecode(file, r);
        break;
    case Format::Heif:
        ok = HeifDecode(file, r);
        break;
    case Format::Unknown:
        break;
    }
    if (!ok || !r.Finish(out))
        return false;
    // A picture with no visible pixel (damaged run-length data, say) would be an empty scene.
    return std::any_of(out->pixels.begin(), out->pixels.end(),
                       [](std::uint32_t p) { return (p >> 24) != 0; });
}
} // namespace

bool Decode(const Source& file, int fitW, int fitH, Picture* out)
{
    Reducer r(fitW, fitH);
    return DecodeInto(file, r, fitW, fitH, out);
}

bool Check(const Source& file, Size* size)
{
    // A box of one pixel makes JPEG and WebP decode at their smallest scale.
    Reducer r = Reducer::CheckOnly();
    Picture one;
    const auto shown = SizeOf(file);
    if (!shown || !DecodeInto(file, r, 1, 1, &one))
        return false;
    *size = *shown;
    return true;
}
} // namespace codec
