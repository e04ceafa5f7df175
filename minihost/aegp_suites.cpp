// The "AEGP ..." suites: registration of the plug-in for AEGP services, the
// mask suite (held by the render, nothing called through it), and the effect,
// stream and keyframe access the keyframe-driven modes use.
#include <string>

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
PF_Err getNewEffectForEffect(AEGP_PluginID, PF_ProgPtr, AEGP_EffectRefH *) {
    return notServed("AEGP_GetNewEffectForEffect");
}
PF_Err convertEffectToCompTime(PF_ProgPtr, A_long, A_u_long, A_Time *) {
    return notServed("AEGP_ConvertEffectToCompTime");
}

PF_Err getLayerNumEffects(AEGP_LayerH, A_long *) { return notServed("AEGP_GetLayerNumEffects"); }
PF_Err disposeEffect(AEGP_EffectRefH) { return notServed("AEGP_DisposeEffect"); }

PF_Err getNewEffectStreamByIndex(AEGP_PluginID, AEGP_EffectRefH, PF_ParamIndex, AEGP_StreamRefH *) {
    return notServed("AEGP_GetNewEffectStreamByIndex");
}
PF_Err disposeStream(AEGP_StreamRefH) { return notServed("AEGP_DisposeStream"); }
PF_Err getNewStreamValue(AEGP_PluginID, AEGP_StreamRefH, AEGP_LTimeMode, const A_Time *, A_Boolean,
                         AEGP_StreamValue2 *) {
    return notServed("AEGP_GetNewStreamValue");
}
PF_Err disposeStreamValue(AEGP_StreamValue2 *) { return notServed("AEGP_DisposeStreamValue"); }

PF_Err getStreamNumKFs(AEGP_StreamRefH, A_long *) { return notServed("AEGP_GetStreamNumKFs"); }
PF_Err getKeyframeTime(AEGP_StreamRefH, AEGP_KeyframeIndex, AEGP_LTimeMode, A_Time *) {
    return notServed("AEGP_GetKeyframeTime");
}
PF_Err getNewKeyframeValue(AEGP_PluginID, AEGP_StreamRefH, AEGP_KeyframeIndex, AEGP_StreamValue2 *) {
    return notServed("AEGP_GetNewKeyframeValue");
}

}  // namespace

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
