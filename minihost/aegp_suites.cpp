// The "AEGP ..." suites: registration of the plug-in for AEGP services, the
// mask suite (held by the render, nothing called through it), and the effect,
// stream and keyframe access through which the plug-in reads the keyframes of
// its own parameters.
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "minihost/host_state.h"

namespace minihost {
namespace {

// Calls the stand-in does not serve yet answer with an error the plug-in passes on.
PF_Err notServed(const char *function) {
    if (const PF_Err err = enterCall(currentHost(), function)) return err;
    return PF_Err_BAD_CALLBACK_PARAM;
}

PF_Err reportInfo(AEGP_PluginID, const A_char *) { return notServed("AEGP_ReportInfo"); }
PF_Err getDriverSpecVersion(A_short *, A_short *) { return notServed("AEGP_GetDriverSpecVersion"); }
PF_Err startQuietErrors(void *) { return notServed("AEGP_StartQuietErrors"); }
PF_Err endQuietErrors(A_Boolean, void *) { return notServed("AEGP_EndQuietErrors"); }

PF_Err registerWithAEGP(AEGP_GlobalRefcon, const A_char *pluginName, AEGP_PluginID *pluginId) {
    Host &host = currentHost();
    if (const PF_Err err = enterCall(host, "AEGP_RegisterWithAEGP", pluginName ? pluginName : "(null)")) return err;
    if (!pluginId) return refused(host);
    *pluginId = host.internals->nextPluginId++;
    host.internals->registeredPlugins.push_back(pluginName ? pluginName : "");
    return PF_Err_NONE;
}

PF_Err getLayerNumMasks(AEGP_LayerH, A_long *) { return notServed("AEGP_GetLayerNumMasks"); }
PF_Err getLayerMaskByIndex(AEGP_LayerH, A_long, AEGP_MaskRefH *) { return notServed("AEGP_GetLayerMaskByIndex"); }
PF_Err disposeMask(AEGP_MaskRefH) { return notServed("AEGP_DisposeMask"); }

PF_Err getEffectLayer(PF_ProgPtr, AEGP_LayerH *) { return notServed("AEGP_GetEffectLayer"); }
PF_Err convertEffectToCompTime(PF_ProgPtr, A_long, A_u_long, A_Time *) {
    return notServed("AEGP_ConvertEffectToCompTime");
}
PF_Err getLayerNumEffects(AEGP_LayerH, A_long *) { return notServed("AEGP_GetLayerNumEffects"); }

// Effects, streams and keyframes. Streams serve the parameters' own tracks,
// so that a stream's value at a time is the value a checkout at that time
// hands out. Times are A_Time{ticks, timeScale(host)}; the effect's layer
// starts at time 0, so layer and composition time are the same.

bool registered(const Host &host, AEGP_PluginID pluginId) {
    return pluginId >= firstPluginId && pluginId < host.internals->nextPluginId;
}

bool knownTimeMode(AEGP_LTimeMode mode) { return mode == AEGP_LTimeMode_LayerTime || mode == AEGP_LTimeMode_CompTime; }

AEGP_StreamRef *liveStream(const Host &host, AEGP_StreamRefH streamH) {
    const auto found = host.internals->streams.find(streamH);
    return found == host.internals->streams.end() ? nullptr : found->second.get();
}

const std::vector<Keyframe> &keyframesOf(const Host &host, const AEGP_StreamRef &stream) {
    return host.params.at(static_cast<std::size_t>(stream.paramIndex)).keyframes;
}

// The frame's tally of `stream`, begun when the stream is first seen in the frame.
StreamRead &tallyOf(Host &host, AEGP_StreamRef &stream) {
    std::vector<StreamRead> &reads = host.internals->streamReads;
    if (stream.readEntry >= reads.size()) {
        reads.push_back({stream.paramIndex, static_cast<long>(keyframesOf(host, stream).size()), 0});
        stream.readEntry = reads.size() - 1;
    }
    return reads[stream.readEntry];
}

// Host ticks of a time in seconds, pinned into the A_long range.
A_long ticksOf(double seconds, A_u_long scale) {
    const double ticks = seconds * scale;
    if (std::isnan(ticks)) return 0;
    if (ticks >= std::numeric_limits<A_long>::max()) return std::numeric_limits<A_long>::max();
    if (ticks <= std::numeric_limits<A_long>::min()) return std::numeric_limits<A_long>::min();
    return static_cast<A_long>(std::llround(ticks));
}

// A stream value read back from the definition a checkout hands out:
// colours as channel / 255 (0..1); every other type in one_d, in user units
// (fixed values / 65536: percent, degrees; popups 1-based). False for types
// whose streams carry no number or colour: layers, paths, groups.
bool streamValueOf(const PF_ParamDef &def, AEGP_StreamVal2 &value) {
    value = AEGP_StreamVal2{};
    switch (def.param_type) {
    case PF_Param_SLIDER:
        value.one_d = def.u.sd.value;
        return true;
    case PF_Param_FIX_SLIDER:
        value.one_d = def.u.fd.value / 65536.0;
        return true;
    case PF_Param_ANGLE:
        value.one_d = def.u.ad.value / 65536.0;
        return true;
    case PF_Param_CHECKBOX:
        value.one_d = def.u.bd.value;
        return true;
    case PF_Param_POPUP:
        value.one_d = def.u.pd.value;
        return true;
    case PF_Param_FLOAT_SLIDER:
        value.one_d = def.u.fs_d.value;
        return true;
    case PF_Param_COLOR: {
        const PF_Pixel &c = def.u.cd.value;
        value.color = {c.alpha / 255.0, c.red / 255.0, c.green / 255.0, c.blue / 255.0};
        return true;
    }
    default:
        return false;
    }
}

// Hands out the value `def` holds as a value of `stream`, counted until disposed.
PF_Err handOutValue(Host &host, AEGP_StreamRefH streamH, AEGP_StreamRef &stream, const PF_ParamDef &def,
                    AEGP_StreamValue2 &value) {
    AEGP_StreamVal2 val;
    if (!streamValueOf(def, val)) return refused(host);
    value.streamH = streamH;
    value.val = val;
    ++stream.liveValues;
    ++host.ledger.streamValues;
    ++tallyOf(host, stream).valuesRead;
    return PF_Err_NONE;
}

PF_Err getNewEffectForEffect(AEGP_PluginID pluginId, PF_ProgPtr effectRef, AEGP_EffectRefH *effectPH) {
    if (effectPH) *effectPH = nullptr;
    Host &host = currentHost();
    if (const PF_Err err = enterCall(host, "AEGP_GetNewEffectForEffect")) return err;
    // The effect reference must be the one of the command in progress.
    if (!registered(host, pluginId) || effectRef != refFromHost(host) || !effectPH) return refused(host);
    auto effect = std::make_unique<AEGP_EffectRef>();
    *effectPH = effect.get();
    host.internals->effects[effect.get()] = std::move(effect);
    ++host.ledger.effects;
    return PF_Err_NONE;
}

PF_Err disposeEffect(AEGP_EffectRefH effectH) {
    Host &host = currentHost();
    if (const PF_Err err = enterCall(host, "AEGP_DisposeEffect")) return err;
    if (!host.internals->effects.erase(effectH)) return refused(host);
    --host.ledger.effects;
    return PF_Err_NONE;
}

PF_Err getNewEffectStreamByIndex(AEGP_PluginID pluginId, AEGP_EffectRefH effectH, PF_ParamIndex index,
                                 AEGP_StreamRefH *streamPH) {
    if (streamPH) *streamPH = nullptr;
    Host &host = currentHost();
    if (const PF_Err err = enterCall(host, "AEGP_GetNewEffectStreamByIndex", std::to_string(index))) return err;
    // Index 0, the input layer, is no parameter of the effect.
    if (!registered(host, pluginId) || !host.internals->effects.count(effectH) || index < 1 ||
        static_cast<std::size_t>(index) >= host.paramDefs.size() || !streamPH)
        return refused(host);
    auto stream = std::make_unique<AEGP_StreamRef>();
    stream->paramIndex = index;
    tallyOf(host, *stream);
    *streamPH = stream.get();
    host.internals->streams[stream.get()] = std::move(stream);
    ++host.ledger.streams;
    return PF_Err_NONE;
}

PF_Err disposeStream(AEGP_StreamRefH streamH) {
    Host &host = currentHost();
    if (const PF_Err err = enterCall(host, "AEGP_DisposeStream")) return err;
    // Values still out name their stream, which must outlive them.
    const AEGP_StreamRef *stream = liveStream(host, streamH);
    if (!stream || stream->liveValues > 0) return refused(host);
    host.internals->streams.erase(streamH);
    --host.ledger.streams;
    return PF_Err_NONE;
}

PF_Err getNewStreamValue(AEGP_PluginID pluginId, AEGP_StreamRefH streamH, AEGP_LTimeMode timeMode, const A_Time *timePT,
                         A_Boolean, AEGP_StreamValue2 *valueP) {
    if (valueP) *valueP = AEGP_StreamValue2{};
    Host &host = currentHost();
    if (const PF_Err err = enterCall(host, "AEGP_GetNewStreamValue")) return err;
    AEGP_StreamRef *stream = liveStream(host, streamH);
    if (!registered(host, pluginId) || !stream || !knownTimeMode(timeMode) || !timePT || timePT->scale == 0 || !valueP)
        return refused(host);
    // No expressions: the value before and after them is the same.
    const double seconds = static_cast<double>(timePT->value) / timePT->scale;
    return handOutValue(host, streamH, *stream, paramDefAt(host, stream->paramIndex, seconds), *valueP);
}

PF_Err disposeStreamValue(AEGP_StreamValue2 *valueP) {
    Host &host = currentHost();
    if (const PF_Err err = enterCall(host, "AEGP_DisposeStreamValue")) return err;
    AEGP_StreamRef *stream = valueP ? liveStream(host, valueP->streamH) : nullptr;
    if (!stream || stream->liveValues == 0) return refused(host);
    --stream->liveValues;
    --host.ledger.streamValues;
    // A second disposal of the same record names no stream and is refused.
    valueP->streamH = nullptr;
    return PF_Err_NONE;
}

PF_Err getStreamNumKFs(AEGP_StreamRefH streamH, A_long *countPL) {
    if (countPL) *countPL = 0;
    Host &host = currentHost();
    if (const PF_Err err = enterCall(host, "AEGP_GetStreamNumKFs")) return err;
    const AEGP_StreamRef *stream = liveStream(host, streamH);
    if (!stream || !countPL) return refused(host);
    *countPL = static_cast<A_long>(keyframesOf(host, *stream).size());
    return PF_Err_NONE;
}

PF_Err getKeyframeTime(AEGP_StreamRefH streamH, AEGP_KeyframeIndex keyIndex, AEGP_LTimeMode timeMode, A_Time *timePT) {
    if (timePT) *timePT = A_Time{};
    Host &host = currentHost();
    if (const PF_Err err = enterCall(host, "AEGP_GetKeyframeTime", std::to_string(keyIndex))) return err;
    const AEGP_StreamRef *stream = liveStream(host, streamH);
    if (!stream || !knownTimeMode(timeMode) || !timePT) return refused(host);
    const std::vector<Keyframe> &keys = keyframesOf(host, *stream);
    if (keyIndex < 0 || static_cast<std::size_t>(keyIndex) >= keys.size()) return refused(host);
    const A_u_long scale = timeScale(host);
    *timePT = A_Time{ticksOf(keys[static_cast<std::size_t>(keyIndex)].seconds, scale), scale};
    return PF_Err_NONE;
}

PF_Err getNewKeyframeValue(AEGP_PluginID pluginId, AEGP_StreamRefH streamH, AEGP_KeyframeIndex keyIndex,
                           AEGP_StreamValue2 *valueP) {
    if (valueP) *valueP = AEGP_StreamValue2{};
    Host &host = currentHost();
    if (const PF_Err err = enterCall(host, "AEGP_GetNewKeyframeValue", std::to_string(keyIndex))) return err;
    AEGP_StreamRef *stream = liveStream(host, streamH);
    if (!registered(host, pluginId) || !stream || !valueP) return refused(host);
    const std::vector<Keyframe> &keys = keyframesOf(host, *stream);
    if (keyIndex < 0 || static_cast<std::size_t>(keyIndex) >= keys.size()) return refused(host);
    const ParamValue &key = keys[static_cast<std::size_t>(keyIndex)].value;
    return handOutValue(host, streamH, *stream, defWithValue(host, stream->paramIndex, key), *valueP);
}

}  // namespace

std::vector<StreamRead> takeStreamReads(Host &host) {
    for (auto &held : host.internals->streams) held.second->readEntry = ~std::size_t{0};
    return std::exchange(host.internals->streamReads, {});
}

const void *utilitySuite() {
    static const AEGP_UtilitySuite7 suite = {reportInfo, getDriverSpecVersion, startQuietErrors, endQuietErrors,
                                             registerWithAEGP};
    return &suite;
}

const void *maskSuite() {
    static const AEGP_MaskSuite1 suite = {getLayerNumMasks, getLayerMaskByIndex, disposeMask};
    return &suite;
}

const void *pfInterfaceSuite() {
    static const AEGP_PFInterfaceSuite1 suite = {getEffectLayer, getNewEffectForEffect, convertEffectToCompTime};
    return &suite;
}

const void *effectSuite() {
    static const AEGP_EffectSuite3 suite = {getLayerNumEffects, disposeEffect};
    return &suite;
}

const void *streamSuite() {
    static const AEGP_StreamSuite9 suite = {getNewEffectStreamByIndex, disposeStream, getNewStreamValue,
                                            disposeStreamValue};
    return &suite;
}

const void *keyframeSuite() {
    static const AEGP_KeyframeSuite4 suite = {getStreamNumKFs, getKeyframeTime, getNewKeyframeValue};
    return &suite;
}

}  // namespace minihost
