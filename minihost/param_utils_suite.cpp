// "PF Param Utils Suite" 1 and 2: the parameter user-interface updates and the
// parameter state the plug-in records to notice changes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "minihost/host_state.h"

namespace minihost {
namespace {

// A 128-bit digest in two 64-bit lanes of different mixing, so that a change
// that collides in one lane still shows in the other. Only ever compared for
// equality, never kept beyond the host's life.
struct StateDigest {
    uint64_t a = 0xcbf29ce484222325u;  // FNV-1a
    uint64_t b = 0x9e3779b97f4a7c15u;  // rotate, xor, multiply by the golden ratio

    void addBytes(const void *bytes, std::size_t size) {
        const auto *p = static_cast<const unsigned char *>(bytes);
        for (std::size_t i = 0; i < size; ++i) {
            a = (a ^ p[i]) * 0x100000001b3u;
            b = (((b << 5) | (b >> 59)) ^ p[i]) * 0x9e3779b97f4a7c15u;
        }
    }
    void add(uint64_t value) { addBytes(&value, sizeof value); }
    void add(double value) {
        uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        add(bits);
    }
    void add(const PF_Pixel &c) {
        const unsigned char channels[] = {c.alpha, c.red, c.green, c.blue};
        addBytes(channels, sizeof channels);
    }
};

// A "Path" value stands for the mask it names, so that reshaping, opening or
// closing that mask changes the state as editing the path does in a host.
void addValue(StateDigest &digest, const Host &host, PF_ParamType type, const ParamValue &value) {
    digest.add(value.number);
    digest.add(value.color);
    if (type != PF_Param_PATH) return;
    const long number = std::lround(value.number);
    if (number < 1 || static_cast<std::size_t>(number) > host.masks.size()) return;
    const Mask &mask = host.masks[static_cast<std::size_t>(number) - 1];
    digest.add(uint64_t{mask.closed});
    const auto addVertices = [&](const std::vector<MaskVertex> &vertices) {
        digest.add(uint64_t{vertices.size()});
        for (const MaskVertex &v : vertices)
            for (double coordinate : {v.x, v.y, v.inX, v.inY, v.outX, v.outY}) digest.add(coordinate);
    };
    if (mask.keys.empty()) return addVertices(mask.vertices);
    // A keyframed mask: its shape over all time.
    digest.add(uint64_t{mask.keys.size()});
    digest.add(static_cast<uint64_t>(mask.interpolation));
    for (const MaskKey &key : mask.keys) {
        for (double number : {key.seconds, key.easeIn, key.easeOut}) digest.add(number);
        addVertices(key.vertices);
    }
}

// The value of a track without keyframes, or its keyframes and interpolation:
// what the parameter holds over all time, not at one time.
void addParam(StateDigest &digest, const Host &host, std::size_t index) {
    const PF_ParamType type = host.paramDefs[index].param_type;
    const ParamTrack &track = host.params[index];
    digest.add(uint64_t{index});
    digest.add(uint64_t{track.keyframes.size()});
    if (track.keyframes.empty()) {
        addValue(digest, host, type, track.value);
        return;
    }
    digest.add(uint64_t(track.interpolation));
    for (const Keyframe &key : track.keyframes) {
        digest.add(key.seconds);
        addValue(digest, host, type, key.value);
    }
}

// The state of one parameter (0..n-1), of all of them (CHECK_ALL) or of all
// but the layer parameters (CHECK_ALL_EXCEPT_LAYER_PARAMS, which is also
// CHECK_ALL_HONOR_EXCLUDE). False for any other index.
bool stateOf(const Host &host, PF_ParamIndex index, PF_State &state) {
    const std::size_t count = std::min(host.paramDefs.size(), host.params.size());
    StateDigest digest;
    if (index >= 0) {
        if (static_cast<std::size_t>(index) >= count) return false;
        addParam(digest, host, static_cast<std::size_t>(index));
    } else if (index == PF_ParamIndex_CHECK_ALL || index == PF_ParamIndex_CHECK_ALL_EXCEPT_LAYER_PARAMS) {
        for (std::size_t i = 0; i < count; ++i)
            if (index == PF_ParamIndex_CHECK_ALL || host.paramDefs[i].param_type != PF_Param_LAYER)
                addParam(digest, host, i);
    } else {
        return false;
    }
    state.reserved[0] = static_cast<A_u_long>(digest.a);
    state.reserved[1] = static_cast<A_u_long>(digest.a >> 32);
    state.reserved[2] = static_cast<A_u_long>(digest.b);
    state.reserved[3] = static_cast<A_u_long>(digest.b >> 32);
    return true;
}

// Only the UI flags are taken from `defP`: its value fields are the plug-in's
// copy and never change the parameter.
PF_Err updateParamUI(PF_ProgPtr effectRef, PF_ParamIndex param_index, const PF_ParamDef *defP) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err = enterCall(host, "PF_UpdateParamUI", "index " + std::to_string(param_index))) return err;
    if (!defP || param_index < 1 || static_cast<std::size_t>(param_index) >= host.paramDefs.size())
        return refused(host);
    PF_ParamDef &def = host.paramDefs[static_cast<std::size_t>(param_index)];
    if (defP->param_type != def.param_type) return refused(host);
    def.ui_flags = defP->ui_flags;
    return PF_Err_NONE;
}

PF_Err getCurrentState(PF_ProgPtr effectRef, PF_ParamIndex param_index, PF_State *stateP) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err = enterCall(host, "PF_GetCurrentState", "index " + std::to_string(param_index))) return err;
    if (!stateP || !stateOf(host, param_index, *stateP)) return refused(host);
    return PF_Err_NONE;
}

PF_Err hasParamChanged(PF_ProgPtr effectRef, const PF_State *stateP, PF_ParamIndex param_index, PF_Boolean *changedPB) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    Host &host = hostFromRef(effectRef);
    if (const PF_Err err = enterCall(host, "PF_HasParamChanged", "index " + std::to_string(param_index))) return err;
    PF_State current{};
    if (!stateP || !changedPB || !stateOf(host, param_index, current)) return refused(host);
    *changedPB = std::memcmp(current.reserved, stateP->reserved, sizeof current.reserved) != 0;
    return PF_Err_NONE;
}

}  // namespace

const void *paramUtilsSuite() {
    static const PF_ParamUtilsSuite1 suite = {updateParamUI, getCurrentState, hasParamChanged};
    return &suite;
}

}  // namespace minihost
