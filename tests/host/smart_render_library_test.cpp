// Whole frames of the real plug-in through minihost: the prepared output, drawn
// points, the memory-error path, every host call of a render failing in turn,
// and (through a wrapped host) unknown pixel formats and mismatched worlds.
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/pattern_params.h"
#include "host/smart_render.h"
#include "minihost/minihost.h"
#include "tests/engine/engine_params.h"
#include "tests/engine/frame_fixture.h"
#include "tests/minihost/scripted_plugin.h"
#include "tests/support/plugin_paths.h"
#include "tests/support/same_pixel.h"

namespace {

using namespace frametest;  // the scene builders, images and depths of the whole-frame tests
using minihost::Host;

// Corners (16, 12), (48, 12), (48, 40), (16, 40) on a 64 x 48 layer.
Mask square() { return polyline(true, {vertex(16, 12), vertex(48, 12), vertex(48, 40), vertex(16, 40)}); }

// A green point of radius 4 at each corner of the square over an opaque
// 64 x 48 layer; otherwise the starting scene of the whole-frame tests.
struct Render : frametest::FrameTest {
    void SetUp() override {
        frametest::FrameTest::SetUp();
        host.input = minihost::solidImage(64, 48, PF_Pixel{255, 40, 80, 120}, Depth::Bits8);
        host.masks = {square()};
        set("First Radius", 4);
        setColor("Color", PF_Pixel{255, 0, 255, 0});
    }

    // The whole result, failures included, where FrameTest::render() expects
    // success and hands back only the frame.
    RenderResult render() {
        minihost::resetLedger(host);
        RenderResult result = minihost::renderFrame(host);
        EXPECT_EQ(result.preRenderError, PF_Err_NONE);
        return result;
    }
};

PF_Pixel pixel8(const Image &image, int x, int y) {
    PF_Pixel p;
    std::memcpy(&p, image.data.data() + 4 * (y * image.width + x), sizeof p);
    return p;
}

TEST_P(Render, WithoutAMaskTheFrameIsOnlyPrepared) {
    set("Path", 0);
    for (int onOriginal : {1, 0}) {
        set("On Original", onOriginal);
        const RenderResult result = render();
        EXPECT_EQ(result.renderError, PF_Err_NONE);
        const Image expected = onOriginal ? host.input : minihost::makeImage(64, 48, Depth::Bits8);
        EXPECT_EQ(result.output.data, expected.data) << "on original " << onOriginal;
        expectNothingHeld(host);
    }
}

TEST_P(Render, NumberZeroDrawsNothing) {
    set("Mode", 2);
    set("Number", 0);
    set("On Original", 1);
    const RenderResult result = render();
    EXPECT_EQ(result.renderError, PF_Err_NONE);
    EXPECT_EQ(result.output.data, host.input.data);
    EXPECT_EQ(minihost::callCount(host, "PF_CheckoutPath"), 0);
    expectNothingHeld(host);
}

TEST_P(Render, VertexModeDrawsAtTheCorners) {
    const RenderResult result = render();
    EXPECT_EQ(result.renderError, PF_Err_NONE);
    const PF_Pixel green{255, 0, 255, 0};
    for (const MaskVertex &v : square().vertices)
        EXPECT_TRUE(samePixel(pixel8(result.output, int(v.x), int(v.y)), green)) << v.x << "," << v.y;
    EXPECT_TRUE(samePixel(pixel8(result.output, 32, 26), PF_Pixel{0, 0, 0, 0}));
    EXPECT_TRUE(samePixel(pixel8(result.output, 32, 12), PF_Pixel{0, 0, 0, 0}));
    // Four points: progress after each and once more at the end.
    EXPECT_EQ(host.progressCalls, 5);
    EXPECT_EQ(host.progressCurrent, 5);
    EXPECT_EQ(host.progressTotal, 5);
    expectNothingHeld(host);
}

TEST_P(Render, DeepFramesCarryTheColourAtTheirDepth) {
    // The green corner point at (16, 12) in the 16-bit frame and at (48, 40)
    // in the float frame, in each depth's own channel values.
    struct Case {
        Depth depth;
        int x, y;
        double full;
    };
    for (const Case &c : {Case{Depth::Bits16, 16, 12, 32768.0}, Case{Depth::Float, 48, 40, 1.0}}) {
        host.depth = c.depth;
        const RenderResult result = render();
        EXPECT_EQ(result.renderError, PF_Err_NONE);
        const frametest::Raw p = frametest::rawAt(result.output, c.x, c.y);
        EXPECT_DOUBLE_EQ(p.alpha, c.full);
        EXPECT_DOUBLE_EQ(p.red, 0);
        EXPECT_DOUBLE_EQ(p.green, c.full);
        EXPECT_DOUBLE_EQ(p.blue, 0);
        expectNothingHeld(host);
    }
}

TEST_P(Render, LineModeDrawsNoStroke) {
    host.masks = {polyline(false, {vertex(8, 24), vertex(56, 24)})};
    set("Mode", 3);
    set("Stroke Thickness", 10);
    setColor("Stroke Color", PF_Pixel{255, 255, 0, 0});
    for (int subMode : {1, 2}) {
        set("Sub Mode", subMode);
        const RenderResult result = render();
        EXPECT_EQ(result.renderError, PF_Err_NONE);
        int drawn = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                const PF_Pixel p = pixel8(result.output, x, y);
                if (p.alpha == 0) continue;
                ++drawn;
                EXPECT_EQ(p.red, 0) << x << "," << y;
            }
        EXPECT_GT(drawn, 48 * 4) << "sub mode " << subMode;
        // One point per pixel of length: 48 points, then the final report.
        EXPECT_EQ(host.progressTotal, 49);
        expectNothingHeld(host);
    }
}

TEST_P(Render, LineModeOnAMaskWithoutLengthDrawsOnePoint) {
    host.masks = {polyline(false, {vertex(30, 20), vertex(30, 20)})};
    set("Mode", 3);
    const RenderResult result = render();
    EXPECT_EQ(result.renderError, PF_Err_NONE);
    EXPECT_EQ(host.progressTotal, 2);
    EXPECT_GT(pixel8(result.output, 30, 20).alpha, 0);
    EXPECT_EQ(pixel8(result.output, 10, 10).alpha, 0);
    expectNothingHeld(host);
}

// The single point of a "Line" render on a mask without length is drawn as a
// "Number" point: its opacity is not spread over neighbours and its stroke
// counts ("Fill Over Stroke" grows the radius by a quarter of the stroke);
// only the soft edge stays.
TEST_P(Render, LineOnAMaskWithoutLengthDrawsANumberPoint) {
    host.masks = {polyline(false, {vertex(30, 20), vertex(30, 20)})};
    set("Mode", 3);
    set("Opacity", 100);
    EXPECT_EQ(pixel8(render().output, 30, 20).alpha, 255);
    // Radius 4 + 8 / 4 = 6: the soft ramp from 5 to 7 is half way at 6.
    set("Stroke Thickness", 8);
    set("Stroke Over", 2);
    const Image frame = render().output;
    EXPECT_EQ(pixel8(frame, 36, 20).alpha, 127);
    EXPECT_EQ(pixel8(frame, 36, 20).green, 255);  // the fill colour: a soft edge has no stroke band
    EXPECT_EQ(pixel8(frame, 37, 20).alpha, 0);
    expectNothingHeld(host);
}

TEST_P(Render, StartAboveEndActsSwapped) {
    set("Number", 3);
    set("Start", 80);
    set("End", 20);
    const Image swapped = render().output;
    set("Start", 20);
    set("End", 80);
    const Image ordered = render().output;
    EXPECT_EQ(swapped.data, ordered.data);
    set("Start", 0);
    set("End", 100);
    EXPECT_NE(render().output.data, ordered.data);
    expectNothingHeld(host);
}

TEST_P(Render, RandomOrderIsTheSameOnEveryFrame) {
    set("Number", 3);
    set("Start", 50);
    set("Order", 3);
    set("Order Seed", 7);
    const Image first = render().output;
    host.frame = 12;
    EXPECT_EQ(render().output.data, first.data);
    set("Order", 1);
    EXPECT_NE(render().output.data, first.data);
    expectNothingHeld(host);
}

TEST_P(Render, FailedTableAllocationsShowTheMemoryError) {
    // Allocation 1 is the pre-render's snapshot; then the instance array and
    // the order table, or first the line nodes in "Line"/"Dependent".
    struct Case {
        int mode;
        int allocation;
    };
    for (const Case c : {Case{1, 2}, Case{1, 3}, Case{3, 2}, Case{3, 3}, Case{3, 4}}) {
        set("Mode", c.mode);
        host.faults.failHandleAllocation = c.allocation;
        const RenderResult result = render();
        EXPECT_EQ(result.renderError, PF_Err_INTERNAL_STRUCT_DAMAGED) << c.mode << " " << c.allocation;
        EXPECT_EQ(result.message, "Memory Error!");
        expectNothingHeld(host);
    }
    host.faults.failHandleAllocation = 0;
    EXPECT_EQ(render().renderError, PF_Err_NONE);
}

TEST_P(Render, CountsTooLargeForMemoryTakeTheMemoryErrorPath) {
    // 50001 points on each of 30 segments.
    std::vector<MaskVertex> ring;
    for (int i = 0; i < 30; ++i) ring.push_back(vertex(32 + 20 * std::cos(i * 0.2094), 24 + 20 * std::sin(i * 0.2094)));
    host.masks = {polyline(true, ring)};
    set("Number", 50000);
    RenderResult result = render();
    EXPECT_EQ(result.renderError, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(result.message, "Memory Error!");
    EXPECT_EQ(minihost::callCount(host, "host_new_handle"), 1);  // only the snapshot
    expectNothingHeld(host);

    // A line along an enormous mask.
    host.masks = {polyline(false, {vertex(0, 10), vertex(1e8, 10)})};
    set("Mode", 3);
    set("Number", 0);
    result = render();
    EXPECT_EQ(result.renderError, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(result.message, "Memory Error!");
    expectNothingHeld(host);
}

// Which lock of a render a failing host_lock_handle is.
enum class LockKind { Snapshot, Table, GlobalData };

// The result a render gives when `function` fails with `injected`.
PF_Err expectedResult(const std::string &function, LockKind lock, PF_Err injected) {
    if (hosttest::callsThatCannotFail().count(function)) return PF_Err_NONE;
    // Suites are released whatever the host answers.
    if (function == "ReleaseSuite") return PF_Err_NONE;
    // Without a pixel format the render cannot start.
    if (function == "checkout_layer_pixels" || function == "checkout_output" || function == "PF_GetPixelFormat" ||
        function == "AcquireSuite")
        return PF_Err_BAD_CALLBACK_PARAM;
    // No snapshot, or no plug-in id to read keyframes with: 516. A table that
    // cannot be locked takes the memory-error path.
    if (function == "host_lock_handle")
        return lock == LockKind::Table ? PF_Err_INTERNAL_STRUCT_DAMAGED : PF_Err_BAD_CALLBACK_PARAM;
    if (function == "host_new_handle") return PF_Err_INTERNAL_STRUCT_DAMAGED;
    return injected;
}

// Fails every host call of one good render in turn: each render gives the
// first error and holds nothing afterwards, but for the one thing a refused
// release leaves. "On Original" is on, so every fill clears a stamp square.
void failEveryHostCallInTurn(Render &t) {
    Host &host = t.host;
    t.set("Depend On Path", 1);
    t.set("On Original", 1);
    t.set("Hue Variance", 20);
    t.set("Stroke Thickness", 2);
    host.masks = {polyline(false, {vertex(10, 10), vertex(40, 12), vertex(50, 30)})};
    host.logCalls = true;
    const RenderResult good = t.render();
    ASSERT_EQ(good.renderError, PF_Err_NONE);
    const std::vector<minihost::CallRecord> calls = host.calls;

    // The render's calls run from its handle suite to the snapshot's deletion.
    size_t first = 0;
    while (first < calls.size() && calls[first].function != "checkout_layer_pixels") ++first;
    ASSERT_LT(first, calls.size());
    while (first > 0 && !(calls[first].function == "AcquireSuite" &&
                          calls[first].detail.find("PF Handle Suite") != std::string::npos))
        --first;
    size_t last = calls.size();
    if (calls.back().function == "host_dispose_handle") --last;
    ASSERT_GT(last, first + 20);

    const PF_Err injected = 0x5eed;
    std::map<std::string, int> seen;
    for (size_t i = 0; i < first; ++i) ++seen[calls[i].function];
    bool lockSeen = false;
    int failures = 0;
    for (size_t i = first; i < last; ++i) {
        const std::string &function = calls[i].function;
        const int nth = ++seen[function];
        // Tables are locked right after they are made; the global data is not.
        const LockKind lock = !lockSeen                                    ? LockKind::Snapshot
                              : calls[i - 1].function == "host_new_handle" ? LockKind::Table
                                                                           : LockKind::GlobalData;
        lockSeen |= function == "host_lock_handle";
        host.faults.failCall.clear();
        host.faults.failCall[function] = {nth, injected};
        const RenderResult result = t.render();
        const PF_Err expected = expectedResult(function, lock, injected);
        failures += expected != PF_Err_NONE;
        EXPECT_EQ(result.renderError, expected)
            << "call " << i << ": " << function << " #" << nth << " " << calls[i].detail;
        // A release the host refused leaves exactly that one thing held.
        const minihost::Ledger &l = host.ledger;
        const int heldByFailedRelease =
            function == "PF_CheckinPath" || function == "PF_PathCleanupSegLength" || function == "checkin_param" ? 1
                                                                                                                 : 0;
        EXPECT_EQ(l.checkouts, heldByFailedRelease) << function << " #" << nth;
        EXPECT_EQ(l.suites, function == "ReleaseSuite" ? 1 : 0) << function << " #" << nth;
        EXPECT_EQ(l.handles, 0) << function << " #" << nth;
        EXPECT_EQ(l.lockedHandles, 0) << function << " #" << nth;
        const bool worldHeld = function == "dispose_world" || function == "PF_DisposeWorld";
        EXPECT_EQ(l.worlds, worldHeld ? 1 : 0) << function << " #" << nth;
        // A value the host would not take back keeps its stream: the host
        // refuses to dispose of a stream whose value is still out.
        const bool valueHeld = function == "AEGP_DisposeStreamValue";
        EXPECT_EQ(l.effects, function == "AEGP_DisposeEffect" ? 1 : 0) << function << " #" << nth;
        EXPECT_EQ(l.streams, function == "AEGP_DisposeStream" || valueHeld ? 1 : 0) << function << " #" << nth;
        EXPECT_EQ(l.streamValues, valueHeld ? 1 : 0) << function << " #" << nth;
        EXPECT_EQ(l.invalidCalls, valueHeld ? 1 : 0) << function << " #" << nth;
        EXPECT_EQ(l.preRenderBlocks, 0) << function << " #" << nth;
    }
    EXPECT_GT(failures, 20);
    host.faults.failCall.clear();
    host.logCalls = false;
}

TEST_P(Render, EveryHostCallFailingInTurnGivesTheFirstErrorAndReleasesAll) {
    set("Number", 1);
    failEveryHostCallInTurn(*this);
}

// Three points blended through the stamp and the accumulation world.
TEST_P(Render, EveryHostCallOfABlendedRenderFailingInTurn) {
    set("Number", 3);
    set("Blend Mode", 3);  // "Multiply"
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        SCOPED_TRACE(frametest::depthName(depth));
        host.depth = depth;
        failEveryHostCallInTurn(*this);
    }
}

// Every attribute from keyframes, by index and sampled over time: the
// effect, the streams and every value go back whatever fails.
TEST_P(Render, EveryHostCallOfAKeyframedRenderFailingInTurn) {
    set("Number", 3);
    set("Radius Mode", 2);
    set("Shape Mode", 4);
    set("Color Mode", 3);
    set("Stroke Mode", 3);
    set("Opacity Mode", 2);
    const ParamValue small = numberValue(3), large = numberValue(6);
    for (const char *name : {"First Radius", "Keyframe", "Opacity"})
        minihost::setParamKeyframes(host, minihost::paramIndex(host, name), {{0, small}, {1, large}},
                                    minihost::Interpolation::Linear);
    const ParamValue red = colorValue({255, 255, 0, 0}), blue = colorValue({255, 0, 0, 255});
    for (const char *name : {"Color", "Stroke Color"})
        minihost::setParamKeyframes(host, minihost::paramIndex(host, name), {{0, red}, {1, blue}},
                                    minihost::Interpolation::Linear);
    failEveryHostCallInTurn(*this);
}

// Two small stamps of a layer, each tinted with its own colour, at each
// depth: the layer's checkout, its three worlds, the copies, the tints and
// every sample fail in turn.
TEST_P(Render, EveryHostCallOfAStampedRenderFailingInTurn) {
    host.layers = {minihost::solidImage(6, 4, PF_Pixel{200, 90, 160, 30}, Depth::Bits8)};
    set("Number", 2);
    set("Shape Mode", 3);
    set("Layer", 1);
    set("First Radius", 2);
    set("Color Opacity", 50);
    set("Hue Variance", 30);
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        SCOPED_TRACE(frametest::depthName(depth));
        host.depth = depth;
        failEveryHostCallInTurn(*this);
    }
}

TEST_P(Render, AKeyframedRenderWithoutGlobalDataFailsAndHoldsNothing) {
    set("Opacity Mode", 2);
    const PF_Handle global = host.globalData;
    host.globalData = nullptr;
    const RenderResult result = render();
    host.globalData = global;
    EXPECT_EQ(result.renderError, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(minihost::callCount(host, "AEGP_GetNewEffectForEffect"), 0);
    expectNothingHeld(host);
}

TEST_P(Render, AMissingSuiteEndsTheRenderAndReleasesAll) {
    set("Radius Mode", 3);
    set("Opacity Mode", 2);
    host.layers = {minihost::solidImage(6, 4, PF_Pixel{200, 90, 160, 30}, Depth::Bits8)};
    set("Shape Mode", 3);
    set("Layer", 1);
    for (const char *suite : {"PF Path Data Suite", "PF Path Query Suite", "PF ColorFloat Suite", "PF Fill Matte Suite",
                              "AEGP Mask Suite", "PF World Suite", "AEGP PF Interface Suite", "AEGP Effect Suite",
                              "AEGP Stream Suite", "AEGP Keyframe Suite", "PF Sampling8 Suite"}) {
        host.faults.missingSuites = {suite};
        const RenderResult result = render();
        EXPECT_EQ(result.renderError, PF_Err_BAD_CALLBACK_PARAM) << suite;
        expectNothingHeld(host);
    }
    host.faults.missingSuites.clear();
}

TEST_P(Render, CancellingStopsTheDrawing) {
    set("Number", 3);
    // In place, then through the stamp and the accumulation world.
    for (int mode : {1, 5}) {
        set("Blend Mode", mode);
        set("On Original", mode == 5);
        host.cancelAtProgress = 2;
        const RenderResult result = render();
        EXPECT_EQ(result.renderError, PF_Interrupt_CANCEL) << mode;
        EXPECT_EQ(host.progressCalls, 2) << mode;
        EXPECT_EQ(minihost::callCount(host, "transfer_rect"), mode == 1 ? 0 : 2) << mode;
        expectNothingHeld(host);
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, Render, ::testing::ValuesIn(pluginsUnderTest()), frametest::profileName);

// ---------------------------------------------------------------------------
// The render called directly inside a minihost command, with worlds and a
// world suite the test controls.

struct DirectWorlds {
    PF_EffectWorld input{};
    PF_EffectWorld output{};
    std::vector<PF_Pixel> inputPixels, outputPixels;
    PF_PixelFormat format = PF_PixelFormat_ARGB32;
    const SPBasicSuite *hostBasic = nullptr;
    PF_WorldSuite2 worldSuite{};
};

DirectWorlds *direct = nullptr;

PF_Err directCheckoutPixels(PF_ProgPtr, A_long, PF_EffectWorld **pixels) {
    *pixels = &direct->input;
    return PF_Err_NONE;
}

PF_Err directCheckoutOutput(PF_ProgPtr, PF_EffectWorld **output) {
    *output = &direct->output;
    return PF_Err_NONE;
}

PF_Err directPixelFormat(const PF_EffectWorld *, PF_PixelFormat *format) {
    *format = direct->format;
    return PF_Err_NONE;
}

// The host's suites, except that "PF World Suite" 2 reports the test's format.
SPErr directAcquire(const char *name, A_long version, const void **suite) {
    const SPErr err = direct->hostBasic->AcquireSuite(name, version, suite);
    if (err == kSPNoError && std::strcmp(name, "PF World Suite") == 0 && version == 2) *suite = &direct->worldSuite;
    return err;
}

SPErr directRelease(const char *name, A_long version) { return direct->hostBasic->ReleaseSuite(name, version); }

void makeWorld(PF_EffectWorld &world, std::vector<PF_Pixel> &pixels, int width, int height, int rowPixels) {
    pixels.assign(static_cast<size_t>(rowPixels * height), PF_Pixel{7, 7, 7, 7});
    world = PF_EffectWorld{};
    world.data = pixels.data();
    world.width = width;
    world.height = height;
    world.rowbytes = rowPixels * 4;
}

struct DirectCase {
    const char *name;
    PF_PixelFormat format;
    int outputHeight;
    int outputRowPixels;
    PF_Err expected;
};

TEST(SmartRender, UnknownFormatsAndMismatchedWorldsDrawNothing) {
    const DirectCase cases[] = {
        {"unknown format", PF_FOURCC('w', 'x', 'y', 'z'), 6, 8, PF_Err_BAD_CALLBACK_PARAM},
        {"invalid format", PF_PixelFormat_INVALID, 6, 8, PF_Err_BAD_CALLBACK_PARAM},
        {"heights differ", PF_PixelFormat_ARGB32, 5, 8, 255},
        {"output rows too short", PF_PixelFormat_ARGB32, 6, 7, 255},
        {"16-bit rows too short", PF_PixelFormat_ARGB64, 6, 8, 255},
    };
    for (const DirectCase &c : cases) {
        Host host;
        DirectWorlds worlds;
        direct = &worlds;
        worlds.format = c.format;
        worlds.worldSuite.PF_GetPixelFormat = directPixelFormat;
        makeWorld(worlds.input, worlds.inputPixels, 8, 6, 8);
        makeWorld(worlds.output, worlds.outputPixels, 8, c.outputHeight, c.outputRowPixels);
        const std::vector<PF_Pixel> before = worlds.outputPixels;
        PF_Err result = PF_Err_NONE;
        minihost::runInCommand(host, [&](PF_InData &in, PF_OutData &out) {
            worlds.hostBasic = in.pica_basicP;
            SPBasicSuite basic = *in.pica_basicP;
            basic.AcquireSuite = directAcquire;
            basic.ReleaseSuite = directRelease;
            in.pica_basicP = &basic;

            PF_Handle snapshot = in.utils->host_new_handle(sizeof(PatternParams));
            *static_cast<PatternParams *>(in.utils->host_lock_handle(snapshot)) = defaultPatternParams();
            PF_SmartRenderInput input{};
            input.pre_render_data = snapshot;
            PF_SmartRenderCallbacks callbacks{};
            callbacks.checkout_layer_pixels = directCheckoutPixels;
            callbacks.checkout_output = directCheckoutOutput;
            PF_SmartRenderExtra extra{&input, &callbacks};
            result = smartRender(&in, &out, &extra);
            in.utils->host_dispose_handle(snapshot);
            return PF_Err_NONE;
        });
        direct = nullptr;
        EXPECT_EQ(result, c.expected) << c.name;
        EXPECT_EQ(minihost::callCount(host, "copy"), 0) << c.name;
        EXPECT_EQ(minihost::callCount(host, "fill"), 0) << c.name;
        EXPECT_TRUE(std::memcmp(before.data(), worlds.outputPixels.data(), before.size() * sizeof(PF_Pixel)) == 0)
            << c.name;
        expectNothingHeld(host);
    }
}

}  // namespace
