// The drawing half of the imaging stand-in. Decoded copies come from the picture store (see
// codec/picture_store.h for how they are made ahead and its memory bound): a picture larger
// than the surface it is drawn on is reduced once, at decode, by area averaging to fit that
// surface, so every paint scales (bilinear) from a copy no larger than the screen.
#include "platform/codec/picture_store.h"
#include "platform/sdl/gdi_internal.h"
#include "platform/sdl/imaging_internal.h"

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

struct GpGraphics {
    HDC hdc = nullptr;
};

namespace {
// A picture's decoded pixels as a surface (a view, not a copy) for one draw.
struct Decoded {
    std::shared_ptr<const codec::Picture> picture;
    SDL_Surface* pixels = nullptr;
    bool opaque = true;
};

Uint32* Row(SDL_Surface* s, int y)
{
    return reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + std::int64_t{y} * s->pitch);
}

codec::PictureJob JobFor(const GpImage* image)
{
    return codec::PictureJob{image->id, image->path};
}

std::vector<codec::PictureJob> JobsFor(GpImage* const* images, int count)
{
    std::vector<codec::PictureJob> jobs;
    for (int i = 0; images && i < count; ++i)
        if (images[i])
            jobs.push_back(JobFor(images[i]));
    return jobs;
}

bool Lookup(GpImage* image, int surfaceW, int surfaceH, Decoded* out)
{
    out->picture = codec::Store().Get(JobFor(image), surfaceW, surfaceH);
    if (!out->picture)
        return false;
    // The view only reads through its pointer.
    auto* data = const_cast<std::uint32_t*>(out->picture->pixels.data());
    out->pixels =
        SDL_CreateRGBSurfaceWithFormatFrom(data, out->picture->width, out->picture->height, 32,
                                           out->picture->width * 4, SDL_PIXELFORMAT_ARGB8888);
    out->opaque = out->picture->opaque;
    return out->pixels != nullptr;
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
    codec::Store().Forget(image->id);
}

void ImagingVerifyInBackground(GpImage* const* images, int count)
{
    codec::Store().Verify(JobsFor(images, count));
}

void ImagingDecodeAhead(GpImage* const* images, int count, int width, int height)
{
    if (width > 0 && height > 0)
        codec::Store().DecodeAhead(JobsFor(images, count), width, height);
}

bool ImagingEnsureDecoded(GpImage* image, int width, int height)
{
    return image && codec::Store().Get(JobFor(image), width, height) != nullptr;
}

bool ImagingDoesNotDecode(GpImage* image)
{
    return image && codec::Store().DoesNotDecode(image->id);
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
    if (width <= 0 || height <= 0)
        return Gdiplus::Ok;
    SDL_Surface* target = graphics->hdc->surface;
    Decoded decoded;
    // One visit to the store on the paint path: it answers a picture known not to decode too.
    if (!Lookup(image, target->w, target->h, &decoded))
        return Gdiplus::GenericError;
    const Decoded* pic = &decoded;
    struct FreeView {
        SDL_Surface* s;
        ~FreeView() { SDL_FreeSurface(s); }
    } view{decoded.pixels};
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
