// Parameter UI state (PF_Cmd_USER_CHANGED_PARAM and PF_Cmd_UPDATE_PARAMS_UI):
// greys out the parameters the current choices ignore.
#pragma once

#include "hostapi/hostapi.h"

PF_Err updateParamsUi(PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[]);
