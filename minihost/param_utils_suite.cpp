// "PF Param Utils Suite" 1 and 2: the parameter user-interface updates and the
// parameter state the plug-in records to notice changes.
#include "minihost/host_state.h"

namespace minihost {
namespace {

PF_Err notServed(PF_ProgPtr effectRef, const char *function) {
    if (!effectRef) return PF_Err_BAD_CALLBACK_PARAM;
    if (const PF_Err err = enterCall(hostFromRef(effectRef), function)) return err;
    return PF_Err_BAD_CALLBACK_PARAM;
}

PF_Err updateParamUI(PF_ProgPtr effectRef, PF_ParamIndex, const PF_ParamDef *) {
    return notServed(effectRef, "PF_UpdateParamUI");
}
PF_Err getCurrentState(PF_ProgPtr effectRef, PF_ParamIndex, PF_State *) {
    return notServed(effectRef, "PF_GetCurrentState");
}
PF_Err hasParamChanged(PF_ProgPtr effectRef, const PF_State *, PF_ParamIndex, PF_Boolean *) {
    return notServed(effectRef, "PF_HasParamChanged");
}

}  // namespace

const void *paramUtilsSuite() {
    static const PF_ParamUtilsSuite1 suite = {updateParamUI, getCurrentState, hasParamChanged};
    return &suite;
}

}  // namespace minihost
