// Contact sheet layout: sheet and tile sizes for --width and --columns, tiles
// scaled by area averaging, frame-number labels, and the options' errors.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/contact_sheet.h"
#include "cli/image_io.h"
#include "tests/cli/cli_fixtures.h"

namespace {

namespace fs = std::filesystem;

std::vector<int> pixelAt(const minihost::Image &image, int x, int y) {
    const uint8_t *p = image.data.data() + (size_t(y) * size_t(image.width) + size_t(x)) * 4;
    return {p[0], p[1], p[2], p[3]};
}

TEST(ContactSheetLayout, SheetAndTileSizes) {
    const struct {
        int count, cellWidth, cellHeight, width, columns;
        int expectColumns, rows, tileWidth, tileHeight, left, sheetWidth, sheetHeight, narrowest;
    } cases[] = {
        // 48 1080p frames at full size: 7 x 7, as without the options.
        {48, 1920, 1080, 0, 0, 7, 7, 1920, 1080, 4, 4 + 7 * 1924, 4 + 7 * 1084, 39},
        // 1920 wide: (1920 - 8 gaps) / 7 = 269 (5 left over, 2 of them on
        // the left), 1080 * 269 / 1920 = 151.3 -> 151.
        {48, 1920, 1080, 1920, 0, 7, 7, 269, 151, 6, 1920, 4 + 7 * 155, 39},
        {48, 1920, 1080, 1920, 8, 8, 6, 235, 132, 6, 1920, 4 + 6 * 136, 44},
        {48, 1920, 1080, 1000, 12, 12, 4, 79, 44, 4, 1000, 4 + 4 * 48, 64},
        {1, 1920, 1080, 1000, 0, 1, 1, 992, 558, 4, 1000, 566, 9},
        // More columns than frames: one row of the frames.
        {3, 10, 10, 0, 5, 3, 1, 10, 10, 4, 46, 18, 19},
        {3, 10, 10, 0, 0, 2, 2, 10, 10, 4, 32, 32, 14},
        // Wider than the frames need: not enlarged, centred.
        {2, 10, 10, 100, 0, 2, 1, 10, 10, 38, 100, 18, 14},
        // The narrowest sheet: tiles one pixel wide.
        {48, 1920, 1080, 39, 0, 7, 7, 1, 1, 4, 39, 4 + 7 * 5, 39},
    };
    for (const auto &c : cases) {
        const pathbloom::SheetLayout layout{c.width, c.columns, false};
        const pathbloom::SheetGeometry g = pathbloom::sheetGeometry(c.count, c.cellWidth, c.cellHeight, layout);
        const std::string where = std::to_string(c.count) + " frames, width " + std::to_string(c.width) + ", columns " +
                                  std::to_string(c.columns);
        EXPECT_EQ(g.columns, c.expectColumns) << where;
        EXPECT_EQ(g.rows, c.rows) << where;
        EXPECT_EQ(g.tileWidth, c.tileWidth) << where;
        EXPECT_EQ(g.tileHeight, c.tileHeight) << where;
        EXPECT_EQ(g.left, c.left) << where;
        EXPECT_EQ(g.width, c.sheetWidth) << where;
        EXPECT_EQ(g.height, c.sheetHeight) << where;
        EXPECT_EQ(pathbloom::narrowestSheet(c.count, layout), c.narrowest) << where;
    }
}

// A tile pixel is the mean of the frame pixels it covers: alpha by area,
// colour weighted by alpha, so a transparent pixel's colour does not darken
// it; a uniform frame stays exactly its colour at an uneven ratio (7 -> 3).
TEST(ContactSheetLayout, ScaledTilesAreAreaAverages) {
    minihost::Image stripes = minihost::makeImage(4, 4, minihost::Depth::Bits8);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; x += 2) {
            uint8_t *p = stripes.data.data() + (size_t(y) * 4 + size_t(x)) * 4;
            p[0] = p[1] = p[2] = p[3] = 255;  // opaque white beside transparent black
        }
    // One column of 2-pixel tiles: 4 + 2 + 4.
    const minihost::Image halved = pathbloom::tileFrames({stripes}, pathbloom::SheetLayout{10, 0, false});
    ASSERT_EQ(halved.width, 10);
    ASSERT_EQ(halved.height, 10);
    // Alpha 128 (2040 / 16 rounded), white over the light square 0x99:
    // (255 * 128 + 153 * 127 + 127) / 255 = 204.
    for (int y = 4; y < 6; ++y)
        for (int x = 4; x < 6; ++x) EXPECT_EQ(pixelAt(halved, x, y), (std::vector<int>{255, 204, 204, 204})) << x;
    EXPECT_EQ(pixelAt(halved, 6, 4), (std::vector<int>{255, 0x30, 0x30, 0x30}));

    const minihost::Image solid = minihost::solidImage(7, 5, PF_Pixel{255, 10, 20, 30}, minihost::Depth::Bits8);
    const minihost::Image third = pathbloom::tileFrames({solid}, pathbloom::SheetLayout{11, 0, false});
    ASSERT_EQ(third.height, 4 + 2 + 4);  // 5 * 3 / 7 = 2.1 -> 2
    for (int y = 4; y < 6; ++y)
        for (int x = 4; x < 7; ++x) EXPECT_EQ(pixelAt(third, x, y), (std::vector<int>{255, 10, 20, 30})) << x;
    EXPECT_EQ(pixelAt(third, 4, 6), (std::vector<int>{255, 0x30, 0x30, 0x30}));
}

// Labels change the sheet exactly in each tile's label box: at 20-pixel
// tiles one glyph pixel is one sheet pixel, a box is 4 * digits + 1 wide and
// 7 high, in the tile's bottom-left corner.
TEST(ContactSheetLayout, LabelsDrawOnlyInTheirBoxes) {
    const std::vector<minihost::Image> frames(
        8, minihost::solidImage(20, 20, PF_Pixel{255, 50, 100, 150}, minihost::Depth::Bits8));
    std::vector<std::string> labels;
    for (int f = 10; f < 18; ++f) labels.push_back(std::to_string(f));  // a render from frame 10
    const minihost::Image plain = pathbloom::tileFrames(frames, pathbloom::SheetLayout{0, 4, false}, labels);
    const minihost::Image labelled = pathbloom::tileFrames(frames, pathbloom::SheetLayout{0, 4, true}, labels);
    ASSERT_EQ(plain.width, labelled.width);
    ASSERT_EQ(plain.height, labelled.height);
    auto inBox = [](int x, int y) {
        for (int f = 0; f < 8; ++f) {
            const int left = 4 + (f % 4) * 24, boxTop = 4 + (f / 4) * 24 + 20 - 7;
            if (x >= left && x < left + 9 && y >= boxTop && y < boxTop + 7) return true;
        }
        return false;
    };
    for (int y = 0; y < plain.height; ++y)
        for (int x = 0; x < plain.width; ++x)
            EXPECT_EQ(pixelAt(plain, x, y) != pixelAt(labelled, x, y), inBox(x, y)) << x << "," << y;

    // Frame 17's box: left 76, top 41; "1" then "7", one unit of margin.
    const std::vector<int> white{255, 255, 255, 255}, black{255, 0, 0, 0};
    const char *rows[] = {".........", ".-1-.111.", ".11-...1.", ".-1-...1.", ".-1-...1.", ".111...1.", "........."};
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            EXPECT_EQ(pixelAt(labelled, 76 + x, 41 + y), rows[y][x] == '1' ? white : black) << x << "," << y;
}

TEST(ContactSheetLayout, LabelIsTheFileNamesFrameNumber) {
    const struct {
        const char *path, *label;
    } cases[] = {{"out/frame_0007.png", "7"},
                 {"frame_0000.exr", "0"},
                 {"a/frame_1200.png", "1200"},
                 {"frame_2000000.png", "2000000"},
                 {"out/notes.png", ""},
                 {"frame_7x.png", ""},
                 {"frame_.png", ""}};
    for (const auto &c : cases) EXPECT_EQ(pathbloom::frameLabel(c.path), c.label) << c.path;
}

// Bad values stop the command with status 2 and write nothing; a width the
// frames fit in writes a sheet exactly that wide.
TEST(ContactSheetLayout, CommandOptions) {
    const std::string folder = scratchFolder();
    fs::create_directories(folder + "/in");
    for (int f = 0; f < 3; ++f) {
        std::string error;
        ASSERT_TRUE(pathbloom::writePng(folder + "/in/frame_000" + std::to_string(f) + ".png",
                                        minihost::solidImage(40, 20, PF_Pixel{255, 9, 9, 9}, minihost::Depth::Bits8),
                                        error))
            << error;
    }
    const std::string start = "contact-sheet '" + folder + "/in' -o '" + folder + "/out/sheet.png' ";
    const struct {
        const char *options, *message;
    } errors[] = {
        {"--width 0", "pathbloom: --width: 0 is not 1..30000 pixels\n"},
        {"--width 30001", "pathbloom: --width: 30001 is not 1..30000 pixels\n"},
        {"--columns 0", "pathbloom: --columns: 0 is not 1 or more\n"},
        {"--columns -3", "pathbloom: --columns: -3 is not 1 or more\n"},
        // Three frames: two columns, 3 gaps of 4 and two 1-pixel tiles.
        {"--width 13", "pathbloom: --width: 13 is too narrow for 2 columns (at least 14)\n"},
        {"--width 18 --columns 3", "pathbloom: --width: 18 is too narrow for 3 columns (at least 19)\n"},
    };
    for (const auto &e : errors) {
        const CommandResult result = runPathbloom(start + e.options);
        EXPECT_EQ(result.status, 2) << e.options;
        EXPECT_EQ(result.err, e.message) << e.options;
        EXPECT_FALSE(fs::exists(folder + "/out")) << e.options;
    }
    const CommandResult notANumber = runPathbloom(start + "--width wide");
    EXPECT_EQ(notANumber.status, 2);
    EXPECT_NE(notANumber.err.find("--width"), std::string::npos) << notANumber.err;

    fs::create_directories(folder + "/out");
    const struct {
        const char *options;
        int width, height;
    } sheets[] = {{"--width 14", 14, 4 + 2 * (1 + 4)},
                  {"--width 100 --columns 3 --labels", 100, 4 + 14 + 4},  // (100 - 16) / 3 = 28 -> 40x20 to 28x14
                  {"--labels --no-labels", 4 + 2 * 44, 4 + 2 * 24}};
    for (const auto &s : sheets) {
        const CommandResult result = runPathbloom(start + s.options);
        ASSERT_EQ(result.status, 0) << s.options << "\n" << result.err;
        minihost::Image sheet;
        std::string error;
        ASSERT_TRUE(pathbloom::readPng(folder + "/out/sheet.png", sheet, error)) << error;
        EXPECT_EQ(sheet.width, s.width) << s.options;
        EXPECT_EQ(sheet.height, s.height) << s.options;
    }
}

}  // namespace
