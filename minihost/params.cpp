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

namespace {

// Where a time falls among keys sorted by time: the key at or before it (a),
// the key after it (b) and the eased share t of the way from a to b. Before
// the first key, from the last on, when holding or between keys at one time,
// only a counts (b = a, t = 0). A time that is not a number is before every
// key, never between two.
template <class Key>
struct KeySpan {
    const Key *a;
    const Key *b;
    double t;
};

template <class Key>
KeySpan<Key> keySpanAt(const std::vector<Key> &keys, double seconds, Interpolation interp) {
    if (std::isnan(seconds) || seconds <= keys.front().seconds) return {&keys.front(), &keys.front(), 0};
    if (seconds >= keys.back().seconds) return {&keys.back(), &keys.back(), 0};
    const auto after =
        std::upper_bound(keys.begin(), keys.end(), seconds, [](double t, const Key &key) { return t < key.seconds; });
    const Key &a = *(after - 1);
    const Key &b = *after;
    if (interp == Interpolation::Hold || b.seconds <= a.seconds) return {&a, &a, 0};
    double t = (seconds - a.seconds) / (b.seconds - a.seconds);
    if (interp == Interpolation::Ease) t = easedFraction(t, a.easeOut, b.easeIn);
    return {&a, &b, t};
}

}  // namespace

ParamValue paramValueAt(const Host &host, int index, double seconds) {
    const ParamTrack &track = host.params.at(static_cast<std::size_t>(index));
    if (track.keyframes.empty()) return track.value;
    const bool hold = static_cast<std::size_t>(index) < host.paramDefs.size() &&
                      holdsBetweenKeys(host.paramDefs[static_cast<std::size_t>(index)].param_type);
    const KeySpan<Keyframe> span =
        keySpanAt(track.keyframes, seconds, hold ? Interpolation::Hold : track.interpolation);
    return span.a == span.b ? span.a->value : mixValues(span.a->value, span.b->value, span.t);
}

std::vector<MaskVertex> maskVerticesAt(const Mask &mask, double seconds) {
    if (mask.keys.empty()) return mask.vertices;
    const KeySpan<MaskKey> span = keySpanAt(mask.keys, seconds, mask.interpolation);
    std::vector<MaskVertex> vertices = span.a->vertices;
    if (span.a == span.b) return vertices;
    const auto mix = [&](double a, double b) { return a + (b - a) * span.t; };
    for (std::size_t v = 0; v < vertices.size() && v < span.b->vertices.size(); ++v) {
        MaskVertex &m = vertices[v];
        const MaskVertex &b = span.b->vertices[v];
        m = {mix(m.x, b.x),     mix(m.y, b.y),       mix(m.inX, b.inX),
             mix(m.inY, b.inY), mix(m.outX, b.outX), mix(m.outY, b.outY)};
    }
    return vertices;
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

bool maskForPathId(const Host &host, PF_PathID id, double seconds, Mask &mask) {
    if (id <= pathIdBase || id - pathIdBase > host.masks.size()) return false;
    const Mask &kept = host.masks[id - pathIdBase - 1];
    mask.closed = kept.closed;
    mask.vertices = maskVerticesAt(kept, seconds);
    mask.keys.clear();
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
