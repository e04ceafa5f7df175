// The effect's parameters as the host keeps them: values and keyframes in user
// units, and the definitions with values in each type's own representation.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "minihost/host_state.h"

namespace minihost {
namespace {

// Types whose values cannot be interpolated: they hold until the next keyframe.
bool holdsBetweenKeys(PF_ParamType type) {
    return type == PF_Param_POPUP || type == PF_Param_CHECKBOX || type == PF_Param_PATH || type == PF_Param_LAYER ||
           type == PF_Param_GROUP_START || type == PF_Param_GROUP_END;
}

A_u_char mixChannel(A_u_char a, A_u_char b, double t) {
    return static_cast<A_u_char>(std::clamp(std::lround(a + (b - a) * t), 0L, 255L));
}

ParamValue mixValues(const ParamValue &a, const ParamValue &b, double t) {
    ParamValue v;
    v.number = a.number + (b.number - a.number) * t;
    v.color.alpha = mixChannel(a.color.alpha, b.color.alpha, t);
    v.color.red = mixChannel(a.color.red, b.color.red, t);
    v.color.green = mixChannel(a.color.green, b.color.green, t);
    v.color.blue = mixChannel(a.color.blue, b.color.blue, t);
    return v;
}

A_long integerOf(double number) { return static_cast<A_long>(std::lround(number)); }

}  // namespace

ParamValue defaultValueOf(const PF_ParamDef &def) {
    ParamValue v;
    switch (def.param_type) {
    case PF_Param_LAYER:
        v.number = def.u.ld.dephault == PF_LayerDefault_MYSELF ? -1 : 0;
        break;
    case PF_Param_SLIDER:
        v.number = def.u.sd.dephault;
        break;
    case PF_Param_FIX_SLIDER:
        v.number = def.u.fd.dephault / 65536.0;
        break;
    case PF_Param_ANGLE:
        v.number = def.u.ad.dephault / 65536.0;
        break;
    case PF_Param_CHECKBOX:
        v.number = def.u.bd.dephault;
        break;
    case PF_Param_COLOR:
        v.color = def.u.cd.dephault;
        break;
    case PF_Param_POPUP:
        v.number = def.u.pd.dephault;
        break;
    case PF_Param_FLOAT_SLIDER:
        v.number = def.u.fs_d.dephault;
        break;
    case PF_Param_PATH:
        v.number = def.u.path_d.dephault;
        break;
    default:
        break;
    }
    return v;
}

int paramIndex(const Host &host, const std::string &name) {
    if (name.empty()) return -1;
    for (std::size_t i = 1; i < host.paramDefs.size(); ++i) {
        const PF_ParamDef &def = host.paramDefs[i];
        if (name == std::string(def.name, strnlen(def.name, sizeof def.name))) return static_cast<int>(i);
    }
    return -1;
}

void setParam(Host &host, int index, ParamValue value) {
    ParamTrack &track = host.params.at(static_cast<std::size_t>(index));
    track.value = value;
    track.keyframes.clear();
}

void setParamKeyframes(Host &host, int index, std::vector<Keyframe> keys, Interpolation interp) {
    ParamTrack &track = host.params.at(static_cast<std::size_t>(index));
    std::stable_sort(keys.begin(), keys.end(),
                     [](const Keyframe &a, const Keyframe &b) { return a.seconds < b.seconds; });
    track.keyframes = std::move(keys);
    track.interpolation = interp;
}

double easedFraction(double t, double out, double in) {
    // A third each: x(s) = s, and the closed form is exact.
    if (out == 1.0 / 3 && in == 1.0 / 3) return t * t * (3 - 2 * t);
    const double x1 = out, x2 = 1 - in;
    const auto x = [&](double s) {
        const double r = 1 - s;
        return 3 * s * r * r * x1 + 3 * s * s * r * x2 + s * s * s;
    };
    // x rises from 0 to 1 for handles within the interval: halve [lo, hi]
    // down to the last bit, the same steps on every machine.
    double lo = 0, hi = 1;
    for (int i = 0; i < 64; ++i) {
        const double mid = (lo + hi) / 2;
        (x(mid) < t ? lo : hi) = mid;
    }
    const double s = (lo + hi) / 2;
    return s * s * (3 - 2 * s);
}

ParamValue paramValueAt(const Host &host, int index, double seconds) {
    const ParamTrack &track = host.params.at(static_cast<std::size_t>(index));
    const std::vector<Keyframe> &keys = track.keyframes;
    if (keys.empty()) return track.value;
    // A time that is not a number is before every key, never between two.
    if (std::isnan(seconds) || seconds <= keys.front().seconds) return keys.front().value;
    if (seconds >= keys.back().seconds) return keys.back().value;
    // The last key at or before the time; the one after it exists.
    const auto after = std::upper_bound(keys.begin(), keys.end(), seconds,
                                        [](double t, const Keyframe &key) { return t < key.seconds; });
    const Keyframe &a = *(after - 1);
    const Keyframe &b = *after;
    const bool hold = track.interpolation == Interpolation::Hold ||
                      (static_cast<std::size_t>(index) < host.paramDefs.size() &&
                       holdsBetweenKeys(host.paramDefs[static_cast<std::size_t>(index)].param_type));
    if (hold || b.seconds <= a.seconds) return a.value;
    double t = (seconds - a.seconds) / (b.seconds - a.seconds);
    if (track.interpolation == Interpolation::Ease) t = easedFraction(t, a.easeOut, b.easeIn);
    return mixValues(a.value, b.value, t);
}

PF_ParamDef defWithValue(const Host &host, int index, const ParamValue &v) {
    PF_ParamDef def = host.paramDefs.at(static_cast<std::size_t>(index));
    switch (def.param_type) {
    case PF_Param_LAYER: {
        // The pixels are attached by the checkout; the definition alone has none.
        const A_long dephault = def.u.ld.dephault;
        def.u.ld = PF_LayerDef{};
        def.u.ld.dephault = dephault;
        break;
    }
    case PF_Param_SLIDER:
        def.u.sd.value = integerOf(v.number);
        break;
    case PF_Param_FIX_SLIDER:
        def.u.fd.value = fixedFromDouble(v.number);
        break;
    case PF_Param_ANGLE:
        def.u.ad.value = fixedFromDouble(v.number);
        break;
    case PF_Param_CHECKBOX:
        def.u.bd.value = integerOf(v.number);
        break;
    case PF_Param_COLOR:
        def.u.cd.value = v.color;
        break;
    case PF_Param_POPUP:
        def.u.pd.value = integerOf(v.number);
        break;
    case PF_Param_FLOAT_SLIDER:
        def.u.fs_d.value = v.number;
        break;
    case PF_Param_PATH:
        def.u.path_d.path_id = pathIdOfMask(host, integerOf(v.number));
        break;
    default:
        break;
    }
    return def;
}

PF_ParamDef paramDefAt(const Host &host, int index, double seconds) {
    return defWithValue(host, index, paramValueAt(host, index, seconds));
}

bool paramDisabled(const Host &host, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= host.paramDefs.size()) return false;
    return (host.paramDefs[static_cast<std::size_t>(index)].ui_flags & PF_PUI_DISABLED) != 0;
}

PF_PathID pathIdOfMask(const Host &host, int maskNumber) {
    if (maskNumber < 1 || static_cast<std::size_t>(maskNumber) > host.masks.size()) return 0;
    return pathIdBase + static_cast<PF_PathID>(maskNumber);
}

bool maskForPathId(const Host &host, PF_PathID id, Mask &mask) {
    if (id <= pathIdBase || id - pathIdBase > host.masks.size()) return false;
    mask = host.masks[id - pathIdBase - 1];
    const double sx = host.downsampleX > 1 ? 1.0 / host.downsampleX : 1.0;
    const double sy = host.downsampleY > 1 ? 1.0 / host.downsampleY : 1.0;
    for (MaskVertex &v : mask.vertices) {
        v.x *= sx;
        v.inX *= sx;
        v.outX *= sx;
        v.y *= sy;
        v.inY *= sy;
        v.outY *= sy;
    }
    return true;
}

}  // namespace minihost
