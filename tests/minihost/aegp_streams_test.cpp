// The AEGP effect, stream and keyframe suites as the plug-in calls them: values
// equal to a checkout's at the same time, keyframes in host ticks, the host's
// refusals, injected failures and the ledger of what is held.
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "minihost/minihost.h"
#include "tests/minihost/scripted_plugin.h"
#include "tests/support/minihost_scene.h"

namespace minihost {
namespace {

using hosttest::colorValue;
using hosttest::numberValue;

using hosttest::expectNothingHeld;

enum Index { Slider = 1, Fixed, Float, Color, Popup, Path, Count };

PF_ParamDef definition(PF_ParamType type, const char *name) {
    PF_ParamDef def{};
    def.param_type = type;
    std::strcpy(def.name, name);
    return def;
}

void setUp(Host &host) {
    useScript(host, [](PF_Cmd cmd, PF_InData &in, PF_OutData &, void *) {
        if (cmd != PF_Cmd_PARAMS_SETUP) return PF_Err(PF_Err_NONE);
        PF_ParamDef defs[] = {definition(PF_Param_SLIDER, "Slider"),      definition(PF_Param_FIX_SLIDER, "Fixed"),
                              definition(PF_Param_FLOAT_SLIDER, "Float"), definition(PF_Param_COLOR, "Color"),
                              definition(PF_Param_POPUP, "Popup"),        definition(PF_Param_PATH, "Path")};
        for (PF_ParamDef &def : defs)
            if (const PF_Err err = PF_ADD_PARAM(&in, -1, &def)) return err;
        return PF_Err(PF_Err_NONE);
    });
    ASSERT_EQ(setupEffect(host), PF_Err_NONE);
    ASSERT_EQ(host.paramDefs.size(), size_t(Count));
}

// What the plug-in holds inside one command: the suites and its AEGP id.
struct Aegp {
    PF_InData *in = nullptr;
    const AEGP_PFInterfaceSuite1 *pf = nullptr;
    const AEGP_EffectSuite3 *effect = nullptr;
    const AEGP_StreamSuite9 *stream = nullptr;
    const AEGP_KeyframeSuite4 *keyframe = nullptr;
    AEGP_PluginID id = 0;
};

template <class Suite>
void acquire(PF_InData &in, const char *name, A_long version, const Suite *&suite) {
    ASSERT_EQ(in.pica_basicP->AcquireSuite(name, version, reinterpret_cast<const void **>(&suite)), kSPNoError);
}

// Runs `body` inside a command with the suites acquired, the plug-in
// registered and an effect reference held.
PF_Err withAegp(Host &host, const std::function<PF_Err(Aegp &, AEGP_EffectRefH)> &body) {
    return runInCommand(host, [&](PF_InData &in, PF_OutData &) {
        Aegp a;
        a.in = &in;
        const AEGP_UtilitySuite7 *utility = nullptr;
        acquire(in, kAEGPUtilitySuite, 7, utility);
        acquire(in, kAEGPPFInterfaceSuite, 1, a.pf);
        acquire(in, kAEGPEffectSuite, 3, a.effect);
        acquire(in, kAEGPStreamSuite, 9, a.stream);
        acquire(in, kAEGPKeyframeSuite, 4, a.keyframe);
        EXPECT_EQ(utility->AEGP_RegisterWithAEGP(nullptr, "streams", &a.id), PF_Err_NONE);
        AEGP_EffectRefH effectH = nullptr;
        PF_Err err = a.pf->AEGP_GetNewEffectForEffect(a.id, in.effect_ref, &effectH);
        if (err) {
            EXPECT_EQ(effectH, nullptr);
        } else {
            err = body(a, effectH);
        }
        if (effectH) a.effect->AEGP_DisposeEffect(effectH);
        for (const auto &[name, version] : {std::pair{kAEGPUtilitySuite, 7},
                                            {kAEGPPFInterfaceSuite, 1},
                                            {kAEGPEffectSuite, 3},
                                            {kAEGPStreamSuite, 9},
                                            {kAEGPKeyframeSuite, 4}})
            in.pica_basicP->ReleaseSuite(name, version);
        return err;
    });
}

// The stream value of parameter `index` at `ticks` of the host's time scale.
AEGP_StreamVal2 valueAt(Host &host, int index, A_long ticks) {
    AEGP_StreamVal2 val{};
    withAegp(host, [&](Aegp &a, AEGP_EffectRefH effectH) {
        AEGP_StreamRefH streamH = nullptr;
        AEGP_StreamValue2 value{};
        const A_Time time{ticks, a.in->time_scale};
        a.stream->AEGP_GetNewEffectStreamByIndex(a.id, effectH, index, &streamH);
        EXPECT_EQ(a.stream->AEGP_GetNewStreamValue(a.id, streamH, AEGP_LTimeMode_LayerTime, &time, false, &value),
                  PF_Err_NONE);
        val = value.val;
        a.stream->AEGP_DisposeStreamValue(&value);
        return a.stream->AEGP_DisposeStream(streamH);
    });
    return val;
}

TEST(AegpStreams, ValuesAreWhatACheckoutHandsOutAtTheSameTime) {
    Host host;
    setUp(host);
    host.fps = 10;  // 10000 ticks per second
    setParamKeyframes(host, Float, {{0.0, numberValue(0)}, {1.0, numberValue(10)}}, Interpolation::Linear);
    setParamKeyframes(host, Fixed, {{0.0, numberValue(10)}, {1.0, numberValue(33.3)}}, Interpolation::Linear);
    setParamKeyframes(host, Popup, {{0.0, numberValue(1)}, {1.0, numberValue(3)}}, Interpolation::Linear);
    setParamKeyframes(host, Color, {{0.0, colorValue({255, 0, 100, 255})}, {1.0, colorValue({255, 255, 101, 0})}},
                      Interpolation::Linear);
    setParam(host, Slider, numberValue(7));
    const struct {
        int index;
        A_long ticks;
        double expected;
    } cases[] = {
        {Float, 0, 0},
        {Float, 2500, 2.5},
        {Float, 25000, 10},
        {Popup, 9999, 1},  // popups hold
        {Popup, 10000, 3},
        {Slider, 12345, 7},  // no keyframes: the parameter's own value
        // The checkout's fixed value / 65536, not the percent it came from.
        {Fixed, 10000, 2182349 / 65536.0},  // 33.3 * 65536 = 2182348.8
        {Fixed, 5000, 1418854 / 65536.0},   // 21.65 * 65536 = 1418854.4
    };
    for (const auto &c : cases) {
        EXPECT_EQ(valueAt(host, c.index, c.ticks).one_d, c.expected) << c.index << " at " << c.ticks;
        if (c.index == Fixed) {
            EXPECT_EQ(paramDefAt(host, Fixed, c.ticks / 10000.0).u.fd.value / 65536.0, c.expected);
        }
    }
    // Per channel / 255 after the checkout's rounding: 127.5 and 100.5 round up.
    const AEGP_ColorVal half = valueAt(host, Color, 5000).color;
    EXPECT_EQ((std::vector<double>{half.alphaF, half.redF, half.greenF, half.blueF}),
              (std::vector<double>{1.0, 128 / 255.0, 101 / 255.0, 128 / 255.0}));
    expectNothingHeld(host);
    activeScript() = nullptr;
}

TEST(AegpStreams, KeyframesInTimeOrderWithTimesInTicks) {
    Host host;
    setUp(host);
    host.fps = 29.97;  // 29970 ticks per second
    setParamKeyframes(
        host, Fixed,
        {{1.0 / 3, numberValue(33.3)}, {0.123456, numberValue(50)}, {-2.0, numberValue(0)}, {1e12, numberValue(1)}},
        Interpolation::Linear);
    std::vector<A_Time> times;
    std::vector<double> values;
    A_long count = -1, none = -1;
    withAegp(host, [&](Aegp &a, AEGP_EffectRefH effectH) {
        AEGP_StreamRefH streamH = nullptr, plainH = nullptr;
        a.stream->AEGP_GetNewEffectStreamByIndex(a.id, effectH, Fixed, &streamH);
        a.stream->AEGP_GetNewEffectStreamByIndex(a.id, effectH, Slider, &plainH);
        a.keyframe->AEGP_GetStreamNumKFs(streamH, &count);
        a.keyframe->AEGP_GetStreamNumKFs(plainH, &none);
        std::vector<AEGP_StreamValue2> held(size_t(count > 0 ? count : 0));
        for (A_long k = 0; k < count; ++k) {
            A_Time time{};
            a.keyframe->AEGP_GetKeyframeTime(streamH, k, AEGP_LTimeMode_CompTime, &time);
            a.keyframe->AEGP_GetNewKeyframeValue(a.id, streamH, k, &held[size_t(k)]);
            times.push_back(time);
            values.push_back(held[size_t(k)].val.one_d);
        }
        EXPECT_EQ((std::vector<int>{host.ledger.effects, host.ledger.streams, host.ledger.streamValues}),
                  (std::vector<int>{1, 2, 4}));
        for (AEGP_StreamValue2 &value : held) a.stream->AEGP_DisposeStreamValue(&value);
        a.stream->AEGP_DisposeStream(plainH);
        return a.stream->AEGP_DisposeStream(streamH);
    });
    EXPECT_EQ(count, 4);
    EXPECT_EQ(none, 0);
    // 0.123456 s = 3699.98 ticks; 1e12 s is pinned to the largest A_long.
    const std::vector<A_long> ticks = {-59940, 3700, 9990, 2147483647};
    for (size_t k = 0; k < times.size(); ++k) {
        EXPECT_EQ(times[k].value, ticks[k]) << k;
        EXPECT_EQ(times[k].scale, 29970u) << k;
    }
    EXPECT_EQ(values, (std::vector<double>{0, 50, 2182349 / 65536.0, 1}));
    expectNothingHeld(host);
    activeScript() = nullptr;
}

TEST(AegpStreams, TheHostRefusesWhatItDidNotHandOut) {
    Host host, other;
    setUp(host);
    setParamKeyframes(host, Fixed, {{0.0, numberValue(10)}, {1.0, numberValue(20)}}, Interpolation::Linear);
    int refusals = 0;
    withAegp(host, [&](Aegp &a, AEGP_EffectRefH effectH) {
        const AEGP_StreamSuite9 &s = *a.stream;
        const AEGP_KeyframeSuite4 &k = *a.keyframe;
        AEGP_EffectRefH gone = nullptr;
        AEGP_StreamRefH streamH = nullptr, pathH = nullptr, goneStream = nullptr;
        AEGP_StreamValue2 live{}, disposed{};
        a.pf->AEGP_GetNewEffectForEffect(a.id, a.in->effect_ref, &gone);
        s.AEGP_GetNewEffectStreamByIndex(a.id, effectH, Fixed, &streamH);
        s.AEGP_GetNewEffectStreamByIndex(a.id, effectH, Path, &pathH);
        s.AEGP_GetNewEffectStreamByIndex(a.id, effectH, Slider, &goneStream);
        k.AEGP_GetNewKeyframeValue(a.id, streamH, 0, &live);
        k.AEGP_GetNewKeyframeValue(a.id, streamH, 1, &disposed);
        s.AEGP_DisposeStreamValue(&disposed);
        s.AEGP_DisposeStream(goneStream);
        a.effect->AEGP_DisposeEffect(gone);
        EXPECT_EQ(host.ledger.invalidCalls, 0);

        const AEGP_PluginID unknownId = a.id + 1;
        const PF_ProgPtr ref = a.in->effect_ref, foreign = reinterpret_cast<PF_ProgPtr>(&other);
        auto *madeUpEffect = reinterpret_cast<AEGP_EffectRefH>(&other);
        auto *madeUpStream = reinterpret_cast<AEGP_StreamRefH>(&other);
        const A_long layerTime = AEGP_LTimeMode_LayerTime;
        const A_Time at{0, 1000}, noScale{0, 0};
        AEGP_EffectRefH effectOut = nullptr;
        AEGP_StreamRefH streamOut = nullptr;
        AEGP_StreamValue2 valueOut{}, neverHanded{madeUpStream, {}};
        A_Time timeOut{};
        A_long count = 0;
        const struct {
            const char *what;
            std::function<PF_Err()> call;
        } cases[] = {
            {"effect, id never registered",
             [&] { return a.pf->AEGP_GetNewEffectForEffect(unknownId, ref, &effectOut); }},
            {"effect, no effect ref", [&] { return a.pf->AEGP_GetNewEffectForEffect(a.id, nullptr, &effectOut); }},
            {"effect, another host's ref", [&] { return a.pf->AEGP_GetNewEffectForEffect(a.id, foreign, &effectOut); }},
            {"effect, no out-pointer", [&] { return a.pf->AEGP_GetNewEffectForEffect(a.id, ref, nullptr); }},
            {"dispose a disposed effect", [&] { return a.effect->AEGP_DisposeEffect(gone); }},
            {"dispose a made-up effect", [&] { return a.effect->AEGP_DisposeEffect(madeUpEffect); }},
            {"stream, unknown id",
             [&] { return s.AEGP_GetNewEffectStreamByIndex(unknownId, effectH, Fixed, &streamOut); }},
            {"stream, disposed effect",
             [&] { return s.AEGP_GetNewEffectStreamByIndex(a.id, gone, Fixed, &streamOut); }},
            {"stream, input layer", [&] { return s.AEGP_GetNewEffectStreamByIndex(a.id, effectH, 0, &streamOut); }},
            {"stream, past the last",
             [&] { return s.AEGP_GetNewEffectStreamByIndex(a.id, effectH, Count, &streamOut); }},
            {"stream, no out-pointer", [&] { return s.AEGP_GetNewEffectStreamByIndex(a.id, effectH, Fixed, nullptr); }},
            {"count, disposed stream", [&] { return k.AEGP_GetStreamNumKFs(goneStream, &count); }},
            {"time, key -1", [&] { return k.AEGP_GetKeyframeTime(streamH, -1, layerTime, &timeOut); }},
            {"time, key K", [&] { return k.AEGP_GetKeyframeTime(streamH, 2, layerTime, &timeOut); }},
            {"time, unknown mode", [&] { return k.AEGP_GetKeyframeTime(streamH, 0, 2, &timeOut); }},
            {"key value, key K", [&] { return k.AEGP_GetNewKeyframeValue(a.id, streamH, 2, &valueOut); }},
            {"key value, made-up stream", [&] { return k.AEGP_GetNewKeyframeValue(a.id, madeUpStream, 0, &valueOut); }},
            {"value, time scale 0",
             [&] { return s.AEGP_GetNewStreamValue(a.id, streamH, layerTime, &noScale, false, &valueOut); }},
            {"value, no time",
             [&] { return s.AEGP_GetNewStreamValue(a.id, streamH, layerTime, nullptr, false, &valueOut); }},
            {"value, unknown id",
             [&] { return s.AEGP_GetNewStreamValue(unknownId, streamH, layerTime, &at, false, &valueOut); }},
            {"value of a path",
             [&] { return s.AEGP_GetNewStreamValue(a.id, pathH, layerTime, &at, false, &valueOut); }},
            {"dispose a disposed value", [&] { return s.AEGP_DisposeStreamValue(&disposed); }},
            {"dispose a value never handed out", [&] { return s.AEGP_DisposeStreamValue(&neverHanded); }},
            {"dispose no value", [&] { return s.AEGP_DisposeStreamValue(nullptr); }},
            {"dispose a stream with a value out", [&] { return s.AEGP_DisposeStream(streamH); }},
            {"dispose a disposed stream", [&] { return s.AEGP_DisposeStream(goneStream); }},
        };
        for (const auto &c : cases) {
            EXPECT_EQ(c.call(), PF_Err_BAD_CALLBACK_PARAM) << c.what;
            EXPECT_EQ(host.ledger.invalidCalls, ++refusals) << c.what;
            EXPECT_TRUE(!effectOut && !streamOut && !valueOut.streamH) << c.what;
        }
        EXPECT_EQ((std::vector<int>{host.ledger.effects, host.ledger.streams, host.ledger.streamValues}),
                  (std::vector<int>{1, 2, 1}));
        EXPECT_EQ(s.AEGP_DisposeStreamValue(&live), PF_Err_NONE);
        EXPECT_EQ(s.AEGP_DisposeStream(pathH), PF_Err_NONE);
        return s.AEGP_DisposeStream(streamH);
    });
    expectNothingHeld(host, 0, refusals);
    activeScript() = nullptr;
}

TEST(AegpStreams, AnInjectedFailureHandsNothingOut) {
    for (const char *function : {"AEGP_GetNewEffectForEffect", "AEGP_GetNewEffectStreamByIndex", "AEGP_GetStreamNumKFs",
                                 "AEGP_GetNewKeyframeValue", "AEGP_GetKeyframeTime", "AEGP_GetNewStreamValue"}) {
        Host host;
        setUp(host);
        setParamKeyframes(host, Float, {{0.0, numberValue(1)}, {1.0, numberValue(2)}}, Interpolation::Linear);
        host.faults.failCall[function] = {1, PF_Err_OUT_OF_MEMORY};
        // The plug-in's read, both ways, stopping at the first error: what
        // the calls before it handed out is there, nothing after.
        const PF_Err err = withAegp(host, [](Aegp &a, AEGP_EffectRefH effectH) {
            AEGP_StreamRefH streamH = nullptr;
            A_long count = 0;
            A_Time last{};
            AEGP_StreamValue2 key{}, sample{};
            const std::function<PF_Err()> steps[] = {
                [&] { return a.stream->AEGP_GetNewEffectStreamByIndex(a.id, effectH, Float, &streamH); },
                [&] { return a.keyframe->AEGP_GetStreamNumKFs(streamH, &count); },
                [&] { return a.keyframe->AEGP_GetNewKeyframeValue(a.id, streamH, 0, &key); },
                [&] { return a.keyframe->AEGP_GetKeyframeTime(streamH, 1, AEGP_LTimeMode_LayerTime, &last); },
                [&] {
                    return a.stream->AEGP_GetNewStreamValue(a.id, streamH, AEGP_LTimeMode_LayerTime, &last, false,
                                                            &sample);
                },
            };
            PF_Err failed = PF_Err_NONE;
            size_t done = 0;
            while (done < std::size(steps) && !(failed = steps[done]())) ++done;
            const bool handedOut[] = {streamH != nullptr, count != 0, key.streamH != nullptr, last.scale != 0,
                                      sample.streamH != nullptr};
            for (size_t i = 0; i < std::size(handedOut); ++i) EXPECT_EQ(handedOut[i], i < done) << "call " << i;
            if (sample.streamH) a.stream->AEGP_DisposeStreamValue(&sample);
            if (key.streamH) a.stream->AEGP_DisposeStreamValue(&key);
            if (streamH) a.stream->AEGP_DisposeStream(streamH);
            return failed;
        });
        EXPECT_EQ(err, PF_Err_OUT_OF_MEMORY) << function;
        EXPECT_EQ(callCount(host, function), 1) << function;
        expectNothingHeld(host);
    }
    activeScript() = nullptr;
}

TEST(AegpStreams, EaseIsSmoothstepOnNumbersAndChannels) {
    Host host;
    setUp(host);
    setParamKeyframes(host, Float, {{1.0, numberValue(0)}, {3.0, numberValue(100)}}, Interpolation::Ease);
    setParamKeyframes(host, Color, {{1.0, colorValue({255, 0, 0, 255})}, {3.0, colorValue({255, 255, 100, 0})}},
                      Interpolation::Ease);
    const struct {
        double seconds;
        double number;
        int red, green, blue;
    } cases[] = {
        {1.0, 0, 0, 0, 255},        {1.5, 15.625, 40, 16, 215},  // t = 1/4 eases to 5/32: 39.84, 15.63, 215.16
        {2.0, 50, 128, 50, 128},                                 // 127.5 rounds up
        {2.5, 84.375, 215, 84, 40}, {3.0, 100, 255, 100, 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(paramValueAt(host, Float, c.seconds).number, c.number) << c.seconds;
        const PF_Pixel p = paramValueAt(host, Color, c.seconds).color;
        EXPECT_EQ((std::vector<int>{p.alpha, p.red, p.green, p.blue}), (std::vector<int>{255, c.red, c.green, c.blue}))
            << c.seconds;
    }
    activeScript() = nullptr;
}

// Influences other than a third: the Bezier's time handles reach further or
// less far; s solves x(s) = t, the value is 3s^2 - 2s^3, worked out by
// bisection to the last bit by hand (in Python) for t = 1/4.
TEST(AegpStreams, EaseInfluencesBendTheCurve) {
    Host host;
    setUp(host);
    const struct {
        double out, in;    // the first key's easeOut, the second's easeIn
        double atQuarter;  // value at a quarter of the way, of 0..100
    } cases[] = {{0.75, 0.75, 5.419690527673842}, {0.1, 0.9, 59.03254667641429}, {1.0 / 3, 1.0 / 3, 15.625}};
    for (const auto &c : cases) {
        Keyframe a{1.0, numberValue(0)}, b{3.0, numberValue(100)};
        a.easeOut = c.out;
        b.easeIn = c.in;
        setParamKeyframes(host, Float, {a, b}, Interpolation::Ease);
        EXPECT_NEAR(paramValueAt(host, Float, 1.5).number, c.atQuarter, 1e-9) << c.out << " " << c.in;
        // The checkout and the stream suites read the same definition.
        EXPECT_EQ(paramDefAt(host, Float, 1.5).u.fs_d.value, paramValueAt(host, Float, 1.5).number);
    }
    activeScript() = nullptr;
}

}  // namespace
}  // namespace minihost
