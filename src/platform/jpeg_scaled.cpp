#include "platform/jpeg_scaled.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// libjpeg's default error exit ends the process; a bad photo must only fail its own decode.
[[noreturn]] void OnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void Quiet(j_common_ptr /*info*/, int /*level*/) {}

// Kept free of C++ objects with destructors: longjmp leaves this frame without unwinding.
SDL_Surface* Decode(std::FILE* file, int fitW, int fitH)
{
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = OnError;
    errors.pub.emit_message = Quiet;
    SDL_Surface* volatile surface = nullptr;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        if (surface)
            SDL_FreeSurface(surface);
        return nullptr;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    unsigned denom = 1;
    while (denom < 8 && static_cast<int>(info.image_width / (denom * 2)) >= fitW &&
           static_cast<int>(info.image_height / (denom * 2)) >= fitH)
        denom *= 2;
    info.scale_num = 1;
    info.scale_denom = denom;
    // Straight into the surface's byte order (B, G, R, X in memory is ARGB8888 as a word).
    info.out_color_space = JCS_EXT_BGRA;
    info.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&info);
    surface = SDL_CreateRGBSurfaceWithFormat(0, static_cast<int>(info.output_width),
                                             static_cast<int>(info.output_height), 32,
                                             SDL_PIXELFORMAT_ARGB8888);
    if (!surface) {
        jpeg_destroy_decompress(&info);
        return nullptr;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = static_cast<JSAMPROW>(surface->pixels) +
                       static_cast<size_t>(info.output_scanline) * surface->pitch;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return surface;
}

} // namespace

namespace tappy {
SDL_Surface* LoadJpegCovering(const char* path, int fitW, int fitH)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return nullptr;
    unsigned char magic[3] = {0, 0, 0};
    SDL_Surface* surface = nullptr;
    if (std::fread(magic, 1, 3, file) == 3 && magic[0] == 0xFF && magic[1] == 0xD8 &&
        magic[2] == 0xFF) {
        std::rewind(file);
        surface = Decode(file, fitW, fitH);
    }
    std::fclose(file);
    return surface;
}
} // namespace tappy
