#include "tool/verdict.h"

#include "platform/codec/codec.h"
#include "platform/codec/picture_store.h"

#include <cstring>

namespace {
// libwebp's header reading refuses an animation without saying so; the extended header's flag
// bit tells it apart from a damaged file.
bool IsAnimatedWebp(const codec::Source& file)
{
    unsigned char head[21];
    return file.Size() >= sizeof head && file.Read(0, head, sizeof head) &&
           std::memcmp(head + 12, "VP8X", 4) == 0 && (head[20] & 0x02) != 0;
}
} // namespace

std::string SizeRefusal(unsigned long long width, unsigned long long height)
{
    if (width == 0 || height == 0)
        return "damaged: the picture claims to have no pixels";
    if (width > codec::kMaxSide)
        return "too large: " + std::to_string(width) + " pixels wide, the limit is " +
               std::to_string(codec::kMaxSide);
    if (height > codec::kMaxSide)
        return "too large: " + std::to_string(height) + " pixels high, the limit is " +
               std::to_string(codec::kMaxSide);
    if (width * height > codec::kMaxPixels) {
        // Rounded up, so a picture just over the limit never reads as the limit itself.
        const unsigned long long mega = (width * height + 999'999) / 1'000'000;
        return "too large: " + std::to_string(mega) + " megapixels, the limit is " +
               std::to_string(codec::kMaxPixels / 1'000'000);
    }
    return "";
}

PictureVerdict JudgePicture(const std::string& path)
{
    const auto file = codec::FileSource::Open(path);
    if (!file)
        return {Use::Refused, "", "cannot be read (not a plain file, or no permission)"};
    const codec::FileHeader header = codec::ReadFileHeader(*file);
    if (header.format.empty())
        return {Use::Ignored, "",
                "not a picture (Tappy shows PNG, JPEG, GIF, BMP, WebP, TIFF, QOI, HEIF and "
                "AVIF)"};
    if (header.format == "WebP" && IsAnimatedWebp(*file))
        return {Use::Refused, header.format, "animated WebP is not shown"};
    if (!header.stored)
        return {Use::Refused, header.format,
                "damaged: the " + header.format + " header does not read (the file ends early?)"};
    const std::string tooLarge = SizeRefusal(header.stored->width, header.stored->height);
    if (!tooLarge.empty())
        return {Use::Refused, header.format, tooLarge};
    if (!codec::SizeOf(*file))
        return {Use::Refused, header.format, "damaged: its size does not read"};
    codec::Picture picture;
    if (!codec::DecodeIsolated(path, kCheckWidth, kCheckHeight, &picture))
        return {Use::Refused, header.format,
                "damaged: the picture data does not decode (the file may end early)"};
    const auto size = codec::SizeOf(*file);
    return {Use::Shown, header.format,
            std::to_string(size->width) + " x " + std::to_string(size->height)};
}
