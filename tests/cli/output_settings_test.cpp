// Compression settings of the pathbloom command's PNG and OpenEXR files:
// every lossless setting reads back exactly, half floats round as worked out
// by hand, the file says which compression it has, and bad option values
// stop the command.
#include <gtest/gtest.h>

#include <ImfChannelList.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <ImfStandardAttributes.h>
#include <ImfStringAttribute.h>
#include <png.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/image_io.h"
#include "tests/cli/cli_fixtures.h"

namespace {

namespace fs = std::filesystem;

std::string readWhole(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Smooth ramps with flat runs and noise: each filter and level has something
// to find, and every channel value occurs.
minihost::Image testImage(minihost::Depth depth) {
    const int width = 67, height = 23;
    minihost::Image image = minihost::makeImage(width, height, depth);
    const size_t bytes = size_t(minihost::bytesPerPixel(depth)) / 4;
    uint32_t noise = 12345;
    for (size_t i = 0; i < size_t(width) * height; ++i) {
        for (size_t c = 0; c < 4; ++c) {
            noise = noise * 1103515245u + 12345u;
            const uint32_t x = uint32_t(i % size_t(width)), y = uint32_t(i / size_t(width));
            const uint32_t ramp = y < 8 ? x * 4 + uint32_t(c) * 13 : y < 16 ? 200 : (noise >> 16);
            uint8_t *p = image.data.data() + (i * 4 + c) * bytes;
            if (depth == minihost::Depth::Bits8) {
                *p = uint8_t(ramp);
            } else if (depth == minihost::Depth::Bits16) {
                const uint16_t v = uint16_t((ramp * 131u) % 32769u);
                std::memcpy(p, &v, 2);
            } else {
                const float v = float(ramp % 1024) / 1023.0f * (c == 0 ? 1.0f : 3.0f);
                std::memcpy(p, &v, 4);
            }
        }
    }
    return image;
}

TEST(PngCompression, NamesAndLevels) {
    using pathbloom::PngFilter;
    const struct {
        const char *text;
        bool ok;
        int level;
        PngFilter filter;
    } cases[] = {{"fast", true, 1, PngFilter::noneOrUp}, {"default", true, 6, PngFilter::adaptive},
                 {"best", true, 9, PngFilter::adaptive}, {"none", true, 0, PngFilter::none},
                 {"0", true, 0, PngFilter::none},        {"3", true, 3, PngFilter::noneOrUp},
                 {"4", true, 4, PngFilter::adaptive},    {"9", true, 9, PngFilter::adaptive},
                 {"10", false, 0, PngFilter::none},      {"-1", false, 0, PngFilter::none},
                 {"", false, 0, PngFilter::none},        {"Fast", false, 0, PngFilter::none},
                 {"1 ", false, 0, PngFilter::none}};
    for (const auto &c : cases) {
        pathbloom::PngSettings settings{-7, PngFilter::up};
        EXPECT_EQ(pathbloom::parsePngCompression(c.text, settings), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(settings.level, c.level) << c.text;
        EXPECT_EQ(settings.filter, c.filter) << c.text;
    }
}

TEST(PngCompression, EverySettingReadsBackExactly) {
    const std::string folder = scratchFolder();
    const char *settingNames[] = {"none", "fast", "default", "best", "1", "2", "3", "4", "5", "7", "8"};
    for (minihost::Depth depth : {minihost::Depth::Bits8, minihost::Depth::Bits16}) {
        const minihost::Image image = testImage(depth);
        std::vector<pathbloom::PngSettings> all;
        for (const char *name : settingNames) {
            pathbloom::PngSettings settings;
            ASSERT_TRUE(pathbloom::parsePngCompression(name, settings)) << name;
            all.push_back(settings);
        }
        all.push_back({1, pathbloom::PngFilter::up});
        for (const pathbloom::PngSettings &settings : all) {
            const std::string path = folder + "/frame.png";
            std::string error;
            ASSERT_TRUE(pathbloom::writePng(path, image, error, settings)) << error;
            minihost::Image back;
            ASSERT_TRUE(pathbloom::readPng(path, back, error)) << error;
            EXPECT_EQ(back.depth, image.depth);
            EXPECT_EQ(back.data, image.data) << "level " << settings.level << ", depth " << int(depth);
        }
    }
}

// The settings reach libpng and zlib: stored rows are larger than the
// pixels, the smallest setting well under them; on rows that each add one
// to the row above, UP leaves nothing for deflate but NONE leaves noise.
TEST(PngCompression, TheSettingsChangeTheFile) {
    const std::string folder = scratchFolder();
    const minihost::Image image = testImage(minihost::Depth::Bits8);
    std::string error;
    ASSERT_TRUE(pathbloom::writePng(folder + "/none.png", image, error, {0, pathbloom::PngFilter::none}));
    ASSERT_TRUE(pathbloom::writePng(folder + "/best.png", image, error, {9, pathbloom::PngFilter::adaptive}));
    EXPECT_GT(fs::file_size(folder + "/none.png"), image.data.size());
    EXPECT_LT(fs::file_size(folder + "/best.png") * 3, image.data.size() * 2);

    minihost::Image steps = minihost::makeImage(64, 64, minihost::Depth::Bits8);
    uint32_t noise = 99;
    for (size_t i = 0; i < steps.data.size(); ++i) {
        noise = noise * 1103515245u + 12345u;
        steps.data[i] = i < 64 * 4 ? uint8_t(noise >> 16) : uint8_t(steps.data[i - 64 * 4] + 1);
    }
    ASSERT_TRUE(pathbloom::writePng(folder + "/none1.png", steps, error, {1, pathbloom::PngFilter::none}));
    ASSERT_TRUE(pathbloom::writePng(folder + "/up1.png", steps, error, {1, pathbloom::PngFilter::up}));
    EXPECT_LT(fs::file_size(folder + "/up1.png") * 4, fs::file_size(folder + "/none1.png"));
}

// The option's names, what OpenEXR calls each and the zlib level asked for.
const struct {
    const char *name;
    Imf::Compression imf;
    const char *method;
    int zipLevel;
} exrMethods[] = {{"none", Imf::NO_COMPRESSION, "none", -1},      {"rle", Imf::RLE_COMPRESSION, "rle", -1},
                  {"zips", Imf::ZIPS_COMPRESSION, "zips", -1},    {"zip", Imf::ZIP_COMPRESSION, "zip", -1},
                  {"fast", Imf::ZIP_COMPRESSION, "zip", 1},       {"piz", Imf::PIZ_COMPRESSION, "piz", -1},
                  {"pxr24", Imf::PXR24_COMPRESSION, "pxr24", -1}, {"b44", Imf::B44_COMPRESSION, "b44", -1},
                  {"b44a", Imf::B44A_COMPRESSION, "b44a", -1},    {"dwaa", Imf::DWAA_COMPRESSION, "dwaa", -1},
                  {"dwab", Imf::DWAB_COMPRESSION, "dwab", -1}};

TEST(ExrCompression, Names) {
    for (const auto &m : exrMethods) {
        pathbloom::ExrSettings settings{pathbloom::ExrCompression::none, true, 7};
        ASSERT_TRUE(pathbloom::parseExrCompression(m.name, settings)) << m.name;
        EXPECT_EQ(pathbloom::exrCompressionName(settings.compression), m.method);
        EXPECT_EQ(settings.zipLevel, m.zipLevel) << m.name;
        EXPECT_TRUE(settings.half) << m.name << " leaves half alone";
    }
    for (const char *bad : {"", "ZIP", "zip1", "dwa", "lzw", "Fast"}) {
        pathbloom::ExrSettings settings;
        EXPECT_FALSE(pathbloom::parseExrCompression(bad, settings)) << bad;
    }
}

// Each method and channel type: the header says what was asked for (as
// OpenEXR reads it), and a lossless one gives back exactly what the
// uncompressed file does.
TEST(ExrCompression, HeaderAndPixelsOfEveryMethod) {
    const std::string folder = scratchFolder();
    const minihost::Image image = testImage(minihost::Depth::Float);
    for (const bool half : {false, true}) {
        std::string error;
        const std::string plain = folder + "/plain.exr";
        ASSERT_TRUE(pathbloom::writeExr(plain, image, error, {pathbloom::ExrCompression::none, half})) << error;
        minihost::Image reference;
        ASSERT_TRUE(pathbloom::readExr(plain, reference, error)) << error;
        for (const auto &m : exrMethods) {
            pathbloom::ExrSettings settings;
            ASSERT_TRUE(pathbloom::parseExrCompression(m.name, settings)) << m.name;
            settings.half = half;
            const pathbloom::ExrCompression compression = settings.compression;
            const std::string name = std::string(m.name) + (half ? " half" : " float");
            const std::string path = folder + "/" + m.name + ".exr";
            ASSERT_TRUE(pathbloom::writeExr(path, image, error, settings)) << error;
            {
                Imf::InputFile file(path.c_str());
                EXPECT_EQ(file.header().compression(), m.imf) << name;
                for (const char *channel : {"R", "G", "B", "A"}) {
                    const Imf::Channel *found = file.header().channels().findChannel(channel);
                    ASSERT_NE(found, nullptr) << name << " " << channel;
                    EXPECT_EQ(found->type, half ? Imf::HALF : Imf::FLOAT) << name << " " << channel;
                }
            }
            minihost::Image back;
            ASSERT_TRUE(pathbloom::readExr(path, back, error)) << error;
            ASSERT_EQ(back.data.size(), reference.data.size()) << name;
            const bool same = back.data == reference.data;
            if (pathbloom::exrCompressionIsLossless(compression, half))
                EXPECT_TRUE(same) << name << " is lossless";
            else
                EXPECT_FALSE(same) << name << " is said to be lossy on this image";
        }
        // The zlib level reaches the file: level 1 deflates differently.
        EXPECT_NE(readWhole(folder + "/fast.exr"), readWhole(folder + "/zip.exr"));
    }
}

// Half channels hold the nearest half (ties to even); the colour is
// premultiplied on the way out and divided on the way in.
TEST(ExrCompression, HalfChannelsRoundToTheNearestHalf) {
    const struct {
        float alpha, colour;
        float expectedAlpha, expectedColour;
    } cases[] = {
        {1.0f, 0.1f, 1.0f, 0.0999755859375f},        // 1638 / 16384
        {1.0f, 1.0f / 3.0f, 1.0f, 0.333251953125f},  // 1365 / 4096
        {1.0f, 2049.0f, 1.0f, 2048.0f},              // halfway between 2048 and 2050: the even one
        {1.0f, 65504.0f, 1.0f, 65504.0f},            // the largest half
        {1.0f, 1e-8f, 1.0f, 0.0f},                   // under half the smallest subnormal, 2^-24
        {0.5f, 0.1f, 0.5f, 0.0999755859375f},        // 0.05 stored as 0.04998779296875, then / 0.5
        {0.1f, 0.5f, 0.0999755859375f, 0.5f},        // 0.05 again, over the rounded alpha
    };
    const std::string folder = scratchFolder();
    minihost::Image image = minihost::makeImage(int(std::size(cases)), 1, minihost::Depth::Float);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const float argb[4] = {cases[i].alpha, cases[i].colour, cases[i].colour, cases[i].colour};
        std::memcpy(image.data.data() + i * 16, argb, 16);
    }
    for (const auto compression : {pathbloom::ExrCompression::none, pathbloom::ExrCompression::zips,
                                   pathbloom::ExrCompression::piz, pathbloom::ExrCompression::pxr24}) {
        std::string error;
        ASSERT_TRUE(pathbloom::writeExr(folder + "/half.exr", image, error, {compression, true})) << error;
        minihost::Image back;
        ASSERT_TRUE(pathbloom::readExr(folder + "/half.exr", back, error)) << error;
        for (size_t i = 0; i < std::size(cases); ++i) {
            float argb[4];
            std::memcpy(argb, back.data.data() + i * 16, 16);
            EXPECT_EQ(argb[0], cases[i].expectedAlpha) << i;
            for (int c = 1; c < 4; ++c) EXPECT_EQ(argb[c], cases[i].expectedColour) << i << " channel " << c;
        }
    }
}

std::string plugin() { return " --plugin '" + mainPluginPath() + "'"; }

TEST(CompressionOptions, BadValuesStopWithStatusTwoBeforeAnyFile) {
    const std::string folder = scratchFolder();
    const struct {
        const char *arguments;
        const char *message;
    } cases[] = {
        {"render scene.json -o OUT --png-compression 10",
         "pathbloom: --png-compression: \"10\" is not fast, default, best, none or a level 0..9\n"},
        {"render scene.json -o OUT --png-compression fastest",
         "pathbloom: --png-compression: \"fastest\" is not fast, default, best, none or a level 0..9\n"},
        {"render scene.json -o OUT --exr-compression zip9",
         "pathbloom: --exr-compression: \"zip9\" is not fast, none, rle, zips, zip, piz, pxr24, b44, b44a, dwaa or "
         "dwab\n"},
        {"render scene.json -o OUT --exr-compression ''",
         "pathbloom: --exr-compression: \"\" is not fast, none, rle, zips, zip, piz, pxr24, b44, b44a, dwaa or dwab\n"},
        {"contact-sheet IN -o OUT/sheet.png --png-compression x",
         "pathbloom: --png-compression: \"x\" is not fast, default, best, none or a level 0..9\n"},
    };
    for (const auto &c : cases) {
        std::string arguments = c.arguments;
        for (const char *word : {"OUT", "IN", "scene.json"}) {
            const auto at = arguments.find(word);
            if (at != std::string::npos) arguments.replace(at, std::strlen(word), folder + "/" + word);
        }
        const CommandResult result = runPathbloom(arguments);
        EXPECT_EQ(result.status, 2) << c.arguments;
        EXPECT_EQ(result.err, c.message) << c.arguments;
        EXPECT_FALSE(fs::exists(folder + "/OUT")) << c.arguments;
    }
}

const char *floatScene = R"({
  "width": 20, "height": 12, "background": "#40404080", "frames": [0, 0], "depth": 32,
  "masks": [{"closed": true, "points": [[4, 3], [16, 3], [16, 9], [4, 9]]}],
  "params": {"First Radius": 3}
})";

// The options reach the files: the EXR frame's header and channels, and the
// PNG preview's pixels, the same at every level.
TEST(CompressionOptions, RenderWritesWhatTheOptionsAsk) {
    const std::string folder = scratchFolder();
    writeTextFile(folder + "/scene.json", floatScene);
    const struct {
        const char *options;
        Imf::Compression compression;
        Imf::PixelType type;
    } cases[] = {{"", Imf::ZIP_COMPRESSION, Imf::FLOAT},
                 {"--exr-compression piz --half", Imf::PIZ_COMPRESSION, Imf::HALF},
                 {"--exr-compression none --png-compression best", Imf::NO_COMPRESSION, Imf::FLOAT},
                 {"--exr-compression dwaa --png-compression 0", Imf::DWAA_COMPRESSION, Imf::FLOAT}};
    minihost::Image firstPreview;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::string out = folder + "/out" + std::to_string(i);
        const CommandResult result = runPathbloom("render '" + folder + "/scene.json' -o '" + out + "' --preview " +
                                                  cases[i].options + plugin());
        ASSERT_EQ(result.status, 0) << cases[i].options << "\n" << result.err;
        Imf::InputFile file((out + "/frame_0000.exr").c_str());
        EXPECT_EQ(file.header().compression(), cases[i].compression) << cases[i].options;
        EXPECT_EQ(file.header().channels().findChannel("R")->type, cases[i].type) << cases[i].options;
        minihost::Image preview;
        std::string error;
        ASSERT_TRUE(pathbloom::readPng(out + "/frame_0000.png", preview, error)) << error;
        if (i == 0)
            firstPreview = preview;
        else
            EXPECT_EQ(preview.data, firstPreview.data) << cases[i].options;
    }
}

// The sheet's setting reaches its file: stored is larger, the pixels are
// the same.
TEST(CompressionOptions, ContactSheetTakesItsOwnSetting) {
    const std::string folder = scratchFolder();
    writeTextFile(folder + "/scene.json", floatScene);
    ASSERT_EQ(runPathbloom("render '" + folder + "/scene.json' -o '" + folder + "/frames'" + plugin()).status, 0);
    const std::string sheet = folder + "/sheet.png", stored = folder + "/stored.png";
    ASSERT_EQ(runPathbloom("contact-sheet '" + folder + "/frames' -o '" + sheet + "'").status, 0);
    ASSERT_EQ(runPathbloom("contact-sheet '" + folder + "/frames' -o '" + stored + "' --png-compression none").status,
              0);
    EXPECT_GT(fs::file_size(stored), fs::file_size(sheet) * 2);
    minihost::Image a, b;
    std::string error;
    ASSERT_TRUE(pathbloom::readPng(sheet, a, error)) << error;
    ASSERT_TRUE(pathbloom::readPng(stored, b, error)) << error;
    EXPECT_EQ(a.data, b.data);
}

}  // namespace

// What the numbers mean, read back with the libraries: PNG frames say sRGB,
// EXR frames give sRGB's chromaticities and whether the values are code
// values or linear light; --linear decodes colour, not alpha, at the values
// worked out from the sRGB transfer function.
TEST(ColourMetadata, FilesSayWhatTheirValuesAre) {
    const std::string folder = scratchFolder();
    minihost::Image image = minihost::makeImage(4, 1, minihost::Depth::Float);
    const float argb[4][4] = {{1, 0, 0.04045f, 1}, {0.5f, 0.5f, 0.25f, 0.75f}, {1, 2, 0.01f, 1}, {0, 0, 0, 0}};
    std::memcpy(image.data.data(), argb, sizeof argb);
    std::string error;
    ASSERT_TRUE(pathbloom::writePng(folder + "/f.png", image, error)) << error;
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&png, (folder + "/f.png").c_str()));
    EXPECT_EQ(png.flags & PNG_IMAGE_FLAG_COLORSPACE_NOT_sRGB, 0u);
    png_image_free(&png);

    for (const bool linear : {false, true}) {
        pathbloom::ExrSettings settings = pathbloom::fastExr;
        settings.linear = linear;
        const std::string path = folder + (linear ? "/linear.exr" : "/codes.exr");
        ASSERT_TRUE(pathbloom::writeExr(path, image, error, settings)) << error;
        Imf::InputFile file(path.c_str());
        ASSERT_TRUE(Imf::hasChromaticities(file.header()));
        const Imf::Chromaticities c = Imf::chromaticities(file.header());
        EXPECT_FLOAT_EQ(c.red.x, 0.64f);
        EXPECT_FLOAT_EQ(c.green.y, 0.6f);
        EXPECT_FLOAT_EQ(c.white.x, 0.3127f);
        const auto *encoding = file.header().findTypedAttribute<Imf::StringAttribute>("valueEncoding");
        ASSERT_NE(encoding, nullptr);
        EXPECT_EQ(encoding->value(), linear ? pathbloom::linearEncoding : pathbloom::codeValuesEncoding);
        minihost::Image back;
        ASSERT_TRUE(pathbloom::readExr(path, back, error)) << error;
        float read[4][4];
        std::memcpy(read, back.data.data(), sizeof read);
        // Alpha first. Code 0.5 is 0.21404114 linear, 0.25 is 0.05087609,
        // 0.75 is 0.52252155, 0.04045 (the
        // end of the linear segment) 0.00313080, 0.01 is 0.01 / 12.92 and 2
        // is ((2 + 0.055) / 1.055)^2.4 = 4.9538458; alpha stays.
        const float expected[4][4] = {
            {1, 0, linear ? 0.0031308f : 0.04045f, 1},
            {0.5f, linear ? 0.21404114f : 0.5f, linear ? 0.05087609f : 0.25f, linear ? 0.52252155f : 0.75f},
            {1, linear ? 4.9538458f : 2, linear ? 0.00077399f : 0.01f, 1},
            {0, 0, 0, 0}};
        for (int p = 0; p < 3; ++p)
            for (int ch = 0; ch < 4; ++ch) EXPECT_NEAR(read[p][ch], expected[p][ch], 2e-6f) << p << " " << ch;
    }
}
