// Keyframe tables read through the AEGP suites: per attribute, the effect, the
// parameter's stream, its keyframe count, then one value per table entry.
#include "host/keyframe_streams.h"

#include "host/global_data.h"
#include "host/param_table.h"

namespace {

// The parameter whose keyframes an attribute reads.
PF_ParamIndex streamParameter(KeyframedAttribute attribute) {
    switch (attribute) {
    case KeyframedAttribute::Radius:
        return ParamIndex::FirstRadius;
    case KeyframedAttribute::Shape:
        return ParamIndex::Keyframe;
    case KeyframedAttribute::Fill:
        return ParamIndex::Color;
    case KeyframedAttribute::Stroke:
        return ParamIndex::StrokeColor;
    case KeyframedAttribute::Opacity:
        break;
    }
    return ParamIndex::Opacity;
}
static_assert(ParamIndex::FirstRadius == 14 && ParamIndex::Keyframe == 26 && ParamIndex::Color == 33 &&
              ParamIndex::StrokeColor == 46 && ParamIndex::Opacity == 57);

}  // namespace

bool globalPluginId(const PF_InData *in_data, SuiteHandler &suites, AEGP_PluginID &id) {
    if (!in_data->global_data) return false;
    HostHandleOwner global(handleFunctions(suite<SuiteId::Handle>(suites)), in_data->global_data);
    global.owned = false;
    const GlobalData *data = static_cast<const GlobalData *>(global.lock());
    if (!data) return false;
    id = data->pluginId;
    return true;
}

void readKeyframeTable(KeyframeReading &reading, KeyframedAttribute attribute, const PatternParams &params,
                       PatternInstance *instances, KeyframeTables &tables) {
    const A_long rule = keyframeRule(params, attribute);
    HostCommand &command = reading.command;
    PF_Err &pending = command.pending;
    if (rule == ValueMode::Normal || pending != PF_Err_NONE) return;
    SuiteHandler &suites = reading.suites;
    const AEGP_PluginID id = reading.pluginId;

    // The effect suite first: whatever follows, the effect can go back.
    const AEGP_PFInterfaceSuite1 *pfInterface = suite<SuiteId::PFInterface>(suites);
    HostObjectOwner<AEGP_EffectRefH> effect(command, suite<SuiteId::Effect>(suites)->AEGP_DisposeEffect);
    obtain(effect, [&](AEGP_EffectRefH *made) {
        return pfInterface->AEGP_GetNewEffectForEffect(id, command.in_data->effect_ref, made);
    });
    if (pending != PF_Err_NONE) return;

    const AEGP_StreamSuite9 *streams = suite<SuiteId::Stream>(suites);
    HostObjectOwner<AEGP_StreamRefH> stream(command, streams->AEGP_DisposeStream);
    obtain(stream, [&](AEGP_StreamRefH *made) {
        return streams->AEGP_GetNewEffectStreamByIndex(id, effect.ref, streamParameter(attribute), made);
    });
    if (pending != PF_Err_NONE) return;

    const AEGP_KeyframeSuite4 *keyframes = suite<SuiteId::Keyframe>(suites);
    A_long keyCount = 0;
    chainHostCall(pending, [&] { return keyframes->AEGP_GetStreamNumKFs(stream.ref, &keyCount); });
    if (pending != PF_Err_NONE) return;

    const KeyframeTablePlan plan = planKeyframeTable(rule, keyCount, reading.count);
    tableLength(tables, attribute) = plan.length;
    if (plan.fallback) {
        storeFallbackEntry(attribute, params, instances[0]);
        return;
    }
    A_Time first{}, last{};
    if (plan.sampled) {
        chainHostCall(pending,
                      [&] { return keyframes->AEGP_GetKeyframeTime(stream.ref, 0, AEGP_LTimeMode_LayerTime, &first); });
        chainHostCall(pending, [&] {
            return keyframes->AEGP_GetKeyframeTime(stream.ref, keyCount - 1, AEGP_LTimeMode_LayerTime, &last);
        });
    }
    for (A_long e = 0; e < plan.length && pending == PF_Err_NONE; ++e) {
        AEGP_StreamValue2 value{};
        HostObjectOwner<AEGP_StreamValue2 *> held(command, streams->AEGP_DisposeStreamValue);
        obtain(held, [&](AEGP_StreamValue2 **made) {
            *made = &value;
            if (!plan.sampled) return keyframes->AEGP_GetNewKeyframeValue(id, stream.ref, e, &value);
            const A_Time time = sampleTime(first, last, e, reading.count);
            return streams->AEGP_GetNewStreamValue(id, stream.ref, AEGP_LTimeMode_LayerTime, &time, false, &value);
        });
        if (held.ref) storeKeyframeValue(attribute, value.val, reading.conversion, instances[e]);
    }
}
