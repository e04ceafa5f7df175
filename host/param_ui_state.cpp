// Parameter UI state update.
#include "host/param_ui_state.h"

PF_Err updateParamsUi(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[]) {
    (void)in_data;
    (void)out_data;
    (void)params;
    return PF_Err_NONE;
}
