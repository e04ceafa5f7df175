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

ParamValue number(double n) {
    ParamValue v;
    v.number = n;
    return v;
}

ParamValue color(A_u_char a, A_u_char r, A_u_char g, A_u_char b) {
    ParamValue v;
    v.color = {a, r, g, b};
    return v;
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

// Runs `body` with the suites acquired and the plug-in registered, inside a
// command the host sent with `in`.
PF_Err withAegp(PF_InData &in, const std::function<PF_Err(Aegp &)> &body) {
    Aegp a;
    a.in = &in;
    const AEGP_UtilitySuite7 *utility = nullptr;
    acquire(in, kAEGPUtilitySuite, 7, utility);
    acquire(in, kAEGPPFInterfaceSuite, 1, a.pf);
    acquire(in, kAEGPEffectSuite, 3, a.effect);
    acquire(in, kAEGPStreamSuite, 9, a.stream);
    acquire(in, kAEGPKeyframeSuite, 4, a.keyframe);
    EXPECT_EQ(utility->AEGP_RegisterWithAEGP(nullptr, "streams", &a.id), PF_Err_NONE);
    const PF_Err err = body(a);
    for (const auto &[name, version] : {std::pair{kAEGPUtilitySuite, 7},
                                        {kAEGPPFInterfaceSuite, 1},
                                        {kAEGPEffectSuite, 3},
                                        {kAEGPStreamSuite, 9},
                                        {kAEGPKeyframeSuite, 4}})
        in.pica_basicP->ReleaseSuite(name, version);
    return err;
}

PF_Err withAegp(Host &host, const std::function<PF_Err(Aegp &)> &body) {
    return runInCommand(host, [&](PF_InData &in, PF_OutData &) { return withAegp(in, body); });
}

// The stream value of parameter `index` at `ticks` (of the host's time
// scale), read as the plug-in reads it.
AEGP_StreamVal2 valueAt(Host &host, int index, A_long ticks) {
    AEGP_StreamVal2 val{};
    EXPECT_EQ(withAegp(host,
                       [&](Aegp &a) {
                           AEGP_EffectRefH effectH = nullptr;
                           AEGP_StreamRefH streamH = nullptr;
                           AEGP_StreamValue2 value{};
                           const A_Time time{ticks, a.in->time_scale};
                           EXPECT_EQ(a.pf->AEGP_GetNewEffectForEffect(a.id, a.in->effect_ref, &effectH), PF_Err_NONE);
                           EXPECT_EQ(a.stream->AEGP_GetNewEffectStreamByIndex(a.id, effectH, index, &streamH),
                                     PF_Err_NONE);
                           EXPECT_EQ(a.stream->AEGP_GetNewStreamValue(a.id, streamH, AEGP_LTimeMode_LayerTime, &time,
                                                                      false, &value),
                                     PF_Err_NONE);
                           val = value.val;
                           a.stream->AEGP_DisposeStreamValue(&value);
                           a.stream->AEGP_DisposeStream(streamH);
                           return a.effect->AEGP_DisposeEffect(effectH);
                       }),
              PF_Err_NONE);
    return val;
}

TEST(AegpStreams, ValuesAreWhatACheckoutHandsOutAtTheSameTime) {
    Host host;
    setUp(host);
    host.fps = 10;  // 10000 ticks per second
    setParamKeyframes(host, Float, {{0.0, number(0)}, {1.0, number(10)}}, Interpolation::Linear);
    setParamKeyframes(host, Fixed, {{0.0, number(10)}, {1.0, number(33.3)}}, Interpolation::Linear);
    setParamKeyframes(host, Popup, {{0.0, number(1)}, {1.0, number(3)}}, Interpolation::Linear);
    setParamKeyframes(host, Color, {{0.0, color(255, 0, 100, 255)}, {1.0, color(255, 255, 101, 0)}},
                      Interpolation::Linear);
    setParam(host, Slider, number(7));
    const struct {
        int index;
        A_long ticks;
        double expected;
    } cases[] = {
        {Float, 0, 0},
        {Float, 2500, 2.5},
        {Float, 10000, 10},
        {Float, 25000, 10},
        {Fixed, 10000, 2182349 / 65536.0},  // the checkout's fixed value: 33.3 * 65536 rounded
        {Fixed, 5000, 1418854 / 65536.0},   // 21.65 * 65536 = 1418854.4
        {Popup, 9999, 1},                   // popups hold
        {Popup, 10000, 3},
        {Slider, 12345, 7},  // no keyframes: the parameter's own value
    };
    for (const auto &c : cases) {
        EXPECT_EQ(valueAt(host, c.index, c.ticks).one_d, c.expected) << c.index << " at " << c.ticks;
        if (c.index == Fixed) {
            EXPECT_EQ(paramDefAt(host, Fixed, c.ticks / 10000.0).u.fd.value / 65536.0, c.expected);
        }
    }
    // Colours per channel / 255, after the checkout's rounding to 8 bits: 127.5 and 100.5 round up.
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
    setParamKeyframes(host, Fixed, {{1.0 / 3, number(33.3)}, {0.123456, number(50)}, {-2.0, number(0)}},
                      Interpolation::Linear);
    struct Key {
        A_Time time;
        double value;
    };
    std::vector<Key> keys;
    A_long count = -1, none = -1;
    EXPECT_EQ(withAegp(host,
                       [&](Aegp &a) {
                           AEGP_EffectRefH effectH = nullptr;
                           AEGP_StreamRefH streamH = nullptr, plainH = nullptr;
                           a.pf->AEGP_GetNewEffectForEffect(a.id, a.in->effect_ref, &effectH);
                           a.stream->AEGP_GetNewEffectStreamByIndex(a.id, effectH, Fixed, &streamH);
                           a.stream->AEGP_GetNewEffectStreamByIndex(a.id, effectH, Slider, &plainH);
                           a.keyframe->AEGP_GetStreamNumKFs(streamH, &count);
                           a.keyframe->AEGP_GetStreamNumKFs(plainH, &none);
                           std::vector<AEGP_StreamValue2> values(size_t(count > 0 ? count : 0));
                           for (A_long k = 0; k < count; ++k) {
                               Key key{};
                               EXPECT_EQ(
                                   a.keyframe->AEGP_GetKeyframeTime(streamH, k, AEGP_LTimeMode_CompTime, &key.time),
                                   PF_Err_NONE);
                               EXPECT_EQ(a.keyframe->AEGP_GetNewKeyframeValue(a.id, streamH, k, &values[size_t(k)]),
                                         PF_Err_NONE);
                               key.value = values[size_t(k)].val.one_d;
                               keys.push_back(key);
                           }
                           EXPECT_EQ(host.ledger.effects, 1);
                           EXPECT_EQ(host.ledger.streams, 2);
                           EXPECT_EQ(host.ledger.streamValues, 3);
                           for (AEGP_StreamValue2 &value : values) a.stream->AEGP_DisposeStreamValue(&value);
                           a.stream->AEGP_DisposeStream(plainH);
                           a.stream->AEGP_DisposeStream(streamH);
                           return a.effect->AEGP_DisposeEffect(effectH);
                       }),
              PF_Err_NONE);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(none, 0);
    ASSERT_EQ(keys.size(), 3u);
    const struct {
        A_long ticks;
        double value;
    } expected[] = {{-59940, 0}, {3700, 50}, {9990, 2182349 / 65536.0}};  // 0.123456 s = 3699.98 ticks
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(keys[k].time.value, expected[k].ticks) << k;
        EXPECT_EQ(keys[k].time.scale, 29970u) << k;
        EXPECT_EQ(keys[k].value, expected[k].value) << k;
    }
    expectNothingHeld(host);
    activeScript() = nullptr;
}

TEST(AegpStreams, KeyframeTimesArePinnedToTheHostsRange) {
    Host host;
    setUp(host);
    host.fps = 30;
    setParamKeyframes(host, Float, {{-1e12, number(0)}, {1e12, number(1)}}, Interpolation::Linear);
    std::vector<A_long> ticks;
    withAegp(host, [&](Aegp &a) {
        AEGP_EffectRefH effectH = nullptr;
        AEGP_StreamRefH streamH = nullptr;
        a.pf->AEGP_GetNewEffectForEffect(a.id, a.in->effect_ref, &effectH);
        a.stream->AEGP_GetNewEffectStreamByIndex(a.id, effectH, Float, &streamH);
        for (A_long k = 0; k < 2; ++k) {
            A_Time time{};
            a.keyframe->AEGP_GetKeyframeTime(streamH, k, AEGP_LTimeMode_LayerTime, &time);
            ticks.push_back(time.value);
        }
        a.stream->AEGP_DisposeStream(streamH);
        return a.effect->AEGP_DisposeEffect(effectH);
    });
    EXPECT_EQ(ticks, (std::vector<A_long>{-2147483647 - 1, 2147483647}));
    activeScript() = nullptr;
}

TEST(AegpStreams, TheHostRefusesWhatItDidNotHandOut) {
    Host host, other;
    setUp(host);
    setParamKeyframes(host, Fixed, {{0.0, number(10)}, {1.0, number(20)}}, Interpolation::Linear);
    int refusals = 0;
    withAegp(host, [&](Aegp &a) {
        const AEGP_StreamSuite9 &s = *a.stream;
        const AEGP_KeyframeSuite4 &k = *a.keyframe;
        AEGP_EffectRefH effectH = nullptr, gone = nullptr;
        AEGP_StreamRefH streamH = nullptr, pathH = nullptr, goneStream = nullptr;
        AEGP_StreamValue2 live{}, disposed{};
        a.pf->AEGP_GetNewEffectForEffect(a.id, a.in->effect_ref, &effectH);
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
        const PF_ProgPtr foreign = reinterpret_cast<PF_ProgPtr>(&other);
        auto *madeUpEffect = reinterpret_cast<AEGP_EffectRefH>(&other);
        auto *madeUpStream = reinterpret_cast<AEGP_StreamRefH>(&other);
        const A_Time time{0, 1000}, noScale{0, 0};
        AEGP_EffectRefH effectOut = nullptr;
        AEGP_StreamRefH streamOut = nullptr;
        AEGP_StreamValue2 valueOut{}, neverHanded{madeUpStream, {}};
        A_Time timeOut{};
        A_long count = 0;
        const struct {
            const char *what;
            std::function<PF_Err()> call;
        } cases[] = {
            {"effect for an id never registered",
             [&] { return a.pf->AEGP_GetNewEffectForEffect(unknownId, a.in->effect_ref, &effectOut); }},
            {"effect for id 0", [&] { return a.pf->AEGP_GetNewEffectForEffect(0, a.in->effect_ref, &effectOut); }},
            {"effect for no effect ref", [&] { return a.pf->AEGP_GetNewEffectForEffect(a.id, nullptr, &effectOut); }},
            {"effect for another host's ref",
             [&] { return a.pf->AEGP_GetNewEffectForEffect(a.id, foreign, &effectOut); }},
            {"effect into no pointer",
             [&] { return a.pf->AEGP_GetNewEffectForEffect(a.id, a.in->effect_ref, nullptr); }},
            {"dispose a disposed effect", [&] { return a.effect->AEGP_DisposeEffect(gone); }},
            {"dispose a made-up effect", [&] { return a.effect->AEGP_DisposeEffect(madeUpEffect); }},
            {"dispose no effect", [&] { return a.effect->AEGP_DisposeEffect(nullptr); }},
            {"stream for an unknown id",
             [&] { return s.AEGP_GetNewEffectStreamByIndex(unknownId, effectH, Fixed, &streamOut); }},
            {"stream of a disposed effect",
             [&] { return s.AEGP_GetNewEffectStreamByIndex(a.id, gone, Fixed, &streamOut); }},
            {"stream of the input layer",
             [&] { return s.AEGP_GetNewEffectStreamByIndex(a.id, effectH, 0, &streamOut); }},
            {"stream past the last parameter",
             [&] { return s.AEGP_GetNewEffectStreamByIndex(a.id, effectH, Count, &streamOut); }},
            {"stream at a negative index",
             [&] { return s.AEGP_GetNewEffectStreamByIndex(a.id, effectH, -1, &streamOut); }},
            {"stream into no pointer", [&] { return s.AEGP_GetNewEffectStreamByIndex(a.id, effectH, Fixed, nullptr); }},
            {"count of a disposed stream", [&] { return k.AEGP_GetStreamNumKFs(goneStream, &count); }},
            {"count into no pointer", [&] { return k.AEGP_GetStreamNumKFs(streamH, nullptr); }},
            {"time of key -1", [&] { return k.AEGP_GetKeyframeTime(streamH, -1, AEGP_LTimeMode_LayerTime, &timeOut); }},
            {"time of key K", [&] { return k.AEGP_GetKeyframeTime(streamH, 2, AEGP_LTimeMode_LayerTime, &timeOut); }},
            {"time in an unknown mode", [&] { return k.AEGP_GetKeyframeTime(streamH, 0, 2, &timeOut); }},
            {"time into no pointer",
             [&] { return k.AEGP_GetKeyframeTime(streamH, 0, AEGP_LTimeMode_LayerTime, nullptr); }},
            {"value of key K", [&] { return k.AEGP_GetNewKeyframeValue(a.id, streamH, 2, &valueOut); }},
            {"key value for an unknown id",
             [&] { return k.AEGP_GetNewKeyframeValue(unknownId, streamH, 0, &valueOut); }},
            {"key value of a made-up stream",
             [&] { return k.AEGP_GetNewKeyframeValue(a.id, madeUpStream, 0, &valueOut); }},
            {"value at time scale 0",
             [&] {
                 return s.AEGP_GetNewStreamValue(a.id, streamH, AEGP_LTimeMode_LayerTime, &noScale, false, &valueOut);
             }},
            {"value at no time",
             [&] {
                 return s.AEGP_GetNewStreamValue(a.id, streamH, AEGP_LTimeMode_LayerTime, nullptr, false, &valueOut);
             }},
            {"value into no pointer",
             [&] { return s.AEGP_GetNewStreamValue(a.id, streamH, AEGP_LTimeMode_LayerTime, &time, false, nullptr); }},
            {"value for an unknown id",
             [&] {
                 return s.AEGP_GetNewStreamValue(unknownId, streamH, AEGP_LTimeMode_LayerTime, &time, false, &valueOut);
             }},
            {"value of a path, which has no number",
             [&] { return s.AEGP_GetNewStreamValue(a.id, pathH, AEGP_LTimeMode_LayerTime, &time, false, &valueOut); }},
            {"dispose a disposed value", [&] { return s.AEGP_DisposeStreamValue(&disposed); }},
            {"dispose a value never handed out", [&] { return s.AEGP_DisposeStreamValue(&neverHanded); }},
            {"dispose no value", [&] { return s.AEGP_DisposeStreamValue(nullptr); }},
            {"dispose a stream with a value out", [&] { return s.AEGP_DisposeStream(streamH); }},
            {"dispose a disposed stream", [&] { return s.AEGP_DisposeStream(goneStream); }},
        };
        for (const auto &c : cases) {
            EXPECT_EQ(c.call(), PF_Err_BAD_CALLBACK_PARAM) << c.what;
            EXPECT_EQ(host.ledger.invalidCalls, ++refusals) << c.what;
            EXPECT_EQ(effectOut, nullptr) << c.what;
            EXPECT_EQ(streamOut, nullptr) << c.what;
            EXPECT_EQ(valueOut.streamH, nullptr) << c.what;
        }
        EXPECT_EQ(host.ledger.effects, 1);
        EXPECT_EQ(host.ledger.streams, 2);
        EXPECT_EQ(host.ledger.streamValues, 1);
        EXPECT_EQ(s.AEGP_DisposeStreamValue(&live), PF_Err_NONE);
        EXPECT_EQ(s.AEGP_DisposeStream(streamH), PF_Err_NONE);
        EXPECT_EQ(s.AEGP_DisposeStream(pathH), PF_Err_NONE);
        return a.effect->AEGP_DisposeEffect(effectH);
    });
    expectNothingHeld(host, 0, refusals);
    activeScript() = nullptr;
}

// The plug-in's read of one keyframed parameter, both ways, stopping at the
// first error: what the calls before it handed out is there, nothing after.
PF_Err readKeyframes(Aegp &a) {
    AEGP_EffectRefH effectH = nullptr;
    AEGP_StreamRefH streamH = nullptr;
    A_long count = 0;
    A_Time first{};
    AEGP_StreamValue2 key{}, sample{};
    const std::function<PF_Err()> steps[] = {
        [&] { return a.pf->AEGP_GetNewEffectForEffect(a.id, a.in->effect_ref, &effectH); },
        [&] { return a.stream->AEGP_GetNewEffectStreamByIndex(a.id, effectH, Float, &streamH); },
        [&] { return a.keyframe->AEGP_GetStreamNumKFs(streamH, &count); },
        [&] { return a.keyframe->AEGP_GetNewKeyframeValue(a.id, streamH, 0, &key); },
        [&] { return a.keyframe->AEGP_GetKeyframeTime(streamH, 1, AEGP_LTimeMode_LayerTime, &first); },
        [&] {
            return a.stream->AEGP_GetNewStreamValue(a.id, streamH, AEGP_LTimeMode_LayerTime, &first, false, &sample);
        },
    };
    PF_Err err = PF_Err_NONE;
    size_t done = 0;
    while (done < std::size(steps) && !(err = steps[done]())) ++done;
    const bool handedOut[] = {effectH != nullptr,     streamH != nullptr, count != 0,
                              key.streamH != nullptr, first.scale != 0,   sample.streamH != nullptr};
    for (size_t i = 0; i < std::size(handedOut); ++i) EXPECT_EQ(handedOut[i], i < done) << "call " << i;
    if (sample.streamH) a.stream->AEGP_DisposeStreamValue(&sample);
    if (key.streamH) a.stream->AEGP_DisposeStreamValue(&key);
    if (streamH) a.stream->AEGP_DisposeStream(streamH);
    if (effectH) a.effect->AEGP_DisposeEffect(effectH);
    return err;
}

TEST(AegpStreams, AnInjectedFailureHandsNothingOut) {
    for (const char *function : {"AEGP_GetNewEffectForEffect", "AEGP_GetNewEffectStreamByIndex", "AEGP_GetStreamNumKFs",
                                 "AEGP_GetNewKeyframeValue", "AEGP_GetKeyframeTime", "AEGP_GetNewStreamValue"}) {
        Host host;
        setUp(host);
        setParamKeyframes(host, Float, {{0.0, number(1)}, {1.0, number(2)}}, Interpolation::Linear);
        host.faults.failCall[function] = {1, PF_Err_OUT_OF_MEMORY};
        EXPECT_EQ(withAegp(host, readKeyframes), PF_Err_OUT_OF_MEMORY) << function;
        EXPECT_EQ(callCount(host, function), 1) << function;
        expectNothingHeld(host);
    }
    activeScript() = nullptr;
}

TEST(AegpStreams, AFailedDisposalKeepsWhatItWasToTakeBack) {
    const struct {
        const char *function;
        int effects, streams, streamValues, invalidCalls;
    } cases[] = {
        {"AEGP_DisposeEffect", 1, 0, 0, 0},
        {"AEGP_DisposeStream", 0, 1, 0, 0},
        {"AEGP_DisposeStreamValue", 0, 1, 1, 1},  // the stream is refused while its value is out
    };
    for (const auto &c : cases) {
        Host host;
        setUp(host);
        setParamKeyframes(host, Float, {{0.0, number(1)}, {1.0, number(2)}}, Interpolation::Linear);
        host.faults.failCall[c.function] = {1, PF_Err_INTERNAL_STRUCT_DAMAGED};
        EXPECT_EQ(withAegp(host, readKeyframes), PF_Err_NONE) << c.function;
        const Ledger &l = host.ledger;
        EXPECT_EQ((std::vector<int>{l.effects, l.streams, l.streamValues, l.invalidCalls}),
                  (std::vector<int>{c.effects, c.streams, c.streamValues, c.invalidCalls}))
            << c.function;
    }
    activeScript() = nullptr;
}

TEST(AegpStreams, EaseIsSmoothstepOnNumbersAndChannels) {
    Host host;
    setUp(host);
    setParamKeyframes(host, Float, {{1.0, number(0)}, {3.0, number(100)}}, Interpolation::Ease);
    setParamKeyframes(host, Color, {{1.0, color(255, 0, 0, 255)}, {3.0, color(255, 255, 100, 0)}}, Interpolation::Ease);
    const struct {
        double seconds;
        double number;
        int red, green, blue;
    } cases[] = {
        {1.0, 0, 0, 0, 255},        {1.5, 15.625, 40, 16, 215},  // t = 1/4: 5/32; 39.84, 15.63, 215.16
        {2.0, 50, 128, 50, 128},                                 // 127.5 rounds up
        {2.5, 84.375, 215, 84, 40}, {3.0, 100, 255, 100, 0},
    };
    for (const auto &c : cases) {
        const ParamValue v = paramValueAt(host, Float, c.seconds);
        EXPECT_EQ(v.number, c.number) << c.seconds;
        const PF_Pixel p = paramValueAt(host, Color, c.seconds).color;
        EXPECT_EQ((std::vector<int>{p.alpha, p.red, p.green, p.blue}), (std::vector<int>{255, c.red, c.green, c.blue}))
            << c.seconds;
    }
    activeScript() = nullptr;
}

// Every key value of "Fixed", and "Slider" with no value read.
PF_Err readFixedKeys(Aegp &a) {
    AEGP_EffectRefH effectH = nullptr;
    AEGP_StreamRefH fixedH = nullptr, sliderH = nullptr;
    A_long count = 0;
    a.pf->AEGP_GetNewEffectForEffect(a.id, a.in->effect_ref, &effectH);
    a.stream->AEGP_GetNewEffectStreamByIndex(a.id, effectH, Fixed, &fixedH);
    a.stream->AEGP_GetNewEffectStreamByIndex(a.id, effectH, Slider, &sliderH);
    a.keyframe->AEGP_GetStreamNumKFs(fixedH, &count);
    for (A_long k = 0; k < count; ++k) {
        AEGP_StreamValue2 value{};
        a.keyframe->AEGP_GetNewKeyframeValue(a.id, fixedH, k, &value);
        a.stream->AEGP_DisposeStreamValue(&value);
    }
    a.stream->AEGP_DisposeStream(sliderH);
    a.stream->AEGP_DisposeStream(fixedH);
    return a.effect->AEGP_DisposeEffect(effectH);
}

TEST(AegpStreams, EachFrameListsTheStreamsReadInIt) {
    Host host;
    setUp(host);
    host.input = makeImage(2, 2, Depth::Bits8);
    setParamKeyframes(host, Fixed, {{0.0, number(1)}, {1.0, number(2)}, {2.0, number(3)}}, Interpolation::Linear);
    withAegp(host, readFixedKeys);  // outside any frame: in none of them
    useScript(host, [](PF_Cmd cmd, PF_InData &in, PF_OutData &, void *) {
        return cmd == PF_Cmd_SMART_RENDER ? withAegp(in, readFixedKeys) : PF_Err(PF_Err_NONE);
    });
    for (int frame = 0; frame < 2; ++frame) {
        host.frame = frame;
        const RenderResult result = renderFrame(host);
        EXPECT_EQ(result.renderError, PF_Err_NONE);
        ASSERT_EQ(result.streamReads.size(), 2u) << frame;
        const StreamRead &fixed = result.streamReads[0], &slider = result.streamReads[1];
        EXPECT_EQ((std::vector<long>{fixed.paramIndex, fixed.keyframes, fixed.valuesRead}),
                  (std::vector<long>{Fixed, 3, 3}))
            << frame;
        EXPECT_EQ((std::vector<long>{slider.paramIndex, slider.keyframes, slider.valuesRead}),
                  (std::vector<long>{Slider, 0, 0}))
            << frame;
    }
    expectNothingHeld(host);
    activeScript() = nullptr;
}

}  // namespace
}  // namespace minihost
