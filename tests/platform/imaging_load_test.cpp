#include "platform/imaging.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/test_pictures.h"

namespace fs = std::filesystem;

namespace {
// Each byte as the unit of the same value.
std::u16string Widen(const std::string& bytes)
{
    const auto* units = reinterpret_cast<const unsigned char*>(bytes.data());
    return {units, units + bytes.size()};
}

// Status, width and height of a load; the handle is released again.
std::tuple<GpStatus, UINT, UINT> Load(const std::u16string& path)
{
    GpImage* image = nullptr;
    const GpStatus status = GdipLoadImageFromFile(path.c_str(), &image);
    UINT w = 0, h = 0;
    EXPECT_EQ(status == Gdiplus::Ok, image != nullptr);
    if (image) {
        GdipGetImageWidth(image, &w);
        GdipGetImageHeight(image, &h);
        GdipDisposeImage(image);
    }
    return {status, w, h};
}
} // namespace

TEST(ImagingLoad, PictureAtThePixelLimitIsSizedFromItsHeader)
{
    // The codec's own tests size every format; here the file is found by a name of any bytes,
    // and width and height are not swapped on the way.
    testpics::TempDir tmp;
    const std::string name = "k\xE4tzchen \xF0\x9F\x90\xB1.png";
    testpics::WriteFile(tmp.path() / name, testpics::PngClaiming(12500, 8000, 16));
    EXPECT_EQ(Load(Widen(tmp.dir() + name)), std::make_tuple(Gdiplus::Ok, 12500u, 8000u));
}

TEST(ImagingLoad, BrokenHugeAndOddFilesDoNotDecode)
{
    const std::string png = testpics::Png(4, 4), bmp = testpics::Bmp(16, 16),
                      webp = testpics::SampleBytes("lossy.webp");
    const std::pair<const char*, std::string> rows[] = {
        {"zero bytes", ""},
        {"text", "hello, not a picture\n"},
        {"png cut inside its header", png.substr(0, 20)},
        {"png cut before its image data", png.substr(0, 33)},
        {"png of zero width", testpics::PngClaiming(0, 5, 16)},
        {"png of 30000 x 30000 in 4 KB", testpics::PngClaiming(30000, 30000, 4000)},
        {"png just over the pixel limit", testpics::PngClaiming(10000, 10001, 16)},
        {"jpeg cut before its first scan", testpics::SampleBytes("red.jpg").substr(0, 150)},
        {"jpeg of fill bytes", "\xFF\xD8" + std::string(100000, '\xFF')},
        {"gif without a frame", std::string("GIF89a\3\0\2\0\0\0\0;", 14)},
        {"bmp cut inside its pixels", bmp.substr(0, bmp.size() - 10)},
        {"webp shorter than its container", webp.substr(0, webp.size() - 8)},
        {"tiff directory past the end", std::string("II*\0\xFF\xFF\0\0", 8)},
    };
    testpics::TempDir tmp;
    for (const auto& [what, bytes] : rows) {
        testpics::WriteFile(tmp.path() / what, bytes);
        EXPECT_NE(std::get<0>(Load(Widen(tmp.dir() + what))), Gdiplus::Ok) << what;
    }

    fs::create_directory(tmp.path() / "folder.png");
    ASSERT_EQ(mkfifo((tmp.dir() + "fifo.png").c_str(), 0600), 0); // must not block
    fs::create_symlink(tmp.path() / "b.png", tmp.path() / "a.png");
    fs::create_symlink(tmp.path() / "a.png", tmp.path() / "b.png");
    for (const char* name : {"missing.png", "folder.png", "fifo.png", "a.png"})
        EXPECT_NE(std::get<0>(Load(Widen(tmp.dir() + name))), Gdiplus::Ok) << name;
    // A unit no byte could have become names no file.
    EXPECT_NE(std::get<0>(Load(Widen(tmp.dir()) + u"\u0101.png")), Gdiplus::Ok);

    // The picture object reports a failed load once.
    Gdiplus::Image image((Widen(tmp.dir()) + u"missing.png").c_str());
    EXPECT_EQ(image.GetNativeImage(), nullptr);
    EXPECT_NE(image.GetLastStatus(), Gdiplus::Ok);
    EXPECT_EQ(image.GetLastStatus(), Gdiplus::Ok);
}
