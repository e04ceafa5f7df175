// How the cost of drawing grows: frames of filled antialiased circles (white,
// opacity 1, no stroke, hard edge) set up and drawn straight into a frame at
// each depth, as raster_bench draws, varying one thing at a time:
//   points  100, 200, ..., 25,600 circles of radius 20 in a 1920x1080 frame
//   radius  2 to 300 pixels, 200 circles in a 1920x1080 frame
//   frame   960x540 to 3840x2160, 200 circles of radius 20, positions scaled
//           with the frame
//   clear   the same frame sizes without circles: the clear alone
// Positions come from one fixed seed, uniform over the 1920x1080 frame, so
// each series draws the first N points of the same sequence. A frame is the
// clear (memset) plus the set-up and drawing of every point.
//
// Time is the drawing thread's CPU time, so that other work taking the core
// of a shared machine away does not count; the wall-clock median is printed
// beside it. Per row: the median, min and max ms per frame, the covered
// pixels (pixels of the frame where a circle's coverage is above 0, summed
// over the circles, so an overlap counts once per circle; "edge" those of
// them below full coverage), and the median in ns per covered pixel, per
// point and per frame pixel. Then, per depth, a least-squares fit over the
// rows of every series of
//   time = a * points + b * covered pixels + c * frame pixels
// and of the same with covered pixels split into full and edge ones.
//
// Frames are taken in rounds over all rows (each round warm-up frames, then
// timed ones per row), so that slow spells of a shared machine fall on every
// row alike. --out DIR writes cost_<series>.dat and cost_fit.dat for
// bench/cost_scaling.gp.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/point_setup.h"
#include "raster/pixel_ops.h"
#include "raster/shape_coverage.h"
#include "raster/shape_rasteriser.h"

namespace {

constexpr int kBaseWidth = 1920, kBaseHeight = 1080;
constexpr uint64_t kSeed = 20261208;

enum Series { PointsSeries = 0, RadiusSeries = 1, FrameSeries = 2, ClearSeries = 3 };
constexpr int kSeriesCount = 4;
const char *const kSeriesNames[kSeriesCount] = {"points", "radius", "frame", "clear"};
const char *const kDepthNames[3] = {"8", "16", "float"};

struct Options {
    int rounds = 3;
    int frames = 3;  // timed frames per row and round
    int warmup = 1;  // untimed frames per row and round
    std::string depths;
    std::string series;
    std::string outDir;
    bool check = true;
};

// One frame to draw: what varies and the points, with their exact pixel counts.
struct Config {
    Series series;
    double varied;  // points, radius (pixels) or frame width
    int width, height;
    double radius;
    std::vector<PointValues> points;
    double covered = 0;  // pixels with coverage above 0, summed over the circles
    double full = 0;     // of those, pixels with coverage 1
};

struct Row {
    const Config *config;
    PixelDepth depth;
    std::vector<double> seconds, wallSeconds;  // one per timed frame
    double median = 0, low = 0, high = 0, wallMedian = 0;
    double model = 0;  // seconds the fit with full and edge pixels apart predicts
};

bool listed(const std::string &list, const std::string &name) {
    if (list.empty()) return true;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(',', start), list.size());
        if (list.compare(start, comma - start, name) == 0) return true;
        start = comma + 1;
    }
    return false;
}

// x in [0, width), y in [0, height) of the base frame; the 64-bit Mersenne
// twister's output is the same on every standard library, and so are these.
std::vector<std::pair<double, double>> basePositions(int count) {
    std::mt19937_64 random(kSeed);
    auto unit = [&random] { return static_cast<double>(random() >> 11) * 0x1.0p-53; };
    std::vector<std::pair<double, double>> out;
    for (int i = 0; i < count; ++i) {
        const double x = unit() * kBaseWidth;
        out.emplace_back(x, unit() * kBaseHeight);
    }
    return out;
}

// Filled circles with a hard edge, no stroke, the output at the frame's origin.
PointSettings settingsOf(const Config &c) {
    PointSettings settings{};
    settings.pointCount = static_cast<A_long>(c.points.size());
    settings.width = c.width;
    settings.height = c.height;
    return settings;
}

Config makeConfig(Series series, double varied, int count, double radius, int width, int height) {
    static const std::vector<std::pair<double, double>> positions = basePositions(25600);
    Config c{series, varied, width, height, radius, {}};
    const double sx = static_cast<double>(width) / kBaseWidth, sy = static_cast<double>(height) / kBaseHeight;
    for (int i = 0; i < count; ++i) {
        PointValues p{};
        p.x = positions[i].first * sx;
        p.y = positions[i].second * sy;
        p.sides = 2;
        p.radius = radius;
        p.weight = 1.0;
        p.opacity = 1.0;
        p.fill = pixelForms(PF_Pixel{255, 255, 255, 255});
        p.stroke = p.fill;
        c.points.push_back(p);
    }
    return c;
}

std::vector<Config> makeConfigs(const Options &o) {
    std::vector<Config> out;
    if (listed(o.series, "points")) {
        for (int n = 100; n <= 25600; n *= 2) out.push_back(makeConfig(PointsSeries, n, n, 20.0, 1920, 1080));
    }
    if (listed(o.series, "radius")) {
        for (double r : {2.0, 3.0, 5.0, 8.0, 12.0, 20.0, 30.0, 50.0, 80.0, 120.0, 200.0, 300.0}) {
            out.push_back(makeConfig(RadiusSeries, r, 200, r, 1920, 1080));
        }
    }
    if (listed(o.series, "frame")) {
        const int sizes[4][2] = {{960, 540}, {1920, 1080}, {2560, 1440}, {3840, 2160}};
        for (const auto &s : sizes) out.push_back(makeConfig(FrameSeries, s[0], 200, 20.0, s[0], s[1]));
    }
    if (listed(o.series, "clear")) {
        const int sizes[4][2] = {{960, 540}, {1920, 1080}, {2560, 1440}, {3840, 2160}};
        for (const auto &s : sizes) out.push_back(makeConfig(ClearSeries, s[0], 0, 0.0, s[0], s[1]));
    }
    return out;
}

// First column of lo..hi at which `holds` turns true, it being false then
// true along the columns; hi + 1 when it never holds.
template <class Holds>
int64_t firstHolding(int64_t lo, int64_t hi, Holds holds) {
    int64_t end = hi + 1;
    while (lo < end) {
        const int64_t mid = lo + (end - lo) / 2;
        if (holds(mid)) {
            end = mid;
        } else {
            lo = mid + 1;
        }
    }
    return end;
}

// Columns xFirst..xLast of a row where `within(squared distance)` holds, it
// holding below some distance from the centre: the columns left of the centre
// come nearer as x grows, those right of it go further.
template <class Within>
int64_t columnsWithin(double centreX, double fy2, int64_t xFirst, int64_t xLast, Within within) {
    auto at = [&](int64_t x) {
        const double fx = static_cast<double>(x) - centreX;
        return within(fx * fx + fy2);
    };
    const int64_t split = std::clamp<int64_t>(static_cast<int64_t>(std::floor(centreX)), xFirst - 1, xLast);
    const int64_t left = split - firstHolding(xFirst, split, at) + 1;
    const int64_t rightEnd = firstHolding(split + 1, xLast, [&](int64_t x) { return !at(x); });
    return left + (rightEnd - (split + 1));
}

// The pixels each circle touches, by the coverage the drawing uses, over
// the square the drawing walks (the coverage ends a pixel beyond the radius,
// inside the square), clipped to the frame.
void countPixels(Config &c) {
    const PointSettings settings = settingsOf(c);
    c.covered = c.full = 0;
    for (size_t k = 0; k < c.points.size(); ++k) {
        RasterShape s;
        if (!setUpPoint(settings, c.points[k], static_cast<A_long>(k), s)) continue;
        auto coverageAt = [&s](double sq) {
            return circleCoverage(std::sqrt(sq), s.radius, s.thickness, false).coverage;
        };
        const int64_t xFirst = std::max<int64_t>(s.cx - s.halfSize, 0);
        const int64_t xLast = std::min<int64_t>(s.cx + s.halfSize, c.width - 1);
        const int64_t yFirst = std::max<int64_t>(s.cy - s.halfSize, 0);
        const int64_t yLast = std::min<int64_t>(s.cy + s.halfSize, c.height - 1);
        for (int64_t y = yFirst; y <= yLast; ++y) {
            const double fy = static_cast<double>(y) - s.centreY;
            c.covered +=
                columnsWithin(s.centreX, fy * fy, xFirst, xLast, [&](double sq) { return coverageAt(sq) > 0; });
            c.full += columnsWithin(s.centreX, fy * fy, xFirst, xLast, [&](double sq) { return coverageAt(sq) >= 1; });
        }
    }
}

// The frame buffer, large enough for the largest frame at float depth.
struct FrameBuffer {
    void *data = nullptr;
    size_t bytes = 0;
};

FrameBuffer allocateFrame(const std::vector<Config> &configs) {
    FrameBuffer f;
    for (const Config &c : configs) f.bytes = std::max(f.bytes, size_t(c.width) * c.height * sizeof(PF_PixelFloat));
    f.data = std::aligned_alloc(64, (f.bytes + 63) / 64 * 64);
    if (!f.data) {
        std::fprintf(stderr, "cost_scaling_bench: no memory for a %zu-byte frame\n", f.bytes);
        std::exit(1);
    }
    std::memset(f.data, 0, f.bytes);
    return f;
}

// Each circle drawn alone into a clear float frame must change exactly the
// pixels counted for it. False, with a message, when it does not.
bool checkCounts(const Config &c, const FrameBuffer &frame) {
    const RasterTarget target{frame.data, c.width, c.width, c.height};
    const PointSettings settings = settingsOf(c);
    const ShapeDrawer draw = shapeDrawer(DepthFloat, PixelWrite::Over);
    PF_PixelFloat *const pixels = static_cast<PF_PixelFloat *>(frame.data);
    std::memset(frame.data, 0, size_t(c.width) * c.height * sizeof(PF_PixelFloat));
    double changed = 0;
    for (size_t k = 0; k < c.points.size(); ++k) {
        RasterShape s;
        if (!setUpPoint(settings, c.points[k], static_cast<A_long>(k), s)) continue;
        draw(target, s);
        // The walk never leaves the square: the whole frame is checked for the
        // first circle, only the square after it.
        const bool whole = k == 0;
        const int64_t xFirst = whole ? 0 : std::max<int64_t>(s.cx - s.halfSize, 0);
        const int64_t xLast = whole ? c.width - 1 : std::min<int64_t>(s.cx + s.halfSize, c.width - 1);
        const int64_t yFirst = whole ? 0 : std::max<int64_t>(s.cy - s.halfSize, 0);
        const int64_t yLast = whole ? c.height - 1 : std::min<int64_t>(s.cy + s.halfSize, c.height - 1);
        for (int64_t y = yFirst; y <= yLast; ++y) {
            for (int64_t x = xFirst; x <= xLast; ++x) {
                PF_PixelFloat &p = pixels[y * c.width + x];
                if (p.alpha > 0.0f) ++changed;
                p = PF_PixelFloat{0, 0, 0, 0};
            }
        }
    }
    if (changed != c.covered) {
        std::fprintf(stderr, "cost_scaling_bench: %s %g: the circles drawn alone touch %.0f pixels, counted %.0f\n",
                     kSeriesNames[c.series], c.varied, changed, c.covered);
        return false;
    }
    return true;
}

// Seconds of this thread's CPU time and of the wall clock.
struct FrameTime {
    double cpu, wall;
};

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

template <class Pixel>
FrameTime timeFrame(const Config &c, PixelDepth depth, const FrameBuffer &frame) {
    const RasterTarget target{frame.data, c.width, c.width, c.height};
    const PointSettings settings = settingsOf(c);
    const ShapeDrawer draw = shapeDrawer(depth, PixelWrite::Over);
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadSeconds();
    std::memset(frame.data, 0, size_t(c.width) * c.height * sizeof(Pixel));
    for (size_t k = 0; k < c.points.size(); ++k) {
        RasterShape shape;
        if (setUpPoint(settings, c.points[k], static_cast<A_long>(k), shape)) draw(target, shape);
    }
    const double cpuEnd = threadSeconds();
    const auto end = std::chrono::steady_clock::now();
    return FrameTime{cpuEnd - cpuStart, std::chrono::duration<double>(end - start).count()};
}

FrameTime timeFrame(const Config &c, PixelDepth depth, const FrameBuffer &frame) {
    switch (depth) {
    case Depth8:
        return timeFrame<PF_Pixel>(c, depth, frame);
    case Depth16:
        return timeFrame<PF_Pixel16>(c, depth, frame);
    default:
        return timeFrame<PF_PixelFloat>(c, depth, frame);
    }
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// Least squares of sum over rows of ((x . a - t) / t)^2: each row weighs by
// its relative error, as timing noise grows with the time, so the large
// frames do not decide the small constants alone. Columns are scaled to 1
// before solving. Gives a and the diagonal of (X'WX)^-1, W = 1 / t^2, for the
// standard errors; empty when the system is singular.
struct LeastSquares {
    std::vector<double> a, inverseDiagonal;
};

LeastSquares fitRelative(const std::vector<std::vector<double>> &x, const std::vector<double> &t) {
    const size_t m = x.empty() ? 0 : x[0].size();
    std::vector<double> scale(m, 0.0);
    for (const auto &row : x)
        for (size_t j = 0; j < m; ++j) scale[j] = std::max(scale[j], std::fabs(row[j]));
    for (double s : scale)
        if (s == 0) return {};
    // [X'WX | X'Wt | I], reduced to [I | a | (X'WX)^-1].
    const size_t width = 2 * m + 1;
    std::vector<std::vector<double>> g(m, std::vector<double>(width, 0.0));
    for (size_t i = 0; i < x.size(); ++i) {
        const double w = 1.0 / (t[i] * t[i]);
        for (size_t j = 0; j < m; ++j) {
            for (size_t k = 0; k < m; ++k) g[j][k] += w * (x[i][j] / scale[j]) * (x[i][k] / scale[k]);
            g[j][m] += w * (x[i][j] / scale[j]) * t[i];
        }
    }
    for (size_t j = 0; j < m; ++j) g[j][m + 1 + j] = 1.0;
    for (size_t col = 0; col < m; ++col) {
        size_t pivot = col;
        for (size_t r = col + 1; r < m; ++r)
            if (std::fabs(g[r][col]) > std::fabs(g[pivot][col])) pivot = r;
        if (std::fabs(g[pivot][col]) < 1e-12) return {};
        std::swap(g[col], g[pivot]);
        const double p = g[col][col];
        for (double &v : g[col]) v /= p;
        for (size_t r = 0; r < m; ++r) {
            if (r == col) continue;
            const double f = g[r][col];
            for (size_t k = col; k < width; ++k) g[r][k] -= f * g[col][k];
        }
    }
    LeastSquares out;
    for (size_t j = 0; j < m; ++j) {
        out.a.push_back(g[j][m] / scale[j]);
        out.inverseDiagonal.push_back(g[j][m + 1 + j] / (scale[j] * scale[j]));
    }
    return out;
}

struct Fit {
    PixelDepth depth;
    bool splitEdge;
    const char *model;
    std::vector<const char *> terms;
    std::vector<double> nanoseconds;  // per unit of each term
    std::vector<double> errors;       // their standard errors, ns
    double rms = 0, worst = 0;        // relative residuals over the rows
    double worstSeries[kSeriesCount] = {};
};

// The fit's unknowns multiply these: points, covered pixels (or full and edge
// pixels apart), frame pixels.
std::vector<double> termsOf(const Config &c, bool splitEdge) {
    const double n = static_cast<double>(c.points.size()), f = double(c.width) * c.height;
    if (splitEdge) return {n, c.full, c.covered - c.full, f};
    return {n, c.covered, f};
}

double predicted(const Fit &fit, const Config &c) {
    const std::vector<double> x = termsOf(c, fit.splitEdge);
    double seconds = 0;
    for (size_t j = 0; j < x.size() && j < fit.nanoseconds.size(); ++j) seconds += fit.nanoseconds[j] * 1e-9 * x[j];
    return seconds;
}

Fit fitDepth(const std::vector<Row> &rows, PixelDepth depth, bool splitEdge) {
    Fit fit{depth, splitEdge, splitEdge ? "split" : "plain", {}, {}, {}};
    fit.terms = splitEdge ? std::vector<const char *>{"point", "full_px", "edge_px", "frame_px"}
                          : std::vector<const char *>{"point", "covered_px", "frame_px"};
    std::vector<std::vector<double>> x;
    std::vector<double> t;
    std::vector<const Row *> used;
    for (const Row &r : rows) {
        if (r.depth != depth || !(r.median > 0)) continue;
        x.push_back(termsOf(*r.config, splitEdge));
        t.push_back(r.median);
        used.push_back(&r);
    }
    const LeastSquares fitted = fitRelative(x, t);
    const std::vector<double> &a = fitted.a;
    if (a.empty() || x.size() <= a.size()) return fit;
    double sum = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        double model = 0;
        for (size_t j = 0; j < a.size(); ++j) model += a[j] * x[i][j];
        const double e = (model - t[i]) / t[i];
        sum += e * e;
        fit.worst = std::max(fit.worst, std::fabs(e));
        double &s = fit.worstSeries[used[i]->config->series];
        s = std::max(s, std::fabs(e));
    }
    fit.rms = std::sqrt(sum / x.size());
    // The relative residuals' variance, times the diagonal of the inverse.
    const double variance = sum / static_cast<double>(x.size() - a.size());
    for (size_t j = 0; j < a.size(); ++j) {
        fit.nanoseconds.push_back(a[j] * 1e9);
        fit.errors.push_back(std::sqrt(variance * fitted.inverseDiagonal[j]) * 1e9);
    }
    return fit;
}

int parseCount(const char *flag, const char *value) {
    char *end = nullptr;
    const long v = std::strtol(value, &end, 10);
    if (!*value || *end || v < 1 || v > 1000) {
        std::fprintf(stderr, "cost_scaling_bench: %s takes a whole number 1..1000, not \"%s\"\n", flag, value);
        std::exit(2);
    }
    return static_cast<int>(v);
}

Options parseOptions(int argc, char **argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--rounds" && hasValue) {
            o.rounds = parseCount("--rounds", argv[++i]);
        } else if (a == "--frames" && hasValue) {
            o.frames = parseCount("--frames", argv[++i]);
        } else if (a == "--warmup" && hasValue) {
            o.warmup = parseCount("--warmup", argv[++i]);
        } else if (a == "--depths" && hasValue) {
            o.depths = argv[++i];
        } else if (a == "--series" && hasValue) {
            o.series = argv[++i];
        } else if (a == "--out" && hasValue) {
            o.outDir = argv[++i];
        } else if (a == "--no-check") {
            o.check = false;
        } else {
            std::fprintf(stderr,
                         "usage: cost_scaling_bench [--rounds N (3)] [--frames N per row and round (3)]\n"
                         "       [--warmup N (1)] [--depths 8,16,float] [--series points,radius,frame,clear]\n"
                         "       [--out DIR] [--no-check]\n");
            std::exit(2);
        }
    }
    return o;
}

void printRow(std::FILE *out, const Row &r, bool dat) {
    const Config &c = *r.config;
    const double n = static_cast<double>(c.points.size()), framePixels = double(c.width) * c.height;
    const double ns = r.median * 1e9;
    // Quotients without a divisor are NaN in the data files, "-" in the table.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double perCovered = c.covered > 0 ? ns / c.covered : nan, perPoint = n > 0 ? ns / n : nan;
    if (dat) {
        std::fprintf(out, "%g %d %d %zu %g %.6f %.6f %.6f %.0f %.0f %.4f %.2f %.4f %.6f %.6f %.4f\n", c.varied, c.width,
                     c.height, c.points.size(), c.radius, r.median * 1e3, r.low * 1e3, r.high * 1e3, c.covered,
                     c.covered - c.full, perCovered, perPoint, ns / framePixels, r.wallMedian * 1e3, r.model * 1e3,
                     c.covered > 0 ? r.model * 1e9 / c.covered : nan);
        return;
    }
    auto cell = [](char(&text)[32], const char *format, double v) {
        if (std::isnan(v)) {
            std::snprintf(text, sizeof text, "-");
        } else {
            std::snprintf(text, sizeof text, format, v);
        }
    };
    char coveredText[32], pointText[32], frameText[32];
    cell(coveredText, "%.3f", perCovered);
    cell(pointText, "%.1f", perPoint);
    cell(frameText, "%.3f", c.series == FrameSeries || c.series == ClearSeries ? ns / framePixels : nan);
    std::fprintf(out, "%-6s %-5s %7g %9dx%-4d %6zu %5g %9.3f %9.3f %9.3f %9.3f %11.0f %9.0f %8s %9s %10s\n",
                 kSeriesNames[c.series], kDepthNames[r.depth], c.varied, c.width, c.height, c.points.size(), c.radius,
                 r.median * 1e3, r.low * 1e3, r.high * 1e3, r.wallMedian * 1e3, c.covered, c.covered - c.full,
                 coveredText, pointText, frameText);
}

bool writeData(const Options &o, const std::vector<Row> &rows, const std::vector<PixelDepth> &depths,
               const std::vector<Fit> &fits) {
    std::error_code error;
    std::filesystem::create_directories(o.outDir, error);
    if (error) return false;
    for (int series = 0; series < kSeriesCount; ++series) {
        const std::string path = o.outDir + "/cost_" + kSeriesNames[series] + ".dat";
        std::FILE *f = std::fopen(path.c_str(), "w");
        if (!f) return false;
        std::fprintf(f,
                     "# One block per depth (gnuplot index 0, 1, 2 in the order of the block headers).\n"
                     "# %s width height points radius median_ms min_ms max_ms covered edge "
                     "ns_per_covered ns_per_point ns_per_frame_pixel wall_median_ms model_ms model_ns_per_covered\n"
                     "# model: the fit with full and edge pixels apart\n",
                     kSeriesNames[series]);
        for (PixelDepth d : depths) {
            std::fprintf(f, "\n\n# depth %s\n", kDepthNames[d]);
            for (const Row &r : rows)
                if (r.depth == d && r.config->series == series) printRow(f, r, true);
        }
        if (std::fclose(f) != 0) return false;
    }
    const std::string path = o.outDir + "/cost_fit.dat";
    std::FILE *f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    std::fprintf(f, "# depth model term=ns_per_unit term_error=standard_error ... rms_relative worst_relative\n");
    for (const Fit &fit : fits) {
        std::fprintf(f, "%s %s", kDepthNames[fit.depth], fit.model);
        for (size_t j = 0; j < fit.nanoseconds.size(); ++j)
            std::fprintf(f, " %s=%.4f %s_error=%.4f", fit.terms[j], fit.nanoseconds[j], fit.terms[j], fit.errors[j]);
        std::fprintf(f, " %.4f %.4f\n", fit.rms, fit.worst);
    }
    return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char **argv) {
    const Options o = parseOptions(argc, argv);
    std::vector<PixelDepth> depths;
    for (PixelDepth d : {Depth8, Depth16, DepthFloat})
        if (listed(o.depths, kDepthNames[d])) depths.push_back(d);
    std::vector<Config> configs = makeConfigs(o);
    if (depths.empty() || configs.empty()) {
        std::fprintf(stderr, "cost_scaling_bench: no depth or no series selected\n");
        return 2;
    }
    const FrameBuffer frame = allocateFrame(configs);
    for (Config &c : configs) {
        countPixels(c);
        if (o.check && !checkCounts(c, frame)) return 1;
    }

    std::vector<Row> rows;
    for (const Config &c : configs)
        for (PixelDepth d : depths) rows.push_back(Row{&c, d, {}, {}});
    for (int round = 0; round < o.rounds; ++round) {
        for (Row &r : rows) {
            for (int i = 0; i < o.warmup; ++i) timeFrame(*r.config, r.depth, frame);
            for (int i = 0; i < o.frames; ++i) {
                const FrameTime t = timeFrame(*r.config, r.depth, frame);
                r.seconds.push_back(t.cpu);
                r.wallSeconds.push_back(t.wall);
            }
        }
    }
    for (Row &r : rows) {
        r.median = median(r.seconds);
        r.wallMedian = median(r.wallSeconds);
        r.low = *std::min_element(r.seconds.begin(), r.seconds.end());
        r.high = *std::max_element(r.seconds.begin(), r.seconds.end());
    }

    std::printf(
        "# %d rounds x (%d warm-up + %d timed frames) per row; ms of the thread's CPU time per frame: median, min,\n"
        "# max; wall: median wall-clock ms; ns per covered pixel, point and frame pixel from the CPU median\n",
        o.rounds, o.warmup, o.frames);
    std::printf("%-6s %-5s %7s %14s %6s %5s %9s %9s %9s %9s %11s %9s %8s %9s %10s\n", "series", "depth", "varied",
                "frame", "points", "rad", "median", "min", "max", "wall", "covered", "edge", "ns/cov", "ns/point",
                "ns/framepx");
    for (int series = 0; series < kSeriesCount; ++series)
        for (PixelDepth d : depths)
            for (const Row &r : rows)
                if (r.depth == d && r.config->series == series) printRow(stdout, r, false);

    std::vector<Fit> fits;
    // Points and covered pixels grow together in the points series, covered
    // pixels alone in the radius series, frame pixels in the frame and clear
    // series: without all three the terms cannot be told apart.
    const bool separable = listed(o.series, "points") && listed(o.series, "radius") &&
                           (listed(o.series, "frame") || listed(o.series, "clear"));
    if (separable) {
        std::printf(
            "\n# time = sum of terms, each ns per unit +- its standard error; rms and worst relative residual over\n"
            "# the depth's rows, then the worst per series\n");
    } else {
        std::printf("\n# no fit: it needs the points, the radius, and the frame or the clear series\n");
    }
    for (PixelDepth d : depths) {
        if (!separable) break;
        for (bool split : {false, true}) {
            Fit fit = fitDepth(rows, d, split);
            std::printf("%-5s %-5s", kDepthNames[d], fit.model);
            if (fit.nanoseconds.empty()) {
                std::printf(" (singular: vary more than one series)\n");
                continue;
            }
            for (size_t j = 0; j < fit.nanoseconds.size(); ++j) {
                // Two significant digits of the error, the value to the same place.
                const double e = fit.errors[j];
                const int places = e > 0 ? std::max(0, 1 - static_cast<int>(std::floor(std::log10(e)))) : 3;
                std::printf("  %s %.*f+-%.*f", fit.terms[j], places, fit.nanoseconds[j], places, e);
            }
            std::printf("  rms %.1f%%  worst %.1f%% (", fit.rms * 100, fit.worst * 100);
            for (int series = 0; series < kSeriesCount; ++series)
                std::printf("%s%s %.1f%%", series ? ", " : "", kSeriesNames[series], fit.worstSeries[series] * 100);
            std::printf(")\n");
            if (split)
                for (Row &r : rows)
                    if (r.depth == d) r.model = predicted(fit, *r.config);
            fits.push_back(fit);
        }
    }
    if (!o.outDir.empty() && !writeData(o, rows, depths, fits)) {
        std::fprintf(stderr, "cost_scaling_bench: cannot write the data files into %s\n", o.outDir.c_str());
        return 1;
    }
    std::free(frame.data);
    return 0;
}
