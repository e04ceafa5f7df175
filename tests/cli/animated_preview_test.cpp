// `render --preview`: the old flag's new name, preview sizes and pixels, and
// previews encoded by ffmpeg, read back with ffprobe and the WebP container.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/animated_preview.h"
#include "cli/frame_plan.h"
#include "tests/cli/cli_fixtures.h"

namespace {

namespace fs = std::filesystem;
using pathbloom::PreviewFormat;

TEST(PreviewArguments, TheOldFlagIsRenamedUnlessAVideoFollows) {
    const struct {
        std::vector<std::string> given, expected;
    } cases[] = {
        {{"render", "--preview", "s.json", "-o", "o/####.exr"},
         {"render", "--png-preview", "s.json", "-o", "o/####.exr"}},
        {{"render", "s.json", "-o", "o", "--preview"}, {"render", "s.json", "-o", "o", "--png-preview"}},
        {{"render", "--preview", "--depth", "32"}, {"render", "--png-preview", "--depth", "32"}},
        {{"render", "--preview", "clip.mp4.json"}, {"render", "--png-preview", "clip.mp4.json"}},
        {{"render", "--preview", "out.mp4"}, {"render", "--preview", "out.mp4"}},
        {{"--preview", "A.GIF", "--preview", "b.WebP"}, {"--preview", "A.GIF", "--preview", "b.WebP"}},
        {{"--preview=out.gif", "--preview-width", "9"}, {"--preview=out.gif", "--preview-width", "9"}},
        {{"--preview=true"}, {"--png-preview=true"}},
        {{"--preview", "--", "--preview"}, {"--png-preview", "--", "--preview"}},
    };
    for (const auto &c : cases) EXPECT_EQ(pathbloom::renamedPreviewFlag(c.given), c.expected) << c.given.back();
}

TEST(PreviewSize, AspectKeptAndEvenForMp4) {
    const struct {
        PreviewFormat format;
        int frameWidth, frameHeight, width;
        int expectedWidth, expectedHeight;
    } cases[] = {
        {PreviewFormat::webp, 40, 30, 0, 40, 30},  {PreviewFormat::gif, 40, 30, 17, 17, 13},
        {PreviewFormat::webp, 32, 24, 15, 15, 11}, {PreviewFormat::gif, 1000, 1, 10, 10, 1},
        {PreviewFormat::mp4, 40, 30, 17, 18, 14},  {PreviewFormat::mp4, 33, 25, 0, 34, 26},
        {PreviewFormat::mp4, 32, 24, 1, 2, 2},     {PreviewFormat::mp4, 1920, 1080, 640, 640, 360},
    };
    for (const auto &c : cases) {
        const pathbloom::PreviewSize size = pathbloom::previewSize(c.format, c.frameWidth, c.frameHeight, c.width);
        EXPECT_EQ(size.width, c.expectedWidth) << c.frameWidth << "x" << c.frameHeight << " at " << c.width;
        EXPECT_EQ(size.height, c.expectedHeight) << c.frameWidth << "x" << c.frameHeight << " at " << c.width;
    }
}

// One ARGB pixel at each depth, as the encoder gets it: straight RGBA, or
// RGB over black.
TEST(PreviewPixels, CodeValuesRoundedClampedAndOverBlack) {
    const float nan = std::nanf("");
    const struct {
        minihost::Depth depth;
        std::vector<double> argb;
        bool linearLight;
        std::vector<uint8_t> straight, overBlack;
    } cases[] = {
        {minihost::Depth::Bits8, {128, 255, 100, 0}, false, {255, 100, 0, 128}, {128, 50, 0}},
        {minihost::Depth::Bits16, {32768, 16384, 16383, 40000}, false, {128, 127, 255, 255}, {128, 127, 255}},
        {minihost::Depth::Float, {1, 0.5, -0.2, nan}, false, {128, 0, 0, 255}, {128, 0, 0}},
        {minihost::Depth::Float,
         {0.5, 1.7, pathbloom::linearFromSrgb(0.4f), 0},
         false,
         {255, 34, 0, 128},
         {128, 17, 0}},
        {minihost::Depth::Float,
         {0.5, 1.7, pathbloom::linearFromSrgb(0.4f), 0},
         true,
         {255, 102, 0, 128},
         {128, 51, 0}},
    };
    for (const auto &c : cases) {
        minihost::Image image = minihost::makeImage(1, 1, c.depth);
        for (size_t i = 0; i < 4; ++i) {
            if (c.depth == minihost::Depth::Bits8) image.data[i] = uint8_t(c.argb[i]);
            if (c.depth == minihost::Depth::Bits16) {
                const uint16_t value = uint16_t(c.argb[i]);
                std::memcpy(image.data.data() + 2 * i, &value, 2);
            }
            if (c.depth == minihost::Depth::Float) {
                const float value = float(c.argb[i]);
                std::memcpy(image.data.data() + 4 * i, &value, 4);
            }
        }
        std::vector<uint8_t> pixels;
        pathbloom::previewPixels(image, false, c.linearLight, pixels);
        EXPECT_EQ(pixels, c.straight) << int(c.depth) << " " << c.argb[1];
        pathbloom::previewPixels(image, true, c.linearLight, pixels);
        EXPECT_EQ(pixels, c.overBlack) << int(c.depth) << " " << c.argb[1];
    }
}

std::string commandOutput(const std::string &command) {
    std::string output;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
        pclose(pipe);
    }
    return output;
}

std::string quoted(const std::string &path) { return "'" + path + "'"; }

// What a preview file holds: frames, their size, the frame rate, the whole
// duration, whether it has alpha, and the first frame's top left pixel.
struct Decoded {
    int frames = 0, width = 0, height = 0;
    std::string rate;      // mp4 and gif: frames per second as ffprobe gives it
    int milliseconds = 0;  // webp: the frames' durations summed
    bool alpha = false;    // webp
    int corner = -1;       // mp4 and gif: the grey level, 0..255
};

// ffmpeg 5 decodes no animated WebP, so the container is read: the canvas
// of VP8X and an ANMF chunk per frame with its duration.
Decoded readWebp(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(file), {});
    const auto le = [&](size_t at, int count) {
        int value = 0;
        for (int i = count - 1; i >= 0; --i) value = value * 256 + uint8_t(bytes[at + size_t(i)]);
        return value;
    };
    Decoded decoded;
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WEBP") != 0) return decoded;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const std::string kind = bytes.substr(at, 4);
        const size_t size = size_t(le(at + 4, 4)), payload = at + 8;
        if (payload + size > bytes.size()) break;
        if (kind == "VP8X" && size >= 10) {
            decoded.alpha = (uint8_t(bytes[payload]) & 0x10) != 0;
            decoded.width = le(payload + 4, 3) + 1;
            decoded.height = le(payload + 7, 3) + 1;
        } else if (kind == "ANMF" && size >= 16) {
            ++decoded.frames;
            decoded.milliseconds += le(payload + 12, 3);
        }
        at = payload + size + size % 2;
    }
    return decoded;
}

Decoded decode(const std::string &path) {
    if (pathbloom::previewFormatOf(path) == PreviewFormat::webp) return readWebp(path);
    Decoded decoded;
    const std::string probed = commandOutput(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=width,height,r_frame_rate,nb_read_frames -of csv=p=0 " +
        quoted(path));
    char rate[32] = "";
    if (std::sscanf(probed.c_str(), "%d,%d,%31[0-9/],%d", &decoded.width, &decoded.height, rate, &decoded.frames) == 4)
        decoded.rate = rate;
    const std::string pixel =
        commandOutput("ffmpeg -v error -i " + quoted(path) + " -frames:v 1 -f rawvideo -pix_fmt gray -");
    if (!pixel.empty()) decoded.corner = uint8_t(pixel[0]);
    return decoded;
}

// Six frames that differ (WebP merges equal ones), 40 x 30, at 10 fps, on a
// half transparent grey background: over black it is 0x20 (straight 0x40).
// The colour of the tiny mp4 is too rough to compare, its grey level is not.
const char *sixFrames = R"({
  "width": 40, "height": 30, "background": "#40404080", "frames": [0, 5], "fps": 10,
  "masks": [{"closed": true, "points": [[8, 6], [32, 6], [32, 24], [8, 24]]}],
  "params": {"First Radius": {"keyframes": [[0, 2], [0.5, 6]]}, "Stroke Thickness": 1,
             "Start": {"keyframes": [[0, 0], [0.5, 80]]}}
})";

std::string render(const std::string &folder, const std::string &options) {
    return "render " + quoted(folder + "/scene.json") + " -o " + quoted(folder + "/frames/####.png") + " --plugin " +
           quoted(mainPluginPath()) + " --jobs 2 " + options;
}

// The first render writes the frames and the mp4; the others find every frame
// written and still make their preview. A name with a space and quotes shows
// that no shell reads it.
TEST(AnimatedPreview, EachFormatHasEveryFrameAtTheChosenSize) {
    const std::string folder = scratchFolder();
    writeTextFile(folder + "/scene.json", sixFrames);
    const struct {
        const char *name;
        int width, height;
        const char *rate;
        int milliseconds;
        bool alpha;
        int corner;  // over black; -1: not decoded
    } cases[] = {
        {"my \"clip\".mp4", 18, 14, "10/1", 0, false, 0x20},
        {"anim.WebP", 17, 13, "", 600, true, -1},
        {"anim.gif", 17, 13, "10/1", 0, false, 0x20},
    };
    bool first = true;
    for (const auto &c : cases) {
        const std::string preview = folder + "/previews/" + c.name;
        const CommandResult result =
            runPathbloom(render(folder, (first ? "" : "--skip-existing ") +
                                            std::string("--preview-width 17 --preview ") + quoted(preview)));
        ASSERT_EQ(result.status, 0) << c.name << "\n" << result.err;
        EXPECT_EQ(result.err.find("6 of 6 frames already written, skipped") != std::string::npos, !first) << c.name;
        first = false;
        const Decoded decoded = decode(preview);
        EXPECT_EQ(decoded.frames, 6) << c.name;
        EXPECT_EQ(decoded.width, c.width) << c.name;
        EXPECT_EQ(decoded.height, c.height) << c.name;
        EXPECT_EQ(decoded.rate, c.rate) << c.name;
        EXPECT_EQ(decoded.milliseconds, c.milliseconds) << c.name;
        EXPECT_EQ(decoded.alpha, c.alpha) << c.name;
        EXPECT_NEAR(decoded.corner, c.corner, 3) << c.name;
    }
    // Nothing but the previews, no temporary file.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder + "/previews"), fs::directory_iterator()), 3);
}

// Without ffmpeg, or with one that fails, the frames are written and the
// preview is an error naming the cause, with no file left.
TEST(AnimatedPreview, AMissingOrFailingFfmpegIsAnErrorAfterTheFrames) {
    const std::string folder = scratchFolder();
    writeTextFile(folder + "/scene.json", sixFrames);
    fs::create_directories(folder + "/empty");
    fs::create_directories(folder + "/failing");
    writeTextFile(folder + "/failing/ffmpeg", "#!/bin/sh\necho 'first line' >&2\necho 'Unknown encoder' >&2\nexit 3\n");
    fs::permissions(folder + "/failing/ffmpeg", fs::perms::owner_all);
    const struct {
        const char *path;
        const char *said;
    } cases[] = {
        {"empty", "ffmpeg is not found on PATH; install it (Debian and Ubuntu: apt-get install ffmpeg)"},
        {"failing", "ffmpeg failed with exit status 3\n  first line\n  Unknown encoder\n"},
    };
    for (const auto &c : cases) {
        fs::remove_all(folder + "/frames");
        const std::string preview = folder + "/out.gif";
        const CommandResult result =
            runPathbloom(render(folder, "--preview " + quoted(preview)), "PATH=" + quoted(folder + "/" + c.path));
        EXPECT_EQ(result.status, 1) << c.path << "\n" << result.err;
        EXPECT_NE(result.err.find("pathbloom: cannot write the preview " + preview + ": " + c.said), std::string::npos)
            << result.err;
        for (const char *frame : {"0000", "0001", "0002", "0003", "0004", "0005"})
            EXPECT_TRUE(fs::exists(folder + "/frames/" + frame + ".png")) << c.path << " " << frame;
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 4) << c.path;
    }
}

// A signal while ffmpeg writes the preview ends ffmpeg and leaves no file
// under either name. The stand-in ffmpeg writes part of its output and waits.
TEST(AnimatedPreview, ASignalLeavesNoPartialPreview) {
    for (const int signal : {SIGINT, SIGTERM}) {
        const std::string folder = scratchFolder();
        writeTextFile(folder + "/scene.json", sixFrames);
        fs::create_directories(folder + "/bin");
        writeTextFile(folder + "/bin/ffmpeg",
                      "#!/bin/sh\nfor last; do :; done\necho partial > \"${last#file:}\"\nexec sleep 60\n");
        fs::permissions(folder + "/bin/ffmpeg", fs::perms::owner_all);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            setenv("PATH", (folder + "/bin:/usr/bin:/bin").c_str(), 1);
            const std::string scene = folder + "/scene.json", out = folder + "/frames", preview = folder + "/p.webp",
                              pluginPath = mainPluginPath();
            execl(PATHBLOOM_CLI, "pathbloom", "render", scene.c_str(), "-o", out.c_str(), "--plugin",
                  pluginPath.c_str(), "--preview", preview.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        const auto partial = [&] {
            for (const auto &entry : fs::directory_iterator(folder))
                if (entry.path().extension() == ".part") return true;
            return false;
        };
        int status = 0;
        ASSERT_TRUE(signalWhenReady(child, partial, signal, status)) << "pathbloom ended before the signal";
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
        EXPECT_FALSE(partial());
        EXPECT_FALSE(fs::exists(folder + "/p.webp"));
    }
}

}  // namespace
