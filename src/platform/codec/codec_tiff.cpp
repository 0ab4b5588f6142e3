// TIFF through libtiff, read a band of rows at a time through its RGBA interface, with the
// library's own cap on any one allocation and its messages kept to itself.
#include "platform/codec/codec_internal.h"

#include <algorithm>
#include <tiffio.h>

namespace codec::detail {
namespace {
constexpr tmsize_t kMaxSingleAlloc = 256 << 20;
constexpr std::uint64_t kBandPixels = 1u << 20;

struct Stream {
    const Source* src;
    std::uint64_t pos;
};

tmsize_t ReadProc(thandle_t h, void* out, tmsize_t n)
{
    auto* s = static_cast<Stream*>(h);
    if (n <= 0)
        return 0;
    const std::uint64_t left = s->src->Size() - std::min(s->src->Size(), s->pos);
    const auto take =
        static_cast<std::size_t>(std::min<std::uint64_t>(left, static_cast<std::uint64_t>(n)));
    if (!s->src->Read(s->pos, out, take))
        return -1;
    s->pos += take;
    return static_cast<tmsize_t>(take);
}
tmsize_t WriteProc(thandle_t, void*, tmsize_t)
{
    return -1;
}
toff_t SeekProc(thandle_t h, toff_t off, int whence)
{
    auto* s = static_cast<Stream*>(h);
    const std::uint64_t base = whence == SEEK_CUR   ? s->pos
                               : whence == SEEK_END ? s->src->Size()
                                                    : 0;
    s->pos = base + off;
    return s->pos;
}
int CloseProc(thandle_t)
{
    return 0;
}
toff_t SizeProc(thandle_t h)
{
    return static_cast<Stream*>(h)->src->Size();
}
int MapProc(thandle_t, void**, toff_t*)
{
    return 0;
}
void UnmapProc(thandle_t, void*, toff_t) {}
int Quiet(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

class Tiff {
public:
    explicit Tiff(const Source& f) : m_stream{&f, 0}
    {
        TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
        if (!opts)
            return;
        TIFFOpenOptionsSetMaxSingleMemAlloc(opts, kMaxSingleAlloc);
        TIFFOpenOptionsSetErrorHandlerExtR(opts, Quiet, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(opts, Quiet, nullptr);
        m_tif = TIFFClientOpenExt("picture", "rm", &m_stream, ReadProc, WriteProc, SeekProc,
                                  CloseProc, SizeProc, MapProc, UnmapProc, opts);
        TIFFOpenOptionsFree(opts);
    }
    ~Tiff()
    {
        if (m_tif)
            TIFFClose(m_tif);
    }
    Tiff(const Tiff&) = delete;
    Tiff& operator=(const Tiff&) = delete;
    TIFF* get() const { return m_tif; }

private:
    Stream m_stream;
    TIFF* m_tif = nullptr;
};

// The first directory's offset and byte-count arrays have as many entries as each other.
// libtiff 4.5 trusts the offsets' count and, fuzzed, wrote past its strip buffer when it
// disagreed with the byte counts; such a file is damaged anyway.
bool CountsAgree(const Source& f)
{
    unsigned char h[8];
    if (!f.Read(0, h, sizeof h))
        return false;
    const bool le = h[0] == 'I';
    auto u16 = [le](const unsigned char* p) { return le ? Le16(p) : Be16(p); };
    auto u32 = [le](const unsigned char* p) { return le ? Le32(p) : Be32(p); };
    const std::uint64_t ifd = u32(h + 4);
    unsigned char n[2];
    if (!f.Read(ifd, n, sizeof n))
        return false;
    std::uint64_t counts[4] = {0, 0, 0, 0}; // strip offsets, strip sizes, tile offsets, tile sizes
    for (std::uint32_t i = 0, entries = u16(n); i < entries; ++i) {
        unsigned char e[12];
        if (!f.Read(ifd + 2 + 12ull * i, e, sizeof e))
            return false;
        const std::uint32_t tag = u16(e);
        const int slot = tag == 273 ? 0 : tag == 279 ? 1 : tag == 324 ? 2 : tag == 325 ? 3 : -1;
        if (slot >= 0)
            counts[slot] = u32(e + 4);
    }
    return counts[0] == counts[1] && counts[2] == counts[3] && (counts[0] || counts[2]);
}

// Every strip or tile lies wholly inside the file. libtiff 4.5 was fuzzed into writing past
// its strip buffer while padding one that ran past the end.
bool StripsInside(TIFF* tif, std::uint64_t fileSize)
{
    const std::uint32_t n = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    if (n == 0 || n > (1u << 20))
        return false;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint64_t at = TIFFGetStrileOffset(tif, i), size = TIFFGetStrileByteCount(tif, i);
        if (size == 0 || at > fileSize || size > fileSize - at)
            return false;
    }
    return true;
}

std::optional<RawSize> Header(TIFF* tif, std::uint64_t fileSize)
{
    std::uint32_t w = 0, h = 0;
    if (!tif || !TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) ||
        !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h))
        return std::nullopt;
    // libtiff guesses at a missing colour model and sample layout, and its RGBA reader has
    // been fuzzed into writing past its buffers on such guesses: they must be in the file.
    std::uint16_t photometric = 0, bits = 0, samples = 0;
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) ||
        !TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits) ||
        !TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples))
        return std::nullopt;
    char message[1024];
    if (!WithinBudget(w, h) || !TIFFRGBAImageOK(tif, message) || !StripsInside(tif, fileSize))
        return std::nullopt;
    return RawSize{w, h, 1};
}
} // namespace

std::optional<RawSize> TiffSize(const Source& f)
{
    if (!CountsAgree(f))
        return std::nullopt;
    Tiff tif(f);
    return Header(tif.get(), f.Size());
}

bool TiffDecode(const Source& f, Reducer& r)
{
    if (!CountsAgree(f))
        return false;
    Tiff tif(f);
    const auto size = Header(tif.get(), f.Size());
    if (!size)
        return false;
    // A band is whole strips or tile rows, so no strip is decoded twice.
    std::uint32_t unit = 0;
    if (TIFFIsTiled(tif.get()))
        TIFFGetField(tif.get(), TIFFTAG_TILELENGTH, &unit);
    else
        TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ROWSPERSTRIP, &unit);
    unit = std::clamp<std::uint32_t>(unit, 1, size->height);
    std::uint64_t band = unit;
    while (band * 2 * size->width <= kBandPixels && band * 2 <= size->height)
        band *= 2;
    band = std::max<std::uint64_t>(unit, band / unit * unit);
    if (band * size->width > kBandPixels && !WholeFrameAllowed(size->width, band, f.Size()))
        return false;
    char message[1024];
    TIFFRGBAImage img;
    if (!TIFFRGBAImageBegin(&img, tif.get(), 1, message))
        return false;
    img.req_orientation = ORIENTATION_TOPLEFT;
    // libtiff's RGBA is premultiplied whether the file's alpha is or not.
    bool ok = r.Begin(*size, false, true);
    std::vector<std::uint32_t> pixels;
    for (std::uint32_t y = 0; ok && y < size->height; y += static_cast<std::uint32_t>(band)) {
        const auto rows =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(band, size->height - y));
        pixels.assign(std::size_t{size->width} * rows, 0);
        img.row_offset = static_cast<int>(y);
        img.col_offset = 0;
        if (!TIFFRGBAImageGet(&img, pixels.data(), size->width, rows)) {
            ok = false;
            break;
        }
        for (std::uint32_t k = 0; k < rows; ++k) {
            std::uint32_t* row = &pixels[std::size_t{k} * size->width];
            for (std::uint32_t x = 0; x < size->width; ++x) {
                const std::uint32_t p = row[x]; // A, B, G, R from the top byte down
                row[x] = (p & 0xFF00FF00u) | (p & 0xFF) << 16 | (p >> 16 & 0xFF);
            }
            r.PushRow(row);
        }
    }
    TIFFRGBAImageEnd(&img);
    return ok;
}
} // namespace codec::detail
