// PF_Cmd_COMPLETELY_GENERAL of the 32-bit build: shows a text the host passes.
#pragma once

#include "hostapi/hostapi.h"

// Copies the zero-terminated text that `extra` points to into return_msg,
// cut to the field's PF_MAX_EFFECT_MSG_LEN characters. A null `extra` leaves
// return_msg alone.
PF_Err completelyGeneral(PF_InData *in_data, PF_OutData *out_data, void *extra);
