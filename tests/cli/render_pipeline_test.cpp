// `pathbloom render` in a pipeline: frame lists, file name patterns, the
// scene's start, worker processes, resuming, log lines, JSON stats and exit
// codes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/frame_plan.h"
#include "cli/image_io.h"
#include "cli/render_command.h"
#include "cli/render_workers.h"
#include "cli/version.h"
#include "tests/cli/cli_fixtures.h"

namespace {

namespace fs = std::filesystem;

std::string readFile(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::vector<std::string> linesOf(const std::string &text) {
    std::istringstream stream(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

// The frame numbers of a render's log lines, in the order printed.
std::vector<std::string> loggedFiles(const std::string &err) {
    std::vector<std::string> files;
    for (const std::string &line : linesOf(err)) {
        const auto at = line.find(" written: ");
        if (line.rfind("frame ", 0) != 0 || at == std::string::npos) continue;
        files.push_back(line.substr(at + 10, line.rfind(" (") - at - 10));
    }
    return files;
}

std::string plugin() { return " --plugin '" + mainPluginPath() + "'"; }

// Six frames of circles drawn in along a square, their radius keyframed.
const char *sixFrames = R"({
  "width": 40, "height": 30, "background": "#404040", "frames": [0, 5], "fps": 10,
  "masks": [{"closed": true, "points": [[8, 6], [32, 6], [32, 24], [8, 24]]}],
  "params": {"First Radius": {"keyframes": [[0, 2], [0.5, 6]]}, "Stroke Thickness": 1,
             "Start": {"keyframes": [[0, 0], [0.5, 80]]}}
})";

TEST(FramePlan, FrameListsGiveEachFrameOnceInOrder) {
    const struct {
        const char *text;
        bool parses, inScene;
        std::vector<int> frames;
    } cases[] = {
        {"3", true, true, {3}},
        {"0-4", true, true, {0, 1, 2, 3, 4}},
        {"1-10x4", true, true, {1, 5, 9}},
        {"1,5,9", true, true, {1, 5, 9}},
        {"8-10,2,9", true, true, {2, 8, 9, 10}},
        {"2-4,3-5", true, true, {2, 3, 4, 5}},
        {"10-10x3", true, true, {10}},
        {"0-11", true, false, {}},
        {"2000000", true, false, {}},
        {"2000001", false, false, {}},
        {"7-3", false, false, {}},
        {"a-3", false, false, {}},
        {"", false, false, {}},
        {"-3", false, false, {}},
        {"1,", false, false, {}},
        {",1", false, false, {}},
        {"1-4x0", false, false, {}},
        {"1-4x", false, false, {}},
        {"1x2", false, false, {}},
        {"1-2-3", false, false, {}},
        {"1 ,2", false, false, {}},
    };
    for (const auto &c : cases) {
        std::vector<pathbloom::FrameSpan> spans;
        ASSERT_EQ(pathbloom::parseFrameSpans(c.text, spans), c.parses) << c.text;
        if (!c.parses) continue;
        std::vector<int> frames;
        std::string error;
        EXPECT_EQ(pathbloom::selectFrames(spans, 0, 10, frames, error), c.inScene) << c.text;
        EXPECT_EQ(frames, c.inScene ? c.frames : std::vector<int>{}) << c.text;
    }
    std::vector<pathbloom::FrameSpan> spans;
    std::vector<int> frames;
    std::string error;
    ASSERT_TRUE(pathbloom::parseFrameSpans("1003,998-1000", spans));
    EXPECT_FALSE(pathbloom::selectFrames(spans, 1001, 1010, frames, error));
    EXPECT_EQ(error, "frame 998 is outside the scene's frames 1001-1010");
}

TEST(FramePlan, OutputFoldersAndPatterns) {
    const struct {
        const char *text;
        const char *error;  // empty: valid; else a part of the message
        const char *folder;
        const char *frame7, *frame12345;
    } cases[] = {
        {"out", "", "out", "out/frame_0007.png", "out/frame_12345.png"},
        {"out#1/frames", "", "out#1/frames", "out#1/frames/frame_0007.png", "out#1/frames/frame_12345.png"},
        {"out/title.####.png", "", "out", "out/title.0007.png", "out/title.12345.png"},
        {"out/title.%04d.exr", "", "out", "out/title.0007.exr", "out/title.12345.exr"},
        {"t.#.PNG", "", ".", "t.7.PNG", "t.12345.PNG"},
        {"a/b/%d_x.png", "", "a/b", "a/b/7_x.png", "a/b/12345_x.png"},
        {"/r.%06d.exr", "", "/", "/r.000007.exr", "/r.012345.exr"},
        {"out/title.png", "no frame number", "", "", ""},
        {"out/title.####.tif", "ends in .png or .exr", "", "", ""},
        {"out/a.##.#.png", "more than one frame number", "", "", ""},
        {"out/a.%4d.png", "'%' starts", "", "", ""},
        {"out/a.%04x.png", "'%' starts", "", "", ""},
        {"out/a.%%.png", "'%' starts", "", "", ""},
        {"out/a.%011d.png", "1..10 digits", "", "", ""},
        {"out/a.###########.png", "1..10 digits", "", "", ""},
    };
    for (const auto &c : cases) {
        pathbloom::OutputNaming naming;
        std::string error;
        const bool valid = pathbloom::parseOutput(c.text, naming, error);
        ASSERT_EQ(valid, *c.error == 0) << c.text << ": " << error;
        if (!valid) {
            EXPECT_NE(error.find(c.error), std::string::npos) << c.text << ": " << error;
            continue;
        }
        EXPECT_EQ(naming.folder, c.folder) << c.text;
        EXPECT_EQ(pathbloom::frameFiles(naming, 7, minihost::Depth::Bits8, false).front().path, c.frame7);
        EXPECT_EQ(pathbloom::frameFiles(naming, 12345, minihost::Depth::Bits16, true).front().path, c.frame12345);
        // And back from the file name to the frame, that spelling only.
        const std::string name = fs::path(c.frame7).filename().string();
        int frame = 0;
        EXPECT_TRUE(pathbloom::frameOfFileName(naming, name, frame)) << name;
        EXPECT_EQ(frame, 7) << name;
        for (const std::string &other : {"x" + name, name + "x", std::string(c.frame12345)})
            EXPECT_EQ(pathbloom::frameOfFileName(naming, other, frame),
                      other == fs::path(c.frame12345).filename().string())
                << other;
    }
}

TEST(FramePlan, FloatFramesAndPreviews) {
    using pathbloom::ImageFormat;
    const struct {
        const char *output;
        minihost::Depth depth;
        bool preview;
        std::vector<std::string> paths;
        std::vector<ImageFormat> formats;
    } cases[] = {
        {"o", minihost::Depth::Bits16, true, {"o/frame_0003.png"}, {ImageFormat::Png}},
        {"o", minihost::Depth::Float, false, {"o/frame_0003.exr"}, {ImageFormat::Exr}},
        {"o",
         minihost::Depth::Float,
         true,
         {"o/frame_0003.exr", "o/frame_0003.png"},
         {ImageFormat::Exr, ImageFormat::Png}},
        {"o/t.##.png", minihost::Depth::Float, true, {"o/t.03.png"}, {ImageFormat::Png}},
        {"o/t.##.exr", minihost::Depth::Bits8, true, {"o/t.03.exr"}, {ImageFormat::Exr}},
        {"o/t.##.EXR",
         minihost::Depth::Float,
         true,
         {"o/t.03.EXR", "o/t.03.PNG"},
         {ImageFormat::Exr, ImageFormat::Png}},
    };
    for (const auto &c : cases) {
        pathbloom::OutputNaming naming;
        std::string error;
        ASSERT_TRUE(pathbloom::parseOutput(c.output, naming, error)) << error;
        const auto files = pathbloom::frameFiles(naming, 3, c.depth, c.preview);
        ASSERT_EQ(files.size(), c.paths.size()) << c.output;
        for (size_t f = 0; f < files.size(); ++f) {
            EXPECT_EQ(files[f].path, c.paths[f]);
            EXPECT_EQ(files[f].format, c.formats[f]) << files[f].path;
        }
    }
}

// The same files, byte for byte, from one worker and from four, and the log
// lines in frame order either way.
TEST(RenderPipeline, SameFilesWhateverTheJobs) {
    const std::string folder = scratchFolder();
    writeTextFile(folder + "/scene.json", sixFrames);
    for (const char *options : {"", " --depth 32 --preview"}) {
        std::vector<std::string> names;
        for (const char *jobs : {"1", "4"}) {
            const std::string out = folder + "/jobs" + jobs;
            fs::remove_all(out);
            const CommandResult result =
                runPathbloom("render '" + folder + "/scene.json' -o '" + out + "' --jobs " + jobs + options + plugin());
            ASSERT_EQ(result.status, 0) << result.err;
            EXPECT_EQ(withoutFrameLog(result.err), "");
            const std::vector<std::string> logged = loggedFiles(result.err);
            ASSERT_EQ(logged.size(), 6u) << result.err;
            for (int frame = 0; frame < 6; ++frame) {
                const std::string base = out + "/" + pathbloom::frameFileName(frame, *options ? "exr" : "png");
                EXPECT_EQ(logged[size_t(frame)],
                          *options ? base + ", " + out + "/" + pathbloom::frameFileName(frame, "png") : base);
            }
        }
        for (const auto &entry : fs::directory_iterator(folder + "/jobs1")) {
            const std::string name = entry.path().filename().string();
            EXPECT_EQ(readFile(entry.path().string()), readFile(folder + "/jobs4/" + name)) << name << options;
            names.push_back(name);
        }
        EXPECT_EQ(names.size(), *options ? 12u : 6u);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder + "/jobs4"), fs::directory_iterator()),
                  std::ptrdiff_t(names.size()));
    }
}

TEST(RenderPipeline, OptionErrorsAndTheirExitCodes) {
    const std::string folder = scratchFolder();
    writeTextFile(folder + "/scene.json", sixFrames);
    const struct {
        const char *options;
        int status;
        const char *message;
    } cases[] = {
        {"-o {}/out --frames 7-3", 2, "pathbloom: --frames: \"7-3\" is not a list of A, A-B or A-BxN"},
        {"-o {}/out --frames 1-3x0", 2, "is not a list"},
        {"-o {}/out --frames 2,6", 1, "pathbloom: --frames: frame 6 is outside the scene's frames 0-5\n"},
        {"-o {}/out --jobs 0", 2, "--jobs"},
        {"-o {}/out --jobs 257", 2, "--jobs"},
        {"-o {}/out --jobs two", 2, "--jobs"},
        {"-o {}/out/t.png", 2, "pathbloom: -o: \"{}/out/t.png\": no frame number (#### or %04d) in the file name\n"},
        {"-o {}/out/t.##.jpg", 2, "a pattern ends in .png or .exr"},
        {"-o {}/out --json", 2, "--json requires --stats"},
        {"-o {}/out --no-such-option", 2, "--no-such-option"},
        {"", 2, "--output is required"},
    };
    for (const auto &c : cases) {
        std::string options = c.options, message = c.message;
        for (std::string *text : {&options, &message})
            for (auto at = text->find("{}"); at != std::string::npos; at = text->find("{}"))
                text->replace(at, 2, folder);
        const CommandResult result = runPathbloom("render '" + folder + "/scene.json' " + options + plugin());
        EXPECT_EQ(result.status, c.status) << options << "\n" << result.err;
        EXPECT_NE(result.err.find(message), std::string::npos) << options << "\n" << result.err;
        EXPECT_FALSE(fs::exists(folder + "/out")) << options;
    }
}

// The extension gives the format whatever the depth: EXR of an 8-bit frame,
// 16-bit PNG of a float one.
TEST(RenderPipeline, PatternsWriteTheirExtensionsFormat) {
    const std::string folder = scratchFolder();
    writeTextFile(folder + "/scene.json", sixFrames);
    const struct {
        const char *options;
        const char *file;
        int pngBits;  // 0: an EXR
    } cases[] = {
        {"-o {}/a/t.####.exr --depth 8", "/a/t.0002.exr", 0},
        {"-o {}/b/t.%03d.png --depth 32", "/b/t.002.png", 16},
        {"-o {}/c/t.#.png --depth 16", "/c/t.2.png", 16},
        {"-o {}/d/t.#.png", "/d/t.2.png", 8},
    };
    for (const auto &c : cases) {
        std::string options = c.options;
        options.replace(options.find("{}"), 2, folder);
        const CommandResult result =
            runPathbloom("render '" + folder + "/scene.json' --frames 2 " + options + plugin());
        ASSERT_EQ(result.status, 0) << options << "\n" << result.err;
        const std::string path = folder + c.file;
        EXPECT_EQ(loggedFiles(result.err), std::vector<std::string>{path});
        if (c.pngBits == 0) {
            minihost::Image image;
            std::string error;
            ASSERT_TRUE(pathbloom::readExr(path, image, error)) << error;
            EXPECT_EQ(image.width, 40);
        } else {
            PngHeader header;
            ASSERT_TRUE(readPngHeader(path, header)) << path;
            EXPECT_EQ(header.bitDepth, c.pngBits) << path;
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(path).parent_path()), fs::directory_iterator()), 1);
    }
}

// "start" renames the frames without moving them in time: frame 1001 of a
// scene starting there is frame 0 of the same scene starting at 0.
TEST(RenderPipeline, StartNumbersTheFrames) {
    const std::string folder = scratchFolder();
    std::string scene = sixFrames;
    writeTextFile(folder + "/zero.json", scene);
    writeTextFile(folder + "/late.json", scene.insert(scene.find('{') + 1, R"("start": 1001, )"));
    ASSERT_EQ(runPathbloom("render '" + folder + "/zero.json' -o '" + folder + "/zero'" + plugin()).status, 0);
    const CommandResult late = runPathbloom("render '" + folder + "/late.json' -o '" + folder +
                                            "/late/shot.####.png' --frames 1001-1006x2,1006" + plugin());
    ASSERT_EQ(late.status, 0) << late.err;
    for (int frame : {1001, 1003, 1005, 1006}) {
        const std::string path = folder + "/late/shot." + std::to_string(frame) + ".png";
        EXPECT_EQ(readFile(path), readFile(folder + "/zero/" + pathbloom::frameFileName(frame - 1001, "png"))) << path;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder + "/late"), fs::directory_iterator()), 4);

    const CommandResult before =
        runPathbloom("render '" + folder + "/late.json' -o '" + folder + "/x' --frames 1000" + plugin());
    EXPECT_EQ(before.status, 1);
    EXPECT_EQ(before.err, "pathbloom: --frames: frame 1000 is outside the scene's frames 1001-1006\n");
    writeTextFile(folder + "/bad.json", R"({"width": 4, "height": 4, "start": -1})");
    const CommandResult bad = runPathbloom("render '" + folder + "/bad.json' -o '" + folder + "/x'" + plugin());
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "pathbloom: " + folder + "/bad.json: start: -1 is outside 0..1000000\n");
}

// A resumed render writes only the missing frames; a dead job's temporary
// file goes, a live one's stays.
TEST(RenderPipeline, SkipExistingRendersOnlyTheMissingFrames) {
    const std::string folder = scratchFolder(), out = folder + "/out";
    writeTextFile(folder + "/scene.json", sixFrames);
    const std::string render =
        "render '" + folder + "/scene.json' -o '" + out + "/f.##.png' --frames 0-3 --jobs 2" + plugin();
    ASSERT_EQ(runPathbloom(render).status, 0);
    fs::remove(out + "/f.01.png");
    fs::remove(out + "/f.03.png");
    writeTextFile(out + "/f.02.png", "kept");  // would be overwritten if rendered again
    const pid_t dead = fork();
    if (dead == 0) _exit(0);
    ASSERT_GT(dead, 0);
    waitpid(dead, nullptr, 0);
    const std::string stale = out + "/.f.01.png." + std::to_string(dead) + ".part";
    const std::string live = out + "/.f.03.png." + std::to_string(getpid()) + ".part";
    writeTextFile(stale, "cut");
    writeTextFile(live, "being written");

    const CommandResult resumed = runPathbloom(render + " --skip-existing");
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_EQ(withoutFrameLog(resumed.err), "pathbloom: 2 of 4 frames already written, skipped\n");
    EXPECT_EQ(loggedFiles(resumed.err), (std::vector<std::string>{out + "/f.01.png", out + "/f.03.png"}));
    EXPECT_EQ(readFile(out + "/f.02.png"), "kept");
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(live));
    minihost::Image frame;
    std::string error;
    EXPECT_TRUE(pathbloom::readPng(out + "/f.03.png", frame, error)) << error;

    const CommandResult again = runPathbloom(render + " --skip-existing");
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.err, "pathbloom: 4 of 4 frames already written, skipped\n");
}

// One JSON object a line: the frames in order with their stream reads, then
// a summary.
TEST(RenderPipeline, JsonStatsParse) {
    const std::string folder = scratchFolder();
    writeTextFile(folder + "/scene.json", R"({"width": 40, "height": 20, "frames": [0, 2],
        "masks": [{"closed": false, "points": [[5, 10], [35, 10]]}],
        "params": {"Mode": "Number", "Number": 5, "Radius Mode": "Keyframe 2",
        "First Radius": {"keyframes": [[0, 1], [1, 4]]}}})");
    const CommandResult result =
        runPathbloom("render '" + folder + "/scene.json' -o '" + folder + "/out' --stats --json --jobs 2" + plugin());
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<std::string> lines = linesOf(result.out);
    ASSERT_EQ(lines.size(), 4u) << result.out;
    // The text form's counts, two stream lines after each frame's.
    const CommandResult text =
        runPathbloom("render '" + folder + "/scene.json' -o '" + folder + "/text' --stats" + plugin());
    const std::vector<std::string> textLines = linesOf(text.out);
    ASSERT_EQ(textLines.size(), 6u) << text.out;
    for (int frame = 0; frame < 3; ++frame) {
        const auto record = nlohmann::json::parse(lines[size_t(frame)]);
        EXPECT_EQ(record.at("type"), "frame");
        EXPECT_EQ(record.at("frame"), frame);
        EXPECT_EQ(record.at("files"),
                  nlohmann::json::array({folder + "/out/" + pathbloom::frameFileName(frame, "png")}));
        EXPECT_GT(record.at("milliseconds").get<double>(), 0);
        long placed = -1, drawn = -1;
        ASSERT_EQ(std::sscanf(textLines[size_t(frame) * 2].c_str(), "frame %*d %*f ms %ld points placed %ld drawn",
                              &placed, &drawn),
                  2)
            << textLines[size_t(frame) * 2];
        EXPECT_EQ(record.at("placed"), placed);
        EXPECT_EQ(record.at("drawn"), drawn);
        ASSERT_EQ(record.at("streams").size(), 1u);
        EXPECT_EQ(record.at("streams")[0],
                  nlohmann::json({{"effect", 1}, {"name", "First Radius"}, {"keyframes", 2}, {"valuesRead", 5}}));
    }
    const auto summary = nlohmann::json::parse(lines[3]);
    EXPECT_EQ(summary.at("type"), "summary");
    EXPECT_EQ(summary.at("framesWritten"), 3);
    EXPECT_EQ(summary.at("framesSkipped"), 0);
    EXPECT_EQ(summary.at("jobs"), 2);
}

// Every frame fails in every worker; the first frame's error is the one told.
TEST(RenderPipeline, AFailingFrameStopsTheJobWithTheFirstError) {
    const std::string folder = scratchFolder();
    writeTextFile(folder + "/scene.json", sixFrames);
    pathbloom::RenderOptions options;
    options.scenePath = folder + "/scene.json";
    options.output = folder + "/out";
    options.pluginPath = mainPluginPath();
    options.jobs = 3;
    options.prepareHost = [](minihost::Host &host) { host.cancelAtProgress = 2; };
    std::ostringstream out, err;
    EXPECT_EQ(pathbloom::runRender(options, out, err), 1);
    EXPECT_EQ(err.str(), "pathbloom: frame 0: render failed with error 517\n");
    EXPECT_TRUE(fs::is_empty(folder + "/out"));
}

// The worker machinery on its own: every item reported once whatever the
// jobs; a failure stops the handing out; a worker that dies is reported with
// the item it was on.
TEST(RenderWorkers, ReportsEveryItemFailuresAndCrashes) {
    const struct {
        int jobs;
        int failAt, crashAt;  // -1: none
        std::vector<int> okItems;
        int failedItem;  // -1: none
        const char *failedReport;
    } cases[] = {
        {1, -1, -1, {0, 1, 2, 3, 4, 5, 6}, -1, ""},
        {4, -1, -1, {0, 1, 2, 3, 4, 5, 6}, -1, ""},
        {1, 2, -1, {0, 1}, 2, "item 2"},
        {1, -1, 3, {0, 1, 2}, 3, "the worker rendering it ended by signal 9 (Killed)"},
    };
    for (const auto &c : cases) {
        std::vector<int> okItems, reports(7, 0);
        int failedItem = -1;
        std::string failedReport;
        const pathbloom::ItemWork work = [&](int item, std::string &report) {
            if (item == c.crashAt) raise(SIGKILL);
            report = "item " + std::to_string(item);
            return item != c.failAt;
        };
        const pathbloom::ItemReport onReport = [&](int item, bool ok, const std::string &report, bool crashed) {
            ++reports.at(size_t(item));
            if (ok) {
                EXPECT_EQ(report, "item " + std::to_string(item));
                okItems.push_back(item);
            } else {
                EXPECT_EQ(crashed, item == c.crashAt);
                failedItem = item;
                failedReport = report;
            }
        };
        const pathbloom::WorkersResult result = pathbloom::runInWorkers(c.jobs, 7, work, onReport, [] {});
        std::sort(okItems.begin(), okItems.end());
        EXPECT_EQ(okItems, c.okItems) << c.jobs << " " << c.failAt << " " << c.crashAt;
        EXPECT_EQ(failedItem, c.failedItem);
        EXPECT_EQ(failedReport, c.failedReport);
        EXPECT_EQ(result.failed, c.failedItem >= 0);
        EXPECT_EQ(result.stopSignal, 0);
        EXPECT_EQ(result.error, "");
        for (int count : reports) EXPECT_LE(count, 1);
    }
}

TEST(RenderPipeline, VersionOnStdout) {
    const CommandResult result = runPathbloom("--version");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, std::string("pathbloom ") + pathbloom::commandVersion + "\n");
    EXPECT_EQ(runPathbloom("").status, 2);
}

}  // namespace
