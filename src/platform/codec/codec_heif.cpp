// HEIF/HEIC and AVIF through libheif: sized from the primary image's properties without
// decoding, decoded with the file's own rotation and mirroring applied.
#include "platform/codec/codec_internal.h"

#include <libheif/heif.h>

namespace codec::detail {
namespace {
struct Stream {
    const Source* src;
    std::uint64_t pos;
};

int64_t Position(void* u)
{
    return static_cast<int64_t>(static_cast<Stream*>(u)->pos);
}
int ReadFn(void* out, size_t n, void* u)
{
    auto* s = static_cast<Stream*>(u);
    if (!s->src->Read(s->pos, out, n))
        return 1;
    s->pos += n;
    return 0;
}
int SeekFn(int64_t at, void* u)
{
    auto* s = static_cast<Stream*>(u);
    if (at < 0 || static_cast<std::uint64_t>(at) > s->src->Size())
        return 1;
    s->pos = static_cast<std::uint64_t>(at);
    return 0;
}
heif_reader_grow_status Grow(int64_t target, void* u)
{
    return target < 0 || static_cast<std::uint64_t>(target) > static_cast<Stream*>(u)->src->Size()
               ? heif_reader_grow_status_size_beyond_eof
               : heif_reader_grow_status_size_reached;
}
const heif_reader kReader = {1, Position, ReadFn, SeekFn, Grow};

class Heif {
public:
    explicit Heif(const Source& f) : m_stream{&f, 0}
    {
        m_ctx = heif_context_alloc();
        if (!m_ctx)
            return;
        heif_context_set_maximum_image_size_limit(m_ctx, static_cast<int>(kMaxSide));
        if (heif_context_read_from_reader(m_ctx, &kReader, &m_stream, nullptr).code !=
                heif_error_Ok ||
            heif_context_get_primary_image_handle(m_ctx, &m_handle).code != heif_error_Ok)
            m_handle = nullptr;
    }
    ~Heif()
    {
        if (m_handle)
            heif_image_handle_release(m_handle);
        if (m_ctx)
            heif_context_free(m_ctx);
    }
    Heif(const Heif&) = delete;
    Heif& operator=(const Heif&) = delete;
    heif_image_handle* handle() const { return m_handle; }
    std::optional<RawSize> Size() const
    {
        if (!m_handle)
            return std::nullopt;
        const int w = heif_image_handle_get_width(m_handle),
                  h = heif_image_handle_get_height(m_handle);
        if (w <= 0 || h <= 0)
            return std::nullopt;
        return RawSize{static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), 1};
    }

private:
    Stream m_stream;
    heif_context* m_ctx = nullptr;
    heif_image_handle* m_handle = nullptr;
};
} // namespace

std::optional<RawSize> HeifSize(const Source& f)
{
    return Heif(f).Size();
}

bool HeifDecode(const Source& f, Reducer& r)
{
    Heif heif(f);
    const auto size = heif.Size();
    if (!size || !WholeFrameAllowed(size->width, size->height, f.Size()))
        return false;
    heif_image* image = nullptr;
    if (heif_decode_image(heif.handle(), &image, heif_colorspace_RGB, heif_chroma_interleaved_RGBA,
                          nullptr)
            .code != heif_error_Ok)
        return false;
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    const int w = heif_image_get_width(image, heif_channel_interleaved);
    const int h = heif_image_get_height(image, heif_channel_interleaved);
    // The size it was loaded at, or the picture is not what the file said.
    bool ok = plane && static_cast<std::uint32_t>(w) == size->width &&
              static_cast<std::uint32_t>(h) == size->height && stride >= w * 4 &&
              r.Begin(RawSize{static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), 1});
    for (int y = 0; ok && y < h; ++y) {
        const uint8_t* in = plane + static_cast<std::size_t>(y) * stride;
        std::uint32_t* out = r.RowBuffer();
        for (int x = 0; x < w; ++x, in += 4)
            out[x] = std::uint32_t{in[3]} << 24 | std::uint32_t{in[0]} << 16 |
                     std::uint32_t{in[1]} << 8 | in[2];
        r.PushRow(out);
    }
    heif_image_release(image);
    return ok;
}
} // namespace codec::detail
