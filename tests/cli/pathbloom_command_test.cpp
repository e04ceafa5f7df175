// The built pathbloom command end to end: files, bit depths, sizes, messages
// and exit codes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/effect_session.h"
#include "cli/image_io.h"
#include "cli/info_command.h"
#include "cli/output_file.h"
#include "cli/render_command.h"
#include "tests/cli/cli_fixtures.h"

namespace {

namespace fs = std::filesystem;

TEST(RenderOptions, Downsampling) {
    const struct {
        const char *text;
        bool ok;
        int x, y;
    } cases[] = {{"2", true, 2, 2}, {"2,3", true, 2, 3}, {"0", false, 0, 0}, {"2,", false, 0, 0}, {"x", false, 0, 0}};
    for (const auto &c : cases) {
        int x = 0, y = 0;
        EXPECT_EQ(pathbloom::parseDownsample(c.text, x, y), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(x, c.x) << c.text;
            EXPECT_EQ(y, c.y) << c.text;
        }
    }
    EXPECT_EQ(pathbloom::frameFileName(7, "png"), "frame_0007.png");
    EXPECT_EQ(pathbloom::frameFileName(12, std::string(40, 'x')), "frame_0012." + std::string(40, 'x'));
}

TEST(RenderProgress, PercentStaysWithinTheBar) {
    const struct {
        long current, total;
        int percent;
    } cases[] = {{0, 4, 0},   {1, 4, 25}, {3, 4, 75}, {4, 4, 100}, {2, 3, 66},
                 {9, 4, 100}, {-1, 4, 0}, {1, 0, 0},  {1, -5, 0},  {2147483647L, 2147483647L, 100}};
    for (const auto &c : cases)
        EXPECT_EQ(pathbloom::progressPercent(c.current, c.total), c.percent) << c.current << "/" << c.total;
}

TEST(InfoCommand, ANameThatFillsItsFieldEndsThere) {
    PF_ParamDef def{};
    def.param_type = PF_Param_SLIDER;
    std::memset(def.name, 'n', sizeof def.name);
    def.flags = 0x20;  // the byte after the name, were it read on
    def.uu.id = 4;
    def.u.sd.valid_max = 10;
    def.u.sd.slider_max = 5;
    def.u.sd.dephault = 3;
    EXPECT_EQ(
        pathbloom::describeParam(1, def),
        "  1  \"" + std::string(32, 'n') + "\"integer slider default 3, valid 0..10, slider 0..5  [id 4, flags 0x20]");
}

// A small scene: a closed square mask with circles at its corners, over an
// opaque grey background, three frames.
const char *smallScene = R"({
  "width": 32, "height": 24, "background": "#404040", "frames": [0, 2],
  "masks": [{"closed": true, "points": [[8, 6], [24, 6], [24, 18], [8, 18]]}],
  "params": {"First Radius": 4, "Stroke Thickness": 1,
             "Start": {"keyframes": [[0, 0], [0.1, 50]]}}
})";

std::string plugin() { return " --plugin '" + mainPluginPath() + "'"; }

TEST(RenderCommand, WritesOnePngPerFrameAtTheScenesDepth) {
    const std::string folder = scratchFolder();
    writeTextFile(folder + "/scene.json", smallScene);
    const struct {
        const char *options;
        const char *extension;
        int bitDepth;  // 0: no PNG
        int width, height;
    } cases[] = {
        {"", "png", 8, 32, 24},
        {"--depth 16", "png", 16, 32, 24},
        {"--depth 32", "exr", 0, 32, 24},
        {"--depth 32 --preview", "exr", 16, 32, 24},
        {"--downsample 2", "png", 8, 16, 12},
        {"--downsample 3,2", "png", 8, 11, 12},
    };
    int run = 0;
    for (const auto &c : cases) {
        const std::string out = folder + "/out" + std::to_string(run++);
        const CommandResult result =
            runPathbloom("render '" + folder + "/scene.json' -o '" + out + "'" + plugin() + " " + c.options);
        ASSERT_EQ(result.status, 0) << c.options << "\n" << result.err;
        EXPECT_EQ(withoutFrameLog(result.err), "") << c.options;
        for (int frame = 0; frame <= 2; ++frame) {
            const std::string main = out + "/" + pathbloom::frameFileName(frame, c.extension);
            EXPECT_TRUE(fs::exists(main)) << main;
            const std::string png = out + "/" + pathbloom::frameFileName(frame, "png");
            if (c.bitDepth == 0) {
                EXPECT_FALSE(fs::exists(png)) << png;
                continue;
            }
            PngHeader header;
            ASSERT_TRUE(readPngHeader(png, header)) << png;
            EXPECT_EQ(header.bitDepth, c.bitDepth) << c.options;
            EXPECT_EQ(header.width, c.width) << c.options;
            EXPECT_EQ(header.height, c.height) << c.options;
        }
        if (std::string(c.extension) == "exr") {
            minihost::Image image;
            std::string error;
            ASSERT_TRUE(pathbloom::readExr(out + "/frame_0001.exr", image, error)) << error;
            EXPECT_EQ(image.width, c.width);
            EXPECT_EQ(image.height, c.height);
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()),
                  c.bitDepth && std::string(c.extension) == "exr" ? 6 : 3)
            << c.options;
    }
}

TEST(RenderCommand, WithoutAMaskTheFrameIsTheBackground) {
    const std::string folder = scratchFolder();
    minihost::Image background = minihost::makeImage(6, 4, minihost::Depth::Bits8);
    for (size_t i = 0; i < background.data.size(); ++i) background.data[i] = uint8_t(i * 37 + 11);
    std::string error;
    ASSERT_TRUE(pathbloom::writePng(folder + "/back.png", background, error)) << error;
    writeTextFile(folder + "/scene.json", R"({"width": 6, "height": 4,
        "background": {"image": "back.png"}, "params": {"Path": 0, "On Original": true}})");
    const CommandResult result = runPathbloom("render '" + folder + "/scene.json' -o '" + folder + "/out'" + plugin());
    ASSERT_EQ(result.status, 0) << result.err;
    minihost::Image frame;
    ASSERT_TRUE(pathbloom::readPng(folder + "/out/frame_0000.png", frame, error)) << error;
    EXPECT_EQ(frame.data, background.data);
}

TEST(RenderOptions, UpsampledFramesDownsampleToThemselves) {
    minihost::Image small = minihost::makeImage(3, 2, minihost::Depth::Bits16);
    for (size_t i = 0; i < small.data.size(); ++i) small.data[i] = uint8_t(i * 13 + 1);
    const struct { int width, height, x, y; } cases[] = {{3, 2, 1, 1}, {6, 4, 2, 2}, {5, 3, 2, 2}, {9, 3, 3, 2}};
    for (const auto &c : cases) {
        const minihost::Image full = pathbloom::upsampleNearest(small, c.width, c.height, c.x, c.y);
        ASSERT_EQ(full.width, c.width);
        ASSERT_EQ(full.height, c.height);
        EXPECT_EQ(minihost::downsampleImage(full, c.x, c.y).data, small.data) << c.width << "x" << c.height;
    }
}

TEST(RenderCommand, EachEffectWorksOnThePreviousOnesOutput) {
    const std::string folder = scratchFolder();
    const std::string scene = R"({"width": 40, "height": 30, "background": "#336699",
        "masks": [{"points": [[5, 5], [35, 5], [35, 25], [5, 25]]}],)";
    const std::string first = R"({"Mode": "Number", "Number": 6, "First Radius": 5})";
    const std::string second = R"({"Mode": "Vertex", "Shape Mode": "Polygon", "First Radius": 4,
        "Color": "#ff0000", "Stroke Thickness": 0, "On Original": true})";
    writeTextFile(folder + "/one.json", scene + R"("params": )" + first + "}");
    writeTextFile(folder + "/pass.json", scene + R"("effects": [)" + first + R"(, {"Path": 0, "On Original": true}]})");
    writeTextFile(folder + "/two.json", scene + R"("effects": [)" + first + "," + second + "]}");
    for (const char *downsample : {"1", "2"}) {
        std::vector<std::string> frames;
        for (const char *name : {"one", "pass", "two"}) {
            const std::string out = folder + "/" + name + downsample;
            const CommandResult result = runPathbloom("render '" + folder + "/" + name + ".json' -o '" + out +
                                                      "' --stats --downsample " + downsample + plugin());
            ASSERT_EQ(result.status, 0) << name << "\n" << result.err;
            minihost::Image frame;
            std::string error;
            ASSERT_TRUE(pathbloom::readPng(out + "/frame_0000.png", frame, error)) << error;
            frames.push_back(std::string(frame.data.begin(), frame.data.end()));
        }
        // A second effect that draws nothing passes the first one's frame on;
        // one that draws changes it.
        EXPECT_EQ(frames[1], frames[0]) << "downsample " << downsample;
        EXPECT_NE(frames[2], frames[0]) << "downsample " << downsample;
    }
}

TEST(RenderCommand, SceneFaultStopsBeforeAnythingRenders) {
    const std::string folder = scratchFolder();
    writeTextFile(folder + "/scene.json", R"({"width": 8, "height": 8, "params": {"First Radius": 5000}})");
    const CommandResult result = runPathbloom("render '" + folder + "/scene.json' -o '" + folder + "/out'" + plugin());
    EXPECT_NE(result.status, 0);
    EXPECT_EQ(result.err,
              "pathbloom: " + folder + "/scene.json: params.\"First Radius\": 5000 is outside -1000..1000\n");
    EXPECT_FALSE(fs::exists(folder + "/out"));

    const CommandResult missing =
        runPathbloom("render '" + folder + "/absent.json' -o '" + folder + "/out'" + plugin());
    EXPECT_NE(missing.status, 0);
    EXPECT_EQ(missing.err, "pathbloom: " + folder + "/absent.json: cannot open the scene file\n");
}

TEST(RenderCommand, ContactSheetOfTheRenderedFrames) {
    const std::string folder = scratchFolder();
    writeTextFile(folder + "/scene.json", smallScene);
    const CommandResult render = runPathbloom("render '" + folder + "/scene.json' -o '" + folder +
                                              "/out' --contact-sheet '" + folder + "/sheet.png'" + plugin());
    ASSERT_EQ(render.status, 0) << render.err;
    PngHeader header;
    ASSERT_TRUE(readPngHeader(folder + "/sheet.png", header));
    EXPECT_EQ(header.width, 4 + 2 * (32 + 4));  // three frames: two columns, two rows
    EXPECT_EQ(header.height, 4 + 2 * (24 + 4));

    const CommandResult sheet = runPathbloom("contact-sheet '" + folder + "/out' -o '" + folder + "/again.png'");
    ASSERT_EQ(sheet.status, 0) << sheet.err;
    EXPECT_TRUE(fs::exists(folder + "/again.png"));

    const CommandResult empty = runPathbloom("contact-sheet '" + folder + "/nothing' -o '" + folder + "/x.png'");
    EXPECT_NE(empty.status, 0);
    EXPECT_NE(empty.err.find("no frame_NNNN.png"), std::string::npos) << empty.err;
}

TEST(RenderCommand, RenderErrorsStopWithThePluginsMessageAndCode) {
    const std::string folder = scratchFolder();
    writeTextFile(folder + "/scene.json", smallScene);
    const struct {
        const char *what;
        void (*prepare)(minihost::Host &);
        const char *message;
    } cases[] = {
        {"cancelled at the second progress call", [](minihost::Host &host) { host.cancelAtProgress = 2; },
         "pathbloom: frame 1: render failed with error 517\n"},
        {"instance array not allocated",
         [](minihost::Host &host) {
             minihost::resetLedger(host);
             host.faults.failHandleAllocation = 2;  // after the pre-render snapshot
         },
         "pathbloom: frame 1: render failed with error 512: Memory Error!\n"},
    };
    for (const auto &c : cases) {
        pathbloom::RenderOptions options;
        options.scenePath = folder + "/scene.json";
        options.output = folder + "/out";
        options.pluginPath = mainPluginPath();
        options.frames = "1";
        options.prepareHost = c.prepare;
        std::ostringstream out, err;
        EXPECT_EQ(pathbloom::runRender(options, out, err), 1) << c.what;
        EXPECT_EQ(err.str(), c.message) << c.what;
        EXPECT_FALSE(fs::exists(folder + "/out/frame_0001.png")) << c.what;
    }
}

TEST(RenderCommand, AnOutputFolderThatCannotTakeFramesStopsFirst) {
    const std::string folder = scratchFolder();
    writeTextFile(folder + "/scene.json", smallScene);
    writeTextFile(folder + "/file", "x");
    for (const char *output : {"/file", "/file/sub"}) {
        const CommandResult result =
            runPathbloom("render '" + folder + "/scene.json' -o '" + folder + output + "'" + plugin());
        EXPECT_EQ(result.status, 1) << output;
        EXPECT_EQ(result.err, "pathbloom: cannot create " + folder + output + ": Not a directory\n");
    }
}

// A failed write leaves the earlier file and no temporary one; the message
// names the final file.
TEST(OutputFiles, AFailedWriteLeavesTheEarlierFile) {
    const std::string folder = scratchFolder();
    writeTextFile(folder + "/frame.png", "earlier");
    std::string error;
    EXPECT_FALSE(pathbloom::writeWhole(
        folder + "/frame.png",
        [](const std::string &path, std::string &e) {
            writeTextFile(path, "cut");
            e = path + ": write failed";
            return false;
        },
        error));
    EXPECT_EQ(error, folder + "/frame.png: write failed");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    std::ifstream file(folder + "/frame.png");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "earlier");
}

// A scene of the most frames there may be: its last frames render, keyframes
// read at the end of the host's time range.
TEST(RenderCommand, TheLastOfAMillionFramesRender) {
    const std::string folder = scratchFolder(), out = folder + "/out";
    writeTextFile(folder + "/scene.json", R"({"width": 32, "height": 32, "frames": [0, 1000000], "fps": 10000,
        "masks": [{"closed": true, "points": [[4, 4], [28, 4], [28, 28]]}],
        "params": {"Radius Mode": "Keyframe 2", "First Radius": {"keyframes": [[0, 1], [100, 3]]}}})");
    const CommandResult result =
        runPathbloom("render '" + folder + "/scene.json' -o '" + out + "' --frames 999999-1000000" + plugin());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(withoutFrameLog(result.err), "");
    for (const char *name : {"/frame_999999.png", "/frame_1000000.png"}) EXPECT_TRUE(fs::exists(out + name)) << name;
}

// An interrupt or a kill mid-render of a million frames, by one worker or
// several: the frames being rendered are finished, the frames written stay
// whole, nothing is left under a temporary name, stderr says so and the
// status is 128 + the signal.
TEST(RenderCommand, ASignalStopsWithTheFramesWrittenWhole) {
    for (const char *jobs : {"1", "3"}) {
        for (const int signal : {SIGINT, SIGTERM}) {
            const std::string folder = scratchFolder(), out = folder + "/out", errFile = folder + "/err.txt";
            writeTextFile(folder + "/scene.json", R"({"width": 64, "height": 64, "frames": [0, 999999],
            "masks": [{"closed": true, "points": [[8, 8], [56, 8], [56, 56]]}], "params": {"Number": 40}})");
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                const int null = open("/dev/null", O_WRONLY);
                const int errOut = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                dup2(null, STDOUT_FILENO);
                dup2(errOut, STDERR_FILENO);
                const std::string scene = folder + "/scene.json", pluginPath = mainPluginPath();
                execl(PATHBLOOM_CLI, "pathbloom", "render", scene.c_str(), "-o", out.c_str(), "--plugin",
                      pluginPath.c_str(), "--jobs", jobs, static_cast<char *>(nullptr));
                _exit(127);
            }
            // Once the second frame is there the handlers are in place.
            int status = 0;
            ASSERT_TRUE(signalWhenReady(
                child, [&] { return fs::exists(out + "/frame_0001.png"); }, signal, status))
                << "pathbloom ended before the signal";
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), 128 + signal) << jobs;
            for (const auto &entry : fs::directory_iterator(out)) {
                const std::string name = entry.path().filename().string();
                EXPECT_EQ(name.rfind("frame_", 0), 0u) << name;
                minihost::Image frame;
                std::string error;
                EXPECT_TRUE(pathbloom::readPng(entry.path().string(), frame, error)) << error;
            }
            std::ifstream err(errFile);
            const std::string said(std::istreambuf_iterator<char>(err), {});
            EXPECT_NE(said.find(std::string("pathbloom: stopped by ") + (signal == SIGINT ? "SIGINT" : "SIGTERM")),
                      std::string::npos)
                << said;
        }
    }
}

// The plug-in samples "First Radius" once per instance ("Keyframe 2") and
// finds no keyframes on "Opacity" ("Keyframe"): the stats say so per frame.
TEST(RenderCommand, StatsListTheParameterStreamsReadInEachFrame) {
    const std::string folder = scratchFolder();
    writeTextFile(folder + "/scene.json", R"({"width": 40, "height": 20, "frames": [0, 1],
        "masks": [{"closed": false, "points": [[5, 10], [35, 10]]}],
        "params": {"Mode": "Number", "Number": 5, "Radius Mode": "Keyframe 2", "Opacity Mode": "Keyframe",
        "First Radius": {"keyframes": [[0, 1], [1, 4]], "interpolation": "ease"}}})");
    const CommandResult result =
        runPathbloom("render '" + folder + "/scene.json' -o '" + folder + "/out' --stats" + plugin());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(withoutFrameLog(result.err), "");  // nothing left outstanding
    std::istringstream lines(result.out);
    std::vector<std::string> got;
    for (std::string line; std::getline(lines, line);) got.push_back(line);
    ASSERT_EQ(got.size(), 6u) << result.out;
    for (size_t frame = 0; frame < 2; ++frame) {
        EXPECT_EQ(got[frame * 3].rfind("frame    " + std::to_string(frame) + " ", 0), 0u) << got[frame * 3];
        EXPECT_EQ(got[frame * 3 + 1], "  \"First Radius\": 2 keyframes, 5 values read");
        EXPECT_EQ(got[frame * 3 + 2], "  \"Opacity\": 0 keyframes, the parameter's own value is used");
    }
}

TEST(InfoCommand, ShowsThePropertyListAboutTextAndParameters) {
    const CommandResult result = runPathbloom("info '" + mainPluginPath() + "'");
    ASSERT_EQ(result.status, 0) << result.err;
    for (const char *expected :
         {"Match name     VomrelPathBloom by Orbenvail\n", "Kind           eFKT\n", "Category       Vomrel\n",
          "Out flags      0x6000000\n", "Out flags 2    0x1400\n", "Effect version 0x80601 (1.0.0, release, build 1)\n",
          "  Imagination!\n", "Parameters (63)\n", " 63  \"On Original\"", "choices: Vertex|Number|Line"})
        EXPECT_NE(result.out.find(expected), std::string::npos) << expected << "\n" << result.out;
    EXPECT_EQ(result.out.find('\r'), std::string::npos);
}

}  // namespace

// A render in which no frame has a point says why it may be.
TEST(RenderCommand, FramesWithNothingOnThemAreReported) {
    const struct {
        const char *scene;
        const char *warning;
    } cases[] = {
        {R"({"width": 16, "height": 16})",
         "pathbloom: warning: no frame has a point on it: the scene has no mask (\"masks\") for \"Path\" to name\n"},
        {R"({"width": 16, "height": 16, "masks": [{"points": [[2, 2], [12, 12]]}],
             "params": {"Mode": "Number", "Number": 0}})",
         "pathbloom: warning: no frame has a point on it: check \"Path\" (0 is no mask), \"Number\", \"Start\" and "
         "\"End\"\n"},
        {R"({"width": 16, "height": 16, "masks": [{"points": [[2, 2], [12, 12]]}]})", ""}};
    for (const auto &c : cases) {
        const std::string folder = scratchFolder();
        writeTextFile(folder + "/scene.json", c.scene);
        const CommandResult result =
            runPathbloom("render '" + folder + "/scene.json' -o '" + folder + "/out' --jobs 1" + plugin());
        EXPECT_EQ(result.status, 0) << c.scene;
        EXPECT_EQ(withoutFrameLog(result.err), c.warning) << c.scene;
    }
}
