// The drawing half of the imaging stand-in: pictures are decoded on their first draw and kept
// in a cache of the last kCachedPictures pictures drawn. A picture larger than the surface it
// is drawn on is reduced once, at decode, by area averaging to fit that surface, so every later
// paint scales (bilinear) from a copy no larger than the screen. Bound: kCachedPictures copies
// of at most the screen's pixels, 4 bytes each (2 x 8.3 MB at 1920 x 1080), plus the one full
// picture that exists only while it is being decoded.
#include "platform/codec/codec.h"
#include "platform/gdi_internal.h"
#include "platform/imaging_internal.h"

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

struct GpGraphics {
    HDC hdc = nullptr;
};

namespace {
constexpr int kCachedPictures = 2;

struct Decoded {
    const GpImage* image = nullptr;
    std::shared_ptr<const codec::Picture> picture;
    SDL_Surface* pixels = nullptr; // a view of picture's pixels
    bool opaque = true;
    bool reduced = false;
};

// Most recently drawn first.
Decoded g_cache[kCachedPictures];

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

// Decodes the picture through the codec library, reduced to fit fitW x fitH, and wraps its
// pixels (premultiplied ARGB words) in a surface of the same layout.
bool Decode(const GpImage* image, int fitW, int fitH, Decoded* out)
{
    const auto file = codec::FileSource::Open(image->path);
    auto picture = std::make_shared<codec::Picture>();
    if (!file || !codec::Decode(*file, fitW, fitH, picture.get()))
        return false;
    SDL_Surface* pixels =
        SDL_CreateRGBSurfaceWithFormatFrom(picture->pixels.data(), picture->width, picture->height,
                                           32, picture->width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!pixels)
        return false;
    out->image = image;
    out->picture = std::move(picture);
    out->pixels = pixels;
    out->opaque = out->picture->opaque;
    out->reduced = out->picture->width < static_cast<int>(image->width);
    return true;
}

void Forget(const GpImage* image)
{
    for (int i = 0; i < kCachedPictures; ++i) {
        if (g_cache[i].image == image) {
            Release(g_cache[i]);
            std::rotate(g_cache + i, g_cache + i + 1, g_cache + kCachedPictures);
            return;
        }
    }
}

// The cached copy of the picture, decoded now if it is not kept (or is kept reduced below what
// this surface shows); moved to the front of the cache.
Decoded* Lookup(GpImage* image, int surfaceW, int surfaceH)
{
    for (int i = 0; i < kCachedPictures; ++i) {
        const Decoded& d = g_cache[i];
        if (d.image != image)
            continue;
        if (d.reduced && d.pixels->w < surfaceW && d.pixels->h < surfaceH) {
            Forget(image);
            break;
        }
        std::rotate(g_cache, g_cache + i, g_cache + i + 1);
        return &g_cache[0];
    }
    // Drop the oldest before decoding, so the peak holds one full picture, not one more.
    Release(g_cache[kCachedPictures - 1]);
    Decoded fresh;
    if (!Decode(image, surfaceW, surfaceH, &fresh))
        return nullptr;
    std::rotate(g_cache, g_cache + kCachedPictures - 1, g_cache + kCachedPictures);
    g_cache[0] = fresh;
    return &g_cache[0];
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
