// The blend-mode table. "Difference", "Dodge" and "Burn" are the host's second
// variants of those modes.
#include "raster/blend_modes.h"

#include "raster/fixed_point.h"

namespace {

// Indexed by popup value; entry 0 is never a popup value.
constexpr PF_TransferMode kTransferModes[] = {
    PF_Xfer_IN_FRONT,    PF_Xfer_IN_FRONT,     PF_Xfer_ADD,         PF_Xfer_MULTIPLY,   PF_Xfer_SCREEN,
    PF_Xfer_OVERLAY,     PF_Xfer_HARD_LIGHT,   PF_Xfer_DARKEN,      PF_Xfer_LIGHTEN,    PF_Xfer_DIFFERENCE2,
    PF_Xfer_HUE,         PF_Xfer_SATURATION,   PF_Xfer_COLOR,       PF_Xfer_LUMINOSITY, PF_Xfer_COLOR_DODGE2,
    PF_Xfer_COLOR_BURN2, PF_Xfer_LINEAR_LIGHT, PF_Xfer_VIVID_LIGHT, PF_Xfer_PIN_LIGHT,  PF_Xfer_HARD_MIX,
};
constexpr A_long kBlendModeCount = sizeof kTransferModes / sizeof kTransferModes[0] - 1;  // 19

}  // namespace

PF_TransferMode transferModeOf(A_long blendMode) {
    if (blendMode < 2 || blendMode > kBlendModeCount) return PF_Xfer_IN_FRONT;
    return kTransferModes[blendMode];
}

PF_CompositeMode pointCompositeMode(PF_TransferMode mode) {
    PF_CompositeMode record{};
    record.xfer = mode;
    record.rand_seed = 0;
    record.opacity = 255;
    record.rgb_only = false;
    record.opacitySu = static_cast<A_u_short>(kFull16);
    return record;
}
