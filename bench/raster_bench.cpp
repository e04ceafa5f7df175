// Drawing benchmarks: the per-pixel kernels, and point set-up and drawing on
// the four workloads into a 1920x1080 frame at each depth (frame clear
// included, as the peer benchmarks do). Time is ms per frame; per_pixel is CPU time per
// visited pixel. For medians:
//   raster_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench/workloads.h"
#include "raster/pixel_kernels.h"
#include "raster/pixel_ops.h"
#include "raster/shape_coverage.h"
#include "raster/shape_rasteriser.h"

namespace {

template <class Pixel>
void drawWorkload(benchmark::State &state, const bench::Workload &w, PixelDepth depth) {
    std::vector<Pixel> frame(static_cast<size_t>(bench::kWidth) * bench::kHeight);
    const RasterTarget target{frame.data(), bench::kWidth, bench::kWidth, bench::kHeight};
    const PointSettings settings = bench::settingsOf(w);
    const std::vector<PointValues> points = bench::pointsOf(w);
    const ShapeDrawer draw = shapeDrawer(depth, PixelWrite::Over);
    for (auto _ : state) {
        std::memset(frame.data(), 0, frame.size() * sizeof(Pixel));
        for (size_t k = 0; k < points.size(); ++k) {
            RasterShape shape;
            if (setUpPoint(settings, points[k], static_cast<A_long>(k), shape)) draw(target, shape);
        }
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    // Seconds per visited pixel of CPU time, printed with an SI prefix ("2.4n" is 2.4 ns).
    state.counters["per_pixel"] = benchmark::Counter(
        bench::visitedPixels(w), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["pixels"] = bench::visitedPixels(w);
}

// The frame clear that every draw/ row includes, alone (the peers' clear-only
// row): how much of a deep frame is bytes rather than drawing.
template <class Pixel>
void clearFrame(benchmark::State &state) {
    std::vector<Pixel> frame(static_cast<size_t>(bench::kWidth) * bench::kHeight);
    for (auto _ : state) {
        std::memset(frame.data(), 0, frame.size() * sizeof(Pixel));
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
}

void registerWorkloads() {
    benchmark::RegisterBenchmark("clear/8", clearFrame<PF_Pixel>)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("clear/16", clearFrame<PF_Pixel16>)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("clear/float", clearFrame<PF_PixelFloat>)->Unit(benchmark::kMillisecond);
    for (const bench::Workload &w : bench::workloads()) {
        // Blended through the host's transfer, or sampled through its suites: scene_bench only.
        if (w.blendMode != 1 || w.layerStamps) continue;
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
// bottom of mixed alpha, the general case of the composite. The buffer is
// restored before every pass (included in the time) so that repeated passes
// do not drift towards degenerate values.
constexpr int kKernelPixels = 4096;

template <class Pixel>
std::vector<Pixel> kernelBottoms() {
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

template <class Pixel, class Kernel>
void runKernel(benchmark::State &state, Kernel kernel) {
    const std::vector<Pixel> pristine = kernelBottoms<Pixel>();
    std::vector<Pixel> bottoms = pristine;
    for (auto _ : state) {
        std::memcpy(bottoms.data(), pristine.data(), bottoms.size() * sizeof(Pixel));
        kernel(bottoms);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kKernelPixels);
}

// The reference over, the in-place form and the run form of one depth, with
// a partly transparent top.
template <class Traits>
void registerComposites(const std::string &depth, typename Traits::Pixel top) {
    using Pixel = typename Traits::Pixel;
    benchmark::RegisterBenchmark(("BM_compositeOver" + depth).c_str(), [top](benchmark::State &s) {
        runKernel<Pixel>(s, [top](std::vector<Pixel> &v) {
            for (Pixel &b : v) b = compositeOverReference<Traits>(b, top);
        });
    });
    benchmark::RegisterBenchmark(("BM_compositeOverInto" + depth).c_str(), [top](benchmark::State &s) {
        runKernel<Pixel>(s, [top](std::vector<Pixel> &v) {
            for (Pixel &b : v) compositeOverInto(b, top);
        });
    });
    benchmark::RegisterBenchmark(("BM_compositeRunOver" + depth).c_str(), [top](benchmark::State &s) {
        runKernel<Pixel>(s, [top](std::vector<Pixel> &v) { compositeRunOver(v.data(), int64_t(v.size()), top); });
    });
}

void registerKernels() {
    registerComposites<Depth8Traits>("8", PF_Pixel{115, 255, 128, 0});
    registerComposites<Depth16Traits>("16", PF_Pixel16{14000, 32768, 16000, 0});
    registerComposites<DepthFloatTraits>("Float", PF_PixelFloat{0.45f, 1.0f, 0.5f, 0.0f});
}

void BM_mixPixels8(benchmark::State &state) {
    runKernel<PF_Pixel>(state, [](std::vector<PF_Pixel> &v) {
        const PF_Pixel fill{255, 255, 255, 255};
        double t = 0.01;
        for (PF_Pixel &b : v) {
            b = mixPixels8(fill, b, t);
            t = t > 0.98 ? 0.01 : t + 0.01;
        }
    });
}

void BM_circleCoverage(benchmark::State &state) {
    double sum = 0.0;
    for (auto _ : state) {
        for (int i = 0; i < kKernelPixels; ++i) {
            const Coverage c = circleCoverage(i * (24.0 / kKernelPixels), 20.0, 3.0, false);
            sum += c.coverage + c.fillWeight;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kKernelPixels);
}

BENCHMARK(BM_mixPixels8);
BENCHMARK(BM_circleCoverage);

}  // namespace

int main(int argc, char **argv) {
    registerKernels();
    registerWorkloads();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
