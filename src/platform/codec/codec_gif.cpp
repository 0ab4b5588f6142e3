// GIF through giflib. Sizing walks every frame's descriptor, so no frame anywhere in the file
// may claim more than the budget; decoding shows the first frame at that frame's own size and
// nothing else: a first frame that does not decode makes the file not decode.
#include "platform/codec/codec_internal.h"

#include <gif_lib.h>

namespace codec::detail {
namespace {
// Walking the frames costs time and giflib memory per frame; no picture for a child has more.
constexpr int kMaxFrames = 20000;

struct Stream {
    const Source* src;
    std::uint64_t pos;
};

int ReadFn(GifFileType* gif, GifByteType* out, int n)
{
    auto* s = static_cast<Stream*>(gif->UserData);
    const std::uint64_t left = s->src->Size() - std::min(s->src->Size(), s->pos);
    const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(left, n < 0 ? 0 : n));
    if (!s->src->Read(s->pos, out, take))
        return 0;
    s->pos += take;
    return static_cast<int>(take);
}

struct Gif {
    explicit Gif(const Source& f) : stream{&f, 0}
    {
        int error = 0;
        file = DGifOpen(&stream, ReadFn, &error);
    }
    ~Gif()
    {
        int error = 0;
        if (file)
            DGifCloseFile(file, &error);
    }
    Gif(const Gif&) = delete;
    Gif& operator=(const Gif&) = delete;
    Stream stream;
    GifFileType* file = nullptr;
};

bool SkipCode(GifFileType* gif)
{
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &code, &block) != GIF_OK)
        return false;
    while (block)
        if (DGifGetCodeNext(gif, &block) != GIF_OK)
            return false;
    return true;
}

// Reads up to the first frame's descriptor; the transparent index from the control block
// before it, -1 for none.
bool ToFirstFrame(GifFileType* gif, int* transparent)
{
    *transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) != GIF_OK)
            return false;
        if (type == IMAGE_DESC_RECORD_TYPE)
            return DGifGetImageDesc(gif) == GIF_OK;
        if (type != EXTENSION_RECORD_TYPE)
            return false; // the trailer, before any frame
        int code = 0;
        GifByteType* ext = nullptr;
        if (DGifGetExtension(gif, &code, &ext) != GIF_OK)
            return false;
        if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
            GraphicsControlBlock gcb;
            if (DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK)
                *transparent = gcb.TransparentColor;
        }
        while (ext)
            if (DGifGetExtensionNext(gif, &ext) != GIF_OK)
                return false;
    }
}

bool FrameFits(const GifImageDesc& d)
{
    return WithinBudget(static_cast<std::uint64_t>(d.Width), static_cast<std::uint64_t>(d.Height));
}
} // namespace

std::optional<RawSize> GifSize(const Source& f)
{
    Gif gif(f);
    int transparent = 0;
    if (!gif.file || !ToFirstFrame(gif.file, &transparent) || !FrameFits(gif.file->Image))
        return std::nullopt;
    const RawSize size{static_cast<std::uint32_t>(gif.file->Image.Width),
                       static_cast<std::uint32_t>(gif.file->Image.Height), 1};
    // Every later frame's descriptor too: a decoder that skipped a bad first frame would meet
    // them. A damaged tail ends the walk; only the first frame is ever shown.
    if (!SkipCode(gif.file))
        return std::nullopt;
    for (int frames = 1;; ++frames) {
        if (frames > kMaxFrames)
            return std::nullopt;
        GifRecordType type;
        if (DGifGetRecordType(gif.file, &type) != GIF_OK || type == TERMINATE_RECORD_TYPE)
            break;
        if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif.file) != GIF_OK)
                break;
            if (!FrameFits(gif.file->Image))
                return std::nullopt;
            // giflib keeps every descriptor it has read; the frames are not wanted. (It does not
            // reset the count itself, and would write past the new array.)
            GifFreeSavedImages(gif.file);
            gif.file->ImageCount = 0;
            if (!SkipCode(gif.file))
                break;
        } else if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif.file, &code, &ext) != GIF_OK)
                break;
            while (ext)
                if (DGifGetExtensionNext(gif.file, &ext) != GIF_OK)
                    return size;
        } else {
            break;
        }
    }
    return size;
}

bool GifDecode(const Source& f, Reducer& r)
{
    if (!GifSize(f))
        return false; // no frame anywhere may be over the budget, shown or not
    Gif gif(f);
    int transparent = 0;
    if (!gif.file || !ToFirstFrame(gif.file, &transparent) || !FrameFits(gif.file->Image))
        return false;
    const GifImageDesc& d = gif.file->Image;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif.file->SColorMap;
    if (!map || !map->Colors || map->ColorCount <= 0)
        return false;
    const auto w = static_cast<std::uint32_t>(d.Width), h = static_cast<std::uint32_t>(d.Height);
    if (!r.Begin(RawSize{w, h, 1}))
        return false;
    std::uint32_t palette[256];
    for (int i = 0; i < 256; ++i) {
        palette[i] = 0xFF000000u;
        if (i < map->ColorCount) {
            const GifColorType& c = map->Colors[i];
            palette[i] |= std::uint32_t{c.Red} << 16 | std::uint32_t{c.Green} << 8 | c.Blue;
        }
        if (i == transparent)
            palette[i] = 0;
    }
    std::vector<GifPixelType> indices;
    auto emit = [&](const GifPixelType* row) {
        std::uint32_t* out = r.RowBuffer();
        for (std::uint32_t x = 0; x < w; ++x)
            out[x] = palette[row[x]];
        r.PushRow(out);
    };
    if (d.Interlace) {
        if (!WholeFrameAllowed(w, h, f.Size()))
            return false;
        indices.assign(std::size_t{w} * h, 0);
        static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (std::uint32_t y = kStart[pass]; y < h; y += kStep[pass])
                if (DGifGetLine(gif.file, &indices[std::size_t{y} * w], static_cast<int>(w)) !=
                    GIF_OK)
                    return false;
        for (std::uint32_t y = 0; y < h; ++y)
            emit(&indices[std::size_t{y} * w]);
        return true;
    }
    indices.assign(w, 0);
    for (std::uint32_t y = 0; y < h; ++y) {
        if (DGifGetLine(gif.file, indices.data(), static_cast<int>(w)) != GIF_OK)
            return false;
        emit(indices.data());
    }
    return true;
}
} // namespace codec::detail
