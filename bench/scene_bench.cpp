// Scene benchmarks: the workloads of bench/workloads.h as whole 1920x1080
// frames rendered by the built plug-in through minihost, at 8-bit, 16-bit and
// float, nothing written to files. Prints one line per workload and depth:
//   workload depth median_ms min_ms max_ms ns_per_pixel frame_ms frame_ratio placed drawn host_ms own_ms
// median/min/max: time inside the plug-in's pre-render and render commands
// (output clear included, as the peer benchmarks include theirs);
// ns_per_pixel: median over the pixels of the drawing squares clipped to the
// frame, counted as raster_bench counts them; frame_ms: median of the whole
// renderFrame call, the host's world set-up and copy-out included;
// frame_ratio: median over the frames of renderFrame's time over the time
// inside the plug-in, the host's share of a frame; host_ms: median time of
// the host's copy, fill, transfer_rect and new-world calls made from inside
// the plug-in (its frame-sized passes, counted in median_ms), own_ms: median
// of the plug-in's time without them.
// Frames are taken in rounds over all rows (each round 2 warm-up frames then
// frames/rounds timed ones per row) so that slow spells of a shared machine
// fall on every row alike.
#include <malloc.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/workloads.h"
#include "minihost/minihost.h"

namespace {

using minihost::Depth;

struct Options {
    std::string pluginPath = PATHBLOOM_BENCH_PLUGIN;
    int frames = 15;
    int rounds = 5;
    int warmup = 2;
    std::string workloads;  // comma list of names or prefixes ("W1,W4"); empty: all
    std::string depths;     // comma list of 8,16,float; empty: all
};

bool listed(const std::string &list, const std::string &name) {
    if (list.empty()) return true;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(',', start), list.size());
        const std::string item = list.substr(start, comma - start);
        if (!item.empty() && name.compare(0, item.size(), item) == 0) return true;
        start = comma + 1;
    }
    return false;
}

// A circle of radius 400 round the frame's centre as four cubic Beziers,
// clockwise on screen from the rightmost point, like the peers' placement.
minihost::Mask circleMask() {
    const double k = 0.5522847498 * bench::kPathRadius;
    const double cx = bench::kCentreX, cy = bench::kCentreY, r = bench::kPathRadius;
    // x, y, travel direction at the vertex.
    const double at[4][4] = {{cx + r, cy, 0, 1}, {cx, cy + r, -1, 0}, {cx - r, cy, 0, -1}, {cx, cy - r, 1, 0}};
    minihost::Mask mask;
    mask.closed = true;
    for (const auto &v : at) {
        minihost::MaskVertex vertex;
        vertex.x = v[0];
        vertex.y = v[1];
        vertex.outX = k * v[2];
        vertex.outY = k * v[3];
        vertex.inX = -vertex.outX;
        vertex.inY = -vertex.outY;
        mask.vertices.push_back(vertex);
    }
    return mask;
}

void set(minihost::Host &host, const char *name, double number) {
    const int index = minihost::paramIndex(host, name);
    if (index <= 0) {
        std::fprintf(stderr, "scene_bench: the plug-in has no parameter \"%s\"\n", name);
        std::exit(1);
    }
    minihost::ParamValue value;
    value.number = number;
    minihost::setParam(host, index, value);
}

void setColor(minihost::Host &host, const char *name, PF_Pixel color) {
    minihost::ParamValue value;
    value.color = color;
    minihost::setParam(host, minihost::paramIndex(host, name), value);
}

// The workload as effect parameters: shapes on mask 1, white fill, red
// stroke, drawn onto a transparent frame, or with "On Original" over the
// gradient, with the workload's blend mode; or layer 1, the stamp image,
// stamped untinted.
void applyWorkload(minihost::Host &host, const bench::Workload &w) {
    host.masks = {circleMask()};
    set(host, "Path", 1);
    set(host, "On Original", 0);
    set(host, "Mode", w.lineMode ? 3 : 2);  // "Line" : "Number"
    set(host, "Sub Mode", 1);               // "Constant"
    if (!w.lineMode) set(host, "Number", w.count);
    set(host, "First Radius", w.radius);
    if (w.sides > 2) {
        set(host, "Shape Mode", 2);  // "Polygon"
        set(host, "Side", w.sides);
        set(host, "Delta Phase", 720);
    }
    set(host, "Stroke Thickness", w.thickness);
    setColor(host, "Color", PF_Pixel{255, 255, 255, 255});
    setColor(host, "Stroke Color", PF_Pixel{255, 255, 0, 0});
    set(host, "Opacity", w.opacity * 100.0);
    set(host, "Blend Mode", w.blendMode);
    if (w.layerStamps) {
        set(host, "Shape Mode", 3);  // "Layer"
        set(host, "Layer", 1);
        set(host, "Color Opacity", 0);
        set(host, "Delta Phase", (w.count - 1) * 0.05 * 180 / M_PI);  // degrees: point i turns by i * 0.05 rad
        minihost::Image stamp = minihost::makeImage(bench::kStampSize, bench::kStampSize, Depth::Bits8);
        const std::vector<PF_Pixel> pixels = bench::stampImage();
        std::memcpy(stamp.data.data(), pixels.data(), stamp.data.size());
        host.layers = {minihost::convertImage(stamp, host.depth)};
    }
    if (w.onOriginal) {
        set(host, "On Original", 1);
        minihost::Image gradient = minihost::makeImage(bench::kWidth, bench::kHeight, Depth::Bits8);
        const std::vector<PF_Pixel> pixels = bench::backgroundImage();
        std::memcpy(gradient.data.data(), pixels.data(), gradient.data.size());
        host.input = minihost::convertImage(gradient, host.depth);
    }
}

const char *depthName(Depth depth) {
    return depth == Depth::Bits8 ? "8-bit" : depth == Depth::Bits16 ? "16-bit" : "float";
}

struct Row {
    const bench::Workload *workload;
    Depth depth;
    std::unique_ptr<minihost::Host> host;
    std::vector<double> pluginMs, frameMs, frameRatios, hostMs, ownMs;
    long placed = 0, drawn = 0;
    minihost::RenderResult result;  // kept from frame to frame, as a host keeps its buffers
};

// One frame; false after printing why it failed.
bool renderOnce(Row &row, bool timed) {
    minihost::Host &host = *row.host;
    host.progressCalls = 0;
    host.progressCurrent = 0;
    host.progressTotal = 0;
    const auto started = std::chrono::steady_clock::now();
    minihost::RenderResult &result = row.result;
    minihost::renderFrame(host, result);
    const auto finished = std::chrono::steady_clock::now();
    if (result.preRenderError != PF_Err_NONE || result.renderError != PF_Err_NONE) {
        std::fprintf(stderr, "scene_bench: %s %s: render failed with errors %d, %d %s\n", row.workload->name,
                     depthName(row.depth), int(result.preRenderError), int(result.renderError), result.message.c_str());
        return false;
    }
    // The plug-in reports progress once per drawn point and once at the end,
    // out of the points placed plus one.
    row.placed = host.progressTotal > 0 ? host.progressTotal - 1 : 0;
    row.drawn = host.progressCalls > 0 ? host.progressCalls - 1 : 0;
    if (timed) {
        const double frameMs = std::chrono::duration<double, std::milli>(finished - started).count();
        row.pluginMs.push_back(result.pluginMilliseconds);
        row.frameMs.push_back(frameMs);
        row.frameRatios.push_back(frameMs / result.pluginMilliseconds);
        row.hostMs.push_back(result.hostCallMilliseconds);
        row.ownMs.push_back(result.pluginMilliseconds - result.hostCallMilliseconds);
    }
    return true;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

Options parseOptions(int argc, char **argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--plugin" && hasValue)
            o.pluginPath = argv[++i];
        else if (a == "--frames" && hasValue)
            o.frames = std::atoi(argv[++i]);
        else if (a == "--rounds" && hasValue)
            o.rounds = std::atoi(argv[++i]);
        else if (a == "--warmup" && hasValue)
            o.warmup = std::atoi(argv[++i]);
        else if (a == "--workloads" && hasValue)
            o.workloads = argv[++i];
        else if (a == "--depths" && hasValue)
            o.depths = argv[++i];
        else {
            std::fprintf(stderr,
                         "usage: %s [--plugin FILE] [--frames N] [--rounds R] [--warmup N] "
                         "[--workloads W1,W2] [--depths 8,16,float]\n",
                         argv[0]);
            std::exit(2);
        }
    }
    if (o.frames < 1 || o.rounds < 1 || o.warmup < 0 || o.frames % o.rounds != 0) {
        std::fprintf(stderr, "%s: --frames >= 1 and a multiple of --rounds >= 1, --warmup >= 0\n", argv[0]);
        std::exit(2);
    }
    return o;
}

}  // namespace

int main(int argc, char **argv) {
    const Options o = parseOptions(argc, argv);
    // The host keeps its own worlds between frames, but the worlds the
    // plug-in makes through the world suites (W5's accumulation world) are
    // made afresh for every frame; kept on the heap instead of mapped and
    // unmapped each time, they are not page-faulted in again on every frame
    // (very slow on virtual machines).
    mallopt(M_MMAP_THRESHOLD, 512 << 20);
    mallopt(M_TRIM_THRESHOLD, 1024 << 20);
    std::vector<Row> rows;
    for (const bench::Workload &w : bench::workloads()) {
        if (!listed(o.workloads, w.name)) continue;
        for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
            const std::string depthKey = depth == Depth::Bits8 ? "8" : depth == Depth::Bits16 ? "16" : "float";
            if (!listed(o.depths, depthKey)) continue;
            Row row{&w, depth, std::make_unique<minihost::Host>(), {}, {}, {}, {}, {}, 0, 0, {}};
            std::string error;
            if (!minihost::openPlugin(*row.host, o.pluginPath, error)) {
                std::fprintf(stderr, "scene_bench: %s\n", error.c_str());
                return 1;
            }
            if (minihost::setupEffect(*row.host) != PF_Err_NONE) {
                std::fprintf(stderr, "scene_bench: setting up the effect failed\n");
                return 1;
            }
            row.host->depth = depth;
            row.host->input = minihost::makeImage(bench::kWidth, bench::kHeight, depth);
            applyWorkload(*row.host, w);
            rows.push_back(std::move(row));
        }
    }

    const int perRound = o.frames / o.rounds;
    for (int round = 0; round < o.rounds; ++round) {
        for (Row &row : rows) {
            for (int i = 0; i < o.warmup; ++i)
                if (!renderOnce(row, false)) return 1;
            for (int i = 0; i < perRound; ++i)
                if (!renderOnce(row, true)) return 1;
        }
    }

    std::printf(
        "# workload depth median_ms min_ms max_ms ns_per_pixel frame_ms frame_ratio placed drawn host_ms own_ms\n");
    for (Row &row : rows) {
        const double ms = median(row.pluginMs);
        const double pixels = bench::visitedPixels(*row.workload);
        std::printf("%s %s %.3f %.3f %.3f %.2f %.3f %.3f %ld %ld %.3f %.3f\n", row.workload->name, depthName(row.depth),
                    ms, *std::min_element(row.pluginMs.begin(), row.pluginMs.end()),
                    *std::max_element(row.pluginMs.begin(), row.pluginMs.end()), ms * 1e6 / pixels, median(row.frameMs),
                    median(row.frameRatios), row.placed, row.drawn, median(row.hostMs), median(row.ownMs));
        minihost::teardownEffect(*row.host);
        minihost::closePlugin(*row.host);
    }
    return 0;
}
