// PNG through libpng: its user limits refuse oversized headers, huge ancillary chunks are
// capped, and rows stream into the reducer (an interlaced picture needs its whole frame).
#include "platform/codec/codec_internal.h"

#include <csetjmp>
#include <png.h>

namespace codec::detail {
namespace {
struct Stream {
    const Source* src;
    std::uint64_t pos;
};

void ReadFn(png_structp png, png_bytep out, png_size_t n)
{
    auto* s = static_cast<Stream*>(png_get_io_ptr(png));
    if (!s->src->Read(s->pos, out, n))
        png_error(png, "truncated");
    s->pos += n;
}

void Quiet(png_structp, png_const_charp) {}

[[noreturn]] void Fail(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

png_structp Create(Stream* s, png_infop* info)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Quiet);
    if (!png)
        return nullptr;
    *info = png_create_info_struct(png);
    if (!*info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return nullptr;
    }
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_set_chunk_cache_max(png, 128);
    png_set_chunk_malloc_max(png, 8u << 20);
    png_set_read_fn(png, s, ReadFn);
    return png;
}

// Kept free of objects with destructors: longjmp leaves this frame without unwinding.
bool Run(const Source& f, Reducer* r, RawSize* size, std::vector<std::uint32_t>* frame)
{
    Stream s{&f, 0};
    png_infop info = nullptr;
    png_structp png = Create(&s, &info);
    if (!png)
        return false;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_read_info(png, info);
    const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    size->width = w;
    size->height = h;
    if (!r) {
        png_destroy_read_struct(&png, &info, nullptr);
        return true;
    }
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::size_t{w} * 4 || !r->Begin(*size))
        png_error(png, "layout");
    if (passes > 1) {
        if (!WholeFrameAllowed(w, h, f.Size()))
            png_error(png, "budget");
        frame->assign(std::size_t{w} * h, 0);
        for (int pass = 0; pass < passes; ++pass)
            for (png_uint_32 y = 0; y < h; ++y)
                png_read_row(png, reinterpret_cast<png_bytep>(frame->data() + std::size_t{y} * w),
                             nullptr);
        for (png_uint_32 y = 0; y < h; ++y)
            r->PushRow(frame->data() + std::size_t{y} * w);
    } else {
        for (png_uint_32 y = 0; y < h; ++y) {
            png_read_row(png, reinterpret_cast<png_bytep>(r->RowBuffer()), nullptr);
            r->PushRow(r->RowBuffer());
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}
} // namespace

std::optional<RawSize> PngSize(const Source& f)
{
    RawSize size;
    if (!Run(f, nullptr, &size, nullptr))
        return std::nullopt;
    return size;
}

bool PngDecode(const Source& f, Reducer& r)
{
    RawSize size;
    std::vector<std::uint32_t> frame;
    return Run(f, &r, &size, &frame);
}
} // namespace codec::detail
