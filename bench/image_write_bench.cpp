// Writing frames as PNG and OpenEXR at each compression setting: median
// milliseconds per frame and file size, as a Markdown table. Frames come
// from files (PNG or EXR, e.g. rendered by `pathbloom render`); each is
// written `rounds` times into a scratch folder (default: the system's temp
// folder). The time is the process's CPU time (user and system), which other
// work on a busy machine disturbs less than the wall clock.
//
//   image_write_bench [--rounds N] [--folder DIR] FRAME...
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/image_io.h"

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
    {"fast (1, SUB)", pathbloom::fastPng},
    {"1, UP", {1, pathbloom::PngFilter::up}},
    {"1, NONE or UP", {1, pathbloom::PngFilter::noneOrUp}},
    {"2, no filter", {2, pathbloom::PngFilter::none}},
    {"1, adaptive", {1, pathbloom::PngFilter::adaptive}},
    {"3, SUB", {3, pathbloom::PngFilter::sub}},
    {"default (6, adaptive)", {6, pathbloom::PngFilter::adaptive}},
    {"best (9, adaptive)", {9, pathbloom::PngFilter::adaptive}},
};

const pathbloom::ExrCompression exrCases[] = {
    pathbloom::ExrCompression::none, pathbloom::ExrCompression::rle,  pathbloom::ExrCompression::zips,
    pathbloom::ExrCompression::zip,  pathbloom::ExrCompression::piz,  pathbloom::ExrCompression::pxr24,
    pathbloom::ExrCompression::b44,  pathbloom::ExrCompression::b44a, pathbloom::ExrCompression::dwaa,
    pathbloom::ExrCompression::dwab,
};

}  // namespace

int main(int argc, char **argv) {
    int rounds = 7;
    std::string folder = std::filesystem::temp_directory_path().string();
    std::vector<std::string> frames;
    for (int a = 1; a < argc; ++a) {
        const std::string argument = argv[a];
        if (argument == "--rounds" && a + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++a]));
        else if (argument == "--folder" && a + 1 < argc)
            folder = argv[++a];
        else
            frames.push_back(argument);
    }
    if (frames.empty()) {
        std::fprintf(stderr, "usage: image_write_bench [--rounds N] [--folder DIR] FRAME...\n");
        return 2;
    }
    const std::string scratch = (std::filesystem::path(folder) / "image_write_bench").string();
    std::filesystem::create_directories(scratch);
    for (const std::string &frame : frames) {
        minihost::Image image;
        std::string error;
        const bool exr = frame.size() > 4 && frame.compare(frame.size() - 4, 4, ".exr") == 0;
        if (!(exr ? pathbloom::readExr(frame, image, error) : pathbloom::readPng(frame, image, error))) {
            std::fprintf(stderr, "image_write_bench: %s\n", error.c_str());
            return 1;
        }
        std::printf("\n%s: %d x %d, %d bits per channel, median CPU time of %d writes\n\n", frame.c_str(), image.width,
                    image.height, int(image.depth), rounds);
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
            for (pathbloom::ExrCompression compression : exrCases) {
                Timing timings[2];
                for (int h = 0; h < 2; ++h) {
                    const pathbloom::ExrSettings settings{compression, h == 1};
                    const auto write = [&](const std::string &path, std::string &e) {
                        return pathbloom::writeExr(path, image, e, settings);
                    };
                    if (!timeWrites(rounds, scratch + "/frame.exr", write, timings[h])) return 1;
                }
                std::printf("| %s | %.1f | %ju | %.1f | %ju |\n", pathbloom::exrCompressionName(compression).c_str(),
                            timings[0].medianMs, timings[0].bytes, timings[1].medianMs, timings[1].bytes);
            }
        }
    }
    std::filesystem::remove_all(scratch);
    return 0;
}
