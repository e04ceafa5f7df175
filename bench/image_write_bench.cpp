// Writing frames as PNG and OpenEXR at each compression setting: median
// milliseconds per frame and file size, as a Markdown table. Frames come
// from files (PNG or EXR, e.g. rendered by `pathbloom render`) or, with none
// given, are rendered by the built plug-in: scenes/bench/w1.json and w5.json
// (1920x1080) and frame 4 of scenes/demo.json (640x360), at 8, 16 and 32
// bits. Each is written `rounds` times into a scratch folder (default: the
// system's temp folder). The time is the process's CPU time (user and
// system), which other work on a busy machine disturbs less than the wall
// clock.
//
//   image_write_bench [--rounds N] [--folder DIR] [FRAME...]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/effect_session.h"
#include "cli/image_io.h"
#include "cli/scene.h"

namespace {

struct Timing {
    double medianMs = 0;
    uintmax_t bytes = 0;
};

double cpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

template <typename Write>
bool timeWrites(int rounds, const std::string &path, Write write, Timing &timing) {
    std::vector<double> ms;
    for (int r = 0; r < rounds; ++r) {
        std::string error;
        const double started = cpuMilliseconds();
        if (!write(path, error)) {
            std::fprintf(stderr, "image_write_bench: %s\n", error.c_str());
            return false;
        }
        ms.push_back(cpuMilliseconds() - started);
    }
    std::sort(ms.begin(), ms.end());
    timing.medianMs = ms[ms.size() / 2];
    timing.bytes = std::filesystem::file_size(path);
    return true;
}

struct PngCase {
    const char *label;
    pathbloom::PngSettings settings;
};

const PngCase pngCases[] = {
    {"none (0, no filter)", {0, pathbloom::PngFilter::none}},
    {"1, no filter", {1, pathbloom::PngFilter::none}},
    {"1, SUB", {1, pathbloom::PngFilter::sub}},
    {"1, UP", {1, pathbloom::PngFilter::up}},
    {"fast (1, NONE or UP)", pathbloom::fastPng},
    {"1, adaptive", {1, pathbloom::PngFilter::adaptive}},
    {"3, NONE or UP", {3, pathbloom::PngFilter::noneOrUp}},
    {"default (6, adaptive)", {6, pathbloom::PngFilter::adaptive}},
    {"best (9, adaptive)", {9, pathbloom::PngFilter::adaptive}},
};

// --exr-compression values.
const char *exrCases[] = {"none", "rle", "zips", "zip", "fast", "piz", "pxr24", "b44", "b44a", "dwaa", "dwab"};

struct Frame {
    std::string name;
    minihost::Image image;
};

bool renderFrame(const std::string &scenePath, int frame, minihost::Depth depth, minihost::Image &image) {
    pathbloom::SceneEffects effects;
    pathbloom::Scene scene;
    std::string error;
    if (!pathbloom::addEffect(effects, PATHBLOOM_BENCH_PLUGIN, std::cerr)) return false;
    if (!pathbloom::loadScene(scenePath, effects[0]->host.paramDefs, scene, error)) {
        std::fprintf(stderr, "image_write_bench: %s\n", error.c_str());
        return false;
    }
    scene.depth = depth;
    if (!pathbloom::startSceneEffects(effects, scene, PATHBLOOM_BENCH_PLUGIN, nullptr, nullptr, std::cerr))
        return false;
    pathbloom::SceneFrame rendered;
    if (!pathbloom::renderSceneFrame(effects, scene, frame, false, rendered)) {
        std::fprintf(stderr, "image_write_bench: %s\n", rendered.failure.c_str());
        return false;
    }
    image = *rendered.output;
    return true;
}

bool renderedFrames(std::vector<Frame> &frames) {
    const struct {
        const char *scene;
        int frame;
    } scenes[] = {{"scenes/bench/w1.json", 0}, {"scenes/bench/w5.json", 0}, {"scenes/demo.json", 4}};
    for (const auto &s : scenes) {
        for (minihost::Depth depth : {minihost::Depth::Bits8, minihost::Depth::Bits16, minihost::Depth::Float}) {
            Frame frame;
            frame.name = std::string(s.scene) + " frame " + std::to_string(s.frame);
            if (!renderFrame(std::string(PATHBLOOM_SOURCE_DIR) + "/" + s.scene, s.frame, depth, frame.image))
                return false;
            frames.push_back(std::move(frame));
        }
    }
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    int rounds = 7;
    std::string folder = std::filesystem::temp_directory_path().string();
    std::vector<std::string> files;
    for (int a = 1; a < argc; ++a) {
        const std::string argument = argv[a];
        if (argument == "--rounds" && a + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++a]));
        else if (argument == "--folder" && a + 1 < argc)
            folder = argv[++a];
        else
            files.push_back(argument);
    }
    std::vector<Frame> frames;
    for (const std::string &file : files) {
        Frame frame{file, {}};
        std::string error;
        const bool exr = file.size() > 4 && file.compare(file.size() - 4, 4, ".exr") == 0;
        if (!(exr ? pathbloom::readExr(file, frame.image, error) : pathbloom::readPng(file, frame.image, error))) {
            std::fprintf(stderr, "image_write_bench: %s\n", error.c_str());
            return 1;
        }
        frames.push_back(std::move(frame));
    }
    if (files.empty() && !renderedFrames(frames)) return 1;
    const std::string scratch = (std::filesystem::path(folder) / "image_write_bench").string();
    std::filesystem::create_directories(scratch);
    for (const Frame &frame : frames) {
        const minihost::Image &image = frame.image;
        std::printf("\n%s: %d x %d, %d bits per channel, median CPU time of %d writes\n\n", frame.name.c_str(),
                    image.width, image.height, int(image.depth), rounds);
        if (image.depth != minihost::Depth::Float) {
            std::printf("| PNG setting | ms per frame | bytes |\n|---|---:|---:|\n");
            for (const PngCase &c : pngCases) {
                Timing timing;
                const auto write = [&](const std::string &path, std::string &e) {
                    return pathbloom::writePng(path, image, e, c.settings);
                };
                if (!timeWrites(rounds, scratch + "/frame.png", write, timing)) return 1;
                std::printf("| %s | %.1f | %ju |\n", c.label, timing.medianMs, timing.bytes);
            }
        } else {
            std::printf(
                "| EXR compression | float ms | float bytes | half ms | half bytes |\n|---|---:|---:|---:|---:|\n");
            for (const char *name : exrCases) {
                Timing timings[2];
                for (int h = 0; h < 2; ++h) {
                    pathbloom::ExrSettings settings;
                    pathbloom::parseExrCompression(name, settings);
                    settings.half = h == 1;
                    const auto write = [&](const std::string &path, std::string &e) {
                        return pathbloom::writeExr(path, image, e, settings);
                    };
                    if (!timeWrites(rounds, scratch + "/frame.exr", write, timings[h])) return 1;
                }
                std::printf("| %s | %.1f | %ju | %.1f | %ju |\n", name, timings[0].medianMs, timings[0].bytes,
                            timings[1].medianMs, timings[1].bytes);
            }
        }
    }
    std::filesystem::remove_all(scratch);
    return 0;
}
