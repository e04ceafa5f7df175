// Routes each command selector to its handler.
#pragma once

#include "hostapi/hostapi.h"

// Runs one command. A missing suite leaves as a thrown PF_Err, which only the
// entry point turns into the command's result.
PF_Err dispatchCommand(PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[], PF_LayerDef *output,
                       void *extra);
