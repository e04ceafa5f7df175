// PNG and OpenEXR files of the pathbloom command: channel scaling, bit depths
// and round trips.
#include <gtest/gtest.h>

#include <cstring>

#include "cli/contact_sheet.h"
#include "cli/image_io.h"
#include "tests/cli/cli_fixtures.h"

namespace {

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
