// The codec library against the files a parent might drop in: every format, phone photos, and
// damaged and hostile files, all made by this project.
#include "platform/codec/codec.h"
#include "platform/codec/picture_store.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "support/test_pictures.h"

namespace {

std::optional<codec::Size> SizeOf(const std::string& bytes)
{
    return codec::SizeOf(codec::MemorySource(bytes.data(), bytes.size()));
}

bool Decode(const std::string& bytes, codec::Picture* out, int fitW = 4000, int fitH = 4000)
{
    return codec::Decode(codec::MemorySource(bytes.data(), bytes.size()), fitW, fitH, out);
}

const auto Reddish = [](std::uint32_t p) { return (p >> 16 & 0xFF) > 200 && (p & 0xFF) < 60; };
const auto Bluish = [](std::uint32_t p) { return (p & 0xFF) > 200 && (p >> 16 & 0xFF) < 60; };

// The samples, and a GIF of three frames.
std::vector<testpics::Sample> AllSamples()
{
    auto samples = testpics::Samples();
    // The trailer dropped; the frame's descriptor and data twice more.
    const std::string gif = testpics::SampleBytes("red.gif"),
                      frame = gif.substr(gif.size() - 16, 15);
    samples.push_back({"frames.gif", gif.substr(0, gif.size() - 1) + frame + frame + ";", 3, 2});
    return samples;
}
} // namespace

TEST(Codec, EveryFormatDecodesAtItsSizeAndFitsTheBox)
{
    for (const auto& s : AllSamples()) {
        SCOPED_TRACE(s.name);
        const auto size = SizeOf(s.bytes);
        ASSERT_TRUE(size);
        EXPECT_EQ(std::pair(size->width, size->height), std::pair(s.width, s.height));
        codec::Picture full, fitted;
        ASSERT_TRUE(Decode(s.bytes, &full));
        EXPECT_EQ(std::pair(full.width, full.height), (std::pair<int, int>(s.width, s.height)));
        ASSERT_TRUE(Decode(s.bytes, &fitted, 16, 16));
        EXPECT_EQ(std::max(fitted.width, fitted.height),
                  std::min<int>(16, std::max(s.width, s.height)));
    }
    // 65535 x 1 is within the budget; the reducer's state is the output's size, not the input's.
    codec::Picture p;
    ASSERT_TRUE(Decode(testpics::Png(65535, 1), &p, 640, 480));
    EXPECT_EQ(std::pair(p.width, p.height), std::pair(640, 1));
}

TEST(Codec, SidewaysPhotosAndBottomUpBmpRowsAreShownUpright)
{
    // Orientation 6: the stored picture is turned a quarter clockwise to show it, so its left
    // (red) half becomes the top; orientation 8 turns it anticlockwise, red at the bottom.
    std::string jpeg = testpics::SampleBytes("sideways.jpg");
    const auto at = jpeg.find(std::string("\x01\x12\0\x03\0\0\0\x01\0\x06", 10));
    ASSERT_NE(at, std::string::npos);
    for (const char orientation : {6, 8}) {
        SCOPED_TRACE(+orientation);
        jpeg[at + 9] = orientation;
        codec::Picture p;
        ASSERT_TRUE(Decode(jpeg, &p));
        ASSERT_EQ(std::pair(p.width, p.height), std::pair(48, 64));
        const std::uint32_t top = p.pixels[8 * 48 + 24], bottom = p.pixels[56 * 48 + 24];
        EXPECT_TRUE(orientation == 6 ? Reddish(top) && Bluish(bottom)
                                     : Bluish(top) && Reddish(bottom));
    }
    codec::Picture p;
    ASSERT_TRUE(Decode(testpics::SampleBytes("runs.bmp"), &p)); // first row, green, is the bottom
    EXPECT_EQ(std::pair(p.pixels[0], p.pixels[4]), std::pair(0xFF0000FFu, 0xFF00FF00u));
    // A colour count in a picture without a colour table is no table to read (found by fuzzing).
    std::string counted = testpics::Bmp(7, 3);
    counted[46] = '\xB8', counted[47] = '\x0B';
    ASSERT_TRUE(Decode(counted, &p));
    EXPECT_EQ(p.pixels[0], 0xFF606060u);
}

TEST(Codec, HugeClaimsAndBrokenFirstFramesAreRefused)
{
    // 10000 x 10000, one pixel, the end marker.
    const std::string qoi("qoif\0\0\x27\x10\0\0\x27\x10\x04\x00\xFE\x10\x20\x30\0\0\0\0\0\0\0\x01",
                          26);
    std::string rle = testpics::Bmp(1, 1).substr(0, 54);
    rle[18] = '\x10', rle[19] = '\x27', rle[22] = '\x10', rle[23] = '\x27'; // 10000 x 10000
    rle[28] = 8, rle[30] = 1;                                               // 8 bits, RLE8
    rle += std::string(1024, '\0') + std::string("\xFF\x01\0\0\0\x01", 6);
    std::string progressive = testpics::SampleBytes("progressive.jpg");
    progressive.replace(progressive.find("\xFF\xC2", 2) + 5, 4,
                        "\x27\x10\x27\x10"); // 10000 x 10000
    // A first frame whose data is broken, then a good larger frame: not the later frame.
    const std::string gif = testpics::SampleBytes("red.gif");
    std::string broken = gif.substr(0, gif.size() - 9) + std::string("\x02\x02\xFF\xFF\0", 5);
    broken += gif.substr(gif.size() - 28 + 8, 28 - 8 - 1) + ';'; // descriptor and data of a frame
    // The trailer dropped; a second frame of 30000 x 30000 follows the first.
    const std::string gifBomb =
        gif.substr(0, gif.size() - 1) +
        std::string("\x2C\0\0\0\0\x30\x75\x30\x75\0\x02\x02\x84\x5F\0;", 17);
    const std::pair<const char*, std::string> refusedAtLoad[] = {
        {"26-byte qoi of 100 megapixels", qoi},
        {"rle8 bmp of 100 megapixels in 1 KB", rle},
        {"gif whose second frame is 900 megapixels", gifBomb},
        {"png of 100,000,000 x 1", testpics::PngClaiming(100'000'000, 1, 16)},
        {"png of 70000 x 2", testpics::PngClaiming(70000, 2, 16)},
        {"gif whose first frame is broken shows nothing, not its second", broken},
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
            damaged.push_back(s.bytes);
            damaged.back()[at] ^= static_cast<char>(1 << (at % 8));
        }
        for (const std::string& bytes : damaged) {
            const auto size = SizeOf(bytes);
            codec::Picture p;
            const bool shown = size && Decode(bytes, &p);
            ++(shown ? accepted : refused);
            const bool turned = shown && (size->width > size->height) != (p.width > p.height) &&
                                size->width != size->height && p.width != p.height;
            EXPECT_FALSE(turned) << size->width << "x" << size->height << " shown as " << p.width
                                 << "x" << p.height;
        }
    }
    EXPECT_GT(accepted, 0);
    EXPECT_GT(refused, 0);
}

TEST(Codec, CheckOfAJpegAgreesWithItsDecodeWhereverItIsCutOrDamaged)
{
    // The check reads the entropy-coded data without decoding it, so it must find the same end
    // to each scan: cut at every byte and flipped at many, in one scan, several, and with a
    // restart marker after every block (restart.jpg: cjpeg -restart 1B of photo.jpg).
    int refused = 0;
    for (const char* name : {"photo.jpg", "progressive.jpg", "restart.jpg"}) {
        SCOPED_TRACE(name);
        const std::string jpeg = testpics::SampleBytes(name);
        std::vector<std::string> variants;
        for (std::size_t cut = 2; cut <= jpeg.size(); ++cut)
            variants.push_back(jpeg.substr(0, cut));
        for (std::size_t at = 2; at < jpeg.size(); at += 3) {
            variants.push_back(jpeg);
            variants.back()[at] ^= static_cast<char>(1 << (at % 8));
        }
        for (const std::string& bytes : variants) {
            const codec::MemorySource file(bytes.data(), bytes.size());
            codec::Picture p;
            codec::Size size;
            const bool decodes = codec::SizeOf(file) && codec::Decode(file, 4000, 4000, &p);
            refused += !decodes;
            EXPECT_EQ(codec::Check(file, &size), decodes) << bytes.size() << " bytes";
        }
        codec::Size size;
        EXPECT_TRUE(codec::Check(codec::MemorySource(jpeg.data(), jpeg.size()), &size));
    }
    EXPECT_GT(refused, 0);
}

TEST(Codec, IsolatedDecodeSurvivesWhatItDecodes)
{
    testpics::TempDir tmp;
    testpics::WriteFile(tmp.path() / "good.jpg", testpics::SampleBytes("photo.jpg"));
    testpics::WriteFile(tmp.path() / "bad.png", testpics::PngClaiming(40, 30, 64));
    codec::Picture p;
    ASSERT_TRUE(codec::DecodeIsolated(tmp.dir() + "good.jpg", 32, 32, &p));
    EXPECT_EQ(std::pair(p.width, p.height), std::pair(32, 24));
    EXPECT_TRUE(Reddish(p.pixels[12 * 32 + 4]));
    EXPECT_FALSE(codec::DecodeIsolated(tmp.dir() + "bad.png", 32, 32, &p));
    EXPECT_FALSE(codec::DecodeIsolated(tmp.dir() + "missing.png", 32, 32, &p));
}
