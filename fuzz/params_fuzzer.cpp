// libFuzzer harness: every registered parameter's value and one mask taken
// straight from the bytes, values the scene reader would refuse included
// (popups and sliders out of range, NaN and infinite float sliders, masks with
// any coordinates), rendered at 8 bits, 16 bits and float on a small frame.
// After each command nothing may be left in minihost's ledger.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "fuzz/fuzz_host.h"

namespace {

namespace fuzz = pathbloom::fuzz;

constexpr int kMaxSide = 32;  // pixels, the frame's width and height
constexpr int kMaxVertices = 6;
// "Number" (points per segment or in all) stays within -2..kMaxNumber so that
// one input renders in milliseconds; the plug-in's own cap of 2^20 points
// takes seconds per frame under the sanitizers.
constexpr double kMaxNumber = 256;

// A double: mostly ordinary, now and then an extreme.
double pickDouble(FuzzedDataProvider &bytes) {
    static const double extremes[] = {0.0,
                                      -0.0,
                                      std::numeric_limits<double>::quiet_NaN(),
                                      std::numeric_limits<double>::infinity(),
                                      -std::numeric_limits<double>::infinity(),
                                      std::numeric_limits<double>::max(),
                                      -std::numeric_limits<double>::max(),
                                      std::numeric_limits<double>::min(),
                                      std::numeric_limits<double>::denorm_min(),
                                      1e-300,
                                      2147483648.0,
                                      -2147483649.0,
                                      32768.0,
                                      -32768.0,
                                      65536.0,
                                      1e9,
                                      -1e9};
    switch (bytes.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return bytes.PickValueInArray(extremes);
    case 1:
        return bytes.ConsumeFloatingPoint<double>();  // any finite double, the extremes included
    case 2: {
        double raw;
        const auto bits = bytes.ConsumeIntegral<uint64_t>();
        static_assert(sizeof raw == sizeof bits);
        __builtin_memcpy(&raw, &bits, sizeof raw);  // any bit pattern: NaNs with payloads, denormals
        return raw;
    }
    default:
        return bytes.ConsumeFloatingPointInRange<double>(-1000.0, 1000.0);
    }
}

// An integer-valued number: in the host's 32-bit range, or beyond it.
double pickInteger(FuzzedDataProvider &bytes, double low, double high) {
    switch (bytes.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return bytes.ConsumeIntegralInRange<int64_t>(int64_t(low) - 2, int64_t(high) + 2);
    case 1:
        return double(bytes.ConsumeIntegral<int32_t>());
    case 2:
        return bytes.PickValueInArray({-2147483648.0, 2147483647.0, -1.0, 0.0, 1.0});
    default:
        return pickDouble(bytes);
    }
}

minihost::ParamValue pickValue(FuzzedDataProvider &bytes, const PF_ParamDef &def, int masks, int layers) {
    minihost::ParamValue value;
    switch (def.param_type) {
    case PF_Param_SLIDER:
        value.number = pickInteger(bytes, def.u.sd.valid_min, def.u.sd.valid_max);
        break;
    case PF_Param_POPUP:
        value.number = pickInteger(bytes, 1, def.u.pd.num_choices);
        break;
    case PF_Param_CHECKBOX:
        value.number = pickInteger(bytes, 0, 1);
        break;
    case PF_Param_PATH:
        value.number = pickInteger(bytes, 0, masks);
        break;
    case PF_Param_LAYER:
        value.number = pickInteger(bytes, 0, layers);
        break;
    case PF_Param_FIX_SLIDER:  // percent; the host's 16.16 fixed point clamps
    case PF_Param_ANGLE:       // degrees; the same
    case PF_Param_FLOAT_SLIDER:
        value.number = pickDouble(bytes);
        break;
    case PF_Param_COLOR:
        value.color.alpha = bytes.ConsumeIntegral<uint8_t>();
        value.color.red = bytes.ConsumeIntegral<uint8_t>();
        value.color.green = bytes.ConsumeIntegral<uint8_t>();
        value.color.blue = bytes.ConsumeIntegral<uint8_t>();
        break;
    default:
        break;
    }
    return value;
}

minihost::Image pickImage(FuzzedDataProvider &bytes, int width, int height) {
    minihost::Image image = minihost::makeImage(width, height, minihost::Depth::Bits8);
    const uint8_t seed = bytes.ConsumeIntegral<uint8_t>();
    const uint8_t alpha = bytes.ConsumeIntegral<uint8_t>();
    for (size_t i = 0; i < image.data.size(); ++i) image.data[i] = i % 4 == 0 ? alpha : uint8_t(i * seed + 7);
    return image;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::pluginPath();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider bytes(data, size);
    minihost::Host host;
    fuzz::startEffect(host);

    const int width = bytes.ConsumeIntegralInRange<int>(1, kMaxSide);
    const int height = bytes.ConsumeIntegralInRange<int>(1, kMaxSide);
    host.downsampleX = bytes.ConsumeIntegralInRange<int>(1, 3);
    host.downsampleY = bytes.ConsumeIntegralInRange<int>(1, 3);
    host.fps = bytes.ConsumeIntegralInRange<int>(1, 60);
    host.frame = bytes.ConsumeIntegralInRange<int>(0, 3);

    minihost::Mask mask;
    mask.closed = bytes.ConsumeBool();
    const int vertices = bytes.ConsumeIntegralInRange<int>(1, kMaxVertices);
    for (int v = 0; v < vertices; ++v) {
        minihost::MaskVertex vertex;
        for (double *c : {&vertex.x, &vertex.y, &vertex.inX, &vertex.inY, &vertex.outX, &vertex.outY})
            *c = bytes.ConsumeBool() ? pickDouble(bytes) : bytes.ConsumeIntegralInRange<int>(-8, kMaxSide + 8);
        mask.vertices.push_back(vertex);
    }
    host.masks = {mask};

    const minihost::Image input = pickImage(bytes, width, height);
    const minihost::Image layer = pickImage(bytes, bytes.ConsumeIntegralInRange<int>(1, kMaxSide),
                                            bytes.ConsumeIntegralInRange<int>(1, kMaxSide));

    for (size_t index = 1; index < host.paramDefs.size(); ++index) {
        const PF_ParamDef &def = host.paramDefs[index];
        minihost::ParamValue value = pickValue(bytes, def, 1, 1);
        if (std::string(def.name) == "Number" && !(std::fabs(value.number) <= kMaxNumber))
            value.number = std::fmod(std::fabs(value.number), kMaxNumber + 1);
        if (!std::isfinite(value.number) && def.param_type == PF_Param_SLIDER) value.number = kMaxNumber;
        minihost::setParam(host, int(index), value);
    }

    for (minihost::Depth depth : {minihost::Depth::Bits8, minihost::Depth::Bits16, minihost::Depth::Float}) {
        host.depth = depth;
        host.input = minihost::convertImage(input, depth);
        host.layers = {minihost::convertImage(layer, depth)};
        minihost::updateParamsUI(host);
        fuzz::requireClearLedger(host, "the parameter UI update");
        minihost::renderFrame(host);
        fuzz::requireClearLedger(host, "a frame");
    }
    fuzz::stopEffect(host);
    return 0;
}
