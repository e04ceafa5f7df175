// Drawing benchmarks: the per-pixel kernels, and drawShapePoint on the four
// workloads into a 1920x1080 frame at each depth (frame clear included, as
// the peer benchmarks do). Report ms per frame (median of the repetitions)
// and ns per visited pixel.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/workloads.h"
#include "raster/pixel_kernels.h"
#include "raster/pixel_ops.h"

namespace {

template <class Pixel>
void drawWorkload(benchmark::State &state, const bench::Workload &w, PixelDepth depth)
{
    std::vector<Pixel> frame(static_cast<size_t>(bench::kWidth) * bench::kHeight);
    const RasterTarget target{frame.data(), bench::kWidth, bench::kWidth, bench::kHeight, 0, 0, depth};
    const RasterSettings settings = bench::settingsOf(w);
    const std::vector<ShapePoint> points = bench::pointsOf(w);
    for (auto _ : state) {
        std::memset(frame.data(), 0, frame.size() * sizeof(Pixel));
        for (size_t k = 0; k < points.size(); ++k) {
            drawShapePoint(target, settings, points[k], static_cast<A_long>(k));
        }
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.counters["ms_per_frame"] =
        benchmark::Counter(1e-3, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["ns_per_pixel"] = benchmark::Counter(
        bench::visitedPixels(w) * 1e-9,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void registerWorkloads()
{
    for (const bench::Workload &w : bench::workloads()) {
        const std::string name = w.name;
        benchmark::RegisterBenchmark(("draw/" + name + "/8").c_str(), [w](benchmark::State &s) {
            drawWorkload<PF_Pixel>(s, w, Depth8);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("draw/" + name + "/16").c_str(), [w](benchmark::State &s) {
            drawWorkload<PF_Pixel16>(s, w, Depth16);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("draw/" + name + "/float").c_str(), [w](benchmark::State &s) {
            drawWorkload<PF_PixelFloat>(s, w, DepthFloat);
        })->Unit(benchmark::kMillisecond);
    }
}

// Kernels over a buffer of 4096 pixels: a partly transparent top over a
// bottom of mixed alpha, the general case of the composite.
constexpr int kKernelPixels = 4096;

template <class Pixel>
std::vector<Pixel> kernelBottoms()
{
    std::vector<Pixel> out(kKernelPixels);
    for (int i = 0; i < kKernelPixels; ++i) {
        const PF_Pixel p{static_cast<A_u_char>(1 + (i * 37) % 255), static_cast<A_u_char>(i * 7),
                         static_cast<A_u_char>(i * 13), static_cast<A_u_char>(i * 5)};
        if constexpr (sizeof(Pixel) == 4) {
            out[i] = p;
        } else if constexpr (sizeof(Pixel) == 8) {
            out[i] = convert8To16(p);
        } else {
            out[i] = convert8ToFloat(p);
        }
    }
    return out;
}

void BM_compositeOver8(benchmark::State &state)
{
    std::vector<PF_Pixel> bottoms = kernelBottoms<PF_Pixel>();
    const PF_Pixel top{115, 255, 128, 0};
    for (auto _ : state) {
        for (PF_Pixel &b : bottoms) b = compositeOver8(b, top);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kKernelPixels);
}

void BM_compositeOverInto8(benchmark::State &state)
{
    std::vector<PF_Pixel> bottoms = kernelBottoms<PF_Pixel>();
    const PF_Pixel top{115, 255, 128, 0};
    for (auto _ : state) {
        for (PF_Pixel &b : bottoms) compositeOverInto(b, top);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kKernelPixels);
}

void BM_compositeOver16(benchmark::State &state)
{
    std::vector<PF_Pixel16> bottoms = kernelBottoms<PF_Pixel16>();
    const PF_Pixel16 top{14000, 32768, 16000, 0};
    for (auto _ : state) {
        for (PF_Pixel16 &b : bottoms) b = compositeOver16(b, top);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kKernelPixels);
}

void BM_compositeOverInto16(benchmark::State &state)
{
    std::vector<PF_Pixel16> bottoms = kernelBottoms<PF_Pixel16>();
    const PF_Pixel16 top{14000, 32768, 16000, 0};
    for (auto _ : state) {
        for (PF_Pixel16 &b : bottoms) compositeOverInto(b, top);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kKernelPixels);
}

void BM_compositeOverFloat(benchmark::State &state)
{
    std::vector<PF_PixelFloat> bottoms = kernelBottoms<PF_PixelFloat>();
    const PF_PixelFloat top{0.45f, 1.0f, 0.5f, 0.0f};
    for (auto _ : state) {
        for (PF_PixelFloat &b : bottoms) b = compositeOverFloat(b, top);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kKernelPixels);
}

void BM_mixPixels8(benchmark::State &state)
{
    std::vector<PF_Pixel> bottoms = kernelBottoms<PF_Pixel>();
    const PF_Pixel fill{255, 255, 255, 255};
    double t = 0.01;
    for (auto _ : state) {
        for (PF_Pixel &b : bottoms) {
            b = mixPixels8(fill, b, t);
            t = t > 0.98 ? 0.01 : t + 0.01;
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kKernelPixels);
}

BENCHMARK(BM_compositeOver8);
BENCHMARK(BM_compositeOverInto8);
BENCHMARK(BM_compositeOver16);
BENCHMARK(BM_compositeOverInto16);
BENCHMARK(BM_compositeOverFloat);
BENCHMARK(BM_mixPixels8);

}  // namespace

int main(int argc, char **argv)
{
    registerWorkloads();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
