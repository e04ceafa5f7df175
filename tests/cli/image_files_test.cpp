// PNG and OpenEXR files of the pathbloom command: channel scaling, bit depths
// and round trips.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "cli/contact_sheet.h"
#include "cli/image_io.h"
#include "tests/cli/cli_fixtures.h"

namespace {

std::string readWhole(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(PngChannels, HostSixteenBitsScaleToTheFullPngRange) {
    const struct { uint16_t host, png; } cases[] = {{0, 0}, {1, 2}, {16384, 32768}, {32767, 65533}, {32768, 65535}};
    for (const auto &c : cases) {
        EXPECT_EQ(pathbloom::pngChannelFromHost16(c.host), c.png) << c.host;
        EXPECT_EQ(pathbloom::host16ChannelFromPng(c.png), c.host) << c.png;
    }
}

TEST(PngChannels, EveryHostValueSurvivesTheRoundTrip) {
    for (uint32_t v = 0; v <= 32768; ++v)
        ASSERT_EQ(pathbloom::host16ChannelFromPng(pathbloom::pngChannelFromHost16(uint16_t(v))), v);
}

minihost::Image gradient(int width, int height, minihost::Depth depth) {
    minihost::Image image = minihost::makeImage(width, height, depth);
    const size_t pixels = size_t(width) * size_t(height);
    for (size_t i = 0; i < pixels; ++i) {
        for (int c = 0; c < 4; ++c) {
            const uint32_t step = uint32_t(i * 4 + size_t(c)) * 977u;
            if (depth == minihost::Depth::Bits8) {
                image.data[i * 4 + size_t(c)] = uint8_t(step % 256);
            } else if (depth == minihost::Depth::Bits16) {
                const uint16_t value = uint16_t(step % 32769);
                std::memcpy(image.data.data() + i * 8 + size_t(c) * 2, &value, 2);
            } else {
                const float value = float(step % 1001) / 1000.0f;
                std::memcpy(image.data.data() + i * 16 + size_t(c) * 4, &value, 4);
            }
        }
    }
    return image;
}

TEST(PngFiles, EightAndSixteenBitImagesRoundTripExactly) {
    const std::string folder = scratchFolder();
    const struct {
        minihost::Depth depth;
        int bitDepth;
    } cases[] = {{minihost::Depth::Bits8, 8}, {minihost::Depth::Bits16, 16}};
    for (const auto &c : cases) {
        const minihost::Image image = gradient(7, 5, c.depth);
        const std::string path = folder + "/image" + std::to_string(c.bitDepth) + ".png";
        std::string error;
        ASSERT_TRUE(pathbloom::writePng(path, image, error)) << error;
        PngHeader header;
        ASSERT_TRUE(readPngHeader(path, header));
        EXPECT_EQ(header.width, 7);
        EXPECT_EQ(header.height, 5);
        EXPECT_EQ(header.bitDepth, c.bitDepth);
        EXPECT_EQ(header.colorType, 6);  // RGBA
        minihost::Image back;
        ASSERT_TRUE(pathbloom::readPng(path, back, error)) << error;
        EXPECT_EQ(back.depth, c.depth);
        EXPECT_EQ(back.data, image.data);
    }
}

TEST(PngFiles, SixteenBitChannelsAreWrittenScaledAndBigEndian) {
    const std::string folder = scratchFolder();
    minihost::Image image = minihost::makeImage(1, 1, minihost::Depth::Bits16);
    const uint16_t argb[4] = {32768, 0, 16384, 1};
    std::memcpy(image.data.data(), argb, 8);
    std::string error;
    ASSERT_TRUE(pathbloom::writePng(folder + "/one.png", image, error)) << error;
    minihost::Image back;
    ASSERT_TRUE(pathbloom::readPng(folder + "/one.png", back, error)) << error;
    uint16_t read[4];
    std::memcpy(read, back.data.data(), 8);
    EXPECT_EQ(read[0], 32768);
    EXPECT_EQ(read[1], 0);
    EXPECT_EQ(read[2], 16384);
    EXPECT_EQ(read[3], 1);
}

TEST(PngFiles, ReadingReportsWhatIsWrong) {
    const std::string folder = scratchFolder();
    minihost::Image image;
    std::string error;
    EXPECT_FALSE(pathbloom::readPng(folder + "/absent.png", image, error));
    EXPECT_EQ(error, "cannot open " + folder + "/absent.png");
    writeTextFile(folder + "/text.png", "not an image at all");
    EXPECT_FALSE(pathbloom::readPng(folder + "/text.png", image, error));
    EXPECT_EQ(error, folder + "/text.png is not a PNG file");
    // A real signature with a truncated body: libpng's complaint comes back.
    writeTextFile(folder + "/cut.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
    EXPECT_FALSE(pathbloom::readPng(folder + "/cut.png", image, error));
    EXPECT_EQ(error.rfind(folder + "/cut.png: ", 0), 0u) << error;
}

// A PNG in any layout, written with libpng from the file's own row bytes;
// `rows` empty writes a first row of noise, as a file cut after it.
struct RawPng {
    png_uint_32 width, height;
    int bitDepth, colorType, interlace;
    std::vector<uint8_t> rows;          // height rows, packed as in the file
    std::vector<png_color> palette;     // for colour type 3
    std::vector<uint8_t> transparency;  // tRNS alpha per palette entry
};

bool writeRawPng(const std::string &path, const RawPng &raw) {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const size_t rowBytes = raw.height ? raw.rows.size() / raw.height : 0;
    std::vector<png_bytep> pointers;
    for (png_uint_32 y = 0; y < raw.height && !raw.rows.empty(); ++y)
        pointers.push_back(const_cast<png_bytep>(raw.rows.data() + rowBytes * y));
    const bool ok = !setjmp(png_jmpbuf(png));
    if (ok) {
        png_init_io(png, file);
        png_set_IHDR(png, info, raw.width, raw.height, raw.bitDepth, raw.colorType, raw.interlace,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        if (!raw.palette.empty()) png_set_PLTE(png, info, raw.palette.data(), int(raw.palette.size()));
        if (!raw.transparency.empty())
            png_set_tRNS(png, info, raw.transparency.data(), int(raw.transparency.size()), nullptr);
        png_write_info(png, info);
        if (!pointers.empty()) {
            png_write_image(png, pointers.data());
            png_write_end(png, nullptr);
        } else {
            // Noise fills libpng's buffer, so that data follows the header.
            std::vector<uint8_t> noise(png_get_rowbytes(png, info));
            uint32_t seed = 1;
            for (uint8_t &byte : noise) byte = uint8_t((seed = seed * 1664525u + 1013904223u) >> 24);
            png_write_row(png, noise.data());
        }
    }
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return ok;
}

TEST(PngFiles, EveryLayoutReadsAsStraightRgba) {
    const std::string folder = scratchFolder();
    const struct {
        const char *what;
        RawPng raw;
        std::vector<int> expected;  // alpha, red, green, blue per pixel, in the image's depth
    } cases[] = {
        {"palette with transparency",
         {2, 1, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, {0, 1}, {{10, 20, 30}, {200, 100, 50}}, {128}},
         {128, 10, 20, 30, 255, 200, 100, 50}},
        {"1-bit grey",
         {2, 1, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, {0x80}, {}, {}},
         {255, 255, 255, 255, 255, 0, 0, 0}},
        {"grey and alpha",
         {2, 1, 8, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_INTERLACE_NONE, {77, 200, 5, 0}, {}, {}},
         {200, 77, 77, 77, 0, 5, 5, 5}},
        {"16-bit grey",
         {2, 1, 16, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, {0xff, 0xff, 0x80, 0x00}, {}, {}},
         {32768, 32768, 32768, 32768, 32768, 16384, 16384, 16384}},
        {"interlaced colour",
         {3,
          2,
          8,
          PNG_COLOR_TYPE_RGB,
          PNG_INTERLACE_ADAM7,
          {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18},
          {},
          {}},
         {255, 1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255, 13, 14, 15, 255, 16, 17, 18}},
    };
    for (const auto &c : cases) {
        const std::string path = folder + "/layout.png";
        ASSERT_TRUE(writeRawPng(path, c.raw)) << c.what;
        minihost::Image image;
        std::string error;
        ASSERT_TRUE(pathbloom::readPng(path, image, error)) << c.what << ": " << error;
        ASSERT_EQ(image.width, int(c.raw.width)) << c.what;
        const bool deep = c.raw.bitDepth == 16;
        EXPECT_EQ(image.depth, deep ? minihost::Depth::Bits16 : minihost::Depth::Bits8) << c.what;
        std::vector<int> got;
        for (size_t i = 0; i < c.expected.size(); ++i) {
            uint16_t channel = 0;
            if (deep)
                std::memcpy(&channel, image.data.data() + i * 2, 2);
            else
                channel = image.data[i];
            got.push_back(channel);
        }
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

// Refused before anything the size of the image is allocated, or with
// libpng's complaint and nothing leaked when the rows run short.
TEST(PngFiles, HostileFilesAreRefusedClearly) {
    const std::string folder = scratchFolder();
    std::vector<uint8_t> noise(64 * 3 * 64);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t(i * 7919 % 251);
    ASSERT_TRUE(writeRawPng(folder + "/whole.png", {64, 64, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, noise, {}, {}}));
    const std::string whole = readWhole(folder + "/whole.png");
    writeTextFile(folder + "/cut.png", whole.substr(0, whole.size() / 2));
    const struct {
        const char *what;
        png_uint_32 width, height;  // a header alone of this size; 0: `file` as it is
        std::string file, expected;
    } cases[] = {
        {"wider than the limit", 100000, 100000, "big.png",
         "/big.png: claims 100000 x 100000 pixels, more than the 30000 x 30000 and 268435456 pixels this reader takes"},
        {"more pixels than the limit", 20000, 20000, "many.png",
         "/many.png: claims 20000 x 20000 pixels, more than the 30000 x 30000 and 268435456 pixels this reader takes"},
        {"more than its bytes can hold", 10000, 10000, "thin.png",
         "/thin.png: claims 10000 x 10000 pixels, more than its %zu bytes can hold"},
        {"rows cut short", 0, 0, "cut.png", "/cut.png: Read Error"},
        {"a folder", 0, 0, "", " is a folder, not a PNG file"},
    };
    for (const auto &c : cases) {
        const std::string path = folder + (c.file.empty() ? "" : "/" + c.file);
        if (c.width) {
            ASSERT_TRUE(writeRawPng(path, {c.width, c.height, 8, PNG_COLOR_TYPE_RGB, 0, {}, {}, {}}));
        }
        minihost::Image image;
        std::string error;
        EXPECT_FALSE(pathbloom::readPng(path, image, error)) << c.what;
        const std::string bytes = c.width ? std::to_string(std::filesystem::file_size(path)) : "";
        std::string expected = c.expected;
        if (expected.find("%zu") != std::string::npos) expected.replace(expected.find("%zu"), 3, bytes);
        EXPECT_EQ(error, folder + expected) << c.what;
    }
    minihost::Image image;
    std::string error;
    EXPECT_FALSE(pathbloom::readPng("/dev/zero", image, error));
    EXPECT_EQ(error, "/dev/zero is not a regular file");
}

TEST(ExrFiles, FloatImagesRoundTripThroughPremultipliedChannels) {
    const std::string folder = scratchFolder();
    minihost::Image image = minihost::makeImage(2, 1, minihost::Depth::Float);
    const float pixels[8] = {0.5f, 0.8f, 0.25f, 1.5f,   // half-transparent, over-range red... blue
                             0.0f, 0.3f, 0.3f,  0.3f};  // fully transparent: colour is lost
    std::memcpy(image.data.data(), pixels, sizeof pixels);
    std::string error;
    ASSERT_TRUE(pathbloom::writeExr(folder + "/f.exr", image, error)) << error;
    minihost::Image back;
    ASSERT_TRUE(pathbloom::readExr(folder + "/f.exr", back, error)) << error;
    ASSERT_EQ(back.width, 2);
    ASSERT_EQ(back.height, 1);
    float read[8];
    std::memcpy(read, back.data.data(), sizeof read);
    const float expected[8] = {0.5f, 0.8f, 0.25f, 1.5f, 0.0f, 0.0f, 0.0f, 0.0f};
    for (int c = 0; c < 8; ++c) EXPECT_FLOAT_EQ(read[c], expected[c]) << c;
}

// A full disk: the small file is written only when it is closed, and that
// failure is the writer's result.
TEST(ImageWriters, AFailedCloseIsAFailure) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const minihost::Image image = gradient(2, 2, minihost::Depth::Float);
    using Writer = bool (*)(const std::string &, const minihost::Image &, std::string &);
    const Writer writers[] = {
        [](const std::string &p, const minihost::Image &i, std::string &e) { return pathbloom::writePng(p, i, e); },
        [](const std::string &p, const minihost::Image &i, std::string &e) { return pathbloom::writeExr(p, i, e); }};
    for (Writer write : writers) {
        std::string error;
        EXPECT_FALSE(write("/dev/full", image, error));
        EXPECT_EQ(error, "/dev/full: write failed: No space left on device");
    }
}

TEST(ContactSheet, FramesTileOverACheckerboardWithGaps) {
    const std::vector<minihost::Image> frames = {
        minihost::solidImage(10, 10, PF_Pixel{255, 200, 0, 0}, minihost::Depth::Bits8),
        minihost::makeImage(10, 10, minihost::Depth::Bits8),  // transparent
        minihost::solidImage(10, 10, PF_Pixel{255, 0, 0, 200}, minihost::Depth::Bits16),
    };
    const minihost::Image sheet = pathbloom::tileFrames(frames);
    // Two columns, two rows, 4-pixel gaps.
    ASSERT_EQ(sheet.width, 4 + 2 * (10 + 4));
    ASSERT_EQ(sheet.height, 4 + 2 * (10 + 4));
    auto at = [&](int x, int y) {
        const uint8_t *p = sheet.data.data() + (size_t(y) * size_t(sheet.width) + size_t(x)) * 4;
        return std::vector<int>{p[0], p[1], p[2], p[3]};
    };
    EXPECT_EQ(at(0, 0), (std::vector<int>{255, 0x30, 0x30, 0x30}));       // gap
    EXPECT_EQ(at(4, 4), (std::vector<int>{255, 200, 0, 0}));              // first frame
    EXPECT_EQ(at(18, 4), (std::vector<int>{255, 0x99, 0x99, 0x99}));      // second: light square
    EXPECT_EQ(at(18 + 8, 4), (std::vector<int>{255, 0x66, 0x66, 0x66}));  // dark square
    EXPECT_EQ(at(4, 18), (std::vector<int>{255, 0, 0, 200}));             // third, from 16 bits
    EXPECT_EQ(at(18, 18), (std::vector<int>{255, 0x30, 0x30, 0x30}));     // empty cell
}

TEST(ContactSheet, FramesOfAFolderInFrameOrderPngBeforeExr) {
    const std::string folder = scratchFolder();
    for (const char *name :
         {"frame_0002.png", "frame_0010.exr", "frame_0001.exr", "frame_0001.png", "notes.png", "frame_0003.txt"})
        writeTextFile(folder + "/" + name, "x");
    const std::vector<std::string> files = pathbloom::renderedFrames(folder);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0], folder + "/frame_0001.png");
    EXPECT_EQ(files[1], folder + "/frame_0002.png");
    EXPECT_EQ(files[2], folder + "/frame_0010.exr");
}

}  // namespace
