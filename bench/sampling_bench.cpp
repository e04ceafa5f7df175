// minihost's sampling suites and copy at the three depths, called as a layer
// stamp calls them: every pixel of a 40x40 stamp turned by 0.3 rad reads a
// 40x40 world once, by nearest sample or by area sample of radius 0.5 pixel;
// copy scales the 64x64 stamp image to 40x40. One iteration is one stamp
// (1600 calls) or one copy. For instruction counts per call:
//   valgrind --tool=callgrind sampling_bench --benchmark_filter=nearest/8
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "bench/workloads.h"
#include "hostapi/pf_suites.h"
#include "minihost/host_state.h"

namespace {

using minihost::Depth;

constexpr int kStampSide = 40;

// A world of the plug-in's making holding the stamp image at `side` x `side`
// (every source pixel that a nearest copy would take), at `depth`.
PF_EffectWorld stampWorld(minihost::Host &host, Depth depth, int side) {
    const std::vector<PF_Pixel> stamp = bench::stampImage();
    minihost::Image image = minihost::makeImage(side, side, Depth::Bits8);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            std::memcpy(image.data.data() + (static_cast<size_t>(y) * side + x) * sizeof(PF_Pixel),
                        &stamp[static_cast<size_t>(y * bench::kStampSize / side) * bench::kStampSize +
                               static_cast<size_t>(x * bench::kStampSize / side)],
                        sizeof(PF_Pixel));
    image = minihost::convertImage(image, depth);
    const auto &worlds = *static_cast<const PF_WorldSuite2 *>(minihost::worldSuite2());
    PF_EffectWorld world{};
    worlds.PF_NewWorld(minihost::refFromHost(host), side, side, false, minihost::pixelFormatOf(depth), &world);
    const size_t rowSize = static_cast<size_t>(side) * static_cast<size_t>(minihost::bytesPerPixel(depth));
    for (int y = 0; y < side; ++y)
        std::memcpy(reinterpret_cast<char *>(world.data) + static_cast<std::ptrdiff_t>(y) * world.rowbytes,
                    image.data.data() + rowSize * static_cast<size_t>(y), rowSize);
    return world;
}

// 16.16 positions in the stamp world of the centres of the stamp's pixels
// once turned by 0.3 rad about the stamp's centre.
std::vector<PF_Point> turnedPositions() {
    std::vector<PF_Point> positions;
    const double c = std::cos(0.3), s = std::sin(0.3), half = kStampSide / 2.0;
    for (int v = 0; v < kStampSide; ++v)
        for (int u = 0; u < kStampSide; ++u) {
            const double du = u + 0.5 - half, dv = v + 0.5 - half;
            positions.push_back(
                {minihost::fixedFromDouble(half + c * du + s * dv), minihost::fixedFromDouble(half - s * du + c * dv)});
        }
    return positions;
}

template <typename Pixel, typename Suite>
void sampleStamp(benchmark::State &state, const void *(*table)(), Depth depth, bool area) {
    minihost::Host host;
    const PF_ProgPtr ref = minihost::refFromHost(host);
    PF_EffectWorld world = stampWorld(host, depth, kStampSide);
    const std::vector<PF_Point> positions = turnedPositions();
    // In table order: nearest, bilinear, area (their names carry the depth).
    const auto &[nearest, bilinear, areaSample] = *static_cast<const Suite *>(table());
    const auto sample = area ? areaSample : nearest;
    PF_SampPB params{};
    params.src = &world;
    params.x_radius = params.y_radius = 1 << 15;
    for (auto _ : state) {
        for (const PF_Point &p : positions) {
            Pixel out;
            sample(ref, p.h, p.v, &params, &out);
            benchmark::DoNotOptimize(out);
        }
    }
    state.counters["per_call"] =
        benchmark::Counter(static_cast<double>(positions.size()),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void copyStamp(benchmark::State &state, Depth depth) {
    minihost::Host host;
    const PF_ProgPtr ref = minihost::refFromHost(host);
    PF_EffectWorld from = stampWorld(host, depth, bench::kStampSize), to = stampWorld(host, depth, kStampSide);
    const PF_UtilCallbacks utils = minihost::utilCallbacks();
    for (auto _ : state) {
        utils.copy(ref, &from, &to, nullptr, nullptr);
        benchmark::ClobberMemory();
    }
}

void registerAll() {
    struct Row {
        const char *name;
        Depth depth;
    };
    for (const bool area : {false, true}) {
        const char *filter = area ? "area/" : "nearest/";
        benchmark::RegisterBenchmark((std::string(filter) + "8").c_str(), [area](benchmark::State &s) {
            sampleStamp<PF_Pixel, PF_Sampling8Suite1>(s, minihost::sampling8Suite, Depth::Bits8, area);
        });
        benchmark::RegisterBenchmark((std::string(filter) + "16").c_str(), [area](benchmark::State &s) {
            sampleStamp<PF_Pixel16, PF_Sampling16Suite1>(s, minihost::sampling16Suite, Depth::Bits16, area);
        });
        benchmark::RegisterBenchmark((std::string(filter) + "float").c_str(), [area](benchmark::State &s) {
            sampleStamp<PF_PixelFloat, PF_SamplingFloatSuite1>(s, minihost::samplingFloatSuite, Depth::Float, area);
        });
    }
    for (const Row &row : {Row{"copy/8", Depth::Bits8}, Row{"copy/16", Depth::Bits16}, Row{"copy/float", Depth::Float}})
        benchmark::RegisterBenchmark(row.name, [depth = row.depth](benchmark::State &s) { copyStamp(s, depth); });
}

}  // namespace

int main(int argc, char **argv) {
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
