// The loading half of the imaging stand-in. A picture is accepted from its header alone, read
// by the same library that later decodes it (see codec/), so a folder of large photos loads in
// milliseconds. Formats: PNG, JPEG, GIF, BMP, WebP, TIFF, QOI, HEIF/HEIC, AVIF.
#include "platform/sdl/imaging_internal.h"

#include "platform/codec/codec.h"

#include <SDL_image.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

std::uint64_t NextPictureId()
{
    static std::atomic<std::uint64_t> next{1};
    return next++;
}

namespace {
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
    // Pictures are decoded by the codec library; SDL_image reads only the window icons.
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

    const auto file = codec::FileSource::Open(*path);
    if (!file)
        return errno == ENOENT ? Gdiplus::FileNotFound : Gdiplus::GenericError;
    // Sized by the library that will decode it; a size outside the budget is refused as not
    // decoding, since the later decode would allocate for it whatever the file's own size.
    const auto size = codec::SizeOf(*file);
    if (!size)
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
