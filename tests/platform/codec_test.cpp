// The codec library against the files a parent might drop in: every format, phone photos, and
// damaged and hostile files, all made here.
#include "platform/codec/codec.h"
#include "platform/codec/picture_store.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <jpeglib.h>
#include <libheif/heif.h>

#include "support/test_pictures.h"

namespace {
using testpics::PutInt;

std::optional<codec::Size> SizeOf(const std::string& bytes)
{
    return codec::SizeOf(codec::MemorySource(bytes.data(), bytes.size()));
}

bool Decode(const std::string& bytes, codec::Picture* out, int fitW = 4000, int fitH = 4000)
{
    return codec::Decode(codec::MemorySource(bytes.data(), bytes.size()), fitW, fitH, out);
}

// Left half red, right half blue; baseline or progressive; with an EXIF orientation or none.
std::string Jpeg(int w, int h, bool progressive, int orientation = 0)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    if (progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    if (orientation) {
        std::string exif("Exif\0\0MM\0\x2A\0\0\0\x08\0\x01", 16);
        exif += std::string("\x01\x12\0\x03\0\0\0\x01\0", 9) + static_cast<char>(orientation);
        exif += std::string(6, '\0');
        jpeg_write_marker(&c, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(exif.data()),
                          static_cast<unsigned>(exif.size()));
    }
    std::vector<unsigned char> row(static_cast<std::size_t>(w) * 3);
    for (int x = 0; x < w; ++x) {
        row[x * 3] = x < w / 2 ? 255 : 0;
        row[x * 3 + 2] = x < w / 2 ? 0 : 255;
    }
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::string out(reinterpret_cast<char*>(mem), size);
    std::free(mem);
    return out;
}

heif_error Append(heif_context*, const void* data, size_t size, void* out)
{
    static_cast<std::string*>(out)->append(static_cast<const char*>(data), size);
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
}

// A HEIC or AVIF picture from libheif's own encoder; empty when it has none for the format.
std::string Heif(heif_compression_format format, int w, int h)
{
    heif_context* ctx = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    std::string out;
    if (heif_context_get_encoder_for_format(ctx, format, &encoder).code == heif_error_Ok) {
        heif_image* image = nullptr;
        heif_image_create(w, h, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
        heif_image_add_plane(image, heif_channel_interleaved, w, h, 8);
        int stride = 0;
        uint8_t* p = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* px = p + y * stride + x * 3;
                px[0] = x < w / 2 ? 255 : 0;
                px[1] = 0;
                px[2] = x < w / 2 ? 0 : 255;
            }
        heif_encoder_set_lossy_quality(encoder, 90);
        heif_context_encode_image(ctx, image, encoder, nullptr, nullptr);
        heif_writer writer{1, Append};
        heif_context_write(ctx, &writer, &out);
        heif_image_release(image);
        heif_encoder_release(encoder);
    }
    heif_context_free(ctx);
    return out;
}

bool Reddish(std::uint32_t p)
{
    return (p >> 16 & 0xFF) > 200 && (p & 0xFF) < 60;
}
bool Bluish(std::uint32_t p)
{
    return (p & 0xFF) > 200 && (p >> 16 & 0xFF) < 60;
}

// One pixel written out, then a run of the rest.
std::string Qoi(std::uint32_t w, std::uint32_t h)
{
    std::string qoi = "qoif";
    PutInt(qoi, w, 4, true);
    PutInt(qoi, h, 4, true);
    qoi += std::string("\x03\x00\xFE\x20\x80\xE0", 6);
    for (std::uint32_t left = w * h - 1; left > 0; left -= std::min(left, 62u))
        qoi += static_cast<char>(0xC0 | (std::min(left, 62u) - 1));
    return qoi + std::string("\0\0\0\0\0\0\0\x01", 8);
}

// Two palette colours in runs, one row each, bottom row first.
std::string Rle8Bmp()
{
    std::string bmp = testpics::Bmp(1, 1).substr(0, 54);
    bmp[18] = 4, bmp[22] = 2, bmp[28] = 8, bmp[30] = 1, bmp[10] = 54 + 8;
    bmp[46] = 2; // colours used
    PutInt(bmp, 0x0000FF, 4);
    PutInt(bmp, 0x00FF00, 4);
    return bmp + std::string("\x04\x01\0\0\x04\0\0\x01", 8);
}

std::vector<testpics::Sample> AllSamples()
{
    auto samples = testpics::Samples();
    samples.push_back({"tiny.qoi", Qoi(70, 9), 70, 9});
    samples.push_back({"runs.bmp", Rle8Bmp(), 4, 2});
    std::string frames = testpics::SampleBytes("red.gif");
    const std::string frame = frames.substr(frames.size() - 16, 15); // descriptor and data
    frames.pop_back();
    samples.push_back({"frames.gif", frames + frame + frame + ";", 3, 2});
    samples.push_back({"photo.jpg", Jpeg(64, 48, false), 64, 48});
    samples.push_back({"progressive.jpg", Jpeg(64, 48, true), 64, 48});
    samples.push_back({"sideways.jpg", Jpeg(64, 48, false, 6), 48, 64});
    samples.push_back({"big.png", testpics::Png(90, 70), 90, 70});
    samples.push_back({"big.bmp", testpics::Bmp(33, 17), 33, 17});
    for (auto [name, format] : {std::pair{"phone.heic", heif_compression_HEVC},
                                std::pair{"phone.avif", heif_compression_AV1}}) {
        const std::string bytes = Heif(format, 64, 48);
        if (!bytes.empty())
            samples.push_back({name, bytes, 64, 48});
    }
    return samples;
}
} // namespace

TEST(Codec, EveryFormatDecodesAtItsSizeAndFitsTheBox)
{
    const auto samples = AllSamples();
    EXPECT_EQ(samples.size(), 19u) << "no HEIC or AVIF encoder";
    for (const auto& s : samples) {
        SCOPED_TRACE(s.name);
        const auto size = SizeOf(s.bytes);
        ASSERT_TRUE(size);
        EXPECT_EQ(size->width, s.width);
        EXPECT_EQ(size->height, s.height);
        codec::Picture full, fitted;
        ASSERT_TRUE(Decode(s.bytes, &full));
        EXPECT_EQ(full.width, static_cast<int>(s.width));
        EXPECT_EQ(full.height, static_cast<int>(s.height));
        ASSERT_TRUE(Decode(s.bytes, &fitted, 16, 16));
        EXPECT_LE(fitted.width, 16);
        EXPECT_LE(fitted.height, 16);
        EXPECT_EQ(std::max(fitted.width, fitted.height),
                  std::min<int>(16, std::max(s.width, s.height)));
    }
}

TEST(Codec, PhotoTakenSidewaysIsShownUpright)
{
    // Orientation 6: the stored picture is turned a quarter clockwise to show it, so its left
    // (red) half becomes the top.
    codec::Picture p;
    ASSERT_TRUE(Decode(Jpeg(64, 32, false, 6), &p));
    ASSERT_EQ(p.width, 32);
    ASSERT_EQ(p.height, 64);
    EXPECT_TRUE(Reddish(p.pixels[8 * 32 + 16]));
    EXPECT_TRUE(Bluish(p.pixels[56 * 32 + 16]));
    ASSERT_TRUE(Decode(Jpeg(64, 32, false, 8), &p)); // a quarter anticlockwise: red at the bottom
    EXPECT_TRUE(Bluish(p.pixels[8 * 32 + 16]));
    EXPECT_TRUE(Reddish(p.pixels[56 * 32 + 16]));
}

TEST(Codec, BmpRowsStoredBottomUpAreShownTopDown)
{
    codec::Picture p;
    ASSERT_TRUE(Decode(Rle8Bmp(), &p)); // the file's first row, green, is the bottom one
    EXPECT_EQ(p.pixels[0], 0xFF0000FFu);
    EXPECT_EQ(p.pixels[4], 0xFF00FF00u);
    // A colour count in a picture without a colour table is no table to read (found by fuzzing).
    std::string counted = testpics::Bmp(7, 3);
    counted[46] = '\xB8', counted[47] = '\x0B';
    ASSERT_TRUE(Decode(counted, &p));
    EXPECT_EQ(p.pixels[0], 0xFF606060u);
}

TEST(Codec, HugeClaimsAreRefusedBeforeAnythingIsAllocated)
{
    std::string qoi = "qoif";
    PutInt(qoi, 10000, 4, true);
    PutInt(qoi, 10000, 4, true);
    qoi += std::string("\x04\x00\xFE\x10\x20\x30", 6) + std::string("\0\0\0\0\0\0\0\x01", 8);
    std::string rle = testpics::Bmp(1, 1).substr(0, 54);
    rle[18] = '\x10', rle[19] = '\x27', rle[22] = '\x10', rle[23] = '\x27'; // 10000 x 10000
    rle[28] = 8, rle[30] = 1;                                               // 8 bits, RLE8
    rle += std::string(1024, '\0') + std::string("\xFF\x01\0\0\0\x01", 6);
    std::string progressive = Jpeg(16, 16, true);
    for (std::size_t i = 2; i + 8 < progressive.size(); ++i)
        if (static_cast<unsigned char>(progressive[i]) == 0xFF && progressive[i + 1] == '\xC2') {
            progressive.replace(i + 5, 4, std::string("\x27\x10\x27\x10", 4)); // 10000 x 10000
            break;
        }
    std::string gifBomb = testpics::SampleBytes("red.gif");
    gifBomb.pop_back(); // the trailer; a second frame of 30000 x 30000 follows the first
    gifBomb += std::string("\x2C\0\0\0\0\x30\x75\x30\x75\0\x02\x02\x84\x5F\0;", 17);
    const std::pair<const char*, std::string> refusedAtLoad[] = {
        {"26-byte qoi of 100 megapixels", qoi},
        {"rle8 bmp of 100 megapixels in 1 KB", rle},
        {"gif whose second frame is 900 megapixels", gifBomb},
        {"png of 100,000,000 x 1", testpics::PngClaiming(100'000'000, 1, 16)},
        {"png of 70000 x 2", testpics::PngClaiming(70000, 2, 16)},
    };
    for (const auto& [what, bytes] : refusedAtLoad) {
        SCOPED_TRACE(what);
        EXPECT_FALSE(SizeOf(bytes));
        codec::Picture p;
        EXPECT_FALSE(Decode(bytes, &p));
    }
    // Its header is honest, so it is sized, but it can never fill 100 megapixels.
    codec::Picture p;
    EXPECT_TRUE(SizeOf(progressive));
    EXPECT_FALSE(Decode(progressive, &p));
}

TEST(Codec, GifShowsOnlyItsFirstFrameOrNothing)
{
    // A first frame whose data is broken, then a good larger frame: not the later frame.
    const std::string gif = testpics::SampleBytes("red.gif");
    std::string broken = gif.substr(0, gif.size() - 9) + std::string("\x02\x02\xFF\xFF\0", 5);
    broken += gif.substr(gif.size() - 28 + 8, 28 - 8 - 1); // descriptor and data of a frame
    broken += ';';
    codec::Picture p;
    EXPECT_FALSE(Decode(broken, &p));
}

TEST(Codec, VeryLongPictureIsReducedInLittleMemory)
{
    // 65535 x 1 is within the budget; the reducer's state is the output's size, not the input's.
    codec::Picture p;
    std::string raw;
    ASSERT_TRUE(Decode(testpics::Png(65535, 1), &p, 640, 480));
    EXPECT_EQ(p.width, 640);
    EXPECT_EQ(p.height, 1);
}

TEST(Codec, DamagedFilesAreRefusedOrDecodeToTheirSize)
{
    // Cut short at many points and with single bits flipped: a file may be refused at load or
    // at decode, but one that is sized and decodes must show something at its size.
    int accepted = 0, refused = 0;
    for (const auto& s : AllSamples()) {
        SCOPED_TRACE(s.name);
        std::vector<std::string> damaged;
        for (std::size_t cut = 1; cut < s.bytes.size(); cut += 1 + s.bytes.size() / 40)
            damaged.push_back(s.bytes.substr(0, cut));
        for (std::size_t at = 0; at < s.bytes.size(); at += 1 + s.bytes.size() / 60) {
            std::string flipped = s.bytes;
            flipped[at] = static_cast<char>(flipped[at] ^ (1 << (at % 8)));
            damaged.push_back(flipped);
        }
        for (const std::string& bytes : damaged) {
            const auto size = SizeOf(bytes);
            codec::Picture p;
            if (!size || !Decode(bytes, &p)) {
                ++refused;
                continue;
            }
            ++accepted;
            const bool turned = (size->width > size->height) != (p.width > p.height) &&
                                size->width != size->height && p.width != p.height;
            EXPECT_FALSE(turned) << size->width << "x" << size->height << " shown as " << p.width
                                 << "x" << p.height;
        }
    }
    EXPECT_GT(accepted, 0);
    EXPECT_GT(refused, 0);
}

TEST(Codec, IsolatedDecodeSurvivesWhatItDecodes)
{
    testpics::TempDir tmp;
    testpics::WriteFile(tmp.path() / "good.jpg", Jpeg(64, 48, false));
    testpics::WriteFile(tmp.path() / "bad.png", testpics::PngClaiming(40, 30, 64));
    codec::Picture p;
    ASSERT_TRUE(codec::DecodeIsolated(tmp.dir() + "good.jpg", 32, 32, &p));
    EXPECT_EQ(p.width, 32);
    EXPECT_EQ(p.height, 24);
    EXPECT_TRUE(Reddish(p.pixels[12 * 32 + 4]));
    EXPECT_FALSE(codec::DecodeIsolated(tmp.dir() + "bad.png", 32, 32, &p));
    EXPECT_FALSE(codec::DecodeIsolated(tmp.dir() + "missing.png", 32, 32, &p));
}

// Writes the fuzz corpus (tests/fuzz/corpus/fuzz_picture_*): run with
// --gtest_also_run_disabled_tests --gtest_filter=*WriteFuzzCorpus and the folder in
// TAPPY_CORPUS_DIR.
TEST(Codec, DISABLED_WriteFuzzCorpus)
{
    const char* dir = std::getenv("TAPPY_CORPUS_DIR");
    ASSERT_TRUE(dir);
    for (const auto& s : AllSamples())
        testpics::WriteFile(std::filesystem::path(dir) / s.name, s.bytes);
    testpics::WriteFile(std::filesystem::path(dir) / "interlaced.gif",
                        testpics::SampleBytes("red.gif").replace(22, 1, "\x40", 1));
}
