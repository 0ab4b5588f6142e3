// WebP through libwebp, which scales while it decodes, so a large picture never exists at
// full size. Animations are refused: only a still picture can be shown.
#include "platform/codec/codec_internal.h"

#include <algorithm>
#include <webp/decode.h>

namespace codec::detail {
namespace {
// Container headers and the first chunk's header fit in this; the rest is pixels.
constexpr std::size_t kHeaderBytes = 4096;
constexpr std::uint64_t kMaxFileBytes = 256u << 20;

bool Features(const Source& f, WebPBitstreamFeatures* features)
{
    unsigned char head[kHeaderBytes];
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof head, f.Size()));
    // A container longer than the file was cut off, and the decoder would refuse it.
    return n >= 12 && f.Read(0, head, n) && std::uint64_t{Le32(head + 4)} + 8 <= f.Size() &&
           WebPGetFeatures(head, n, features) == VP8_STATUS_OK && !features->has_animation;
}
} // namespace

std::optional<RawSize> WebpSize(const Source& f)
{
    WebPBitstreamFeatures features;
    if (!Features(f, &features))
        return std::nullopt;
    return RawSize{static_cast<std::uint32_t>(features.width),
                   static_cast<std::uint32_t>(features.height), 1};
}

bool WebpDecode(const Source& f, Reducer& r, int fitW, int fitH)
{
    WebPBitstreamFeatures features;
    if (!Features(f, &features) || !WithinBudget(static_cast<std::uint64_t>(features.width),
                                                 static_cast<std::uint64_t>(features.height)))
        return false;
    std::vector<unsigned char> bytes;
    if (!ReadAll(f, &bytes, kMaxFileBytes))
        return false;
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return false;
    const double scale = std::min({1.0, static_cast<double>(fitW) / features.width,
                                   static_cast<double>(fitH) / features.height});
    if (scale < 1.0) {
        config.options.use_scaling = 1;
        config.options.scaled_width = std::max(1, static_cast<int>(features.width * scale + 0.5));
        config.options.scaled_height = std::max(1, static_cast<int>(features.height * scale + 0.5));
    }
    config.output.colorspace = MODE_BGRA;
    if (WebPDecode(bytes.data(), bytes.size(), &config) != VP8_STATUS_OK)
        return false;
    const WebPRGBABuffer& out = config.output.u.RGBA;
    const auto w = static_cast<std::uint32_t>(config.output.width);
    const auto h = static_cast<std::uint32_t>(config.output.height);
    bool ok = r.Begin(RawSize{w, h, 1});
    for (std::uint32_t y = 0; ok && y < h; ++y)
        r.PushRow(reinterpret_cast<const std::uint32_t*>(out.rgba + std::size_t{y} * out.stride));
    WebPFreeDecBuffer(&config.output);
    return ok;
}
} // namespace codec::detail
