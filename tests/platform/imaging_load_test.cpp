#include "platform/imaging.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "test_pictures.h"

namespace fs = std::filesystem;

namespace {
std::u16string Widen(const std::string& bytes)
{
    std::u16string wide;
    for (const char c : bytes)
        wide += static_cast<char16_t>(static_cast<unsigned char>(c));
    return wide;
}

struct Loaded {
    GpStatus status;
    UINT width = 0;
    UINT height = 0;
};

Loaded Load(const std::string& path)
{
    GpImage* image = nullptr;
    Loaded result{GdipLoadImageFromFile(Widen(path).c_str(), &image)};
    if (image) {
        EXPECT_EQ(result.status, Gdiplus::Ok);
        GdipGetImageWidth(image, &result.width);
        GdipGetImageHeight(image, &result.height);
        GdipDisposeImage(image);
    } else {
        EXPECT_NE(result.status, Gdiplus::Ok);
    }
    return result;
}
} // namespace

TEST(ImagingLoad, EveryFormatIsSizedFromItsHeader)
{
    testpics::TempDir tmp;
    for (const auto& sample : testpics::Samples()) {
        SCOPED_TRACE(sample.name);
        testpics::WriteFile(tmp.path() / sample.name, sample.bytes);
        const Loaded got = Load(tmp.dir() + sample.name);
        EXPECT_EQ(got.status, Gdiplus::Ok);
        EXPECT_EQ(got.width, sample.width);
        EXPECT_EQ(got.height, sample.height);
    }
}

TEST(ImagingLoad, BrokenOrHugePicturesDoNotDecode)
{
    const std::string png = testpics::Png(4, 4);
    const std::string bmp = testpics::Bmp(16, 16);
    std::string jpeg;
    std::string webp;
    for (const auto& s : testpics::Samples()) {
        if (std::string(s.name) == "red.jpg")
            jpeg = s.bytes;
        if (std::string(s.name) == "lossy.webp")
            webp = s.bytes;
    }
    std::string jpegNoFrame = jpeg;
    jpegNoFrame[2] = '\0'; // the first marker is no longer a marker
    std::string gifNoFrame = std::string("GIF89a\x03\x00\x02\x00\x00\x00\x00;", 14);

    struct Row {
        const char* what;
        std::string bytes;
    } const rows[] = {
        {"zero bytes", ""},
        {"text named like a picture", "hello, not a picture\n"},
        {"png cut inside its header", png.substr(0, 20)},
        {"png cut before its image data", png.substr(0, 33)},
        {"png of zero width", testpics::PngClaiming(0, 5, 16)},
        {"png of 30000 x 30000 in a few kilobytes", testpics::PngClaiming(30000, 30000, 4000)},
        {"png just over the pixel limit", testpics::PngClaiming(10000, 10001, 16)},
        {"png wider than the format allows", testpics::PngClaiming(0x80000000u, 1, 16)},
        {"jpeg cut before its first scan", jpeg.substr(0, 150)},
        {"jpeg without a frame marker", jpegNoFrame},
        {"jpeg of fill bytes only", "\xFF\xD8" + std::string(100000, '\xFF')},
        {"gif without a frame", gifNoFrame},
        {"bmp cut inside its pixels", bmp.substr(0, bmp.size() - 10)},
        {"webp shorter than its container says", webp.substr(0, webp.size() - 8)},
        {"tiff whose directory lies past the end", std::string("II*\0\xFF\xFF\x00\x00", 8)},
    };
    testpics::TempDir tmp;
    int i = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string path = tmp.dir() + "picture" + std::to_string(i++);
        testpics::WriteFile(path, row.bytes);
        EXPECT_NE(Load(path).status, Gdiplus::Ok);
    }
}

TEST(ImagingLoad, ThePixelLimitIsInclusive)
{
    testpics::TempDir tmp;
    testpics::WriteFile(tmp.path() / "limit.png", testpics::PngClaiming(10000, 10000, 16));
    const Loaded got = Load(tmp.dir() + "limit.png");
    EXPECT_EQ(got.status, Gdiplus::Ok);
    EXPECT_EQ(got.width, 10000u);
}

TEST(ImagingLoad, OnlyRegularFilesAreOpened)
{
    testpics::TempDir tmp;
    fs::create_directory(tmp.path() / "folder.png");
    ASSERT_EQ(mkfifo((tmp.dir() + "fifo.png").c_str(), 0600), 0);
    fs::create_symlink(tmp.path() / "loop-b.png", tmp.path() / "loop-a.png");
    fs::create_symlink(tmp.path() / "loop-a.png", tmp.path() / "loop-b.png");
    for (const char* name : {"missing.png", "folder.png", "fifo.png", "loop-a.png"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(Load(tmp.dir() + name).status, Gdiplus::Ok);
    }
}

TEST(ImagingLoad, UnreadablePictureDoesNotDecode)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not stop root";
    testpics::TempDir tmp;
    testpics::WriteFile(tmp.path() / "locked.png", testpics::Png(2, 2));
    fs::permissions(tmp.path() / "locked.png", fs::perms::none);
    EXPECT_NE(Load(tmp.dir() + "locked.png").status, Gdiplus::Ok);
}

TEST(ImagingLoad, WidePathCarriesOneBytePerUnit)
{
    testpics::TempDir tmp;
    const std::string name = "k\xE4tzchen \xF0\x9F\x90\xB1.png"; // a Latin-1 byte and UTF-8
    testpics::WriteFile(tmp.path() / name, testpics::Png(3, 3));
    EXPECT_EQ(Load(tmp.dir() + name).status, Gdiplus::Ok);

    // A unit no byte could have become names no file.
    GpImage* image = nullptr;
    const std::u16string wide = Widen(tmp.dir()) + u"\u0101.png";
    EXPECT_NE(GdipLoadImageFromFile(wide.c_str(), &image), Gdiplus::Ok);
    EXPECT_EQ(image, nullptr);
}

TEST(ImagingLoad, PictureObjectReportsItsLoadOnceThenOk)
{
    testpics::TempDir tmp;
    testpics::WriteFile(tmp.path() / "ok.bmp", testpics::Bmp(2, 2));
    const std::u16string good = Widen(tmp.dir() + "ok.bmp");
    const std::u16string bad = Widen(tmp.dir() + "missing.bmp");

    Gdiplus::Image loaded(good.c_str());
    EXPECT_EQ(loaded.GetLastStatus(), Gdiplus::Ok);
    EXPECT_NE(loaded.GetNativeImage(), nullptr);

    Gdiplus::Image missing(bad.c_str());
    EXPECT_EQ(missing.GetNativeImage(), nullptr);
    EXPECT_NE(missing.GetLastStatus(), Gdiplus::Ok);
    EXPECT_EQ(missing.GetLastStatus(), Gdiplus::Ok);
}
