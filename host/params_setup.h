// Registration of the 63 parameters (PF_Cmd_PARAMS_SETUP).
#pragma once

#include "hostapi/hostapi.h"

// Adds every parameter in index order at position -1. The first add that
// fails ends the command with its result and leaves num_params as it was;
// on success num_params becomes 64 (the input layer included).
PF_Err paramsSetup(PF_InData *in_data, PF_OutData *out_data);
