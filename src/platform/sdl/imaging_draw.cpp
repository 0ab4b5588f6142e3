// The drawing half of the imaging stand-in: pictures are decoded on their first draw and kept
// in a cache of the last kCachedPictures pictures drawn. A picture larger than the surface it
// is drawn on is reduced once, at decode, by area averaging to fit that surface, so every later
// paint scales (bilinear) from a copy no larger than the screen. Bound: kCachedPictures copies
// of at most the screen's pixels, 4 bytes each (2 x 8.3 MB at 1920 x 1080), plus the one full
// picture that exists only while it is being decoded.
#include "platform/jpeg_scaled.h"
#include "platform/sdl/gdi_internal.h"
#include "platform/sdl/imaging_internal.h"

#include <SDL_image.h>

#include <algorithm>
#include <cstdint>
#include <vector>

struct GpGraphics {
    HDC hdc = nullptr;
};

namespace {
constexpr int kCachedPictures = 2;

struct Decoded {
    const GpImage* image = nullptr;
    SDL_Surface* pixels = nullptr; // ARGB8888, premultiplied by alpha
    bool opaque = true;
    bool reduced = false;
};

// Most recently drawn first. Made on first use and kept to the end of the process: pictures are
// disposed of by the topics' destructors during static destruction, which reach it through
// ImagingForget.
Decoded* Cache()
{
    static Decoded cache[kCachedPictures];
    return cache;
}

void Release(Decoded& d)
{
    if (d.pixels)
        SDL_FreeSurface(d.pixels);
    d = Decoded{};
}

Uint32* Row(SDL_Surface* s, int y)
{
    return reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + std::int64_t{y} * s->pitch);
}

// Rows of a decoded picture as premultiplied ARGB8888. The usual decoder outputs (24-bit RGB,
// 32-bit with masks) are read directly; anything else (palettes, 16-bit) is converted once by
// SDL first. Reading row by row lets a large photo be reduced without a full 32-bit copy.
class RowSource {
public:
    explicit RowSource(SDL_Surface* loaded) : m_src(loaded)
    {
        const Uint32 f = loaded->format->format;
        m_rgb24 = f == SDL_PIXELFORMAT_RGB24;
        m_bgr24 = f == SDL_PIXELFORMAT_BGR24;
        const bool masked32 = loaded->format->BytesPerPixel == 4 && !loaded->format->palette;
        if (!m_rgb24 && !m_bgr24 && !masked32) {
            m_converted = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
            m_src = m_converted;
        }
    }
    ~RowSource()
    {
        if (m_converted)
            SDL_FreeSurface(m_converted);
    }
    RowSource(const RowSource&) = delete;
    RowSource& operator=(const RowSource&) = delete;

    bool ok() const { return m_src != nullptr; }
    bool opaque() const { return m_opaque; }
    int w() const { return m_src->w; }
    int h() const { return m_src->h; }

    void Read(int y, Uint32* out)
    {
        const auto* in = static_cast<const Uint8*>(m_src->pixels) + std::int64_t{y} * m_src->pitch;
        const int n = m_src->w;
        if (m_rgb24 || m_bgr24) {
            const int r = m_rgb24 ? 0 : 2, b = m_rgb24 ? 2 : 0;
            for (int x = 0; x < n; ++x, in += 3)
                out[x] = 0xFF000000u | Uint32{in[r]} << 16 | Uint32{in[1]} << 8 | in[b];
            return;
        }
        const SDL_PixelFormat* f = m_src->format;
        const auto* px = reinterpret_cast<const Uint32*>(in);
        for (int x = 0; x < n; ++x) {
            const Uint32 v = px[x];
            const Uint32 a = f->Amask ? (v & f->Amask) >> f->Ashift : 255;
            Uint32 c = a << 24 | ((v & f->Rmask) >> f->Rshift) << 16 |
                       ((v & f->Gmask) >> f->Gshift) << 8 | ((v & f->Bmask) >> f->Bshift);
            if (a != 255) {
                m_opaque = false;
                const Uint32 rb = (((c & 0xFF00FF) * a + 0x800080) >> 8) & 0xFF00FF;
                const Uint32 g = (((c & 0x00FF00) * a + 0x008000) >> 8) & 0x00FF00;
                c = a << 24 | rb | g;
            }
            out[x] = c;
        }
    }

private:
    SDL_Surface* m_src;
    SDL_Surface* m_converted = nullptr;
    bool m_rgb24 = false, m_bgr24 = false;
    bool m_opaque = true;
};

// Area-averaging weights for one axis: output i covers source [i*r, (i+1)*r), r = from/to.
struct Taps {
    std::vector<int> first;       // first source index per output
    std::vector<int> count;       // how many source samples per output
    std::vector<std::uint32_t> w; // weights, 16.16, summing to 65536 per output
    std::vector<std::size_t> at;  // where each output's weights start in w
};

Taps AreaTaps(int from, int to)
{
    Taps t;
    t.first.resize(to);
    t.count.resize(to);
    t.at.resize(to);
    const double r = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        const double a = i * r, b = std::min<double>((i + 1) * r, from);
        const int s0 = static_cast<int>(a);
        const int s1 = std::min(from, static_cast<int>(b + 0.999999));
        t.first[i] = s0;
        t.count[i] = std::max(1, s1 - s0);
        t.at[i] = t.w.size();
        std::uint32_t sum = 0;
        for (int s = s0; s < s0 + t.count[i]; ++s) {
            const double cover = std::min<double>(s + 1, b) - std::max<double>(s, a);
            const auto wt = static_cast<std::uint32_t>(std::max(0.0, cover / r) * 65536.0 + 0.5);
            t.w.push_back(wt);
            sum += wt;
        }
        // Rounding leftovers go to the largest tap so that a flat colour stays exact.
        auto begin = t.w.begin() + static_cast<std::ptrdiff_t>(t.at[i]);
        auto biggest = std::max_element(begin, t.w.end());
        *biggest = *biggest + 65536 - sum;
    }
    return t;
}

inline Uint32 Pack(const std::uint32_t acc[4])
{
    auto ch = [](std::uint32_t v) { return std::min<std::uint32_t>((v + 32768) >> 16, 255); };
    return (ch(acc[3]) << 24) | (ch(acc[2]) << 16) | (ch(acc[1]) << 8) | ch(acc[0]);
}

inline void Accumulate(std::uint32_t acc[4], Uint32 p, std::uint32_t w)
{
    acc[0] += (p & 0xFF) * w;
    acc[1] += (p >> 8 & 0xFF) * w;
    acc[2] += (p >> 16 & 0xFF) * w;
    acc[3] += (p >> 24) * w;
}

// Box-filter reduction to toW x toH: columns first, row by row as they are read, then rows.
SDL_Surface* Reduce(RowSource& src, int toW, int toH)
{
    SDL_Surface* mid =
        SDL_CreateRGBSurfaceWithFormat(0, toW, src.h(), 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Surface* out = SDL_CreateRGBSurfaceWithFormat(0, toW, toH, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!mid || !out) {
        SDL_FreeSurface(mid);
        SDL_FreeSurface(out);
        return nullptr;
    }
    std::vector<Uint32> line(static_cast<std::size_t>(src.w()));
    const Taps cols = AreaTaps(src.w(), toW);
    for (int y = 0; y < src.h(); ++y) {
        src.Read(y, line.data());
        Uint32* o = Row(mid, y);
        for (int x = 0; x < toW; ++x) {
            std::uint32_t acc[4] = {0, 0, 0, 0};
            const std::uint32_t* w = &cols.w[cols.at[x]];
            const Uint32* in = &line[static_cast<std::size_t>(cols.first[x])];
            for (int k = 0; k < cols.count[x]; ++k)
                Accumulate(acc, in[k], w[k]);
            o[x] = Pack(acc);
        }
    }
    const Taps rows = AreaTaps(src.h(), toH);
    std::vector<std::uint32_t> acc(static_cast<std::size_t>(toW) * 4);
    for (int y = 0; y < toH; ++y) {
        std::fill(acc.begin(), acc.end(), 0);
        const std::uint32_t* w = &rows.w[rows.at[y]];
        for (int k = 0; k < rows.count[y]; ++k) {
            const Uint32* in = Row(mid, rows.first[y] + k);
            for (int x = 0; x < toW; ++x)
                Accumulate(&acc[std::size_t(x) * 4], in[x], w[k]);
        }
        Uint32* o = Row(out, y);
        for (int x = 0; x < toW; ++x)
            o[x] = Pack(&acc[std::size_t(x) * 4]);
    }
    SDL_FreeSurface(mid);
    return out;
}

// Decodes the picture and, when it is larger than fitW x fitH, reduces it to fit.
bool Decode(const GpImage* image, int fitW, int fitH, Decoded* out)
{
    SDL_Surface* loaded = tappy::LoadJpegCovering(image->path.c_str(), fitW, fitH);
    if (!loaded)
        loaded = IMG_Load(image->path.c_str());
    if (!loaded)
        return false;
    SDL_Surface* pixels = nullptr;
    bool opaque = true;
    bool reduced = false;
    {
        RowSource src(loaded);
        if (src.ok()) {
            const double scale =
                std::min(static_cast<double>(fitW) / src.w(), static_cast<double>(fitH) / src.h());
            if (scale < 1.0) {
                const int toW = std::max(1, static_cast<int>(src.w() * scale + 0.5));
                const int toH = std::max(1, static_cast<int>(src.h() * scale + 0.5));
                pixels = Reduce(src, toW, toH);
                reduced = pixels != nullptr;
            } else {
                pixels = SDL_CreateRGBSurfaceWithFormat(0, src.w(), src.h(), 32,
                                                        SDL_PIXELFORMAT_ARGB8888);
                for (int y = 0; pixels && y < src.h(); ++y)
                    src.Read(y, Row(pixels, y));
            }
            opaque = src.opaque();
        }
    }
    SDL_FreeSurface(loaded);
    if (!pixels)
        return false;
    out->image = image;
    out->pixels = pixels;
    out->opaque = opaque;
    out->reduced = reduced;
    return true;
}

void Forget(const GpImage* image)
{
    for (int i = 0; i < kCachedPictures; ++i) {
        if (Cache()[i].image == image) {
            Release(Cache()[i]);
            std::rotate(Cache() + i, Cache() + i + 1, Cache() + kCachedPictures);
            return;
        }
    }
}

// The cached copy of the picture, decoded now if it is not kept (or is kept reduced below what
// this surface shows); moved to the front of the cache.
Decoded* Lookup(GpImage* image, int surfaceW, int surfaceH)
{
    for (int i = 0; i < kCachedPictures; ++i) {
        const Decoded& d = Cache()[i];
        if (d.image != image)
            continue;
        if (d.reduced && d.pixels->w < surfaceW && d.pixels->h < surfaceH) {
            Forget(image);
            break;
        }
        std::rotate(Cache(), Cache() + i, Cache() + i + 1);
        return &Cache()[0];
    }
    // Drop the oldest before decoding, so the peak holds one full picture, not one more.
    Release(Cache()[kCachedPictures - 1]);
    Decoded fresh;
    if (!Decode(image, surfaceW, surfaceH, &fresh))
        return nullptr;
    std::rotate(Cache(), Cache() + kCachedPictures - 1, Cache() + kCachedPictures);
    Cache()[0] = fresh;
    return &Cache()[0];
}

inline Uint32 Lerp(Uint32 a, Uint32 b, Uint32 f) // f in 0 ... 256
{
    const Uint32 rb = (((a & 0xFF00FF) * (256 - f) + (b & 0xFF00FF) * f) >> 8) & 0xFF00FF;
    const Uint32 ag = (((a >> 8) & 0xFF00FF) * (256 - f) + ((b >> 8) & 0xFF00FF) * f) & 0xFF00FF00;
    return rb | ag;
}

// Source sample positions for one axis, pixel centres mapped onto pixel centres.
void Positions(int srcLen, int dstLen, int from, int count, std::vector<int>* index,
               std::vector<Uint32>* frac, std::vector<int>* next)
{
    index->resize(count);
    frac->resize(count);
    next->resize(count);
    const double r = static_cast<double>(srcLen) / dstLen;
    for (int i = 0; i < count; ++i) {
        double s = ((from + i) + 0.5) * r - 0.5;
        s = std::clamp(s, 0.0, static_cast<double>(srcLen - 1));
        const int s0 = static_cast<int>(s);
        (*index)[i] = s0;
        (*frac)[i] = static_cast<Uint32>((s - s0) * 256.0 + 0.5);
        (*next)[i] = std::min(s0 + 1, srcLen - 1);
    }
}

// Scales the whole of src into (x, y, w, h) of dst (32-bit, XRGB or ARGB), within clip.
void ScaleInto(const Decoded& pic, SDL_Surface* dst, int x, int y, int w, int h,
               const SDL_Rect& clip)
{
    SDL_Surface* src = pic.pixels;
    const std::int64_t left = std::max<std::int64_t>(x, clip.x);
    const std::int64_t top = std::max<std::int64_t>(y, clip.y);
    const std::int64_t right =
        std::min<std::int64_t>(std::int64_t{x} + w, std::int64_t{clip.x} + clip.w);
    const std::int64_t bottom =
        std::min<std::int64_t>(std::int64_t{y} + h, std::int64_t{clip.y} + clip.h);
    if (right <= left || bottom <= top)
        return;
    std::vector<int> xi, xn, yi, yn;
    std::vector<Uint32> xf, yf;
    Positions(src->w, w, static_cast<int>(left - x), static_cast<int>(right - left), &xi, &xf, &xn);
    Positions(src->h, h, static_cast<int>(top - y), static_cast<int>(bottom - top), &yi, &yf, &yn);
    const int cols = static_cast<int>(right - left);
    for (int row = 0; row < static_cast<int>(bottom - top); ++row) {
        const Uint32* r0 = Row(src, yi[row]);
        const Uint32* r1 = Row(src, yn[row]);
        const Uint32 fy = yf[row];
        Uint32* out = Row(dst, static_cast<int>(top) + row) + left;
        if (pic.opaque) {
            for (int c = 0; c < cols; ++c) {
                const Uint32 a = Lerp(r0[xi[c]], r0[xn[c]], xf[c]);
                const Uint32 b = Lerp(r1[xi[c]], r1[xn[c]], xf[c]);
                out[c] = Lerp(a, b, fy) | 0xFF000000u;
            }
        } else {
            for (int c = 0; c < cols; ++c) {
                const Uint32 a = Lerp(r0[xi[c]], r0[xn[c]], xf[c]);
                const Uint32 b = Lerp(r1[xi[c]], r1[xn[c]], xf[c]);
                const Uint32 s = Lerp(a, b, fy);
                const Uint32 keep = 255 - (s >> 24);
                const Uint32 d = out[c];
                // x * keep / 255, rounded: a plain >> 8 would darken white under a fully
                // transparent pixel to 254 and leave a faint box around every cut-out picture.
                const Uint32 trb = (d & 0xFF00FF) * keep + 0x800080;
                const Uint32 tg = (d & 0x00FF00) * keep + 0x008000;
                const Uint32 rb = ((trb + ((trb >> 8) & 0xFF00FF)) >> 8) & 0xFF00FF;
                const Uint32 g = ((tg + ((tg >> 8) & 0x00FF00)) >> 8) & 0x00FF00;
                out[c] = ((s & 0xFFFFFF) + rb + g) | 0xFF000000u;
            }
        }
    }
}

bool DirectlyDrawable(const SDL_Surface* s)
{
    return s->format->format == SDL_PIXELFORMAT_XRGB8888 ||
           s->format->format == SDL_PIXELFORMAT_ARGB8888;
}
} // namespace

void ImagingForget(GpImage* image)
{
    Forget(image);
}

GpStatus GdipCreateFromHDC(HDC hdc, GpGraphics** graphics)
{
    if (!graphics)
        return Gdiplus::InvalidParameter;
    *graphics = nullptr;
    if (!hdc || !hdc->surface)
        return Gdiplus::InvalidParameter;
    *graphics = new (std::nothrow) GpGraphics{hdc};
    return *graphics ? Gdiplus::Ok : Gdiplus::OutOfMemory;
}

GpStatus GdipDrawImageRectI(GpGraphics* graphics, GpImage* image, int x, int y, int width,
                            int height)
{
    if (!graphics || !image || !graphics->hdc || !graphics->hdc->surface)
        return Gdiplus::InvalidParameter;
    if (image->decodeFailed)
        return Gdiplus::GenericError;
    if (width <= 0 || height <= 0)
        return Gdiplus::Ok;
    SDL_Surface* target = graphics->hdc->surface;
    Decoded* pic = Lookup(image, target->w, target->h);
    if (!pic) {
        image->decodeFailed = true;
        return Gdiplus::GenericError;
    }
    if (DirectlyDrawable(target)) {
        if (SDL_MUSTLOCK(target))
            SDL_LockSurface(target);
        ScaleInto(*pic, target, x, y, width, height, target->clip_rect);
        if (SDL_MUSTLOCK(target))
            SDL_UnlockSurface(target);
        return Gdiplus::Ok;
    }
    // Any other pixel format: work on a 32-bit copy of the target and copy it back.
    SDL_Surface* work = SDL_ConvertSurfaceFormat(target, SDL_PIXELFORMAT_XRGB8888, 0);
    if (!work)
        return Gdiplus::OutOfMemory;
    ScaleInto(*pic, work, x, y, width, height, target->clip_rect);
    SDL_Rect area = target->clip_rect;
    SDL_BlitSurface(work, &area, target, &area);
    SDL_FreeSurface(work);
    return Gdiplus::Ok;
}

GpStatus GdipDeleteGraphics(GpGraphics* graphics)
{
    if (!graphics)
        return Gdiplus::InvalidParameter;
    delete graphics;
    return Gdiplus::Ok;
}
